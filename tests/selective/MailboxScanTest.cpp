// The scan at the session level against a scripted server: replies of one
// window split and merged at every byte boundary, and a server whose lines end
// in LF alone.

#include "MailboxScan.h"
#include "WinsockEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoopbackPop3Peer.h"
#include "Pop3Session.h"
#include "Pop3SessionFixture.h"
#include "SubjectExtract.h"

namespace {

using Server = LoopbackPop3Peer;

const bool gWinsock = RegisterWinsockEnvironment();

class MailboxScan : public Pop3SessionFixture {
protected:
    MailboxScan() : Pop3SessionFixture(3000) {}
    void TearDown() override {
        ScanRelease();
        ScanSetWindowBytes(0);
        Pop3SessionFixture::TearDown();
    }
    // Connects, reads the greeting, logs in, asks capa and lists; true when all
    // of it went through whole.
    static bool LogInAndList(const Server& server, bool* pipelining) {
        if (!Connect(server.Port())) {
            return false;
        }
        PopReadResponse(false);
        if (PopReplyCut() || !PopLogin("u", "p")) {
            return false;
        }
        *pipelining = PopCapa();
        if (PopReplyCut()) {
            return false;
        }
        PopList();
        return !PopReplyCut();
    }
};

const char* const kSubjects[] = {"one", "two", "three"};
const char* const kUidls[] = {"U1", "U2", "U3"};

TEST_F(MailboxScan, RepliesSplitAndMergedAtEveryBoundaryOfAWindow) {
    // The replies to one window of commands: the UIDL listing and three headers,
    // one with a stuffed line and one refused.
    const std::string replies =
        "+OK\r\n1 U1\r\n2 U2\r\n3 U3\r\n.\r\n"
        "+OK\r\nSubject: one\r\n..dotted\r\n\r\n.\r\n"
        "+OK\r\nFrom: x\r\nSubject: two\r\n\r\n.\r\n"
        "+OK\r\nSubject: three\r\n.\r\n";
    const std::string commands = "uidl\r\ntop 1 0\r\ntop 2 0\r\ntop 3 0\r\n";
    // Split point 0: everything in one send; then every split into two sends, and
    // one send per byte.
    for (std::size_t split = 0; split <= replies.size(); ++split) {
        SCOPED_TRACE(testing::Message() << "split at " << split);
        std::vector<std::size_t> pieces;
        if (split == replies.size()) {
            pieces.assign(replies.size(), 1);
        } else if (split > 0) {
            pieces = {split};
        }
        Server server;
        ASSERT_TRUE(server.Start({
            Server::Reply("+OK\r\n"), Server::Expect("user u\r\n"), Server::Reply("+OK\r\n"),
            Server::Expect("pass p\r\n"), Server::Reply("+OK\r\n"), Server::Expect("capa\r\n"),
            Server::Reply("+OK\r\nPIPELINING\r\n.\r\n"), Server::Expect("list\r\n"),
            Server::Reply("+OK\r\n1 10\r\n2 20\r\n3 30\r\n.\r\n"),
            // All four commands in one send, each whole.
            Server::Expect(commands), Server::ReplyInPieces(replies, pieces, split == replies.size() ? 0 : 3),
            Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"), Server::AwaitClose(),
        }));
        bool pipelining = false;
        ASSERT_TRUE(LogInAndList(server, &pipelining));
        EXPECT_TRUE(pipelining);
        ASSERT_EQ(3, gMessageCount);
        EXPECT_EQ(ScanOutcome::kComplete, ScanMailbox(true, nullptr, pipelining));
        PopQuit();
        server.Finish();
        EXPECT_EQ("", server.Failure());
        for (int n = 1; n <= 3; ++n) {
            EXPECT_STREQ(kUidls[n - 1], ScannedUidl(n)) << "message " << n;
            EXPECT_STREQ(kSubjects[n - 1], ScannedSubject(n)) << "message " << n;
        }
        // The header as sent, dot-stuffing and all, up to the empty line.
        static const char* const kHeaders[] = {"Subject: one\r\n..dotted\r\n", "From: x\r\nSubject: two\r\n",
                                               "Subject: three\r\n.\r\n"};
        for (int n = 1; n <= 3; ++n) {
            ASSERT_NE(nullptr, gScanTable[n - 1].header) << "message " << n;
            EXPECT_STREQ(kHeaders[n - 1], gScanTable[n - 1].header) << "message " << n;
        }
        ScanRelease();
        PopReleaseBuffers();
        if (HasFailure()) {
            break;  // one split's report is enough
        }
    }
}

TEST_F(MailboxScan, WindowBoundsTheCommandsInFlight) {
    // The window counts the bytes of the commands whose replies are owed:
    // "uidl\r\n" is 6, each "top n 0\r\n" 9. At 18 to 23 bytes two TOPs fit, so
    // the client is one command ahead, never more, and no command has arrived
    // when the server sends the reply before it; at 27, three fit: two ahead.
    struct Case {
        int windowBytes;
        std::vector<std::string> earlyAtLeast;
    } const cases[] = {
        {18, {}},
        {23, {}},
        {27, {"top 2 0\r\n", "top 3 0\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "window " << c.windowBytes << " bytes");
        ScanSetWindowBytes(c.windowBytes);
        Server server;
        ASSERT_TRUE(server.Start({
            Server::Reply("+OK\r\n"), Server::Expect("user u\r\n"), Server::Reply("+OK\r\n"),
            Server::Expect("pass p\r\n"), Server::Reply("+OK\r\n"), Server::Expect("capa\r\n"),
            Server::Reply("+OK\r\nPIPELINING\r\n.\r\n"), Server::Expect("list\r\n"),
            Server::Reply("+OK\r\n1 10\r\n2 20\r\n3 30\r\n4 40\r\n.\r\n"),
            Server::Expect("uidl\r\ntop 1 0\r\n"), Server::Stall(100),
            Server::Reply("+OK\r\n1 U1\r\n2 U2\r\n3 U3\r\n4 U4\r\n.\r\n"),
            Server::Expect("top 2 0\r\n"), Server::Stall(100),  // time for anything sent ahead to arrive
            Server::Reply("+OK\r\nSubject: one\r\n.\r\n"),
            Server::Expect("top 3 0\r\n"), Server::Stall(100), Server::Reply("+OK\r\nSubject: two\r\n.\r\n"),
            Server::Expect("top 4 0\r\n"), Server::Reply("+OK\r\nSubject: three\r\n.\r\n"),
            Server::Reply("+OK\r\nSubject: four\r\n.\r\n"),
            Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"), Server::AwaitClose(),
        }));
        bool pipelining = false;
        ASSERT_TRUE(LogInAndList(server, &pipelining));
        EXPECT_EQ(ScanOutcome::kComplete, ScanMailbox(true, nullptr, pipelining));
        PopQuit();
        server.Finish();
        EXPECT_EQ("", server.Failure());
        std::vector<std::string> early = server.EarlyCommands();
        if (c.earlyAtLeast.empty()) {
            EXPECT_TRUE(early.empty()) << early[0];
        } else {
            ASSERT_LE(c.earlyAtLeast.size(), early.size());
            early.resize(c.earlyAtLeast.size());
            EXPECT_EQ(c.earlyAtLeast, early);
        }
        EXPECT_STREQ("four", ScannedSubject(4));
        EXPECT_STREQ("U4", ScannedUidl(4));
        ScanRelease();
        PopReleaseBuffers();
    }
}

TEST_F(MailboxScan, ServerWritingLineFeedsAloneCostsNoTimeout) {
    for (bool offered : {false, true}) {
        SCOPED_TRACE(testing::Message() << "pipelining " << offered);
        Server server;
        std::vector<Server::Step> script = {
            Server::Reply("+OK ready\n"), Server::Expect("user u\r\n"), Server::Reply("+OK\n"),
            Server::Expect("pass p\r\n"), Server::Reply("+OK\n"), Server::Expect("capa\r\n"),
            Server::Reply(offered ? "+OK\nUIDL\nPIPELINING\n.\n" : "+OK\nUIDL\n.\n"), Server::Expect("list\r\n"),
            Server::Reply("+OK 2 30\n1 10\n2 20\n.\n"),
        };
        if (offered) {
            script.push_back(Server::Expect("uidl\r\ntop 1 0\r\ntop 2 0\r\n"));
            script.push_back(Server::Reply("+OK\n1 U1\n2 U2\n.\n+OK\nSubject: one\n..\n.\n+OK\nSubject: two\n\n.\n"));
        } else {
            script.push_back(Server::Expect("uidl\r\n"));
            script.push_back(Server::Reply("+OK\n1 U1\n2 U2\n.\n"));
            script.push_back(Server::Expect("top 1 0\r\n"));
            script.push_back(Server::Reply("+OK\nSubject: one\n..\n.\n"));
            script.push_back(Server::Expect("top 2 0\r\n"));
            script.push_back(Server::Reply("+OK\nSubject: two\n\n.\n"));
        }
        script.push_back(Server::Expect("quit\r\n"));
        script.push_back(Server::Reply("+OK bye\n"));
        script.push_back(Server::AwaitClose());
        ASSERT_TRUE(server.Start(script));
        bool pipelining = false;
        // Every reply must be framed at its LF: a wait for a CR LF that never
        // comes would end at the time-out as a cut reply.
        ASSERT_TRUE(LogInAndList(server, &pipelining));
        EXPECT_EQ(offered, pipelining);
        ASSERT_EQ(2, gMessageCount);
        EXPECT_EQ(20, gSizeTable[1]);
        EXPECT_EQ(ScanOutcome::kComplete, ScanMailbox(true, nullptr, pipelining));
        PopQuit();
        EXPECT_FALSE(PopReplyCut());
        EXPECT_STREQ("+OK bye\n", gResponseBuffer);
        server.Finish();
        EXPECT_EQ("", server.Failure());
        EXPECT_STREQ("U1", ScannedUidl(1));
        EXPECT_STREQ("U2", ScannedUidl(2));
        EXPECT_STREQ("one", ScannedSubject(1));
        EXPECT_STREQ("two", ScannedSubject(2));
        ScanRelease();
        PopReleaseBuffers();
    }
}

}  // namespace
