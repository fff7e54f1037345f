#include "LibraryState.h"

#include <string>

#include "BoundedText.h"

namespace {

HINSTANCE gLibraryModule = nullptr;
std::string gMailboxDirectory;
std::string gAccountPath;

}  // namespace

void SetLibraryModule(HINSTANCE module) {
    gLibraryModule = module;
}

HINSTANCE LibraryModule() {
    return gLibraryModule ? gLibraryModule : GetModuleHandleA(nullptr);
}

void StoreSetUpArguments(const char* mailboxDir, const char* accountPath) {
    gMailboxDirectory = mailboxDir ? mailboxDir : "";
    gAccountPath = accountPath ? accountPath : "";
}

const char* MailboxDirectory() {
    return gMailboxDirectory.c_str();
}

const char* AccountPath() {
    return gAccountPath.c_str();
}

void LibraryTitle(char* buffer, std::size_t bufferSize) {
    char path[kPathBufferSize];
    DWORD length = GetModuleFileNameA(LibraryModule(), path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        text::Copy(buffer, bufferSize, "Pikunoset");
        return;
    }
    // The last component, walked by characters so that a trail byte 0x5C of a
    // double-byte character is not taken for a separator.
    const char* name = path;
    const char* dot = nullptr;
    for (const char* p = path; *p; ++p) {
        if (text::IsShiftJisLeadByte(*p) && p[1]) {
            ++p;
        } else if (*p == '\\' || *p == '/' || *p == ':') {
            name = p + 1;
            dot = nullptr;
        } else if (*p == '.') {
            dot = p;
        }
    }
    std::size_t nameLength = dot ? static_cast<std::size_t>(dot - name) : text::Length(name);
    text::CopyN(buffer, bufferSize, name, nameLength);
}
