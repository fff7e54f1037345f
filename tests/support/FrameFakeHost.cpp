#include "FrameFakeHost.h"

std::string FrameFakeHost::mailbox;
std::string FrameFakeHost::account;
std::string FrameFakeHost::currentFolder;
std::vector<FakeRegistration> FrameFakeHost::registrations;
std::vector<HWND> FrameFakeHost::accountWindows;
std::vector<HWND> FrameFakeHost::folderWindows;
int FrameFakeHost::mailboxCalls = 0;

namespace {

int WINAPI FakeRegistCallback(VhxCommandCallback callback, LPARAM value) {
    const int id = FrameFakeHost::kFirstCommandId + static_cast<int>(FrameFakeHost::registrations.size());
    FrameFakeHost::registrations.push_back({callback, value, id});
    return id;
}

LPCSTR WINAPI FakeGetMailbox() {
    ++FrameFakeHost::mailboxCalls;
    return FrameFakeHost::mailbox.c_str();
}

LPCSTR WINAPI FakeGetAccount(HWND window) {
    FrameFakeHost::accountWindows.push_back(window);
    return FrameFakeHost::account.c_str();
}

LPCSTR WINAPI FakeFolderGetCurrentFolder(HWND window) {
    FrameFakeHost::folderWindows.push_back(window);
    return FrameFakeHost::currentFolder.c_str();
}

}  // namespace

FrameFakeHost::FrameFakeHost() {
    mailbox = "C:\\Quenla\\";
    account = "C:\\Quenla\\Account1\\";
    currentFolder = "C:\\Quenla\\Account1\\inbox.box";
    registrations.clear();
    accountWindows.clear();
    folderWindows.clear();
    mailboxCalls = 0;
    gHostApi = HostApi();
    gHostApi.VhxRegistCallback = FakeRegistCallback;
    gHostApi.VhxGetMailbox = FakeGetMailbox;
    gHostApi.VhxGetAccount = FakeGetAccount;
    gHostApi.VhxFolderGetCurrentFolder = FakeFolderGetCurrentFolder;
}

FrameFakeHost::~FrameFakeHost() {
    gHostApi = HostApi();
}
