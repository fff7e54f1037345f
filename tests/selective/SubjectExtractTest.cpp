// The Subject of a TOP reply as the selection list shows it.

#include "SubjectExtract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SubjectCase {
    const char* reply;
    const char* expected;  // nullptr: the "No Subject" constant itself
};

// "あ" in Shift_JIS is 82 A0; "テスト" is 83 65 83 58 83 67.
const SubjectCase kCases[] = {
    // 0: plain ASCII, unchanged
    {"+OK\r\nFrom: a@example.jp\r\nSubject: hello world\r\n\r\n.\r\n", "hello world"},
    // 1: one ISO-2022-JP encoded word
    {"+OK\r\nSubject: =?ISO-2022-JP?B?GyRCJCIbKEI=?=\r\n\r\n.\r\n", "\x82\xA0"},
    // 2: the encoded word with a lower-case prefix
    {"+OK\r\nSubject: =?iso-2022-jp?b?GyRCJCIbKEI=?=\r\n.\r\n", "\x82\xA0"},
    // 3: the header name in capitals
    {"+OK\r\nSUBJECT: caps\r\n.\r\n", "caps"},
    // 4: no Subject line
    {"+OK\r\nFrom: a@example.jp\r\nTo: b@example.jp\r\n\r\n.\r\n", nullptr},
    // 5: a Subject line without a colon
    {"+OK\r\nSubject hello\r\n.\r\n", nullptr},
    // 6: nothing after the colon: an empty subject, not the fallback
    {"+OK\r\nSubject:\r\n.\r\n", ""},
    // 7: only blanks after the colon
    {"+OK\r\nSubject:    \r\n.\r\n", ""},
    // 8: a tab after the colon stays
    {"+OK\r\nSubject:\tx\r\n.\r\n", "\tx"},
    // 9: any word that begins with "Subject" matches, and it is the first one that counts
    {"+OK\r\nSubjects: first\r\nSubject: second\r\n.\r\n", "first"},
    // 10: a folded Subject: only the first line is shown
    {"+OK\r\nSubject: part one\r\n part two\r\n.\r\n", "part one"},
    // 11: raw JIS escape sequences in the header
    {"+OK\r\nSubject: \x1b$B%F%9%H\x1b(B!\r\n.\r\n", "\x83\x65\x83\x58\x83\x67!"},
    // 12: two encoded words separated by a blank, mixed with ASCII
    {"+OK\r\nSubject: Re: =?ISO-2022-JP?B?GyRCJCIbKEI=?= =?ISO-2022-JP?B?GyRCJCIbKEI=?=\r\n.\r\n",
     "Re: \x82\xA0 \x82\xA0"},
    // 13: Shift_JIS encoded word passes unchanged
    {"+OK\r\nSubject: =?SHIFT_JIS?B?g2WDWINn?=\r\n.\r\n", "\x83\x65\x83\x58\x83\x67"},
    // 14: a refused TOP
    {"-ERR no such message\r\n", nullptr},
    // 15: an empty reply (connection closed)
    {"", nullptr},
    // 16: Subject in the body is never reached when the header has one
    {"+OK\r\nSubject: head\r\n\r\nSubject: body\r\n.\r\n", "head"},
    // 17: a colon within the value stays
    {"+OK\r\nSubject: Re: a: b\r\n.\r\n", "Re: a: b"},
    // 18: "Subject" is at the start of a line only
    {"+OK\r\nX-Subject: no\r\n.\r\n", nullptr},
    // 19: a line ending in LF alone
    {"+OK\nSubject: lf\n.\n", "lf"},
    // 20: an encoded word without its end is left as it stands
    {"+OK\r\nSubject: =?ISO-2022-JP?B?GyRC\r\n.\r\n", "=?ISO-2022-JP?B?GyRC"},
};

TEST(ExtractSubjectFromReply, Table) {
    int index = 0;
    for (const SubjectCase& c : kCases) {
        std::vector<char> reply(c.reply, c.reply + std::char_traits<char>::length(c.reply) + 1);
        char* subject = ExtractSubjectFromReply(reply.data());
        ASSERT_NE(nullptr, subject) << "case " << index;
        if (c.expected == nullptr) {
            EXPECT_EQ(kNoSubject, subject) << "case " << index << ": expected the fallback constant";
        } else {
            EXPECT_NE(kNoSubject, subject) << "case " << index;
            EXPECT_EQ(std::string(c.expected), std::string(subject)) << "case " << index;
        }
        ReleaseSubject(subject);
        ++index;
    }
}

TEST(ExtractSubjectFromReply, NullReplyGivesTheFallback) {
    EXPECT_EQ(kNoSubject, ExtractSubjectFromReply(nullptr));
}

TEST(ExtractSubjectFromReply, FallbackText) {
    EXPECT_STREQ("No Subject", kNoSubject);
    ReleaseSubject(const_cast<char*>(kNoSubject));  // must not be released
    EXPECT_STREQ("No Subject", kNoSubject);
}

TEST(ExtractSubjectFromReply, LongSubjectIsKeptWhole) {
    std::string value(5000, 'x');
    std::string text = "+OK\r\nSubject: " + value + "\r\n.\r\n";
    std::vector<char> reply(text.begin(), text.end());
    reply.push_back('\0');
    char* subject = ExtractSubjectFromReply(reply.data());
    EXPECT_EQ(value, std::string(subject));
    ReleaseSubject(subject);
}

}  // namespace
