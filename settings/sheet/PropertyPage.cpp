#include "PropertyPage.h"

CPropertyPage::CPropertyPage(UINT templateId) : templateId_(templateId) {}

CPropertyPage::~CPropertyPage() {
    // The sheet destroys the windows before the pages; should a window outlive its
    // page, its procedure must no longer find the object.
    if (window_ && IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    }
}

void CPropertyPage::Describe(HINSTANCE instance, PROPSHEETPAGEA* page) {
    applyState_ = ApplyState::NotApplied;
    ZeroMemory(page, sizeof *page);
    page->dwSize = sizeof *page;
    page->dwFlags = PSP_DEFAULT;
    page->hInstance = instance;
    page->pszTemplate = MAKEINTRESOURCEA(templateId_);
    page->pfnDlgProc = DialogProc;
    page->lParam = reinterpret_cast<LPARAM>(this);
}

void CPropertyPage::ShowRadio(int firstId, int count, int value) const {
    for (int i = 0; i < count; ++i) {
        SetCheck(firstId + i, i == value);
    }
}

int CPropertyPage::TakeRadio(int firstId, int count) const {
    for (int i = 0; i < count; ++i) {
        if (IsChecked(firstId + i)) {
            return i;
        }
    }
    return -1;
}

INT_PTR CPropertyPage::HandleNotify(NMHDR* header) {
    LRESULT result = 0;
    switch (header->code) {
    case PSN_SETACTIVE:
        // The first activation follows WM_INITDIALOG, which showed the values
        // already; later ones show the fields again without reading any file.
        if (firstActivation_) {
            firstActivation_ = false;
        } else {
            ShowValues();
        }
        result = 0;
        break;
    case PSN_KILLACTIVE:
        // TRUE in DWLP_MSGRESULT keeps this page on top.
        result = TakeValues() ? FALSE : TRUE;
        break;
    case PSN_APPLY:
    {
        bool applied = OnApply();
        applyState_ = applied ? ApplyState::Applied : ApplyState::Refused;
        result = applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
    }
        break;
    default:
        if (header->hwndFrom != GetParent(window_) && OnNotify(header, &result)) {
            break;
        }
        return FALSE;
    }
    // A dialog procedure returns its message result through DWLP_MSGRESULT.
    SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may unwind into the dialog manager: a page that ran out of memory
    // leaves the message unhandled.
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR CPropertyPage::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CPropertyPage* page = nullptr;
    if (message == WM_INITDIALOG) {
        // lParam is the sheet's copy of the page description; its lParam is the page.
        const PROPSHEETPAGEA* description = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        page = reinterpret_cast<CPropertyPage*>(description->lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
        page->window_ = window;
        page->OnInitialize();
        return TRUE;
    }
    page = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!page) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        page->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_NOTIFY:
        return page->HandleNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_DESTROY:
        page->OnDestroy();
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        page->window_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}
