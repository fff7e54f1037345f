// The selective receive command through Quenla.exe and Pikuno.dll against a
// server that breaks the plug-in's session, and with a uidl file that cannot be
// written; the host's own retrieval (a second connection) is served normally.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FaultHost.h"
#include "LoopbackPop3Peer.h"
#include "WinHandles.h"

namespace {

const char kMailOne[] = "Subject: one\r\n\r\nbody one\r\n";
const char kMailTwo[] = "Subject: two\r\n\r\nbody two\r\n";

// The host's retrieval: UIDL, RETR of what is not in uidl, QUIT.
void ServeHost(Pop3PeerConnection& c) {
    c.Send("+OK ready\r\n");
    std::string line;
    while (c.ReadLine(&line)) {
        if (line.compare(0, 4, "UIDL") == 0) {
            c.Send("+OK\r\n1 uid-one\r\n2 uid-two\r\n.\r\n");
        } else if (line.compare(0, 4, "RETR") == 0) {
            c.Send(std::string("+OK\r\n") + (line == "RETR 1" ? kMailOne : kMailTwo) + ".\r\n");
        } else if (line.compare(0, 4, "QUIT") == 0) {
            c.Send("+OK\r\n");
            return;
        } else {
            c.Send("+OK\r\n");
        }
    }
}

}  // namespace

TEST(SelectiveReceiveFaults, BrokenScanSetsNothingAsideAndStartsNoRetrieval) {
    // A list that could not be read whole is never shown or applied as if it
    // were: the box says so, nothing is set aside and the host's retrieval is not
    // started (it could delete from the server what the user meant to keep).
    struct Case {
        const char* name;
        std::string listReply;   // then, when uidlReply is empty, the server closes
        std::string uidlReply;   // answer to the UIDL listing, then the server closes
    };
    const Case cases[] = {
        {"closed during LIST", "+OK 2 200\r\n1 100\r\n2 1", ""},
        {"closed during the UIDL listing", "+OK 2 200\r\n1 100\r\n2 100\r\n.\r\n", "+OK\r\n1 uid-o"},
        {"junk for LIST", std::string("\x89PNG\r\n\x1a\n\0\0", 10), ""},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i) + " " + cases[i].name;
        TempFolder folder;
        std::string mailbox = faults::MakeMailbox(folder);
        Case c = cases[i];
        LoopbackPop3Peer server;
        ASSERT_TRUE(server.Serve([c](Pop3PeerConnection& conn) {
            std::string line;
            if (!conn.AcceptLogin() || !conn.ReadLine(&line)) return;  // then capa
            conn.Send("-ERR\r\n");
            if (!conn.ReadLine(&line)) return;  // list
            conn.Send(c.listReply);
            if (c.uidlReply.empty() || !conn.ReadLine(&line)) return;
            conn.Send(c.uidlReply);
        }));
        std::string port = std::to_string(server.Port());
        WriteFileBytes(mailbox + "Account1\\Account.ini", "[Property]\r\nPOP3Server=127.0.0.1\r\nPOP3Port=" + port +
                                                              "\r\nAccount=u\r\nPassword=p\r\nNotDelete=1\r\n");
        // Size filter with limit 0: a whole session would set both messages aside.
        // Plain text only (Security=3): the server's script begins with the login.
        WriteFileBytes(mailbox + "Account1\\Kirvan.ini",
                       "[Server]\r\npass=p\r\nSecurity=3\r\n[Property]\r\nDoFilter=1\r\nFilterType=1\r\nCheckSize=1\r\n"
                       "FilterSize=0\r\nDelete=1\r\n");
        faults::HostRun run = faults::RunQuenla(
            mailbox, {"account Account1", "box Kirvan ok", "menu 選択受信", "expect-done", "exit"}, {},
            180000);
        server.Finish();
        EXPECT_FALSE(run.timedOut) << where << "\n" << run.report;
        EXPECT_EQ(0u, run.exitCode) << where << "\n" << run.report;
        EXPECT_NE(std::string::npos, run.report.find("Kirvan")) << where << "\n" << run.report;
        EXPECT_EQ(0u, faults::MailFiles(mailbox, "Account1\\inbox.box").size()) << where << "\n" << run.report;
        EXPECT_FALSE(FileExists(mailbox + "Account1\\uidl")) << where;
    }
}

TEST(SelectiveReceiveFaults, ReadOnlyUidlFileLosesNoMail) {
    TempFolder folder;
    std::string mailbox = faults::MakeMailbox(folder);
    LoopbackPop3Peer server;
    ASSERT_TRUE(server.ServeMany(
        [](Pop3PeerConnection& conn, int index) {
            if (index == 1) {
                ServeHost(conn);
                return;
            }
            conn.Send("+OK ready\r\n");
            std::string line;
            while (conn.ReadLine(&line)) {
                if (line == "capa") {
                    conn.Send("-ERR\r\n");
                } else if (line == "list") {
                    conn.Send("+OK 2 200\r\n1 100\r\n2 100\r\n.\r\n");
                } else if (line == "uidl") {
                    conn.Send("+OK\r\n1 uid-one\r\n2 uid-two\r\n.\r\n");
                } else if (line == "uidl 1") {
                    conn.Send("+OK 1 uid-one\r\n");
                } else if (line == "uidl 2") {
                    conn.Send("+OK 2 uid-two\r\n");
                } else if (line == "quit") {
                    conn.Send("+OK\r\n");
                    return;
                } else {
                    conn.Send("+OK\r\n");
                }
            }
        },
        2));
    std::string uidlPath = mailbox + "Account1\\uidl";
    WriteFileBytes(uidlPath, "uid-old\n");
    ASSERT_TRUE(SetFileAttributesA(uidlPath.c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine lets a program running as root write a read-only file: held open here
    // without write sharing, the file cannot be written there either.
    UniqueFileHandle holder(CreateFileA(uidlPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.IsValid());
    WriteFileBytes(mailbox + "Account1\\Account.ini",
                           "[Property]\r\nPOP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(server.Port()) +
                               "\r\nAccount=u\r\nPassword=p\r\nNotDelete=1\r\n");
    WriteFileBytes(mailbox + "Account1\\Kirvan.ini",
                           "[Server]\r\npass=p\r\nSecurity=3\r\n[Property]\r\nDoFilter=1\r\nFilterType=1\r\nCheckSize=1\r\n"
                           "FilterSize=0\r\n");
    // The size filter sets both messages aside, but their UIDLs cannot reach the
    // file: so the host's retrieval, which the command starts, must bring both in,
    // and the file stays as it was. A message neither retrieved nor recorded is lost.
    faults::HostRun run = faults::RunQuenla(mailbox, {"account Account1", "menu 選択受信", "exit"}, {}, 180000);
    server.Finish();
    holder.Reset();
    EXPECT_FALSE(run.timedOut) << run.report;
    EXPECT_EQ(0u, run.exitCode) << run.report;
    EXPECT_NE(std::string::npos, run.report.find("receive: Account1 on server 2, skipped 0, retrieved 2")) << run.report;
    SetFileAttributesA(uidlPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::string uidl;
    ReadFileBytes(uidlPath, &uidl);
    EXPECT_EQ("uid-old\n", uidl);
    std::vector<std::string> retrieved = faults::MailFiles(mailbox, "Account1\\inbox.box");
    ASSERT_EQ(2u, retrieved.size()) << run.report;
    std::string first, second;
    ReadFileBytes(mailbox + "Account1\\inbox.box\\" + retrieved[0], &first);
    ReadFileBytes(mailbox + "Account1\\inbox.box\\" + retrieved[1], &second);
    EXPECT_EQ(kMailOne, first);
    EXPECT_EQ(kMailTwo, second);
}
