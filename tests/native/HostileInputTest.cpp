// Inputs far outside what a friendly server or mail would send, run through the
// platform-free code: each must end, within its buffers, with the outcome stated.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ByteSource.h"
#include "DigestWalk.h"
#include "HeaderDecode.h"
#include "HeaderText.h"
#include "LineReader.h"
#include "Pop3Reply.h"
#include "TextBuffer.h"

namespace {

struct WalkResult {
    MailType type = kMailNotSplit;
    SplitCount count;
    MemoryPartSink sink;
    bool failed = false;
};

void Walk(const std::string& mail, WalkResult* result) {
    MemoryByteSource source(mail.data(), static_cast<uint32_t>(mail.size()));
    LineReader reader;
    reader.Attach(&source);
    Delimiters delimiters;
    result->type = DetectType(reader, &delimiters);
    if (result->type != kMailNotSplit) {
        result->count = SplitParts(reader, delimiters, result->sink);
    }
    result->failed = reader.Failed();
}

const char kDigestHeader[] = "From: list@example.com\r\nContent-Type: multipart/digest; boundary=\"B\"\r\n\r\n";

}  // namespace

TEST(HostileMail, TenMegabyteLineWithoutLineEndIsOneLine) {
    std::string line(10 * 1024 * 1024, 'x');
    MemoryByteSource source(line.data(), static_cast<uint32_t>(line.size()));
    LineReader reader;
    reader.Attach(&source);
    TextBuffer buffer;
    ASSERT_EQ(1, reader.ReadLine(buffer));
    EXPECT_EQ(line.size(), buffer.Length());
    EXPECT_EQ(0, std::memcmp(buffer.Text(), line.data(), line.size()));
    EXPECT_EQ(0, reader.ReadLine(buffer));
    EXPECT_FALSE(reader.Failed());
}

TEST(HostileMail, TenMegabyteHeaderLineAndTenMegabyteBoundary) {
    struct Case {
        const char* name;
        std::string mail;
        MailType type;
        int imported;
    };
    std::string huge(10 * 1024 * 1024, 'b');
    const Case cases[] = {
        // A header of 10 MB before the Content-Type: read, then ignored.
        {"long header", "X-Junk: " + huge + "\r\n" + kDigestHeader + "--B\r\nContent-Type: message/rfc822\r\n\r\nm\r\n--B--\r\n",
         kMailMultipartDigest, 1},
        // A boundary of 10 MB: parsed, and the delimiter lines found.
        {"long boundary", "Content-Type: multipart/digest; boundary=\"" + huge + "\"\r\n\r\n--" + huge +
                              "\r\nContent-Type: message/rfc822\r\n\r\nm\r\n--" + huge + "--\r\n",
         kMailMultipartDigest, 1},
        // A folded Content-Type of 10,000 continuation lines.
        {"long fold", "Content-Type: multipart/digest;" + [] {
             std::string folds;
             for (int i = 0; i < 10000; ++i) folds += "\r\n x=\"\"";
             return folds;
         }() + "\r\n boundary=B\r\n\r\n--B\r\nContent-Type: message/rfc822\r\n\r\nm\r\n",
         kMailNotSplit, 0},  // the first quoted text after ";" is the boundary: the empty one
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        WalkResult result;
        Walk(cases[i].mail, &result);
        EXPECT_EQ(cases[i].type, result.type) << "case " << i << " " << cases[i].name;
        EXPECT_EQ(cases[i].imported, result.count.imported) << "case " << i << " " << cases[i].name;
        EXPECT_FALSE(result.failed) << "case " << i;
    }
}

TEST(HostileMail, DigestOfTenThousandTinyParts) {
    std::string mail = kDigestHeader;
    for (int i = 0; i < 10000; ++i) {
        mail += "--B\r\nContent-Type: message/rfc822\r\n\r\nS: " + std::to_string(i) + "\r\n";
    }
    mail += "--B--\r\n";
    WalkResult result;
    Walk(mail, &result);
    ASSERT_EQ(kMailMultipartDigest, result.type);
    EXPECT_EQ(10000, result.count.imported);
    EXPECT_EQ(0, result.count.lost);
    ASSERT_EQ(10000u, result.sink.messages.size());
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ("S: " + std::to_string(i) + "\r\n", result.sink.messages[i]) << "part " << i;
    }
}

TEST(HostileMail, HundredMegabyteDigest) {
    // 1,000 messages of 100 KB in lines of 100 bytes.
    std::string line(98, 'y');
    line += "\r\n";
    std::string body;
    for (int i = 0; i < 1024; ++i) body += line;
    std::string mail = kDigestHeader;
    for (int i = 0; i < 1000; ++i) {
        mail += "--B\r\nContent-Type: message/rfc822\r\n\r\n";
        mail += body;
    }
    mail += "--B--\r\n";
    ASSERT_GT(mail.size(), 100u * 1000 * 1000);
    WalkResult result;
    Walk(mail, &result);
    ASSERT_EQ(kMailMultipartDigest, result.type);
    EXPECT_EQ(1000, result.count.imported);
    ASSERT_EQ(1000u, result.sink.messages.size());
    EXPECT_EQ(body, result.sink.messages[0]);
    EXPECT_EQ(body, result.sink.messages[999]);
}

TEST(HostileReply, OversizedAndBrokenListings) {
    struct Case {
        const char* name;
        std::string reply;
        int32_t count;
    };
    std::string many = "+OK\r\n";
    for (int i = 1; i <= 200000; ++i) many += std::to_string(i) + " " + std::to_string(i * 3) + "\r\n";
    const Case cases[] = {
        {"200,000 messages", many + ".\r\n", 200000},
        {"200,000 messages, end line missing", many, 200000},
        {"10 MB status line without line end", "+OK " + std::string(10 * 1024 * 1024, '9'), 0},
        {"10 MB listing line", "+OK\r\n1 " + std::string(10 * 1024 * 1024, '7') + "\r\n.\r\n", 1},
        {"only line feeds", std::string(100000, '\n'), 0},
        {"binary junk", std::string("+OK\r\n\x01\xff\x80 \x90\r\n\x1b$B\r\n.\r\n", 20), 2},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        int32_t* sizes = nullptr;
        int32_t count = pop3::ParseSizeListing(cases[i].reply.c_str(), &sizes);
        EXPECT_EQ(cases[i].count, count) << "case " << i << " " << cases[i].name;
        if (count > 0 && sizes) {
            EXPECT_GE(sizes[count - 1], 0) << "case " << i;
        }
        std::free(sizes);
    }
    // The saturated size of the 10 MB listing line.
    int32_t* sizes = nullptr;
    ASSERT_EQ(1, pop3::ParseSizeListing(cases[3].reply.c_str(), &sizes));
    EXPECT_EQ(INT32_MAX, sizes[0]);
    std::free(sizes);
}

TEST(HostileSubject, HugeAndUnfinishedEncodedWords) {
    struct Case {
        const char* name;
        std::string subject;
    };
    std::string words;
    for (int i = 0; i < 100000; ++i) words += "=?ISO-2022-JP?B?GyRCJCIbKEI=?=";
    std::string prefixes;
    for (int i = 0; i < 100000; ++i) prefixes += "=?ISO-2022-JP?B?";
    const Case cases[] = {
        {"100,000 words", words},
        {"100,000 prefixes, no end", prefixes},
        {"1 MB payload", "=?SHIFT_JIS?B?" + std::string(1024 * 1024, 'A') + "?="},
        {"escapes only", std::string(300000, '\x1b')},
        {"two-byte mode to the end", "\x1b$B" + std::string(1000001, '!')},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const std::string& s = cases[i].subject;
        std::string first(s.size() + 1, '\xcc');
        DecodeHeaderText(s.c_str(), &first[0]);
        std::size_t firstLength = std::strlen(first.c_str());
        ASSERT_LE(firstLength, s.size()) << "case " << i << " " << cases[i].name;
        std::size_t count = Iso2022JpToSjisLength(first.c_str());
        std::string second(count + 1, '\xcc');
        Iso2022JpToSjis(first.c_str(), &second[0]);
        EXPECT_LE(std::strlen(second.c_str()), count) << "case " << i << " " << cases[i].name;
    }
}

// The list's UTF-16 decoding of the same kind of input: one walk whatever the
// words, every malformed one kept as written, adjacent words joined.
TEST(HostileSubject, HugeAndUnfinishedWordsForTheList) {
    struct Case {
        const char* name;
        std::string value;
        std::size_t units;  // UTF-16 units expected
    };
    std::string words;
    for (int i = 0; i < 100000; ++i) words += "=?UTF-8?B?44GC?= ";
    std::string prefixes;
    for (int i = 0; i < 100000; ++i) prefixes += "=?UTF-8?B?";
    std::string payload;  // "AAA" in base64, to 1 MB
    for (int i = 0; i < 1024 * 1024 / 4; ++i) payload += "QUFB";
    std::string split;  // one three-byte character over three words, 30,000 times
    for (int i = 0; i < 30000; ++i) split += "=?UTF-8?Q?=E3?= =?UTF-8?Q?=81?= =?UTF-8?Q?=82?=\r\n ";
    const Case cases[] = {
        {"100,000 adjacent words", words, 100000 + 1},  // the last blank stays
        {"100,000 prefixes, no end", prefixes, prefixes.size()},
        {"1 MB payload, no end", "=?UTF-8?B?" + std::string(1024 * 1024, 'A'), 10 + 1024 * 1024},
        {"1 MB payload", "=?UTF-8?B?" + payload + "?=", 1024 * 1024 * 3 / 4},
        {"characters split between words", split, 30000 + 3},  // the last line break and blank as blanks
        {"a megabyte of control bytes", std::string(1024 * 1024, '\x01'), 0},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const std::u16string text = DecodeHeaderValue(cases[i].value.data(), cases[i].value.size());
        EXPECT_EQ(cases[i].units, text.size()) << "case " << i << " " << cases[i].name;
    }
}
