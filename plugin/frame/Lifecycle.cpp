#include "Lifecycle.h"

#include "AboutDialog.h"
#include "BoundedText.h"
#include "HostApi.h"
#include "PendingRetrieval.h"
#include "SplitQueue.h"

namespace frame {

namespace {

// The load error box: caption "プラグインエラー", error icon, no owner.
void ShowHostApiBindError() {
    char message[256];
    text::Format(message, sizeof message,
                 "プラグイン「%s」でエラーが発生しました。\r\nQuenla32とプラグインのバージョンを確認してください",
                 GetPlugName());
    MessageBoxA(nullptr, message, "プラグインエラー", MB_OK | MB_ICONERROR);
}

}  // namespace

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
    // A timer left running would call into the unmapped library.
    StopWatchingPendingRetrieval();
    ReleaseHostApi();
    return TRUE;
}

int StartUp(LPARAM) {
    gSplitQueue.ReadSettings();
    return 1;
}

INT_PTR VersionInfo(HWND parent) {
    return RunAboutDialog(parent);
}

}  // namespace frame
