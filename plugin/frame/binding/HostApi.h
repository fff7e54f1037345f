#pragma once
// The host plug-in API as the plug-in sees it: the table of the 34 functions bound
// from the host's executable at load, and the module handles.

#include <windows.h>

#include "HostApiList.h"

// A menu command: the host calls it with the window the command was chosen in and
// the value registered with it. The host does not use the result.
typedef LRESULT(WINAPI* VhxCommandCallback)(HWND window, LPARAM value);

// The nine functions the plug-in calls, typed. "32-bit value" arguments are
// LPARAM so that handles (the folder menu) survive on the 64-bit build.
typedef int(WINAPI* VhxRegistCallbackFn)(VhxCommandCallback callback, LPARAM value);
typedef BOOL(WINAPI* VhxIsBusyFn)();
typedef LPCSTR(WINAPI* VhxGetMailboxFn)();
typedef LPCSTR(WINAPI* VhxGetAccountFn)(HWND window);
typedef LPCSTR(WINAPI* VhxFolderGetCurrentFolderFn)(HWND window);
typedef LPCSTR(WINAPI* VhxFolderGetSelectEntryFn)(HWND window, BOOL first);
typedef BOOL(WINAPI* VhxImportFileFn)(LPCSTR file, LPCSTR folder, DWORD flags);
typedef BOOL(WINAPI* VhxMoveMailFn)(LPCSTR entry, LPCSTR folder);
typedef BOOL(WINAPI* VhxDeleteMailFn)(LPCSTR entry);

// One slot per host function, in binding order. The plug-in calls only the nine
// typed members; the others are bound so that a host without them is refused.
struct HostApi {
    VhxRegistCallbackFn VhxRegistCallback;
    FARPROC VhxSetTimer;
    FARPROC VhxKillTimer;
    VhxIsBusyFn VhxIsBusy;
    FARPROC VhxExecQuenla;
    VhxGetMailboxFn VhxGetMailbox;
    VhxGetAccountFn VhxGetAccount;
    FARPROC VhxGetFolderName;
    VhxImportFileFn VhxImportFile;
    FARPROC VhxSaveMail;
    VhxMoveMailFn VhxMoveMail;
    FARPROC VhxMarkMail;
    VhxDeleteMailFn VhxDeleteMail;
    VhxFolderGetCurrentFolderFn VhxFolderGetCurrentFolder;
    FARPROC VhxFolderGetCurrentEntry;
    VhxFolderGetSelectEntryFn VhxFolderGetSelectEntry;
    FARPROC VhxFolderChangePassword;
    FARPROC VhxFolderMailTo;
    FARPROC VhxFolderReply;
    FARPROC VhxFolderForward;
    FARPROC VhxFolderOpenMail;
    FARPROC VhxSendGetText;
    FARPROC VhxSendGetHeader;
    FARPROC VhxSendSetText;
    FARPROC VhxSendSetHeader;
    FARPROC VhxSendGetEditor;
    FARPROC VhxViewGetText;
    FARPROC VhxViewGetHeader;
    FARPROC VhxViewSetText;
    FARPROC VhxViewGetPath;
    FARPROC VhxViewGetEditor;
    FARPROC VhxViewChangeMail;
    FARPROC VhxSjisToJis;
    FARPROC VhxJisToSjis;
};

// Filled by BindHostApi; tests fill it with fakes directly.
extern HostApi gHostApi;
// The host executable as loaded by BindHostApi; null while unbound.
extern HMODULE gHostModule;
// The plug-in's own module: dialogs, strings and icons are loaded from it.
extern HINSTANCE gPluginModule;

// Loads "Quenla.exe" and binds all 34 functions; on a missing one releases the
// module and fails. Succeeds at once when already bound.
bool BindHostApi();

// Releases the host module (unless the system is Windows 95) and clears the handle.
void ReleaseHostApi();

// The rule of ReleaseHostApi, apart so that every platform id and minor version is
// tested: NT (platform id 2) and Windows 9x above 95 (platform id 1, minor > 0).
bool ShouldReleaseHostModule(const OSVERSIONINFOA& version);
