// Run by Wine32On64Faults.EditControlHoldsText: an edit control given a text. Under
// Wine's 32-on-64-bit mode (8.0) the edit control's layout faults (a null uniscribe
// analysis) and this program dies; elsewhere it prints "done" and ends with 0.
#include <windows.h>

#include <cstdio>

int main() {
    HWND parent = CreateWindowExW(0, L"STATIC", L"edit probe", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 200, 100, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!parent || !edit) {
        std::printf("no window\n");
        return 2;
    }
    SetWindowTextW(edit, L"abc\r\ndef");
    wchar_t text[16] = {};
    GetWindowTextW(edit, text, 16);
    DestroyWindow(parent);
    std::printf("done\n");
    return lstrcmpW(text, L"abc\r\ndef") == 0 ? 0 : 3;
}
