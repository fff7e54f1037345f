// Runs in a process whose executable is not Quenla.exe: the plug-in then finds its
// host only as a library of that name on the search path, or not at all.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BindingTestSupport.h"
#include "WindowWatcher.h"

namespace {

class BindingOtherProcess : public ::testing::Test {
protected:
    void SetUp() override { GetCurrentDirectoryA(sizeof saved, saved); }
    void TearDown() override { SetCurrentDirectoryA(saved); }

    // The host library is looked up by name; the current folder is on the search path.
    void EnterFolder(const std::string& folder) { ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder; }

    // Loads the plug-in expecting the refusal: one error box, no library.
    void ExpectRefusedLoad() {
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
        EXPECT_EQ(nullptr, GetModuleHandleA("Quenla.exe")) << "the host module was left loaded";
    }

    char saved[MAX_PATH] = "";
};

TEST_F(BindingOtherProcess, NoHostAnywhere) {
    EnterFolder(BindingProgramDir());
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((BindingProgramDir() + "Quenla.exe").c_str()));
    ExpectRefusedLoad();
}

TEST_F(BindingOtherProcess, HostLibraryLackingTheLastFunctionIsReleased) {
    const std::string folder = BindingProgramDir() + "lacking_last\\";
    // The stand-in itself loads and lacks exactly the last function.
    HMODULE host = LoadLibraryA((folder + "Quenla.exe").c_str());
    ASSERT_NE(nullptr, host);
    EXPECT_NE(nullptr, GetProcAddress(host, "_VhxSjisToJis@12"));
    EXPECT_EQ(nullptr, GetProcAddress(host, "_VhxJisToSjis@12"));
    FreeLibrary(host);
    ASSERT_EQ(nullptr, GetModuleHandleA("Quenla.exe"));

    EnterFolder(folder);
    ExpectRefusedLoad();
}

TEST_F(BindingOtherProcess, CompleteHostLibraryIsHeldUntilUnload) {
    EnterFolder(BindingProgramDir() + "complete\\");
    MessageBoxCloser watcher(kBindErrorCaption);
    HMODULE plugin = LoadLibraryA(BindingPluginPath().c_str());
    EXPECT_TRUE(watcher.Stop().empty());
    ASSERT_NE(nullptr, plugin);
    EXPECT_NE(nullptr, GetModuleHandleA("Quenla.exe"));
    EXPECT_TRUE(FreeLibrary(plugin));
    // This system is of the NT family: the host module is released at detach.
    EXPECT_EQ(nullptr, GetModuleHandleA("Quenla.exe"));
}

}  // namespace
