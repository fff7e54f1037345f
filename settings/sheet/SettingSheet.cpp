#include "SettingSheet.h"

#include <commctrl.h>

#include "CommonControlsContext.h"
#include "LibraryState.h"
#include "PikunosetResources.h"

namespace {

const char kSheetCaption[] = "Pikuno 設定";

}  // namespace

CSettingSheet::CSettingSheet() : CPropertySheet(kSheetCaption, 0) {
    AddPage(&digestPage_);
    AddPage(&filterPage_);
}

int RunSetUp(const char* mailboxDir, const char* accountPath) {
    StoreSetUpArguments(mailboxDir, accountPath);

    CommonControlsContext context(LibraryModule(), IDR_SHEET_MANIFEST);
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_USEREX_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES;
    InitCommonControlsEx(&controls);

    CSettingSheet sheet;
    switch (sheet.DoModal(LibraryModule(), nullptr)) {
    case CPropertySheet::Outcome::Ok:
        return 1;
    case CPropertySheet::Outcome::Cancelled:
        return 2;
    case CPropertySheet::Outcome::Failed:
    default:
        return 0;
    }
}
