// What the selection list shows of a header, checked as UTF-16: the subject and
// the sender decoded from header blocks as mailers send them, and the Date read
// as a point in UTC. Runs on both Windows targets and natively.

#include "HeaderColumns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MailDate.h"

namespace {

// Code units as "U+XXXX" words, so that a failure shows what differs.
std::string Units(const std::u16string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        out += '<';
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += kHex[(c >> shift) & 0xF];
        }
        out += '>';
    }
    return out;
}

struct HeaderTextCase {
    const char* note;
    const char* header;
    const char16_t* subject;
    const char16_t* sender;
};

const HeaderTextCase kCases[] = {
#include "HeaderTextCases.inc"
};

TEST(HeaderColumns, SubjectAndSenderOfRealHeaders) {
    for (std::size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        const HeaderTextCase& c = kCases[i];
        const HeaderColumns columns = ReadHeaderColumns(c.header, std::strlen(c.header));
        EXPECT_EQ(Units(c.subject), Units(columns.subject)) << "case " << i << ": " << c.note;
        EXPECT_EQ(Units(c.sender), Units(columns.sender)) << "case " << i << ": " << c.note;
    }
}

// A 10 KB subject of 200 folded UTF-8 words, each a whole text, followed by
// fields the list does not read: decoded whole, in one walk.
TEST(HeaderColumns, TenKilobyteHeader) {
    const char* word = "=?UTF-8?B?5pel5pys6Kqe44OG44Kt44K544OI?=";  // 日本語テキスト
    const std::u16string text = u"\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8";
    std::string header = "Received: from mx.example.jp\r\nSubject:";
    std::u16string expected;
    for (int k = 0; k < 200; ++k) {
        header += " ";
        header += word;
        header += "\r\n";
        expected += text;
    }
    header += "From: " + std::string(word) + " <a@example.jp>\r\nX-Filler: " + std::string(2000, 'x') + "\r\n";
    ASSERT_GE(header.size(), 10u * 1024u);
    const HeaderColumns columns = ReadHeaderColumns(header.data(), header.size());
    EXPECT_EQ(Units(expected), Units(columns.subject));
    EXPECT_EQ(Units(text), Units(columns.sender));
}

struct DateCase {
    const char* value;
    bool readable;
    const char* utc;  // yyyy-mm-dd hh:mm:ss when readable
};

std::string UtcText(int64_t seconds) {
    const CivilTime t = CivilFromUtcSeconds(seconds);
    auto two = [](int32_t value) { return std::to_string(value / 10) + std::to_string(value % 10); };
    return std::to_string(t.year) + "-" + two(t.month) + "-" + two(t.day) + " " + two(t.hour) + ":" +
           two(t.minute) + ":" + two(t.second);
}

TEST(MailDate, ReadAsUtc) {
    const DateCase cases[] = {
        {"Tue, 8 Dec 2026 07:00:00 +0900", true, "2026-12-07 22:00:00"},
        {"Tue, 08 Dec 2026 07:00:00 +0900 (JST)", true, "2026-12-07 22:00:00"},
        {"8 Dec 2026 07:00 -0130", true, "2026-12-08 08:30:00"},
        {"Thu, 1 Jan 1970 00:00:00 +0000", true, "1970-01-01 00:00:00"},
        {"Sat, 29 Feb 2025 10:00:00 +0000", false, ""},
        {"Thu, 29 Feb 2024 23:59:59 -0000", true, "2024-02-29 23:59:59"},
        {"Fri, 31 Dec 2027 23:30:00 -0100", true, "2028-01-01 00:30:00"},
        {"Mon, 7 Dec 26 12:00:00 GMT", true, "2026-12-07 12:00:00"},
        {"Mon, 7 Dec 99 12:00:00 UT", true, "1999-12-07 12:00:00"},
        {"Mon, 7 Dec 126 12:00:00 EST", true, "2026-12-07 17:00:00"},
        {"Mon, 7 Dec 2026 12:00:00 PDT", true, "2026-12-07 19:00:00"},
        {"Mon, 7 Dec 2026 12:00:00 JST", true, "2026-12-07 03:00:00"},
        {"Mon, 7 Dec 2026 12:00:00 Z", true, "2026-12-07 12:00:00"},
        {"Mon, 7 Dec 2026 12:00:00 XYZ", true, "2026-12-07 12:00:00"},
        {"  Mon ,\r\n 7 (day) Dec\t2026 12 : 00 : 00 +0100", true, "2026-12-07 11:00:00"},
        {"Mon, 7 December 2026 12:00:00 +0000", true, "2026-12-07 12:00:00"},
        {"Mon, 7 Dec 2026 23:59:60 +0000", true, "2026-12-07 23:59:59"},
        {"Mon, 7 Dec 2026 24:00:00 +0000", false, ""},
        {"Mon, 7 Dec 2026 12:60:00 +0000", false, ""},
        {"Mon, 7 Dec 2026 12:00:00 +09", false, ""},
        {"Mon, 7 Dec 2026 12:00:00 +0960", false, ""},
        {"Mon, 32 Dec 2026 12:00:00 +0000", false, ""},
        {"Mon, 7 Foo 2026 12:00:00 +0000", false, ""},
        {"Mon, 7 Dec 12026 12:00:00 +0000", false, ""},
        {"2026-12-07 12:00:00", false, ""},
        {"yesterday", false, ""},
        {"", false, ""},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        int64_t seconds = -1;
        const bool readable = ParseMailDate(cases[i].value, std::strlen(cases[i].value), &seconds);
        EXPECT_EQ(cases[i].readable, readable) << "case " << i << ": " << cases[i].value;
        if (readable && cases[i].readable) {
            EXPECT_EQ(cases[i].utc, UtcText(seconds)) << "case " << i << ": " << cases[i].value;
        }
    }
}

// The date column's fallback and the sort key come from the same header.
TEST(HeaderColumns, DateReadOrShownAsWritten) {
    const char header[] = "Date: Tue, 8 Dec 2026 07:00:00 +0900\r\n";
    HeaderColumns columns = ReadHeaderColumns(header, std::strlen(header));
    EXPECT_TRUE(columns.dated);
    EXPECT_EQ("2026-12-07 22:00:00", UtcText(columns.utcSeconds));
    EXPECT_EQ(u"", columns.dateText);

    const char unreadable[] = "Date: sometime\r\n next week\r\n";
    columns = ReadHeaderColumns(unreadable, std::strlen(unreadable));
    EXPECT_FALSE(columns.dated);
    EXPECT_EQ(Units(u"sometime next week"), Units(columns.dateText));

    columns = ReadHeaderColumns(nullptr, 0);
    EXPECT_FALSE(columns.dated);
    EXPECT_EQ(u"", columns.dateText);
    EXPECT_EQ(Units(u"No Subject"), Units(columns.subject));
}

}  // namespace
