#include "SplitQueue.h"

#include <new>

#include "BoundedText.h"
#include "DigestSplitter.h"
#include "HostApi.h"
#include "MailFile.h"
#include "MailboxPath.h"

SplitQueue gSplitQueue;

SplitQueue::~SplitQueue() {
    processing = false;
    Clear();
}

void SplitQueue::ReadSettings() {
    char path[kPathBufferSize];
    // A path that does not fit is refused (left empty): the defaults then apply,
    // with Divide off.
    settings = ReadDigestSettings(BuildMailboxPath(path, "Pikuno.ini", nullptr, nullptr, nullptr));
}

void SplitQueue::Add(const char* path) {
    if (settings.Divide == 0 || !path) {
        return;
    }
    MailFile* mail = new (std::nothrow) MailFile(path);
    MailFile** longer = new (std::nothrow) MailFile*[count + 1];
    if (!mail || !longer) {
        delete mail;
        delete[] longer;
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        longer[i] = entries[i];
    }
    longer[count] = mail;
    delete[] entries;
    entries = longer;
    ++count;
}

void SplitQueue::Process(HWND owner) {
    // The confirmation box runs a message loop, in which the host may call back
    // into the plug-in: a nested Process leaves the work to this one, and entries
    // added meanwhile are split here too (Add only appends, so indexes stay valid).
    if (processing) {
        return;
    }
    // Reset however the loop ends: a split that failed for want of memory must
    // not leave the queue refusing every Clear from then on.
    struct ProcessingFlag {
        bool& flag;
        explicit ProcessingFlag(bool& f) : flag(f) { flag = true; }
        ~ProcessingFlag() { flag = false; }
        ProcessingFlag(const ProcessingFlag&) = delete;
        ProcessingFlag& operator=(const ProcessingFlag&) = delete;
    } underWay(processing);
    for (int32_t i = 0; i < count && settings.Divide != 0; ++i) {
        SplitMailFile(*entries[i], settings, owner);
    }
}

void SplitQueue::Clear() {
    if (processing) {
        return;  // the Process under way empties the queue through its caller
    }
    for (int32_t i = 0; i < count; ++i) {
        delete entries[i];
    }
    delete[] entries;
    entries = nullptr;
    count = 0;
}
