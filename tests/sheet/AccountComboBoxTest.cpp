// The account list on its own, in a plain window: filling, selection by name, and
// that every item's copy of the directory name is freed however the item goes.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AccountComboBox.h"
#include "MailboxFolder.h"
#include "SheetControls.h"

namespace {

AccountComboBox* gList = nullptr;
int gSelectionChanges = 0;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && gList && gList->HandleNotify(reinterpret_cast<NMHDR*>(lParam))) {
        return 0;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE && gList) {
        gList->HandleSelectionChange();
        ++gSelectionChanges;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class AccountComboBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_USEREX_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "AccountComboBoxTestParent";
        RegisterClassA(&windowClass);
        parent_ = CreateWindowA("AccountComboBoxTestParent", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, parent_);
        control_ = CreateWindowExA(0, WC_COMBOBOXEXA, "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT, 0, 0,
                                   200, 150, parent_, reinterpret_cast<HMENU>(1102), GetModuleHandleA(nullptr),
                                   nullptr);
        ASSERT_NE(nullptr, control_);
        namesBefore_ = AccountComboBox::NamesAlive();
        gList = &list_;
        list_.Attach(control_);
    }
    void TearDown() override {
        if (parent_) {
            DestroyWindow(parent_);
        }
        gList = nullptr;
    }
    std::string Text(int index) const { return ComboBoxExItemText(control_, index); }

    MailboxFolder mailbox_;
    AccountComboBox list_;
    HWND parent_ = nullptr;
    HWND control_ = nullptr;
    long namesBefore_ = 0;
};

TEST_F(AccountComboBoxTest, FillsInSearchOrderAndSelectsByName) {
    const char* names[] = {"Account_c", "AccountA", "Accountb", "Account"};
    for (const char* name : names) {
        mailbox_.AddAccount(name, (std::string("T ") + name).c_str(), "u");
    }
    mailbox_.WriteFile("AccountNotADirectory", "x");
    mailbox_.AddAccount("Acount", "misspelt", "u");

    struct Case {
        const char* current;  // null: none
        const char* selected;  // null: the first item
    } cases[] = {{"AccountA", "AccountA"}, {"accountb", "Accountb"}, {"ACCOUNT", "Account"},
                 {"AccountZ", nullptr},    {nullptr, nullptr},       {"", nullptr},
                 {"Account_", nullptr}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        list_.Fill(mailbox_.Path().c_str(), cases[i].current);
        ASSERT_EQ(4, list_.Count()) << "case " << i;
        EXPECT_EQ(namesBefore_ + 4, AccountComboBox::NamesAlive()) << "case " << i << ": refilling frees the old names";
        std::vector<std::string> order;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((mailbox_.Path() + "Account*").c_str(), &found);
        ASSERT_NE(INVALID_HANDLE_VALUE, search);
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                order.push_back(found.cFileName);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(order[static_cast<size_t>(k)], list_.DirectoryName(k)) << "case " << i << " item " << k;
            EXPECT_EQ("T " + order[static_cast<size_t>(k)], Text(k)) << "case " << i << " item " << k;
        }
        int expected = 0;
        if (cases[i].selected) {
            for (int k = 0; k < 4; ++k) {
                if (order[static_cast<size_t>(k)] == cases[i].selected) {
                    expected = k;
                }
            }
        }
        EXPECT_EQ(expected, list_.SelectedIndex()) << "case " << i;
        EXPECT_EQ(expected, list_.TrackedSelection()) << "case " << i;
        EXPECT_STREQ(order[static_cast<size_t>(expected)].c_str(), list_.SelectedDirectoryName()) << "case " << i;
    }
    EXPECT_EQ(nullptr, list_.DirectoryName(-1));
    EXPECT_EQ(nullptr, list_.DirectoryName(4));
}

TEST_F(AccountComboBoxTest, EmptyAndMissingMailboxes) {
    struct Case {
        std::string mailbox;
    } cases[] = {{mailbox_.Path()}, {mailbox_.Path() + "missing\\"}, {""}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        list_.Fill(cases[i].mailbox.c_str(), "Account1");
        EXPECT_EQ(0, list_.Count()) << "case " << i;
        EXPECT_EQ(-1, list_.SelectedIndex()) << "case " << i;
        EXPECT_EQ(nullptr, list_.SelectedDirectoryName()) << "case " << i;
    }
    list_.Fill(nullptr, nullptr);
    EXPECT_EQ(0, list_.Count());
}

TEST_F(AccountComboBoxTest, NamesAreFreedWhenItemsGo) {
    for (int i = 0; i < 5; ++i) {
        mailbox_.AddAccount("Account" + std::to_string(i), "t", "u");
    }
    list_.Fill(mailbox_.Path().c_str(), nullptr);
    ASSERT_EQ(namesBefore_ + 5, AccountComboBox::NamesAlive());

    // One item deleted by the control's own message.
    std::string second = list_.DirectoryName(1);
    SendMessageA(control_, CBEM_DELETEITEM, 1, 0);
    EXPECT_EQ(namesBefore_ + 4, AccountComboBox::NamesAlive());
    EXPECT_NE(second, list_.DirectoryName(1));

    // Emptied, by the list and by the control's own message.
    list_.Clear();
    EXPECT_EQ(0, list_.Count());
    EXPECT_EQ(namesBefore_, AccountComboBox::NamesAlive());
    list_.Fill(mailbox_.Path().c_str(), nullptr);
    SendMessageA(control_, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(0, list_.Count());
    EXPECT_EQ(namesBefore_, AccountComboBox::NamesAlive());

    // Destroyed with its items still in it.
    list_.Fill(mailbox_.Path().c_str(), nullptr);
    ASSERT_EQ(namesBefore_ + 5, AccountComboBox::NamesAlive());
    DestroyWindow(parent_);
    parent_ = nullptr;
    EXPECT_EQ(namesBefore_, AccountComboBox::NamesAlive());
}

TEST_F(AccountComboBoxTest, TracksTheSelection) {
    for (int i = 0; i < 3; ++i) {
        mailbox_.AddAccount("Account" + std::to_string(i), "t", "u");
    }
    list_.Fill(mailbox_.Path().c_str(), nullptr);
    gSelectionChanges = 0;
    SendMessageA(control_, CB_SETCURSEL, 2, 0);
    SendMessageA(parent_, WM_COMMAND, MAKEWPARAM(1102, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control_));
    EXPECT_EQ(1, gSelectionChanges);
    EXPECT_EQ(2, list_.TrackedSelection());
    EXPECT_EQ(2, list_.SelectedIndex());
    // Created sorted, the control is made unsorted (the fill test shows the items
    // stay in search order).
    EXPECT_EQ(0, GetWindowLongPtrA(control_, GWL_STYLE) & CBS_SORT);
    EXPECT_EQ(CBS_DROPDOWNLIST, GetWindowLongPtrA(control_, GWL_STYLE) & 3);
}

}  // namespace
