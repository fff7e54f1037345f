#include "BindingTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

#include "ProgramFolder.h"
#include "WindowWatcher.h"

const char kBindErrorCaption[] = "\x83\x76\x83\x89\x83\x4f\x83\x43\x83\x93\x83\x47\x83\x89\x81\x5b";
const char kBindErrorText[] =
    "プラグイン「Pikuno」でエラーが発生しました。\r\nQuenla32とプラグインのバージョンを確認してください";

std::string BindingPluginPath() {
    std::string dir = ProgramFolder();
    dir.pop_back();
    return dir.substr(0, dir.find_last_of('\\') + 1) + "Pikuno.dll";
}

void ExpectRefusedPluginLoad() {
    MessageBoxCloser watcher(kBindErrorCaption);
    HMODULE plugin = LoadLibraryA(BindingPluginPath().c_str());
    std::vector<MessageBoxSeen> boxes = watcher.Stop();
    EXPECT_EQ(nullptr, plugin);
    ASSERT_EQ(1u, boxes.size()) << watcher.Report();
    EXPECT_EQ(std::string(kBindErrorText), boxes[0].text);
    EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
    if (SystemIconsLoad()) {  // else no box can show an icon
        EXPECT_TRUE(boxes[0].errorIcon);
    }
    EXPECT_EQ(nullptr, GetModuleHandleA(BindingPluginPath().c_str()));
}

HMODULE LoadPluginWithoutBindErrorBox() {
    MessageBoxCloser watcher(kBindErrorCaption);
    HMODULE plugin = LoadLibraryA(BindingPluginPath().c_str());
    EXPECT_TRUE(watcher.Stop().empty()) << watcher.Report();
    return plugin;
}
