#pragma once
// What the user sees of a running scan: the host window stays disabled but keeps
// repainting (the session's waits dispatch the thread's messages), and after
// about half a second a small window owned by it tells how far the scan is
// ("n / N") with a cancel button.

#include <windows.h>

#include <cstdint>

// Shown when a scan has run for this long.
constexpr DWORD kScanProgressDelayMs = 500;

// The progress window's caption in the ANSI code page (tests look for it).
extern const char kScanProgressCaption[];
// Shown, owned by the host window, when the scan broke or timed out.
extern const char kScanFailedText[];

// Watches one scan from construction to destruction: installs the session's
// message pump and the scan's progress callback, and takes both away again.
class ScanProgress {
public:
    explicit ScanProgress(HWND owner);
    ~ScanProgress();
    ScanProgress(const ScanProgress&) = delete;
    ScanProgress& operator=(const ScanProgress&) = delete;

    // True once the user pressed cancel, closed the window, or WM_QUIT arrived.
    bool Cancelled() const { return cancelled_; }
    // Closes the window and gives the host window back its input; the destructor
    // does it too. Call it before showing anything else to the user.
    void Finish();

    // For the dialog procedure.
    void Cancel() { cancelled_ = true; }

private:
    static bool PumpThunk(void* self);
    static bool ProgressThunk(void* self, int32_t done, int32_t total);
    bool Pump();
    void Show();
    void Paint();

    HWND owner_;
    HWND window_ = nullptr;
    bool ownerWasEnabled_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    DWORD start_;
    DWORD lastPump_;
    DWORD lastPaint_ = 0;
    int32_t done_ = 0;
    int32_t total_ = 0;
    bool dirty_ = false;
};

INT_PTR CALLBACK ScanProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
