// The message selection dialog's resources in Pikuno.dll and what the dialog
// does while it fills its list.

#include "SelectionDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "FakeHost.h"
#include "HostApi.h"
#include "MailboxScan.h"
#include "Pop3Session.h"
#include "ReceiveFixture.h"
#include "ReceiveUi.h"
#include "SelectiveReceive.h"
#include "UidlList.h"
#include "UnwritableFile.h"

namespace {

using Server = LoopbackPop3Peer;
using Press = SelectionDialogDriver::Press;

// ---- template 101 ----------------------------------------------------------

// Reads a dialog template (DLGTEMPLATE form) word by word.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}
    bool Ok() const { return ok_; }
    WORD Word() {
        if (offset_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        WORD value;
        std::memcpy(&value, data_ + offset_, 2);
        offset_ += 2;
        return value;
    }
    DWORD Dword() {
        DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    // A name or ordinal field: "#n" for an ordinal, the text in UTF-8 otherwise.
    std::string NameOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(Word());
        }
        std::wstring text;
        for (WORD c = first; ok_ && c != 0; c = Word()) {
            text += static_cast<wchar_t>(c);
        }
        return Utf8(text);
    }
    void AlignDword() { offset_ = (offset_ + 3) & ~static_cast<DWORD>(3); }

    static std::string Utf8(const std::wstring& text) {
        char buffer[512] = {};
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
        return buffer;
    }

private:
    const BYTE* data_;
    DWORD size_;
    DWORD offset_ = 0;
    bool ok_ = true;
};

struct ControlExpected {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    const char* windowClass;
    const char* text;  // UTF-8
};

class SelectionResources : public ReceiveFixture {};

TEST_F(SelectionResources, Template101IsExact) {
    HRSRC resource = FindResourceExA(gPluginModule, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(101),
                                     MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(nullptr, resource) << "dialog 101 in Japanese";
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(gPluginModule, resource)));
    ASSERT_NE(nullptr, data);
    TemplateReader reader(data, SizeofResource(gPluginModule, resource));

    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT),
              reader.Dword());
    EXPECT_EQ(0u, reader.Dword()) << "extended style";
    EXPECT_EQ(4, reader.Word()) << "controls";
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(339, reader.Short());
    EXPECT_EQ(177, reader.Short());
    EXPECT_EQ("", reader.NameOrOrdinal()) << "menu";
    EXPECT_EQ("", reader.NameOrOrdinal()) << "class";
    EXPECT_EQ(u8"ﾀﾞｲｱﾛｸﾞ", reader.NameOrOrdinal()) << "caption";
    EXPECT_EQ(9, reader.Word()) << "point size";
    EXPECT_EQ(u8"ＭＳ Ｐゴシック", reader.NameOrOrdinal()) << "font";

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const ControlExpected controls[] = {
        {child | WS_TABSTOP | BS_DEFPUSHBUTTON, 282, 7, 50, 14, IDOK, "#128", "OK"},
        {child | WS_TABSTOP | BS_PUSHBUTTON, 282, 24, 50, 14, IDCANCEL, "#128", u8"ｷｬﾝｾﾙ"},
        {child | WS_TABSTOP | WS_BORDER | LVS_REPORT, 7, 7, 268, 143, 1001, "SysListView32", ""},
        {child | SS_LEFT | SS_NOPREFIX, 7, 153, 268, 17, 1008, "#130", ""},
    };
    int index = 0;
    for (const ControlExpected& c : controls) {
        SCOPED_TRACE(testing::Message() << "control " << index++);
        reader.AlignDword();
        EXPECT_EQ(c.style, reader.Dword());
        EXPECT_EQ(0u, reader.Dword()) << "extended style";
        EXPECT_EQ(c.x, reader.Short());
        EXPECT_EQ(c.y, reader.Short());
        EXPECT_EQ(c.cx, reader.Short());
        EXPECT_EQ(c.cy, reader.Short());
        EXPECT_EQ(c.id, reader.Word());
        // Class names compare without regard to case (windres writes them in capitals).
        EXPECT_EQ(0, lstrcmpiA(c.windowClass, reader.NameOrOrdinal().c_str()));
        EXPECT_EQ(c.text, reader.NameOrOrdinal());
        EXPECT_EQ(0, reader.Word()) << "creation data";
    }
    EXPECT_TRUE(reader.Ok()) << "template shorter than its contents";
}

// The pixels of an icon drawn over a uniform background.
std::vector<COLORREF> DrawIcon(HICON icon, COLORREF background) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, 16, 16};
    FillRect(dc, &all, brush);
    DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::vector<COLORREF> pixels;
    const DWORD* p = static_cast<const DWORD*>(bits);
    for (int i = 0; i < 256; ++i) {
        DWORD v = p[i];  // 0x00RRGGBB
        pixels.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    }
    SelectObject(dc, old);
    DeleteObject(brush);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

TEST_F(SelectionResources, StatePicturesAre16By16In16Colours) {
    for (int id : {132, 133}) {
        SCOPED_TRACE(testing::Message() << "icon " << id);
        HRSRC group = FindResourceA(gPluginModule, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
        ASSERT_NE(nullptr, group);
        const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(gPluginModule, group)));
        ASSERT_NE(nullptr, dir);
        WORD count;
        std::memcpy(&count, dir + 4, 2);
        ASSERT_EQ(1, count) << "one picture";
        const BYTE* entry = dir + 6;  // width, height, colours, reserved, planes, bit count
        EXPECT_EQ(16, entry[0]);
        EXPECT_EQ(16, entry[1]);
        EXPECT_EQ(16, entry[2]);
        WORD bitCount;
        std::memcpy(&bitCount, entry + 6, 2);
        EXPECT_EQ(4, bitCount);
    }
}

TEST_F(SelectionResources, UntickedIsEmptyAndTickedIsARedTickOnATransparentGround) {
    HICON unticked = static_cast<HICON>(LoadImageA(gPluginModule, MAKEINTRESOURCEA(132), IMAGE_ICON, 16, 16, 0));
    HICON ticked = static_cast<HICON>(LoadImageA(gPluginModule, MAKEINTRESOURCEA(133), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(nullptr, unticked);
    ASSERT_NE(nullptr, ticked);
    const COLORREF grounds[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 128, 255)};
    for (COLORREF ground : grounds) {
        SCOPED_TRACE(testing::Message() << "ground " << std::hex << ground);
        std::vector<COLORREF> empty = DrawIcon(unticked, ground);
        std::vector<COLORREF> tick = DrawIcon(ticked, ground);
        int unchanged = 0;
        int red = 0;
        int other = 0;
        for (int i = 0; i < 256; ++i) {
            EXPECT_EQ(ground, empty[i]) << "pixel " << i << " of the empty picture";
            if (tick[i] == ground) {
                ++unchanged;
            } else if (GetRValue(tick[i]) >= 0x80 && GetGValue(tick[i]) < 0x40 && GetBValue(tick[i]) < 0x40) {
                ++red;
            } else {
                ++other;
            }
        }
        EXPECT_GE(red, 20) << "a visible red tick";
        EXPECT_GE(unchanged, 180) << "the ground shows through";
        EXPECT_EQ(0, other) << "nothing but red on the ground";
    }
    DestroyIcon(unticked);
    DestroyIcon(ticked);
}

// ---- while the list fills ------------------------------------------------------

struct ListEvent {
    enum Kind { kRedraw, kInsert } kind;
    WPARAM value;     // WM_SETREDRAW's flag
    bool waitCursor;  // the cursor when the item went in
};

std::vector<ListEvent> gListEvents;
HCURSOR gWaitCursor = nullptr;

LRESULT CALLBACK RecordListMessages(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        char className[32] = {};
        GetClassNameA(message->hwnd, className, sizeof className);
        if (lstrcmpiA(className, "SysListView32") == 0) {
            if (message->message == WM_SETREDRAW) {
                gListEvents.push_back({ListEvent::kRedraw, message->wParam, GetCursor() == gWaitCursor});
            } else if (message->message == LVM_INSERTITEMW) {
                gListEvents.push_back({ListEvent::kInsert, 0, GetCursor() == gWaitCursor});
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class SelectionDialog : public ReceiveFixture {};

TEST_F(SelectionDialog, ListFillsWithRedrawOffUnderTheWaitCursor) {
    const std::vector<ScriptedMessage> messages = {
        {100, "A", TopReply("Subject: one\r\n")},
        {200, "B", TopReply("Subject: two\r\n")},
        {300, "C", TopReply("Subject: three\r\n")},
    };
    Server server;
    ASSERT_TRUE(server.Start(WholeScan(messages)));
    AccountIni account;
    account.port = server.Port();
    WriteKirvan(KirvanIni());
    WriteAccount(account);

    gWaitCursor = LoadCursor(nullptr, IDC_WAIT);
    HCURSOR before = SetCursor(LoadCursor(nullptr, IDC_ARROW));
    gListEvents.clear();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordListMessages, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    {
        SelectionDialogDriver driver({}, Press::kCancel);
        RunSelectiveReceive(window_, 0);
        EXPECT_TRUE(driver.Seen().found) << driver.Seen().report;
    }
    UnhookWindowsHookEx(hook);
    server.Finish();
    EXPECT_EQ("", server.Failure());
    EXPECT_NE(gWaitCursor, GetCursor()) << "the cursor is given back";
    SetCursor(before);

    // Redraw off, three items under the wait cursor, redraw on.
    std::vector<ListEvent> events = gListEvents;
    ASSERT_EQ(5u, events.size());
    EXPECT_EQ(ListEvent::kRedraw, events[0].kind);
    EXPECT_EQ(static_cast<WPARAM>(FALSE), events[0].value);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(ListEvent::kInsert, events[i].kind) << "event " << i;
        EXPECT_TRUE(events[i].waitCursor) << "event " << i;
    }
    EXPECT_EQ(ListEvent::kRedraw, events[4].kind);
    EXPECT_EQ(static_cast<WPARAM>(TRUE), events[4].value);
}

// ---- sorting, ticking many rows, the kept layout --------------------------------

// A column heading clicked, as the list tells its dialog.
void ClickHeading(HWND dialog, HWND list, int column) {
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(dialog, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
}

void SetItemState(HWND list, int item, UINT mask, UINT state) {
    LVITEMW lv = {};
    lv.stateMask = mask;
    lv.state = state;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
}

std::wstring Summary(HWND dialog) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, kSelectionSummaryId, text, 512);
    return text;
}

// Sizes 300, 5000, 20, 800, 100 bytes, UIDLs U1 to U5.
std::vector<ScriptedMessage> FiveSizes() {
    const int sizes[] = {300, 5000, 20, 800, 100};
    std::vector<ScriptedMessage> messages;
    for (int i = 0; i < 5; ++i) {
        messages.push_back({sizes[i], "U" + std::to_string(i + 1),
                            TopReply("Subject: message " + std::to_string(i + 1) + "\r\n")});
    }
    return messages;
}

std::vector<std::string> UidlListTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i < gUidlList.GetCount(); ++i) {
        texts.push_back(gUidlList.GetAt(i));
    }
    return texts;
}

struct ChoiceCase {
    const char* name;
    std::function<void(HWND dialog, HWND list)> act;
    std::vector<std::string> sizesShown;  // column 1 from the top, after act
    std::wstring summary;                 // after act
    std::vector<std::string> setAside;    // gUidlList after OK
};

// The tick follows the message whatever the order: sorted by size twice
// (largest first), the top row ticked; Space over two selected rows; Ctrl+A and
// Space over all of them.
TEST_F(SelectionDialog, ChoicesFollowTheMessageInAnyOrder) {
    const ChoiceCase cases[] = {
        {"sorted by size, largest ticked",
         [](HWND dialog, HWND list) {
             ClickHeading(dialog, list, 1);
             ClickHeading(dialog, list, 1);
             SetItemState(list, 0, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(2));
         },
         {"5000", "800", "300", "100", "20"},
         L"\u53d7\u4fe1\u3059\u308b: 1 \u901a (5,000 \u30d0\u30a4\u30c8)\u3000\u30b5\u30fc\u30d0\u30fc\u306b\u6b8b\u3059: 4 \u901a",
         {"U1", "U3", "U4", "U5"}},
        {"sorted by size, Space over two selected rows",
         [](HWND dialog, HWND list) {
             ClickHeading(dialog, list, 1);
             SetItemState(list, 3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
             SetItemState(list, 4, LVIS_SELECTED, LVIS_SELECTED);
             SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
         },
         {"20", "100", "300", "800", "5000"},
         L"\u53d7\u4fe1\u3059\u308b: 2 \u901a (5,800 \u30d0\u30a4\u30c8)\u3000\u30b5\u30fc\u30d0\u30fc\u306b\u6b8b\u3059: 3 \u901a",
         {"U1", "U3", "U5"}},
        {"every row selected, Space twice then once more",
         [](HWND, HWND list) {
             SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
             SetItemState(list, 2, LVIS_FOCUSED, LVIS_FOCUSED);
             SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
             SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
             SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
         },
         {"300", "5000", "20", "800", "100"},
         L"\u53d7\u4fe1\u3059\u308b: 5 \u901a (6,220 \u30d0\u30a4\u30c8)\u3000\u30b5\u30fc\u30d0\u30fc\u306b\u6b8b\u3059: 0 \u901a",
         {}},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetChoices();  // what the last case set aside would not be read again
        gUidlList.RemoveAll();
        std::vector<std::string> sizes;
        std::wstring summary;
        Server server;
        SelectionDialogDriver driver({}, Press::kOk, [&](HWND dialog, HWND list) {
            c.act(dialog, list);
            for (const SelectionItemSeen& item : ReadSelectionList(list)) {
                sizes.push_back(item.size);
            }
            summary = Summary(dialog);
        });
        RunScript(server, WholeScan(FiveSizes()));
        ASSERT_TRUE(driver.Seen().found) << driver.Seen().report;
        EXPECT_EQ(c.sizesShown, sizes);
        EXPECT_TRUE(c.summary == summary);
        EXPECT_EQ(c.setAside, UidlListTexts());
    }
}

// A size and column widths left by the user come back the next time, from
// Pikuno.ini of the mailbox directory; a size below the defined one does not.
TEST_F(SelectionDialog, SizeAndColumnWidthsAreKept) {
    const std::string mailbox = FakeHost::mailbox;
    FakeHost::mailbox = dir_.Path();
    int defaultWidth = 0;
    int defaultListWidth = 0;
    {
        Server server;
        SelectionDialogDriver driver({}, Press::kCancel, [&](HWND dialog, HWND list) {
            RECT window;
            GetWindowRect(dialog, &window);
            defaultWidth = window.right - window.left;
            RECT listRect;
            GetWindowRect(list, &listRect);
            defaultListWidth = listRect.right - listRect.left;
            SetWindowPos(dialog, nullptr, 0, 0, defaultWidth + 200, window.bottom - window.top + 100,
                         SWP_NOMOVE | SWP_NOZORDER);
            SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, 333);
        });
        RunScript(server, WholeScan(FirstMessages(2)));
        ASSERT_TRUE(driver.Seen().found) << driver.Seen().report;
    }
    const std::string ini = dir_.Path() + "Pikuno.ini";
    EXPECT_EQ(defaultWidth + 200, static_cast<int>(GetPrivateProfileIntA("Selection", "Width", 0, ini.c_str())));
    EXPECT_EQ(333, static_cast<int>(GetPrivateProfileIntA("Selection", "Column0", 0, ini.c_str())));

    int width = 0;
    int listWidth = 0;
    Server again;
    SelectionDialogDriver driver({}, Press::kCancel, [&](HWND dialog, HWND list) {
        RECT window;
        GetWindowRect(dialog, &window);
        width = window.right - window.left;
        RECT listRect;
        GetWindowRect(list, &listRect);
        listWidth = listRect.right - listRect.left;
        SetWindowPos(dialog, nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER);
    });
    RunScript(again, WholeScan(FirstMessages(2)));
    ASSERT_TRUE(driver.Seen().found) << driver.Seen().report;
    EXPECT_EQ(defaultWidth + 200, width);
    EXPECT_EQ(defaultListWidth + 200, listWidth) << "the list follows the dialog";
    ASSERT_FALSE(driver.Seen().columnWidths.empty());
    EXPECT_EQ(333, driver.Seen().columnWidths[0]);
    EXPECT_EQ(defaultWidth, static_cast<int>(GetPrivateProfileIntA("Selection", "Width", 0, ini.c_str())))
        << "never smaller than the defined size";
    FakeHost::mailbox = mailbox;
}

// Pikuno.ini that cannot be written when the dialog closes: the layout is not
// kept, and the choice goes through as made.
TEST_F(SelectionDialog, LayoutThatCannotBeWrittenLeavesTheChoiceAlone) {
    const std::string mailbox = FakeHost::mailbox;
    FakeHost::mailbox = dir_.Path();
    for (WriteFault fault : {WriteFault::HeldOpen, WriteFault::Directory}) {
        SCOPED_TRACE(fault == WriteFault::HeldOpen ? "held open" : "a directory");
        UnwritableFile ini(dir_.Path() + "Pikuno.ini", fault);
        ASSERT_TRUE(ini.Made());
        ForgetChoices();
        gUidlList.RemoveAll();
        Server server;
        SelectionDialogDriver driver({0}, Press::kOk);
        RunScript(server, WholeScan(FirstMessages(3)));
        ASSERT_TRUE(driver.Seen().found) << driver.Seen().report;
        EXPECT_EQ((std::vector<std::string>{"UID-B", "UID-C"}), UidlListTexts());
        EXPECT_TRUE(ini.Unchanged());
    }
    FakeHost::mailbox = mailbox;
}

// A scan whose table then says what the host has, as the record's reading
// leaves it: new, set aside and received messages. Received ones are not listed
// and are counted under the list; set aside ones say so in their own column; OK
// sets aside every unticked listed one.
TEST_F(SelectionDialog, ListsWhatTheHostHasNotReceived) {
    const MessageKind kinds[] = {MessageKind::kReceived, MessageKind::kNew, MessageKind::kSetAside,
                                 MessageKind::kReceived, MessageKind::kNew};
    std::vector<ScriptedMessage> messages;
    for (int i = 0; i < 5; ++i) {
        messages.push_back({1000 * (i + 1), "U" + std::to_string(i + 1),
                            TopReply("Subject: message " + std::to_string(i + 1) + "\r\n")});
    }
    Server server;
    ASSERT_TRUE(server.Start(WholeScan(messages)));
    ASSERT_TRUE(PopConnect("127.0.0.1", server.Port()));
    PopReadResponse(false);
    ASSERT_TRUE(PopLogin("alice", "s3cret"));
    const bool pipelining = PopCapa();
    PopList();
    ASSERT_EQ(ScanOutcome::kComplete, ScanMailbox(true, nullptr, pipelining));
    PopQuit();
    server.Finish();
    EXPECT_EQ("", server.Failure());
    for (int i = 0; i < 5; ++i) {
        gScanTable[i].kind = kinds[i];
    }

    gUidlList.RemoveAll();
    SelectionDialogDriver driver({1}, Press::kOk);
    ShowSelectionDialog(window_);
    const SelectionDialogSeen& seen = driver.Seen();
    ScanRelease();
    ASSERT_TRUE(seen.found) << seen.report;

    struct Row {
        LPARAM number;
        const wchar_t* subject;
        const wchar_t* status;
    } const rows[] = {
        {2, L"message 2", L""},
        {3, L"message 3", L"\u524d\u56de\u4fdd\u7559"},
        {5, L"message 5", L""},
    };
    ASSERT_EQ(3u, seen.items.size());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].number, seen.items[i].param) << "row " << i;
        EXPECT_TRUE(seen.items[i].cells[0] == rows[i].subject) << "row " << i;
        EXPECT_TRUE(seen.items[i].cells[4] == rows[i].status) << "row " << i;
    }
    EXPECT_TRUE(seen.summary ==
                std::wstring(L"\u53d7\u4fe1\u3059\u308b: 0 \u901a (0 \u30d0\u30a4\u30c8)\u3000"
                             L"\u30b5\u30fc\u30d0\u30fc\u306b\u6b8b\u3059: 3 \u901a\u3000"
                             L"\u53d7\u4fe1\u6e08\u307f 2 \u901a\u306f\u8868\u793a\u3057\u3066\u3044\u307e\u305b\u3093"));
    // Row 1 (message 3, set aside earlier) ticked: messages 2 and 5 stay.
    EXPECT_EQ((std::vector<std::string>{"U2", "U5"}), UidlListTexts());
}

// A dialog procedure run on a template without the list control.
struct BareTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass;
    wchar_t title[8];
};

TEST_F(SelectionDialog, WithoutTheListControlNothingIsFetchedOrSetAside) {
    alignas(4) BareTemplate bare = {};
    bare.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    bare.header.cx = 100;
    bare.header.cy = 50;
    std::memcpy(bare.title, L"bare", sizeof L"bare");
    gMessageCount = 3;  // as if LIST had found three messages; no session is open
    gUidlList.RemoveAll();

    WindowWatcher presser(WindowCaptioned("bare"), [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
    INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &bare.header, window_, SelectionDialogProc, 0);
    presser.Stop();
    gMessageCount = 0;
    EXPECT_EQ(1, result) << "OK ends the dialog with 1";
    EXPECT_EQ(nullptr, gMessageList);
    EXPECT_EQ(0, gUidlList.GetCount());
}

}  // namespace
