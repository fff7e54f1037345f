#include "FakeHost.h"

#include "FileBytes.h"

std::string FakeHost::mailbox;
std::string FakeHost::account;
std::string FakeHost::currentFolder;
bool FakeHost::busy = false;
std::function<void()> FakeHost::importHook;
std::vector<BOOL> FakeHost::importAnswers;
std::vector<HostCall> FakeHost::calls;
int FakeHost::mailboxCalls = 0;

namespace {

std::vector<std::string> gSelection;
bool gRepeatLast = false;
std::size_t gNextSelection = 0;

const char* OrNull(LPCSTR text) {
    return text ? text : "(null)";
}

HostCall& Record(const char* function, HWND window = nullptr) {
    HostCall call;
    call.function = function;
    call.window = window;
    FakeHost::calls.push_back(call);
    return FakeHost::calls.back();
}

int WINAPI FakeRegistCallback(VhxCommandCallback callback, LPARAM value) {
    const int id = FakeHost::kFirstCommandId + static_cast<int>(FakeHost::CallsOf("RegistCallback").size());
    HostCall& call = Record("RegistCallback");
    call.callback = callback;
    call.value = value;
    call.id = id;
    return id;
}

BOOL WINAPI FakeIsBusy() {
    Record("IsBusy");
    return FakeHost::busy ? TRUE : FALSE;
}

LPCSTR WINAPI FakeGetMailbox() {
    ++FakeHost::mailboxCalls;
    return FakeHost::mailbox.c_str();
}

LPCSTR WINAPI FakeGetAccount(HWND window) {
    Record("GetAccount", window);
    return FakeHost::account.c_str();
}

LPCSTR WINAPI FakeFolderGetCurrentFolder(HWND window) {
    Record("GetCurrentFolder", window);
    return FakeHost::currentFolder.c_str();
}

LPCSTR WINAPI FakeGetSelectEntry(HWND window, BOOL first) {
    Record("GetSelectEntry", window).first = first ? "1" : "0";
    if (first) {
        gNextSelection = 0;
    }
    if (gNextSelection < gSelection.size()) {
        return gSelection[gNextSelection++].c_str();
    }
    if (gRepeatLast && !gSelection.empty()) {
        return gSelection.back().c_str();
    }
    return nullptr;
}

BOOL WINAPI FakeImportFile(LPCSTR file, LPCSTR folder, DWORD flags) {
    HostCall& call = Record("ImportFile");
    call.first = OrNull(file);
    call.second = OrNull(folder);
    call.flags = flags;
    call.bytes = ReadFileBytes(call.first);  // the plug-in deletes the file afterwards
    if (FakeHost::importHook) {
        FakeHost::importHook();
    }
    const std::size_t index = FakeHost::CallsOf("ImportFile").size() - 1;
    return index < FakeHost::importAnswers.size() ? FakeHost::importAnswers[index] : TRUE;
}

BOOL WINAPI FakeMoveMail(LPCSTR entry, LPCSTR folder) {
    HostCall& call = Record("MoveMail");
    call.first = OrNull(entry);
    call.second = OrNull(folder);
    return TRUE;
}

BOOL WINAPI FakeDeleteMail(LPCSTR entry) {
    Record("DeleteMail").first = OrNull(entry);
    return TRUE;
}

}  // namespace

FakeHost::FakeHost(const std::string& mailboxAnswer) {
    mailbox = mailboxAnswer;
    account = mailboxAnswer + "Account1\\";
    currentFolder = mailboxAnswer + "Account1\\inbox.box";
    busy = false;
    SetSelection({});
    importHook = nullptr;
    importAnswers.clear();
    calls.clear();
    mailboxCalls = 0;
    gHostApi = HostApi();
    gHostApi.VhxRegistCallback = FakeRegistCallback;
    gHostApi.VhxIsBusy = FakeIsBusy;
    gHostApi.VhxGetMailbox = FakeGetMailbox;
    gHostApi.VhxGetAccount = FakeGetAccount;
    gHostApi.VhxFolderGetCurrentFolder = FakeFolderGetCurrentFolder;
    gHostApi.VhxFolderGetSelectEntry = FakeGetSelectEntry;
    gHostApi.VhxImportFile = FakeImportFile;
    gHostApi.VhxMoveMail = FakeMoveMail;
    gHostApi.VhxDeleteMail = FakeDeleteMail;
}

FakeHost::~FakeHost() {
    gHostApi = HostApi();
    calls.clear();
    SetSelection({});
    importHook = nullptr;
    importAnswers.clear();
}

void FakeHost::SetSelection(const std::vector<std::string>& entries, bool repeatLast) {
    gSelection = entries;
    gRepeatLast = repeatLast;
    gNextSelection = 0;
}

std::vector<HostCall> FakeHost::CallsOf(const char* function) {
    std::vector<HostCall> found;
    for (const HostCall& call : calls) {
        if (call.function == function) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<HWND> FakeHost::WindowsOf(const char* function) {
    std::vector<HWND> windows;
    for (const HostCall& call : calls) {
        if (call.function == function) {
            windows.push_back(call.window);
        }
    }
    return windows;
}
