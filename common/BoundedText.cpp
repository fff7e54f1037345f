#include "BoundedText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace text {

std::size_t Length(const char* s) {
    return s ? std::strlen(s) : 0;
}

bool CopyN(char* dst, std::size_t dstSize, const char* src, std::size_t srcLength) {
    if (!dst || dstSize == 0) {
        return false;
    }
    dst[0] = '\0';
    return AppendN(dst, dstSize, src, srcLength);
}

bool Copy(char* dst, std::size_t dstSize, const char* src) {
    return CopyN(dst, dstSize, src, static_cast<std::size_t>(-1));
}

bool AppendN(char* dst, std::size_t dstSize, const char* src, std::size_t srcLength) {
    if (!dst || dstSize == 0) {
        return false;
    }
    const void* end = std::memchr(dst, '\0', dstSize);
    if (!end) {
        return false;  // not a terminated text: appending would have to guess
    }
    std::size_t used = static_cast<const char*>(end) - dst;
    std::size_t room = dstSize - 1 - used;
    std::size_t wanted = 0;
    if (src) {
        while (wanted < srcLength && src[wanted] != '\0') {
            ++wanted;
        }
    }
    std::size_t taken = wanted < room ? wanted : room;
    if (taken > 0) {
        std::memcpy(dst + used, src, taken);
    }
    dst[used + taken] = '\0';
    return taken == wanted;
}

bool Append(char* dst, std::size_t dstSize, const char* src) {
    return AppendN(dst, dstSize, src, static_cast<std::size_t>(-1));
}

bool Format(char* dst, std::size_t dstSize, const char* format, ...) {
    if (!dst || dstSize == 0) {
        return false;
    }
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(dst, dstSize, format ? format : "", args);
    va_end(args);
    dst[dstSize - 1] = '\0';
    if (written < 0) {
        dst[0] = '\0';
        return false;
    }
    return static_cast<std::size_t>(written) < dstSize;
}

char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsShiftJisLeadByte(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool EqualsNoCaseN(const char* a, const char* b, std::size_t n) {
    if (!a || !b) {
        return a == b;
    }
    bool trailByte = false;
    for (std::size_t i = 0; i < n; ++i) {
        // The byte after a Shift_JIS lead byte is part of a double-byte character
        // and is compared exactly, even where it looks like an ASCII letter.
        bool equal = trailByte ? a[i] == b[i] : ToLowerAscii(a[i]) == ToLowerAscii(b[i]);
        if (!equal) {
            return false;
        }
        if (a[i] == '\0') {
            return true;
        }
        trailByte = !trailByte && IsShiftJisLeadByte(a[i]);
    }
    return true;
}

bool StartsWithNoCase(const char* s, const char* prefix) {
    if (!s || !prefix) {
        return false;
    }
    return EqualsNoCaseN(s, prefix, std::strlen(prefix));
}

bool EqualsNoCase(const char* a, const char* b) {
    if (!a || !b) {
        return a == b;
    }
    return EqualsNoCaseN(a, b, static_cast<std::size_t>(-1));
}

}  // namespace text
