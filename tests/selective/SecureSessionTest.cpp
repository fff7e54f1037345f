// The steps that secure the command's session, against scripted servers that
// speak plain text: STLS asked for only when offered (and always when required),
// a refusal, plain bytes behind the +OK to STLS, a server that goes on in plain
// text where TLS was expected. Each failure shows its box and sends neither USER
// nor anything but CAPA and STLS. The handshakes and certificates themselves run
// against Dovecot (tests/tls, tests/e2e).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReceiveFixture.h"
#include "SelectiveReceive.h"
#include "WindowWatcher.h"

namespace {

using Server = LoopbackPop3Peer;

class SecureSession : public ReceiveFixture {};

TEST_F(SecureSession, StlsStepsAgainstPlainServers) {
    const std::string noStls = "+OK\r\nTOP\r\nUSER\r\nUIDL\r\n.\r\n";
    const std::string withStls = "+OK\r\nTOP\r\nSTLS\r\nUSER\r\n.\r\n";
    struct Case {
        const char* name;
        int security;
        std::vector<Server::Step> script;  // after the greeting
        std::string wire;                  // everything the client sent
        const char* boxPart;               // a part of the box's text; null: no box
        int receives;                      // host receive commands posted
    };
    const std::vector<Server::Step> plainLogin = {
        Server::Expect("user alice\r\n"), Server::Reply("+OK\r\n"),
        Server::Expect("pass s3cret\r\n"), Server::Reply("+OK\r\n"),
        Server::Expect("capa\r\n"), Server::Reply("-ERR\r\n"),
        Server::Expect("list\r\n"), Server::Reply("+OK 0 0\r\n.\r\n"),
        Server::Expect("quit\r\n"), Server::Reply("+OK\r\n")};
    std::vector<Server::Step> automaticWithoutStls = {Server::Expect("capa\r\n"), Server::Reply(noStls)};
    automaticWithoutStls.insert(automaticWithoutStls.end(), plainLogin.begin(), plainLogin.end());
    std::vector<Server::Step> capaRefused = {Server::Expect("capa\r\n"), Server::Reply("-ERR unknown\r\n")};
    capaRefused.insert(capaRefused.end(), plainLogin.begin(), plainLogin.end());
    const Case cases[] = {
        {"automatic, STLS not offered: plain text as before", 0, automaticWithoutStls,
         "capa\r\nuser alice\r\npass s3cret\r\ncapa\r\nlist\r\nquit\r\n", nullptr, 1},
        {"automatic, CAPA refused: plain text as before", 0, capaRefused,
         "capa\r\nuser alice\r\npass s3cret\r\ncapa\r\nlist\r\nquit\r\n", nullptr, 1},
        {"required, not offered", 2, {Server::Expect("capa\r\n"), Server::Reply(noStls), Server::AwaitClose()},
         "capa\r\n", "STARTTLS (STLS) に対応していない", 0},
        {"required, refused", 2,
         {Server::Expect("capa\r\n"), Server::Reply(withStls), Server::Expect("stls\r\n"),
          Server::Reply("-ERR not now\r\n"), Server::AwaitClose()},
         "capa\r\nstls\r\n", "STARTTLS (STLS) を拒否した", 0},
        {"automatic, plain bytes behind the +OK to STLS", 0,
         {Server::Expect("capa\r\n"), Server::Reply(withStls), Server::Expect("stls\r\n"),
          Server::Reply("+OK begin TLS\r\n+OK injected\r\n"), Server::AwaitClose()},
         "capa\r\nstls\r\n", "暗号化されていないデータが届いた", 0},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << ": " << c.name);
        std::vector<Server::Step> script = {Server::Reply("+OK ready\r\n")};
        script.insert(script.end(), c.script.begin(), c.script.end());
        KirvanIni kirvan;
        kirvan.security = c.security;
        kirvan.filterType = 2;  // nothing is set aside: the session ends after LIST
        Server server;
        ASSERT_TRUE(server.Start(script));
        MessageBoxCloser closer("Kirvan");
        Run(server, kirvan);
        std::vector<MessageBoxSeen> boxes = closer.Stop();
        server.Finish();
        EXPECT_EQ("", server.Failure());
        EXPECT_EQ(c.wire, server.Received());
        EXPECT_EQ(c.receives, TakeReceiveCommands());
        if (!c.boxPart) {
            EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
            continue;
        }
        ASSERT_EQ(1u, boxes.size());
        EXPECT_NE(std::string::npos, boxes[0].text.find(c.boxPart)) << boxes[0].text;
        EXPECT_NE(std::string::npos, boxes[0].text.find("パスワードは送っていません")) << boxes[0].text;
        EXPECT_TRUE(boxes[0].OnlyOk());
        EXPECT_EQ(window_, boxes[0].owner);
    }
}

// TLS expected from the start, a server greeting in plain text: recognised by
// the greeting's first byte, at once, and only the TLS hello went out.
TEST_F(SecureSession, PlainGreetingWhereTlsWasExpected) {
    Server server;
    std::string sent;
    ASSERT_TRUE(server.Serve([&sent](Pop3PeerConnection& conn) {
        conn.Send("+OK plain POP3 here\r\n");
        conn.WaitForClose(10000);
        sent = conn.Received();
    }));
    KirvanIni kirvan;
    kirvan.security = 1;
    MessageBoxCloser closer("Kirvan");
    Run(server, kirvan);
    std::vector<MessageBoxSeen> boxes = closer.Stop();
    server.Finish();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].text.find("暗号化されていない POP3 で応答しました")) << boxes[0].text;
    EXPECT_NE(std::string::npos, boxes[0].text.find(std::to_string(server.Port()))) << boxes[0].text;
    EXPECT_EQ(window_, boxes[0].owner);
    EXPECT_EQ(0, TakeReceiveCommands());
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(0x16, static_cast<unsigned char>(sent[0])) << "a TLS handshake record first";
    EXPECT_EQ(std::string::npos, sent.find("user")) << "nothing else went out";
}

}  // namespace
