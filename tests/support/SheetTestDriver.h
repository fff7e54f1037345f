#pragma once
// Runs the settings library's SetUp on a thread of its own (standing in for the
// host's user-interface thread, with an active host window) and drives the sheet
// from the test's thread with messages only: PSM_* to the sheet, BM_CLICK to
// buttons, CB_SETCURSEL plus CBN_SELCHANGE to the account list.

#include <windows.h>

#include <string>

#include "SheetControls.h"
#include "WindowWatcher.h"

class SheetTestDriver : public SheetControls {
public:
    SheetTestDriver() = default;
    ~SheetTestDriver() override;  // closes whatever is still open and unloads the library
    SheetTestDriver(const SheetTestDriver&) = delete;
    SheetTestDriver& operator=(const SheetTestDriver&) = delete;

    // Loads Pikunoset.dll from the test program's folder, calls SetUp(mailbox,
    // accountPath) on the host thread and waits for the sheet (a dialog of that
    // thread holding a property sheet's tab control). False on failure (SetUp may
    // then have returned already: see Result); Seen() then says what was there.
    bool Start(const char* mailboxDir, const char* accountPath);

    HWND Sheet() const { return sheet_; }
    // The windows of this process when the sheet was looked for, for failure messages.
    const std::string& Seen() const { return seen_; }
    HWND HostWindow() const { return host_; }
    DWORD HostThread() const { return threadId_; }
    HWND Page(int index) const override;
    HWND CurrentPage() const;

    // Makes page index the top page and waits for it; false when refused.
    bool SelectPage(int index);
    // Posts the tab change without waiting (it may be refused with a message box).
    void PostSelectPage(int index);

    void Click(int page, int id) const;
    void SetText(int page, int id, const char* text) const;
    // Selects item in the account list and tells the page, as the list does.
    void SelectAccount(int item) const;
    void PostSelectAccount(int item) const;

    void PressOk() const;
    void PressCancel() const;
    void PressCloseBox() const;
    // Waits for SetUp to return; -1000 when it did not within the time.
    int WaitResult(DWORD milliseconds = 10000);
    bool Finished() const;

    // A message box of the host thread titled title; null when none came in time.
    HWND WaitMessageBox(const char* title, DWORD milliseconds = 5000) const;
    static std::string MessageBoxText(HWND box);
    // The window the host thread last gave the keyboard focus to (SetFocus, seen by
    // a CBT hook): a window another test program brings to the front meanwhile
    // takes the focus from this thread, but not this answer.
    HWND FocusWindow() const;

    // Saves the sheet's current picture as a BMP file (for looking at, not asserting).
    bool SaveScreenshot(const char* path) const;

    int result_ = -1000;
    HWND host_ = nullptr;

private:
    static DWORD WINAPI HostThreadProc(void* self);

    HMODULE library_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE hostReady_ = nullptr;
    HWND sheet_ = nullptr;
    std::string mailbox_;
    std::string accountPath_;
    bool nullArguments_ = false;
    std::string seen_;
};

// Saves what the screen shows of window as a BMP file (for looking at, not
// asserting); on top for the moment, so that another program's window at the same
// place does not hide it (PrintWindow leaves out the controls under Wine).
bool SaveWindowPicture(HWND window, const char* path);

