#include <string>
#include <unordered_set>

#include "BoundedText.h"
#include "HostApi.h"
#include "SplitQueue.h"

namespace {

// Mailbox directory + entry + ".qnl"; false when that does not fit the buffer,
// because a cut path would name another file.
bool BuildMailFilePath(char* buffer, std::size_t size, const char* mailbox, const char* entry) {
    if (!text::Copy(buffer, size, mailbox) || !text::Append(buffer, size, entry) ||
        !text::Append(buffer, size, ".qnl")) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

void AddEntry(const char* entry) {
    const char* mailbox = gHostApi.VhxGetMailbox ? gHostApi.VhxGetMailbox() : nullptr;
    char path[kPathBufferSize];
    if (mailbox && BuildMailFilePath(path, sizeof path, mailbox, entry)) {
        gSplitQueue.Add(path);
    }
}

}  // namespace

// Splits every selected mail: the host gives the first with 1 and the next ones
// with 0, until it has none left. A host that gives the same entry again ends the
// list, so that the loop always ends.
LRESULT WINAPI DigestSplitCommand(HWND window, LPARAM /*value*/) {
    if (gHostApi.VhxFolderGetSelectEntry) {
        std::unordered_set<std::string> seen;
        const char* entry = gHostApi.VhxFolderGetSelectEntry(window, TRUE);
        while (entry) {
            std::string name(entry);  // host strings are copied at once
            if (!seen.insert(name).second) {
                break;
            }
            AddEntry(name.c_str());
            entry = gHostApi.VhxFolderGetSelectEntry(window, FALSE);
        }
    }
    gSplitQueue.Process(window);
    gSplitQueue.Clear();
    return 0;
}
