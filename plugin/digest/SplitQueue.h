#pragma once
// The queue of received (or selected) mail files waiting to be split, with the
// plug-in's copy of the digest settings.

#include <windows.h>

#include <cstdint>

#include "SettingsFiles.h"

class MailFile;

class SplitQueue {
public:
    SplitQueue() = default;
    ~SplitQueue();
    SplitQueue(const SplitQueue&) = delete;
    SplitQueue& operator=(const SplitQueue&) = delete;

    // Reads section [Digest] of mailbox directory + "Pikuno.ini".
    void ReadSettings();
    // Queues one mail file (only while Divide is on and the path is not null).
    void Add(const char* path);
    // Splits every queued mail file; owner is the owner of any confirmation box.
    void Process(HWND owner);
    // Destroys every queued MailFile and empties the queue; does nothing while a
    // Process is under way (called back from within it).
    void Clear();

    int32_t GetCount() const { return count; }
    const DigestSettings& GetSettings() const { return settings; }

private:
    int32_t count = 0;
    MailFile** entries = nullptr;
    DigestSettings settings = {};  // all 0 until ReadSettings: nothing is queued
    bool processing = false;       // a Process is under way (see Process)
};

// The one queue of the plug-in.
extern SplitQueue gSplitQueue;

// The folder-menu command "ダイジェストメール分割": queues every selected mail, then
// processes and empties the queue. value is the menu handle, unused.
LRESULT WINAPI DigestSplitCommand(HWND window, LPARAM value);
