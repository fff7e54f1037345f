#pragma once
// The import of enclosed messages into the host: each goes into a temporary file
// that the host imports into the account's inbox with the flags of the digest
// settings. The splitter and the mail file both hand messages to it.

#include <windows.h>

#include <cstdint>

#include "DigestWalk.h"
#include "WinHandles.h"

// The unread flag of the host's import.
constexpr DWORD kImportUnread = 0x40000000;

// The flags of every imported message: the mark number (1 to 7; anything outside
// 0 to 7, a negative value above all, would set other bits of the word and gives
// no mark), plus the unread flag when midoku is not 0.
DWORD ImportFlags(int32_t mark, int32_t midoku);

// Writes each enclosed message into its own temporary file ("dgtm" prefix, in the
// temporary directory, lines ended by CR LF) and has the host import it into
// `inboxFolder`. A message whose file cannot be created or completely written, or
// that the host refuses to import, counts as lost. The file is deleted after the
// import call.
class TempFileImportSink : public PartSink {
public:
    TempFileImportSink(const char* inboxFolder, DWORD flags);
    ~TempFileImportSink() override;
    TempFileImportSink(const TempFileImportSink&) = delete;
    TempFileImportSink& operator=(const TempFileImportSink&) = delete;

    bool Begin() override;
    bool WriteLine(const char* text, uint32_t length) override;
    bool End(bool complete) override;

private:
    bool Flush();
    void Discard();

    const char* inboxFolder_;
    DWORD flags_;
    char path_[MAX_PATH];
    UniqueFileHandle file_;
    char* pending_ = nullptr;  // writes are gathered, one WriteFile per 64 KB
    uint32_t pendingLength_ = 0;
    bool writeFailed_ = false;
};
