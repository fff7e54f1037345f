// Runs inside a stand-in host named Quenla.exe. BINDING_HOST_LACKS names the host
// function this build does not export ("" when it exports all 34, and then
// BINDING_HOST_COMPLETE is 1).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "BindingHostExports.h"
#include "BindingTestSupport.h"
#include "HostApiList.h"

namespace {

const char* const kHostFunctions[] = {
#define BINDING_NAME(name, bytes) PIKUNO_HOST_API_DECORATED(name, bytes),
    PIKUNO_HOST_API_LIST(BINDING_NAME)
#undef BINDING_NAME
};

const bool kComplete = BINDING_HOST_COMPLETE != 0;

TEST(BindingHost, ExportsWhatThisBuildIsMeantTo) {
    HMODULE self = GetModuleHandleA(nullptr);
    EXPECT_EQ(self, GetModuleHandleA("Quenla.exe"));
    int found = 0;
    for (const char* name : kHostFunctions) {
        const bool lacking = std::strcmp(name, BINDING_HOST_LACKS) == 0;
        EXPECT_EQ(!lacking, GetProcAddress(self, name) != nullptr) << name;
        found += GetProcAddress(self, name) != nullptr;
    }
    EXPECT_EQ(kComplete ? 34 : 33, found);
}

#if !BINDING_HOST_COMPLETE
TEST(BindingHost, LackingFunctionRefusesTheLoadWithOneBox) {
    ExpectRefusedPluginLoad();
    // The executable itself is never unloaded and the loader keeps no count of it:
    // the release of a host module is checked where it is a library of its own
    // (BindingOtherProcess).
}
#endif

#if BINDING_HOST_COMPLETE

typedef LPCSTR(WINAPI* GetPlugNameFn)();
typedef INT_PTR(WINAPI* VersionInfoFn)(HWND);
typedef int(WINAPI* StartUpFn)(LPARAM);
typedef void(WINAPI* CleanUpFn)();
typedef int(WINAPI* RecFilterFn)(LPCSTR);
typedef BOOL(WINAPI* FolderInitMenuFn)(HWND, HMENU, int);
typedef int(WINAPI* FolderEndRetrieveFn)(HWND);

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(BindingHost, PluginLoadsAndAnswersThroughItsExports) {
    HMODULE plugin = LoadPluginWithoutBindErrorBox();
    ASSERT_NE(nullptr, plugin) << BindingPluginPath();

    const struct {
        const char* name;
        WORD ordinal;
    } exports[] = {
        {"VbxGetPlugName", 1}, {"VbxVersionInfo", 2}, {"VbxStartUp", 3},          {"VbxCleanUp", 4},
        {"VbxSetup", 5},       {"VbxRecFilter", 6},   {"VbxFolderInitMenu", 102}, {"VbxFolderEndRetrieve", 104},
    };
    for (const auto& e : exports) {
        FARPROC byName = GetProcAddress(plugin, e.name);
        EXPECT_NE(nullptr, byName) << e.name;
        EXPECT_EQ(byName, GetProcAddress(plugin, MAKEINTRESOURCEA(e.ordinal))) << e.name;
    }
    for (WORD unused : {7, 101, 103, 105}) {
        EXPECT_EQ(nullptr, GetProcAddress(plugin, MAKEINTRESOURCEA(unused))) << unused;
    }

    EXPECT_STREQ("Pikuno", Export<GetPlugNameFn>(plugin, "VbxGetPlugName")());
    // The about box cannot be owned by a window that is gone: -1 at once, without
    // a modal box to close (test_about runs the box itself).
    HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(-1, Export<VersionInfoFn>(plugin, "VbxVersionInfo")(gone));
    EXPECT_EQ(1, Export<StartUpFn>(plugin, "VbxStartUp")(12345));

    // The menus, through the host's registration.
    HMENU bar = CreateMenu();
    for (int i = 0; i < 3; ++i) {
        HMENU submenu = CreatePopupMenu();
        AppendMenuA(submenu, MF_STRING, i == 2 ? kHostReceiveCommand : 300u + i, "item");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), "top");
    }
    HMENU folderMenu = CreatePopupMenu();
    AppendMenuA(folderMenu, MF_STRING, 1, "open");
    FolderInitMenuFn initMenu = Export<FolderInitMenuFn>(plugin, "VbxFolderInitMenu");
    EXPECT_TRUE(initMenu(nullptr, bar, 101));
    EXPECT_TRUE(initMenu(nullptr, folderMenu, 102));
    ASSERT_EQ(2u, BindingRegistrations().size());
    EXPECT_EQ(0, BindingRegistrations()[0].value);
    EXPECT_EQ(reinterpret_cast<LPARAM>(folderMenu), BindingRegistrations()[1].value);
    EXPECT_EQ(3, GetMenuItemCount(GetSubMenu(bar, 2)));
    EXPECT_EQ(static_cast<UINT>(kBindingFirstCommandId), GetMenuItemID(GetSubMenu(bar, 2), 0));
    EXPECT_EQ(static_cast<UINT>(kBindingFirstCommandId + 1), GetMenuItemID(folderMenu, 0));
    DestroyMenu(bar);
    DestroyMenu(folderMenu);

    EXPECT_EQ(0, Export<RecFilterFn>(plugin, "VbxRecFilter")("C:\\Quenla\\Account1\\inbox.box\\1.qnl"));
    Export<FolderEndRetrieveFn>(plugin, "VbxFolderEndRetrieve")(nullptr);
    Export<CleanUpFn>(plugin, "VbxCleanUp")();

    EXPECT_TRUE(FreeLibrary(plugin));
    EXPECT_EQ(nullptr, GetModuleHandleA(BindingPluginPath().c_str()));
}
#endif

}  // namespace
