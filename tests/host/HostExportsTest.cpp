// The plug-in API as the stand-in host exports it, called the way a plug-in calls it.

#include <gtest/gtest.h>

#include <cstring>

#include "HostApiList.h"
#include "HostContext.h"
#include "HostExports.h"
#include "HostTimers.h"
#include "MailboxFolder.h"

namespace {

class HostExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gHost.Reset();
        box.AddAccount("Account1", "");
        box.AddAccount("Account2", "");
        ASSERT_TRUE(gHost.store.Open(box.Path()));
        ASSERT_TRUE(gHost.SelectAccount("Account1"));
    }
    void TearDown() override { gHost.Reset(); }

    std::string StoreMail(const std::string& folder, const std::string& text) {
        std::string entry;
        EXPECT_TRUE(gHost.store.Store(folder, text, 0, false, &entry));
        return entry;
    }

    MailboxFolder box;
    HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
};

LRESULT WINAPI RecordingCallback(HWND window, LPARAM value);
HWND gCalledWindow;
LPARAM gCalledValue;
int gCalls;

LRESULT WINAPI RecordingCallback(HWND window, LPARAM value) {
    gCalledWindow = window;
    gCalledValue = value;
    ++gCalls;
    return 5;
}

TEST_F(HostExportsTest, MailboxAndAccountEndInABackslash) {
    EXPECT_EQ(box.Path(), std::string(VhxGetMailbox()));
    EXPECT_EQ(box.Path() + "Account1\\", std::string(VhxGetAccount(window)));
    ASSERT_TRUE(gHost.SelectAccount("Account2"));
    EXPECT_EQ(box.Path() + "Account2\\", std::string(VhxGetAccount(window)));
    EXPECT_EQ(box.Path() + "Account2\\inbox.box", std::string(VhxFolderGetCurrentFolder(window)));
    EXPECT_STREQ("Account2\\inbox.box", VhxGetFolderName(window));
    ASSERT_TRUE(gHost.SelectFolder("Account1\\trash.box"));
    EXPECT_EQ(box.Path() + "Account1\\", std::string(VhxGetAccount(window)));
    EXPECT_EQ(box.Path() + "Account1\\trash.box", std::string(VhxFolderGetCurrentFolder(window)));
    EXPECT_FALSE(gHost.SelectAccount("Account3"));
    EXPECT_FALSE(gHost.SelectFolder("Account1\\none.box"));
}

TEST_F(HostExportsTest, RegisteredCommandsGetFreshIdentifiersAndTheirValue) {
    int first = VhxRegistCallback(RecordingCallback, 0);
    int second = VhxRegistCallback(RecordingCallback, static_cast<LPARAM>(0x123456789LL));
    EXPECT_NE(0, first);
    EXPECT_NE(first, second);
    EXPECT_GT(first, static_cast<int>(kHostReceiveCommand)) << "never one of the host's own commands";
    EXPECT_EQ(0, VhxRegistCallback(nullptr, 0));
    gCalls = 0;
    LRESULT result = 0;
    ASSERT_TRUE(gHost.commands.Dispatch(second, window, &result));
    EXPECT_EQ(1, gCalls);
    EXPECT_EQ(window, gCalledWindow);
    EXPECT_EQ(static_cast<LPARAM>(0x123456789LL), gCalledValue) << "the whole value, on 64-bit too";
    EXPECT_EQ(5, result);
    ASSERT_TRUE(gHost.commands.Dispatch(first, window, nullptr));
    EXPECT_EQ(0, gCalledValue);
    EXPECT_FALSE(gHost.commands.Dispatch(second + 1, window, nullptr));
    EXPECT_FALSE(gHost.commands.Dispatch(static_cast<int>(kHostReceiveCommand), window, nullptr));
    EXPECT_EQ(2, gCalls);
}

TEST_F(HostExportsTest, ImportRecordsMarkAndUnreadWhereTestsReadThem) {
    box.WriteFile("part.tmp", "Subject: part\r\n\r\ntext\r\n");
    ASSERT_TRUE(VhxImportFile((box.Path() + "part.tmp").c_str(), "Account2\\inbox.box", 0x40000003));
    ASSERT_TRUE(VhxImportFile((box.Path() + "part.tmp").c_str(), "Account2\\inbox.box", 0));
    EXPECT_EQ("00000001\t3\t1\r\n00000002\t0\t0\r\n", box.ReadFile("Account2\\inbox.box\\folder.idx"));
    EXPECT_EQ("Subject: part\r\n\r\ntext\r\n", box.ReadFile("Account2\\inbox.box\\00000002.qnl"));
    EXPECT_TRUE(box.Exists("part.tmp")) << "the caller deletes its file";
    EXPECT_FALSE(VhxImportFile((box.Path() + "absent.tmp").c_str(), "Account2\\inbox.box", 0));
    EXPECT_FALSE(VhxImportFile((box.Path() + "part.tmp").c_str(), "Account9\\inbox.box", 0));
    EXPECT_FALSE(VhxImportFile(nullptr, "Account2\\inbox.box", 0));
}

TEST_F(HostExportsTest, SelectEntrySequence) {
    std::string a = StoreMail("Account1\\inbox.box", "a");
    std::string b = StoreMail("Account1\\inbox.box", "b");
    std::string c = StoreMail("Account1\\inbox.box", "c");
    EXPECT_EQ(nullptr, VhxFolderGetSelectEntry(window, TRUE)) << "nothing selected";
    ASSERT_TRUE(gHost.SetSelection({a, c}));
    EXPECT_STREQ(a.c_str(), VhxFolderGetSelectEntry(window, TRUE));
    EXPECT_STREQ(c.c_str(), VhxFolderGetSelectEntry(window, FALSE));
    EXPECT_EQ(nullptr, VhxFolderGetSelectEntry(window, FALSE));
    EXPECT_EQ(nullptr, VhxFolderGetSelectEntry(window, FALSE));
    EXPECT_STREQ(a.c_str(), VhxFolderGetSelectEntry(window, TRUE)) << "1 starts over";
    EXPECT_STREQ(a.c_str(), VhxFolderGetCurrentEntry(window));
    EXPECT_FALSE(gHost.SetSelection({"Account2\\inbox.box\\00000001"})) << "not in the folder shown";
    ASSERT_TRUE(gHost.SelectFolder("Account1\\trash.box"));
    EXPECT_EQ(nullptr, VhxFolderGetSelectEntry(window, TRUE)) << "another folder drops the selection";
    (void)b;
}

TEST_F(HostExportsTest, MoveAndDeleteLeaveTheSelectionWalkOnTrack) {
    std::string a = StoreMail("Account1\\inbox.box", "a");
    std::string b = StoreMail("Account1\\inbox.box", "b");
    std::string c = StoreMail("Account1\\inbox.box", "c");
    ASSERT_TRUE(gHost.SetSelection({a, b, c}));
    EXPECT_STREQ(a.c_str(), VhxFolderGetSelectEntry(window, TRUE));
    ASSERT_TRUE(VhxMoveMail(a.c_str(), "Account1\\trash.box"));
    EXPECT_STREQ(b.c_str(), VhxFolderGetSelectEntry(window, FALSE));
    ASSERT_TRUE(VhxDeleteMail(b.c_str()));
    EXPECT_STREQ(c.c_str(), VhxFolderGetSelectEntry(window, FALSE));
    EXPECT_EQ(nullptr, VhxFolderGetSelectEntry(window, FALSE));

    EXPECT_FALSE(box.Exists("Account1\\inbox.box\\00000001.qnl"));
    EXPECT_FALSE(box.Exists("Account1\\inbox.box\\00000002.qnl"));
    EXPECT_EQ("a", box.ReadFile("Account1\\trash.box\\00000001.qnl"));
    EXPECT_EQ(1u, gHost.store.List("Account1\\inbox.box").size());
    EXPECT_FALSE(VhxMoveMail(a.c_str(), "Account1\\trash.box"));
    EXPECT_FALSE(VhxDeleteMail(b.c_str()));
    EXPECT_FALSE(VhxDeleteMail(nullptr));
}

TEST_F(HostExportsTest, MarkAndSave) {
    std::string a = StoreMail("Account1\\inbox.box", "Subject: s\r\n\r\nbody\r\n");
    ASSERT_TRUE(VhxMarkMail(a.c_str(), 2, TRUE));
    MailEntry found;
    ASSERT_TRUE(gHost.store.Find(a, &found));
    EXPECT_EQ(2u, found.mark);
    EXPECT_TRUE(found.unread);
    std::string copy = box.Path() + "copy.eml";
    ASSERT_TRUE(VhxSaveMail(window, a.c_str(), copy.c_str(), 0));
    ASSERT_TRUE(VhxSaveMail(window, a.c_str(), copy.c_str(), 1));
    EXPECT_EQ("Subject: s\r\n\r\nbody\r\nSubject: s\r\n\r\nbody\r\n", box.ReadFile("copy.eml"));
}

TEST_F(HostExportsTest, ViewShowsTheFirstSelectedMail) {
    std::string a = StoreMail("Account1\\inbox.box", "Subject: s\r\nFrom: x\r\n\r\nbody\r\n");
    std::string b = StoreMail("Account1\\inbox.box", "Subject: t\n\nsecond\n");
    EXPECT_EQ(nullptr, VhxViewGetText(window));
    EXPECT_EQ(nullptr, VhxViewGetPath(window));
    ASSERT_TRUE(VhxFolderOpenMail(window, a.c_str(), FALSE));
    EXPECT_STREQ("body\r\n", VhxViewGetText(window));
    EXPECT_STREQ("Subject: s\r\nFrom: x\r\n", VhxViewGetHeader(window));
    EXPECT_EQ(box.Path() + a + ".qnl", std::string(VhxViewGetPath(window)));
    ASSERT_TRUE(VhxViewSetText(window, "replaced"));
    EXPECT_STREQ("replaced", VhxViewGetText(window));
    EXPECT_EQ("Subject: s\r\nFrom: x\r\n\r\nbody\r\n", box.ReadFile(a + ".qnl")) << "the file is not changed";
    ASSERT_TRUE(VhxViewChangeMail(window, 1));
    EXPECT_STREQ("second\n", VhxViewGetText(window));
    EXPECT_FALSE(VhxViewChangeMail(window, 1)) << "no mail after the last";
    ASSERT_TRUE(VhxViewChangeMail(window, -1));
    EXPECT_STREQ(a.c_str(), VhxFolderGetCurrentEntry(window));
    (void)b;
}

TEST_F(HostExportsTest, HostStateQueries) {
    EXPECT_FALSE(VhxIsBusy());
    gHost.busy = true;
    EXPECT_TRUE(VhxIsBusy());
    EXPECT_FALSE(VhxExecQuenla(kHostReceiveCommand)) << "no folder window";
    EXPECT_EQ(0u, VhxSetTimer(RecordingCallback, 0, 100)) << "no folder window";
    EXPECT_FALSE(VhxKillTimer(1));
    EXPECT_FALSE(VhxFolderMailTo(window, "a@example.com"));
    EXPECT_EQ(nullptr, VhxSendGetText(window, TRUE));
    EXPECT_EQ(nullptr, VhxSendGetEditor(window));
    ASSERT_TRUE(VhxFolderChangePassword(window, "secret"));
    char password[32] = "";
    GetPrivateProfileStringA("Property", "Password", "", password, sizeof password,
                             (box.Path() + "Account1\\Account.ini").c_str());
    EXPECT_STREQ("secret", password);
}

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && gHostTimers.Fire(window, wParam)) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(HostExportsTest, TimersAndHostCommandsGoThroughTheFolderWindow) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TimerWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "HostExportsTestWindow";
    RegisterClassA(&windowClass);
    HWND folder = CreateWindowA("HostExportsTestWindow", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, folder);
    gHost.folderWindow = folder;

    gCalls = 0;
    UINT_PTR timer = VhxSetTimer(RecordingCallback, 9, 10);
    ASSERT_NE(0u, timer);
    DWORD start = GetTickCount();
    MSG message;
    while (gCalls < 2 && GetTickCount() - start < 5000) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        // Until the next message (the timer's) comes in.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
    }
    EXPECT_GE(gCalls, 2) << "the timer repeats";
    EXPECT_EQ(folder, gCalledWindow);
    EXPECT_EQ(9, gCalledValue);
    EXPECT_TRUE(VhxKillTimer(timer));
    EXPECT_FALSE(VhxKillTimer(timer));

    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    ASSERT_TRUE(VhxExecQuenla(kHostReceiveCommand));
    ASSERT_TRUE(PeekMessageA(&message, folder, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(kHostReceiveCommand), message.wParam);
    EXPECT_EQ(0, message.lParam);
    DestroyWindow(folder);
}

TEST_F(HostExportsTest, ConversionsFillTheBufferOrNothing) {
    const char sjis[] = "選択受信 ok";
    const char jis[] = "\x1b$BA*Br<u?.\x1b(B ok";
    char buffer[64];
    std::memset(buffer, 0xcc, sizeof buffer);
    int length = VhxSjisToJis(sjis, buffer, sizeof buffer);
    EXPECT_EQ(static_cast<int>(std::strlen(jis)), length);
    EXPECT_STREQ(jis, buffer);
    std::memset(buffer, 0xcc, sizeof buffer);
    EXPECT_EQ(static_cast<int>(std::strlen(sjis)), VhxJisToSjis(jis, buffer, sizeof buffer));
    EXPECT_STREQ(sjis, buffer);
    // Exact fit and one too small.
    int need = static_cast<int>(std::strlen(jis)) + 1;
    std::memset(buffer, 0xcc, sizeof buffer);
    EXPECT_EQ(need - 1, VhxSjisToJis(sjis, buffer, need));
    EXPECT_EQ('\0', buffer[need - 1]);
    std::memset(buffer, 0xcc, sizeof buffer);
    EXPECT_EQ(0, VhxSjisToJis(sjis, buffer, need - 1));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ(static_cast<char>(0xcc), buffer[1]);
    EXPECT_EQ(0, VhxSjisToJis(sjis, nullptr, 10));
}

}  // namespace
