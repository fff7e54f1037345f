// Faults around the digest split, through the real programs: Quenla.exe with
// Pikuno.dll, driven by a script, on mailboxes made for each case. Every case
// ends without a crash or a hang, and every enclosed message exists afterwards,
// either imported or still inside its source mail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FaultHost.h"

namespace {

using faults::HostRun;

const char kInbox[] = "Account1\\inbox.box";
const char kTrash[] = "Account1\\trash.box";

std::string Digest(int parts, const std::string& body, const std::string& boundary = "B") {
    std::string mail = "From: list@example.com\r\nSubject: digest\r\nContent-Type: multipart/digest; boundary=\"" +
                       boundary + "\"\r\n\r\npreamble\r\n";
    for (int i = 0; i < parts; ++i) {
        mail += "--" + boundary + "\r\nContent-Type: message/rfc822\r\n\r\nSubject: part " + std::to_string(i) +
                "\r\n\r\n" + body;
    }
    mail += "--" + boundary + "--\r\n";
    return mail;
}

const std::vector<std::string> kSplitScript = {
    "account Account1",
    "select #1",
    "folder-menu ダイジェストメール分割",
    "exit",
};

struct Outcome {
    HostRun run;
    std::vector<std::string> inbox;
    std::vector<std::string> trash;
};

// A mailbox holding one mail (and Pikuno.ini), then the split command on it.
Outcome SplitOne(const std::string& mailbox, const std::string& mail, const std::string& pikunoIni,
                 const std::vector<std::pair<std::string, std::string>>& env = {}, DWORD limitMs = 120000) {
    WriteFileBytes(mailbox + "Pikuno.ini", pikunoIni);
    WriteFileBytes(mailbox + kInbox + "\\00000001.qnl", mail);
    Outcome outcome;
    outcome.run = faults::RunQuenla(mailbox, kSplitScript, env, limitMs);
    outcome.inbox = faults::MailFiles(mailbox, kInbox);
    outcome.trash = faults::MailFiles(mailbox, kTrash);
    return outcome;
}

std::string ReadMail(const std::string& mailbox, const std::string& folder, const std::string& name) {
    std::string bytes;
    ReadFileBytes(mailbox + folder + "\\" + name, &bytes);
    return bytes;
}

// The run itself went through: started, ended on its own, exit code 0.
void ExpectCleanRun(const HostRun& run, const std::string& where) {
    EXPECT_TRUE(run.started) << where;
    EXPECT_FALSE(run.timedOut) << where << "\n" << run.report;
    EXPECT_EQ(0u, run.exitCode) << where << "\n" << run.report;
}

const char kDivideOn[] = "[Digest]\r\nDivide=1\r\n";

}  // namespace

TEST(DigestFaults, SplitOfATwoMessageDigestForComparison) {
    TempFolder folder;
    std::string mailbox = faults::MakeMailbox(folder);
    std::string mail = Digest(2, "body\r\n");
    Outcome outcome = SplitOne(mailbox, mail, kDivideOn);
    ExpectCleanRun(outcome.run, "baseline");
    ASSERT_EQ(2u, outcome.inbox.size()) << outcome.run.report;
    ASSERT_EQ(1u, outcome.trash.size()) << outcome.run.report;
    EXPECT_EQ(mail, ReadMail(mailbox, kTrash, outcome.trash[0]));
    EXPECT_EQ("Subject: part 0\r\n\r\nbody\r\n", ReadMail(mailbox, kInbox, outcome.inbox[0]));
}

TEST(DigestFaults, TemporaryFolderThatCannotBeWrittenKeepsTheSourceMail) {
    TempFolder folder;
    std::string mailbox = faults::MakeMailbox(folder);
    std::string missing = folder.Path() + "no-such-folder";
    std::string mail = Digest(3, "body\r\n");
    Outcome outcome = SplitOne(mailbox, mail, kDivideOn, {{"TMP", missing}, {"TEMP", missing}});
    ExpectCleanRun(outcome.run, "no temporary folder");
    // No message could be written out: nothing imported, and the source stays
    // where it was, unchanged, instead of going to the trash.
    ASSERT_EQ(1u, outcome.inbox.size()) << outcome.run.report;
    EXPECT_EQ(mail, ReadMail(mailbox, kInbox, outcome.inbox[0]));
    EXPECT_TRUE(outcome.trash.empty()) << outcome.run.report;
}

TEST(DigestFaults, ImportsTheHostRefusesKeepTheSourceMail) {
    // The stand-in host takes `taken` imports and refuses the rest, as a host with
    // a full store would. The mails it took stay in the inbox beside the source.
    const struct {
        int taken;
        const char* ini;
    } cases[] = {
        {0, "[Digest]\r\nDivide=1\r\nDelType=0\r\n"},
        {0, "[Digest]\r\nDivide=1\r\nDelType=1\r\nAskDelete=1\r\n"},
        {2, "[Digest]\r\nDivide=1\r\nDelType=1\r\nAskDelete=0\r\n"},
        {2, "[Digest]\r\nDivide=1\r\nDelType=0\r\n"},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i);
        TempFolder folder;
        std::string mailbox = faults::MakeMailbox(folder);
        std::string mail = Digest(3, "body\r\n");
        WriteFileBytes(mailbox + "Pikuno.ini", cases[i].ini);
        WriteFileBytes(mailbox + kInbox + "\\00000001.qnl", mail);
        // A "Delete OK?" box would be a window nobody awaits: it fails the run.
        HostRun run = faults::RunQuenlaWithOptions(mailbox, kSplitScript,
                                                   {"--refuse-import-after", std::to_string(cases[i].taken)});
        ExpectCleanRun(run, where);
        std::vector<std::string> inbox = faults::MailFiles(mailbox, kInbox);
        ASSERT_EQ(1u + cases[i].taken, inbox.size()) << where << "\n" << run.report;
        EXPECT_EQ("00000001.qnl", inbox[0]) << where;
        EXPECT_EQ(mail, ReadMail(mailbox, kInbox, inbox[0])) << where << ": the source mail is unchanged";
        for (int n = 0; n < cases[i].taken; ++n) {
            EXPECT_EQ("Subject: part " + std::to_string(n) + "\r\n\r\nbody\r\n", ReadMail(mailbox, kInbox, inbox[1 + n]))
                << where << " part " << n;
        }
        EXPECT_TRUE(faults::MailFiles(mailbox, kTrash).empty()) << where << "\n" << run.report;
        EXPECT_EQ(std::string::npos, run.report.find("MoveMail")) << where << "\n" << run.report;
        EXPECT_EQ(std::string::npos, run.report.find("DeleteMail")) << where << "\n" << run.report;
        EXPECT_EQ(std::string::npos, run.report.find("deletemail")) << where << "\n" << run.report;
        // Every part was offered; those past the count were refused.
        std::size_t refused = 0;
        for (std::size_t at = 0; (at = run.report.find("-> refused", at)) != std::string::npos; ++at) {
            ++refused;
        }
        EXPECT_EQ(static_cast<std::size_t>(3 - cases[i].taken), refused) << where << "\n" << run.report;
    }
}

TEST(DigestFaults, MailboxPathsAtTheEdgeOfThePathBuffers) {
    // Mailbox + "Account1\inbox.box\00000001.qnl" (31 bytes) of 259 bytes fits
    // the 260-byte buffers; 260 bytes does not, and the plug-in must refuse the
    // mail rather than work on a cut path.
    struct Case {
        std::size_t pathLength;
        bool split;
    };
    // (A longer mailbox cannot even be made through the ANSI file functions.)
    const Case cases[] = {{258, true}, {259, true}, {260, false}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i) + " path length " + std::to_string(cases[i].pathLength);
        TempFolder folder;
        std::size_t mailboxLength = cases[i].pathLength - 31;
        ASSERT_LT(folder.Path().size() + 1, mailboxLength) << where;
        std::string mailbox = faults::MakeMailbox(folder, std::string(mailboxLength - folder.Path().size() - 1, 'm'));
        ASSERT_EQ(mailboxLength, mailbox.size()) << where;
        std::string mail = Digest(2, "body\r\n");
        Outcome outcome = SplitOne(mailbox, mail, kDivideOn);
        ExpectCleanRun(outcome.run, where);
        if (cases[i].split) {
            EXPECT_EQ(2u, outcome.inbox.size()) << where << "\n" << outcome.run.report;
            EXPECT_EQ(1u, outcome.trash.size()) << where;
        } else {
            ASSERT_EQ(1u, outcome.inbox.size()) << where << "\n" << outcome.run.report;
            EXPECT_EQ(mail, ReadMail(mailbox, kInbox, outcome.inbox[0])) << where;
            EXPECT_TRUE(outcome.trash.empty()) << where;
        }
    }
}

TEST(DigestFaults, DamagedPikunoIni) {
    std::string junk;
    uint32_t seed = 20261208;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245u + 12345u;
        junk += static_cast<char>(seed >> 24);
    }
    std::string longDigits(100000, '7');
    struct Case {
        const char* name;
        std::string ini;
        bool split;
    };
    const Case cases[] = {
        {"no file section", "[Other]\r\nDivide=1\r\n", false},
        {"binary junk", junk, false},
        {"junk with a NUL before the section", std::string("\0\x1a\xff", 3) + kDivideOn, false},
        {"section name unterminated", "[Digest\r\nDivide=1\r\n", false},
        {"Divide not a number", "[Digest]\r\nDivide=yes\r\n", false},
        // The values after Divide are out of every range: the split still runs with
        // no mark, and the source goes to the trash (no DelType given: 0).
        {"overlong values", std::string(kDivideOn) + "Mark=" + longDigits + "\r\nX" + longDigits + "=1\r\n", true},
        {"junk after the section", std::string(kDivideOn) + junk, true},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i) + " " + cases[i].name;
        TempFolder folder;
        std::string mailbox = faults::MakeMailbox(folder);
        std::string mail = Digest(2, "body\r\n");
        Outcome outcome = SplitOne(mailbox, mail, cases[i].ini);
        ExpectCleanRun(outcome.run, where);
        if (cases[i].split) {
            EXPECT_EQ(2u, outcome.inbox.size()) << where << "\n" << outcome.run.report;
            ASSERT_EQ(1u, outcome.trash.size()) << where << "\n" << outcome.run.report;
            EXPECT_EQ(mail, ReadMail(mailbox, kTrash, outcome.trash[0])) << where;
            // Unread and no mark, whatever junk stood in Mark.
            std::size_t imports = 0, unmarked = 0;
            for (std::size_t at = 0; (at = outcome.run.report.find("api: ImportFile", at)) != std::string::npos; ++at) {
                ++imports;
                std::size_t end = outcome.run.report.find('\n', at);
                unmarked += outcome.run.report.substr(at, end - at).find("flags 0x40000000 ->") != std::string::npos;
            }
            EXPECT_EQ(2u, imports) << where;
            EXPECT_EQ(imports, unmarked) << where << "\n" << outcome.run.report;
        } else {
            ASSERT_EQ(1u, outcome.inbox.size()) << where << "\n" << outcome.run.report;
            EXPECT_TRUE(outcome.trash.empty()) << where;
            EXPECT_EQ(mail, ReadMail(mailbox, kInbox, outcome.inbox[0])) << where;
        }
    }
}
