// Finding header fields by name and unfolding them, as the list and the record
// of set-aside messages read them.
#include "HeaderFields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct FieldCase {
    const char* header;
    const char* name;
    bool found;
    const char* value;
};

const FieldCase kFieldCases[] = {
    {"Subject: hello\r\n", "Subject", true, "hello"},
    {"subject:hello\r\n", "SUBJECT", true, "hello"},
    {"Subject :  \thello \r\n", "Subject", true, "hello "},
    {"Subject: a\r\n b\r\n\tc\r\nFrom: x\r\n", "Subject", true, "a b\tc"},
    {"Subject: a\n b\nFrom: x\n", "Subject", true, "a b"},
    {"X-Subject: no\r\nSubject: yes\r\n", "Subject", true, "yes"},
    {"Subjects: no\r\nSubject: yes\r\n", "Subject", true, "yes"},
    {"Subject: first\r\nSubject: second\r\n", "Subject", true, "first"},
    {"From: a\r\n\r\nSubject: in the body\r\n", "Subject", false, ""},
    {"From: a\r\n Subject: continuation, not a field\r\n", "Subject", false, ""},
    {"Subject:\r\n", "Subject", true, ""},
    {"Subject: cr\rinside\r\n", "Subject", true, "cr\rinside"},
    {"Subject: no line end", "Subject", true, "no line end"},
    {"Subject", "Subject", false, ""},
    {"", "Subject", false, ""},
    {"Date: Tue, 1 Dec 2026 10:00:00 +0900\r\n", "Date", true, "Tue, 1 Dec 2026 10:00:00 +0900"},
};

TEST(HeaderFields, FindsUnfoldedRawValues) {
    int row = 0;
    for (const FieldCase& c : kFieldCases) {
        std::string value = "stale";
        bool found = FindRawHeaderField(c.header, std::strlen(c.header), c.name, &value);
        EXPECT_EQ(c.found, found) << "case " << row;
        EXPECT_EQ(std::string(c.value), value) << "case " << row;
        ++row;
    }
}

TEST(HeaderFields, HeaderBlockEndsAtTheEmptyLineAfterTheStatusLine) {
    const char reply[] = "+OK 12 octets\r\nSubject: s\r\nFrom: f\r\n\r\nbody\r\n.\r\n";
    std::size_t length = 0;
    const char* block = HeaderBlockOfReply(reply, std::strlen(reply), &length);
    EXPECT_EQ(std::string("Subject: s\r\nFrom: f\r\n"), std::string(block, length));

    const char noBody[] = "+OK\r\nSubject: s\r\n.\r\n";
    block = HeaderBlockOfReply(noBody, std::strlen(noBody), &length);
    EXPECT_EQ(std::string("Subject: s\r\n.\r\n"), std::string(block, length));
    std::string value;
    EXPECT_FALSE(FindRawHeaderField(block, length, ".", &value));

    const char statusOnly[] = "+OK";
    block = HeaderBlockOfReply(statusOnly, std::strlen(statusOnly), &length);
    EXPECT_EQ(0u, length);
}

}  // namespace
