#include "FolderMenu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AnsiText.h"
#include "FakeHost.h"
#include "SelectiveReceive.h"
#include "SplitQueue.h"

namespace {

// The item texts as Shift_JIS bytes, written out so that the test does not share
// the compiler's conversion with the code under test.
const char kSelectiveReceiveBytes[] = "\x91\x49\x91\xf0\x8e\xf3\x90\x4d";  // 選択受信
const char kDigestSplitBytes[] =                                            // ダイジェストメール分割
    "\x83\x5f\x83\x43\x83\x57\x83\x46\x83\x58\x83\x67\x83\x81\x81\x5b\x83\x8b\x95\xaa\x8a\x84";

const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));

struct MenuItem {
    UINT id;
    UINT type;
    std::string text;  // the raw bytes
    HMENU submenu;
};

// Reads every item of a menu the way the host would show it.
std::vector<MenuItem> ReadMenu(HMENU menu) {
    std::vector<MenuItem> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[64];
        std::memset(text, 0xcc, sizeof text);
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) {
            ADD_FAILURE() << "item " << i << " unreadable";
            continue;
        }
        std::string bytes;
        if (!(info.fType & MFT_SEPARATOR)) {
            // cch is the length without the terminator, which must be there.
            EXPECT_EQ('\0', text[info.cch]) << "item " << i;
            bytes = ansi::MenuText(menu, static_cast<UINT>(i), MF_BYPOSITION);
        }
        items.push_back({info.wID, info.fType, bytes, info.hSubMenu});
    }
    return items;
}

void AppendItem(HMENU menu, UINT id, const char* text) {
    ASSERT_TRUE(AppendMenuA(menu, MF_STRING, id, text));
}

// A folder window's menu bar: ファイル, 編集, 受信 (with the receive command in the
// middle of two other items), ヘルプ.
class MenuBar {
public:
    explicit MenuBar(int topLevelEntries = 4) {
        bar = CreateMenu();
        for (int i = 0; i < topLevelEntries; ++i) {
            HMENU submenu = CreatePopupMenu();
            if (i == 2) {
                AppendItem(submenu, 200, "全て受信");
                AppendItem(submenu, kHostReceiveCommand, "受信");
                AppendItem(submenu, 201, "送信");
            } else {
                AppendItem(submenu, 300 + i, "item");
            }
            AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), "top");
        }
    }
    ~MenuBar() { DestroyMenu(bar); }
    HMENU Receive() const { return GetSubMenu(bar, 2); }
    HMENU bar;
};

class FolderMenuTest : public ::testing::Test {
protected:
    FakeHost host;
};

TEST_F(FolderMenuTest, MenuBarGetsItemAndSeparatorBeforeTheReceiveCommand) {
    MenuBar menu;
    EXPECT_TRUE(frame::FolderInitMenu(kWindow, menu.bar, kMenuKindMenuBar));

    ASSERT_EQ(1u, FakeHost::CallsOf("RegistCallback").size());
    EXPECT_EQ(RunSelectiveReceive, FakeHost::CallsOf("RegistCallback")[0].callback);
    EXPECT_EQ(0, FakeHost::CallsOf("RegistCallback")[0].value);

    std::vector<MenuItem> items = ReadMenu(menu.Receive());
    ASSERT_EQ(5u, items.size());
    EXPECT_EQ(200u, items[0].id);
    EXPECT_EQ(static_cast<UINT>(FakeHost::kFirstCommandId), items[1].id);
    EXPECT_EQ(static_cast<UINT>(MFT_STRING), items[1].type);
    EXPECT_EQ(std::string(kSelectiveReceiveBytes), items[1].text);
    EXPECT_EQ(static_cast<UINT>(MFT_SEPARATOR), items[2].type & MFT_SEPARATOR);
    EXPECT_EQ(kHostReceiveCommand, items[3].id);
    EXPECT_EQ(201u, items[4].id);
    // Nothing else in the menu bar changed.
    EXPECT_EQ(4, GetMenuItemCount(menu.bar));
    EXPECT_EQ(1, GetMenuItemCount(GetSubMenu(menu.bar, 3)));
}

TEST_F(FolderMenuTest, MenuBarTwiceGivesTwoItemsAndTwoSeparators) {
    MenuBar menu;
    EXPECT_TRUE(frame::FolderInitMenu(kWindow, menu.bar, kMenuKindMenuBar));
    EXPECT_TRUE(frame::FolderInitMenu(kWindow, menu.bar, kMenuKindMenuBar));

    ASSERT_EQ(2u, FakeHost::CallsOf("RegistCallback").size());
    std::vector<MenuItem> items = ReadMenu(menu.Receive());
    ASSERT_EQ(7u, items.size());
    const UINT firstId = static_cast<UINT>(FakeHost::kFirstCommandId);
    EXPECT_EQ(firstId, items[1].id);
    EXPECT_EQ(std::string(kSelectiveReceiveBytes), items[1].text);
    EXPECT_TRUE(items[2].type & MFT_SEPARATOR);
    EXPECT_EQ(firstId + 1, items[3].id);
    EXPECT_EQ(std::string(kSelectiveReceiveBytes), items[3].text);
    EXPECT_TRUE(items[4].type & MFT_SEPARATOR);
    EXPECT_EQ(kHostReceiveCommand, items[5].id);
}

TEST_F(FolderMenuTest, MenuBarWithoutThirdSubmenuRegistersNothing) {
    for (int entries = 0; entries <= 2; ++entries) {
        MenuBar menu(entries);
        EXPECT_FALSE(frame::FolderInitMenu(kWindow, menu.bar, kMenuKindMenuBar)) << entries << " entries";
        EXPECT_TRUE(FakeHost::CallsOf("RegistCallback").empty()) << entries << " entries";
        EXPECT_EQ(entries, GetMenuItemCount(menu.bar));
    }
    // Position 2 holds a plain command, not a submenu.
    MenuBar menu(2);
    AppendItem(menu.bar, 500, "command");
    EXPECT_FALSE(frame::FolderInitMenu(kWindow, menu.bar, kMenuKindMenuBar));
    EXPECT_TRUE(FakeHost::CallsOf("RegistCallback").empty());
}

TEST_F(FolderMenuTest, MenuBarWithoutReceiveCommandRegistersButInsertsNothing) {
    MenuBar menu;
    ASSERT_TRUE(DeleteMenu(menu.Receive(), kHostReceiveCommand, MF_BYCOMMAND));
    EXPECT_FALSE(frame::FolderInitMenu(kWindow, menu.bar, kMenuKindMenuBar));
    EXPECT_EQ(1u, FakeHost::CallsOf("RegistCallback").size());
    EXPECT_EQ(2, GetMenuItemCount(menu.Receive()));
}

// A folder menu of the host: an item with command 1 ("開く") and another one.
HMENU CreateFolderMenu(bool withCommandOne = true) {
    HMENU menu = CreatePopupMenu();
    if (withCommandOne) {
        AppendMenuA(menu, MF_STRING, kFolderMenuAnchorCommand, "開く");
    }
    AppendMenuA(menu, MF_STRING, 2, "削除");
    return menu;
}

struct FolderCase {
    const char* folder;
    bool offered;
};

TEST_F(FolderMenuTest, FolderMenuOffersDigestSplitOnlyInTheInbox) {
    const std::string overlong = "C:\\" + std::string(260, 'x') + "\\inbox.box";
    const FolderCase cases[] = {
        {"C:\\Quenla\\Account1\\inbox.box", true},
        {"C:\\Quenla\\Account1\\INBOX.BOX", true},
        {"C:\\Quenla\\Account1\\Inbox.Box", true},
        {"C:\\Quenla\\Account1\\inbox.boxes", true},  // only the first 9 characters count
        {"\\inbox.box", true},
        {"C:\\Quenla\\\x95\x5c\\inbox.box", true},  // "表" before a real separator
        {"C:\\Quenla\\Account1\\inbox.bo", false},   // shorter than 9 characters
        {"C:\\Quenla\\Account1\\", false},
        {"C:\\Quenla\\Account1\\trash.box", false},
        {"C:\\Quenla\\Account1\\xinbox.box", false},
        {"C:\\Quenla\\inbox.box\\trash.box", false},  // only the last component counts
        {"C:\\Quenla\\\x83\x5cinbox.box", false},    // "ソ": its 0x5C is no separator
        {"inbox.box", false},                        // no backslash at all
        {"", false},
        {overlong.c_str(), false},  // does not fit the 260-byte copy
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        FakeHost::calls.clear();
        FakeHost::currentFolder = cases[i].folder;
        HMENU menu = CreateFolderMenu();

        const BOOL result = frame::FolderInitMenu(kWindow, menu, kMenuKindFolderMenu);

        ASSERT_EQ(1u, FakeHost::WindowsOf("GetCurrentFolder").size()) << "case " << i;
        EXPECT_EQ(kWindow, FakeHost::WindowsOf("GetCurrentFolder")[0]) << "case " << i;
        std::vector<MenuItem> items = ReadMenu(menu);
        if (cases[i].offered) {
            EXPECT_TRUE(result) << "case " << i;
            ASSERT_EQ(1u, FakeHost::CallsOf("RegistCallback").size()) << "case " << i;
            EXPECT_EQ(DigestSplitCommand, FakeHost::CallsOf("RegistCallback")[0].callback) << "case " << i;
            EXPECT_EQ(reinterpret_cast<LPARAM>(menu), FakeHost::CallsOf("RegistCallback")[0].value) << "case " << i;
            // One item before command 1, no separator.
            ASSERT_EQ(3u, items.size()) << "case " << i;
            EXPECT_EQ(static_cast<UINT>(FakeHost::kFirstCommandId), items[0].id) << "case " << i;
            EXPECT_EQ(static_cast<UINT>(MFT_STRING), items[0].type) << "case " << i;
            EXPECT_EQ(std::string(kDigestSplitBytes), items[0].text) << "case " << i;
            EXPECT_EQ(kFolderMenuAnchorCommand, items[1].id) << "case " << i;
        } else {
            EXPECT_FALSE(result) << "case " << i;
            EXPECT_TRUE(FakeHost::CallsOf("RegistCallback").empty()) << "case " << i;
            EXPECT_EQ(2u, items.size()) << "case " << i;
        }
        DestroyMenu(menu);
    }
}

TEST_F(FolderMenuTest, FolderMenuWithoutCommandOneRegistersButShowsNothing) {
    HMENU menu = CreateFolderMenu(false);
    EXPECT_FALSE(frame::FolderInitMenu(kWindow, menu, kMenuKindFolderMenu));
    EXPECT_EQ(1u, FakeHost::CallsOf("RegistCallback").size());
    EXPECT_EQ(1, GetMenuItemCount(menu));
    DestroyMenu(menu);
}

TEST_F(FolderMenuTest, OtherKindsDoNothing) {
    const int kinds[] = {0, 1, 100, 103, 104, 201, -1, -101};
    for (int kind : kinds) {
        MenuBar bar;
        HMENU folderMenu = CreateFolderMenu();
        EXPECT_FALSE(frame::FolderInitMenu(kWindow, bar.bar, kind)) << "kind " << kind;
        EXPECT_FALSE(frame::FolderInitMenu(kWindow, folderMenu, kind)) << "kind " << kind;
        EXPECT_TRUE(FakeHost::CallsOf("RegistCallback").empty()) << "kind " << kind;
        EXPECT_TRUE(FakeHost::WindowsOf("GetCurrentFolder").empty()) << "kind " << kind;
        EXPECT_EQ(3, GetMenuItemCount(bar.Receive())) << "kind " << kind;
        EXPECT_EQ(2, GetMenuItemCount(folderMenu)) << "kind " << kind;
        DestroyMenu(folderMenu);
    }
}

}  // namespace
