#include "AccountPath.h"

#include "BoundedText.h"

bool CurrentAccountName(const char* accountPath, char* buffer, std::size_t bufferSize) {
    if (buffer && bufferSize > 0) {
        buffer[0] = '\0';
    }
    if (!accountPath) {
        return false;
    }
    const char* last = nullptr;
    std::size_t lastLength = 0;
    int components = 0;
    const char* p = accountPath;
    while (*p) {
        if (*p == '\\') {
            ++p;
            continue;
        }
        const char* start = p;
        while (*p && *p != '\\') {
            // A trail byte of a double-byte character may be 0x5C.
            p += (text::IsShiftJisLeadByte(*p) && p[1]) ? 2 : 1;
        }
        if (++components > 1) {
            last = start;
            lastLength = static_cast<std::size_t>(p - start);
        }
    }
    if (!last) {
        return false;
    }
    if (!buffer || lastLength >= bufferSize) {
        if (buffer && bufferSize > 0) {
            buffer[0] = '\0';
        }
        return false;
    }
    return text::CopyN(buffer, bufferSize, last, lastLength);
}

bool ParseSizeText(const char* text, uint32_t* value) {
    if (!text) {
        return false;
    }
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (isBlank(*text)) {
        ++text;
    }
    uint64_t number = 0;
    const char* digits = text;
    while (*text >= '0' && *text <= '9') {
        number = number * 10 + static_cast<uint64_t>(*text - '0');
        if (number > 2147483647u) {
            return false;
        }
        ++text;
    }
    if (text == digits) {
        return false;
    }
    while (isBlank(*text)) {
        ++text;
    }
    if (*text != '\0') {
        return false;
    }
    if (value) {
        *value = static_cast<uint32_t>(number);
    }
    return true;
}
