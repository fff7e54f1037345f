// The POP3 session against a scripted server thread on a loopback port.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "AnsiText.h"
#include "DroppingListener.h"
#include "WinsockEnvironment.h"
#include "LoopbackPop3Peer.h"
#include "Pop3Session.h"
#include "Pop3SessionFixture.h"
#include "WindowWatcher.h"

namespace {

using Server = LoopbackPop3Peer;

const bool gWinsock = RegisterWinsockEnvironment();

class Pop3Session : public Pop3SessionFixture {
protected:
    // Short enough that a fault shows as a failure, not as a hung test run.
    Pop3Session() : Pop3SessionFixture(8000) {}
    using Pop3SessionFixture::Connect;
    static bool Connect(const Server& server) { return Connect(server.Port()); }
};

const char kList[] = "+OK 2 320\r\n1 120\r\n2 200\r\n.\r\n";
const char kTop[] = "+OK\r\nFrom: a@example.jp\r\nSubject: hello\r\n\r\n.\r\n";

TEST_F(Pop3Session, WholeSessionPutsTheExactCommandsOnTheWire) {
    Server server;
    ASSERT_TRUE(server.Start({
        Server::Reply("+OK ready\r\n"),
        Server::Expect("user alice\r\n"), Server::Reply("+OK\r\n"),
        Server::Expect("pass s3cret\r\n"), Server::Reply("+OK logged in\r\n"),
        Server::Expect("list\r\n"), Server::Reply(kList),
        Server::Expect("uidl 1\r\n"), Server::Reply("+OK 1 uid-one\r\n"),
        Server::Expect("uidl 2\r\n"), Server::Reply("+OK 2 uid-two\r\n"),
        Server::Expect("top 2 0\r\n"), Server::Reply(kTop),
        Server::Expect("uidl 12345\r\n"), Server::Reply("-ERR no such message\r\n"),
        Server::Expect("quit\r\n"), Server::Reply("+OK bye\r\n"),
        Server::AwaitClose(),
    }));
    ASSERT_TRUE(Connect(server));
    ASSERT_NE(INVALID_SOCKET, gSessionSocket);
    EXPECT_EQ(11, PopReadResponse(false));
    EXPECT_EQ("+OK ready\r\n", Response());
    EXPECT_TRUE(PopIsOk());
    EXPECT_TRUE(PopLogin("alice", "s3cret"));
    ASSERT_EQ(2, PopList());
    ASSERT_EQ(2, gMessageCount);
    ASSERT_NE(nullptr, gSizeTable);
    EXPECT_EQ(120, gSizeTable[0]);
    EXPECT_EQ(200, gSizeTable[1]);
    const char* uidl = PopFetchUidl(1);
    ASSERT_NE(nullptr, uidl);
    EXPECT_STREQ("uid-one", uidl);
    uidl = PopFetchUidl(2);
    ASSERT_NE(nullptr, uidl);
    EXPECT_STREQ("uid-two", uidl);
    PopSendTop(2);
    EXPECT_EQ(static_cast<int>(sizeof kTop - 1), PopReadResponse(true));
    EXPECT_EQ(kTop, Response());
    EXPECT_EQ(nullptr, PopFetchUidl(12345)) << "a refused UIDL is not a UIDL";
    PopQuit();
    EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
    EXPECT_EQ("+OK bye\r\n", Response());
    server.Finish();
    EXPECT_EQ("", server.Failure());
    EXPECT_TRUE(server.ClientClosed());
    EXPECT_EQ("user alice\r\npass s3cret\r\nlist\r\nuidl 1\r\nuidl 2\r\ntop 2 0\r\nuidl 12345\r\nquit\r\n",
              server.Received());

    PopReleaseBuffers();
    EXPECT_EQ(nullptr, gResponseBuffer);
    EXPECT_EQ(nullptr, gSizeTable);
    EXPECT_EQ(2, gMessageCount) << "the count outlives the session";
}

TEST_F(Pop3Session, RepliesArrivingOneBytePerSendAreAssembledWhole) {
    const char refusedTop[] = "-ERR no such message\r\n";
    Server server;
    ASSERT_TRUE(server.Start({
        Server::ReplyBytewise("+OK POP3 ready <1.2@x>\r\n"),
        Server::Expect("user u\r\n"), Server::ReplyBytewise("+OK\r\n"),
        Server::Expect("pass p\r\n"), Server::ReplyBytewise("+OK\r\n"),
        Server::Expect("list\r\n"), Server::ReplyBytewise(kList),
        Server::Expect("uidl 2\r\n"), Server::ReplyBytewise("+OK 2 ZZZ-2\r\n"),
        Server::Expect("top 1 0\r\n"), Server::ReplyBytewise(kTop),
        Server::Expect("top 9 0\r\n"), Server::ReplyBytewise(refusedTop),
        Server::Expect("quit\r\n"), Server::ReplyBytewise("+OK\r\n"),
        Server::AwaitClose(),
    }));
    ASSERT_TRUE(Connect(server));
    PopReadResponse(false);
    EXPECT_EQ("+OK POP3 ready <1.2@x>\r\n", Response());
    EXPECT_TRUE(PopLogin("u", "p"));
    ASSERT_EQ(2, PopList());
    EXPECT_EQ(120, gSizeTable[0]);
    EXPECT_EQ(200, gSizeTable[1]);
    const char* uidl = PopFetchUidl(2);
    ASSERT_NE(nullptr, uidl);
    EXPECT_STREQ("ZZZ-2", uidl);
    PopSendTop(1);
    PopReadResponse(true);
    EXPECT_EQ(kTop, Response());
    PopSendTop(9);
    PopReadResponse(true);
    EXPECT_EQ(refusedTop, Response()) << "a refused multi-line command ends at its line's end";
    PopQuit();
    server.Finish();
    EXPECT_EQ("", server.Failure());
}

// The five bytes of the terminator split at every place across two sends.
TEST_F(Pop3Session, TerminatorSplitAcrossTwoSends) {
    const std::string reply = kTop;
    for (std::size_t tail = 1; tail <= 5; ++tail) {
        Server server;
        ASSERT_TRUE(server.Start({
            Server::Reply("+OK\r\n"),
            Server::Expect("top 1 0\r\n"),
            Server::ReplyInPieces(reply, {reply.size() - tail}, 150),
            Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"),
            Server::AwaitClose(),
        }));
        ASSERT_TRUE(Connect(server)) << "tail " << tail;
        PopReadResponse(false);
        PopSendTop(1);
        EXPECT_EQ(static_cast<int>(reply.size()), PopReadResponse(true)) << "tail " << tail;
        EXPECT_EQ(reply, Response()) << "tail " << tail;
        PopQuit();
        server.Finish();
        EXPECT_EQ("", server.Failure()) << "tail " << tail;
    }
}

// A dot-stuffed line whose break falls at the end of a receive does not end the read.
TEST_F(Pop3Session, StuffedDotAtTheEndOfASendDoesNotEndTheRead) {
    const std::string reply = "+OK\r\nSubject: x\r\n\r\n..\r\n...\r\n.\r\n";
    std::vector<std::size_t> pieces = {20, 3, 4};  // "...\r\n.": ends on "\r\n." and on "."
    Server server;
    ASSERT_TRUE(server.Start({
        Server::Reply("+OK\r\n"), Server::Expect("top 3 0\r\n"),
        Server::ReplyInPieces(reply, pieces, 150),
        Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"),
    }));
    ASSERT_TRUE(Connect(server));
    PopReadResponse(false);
    PopSendTop(3);
    PopReadResponse(true);
    EXPECT_EQ(reply, Response());
    PopQuit();
    server.Finish();
    EXPECT_EQ("", server.Failure());
}

std::string MultiLineReplyOfLength(std::size_t length) {
    std::string reply = "+OK\r\n";
    const std::string terminator = ".\r\n";
    int n = 0;
    while (reply.size() + terminator.size() < length) {
        std::string line = "X-Line-" + std::to_string(n++) + ": ";
        std::size_t room = length - reply.size() - terminator.size();
        if (room < line.size() + 2) {
            line.assign(room - 2, 'y');  // room >= 2: lines are at least 2 bytes
        } else {
            line.append(std::min<std::size_t>(room - line.size() - 2, 60), 'z');
        }
        reply += line + "\r\n";
    }
    return reply + terminator;
}

// Replies around and far beyond the first buffer size, in one send and in pieces.
TEST_F(Pop3Session, LongMultiLineRepliesAreReadCompletely) {
    const std::size_t lengths[] = {1022, 1023, 1024, 1025, 2047, 2048, 2049, 5000, 70000};
    for (std::size_t length : lengths) {
        for (int inPieces = 0; inPieces < 2; ++inPieces) {
            std::string reply = MultiLineReplyOfLength(length);
            ASSERT_EQ(length, reply.size());
            std::vector<std::size_t> pieces;
            if (inPieces) {
                pieces.assign(reply.size() / 700, 700);
            }
            Server server;
            ASSERT_TRUE(server.Start({
                Server::Reply("+OK\r\n"), Server::Expect("top 1 0\r\n"),
                Server::ReplyInPieces(reply, pieces, inPieces ? 1 : 0),
                Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"),
            }));
            ASSERT_TRUE(Connect(server)) << length;
            PopReadResponse(false);
            PopSendTop(1);
            EXPECT_EQ(static_cast<int>(length), PopReadResponse(true)) << length << " in pieces " << inPieces;
            EXPECT_TRUE(Response() == reply) << length << " in pieces " << inPieces;
            PopQuit();
            server.Finish();
            EXPECT_EQ("", server.Failure()) << length << " in pieces " << inPieces;
        }
    }
}

// One reply holds at most kPopReplyLimit bytes: a reply of exactly that many is
// read whole; one byte more, or a line that never ends, is cut at the bound and
// the connection closed there, so that nothing more is sent or waited for.
TEST_F(Pop3Session, ReplyIsBoundedAtTheLimit) {
    const std::string whole = MultiLineReplyOfLength(kPopReplyLimit);
    const std::string longer = MultiLineReplyOfLength(kPopReplyLimit + 1);
    const std::string endless = "+OK " + std::string(kPopReplyLimit + 300000, 'x');
    struct Case {
        const std::string* reply;
        bool multiLine;
        bool cut;
    } cases[] = {{&whole, true, false}, {&longer, true, true}, {&endless, false, true}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        Server server;
        std::vector<Server::Step> script = {Server::Reply("+OK\r\n"), Server::Expect("top 1 0\r\n"),
                                            Server::Reply(*c.reply)};
        if (!c.cut) {
            script.push_back(Server::Expect("quit\r\n"));
            script.push_back(Server::Reply("+OK\r\n"));
        }
        script.push_back(Server::AwaitClose());
        ASSERT_TRUE(server.Start(script, 20000));
        ASSERT_TRUE(Connect(server)) << "case " << i;
        PopReadResponse(false);
        PopSendTop(1);
        const int length = PopReadResponse(c.multiLine);
        EXPECT_EQ(c.cut, PopReplyCut()) << "case " << i;
        EXPECT_EQ(static_cast<int>(kPopReplyLimit), length) << "case " << i;
        EXPECT_TRUE(std::memcmp(gResponseBuffer, c.reply->data(), kPopReplyLimit) == 0) << "case " << i;
        EXPECT_EQ(c.cut, gSessionSocket == INVALID_SOCKET) << "case " << i;
        const DWORD start = GetTickCount();
        PopQuit();
        const DWORD quitMs = GetTickCount() - start;
        server.Finish();
        EXPECT_TRUE(server.ClientClosed()) << "case " << i;
        if (c.cut) {
            EXPECT_EQ("top 1 0\r\n", server.Received()) << "case " << i << ": nothing sent after the cut";
            EXPECT_LT(quitMs, 2000u) << "case " << i << ": no reply waited for after the cut";
        } else {
            EXPECT_EQ("", server.Failure()) << "case " << i;
            EXPECT_EQ("top 1 0\r\nquit\r\n", server.Received()) << "case " << i;
        }
    }
}

TEST_F(Pop3Session, ListOfManyMessages) {
    const int32_t count = 20000;
    std::string reply = "+OK " + std::to_string(count) + " messages:\r\n";
    for (int32_t n = 1; n <= count; ++n) {
        reply += std::to_string(n) + " " + std::to_string(n * 7 + 300) + "\r\n";
    }
    reply += ".\r\n";
    Server server;
    ASSERT_TRUE(server.Start({
        Server::Reply("+OK\r\n"), Server::Expect("list\r\n"),
        Server::ReplyInPieces(reply, std::vector<std::size_t>(reply.size() / 4000, 4000), 0),
        Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"),
    }));
    ASSERT_TRUE(Connect(server));
    PopReadResponse(false);
    ASSERT_EQ(count, PopList());
    for (int32_t n = 1; n <= count; ++n) {
        ASSERT_EQ(n * 7 + 300, gSizeTable[n - 1]) << "message " << n;
    }
    PopQuit();
    server.Finish();
    EXPECT_EQ("", server.Failure());
}

// A refused LIST is one line: the read must end there, not wait for a "." line.
TEST_F(Pop3Session, RefusedListEndsAtItsLineAndClearsTheSizes) {
    PopSetReceiveTimeout(30000);  // a hang would outlast the server's patience
    Server server;
    ASSERT_TRUE(server.Start({
        Server::Reply("+OK\r\n"),
        Server::Expect("list\r\n"), Server::Reply(kList),
        Server::Expect("list\r\n"), Server::Reply("-ERR mailbox locked\r\n"),
        Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"),
        Server::AwaitClose(),
    }));
    ASSERT_TRUE(Connect(server));
    PopReadResponse(false);
    ASSERT_EQ(2, PopList());
    EXPECT_EQ(0, PopList());
    EXPECT_EQ(0, gMessageCount);
    EXPECT_EQ(nullptr, gSizeTable);
    EXPECT_EQ("-ERR mailbox locked\r\n", Response());
    PopQuit();
    server.Finish();
    EXPECT_EQ("", server.Failure());
}

struct LoginCase {
    const char* userReply;
    const char* passReply;  // null: PASS must not be sent
    bool loggedIn;
};

TEST_F(Pop3Session, LoginSendsPassOnlyAfterAnAcceptedUser) {
    const LoginCase cases[] = {
        {"+OK\r\n", "+OK welcome\r\n", true},
        {"-ERR unknown user\r\n", nullptr, false},
        {"+OK\r\n", "-ERR [AUTH] Authentication failed.\r\n", false},
        {"-ERR\r\n", nullptr, false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const LoginCase& c = cases[i];
        std::vector<Server::Step> script = {
            Server::Reply("+OK\r\n"),
            Server::Expect("user bob\r\n"), Server::Reply(c.userReply),
        };
        std::string wire = "user bob\r\n";
        if (c.passReply) {
            script.push_back(Server::Expect("pass pw 1\r\n"));
            script.push_back(Server::Reply(c.passReply));
            wire += "pass pw 1\r\n";
        }
        script.push_back(Server::Expect("quit\r\n"));
        script.push_back(Server::Reply("+OK\r\n"));
        script.push_back(Server::AwaitClose());
        wire += "quit\r\n";
        Server server;
        ASSERT_TRUE(server.Start(script));
        ASSERT_TRUE(Connect(server)) << "case " << i;
        PopReadResponse(false);
        EXPECT_EQ(c.loggedIn, PopLogin("bob", "pw 1")) << "case " << i;
        PopQuit();
        server.Finish();
        EXPECT_EQ("", server.Failure()) << "case " << i;
        EXPECT_EQ(wire, server.Received()) << "case " << i;
    }
}

TEST_F(Pop3Session, ConnectionClosedMidReplyKeepsWhatArrived) {
    Server server;
    ASSERT_TRUE(server.Start({
        Server::Reply("+OK\r\n"),
        Server::Expect("list\r\n"), Server::Reply("+OK 3 600\r\n1 100\r\n2 200\r\n3 3"),
        Server::Close(),
    }));
    ASSERT_TRUE(Connect(server));
    PopReadResponse(false);
    EXPECT_EQ(2, PopList()) << "the whole lines that arrived";
    ASSERT_NE(nullptr, gSizeTable);
    EXPECT_EQ(100, gSizeTable[0]);
    EXPECT_EQ(200, gSizeTable[1]);
    EXPECT_EQ("+OK 3 600\r\n1 100\r\n2 200\r\n3 3", Response());
    EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
    // The rest of the session ends at once, with empty replies.
    EXPECT_EQ(nullptr, PopFetchUidl(1));
    EXPECT_STREQ("", gResponseBuffer);
    PopSendTop(1);
    EXPECT_EQ(0, PopReadResponse(true));
    PopQuit();
    EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
    server.Finish();
    EXPECT_EQ("", server.Failure());
}

TEST_F(Pop3Session, UidlCutByAClosedConnectionIsNoUidl) {
    Server server;
    ASSERT_TRUE(server.Start({
        Server::Reply("+OK\r\n"),
        Server::Expect("uidl 1\r\n"), Server::Reply("+OK 1 abcd"),
        Server::Close(),
    }));
    ASSERT_TRUE(Connect(server));
    PopReadResponse(false);
    EXPECT_EQ(nullptr, PopFetchUidl(1));
    EXPECT_EQ("+OK 1 abcd", Response());
    server.Finish();
    EXPECT_EQ("", server.Failure());
}

// A server that stops answering: the read ends at the time-out with what arrived,
// the socket is closed, and the rest of the session does not wait again.
TEST_F(Pop3Session, StallingServerEndsAtTheReceiveTimeout) {
    PopSetReceiveTimeout(300);
    Server server;
    ASSERT_TRUE(server.Start({
        Server::Reply("+OK\r\n"),
        Server::Expect("list\r\n"), Server::Reply("+OK 2 messages:\r\n1 100\r\n"),
        Server::AwaitClose(),
    }, 4000));
    ASSERT_TRUE(Connect(server));
    PopReadResponse(false);
    EXPECT_EQ(1, PopList());
    ASSERT_NE(nullptr, gSizeTable);
    EXPECT_EQ(100, gSizeTable[0]);
    EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
    DWORD start = GetTickCount();
    EXPECT_EQ(nullptr, PopFetchUidl(1));
    PopQuit();
    DWORD rest = GetTickCount() - start;
    server.Finish();
    EXPECT_EQ("", server.Failure()) << "the client must close the stalled connection";
    EXPECT_TRUE(server.ClientClosed());
    EXPECT_EQ("list\r\n", server.Received());
    std::printf("rest of the stalled session took %lu ms\n", static_cast<unsigned long>(rest));
}

TEST_F(Pop3Session, ReceiveTimeoutIsSetOnTheSocket) {
    const DWORD settings[] = {0, 250, 60000, 0};
    const DWORD expected[] = {60000, 250, 60000, 60000};
    for (std::size_t i = 0; i < sizeof settings / sizeof settings[0]; ++i) {
        PopSetReceiveTimeout(settings[i]);
        Server server;
        ASSERT_TRUE(server.Start({Server::AwaitClose()}));
        ASSERT_TRUE(Connect(server)) << "case " << i;
        DWORD timeout = 0xcccccccc;
        int length = sizeof timeout;
        ASSERT_EQ(0, getsockopt(gSessionSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout), &length))
            << "case " << i;
        EXPECT_EQ(expected[i], timeout) << "case " << i;
        closesocket(gSessionSocket);
        gSessionSocket = INVALID_SOCKET;
        server.Finish();
    }
}

// ---- name lookup, connect and the waits around them ---------------------------

// The lookup the session is given in place of Winsock's: it records each name and
// each cancel, and answers as gAnswer says, at once or from a thread after a while.
enum class Answer { kLoopback, kNotFound, kNever };
Answer gAnswer = Answer::kLoopback;
DWORD gAnswerDelayMs = 0;
std::vector<std::string> gLookups;
std::vector<HANDLE> gCancels;
HANDLE gLastRequest = nullptr;
std::vector<std::thread> gAnswerers;

struct AnswerLayout {
    hostent host;
    char* list[2];
    in_addr address;
};

HANDLE WSAAPI FakeLookupStart(HWND window, u_int message, const char* name, char* buffer, int length) {
    gLookups.push_back(name ? name : "<null>");
    static std::uintptr_t next = 0x4100;
    HANDLE request = reinterpret_cast<HANDLE>(next++);
    gLastRequest = request;
    if (gAnswer == Answer::kNever) {
        return request;
    }
    LPARAM reply = WSAMAKEASYNCREPLY(0, WSAHOST_NOT_FOUND);
    if (gAnswer == Answer::kLoopback && length >= static_cast<int>(sizeof(AnswerLayout))) {
        AnswerLayout* answer = reinterpret_cast<AnswerLayout*>(buffer);
        answer->address.s_addr = htonl(INADDR_LOOPBACK);
        answer->list[0] = reinterpret_cast<char*>(&answer->address);
        answer->list[1] = nullptr;
        answer->host.h_name = const_cast<char*>("fake");
        answer->host.h_aliases = nullptr;
        answer->host.h_addrtype = AF_INET;
        answer->host.h_length = sizeof(in_addr);
        answer->host.h_addr_list = answer->list;
        reply = WSAMAKEASYNCREPLY(sizeof(AnswerLayout), 0);
    }
    const DWORD delay = gAnswerDelayMs;
    gAnswerers.emplace_back([window, message, request, reply, delay] {
        Sleep(delay);
        PostMessageA(window, message, reinterpret_cast<WPARAM>(request), reply);
    });
    return request;
}

int WSAAPI FakeLookupCancel(HANDLE request) {
    gCancels.push_back(request);
    return 0;
}

// A session test whose name lookups go to the fake.
class Pop3Connect : public Pop3Session {
protected:
    void SetUp() override {
        Pop3Session::SetUp();
        gAnswer = Answer::kLoopback;
        gAnswerDelayMs = 0;
        gLookups.clear();
        gCancels.clear();
        gLastRequest = nullptr;
        PopSetHostLookup(FakeLookupStart, FakeLookupCancel);
    }
    void TearDown() override {
        for (std::thread& answerer : gAnswerers) {
            answerer.join();
        }
        gAnswerers.clear();
        Pop3Session::TearDown();
    }
};

TEST_F(Pop3Connect, DottedAddressIsUsedWithoutALookup) {
    struct Case {
        const char* server;
        std::size_t lookups;
    } cases[] = {{"127.0.0.1", 0}, {"pop.example.jp", 1}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        gLookups.clear();
        Server server;
        ASSERT_TRUE(server.Start({Server::Reply("+OK hello\r\n"), Server::AwaitClose()}));
        ASSERT_TRUE(PopConnect(cases[i].server, server.Port())) << "case " << i;
        PopReadResponse(false);
        EXPECT_EQ("+OK hello\r\n", Response()) << "case " << i;
        closesocket(gSessionSocket);
        gSessionSocket = INVALID_SOCKET;
        server.Finish();
        ASSERT_EQ(cases[i].lookups, gLookups.size()) << "case " << i;
        if (cases[i].lookups) {
            EXPECT_EQ(cases[i].server, gLookups[0]) << "case " << i;
        }
    }
    EXPECT_TRUE(gCancels.empty()) << "an answered lookup is not cancelled";
}

// The message pump of a waiting session as the progress window runs it: it
// dispatches the thread's messages, and cancels once cancelAfterMs have passed
// (0: never). holdMs keeps its first call away from the socket for that long, as
// a modal loop nested in it would (the caption held, a host timer's message box).
struct TestPump {
    DWORD started = GetTickCount();
    DWORD cancelAfterMs = 0;
    DWORD holdMs = 0;
    int calls = 0;
    static bool Run(void* self) {
        TestPump* pump = static_cast<TestPump*>(self);
        if (pump->calls++ == 0 && pump->holdMs) {
            Sleep(pump->holdMs);
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        return pump->cancelAfterMs == 0 || GetTickCount() - pump->started < pump->cancelAfterMs;
    }
};

// Before any connection exists the session waits for the name service and for
// the server's handshake like for an answer: the pump keeps running, its cancel
// ends the wait at once, the time-out ends it too, and a late answer is taken.
TEST_F(Pop3Connect, LookupAndConnectWaitLikeAReply) {
    DroppingListener dropping;
    ASSERT_TRUE(dropping.Ready()) << "no loopback port that drops connection requests";
    Server server;
    ASSERT_TRUE(server.ServeMany([](Pop3PeerConnection& c, int) { c.Send("+OK\r\n"); c.WaitForClose(5000); },
                                 LoopbackPop3Peer::kUntilStopped, 20000));
    enum Target { kSlowName, kDroppingPort, kLateName };
    // A cancel comes long before the time-out; a time-out well before the 20 s
    // and more that the system gives an unanswered connection request.
    struct Case {
        Target target;
        DWORD timeoutMs;
        DWORD cancelAfterMs;  // 0: no cancel
        bool pump;
        bool connected;
        bool cancelled;
        DWORD atLeastMs;
        DWORD atMostMs;
    } cases[] = {
        {kSlowName, 8000, 250, true, false, true, 200, 2500},
        {kSlowName, 600, 0, false, false, false, 550, 3000},
        {kDroppingPort, 8000, 250, true, false, true, 200, 2500},
        {kDroppingPort, 600, 0, true, false, false, 550, 3000},
        {kDroppingPort, 600, 0, false, false, false, 550, 3000},
        {kLateName, 8000, 0, true, true, false, 250, 3000},   // answered while the pump runs
        {kLateName, 8000, 0, false, true, false, 250, 3000},  // answered without a pump
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        gCancels.clear();
        gLookups.clear();
        gAnswer = c.target == kSlowName ? Answer::kNever : Answer::kLoopback;
        gAnswerDelayMs = c.target == kLateName ? 300 : 0;
        PopSetReceiveTimeout(c.timeoutMs);
        TestPump pump;
        pump.cancelAfterMs = c.cancelAfterMs;
        PopSetMessagePump(c.pump ? &TestPump::Run : nullptr, &pump);
        const bool byName = c.target != kDroppingPort;
        const DWORD start = GetTickCount();
        bool connected = PopConnect(byName ? "pop.example.jp" : "127.0.0.1",
                                    c.target == kDroppingPort ? dropping.Port() : server.Port());
        const DWORD took = GetTickCount() - start;
        PopSetMessagePump(nullptr, nullptr);
        std::printf("case %u ended after %lu ms\n", static_cast<unsigned>(i), static_cast<unsigned long>(took));
        EXPECT_EQ(c.connected, connected) << "case " << i;
        EXPECT_EQ(c.connected, gSessionSocket != INVALID_SOCKET) << "case " << i;
        EXPECT_EQ(c.cancelled, PopCancelled()) << "case " << i;
        EXPECT_GE(took, c.atLeastMs) << "case " << i;
        EXPECT_LE(took, c.atMostMs) << "case " << i;
        EXPECT_EQ(byName ? 1u : 0u, gLookups.size()) << "case " << i;
        if (c.target == kSlowName) {
            ASSERT_EQ(1u, gCancels.size()) << "case " << i << ": the unanswered lookup is withdrawn";
            EXPECT_EQ(gLastRequest, gCancels[0]) << "case " << i;
        } else {
            EXPECT_TRUE(gCancels.empty()) << "case " << i;
        }
        if (c.pump && c.target != kLateName) {
            EXPECT_GE(pump.calls, 2) << "case " << i << ": the window's messages flow while it waits";
        }
        if (connected) {
            PopReadResponse(false);
            EXPECT_EQ("+OK\r\n", Response()) << "case " << i;
            closesocket(gSessionSocket);
            gSessionSocket = INVALID_SOCKET;
        }
    }
    server.Stop();
}

// The pump held for longer than the time-out while the server's answer came: the
// answer is read, not taken for the server's silence. A server that stays silent
// still times out.
TEST_F(Pop3Connect, PumpHeldPastTheTimeOutStillTakesWhatCame) {
    PopSetReceiveTimeout(300);
    enum Answered { kGreeting, kLookup, kNothing };
    struct Case {
        Answered answered;
        bool whole;
    } cases[] = {{kGreeting, true}, {kLookup, true}, {kNothing, false}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        Server server;
        // The answer comes after the wait's first look and while the pump is held.
        std::vector<Server::Step> script = {Server::AwaitClose()};
        if (c.answered == kGreeting) {
            script.insert(script.begin(), {Server::Stall(150), Server::Reply("+OK ready\r\n")});
        } else if (c.answered == kLookup) {
            script.insert(script.begin(), Server::Reply("+OK ready\r\n"));
        }
        ASSERT_TRUE(server.Start(script, 4000));
        gAnswer = Answer::kLoopback;
        gAnswerDelayMs = 150;
        TestPump pump;
        pump.holdMs = 900;
        PopSetMessagePump(&TestPump::Run, &pump);
        bool connected = PopConnect(c.answered == kLookup ? "pop.example.jp" : "127.0.0.1", server.Port());
        EXPECT_TRUE(connected) << "case " << i;
        int length = connected ? PopReadResponse(false) : 0;
        PopSetMessagePump(nullptr, nullptr);
        EXPECT_EQ(c.whole, !PopReplyCut()) << "case " << i;
        EXPECT_FALSE(PopCancelled()) << "case " << i;
        if (c.whole) {
            EXPECT_EQ(11, length) << "case " << i;
            EXPECT_EQ("+OK ready\r\n", Response()) << "case " << i;
            EXPECT_NE(INVALID_SOCKET, gSessionSocket) << "case " << i;
        } else {
            EXPECT_EQ(INVALID_SOCKET, gSessionSocket) << "case " << i << ": a silent server times out";
        }
        EXPECT_GE(pump.calls, 1) << "case " << i;
        if (gSessionSocket != INVALID_SOCKET) {
            closesocket(gSessionSocket);
            gSessionSocket = INVALID_SOCKET;
        }
        server.Finish();
    }
}

TEST_F(Pop3Session, RealNameLookupOfLocalhost) {
    Server server;
    ASSERT_TRUE(server.Start({Server::Reply("+OK\r\n"), Server::AwaitClose()}));
    ASSERT_TRUE(PopConnect("localhost", server.Port()));
    PopReadResponse(false);
    EXPECT_EQ("+OK\r\n", Response());
    closesocket(gSessionSocket);
    gSessionSocket = INVALID_SOCKET;
    server.Finish();
}

// Failures before a connection exists: false, no socket left, no message box.
TEST_F(Pop3Connect, ConnectFailuresAreSilent) {
    gAnswer = Answer::kNotFound;
    u_short unused = UnusedLoopbackPort();
    ASSERT_NE(0, unused);
    struct Case {
        const char* server;
        int port;
        std::size_t lookups;
    } cases[] = {
        {"no-such-host.invalid", 110, 1},  // not resolvable
        {"127.0.0.1", unused, 0},          // refused
        {"127.0.0.1", 0, 0},               // ports that htons would fold onto others
        {"127.0.0.1", 65536 + 110, 0},
        {"127.0.0.1", -1, 0},
        {nullptr, 110, 0},
    };
    MessageBoxCloser boxes("Kirvan");
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        gLookups.clear();
        EXPECT_FALSE(PopConnect(cases[i].server, cases[i].port)) << "case " << i;
        EXPECT_EQ(INVALID_SOCKET, gSessionSocket) << "case " << i;
        EXPECT_EQ(cases[i].lookups, gLookups.size()) << "case " << i;
    }
    EXPECT_TRUE(boxes.Stop().empty());
}

TEST_F(Pop3Session, NewConnectClosesAnEarlierSocket) {
    Server first;
    Server second;
    ASSERT_TRUE(first.Start({Server::AwaitClose()}));
    ASSERT_TRUE(second.Start({Server::AwaitClose()}));
    ASSERT_TRUE(Connect(first));
    ASSERT_TRUE(Connect(second));
    first.Finish();
    EXPECT_EQ("", first.Failure());
    EXPECT_TRUE(first.ClientClosed());
    closesocket(gSessionSocket);
    gSessionSocket = INVALID_SOCKET;
    second.Finish();
}

// Without a started socket library no socket can be made: the user is told.
TEST_F(Pop3Session, SocketCreateErrorShowsTheBox) {
    u_short port = UnusedLoopbackPort();
    ASSERT_NE(0, port);
    ASSERT_EQ(0, WSACleanup());
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe != INVALID_SOCKET) {
        closesocket(probe);
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        GTEST_SKIP() << "this Winsock creates sockets without WSAStartup";
    }
    bool connected;
    std::vector<std::string> texts;
    {
        MessageBoxCloser boxes("Kirvan");
        connected = PopConnect("127.0.0.1", port);
        for (const MessageBoxSeen& box : boxes.Stop()) {
            texts.push_back(box.text);
        }
    }
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    EXPECT_FALSE(connected);
    EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ("Socket Create Error", texts[0]);
}

}  // namespace
