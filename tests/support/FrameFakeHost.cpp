#include "FrameFakeHost.h"

std::string FrameFakeHost::mailbox;
std::string FrameFakeHost::account;
std::string FrameFakeHost::currentFolder;
std::vector<FakeRegistration> FrameFakeHost::registrations;
std::vector<HWND> FrameFakeHost::accountWindows;
std::vector<HWND> FrameFakeHost::folderWindows;
int FrameFakeHost::mailboxCalls = 0;
std::vector<std::string> FrameFakeHost::importFolders;
std::vector<std::string> FrameFakeHost::moves;
std::vector<std::string> FrameFakeHost::deletions;

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

BOOL WINAPI FakeImportFile(LPCSTR, LPCSTR folder, DWORD) {
    FrameFakeHost::importFolders.push_back(folder ? folder : "(null)");
    return TRUE;
}

BOOL WINAPI FakeMoveMail(LPCSTR entry, LPCSTR folder) {
    FrameFakeHost::moves.push_back(std::string(entry ? entry : "(null)") + " -> " + (folder ? folder : "(null)"));
    return TRUE;
}

BOOL WINAPI FakeDeleteMail(LPCSTR entry) {
    FrameFakeHost::deletions.push_back(entry ? entry : "(null)");
    return TRUE;
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
    importFolders.clear();
    moves.clear();
    deletions.clear();
    gHostApi = HostApi();
    gHostApi.VhxRegistCallback = FakeRegistCallback;
    gHostApi.VhxGetMailbox = FakeGetMailbox;
    gHostApi.VhxGetAccount = FakeGetAccount;
    gHostApi.VhxFolderGetCurrentFolder = FakeFolderGetCurrentFolder;
    gHostApi.VhxImportFile = FakeImportFile;
    gHostApi.VhxMoveMail = FakeMoveMail;
    gHostApi.VhxDeleteMail = FakeDeleteMail;
}

FrameFakeHost::~FrameFakeHost() {
    gHostApi = HostApi();
}
