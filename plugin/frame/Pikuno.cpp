// Pikuno.dll: the library's entry point and its exports. Each export forwards to
// pikuno_core, where the tests reach the same code, inside CallGuarded: whatever
// fails below, the host gets the export's failure result, never an exception.

#include <windows.h>

#include "BoundaryGuard.h"
#include "FolderMenu.h"
#include "Lifecycle.h"
#include "Retrieval.h"
#include "SettingsLauncher.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) noexcept {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // A failed attach refuses the load, which the host reports as it does
        // for a plug-in that cannot bind.
        return CallGuarded<BOOL>(FALSE, [&] { return frame::ProcessAttach(module); });
    case DLL_PROCESS_DETACH:
        return CallGuarded<BOOL>(TRUE, [] { return frame::ProcessDetach(); });
    default:
        return TRUE;
    }
}

extern "C" {

LPCSTR WINAPI VbxGetPlugName() noexcept {
    return CallGuarded<LPCSTR>("Pikuno", [] { return frame::GetPlugName(); });
}

// -1, the about dialog's result when it could not be created.
INT_PTR WINAPI VbxVersionInfo(HWND parent) noexcept {
    return CallGuarded<INT_PTR>(-1, [&] { return frame::VersionInfo(parent); });
}

// 0 when the digest settings could not be read; they stay off, so nothing is queued.
int WINAPI VbxStartUp(LPARAM unused) noexcept {
    return CallGuarded<int>(0, [&] { return frame::StartUp(unused); });
}

void WINAPI VbxCleanUp() noexcept {}

// What the settings library's SetUp returned (1: saved); 0 when it could not be
// run, and on a failure here.
BOOL WINAPI VbxSetup(HWND window) noexcept {
    return CallGuarded<BOOL>(FALSE, [&] { return frame::RunSettings(window); });
}

// 0 keeps the mail on the server: a plug-in that failed must never have the
// host delete a mail it was not asked to delete.
int WINAPI VbxRecFilter(LPCSTR mailPath) noexcept {
    return CallGuarded<int>(0, [&] { return frame::RecFilter(mailPath); });
}

// 0: nothing inserted.
BOOL WINAPI VbxFolderInitMenu(HWND window, HMENU menu, int kind) noexcept {
    return CallGuarded<BOOL>(FALSE, [&] { return frame::FolderInitMenu(window, menu, kind); });
}

// The result has no meaning for the host.
int WINAPI VbxFolderEndRetrieve(HWND window) noexcept {
    CallGuardedVoid([&] { frame::EndRetrieval(window); });
    return 0;
}

}  // extern "C"
