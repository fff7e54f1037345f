#include "Lifecycle.h"

#include "HostApi.h"
#include "SplitQueue.h"

namespace frame {

const char* GetPlugName() {
    return "Pikuno";
}

BOOL ProcessAttach(HINSTANCE module) {
    gPluginModule = module;
    if (!BindHostApi()) {
        ShowHostApiBindError();
        return FALSE;
    }
    return TRUE;
}

BOOL ProcessDetach() {
    ReleaseHostApi();
    return TRUE;
}

int StartUp(LPARAM) {
    gSplitQueue.ReadSettings();
    return 1;
}

INT_PTR VersionInfo(HWND) {
    return -1;
}

}  // namespace frame
