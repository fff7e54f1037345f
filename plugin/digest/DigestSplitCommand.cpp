#include <string>
#include <unordered_set>

#include "BoundaryGuard.h"
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

// Splits every selected mail: the host gives the first with 1 and the next ones
// with 0, until it has none left. A host that gives the same entry again ends the
// list, so that the loop always ends.
void SplitSelectedMails(HWND window) {
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
}

}  // namespace

// A command callback of the host: nothing may unwind into it. When memory runs
// short the command ends where it was; the queue is emptied all the same, so
// that no mail already split is split a second time by a later run.
LRESULT WINAPI DigestSplitCommand(HWND window, LPARAM /*value*/) {
    CallGuardedVoid([&] { SplitSelectedMails(window); });
    gSplitQueue.Clear();
    return 0;
}
