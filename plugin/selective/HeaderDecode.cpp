#include "HeaderDecode.h"

#include <cstring>

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kNotBase64 = 255;

// Rows in the order FindEncodedWord tries them; row 0 is never matched.
const CharsetPrefix kCharsetPrefixes[] = {
    {kEncodedWordNone, "", 0},
    {kEncodedWordIso2022Jp, "=?ISO-2022-JP?B?", 16},
    {kEncodedWordShiftJis, "=?SHIFT_JIS?B?", 14},
    {kEncodedWordEucJp, "=?EUC-JP?B?", 11},
    {kEncodedWordUtf7, "=?UTF-7?B?", 10},
};

struct Base64Table {
    unsigned char values[256];
    constexpr Base64Table() : values() {
        for (int i = 0; i < 256; ++i) {
            values[i] = kNotBase64;
        }
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) {
            values[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
        }
    }
};
constexpr Base64Table kBase64Table;

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// True when text begins with the prefix, ASCII case ignored; stops at the first
// difference, so it never reads past the text's NUL.
bool StartsWithPrefix(const unsigned char* text, const CharsetPrefix& row) {
    for (int32_t k = 0; k < row.length; ++k) {
        if (FoldAscii(text[k]) != FoldAscii(static_cast<unsigned char>(row.prefix[k]))) {
            return false;
        }
    }
    return true;
}

// Decodes the base64 text [source, end) (also stopping at a NUL). Writes at most
// 3 bytes per started group of four plus the terminator.
std::size_t DecodeBase64Span(const unsigned char* source, const unsigned char* end, unsigned char* output) {
    std::size_t significant = 0;
    unsigned char* out = output;
    const unsigned char* p = source;
    while (p < end && *p != '\0') {
        unsigned char c1 = kBase64Table.values[*p];
        if (c1 == kNotBase64) {
            break;
        }
        ++p;
        ++significant;
        unsigned char c[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            if (p >= end || *p == '\0') {
                break;  // missing: 0, and it determines no byte
            }
            unsigned char value = kBase64Table.values[*p++];
            if (value != kNotBase64) {
                c[k] = value;
                ++significant;
            }
        }
        *out++ = static_cast<unsigned char>((c1 << 2) | ((c[0] >> 4) & 0x03));
        *out++ = static_cast<unsigned char>((c[0] << 4) | ((c[1] >> 2) & 0x0F));
        *out++ = static_cast<unsigned char>((c[1] << 6) | c[2]);
    }
    std::size_t length = significant * 6 / 8;
    output[length] = '\0';
    return length;
}

// The payload ends at the first "?=" or, lacking one, at the NUL.
const unsigned char* FindPayloadEnd(const unsigned char* payload) {
    const unsigned char* p = payload;
    while (*p != '\0') {
        if (p[0] == '?' && p[1] == '=') {
            return p;
        }
        ++p;
    }
    return p;
}

}  // namespace

const CharsetPrefix& LookUpCharsetPrefix(int32_t kind) {
    for (const CharsetPrefix& row : kCharsetPrefixes) {
        if (row.kind == kind) {
            return row;
        }
    }
    return kCharsetPrefixes[0];
}

unsigned char Base64Value(unsigned char c) {
    return kBase64Table.values[c];
}

std::size_t Base64Decode(const char* source, char* output) {
    if (!output) {
        return 0;
    }
    if (!source) {
        output[0] = '\0';
        return 0;
    }
    auto* begin = reinterpret_cast<const unsigned char*>(source);
    return DecodeBase64Span(begin, begin + std::strlen(source), reinterpret_cast<unsigned char*>(output));
}

int32_t FindEncodedWord(const char* text, std::size_t* offset) {
    if (offset) {
        *offset = 0;
    }
    if (!text) {
        return kEncodedWordNone;
    }
    auto* start = reinterpret_cast<const unsigned char*>(text);
    for (const unsigned char* p = start; *p != '\0'; ++p) {
        if (p[0] != '=' || p[1] != '?') {
            continue;  // every prefix begins so
        }
        for (int32_t kind = kEncodedWordIso2022Jp; kind <= kEncodedWordUtf7; ++kind) {
            if (StartsWithPrefix(p, kCharsetPrefixes[kind])) {
                if (offset) {
                    *offset = static_cast<std::size_t>(p - start);
                }
                return kind;
            }
        }
    }
    return kEncodedWordNone;
}

std::size_t DecodeHeaderText(const char* source, char* output, int32_t* kind) {
    if (kind) {
        *kind = kEncodedWordNone;
    }
    if (!output) {
        return 0;
    }
    output[0] = '\0';
    if (!source) {
        return 0;
    }
    auto* in = reinterpret_cast<const unsigned char*>(source);
    auto* out = reinterpret_cast<unsigned char*>(output);
    std::size_t total = 0;
    std::size_t offset = 0;
    int32_t found = FindEncodedWord(reinterpret_cast<const char*>(in), &offset);
    if (kind) {
        *kind = found;
    }
    while (found != kEncodedWordNone) {
        const unsigned char* payload = in + offset + LookUpCharsetPrefix(found).length;
        const unsigned char* payloadEnd = FindPayloadEnd(payload);
        if (*payloadEnd == '\0') {
            break;  // no closing "?=": not an encoded word; the rest is copied as it is
        }
        std::memcpy(out, in, offset);
        out += offset;
        total += offset;
        // The decoded bytes (3 per started group of four, and the terminator) always
        // fit in the output's room for the word itself, so they need no buffer of
        // their own: decoded straight into the output.
        std::size_t decoded = DecodeBase64Span(payload, payloadEnd, out);
        total += decoded;
        out += std::strlen(reinterpret_cast<const char*>(out));
        in = payloadEnd + 2;
        found = FindEncodedWord(reinterpret_cast<const char*>(in), &offset);
    }
    std::size_t rest = std::strlen(reinterpret_cast<const char*>(in));
    std::memcpy(out, in, rest + 1);
    return total + rest;
}

std::size_t Iso2022JpToSjisLength(const char* text) {
    if (!text) {
        return 0;
    }
    auto* p = reinterpret_cast<const unsigned char*>(text);
    std::size_t count = 0;
    while (*p != '\0') {
        if (*p != kEsc) {
            ++count;
            ++p;
            continue;
        }
        unsigned char second = p[1];
        if (second == '\0') {
            break;
        }
        if (second == '$' || second == '(') {
            unsigned char third = p[2];
            if (third == '\0') {
                break;
            }
            if (third == 'B' || third == 'J') {
                p += 3;
            } else {
                count += 3;
                p += 2;  // the third byte is counted once more as an ordinary byte
            }
        } else {
            count += 2;
            p += 1;  // the second byte is counted once more as an ordinary byte
        }
    }
    return count;
}

std::size_t Iso2022JpToSjis(const char* source, char* output) {
    if (!output) {
        return 0;
    }
    output[0] = '\0';
    if (!source || source[0] == '\0') {
        return 0;
    }
    enum class Mode { Ascii, TwoByte, JisRoman };
    Mode mode = Mode::Ascii;
    auto* in = reinterpret_cast<const unsigned char*>(source);
    auto* out = reinterpret_cast<unsigned char*>(output);
    std::size_t i = 0;
    std::size_t count = 0;
    while (in[i] != '\0') {
        if (in[i] == kEsc) {
            // Every escape sequence is taken as three bytes, but never beyond the NUL.
            unsigned char second = in[i + 1];
            if (second == '\0') {
                break;
            }
            unsigned char third = in[i + 2];
            if (third == '\0') {
                break;
            }
            if (second == '$' && third == 'B') {
                mode = Mode::TwoByte;
            } else if (second == '(' && third == 'J') {
                mode = Mode::JisRoman;
            } else if (second == '(' && third == 'B') {
                mode = Mode::Ascii;
            }
            i += 3;
            continue;
        }
        if (mode != Mode::TwoByte) {
            *out++ = in[i++];
            ++count;
            continue;
        }
        unsigned char j1 = in[i];
        if (j1 == ' ') {
            *out++ = j1;
            ++i;
            continue;
        }
        unsigned char j2 = in[i + 1];
        if (j2 == '\0' || j2 == kEsc) {
            ++i;  // half a character: dropped
            continue;
        }
        unsigned char s1 = 0;
        unsigned char s2 = 0;
        JisPairToShiftJis(j1, j2, &s1, &s2);
        *out++ = s1;
        *out++ = s2;
        count += 2;
        i += 2;
    }
    *out = '\0';
    return count;
}

void JisPairToShiftJis(unsigned char j1, unsigned char j2, unsigned char* s1, unsigned char* s2) {
    *s1 = static_cast<unsigned char>((static_cast<unsigned char>(j1 - 0x21) >> 1) + 0x81);
    if (*s1 >= 0xA0) {
        *s1 = static_cast<unsigned char>(*s1 + 0x40);
    }
    if (j1 & 1) {
        *s2 = static_cast<unsigned char>(j2 + 0x1F);
        if (*s2 >= 0x7F) {
            *s2 = static_cast<unsigned char>(*s2 + 1);
        }
    } else {
        *s2 = static_cast<unsigned char>(j2 + 0x7E);
    }
}
