#pragma once
// The host plug-in API as the stand-in host implements it. Exported from
// Quenla.exe under the decorated names "_Vhx...@N" (Quenla-*.def); tests call them
// directly. Strings are Shift_JIS; returned strings live until the next call of the
// same function.

#include <windows.h>

#include "CommandRegistry.h"

extern "C" {
int WINAPI VhxRegistCallback(HostCommandCallback callback, LPARAM value);
UINT_PTR WINAPI VhxSetTimer(HostCommandCallback callback, LPARAM value, UINT elapse);
BOOL WINAPI VhxKillTimer(UINT_PTR timer);
BOOL WINAPI VhxIsBusy();
BOOL WINAPI VhxExecQuenla(UINT command);
LPCSTR WINAPI VhxGetMailbox();
LPCSTR WINAPI VhxGetAccount(HWND window);
LPCSTR WINAPI VhxGetFolderName(HWND window);
BOOL WINAPI VhxImportFile(LPCSTR file, LPCSTR folder, DWORD flags);
BOOL WINAPI VhxSaveMail(HWND window, LPCSTR entry, LPCSTR file, DWORD flags);
BOOL WINAPI VhxMoveMail(LPCSTR entry, LPCSTR folder);
BOOL WINAPI VhxMarkMail(LPCSTR entry, DWORD mark, BOOL unread);
BOOL WINAPI VhxDeleteMail(LPCSTR entry);
LPCSTR WINAPI VhxFolderGetCurrentFolder(HWND window);
LPCSTR WINAPI VhxFolderGetCurrentEntry(HWND window);
LPCSTR WINAPI VhxFolderGetSelectEntry(HWND window, BOOL first);
BOOL WINAPI VhxFolderChangePassword(HWND window, LPCSTR password);
BOOL WINAPI VhxFolderMailTo(HWND window, LPCSTR address);
BOOL WINAPI VhxFolderReply(HWND window, LPCSTR entry);
BOOL WINAPI VhxFolderForward(HWND window, LPCSTR entry);
BOOL WINAPI VhxFolderOpenMail(HWND window, LPCSTR entry, BOOL newWindow);
LPCSTR WINAPI VhxSendGetText(HWND window, BOOL whole);
LPCSTR WINAPI VhxSendGetHeader(HWND window);
BOOL WINAPI VhxSendSetText(HWND window, LPCSTR text);
BOOL WINAPI VhxSendSetHeader(HWND window, LPCSTR header);
HWND WINAPI VhxSendGetEditor(HWND window);
LPCSTR WINAPI VhxViewGetText(HWND window);
LPCSTR WINAPI VhxViewGetHeader(HWND window);
BOOL WINAPI VhxViewSetText(HWND window, LPCSTR text);
LPCSTR WINAPI VhxViewGetPath(HWND window);
HWND WINAPI VhxViewGetEditor(HWND window);
BOOL WINAPI VhxViewChangeMail(HWND window, int step);
int WINAPI VhxSjisToJis(LPCSTR source, LPSTR buffer, int bufferSize);
int WINAPI VhxJisToSjis(LPCSTR source, LPSTR buffer, int bufferSize);
}

// Host side of the exports: what happened is reported through this hook (the
// non-interactive mode prints it). Null: silent.
extern void (*gHostApiTrace)(const char* line);
