// Quenla.exe run as the tests and the demo run it: non-interactively, with the probe
// plug-in, checking what it printed, its exit status and the files it wrote.

#include <gtest/gtest.h>

#include <winsock2.h>

#include <set>

#include "LoopbackPop3Peer.h"
#include "HostRunQuenla.h"
#include "MailboxFolder.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class QuenlaRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        box.AddAccount("Account1", "Title=テスト\r\n");
    }

    RunResult Run(std::vector<std::string> commands, std::vector<std::string> extra = {}) {
        // Hidden folder window: a shown one costs seconds under Wine; dialogs and
        // message boxes still appear.
        std::vector<std::string> args = {"--mailbox", box.Path(), "--plugin", "HostProbe.dll", "--hide"};
        for (const std::string& command : commands) {
            args.push_back("--do");
            args.push_back(command);
        }
        args.insert(args.end(), extra.begin(), extra.end());
        return RunQuenla(args);
    }

    std::string ProbeLog() const { return box.ReadFile("probe.log"); }

    MailboxFolder box;
};

TEST_F(QuenlaRunTest, ThePlugInExtendsBothMenus) {
    RunResult run = Run({"print-menu", "print-menu folder"});
    EXPECT_EQ(0u, run.status) << run.output;
    // Item texts byte for byte: "プローブ受信" is 83 76 83 8D 81 5B 83 75 8E F3 90 4D.
    EXPECT_TRUE(Contains(run.output, "menu bar/3/1 id 40960 \"プローブ受信\" [83 76 83 8D 81 5B 83 75 8E F3 90 4D]\n"
                                     "menu bar/3/2 separator\n"
                                     "menu bar/3/3 id 32786 \"受信(&R)\""))
        << run.output;
    EXPECT_TRUE(Contains(run.output, "menu folder/1 id 40961 \"プローブ分割\""));
    EXPECT_TRUE(Contains(run.output, "menu folder/2 id 1 \"開く(&O)\""));
    EXPECT_TRUE(Contains(run.output, "plugin: loaded HostProbe.dll name \"HostProbe\""));
    EXPECT_TRUE(Contains(run.output, "plugin: VbxFolderInitMenu 101 -> 1"));
    EXPECT_EQ("startup\r\ncleanup\r\n", ProbeLog());
}

TEST_F(QuenlaRunTest, FolderMenuOutsideTheInboxHasNoPlugInItem) {
    RunResult run = Run({"folder Account1\\trash.box", "print-menu folder"});
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "menu folder/1 id 1 \"開く(&O)\"")) << run.output;
    EXPECT_FALSE(Contains(run.output, "プローブ分割"));
}

TEST_F(QuenlaRunTest, FailuresEndWithStatusOne) {
    struct Case {
        std::vector<std::string> commands;
        std::vector<std::string> extra;
        const char* printed;
    } cases[] = {
        {{"menu nothing"}, {}, "FAILED: menu has no item \"nothing\""},
        {{"account Account9"}, {}, "FAILED: no account Account9"},
        {{"bogus"}, {}, "FAILED: unknown command bogus"},
        {{"box Never ok"}, {}, "FAILED: window \"Never\" never appeared"},
        {{"version"}, {"--unexpected-ms", "300"}, "FAILED: unexpected window \"ProbeVersion\", closed"},
        {{"echo hi"}, {"--plugin", "absent.dll"}, "FAILED: plug-in not loaded"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        RunResult run = Run(cases[i].commands, cases[i].extra);
        EXPECT_EQ(1u, run.status) << "case " << i << "\n" << run.output;
        EXPECT_TRUE(Contains(run.output, cases[i].printed)) << "case " << i << "\n" << run.output;
    }
}

TEST_F(QuenlaRunTest, BadCommandLineEndsWithStatusTwo) {
    EXPECT_EQ(2u, RunQuenla({"--bogus"}).status);
    EXPECT_EQ(2u, RunQuenla({"--mailbox", box.Path() + "absent", "--do", "list"}).status);
}

TEST_F(QuenlaRunTest, MessageBoxesAreAnsweredAndReported) {
    RunResult run = Run({"box ProbeVersion ok", "version", "box ProbeSetup cancel", "setup",
                         "box ProbeSetup ok", "setup"});
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "box \"ProbeVersion\"\n  text \"HostProbe 1.0\"\n  pressed ok\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, "plugin: VbxVersionInfo -> 1"));
    EXPECT_TRUE(Contains(run.output, "  text \"設定しますか\"\n  pressed cancel\nplugin: VbxSetup -> 2"));
    EXPECT_TRUE(Contains(run.output, "  pressed ok\nplugin: VbxSetup -> 1"));
    EXPECT_EQ("startup\r\nversion\r\nsetup 2\r\nsetup 1\r\ncleanup\r\n", ProbeLog());
}

TEST_F(QuenlaRunTest, SelectionDialogIsTickedFromTheDriverThread) {
    box.WriteFile("probe.ini", "[Probe]\r\nItems=3\r\n");
    std::string picture = box.Path() + "dialog.bmp";
    RunResult run = Run({"dialog ﾀﾞｲｱﾛｸﾞ tick 1,3 shot " + picture + " ok", "menu プローブ受信",
                         "dialog ﾀﾞｲｱﾛｸﾞ cancel", "menu プローブ受信"});
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "dialog \"ﾀﾞｲｱﾛｸﾞ\"\n  list 3 items\n  item 1 \"件名1\" \"\" unticked\n"))
        << run.output;
    EXPECT_TRUE(Contains(run.output, "  ticked item 1\n  ticked item 3\n"));
    std::string log = ProbeLog();
    EXPECT_TRUE(Contains(log, "command receive value 7 account " + box.Path() + "Account1\\\r\nticked 1 3\r\n")) << log;
    EXPECT_TRUE(Contains(log, "cancelled\r\n"));
    // The plug-in's posted receive command ran after each command, then the end of retrieval.
    EXPECT_EQ(2u, [&] {
        size_t n = 0;
        for (size_t at = 0; (at = log.find("endretrieve", at)) != std::string::npos; ++at) ++n;
        return n;
    }());
    std::string bmp = box.ReadFile("dialog.bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ("BM", bmp.substr(0, 2));
    EXPECT_EQ(24, static_cast<unsigned char>(bmp[28])) << "24 bits per pixel";
    // The controls were drawn, not just the background: text, frames, the tick.
    std::set<std::string> colours;
    for (size_t at = 54; at + 3 <= bmp.size() && colours.size() < 8; at += 3) {
        colours.insert(bmp.substr(at, 3));
    }
    EXPECT_GE(colours.size(), 5u);
}

TEST_F(QuenlaRunTest, ReceiveCommandRetrievesThroughThePlugIn) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    Pop3Mailbox server({{"a1", "Subject: one\r\n\r\nx\r\n"},
                           {"a2", "Subject: two\r\nX-Probe-Delete: yes\r\n\r\ny\r\n"},
                           {"a3", "Subject: three\r\n\r\nz\r\n"}},
                          "taro", "pw");
    ASSERT_TRUE(server.Start());
    box.AddAccount("Account1", "POP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(server.Port()) +
                                   "\r\nAccount=taro\r\nPassword=pw\r\nNotDelete=1\r\n");
    box.WriteFile("Account1\\uidl", "a3");
    RunResult run = Run({"menu プローブ受信", "list"});
    server.Stop();
    WSACleanup();
    EXPECT_EQ(0u, run.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "receive: Account1 on server 3, skipped 1, retrieved 2")) << run.output;
    EXPECT_TRUE(Contains(run.output, "filter 1, deleted on server"));
    EXPECT_TRUE(Contains(run.output, "  mail 00000002 mark 0 unread 1 size 40 subject \"two\""));
    std::string log = ProbeLog();
    EXPECT_TRUE(Contains(log, "recfilter " + box.Path() + "Account1\\inbox.box\\00000001.qnl size 19 -> 0\r\n")) << log;
    EXPECT_TRUE(Contains(log, "-> 1\r\nendretrieve\r\n")) << log;
    ASSERT_EQ(2u, server.Messages().size());
    EXPECT_EQ("a1", server.Messages()[0].uidl);
    EXPECT_EQ("a3", server.Messages()[1].uidl);
    EXPECT_EQ("a3\na1\na2\n", box.ReadFile("Account1\\uidl")) << "the missing line end is mended first";
}

TEST_F(QuenlaRunTest, FolderCommandImportsAndDisposes) {
    struct Case {
        const char* dispose;
        const char* answer;  // for the "deletemail" box, or null
        bool sourceInInbox;
        bool sourceInTrash;
    } cases[] = {
        {"move", nullptr, false, true},
        {"ask", "yes", false, false},
        {"ask", "no", true, false},
        {"keep", nullptr, true, false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailboxFolder mailbox;
        mailbox.AddAccount("Account1", "");
        mailbox.WriteFile("Account1\\inbox.box\\00000001.qnl", "Subject: digest\r\n\r\nparts\r\n");
        mailbox.WriteFile("probe.ini", std::string("[Probe]\r\nImportFlags=1073741827\r\nDispose=") +
                                           cases[i].dispose + "\r\n");
        std::vector<std::string> args = {"--mailbox", mailbox.Path(), "--plugin", "HostProbe.dll", "--hide",
                                         "--do", "select #1"};
        if (cases[i].answer) {
            args.push_back("--do");
            args.push_back(std::string("box deletemail ") + cases[i].answer);
        }
        args.insert(args.end(), {"--do", "folder-menu プローブ分割"});
        RunResult run = RunQuenla(args);
        EXPECT_EQ(0u, run.status) << "case " << i << "\n" << run.output;
        EXPECT_TRUE(Contains(run.output, "api: FolderGetSelectEntry 1 -> \"Account1\\inbox.box\\00000001\""))
            << "case " << i << "\n" << run.output;
        EXPECT_TRUE(Contains(run.output, "api: FolderGetSelectEntry 0 -> null")) << "case " << i;
        EXPECT_TRUE(Contains(run.output, "flags 0x40000003 -> Account1\\inbox.box\\00000002")) << "case " << i;
        std::string index = mailbox.ReadFile("Account1\\inbox.box\\folder.idx");
        EXPECT_TRUE(Contains(index, "00000002\t3\t1\r\n")) << "case " << i << " " << index;
        EXPECT_EQ("Subject: digest\r\n\r\nparts\r\n", mailbox.ReadFile("Account1\\inbox.box\\00000002.qnl"));
        EXPECT_EQ(cases[i].sourceInInbox, mailbox.Exists("Account1\\inbox.box\\00000001.qnl")) << "case " << i;
        EXPECT_EQ(cases[i].sourceInTrash, mailbox.Exists("Account1\\trash.box\\00000001.qnl")) << "case " << i;
        if (cases[i].answer) {
            EXPECT_TRUE(Contains(run.output, "box \"deletemail\"\n  text \"Delete OK?\"\n  pressed ")) << "case " << i;
        }
    }
}

}  // namespace
