#include <string>
#include <unordered_set>

#include "BoundedText.h"
#include "HostApi.h"
#include "MailboxPath.h"
#include "SplitQueue.h"

namespace {

// Mailbox directory + entry + ".qnl". An entry that does not fit the path buffer
// is passed over: a cut path would name another file.
void AddEntry(const char* entry) {
    char path[kPathBufferSize];
    if (BuildMailboxPath(path, nullptr, entry, nullptr, ".qnl")) {
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
