#pragma once
// Menu commands handed out to plug-ins by _VhxRegistCallback@8: each registration
// gets a fresh command identifier; WM_COMMAND of that identifier calls the callback
// with the window and the registered value.

#include <windows.h>

#include <vector>

typedef LRESULT(WINAPI* HostCommandCallback)(HWND window, LPARAM value);

class CommandRegistry {
public:
    // First identifier handed out; the host's own commands stay below it.
    static constexpr int kFirstId = 0xA000;
    static constexpr int kLastId = 0xEFFF;

    // The new identifier, or 0 for a null callback or when the range is used up.
    int Register(HostCommandCallback callback, LPARAM value);
    // True (and the result in *result) when the identifier belongs to a callback.
    bool Dispatch(int id, HWND window, LRESULT* result) const;
    bool Owns(int id) const;
    size_t Count() const { return entries_.size(); }
    void Clear() { entries_.clear(); }

private:
    struct Entry {
        int id;
        HostCommandCallback callback;
        LPARAM value;
    };
    std::vector<Entry> entries_;
};
