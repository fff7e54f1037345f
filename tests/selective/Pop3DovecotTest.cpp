// The POP3 session against a real server started by the test run with the same
// 403 mails (pop3-server-setup.sh): Dovecot or popa3d, which answers "+OK" and
// "-ERR" without a word more and knows no CAPA. The expected answers come from
// the server itself. The fixture keeps Dovecot's name for both; a case that needs
// CAPA is left out of the popa3d run by its filter (CMakeLists.txt here).

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "MailboxScan.h"
#include "WinsockEnvironment.h"
#include "Pop3Session.h"
#include "Pop3SessionFixture.h"

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

const char kUser[] = "pikuno";
const char kPassword[] = "pass word";

struct Expected {
    int32_t number;
    int32_t size;
    std::string uidl;
};

// The server's folder as a Windows path (Wine maps the Unix root to Z:).
std::string ServerDir() {
    const char* dir = std::getenv("PIKUNO_POP3_SERVER");
    if (!dir || !*dir) {
        return std::string();
    }
    return dir[0] == '/' ? std::string("Z:") + dir : std::string(dir);
}

class Pop3Dovecot : public Pop3SessionFixture {
protected:
    Pop3Dovecot() : Pop3SessionFixture(15000) {}
    void SetUp() override {
        Pop3SessionFixture::SetUp();
        dir_ = ServerDir();
        ASSERT_FALSE(dir_.empty()) << "PIKUNO_POP3_SERVER is not set: run through ctest";
        std::string text;
        ASSERT_TRUE(ReadFileBytes(dir_ + "/port", &text)) << dir_;
        port_ = std::atoi(text.c_str());
        ASSERT_GT(port_, 0);
        ASSERT_TRUE(ReadFileBytes(dir_ + "/expected.txt", &text));
        std::istringstream lines(text);
        Expected e;
        while (lines >> e.number >> e.size >> e.uidl) {
            expected_.push_back(e);
        }
        ASSERT_EQ(403u, expected_.size());
    }

    // Connects and reads the greeting.
    void Open() {
        ASSERT_TRUE(Connect(port_));
        PopReadResponse(false);
        ASSERT_TRUE(PopIsOk()) << gResponseBuffer;
    }

    std::string dir_;
    int port_ = 0;
    std::vector<Expected> expected_;
};

TEST_F(Pop3Dovecot, ListAndUidlAgreeWithTheServer) {
    Open();
    ASSERT_TRUE(PopLogin(kUser, kPassword)) << gResponseBuffer;
    ASSERT_EQ(static_cast<int32_t>(expected_.size()), PopList()) << gResponseBuffer;
    ASSERT_NE(nullptr, gSizeTable);
    for (const Expected& e : expected_) {
        EXPECT_EQ(e.size, gSizeTable[e.number - 1]) << "message " << e.number;
    }
    for (const Expected& e : expected_) {
        const char* uidl = PopFetchUidl(e.number);
        ASSERT_NE(nullptr, uidl) << "message " << e.number << ": " << gResponseBuffer;
        EXPECT_EQ(e.uidl, uidl) << "message " << e.number;
    }
    PopQuit();
    EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
    ASSERT_NE(nullptr, gResponseBuffer);
    EXPECT_EQ(0, std::strncmp(gResponseBuffer, "+OK", 3)) << gResponseBuffer;
}

// TOP n 0 of the ISO-2022-JP mail brings its header as stored, with CR LF line ends.
TEST_F(Pop3Dovecot, TopBringsTheIso2022JpHeader) {
    std::string mail;
    ASSERT_TRUE(ReadFileBytes(dir_ + "/spool/02-iso2022jp.eml", &mail));
    std::string header = mail.substr(0, mail.find("\n\n") + 2);
    std::string expected;
    for (char c : header) {
        if (c == '\n') {
            expected += '\r';
        }
        expected += c;
    }
    expected += ".\r\n";

    Open();
    ASSERT_TRUE(PopLogin(kUser, kPassword));
    PopSendTop(2);
    int length = PopReadResponse(true);
    ASSERT_NE(nullptr, gResponseBuffer);
    std::string reply(gResponseBuffer);
    EXPECT_EQ(static_cast<std::size_t>(length), reply.size());
    ASSERT_EQ(0u, reply.find("+OK")) << reply;
    std::size_t firstLineEnd = reply.find("\r\n");
    ASSERT_NE(std::string::npos, firstLineEnd);
    EXPECT_EQ(expected, reply.substr(firstLineEnd + 2));
    EXPECT_NE(std::string::npos,
              reply.find("\r\nSubject: =?ISO-2022-JP?B?GyRCMnE1RCRONUQ7dk8/JEskRCQkJEYbKEI=?=\r\n"));
    PopQuit();
    EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
}

// The server's own refusals: wrong password, no such message for UIDL and TOP.
TEST_F(Pop3Dovecot, RefusalsEndPromptlyAndYieldNothing) {
    Open();
    EXPECT_FALSE(PopLogin(kUser, "wrong"));
    EXPECT_EQ('-', gResponseBuffer ? gResponseBuffer[0] : 0);
    PopQuit();

    Open();
    ASSERT_TRUE(PopLogin(kUser, kPassword));
    EXPECT_EQ(nullptr, PopFetchUidl(9999)) << gResponseBuffer;
    PopSendTop(9999);
    PopReadResponse(true);  // one "-ERR" line: must not wait for a "." line
    ASSERT_NE(nullptr, gResponseBuffer);
    EXPECT_EQ('-', gResponseBuffer[0]) << gResponseBuffer;
    EXPECT_NE(INVALID_SOCKET, gSessionSocket) << "the session goes on after a refusal";
    EXPECT_EQ(403, PopList()) << "the session is still in step: " << gResponseBuffer;
    PopQuit();
}

// Dovecot lists PIPELINING after the login: the scan of 403 messages with the
// window in use and one command at a time gives the server's own UIDLs, and the
// same subjects either way.
TEST_F(Pop3Dovecot, PipelinedAndSerialScansAgreeWithTheServer) {
    std::vector<std::string> subjects[2];
    for (int serial = 0; serial < 2; ++serial) {
        SCOPED_TRACE(serial ? "one at a time" : "pipelined");
        ScanSetWindowBytes(serial ? 1 : 0);
        Open();
        ASSERT_TRUE(PopLogin(kUser, kPassword));
        EXPECT_TRUE(PopCapa()) << gResponseBuffer;
        ASSERT_EQ(static_cast<int32_t>(expected_.size()), PopList());
        ASSERT_EQ(ScanOutcome::kComplete, ScanMailbox(true, nullptr, true));
        for (const Expected& e : expected_) {
            ASSERT_NE(nullptr, ScannedUidl(e.number)) << "message " << e.number;
            EXPECT_EQ(e.uidl, ScannedUidl(e.number)) << "message " << e.number;
            subjects[serial].push_back(ScannedSubject(e.number));
        }
        PopQuit();
        EXPECT_FALSE(PopReplyCut());
        ScanRelease();
    }
    ScanSetWindowBytes(0);
    EXPECT_EQ(subjects[0], subjects[1]);
    ASSERT_EQ(403u, subjects[0].size());
    EXPECT_EQ("large", subjects[0][2]);
    EXPECT_EQ("small 400", subjects[0][402]);
}

}  // namespace
