// Settings files the system will not write, through SetUp and the real file
// system: OK keeps the sheet open with a box that names the file, nothing is
// reported as saved, and the file keeps what it held.

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MailboxFolder.h"
#include "PikunosetResources.h"
#include "SheetTestDriver.h"
#include "UnwritableFile.h"

namespace {

std::string ExpectedText(const std::string& path) {
    return "設定をファイルに保存できませんでした。\r\n" + path +
           "\r\n\r\nファイルが読み取り専用になっていないか、ほかのプログラムが使用していないかを確認してください。";
}

// Waits for the save failure box of the sheet's thread, checks it names path,
// closes it and waits until it is gone.
void ExpectSaveFailureBox(const SheetTestDriver& driver, const std::string& path, const std::string& where,
                          const char* picture = nullptr) {
    HWND box = driver.WaitMessageBox("Pikunoset");
    ASSERT_NE(nullptr, box) << where << ": no box";
    if (picture) {
        // Once the box's thread pumps again, the box has painted its text.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        SaveWindowPicture(box, picture);
    }
    MessageBoxSeen seen = ReadMessageBox(box);
    EXPECT_EQ(ExpectedText(path), seen.text) << where;
    EXPECT_NE(std::string::npos, seen.text.find(path)) << where << ": the box names the file";
    EXPECT_TRUE(seen.OnlyOk()) << where;
    if (SystemIconsLoad()) {
        // The error icon: the message box's icon control holds the system's one.
        HICON shown = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 0x0440, STM_GETICON, 0, 0));
        EXPECT_EQ(LoadIconA(nullptr, IDI_ERROR), shown) << where;
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitForWindows([&] { return !IsWindow(box); }, driver.HostThread())) << where;
}

TEST(SaveFailure, PikunoIniThatCannotBeWrittenKeepsTheSheetOpen) {
    enum class Then { FreedAndOk, Cancel };
    const struct {
        WriteFault fault;
        Then then;
    } cases[] = {
        {WriteFault::HeldOpen, Then::FreedAndOk},
        {WriteFault::HeldOpen, Then::Cancel},
        {WriteFault::Directory, Then::FreedAndOk},
        {WriteFault::Directory, Then::Cancel},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i);
        MailboxFolder mailbox;
        const std::string path = mailbox.Path() + "Pikuno.ini";
        UnwritableFile file(path, cases[i].fault);
        ASSERT_TRUE(file.Made()) << where;
        SheetTestDriver driver;
        ASSERT_TRUE(driver.Start(mailbox.Path().c_str(), "")) << where << "\n" << driver.Seen();
        driver.Click(0, IDC_DIVIDE);
        driver.PressOk();
        ExpectSaveFailureBox(driver, path, where, i == 0 ? "sheet_save_failure_box.bmp" : nullptr);
        // The sheet is still open on the digest page, and nothing was written.
        EXPECT_FALSE(driver.Finished()) << where;
        EXPECT_TRUE(IsWindow(driver.Sheet())) << where;
        EXPECT_EQ(driver.Page(0), driver.CurrentPage()) << where;
        EXPECT_TRUE(file.Unchanged()) << where;
        if (cases[i].then == Then::FreedAndOk) {
            file.Release();
            driver.PressOk();
            EXPECT_EQ(1, driver.WaitResult()) << where;
            EXPECT_EQ(1, static_cast<int>(GetPrivateProfileIntA("Digest", "Divide", -1, path.c_str()))) << where;
        } else {
            driver.PressCancel();
            EXPECT_EQ(2, driver.WaitResult()) << where << ": cancelled, not saved";
            EXPECT_TRUE(file.Unchanged()) << where;
        }
    }
}

// The filter page: Kirvan.ini of the account shown, at OK and when the user
// turns to another account.
class KirvanSaveFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        mailbox_.AddAccount("Account1", "One", "a");
        mailbox_.AddAccount("Account2", "Two", "b");
    }
    void Open() {
        ASSERT_TRUE(driver_.Start(mailbox_.Path().c_str(), (mailbox_.Path() + "Account1\\").c_str()))
            << driver_.Seen();
        ASSERT_TRUE(driver_.SelectPage(1));
    }
    int Selected() const {
        return static_cast<int>(SendMessageA(driver_.Control(1, IDC_ACCOUNT_LIST), CB_GETCURSEL, 0, 0));
    }

    MailboxFolder mailbox_;
    SheetTestDriver driver_;
};

TEST_F(KirvanSaveFailureTest, OkKeepsTheSheetOpenUntilTheFileCanBeWritten) {
    const std::string path = mailbox_.Path() + "Account1\\Kirvan.ini";
    UnwritableFile file(path, WriteFault::HeldOpen);
    ASSERT_TRUE(file.Made());
    Open();
    driver_.Click(1, IDC_DO_FILTER);
    driver_.PressOk();
    ExpectSaveFailureBox(driver_, path, "OK");
    EXPECT_FALSE(driver_.Finished());
    EXPECT_EQ(driver_.Page(1), driver_.CurrentPage());
    EXPECT_TRUE(file.Unchanged());
    EXPECT_TRUE(driver_.IsChecked(1, IDC_DO_FILTER)) << "what the user set is still there";
    // The digest page, applied first, could write its file.
    EXPECT_TRUE(mailbox_.Exists("Pikuno.ini"));
    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
    EXPECT_TRUE(file.Unchanged());
}

TEST_F(KirvanSaveFailureTest, AnAccountThatCannotBeSavedStaysShown) {
    const std::string path = mailbox_.Path() + "Account1\\Kirvan.ini";
    UnwritableFile file(path, WriteFault::HeldOpen);
    ASSERT_TRUE(file.Made());
    mailbox_.WriteFile("Account2\\Kirvan.ini", "[Server]\r\npass=two\r\n");
    Open();
    ASSERT_EQ(0, Selected());
    driver_.Click(1, IDC_DO_FILTER);
    driver_.SetText(1, IDC_PASSWORD, "typed");
    driver_.PostSelectAccount(1);
    ExpectSaveFailureBox(driver_, path, "account change");
    // Back on the account left, with what the user typed; the other one not loaded.
    EXPECT_TRUE(WaitForWindows([&] { return Selected() == 0; }, driver_.HostThread()));
    EXPECT_EQ("typed", driver_.Text(1, IDC_PASSWORD));
    EXPECT_TRUE(driver_.IsChecked(1, IDC_DO_FILTER));
    EXPECT_TRUE(file.Unchanged());

    // Freed, the same change goes through and saves it.
    file.Release();
    driver_.SelectAccount(1);
    EXPECT_EQ(1, Selected());
    EXPECT_EQ("two", driver_.Text(1, IDC_PASSWORD));
    EXPECT_EQ(1, static_cast<int>(GetPrivateProfileIntA("Property", "DoFilter", -1, path.c_str())));
    char pass[32] = "";
    GetPrivateProfileStringA("Server", "pass", "", pass, sizeof pass, path.c_str());
    EXPECT_STREQ("typed", pass);
    driver_.PressCancel();
    EXPECT_EQ(2, driver_.WaitResult());
}

}  // namespace
