#pragma once
// What the sheet tests read of a page's controls, by messages: the same for a sheet
// run by SetUp on a thread of its own (SheetTestDriver) and for a modeless sheet on
// the test's own thread (ModelessSheet).

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "AnsiText.h"

class SheetControls {
public:
    virtual ~SheetControls() = default;

    // The page's window; null until the page was first shown.
    virtual HWND Page(int index) const = 0;
    HWND Control(int page, int id) const { return GetDlgItem(Page(page), id); }
    bool IsChecked(int page, int id) const {
        return SendMessageA(Control(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    bool IsEnabled(int page, int id) const {
        HWND control = Control(page, id);
        return control && IsWindowEnabled(control);
    }
    std::string Text(int page, int id) const { return ansi::WindowText(Control(page, id)); }
};

// The text of item index of an extended combo box (the account list), as
// CBEM_GETITEMA gives it.
inline std::string ComboBoxExItemText(HWND list, int index) {
    char text[1100] = {};
    COMBOBOXEXITEMA item = {};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return text;
}

// The text of item index of a drop-down list, as CB_GETLBTEXT gives it.
inline std::string ComboBoxItemText(HWND list, int index) {
    LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return "(no item)";
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    return text;
}
