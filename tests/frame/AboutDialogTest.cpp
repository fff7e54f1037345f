// The about box: its template and icon as built into Pikuno.dll, the ways of closing
// it, the texts it shows and the cutting of texts too long for its buffers.
// The box is run from this program's own resources (the same script as the
// plug-in's) and from a resource library with overlong texts; a second thread
// finds the box and acts on it like a user.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "AnsiText.h"
#include "AboutDialog.h"
#include "BoundedText.h"
#include "HostApi.h"
#include "Lifecycle.h"
#include "ProgramFolder.h"
#include "resource.h"
#include "WindowWatcher.h"

namespace {

// Bytes as a readable hex dump for failure messages.
std::string Hex(const std::string& s) {
    std::string out;
    char piece[4];
    for (unsigned char c : s) {
        text::Format(piece, sizeof piece, "%02x ", c);
        out += piece;
    }
    return out;
}

// What the helper thread saw of the box before it acted.
struct SeenBox {
    bool appeared = false;
    bool closedInTime = false;
    std::string texts[3];  // controls 1002, 1004, 1003
    bool stillOpenAfterIgnored = false;
    HWND owner = nullptr;
    std::string report;  // what the watcher waited for and saw
};

// Runs action on the box shown by this thread from the window watcher's thread,
// while the box runs modally here; closes it by force if the action did not
// within 5 s.
class BoxDriver {
public:
    using Action = std::function<void(HWND box, SeenBox& seen)>;

    explicit BoxDriver(Action action)
        : action_(std::move(action)), watcher_(AboutBoxOfThisThread(), [this](HWND box) { Drive(box); }) {}
    SeenBox Finish() {
        watcher_.Stop();
        seen_.report = watcher_.Report();
        return seen_;
    }

private:
    static WindowMatch AboutBoxOfThisThread() {
        WindowMatch match;
        match.item = IDC_ABOUT_PLUGIN_VERSION;
        match.thread = GetCurrentThreadId();
        return match;
    }
    void Drive(HWND box) {
        seen_.appeared = true;
        seen_.owner = GetWindow(box, GW_OWNER);
        const int ids[3] = {IDC_ABOUT_PLUGIN_VERSION, IDC_ABOUT_SETTINGS_VERSION, IDC_ABOUT_COPYRIGHT};
        for (int i = 0; i < 3; ++i) {
            char text[512];
            std::memset(text, 0xcc, sizeof text);
            ansi::DialogItemText(box, ids[i], text, sizeof text);
            seen_.texts[i] = text;
        }
        action_(box, seen_);
        seen_.closedInTime = WaitForWindows([box] { return !IsWindow(box); }, GetWindowThreadProcessId(box, nullptr));
        if (!seen_.closedInTime) {
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    }

    Action action_;
    SeenBox seen_;
    WindowWatcher watcher_;
};

// The control that has the keyboard focus in the box's thread, once the box has
// set it; the box itself when none shows up.
HWND FocusOf(HWND box) {
    const DWORD thread = GetWindowThreadProcessId(box, nullptr);
    HWND focus = box;
    WaitForWindows([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
            (info.hwndFocus == box || IsChild(box, info.hwndFocus))) {
            focus = info.hwndFocus;
            return true;
        }
        return false;
    }, thread, 2000);
    return focus;
}

void PressKey(HWND box, WPARAM key) {
    HWND target = FocusOf(box);
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

class AboutDialog : public ::testing::Test {
protected:
    void SetUp() override {
        savedModule = gPluginModule;
        gPluginModule = GetModuleHandleA(nullptr);
    }
    void TearDown() override { gPluginModule = savedModule; }
    HINSTANCE savedModule = nullptr;
};

struct CloseCase {
    const char* name;
    BoxDriver::Action action;
};

TEST_F(AboutDialog, EveryWayOfClosingReturnsOne) {
    const CloseCase cases[] = {
        {"click on the button",
         [](HWND box, SeenBox&) { SendMessageA(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Enter", [](HWND box, SeenBox&) { PressKey(box, VK_RETURN); }},
        {"Esc", [](HWND box, SeenBox&) { PressKey(box, VK_ESCAPE); }},
        {"WM_COMMAND IDOK",
         [](HWND box, SeenBox&) { PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }},
        {"WM_CLOSE", [](HWND box, SeenBox&) { PostMessageA(box, WM_CLOSE, 0, 0); }},
        {"identifiers 0, 1002 and 3 first, then IDCANCEL",
         [](HWND box, SeenBox& seen) {
             SendMessageA(box, WM_COMMAND, MAKEWPARAM(0, 0), 0);
             SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_PLUGIN_VERSION, STN_CLICKED), 0);
             SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDABORT, BN_CLICKED), 0);
             // Sent, so handled by now; EndDialog would have hidden the box at once.
             seen.stillOpenAfterIgnored = IsWindow(box) && IsWindowVisible(box);
             PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
         }},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        BoxDriver driver(cases[i].action);
        const INT_PTR result = frame::VersionInfo(nullptr);
        const SeenBox seen = driver.Finish();
        ASSERT_TRUE(seen.appeared) << seen.report << "case " << i << ": " << cases[i].name;
        EXPECT_TRUE(seen.closedInTime) << "case " << i << ": " << cases[i].name;
        EXPECT_EQ(1, result) << "case " << i << ": " << cases[i].name;
        if (i == 5) {
            EXPECT_TRUE(seen.stillOpenAfterIgnored) << "case " << i << ": " << cases[i].name;
        }
    }
}

TEST_F(AboutDialog, ShowsTheVersionsAndTheCopyrightLine) {
    HWND owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    BoxDriver driver([](HWND box, SeenBox&) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(1, frame::VersionInfo(owner));
    const SeenBox seen = driver.Finish();
    DestroyWindow(owner);
    ASSERT_TRUE(seen.appeared) << seen.report;
    EXPECT_EQ(owner, seen.owner);
    EXPECT_EQ("Pikuno Version 0.1", seen.texts[0]);
    EXPECT_EQ("Pikunoset Version 0.1", seen.texts[1]);
    EXPECT_EQ("Copyright (C) 2026 The Pikuno developers", seen.texts[2]);
}

TEST_F(AboutDialog, CannotBeCreatedGivesMinusOne) {
    // An owner that is no window.
    HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(gone);
    DestroyWindow(gone);
    EXPECT_EQ(-1, frame::VersionInfo(gone));
    // A module without the template: the test framework's own code has none either,
    // so use a system library that has no dialog 100.
    gPluginModule = GetModuleHandleA("kernel32.dll");
    ASSERT_TRUE(gPluginModule);
    ASSERT_EQ(nullptr, FindResourceA(gPluginModule, MAKEINTRESOURCEA(IDD_ABOUT), MAKEINTRESOURCEA(5)));
    EXPECT_EQ(-1, frame::VersionInfo(nullptr));
}

// The texts too long for the box's 128-byte buffers, from the resource library.
class AboutLongTexts : public ::testing::Test {
protected:
    void SetUp() override {
        library = LoadLibraryA((ProgramFolder() + "about_long_texts.dll").c_str());
        ASSERT_TRUE(library) << GetLastError();
        savedModule = gPluginModule;
        gPluginModule = library;
    }
    void TearDown() override {
        gPluginModule = savedModule;
        if (library) {
            FreeLibrary(library);
        }
    }
    HMODULE library = nullptr;
    HINSTANCE savedModule = nullptr;
};

std::string Repeat(const char* piece, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        s += piece;
    }
    return s;
}

const std::string kDigits = Repeat("0123456789", 20);

TEST_F(AboutLongTexts, AreCutToWholeCharactersWithinTheBuffer) {
    struct Case {
        UINT id;
        std::string expected;
        bool found;
    };
    const Case cases[] = {
        {105, kDigits.substr(0, 127), true},  // 200 bytes
        {106, Repeat("あ", 63), true},        // 128 bytes: the last whole character goes
        {107, kDigits.substr(0, 127), true},  // exactly 127: unchanged
        {110, kDigits.substr(0, 127), true},  // 128 bytes
        {111, Repeat("あ", 63) + "A", true},  // 127 bytes ending in a single byte
        {112, "A" + Repeat("あ", 63), true},  // 129 bytes
        {113, Repeat("ｱ", 127), true},        // half-width katakana are single bytes
        {114, Repeat("ソ", 63), true},        // second byte 0x5C
        {115, "", false},                     // no such string
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        char text[frame::kAboutTextSize];
        std::memset(text, 0xcc, sizeof text);
        const bool found = frame::LoadAboutText(library, cases[i].id, text);
        ASSERT_TRUE(std::memchr(text, '\0', sizeof text)) << "case " << i << ": no terminator";
        EXPECT_EQ(cases[i].found, found) << "case " << i;
        EXPECT_EQ(cases[i].expected, std::string(text))
            << "case " << i << ": " << Hex(text);
    }
}

TEST_F(AboutLongTexts, TheBoxShowsTheCutTexts) {
    BoxDriver driver([](HWND box, SeenBox&) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(1, frame::VersionInfo(nullptr));
    const SeenBox seen = driver.Finish();
    ASSERT_TRUE(seen.appeared) << seen.report;
    EXPECT_EQ(kDigits.substr(0, 127), seen.texts[0]);
    EXPECT_EQ(kDigits.substr(0, 127), seen.texts[1]);
    EXPECT_EQ(Repeat("あ", 63), seen.texts[2]) << Hex(seen.texts[2]);
}

// Template 100 and icon 1 as they are built into Pikuno.dll, read from its bytes.
class PluginResources : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = LoadLibraryExA((ProgramFolder() + "Pikuno.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(plugin) << GetLastError();
    }
    void TearDown() override {
        if (plugin) {
            FreeLibrary(plugin);
        }
    }
    // The bytes of a Japanese resource; empty when there is none.
    std::vector<unsigned char> Resource(LPCSTR type, int id) {
        HRSRC found = FindResourceExA(plugin, type, MAKEINTRESOURCEA(id),
                                      MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
        if (!found) {
            return {};
        }
        const unsigned char* data = static_cast<const unsigned char*>(LockResource(LoadResource(plugin, found)));
        return std::vector<unsigned char>(data, data + SizeofResource(plugin, found));
    }
    HMODULE plugin = nullptr;
};

// Reads a classic dialog template field by field.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    DWORD Dword() {
        DWORD v = 0;
        Take(&v, 4);
        return v;
    }
    int Short() {
        SHORT v = 0;
        Take(&v, 2);
        return v;
    }
    WORD Word() {
        WORD v = 0;
        Take(&v, 2);
        return v;
    }
    // A string or an ordinal: "#<n>" for an ordinal, the text as UTF-8 otherwise.
    std::string SzOrOrd() {
        WORD first = Word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(Word());
        }
        std::wstring wide;
        while (ok_ && first != 0) {
            wide += static_cast<wchar_t>(first);
            first = Word();
        }
        char utf8[256] = "";
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
        return utf8;
    }
    void AlignDword() { pos_ = (pos_ + 3) & ~size_t(3); }

private:
    void Take(void* out, size_t n) {
        if (pos_ + n > bytes_.size()) {
            ok_ = false;
            return;
        }
        std::memcpy(out, &bytes_[pos_], n);
        pos_ += n;
    }
    const std::vector<unsigned char>& bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

TEST_F(PluginResources, AboutTemplate) {
    const std::vector<unsigned char> bytes = Resource(RT_DIALOG, IDD_ABOUT);
    ASSERT_FALSE(bytes.empty());
    TemplateReader reader(bytes);
    const DWORD style = reader.Dword();
    ASSERT_NE(0xFFFF0001u, style) << "an extended template";
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | DS_MODALFRAME | DS_SETFONT), style);
    EXPECT_EQ(0u, reader.Dword());  // extended style
    const WORD count = reader.Word();
    ASSERT_EQ(5, count);
    reader.Short();
    reader.Short();
    EXPECT_EQ(187, reader.Short());
    const int height = reader.Short();
    EXPECT_GE(height, 37 + 8 + 4) << "room below the copyright line";
    EXPECT_EQ("", reader.SzOrOrd());  // menu
    EXPECT_EQ("", reader.SzOrOrd());  // class
    EXPECT_EQ("", reader.SzOrOrd());  // title
    EXPECT_EQ(9, reader.Word());
    EXPECT_EQ(u8"ＭＳ Ｐゴシック", reader.SzOrOrd());

    struct Control {
        int id;
        const char* windowClass;  // "#128" button, "#130" static
        int x, y, cx, cy;
        DWORD style;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Control expected[5] = {
        {-1, "#130", 7, 7, 20, 20, child | SS_ICON},
        {1002, "#130", 31, 11, 118, 8, child | SS_LEFT | SS_NOPREFIX | WS_GROUP},
        {1003, "#130", 7, 37, 173, 8, child | SS_CENTER | WS_GROUP},
        {1004, "#130", 31, 23, 118, 8, child | SS_LEFT | SS_NOPREFIX | WS_GROUP},
        {2, "#128", 151, 7, 29, 17, child | BS_PUSHBUTTON | WS_TABSTOP},
    };
    for (int i = 0; i < 5; ++i) {
        reader.AlignDword();
        const DWORD itemStyle = reader.Dword();
        EXPECT_EQ(expected[i].style, itemStyle) << "control " << i << std::hex << " style " << itemStyle;
        EXPECT_EQ(0u, reader.Dword()) << "control " << i;
        EXPECT_EQ(expected[i].x, reader.Short()) << "control " << i;
        EXPECT_EQ(expected[i].y, reader.Short()) << "control " << i;
        EXPECT_EQ(expected[i].cx, reader.Short()) << "control " << i;
        EXPECT_EQ(expected[i].cy, reader.Short()) << "control " << i;
        EXPECT_EQ(expected[i].id, static_cast<SHORT>(reader.Word())) << "control " << i;
        // A class named in full ("STATIC") makes the same control as its ordinal.
        std::string windowClass = reader.SzOrOrd();
        if (_stricmp(windowClass.c_str(), "STATIC") == 0) {
            windowClass = "#130";
        } else if (_stricmp(windowClass.c_str(), "BUTTON") == 0) {
            windowClass = "#128";
        }
        EXPECT_EQ(expected[i].windowClass, windowClass) << "control " << i;
        const std::string title = reader.SzOrOrd();
        if (i == 0) {
            EXPECT_EQ("#1", title) << "the icon control shows icon 1";
        } else if (i == 4) {
            EXPECT_EQ("OK", title);
        }
        EXPECT_EQ(0, reader.Word()) << "control " << i << ": creation data";
        ASSERT_TRUE(reader.ok()) << "control " << i << ": template ends early";
    }
}

TEST_F(PluginResources, IconIsOne32By32In16Colours) {
    const std::vector<unsigned char> group = Resource(RT_GROUP_ICON, IDI_PIKUNO);
    ASSERT_EQ(6u + 14u, group.size()) << "one image";
    EXPECT_EQ(1, group[4] | group[5] << 8);
    EXPECT_EQ(32, group[6]);   // width
    EXPECT_EQ(32, group[7]);   // height
    EXPECT_EQ(16, group[8]);   // colours
    EXPECT_EQ(4, group[12] | group[13] << 8);  // bits per pixel
    const int imageId = group[18] | group[19] << 8;
    const std::vector<unsigned char> image = Resource(RT_ICON, imageId);
    ASSERT_GE(image.size(), 40u);
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(32, header.biWidth);
    EXPECT_EQ(64, header.biHeight);  // colour and mask
    EXPECT_EQ(4, header.biBitCount);
}

TEST_F(PluginResources, AboutStrings) {
    struct Case {
        int id;
        const char* text;
    };
    const Case cases[] = {
        {IDS_ABOUT_PLUGIN_VERSION, "Pikuno Version 0.1"},
        {IDS_ABOUT_COPYRIGHT, "Copyright (C) 2026 The Pikuno developers"},
        {IDS_ABOUT_SETTINGS_VERSION, "Pikunoset Version 0.1"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        char text[frame::kAboutTextSize];
        std::memset(text, 0xcc, sizeof text);
        EXPECT_TRUE(frame::LoadAboutText(plugin, cases[i].id, text)) << "case " << i;
        EXPECT_STREQ(cases[i].text, text) << "case " << i;
    }
}

}  // namespace
