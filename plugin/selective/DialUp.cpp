#include "DialUp.h"

#include <cstddef>
#include <cstring>

#include "BoundedText.h"
#include "WinHandles.h"

HRASCONN gDialUpConnection = nullptr;

namespace {

using RasDialFunction = DWORD(WINAPI*)(LPRASDIALEXTENSIONS, LPCSTR, LPRASDIALPARAMSA, DWORD, LPVOID,
                                       LPHRASCONN);
using RasGetEntryDialParamsFunction = DWORD(WINAPI*)(LPCSTR, LPRASDIALPARAMSA, LPBOOL);
using RasHangUpFunction = DWORD(WINAPI*)(HRASCONN);

// The record as every RAS version since NT 4 accepts it: without the sub-entry and
// callback-identifier fields.
constexpr DWORD kDialParamsSize = static_cast<DWORD>(offsetof(RASDIALPARAMSA, dwSubEntry));
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(RASDIALPARAMSA, dwSubEntry) == 1052, "32-bit RASDIALPARAMSA layout");
#endif

// Hangs up a connection handle with the library already loaded; false when the
// library lacks RasHangUpA (the handle is then left for a later attempt).
bool HangUpWith(const UniqueLibrary& ras, HRASCONN& connection) {
    auto rasHangUp = ras.Find<RasHangUpFunction>("RasHangUpA");
    if (!rasHangUp) {
        return false;
    }
    rasHangUp(connection);
    connection = nullptr;
    return true;
}

}  // namespace

bool DialUp(const char* entryName) {
    RASDIALPARAMSA params;
    // A name cut to fit would dial some other entry: refuse it instead.
    if (!entryName || std::strlen(entryName) >= sizeof params.szEntryName) {
        return false;
    }
    UniqueLibrary ras(LoadLibraryA("rasapi32.dll"));
    if (!ras) {
        return false;
    }
    auto rasDial = ras.Find<RasDialFunction>("RasDialA");
    auto rasGetEntryDialParams = ras.Find<RasGetEntryDialParamsFunction>("RasGetEntryDialParamsA");
    if (!rasDial || !rasGetEntryDialParams) {
        return false;
    }

    std::memset(&params, 0, sizeof params);
    params.dwSize = kDialParamsSize;
    text::Copy(params.szEntryName, sizeof params.szEntryName, entryName);
    BOOL passwordStored = FALSE;
    // Fills in the user name and password stored with the entry; a failure
    // shows up in RasDialA.
    rasGetEntryDialParams(nullptr, &params, &passwordStored);

    text::Copy(params.szEntryName, sizeof params.szEntryName, entryName);
    params.szPhoneNumber[0] = '\0';                                          // the entry's own number
    text::Copy(params.szCallbackNumber, sizeof params.szCallbackNumber, "*");  // as stored
    text::Copy(params.szDomain, sizeof params.szDomain, "*");                  // as stored

    // No notifier: returns when the line is up or the dial has failed.
    DWORD result = rasDial(nullptr, nullptr, &params, 0, nullptr, &gDialUpConnection);
    SecureZeroMemory(params.szPassword, sizeof params.szPassword);
    if (result != 0) {
        // A failed dial may still have returned a handle that holds RAS resources.
        if (gDialUpConnection) {
            HangUpWith(ras, gDialUpConnection);
        }
        return false;
    }
    return true;
}

void HangUp() {
    if (!gDialUpConnection) {
        return;
    }
    UniqueLibrary ras(LoadLibraryA("rasapi32.dll"));
    if (!ras) {
        return;
    }
    HangUpWith(ras, gDialUpConnection);
}
