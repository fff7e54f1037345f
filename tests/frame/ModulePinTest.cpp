// Runs inside a stand-in host named Quenla.exe that exports all 34 functions, in
// a process of its own: a library pinned here stays mapped until the process ends.
// A host may release its plug-ins from a message that the plug-in's own command
// dispatches; the command's first step pins the plug-in, so that the release
// leaves the code it returns into where it was.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BindingHostExports.h"
#include "BindingTestSupport.h"
#include "HostApiList.h"

namespace {

typedef LPCSTR(WINAPI* GetPlugNameFn)();
typedef BOOL(WINAPI* FolderInitMenuFn)(HWND, HMENU, int);
typedef LRESULT(WINAPI* CommandFn)(HWND, LPARAM);

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The selective receive command as the host would run it: registered through the
// menu of kind 101, then called. The account's Kirvan.ini does not exist, so it
// ends at once, as switched off; the pin comes before that.
void RunTheCommand(HMODULE plugin) {
    HMENU bar = CreateMenu();
    for (int i = 0; i < 3; ++i) {
        HMENU submenu = CreatePopupMenu();
        AppendMenuA(submenu, MF_STRING, i == 2 ? kHostReceiveCommand : 300u + i, "item");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), "top");
    }
    BindingRegistrations().clear();
    ASSERT_TRUE(Export<FolderInitMenuFn>(plugin, "VbxFolderInitMenu")(nullptr, bar, 101));
    DestroyMenu(bar);
    ASSERT_EQ(1u, BindingRegistrations().size());
    CommandFn command = reinterpret_cast<CommandFn>(BindingRegistrations()[0].callback);
    EXPECT_EQ(0, command(nullptr, BindingRegistrations()[0].value));
}

TEST(ModulePin, TheCommandKeepsThePluginMappedOnceTheHostReleasesIt) {
    const std::string path = BindingPluginPath();
    // Without the command the release unloads the plug-in: the check below can fail.
    HMODULE plugin = LoadPluginWithoutBindErrorBox();
    ASSERT_NE(nullptr, plugin) << path;
    ASSERT_TRUE(FreeLibrary(plugin));
    ASSERT_EQ(nullptr, GetModuleHandleA(path.c_str())) << "released without the command";

    plugin = LoadPluginWithoutBindErrorBox();
    ASSERT_NE(nullptr, plugin) << path;
    ASSERT_NO_FATAL_FAILURE(RunTheCommand(plugin));
    EXPECT_TRUE(FreeLibrary(plugin));
    EXPECT_EQ(plugin, GetModuleHandleA(path.c_str())) << "released after the command";
    // Its code still runs where it was.
    GetPlugNameFn name = Export<GetPlugNameFn>(plugin, "VbxGetPlugName");
    ASSERT_NE(nullptr, name);
    EXPECT_STREQ("Pikuno", name());
    // A second command finds it pinned and changes nothing.
    ASSERT_NO_FATAL_FAILURE(RunTheCommand(plugin));
    EXPECT_EQ(plugin, GetModuleHandleA(path.c_str()));
}

}  // namespace
