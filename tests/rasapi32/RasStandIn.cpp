// A stand-in for the Remote Access Service library: records each call and its
// arguments in the shared state block and answers as the test scripted it.

#include <cstring>

#include "RasStandInState.h"

namespace {

HANDLE gMapping = nullptr;
RasStandInState* gState = nullptr;

RasRecordedCall* Record(RasCallKind kind) {
    if (!gState) {
        return nullptr;
    }
    int32_t index = gState->callCount++;
    if (index >= kRasMaxRecordedCalls) {
        return nullptr;
    }
    RasRecordedCall* call = &gState->calls[index];
    std::memset(call, 0, sizeof *call);
    call->kind = kind;
    return call;
}

void Snapshot(RasRecordedCall* call, const RASDIALPARAMSA* params) {
    call->paramsAddress = reinterpret_cast<uintptr_t>(params);
    if (!params) {
        return;
    }
    size_t size = params->dwSize;
    if (size > sizeof call->params) {
        size = sizeof call->params;
    }
    std::memcpy(&call->params, params, size);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char name[64];
        RasStandInStateName(name, sizeof name);
        gMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(RasStandInState), name);
        if (gMapping) {
            gState = static_cast<RasStandInState*>(
                MapViewOfFile(gMapping, FILE_MAP_WRITE, 0, 0, sizeof(RasStandInState)));
        }
        if (gState) {
            ++gState->processAttaches;
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        if (gState) {
            ++gState->processDetaches;
            UnmapViewOfFile(gState);
            gState = nullptr;
        }
        if (gMapping) {
            CloseHandle(gMapping);
            gMapping = nullptr;
        }
    }
    return TRUE;
}

// Lets a test tell this library from the system's own.
int WINAPI RasStandInMarker() {
    return 1;
}

DWORD WINAPI RasGetEntryDialParamsA(LPCSTR phoneBook, LPRASDIALPARAMSA params, LPBOOL password) {
    RasRecordedCall* call = Record(kRasCallGetEntryDialParams);
    if (call) {
        call->phoneBookGiven = phoneBook != nullptr;
        call->passwordFlagGiven = password != nullptr;
        Snapshot(call, params);
    }
    if (!gState) {
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }
    if (gState->getParamsResult == 0 && params) {
        text::Copy(params->szUserName, sizeof params->szUserName, gState->storedUserName);
        text::Copy(params->szPassword, sizeof params->szPassword, gState->storedPassword);
        if (password) {
            *password = gState->storedPassword[0] != '\0';
        }
        if (gState->scribble) {
            text::Copy(params->szEntryName, sizeof params->szEntryName, "scribbled entry");
            text::Copy(params->szPhoneNumber, sizeof params->szPhoneNumber, "0312345678");
            text::Copy(params->szCallbackNumber, sizeof params->szCallbackNumber, "0398765432");
            text::Copy(params->szDomain, sizeof params->szDomain, "WORKGROUP");
        }
    }
    return gState->getParamsResult;
}

DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS extensions, LPCSTR phoneBook, LPRASDIALPARAMSA params,
                      DWORD notifierType, LPVOID notifier, LPHRASCONN connection) {
    RasRecordedCall* call = Record(kRasCallDial);
    if (call) {
        call->extensionsGiven = extensions != nullptr;
        call->phoneBookGiven = phoneBook != nullptr;
        call->notifierGiven = notifier != nullptr;
        call->notifierType = notifierType;
        call->handleAddress = reinterpret_cast<uintptr_t>(connection);
        call->handleIn = connection ? reinterpret_cast<uintptr_t>(*connection) : 0;
        Snapshot(call, params);
    }
    if (!gState) {
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }
    if (connection && gState->dialHandle) {
        *connection = reinterpret_cast<HRASCONN>(static_cast<uintptr_t>(gState->dialHandle));
    }
    return gState->dialResult;
}

DWORD WINAPI RasHangUpA(HRASCONN connection) {
    RasRecordedCall* call = Record(kRasCallHangUp);
    if (call) {
        call->handleIn = reinterpret_cast<uintptr_t>(connection);
    }
    return gState ? gState->hangUpResult : 0;
}

}  // extern "C"
