#pragma once
// What the sheet tests read of a page's controls, by messages: the same for a sheet
// run by SetUp on a thread of its own (SheetTestDriver) and for a modeless sheet on
// the test's own thread (ModelessSheet).

#include <windows.h>

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
