// Reply parsing over byte buffers: no server, no windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Pop3Reply.h"

namespace {

struct CompleteCase {
    const char* text;
    bool multiLine;
    bool complete;
};

TEST(Pop3ReplyEnd, SingleAndMultiLineEndTests) {
    const CompleteCase cases[] = {
        {"", false, false},
        {"+OK", false, false},
        {"+OK ready\r", false, false},
        {"+OK ready\r\n", false, true},
        {"+OK bare LF\n", false, true},
        {"-ERR no\r\n", false, true},
        {"\n", false, true},
        {"+OK 2 320\r\n", true, false},
        {"+OK 2 320\r\n1 120\r\n", true, false},
        {"+OK 2 320\r\n1 120\r\n.", true, false},
        {"+OK 2 320\r\n1 120\r\n.\r", true, false},
        {"+OK 2 320\r\n1 120\r\n.\r\n", true, true},
        {"+OK\r\n.\r\n", true, true},
        {"\r\n.\r\n", true, true},
        {"\n.\r\n", true, true},              // lines ending in LF alone frame as CR LF would
        {"+OK\n.\n", true, true},
        {"+OK\r\n.\n", true, true},
        {"+OK\r\n..\r\n", true, false},       // a stuffed "." line is not the end
        {"+OK\r\nx\n.\n", true, true},
        {"+OK\nx\n..\n", true, false},        // stuffed, in the LF form too
        {"+OK\nx\n.\r", true, false},
        {"+OK\nx.\n", true, false},          // "." only as a line of its own
        {"-ERR", true, false},                 // refused, first line not yet whole
        {"-ERR locked\r", true, false},
        {"-ERR locked\r\n", true, true},       // refused LIST or TOP: one line only
        {"-\n", true, true},
        {"+OK -ERR\r\n", true, false},         // only a first byte "-" counts
        {"x-ERR\r\n", true, false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const CompleteCase& c = cases[i];
        EXPECT_EQ(c.complete, pop3::IsReplyComplete(c.text, std::strlen(c.text), c.multiLine))
            << "case " << i << ": \"" << c.text << "\" multiLine " << c.multiLine;
    }
    EXPECT_FALSE(pop3::IsReplyComplete(nullptr, 0, true));
    EXPECT_FALSE(pop3::IsReplyComplete(nullptr, 0, false));
}

// The end test looks at the length given, not at a NUL: a reply may hold any byte.
TEST(Pop3ReplyEnd, LooksAtTheGivenLengthOnly) {
    const char withNul[] = "+OK\r\nA\0B\r\n.\r\nJUNK";
    std::size_t wholeReply = sizeof withNul - 1 - 4;
    EXPECT_TRUE(pop3::IsReplyComplete(withNul, wholeReply, true));
    EXPECT_FALSE(pop3::IsReplyComplete(withNul, wholeReply - 1, true));
    EXPECT_FALSE(pop3::IsReplyComplete(withNul, wholeReply + 1, true));
}

// Property: a dot-stuffed multi-line reply is complete at its end and at no
// earlier length, whatever its lines hold.
TEST(Pop3ReplyEnd, NoProperPrefixOfAStuffedReplyIsComplete) {
    std::mt19937 random(20261208);
    const char alphabet[] = {'.', '.', '.', '\r', '\n', 'a', ' ', '-', '+'};
    for (int round = 0; round < 2000; ++round) {
        std::string reply = "+OK\r\n";
        int lines = static_cast<int>(random() % 6);
        for (int l = 0; l < lines; ++l) {
            std::string line;
            int length = static_cast<int>(random() % 5);
            for (int k = 0; k < length; ++k) {
                char c = alphabet[random() % sizeof alphabet];
                if (c == '\r' || c == '\n') {
                    c = 'b';  // line breaks only between lines
                }
                line += c;
            }
            if (!line.empty() && line[0] == '.') {
                line.insert(0, ".");
            }
            reply += line + "\r\n";
        }
        reply += ".\r\n";
        for (std::size_t length = 0; length < reply.size(); ++length) {
            ASSERT_FALSE(pop3::IsReplyComplete(reply.data(), length, true))
                << "round " << round << ", length " << length << " of " << reply.size();
        }
        ASSERT_TRUE(pop3::IsReplyComplete(reply.data(), reply.size(), true)) << "round " << round;
    }
}

TEST(Pop3ReplyBuffer, GrowthIsGeometricAndKeepsRoom) {
    std::size_t capacity = pop3::kReplyInitialCapacity;
    int steps = 0;
    // A LIST of 100,000 messages is about 1.5 MB: a handful of copies, not thousands.
    while (capacity < 2 * 1024 * 1024) {
        std::size_t grown = pop3::GrowReplyCapacity(capacity);
        ASSERT_GE(grown, capacity * 2) << "step " << steps;
        capacity = grown;
        ++steps;
    }
    EXPECT_LE(steps, 12);
    EXPECT_EQ(pop3::kReplyInitialCapacity, pop3::GrowReplyCapacity(0));
    EXPECT_EQ(0u, pop3::GrowReplyCapacity(static_cast<std::size_t>(-1) / 2 + 1));
}

// NextToken must split exactly like strtok, which the reply formats were made for.
TEST(Pop3ReplyTokens, SplitsLikeStrtok) {
    const char* inputs[] = {
        "", " ", "+OK 1 abc\r\n", "  lead  trail  ", "a", "\r\n\r\n",
        "+OK\r\n1 120\r\n2 200\r\n.\r\n", "Subject: x\r\n\r\nFrom: y", "a\r\n \rb",
    };
    const char* delimiterRuns[][4] = {
        {" ", " ", " \r\n", " "},
        {"\r\n", "\r\n", "\r\n", "\r\n"},
        {" \r\n", " ", "\r", "\n"},
    };
    for (std::size_t i = 0; i < sizeof inputs / sizeof inputs[0]; ++i) {
        for (std::size_t r = 0; r < sizeof delimiterRuns / sizeof delimiterRuns[0]; ++r) {
            std::string ours(inputs[i]);
            std::string theirs(inputs[i]);
            char* cursor = &ours[0];
            for (int t = 0; t < 4; ++t) {
                const char* delimiters = delimiterRuns[r][t];
                char* expected = std::strtok(t == 0 ? &theirs[0] : nullptr, delimiters);
                char* actual = pop3::NextToken(&cursor, delimiters);
                ASSERT_EQ(expected == nullptr, actual == nullptr) << "input " << i << " run " << r << " token " << t;
                if (expected) {
                    EXPECT_STREQ(expected, actual) << "input " << i << " run " << r << " token " << t;
                    EXPECT_EQ(expected - &theirs[0], actual - &ours[0]) << "input " << i << " run " << r;
                }
            }
            EXPECT_EQ(theirs, ours) << "input " << i << " run " << r << ": same bytes overwritten";
        }
    }
    char* nothing = nullptr;
    EXPECT_EQ(nullptr, pop3::NextToken(&nothing, " "));
    EXPECT_EQ(nullptr, pop3::NextToken(nullptr, " "));
}

struct ListingCase {
    const char* reply;
    std::vector<int32_t> sizes;  // the count is its length
};

TEST(Pop3ReplyListing, OneMessagePerLine) {
    const ListingCase cases[] = {
        {"+OK 2 320\r\n1 120\r\n2 200\r\n.\r\n", {120, 200}},
        {"+OK 2 messages (320 octets)\r\n1 120\r\n2 200\r\n.\r\n", {120, 200}},
        {"+OK Mailbox scan listing follows\r\n1 120\r\n2 200\r\n.\r\n", {120, 200}},
        {"+OK 2 messages:\r\n1 120\r\n2 200\r\n.\r\n", {120, 200}},  // Dovecot's form
        {"+OK\r\n1 120\r\n2 200\r\n.\r\n", {120, 200}},
        {"+OK 0 0\r\n.\r\n", {}},
        {"+OK\r\n.\r\n", {}},
        // The line's position is the message number, not the number it carries.
        {"+OK 3\r\n7 10\r\n3 30\r\n1 50\r\n.\r\n", {10, 30, 50}},
        // Bare LF lines, extra blanks and tabs.
        {"+OK 2\n1 120\n2\t 200 extra\n.\n", {120, 200}},
        {"+OK 2\r\n  1   120  \r\n2 200\r\n.\r\n", {120, 200}},
        // Empty lines vanish, as with strtok.
        {"+OK 2\r\n\r\n1 120\r\n\r\n2 200\r\n.\r\n", {120, 200}},
        // A line without a size keeps its place with size 0.
        {"+OK 3\r\n1 120\r\n2\r\n3 300\r\n.\r\n", {120, 0, 300}},
        {"+OK 2\r\n1 12ab\r\n2 -5\r\n.\r\n", {12, 0}},
        // Sizes saturate instead of wrapping.
        {"+OK 2\r\n1 2147483647\r\n2 99999999999999999999\r\n.\r\n", {2147483647, 2147483647}},
        // Fewer lines than announced: the count is what arrived.
        {"+OK 5 900\r\n1 100\r\n2 200\r\n.\r\n", {100, 200}},
        // Cut short (connection closed): whole lines only; a cut line may have a cut size.
        {"+OK 3 600\r\n1 100\r\n2 200\r\n3 30", {100, 200}},
        {"+OK 3 600\r\n1 100\r\n2 200\r\n", {100, 200}},
        {"+OK 3 600\r\n1 100\r\n2 200\r", {100}},
        {"+OK 3 600", {}},
        {"", {}},
        // Nothing after the end line is read.
        {"+OK 1\r\n1 100\r\n.\r\n2 200\r\n", {100}},
        // A line starting with "." that is not the end line is a listed line.
        {"+OK 2\r\n..\r\n2 200\r\n.\r\n", {0, 200}},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const ListingCase& c = cases[i];
        std::string before(c.reply);
        int32_t* sizes = reinterpret_cast<int32_t*>(static_cast<std::uintptr_t>(0xcccccccc));
        int32_t count = pop3::ParseSizeListing(c.reply, &sizes);
        ASSERT_EQ(static_cast<int32_t>(c.sizes.size()), count) << "case " << i << ": " << c.reply;
        if (count == 0) {
            EXPECT_EQ(nullptr, sizes) << "case " << i;
        } else {
            ASSERT_NE(nullptr, sizes) << "case " << i;
            for (int32_t k = 0; k < count; ++k) {
                EXPECT_EQ(c.sizes[k], sizes[k]) << "case " << i << ", message " << k + 1;
            }
        }
        EXPECT_EQ(before, std::string(c.reply)) << "case " << i << ": the reply must stay readable";
        std::free(sizes);
    }
    int32_t* sizes = nullptr;
    EXPECT_EQ(0, pop3::ParseSizeListing(nullptr, &sizes));
    EXPECT_EQ(nullptr, sizes);
    EXPECT_EQ(0, pop3::ParseSizeListing("+OK 1\r\n1 1\r\n.\r\n", nullptr));
}

// What follows the message number on a UIDL line, and the UIDL taken from it.
struct UidlWordsCase {
    std::string words;
    const char* uidl;  // null: no usable UIDL
};

// The one rule for both forms: a "uidl n" reply and a line of the listing.
TEST(Pop3ReplyUidl, UsableUidlsAloneInTheReplyAndInTheListing) {
    const std::string longest(pop3::kUidlMaxLength, 'x');
    const UidlWordsCase cases[] = {
        {"whqtswO00WBw418f9t5JxYwZ\r\n", "whqtswO00WBw418f9t5JxYwZ"},
        {"QhdPYR:00WBw1Ph7x7\r\n", "QhdPYR:00WBw1Ph7x7"},
        {"abc\n", "abc"},                          // a line may end at LF alone
        {"   abc  \t\r\n", "abc"},                 // blanks around it are no part of it
        {"!~\r\n", "!~"},                          // 0x21 and 0x7E, the ends of the range
        {std::string(70, 'u') + "\r\n", "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu"},
        {longest + "\r\n", longest.c_str()},       // longer than RFC 1939 asks, still printable
        {longest + "y\r\n", nullptr},              // beyond the limit
        {"abc def\r\n", nullptr},                  // a blank inside: which word would the host read?
        {"abc\tdef\r\n", nullptr},
        {"abc\rdef\r\n", nullptr},                 // a CR is a line end only before LF
        {"abc\r\r\n", nullptr},
        {std::string("ab\x1A" "c\r\n"), nullptr},  // the DOS end-of-file byte
        {std::string("ab\x7F\r\n"), nullptr},
        {std::string("\x82\xA0\r\n"), nullptr},    // a Shift_JIS character
        {std::string("ab\0c\r\n", 6), nullptr},    // a NUL would cut the UIDL
        {"\r\n", nullptr},
        {"abc", nullptr},                          // the line never ended
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const UidlWordsCase& c = cases[i];
        std::string reply = "+OK 3 " + c.words;
        char* uidl = pop3::ParseUidlReply(&reply[0], 3);
        std::string listing = "+OK\r\n3 " + c.words + (c.words.find('\n') == std::string::npos ? "" : ".\r\n");
        char* listed[3] = {nullptr, nullptr, nullptr};
        int32_t filled = pop3::ParseUidlListing(&listing[0], 3, listed);
        if (!c.uidl) {
            EXPECT_EQ(nullptr, uidl) << "case " << i << ": reply";
            EXPECT_EQ(0, filled) << "case " << i << ": listing";
            EXPECT_EQ(nullptr, listed[2]) << "case " << i << ": listing";
            continue;
        }
        ASSERT_NE(nullptr, uidl) << "case " << i << ": reply";
        EXPECT_STREQ(c.uidl, uidl) << "case " << i << ": reply";
        EXPECT_TRUE(uidl > &reply[0] && uidl < &reply[0] + reply.size()) << "case " << i << ": in the reply";
        EXPECT_EQ(1, filled) << "case " << i << ": listing";
        ASSERT_NE(nullptr, listed[2]) << "case " << i << ": listing";
        EXPECT_STREQ(c.uidl, listed[2]) << "case " << i << ": listing";
    }
}

struct UidlReplyCase {
    const char* reply;
    int32_t asked;
    const char* uidl;  // null: no UIDL for the message asked
};

TEST(Pop3ReplyUidl, OnlyAnAcceptedAnswerForTheMessageAsked) {
    const UidlReplyCase cases[] = {
        {"+OK 6 u6\r\n", 6, "u6"},
        {"+OK 7 u7\r\n", 6, nullptr},   // the neighbour's answer
        {"+OK 06 u6\r\n", 6, "u6"},     // the same number, written with a zero
        {"+OK 6x u6\r\n", 6, nullptr},
        {"+OK u6\r\n", 6, nullptr},     // no number at all
        {"+OK 4294967302 u6\r\n", 6, nullptr},  // 2^32 + 6 is not 6
        {"+OK 6\r\n", 6, nullptr},
        {"+OK\r\n", 6, nullptr},
        {"+OK6 u6\r\n", 6, nullptr},
        {"-ERR no such message\r\n", 6, nullptr},  // never "such"
        {"-ERR 6 u6\r\n", 6, nullptr},
        {"+ok 6 u6\r\n", 6, nullptr},
        {"", 6, nullptr},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const UidlReplyCase& c = cases[i];
        std::string buffer(c.reply);
        char* uidl = pop3::ParseUidlReply(&buffer[0], c.asked);
        if (!c.uidl) {
            EXPECT_EQ(nullptr, uidl) << "case " << i << ": " << c.reply;
        } else {
            ASSERT_NE(nullptr, uidl) << "case " << i << ": " << c.reply;
            EXPECT_STREQ(c.uidl, uidl) << "case " << i;
        }
    }
    EXPECT_EQ(nullptr, pop3::ParseUidlReply(nullptr, 1));
}

}  // namespace

namespace {

// ---- framing replies out of a receive buffer ----------------------------------------

TEST(Pop3ReplyFraming, EndOfTheFirstReplyInABufferOfSeveral) {
    struct Case {
        const char* text;
        bool multiLine;
        std::size_t end;  // 0: more bytes needed
    } const cases[] = {
        {"+OK\r\n+OK\r\n", false, 5},
        {"+OK\n-ERR\n", false, 4},
        {"+OK\r\n1 a\r\n.\r\n+OK\r\n", true, 13},
        {"+OK\n1 a\n.\n+OK\n", true, 10},
        {"+OK\r\n..\r\n.\r\n-ERR\r\n", true, 12},  // the stuffed line does not end it
        {"-ERR no\r\n+OK\r\n.\r\n", true, 9},
        {"+OK\r\n1 a\r\n.", true, 0},
        {"+OK\r\n.x\r\n", true, 0},
        {"+OK", false, 0},
        {".\r\n.\r\n", true, 6},  // the first line is the status, whatever it holds
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::size_t scan = 0;
        EXPECT_EQ(cases[i].end, pop3::FindReplyEnd(cases[i].text, std::strlen(cases[i].text), cases[i].multiLine, &scan))
            << "case " << i << ": " << cases[i].text;
    }
}

TEST(Pop3ReplyFraming, SearchGoesOnWhereItStoppedForEveryLengthOfArrival) {
    // The same end whatever the bytes arrived in: every prefix length first, then
    // the whole text, with the scan position carried along.
    const std::string reply = "+OK\r\nSubject: x\r\n..\r\n\r\n.\r\n";
    const std::string text = reply + "+OK next\r\n";
    for (std::size_t step = 1; step <= text.size(); ++step) {
        std::size_t scan = 0;
        std::size_t end = 0;
        for (std::size_t length = step; end == 0; length = std::min(length + step, text.size())) {
            end = pop3::FindReplyEnd(text.data(), length, true, &scan);
            ASSERT_LE(scan, length) << "step " << step;
            if (length == text.size()) {
                break;
            }
        }
        EXPECT_EQ(reply.size(), end) << "step " << step;
    }
}

TEST(Pop3ReplyFraming, UidlListingAndCapa) {
    // Each message by its own number: out of order, out of range, junk, the same
    // line twice, and a number named with two UIDLs, which is believed for neither.
    char listing[] =
        "+OK\r\n1 AAA\r\n4 DDD\r\n3\tCCC\r\n7 out\r\n0 zero\r\nx1 bad\r\n2\r\n1 AAA\r\n4 EEE\r\n.\r\n2 BBB\r\n";
    char* uidls[4] = {nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(2, pop3::ParseUidlListing(listing, 4, uidls));
    EXPECT_STREQ("AAA", uidls[0]);
    EXPECT_EQ(nullptr, uidls[1]) << "nothing after the end line";
    EXPECT_STREQ("CCC", uidls[2]);
    EXPECT_EQ(nullptr, uidls[3]) << "DDD or EEE: the listing contradicts itself";

    char cut[] = "+OK\n1 A\n2 B";  // the last line never ended
    char* two[2] = {nullptr, nullptr};
    EXPECT_EQ(1, pop3::ParseUidlListing(cut, 2, two));
    EXPECT_EQ(nullptr, two[1]);

    struct Capa {
        const char* reply;
        bool pipelining;
    } const capas[] = {
        {"+OK\r\nTOP\r\nPIPELINING\r\n.\r\n", true},
        {"+OK\nPipelining\n.\n", true},
        {"+OK\r\nPIPELINING extra words\r\n.\r\n", true},
        {"-ERR PIPELINING\r\n", false},
        {"+OK PIPELINING\r\n.\r\n", false},  // the status line lists nothing
        {"+OK\r\nXPIPELINING\r\nPIPELININGS\r\n.\r\n", false},
        {"", false},
    };
    for (std::size_t i = 0; i < sizeof capas / sizeof capas[0]; ++i) {
        EXPECT_EQ(capas[i].pipelining, pop3::CapaOffersPipelining(capas[i].reply)) << "capa " << i;
    }
}

}  // namespace
