#pragma once
// A fake host for the frame's tests: fills gHostApi with functions that record
// what the plug-in asked and answer from plain fields.

#include <windows.h>

#include <string>
#include <vector>

#include "HostApi.h"

struct FakeRegistration {
    VhxCommandCallback callback;
    LPARAM value;
    int id;
};

class FrameFakeHost {
public:
    // Installs the fakes into gHostApi; the destructor empties the table again.
    FrameFakeHost();
    ~FrameFakeHost();
    FrameFakeHost(const FrameFakeHost&) = delete;
    FrameFakeHost& operator=(const FrameFakeHost&) = delete;

    // What the fakes answer.
    static std::string mailbox;
    static std::string account;
    static std::string currentFolder;
    // What they were asked.
    static std::vector<FakeRegistration> registrations;
    static std::vector<HWND> accountWindows;
    static std::vector<HWND> folderWindows;
    static int mailboxCalls;
    static std::vector<std::string> importFolders;  // destination of each import
    static std::vector<std::string> moves;          // "entry -> folder"
    static std::vector<std::string> deletions;
    // Identifiers handed out by the registration, counting up from here.
    static const int kFirstCommandId = 40001;
};
