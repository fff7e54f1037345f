// A host that drops the receive command the selective receive posts, through
// Quenla.exe --drop-posted-receive and Pikuno.dll on a dialled line: what the
// command left for that retrieval must not answer the next ordinary one.
// The host of bin/e2e runs, so that the plug-in dials through the scripted
// rasapi32.dll beside it, which writes each call to a log.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "FaultHost.h"
#include "LoopbackPop3Peer.h"
#include "ProgramFolder.h"
#include "WinsockEnvironment.h"

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

// The lines of the scripted rasapi32.dll's log.
std::vector<std::string> LogLines(const std::string& path) {
    std::string bytes;
    std::vector<std::string> lines;
    if (!ReadFileBytes(path, &bytes)) {
        return lines;
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "[" + line + "]";
    }
    return text;
}

}  // namespace

TEST(SelectiveReceiveFaults, DroppedReceiveCommandLeavesNothingForTheNextRetrieval) {
    // The size filter sets the large message aside with Delete 1 on a dialled
    // line. Dropped, the host's own receive command later must fetch the small
    // one and keep it on the server, with the line hung up before it connects.
    // Not dropped, with a server slow to greet, the retrieval the command asked
    // for keeps the state it was left: the small message deleted on the server,
    // the line up until the retrieval ends.
    struct Case {
        const char* name;
        bool drop;
        DWORD greetingDelayMs;  // before the host's retrieval is greeted
        std::vector<std::string> script;
        std::vector<std::string> linesAtTheRetrieval;  // the log when the host connects
        bool smallOneDeleted;
    };
    const std::string dial = "dial Office -> 0";
    const std::string hangUp = "hangup 0x5150";
    const Case cases[] = {
        {"dropped, then the host's own receive", true, 0,
         {"account Account1", "menu 選択受信", "wait 1500", "receive", "exit"}, {dial, hangUp}, false},
        {"not dropped, the server slow", false, 1500,
         {"account Account1", "menu 選択受信", "wait 500", "exit"}, {dial}, true},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        const std::string where = "case " + std::to_string(i) + ": " + c.name;
        TempFolder folder;
        std::string mailbox = faults::MakeMailbox(folder);
        const std::string rasLog = folder.Path() + "ras.log";
        Pop3Mailbox server({{"uid-small", "Subject: small\r\n\r\nsmall\r\n"},
                            {"uid-large", "Subject: large\r\n\r\n" + std::string(6000, 'x') + "\r\n"}},
                           "u", "p");
        std::mutex mutex;
        std::vector<std::string> atTheRetrieval;
        bool retrievalCame = false;
        LoopbackPop3Peer peer;
        ASSERT_TRUE(peer.ServeMany(
            [&](Pop3PeerConnection& conn, int index) {
                if (index == 1) {  // the host's retrieval; the plug-in's scan came first
                    std::lock_guard<std::mutex> lock(mutex);
                    retrievalCame = true;
                    atTheRetrieval = LogLines(rasLog);
                }
                if (index == 1 && c.greetingDelayMs > 0) {
                    conn.Stall(c.greetingDelayMs);
                }
                server.Session(conn);
            },
            2, 30000))
            << where;
        WriteFileBytes(mailbox + "Account1\\Account.ini",
                       "[Property]\r\nPOP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(peer.Port()) +
                           "\r\nAccount=u\r\nPassword=p\r\nNotDelete=1\r\nUseRAS=1\r\nRASProvider=Office\r\n");
        WriteFileBytes(mailbox + "Account1\\Kirvan.ini",
                       "[Server]\r\npass=p\r\n[Property]\r\nDoFilter=1\r\nFilterType=1\r\nCheckSize=1\r\n"
                       "FilterSize=5000\r\nDelete=1\r\n");
        QuenlaCommand extra;
        extra.program = ProgramFolder() + "e2e\\Quenla.exe";
        if (c.drop) {
            extra.args = {"--drop-posted-receive"};
        }
        // The library beside the host is loaded through WINEDLLOVERRIDES, which
        // ctest sets for this program (a child's own block does not reach Wine's loader).
        extra.environment = {{"PIKUNO_E2E_RAS_LOG", rasLog}};
        faults::HostRun run = faults::RunQuenlaWith(mailbox, c.script, extra, 180000);
        peer.Stop();

        EXPECT_FALSE(run.timedOut) << where << "\n" << run.report;
        EXPECT_EQ(0u, run.exitCode) << where << "\n" << run.report;
        EXPECT_EQ(c.drop, run.report.find("receive command dropped") != std::string::npos) << where << "\n"
                                                                                            << run.report;
        std::string uidl;
        EXPECT_TRUE(ReadFileBytes(mailbox + "Account1\\uidl", &uidl)) << where;
        EXPECT_EQ("uid-large\nuid-small\n", uidl) << where << ": set aside by the plug-in, then received";
        {
            std::lock_guard<std::mutex> lock(mutex);
            ASSERT_TRUE(retrievalCame) << where << "\n" << run.report;
            EXPECT_EQ(Joined(c.linesAtTheRetrieval), Joined(atTheRetrieval)) << where;
        }
        EXPECT_EQ(Joined({dial, hangUp}), Joined(LogLines(rasLog))) << where << ": dialled once, hung up once";
        std::vector<Pop3MailboxMessage> left = server.Messages();
        std::vector<std::string> uidls;
        for (const Pop3MailboxMessage& message : left) {
            uidls.push_back(message.uidl);
        }
        const std::vector<std::string> expected =
            c.smallOneDeleted ? std::vector<std::string>{"uid-large"} : std::vector<std::string>{"uid-small", "uid-large"};
        EXPECT_EQ(Joined(expected), Joined(uidls)) << where << ": left on the server\n" << run.report;
        EXPECT_EQ(1u, faults::MailFiles(mailbox, "Account1\\inbox.box").size()) << where << "\n" << run.report;
    }
}
