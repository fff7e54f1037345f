#include "CodePageText.h"

#include <windows.h>

#include <climits>

bool CodePageConvertible(uint32_t codePage) {
    return IsValidCodePage(codePage) != FALSE;
}

bool AppendCodePageText(uint32_t codePage, const char* bytes, std::size_t length, std::u16string* out) {
    if (length == 0) {
        return CodePageConvertible(codePage);
    }
    if (length > static_cast<std::size_t>(INT_MAX / 2)) {
        return false;
    }
    // Flags 0: several code pages (UTF-7, the ISO-2022 family) refuse any other,
    // and bytes without a character then become the default character.
    const int inLength = static_cast<int>(length);
    int needed = MultiByteToWideChar(codePage, 0, bytes, inLength, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    const std::size_t start = out->size();
    out->resize(start + static_cast<std::size_t>(needed));
    // wchar_t is UTF-16 on Windows, of the same size as char16_t.
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");
    int written = MultiByteToWideChar(codePage, 0, bytes, inLength, reinterpret_cast<wchar_t*>(&(*out)[start]), needed);
    out->resize(start + static_cast<std::size_t>(written > 0 ? written : 0));
    return written > 0;
}
