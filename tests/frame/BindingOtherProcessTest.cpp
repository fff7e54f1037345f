// Runs in a process whose executable is not Quenla.exe: the plug-in then finds its
// host only as a library of that name on the search path, or not at all.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BindingTestSupport.h"
#include "ProgramFolder.h"

namespace {

class BindingOtherProcess : public ::testing::Test {
protected:
    void SetUp() override { GetCurrentDirectoryA(sizeof saved, saved); }
    void TearDown() override { SetCurrentDirectoryA(saved); }

    // The host library is looked up by name; the current folder is on the search path.
    void EnterFolder(const std::string& folder) { ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder; }

    // Loads the plug-in expecting the refusal: one error box, no library.
    void ExpectRefusedLoad() {
        ExpectRefusedPluginLoad();
        EXPECT_EQ(nullptr, GetModuleHandleA("Quenla.exe")) << "the host module was left loaded";
    }

    char saved[MAX_PATH] = "";
};

TEST_F(BindingOtherProcess, NoHostAnywhere) {
    EnterFolder(ProgramFolder());
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((ProgramFolder() + "Quenla.exe").c_str()));
    ExpectRefusedLoad();
}

TEST_F(BindingOtherProcess, HostLibraryLackingTheLastFunctionIsReleased) {
    const std::string folder = ProgramFolder() + "lacking_last\\";
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
    EnterFolder(ProgramFolder() + "complete\\");
    HMODULE plugin = LoadPluginWithoutBindErrorBox();
    ASSERT_NE(nullptr, plugin);
    EXPECT_NE(nullptr, GetModuleHandleA("Quenla.exe"));
    EXPECT_TRUE(FreeLibrary(plugin));
    // This system is of the NT family: the host module is released at detach.
    EXPECT_EQ(nullptr, GetModuleHandleA("Quenla.exe"));
}

}  // namespace
