#include "BoundedText.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Pre-filled buffers catch a missing terminator or a write past the end.
struct Buffer {
    char bytes[16];
    Buffer() { std::memset(bytes, 0xcc, sizeof bytes); }
};

struct CopyCase {
    const char* source;
    std::size_t size;
    const char* expected;
    bool fits;
};

TEST(BoundedText, CopyFitsExactlyOrCutsAndTerminates) {
    const CopyCase cases[] = {
        {"abc", 4, "abc", true},      // exact fit: three characters and the terminator
        {"abcd", 4, "abc", false},    // one too small
        {"", 1, "", true},
        {"a", 1, "", false},
        {nullptr, 4, "", true},       // null reads as empty
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        Buffer b;
        EXPECT_EQ(cases[i].fits, text::Copy(b.bytes, cases[i].size, cases[i].source)) << "case " << i;
        EXPECT_STREQ(cases[i].expected, b.bytes) << "case " << i;
        for (std::size_t j = cases[i].size; j < sizeof b.bytes; ++j) {
            ASSERT_EQ(static_cast<char>(0xcc), b.bytes[j]) << "case " << i << " wrote byte " << j;
        }
    }
}

TEST(BoundedText, AppendStopsAtTheEnd) {
    char buffer[8] = "abc";
    EXPECT_TRUE(text::Append(buffer, sizeof buffer, "def"));
    EXPECT_STREQ("abcdef", buffer);
    EXPECT_FALSE(text::Append(buffer, sizeof buffer, "ghi"));
    EXPECT_STREQ("abcdefg", buffer);
    EXPECT_FALSE(text::Append(buffer, sizeof buffer, "x"));
    EXPECT_STREQ("abcdefg", buffer);
}

TEST(BoundedText, AppendRefusesAnUnterminatedBuffer) {
    char buffer[4];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(text::Append(buffer, sizeof buffer, "y"));
    EXPECT_EQ(0, std::memcmp(buffer, "xxxx", 4));
}

TEST(BoundedText, AppendNTakesAtMostNBytes) {
    char buffer[8] = "";
    EXPECT_TRUE(text::AppendN(buffer, sizeof buffer, "abcdef", 2));
    EXPECT_STREQ("ab", buffer);
    EXPECT_TRUE(text::AppendN(buffer, sizeof buffer, "c", 5));  // stops at the NUL
    EXPECT_STREQ("abc", buffer);
}

TEST(BoundedText, FormatReportsCutting) {
    Buffer b;
    EXPECT_TRUE(text::Format(b.bytes, 8, "%d-%s", 42, "ab"));
    EXPECT_STREQ("42-ab", b.bytes);
    EXPECT_FALSE(text::Format(b.bytes, 4, "%d", 123456));
    EXPECT_STREQ("123", b.bytes);
    EXPECT_EQ(static_cast<char>(0xcc), b.bytes[8]);
}

TEST(BoundedText, CaseInsensitiveComparisonsFoldOnlyAscii) {
    EXPECT_TRUE(text::StartsWithNoCase("INBOX.BOX", "inbox.box"));
    EXPECT_TRUE(text::StartsWithNoCase("inbox.boxes", "inbox.box"));
    EXPECT_FALSE(text::StartsWithNoCase("inbox.bo", "inbox.box"));
    EXPECT_FALSE(text::StartsWithNoCase(nullptr, "a"));
    EXPECT_TRUE(text::EqualsNoCase("Account2", "ACCOUNT2"));
    EXPECT_FALSE(text::EqualsNoCase("Account2", "Account22"));
    // Shift_JIS second bytes in the letter range must not be folded: 0x83 0x41 vs 0x83 0x61.
    EXPECT_FALSE(text::EqualsNoCase("\x83\x41", "\x83\x61"));
    EXPECT_TRUE(text::EqualsNoCaseN("Subject: x", "SUBJECT", 7));
}

}  // namespace
