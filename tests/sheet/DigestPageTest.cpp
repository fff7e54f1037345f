// The digest page on a modeless sheet made on this thread (ModelessSheet): what it
// shows for Pikuno.ini, how its controls enable one another, and what OK writes.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MailboxFolder.h"
#include "PikunosetResources.h"
#include "ModelessSheet.h"

namespace {

const int kMarkButtons[] = {IDC_MARK1, IDC_MARK2, IDC_MARK3, IDC_MARK4, IDC_MARK5, IDC_MARK6, IDC_MARK7};

std::vector<std::string> DigestLines(int divide, int mixed, int digest, int delType, int mark, int midoku,
                                     int askDelete) {
    return {"[Digest]",
            "Divide=" + std::to_string(divide),
            "MultipartMixed=" + std::to_string(mixed),
            "MultipartDigest=" + std::to_string(digest),
            "DelType=" + std::to_string(delType),
            "Mark=" + std::to_string(mark),
            "Midoku=" + std::to_string(midoku),
            "AskDelete=" + std::to_string(askDelete)};
}

class DigestPageTest : public ::testing::Test {
protected:
    void Open() { ASSERT_TRUE(sheet_.Start(mailbox_.Path().c_str(), "")) << sheet_.Seen(); }
    bool Checked(int id) const { return sheet_.IsChecked(0, id); }
    bool Enabled(int id) const { return sheet_.IsEnabled(0, id); }
    void Click(int id) { sheet_.Click(0, id); }
    int CloseWithOk() {
        sheet_.PressOk();
        return sheet_.WaitResult();
    }

    MailboxFolder mailbox_;
    ModelessSheet sheet_;
};

TEST_F(DigestPageTest, WithoutAFileShowsTheDefaultsWithSplittingOff) {
    Open();
    EXPECT_FALSE(Checked(IDC_DIVIDE));
    EXPECT_TRUE(Checked(IDC_MULTIPART_MIXED));
    EXPECT_TRUE(Checked(IDC_MULTIPART_DIGEST));
    EXPECT_TRUE(Checked(IDC_DEL_TRASH));
    EXPECT_FALSE(Checked(IDC_DEL_DELETE));
    EXPECT_FALSE(Checked(IDC_DEL_KEEP));
    EXPECT_TRUE(Checked(IDC_ASK_DELETE));
    EXPECT_TRUE(Checked(IDC_MARK_NONE));
    for (int id : kMarkButtons) {
        EXPECT_FALSE(Checked(id)) << "mark button " << id;
    }
    EXPECT_TRUE(Checked(IDC_MIDOKU));

    // Everything but the switch and the mark frame is disabled.
    for (int id = IDC_DIVIDE; id <= IDC_MIDOKU; ++id) {
        bool expected = id == IDC_DIVIDE || id == IDC_MARK_GROUP;
        EXPECT_EQ(expected, Enabled(id)) << "control " << id;
    }
    EXPECT_EQ(1, CloseWithOk());
}

TEST_F(DigestPageTest, LabelsAndIcons) {
    Open();
    struct Label {
        int id;
        const char* text;
    } labels[] = {
        {IDC_DIVIDE, "ダイジェストメールを分割する(&D)"},
        {IDC_TYPE_GROUP, " 分割するメールのタイプ(&T) "},
        {IDC_MULTIPART_MIXED, "multipart/mixed 形式"},
        {IDC_MULTIPART_DIGEST, "multipart/digest 形式"},
        {IDC_DISPOSAL_GROUP, " 分割元のメールの処理(&O) "},
        {IDC_DEL_TRASH, "ごみ箱へ移動する"},
        {IDC_DEL_DELETE, "削除する ----->"},
        {IDC_DEL_KEEP, "残す"},
        {IDC_ASK_DELETE, "削除する前に確認する[推奨](&C)"},
        {IDC_MARK_GROUP, " 分割したメールのマーク(&M)"},
        {IDC_MARK_NONE, "無し"},
        {IDC_MIDOKU, "未読マーク(&P)"},
    };
    for (const Label& label : labels) {
        EXPECT_EQ(std::string(label.text), sheet_.Text(0, label.id)) << "control " << label.id;
    }

    // Each mark button shows only its icon, in the colour of its mark.
    const COLORREF colours[] = {RGB(255, 0, 0),   RGB(255, 255, 0), RGB(0, 255, 0),    RGB(0, 255, 255),
                                RGB(0, 0, 255),   RGB(255, 0, 255), RGB(128, 128, 128)};
    HDC screen = GetDC(nullptr);
    for (int k = 0; k < 7; ++k) {
        HWND button = sheet_.Control(0, kMarkButtons[k]);
        EXPECT_EQ(std::string(), sheet_.Text(0, kMarkButtons[k])) << "mark " << k + 1;
        EXPECT_NE(0, GetWindowLongPtrA(button, GWL_STYLE) & BS_ICON) << "mark " << k + 1;
        HICON icon = reinterpret_cast<HICON>(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0));
        ASSERT_NE(nullptr, icon) << "mark " << k + 1;
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT all = {0, 0, 16, 16};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawIconEx(memory, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
        int matching = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                matching += GetPixel(memory, x, y) == colours[k] ? 1 : 0;
            }
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        EXPECT_GT(matching, 10) << "mark " << k + 1 << " is not drawn in its colour";
    }
    ReleaseDC(nullptr, screen);

    // The unread box shows its envelope beside the label (common controls 6).
    BUTTON_IMAGELIST picture = {};
    ASSERT_TRUE(SendMessageA(sheet_.Control(0, IDC_MIDOKU), BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&picture)));
    EXPECT_NE(nullptr, picture.himl);
    EXPECT_EQ(1, ImageList_GetImageCount(picture.himl));
    sheet_.PressCancel();
    EXPECT_EQ(2, sheet_.WaitResult());
}

TEST_F(DigestPageTest, SplitSwitchEnablesTheRest) {
    Open();
    Click(IDC_DIVIDE);
    for (int id = IDC_TYPE_GROUP; id <= IDC_MIDOKU; ++id) {
        // The confirmation only goes with "削除する ----->", which is not selected.
        EXPECT_EQ(id != IDC_ASK_DELETE, Enabled(id)) << "control " << id;
    }
    Click(IDC_DEL_DELETE);
    EXPECT_TRUE(Enabled(IDC_ASK_DELETE));

    Click(IDC_DIVIDE);
    for (int id = IDC_TYPE_GROUP; id <= IDC_MIDOKU; ++id) {
        EXPECT_EQ(id == IDC_MARK_GROUP, Enabled(id)) << "switched off again, control " << id;
    }
    Click(IDC_DIVIDE);
    EXPECT_TRUE(Enabled(IDC_ASK_DELETE)) << "disposal 1 is still selected";
    EXPECT_TRUE(Checked(IDC_DEL_DELETE));

    // A look with everything on, for people.
    Click(IDC_MARK3);
    sheet_.SaveScreenshot("sheet_digest_page_on.bmp");
    EXPECT_EQ(1, CloseWithOk());
    EXPECT_EQ(DigestLines(1, 1, 1, 1, 3, 1, 1), mailbox_.Lines("Pikuno.ini"));
}

TEST_F(DigestPageTest, UncheckingBothTypesKeepsTheSourceMail) {
    Open();
    Click(IDC_DIVIDE);
    Click(IDC_DEL_DELETE);
    Click(IDC_MULTIPART_MIXED);
    EXPECT_TRUE(Enabled(IDC_DEL_TRASH)) << "one type is still on";
    EXPECT_TRUE(Checked(IDC_DEL_DELETE));
    Click(IDC_MULTIPART_DIGEST);
    EXPECT_TRUE(Checked(IDC_DEL_KEEP));
    EXPECT_FALSE(Checked(IDC_DEL_DELETE));
    EXPECT_FALSE(Checked(IDC_DEL_TRASH));
    EXPECT_FALSE(Enabled(IDC_DEL_TRASH));
    EXPECT_FALSE(Enabled(IDC_DEL_DELETE));
    EXPECT_TRUE(Enabled(IDC_DEL_KEEP));
    // The confirmation box keeps its state through a type change.
    EXPECT_TRUE(Enabled(IDC_ASK_DELETE));
    EXPECT_TRUE(Checked(IDC_ASK_DELETE));

    // One type back on: both buttons enabled again, the selection stays.
    Click(IDC_MULTIPART_DIGEST);
    EXPECT_TRUE(Enabled(IDC_DEL_TRASH));
    EXPECT_TRUE(Enabled(IDC_DEL_DELETE));
    EXPECT_TRUE(Checked(IDC_DEL_KEEP));

    // Both off again, then the switch off and on: the split refresh enables the
    // two buttons although no type is on.
    Click(IDC_MULTIPART_DIGEST);
    EXPECT_FALSE(Enabled(IDC_DEL_TRASH));
    Click(IDC_DIVIDE);
    Click(IDC_DIVIDE);
    EXPECT_TRUE(Enabled(IDC_DEL_TRASH));
    EXPECT_TRUE(Enabled(IDC_DEL_DELETE));
    EXPECT_FALSE(Enabled(IDC_ASK_DELETE)) << "disposal is 2";

    EXPECT_EQ(1, CloseWithOk());
    EXPECT_EQ(DigestLines(1, 0, 0, 2, 0, 1, 1), mailbox_.Lines("Pikuno.ini"));
}

TEST_F(DigestPageTest, ConfirmationFollowsTheDisposal) {
    Open();
    Click(IDC_DIVIDE);
    Click(IDC_ASK_DELETE);  // disabled: a click on it must not matter for the rest
    struct Step {
        int click;
        bool askEnabled;
    } steps[] = {{IDC_DEL_DELETE, true}, {IDC_DEL_TRASH, false}, {IDC_DEL_DELETE, true},
                 {IDC_DEL_KEEP, false},  {IDC_DEL_DELETE, true}};
    bool askChecked = Checked(IDC_ASK_DELETE);
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        Click(steps[i].click);
        EXPECT_EQ(steps[i].askEnabled, Enabled(IDC_ASK_DELETE)) << "step " << i;
        EXPECT_EQ(askChecked, Checked(IDC_ASK_DELETE)) << "step " << i << ": the check is kept";
        if (steps[i].askEnabled && i == 2) {
            Click(IDC_ASK_DELETE);
            askChecked = !askChecked;
        }
    }
    Click(IDC_MIDOKU);
    EXPECT_EQ(1, CloseWithOk());
    EXPECT_EQ(DigestLines(1, 1, 1, 1, 0, 0, askChecked ? 1 : 0), mailbox_.Lines("Pikuno.ini"));
}

// What the page shows for values in the file, and what OK without a change writes.
TEST(DigestPageFile, ValuesFromTheFileAndBack) {
    struct Case {
        const char* file;
        int disposalChecked;  // index in the group, -1 none
        int markChecked;      // index in the group (0 = none), -1 none
        bool divideChecked;
        bool mixedChecked;
        std::vector<std::string> written;
    } cases[] = {
        {"[Digest]\r\nDelType=5\r\nMark=9\r\n", -1, -1, false, true, DigestLines(0, 1, 1, -1, -1, 1, 1)},
        {"[Digest]\r\nDivide=1\r\nDelType=2\r\nMark=7\r\nMidoku=0\r\nAskDelete=0\r\n", 2, 7, true, true,
         DigestLines(1, 1, 1, 2, 7, 0, 0)},
        {"[Digest]\r\nDelType=-1\r\nMark=-1\r\n", -1, -1, false, true, DigestLines(0, 1, 1, -1, -1, 1, 1)},
        // A switch other than 0 or 1 shows checked and is written back as 1.
        {"[Digest]\r\nDivide=2\r\nMultipartMixed=-3\r\nMultipartDigest=0\r\n", 0, 0, true, true,
         DigestLines(1, 1, 0, 0, 0, 1, 1)},
        {"[digest]\r\ndivide=1\r\nmark=4\r\n", 0, 4, true, true, DigestLines(1, 1, 1, 0, 4, 1, 1)},
    };
    const int disposal[] = {IDC_DEL_TRASH, IDC_DEL_DELETE, IDC_DEL_KEEP};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailboxFolder mailbox;
        mailbox.WriteFile("Pikuno.ini", cases[i].file);
        ModelessSheet sheet;
        ASSERT_TRUE(sheet.Start(mailbox.Path().c_str(), "")) << "case " << i << "\n" << sheet.Seen();
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(k == cases[i].disposalChecked, sheet.IsChecked(0, disposal[k])) << "case " << i << " disposal " << k;
        }
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(k == cases[i].markChecked, sheet.IsChecked(0, IDC_MARK_NONE + k)) << "case " << i << " mark " << k;
        }
        EXPECT_EQ(cases[i].divideChecked, sheet.IsChecked(0, IDC_DIVIDE)) << "case " << i;
        EXPECT_EQ(cases[i].mixedChecked, sheet.IsChecked(0, IDC_MULTIPART_MIXED)) << "case " << i;
        sheet.PressOk();
        EXPECT_EQ(1, sheet.WaitResult()) << "case " << i;
        std::vector<std::string> lines = mailbox.Lines("Pikuno.ini");
        // Keys already in the file keep their place; compare the values by key.
        for (const std::string& expected : cases[i].written) {
            bool found = false;
            for (const std::string& line : lines) {
                found = found || _stricmp(line.c_str(), expected.c_str()) == 0;
            }
            EXPECT_TRUE(found) << "case " << i << ": missing " << expected;
        }
        EXPECT_EQ(cases[i].written.size(), lines.size()) << "case " << i;
    }
}

TEST_F(DigestPageTest, OkWithoutAChangeWritesAllSevenKeysInOrder) {
    mailbox_.AddAccount("Account1", "Home", "alice");
    Open();
    EXPECT_EQ(1, CloseWithOk());
    EXPECT_EQ(DigestLines(0, 1, 1, 0, 0, 1, 1), mailbox_.Lines("Pikuno.ini"));
    // The filter page was never opened: no account file is touched.
    EXPECT_FALSE(mailbox_.Exists("Account1\\Kirvan.ini"));
}

TEST_F(DigestPageTest, CancelLeavesTheFileAlone) {
    const std::string original = "[Digest]\r\nDivide=1\r\nMark=2\r\n";
    mailbox_.WriteFile("Pikuno.ini", original);
    Open();
    Click(IDC_DIVIDE);
    Click(IDC_MARK5);
    sheet_.PressCancel();
    EXPECT_EQ(2, sheet_.WaitResult());
    EXPECT_EQ(original, mailbox_.ReadFile("Pikuno.ini"));
}

TEST_F(DigestPageTest, ComingBackShowsTheFieldsWithoutReadingAgain) {
    mailbox_.AddAccount("Account1", "Home", "alice");
    Open();
    Click(IDC_DIVIDE);
    Click(IDC_MARK6);
    ASSERT_TRUE(sheet_.SelectPage(1));
    // A file changed behind the sheet is not read again.
    mailbox_.WriteFile("Pikuno.ini", "[Digest]\r\nDivide=0\r\nMark=1\r\n");
    ASSERT_TRUE(sheet_.SelectPage(0));
    EXPECT_TRUE(Checked(IDC_DIVIDE));
    EXPECT_TRUE(Checked(IDC_MARK6));
    EXPECT_FALSE(Checked(IDC_MARK1));
    EXPECT_EQ(1, CloseWithOk());
    std::vector<std::string> lines = mailbox_.Lines("Pikuno.ini");
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ("Divide=1", lines[1]);
    EXPECT_EQ("Mark=6", lines[2]);  // the key stood second in the file
}

}  // namespace
