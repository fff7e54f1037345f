#pragma once
// A thin modal property sheet over PropertySheetA: OK and Cancel only (no apply-now,
// no help), pages in the order they were added.

#include <windows.h>
#include <prsht.h>

#include <vector>

class CPropertyPage;

class CPropertySheet {
public:
    // The sheet does not own the pages: derived sheets hold them as members.
    CPropertySheet(const char* caption, UINT startPage);
    virtual ~CPropertySheet() = default;
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    void AddPage(CPropertyPage* page) { pages_.push_back(page); }

    enum class Outcome { Failed, Ok, Cancelled };
    // Shows the sheet modally; a null owner means the window active on the calling
    // thread, which stays disabled while the sheet is open.
    // show is the PropertySheetA of the comctl32 whose controls the pages use (the
    // library imports none of its own); without it the sheet fails.
    typedef INT_PTR(WINAPI* ShowFunction)(LPCPROPSHEETHEADERA);
    Outcome DoModal(HINSTANCE instance, HWND owner, ShowFunction show);

private:
    bool ClosedWithOk() const;

    const char* caption_;
    UINT startPage_;
    std::vector<CPropertyPage*> pages_;
};
