#include "SettingsLauncher.h"

#include "BoundedText.h"
#include "HostApi.h"
#include "SplitQueue.h"
#include "WinHandles.h"

namespace frame {

const char* const kSettingsLibraryNames[3] = {
    "Plugins\\Pikunoset.dll",
    "Setup\\Pikunoset.dll",
    "Pikunoset.dll",
};

int RunSettings(HWND window) {
    UniqueLibrary library;
    for (const char* name : kSettingsLibraryNames) {
        library.Reset(LoadLibraryA(name));
        if (library) {
            break;
        }
    }
    if (!library) {
        return 0;
    }
    SettingsSetUpFn setUp = library.Find<SettingsSetUpFn>("SetUp");
    int result = 0;  // nothing was shown
    if (setUp && gHostApi.VhxGetAccount && gHostApi.VhxGetMailbox) {
        // Host strings are copied at once: the next host call may reuse its buffer.
        // A directory cut to fit would be another directory, so it is not passed on.
        char accountDir[kPathBufferSize];
        char mailboxDir[kPathBufferSize];
        if (text::Copy(accountDir, sizeof accountDir, gHostApi.VhxGetAccount(window)) &&
            text::Copy(mailboxDir, sizeof mailboxDir, gHostApi.VhxGetMailbox())) {
            result = setUp(mailboxDir, accountDir);
        }
        if (result == 1) {
            gSplitQueue.ReadSettings();
        }
    }
    // The host learns what the sheet did (1 saved, 2 cancelled), not whether the
    // library could be released.
    library.Free();
    return result;
}

}  // namespace frame
