#include "AboutDialog.h"

#include "BoundaryGuard.h"
#include "BoundedText.h"
#include "HostApi.h"
#include "resource.h"

namespace frame {

namespace {

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
    // the whole string is seen however long it is; LoadStringA would cut it blindly,
    // possibly between the two bytes of a character.
    const wchar_t* wide = nullptr;
    const int wideLength = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&wide), 0);
    if (wideLength <= 0 || !wide) {
        return false;
    }
    // One character at a time, so that only whole characters are kept.
    std::size_t used = 0;
    for (int i = 0; i < wideLength; ++i) {
        char bytes[8];
        const int n = WideCharToMultiByte(CP_ACP, 0, wide + i, 1, bytes, sizeof bytes, nullptr, nullptr);
        if (n <= 0 || used + static_cast<std::size_t>(n) > kAboutTextSize - 1) {
            break;
        }
        text::AppendN(text, kAboutTextSize, bytes, static_cast<std::size_t>(n));
        used += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

INT_PTR HandleAboutMessage(HWND dialog, UINT message, WPARAM wParam) {
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

}  // namespace

// A dialog procedure: nothing may unwind into the dialog manager; a message
// whose handling failed counts as not handled.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return CallGuarded<INT_PTR>(FALSE, [&] { return HandleAboutMessage(dialog, message, wParam); });
}

INT_PTR RunAboutDialog(HWND parent) {
    const INT_PTR result = DialogBoxParamA(gPluginModule, MAKEINTRESOURCEA(IDD_ABOUT), parent,
                                           AboutDialogProc, 0);
    // DialogBoxParam answers 0, not -1, for an owner that is not a window: the box
    // was not created either way.
    return result == 0 ? -1 : result;
}

}  // namespace frame
