// The filter page, driven through the real sheet: the account list, what it shows
// for each account, enabling, the size field's validation, and what it saves when.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MailboxFolder.h"
#include "PikunosetResources.h"
#include "SheetTestDriver.h"

namespace {

const char kSizeMessage[] = "正の整数を入力してください。";

std::vector<std::string> KirvanLines(const char* pass, int doFilter, int filterType, int checkSize, long long size,
                                     int deleteOnServer, int security = 0) {
    return {"[Server]",
            std::string("pass=") + pass,
            "Security=" + std::to_string(security),
            "[Property]",
            "DoFilter=" + std::to_string(doFilter),
            "FilterType=" + std::to_string(filterType),
            "CheckSize=" + std::to_string(checkSize),
            "FilterSize=" + std::to_string(size),
            "Delete=" + std::to_string(deleteOnServer)};
}

// The "Account*" directories in the order the file system returns them.
std::vector<std::string> AccountsInSearchOrder(const std::string& mailbox) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((mailbox + "Account*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

class FilterPageTest : public ::testing::Test {
protected:
    // Opens the sheet and goes to the filter page.
    void Open(const std::string& accountPath = "") {
        ASSERT_TRUE(driver_.Start(mailbox_.Path().c_str(), accountPath.c_str())) << driver_.Seen();
        ASSERT_TRUE(driver_.SelectPage(1));
    }
    HWND List() const { return driver_.Control(1, IDC_ACCOUNT_LIST); }
    int ItemCount() const { return static_cast<int>(SendMessageA(List(), CB_GETCOUNT, 0, 0)); }
    int Selected() const { return static_cast<int>(SendMessageA(List(), CB_GETCURSEL, 0, 0)); }
    std::string ItemText(int index) const { return ComboBoxExItemText(List(), index); }
    std::string ItemName(int index) const {
        COMBOBOXEXITEMA item = {};
        item.mask = CBEIF_LPARAM | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
        item.iItem = index;
        if (!SendMessageA(List(), CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) || !item.lParam) {
            return "(none)";
        }
        EXPECT_EQ(0, item.iImage) << "item " << index;
        EXPECT_EQ(0, item.iSelectedImage) << "item " << index;
        return reinterpret_cast<const char*>(item.lParam);
    }
    int IndexOf(const std::string& name) const {
        for (int i = 0; i < ItemCount(); ++i) {
            if (_stricmp(ItemName(i).c_str(), name.c_str()) == 0) {
                return i;
            }
        }
        return -1;
    }
    bool Checked(int id) const { return driver_.IsChecked(1, id); }
    bool Enabled(int id) const { return driver_.IsEnabled(1, id); }
    void Click(int id) const { driver_.Click(1, id); }
    std::string Text(int id) const { return driver_.Text(1, id); }
    // OK closes the sheet with 1 and leaves these lines in the account's file.
    void ExpectOkWrites(const std::vector<std::string>& lines, const std::string& file = "Account1\\Kirvan.ini") {
        driver_.PressOk();
        EXPECT_EQ(1, driver_.WaitResult());
        EXPECT_EQ(lines, mailbox_.Lines(file));
    }
    // Closes the size message and checks where the focus went.
    // An account change goes on to show the new account, which replaces the text
    // and with it the selection; a disabled field cannot take the focus.
    enum class Then { FocusAndSelection, FocusOnly, Nothing };
    void ExpectSizeRefused(const char* what, Then then = Then::FocusAndSelection) {
        HWND box = driver_.WaitMessageBox("Pikunoset");
        ASSERT_NE(nullptr, box) << what;
        EXPECT_EQ(std::string(kSizeMessage), SheetTestDriver::MessageBoxText(box)) << what;
        EXPECT_NE(nullptr, GetDlgItem(box, IDOK)) << what;
        EXPECT_EQ(nullptr, GetDlgItem(box, IDCANCEL)) << what;
        // The warning icon: the message box's icon control holds the system's one.
        HICON shown = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 0x0440, STM_GETICON, 0, 0));
        EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), shown) << what;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitForWindows([&] { return !IsWindow(box); }, driver_.HostThread())) << what;
        if (then == Then::Nothing) {
            return;
        }
        HWND field = driver_.Control(1, IDC_FILTER_SIZE);
        EXPECT_TRUE(WaitForWindows([&] { return driver_.FocusWindow() == field; }, driver_.HostThread()))
            << what << ": focus";
        if (then == Then::FocusOnly) {
            return;
        }
        DWORD start = 0;
        DWORD end = 0;
        SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(0u, start) << what;
        EXPECT_EQ(static_cast<DWORD>(GetWindowTextLengthA(field)), end) << what << ": the whole text is selected";
    }

    MailboxFolder mailbox_;
    SheetTestDriver driver_;
};

TEST_F(FilterPageTest, ListsTheAccountDirectoriesInSearchOrder) {
    mailbox_.AddAccount("Account1", "仕事用", "alice");
    mailbox_.AddAccount("AccountB", "Home", "bob");
    mailbox_.AddAccount("Account3", nullptr, nullptr);  // no Account.ini at all
    mailbox_.AddAccount("Other", "Not an account", "x");
    mailbox_.WriteFile("AccountFile", "a file named like an account");
    Open();

    std::vector<std::string> expected = AccountsInSearchOrder(mailbox_.Path());
    ASSERT_EQ(3u, expected.size());
    ASSERT_EQ(3, ItemCount());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[static_cast<size_t>(i)], ItemName(i)) << "item " << i;
        const char* title = expected[static_cast<size_t>(i)] == "Account1" ? "仕事用"
                            : expected[static_cast<size_t>(i)] == "AccountB" ? "Home" : "";
        EXPECT_EQ(std::string(title), ItemText(i)) << "item " << i;
    }
    // Unsorted drop-down list with pictures.
    HWND combo = reinterpret_cast<HWND>(SendMessageA(List(), CBEM_GETCOMBOCONTROL, 0, 0));
    EXPECT_EQ(0, GetWindowLongPtrA(combo, GWL_STYLE) & CBS_SORT);
    EXPECT_EQ(CBS_DROPDOWNLIST, GetWindowLongPtrA(combo, GWL_STYLE) & 3);
    HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(SendMessageA(List(), CBEM_GETIMAGELIST, 0, 0));
    ASSERT_NE(nullptr, icons);
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(icons, &cx, &cy);
    EXPECT_EQ(20, cx);
    EXPECT_EQ(18, cy);
    EXPECT_EQ(1, ImageList_GetImageCount(icons));

    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
}

TEST(FilterPageSelection, FirstSelectedAccount) {
    struct Case {
        const char* accountPath;  // "%s" stands for the mailbox directory
        const char* selected;     // null: the first item
    } cases[] = {
        {"%sAccountB\\", "AccountB"},
        {"%sACCOUNTB\\", "AccountB"},
        {"%saccount1", "Account1"},
        {"%sAccountZ\\", nullptr},
        {"AccountB", nullptr},  // a single component names no account
        {"", nullptr},
        {"C:\\elsewhere\\Accountb\\", "AccountB"},  // only the last component counts
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailboxFolder mailbox;
        mailbox.AddAccount("Account1", "One", "a");
        mailbox.AddAccount("AccountB", "Bee", "b");
        mailbox.AddAccount("Account3", "Three", "c");
        std::string path = cases[i].accountPath;
        size_t at = path.find("%s");
        if (at != std::string::npos) {
            path.replace(at, 2, mailbox.Path());
        }
        SheetTestDriver driver;
        ASSERT_TRUE(driver.Start(mailbox.Path().c_str(), path.c_str())) << "case " << i << "\n" << driver.Seen();
        ASSERT_TRUE(driver.SelectPage(1)) << "case " << i;
        HWND list = driver.Control(1, IDC_ACCOUNT_LIST);
        int selected = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
        std::string expected = cases[i].selected ? cases[i].selected : AccountsInSearchOrder(mailbox.Path())[0];
        COMBOBOXEXITEMA item = {};
        item.mask = CBEIF_LPARAM;
        item.iItem = selected;
        ASSERT_TRUE(SendMessageA(list, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) << "case " << i;
        EXPECT_EQ(expected, reinterpret_cast<const char*>(item.lParam)) << "case " << i;
        // The values shown are those of the selected account.
        std::string user = expected == "Account1" ? "a" : expected == "AccountB" ? "b" : "c";
        EXPECT_EQ(user, driver.Text(1, IDC_USER_NAME)) << "case " << i;
        driver.PressCancel();
        EXPECT_EQ(2, driver.WaitResult()) << "case " << i;
    }
}

TEST_F(FilterPageTest, ShowsTheAccountAndNeverWritesTheUserName) {
    mailbox_.AddAccount("Account1", "Home", "alice");
    mailbox_.WriteFile("Account1\\Kirvan.ini",
                       "[Server]\r\npass=p@ss word\r\n[Property]\r\nDoFilter=1\r\nFilterType=1\r\nCheckSize=1\r\n"
                       "FilterSize=2048\r\n");
    const std::string accountIni = mailbox_.ReadFile("Account1\\Account.ini");
    Open(mailbox_.Path() + "Account1\\");

    EXPECT_EQ("alice", Text(IDC_USER_NAME));
    EXPECT_NE(0, GetWindowLongPtrA(driver_.Control(1, IDC_USER_NAME), GWL_STYLE) & ES_READONLY);
    EXPECT_NE(0, GetWindowLongPtrA(driver_.Control(1, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ("p@ss word", Text(IDC_PASSWORD));
    EXPECT_TRUE(Checked(IDC_DO_FILTER));
    EXPECT_FALSE(Checked(IDC_TYPE_LIST));
    EXPECT_TRUE(Checked(IDC_TYPE_CONDITIONS));
    EXPECT_TRUE(Checked(IDC_CHECK_SIZE));
    EXPECT_EQ("2048", Text(IDC_FILTER_SIZE));
    EXPECT_TRUE(Checked(IDC_DELETE_ON_SERVER)) << "Delete missing: the sheet default is on";

    // Whatever the field holds, the user name goes nowhere.
    driver_.SetText(1, IDC_USER_NAME, "mallory");
    ExpectOkWrites(KirvanLines("p@ss word", 1, 1, 1, 2048, 1));
    EXPECT_EQ(accountIni, mailbox_.ReadFile("Account1\\Account.ini"));
    EXPECT_EQ(std::string::npos, mailbox_.ReadFile("Pikuno.ini").find("mallory"));
}

TEST_F(FilterPageTest, LabelsAndTheirPlaces) {
    mailbox_.AddAccount("Account1", "Home", "alice");
    Open();
    struct Label {
        int id;
        const char* text;
    } labels[] = {
        {IDC_ACCOUNT_LABEL, "アカウント"},
        {IDC_DO_FILTER, "受信メールの条件を設定する"},
        {IDC_USER_LABEL, "ユーザー名"},
        {IDC_PASSWORD_LABEL, "パスワード"},
        {IDC_PASSWORD_NOTE, "パスワードはこのアカウントで設定されているものと\n同じものを設定してください"},
        {IDC_TYPE_LIST, "受信前に一覧で選択する"},
        {IDC_TYPE_CONDITIONS, "条件を設定する"},
        {IDC_BYTE_LABEL, "Byte"},
        {IDC_DELETE_ON_SERVER, "受信したメールをサーバーから削除する"},
        {IDC_CHECK_SIZE, "指定サイズ以下のメールのみ受信"},
        {IDC_SECURITY_LABEL, "通信の暗号化"},
    };
    for (const Label& label : labels) {
        EXPECT_EQ(std::string(label.text), Text(label.id)) << "control " << label.id;
    }
    // The controls follow one another in the page's order.
    HWND child = GetWindow(driver_.Page(1), GW_CHILD);
    std::vector<int> order;
    for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
        order.push_back(GetDlgCtrlID(child));
    }
    std::vector<int> expected;
    for (int id = IDC_ACCOUNT_LABEL; id <= IDC_SECURITY; ++id) {
        expected.push_back(id);
    }
    EXPECT_EQ(expected, order);
    // The spin steps 0 to 32767 with the field as its buddy, in plain digits.
    HWND spin = driver_.Control(1, IDC_SIZE_SPIN);
    int low = -1;
    int high = -1;
    SendMessageA(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(0, low);
    EXPECT_EQ(32767, high);
    EXPECT_EQ(driver_.Control(1, IDC_FILTER_SIZE), reinterpret_cast<HWND>(SendMessageA(spin, UDM_GETBUDDY, 0, 0)));
    LONG_PTR sizeStyle = GetWindowLongPtrA(driver_.Control(1, IDC_FILTER_SIZE), GWL_STYLE);
    EXPECT_NE(0, sizeStyle & ES_NUMBER);
    EXPECT_NE(0, sizeStyle & ES_RIGHT);
    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
}

TEST_F(FilterPageTest, EnablingForEveryCombination) {
    // One account per combination of switch, type and size check.
    for (int combination = 0; combination < 8; ++combination) {
        std::string name = "Account" + std::to_string(combination);
        mailbox_.AddAccount(name, name.c_str(), "user");
        mailbox_.WriteFile(name + "\\Kirvan.ini", "[Property]\r\nDoFilter=" + std::to_string(combination & 1) +
                                                      "\r\nFilterType=" + std::to_string((combination >> 1) & 1) +
                                                      "\r\nCheckSize=" + std::to_string((combination >> 2) & 1) +
                                                      "\r\n");
    }
    Open();
    const int switched[] = {IDC_USER_LABEL, IDC_USER_NAME,       IDC_PASSWORD_LABEL,   IDC_PASSWORD,
                            IDC_PASSWORD_NOTE, IDC_TYPE_LIST, IDC_TYPE_CONDITIONS, IDC_DELETE_ON_SERVER,
                            IDC_SECURITY_LABEL, IDC_SECURITY};
    auto check = [&](int combination, const char* how) {
        bool on = (combination & 1) != 0;
        bool byConditions = on && (combination & 2) != 0;
        bool bySize = byConditions && (combination & 4) != 0;
        for (int id : {IDC_ACCOUNT_LABEL, IDC_ACCOUNT_LIST, IDC_DO_FILTER}) {
            EXPECT_TRUE(Enabled(id)) << how << " combination " << combination << " control " << id;
        }
        for (int id : switched) {
            EXPECT_EQ(on, Enabled(id)) << how << " combination " << combination << " control " << id;
        }
        EXPECT_EQ(byConditions, Enabled(IDC_CHECK_SIZE)) << how << " combination " << combination;
        for (int id : {IDC_FILTER_SIZE, IDC_SIZE_SPIN, IDC_BYTE_LABEL}) {
            EXPECT_EQ(bySize, Enabled(id)) << how << " combination " << combination << " control " << id;
        }
    };
    // Loaded from the file, by changing the account.
    for (int combination = 0; combination < 8; ++combination) {
        int index = IndexOf("Account" + std::to_string(combination));
        ASSERT_GE(index, 0);
        driver_.SelectAccount(index);
        check(combination, "loaded");
    }
    // Reached by clicks, from everything off: the switch, then the type, then the size.
    driver_.SelectAccount(IndexOf("Account0"));
    check(0, "clicked");
    Click(IDC_DO_FILTER);
    check(1, "clicked");
    Click(IDC_TYPE_CONDITIONS);
    check(3, "clicked");
    Click(IDC_CHECK_SIZE);
    check(7, "clicked");
    Click(IDC_TYPE_LIST);
    check(5, "clicked");
    Click(IDC_TYPE_CONDITIONS);
    check(7, "clicked");
    Click(IDC_DO_FILTER);
    check(6, "clicked");
    Click(IDC_DO_FILTER);
    Click(IDC_CHECK_SIZE);
    check(3, "clicked");
    driver_.SaveScreenshot("sheet_filter_page_on.bmp");
    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
}

TEST_F(FilterPageTest, ChangingTheAccountSavesTheOneLeftAndCancelKeepsIt) {
    mailbox_.AddAccount("Account1", "One", "a");
    mailbox_.AddAccount("Account2", "Two", "b");
    Open();
    int first = Selected();
    ASSERT_EQ(0, first);
    std::string left = ItemName(0);
    std::string other = ItemName(1);
    driver_.SelectAccount(1);
    EXPECT_EQ(1, Selected());
    EXPECT_EQ(KirvanLines("", 0, 0, 0, 1000, 1), mailbox_.Lines(left + "\\Kirvan.ini"));
    EXPECT_FALSE(mailbox_.Exists(other + "\\Kirvan.ini")) << "nothing saved for the new account yet";

    // A change to the second account, then back: the second one is saved too.
    Click(IDC_DO_FILTER);
    Click(IDC_TYPE_CONDITIONS);
    driver_.SetText(1, IDC_PASSWORD, "secret");
    driver_.SelectAccount(0);
    EXPECT_EQ(KirvanLines("secret", 1, 1, 0, 1000, 1), mailbox_.Lines(other + "\\Kirvan.ini"));
    EXPECT_FALSE(Checked(IDC_DO_FILTER)) << "the first account's values are shown again";

    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
    EXPECT_EQ(KirvanLines("secret", 1, 1, 0, 1000, 1), mailbox_.Lines(other + "\\Kirvan.ini"));
    EXPECT_FALSE(mailbox_.Exists("Pikuno.ini"));
}

TEST_F(FilterPageTest, OkSavesTheShownAccountAndTheDigestSettings) {
    mailbox_.AddAccount("Account1", "One", "a");
    mailbox_.AddAccount("Account2", "Two", "b");
    Open();
    std::string shown = ItemName(Selected());
    Click(IDC_DO_FILTER);
    Click(IDC_TYPE_CONDITIONS);
    Click(IDC_CHECK_SIZE);
    Click(IDC_DELETE_ON_SERVER);
    driver_.SetText(1, IDC_FILTER_SIZE, " 0050 ");
    driver_.SetText(1, IDC_PASSWORD, "パスワード\\x");
    ExpectOkWrites(KirvanLines("パスワード\\x", 1, 1, 1, 50, 0), shown + "\\Kirvan.ini");
    EXPECT_TRUE(mailbox_.Exists("Pikuno.ini"));
    EXPECT_EQ(1, (mailbox_.Exists("Account1\\Kirvan.ini") ? 1 : 0) + (mailbox_.Exists("Account2\\Kirvan.ini") ? 1 : 0))
        << "exactly one account file was written";
}

// The security list: its four choices, the value of each account's file shown
// (an unknown one as automatic), and the choice saved with the account; the
// certificate the user trusts stays as it was.
TEST_F(FilterPageTest, SecurityListShowsAndSavesTheChoice) {
    const std::string trusted = "CertificateSha256=" + std::string(64, 'b');
    struct Case {
        const char* value;  // Security in the file, "" for none
        int shown;
        int chosen;  // the choice made before OK
    };
    const Case cases[] = {{"", 0, 1}, {"0", 0, 3}, {"1", 1, 2}, {"2", 2, 0}, {"3", 3, 3}, {"7", 0, 2}, {"-1", 0, 1}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(testing::Message() << "case " << i);
        MailboxFolder mailbox;
        mailbox.AddAccount("Account1", "One", "a");
        std::string server = "[Server]\r\npass=pw\r\n" + trusted + "\r\n";
        if (cases[i].value[0] != '\0') {
            server += std::string("Security=") + cases[i].value + "\r\n";
        }
        mailbox.WriteFile("Account1\\Kirvan.ini", server + "[Property]\r\nDoFilter=1\r\n");
        SheetTestDriver driver;
        ASSERT_TRUE(driver.Start(mailbox.Path().c_str(), "")) << driver.Seen();
        ASSERT_TRUE(driver.SelectPage(1));
        HWND list = driver.Control(1, IDC_SECURITY);
        ASSERT_EQ(4, static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0)));
        const char* choices[] = {"自動 (可能なら暗号化する)", "SSL/TLS (接続直後から暗号化)",
                                 "STARTTLS (STLS) を必ず使う", "暗号化しない"};
        for (int item = 0; item < 4; ++item) {
            EXPECT_EQ(std::string(choices[item]), ComboBoxItemText(list, item)) << "item " << item;
        }
        EXPECT_EQ(cases[i].shown, static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0)));
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(cases[i].chosen), 0);
        driver.PressOk();
        EXPECT_EQ(1, driver.WaitResult());
        std::vector<std::string> lines = mailbox.Lines("Account1\\Kirvan.ini");
        std::vector<std::string> expected = {"[Server]", "pass=pw", trusted,
                                             "Security=" + std::to_string(cases[i].chosen)};
        ASSERT_LE(4u, lines.size());
        EXPECT_EQ(expected, std::vector<std::string>(lines.begin(), lines.begin() + 4));
    }
}

TEST_F(FilterPageTest, ComingBackShowsWhatWasTyped) {
    mailbox_.AddAccount("Account1", "One", "a");
    Open();
    Click(IDC_DO_FILTER);
    driver_.SetText(1, IDC_PASSWORD, "typed");
    ASSERT_TRUE(driver_.SelectPage(0));
    mailbox_.WriteFile("Account1\\Kirvan.ini", "[Server]\r\npass=other\r\n");
    ASSERT_TRUE(driver_.SelectPage(1));
    EXPECT_EQ("typed", Text(IDC_PASSWORD));
    EXPECT_TRUE(Checked(IDC_DO_FILTER));
    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
}

TEST_F(FilterPageTest, SizeFieldRefusesTabChangeAndOkUntilCorrected) {
    mailbox_.AddAccount("Account1", "One", "a");
    Open();
    Click(IDC_DO_FILTER);
    Click(IDC_TYPE_CONDITIONS);
    Click(IDC_CHECK_SIZE);
    const char* refused[] = {"", "   ", "12a", "-5", "2147483648", "4294967296"};
    for (const char* text : refused) {
        driver_.SetText(1, IDC_FILTER_SIZE, text);
        driver_.PostSelectPage(0);
        ExpectSizeRefused((std::string("tab change with \"") + text + "\"").c_str());
        EXPECT_EQ(driver_.Page(1), driver_.CurrentPage()) << text;
    }
    driver_.SetText(1, IDC_FILTER_SIZE, "");
    driver_.PressOk();
    ExpectSizeRefused("OK");
    EXPECT_FALSE(driver_.Finished());
    EXPECT_EQ(driver_.Page(1), driver_.CurrentPage());
    EXPECT_FALSE(mailbox_.Exists("Pikuno.ini"));
    EXPECT_FALSE(mailbox_.Exists("Account1\\Kirvan.ini"));

    driver_.SetText(1, IDC_FILTER_SIZE, "2147483647");
    ExpectOkWrites(KirvanLines("", 1, 1, 1, 2147483647LL, 1));
}

TEST_F(FilterPageTest, RefusedSizeStillSavesTheAccountLeftAsFarAsTaken) {
    mailbox_.AddAccount("Account1", "One", "a");
    mailbox_.AddAccount("Account2", "Two", "b");
    // DoFilter 2 shows checked and is taken as 1: proof that the switch, which
    // comes before the size, was taken and saved.
    const char* file = "[Server]\r\npass=old\r\n[Property]\r\nDoFilter=2\r\nFilterType=1\r\n"
                       "CheckSize=1\r\nFilterSize=300\r\nDelete=0\r\n";
    mailbox_.WriteFile("Account1\\Kirvan.ini", file);
    mailbox_.WriteFile("Account2\\Kirvan.ini", file);
    Open();
    std::string left = ItemName(0);
    driver_.SetText(1, IDC_PASSWORD, "new");      // after the size: not taken
    driver_.SetText(1, IDC_FILTER_SIZE, "");
    driver_.PostSelectAccount(1);
    ExpectSizeRefused("account change", Then::FocusOnly);
    // The change goes on: the new account is shown.
    EXPECT_TRUE(WaitForWindows([&] { return Text(IDC_PASSWORD) == "old"; }, driver_.HostThread()));
    EXPECT_EQ(1, Selected());
    EXPECT_EQ(KirvanLines("old", 1, 1, 1, 300, 0), mailbox_.Lines(left + "\\Kirvan.ini"));
    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
}

TEST_F(FilterPageTest, RefusedSizeOnAClickStillRefreshesTheEnabling) {
    mailbox_.AddAccount("Account1", "One", "a");
    mailbox_.WriteFile("Account1\\Kirvan.ini", "[Property]\r\nDoFilter=1\r\nFilterType=1\r\nCheckSize=1\r\n");
    Open();
    driver_.SetText(1, IDC_FILTER_SIZE, "");
    // The switch comes before the size: taken, so the page follows it.
    PostMessageA(driver_.Control(1, IDC_DO_FILTER), BM_CLICK, 0, 0);
    ExpectSizeRefused("click on the switch", Then::Nothing);
    EXPECT_TRUE(WaitForWindows([&] { return !Enabled(IDC_PASSWORD); }, driver_.HostThread()));
    EXPECT_FALSE(Enabled(IDC_FILTER_SIZE));
    // On again: refused again, and the field is back for correcting.
    PostMessageA(driver_.Control(1, IDC_DO_FILTER), BM_CLICK, 0, 0);
    ExpectSizeRefused("second click on the switch", Then::FocusAndSelection);
    EXPECT_TRUE(WaitForWindows([&] { return Enabled(IDC_FILTER_SIZE); }, driver_.HostThread()));
    driver_.SetText(1, IDC_FILTER_SIZE, "77");
    std::vector<std::string> expected = {"[Property]", "DoFilter=1", "FilterType=1", "CheckSize=1",
                                         "FilterSize=77", "Delete=1", "[Server]", "pass=", "Security=0"};
    ExpectOkWrites(expected);
}

TEST_F(FilterPageTest, SpinStepsFrom1000To1001) {
    mailbox_.AddAccount("Account1", "One", "a");
    Open();
    Click(IDC_DO_FILTER);
    Click(IDC_TYPE_CONDITIONS);
    Click(IDC_CHECK_SIZE);
    ASSERT_EQ("1000", Text(IDC_FILTER_SIZE));
    // The up arrow key in the field steps the spin (UDS_ARROWKEYS).
    HWND field = driver_.Control(1, IDC_FILTER_SIZE);
    SendMessageA(field, WM_KEYDOWN, VK_UP, 0);
    SendMessageA(field, WM_KEYUP, VK_UP, 0);
    EXPECT_EQ("1001", Text(IDC_FILTER_SIZE));
    // And the spin itself, as its up arrow does.
    SendMessageA(driver_.Control(1, IDC_SIZE_SPIN), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 1001), 0);
    SendMessageA(driver_.Control(1, IDC_SIZE_SPIN), UDM_SETPOS32, 0, 1002);
    EXPECT_EQ("1002", Text(IDC_FILTER_SIZE));
    ExpectOkWrites(KirvanLines("", 1, 1, 1, 1002, 1));
}

TEST_F(FilterPageTest, OutOfRangeValuesFromTheFile) {
    mailbox_.AddAccount("Account1", "One", "a");
    mailbox_.WriteFile("Account1\\Kirvan.ini",
                       "[Property]\r\nDoFilter=2\r\nFilterType=7\r\nCheckSize=3\r\nFilterSize=-5\r\nDelete=-1\r\n");
    Open();
    EXPECT_TRUE(Checked(IDC_DO_FILTER));
    EXPECT_FALSE(Checked(IDC_TYPE_LIST));
    EXPECT_FALSE(Checked(IDC_TYPE_CONDITIONS));
    EXPECT_TRUE(Checked(IDC_CHECK_SIZE));
    EXPECT_TRUE(Checked(IDC_DELETE_ON_SERVER));
    // A negative size has no meaning: the field offers the sheet's default.
    EXPECT_EQ("1000", Text(IDC_FILTER_SIZE));
    // Keys already in the file keep their place; [Server] comes after it.
    std::vector<std::string> expected = {"[Property]", "DoFilter=1", "FilterType=-1", "CheckSize=1",
                                         "FilterSize=1000", "Delete=1", "[Server]", "pass=", "Security=0"};
    ExpectOkWrites(expected);
}

TEST_F(FilterPageTest, NoAccountsShowsTheDefaultsAndSavesNothing) {
    mailbox_.AddAccount("Other", "x", "y");
    Open();
    EXPECT_EQ(0, ItemCount());
    EXPECT_EQ(-1, Selected());
    EXPECT_EQ("", Text(IDC_USER_NAME));
    EXPECT_EQ("1000", Text(IDC_FILTER_SIZE));
    EXPECT_FALSE(Checked(IDC_DO_FILTER));
    EXPECT_TRUE(Checked(IDC_DELETE_ON_SERVER));
    Click(IDC_DO_FILTER);
    driver_.PressOk();
    EXPECT_EQ(1, driver_.WaitResult());
    EXPECT_FALSE(mailbox_.Exists("Kirvan.ini"));
    EXPECT_FALSE(mailbox_.Exists("\\Kirvan.ini"));
    EXPECT_FALSE(mailbox_.Exists("Other\\Kirvan.ini"));
    EXPECT_TRUE(mailbox_.Exists("Pikuno.ini"));
}

}  // namespace
