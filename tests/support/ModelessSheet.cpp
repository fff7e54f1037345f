#include "ModelessSheet.h"

#include <commctrl.h>
#include <prsht.h>

#include <vector>

#include "AnsiText.h"
#include "CommonControlsContext.h"
#include "LibraryState.h"
#include "PikunosetResources.h"
#include "ProgramFolder.h"
#include "SheetTestDriver.h"

namespace {

const char kOwnerClass[] = "PikunoModelessSheetOwner";

}  // namespace

ModelessSheet::ModelessSheet() = default;

ModelessSheet::~ModelessSheet() {
    if (sheet_ && IsWindow(sheet_)) {
        DestroyWindow(sheet_);
    }
    if (owner_) {
        DestroyWindow(owner_);
    }
    if (context_) {
        context_->Deactivate();
        delete context_;
    }
    // The pages destroy their image lists when their windows go, through the
    // comctl32 that made them: it is released only now.
    if (commonControls_) {
        FreeLibrary(commonControls_);
    }
    if (library_) {
        SetLibraryModule(nullptr);
        FreeLibrary(library_);
    }
}

bool ModelessSheet::Start(const char* mailboxDir, const char* accountPath) {
    // The resources are the library's; the pages of this program read them through
    // LibraryModule(), as the library's own pages do.
    library_ = LoadLibraryA((ProgramFolder() + "Pikunoset.dll").c_str());
    if (!library_) {
        seen_ = "Pikunoset.dll did not load beside the test program";
        return false;
    }
    SetLibraryModule(library_);
    StoreSetUpArguments(mailboxDir, accountPath);
    context_ = new CommonControlsContext(library_, IDR_SHEET_MANIFEST);
    commonControls_ = LoadLibraryA("comctl32.dll");
    typedef BOOL(WINAPI * InitFunction)(const INITCOMMONCONTROLSEX*);
    typedef HWND(WINAPI * ShowFunction)(LPCPROPSHEETHEADERA);
    InitFunction init = commonControls_ ? reinterpret_cast<InitFunction>(reinterpret_cast<void*>(
                                              GetProcAddress(commonControls_, "InitCommonControlsEx")))
                                        : nullptr;
    ShowFunction show = commonControls_ ? reinterpret_cast<ShowFunction>(reinterpret_cast<void*>(
                                              GetProcAddress(commonControls_, "PropertySheetA")))
                                        : nullptr;
    if (!init || !show) {
        seen_ = "comctl32 offers no PropertySheetA";
        return false;
    }
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_USEREX_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES;
    init(&controls);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kOwnerClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    owner_ = CreateWindowA(kOwnerClass, "Quenla", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);

    PROPSHEETPAGEA pages[2];
    digestPage_.Describe(library_, &pages[0]);
    filterPage_.Describe(library_, &pages[1]);
    PROPSHEETHEADERA header;
    ZeroMemory(&header, sizeof header);
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | PSH_MODELESS;
    header.hwndParent = owner_;
    header.hInstance = library_;
    header.pszCaption = "Pikuno 設定";
    header.nPages = 2;
    header.ppsp = pages;
    sheet_ = show(&header);
    if (!sheet_) {
        seen_ = "PropertySheetA made no modeless sheet";
        return false;
    }
    Pump();
    return Page(0) != nullptr;
}

HWND ModelessSheet::Page(int index) const {
    return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0));
}

bool ModelessSheet::SelectPage(int index) {
    SendMessageA(sheet_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    Pump();
    HWND page = Page(index);
    return page != nullptr && reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0)) == page;
}

void ModelessSheet::Click(int page, int id) {
    SendMessageA(Control(page, id), BM_CLICK, 0, 0);
    Pump();
}

void ModelessSheet::Press(int button) {
    SendMessageA(sheet_, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
    Pump();
}

int ModelessSheet::WaitResult() {
    Pump();
    // A modeless sheet that has finished has no current page; its owner destroys it.
    if (!sheet_ || SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0) != 0) {
        return -1000;
    }
    const bool refused = digestPage_.LastApply() == CPropertyPage::ApplyState::Refused ||
                         filterPage_.LastApply() == CPropertyPage::ApplyState::Refused;
    const bool applied = digestPage_.LastApply() == CPropertyPage::ApplyState::Applied ||
                         filterPage_.LastApply() == CPropertyPage::ApplyState::Applied;
    DestroyWindow(sheet_);
    sheet_ = nullptr;
    Pump();
    return applied && !refused ? 1 : 2;
}

void ModelessSheet::Pump() const {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!sheet_ || !IsWindow(sheet_) || !PropSheet_IsDialogMessage(sheet_, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

bool ModelessSheet::SaveScreenshot(const char* path) const {
    // The sheet paints on this thread, and what X uncovers when it comes on top
    // arrives as messages a moment later: a picture (never a check) waits until
    // the queue has stayed empty for a tenth of a second, a second at most.
    SetWindowPos(sheet_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(sheet_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const DWORD start = GetTickCount();
    do {
        Pump();
    } while (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) != WAIT_TIMEOUT &&
             GetTickCount() - start < 1000);
    return SaveWindowPicture(sheet_, path);
}
