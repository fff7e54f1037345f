#include "Retrieval.h"

#include "BoundaryGuard.h"
#include "DialUp.h"
#include "PendingRetrieval.h"
#include "SelectiveReceive.h"
#include "SplitQueue.h"
#include "UidlList.h"

namespace frame {

int RecFilter(const char* mailPath) {
    NoteRetrievalReached();
    gSplitQueue.Add(mailPath);
    return gUidlList.GetCount() > 0 && gDeleteOnServer != 0 ? 1 : 0;
}

void EndRetrieval(HWND window) {
    NoteRetrievalReached();
    if (gDialUpConnection) {
        HangUp();
    }
    gDeleteOnServer = 0;
    gUidlList.RemoveAll();
    // The queue is emptied even when a split ran out of memory: mails kept for
    // the next retrieval would be split, and imported, a second time.
    CallGuardedVoid([&] { gSplitQueue.Process(window); });
    gSplitQueue.Clear();
}

}  // namespace frame
