// A rasapi32.dll for the end-to-end runs of the stand-in host: answers come from
// environment variables, and every call is written as one line to a log file, so
// that a script outside the process can set the scene and check what happened.
//   PIKUNO_E2E_RAS_DIAL    result of RasDialA (decimal; default 0 = connected)
//   PIKUNO_E2E_RAS_HANDLE  connection handle RasDialA hands out (default 0x5150)
//   PIKUNO_E2E_RAS_LOG     the log file (lines "dial <entry> -> <result>",
//                          "hangup <handle>"); no log when unset

#include <windows.h>
#include <ras.h>

#include <cstdio>
#include <cstdlib>

#include "BoundedText.h"

namespace {

DWORD NumberFromEnvironment(const char* name, DWORD fallback) {
    char value[32];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) {
        return fallback;
    }
    return static_cast<DWORD>(std::strtoul(value, nullptr, 0));
}

void Log(const char* line) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("PIKUNO_E2E_RAS_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return;
    }
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(text::Length(line)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" {

DWORD WINAPI RasGetEntryDialParamsA(LPCSTR, LPRASDIALPARAMSA params, LPBOOL password) {
    if (params) {
        text::Copy(params->szUserName, sizeof params->szUserName, "dialuser");
        text::Copy(params->szPassword, sizeof params->szPassword, "dialpass");
    }
    if (password) {
        *password = TRUE;
    }
    return 0;
}

DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS, LPCSTR, LPRASDIALPARAMSA params, DWORD, LPVOID, LPHRASCONN connection) {
    DWORD result = NumberFromEnvironment("PIKUNO_E2E_RAS_DIAL", 0);
    DWORD handle = NumberFromEnvironment("PIKUNO_E2E_RAS_HANDLE", 0x5150);
    if (connection && result == 0) {
        *connection = reinterpret_cast<HRASCONN>(static_cast<uintptr_t>(handle));
    }
    char line[512];
    text::Format(line, sizeof line, "dial %s -> %lu", params ? params->szEntryName : "(null)",
                 static_cast<unsigned long>(result));
    Log(line);
    return result;
}

DWORD WINAPI RasHangUpA(HRASCONN connection) {
    char line[64];
    text::Format(line, sizeof line, "hangup 0x%llx",
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(connection)));
    Log(line);
    return 0;
}

}  // extern "C"
