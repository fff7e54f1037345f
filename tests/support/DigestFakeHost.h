#pragma once
// Fakes of the host functions the digest splitter and its queue call, put into
// gHostApi. Every call is recorded in order; an imported file's bytes are copied
// during the call, before the splitter deletes the file.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct DigestHostCall {
    std::string function;  // "ImportFile", "MoveMail", "DeleteMail", "GetSelectEntry", "GetMailbox"
    std::string first;     // file / entry / "1" or "0" for the selection
    std::string second;    // folder
    DWORD flags = 0;
    std::string bytes;     // the imported file's content
    HWND window = nullptr;
};

namespace digest_fake {

// Installs the fakes; `mailbox` is what _VhxGetMailbox@0 returns (ends in "\").
void Install(const std::string& mailbox);
// Empties gHostApi again and forgets every call and script.
void Uninstall();

std::vector<DigestHostCall>& Calls();
std::vector<DigestHostCall> CallsOf(const char* function);
// The entries _VhxFolderGetSelectEntry@8 returns: the first for (window, 1), the
// next ones for (window, 0), then null. `repeatLast` makes it return the last one
// forever instead of null, as a host that ignores the argument might.
void SetSelection(const std::vector<std::string>& entries, bool repeatLast = false);
// Called inside every import, after the bytes were copied.
void SetImportHook(std::function<void()> hook);

// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace digest_fake
