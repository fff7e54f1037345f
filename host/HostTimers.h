#pragma once
// Timers that plug-ins start with _VhxSetTimer@12: Windows timers of the folder
// window whose WM_TIMER calls the plug-in's callback with (window, value).

#include <windows.h>

#include <map>

#include "CommandRegistry.h"

class HostTimers {
public:
    // The timer's identifier, or 0 without a folder window or callback.
    UINT_PTR Start(HostCommandCallback callback, LPARAM value, UINT elapse);
    bool Stop(UINT_PTR id);
    // WM_TIMER of the folder window: true when the timer was one of these.
    bool Fire(HWND window, UINT_PTR id);

private:
    struct Timer {
        HostCommandCallback callback;
        LPARAM value;
    };
    std::map<UINT_PTR, Timer> timers_;
    UINT_PTR nextId_ = 0x7100;
};

extern HostTimers gHostTimers;
