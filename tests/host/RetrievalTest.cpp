// The host's own retrieval against a POP3 server thread on loopback.

#include <gtest/gtest.h>

#include <winsock2.h>

#include <algorithm>

#include "LoopbackPop3Peer.h"
#include "MailboxFolder.h"
#include "MailStore.h"
#include "Retrieval.h"
#include "WinsockEnvironment.h"

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

class RetrievalTest : public ::testing::Test {
protected:
    void StartServer(std::vector<Pop3MailboxMessage> messages) {
        server.reset(new Pop3Mailbox(std::move(messages), "alice", "secret"));
        ASSERT_TRUE(server->Start());
    }

    void AddAccount(int notDelete, const char* password = "secret") {
        box.AddAccount("Account1", "POP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(server->Port()) +
                                       "\r\nAccount=alice\r\nPassword=" + password +
                                       "\r\nNotDelete=" + std::to_string(notDelete) + "\r\n");
        ASSERT_TRUE(store.Open(box.Path()));
    }

    RetrievalResult Retrieve(int answer = 0) {
        filtered.clear();
        return RetrieveAccountMail(store, "Account1", [this, answer](const std::string& path) {
            filtered.push_back(path);
            return answer;
        }, 5000);
    }

    bool Sent(const std::string& command) const {
        std::vector<std::string> commands = server->Commands();
        return std::find(commands.begin(), commands.end(), command) != commands.end();
    }

    static Pop3MailboxMessage Message(const std::string& uidl, const std::string& subject) {
        return Pop3MailboxMessage{uidl, "Subject: " + subject + "\r\n\r\nbody of " + subject + "\r\n"};
    }

    MailboxFolder box;
    MailStore store;
    std::unique_ptr<Pop3Mailbox> server;  // stopped with the test
    std::vector<std::string> filtered;
};

TEST_F(RetrievalTest, KeepingMailSkipsKnownUidlsAndRecordsTheNewOnes) {
    StartServer({Message("u1", "one"), Message("u2", "two"), Message("u3", "three")});
    AddAccount(1);
    box.WriteFile("Account1\\uidl", "u2\r\nother\n");
    RetrievalResult result = Retrieve();
    EXPECT_TRUE(result.complete) << result.error;
    EXPECT_EQ(3, result.onServer);
    EXPECT_EQ(1, result.skipped);
    ASSERT_EQ(2u, result.mails.size());
    EXPECT_EQ("u1", result.mails[0].uidl);
    EXPECT_EQ("Account1\\inbox.box\\00000001", result.mails[0].entry);
    EXPECT_EQ("u3", result.mails[1].uidl);
    EXPECT_EQ("Subject: three\r\n\r\nbody of three\r\n", box.ReadFile("Account1\\inbox.box\\00000002.qnl"));
    EXPECT_EQ("u2\r\nother\nu1\nu3\n", box.ReadFile("Account1\\uidl"));
    EXPECT_FALSE(Sent("RETR 2"));
    EXPECT_FALSE(Sent("DELE 1"));
    EXPECT_EQ("QUIT", server->Commands().back());
    EXPECT_EQ(3u, server->Messages().size());
    // The filter saw each stored mail's full path, in order.
    ASSERT_EQ(2u, filtered.size());
    EXPECT_EQ(box.Path() + "Account1\\inbox.box\\00000001.qnl", filtered[0]);
    EXPECT_EQ(box.Path() + "Account1\\inbox.box\\00000002.qnl", filtered[1]);
    // Stored unread, no mark.
    MailEntry entry;
    ASSERT_TRUE(store.Find("Account1\\inbox.box\\00000001", &entry));
    EXPECT_TRUE(entry.unread);
    EXPECT_EQ(0u, entry.mark);

    // A second retrieval brings nothing in twice.
    RetrievalResult again = Retrieve();
    EXPECT_EQ(3, again.skipped);
    EXPECT_TRUE(again.mails.empty());
}

TEST_F(RetrievalTest, AnswerOneDeletesFromTheServer) {
    StartServer({Message("u1", "one"), Message("u2", "two")});
    AddAccount(1);
    RetrievalResult result = Retrieve(1);
    ASSERT_EQ(2u, result.mails.size());
    EXPECT_TRUE(result.mails[0].deleted);
    EXPECT_TRUE(Sent("DELE 1"));
    EXPECT_TRUE(Sent("DELE 2"));
    EXPECT_TRUE(server->Messages().empty());
    EXPECT_EQ("u1\nu2\n", box.ReadFile("Account1\\uidl"));
}

TEST_F(RetrievalTest, NotDeleteZeroDeletesEveryRetrievedMail) {
    StartServer({Message("u1", "one"), Message("u2", "two")});
    AddAccount(0);
    box.WriteFile("Account1\\uidl", "u1\n");
    RetrievalResult result = Retrieve(0);
    ASSERT_EQ(1u, result.mails.size()) << "the uidl file is honoured in any case";
    EXPECT_TRUE(result.mails[0].deleted);
    ASSERT_EQ(1u, server->Messages().size());
    EXPECT_EQ("u1", server->Messages()[0].uidl);
    EXPECT_EQ("u1\n", box.ReadFile("Account1\\uidl")) << "nothing recorded for deleted mail";
}

TEST_F(RetrievalTest, DotStuffingIsUndone) {
    StartServer({Pop3MailboxMessage{"d", "Subject: dots\r\n\r\n.starts with a dot\r\n..two\r\n.\r\nend\r\n"}});
    AddAccount(1);
    Retrieve();
    EXPECT_EQ("Subject: dots\r\n\r\n.starts with a dot\r\n..two\r\n.\r\nend\r\n",
              box.ReadFile("Account1\\inbox.box\\00000001.qnl"));
}

TEST_F(RetrievalTest, RefusedLoginRetrievesNothing) {
    StartServer({Message("u1", "one")});
    AddAccount(1, "wrong");
    RetrievalResult result = Retrieve();
    EXPECT_TRUE(result.connected);
    EXPECT_FALSE(result.loggedIn);
    EXPECT_TRUE(result.mails.empty());
    EXPECT_FALSE(Sent("UIDL"));
    EXPECT_TRUE(store.List("Account1\\inbox.box").empty());
}

TEST_F(RetrievalTest, UnreachableServer) {
    StartServer({});
    int port = server->Port();
    server->Stop();
    box.AddAccount("Account1", "POP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(port) + "\r\nAccount=a\r\n");
    ASSERT_TRUE(store.Open(box.Path()));
    RetrievalResult result = RetrieveAccountMail(store, "Account1", nullptr, 2000);
    EXPECT_FALSE(result.connected);
    EXPECT_FALSE(result.error.empty());
}

TEST_F(RetrievalTest, ServerWithoutUidlRetrievesAllAndRecordsNothing) {
    StartServer({Message("u1", "one"), Message("u2", "two")});
    server->noUidl = true;
    AddAccount(1);
    RetrievalResult result = Retrieve();
    EXPECT_EQ(2u, result.mails.size());
    EXPECT_FALSE(box.Exists("Account1\\uidl"));
}

TEST(AccountSettingsTest, DefaultsAndHostPassword) {
    MailboxFolder box;
    box.AddAccount("Account1", "POP3Server=mail.example.jp\r\nAccount=taro\r\nPassword=p w\r\nNotDelete=1\r\n");
    AccountSettings settings = ReadAccountSettings(box.Path() + "Account1\\Account.ini");
    EXPECT_EQ("mail.example.jp", settings.server);
    EXPECT_EQ(110, settings.port) << "POP3Port absent";
    EXPECT_EQ("taro", settings.user);
    EXPECT_EQ("p w", settings.password);
    EXPECT_EQ(1, settings.notDelete);
}

}  // namespace
