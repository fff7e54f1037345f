#pragma once
// Activates the library's own manifest (common controls 6) for as long as the
// object lives, so that the sheet's controls are created from that version
// whatever the host process uses. On systems without activation contexts it does
// nothing and the sheet uses the classic controls.

#include <windows.h>

class CommonControlsContext {
public:
    CommonControlsContext(HINSTANCE module, int manifestId);
    ~CommonControlsContext();
    CommonControlsContext(const CommonControlsContext&) = delete;
    CommonControlsContext& operator=(const CommonControlsContext&) = delete;

    bool IsActive() const { return active_; }
    // Ends the activation before the object goes (the context is released with it).
    void Deactivate();

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};
