// Probes of the faults of Wine's 32-on-64-bit mode (wine64 8.0 running a 32-bit
// program) that keep tests out of the i686 run or make them read texts through the
// W calls. In that mode each probe expects the fault, so that the day a newer Wine
// has fixed it, the probe fails and says which exclusion or workaround can go
// (tests/CMakeLists.txt, PIKUNO_I686_LEFT_OUT; common/AnsiText.h). Everywhere
// else (the x86_64 build, Windows) the same probes expect what Windows does.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "ProgramFolder.h"

namespace {

// A 32-bit program under Wine's 64-bit loader: the mode of these faults.
bool InWine32On64() {
    if (sizeof(void*) != 4) {
        return false;
    }
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) {
        return false;
    }
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

class Wine32On64Faults : public ::testing::Test {
protected:
    void SetUp() override {
        faulty_ = InWine32On64();
        // The system's ANSI code page must be 932 for the text probes to mean anything.
        ASSERT_EQ(932u, GetACP());
        window_ = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window_);
    }
    void TearDown() override {
        if (window_) {
            DestroyWindow(window_);
        }
    }
    bool faulty_ = false;
    HWND window_ = nullptr;
};

const char kSjis[] = "選択受信";      // Shift_JIS bytes (the execution character set)
const wchar_t kWide[] = L"\u9078\u629e\u53d7\u4fe1";

// GetMenuItemInfoA and GetMenuStringA return a menu text's UTF-8 bytes; the text is
// stored right. Workaround while it lasts: tests and the host read menus through
// GetMenuStringW (AnsiText.h).
TEST_F(Wine32On64Faults, MenuTextReadWithTheACall) {
    HMENU menu = CreateMenu();
    ASSERT_TRUE(AppendMenuA(menu, MF_STRING, 100, kSjis));
    char text[64] = {};
    GetMenuStringA(menu, 100, text, sizeof text, MF_BYCOMMAND);
    wchar_t wide[64] = {};
    GetMenuStringW(menu, 100, wide, 64, MF_BYCOMMAND);
    DestroyMenu(menu);
    EXPECT_EQ(std::wstring(kWide), wide) << "the stored text";
    if (faulty_) {
        EXPECT_EQ(std::string("\xE9\x81\xB8\xE6\x8A\x9E\xE5\x8F\x97\xE4\xBF\xA1"), text)
            << "Wine reads menu texts with the ANSI code page now: AnsiText.h's menu reading can go";
    } else {
        EXPECT_EQ(std::string(kSjis), text);
    }
}

// SetWindowTextA stores Japanese text as U+FFFD; so do WM_SETTEXT sent with an A
// call and the window names of CreateWindowExA. Tests that read back a text the
// product sets with an A call are left out of the i686 run for it.
// The caption of a dialog or property sheet made with an A call goes the same way
// (CreateWindowExA's window name; CaptionOfADialogMadeWithTheACall).
TEST_F(Wine32On64Faults, WindowTextSetWithTheACall) {
    ASSERT_TRUE(SetWindowTextA(window_, kSjis));
    wchar_t wide[64] = {};
    GetWindowTextW(window_, wide, 64);
    HWND named = CreateWindowExA(0, "STATIC", kSjis, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, named);
    wchar_t name[64] = {};
    GetWindowTextW(named, name, 64);
    DestroyWindow(named);
    if (faulty_) {
        EXPECT_NE(std::wstring::npos, std::wstring(wide).find(L'\ufffd'))
            << "Wine stores A window texts right now: the tests left out for it can run on i686";
        EXPECT_NE(std::wstring(kWide), name) << "Wine keeps CreateWindowExA's window names right now: "
                                                "the tests left out for garbled captions can run on i686";
    } else {
        EXPECT_EQ(std::wstring(kWide), wide);
        EXPECT_EQ(std::wstring(kWide), name);
    }
}

// A dialog made with an A call from a template, whose caption the template holds
// in UTF-16 as every resource dialog does, gets a garbled caption all the same:
// Wine hands it on through CreateWindowExA. The W call keeps it. The tests find
// the selection dialog and the scan's progress window by their controls; the cases
// that check their captions are left out of the i686 run for it.
INT_PTR CALLBACK ProbeDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// What a dialog made from a template shows: its caption and its one static item's text.
struct TemplateDialogTexts {
    std::wstring caption;
    std::wstring item;
};

constexpr int kProbeItem = 100;

WORD* PutText(WORD* next, const wchar_t* text) {
    for (const wchar_t* c = text; *c; ++c) {
        *next++ = static_cast<WORD>(*c);
    }
    *next++ = 0;
    return next;
}

TemplateDialogTexts TextsOfTemplateDialog(const wchar_t* caption, const wchar_t* itemText, bool ansiCall) {
    // DLGTEMPLATE, no menu, the default class, the caption, no font; one STATIC item.
    alignas(4) WORD words[128] = {};
    DLGTEMPLATE* header = reinterpret_cast<DLGTEMPLATE*>(words);
    header->style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header->cdit = 1;
    header->cx = 100;
    header->cy = 50;
    WORD* next = reinterpret_cast<WORD*>(header + 1);
    *next++ = 0;  // menu
    *next++ = 0;  // class
    next = PutText(next, caption);
    // Each item starts on a DWORD boundary.
    if ((next - words) % 2 != 0) {
        ++next;
    }
    DLGITEMTEMPLATE* item = reinterpret_cast<DLGITEMTEMPLATE*>(next);
    item->style = WS_CHILD | WS_VISIBLE | SS_LEFT;
    item->cx = 90;
    item->cy = 10;
    item->id = kProbeItem;
    next = reinterpret_cast<WORD*>(item + 1);
    *next++ = 0xFFFF;  // a predefined class: STATIC
    *next++ = 0x0082;
    next = PutText(next, itemText);
    *next = 0;  // no creation data
    HWND dialog = ansiCall ? CreateDialogIndirectParamA(GetModuleHandleA(nullptr), header, nullptr, ProbeDialogProc, 0)
                           : CreateDialogIndirectParamW(GetModuleHandleW(nullptr), header, nullptr, ProbeDialogProc, 0);
    TemplateDialogTexts texts;
    if (!dialog) {
        texts.caption = texts.item = L"<no dialog>";
        return texts;
    }
    wchar_t text[64] = {};
    GetWindowTextW(dialog, text, 64);
    texts.caption = text;
    text[0] = L'\0';
    GetDlgItemTextW(dialog, kProbeItem, text, 64);
    texts.item = text;
    DestroyWindow(dialog);
    return texts;
}

TEST_F(Wine32On64Faults, CaptionOfADialogMadeWithTheACall) {
    // The selection dialog's caption ("\uff80\uff9e\uff72\uff71\uff9b\uff78\uff9e", half-width
    // katakana) and the progress window's (kWide).
    const std::wstring captions[] = {L"\uff80\uff9e\uff72\uff71\uff9b\uff78\uff9e", kWide};
    for (const std::wstring& caption : captions) {
        EXPECT_EQ(caption, TextsOfTemplateDialog(caption.c_str(), L"x", false).caption) << "made with the W call";
        if (faulty_) {
            EXPECT_NE(caption, TextsOfTemplateDialog(caption.c_str(), L"x", true).caption)
                << "Wine keeps the captions of dialogs made with A calls now: the Scan and SelectiveReceive "
                   "dialog cases left out for garbled captions can run on i686";
        } else {
            EXPECT_EQ(caption, TextsOfTemplateDialog(caption.c_str(), L"x", true).caption) << "made with the A call";
        }
    }
}

// The controls of such a dialog are made the same way, so their texts from the
// template come out garbled too: read back, every byte above 0x7F of a label's
// Shift_JIS form is a "?" (the bytes below are kept). The progress window's label
// and button are checked in a case left out of the i686 run for it.
TEST_F(Wine32On64Faults, ItemTextOfADialogMadeWithTheACall) {
    // The progress window's button ("\uff77\uff6c\uff9d\uff7e\uff99", half-width katakana)
    // and the start of its label.
    const std::wstring texts[] = {L"\uff77\uff6c\uff9d\uff7e\uff99", L"\u30b5\u30fc\u30d0\u30fc\u306e"};
    for (const std::wstring& text : texts) {
        EXPECT_EQ(text, TextsOfTemplateDialog(L"probe", text.c_str(), false).item) << "made with the W call";
        if (faulty_) {
            EXPECT_NE(text, TextsOfTemplateDialog(L"probe", text.c_str(), true).item)
                << "Wine keeps the item texts of dialogs made with A calls now: "
                   "Scan.ProgressWindowShowsItsTexts can run on i686";
        } else {
            EXPECT_EQ(text, TextsOfTemplateDialog(L"probe", text.c_str(), true).item) << "made with the A call";
        }
    }
}

// GetWindowTextA returns a (rightly stored) window text's UTF-8 bytes. Workaround:
// AnsiText.h reads window texts through GetWindowTextW.
TEST_F(Wine32On64Faults, WindowTextReadWithTheACall) {
    ASSERT_TRUE(SetWindowTextW(window_, kWide));
    char text[64] = {};
    GetWindowTextA(window_, text, sizeof text);
    if (faulty_) {
        EXPECT_EQ(std::string("\xE9\x81\xB8\xE6\x8A\x9E\xE5\x8F\x97\xE4\xBF\xA1"), text)
            << "Wine reads window texts with the ANSI code page now: AnsiText.h's window reading can go";
    } else {
        EXPECT_EQ(std::string(kSjis), text);
    }
}

// No icon loads (ERROR_INVALID_HANDLE): neither the system's shared ones, so that a
// message box shows none and the binding tests cannot see the refusal box's error
// icon on i686, nor one from a module's own resources (the selection dialog's
// check-box pictures). Icons made from bits (CreateIcon) work.
TEST_F(Wine32On64Faults, IconsLoad) {
    HICON error = LoadIconA(nullptr, MAKEINTRESOURCEA(32513));  // IDI_ERROR
    HICON own = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (faulty_) {
        EXPECT_EQ(nullptr, error) << "Wine loads system icons now: check the error icon on i686 again";
        EXPECT_EQ(nullptr, own) << "Wine loads icons from resources now: the tests left out for it can run on i686";
    } else {
        EXPECT_NE(nullptr, error);
        EXPECT_NE(nullptr, own);
    }
    if (own) {
        DestroyIcon(own);
    }
}

// The extended combo box (ComboBoxEx32) keeps no items in its list: inserted items
// answer success but CB_GETCOUNT stays 0, so the account list shows nothing.
TEST_F(Wine32On64Faults, ListAndComboBoxesKeepItems) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_USEREX_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&classes));
    HWND combo = CreateWindowExA(0, WC_COMBOBOXEXA, "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 200, 150,
                                 window_, reinterpret_cast<HMENU>(1102), GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, combo);
    const char* names[] = {"one", "two"};
    for (int i = 0; i < 2; ++i) {
        COMBOBOXEXITEMA item = {};
        item.mask = CBEIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>(names[i]);
        SendMessageA(combo, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    if (faulty_) {
        EXPECT_EQ(0, count) << "Wine's combo boxes keep items now: the account list tests can run on i686";
    } else {
        EXPECT_EQ(2, count);
    }
}

// No memory device context can be made (CreateCompatibleDC), and so no image list:
// ImageList_Create fails whatever its flags. Sheet tests that hand image lists to
// controls are left out of the i686 run for it.
TEST_F(Wine32On64Faults, MemoryDeviceContexts) {
    HDC memory = CreateCompatibleDC(nullptr);
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR4 | ILC_MASK, 1, 0);
    if (faulty_) {
        EXPECT_EQ(nullptr, memory) << "Wine makes memory device contexts now: the image-list tests can run on i686";
        EXPECT_EQ(nullptr, list);
    } else {
        EXPECT_NE(nullptr, memory);
        EXPECT_NE(nullptr, list);
    }
    if (memory) {
        DeleteDC(memory);
    }
    if (list) {
        ImageList_Destroy(list);
    }
}

// An edit control with any text in it, even one set with a W call, faults inside
// Wine (usp10 ScriptString_pSize from the edit control's layout) and ends the
// program: the settings pages with edit fields and the host's mail view cannot be
// shown on i686. The edit control runs in a program of its own (EditProbe.cpp).
TEST_F(Wine32On64Faults, EditControlHoldsText) {
    const std::string program = ProgramFolder() + "wine32on64_edit_probe.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"";
    ASSERT_TRUE(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << program;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000)) << "the probe hangs";
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (faulty_) {
        EXPECT_NE(0u, exitCode) << "Wine's edit control holds text now: the tests left out for it can run on i686";
        EXPECT_NE(3u, exitCode) << "the edit control lives but holds another text";
    } else {
        EXPECT_EQ(0u, exitCode) << "exit code " << exitCode;
    }
}

}  // namespace
