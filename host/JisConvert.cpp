#include "JisConvert.h"

#include <cstring>

#include "BoundedText.h"

namespace {

const char kEscKanji[] = "\x1b$B";
const char kEscAscii[] = "\x1b(B";
const char kEscKana[] = "\x1b(I";

enum class JisMode { Ascii, Kanji, Kana };

bool IsTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

void SwitchMode(std::string* out, JisMode* mode, JisMode wanted) {
    if (*mode == wanted) {
        return;
    }
    *out += wanted == JisMode::Kanji ? kEscKanji : wanted == JisMode::Kana ? kEscKana : kEscAscii;
    *mode = wanted;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

std::string DecodeBase64(const std::string& in) {
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : in) {
        int v = Base64Value(c);
        if (v < 0) {
            continue;
        }
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string DecodeQ(const std::string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '_') {
            out += ' ';
        } else if (in[i] == '=' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 &&
                   HexValue(in[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

// One encoded word at pos ("=?charset?X?text?="): true with the decoded text and
// the position after it.
bool DecodeWord(const std::string& value, size_t pos, std::string* decoded, size_t* end) {
    if (value.compare(pos, 2, "=?") != 0) {
        return false;
    }
    size_t q1 = value.find('?', pos + 2);
    if (q1 == std::string::npos || q1 + 2 >= value.size() || value[q1 + 2] != '?') {
        return false;
    }
    size_t close = value.find("?=", q1 + 3);
    if (close == std::string::npos) {
        return false;
    }
    std::string charset = value.substr(pos + 2, q1 - pos - 2);
    char encoding = value[q1 + 1];
    std::string payload = value.substr(q1 + 3, close - q1 - 3);
    std::string bytes;
    if (encoding == 'B' || encoding == 'b') {
        bytes = DecodeBase64(payload);
    } else if (encoding == 'Q' || encoding == 'q') {
        bytes = DecodeQ(payload);
    } else {
        return false;
    }
    *decoded = text::StartsWithNoCase(charset.c_str(), "iso-2022-jp") ? JisToSjis(bytes) : bytes;
    *end = close + 2;
    return true;
}

}  // namespace

std::string SjisToJis(const std::string& sjis) {
    std::string out;
    JisMode mode = JisMode::Ascii;
    for (size_t i = 0; i < sjis.size(); ++i) {
        unsigned char c1 = static_cast<unsigned char>(sjis[i]);
        if (c1 >= 0xA1 && c1 <= 0xDF) {
            SwitchMode(&out, &mode, JisMode::Kana);
            out += static_cast<char>(c1 - 0x80);
            continue;
        }
        bool lead = (c1 >= 0x81 && c1 <= 0x9F) || (c1 >= 0xE0 && c1 <= 0xEF);
        if (lead && i + 1 < sjis.size() && IsTrailByte(static_cast<unsigned char>(sjis[i + 1]))) {
            unsigned c2 = static_cast<unsigned char>(sjis[++i]);
            unsigned j1 = c1 >= 0xE0 ? c1 - 0x40 : c1;
            j1 = (j1 - 0x81) * 2 + 0x21;
            unsigned j2;
            if (c2 >= 0x9F) {
                ++j1;
                j2 = c2 - 0x7E;
            } else {
                j2 = c2 >= 0x80 ? c2 - 0x20 : c2 - 0x1F;
            }
            SwitchMode(&out, &mode, JisMode::Kanji);
            out += static_cast<char>(j1);
            out += static_cast<char>(j2);
            continue;
        }
        SwitchMode(&out, &mode, JisMode::Ascii);
        out += static_cast<char>(c1);
    }
    SwitchMode(&out, &mode, JisMode::Ascii);
    return out;
}

std::string JisToSjis(const std::string& jis) {
    std::string out;
    JisMode mode = JisMode::Ascii;
    JisMode beforeShiftOut = JisMode::Ascii;
    for (size_t i = 0; i < jis.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(jis[i]);
        if (c == 0x1B && i + 2 < jis.size()) {
            char a = jis[i + 1], b = jis[i + 2];
            if (a == '$' && (b == 'B' || b == '@')) {
                mode = JisMode::Kanji;
                i += 2;
                continue;
            }
            if (a == '(' && (b == 'B' || b == 'J')) {
                mode = JisMode::Ascii;
                i += 2;
                continue;
            }
            if (a == '(' && b == 'I') {
                mode = JisMode::Kana;
                i += 2;
                continue;
            }
        }
        if (c == 0x0E) {
            beforeShiftOut = mode;
            mode = JisMode::Kana;
            continue;
        }
        if (c == 0x0F) {
            mode = beforeShiftOut;
            continue;
        }
        if (c == '\r' || c == '\n') {
            out += static_cast<char>(c);
            continue;
        }
        if (mode == JisMode::Kana && c >= 0x21 && c <= 0x5F) {
            out += static_cast<char>(c + 0x80);
            continue;
        }
        if (mode == JisMode::Kanji && c >= 0x21 && c <= 0x7E && i + 1 < jis.size()) {
            unsigned j1 = c;
            unsigned j2 = static_cast<unsigned char>(jis[++i]);
            unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
            unsigned s2 = (j1 & 1) ? j2 + (j2 >= 0x60 ? 0x20 : 0x1F) : j2 + 0x7E;
            out += static_cast<char>(s1);
            out += static_cast<char>(s2);
            continue;
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::string DecodeHeaderText(const std::string& value) {
    std::string out;
    size_t pos = 0;
    while (pos < value.size()) {
        std::string decoded;
        size_t end = 0;
        if (DecodeWord(value, pos, &decoded, &end)) {
            out += decoded;
            pos = end;
            // Whitespace between two encoded words is not part of the text.
            size_t next = value.find_first_not_of(" \t\r\n", pos);
            if (next != std::string::npos && value.compare(next, 2, "=?") == 0) {
                std::string probe;
                size_t probeEnd = 0;
                if (DecodeWord(value, next, &probe, &probeEnd)) {
                    pos = next;
                }
            }
            continue;
        }
        out += value[pos++];
    }
    // Raw ISO-2022-JP in a header (no encoded word) is also common.
    if (out.find('\x1b') != std::string::npos) {
        out = JisToSjis(out);
    }
    return out;
}
