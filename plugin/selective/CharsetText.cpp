#include "CharsetText.h"

#include <cstdint>
#include <cstring>

#include "CodePageText.h"
#include "EucJpConvert.h"
#include "HeaderDecode.h"

namespace {

constexpr uint32_t kShiftJisCodePage = 932;
constexpr char16_t kReplacement = u'\xFFFD';
constexpr unsigned char kEsc = 0x1B;

// The code point of the well-formed UTF-8 sequence at p (available bytes left),
// and its length; 0 when no well-formed sequence begins there.
std::size_t Utf8Sequence(const unsigned char* p, std::size_t left, uint32_t* codePoint) {
    const unsigned char c = p[0];
    if (c < 0x80) {
        *codePoint = c;
        return 1;
    }
    std::size_t length;
    uint32_t value;
    uint32_t smallest;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        value = c & 0x1F;
        smallest = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        value = c & 0x0F;
        smallest = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        value = c & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (left < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (p[k] & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *codePoint = value;
    return length;
}

// The bytes of a malformed sequence that one U+FFFD stands for: its lead byte
// and the continuation bytes that could still have completed it (the
// "maximal subpart" of the Unicode standard, as browsers decode).
std::size_t MalformedLength(const unsigned char* p, std::size_t left) {
    const unsigned char c = p[0];
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 1;
    }
    std::size_t taken = 1;
    while (taken < length && taken < left) {
        const unsigned char next = p[taken];
        if (next < low || next > high) {
            break;
        }
        low = 0x80;
        high = 0xBF;
        ++taken;
    }
    return taken;
}

void AppendCodePoint(uint32_t codePoint, std::u16string* out) {
    if (codePoint < 0x10000) {
        out->push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

// Shift_JIS through the code page; without one, ASCII stays and every other
// byte is replaced, so that nothing unreadable is shown as something else.
void AppendShiftJis(const char* bytes, std::size_t length, std::u16string* out) {
    if (AppendCodePageText(kShiftJisCodePage, bytes, length, out)) {
        return;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out->push_back(c < 0x80 ? static_cast<char16_t>(c) : kReplacement);
    }
}

void AppendIso2022Jp(const char* bytes, std::size_t length, std::u16string* out) {
    // The converter reads up to a NUL: bytes behind an embedded NUL have no text.
    const std::string source(bytes, length);
    std::string sjis(Iso2022JpToSjisLength(source.c_str()) + 1, '\0');
    Iso2022JpToSjis(source.c_str(), &sjis[0]);
    AppendShiftJis(sjis.c_str(), std::strlen(sjis.c_str()), out);
}

void AppendEucJp(const char* bytes, std::size_t length, std::u16string* out) {
    std::string sjis;
    EucJpToSjis(bytes, length, &sjis);
    AppendShiftJis(sjis.data(), sjis.size(), out);
}

}  // namespace

bool CharsetConvertible(const MimeCharset& charset) {
    switch (charset.kind) {
    case CharsetKind::kUnknown:
        return false;
    case CharsetKind::kCodePage:
        return CodePageConvertible(charset.codePage);
    case CharsetKind::kUtf8:
    case CharsetKind::kIso2022Jp:
    case CharsetKind::kEucJp:
        return true;
    }
    return false;
}

bool AppendCharsetText(const MimeCharset& charset, const char* bytes, std::size_t length, std::u16string* out) {
    switch (charset.kind) {
    case CharsetKind::kUnknown:
        return false;
    case CharsetKind::kUtf8:
        AppendUtf8(bytes, length, out);
        return true;
    case CharsetKind::kIso2022Jp:
        AppendIso2022Jp(bytes, length, out);
        return true;
    case CharsetKind::kEucJp:
        AppendEucJp(bytes, length, out);
        return true;
    case CharsetKind::kCodePage:
        return AppendCodePageText(charset.codePage, bytes, length, out);
    }
    return false;
}

bool IsValidUtf8(const char* bytes, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < length) {
        uint32_t codePoint = 0;
        const std::size_t step = Utf8Sequence(p + i, length - i, &codePoint);
        if (step == 0) {
            return false;
        }
        i += step;
    }
    return true;
}

void AppendUtf8(const char* bytes, std::size_t length, std::u16string* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < length) {
        uint32_t codePoint = 0;
        const std::size_t step = Utf8Sequence(p + i, length - i, &codePoint);
        if (step == 0) {
            out->push_back(kReplacement);
            i += MalformedLength(p + i, length - i);
            continue;
        }
        AppendCodePoint(codePoint, out);
        i += step;
    }
}

void AppendRawHeaderBytes(const char* bytes, std::size_t length, std::u16string* out) {
    if (length > 0 && std::memchr(bytes, kEsc, length)) {
        AppendIso2022Jp(bytes, length, out);
    } else if (IsValidUtf8(bytes, length)) {
        AppendUtf8(bytes, length, out);  // ASCII included
    } else {
        AppendShiftJis(bytes, length, out);
    }
}
