#include "WindowWatcher.h"

#include "AnsiText.h"
#include "WindowEvents.h"

#include <iterator>

namespace {

// Loaded before anything is watched: resource lookups take the loader lock, which
// the test's thread may hold while it shows a box from inside DllMain.
HICON gErrorIcon = nullptr;

const int kMessageBoxTextId = 0xFFFF;
const int kMessageBoxIconId = 0x0440;

BOOL CALLBACK AddVisibleButton(HWND child, LPARAM param) {
    char className[16] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child)) {
        reinterpret_cast<std::vector<int>*>(param)->push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

}  // namespace

bool WindowMatch::Matches(HWND window) const {
    DWORD process = 0;
    const DWORD madeBy = GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || (thread && madeBy != thread)) {
        return false;
    }
    if (!className.empty()) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (className != name) {
            return false;
        }
    }
    if (item && !GetDlgItem(window, item)) {
        return false;
    }
    return caption.empty() || ansi::WindowText(window) == caption;
}

std::string WindowMatch::Describe() const {
    std::string text = "a window";
    if (!className.empty()) {
        text += " of class \"" + className + "\"";
    }
    if (!caption.empty()) {
        text += " captioned \"" + caption + "\"";
    }
    if (item) {
        text += " holding item " + std::to_string(item);
    }
    if (thread) {
        text += " made by thread " + std::to_string(thread);
    }
    return text;
}

WindowMatch MessageBoxTitled(const std::string& caption, DWORD thread) {
    WindowMatch match;
    match.caption = caption;
    match.item = kMessageBoxTextId;
    match.thread = thread;
    return match;
}

WindowMatch WindowCaptioned(const std::string& caption, DWORD thread) {
    WindowMatch match;
    match.className.clear();
    match.caption = caption;
    match.thread = thread;
    return match;
}

WindowWatcher::WindowWatcher(WindowMatch match, Handler handle)
    : match_(std::move(match)), handle_(std::move(handle)) {
    windowThread_ = match_.thread ? match_.thread : GetCurrentThreadId();
    if (!gErrorIcon) {
        gErrorIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32513));  // IDI_ERROR, shared
    }
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, started] {
        threadId_ = GetCurrentThreadId();
        WindowEvents events(windowThread_);
        Look();
        SetEvent(started);
        // A change is told while it is made: look again a moment later.
        bool changed = false;
        while (!stop_) {
            changed = events.Wait(changed ? WindowEvents::kSettleMs : WindowEvents::kRecheckMs);
            Look();
        }
    });
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
}

WindowWatcher::~WindowWatcher() {
    Stop();
}

void WindowWatcher::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        // Wakes the watcher out of its wait at once.
        PostThreadMessageA(threadId_, WM_NULL, 0, 0);
        thread_.join();
        Look();
    }
}

void WindowWatcher::Look() {
    // A handle is used again only after its window is gone: forget gone ones.
    for (auto it = taken_.begin(); it != taken_.end();) {
        it = IsWindow(*it) ? std::next(it) : taken_.erase(it);
    }
    {
        std::lock_guard<std::mutex> lock(seenLock_);
        for (auto it = seenWindows_.begin(); it != seenWindows_.end();) {
            it = IsWindow(*it) ? std::next(it) : seenWindows_.erase(it);
        }
    }
    for (HWND window : ShownTopLevelWindows()) {
        {
            std::lock_guard<std::mutex> lock(seenLock_);
            if (seenWindows_.insert(window).second) {
                seen_.push_back(DescribeWindow(window));
            }
        }
        if (taken_.count(window) || !match_.Matches(window)) {
            continue;
        }
        taken_.insert(window);
        // Returns once the window's thread pumps messages again, that is once the
        // dialog has been initialised and its modal loop runs.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        handle_(window);
        ++handled_;
    }
}

std::string WindowWatcher::SeenWindows() const {
    std::lock_guard<std::mutex> lock(seenLock_);
    if (seen_.empty()) {
        return "no window at all\n";
    }
    std::string lines;
    for (const std::string& line : seen_) {
        lines += "  " + line + "\n";
    }
    return lines;
}

std::string WindowWatcher::Report() const {
    return "waited for " + match_.Describe() + ", handled " + std::to_string(handled_) + "; windows seen:\n" +
           SeenWindows();
}

bool WaitForWindows(const std::function<bool()>& condition, DWORD windowThread, DWORD ms, DWORD process) {
    WindowEvents events(windowThread, process);
    return events.WaitUntil(condition, ms);
}

bool WaitGone(HWND window, DWORD ms) {
    return WaitForWindows([window] { return !IsWindow(window) || !IsWindowVisible(window); },
                          GetWindowThreadProcessId(window, nullptr), ms);
}

HWND FindShownWindow(const WindowMatch& match) {
    for (HWND window : ShownTopLevelWindows(match.thread)) {
        if (match.Matches(window)) {
            return window;
        }
    }
    return nullptr;
}

MessageBoxSeen ReadMessageBox(HWND box) {
    MessageBoxSeen seen;
    seen.caption = ansi::WindowText(box);
    char text[2048] = "";
    ansi::DialogItemText(box, kMessageBoxTextId, text, sizeof text);
    seen.text = text;
    seen.owner = GetWindow(box, GW_OWNER);
    EnumChildWindows(box, AddVisibleButton, reinterpret_cast<LPARAM>(&seen.buttons));
    HWND iconControl = GetDlgItem(box, kMessageBoxIconId);
    if (iconControl && IsWindowVisible(iconControl)) {
        HICON icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
        seen.hasIcon = icon != nullptr;
        seen.errorIcon = icon && icon == gErrorIcon;
    }
    return seen;
}

bool SystemIconsLoad() {
    return LoadIconA(nullptr, MAKEINTRESOURCEA(32513)) != nullptr;
}

bool MessageBoxSeen::Shows(int button) const {
    for (int id : buttons) {
        if (id == button) {
            return true;
        }
    }
    return false;
}

MessageBoxCloser::MessageBoxCloser(const std::string& caption, std::vector<int> answers,
                                   std::function<std::size_t()> mark)
    : answers_(std::move(answers)), mark_(std::move(mark)), watcher_(MessageBoxTitled(caption), [this](HWND box) {
          MessageBoxSeen seen = ReadMessageBox(box);
          if (mark_) {
              seen.mark = mark_();
          }
          std::size_t index = 0;
          {
              std::lock_guard<std::mutex> lock(lock_);
              index = boxes_.size();
              boxes_.push_back(seen);
          }
          const int answer = index < answers_.size() ? answers_[index] : seen.Shows(IDOK) ? IDOK : IDNO;
          PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
      }) {}

std::vector<MessageBoxSeen> MessageBoxCloser::Stop() {
    watcher_.Stop();
    std::lock_guard<std::mutex> lock(lock_);
    return boxes_;
}
