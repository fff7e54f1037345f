#pragma once
// Watches for message boxes of this process with a given caption from a thread of
// its own, reads each one (text, buttons, icon) and closes it with OK, so that a
// modal box shown on the test's thread (even from inside DllMain) does not block.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct WatchedMessageBox {
    std::string text;            // ANSI (Shift_JIS) bytes of the message
    std::vector<int> buttons;    // identifiers of the visible buttons
    bool errorIcon = false;      // shows the system's error icon
};

class FrameMessageBoxWatcher {
public:
    explicit FrameMessageBoxWatcher(const std::string& caption);
    ~FrameMessageBoxWatcher();
    FrameMessageBoxWatcher(const FrameMessageBoxWatcher&) = delete;
    FrameMessageBoxWatcher& operator=(const FrameMessageBoxWatcher&) = delete;

    // Whether the system's shared icons load at all: not in Wine's 32-on-64-bit mode
    // (8.0), where a box shows no icon (probe Wine32On64Faults.IconsLoad).
    static bool SystemIconsLoad();

    // Stops watching (after a last look) and returns every box seen, in order.
    std::vector<WatchedMessageBox> Stop();

private:
    void Run();
    void Scan();

    std::string caption_;
    std::atomic<bool> stop_{false};
    std::set<HWND> seen_;
    std::vector<WatchedMessageBox> boxes_;
    std::mutex mutex_;
    std::thread thread_;
};
