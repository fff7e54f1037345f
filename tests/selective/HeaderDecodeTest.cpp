// The two decoding passes over subjects: base64 words, ISO-2022-JP, and the
// bounds of every buffer they write.

#include "HeaderDecode.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kFill = 0xcc;
constexpr std::size_t kGuard = 16;

std::string Hex(const std::string& bytes) {
    std::string out;
    char piece[4];
    for (unsigned char c : bytes) {
        snprintf(piece, sizeof piece, "%02X ", c);
        out += piece;
    }
    return out;
}

// A buffer of `size` usable bytes pre-filled with 0xcc and followed by guard bytes.
struct GuardedBuffer {
    explicit GuardedBuffer(std::size_t size) : usable(size), bytes(size + kGuard, static_cast<char>(kFill)) {}
    char* data() { return bytes.data(); }
    bool GuardIntact() const {
        for (std::size_t i = usable; i < bytes.size(); ++i) {
            if (static_cast<unsigned char>(bytes[i]) != kFill) {
                return false;
            }
        }
        return true;
    }
    std::size_t usable;
    std::vector<char> bytes;
};

// Both passes, as the selection dialog runs them.
std::string DecodeSubject(const std::string& source, const std::string& where) {
    GuardedBuffer first(source.size() + 1);
    DecodeHeaderText(source.c_str(), first.data());
    EXPECT_TRUE(first.GuardIntact()) << where;
    std::size_t length = Iso2022JpToSjisLength(first.data());
    GuardedBuffer second(length + 1);
    Iso2022JpToSjis(first.data(), second.data());
    EXPECT_TRUE(second.GuardIntact()) << where;
    return second.data();
}

TEST(Base64, ValueOfEveryByte) {
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int c = 0; c < 256; ++c) {
        const char* at = c ? std::strchr(alphabet, c) : nullptr;
        unsigned char expected = at ? static_cast<unsigned char>(at - alphabet) : 255;
        EXPECT_EQ(expected, Base64Value(static_cast<unsigned char>(c))) << "byte " << c;
    }
}

TEST(Base64, Decode) {
    struct Case {
        const char* source;
        std::size_t length;
        const char* bytes;  // the first `length` bytes written
    } cases[] = {
        {"QUJD", 3, "ABC"},
        {"QUI=", 2, "AB"},
        {"QQ==", 1, "A"},
        {"QUJDREVG", 6, "ABCDEF"},
        {"QUJD?=QUJD", 3, "ABC"},  // "?" starts a group outside the alphabet
        {"QUJD QUJD", 3, "ABC"},
        {"", 0, ""},
        {"?QUJD", 0, ""},
        {"=QUJD", 0, ""},
        {"QUI", 2, "AB"},  // unpadded groups give the bytes they fully determine
        {"QUJ", 2, "AB"},  // not a third byte from the low bits of "J"
        {"QQ", 1, "A"},
        {"Q", 0, ""},
        {"QUJDQQ", 4, "ABCA"},
        {"GyRCJCIbKEI=", 8, "\x1b$B$\"\x1b(B"},
        {"+/+/", 3, "\xfb\xff\xbf"},
        {"AAAA", 3, "\0\0\0"},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        std::size_t groups = (std::strlen(c.source) + 3) / 4;
        GuardedBuffer out(groups * 3 + 1);
        std::size_t length = Base64Decode(c.source, out.data());
        EXPECT_EQ(c.length, length) << "case " << i;
        if (length == c.length) {
            EXPECT_EQ(0, std::memcmp(c.bytes, out.data(), length)) << "case " << i;
            EXPECT_EQ('\0', out.data()[length]) << "case " << i;
        }
        EXPECT_TRUE(out.GuardIntact()) << "case " << i;
    }
}

TEST(CharsetPrefix, TableRows) {
    struct Case {
        int32_t kind;
        int32_t rowKind;
        const char* prefix;
    } cases[] = {
        {0, 0, ""},
        {1, 1, "=?ISO-2022-JP?B?"},
        {2, 2, "=?SHIFT_JIS?B?"},
        {3, 3, "=?EUC-JP?B?"},
        {4, 4, "=?UTF-7?B?"},
        {5, 0, ""},
        {-1, 0, ""},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const CharsetPrefix& row = LookUpCharsetPrefix(cases[i].kind);
        EXPECT_EQ(cases[i].rowKind, row.kind) << "case " << i;
        EXPECT_STREQ(cases[i].prefix, row.prefix) << "case " << i;
        EXPECT_EQ(static_cast<int32_t>(std::strlen(row.prefix)), row.length) << "case " << i;
    }
}

TEST(EncodedWord, Find) {
    struct Case {
        const char* text;
        int32_t kind;
        std::size_t offset;
    } cases[] = {
        {"", 0, 0},
        {"plain subject", 0, 0},
        {"=?ISO-2022-JP?B?GyRCJCIbKEI=?=", 1, 0},
        {"=?iso-2022-jp?b?x?=", 1, 0},
        {"Re: =?Iso-2022-Jp?B?x?=", 1, 4},
        {"=?SHIFT_JIS?B?x", 2, 0},
        {"ab=?shift_jis?b?", 2, 2},
        {"=?EUC-JP?B?", 3, 0},
        {"=?UTF-7?b?", 4, 0},
        {"=?UTF-8?B?x?= =?EUC-JP?B?x?=", 3, 14},  // the first recognised word
        {"=?ISO-2022-JP?Q?x?=", 0, 0},
        {"=?ISO-2022-JP?B", 0, 0},
        {"=?ISO-2022-JP", 0, 0},
        {"==?UTF-7?B?", 4, 1},
        {"=?=?EUC-JP?B?", 3, 2},
        {"=", 0, 0},
        {"=?", 0, 0},
        {"\x82\xa0=?EUC-JP?B?", 3, 2},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::size_t offset = 12345;
        EXPECT_EQ(cases[i].kind, FindEncodedWord(cases[i].text, &offset)) << "case " << i;
        EXPECT_EQ(cases[i].offset, offset) << "case " << i;
    }
    EXPECT_EQ(1, FindEncodedWord("=?ISO-2022-JP?B?", nullptr));
    EXPECT_EQ(0, FindEncodedWord(nullptr, nullptr));
}

TEST(DecodeHeaderText, Cases) {
    struct Case {
        const char* source;
        const char* output;
        std::size_t total;
        int32_t kind;
    } cases[] = {
        // Plain text, including characters that look like parts of a word.
        {"Hello, world", "Hello, world", 12, 0},
        {"", "", 0, 0},
        {"a ?= b =? c", "a ?= b =? c", 11, 0},
        // The JIS bytes of the hiragana A, left for the second pass.
        {"=?ISO-2022-JP?B?GyRCJCIbKEI=?=", "\x1b$B$\"\x1b(B", 8, 1},
        {"=?iso-2022-jp?b?GyRCJCIbKEI=?=", "\x1b$B$\"\x1b(B", 8, 1},
        {"x =?SHIFT_JIS?B?gqA=?= y", "x \x82\xa0 y", 6, 2},
        {"=?SHIFT_JIS?B?QQ==?= =?SHIFT_JIS?B?Qg==?=", "A B", 3, 2},
        {"=?SHIFT_JIS?B?QQ==?==?SHIFT_JIS?B?Qg==?=", "AB", 2, 2},
        {"=?EUC-JP?B?pKI=?=", "\xa4\xa2", 2, 3},
        {"=?UTF-7?B?K01LSS0=?=", "+MKI-", 5, 4},
        // Not recognised: stays literally.
        {"=?UTF-8?B?44GC?=", "=?UTF-8?B?44GC?=", 16, 0},
        {"=?ISO-2022-JP?Q?abc?=", "=?ISO-2022-JP?Q?abc?=", 21, 0},
        {"=?UTF-8?B?44GC?= =?SHIFT_JIS?B?QQ==?=", "=?UTF-8?B?44GC?= A", 18, 2},
        // The payload ends at the first "?=", whatever follows.
        {"=?SHIFT_JIS?B?QUJD?=?=", "ABC?=", 5, 2},
        {"=?SHIFT_JIS?B?" "?=", "", 0, 2},
        // Unpadded and broken payloads stay within the word.
        {"=?SHIFT_JIS?B?QUI?=z", "ABz", 3, 2},
        {"=?SHIFT_JIS?B?QQ?=z", "Az", 2, 2},
        {"=?SHIFT_JIS?B?Q?=z", "z", 1, 2},
        {"=?SHIFT_JIS?B?QUJD!junk?=z", "ABCz", 4, 2},
        // Decoded NULs end the decoded part; the total still counts them.
        {"=?SHIFT_JIS?B?QQBC?=z", "Az", 4, 2},
        // No closing "?=": the word is copied as it stands.
        {"=?ISO-2022-JP?B?GyRCJCIbKEI=", "=?ISO-2022-JP?B?GyRCJCIbKEI=", 28, 1},
        {"a =?SHIFT_JIS?B?QQ==?= =?SHIFT_JIS?B?QUJD?", "a A =?SHIFT_JIS?B?QUJD?", 23, 2},
        {"=?SHIFT_JIS?B?", "=?SHIFT_JIS?B?", 14, 2},
        {"=?SHIFT_JIS?B?QQ==?", "=?SHIFT_JIS?B?QQ==?", 19, 2},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        GuardedBuffer out(std::strlen(c.source) + 1);
        int32_t kind = -7;
        EXPECT_EQ(c.total, DecodeHeaderText(c.source, out.data(), &kind)) << "case " << i;
        EXPECT_EQ(Hex(c.output), Hex(out.data())) << "case " << i;
        EXPECT_EQ(c.kind, kind) << "case " << i;
        EXPECT_TRUE(out.GuardIntact()) << "case " << i;
        // The kind pointer is optional and changes nothing else.
        GuardedBuffer again(std::strlen(c.source) + 1);
        EXPECT_EQ(c.total, DecodeHeaderText(c.source, again.data())) << "case " << i;
        EXPECT_STREQ(out.data(), again.data()) << "case " << i;
    }
}

TEST(Iso2022Jp, Length) {
    struct Case {
        const char* text;
        std::size_t count;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"\x1b$B$\"\x1b(B", 2},
        {"\x1b(Jabc\x1b(B", 3},
        {"\x1b", 0},
        {"ab\x1b", 2},
        {"ab\x1b$", 2},
        {"ab\x1b(", 2},
        {"\x1b$@", 4},   // three, then the third once more
        {"\x1b(I1", 5},
        {"\x1bxy", 4},   // two, then the second once more, then y
        {"\x1b\x1b$B", 2},
        {"\x82\xa0 ", 3},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].count, Iso2022JpToSjisLength(cases[i].text)) << "case " << i;
    }
}

TEST(Iso2022Jp, Convert) {
    struct Case {
        const char* source;
        const char* output;
        std::size_t count;
    } cases[] = {
        {"", "", 0},
        {"plain text", "plain text", 10},
        {"\x1b$B$\"\x1b(B", "\x82\xa0", 2},
        {"\x1b$B%\"4A\x1b(B", "\x83\x41\x8a\xbf", 4},
        {"a\x1b$B$\"\x1b(Bb", "a\x82\xa0" "b", 4},
        // Escape sequences directly behind one another.
        {"\x1b(B\x1b$B$\"\x1b(B\x1b(J", "\x82\xa0", 2},
        {"\x1b$B\x1b(Babc", "abc", 3},
        // The old JIS designation is dropped and leaves the mode as it was.
        {"x\x1b$@$\"y", "x$\"y", 4},
        {"\x1b$B$\"\x1b$@$\"\x1b(B", "\x82\xa0\x82\xa0", 4},
        // Unknown sequences, half-width katakana designation included.
        {"\x1b(I12\x1b(B", "12", 2},
        {"\x1bxyz", "z", 1},
        // A blank inside two-byte text: copied, not counted.
        {"\x1b$B$\" $\"\x1b(B", "\x82\xa0 \x82\xa0", 4},
        {"\x1b$B  \x1b(B", "  ", 0},
        // JIS-Roman is copied like ASCII.
        {"\x1b(Ja\\b\x1b(B", "a\\b", 3},
        // Half a character: dropped, never paired with ESC or the terminator.
        {"\x1b$B$", "", 0},
        {"\x1b$B$\"$", "\x82\xa0", 2},
        {"\x1b$B$\x1b(Bab", "ab", 2},
        // An escape sequence cut by the end of the text.
        {"ab\x1b", "ab", 2},
        {"ab\x1b$", "ab", 2},
        {"ab\x1b(", "ab", 2},
        // Bytes that are no JIS characters are still paired, by the same arithmetic.
        {"\x1b$B~~\x1b(B", "\xef\xfc", 2},
        {"\x1b$B!!\x1b(B", "\x81\x40", 2},
        // Shift_JIS and EUC-JP words pass unchanged outside two-byte mode.
        {"\x82\xa0\xa4\xa2", "\x82\xa0\xa4\xa2", 4},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        std::size_t length = Iso2022JpToSjisLength(c.source);
        GuardedBuffer out(length + 1);
        EXPECT_EQ(c.count, Iso2022JpToSjis(c.source, out.data())) << "case " << i;
        EXPECT_EQ(Hex(c.output), Hex(out.data())) << "case " << i;
        EXPECT_LE(std::strlen(out.data()), length) << "case " << i;
        EXPECT_TRUE(out.GuardIntact()) << "case " << i;
    }
}

TEST(Iso2022Jp, EveryJisCharacterMapsLikeShiftJis) {
    // Rows 1 to 94, cells 1 to 94: check the arithmetic against the layout of
    // Shift_JIS (lead bytes 81-9F then E0-EF, trail bytes 40-7E, 80-FC).
    for (int row = 1; row <= 94; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
            char source[] = {'\x1b', '$', 'B', static_cast<char>(0x20 + row), static_cast<char>(0x20 + cell),
                             '\x1b', '(', 'B', '\0'};
            unsigned char out[8];
            std::memset(out, kFill, sizeof out);
            ASSERT_EQ(2u, Iso2022JpToSjis(source, reinterpret_cast<char*>(out)));
            int lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
            int index = (row % 2 == 1) ? cell - 1 : cell - 1 + 94;
            int trail = index + 0x40 + (index >= 0x3F ? 1 : 0);
            ASSERT_EQ(lead, out[0]) << "row " << row << " cell " << cell;
            ASSERT_EQ(trail, out[1]) << "row " << row << " cell " << cell;
            ASSERT_EQ(0, out[2]) << "row " << row << " cell " << cell;
        }
    }
}

// Subjects as Japanese mailers write them; the expected Shift_JIS bytes were
// computed apart from this code (Python's iso2022_jp, cp932, euc_jp codecs).
struct Subject {
    const char* source;
    const char* expected;
};
const Subject kSubjects[] = {
#include "HeaderDecodeSubjects.inc"
};

TEST(DecodeSubject, RealSubjects) {
    for (std::size_t i = 0; i < sizeof kSubjects / sizeof kSubjects[0]; ++i) {
        std::string where = "subject " + std::to_string(i);
        EXPECT_EQ(Hex(kSubjects[i].expected), Hex(DecodeSubject(kSubjects[i].source, where))) << where;
    }
}

TEST(DecodeSubject, HiraganaAInEveryPrefixCase) {
    const char* sources[] = {"=?ISO-2022-JP?B?GyRCJCIbKEI=?=", "=?iso-2022-jp?b?GyRCJCIbKEI=?=",
                             "=?Iso-2022-JP?B?GyRCJCIbKEI=?="};
    for (const char* source : sources) {
        EXPECT_EQ("82 A0 ", Hex(DecodeSubject(source, source))) << source;
    }
}

// Random texts made of the pieces that matter: bytes, encoded words (with or without
// their end, padded or not) and escape sequences.
class TextGenerator {
public:
    explicit TextGenerator(uint32_t seed) : random_(seed) {}

    std::string Next() {
        std::string text;
        int pieces = Pick(0, 8);
        for (int p = 0; p < pieces; ++p) {
            switch (Pick(0, 5)) {
            case 0: text += RandomBytes(Pick(0, 12)); break;
            case 1: text += EncodedWord(); break;
            case 2: text += EscapeSequence(); break;
            case 3: text += Jis(); break;
            case 4: text += Pick(0, 1) ? "?=" : "=?"; break;
            default: text += ' '; break;
            }
        }
        return text;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::string RandomBytes(int n) {
        std::string s;
        for (int i = 0; i < n; ++i) {
            s += static_cast<char>(Pick(1, 255));
        }
        return s;
    }

    std::string EscapeSequence() {
        static const char seconds[] = "$($(x\x1b";
        static const char thirds[] = "BJBJ@I\x1b$";
        std::string s = "\x1b";
        if (Pick(0, 9) == 0) {
            return s;  // cut short
        }
        s += seconds[Pick(0, 5)];
        if (Pick(0, 9) == 0) {
            return s;
        }
        s += thirds[Pick(0, 7)];
        return s;
    }

    std::string Jis() {
        std::string s = "\x1b$B";
        int n = Pick(0, 7);
        for (int i = 0; i < n; ++i) {
            s += static_cast<char>(Pick(0x21, 0x7e));
        }
        if (Pick(0, 2)) {
            s += "\x1b(B";
        }
        return s;
    }

    std::string Base64Of(const std::string& bytes, bool pad) {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string s;
        for (std::size_t i = 0; i < bytes.size(); i += 3) {
            uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
            std::size_t n = bytes.size() - i;
            if (n > 1) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
            if (n > 2) v |= static_cast<unsigned char>(bytes[i + 2]);
            s += alphabet[(v >> 18) & 63];
            s += alphabet[(v >> 12) & 63];
            s += n > 1 ? alphabet[(v >> 6) & 63] : (pad ? '=' : '\0');
            s += n > 2 ? alphabet[v & 63] : (pad ? '=' : '\0');
        }
        s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
        return s;
    }

    std::string EncodedWord() {
        std::string prefix = LookUpCharsetPrefix(Pick(1, 4)).prefix;
        for (char& c : prefix) {
            if (Pick(0, 1)) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        }
        if (Pick(0, 9) == 0) {
            prefix = Pick(0, 1) ? "=?UTF-8?B?" : "=?ISO-2022-JP?Q?";
        }
        std::string payload;
        switch (Pick(0, 3)) {
        case 0: payload = Base64Of(Jis() + EscapeSequence() + RandomBytes(Pick(0, 3)), Pick(0, 1)); break;
        case 1: payload = Base64Of(RandomBytes(Pick(0, 10)), Pick(0, 1)); break;
        case 2: payload = RandomBytes(Pick(0, 10)); break;
        default: payload = Base64Of(RandomBytes(Pick(0, 10)), true) + RandomBytes(Pick(0, 3)); break;
        }
        std::string end = Pick(0, 5) ? "?=" : (Pick(0, 1) ? "?" : "");
        return prefix + payload + end;
    }

    std::mt19937 random_;
};

// Places a text so that its terminator is the last readable byte before a page
// that cannot be read: reading past the terminator faults at once.
class FencedText {
public:
    FencedText() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<char*>(VirtualAlloc(nullptr, page_ * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_) {
            VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
        }
    }
    ~FencedText() {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    bool Ok() const { return base_ != nullptr; }
    const char* Place(const std::string& text) {
        char* at = base_ + page_ - (text.size() + 1);
        std::memcpy(at, text.c_str(), text.size() + 1);
        return at;
    }

private:
    std::size_t page_ = 0;
    char* base_ = nullptr;
};

TEST(DecodeSubject, GeneratedTextsStayWithinTheirBuffers) {
    FencedText fence;
    ASSERT_TRUE(fence.Ok());
    const uint32_t seed = 20261208;
    TextGenerator generator(seed);
    const int kTexts = 100000;
    int failures = 0;
    for (int n = 0; n < kTexts && failures < 10; ++n) {
        std::string text = generator.Next();
        if (text.size() + 1 > 4096) continue;
        const char* source = fence.Place(text);
        std::string where = "seed " + std::to_string(seed) + " text " + std::to_string(n) + ": " + Hex(text);

        GuardedBuffer first(text.size() + 1);
        std::size_t total = DecodeHeaderText(source, first.data());
        std::size_t firstLength = strnlen(first.data(), first.usable);
        bool ok = first.GuardIntact() && firstLength < first.usable && total <= text.size();
        EXPECT_TRUE(first.GuardIntact()) << where;
        EXPECT_LT(firstLength, first.usable) << where;
        EXPECT_LE(total, text.size()) << where;

        // The second pass on the first pass's result, and on the raw text.
        std::string decoded(first.data(), firstLength);
        const std::string inputs[] = {decoded, text};
        for (const std::string& input : inputs) {
            const char* fenced = fence.Place(input);
            std::size_t length = Iso2022JpToSjisLength(fenced);
            GuardedBuffer second(length + 1);
            std::size_t count = Iso2022JpToSjis(fenced, second.data());
            std::size_t written = strnlen(second.data(), second.usable);
            EXPECT_TRUE(second.GuardIntact()) << where << " input " << Hex(input);
            EXPECT_LT(written, second.usable) << where << " input " << Hex(input);
            EXPECT_LE(count, length) << where << " input " << Hex(input);
            ok = ok && second.GuardIntact() && written < second.usable && count <= length;
        }
        if (!ok) ++failures;
    }
    EXPECT_EQ(0, failures);
}

}  // namespace
