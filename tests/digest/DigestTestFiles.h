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


// A plain top-level window to own the boxes.
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    HWND Get() const { return window_; }

private:
    HWND window_;
};
