#include "SheetTestDriver.h"

#include <commctrl.h>

#include <atomic>

#include <cstdio>
#include <cstring>
#include <vector>

#include "PikunosetResources.h"
#include "ProgramFolder.h"
#include "AnsiText.h"
#include "WindowEvents.h"

namespace {

typedef int(WINAPI* SetUpFn)(const char* mailboxDir, const char* accountPath);

const char kHostClass[] = "PikunoSheetTestHost";

// The window the host thread last gave the focus to, as its CBT hook saw it (one
// host thread at a time in a test program).
std::atomic<HWND> gLastFocused{nullptr};

LRESULT CALLBACK RecordFocus(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_SETFOCUS && wParam) {
        gLastFocused = reinterpret_cast<HWND>(wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The property sheet's tab control (its identifier in every sheet).
const int kSheetTabId = 0x3020;

}  // namespace

SheetTestDriver::~SheetTestDriver() {
    if (thread_) {
        if (!Finished()) {
            // Close anything the test left open: message boxes first, then the sheet.
            for (int i = 0; i < 5 && !Finished(); ++i) {
                HWND box = FindShownWindow(MessageBoxTitled("Pikunoset", threadId_));
                if (box) {
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                    WaitGone(box, 1000);
                }
                if (sheet_) {
                    PostMessageA(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                }
                WaitForSingleObject(thread_, 1000);
            }
        }
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    if (hostReady_) {
        CloseHandle(hostReady_);
    }
    if (library_) {
        FreeLibrary(library_);
    }
}

DWORD WINAPI SheetTestDriver::HostThreadProc(void* self) {
    SheetTestDriver* driver = static_cast<SheetTestDriver*>(self);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    driver->host_ = CreateWindowA(kHostClass, "Quenla", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetActiveWindow(driver->host_);
    gLastFocused = nullptr;
    HHOOK focusHook = SetWindowsHookExA(WH_CBT, RecordFocus, nullptr, GetCurrentThreadId());
    SetEvent(driver->hostReady_);

    SetUpFn setUp = reinterpret_cast<SetUpFn>(reinterpret_cast<void*>(GetProcAddress(driver->library_, "SetUp")));
    if (setUp) {
        if (driver->nullArguments_) {
            driver->result_ = setUp(nullptr, nullptr);
        } else {
            driver->result_ = setUp(driver->mailbox_.c_str(), driver->accountPath_.c_str());
        }
    }
    if (focusHook) {
        UnhookWindowsHookEx(focusHook);
    }
    DestroyWindow(driver->host_);
    return 0;
}

bool SheetTestDriver::Start(const char* mailboxDir, const char* accountPath) {
    library_ = LoadLibraryA((ProgramFolder() + "Pikunoset.dll").c_str());
    if (!library_) {
        return false;
    }
    nullArguments_ = !mailboxDir && !accountPath;
    mailbox_ = mailboxDir ? mailboxDir : "";
    accountPath_ = accountPath ? accountPath : "";
    hostReady_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, HostThreadProc, this, 0, &threadId_);
    if (!thread_) {
        return false;
    }
    WaitForSingleObject(hostReady_, 10000);
    WindowMatch sheet;
    sheet.item = kSheetTabId;
    sheet.thread = threadId_;
    WaitForWindows([&] {
        sheet_ = FindShownWindow(sheet);
        return sheet_ != nullptr || Finished();
    }, threadId_, 10000);
    if (!sheet_) {
        seen_ = "no " + sheet.Describe() + "; windows of this process:\n";
        for (HWND window : ShownTopLevelWindows()) {
            seen_ += "  " + DescribeWindow(window) + "\n";
        }
        return false;
    }
    // The first page is created with the sheet; wait until it is up.
    return WaitForWindows([&] { return CurrentPage() != nullptr; }, threadId_);
}

HWND SheetTestDriver::Page(int index) const {
    return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0));
}

HWND SheetTestDriver::CurrentPage() const {
    return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
}

bool SheetTestDriver::SelectPage(int index) {
    SendMessageA(sheet_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    HWND page = Page(index);
    return page != nullptr && CurrentPage() == page;
}

void SheetTestDriver::PostSelectPage(int index) {
    PostMessageA(sheet_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void SheetTestDriver::Click(int page, int id) const {
    SendMessageA(Control(page, id), BM_CLICK, 0, 0);
}

void SheetTestDriver::SetText(int page, int id, const char* text) const {
    SendMessageA(Control(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void SheetTestDriver::SelectAccount(int item) const {
    HWND list = Control(1, IDC_ACCOUNT_LIST);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    SendMessageA(Page(1), WM_COMMAND, MAKEWPARAM(IDC_ACCOUNT_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void SheetTestDriver::PostSelectAccount(int item) const {
    HWND list = Control(1, IDC_ACCOUNT_LIST);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    PostMessageA(Page(1), WM_COMMAND, MAKEWPARAM(IDC_ACCOUNT_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void SheetTestDriver::PressOk() const {
    PostMessageA(sheet_, PSM_PRESSBUTTON, PSBTN_OK, 0);
}

void SheetTestDriver::PressCancel() const {
    PostMessageA(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void SheetTestDriver::PressCloseBox() const {
    PostMessageA(sheet_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool SheetTestDriver::Finished() const {
    return thread_ && WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}

int SheetTestDriver::WaitResult(DWORD milliseconds) {
    if (!thread_ || WaitForSingleObject(thread_, milliseconds) != WAIT_OBJECT_0) {
        return -1000;
    }
    return result_;
}

HWND SheetTestDriver::WaitMessageBox(const char* title, DWORD milliseconds) const {
    HWND box = nullptr;
    WaitForWindows([&] {
        box = FindShownWindow(MessageBoxTitled(title, threadId_));
        return box != nullptr;
    }, threadId_, milliseconds);
    return box;
}

std::string SheetTestDriver::MessageBoxText(HWND box) {
    char text[512] = {};
    // The message box shows its text in the static control 0xFFFF.
    ansi::DialogItemText(box, 0xFFFF, text, sizeof text);
    return text;
}

HWND SheetTestDriver::FocusWindow() const {
    return gLastFocused.load();
}

bool SheetTestDriver::SaveScreenshot(const char* path) const {
    return SaveWindowPicture(sheet_, path);
}

bool SaveWindowPicture(HWND window, const char* path) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        return false;
    }
    // A copy of the screen: on top for the moment, so that another test program's
    // window at the same place does not hide it (PrintWindow leaves out the
    // controls under Wine).
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Once the window's thread answers, it has handled what the redraw asked of it.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    GdiFlush();
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SelectObject(memory, old);
    DWORD rowSize = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    DWORD imageSize = rowSize * static_cast<DWORD>(height);
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof info.bmiHeader;
    fileHeader.bfSize = fileHeader.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    bool saved = false;
    FILE* file = fopen(path, "wb");
    if (file && bits) {
        fwrite(&fileHeader, sizeof fileHeader, 1, file);
        fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file);
        fwrite(bits, 1, imageSize, file);
        saved = true;
    }
    if (file) {
        fclose(file);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}
