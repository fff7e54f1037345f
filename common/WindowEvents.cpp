#include "WindowEvents.h"

#include <mutex>

namespace {

struct Waiter {
    DWORD windowThread;
    HWINEVENTHOOK creations;
    HANDLE changed;
};

// Every live WindowEvents. The hook procedures run on window threads (also one
// inside DllMain, showing a box), so they only find their waiters and wake them.
std::mutex gWaitersLock;
std::vector<Waiter> gWaiters;

bool ChangesWindows(const CWPRETSTRUCT& message) {
    switch (message.message) {
    case WM_CREATE:
    case WM_INITDIALOG:
    case WM_SHOWWINDOW:
    case WM_WINDOWPOSCHANGED:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_ACTIVATE:
    case WM_ENTERIDLE:
    case WM_COMMAND:
    case WM_NOTIFY:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK OnMessageHandled(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && ChangesWindows(*reinterpret_cast<const CWPRETSTRUCT*>(lParam))) {
        WindowEvents::Wake(GetCurrentThreadId(), nullptr);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK OnWindowCreated(HWINEVENTHOOK hook, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    if (window && object == OBJID_WINDOW) {
        WindowEvents::Wake(0, hook);
    }
}

struct ShownSearch {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectShown(HWND window, LPARAM param) {
    ShownSearch* search = reinterpret_cast<ShownSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window)) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::string AnsiFromWide(const wchar_t* text) {
    char buffer[512] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

}  // namespace

void WindowEvents::Wake(DWORD windowThread, HWINEVENTHOOK creations) {
    std::lock_guard<std::mutex> lock(gWaitersLock);
    for (const Waiter& waiter : gWaiters) {
        if ((windowThread && waiter.windowThread == windowThread) || (creations && waiter.creations == creations)) {
            SetEvent(waiter.changed);
        }
    }
}

WindowEvents::WindowEvents(DWORD windowThread, DWORD process) : windowThread_(windowThread) {
    changed_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    creations_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnWindowCreated,
                                 process ? process : GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    {
        std::lock_guard<std::mutex> lock(gWaitersLock);
        gWaiters.push_back({windowThread_, creations_, changed_});
    }
    if (windowThread_) {
        messages_ = SetWindowsHookExA(WH_CALLWNDPROCRET, OnMessageHandled, nullptr, windowThread_);
    }
}

WindowEvents::~WindowEvents() {
    if (messages_) {
        UnhookWindowsHookEx(messages_);
    }
    if (creations_) {
        UnhookWinEvent(creations_);
    }
    {
        std::lock_guard<std::mutex> lock(gWaitersLock);
        for (auto it = gWaiters.begin(); it != gWaiters.end(); ++it) {
            if (it->changed == changed_) {
                gWaiters.erase(it);
                break;
            }
        }
    }
    CloseHandle(changed_);
}

bool WindowEvents::Wait(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        // Out-of-context events come as messages to this thread: pump them (and
        // whatever else was sent to it) while waiting.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms) {
            return WaitForSingleObject(changed_, 0) == WAIT_OBJECT_0;
        }
        const DWORD woke = MsgWaitForMultipleObjects(1, &changed_, FALSE, ms - spent, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            return true;
        }
        if (woke != WAIT_OBJECT_0 + 1) {
            return false;
        }
    }
}

std::vector<HWND> ShownTopLevelWindows(DWORD thread) {
    ShownSearch search{GetCurrentProcessId(), {}};
    if (thread) {
        EnumThreadWindows(thread, CollectShown, reinterpret_cast<LPARAM>(&search));
    } else {
        EnumWindows(CollectShown, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

std::string DescribeWindow(HWND window) {
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    wchar_t caption[256] = L"";
    InternalGetWindowText(window, caption, 256);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    HWND owner = GetWindow(window, GW_OWNER);
    DWORD ownerThread = owner ? GetWindowThreadProcessId(owner, nullptr) : 0;
    return std::string("class \"") + className + "\" caption \"" + AnsiFromWide(caption) + "\" process " +
           std::to_string(process) + " thread " + std::to_string(thread) +
           (owner ? " owner of thread " + std::to_string(ownerThread) : std::string(" no owner")) +
           (IsWindowVisible(window) ? "" : " hidden");
}
