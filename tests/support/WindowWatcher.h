#pragma once
// The one watcher of the windows a test's code opens while it blocks in them (a
// message box, a modal dialog, a property sheet): a thread of its own wakes on every
// change of the windows of the thread that opens them and on every window made in
// this process (WindowEvents), hands each new window that matches to the test's
// handler once, and keeps a line for every window it saw, so that a test that did
// not get its window can say which windows there were. Everything is done by
// messages, never by simulated input.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Which windows a watcher takes: visible top-level windows of this process.
struct WindowMatch {
    std::string className = "#32770";  // empty: any class
    std::string caption;               // ANSI bytes, compared whole; empty: any caption
    int item = 0;                      // has a child with this identifier; 0: any
    DWORD thread = 0;                  // made by this thread; 0: any thread
    bool Matches(HWND window) const;
    std::string Describe() const;
};

// A message box titled caption (a dialog with the message box's text control).
WindowMatch MessageBoxTitled(const std::string& caption, DWORD thread = 0);
// A window of any class captioned caption.
WindowMatch WindowCaptioned(const std::string& caption, DWORD thread = 0);

class WindowWatcher {
public:
    using Handler = std::function<void(HWND)>;

    // Starts watching the windows of match.thread, or of the calling thread when
    // none is named; returns once the watcher has made its first look, so that it
    // is in place before the test opens anything (even from inside DllMain).
    WindowWatcher(WindowMatch match, Handler handle);
    ~WindowWatcher();
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    // Stops after a last look (a no-op once stopped).
    void Stop();
    // Every window of this process the watcher saw, one line each (DescribeWindow),
    // for failure messages.
    std::string SeenWindows() const;
    // What it waits for and what it saw, for a failure message.
    std::string Report() const;

private:
    void Look();

    WindowMatch match_;
    Handler handle_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> handled_{0};
    std::set<HWND> taken_;
    mutable std::mutex seenLock_;
    std::set<HWND> seenWindows_;
    std::vector<std::string> seen_;
    DWORD threadId_ = 0;
    DWORD windowThread_ = 0;
    std::thread thread_;
};

// Waits on the calling thread (pumping its messages) until condition holds, looking
// again after every change of the windows of windowThread (0: none named) and every
// window made in process (0: this one); false after ms.
bool WaitForWindows(const std::function<bool()>& condition, DWORD windowThread, DWORD ms = 5000, DWORD process = 0);
// Waits until window is destroyed or hidden; false after ms.
bool WaitGone(HWND window, DWORD ms);
// The first visible top-level window of this process that matches; null when none.
HWND FindShownWindow(const WindowMatch& match);

// What a message box shows.
struct MessageBoxSeen {
    std::string caption;
    std::string text;          // ANSI (Shift_JIS) bytes of the message
    HWND owner = nullptr;
    std::vector<int> buttons;  // identifiers of the visible buttons
    bool hasIcon = false;      // an icon is shown
    bool errorIcon = false;    // the system's error icon is shown
    std::size_t mark = 0;      // what the closer's mark function said while the box was up
    bool OnlyOk() const { return buttons.size() == 1 && buttons[0] == IDOK; }
    bool Shows(int button) const;
};
MessageBoxSeen ReadMessageBox(HWND box);
// Whether the system's shared icons load at all: not in Wine's 32-on-64-bit mode
// (8.0), where a box shows no icon (probe Wine32On64Faults.IconsLoad).
bool SystemIconsLoad();

// Reads every message box titled caption, answers it with the next of answers
// (once they run out: OK where the box has it, else No) and keeps what it showed.
// mark, when given, is called while each box is up (its thread blocked in it), so
// that a test can tell what had happened before the box.
class MessageBoxCloser {
public:
    explicit MessageBoxCloser(const std::string& caption, std::vector<int> answers = {},
                              std::function<std::size_t()> mark = nullptr);
    // Stops watching (after a last look) and returns every box seen, in order.
    std::vector<MessageBoxSeen> Stop();
    std::string Report() const { return watcher_.Report(); }

private:
    std::vector<int> answers_;
    std::function<std::size_t()> mark_;
    std::mutex lock_;
    std::vector<MessageBoxSeen> boxes_;
    WindowWatcher watcher_;
};
