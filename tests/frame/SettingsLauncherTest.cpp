#include "SettingsLauncher.h"

#include <gtest/gtest.h>

#include <string>

#include "FakeHost.h"
#include "Lifecycle.h"
#include "ProgramFolder.h"
#include "SplitQueue.h"
#include "TempFolder.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x2468));

// The builds of the stand-in settings library, beside this test program.
enum class Library { None, ReturnsOne, ReturnsTwo, ReturnsZero, WithoutSetUp };

std::string LibraryBuild(Library library) {
    switch (library) {
    case Library::ReturnsOne:
        return ProgramFolder() + "settings_libs\\one\\Pikunoset.dll";
    case Library::ReturnsTwo:
        return ProgramFolder() + "settings_libs\\two\\Pikunoset.dll";
    case Library::ReturnsZero:
        return ProgramFolder() + "settings_libs\\zero\\Pikunoset.dll";
    case Library::WithoutSetUp:
        return ProgramFolder() + "settings_libs\\nosetup\\Pikunoset.dll";
    default:
        return std::string();
    }
}

std::string LastSetUpCall() {
    char record[2048] = "";
    DWORD length = GetEnvironmentVariableA("PIKUNO_FAKE_SETUP_CALL", record, sizeof record);
    return length > 0 && length < sizeof record ? record : "";
}

struct SetupCase {
    Library plugins;  // Plugins\Pikunoset.dll
    Library setup;    // Setup\Pikunoset.dll
    Library plain;    // Pikunoset.dll
    const char* loadedFrom;  // which one SetUp reports, null: SetUp not called
    BOOL result;  // what SetUp returned, 0 when it was not called
    bool reloaded;
};

class SettingsLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryA(sizeof savedDirectory, savedDirectory);
        for (Library library : {Library::ReturnsOne, Library::ReturnsTwo, Library::ReturnsZero, Library::WithoutSetUp}) {
            ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(LibraryBuild(library).c_str()))
                << LibraryBuild(library);
        }
    }
    void TearDown() override { SetCurrentDirectoryA(savedDirectory); }

    char savedDirectory[MAX_PATH] = "";
    FakeHost host;
};

TEST_F(SettingsLauncherTest, SearchesThreePlacesAndReloadsOnlyOnOne) {
    const SetupCase cases[] = {
        {Library::ReturnsOne, Library::ReturnsTwo, Library::ReturnsTwo, "Plugins\\", 1, true},
        {Library::None, Library::ReturnsOne, Library::ReturnsTwo, "Setup\\", 1, true},
        {Library::None, Library::None, Library::ReturnsOne, "", 1, true},
        {Library::ReturnsTwo, Library::ReturnsOne, Library::ReturnsOne, "Plugins\\", 2, false},  // cancelled
        {Library::None, Library::ReturnsTwo, Library::None, "Setup\\", 2, false},
        {Library::ReturnsZero, Library::ReturnsOne, Library::ReturnsOne, "Plugins\\", 0, false},  // not shown
        // A library without SetUp is released; the next place is not tried.
        {Library::WithoutSetUp, Library::ReturnsOne, Library::ReturnsOne, nullptr, 0, false},
        {Library::None, Library::None, Library::None, nullptr, FALSE, false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const SetupCase& c = cases[i];
        TempFolder root;
        root.MakeFolder("Plugins");
        root.MakeFolder("Setup");
        const struct {
            Library library;
            const char* place;
        } places[] = {{c.plugins, "Plugins\\"}, {c.setup, "Setup\\"}, {c.plain, ""}};
        for (const auto& place : places) {
            if (place.library != Library::None) {
                ASSERT_TRUE(CopyFileA(LibraryBuild(place.library).c_str(),
                                      (root.Path() + place.place + "Pikunoset.dll").c_str(), FALSE))
                    << "case " << i;
            }
        }
        // The queue holds other settings than the file, so that a reload shows.
        FakeHost::mailbox = root.Path();
        FakeHost::account = root.Path() + "Account2\\";
        ASSERT_TRUE(root.WriteFile("Pikuno.ini", "[Digest]\r\nDivide=0\r\nMark=0\r\n"));
        frame::StartUp(0);
        ASSERT_TRUE(root.WriteFile("Pikuno.ini", "[Digest]\r\nDivide=1\r\nMark=3\r\n"));
        SetEnvironmentVariableA("PIKUNO_FAKE_SETUP_CALL", nullptr);
        FakeHost::calls.clear();
        // The relative names are resolved against the host's folder.
        ASSERT_TRUE(SetCurrentDirectoryA(root.Path().c_str()));

        EXPECT_EQ(c.result, frame::RunSettings(kWindow)) << "case " << i;

        SetCurrentDirectoryA(savedDirectory);
        if (c.loadedFrom) {
            const std::string loaded = root.Path() + c.loadedFrom + "Pikunoset.dll";
            EXPECT_EQ(loaded + "|" + root.Path() + "|" + root.Path() + "Account2\\", LastSetUpCall()) << "case " << i;
            ASSERT_EQ(1u, FakeHost::WindowsOf("GetAccount").size()) << "case " << i;
            EXPECT_EQ(kWindow, FakeHost::WindowsOf("GetAccount")[0]) << "case " << i;
        } else {
            EXPECT_EQ("", LastSetUpCall()) << "case " << i;
        }
        EXPECT_EQ(c.reloaded ? 1 : 0, gSplitQueue.GetSettings().Divide) << "case " << i;
        EXPECT_EQ(c.reloaded ? 3 : 0, gSplitQueue.GetSettings().Mark) << "case " << i;
        // The library is loaded only for the call.
        for (const char* place : {"Plugins\\", "Setup\\", ""}) {
            EXPECT_EQ(nullptr, GetModuleHandleA((root.Path() + place + "Pikunoset.dll").c_str()))
                << "case " << i << " " << place;
        }
        EXPECT_EQ(nullptr, GetModuleHandleA("Pikunoset.dll")) << "case " << i;
    }
}

}  // namespace
