#pragma once
// Helpers of the splitter tests: a mailbox directory of their own, digests, and a
// watcher that answers the confirmation box from a second thread.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SettingsFiles.h"

// A mailbox directory under the temporary directory, removed with everything in it.
class TestMailbox {
public:
    TestMailbox();
    ~TestMailbox();
    TestMailbox(const TestMailbox&) = delete;
    TestMailbox& operator=(const TestMailbox&) = delete;

    // Ends in a backslash, as the host's mailbox directory does.
    const std::string& Dir() const { return dir_; }
    // Writes Account1\inbox.box\<name>.qnl (folders created); returns the full path.
    std::string WriteMail(const std::string& name, const std::string& bytes,
                          const std::string& account = "Account1", const std::string& folder = "inbox.box");
    void WriteSettings(const DigestSettings& settings);

private:
    std::string dir_;
};

// A digest of `count` messages; each message's text is MessageText(i).
std::string DigestOf(int count, const char* lineEnd = "\n", const char* type = "multipart/digest");
std::string MessageText(int index, const char* lineEnd = "\n");
// Turns every LF not preceded by CR into CR LF.
std::string ToCrLf(const std::string& text);

bool FileExists(const std::string& path);

// A plain top-level window to own the boxes.
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    HWND Get() const { return window_; }

private:
    HWND window_;
};
