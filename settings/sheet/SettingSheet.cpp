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

    // Common controls 6 through the library's own manifest, active only while the
    // sheet's windows are made and shown. The sheet's functions come from the
    // comctl32 that the context names, so that the sheet, its controls and their
    // image lists (ImageListApi) all belong to one version.
    CommonControlsContext context(LibraryModule(), IDR_SHEET_MANIFEST);
    HMODULE commonControls = LoadLibraryA("comctl32.dll");
    if (!commonControls) {
        return 0;
    }
    typedef BOOL(WINAPI * InitFunction)(const INITCOMMONCONTROLSEX*);
    InitFunction init = reinterpret_cast<InitFunction>(
        reinterpret_cast<void*>(GetProcAddress(commonControls, "InitCommonControlsEx")));
    CPropertySheet::ShowFunction show = reinterpret_cast<CPropertySheet::ShowFunction>(
        reinterpret_cast<void*>(GetProcAddress(commonControls, "PropertySheetA")));
    int result = 0;
    if (init && show) {
        INITCOMMONCONTROLSEX controls;
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_USEREX_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES;
        init(&controls);

        CSettingSheet sheet;
        CPropertySheet::Outcome outcome = sheet.DoModal(LibraryModule(), nullptr, show);
        context.Deactivate();
        switch (outcome) {
        case CPropertySheet::Outcome::Ok:
            result = 1;
            break;
        case CPropertySheet::Outcome::Cancelled:
            result = 2;
            break;
        case CPropertySheet::Outcome::Failed:
        default:
            result = 0;
            break;
        }
        // The pages destroy their image lists here, through the functions of the
        // library that made them, which is still loaded.
    }
    FreeLibrary(commonControls);
    return result;
}
