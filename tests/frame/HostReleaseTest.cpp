#include "HostApi.h"
#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct VersionCase {
    DWORD platformId;
    DWORD minorVersion;
    bool release;
};

TEST(HostRelease, KeptOnlyOnWindows95AndUnknownPlatforms) {
    const VersionCase cases[] = {
        {VER_PLATFORM_WIN32s, 0, false},
        {VER_PLATFORM_WIN32s, 10, false},
        {VER_PLATFORM_WIN32_WINDOWS, 0, false},   // Windows 95
        {VER_PLATFORM_WIN32_WINDOWS, 1, true},
        {VER_PLATFORM_WIN32_WINDOWS, 10, true},   // Windows 98
        {VER_PLATFORM_WIN32_WINDOWS, 90, true},   // Windows Me
        {VER_PLATFORM_WIN32_NT, 0, true},
        {VER_PLATFORM_WIN32_NT, 1, true},
        {VER_PLATFORM_WIN32_NT, 51, true},
        {3, 0, false},  // Windows CE
        {3, 1, false},
        {4, 0, false},
        {0xffffffff, 1, false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        for (DWORD major : {3, 4, 5, 10}) {
            OSVERSIONINFOA version = {};
            version.dwOSVersionInfoSize = sizeof version;
            version.dwPlatformId = cases[i].platformId;
            version.dwMajorVersion = major;
            version.dwMinorVersion = cases[i].minorVersion;
            EXPECT_EQ(cases[i].release, ShouldReleaseHostModule(version)) << "case " << i << " major " << major;
        }
    }
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the ANSI version record");
}

// This system is of the NT family: the module is released and the handle cleared.
TEST(HostRelease, ReleaseHostApiFreesTheModuleAndClearsTheTable) {
    std::string library = ProgramFolder() + "settings_libs\\one\\Pikunoset.dll";
    HMODULE module = LoadLibraryA(library.c_str());
    ASSERT_NE(nullptr, module) << library;
    gHostModule = module;
    gHostApi.VhxGetMailbox = reinterpret_cast<VhxGetMailboxFn>(reinterpret_cast<void*>(GetProcAddress(module, "SetUp")));

    ReleaseHostApi();

    EXPECT_EQ(nullptr, gHostModule);
    EXPECT_EQ(nullptr, gHostApi.VhxGetMailbox);
    EXPECT_EQ(nullptr, GetModuleHandleA(library.c_str()));
    ReleaseHostApi();  // unbound: nothing to do
    EXPECT_EQ(nullptr, gHostModule);
}

}  // namespace
