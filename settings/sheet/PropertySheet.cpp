#include "PropertySheet.h"

#include <commctrl.h>

#include "PropertyPage.h"

CPropertySheet::CPropertySheet(const char* caption, UINT startPage) : caption_(caption), startPage_(startPage) {}

CPropertySheet::Outcome CPropertySheet::DoModal(HINSTANCE instance, HWND owner, ShowFunction show) {
    if (pages_.empty() || !show) {
        return Outcome::Failed;
    }
    std::vector<PROPSHEETPAGEA> descriptions(pages_.size());
    for (size_t i = 0; i < pages_.size(); ++i) {
        pages_[i]->Describe(instance, &descriptions[i]);
    }

    PROPSHEETHEADERA header;
    ZeroMemory(&header, sizeof header);
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
    header.hwndParent = owner ? owner : GetActiveWindow();
    header.hInstance = instance;
    header.pszCaption = caption_;
    header.nPages = static_cast<UINT>(descriptions.size());
    header.nStartPage = startPage_ < header.nPages ? startPage_ : 0;
    header.ppsp = descriptions.data();

    // For a modal sheet PropertySheetA returns -1 on failure. Its other results
    // depend on whether a page ever called PropSheet_Changed, which ours never do,
    // so OK is recognised by the pages having been applied.
    INT_PTR result = show(&header);
    if (result < 0) {
        return Outcome::Failed;
    }
    return ClosedWithOk() ? Outcome::Ok : Outcome::Cancelled;
}

bool CPropertySheet::ClosedWithOk() const {
    // OK goes to every page created so far, in tab order, and stops at the first
    // that refuses, which keeps the sheet open; a later OK reaches that page again.
    // So the sheet closed with OK exactly when some page was applied and no page's
    // last answer was a refusal: after a refusal only Cancel can close it.
    bool applied = false;
    for (const CPropertyPage* page : pages_) {
        switch (page->LastApply()) {
        case CPropertyPage::ApplyState::Refused:
            return false;
        case CPropertyPage::ApplyState::Applied:
            applied = true;
            break;
        case CPropertyPage::ApplyState::NotApplied:
            break;
        }
    }
    return applied;
}
