#pragma once
// Texts that tests and the stand-in host only read back, read as UTF-16 and converted
// with the ANSI code page: exactly what the A calls return on Windows. Wine's
// 32-on-64-bit mode (8.0) converts the A calls' texts with UTF-8 instead, so reading
// them through the W calls lets the same check run on both targets.

#include <windows.h>

#include <string>

namespace ansi {

inline std::string FromWide(const wchar_t* text, int length) {
    if (!text || length <= 0) {
        return std::string();
    }
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

// GetWindowTextA, through GetWindowTextW.
inline std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    int length = GetWindowTextW(window, text, static_cast<int>(sizeof text / sizeof text[0]));
    return FromWide(text, length);
}

// GetWindowTextA into a caller's buffer: the text cut to fit, always terminated;
// returns the length copied, as GetWindowTextA does.
inline int WindowText(HWND window, char* buffer, int size) {
    if (!buffer || size <= 0) {
        return 0;
    }
    std::string text = WindowText(window);
    size_t length = text.size() < static_cast<size_t>(size - 1) ? text.size() : static_cast<size_t>(size - 1);
    text.copy(buffer, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

// GetDlgItemTextA, through the item's window text.
inline int DialogItemText(HWND dialog, int id, char* buffer, int size) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (buffer && size > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    return WindowText(item, buffer, size);
}

// The text of a menu item, as GetMenuStringA gives it (by position or by command).
inline std::string MenuText(HMENU menu, UINT item, UINT byFlag) {
    wchar_t text[512] = {};
    int length = GetMenuStringW(menu, item, text, static_cast<int>(sizeof text / sizeof text[0]), byFlag);
    return FromWide(text, length);
}

}  // namespace ansi
