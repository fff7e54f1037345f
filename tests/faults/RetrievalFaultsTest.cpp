// Faults during the host's own retrieval, through Quenla.exe and Pikuno.dll: the
// host receives two digest mails from a scripted server, the plug-in queues both,
// and something happens to the first stored mail before the retrieval ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FaultHost.h"
#include "WinsockEnvironment.h"
#include "LoopbackPop3Peer.h"

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

std::string Digest(const std::string& tag) {
    return "Subject: digest " + tag + "\r\nContent-Type: multipart/digest; boundary=\"B\"\r\n\r\n"
           "--B\r\nContent-Type: message/rfc822\r\n\r\nSubject: " + tag + " one\r\n\r\nx\r\n"
           "--B\r\nContent-Type: message/rfc822\r\n\r\nSubject: " + tag + " two\r\n\r\ny\r\n--B--\r\n";
}

enum class Fault { kDeleted, kLocked };

// Serves one mail to the host's retrieval (UIDL, RETR 1, QUIT).
LoopbackPop3Peer::Behaviour ServeOneMail(const std::string* mail) {
    return [mail](Pop3PeerConnection& c) {
        c.Send("+OK ready\r\n");
        std::string line;
        while (c.ReadLine(&line, 60000)) {
            if (line.compare(0, 4, "UIDL") == 0) {
                c.Send("+OK\r\n1 uid-big\r\n.\r\n");
            } else if (line.compare(0, 4, "RETR") == 0) {
                c.Send("+OK\r\n");
                c.Send(*mail);
                c.Send(".\r\n");
            } else if (line.compare(0, 4, "QUIT") == 0) {
                c.Send("+OK bye\r\n");
                break;
            } else {
                c.Send("+OK\r\n");
            }
        }
    };
}

struct Received {
    faults::HostRun run;
    std::vector<std::string> inbox;
    std::vector<std::string> trash;
};

// The host receives the mail into the inbox while it shows the trash: its folder
// window re-reads every mail of the folder it shows after each import, which for
// a digest of 100 MB in the inbox would cost far more than the split itself.
Received ReceiveAndSplit(const std::string& mailbox, const std::string& mail) {
    LoopbackPop3Peer server;
    Received received;
    if (!server.Serve(ServeOneMail(&mail))) {
        return received;
    }
    WriteFileBytes(mailbox + "Pikuno.ini", "[Digest]\r\nDivide=1\r\n");
    WriteFileBytes(mailbox + "Account1\\Account.ini",
                   "[Property]\r\nPOP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(server.Port()) +
                       "\r\nAccount=u\r\nPassword=p\r\nNotDelete=1\r\n");
    received.run = faults::RunQuenla(mailbox, {"folder Account1\\trash.box", "receive", "exit"}, {}, 900000);
    server.Finish();
    received.inbox = faults::MailFiles(mailbox, "Account1\\inbox.box");
    received.trash = faults::MailFiles(mailbox, "Account1\\trash.box");
    return received;
}

std::string DigestOf(int parts, const std::string& body) {
    std::string mail = "Subject: big\r\nContent-Type: multipart/digest; boundary=\"B\"\r\n\r\n";
    for (int i = 0; i < parts; ++i) {
        mail += "--B\r\nContent-Type: message/rfc822\r\n\r\nSubject: part " + std::to_string(i) + "\r\n\r\n" + body;
    }
    return mail + "--B--\r\n";
}

}  // namespace

// 500 parts through the host; 10,000 go through the splitter in SplitterFaults,
// since the stand-in host's store rewrites its folder index on every import and
// 10,000 imports into one folder would take most of an hour (2,000: two minutes).
TEST(RetrievalFaults, DigestOfFiveHundredTinyParts) {
    TempFolder folder;
    std::string mailbox = faults::MakeMailbox(folder);
    std::string mail = DigestOf(500, "x\r\n");
    Received received = ReceiveAndSplit(mailbox, mail);
    ASSERT_TRUE(received.run.started);
    EXPECT_FALSE(received.run.timedOut);
    EXPECT_EQ(0u, received.run.exitCode) << received.run.report.substr(0, 2000);
    ASSERT_EQ(500u, received.inbox.size());
    ASSERT_EQ(1u, received.trash.size());
    std::string first, last, source;
    ReadFileBytes(mailbox + "Account1\\inbox.box\\" + received.inbox.front(), &first);
    ReadFileBytes(mailbox + "Account1\\inbox.box\\" + received.inbox.back(), &last);
    ReadFileBytes(mailbox + "Account1\\trash.box\\" + received.trash[0], &source);
    EXPECT_EQ("Subject: part 0\r\n\r\nx\r\n", first);
    EXPECT_EQ("Subject: part 499\r\n\r\nx\r\n", last);
    EXPECT_EQ(mail, source);
    std::printf("500 parts received and split in %lu ms\n", static_cast<unsigned long>(received.run.milliseconds));
}

TEST(RetrievalFaults, HundredMegabyteDigest) {
    TempFolder folder;
    std::string mailbox = faults::MakeMailbox(folder);
    std::string line(98, 'y');
    line += "\r\n";
    std::string body;
    for (int i = 0; i < 1024; ++i) body += line;  // 100 KB
    std::string mail = DigestOf(1000, body);
    ASSERT_GT(mail.size(), 100u * 1000 * 1000);
    Received received = ReceiveAndSplit(mailbox, mail);
    ASSERT_TRUE(received.run.started);
    EXPECT_FALSE(received.run.timedOut);
    EXPECT_EQ(0u, received.run.exitCode) << received.run.report.substr(0, 2000);
    ASSERT_EQ(1000u, received.inbox.size());
    ASSERT_EQ(1u, received.trash.size());
    std::string last, source;
    ReadFileBytes(mailbox + "Account1\\inbox.box\\" + received.inbox.back(), &last);
    ReadFileBytes(mailbox + "Account1\\trash.box\\" + received.trash[0], &source);
    EXPECT_EQ("Subject: part 999\r\n\r\n" + body, last);
    EXPECT_EQ(mail.size(), source.size());
    std::printf("100 MB digest received and split in %lu ms\n", static_cast<unsigned long>(received.run.milliseconds));
}

TEST(RetrievalFaults, QueuedMailGoneOrLockedBeforeTheEndOfTheRetrieval) {
    struct Case {
        const char* name;
        Fault fault;
    };
    const Case cases[] = {{"first mail deleted", Fault::kDeleted}, {"first mail locked", Fault::kLocked}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i) + " " + cases[i].name;
        TempFolder folder;
        std::string mailbox = faults::MakeMailbox(folder);
        std::string inbox = mailbox + "Account1\\inbox.box";
        const std::string mails[2] = {Digest("first"), Digest("second")};
        HANDLE lock = INVALID_HANDLE_VALUE;
        std::string firstStored;
        Fault fault = cases[i].fault;

        LoopbackPop3Peer server;
        ASSERT_TRUE(server.Serve([&](Pop3PeerConnection& c) {
            c.Send("+OK ready\r\n");
            std::string line;
            while (c.ReadLine(&line)) {
                if (line.compare(0, 4, "UIDL") == 0) {
                    c.Send("+OK\r\n1 uid-first\r\n2 uid-second\r\n.\r\n");
                } else if (line.compare(0, 4, "LIST") == 0) {
                    c.Send("+OK\r\n1 100\r\n2 100\r\n.\r\n");
                } else if (line.compare(0, 4, "RETR") == 0) {
                    int n = std::atoi(line.c_str() + 5);
                    if (n == 2) {
                        // The first mail is stored and queued by now.
                        std::vector<std::string> stored = faults::MailFiles(mailbox, "Account1\\inbox.box");
                        if (!stored.empty()) {
                            firstStored = inbox + "\\" + stored[0];
                            if (fault == Fault::kDeleted) {
                                DeleteFileA(firstStored.c_str());
                            } else {
                                lock = CreateFileA(firstStored.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr);
                            }
                        }
                    }
                    c.Send("+OK\r\n" + mails[n == 2 ? 1 : 0] + ".\r\n");
                } else if (line.compare(0, 4, "QUIT") == 0) {
                    c.Send("+OK bye\r\n");
                    break;
                } else {
                    c.Send("+OK\r\n");
                }
            }
        }));
        WriteFileBytes(mailbox + "Pikuno.ini", "[Digest]\r\nDivide=1\r\n");
        WriteFileBytes(mailbox + "Account1\\Account.ini",
                       "[Property]\r\nPOP3Server=127.0.0.1\r\nPOP3Port=" + std::to_string(server.Port()) +
                           "\r\nAccount=u\r\nPassword=p\r\nNotDelete=1\r\n");
        faults::HostRun run = faults::RunQuenla(mailbox, {"account Account1", "receive", "exit"});
        server.Finish();
        if (lock != INVALID_HANDLE_VALUE) {
            CloseHandle(lock);
        }
        EXPECT_FALSE(run.timedOut) << where << "\n" << run.report;
        EXPECT_EQ(0u, run.exitCode) << where << "\n" << run.report;
        ASSERT_FALSE(firstStored.empty()) << where << "\n" << run.report;

        std::vector<std::string> inboxFiles = faults::MailFiles(mailbox, "Account1\\inbox.box");
        std::vector<std::string> trashFiles = faults::MailFiles(mailbox, "Account1\\trash.box");
        // The second mail was split whatever became of the first: two messages in
        // the inbox and the second mail in the trash.
        ASSERT_EQ(1u, trashFiles.size()) << where << "\n" << run.report;
        std::string trashed;
        ReadFileBytes(mailbox + "Account1\\trash.box\\" + trashFiles[0], &trashed);
        EXPECT_EQ(mails[1], trashed) << where;
        if (fault == Fault::kDeleted) {
            // Only the two imported messages: the deleted mail is simply passed over.
            EXPECT_EQ(2u, inboxFiles.size()) << where << "\n" << run.report;
        } else {
            // The locked mail could not be read: it stays in the inbox, unsplit.
            EXPECT_EQ(3u, inboxFiles.size()) << where << "\n" << run.report;
            std::string first;
            ASSERT_TRUE(ReadFileBytes(firstStored, &first)) << where;
            EXPECT_EQ(mails[0], first) << where;
        }
    }
}
