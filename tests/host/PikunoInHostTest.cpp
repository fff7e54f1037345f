// The real plug-in in the stand-in host: its selective receive followed by the host's
// own retrieval, against a POP3 server thread on loopback.

#include <gtest/gtest.h>

#include <winsock2.h>

#include "HostRunQuenla.h"
#include "LoopbackPop3Peer.h"
#include "MailboxFolder.h"
#include "WinsockEnvironment.h"

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A message of exactly `size` bytes.
Pop3MailboxMessage SizedMessage(const std::string& uidl, size_t size) {
    std::string content = "Subject: " + uidl + "\r\n\r\n";
    while (content.size() + 12 <= size) {
        content += "0123456789\r\n";
    }
    content.append(size - content.size(), 'x');
    return Pop3MailboxMessage{uidl, content};
}

class PikunoInHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetFileAttributesA("Pikuno.dll") == INVALID_FILE_ATTRIBUTES) {
            GTEST_SKIP() << "Pikuno.dll is not built";
        }
    }

    void Prepare(std::vector<Pop3MailboxMessage> messages, int notDelete, const std::string& filterLines) {
        server.reset(new Pop3Mailbox(std::move(messages), "taro", "pw"));
        ASSERT_TRUE(server->Start());
        box.AddAccount("Account1", "POP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(server->Port()) +
                                       "\r\nAccount=taro\r\nPassword=pw\r\nNotDelete=" +
                                       std::to_string(notDelete) + "\r\n");
        box.WriteFile("Account1\\Kirvan.ini", "[Server]\r\npass=pw\r\n[Property]\r\nDoFilter=1\r\n" + filterLines);
    }

    // The selective receive command lands separately from the frame: until it does,
    // choosing the item does nothing at all and these runs cannot say anything.
    static bool SelectiveReceiveMissing(const RunResult& run) {
        return Contains(run.output, "choose \"選択受信\"") && !Contains(run.output, "api: GetAccount");
    }

    RunResult Run(const std::vector<std::string>& commands) {
        std::vector<std::string> args = {"--mailbox", box.Path(), "--plugin", "Pikuno.dll", "--hide"};
        for (const std::string& command : commands) {
            args.push_back("--do");
            args.push_back(command);
        }
        return RunQuenla(args);
    }

    MailboxFolder box;
    std::unique_ptr<Pop3Mailbox> server;  // stopped with the test
};

TEST_F(PikunoInHostTest, SizeFilterSetsTheLargeMessageAsideAndTheHostDeletesTheOthers) {
    Prepare({SizedMessage("u1", 4000), SizedMessage("u2", 5000), SizedMessage("u3", 6000)}, 1,
            "FilterType=1\r\nCheckSize=1\r\nFilterSize=5000\r\nDelete=1\r\n");
    RunResult run = Run({"menu 選択受信", "list"});
    if (SelectiveReceiveMissing(run)) {
        GTEST_SKIP() << "the plug-in's selective receive command does nothing yet";
    }
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "receive: Account1 on server 3, skipped 1, retrieved 2")) << run.output;
    // The stored mail is 2 bytes longer than the listed size: the message does not end
    // in a line break, and the one the server adds before its end line is kept.
    EXPECT_TRUE(Contains(run.output, "message 1 uidl \"u1\" -> Account1\\inbox.box\\00000001 (4002 bytes) filter 1, deleted on server")) << run.output;
    EXPECT_TRUE(Contains(run.output, "message 2 uidl \"u2\" -> Account1\\inbox.box\\00000002 (5002 bytes) filter 1, deleted on server")) << run.output;
    EXPECT_EQ("u3\nu1\nu2\n", box.ReadFile("Account1\\uidl"));
    ASSERT_EQ(1u, server->Messages().size());
    EXPECT_EQ("u3", server->Messages()[0].uidl);
}

TEST_F(PikunoInHostTest, SelectionDialogTicksDecideWhatTheHostReceives) {
    Prepare({{"j1", "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\n\r\none\r\n"},
             {"j2", "Subject: hello\r\n\r\ntwo\r\n"},
             {"j3", "From: nobody\r\n\r\nthree\r\n"}},
            1, "FilterType=0\r\nDelete=0\r\n");
    std::string picture = box.Path() + "selection.bmp";
    RunResult run = Run({"dialog ﾀﾞｲｱﾛｸﾞ tick 2 shot " + picture + " ok", "menu 選択受信", "list"});
    if (SelectiveReceiveMissing(run)) {
        GTEST_SKIP() << "the plug-in's selective receive command does nothing yet";
    }
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "  list 3 items\n"
                                     "  item 1 \"日本語\" \"52\" unticked\n"
                                     "  item 2 \"hello\" \"23\" unticked\n"
                                     "  item 3 \"No Subject\" \"23\" unticked\n"
                                     "  ticked item 2\n"))
        << run.output;
    EXPECT_TRUE(Contains(run.output, "receive: Account1 on server 3, skipped 2, retrieved 1"));
    EXPECT_TRUE(Contains(run.output, "message 2 uidl \"j2\" -> Account1\\inbox.box\\00000001 (23 bytes) filter 0, kept on server"));
    EXPECT_EQ("j1\nj3\nj2\n", box.ReadFile("Account1\\uidl"));
    EXPECT_EQ(3u, server->Messages().size());
    EXPECT_TRUE(box.Exists("selection.bmp"));
}

TEST_F(PikunoInHostTest, HostThatDeletesReceivedMailIsToldOff) {
    Prepare({SizedMessage("u1", 100)}, 0, "FilterType=1\r\n");
    RunResult run = Run({"box Kirvan ok", "menu 選択受信"});
    if (SelectiveReceiveMissing(run)) {
        GTEST_SKIP() << "the plug-in's selective receive command does nothing yet";
    }
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "box \"Kirvan\"\n  text \"メールのフィルター処理を行う為には\\n"
                                     "メールをサーバーに残す設定にしてから\\nQuenlaを再起動してください\"\n"
                                     "  pressed ok\n"))
        << run.output;
    EXPECT_FALSE(Contains(run.output, "receive:")) << "no retrieval was started";
    EXPECT_TRUE(server->Commands().empty());
}

TEST_F(PikunoInHostTest, SettingsSheetPagesArePicturedAndTheSheetCancelled) {
    if (GetFileAttributesA("Pikunoset.dll") == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "Pikunoset.dll is not built";
    }
    box.AddAccount("Account1", "Title=仕事用\r\n");
    std::string first = box.Path() + "page1.bmp", second = box.Path() + "page2.bmp";
    RunResult run = Run({"dialog \"Pikuno 設定\" shot " + first + " page 2 shot " + second + " page 3 cancel", "setup"});
    EXPECT_EQ(1u, run.status) << "page 3 does not exist\n" << run.output;
    EXPECT_TRUE(Contains(run.output, "dialog \"Pikuno 設定\"\n  picture " + first + "\n  page 2\n  picture " + second +
                                     "\nFAILED: \"Pikuno 設定\" has no page 3\n  pressed cancel\n"))
        << run.output;
    std::string one = box.ReadFile("page1.bmp"), two = box.ReadFile("page2.bmp");
    ASSERT_GT(one.size(), 54u);
    EXPECT_EQ(one.size(), two.size());
    EXPECT_NE(one, two) << "the second picture shows the other page";
    EXPECT_FALSE(box.Exists("Account1\\Kirvan.ini")) << "cancelled: nothing written";
}

const char kDigest[] =
    "From: list@example.com\r\n"
    "Subject: digest\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/digest; boundary=\"BOUND\"\r\n"
    "\r\n"
    "preamble\r\n"
    "--BOUND\r\n"
    "Content-Type: message/rfc822\r\n"
    "\r\n"
    "Subject: part one\r\n"
    "\r\n"
    "body one\r\n"
    "\r\n"
    "--BOUND\r\n"
    "Content-Type: message/rfc822\r\n"
    "\r\n"
    "Subject: part two\r\n"
    "\r\n"
    "body two\r\n"
    "--BOUND--\r\n";

TEST_F(PikunoInHostTest, FolderCommandSplitsTheSelectedDigest) {
    struct Case {
        const char* digestLines;
        const char* answer;  // for "Delete OK?", or null
        bool sourceInInbox;
        bool sourceInTrash;
    } cases[] = {
        {"Divide=1\r\n", nullptr, false, true},
        {"Divide=1\r\nDelType=1\r\nMark=3\r\n", "yes", false, false},
        {"Divide=1\r\nDelType=1\r\nMark=3\r\n", "no", true, false},
        {"Divide=0\r\n", nullptr, true, false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailboxFolder mailbox;
        mailbox.AddAccount("Account1", "");
        mailbox.WriteFile("Pikuno.ini", std::string("[Digest]\r\n") + cases[i].digestLines);
        mailbox.WriteFile("Account1\\inbox.box\\00000001.qnl", kDigest);
        std::vector<std::string> args = {"--mailbox", mailbox.Path(), "--plugin", "Pikuno.dll", "--hide",
                                         "--do", "select #1"};
        if (cases[i].answer) {
            args.insert(args.end(), {"--do", std::string("box deletemail ") + cases[i].answer});
        }
        args.insert(args.end(), {"--do", "folder-menu ダイジェストメール分割"});
        RunResult run = RunQuenla(args);
        EXPECT_EQ(0u, run.status) << "case " << i << "\n" << run.output;
        EXPECT_EQ(cases[i].sourceInInbox, mailbox.Exists("Account1\\inbox.box\\00000001.qnl")) << "case " << i;
        EXPECT_EQ(cases[i].sourceInTrash, mailbox.Exists("Account1\\trash.box\\00000001.qnl")) << "case " << i;
        if (std::string(cases[i].digestLines) == "Divide=0\r\n") {
            EXPECT_FALSE(mailbox.Exists("Account1\\inbox.box\\00000002.qnl")) << "case " << i;
            continue;
        }
        EXPECT_EQ("Subject: part one\r\n\r\nbody one\r\n\r\n", mailbox.ReadFile("Account1\\inbox.box\\00000002.qnl"))
            << "case " << i << "\n" << run.output;
        EXPECT_EQ("Subject: part two\r\n\r\nbody two\r\n", mailbox.ReadFile("Account1\\inbox.box\\00000003.qnl"))
            << "case " << i;
        std::string mark = i == 0 ? "0" : "3";
        EXPECT_TRUE(Contains(mailbox.ReadFile("Account1\\inbox.box\\folder.idx"),
                             "00000002\t" + mark + "\t1\r\n00000003\t" + mark + "\t1\r\n"))
            << "case " << i;
        if (cases[i].answer) {
            EXPECT_TRUE(Contains(run.output, "box \"deletemail\"\n  text \"Delete OK?\"\n  pressed ")) << "case " << i;
        }
    }
}

TEST_F(PikunoInHostTest, ReceivedDigestIsSplitWhenTheRetrievalEnds) {
    Prepare({{"d1", kDigest}, {"d2", "Subject: plain\r\n\r\ntext\r\n"}}, 1, "");
    box.WriteFile("Pikuno.ini", "[Digest]\r\nDivide=1\r\n");
    RunResult run = Run({"receive", "list", "list Account1\\trash.box"});
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "filter 0, kept on server")) << run.output;
    // The split comes after both mails are stored, inside VbxFolderEndRetrieve.
    size_t stored = run.output.find("uidl \"d2\" -> Account1\\inbox.box\\00000002");
    size_t imported = run.output.find("api: ImportFile \"Account1\\inbox.box\" flags 0x40000000 -> Account1\\inbox.box\\00000003");
    size_t moved = run.output.find("api: MoveMail \"Account1\\inbox.box\\00000001\" to \"Account1\\trash.box\"");
    size_t ended = run.output.find("plugin: VbxFolderEndRetrieve");
    ASSERT_NE(std::string::npos, stored) << run.output;
    ASSERT_NE(std::string::npos, imported) << run.output;
    ASSERT_NE(std::string::npos, moved) << run.output;
    EXPECT_LT(stored, imported);
    EXPECT_LT(imported, moved);
    EXPECT_LT(moved, ended);
    EXPECT_EQ("Subject: part two\r\n\r\nbody two\r\n", box.ReadFile("Account1\\inbox.box\\00000004.qnl"));
    EXPECT_EQ(kDigest, box.ReadFile("Account1\\trash.box\\00000001.qnl"));
    EXPECT_EQ("Subject: plain\r\n\r\ntext\r\n", box.ReadFile("Account1\\inbox.box\\00000002.qnl"));
}

}  // namespace
