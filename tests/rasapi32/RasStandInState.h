#pragma once
// What the stand-in rasapi32.dll and its tests share: a named memory block that
// outlives each load of the library, holding the answers the test scripts and
// every call the library received.

#include <windows.h>
#include <ras.h>
#include <raserror.h>

#include <cstdint>

#include "BoundedText.h"

enum RasCallKind : int32_t {
    kRasCallGetEntryDialParams = 1,
    kRasCallDial = 2,
    kRasCallHangUp = 3,
};

struct RasRecordedCall {
    int32_t kind;
    int32_t phoneBookGiven;    // a phone book path other than null
    int32_t extensionsGiven;   // RasDialA: extensions other than null
    int32_t notifierGiven;     // RasDialA: notifier other than null
    int32_t passwordFlagGiven; // RasGetEntryDialParamsA: the flag pointer other than null
    DWORD notifierType;
    uint64_t paramsAddress;
    uint64_t handleAddress;    // RasDialA: where the handle goes
    uint64_t handleIn;         // RasDialA: *handle on entry; RasHangUpA: the handle
    // The record as the caller passed it, cut to its dwSize.
    RASDIALPARAMSA params;
};

constexpr int kRasMaxRecordedCalls = 16;

struct RasStandInState {
    // Script, set by the test.
    DWORD getParamsResult;
    char storedUserName[UNLEN + 1];
    char storedPassword[PWLEN + 1];
    DWORD dialResult;
    uint64_t dialHandle;  // written through RasDialA's handle pointer when nonzero
    DWORD hangUpResult;
    int32_t scribble;     // RasGetEntryDialParamsA also overwrites the other text fields

    // Record, kept by the library.
    int32_t processAttaches;
    int32_t processDetaches;
    int32_t callCount;  // may exceed kRasMaxRecordedCalls; only the first are kept
    RasRecordedCall calls[kRasMaxRecordedCalls];
};

// One block per process, so that test programs running side by side never meet.
inline void RasStandInStateName(char* name, size_t size) {
    text::Format(name, size, "PikunoRasStandIn-%lu", static_cast<unsigned long>(GetCurrentProcessId()));
}

// The test program's side of the block: made at the first call and held for the
// whole program, so that it outlives each load of the stand-in; null when it
// could not be made.
inline RasStandInState* ProgramRasStandInState() {
    static RasStandInState* const state = [] {
        char name[64];
        RasStandInStateName(name, sizeof name);
        HANDLE mapping =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(RasStandInState), name);
        return mapping ? static_cast<RasStandInState*>(
                             MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(RasStandInState)))
                       : nullptr;
    }();
    return state;
}
