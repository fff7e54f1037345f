#include "HostTimers.h"

#include "HostContext.h"

HostTimers gHostTimers;

UINT_PTR HostTimers::Start(HostCommandCallback callback, LPARAM value, UINT elapse) {
    if (!callback || !gHost.folderWindow) {
        return 0;
    }
    UINT_PTR id = nextId_++;
    if (!SetTimer(gHost.folderWindow, id, elapse, nullptr)) {
        return 0;
    }
    timers_[id] = Timer{callback, value};
    return id;
}

bool HostTimers::Stop(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) {
        return false;
    }
    KillTimer(gHost.folderWindow, id);
    timers_.erase(it);
    return true;
}

bool HostTimers::Fire(HWND window, UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) {
        return false;
    }
    Timer timer = it->second;  // the callback may kill its own timer
    timer.callback(window, timer.value);
    return true;
}
