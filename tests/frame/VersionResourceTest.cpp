// The version resource of the built Pikuno.dll, read the way Explorer reads it.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramFolder.h"

namespace {

std::string PluginPath() {
    std::string dir = ProgramFolder();  // bin\frame\ (the plug-in is in bin\)
    dir.pop_back();
    return dir.substr(0, dir.find_last_of('\\') + 1) + "Pikuno.dll";
}

class VersionResource : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(PluginPath().c_str(), &handle);
        ASSERT_NE(0u, size) << PluginPath();
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(PluginPath().c_str(), 0, size, data.data()));
    }
    // A string of block 041104b0 as ANSI (Shift_JIS) bytes; "<missing>" when absent.
    std::string Value(const char* name) {
        void* value = nullptr;
        UINT length = 0;
        const std::string path = std::string("\\StringFileInfo\\041104b0\\") + name;
        if (!VerQueryValueA(data.data(), path.c_str(), &value, &length)) {
            return "<missing>";
        }
        return static_cast<const char*>(value);
    }
    std::vector<char> data;
};

TEST_F(VersionResource, FixedPartAndTranslation) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000009u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000009u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0411, translation[0]);
    EXPECT_EQ(0x04b0, translation[1]);

    HMODULE plugin = LoadLibraryExA(PluginPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, plugin);
    EXPECT_NE(nullptr, FindResourceExA(plugin, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                                       MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)));
    FreeLibrary(plugin);
}

TEST_F(VersionResource, Strings) {
    const struct {
        const char* name;
        const char* value;
    } cases[] = {
        {"FileDescription", "Pikuno Quenla Plugin DLL"},
        {"FileVersion", "0, 1, 0, 9"},
        {"ProductVersion", "0, 1, 0, 9"},
        {"InternalName", "Pikuno"},
        {"OriginalFilename", "Pikuno.DLL"},
        // Half-width katakana: one Shift_JIS byte each.
        {"ProductName", "Pikuno \xc0\xde\xb2\xc5\xd0\xaf\xb8 \xd8\xdd\xb8 \xd7\xb2\xcc\xde\xd7\xd8"},
        {"CompanyName", ""},
        {"Comments", ""},
        {"LegalTrademarks", ""},
        {"PrivateBuild", ""},
        {"SpecialBuild", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(c.value), Value(c.name)) << c.name;
    }
    EXPECT_NE(std::string::npos, Value("LegalCopyright").find("Copyright")) << Value("LegalCopyright");
}

}  // namespace
