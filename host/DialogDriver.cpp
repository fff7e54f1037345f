#include "DialogDriver.h"

#include <commctrl.h>
#include <prsht.h>

#include <map>

#include "AnsiText.h"
#include "Report.h"
#include "Screenshot.h"
#include "WindowEvents.h"

DialogDriver gDialogDriver;

namespace {

const int kSelectionListId = 1001;
const int kMessageBoxTextId = 0xFFFF;

struct Collected {
    HWND mainWindow;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    Collected* collected = reinterpret_cast<Collected*>(param);
    // Dialogs without a caption bar (an about box) count too; other bare pop-ups
    // (tooltips, menus) do not.
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    const bool dialog = lstrcmpA(className, "#32770") == 0;
    if (window != collected->mainWindow && IsWindowVisible(window) &&
        (dialog || (GetWindowLongPtrA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)) {
        collected->windows.push_back(window);
    }
    return TRUE;
}

int ButtonId(const std::string& press) {
    if (press == "ok") return IDOK;
    if (press == "cancel") return IDCANCEL;
    if (press == "yes") return IDYES;
    if (press == "no") return IDNO;
    if (press == "abort") return IDABORT;
    if (press == "retry") return IDRETRY;
    if (press == "ignore") return IDIGNORE;
    return 0;
}

// A cell read as UTF-16 (the list holds its texts so) and given in the ANSI code
// page, as the report prints every text.
std::string ItemText(HWND list, int item, int column) {
    wchar_t buffer[1024] = L"";
    LVITEMW lv = {};
    lv.iSubItem = column;
    lv.pszText = buffer;
    lv.cchTextMax = static_cast<int>(sizeof buffer / sizeof buffer[0]);
    LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
    return ansi::FromWide(buffer, static_cast<int>(length));
}

int StateImage(HWND list, int item) {
    LRESULT state = SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK);
    return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}

bool SetStateImage(HWND list, int item, int image) {
    LVITEMW lv = {};
    lv.stateMask = LVIS_STATEIMAGEMASK;
    lv.state = INDEXTOSTATEIMAGEMASK(image);
    return SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)) != 0;
}

bool WaitGone(WindowEvents& events, HWND window, DWORD ms) {
    return events.WaitUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); }, ms);
}

}  // namespace

std::string WindowCaption(HWND window) {
    char caption[512] = "";
    // Within one process this sends WM_GETTEXT: it waits for the window thread,
    // which pumps messages while a modal window is up.
    ansi::WindowText(window, caption, sizeof caption);
    return caption;
}

std::string EscapeLineBreaks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void DialogDriver::ReportWindow(HWND window, const char* kind) {
    gReport.Line(std::string(kind) + " \"" + WindowCaption(window) + "\"");
    HWND textControl = GetDlgItem(window, kMessageBoxTextId);
    if (textControl) {
        char text[2048] = "";
        ansi::WindowText(textControl, text, sizeof text);
        gReport.Line("  text \"" + EscapeLineBreaks(text) + "\"");
    }
    HWND list = GetDlgItem(window, kSelectionListId);
    if (list) {
        int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        gReport.Line("  list " + std::to_string(count) + " items");
        for (int i = 0; i < count; ++i) {
            int image = StateImage(list, i);
            gReport.Line("  item " + std::to_string(i + 1) + " \"" + ItemText(list, i, 0) + "\" \"" +
                         ItemText(list, i, 1) + "\" " +
                         (image == 2 ? "ticked" : image == 1 ? "unticked" : "state " + std::to_string(image)));
        }
    }
}

void DialogDriver::Start(DWORD uiThreadId, HWND mainWindow, DWORD unexpectedMs) {
    Stop();
    uiThreadId_ = uiThreadId;
    mainWindow_ = mainWindow;
    unexpectedMs_ = unexpectedMs;
    stop_ = false;
    running_ = true;
    if (!finished_) {
        finished_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ResetEvent(finished_);
    thread_ = std::thread([this] {
        Run();
        running_ = false;
        SetEvent(finished_);
    });
}

void DialogDriver::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        // The driver may be inside a SendMessage to this (UI) thread's windows:
        // keep delivering sent messages until it has finished, or the join deadlocks.
        while (running_ && MsgWaitForMultipleObjects(1, &finished_, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        thread_.join();
    }
}

void DialogDriver::Arm(const DialogAction& action) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(action);
}

std::vector<DialogAction> DialogDriver::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_;
}

std::vector<std::string> DialogDriver::SeenWindows() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void DialogDriver::ClearPending() {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
}

void DialogDriver::Run() {
    // Wakes on every window change of this process (and at least every quarter of a
    // second, for the time-out of unexpected windows and for Stop).
    WindowEvents events(uiThreadId_);
    events_ = &events;
    std::map<HWND, DWORD> firstSeen;
    bool changed = false;
    while (!stop_) {
        // A change is told while it is made: look again a moment later.
        changed = events.Wait(changed ? WindowEvents::kSettleMs : WindowEvents::kRecheckMs);
        Collected collected{mainWindow_, {}};
        EnumThreadWindows(uiThreadId_, CollectWindow, reinterpret_cast<LPARAM>(&collected));
        for (HWND window : collected.windows) {
            if (!firstSeen.count(window)) {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(DescribeWindow(window));
            }
            std::string caption = WindowCaption(window);
            DialogAction action;
            bool found = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (size_t i = 0; i < pending_.size(); ++i) {
                    if (pending_[i].caption == caption) {
                        action = pending_[i];
                        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
                        found = true;
                        break;
                    }
                }
            }
            if (found) {
                firstSeen.erase(window);
                Handle(window, action);
                continue;
            }
            DWORD now = GetTickCount();
            auto seen = firstSeen.find(window);
            if (seen == firstSeen.end()) {
                firstSeen[window] = now;
            } else if (now - seen->second > unexpectedMs_) {
                CloseUnexpected(window);
                firstSeen.erase(window);
            }
        }
        for (auto it = firstSeen.begin(); it != firstSeen.end();) {
            it = IsWindow(it->first) ? std::next(it) : firstSeen.erase(it);
        }
    }
    events_ = nullptr;
}

void DialogDriver::Handle(HWND window, const DialogAction& action) {
    // Returns once the window thread pumps messages again, that is once the dialog
    // has been initialised and its modal loop runs.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    bool isMessageBox = GetDlgItem(window, kMessageBoxTextId) != nullptr;
    ReportWindow(window, isMessageBox ? "box" : "dialog");
    for (const DialogStep& step : action.steps) {
        if (!Perform(window, action, step)) {
            return;
        }
    }
}

bool DialogDriver::Perform(HWND window, const DialogAction& action, const DialogStep& step) {
    DWORD_PTR ignored = 0;
    HWND list = GetDlgItem(window, kSelectionListId);
    switch (step.kind) {
    case DialogStep::Tick:
    case DialogStep::Untick: {
        int image = step.kind == DialogStep::Tick ? 2 : 1;
        const char* verb = step.kind == DialogStep::Tick ? "ticked" : "unticked";
        for (int item : step.numbers) {
            if (list && SetStateImage(list, item - 1, image) && StateImage(list, item - 1) == image) {
                gReport.Line(std::string("  ") + verb + " item " + std::to_string(item));
            } else {
                gReport.Fail(std::string("cannot mark item ") + std::to_string(item) + " " + verb + " in \"" +
                             action.caption + "\"");
            }
        }
        return true;
    }
    case DialogStep::Page: {
        int page = step.numbers.empty() ? 0 : step.numbers.front();
        // PSM_SETCURSEL answers TRUE when the sheet switched to the page.
        LRESULT switched = SendMessageA(window, PSM_SETCURSEL, static_cast<WPARAM>(page - 1), 0);
        if (switched) {
            gReport.Line("  page " + std::to_string(page));
        } else {
            gReport.Fail("\"" + action.caption + "\" has no page " + std::to_string(page));
        }
        return true;
    }
    case DialogStep::Shot:
        // Let pending painting happen before the picture is taken.
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        // Painting asked from another thread is not always done when RedrawWindow
        // returns (a sheet's tabs were missing): give the window thread a moment.
        Sleep(150);
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        if (SaveWindowBitmap(window, step.text)) {
            gReport.Line("  picture " + step.text);
        } else {
            gReport.Fail("cannot save a picture of \"" + action.caption + "\" to " + step.text);
        }
        return true;
    case DialogStep::Press:
        break;
    }
    // Reported before the press: once the window is gone the window thread goes on
    // and reports what follows, so a line written afterwards could come too late.
    if (step.text == "close") {
        gReport.Line("  pressed " + step.text);
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        int id = ButtonId(step.text);
        HWND button = id ? GetDlgItem(window, id) : nullptr;
        if (!button) {
            gReport.Fail("\"" + action.caption + "\" has no button " + step.text);
            CloseUnexpected(window);
            return false;
        }
        gReport.Line("  pressed " + step.text);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }
    if (!WaitGone(*events_, window, 10000)) {
        gReport.Fail("\"" + action.caption + "\" did not close after " + step.text);
    }
    return false;
}

void DialogDriver::CloseUnexpected(HWND window) {
    ReportWindow(window, "unexpected window");
    gReport.Fail("unexpected window \"" + WindowCaption(window) + "\", closed");
    for (int id : {IDCANCEL, IDNO, IDOK}) {
        HWND button = GetDlgItem(window, id);
        if (button) {
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
            return;
        }
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
}
