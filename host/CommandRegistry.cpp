#include "CommandRegistry.h"

int CommandRegistry::Register(HostCommandCallback callback, LPARAM value) {
    int id = kFirstId + static_cast<int>(entries_.size());
    if (!callback || id > kLastId) {
        return 0;
    }
    entries_.push_back(Entry{id, callback, value});
    return id;
}

bool CommandRegistry::Owns(int id) const {
    return id >= kFirstId && id < kFirstId + static_cast<int>(entries_.size());
}

bool CommandRegistry::Dispatch(int id, HWND window, LRESULT* result) const {
    if (!Owns(id)) {
        return false;
    }
    const Entry& entry = entries_[id - kFirstId];
    LRESULT answer = entry.callback(window, entry.value);
    if (result) {
        *result = answer;
    }
    return true;
}
