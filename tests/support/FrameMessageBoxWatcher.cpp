#include "FrameMessageBoxWatcher.h"
#include "AnsiText.h"

namespace {

// Loaded before anything is watched: resource lookups take the loader lock, which
// the test's thread may hold while it shows a box from inside DllMain.
HICON gErrorIcon = nullptr;

struct Search {
    const std::string* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK FindBoxes(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) {
        return TRUE;
    }
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    char caption[256] = "";
    ansi::WindowText(window, caption, sizeof caption);
    if (std::string(className) == "#32770" && *search->caption == caption) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
    WatchedMessageBox* box = reinterpret_cast<WatchedMessageBox*>(param);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    const std::string kind = className;
    const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    if (_stricmp(className, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            box->errorIcon = icon && icon == gErrorIcon;
        } else {
            char text[1024] = "";
            ansi::WindowText(child, text, sizeof text);
            if (text[0]) {
                box->text = text;
            }
        }
    } else if (_stricmp(className, "Button") == 0 && IsWindowVisible(child)) {
        box->buttons.push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

}  // namespace

FrameMessageBoxWatcher::FrameMessageBoxWatcher(const std::string& caption) : caption_(caption) {
    gErrorIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32513));  // IDI_ERROR, shared
    // The watching thread makes its first look (and so every first-use setup of
    // its own) before the test goes on to show anything.
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, started] {
        Scan();
        SetEvent(started);
        Run();
    });
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
}

bool FrameMessageBoxWatcher::SystemIconsLoad() {
    return LoadIconA(nullptr, MAKEINTRESOURCEA(32513)) != nullptr;
}

FrameMessageBoxWatcher::~FrameMessageBoxWatcher() {
    Stop();
}

std::vector<WatchedMessageBox> FrameMessageBoxWatcher::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        thread_.join();
        Scan();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

void FrameMessageBoxWatcher::Run() {
    while (!stop_) {
        Scan();
        Sleep(20);
    }
}

void FrameMessageBoxWatcher::Scan() {
    Search search{&caption_, {}};
    EnumWindows(FindBoxes, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!seen_.insert(window).second) {
            continue;
        }
        WatchedMessageBox box;
        EnumChildWindows(window, ReadChild, reinterpret_cast<LPARAM>(&box));
        boxes_.push_back(box);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
}
