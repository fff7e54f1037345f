#include "Screenshot.h"

#include <vector>

#include "MailStore.h"
#include "WinHandles.h"

bool SaveWindowBitmap(HWND window, const std::string& path) {
    RECT rect;
    if (!IsWindow(window) || !GetWindowRect(window, &rect)) {
        return false;
    }
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueWindowDc screen(WindowDc{nullptr, GetDC(nullptr)});
    UniqueBitmap bitmap(CreateDIBSection(screen.Get().dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc memory(CreateCompatibleDC(screen.Get().dc));
    screen.Reset();
    if (!bitmap || !memory) {
        return false;
    }
    HGDIOBJ old = SelectObject(memory.Get(), bitmap.Get());
    // The window's own pixels, controls included, even where another window covers it
    // (Wine keeps a surface per top-level window); PrintWindow when that fails.
    UniqueWindowDc windowDc(WindowDc{window, GetWindowDC(window)});
    bool drawn = windowDc && BitBlt(memory.Get(), 0, 0, width, height, windowDc.Get().dc, 0, 0, SRCCOPY) != FALSE;
    windowDc.Reset();
    if (!drawn) {
        drawn = PrintWindow(window, memory.Get(), 0) != FALSE;
    }
    GdiFlush();
    SelectObject(memory.Get(), old);  // a bitmap still selected into a DC is not deleted
    memory.Reset();

    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    size_t imageSize = stride * static_cast<size_t>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + imageSize);
    info.bmiHeader.biSizeImage = static_cast<DWORD>(imageSize);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    bytes.append(static_cast<const char*>(bits), imageSize);
    bitmap.Reset();
    return drawn && WriteWholeFile(path, bytes);
}
