// A digest of 10,000 tiny parts split by the real splitter over a real mail file
// and real temporary files, with the host's import faked (the stand-in host's own
// store slows down with every mail in a folder, which is not what is measured).
#include <gtest/gtest.h>

#include <string>

#include "DigestSplitter.h"
#include "FakeHost.h"
#include "FileBytes.h"
#include "MailboxFolder.h"
#include "MailFile.h"

TEST(SplitterFaults, DigestOfTenThousandTinyParts) {
    MailboxFolder mailbox;
    std::string mail = "Subject: d\r\nContent-Type: multipart/digest; boundary=\"B\"\r\n\r\n";
    for (int i = 0; i < 10000; ++i) {
        mail += "--B\r\nContent-Type: message/rfc822\r\n\r\nSubject: part " + std::to_string(i) + "\r\n\r\nx\r\n";
    }
    mail += "--B--\r\n";
    std::string path = mailbox.MakeFolder("Account1\\inbox.box") + "00000001.qnl";
    ASSERT_TRUE(WriteFileBytes(path, mail));

    FakeHost host(mailbox.Path());
    DigestSettings settings = DefaultDigestSettings();
    settings.Divide = 1;
    DWORD start = GetTickCount();
    {
        MailFile file(path.c_str());
        SplitMailFile(file, settings, nullptr);
    }
    DWORD elapsed = GetTickCount() - start;
    std::vector<HostCall> imports = FakeHost::CallsOf("ImportFile");
    std::vector<HostCall> moves = FakeHost::CallsOf("MoveMail");

    ASSERT_EQ(10000u, imports.size());
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ("Subject: part " + std::to_string(i) + "\r\n\r\nx\r\n", imports[i].bytes) << "part " << i;
        ASSERT_EQ("Account1\\inbox.box", imports[i].second) << "part " << i;
    }
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ("Account1\\inbox.box\\00000001", moves[0].first);
    EXPECT_EQ("Account1\\trash.box", moves[0].second);
    std::printf("10,000 parts split in %lu ms\n", static_cast<unsigned long>(elapsed));
}
