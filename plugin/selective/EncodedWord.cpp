#include "EncodedWord.h"

#include "HeaderDecode.h"

namespace {

constexpr unsigned char kNotBase64 = 255;

bool IsCharsetByte(unsigned char c) {
    // A token of RFC 2047 less the especials that can never be part of a name.
    return c > 0x20 && c < 0x7F && c != '?' && c != '(' && c != ')' && c != '<' && c != '>' && c != '@' &&
           c != ',' && c != ';' && c != ':' && c != '"' && c != '/' && c != '[' && c != ']' && c != '=';
}

bool IsPayloadByte(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != '?';
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Padding only at the end; a group cut short yields the bytes its characters
// fully determine.
bool DecodeB(const unsigned char* p, std::size_t length, std::string* out) {
    unsigned int bits = 0;
    int bitCount = 0;
    std::size_t i = 0;
    for (; i < length && p[i] != '='; ++i) {
        unsigned char value = Base64Value(p[i]);
        if (value == kNotBase64) {
            return false;
        }
        bits = (bits << 6) | value;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out->push_back(static_cast<char>((bits >> bitCount) & 0xFF));
        }
    }
    for (; i < length; ++i) {
        if (p[i] != '=') {
            return false;
        }
    }
    return true;
}

void DecodeQ(const unsigned char* p, std::size_t length, std::string* out) {
    for (std::size_t i = 0; i < length; ++i) {
        if (p[i] == '_') {
            out->push_back(' ');
        } else if (p[i] == '=' && i + 2 < length && HexValue(p[i + 1]) >= 0 && HexValue(p[i + 2]) >= 0) {
            out->push_back(static_cast<char>(HexValue(p[i + 1]) * 16 + HexValue(p[i + 2])));
            i += 2;
        } else {
            out->push_back(static_cast<char>(p[i]));
        }
    }
}

}  // namespace

bool ParseEncodedWord(const char* text, std::size_t length, EncodedWord* word) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    if (length < 8 || p[0] != '=' || p[1] != '?') {
        return false;  // "=?" c "?" e "?" "?=" is the shortest word
    }
    std::size_t i = 2;
    while (i < length && IsCharsetByte(p[i])) {
        ++i;
    }
    if (i == 2 || i + 3 >= length || p[i] != '?' || p[i + 2] != '?') {
        return false;
    }
    const std::size_t charsetLength = i - 2;
    const unsigned char encoding = p[i + 1];
    const std::size_t payload = i + 3;
    std::size_t end = payload;
    while (end < length && IsPayloadByte(p[end])) {
        ++end;
    }
    if (end + 1 >= length || p[end] != '?' || p[end + 1] != '=') {
        return false;
    }
    std::string bytes;
    if (encoding == 'B' || encoding == 'b') {
        if (!DecodeB(p + payload, end - payload, &bytes)) {
            return false;
        }
    } else if (encoding == 'Q' || encoding == 'q') {
        DecodeQ(p + payload, end - payload, &bytes);
    } else {
        return false;
    }
    word->length = end + 2;
    word->charset = text + 2;
    word->charsetLength = charsetLength;
    word->bytes.swap(bytes);
    return true;
}
