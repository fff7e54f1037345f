// The selective receive command through Quenla.exe and Pikuno.dll against a
// server that breaks the plug-in's session, and with a uidl file that cannot be
// written; the host's own retrieval, when one comes, is a second connection.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "FaultHost.h"
#include "LoopbackPop3Peer.h"
#include "UnwritableFile.h"

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

TEST(SelectiveReceiveFaults, UidlHeldWithoutWriteSharingRetrievesNothing) {
    TempFolder folder;
    std::string mailbox = faults::MakeMailbox(folder);
    LoopbackPop3Peer server;
    std::atomic<int> hostSessions{0};
    std::atomic<int> deletions{0};
    ASSERT_TRUE(server.ServeMany(
        [&](Pop3PeerConnection& conn, int index) {
            if (index == 1) {
                ++hostSessions;  // the host's retrieval: it must never come
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
                } else if (line.compare(0, 4, "dele") == 0 || line.compare(0, 4, "DELE") == 0) {
                    ++deletions;
                    conn.Send("+OK\r\n");
                } else if (line == "quit") {
                    conn.Send("+OK\r\n");
                    return;
                } else {
                    conn.Send("+OK\r\n");
                }
            }
        },
        2, 20000));
    // Another program holds the file and lets others read it, not write it.
    UnwritableFile uidl(mailbox + "Account1\\uidl", WriteFault::HeldOpen);
    ASSERT_TRUE(uidl.Made());
    WriteFileBytes(mailbox + "Account1\\Account.ini",
                           "[Property]\r\nPOP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(server.Port()) +
                               "\r\nAccount=u\r\nPassword=p\r\nNotDelete=1\r\n");
    // The size filter sets both messages aside, with Delete 1: had the host's
    // retrieval started, it would have fetched both and deleted them on the server.
    WriteFileBytes(mailbox + "Account1\\Kirvan.ini",
                           "[Server]\r\npass=p\r\n[Property]\r\nDoFilter=1\r\nFilterType=1\r\nCheckSize=1\r\n"
                           "FilterSize=0\r\nDelete=1\r\n");
    faults::HostRun run = faults::RunQuenla(
        mailbox, {"account Account1", "box Kirvan ok", "menu 選択受信", "expect-done", "wait 1500", "exit"}, {},
        180000);
    server.Stop();
    EXPECT_FALSE(run.timedOut) << run.report;
    EXPECT_EQ(0u, run.exitCode) << run.report;
    EXPECT_NE(std::string::npos, run.report.find("Kirvan")) << run.report;
    EXPECT_EQ(std::string::npos, run.report.find("receive: Account1")) << run.report;
    EXPECT_EQ(0, hostSessions.load()) << "no retrieval";
    EXPECT_EQ(0, deletions.load()) << "nothing deleted on the server";
    EXPECT_TRUE(uidl.Unchanged());
    EXPECT_EQ(0u, faults::MailFiles(mailbox, "Account1\\inbox.box").size()) << run.report;
}
