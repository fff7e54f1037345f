#pragma once
// Waiting for a window to change, instead of looking again after a fixed time.
// Two sources wake the waiting thread, which then checks what it waits for:
// - a hook on the window thread (WH_CALLWNDPROCRET, run on that thread) that
//   tells of the messages that change windows there: created, shown, hidden,
//   destroyed, renamed, enabled, focused, activated, or a modal loop gone idle;
// - a WinEvent hook on the whole process (out of context), for windows of threads
//   nobody named. Wine 8.0 sends only EVENT_OBJECT_CREATE through it.
// Used by the stand-in host's dialog driver and by the tests' window watcher, on
// threads that are not blocked in a modal window.

#include <windows.h>

#include <string>
#include <vector>

class WindowEvents {
public:
    // Hooks for the calling thread: the messages of windowThread (a thread of this
    // process; 0: none) and the window creations of process (0: this one). Wait and
    // WaitUntil must be called on the calling thread (they pump its messages).
    explicit WindowEvents(DWORD windowThread = 0, DWORD process = 0);
    ~WindowEvents();
    WindowEvents(const WindowEvents&) = delete;
    WindowEvents& operator=(const WindowEvents&) = delete;

    // Returns true once a window changed since the last call, false after ms.
    bool Wait(DWORD ms);

    // Checks condition after every change until it holds (true) or ms have passed
    // (false). A change is told while it is being made (a window says it is shown
    // before it is visible), so a change is followed by a second look kSettleMs
    // later; a change no hook tells of costs at most kRecheckMs.
    template <typename Condition>
    bool WaitUntil(Condition condition, DWORD ms) {
        const DWORD start = GetTickCount();
        bool changed = false;
        for (;;) {
            if (condition()) {
                return true;
            }
            const DWORD spent = GetTickCount() - start;
            if (spent >= ms) {
                return false;
            }
            const DWORD left = ms - spent;
            const DWORD next = changed ? kSettleMs : kRecheckMs;
            changed = Wait(left < next ? left : next);
        }
    }

    static const DWORD kRecheckMs = 250;
    static const DWORD kSettleMs = 5;

    // For the hook procedures: wakes every waiter of the thread (0: of creations
    // in this process).
    static void Wake(DWORD windowThread, HWINEVENTHOOK creations);

private:
    DWORD windowThread_ = 0;
    HHOOK messages_ = nullptr;
    HWINEVENTHOOK creations_ = nullptr;
    HANDLE changed_ = nullptr;
};

// Visible top-level windows of this process (of one thread when thread is not 0).
std::vector<HWND> ShownTopLevelWindows(DWORD thread = 0);

// One line for a report: class, caption, the process and thread that made the
// window and its owner's thread. The caption is read without sending a message, so
// that a window whose thread does not answer cannot stop the report.
std::string DescribeWindow(HWND window);
