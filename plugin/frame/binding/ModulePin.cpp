#include "ModulePin.h"

#include <windows.h>

namespace {

bool gPinned = false;

}  // namespace

void PinPluginModule() {
    if (gPinned) {
        return;
    }
    // The module that holds this code (the plug-in, or a test program that
    // links it). A pinned module cannot be released, so the handle has no
    // owner to close it: there is nothing to close. A reference taken and
    // given back around the command would not do: the last FreeLibrary would
    // unmap the code it returns into.
    HMODULE module = nullptr;
    gPinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                 reinterpret_cast<LPCSTR>(&PinPluginModule), &module) != FALSE;
}
