// The plug-in's POP3 session against peers that misbehave: connections closed in
// the middle of LIST, TOP and UIDL, a line of 10 MB without a line end, silence,
// and junk. Every call must come back (at the latest at the receive time-out),
// with the text that arrived, and never read or write outside its buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "LoopbackPop3Peer.h"
#include "WinsockEnvironment.h"
#include "Pop3Session.h"
#include "Pop3SessionFixture.h"

namespace {

constexpr DWORD kTimeoutMs = 1000;
// A read may wait out one time-out; anything near twice that is a hang.
constexpr DWORD kHangMs = 2 * kTimeoutMs + 1500;

const bool gWinsock = RegisterWinsockEnvironment();

// Greeting, user and pass accepted; then `rest` plays the fault.
LoopbackPop3Peer::Behaviour LoggedIn(std::function<void(Pop3PeerConnection&)> rest) {
    return [rest](Pop3PeerConnection& c) {
        if (c.AcceptLogin()) {
            rest(c);
        }
    };
}

class Pop3Faults : public Pop3SessionFixture {
protected:
    Pop3Faults() : Pop3SessionFixture(kTimeoutMs) {}
    // Connects, reads the greeting and logs in.
    static bool Start(LoopbackPop3Peer& server) {
        return Connect(server.Port()) && PopReadResponse(false) > 0 && PopLogin("u", "p");
    }
};

}  // namespace

TEST_F(Pop3Faults, ConnectionClosedDuringList) {
    struct Case {
        const char* sent;    // what the server sends after "list", then it closes
        int32_t count;       // messages taken: whole lines only
        int32_t firstSize;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"+OK 3 3", 0, 0},
        {"+OK 3 300\r\n", 0, 0},
        {"+OK 3 300\r\n1 100\r\n2 2", 1, 100},
        {"+OK 3 300\r\n1 100\r\n2 200\r\n3 300\r\n", 3, 100},
        {"+OK 3 300\r\n1 100\r\n2 200\r\n3 300\r\n.\r", 3, 100},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        LoopbackPop3Peer server;
        std::string sent = cases[i].sent;
        ASSERT_TRUE(server.Serve(LoggedIn([sent](Pop3PeerConnection& c) {
            std::string line;
            c.ReadLine(&line);
            c.Send(sent);
        })));
        ASSERT_TRUE(Start(server)) << "case " << i;
        DWORD start = GetTickCount();
        EXPECT_EQ(cases[i].count, PopList()) << "case " << i;
        EXPECT_EQ(cases[i].count, gMessageCount) << "case " << i;
        EXPECT_EQ(cases[i].count == 0, gSizeTable == nullptr) << "case " << i;
        if (cases[i].count > 0 && gSizeTable) {
            EXPECT_EQ(cases[i].firstSize, gSizeTable[0]) << "case " << i;
        }
        // The broken connection is closed: what follows ends at once.
        EXPECT_EQ(INVALID_SOCKET, gSessionSocket) << "case " << i;
        EXPECT_EQ(nullptr, PopFetchUidl(1)) << "case " << i;
        PopQuit();
        EXPECT_LT(GetTickCount() - start, kHangMs) << "case " << i;
        PopReleaseBuffers();
        server.Finish();
    }
}

TEST_F(Pop3Faults, ConnectionClosedDuringTop) {
    const char* cuts[] = {"", "+OK\r\n", "+OK\r\nSubject: =?ISO-2022-JP?B?GyRCJCIb", "+OK\r\nSubject: x\r\n\r\n.\r"};
    for (std::size_t i = 0; i < sizeof cuts / sizeof cuts[0]; ++i) {
        LoopbackPop3Peer server;
        std::string cut = cuts[i];
        ASSERT_TRUE(server.Serve(LoggedIn([cut](Pop3PeerConnection& c) {
            std::string line;
            c.ReadLine(&line);  // top 1 0
            c.Send(cut);
        })));
        ASSERT_TRUE(Start(server)) << "case " << i;
        DWORD start = GetTickCount();
        PopSendTop(1);
        int length = PopReadResponse(true);
        EXPECT_EQ(static_cast<int>(cut.size()), length) << "case " << i;
        EXPECT_EQ(cut, Response()) << "case " << i;
        EXPECT_EQ(INVALID_SOCKET, gSessionSocket) << "case " << i;
        PopQuit();
        EXPECT_LT(GetTickCount() - start, kHangMs) << "case " << i;
        server.Finish();
    }
}

TEST_F(Pop3Faults, ConnectionClosedDuringUidlAfterOk) {
    // A UIDL reply cut after "+OK" must not hand out a cut UIDL: the host would
    // skip another message, or none.
    const char* cuts[] = {"+OK", "+OK ", "+OK 1", "+OK 1 ", "+OK 1 abcdef", "+OK 1 abcdef\r"};
    for (std::size_t i = 0; i < sizeof cuts / sizeof cuts[0]; ++i) {
        LoopbackPop3Peer server;
        std::string cut = cuts[i];
        ASSERT_TRUE(server.Serve(LoggedIn([cut](Pop3PeerConnection& c) {
            std::string line;
            c.ReadLine(&line);
            c.Send(cut);
        })));
        ASSERT_TRUE(Start(server)) << "case " << i;
        EXPECT_EQ(nullptr, PopFetchUidl(1)) << "case " << i << ": " << cut;
        EXPECT_EQ(nullptr, PopFetchUidl(2)) << "case " << i;  // the closed session answers nothing
        PopQuit();
        server.Finish();
    }
}

TEST_F(Pop3Faults, TenMegabyteLineWithoutLineEnd) {
    const std::size_t kSize = 10 * 1024 * 1024;
    struct Case {
        const char* name;
        bool closeAfter;  // else the server stays silent: the time-out ends the read
        bool multiLine;
    };
    const Case cases[] = {
        {"single-line, then closed", true, false},
        {"single-line, then silent", false, false},
        {"multi-line, then closed", true, true},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        LoopbackPop3Peer server;
        bool closeAfter = cases[i].closeAfter;
        ASSERT_TRUE(server.Serve([=](Pop3PeerConnection& c) {
            c.SendRepeated('x', kSize);
            if (!closeAfter) {
                c.Stall(3 * kTimeoutMs);  // until the client gives up
            }
        }));
        ASSERT_TRUE(Connect(server.Port())) << "case " << i;
        DWORD start = GetTickCount();
        int length = PopReadResponse(cases[i].multiLine);
        DWORD elapsed = GetTickCount() - start;
        // Cut at the bound of one reply, closed there: the silent server is not
        // waited for either.
        EXPECT_EQ(static_cast<int>(kPopReplyLimit), length) << "case " << i << " " << cases[i].name;
        ASSERT_NE(nullptr, gResponseBuffer) << "case " << i;
        EXPECT_EQ(kPopReplyLimit, std::strlen(gResponseBuffer)) << "case " << i;
        EXPECT_TRUE(PopReplyCut()) << "case " << i;
        EXPECT_EQ(INVALID_SOCKET, gSessionSocket) << "case " << i;
        EXPECT_LT(elapsed, kTimeoutMs + 5000) << "case " << i;
        server.Finish();
        PopReleaseBuffers();
    }
}

TEST_F(Pop3Faults, SilentServerEndsEachStepAtTheTimeout) {
    // Silent after the greeting, after user, in the middle of the LIST reply.
    struct Case {
        const char* name;
        int stage;
    };
    const Case cases[] = {{"no greeting", 0}, {"no answer to user", 1}, {"LIST reply stops", 2}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        LoopbackPop3Peer server;
        int stage = cases[i].stage;
        ASSERT_TRUE(server.Serve([=](Pop3PeerConnection& c) {
            std::string line;
            if (stage >= 1) {
                c.Send("+OK\r\n");
                c.ReadLine(&line);
            }
            if (stage >= 2) {
                c.Send("+OK\r\n");
                c.ReadLine(&line);
                c.Send("+OK\r\n");
                c.ReadLine(&line);
                c.Send("+OK 2 300\r\n1 100\r\n");
            }
            c.Stall(4 * kTimeoutMs);  // until the client gives up
        }));
        ASSERT_TRUE(Connect(server.Port())) << "case " << i;
        DWORD start = GetTickCount();
        PopReadResponse(false);
        bool loggedIn = PopLogin("u", "p");
        int32_t count = loggedIn ? PopList() : 0;
        PopQuit();
        DWORD elapsed = GetTickCount() - start;
        EXPECT_EQ(stage == 2, loggedIn) << "case " << i << " " << cases[i].name;
        EXPECT_EQ(stage == 2 ? 1 : 0, count) << "case " << i;
        // One time-out for the whole session: after it the socket is closed.
        EXPECT_GE(elapsed + 100, kTimeoutMs) << "case " << i;
        EXPECT_LT(elapsed, kHangMs) << "case " << i;
        server.Finish();
        PopReleaseBuffers();
    }
}

TEST_F(Pop3Faults, JunkAnswers) {
    struct Case {
        const char* name;
        std::string userReply;  // answer to user
        std::string listReply;  // answer to list (when logged in), then the server closes
        bool loggedIn;
        int32_t count;
    };
    std::string binary;
    for (int b = 255; b >= 1; --b) binary += static_cast<char>(b);
    const Case cases[] = {
        {"binary to user", binary + "\r\n", "", false, 0},
        {"NUL to user", std::string("\0+OK\r\n", 6), "", false, 0},
        {"HTTP server", "HTTP/1.1 400 Bad Request\r\n\r\n", "", false, 0},
        // The bytes 255 down to 1 hold one LF: two lines.
        {"binary listing", "+OK\r\n", "+OK\r\n" + binary + "\r\n.\r\n", true, 2},
        {"NUL inside the listing", "+OK\r\n", std::string("+OK\r\n1 100\r\n2\0 200\r\n.\r\n", 23), true, 1},
        {"negative and huge sizes", "+OK\r\n", "+OK\r\n1 -100\r\n2 99999999999999\r\n.\r\n", true, 2},
        {"listing of bare dots", "+OK\r\n", "+OK\r\n..\r\n...\r\n.\r\n", true, 2},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        LoopbackPop3Peer server;
        Case c = cases[i];
        ASSERT_TRUE(server.Serve([c](Pop3PeerConnection& conn) {
            std::string line;
            conn.Send("+OK\r\n");
            if (!conn.ReadLine(&line)) return;
            conn.Send(c.userReply);
            if (!c.loggedIn || !conn.ReadLine(&line)) return;
            conn.Send("+OK\r\n");
            if (!conn.ReadLine(&line)) return;
            conn.Send(c.listReply);
        }));
        ASSERT_TRUE(Connect(server.Port())) << "case " << i;
        PopReadResponse(false);
        bool loggedIn = PopLogin("u", "p");
        EXPECT_EQ(c.loggedIn, loggedIn) << "case " << i << " " << c.name;
        if (loggedIn) {
            int32_t count = PopList();
            EXPECT_EQ(c.count, count) << "case " << i << " " << c.name;
            for (int32_t k = 0; k < count && gSizeTable; ++k) {
                EXPECT_GE(gSizeTable[k], 0) << "case " << i << " size " << k;
            }
        }
        PopQuit();
        server.Finish();
        PopReleaseBuffers();
    }
}
