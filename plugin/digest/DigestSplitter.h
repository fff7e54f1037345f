#pragma once
// Splitting one host mail file: its enclosed messages (parts of type
// message/rfc822 of a multipart/mixed or multipart/digest mail) are imported into
// the account's inbox, then the mail is moved to the trash, deleted or kept.

#include <windows.h>

#include <cstdint>

#include "DigestWalk.h"
#include "SettingsFiles.h"

class MailFile;

// The unread flag of the host's import.
constexpr DWORD kImportUnread = 0x40000000;

// The flags of every imported message: the mark number (1 to 7; anything outside
// 0 to 7, a negative value above all, would set other bits of the word and gives
// no mark), plus the unread flag when midoku is not 0.
DWORD ImportFlags(int32_t mark, int32_t midoku);

// Writes each enclosed message into its own temporary file ("dgtm" prefix, in the
// temporary directory, lines ended by CR LF) and has the host import it into
// `inboxFolder`. A message whose file cannot be created or completely written is
// not imported and counts as lost. The file is deleted after the import call.
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
    HANDLE file_ = INVALID_HANDLE_VALUE;
    char* pending_ = nullptr;  // writes are gathered, one WriteFile per 64 KB
    uint32_t pendingLength_ = 0;
    bool writeFailed_ = false;
};

// The whole treatment of one mail file (closed on entry, closed on return). The
// source mail is moved or deleted only when at least one message was imported and
// none was lost or left unread (a failed read, a temporary file that could not be
// written): otherwise some enclosed message would exist nowhere else.
void SplitMailFile(MailFile& mail, const DigestSettings& settings, HWND owner);
