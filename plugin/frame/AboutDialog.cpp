#include "AboutDialog.h"

#include <string>

#include "BoundedText.h"
#include "HostApi.h"
#include "resource.h"

namespace frame {

namespace {

// Bytes of the longest prefix of s, at most limit bytes, that does not end inside
// a double-byte character: a lone lead byte before the terminator would eat it.
std::size_t WholeCharacterPrefix(const std::string& s, std::size_t limit) {
    std::size_t end = 0;
    while (end < s.size()) {
        const std::size_t step = text::IsShiftJisLeadByte(s[end]) && end + 1 < s.size() ? 2 : 1;
        if (end + step > limit) {
            break;
        }
        end += step;
    }
    return end;
}

void FillControl(HWND dialog, int control, UINT string) {
    HWND item = GetDlgItem(dialog, control);
    if (!item) {
        return;
    }
    char text[kAboutTextSize];
    LoadAboutText(gPluginModule, string, text);
    SetWindowTextA(item, text);
}

}  // namespace

bool LoadAboutText(HINSTANCE module, UINT id, char (&text)[kAboutTextSize]) {
    text[0] = '\0';
    // With a length of 0, LoadStringW hands out a pointer to the resource itself, so
    // the whole string is seen however long it is; LoadStringA would cut it blindly.
    const wchar_t* wide = nullptr;
    const int wideLength = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&wide), 0);
    if (wideLength <= 0 || !wide) {
        return false;
    }
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return false;
    }
    std::string ansi(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, wideLength, &ansi[0], bytes, nullptr, nullptr);
    text::CopyN(text, kAboutTextSize, ansi.c_str(), WholeCharacterPrefix(ansi, kAboutTextSize - 1));
    return true;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        FillControl(dialog, IDC_ABOUT_PLUGIN_VERSION, IDS_ABOUT_PLUGIN_VERSION);
        FillControl(dialog, IDC_ABOUT_SETTINGS_VERSION, IDS_ABOUT_SETTINGS_VERSION);
        FillControl(dialog, IDC_ABOUT_COPYRIGHT, IDS_ABOUT_COPYRIGHT);
        return TRUE;  // the system sets the focus
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dialog, 1);
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

INT_PTR RunAboutDialog(HWND parent) {
    const INT_PTR result = DialogBoxParamA(gPluginModule, MAKEINTRESOURCEA(IDD_ABOUT), parent,
                                           AboutDialogProc, 0);
    // DialogBoxParam answers 0, not -1, for an owner that is not a window: the box
    // was not created either way.
    return result == 0 ? -1 : result;
}

}  // namespace frame
