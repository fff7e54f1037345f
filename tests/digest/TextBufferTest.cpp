#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TextBuffer.h"

namespace {

void ExpectInvariant(const TextBuffer& buffer, const std::string& expected, int caseNumber) {
    ASSERT_EQ(expected.size(), buffer.Length()) << "case " << caseNumber;
    EXPECT_EQ(0u, buffer.Capacity() % 128) << "case " << caseNumber;
    EXPECT_GT(buffer.Capacity(), buffer.Length()) << "case " << caseNumber;
    EXPECT_EQ('\0', buffer.Text()[buffer.Length()]) << "case " << caseNumber;
    EXPECT_EQ(0, std::memcmp(expected.data(), buffer.Text(), expected.size())) << "case " << caseNumber;
}

TEST(TextBuffer, StartsEmptyWithRoomFor127Characters) {
    TextBuffer buffer;
    EXPECT_STREQ("", buffer.Text());
    EXPECT_EQ(0u, buffer.Length());
    EXPECT_EQ(128u, buffer.Capacity());
}

TEST(TextBuffer, GrowsBy128EachTimeItFills) {
    struct Case {
        uint32_t length;
        uint32_t capacity;
    };
    const Case cases[] = {
        {1, 128},   {127, 128}, {128, 256},   {255, 256},   {256, 384},
        {383, 384}, {384, 512}, {1000, 1024}, {8191, 8192},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        TextBuffer buffer;
        std::string expected;
        for (uint32_t n = 0; n < cases[i].length; ++n) {
            char c = static_cast<char>('a' + n % 26);
            ASSERT_TRUE(buffer.Append(c)) << "case " << i << " byte " << n;
            expected += c;
        }
        EXPECT_EQ(cases[i].capacity, buffer.Capacity()) << "case " << i;
        ExpectInvariant(buffer, expected, static_cast<int>(i));
    }
}

TEST(TextBuffer, VeryLongLinesGrowInLargerStepsStillMultiplesOf128) {
    TextBuffer buffer;
    std::string expected(3 * 1024 * 1024, 'x');
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = static_cast<char>('0' + i % 10);
        ASSERT_TRUE(buffer.Append(expected[i]));
    }
    ExpectInvariant(buffer, expected, 0);
}

TEST(TextBuffer, AppendOfManyBytesEqualsByteWiseAppend) {
    const uint32_t sizes[] = {0, 1, 126, 127, 128, 129, 300, 8000};
    for (std::size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
        std::string bytes(sizes[i], '\0');
        for (uint32_t n = 0; n < sizes[i]; ++n) {
            bytes[n] = static_cast<char>(n * 7 + 1);  // NUL bytes included
        }
        TextBuffer one;
        TextBuffer many;
        ASSERT_TRUE(one.Append('#')) << "case " << i;
        ASSERT_TRUE(many.Append('#')) << "case " << i;
        for (char c : bytes) {
            ASSERT_TRUE(one.Append(c)) << "case " << i;
        }
        ASSERT_TRUE(many.Append(bytes.data(), static_cast<uint32_t>(bytes.size()))) << "case " << i;
        ExpectInvariant(many, "#" + bytes, static_cast<int>(i));
        EXPECT_EQ(one.Capacity(), many.Capacity()) << "case " << i;
    }
}

TEST(TextBuffer, ClearKeepsTheStorage) {
    TextBuffer buffer;
    for (int i = 0; i < 200; ++i) {
        buffer.Append('z');
    }
    buffer.Clear();
    EXPECT_STREQ("", buffer.Text());
    EXPECT_EQ(0u, buffer.Length());
    EXPECT_EQ(256u, buffer.Capacity());
    buffer.Append('q');
    EXPECT_STREQ("q", buffer.Text());
}

}  // namespace
