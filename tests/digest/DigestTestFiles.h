#pragma once
// Helpers of the splitter tests: Pikuno.ini in a mailbox, digests, and a watcher
// that answers the confirmation box from a second thread.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FileBytes.h"
#include "MailboxFolder.h"
#include "SettingsFiles.h"

// Writes the settings as the mailbox's Pikuno.ini.
void WritePikunoIni(const MailboxFolder& mailbox, const DigestSettings& settings);

// A digest of `count` messages; each message's text is MessageText(i).
std::string DigestOf(int count, const char* lineEnd = "\n", const char* type = "multipart/digest");
std::string MessageText(int index, const char* lineEnd = "\n");
// Turns every LF not preceded by CR into CR LF.
std::string ToCrLf(const std::string& text);

struct SeenBox {
    std::string text;
    std::string caption;
    HWND owner = nullptr;
    bool yes = false, no = false, ok = false, cancel = false;
    bool icon = false;
    std::size_t callsBefore = 0;  // fake host calls made when the box was shown
};

// Finds every box with the caption, records it and answers it with the next of
// `answers` (IDNO once they run out).
class BoxWatcher {
public:
    BoxWatcher(const char* caption, std::vector<int> answers);
    ~BoxWatcher();
    std::vector<SeenBox> Boxes();

private:
    void Run();

    std::string caption_;
    std::vector<int> answers_;
    std::mutex mutex_;
    std::vector<SeenBox> boxes_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A plain top-level window to own the boxes.
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    HWND Get() const { return window_; }

private:
    HWND window_;
};
