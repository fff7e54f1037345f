#pragma once
// Drives the modal windows a plug-in opens while the window thread is blocked in
// them: a second thread wakes on every window change (WindowEvents) and looks at the
// window thread's top-level windows, and when one
// with an awaited caption appears it reads it, ticks list items, turns property
// sheet pages, saves pictures and presses a button, all by messages (never by simulated input). A window nobody
// awaited is reported and closed after a while, so that a run never hangs.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class WindowEvents;

// One thing done to an awaited window, in the order the script gives them.
struct DialogStep {
    enum Kind { Tick, Untick, Page, Shot, Press } kind;
    std::vector<int> numbers;  // Tick, Untick: 1-based list items; Page: 1-based page
    std::string text;          // Shot: picture file (BMP); Press: ok, cancel, yes, no,
                               // abort, retry, ignore or close
};

struct DialogAction {
    std::string caption;  // awaited window caption, compared byte for byte
    std::vector<DialogStep> steps;
};

class DialogDriver {
public:
    ~DialogDriver() { Stop(); }

    // Watches the windows of the given thread; unexpected windows are closed after
    // unexpectedMs.
    void Start(DWORD uiThreadId, HWND mainWindow, DWORD unexpectedMs);
    void Stop();

    void Arm(const DialogAction& action);
    // Actions armed but not yet carried out.
    std::vector<DialogAction> Pending() const;
    // Forgets pending actions (after reporting them).
    void ClearPending();
    // Every window the driver has looked at, one line each (DescribeWindow), so that
    // an action whose window never came can say what came instead.
    std::vector<std::string> SeenWindows() const;

    // The list view with identifier 1001 of a dialog: its items as the report shows
    // them; also used by the screenshot command.
    static void ReportWindow(HWND window, const char* kind);

private:
    void Run();
    void Handle(HWND window, const DialogAction& action);
    // False when the window is gone (pressed) or cannot go on.
    bool Perform(HWND window, const DialogAction& action, const DialogStep& step);
    void CloseUnexpected(HWND window);

    DWORD uiThreadId_ = 0;
    HWND mainWindow_ = nullptr;
    DWORD unexpectedMs_ = 15000;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    HANDLE finished_ = nullptr;  // set when the driver thread ends
    mutable std::mutex mutex_;
    std::vector<DialogAction> pending_;
    std::vector<std::string> seen_;
    WindowEvents* events_ = nullptr;  // the driver thread's, while it runs
};

extern DialogDriver gDialogDriver;

// Caption of a window as bytes in the ANSI code page.
std::string WindowCaption(HWND window);
// "\r" and "\n" shown as escapes, for one-line reports.
std::string EscapeLineBreaks(const std::string& text);
