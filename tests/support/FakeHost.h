#pragma once
// A fake host: fills gHostApi with functions that record what the plug-in asked,
// in order, and answer from plain fields. The functions are plain Win32
// callbacks, so the state is process-wide: one FakeHost at a time.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "HostApi.h"

struct HostCall {
    // "RegistCallback", "IsBusy", "GetAccount", "GetCurrentFolder", "GetSelectEntry",
    // "ImportFile", "MoveMail" or "DeleteMail".
    std::string function;
    std::string first;   // file / entry / "1" or "0" for the selection
    std::string second;  // folder
    DWORD flags = 0;
    std::string bytes;  // the imported file's content, copied during the call
    HWND window = nullptr;
    VhxCommandCallback callback = nullptr;  // a registration's callback, value and identifier
    LPARAM value = 0;
    int id = 0;
};

class FakeHost {
public:
    // Installs the fakes into gHostApi and forgets earlier calls and answers: the
    // mailbox is mailboxAnswer, the account its Account1\, the current folder
    // Account1\inbox.box, no selection. The destructor empties the table again.
    explicit FakeHost(const std::string& mailboxAnswer = "C:\\Quenla\\");
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // What the fakes answer.
    static std::string mailbox;
    static std::string account;
    static std::string currentFolder;
    // What _VhxIsBusy@0 answers (false: the host is not retrieving).
    static bool busy;
    // The entries _VhxFolderGetSelectEntry@8 returns: the first for (window, 1),
    // the next ones for (window, 0), then null. `repeatLast` makes it return the
    // last one forever instead of null, as a host that ignores the argument might.
    static void SetSelection(const std::vector<std::string>& entries, bool repeatLast = false);
    // Called inside every import, after the bytes were copied.
    static std::function<void()> importHook;
    // What the imports answer, in order (the host refuses with FALSE when its store
    // is full); TRUE for every import past the end.
    static std::vector<BOOL> importAnswers;

    // What they were asked. _VhxGetMailbox@0, asked for every path the plug-in
    // builds, is only counted.
    static std::vector<HostCall> calls;
    static int mailboxCalls;
    static std::vector<HostCall> CallsOf(const char* function);
    // The windows the calls of one function were asked for, in order.
    static std::vector<HWND> WindowsOf(const char* function);
    // Identifiers handed out by the registration, counting up from here.
    static const int kFirstCommandId = 40001;
};
