#include "ScanProgress.h"

#include <commctrl.h>

#include "BoundaryGuard.h"
#include "BoundedText.h"
#include "HostApi.h"
#include "MailboxScan.h"
#include "Pop3Session.h"
#include "resource.h"

const char kScanProgressCaption[] = "選択受信";
const char kScanFailedText[] = "サーバーからメールの一覧を読み込めませんでした。\n受信を中止しました。";

namespace {

// Messages are also dispatched between replies while they keep arriving, so
// that a fast stream of replies does not starve the host window's painting.
constexpr DWORD kPumpBetweenRepliesMs = 50;
// The count is repainted at most this often (and once at the end): four times
// a second reads as smooth. Each repaint of the window costs the window thread
// about 0.75 ms under Wine; on a line without PIPELINING (33 replies a second
// at 30 ms) ten a second made 0.14 ms of the 0.3 ms per message it spent.
constexpr DWORD kPaintIntervalMs = 250;

DWORD Elapsed(DWORD since) {
    return GetTickCount() - since;
}

}  // namespace

ScanProgress::ScanProgress(HWND owner) : owner_(owner), start_(GetTickCount()), lastPump_(start_) {
    // As a modal window would: the host window takes no input while the scan
    // runs (a second command must not start inside this one), but it repaints.
    ownerWasEnabled_ = owner_ && IsWindow(owner_) && IsWindowEnabled(owner_);
    if (ownerWasEnabled_) {
        EnableWindow(owner_, FALSE);
    }
    PopSetMessagePump(&ScanProgress::PumpThunk, this);
    ScanSetProgressCallback(&ScanProgress::ProgressThunk, this);
}

ScanProgress::~ScanProgress() {
    Finish();
}

void ScanProgress::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    PopSetMessagePump(nullptr, nullptr);
    ScanSetProgressCallback(nullptr, nullptr);
    // The owner first, so that activation returns to it and not to another
    // program when the owned window goes.
    if (ownerWasEnabled_ && IsWindow(owner_)) {
        EnableWindow(owner_, TRUE);
    }
    window_.Reset();
}

bool ScanProgress::PumpThunk(void* self) {
    return static_cast<ScanProgress*>(self)->Pump();
}

bool ScanProgress::ProgressThunk(void* self, int32_t done, int32_t total) {
    ScanProgress* progress = static_cast<ScanProgress*>(self);
    progress->done_ = done;
    progress->total_ = total;
    progress->dirty_ = true;
    if (done == total && progress->window_) {
        progress->Paint();
    }
    if (Elapsed(progress->lastPump_) >= kPumpBetweenRepliesMs) {
        return progress->Pump();
    }
    return !progress->cancelled_;
}

bool ScanProgress::Pump() {
    lastPump_ = GetTickCount();
    if (!window_ && !cancelled_ && Elapsed(start_) >= kScanProgressDelayMs) {
        Show();
    }
    MSG message;
    while (!cancelled_ && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Not ours to take: the host's own loop must see it too.
            PostQuitMessage(static_cast<int>(message.wParam));
            cancelled_ = true;
            break;
        }
        if (window_ && IsDialogMessageA(window_.Get(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (window_ && dirty_ && Elapsed(lastPaint_) >= kPaintIntervalMs) {
        Paint();
    }
    return !cancelled_;
}

void ScanProgress::Show() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    window_.Reset(CreateDialogParamA(gPluginModule, MAKEINTRESOURCEA(IDD_SCAN_PROGRESS), owner_, ScanProgressProc,
                                     reinterpret_cast<LPARAM>(this)));
    if (!window_) {
        return;  // the scan goes on without it
    }
    dirty_ = true;
    Paint();
    ShowWindow(window_.Get(), SW_SHOWNORMAL);
    UpdateWindow(window_.Get());
}

void ScanProgress::Paint() {
    lastPaint_ = GetTickCount();
    dirty_ = false;
    char count[40];
    if (total_ > 0) {
        text::Format(count, sizeof count, "%d / %d", static_cast<int>(done_), static_cast<int>(total_));
    } else {
        count[0] = '\0';  // LIST has not been read yet
    }
    SetDlgItemTextA(window_.Get(), IDC_SCAN_COUNT, count);
    HWND bar = GetDlgItem(window_.Get(), IDC_SCAN_BAR);
    SendMessageA(bar, PBM_SETRANGE32, 0, total_ > 0 ? total_ : 1);
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(done_), 0);
}

namespace {

INT_PTR HandleProgressMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            if (ScanProgress* progress = reinterpret_cast<ScanProgress*>(GetWindowLongPtrA(dialog, GWLP_USERDATA))) {
                progress->Cancel();
            }
            EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);  // pressed once is enough
        }
        return TRUE;
    case WM_CLOSE:
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    case WM_DESTROY:
        SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

// A dialog procedure: nothing may unwind into the dialog manager; a message
// whose handling failed counts as not handled.
INT_PTR CALLBACK ScanProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallGuarded<INT_PTR>(FALSE, [&] { return HandleProgressMessage(dialog, message, wParam, lParam); });
}
