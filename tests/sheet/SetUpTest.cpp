// SetUp as the plug-in calls it: the sheet, its owner, its pages and buttons, and
// the result for each way of closing it.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "AnsiText.h"
#include "MailboxFolder.h"
#include "PikunosetResources.h"
#include "SheetTestDriver.h"

namespace {

std::string TabText(HWND sheet, int index) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    char text[128] = {};
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

TEST(SetUp, ResultForEachWayOfClosing) {
    enum class Close { Ok, Cancel, CloseBox };
    struct Case {
        Close close;
        int expected;
    } cases[] = {{Close::Ok, 1}, {Close::Cancel, 2}, {Close::CloseBox, 2}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailboxFolder mailbox;
        SheetTestDriver driver;
        ASSERT_TRUE(driver.Start(mailbox.Path().c_str(), "")) << "case " << i << "\n" << driver.Seen();
        switch (cases[i].close) {
        case Close::Ok: driver.PressOk(); break;
        case Close::Cancel: driver.PressCancel(); break;
        case Close::CloseBox: driver.PressCloseBox(); break;
        }
        EXPECT_EQ(cases[i].expected, driver.WaitResult()) << "case " << i;
        EXPECT_EQ(cases[i].expected == 1, mailbox.Exists("Pikuno.ini")) << "case " << i;
    }
}

TEST(SetUp, SheetLooksAsDescribed) {
    MailboxFolder mailbox;
    mailbox.AddAccount("Account1", "Home", "alice");
    SheetTestDriver driver;
    ASSERT_TRUE(driver.Start(mailbox.Path().c_str(), (mailbox.Path() + "Account1\\").c_str())) << driver.Seen();
    HWND sheet = driver.Sheet();

    // Owned by the window that was active on the calling thread, which is disabled
    // while the sheet is open.
    EXPECT_EQ(driver.HostWindow(), GetWindow(sheet, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(driver.HostWindow()));

    EXPECT_EQ(std::string("Pikuno 設定"), ansi::WindowText(sheet));
    EXPECT_EQ(std::string("ダイジェストメールの設定"), TabText(sheet, 0));
    EXPECT_EQ(std::string("フィルター設定"), TabText(sheet, 1));
    // Page 1 on top; page 2 not created before its first visit.
    EXPECT_EQ(driver.Page(0), driver.CurrentPage());
    EXPECT_EQ(nullptr, driver.Page(1));

    // OK and Cancel only: the apply-now and help buttons are absent or hidden.
    HWND ok = GetDlgItem(sheet, IDOK);
    HWND cancel = GetDlgItem(sheet, IDCANCEL);
    ASSERT_NE(nullptr, ok);
    ASSERT_NE(nullptr, cancel);
    EXPECT_TRUE(IsWindowVisible(ok));
    EXPECT_TRUE(IsWindowVisible(cancel));
    const int kApplyNow = 0x3021;  // the common controls' apply button
    const int kHelp = 0x0009;
    for (int id : {kApplyNow, kHelp}) {
        HWND button = GetDlgItem(sheet, id);
        EXPECT_TRUE(button == nullptr || !IsWindowVisible(button)) << "button " << id;
    }
    EXPECT_EQ(0, GetWindowLongPtrA(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);

    driver.SaveScreenshot("sheet_digest_page.bmp");
    ASSERT_TRUE(driver.SelectPage(1));
    driver.SaveScreenshot("sheet_filter_page.bmp");

    driver.PressCancel();
    EXPECT_EQ(2, driver.WaitResult());
    EXPECT_TRUE(IsWindowEnabled(driver.HostWindow()) || !IsWindow(driver.HostWindow()));
}

TEST(SetUp, NullArgumentsShowTheDefaultsAndWriteNothing) {
    SheetTestDriver driver;
    ASSERT_TRUE(driver.Start(nullptr, nullptr)) << driver.Seen();
    EXPECT_FALSE(driver.IsChecked(0, IDC_DIVIDE));
    EXPECT_TRUE(driver.IsChecked(0, IDC_MULTIPART_MIXED));
    ASSERT_TRUE(driver.SelectPage(1));
    EXPECT_EQ(0, SendMessageA(driver.Control(1, IDC_ACCOUNT_LIST), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(std::string("1000"), driver.Text(1, IDC_FILTER_SIZE));
    driver.PressOk();
    EXPECT_EQ(1, driver.WaitResult());
    // With no mailbox directory nothing may land in the current folder.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Pikuno.ini"));
}

}  // namespace
