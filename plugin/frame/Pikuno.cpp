// Pikuno.dll: the library's entry point and its exports. Each export forwards to
// pikuno_core, where the tests reach the same code; nothing here can throw.

#include <windows.h>

#include "FolderMenu.h"
#include "Lifecycle.h"
#include "Retrieval.h"
#include "SettingsLauncher.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) noexcept {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return frame::ProcessAttach(module);
    case DLL_PROCESS_DETACH:
        return frame::ProcessDetach();
    default:
        return TRUE;
    }
}

extern "C" {

LPCSTR WINAPI VbxGetPlugName() noexcept {
    return frame::GetPlugName();
}

INT_PTR WINAPI VbxVersionInfo(HWND parent) noexcept {
    return frame::VersionInfo(parent);
}

int WINAPI VbxStartUp(LPARAM unused) noexcept {
    return frame::StartUp(unused);
}

void WINAPI VbxCleanUp() noexcept {}

BOOL WINAPI VbxSetup(HWND window) noexcept {
    return frame::RunSettings(window);
}

int WINAPI VbxRecFilter(LPCSTR mailPath) noexcept {
    return frame::RecFilter(mailPath);
}

BOOL WINAPI VbxFolderInitMenu(HWND window, HMENU menu, int kind) noexcept {
    return frame::FolderInitMenu(window, menu, kind);
}

// The result has no meaning for the host.
int WINAPI VbxFolderEndRetrieve(HWND window) noexcept {
    frame::EndRetrieval(window);
    return 0;
}

}  // extern "C"
