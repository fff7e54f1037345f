// Pikunoset.dll: the module handle and the one export.

#include <windows.h>

#include "BoundaryGuard.h"
#include "LibraryState.h"
#include "SettingSheet.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        CallGuardedVoid([&] {
            SetLibraryModule(instance);
            DisableThreadLibraryCalls(instance);
        });
    }
    return TRUE;
}

// Called by the plug-in as int (WINAPI*)(const char*, const char*); 0 when the
// sheet could not be shown.
extern "C" int WINAPI SetUp(const char* mailboxDir, const char* accountPath) {
    return CallGuarded<int>(0, [&] { return RunSetUp(mailboxDir, accountPath); });
}
