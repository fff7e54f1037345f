#include "PendingRetrieval.h"

#include "BoundaryGuard.h"
#include "HostApi.h"

namespace {

// The timer and the thread it belongs to: a thread timer can be killed only
// from there.
UINT_PTR gWatchTimer = 0;
DWORD gWatchThread = 0;
int gIdleTicks = 0;
RetrievalDropped gOnDropped = nullptr;

bool HostBusy() {
    return gHostApi.VhxIsBusy && gHostApi.VhxIsBusy() != FALSE;
}

void CALLBACK OnWatchTick(HWND, UINT, UINT_PTR timer, DWORD) {
    // Windows calls in here: nothing may unwind into the host's message loop.
    CallGuardedVoid([timer] {
        if (timer != gWatchTimer) {
            KillTimer(nullptr, timer);  // left from a watch that ended
            return;
        }
        // Busy: retrieving, slowly perhaps, before its first mail, or busy
        // with something else the command will wait for.
        if (HostBusy()) {
            gIdleTicks = 0;
            return;
        }
        if (++gIdleTicks < kIdleTicksBeforeDropped) {
            return;
        }
        RetrievalDropped onDropped = gOnDropped;
        StopWatchingPendingRetrieval();
        if (onDropped) {
            onDropped();
        }
    });
}

}  // namespace

void WatchPendingRetrieval(RetrievalDropped onDropped) {
    StopWatchingPendingRetrieval();
    gOnDropped = onDropped;
    gWatchTimer = SetTimer(nullptr, 0, kPendingRetrievalTickMs, OnWatchTick);
    gWatchThread = gWatchTimer ? GetCurrentThreadId() : 0;
}

void NoteRetrievalReached() {
    StopWatchingPendingRetrieval();
}

void StopWatchingPendingRetrieval() {
    if (gWatchTimer && gWatchThread == GetCurrentThreadId()) {
        KillTimer(nullptr, gWatchTimer);
    }
    gWatchTimer = 0;
    gWatchThread = 0;
    gIdleTicks = 0;
    gOnDropped = nullptr;
}

bool WatchingPendingRetrieval() {
    return gWatchTimer != 0;
}

