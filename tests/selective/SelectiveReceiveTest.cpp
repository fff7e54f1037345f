// The selective receive command against a scripted POP3 server, with the fake
// host, the real selection dialog driven from a second thread, and the stand-in
// rasapi32.dll.

#include "SelectiveReceive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "DialUp.h"
#include "FakeHost.h"
#include "Pop3Session.h"
#include "ReceiveFixture.h"
#include "ReceiveUi.h"
#include "Retrieval.h"
#include "SetAsideRecord.h"
#include "UidlList.h"
#include "UnwritableFile.h"
#include "WinHandles.h"

namespace {

using Server = LoopbackPop3Peer;
using Press = SelectionDialogDriver::Press;

const std::vector<ScriptedMessage> kThree = FirstMessages(3);

class SelectiveReceive : public ReceiveFixture {};

// ---- the dialog's outcome --------------------------------------------------

struct DialogCase {
    const char* name;
    std::vector<int> tick;  // 0-based items
    Press press;
    std::vector<int> setAside;  // message numbers whose UIDLs are fetched
    const char* uidlFile;
};

TEST_F(SelectiveReceive, DialogOutcomes) {
    const DialogCase cases[] = {
        {"tick one of three", {1}, Press::kOk, {1, 3}, "UID-A\nUID-C\n"},
        {"OK with nothing ticked", {}, Press::kOk, {1, 2, 3}, "UID-A\nUID-B\nUID-C\n"},
        {"every message ticked", {0, 1, 2}, Press::kOk, {}, "<absent>"},
        {"Cancel", {0}, Press::kCancel, {}, "<absent>"},
        {"close box", {}, Press::kClose, {}, "<absent>"},
    };
    int index = 0;
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.name);
        DeleteFileA(UidlPath().c_str());
        gUidlList.RemoveAll();
        Server server;
        SelectionDialogDriver driver(c.tick, c.press);
        RunScript(server, WholeScan(kThree));
        const SelectionDialogSeen& seen = driver.Seen();

        // Every UIDL is known before the dialog opens; OK sends nothing.
        EXPECT_EQ(kWireLogin + std::string("uidl\r\n") + TopsWire(3) + "quit\r\n", server.Received());
        EXPECT_TRUE(server.ClientClosed());
        ASSERT_TRUE(seen.found) << seen.report;
        EXPECT_EQ(window_, seen.owner);
        EXPECT_EQ(3u, seen.items.size());
        EXPECT_EQ(c.uidlFile, ReadUidl());
        EXPECT_EQ(static_cast<int>(c.setAside.size()), gUidlList.GetCount());
        EXPECT_EQ(1, TakeReceiveCommands()) << "the host's retrieval starts in every case";
    }
}

// The local form of a UTC time, as the Date column must show it.
std::wstring LocalMinute(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    SYSTEMTIME utc = {};
    utc.wYear = year;
    utc.wMonth = month;
    utc.wDay = day;
    utc.wHour = hour;
    utc.wMinute = minute;
    SYSTEMTIME local = {};
    EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    auto two = [](WORD value) { return std::to_wstring(value / 10) + std::to_wstring(value % 10); };
    return std::to_wstring(local.wYear) + L"/" + two(local.wMonth) + L"/" + two(local.wDay) + L" " +
           two(local.wHour) + L":" + two(local.wMinute);
}

const std::vector<ScriptedMessage> kColumnMessages = {
    {4321, "U1", TopReply("From: a@example.jp\r\nSubject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n"
                          "Date: Tue, 8 Dec 2026 07:00:00 +0900\r\n")},
    {12345, "U2", TopReply("Subject: =?UTF-8?B?8J+OiSDpq5nmqYs=?=\r\n =?UTF-8?Q?_=E3=81=95=E3=82=93?=\r\n"
                           "From: =?UTF-8?B?6auZ5qmL?= <t@example.jp>\r\nDate: someday\r\n")},
    {7, "U3", TopReply("From: b@example.jp\r\nTo: c@example.jp\r\n")},
    {0, "U4", TopReply("Subject:\r\n")},
    {99, "U5", "-ERR no such message\r\n"},
};

// Every column read back with the W messages: the texts as UTF-16 (characters
// Shift_JIS lacks included), the headings, the display order, the line under
// the list.
TEST_F(SelectiveReceive, DialogListsEveryColumnAsSent) {
    Server server;
    SelectionDialogDriver driver({}, Press::kCancel);
    RunScript(server, WholeScan(kColumnMessages));
    const SelectionDialogSeen& seen = driver.Seen();
    ASSERT_TRUE(seen.found) << seen.report;

    const std::wstring cells[][5] = {
        // Subject, Size, From, Date, Status
        {L"\u30c6\u30b9\u30c8", L"4321", L"a@example.jp", LocalMinute(2026, 12, 7, 22, 0), L""},
        {L"\U0001F389 \u9ad9\u6a4b \u3055\u3093", L"12345", L"\u9ad9\u6a4b", L"someday", L""},
        {L"No Subject", L"7", L"b@example.jp", L"", L""},
        {L"", L"0", L"", L"", L""},
        {L"No Subject", L"99", L"", L"", L""},
    };
    ASSERT_EQ(5u, seen.items.size());
    for (std::size_t i = 0; i < seen.items.size(); ++i) {
        ASSERT_EQ(5u, seen.items[i].cells.size()) << "item " << i;
        for (int c = 0; c < 5; ++c) {
            EXPECT_TRUE(cells[i][c] == seen.items[i].cells[static_cast<std::size_t>(c)])
                << "item " << i << " column " << c;
        }
        EXPECT_EQ(static_cast<LPARAM>(i + 1), seen.items[i].param) << "item " << i;
        EXPECT_EQ(1, seen.items[i].stateImage) << "item " << i << " starts unticked";
    }
    EXPECT_EQ("\x83\x65\x83\x58\x83\x67", seen.items[0].subject) << "column 0 in the ANSI code page";
    const std::vector<std::string> headings = {"Subject", "Size", "From", "Date", "Status"};
    EXPECT_EQ(headings, seen.columns);
    EXPECT_EQ((std::vector<int>{4, 2, 0, 3, 1}), seen.columnOrder) << "Status, From, Subject, Date, Size";
    EXPECT_EQ(std::wstring(L"\u53d7\u4fe1\u3059\u308b: 0 \u901a (0 \u30d0\u30a4\u30c8)\u3000"
                           L"\u30b5\u30fc\u30d0\u30fc\u306b\u6b8b\u3059: 5 \u901a"),
              seen.summary);
}

// The caption, the check boxes with their two pictures, and columns as wide as
// their texts that together fit the list at the dialog's size.
TEST_F(SelectiveReceive, DialogLooksAsDescribed) {
    Server server;
    SelectionDialogDriver driver({}, Press::kCancel);
    RunScript(server, WholeScan(kColumnMessages));
    const SelectionDialogSeen& seen = driver.Seen();
    ASSERT_TRUE(seen.found) << seen.report;
    EXPECT_EQ(kSelectionDialogCaption, seen.caption);
    EXPECT_TRUE(seen.checkBoxStyle);
    EXPECT_TRUE(seen.stateImageListSet);
    EXPECT_EQ(2, seen.stateImageCount);
    int total = 0;
    for (std::size_t c = 0; c < seen.columnWidths.size(); ++c) {
        EXPECT_GE(seen.columnWidths[c], 30) << "column " << c;
        total += seen.columnWidths[c];
    }
    EXPECT_LE(total, seen.listClientWidth) << "nothing scrolled out of view";
}

TEST_F(SelectiveReceive, EmptyMailboxShowsAnEmptyListAndOkSetsNothingAside) {
    Server server;
    SelectionDialogDriver driver({}, Press::kOk);
    RunScript(server, Join({Login(), {Server::Expect("list\r\n"), Server::Reply("+OK 0 0\r\n.\r\n")}, Quit()}));
    EXPECT_EQ(std::string(kWireLogin) + "quit\r\n", server.Received());
    ASSERT_TRUE(driver.Seen().found) << driver.Seen().report;
    EXPECT_TRUE(driver.Seen().items.empty());
    EXPECT_EQ("<absent>", ReadUidl());
    EXPECT_EQ(1, TakeReceiveCommands());
}

// ---- size filter -------------------------------------------------------------

struct SizeCase {
    int filterType;
    int checkSize;
    int filterSize;
    std::vector<int> setAside;
    const char* uidlFile;
};

TEST_F(SelectiveReceive, SizeFilter) {
    const SizeCase cases[] = {
        {1, 1, 5000, {3}, "UID-C\n"},
        {1, 1, 4999, {2, 3}, "UID-B\nUID-C\n"},
        {1, 1, 6000, {}, "<absent>"},
        {1, 1, 0, {1, 2, 3}, "UID-A\nUID-B\nUID-C\n"},
        {1, 1, -1, {1, 2, 3}, "UID-A\nUID-B\nUID-C\n"},
        {1, 0, 5000, {}, "<absent>"},
        {2, 1, 5000, {}, "<absent>"},
        {-1, 1, 5000, {}, "<absent>"},
    };
    int index = 0;
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++);
        DeleteFileA(UidlPath().c_str());
        gUidlList.RemoveAll();
        Server server;
        // The listing only when a message is above the limit, and the header of
        // each one set aside, for the record.
        bool scanned = c.filterType == 1 && c.checkSize == 1 && !c.setAside.empty();
        KirvanIni kirvan;
        kirvan.filterType = c.filterType;
        kirvan.checkSize = c.checkSize;
        kirvan.filterSize = c.filterSize;
        MessageBoxCloser boxes("Kirvan");  // none expected; a stray dialog would be reported
        RunScript(server, Join({Login(), Listing(kThree), scanned ? UidlListing(kThree) : std::vector<Server::Step>{},
                                Tops(kThree, c.setAside), Quit()}),
                  kirvan);
        EXPECT_EQ(kWireLogin + std::string(scanned ? "uidl\r\n" : "") + TopsWire(c.setAside) + "quit\r\n",
                  server.Received());
        EXPECT_EQ(c.uidlFile, ReadUidl());
        EXPECT_EQ(1, TakeReceiveCommands());
        EXPECT_TRUE(boxes.Stop().empty());
        EXPECT_EQ(nullptr, FindShownWindow(WindowCaptioned(kSelectionDialogCaption)));
    }
}

TEST_F(SelectiveReceive, SameUidlSetAsideTwiceIsAppendedOnce) {
    const std::vector<ScriptedMessage> messages = {
        {9000, "SAME", TopReply("Subject: one\r\n")},
        {9000, "SAME", TopReply("Subject: two\r\n")},
        {9000, "OTHER", TopReply("Subject: three\r\n")},
    };
    Server server;
    RunScript(server, Join({Login(), Listing(messages), UidlListing(messages), Tops(messages, {1, 2, 3}), Quit()}),
              SizeFilter(100));
    EXPECT_EQ("SAME\nOTHER\n", ReadUidl());
    EXPECT_EQ(2, gUidlList.GetCount());
}

// ---- the uidl file -------------------------------------------------------------

// The uidl file that cannot be rewritten, through the real file system: nothing
// may be retrieved, since the host would fetch (and with Delete 1 delete on the
// server) the very mails the user chose to keep. A folder cannot even be read,
// so the command stops before the server; a file held without delete sharing is
// read, scanned and then refused its replacement.
TEST_F(SelectiveReceive, UidlThatCannotBeWrittenRetrievesNothing) {
    const WriteFault faults[] = {WriteFault::Directory, WriteFault::HeldOpen};
    int index = 0;
    for (WriteFault fault : faults) {
        const char* name = fault == WriteFault::Directory ? "a folder" : "held open without write sharing";
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << name);
        std::memset(Ras(), 0, sizeof *Ras());
        Ras()->dialHandle = 0x2424;
        gUidlList.RemoveAll();
        UnwritableFile uidl(UidlPath(), fault);
        ASSERT_TRUE(uidl.Made());
        KirvanIni kirvan = SizeFilter(5000);
        kirvan.deleteOnServer = 1;
        Server server;
        MessageBoxCloser closer("Kirvan");
        if (fault == WriteFault::Directory) {
            ASSERT_TRUE(server.Listen());
            Run(server, kirvan, DialUpAccount());
            EXPECT_FALSE(server.ConnectAttempted());
        } else {
            RunScript(server, Join({Login(), Listing(kThree), UidlListing(kThree), Tops(kThree, {3}), Quit()}),
                      kirvan, DialUpAccount());
        }
        std::vector<MessageBoxSeen> boxes = closer.Stop();
        EXPECT_TRUE(uidl.Unchanged());
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kUidlWriteFailedText, boxes[0].text);
        EXPECT_EQ(window_, boxes[0].owner);
        EXPECT_EQ(0, TakeReceiveCommands()) << "no retrieval";
        EXPECT_EQ(0, gUidlList.GetCount());
        EXPECT_EQ(0, gDeleteOnServer);
        EXPECT_EQ(0, frame::RecFilter("C:\\mail\\00000001.qnl")) << "a later retrieval would delete on the server";
        EXPECT_EQ(nullptr, gDialUpConnection);
        ASSERT_EQ(3, Ras()->callCount);
        EXPECT_EQ(kRasCallHangUp, Ras()->calls[2].kind) << "the line dialled is hung up";
    }
}

TEST_F(SelectiveReceive, CommandWithoutARetrievalLeavesNoState) {
    // A busy host: the box, no line dialled, nothing sent, the flag untouched.
    {
        FakeHost::busy = true;
        Server server;
        ASSERT_TRUE(server.Listen());
        AccountIni account = DialUpAccount();
        account.port = server.Port();
        KirvanIni kirvan = SizeFilter(0);
        kirvan.deleteOnServer = 1;
        std::vector<MessageBoxSeen> boxes = RunClosingBoxes(kirvan, account);
        FakeHost::busy = false;
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kHostBusyText, boxes[0].text);
        EXPECT_EQ(window_, boxes[0].owner);
        EXPECT_FALSE(server.ConnectAttempted());
        EXPECT_EQ(0, Ras()->callCount);
        EXPECT_EQ(0, gDeleteOnServer);
        EXPECT_EQ(0, TakeReceiveCommands());
        EXPECT_EQ("<absent>", ReadUidl());
    }
    // The window gone before the receive command could be posted to it: the
    // choice is recorded, but nothing of it may answer an ordinary retrieval.
    {
        std::memset(Ras(), 0, sizeof *Ras());
        Ras()->dialHandle = 0x3131;
        HWND gone = CreateWindowExA(0, "STATIC", "gone", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, gone);
        DestroyWindow(gone);
        Server server;
        KirvanIni kirvan = SizeFilter(5000);
        kirvan.deleteOnServer = 1;
        AccountIni account = DialUpAccount();
        ASSERT_TRUE(server.Start(Join({Login(), Listing(kThree), UidlListing(kThree), Tops(kThree, {3}), Quit()})));
        account.port = server.Port();
        WriteKirvan(kirvan);
        WriteAccount(account);
        RunSelectiveReceive(gone, 0);
        server.Finish();
        EXPECT_EQ("", server.Failure());
        EXPECT_EQ("UID-C\n", ReadUidl());
        EXPECT_EQ(0, gUidlList.GetCount());
        EXPECT_EQ(0, gDeleteOnServer);
        EXPECT_EQ(0, frame::RecFilter("C:\\mail\\00000001.qnl"));
        EXPECT_EQ(nullptr, gDialUpConnection);
        ASSERT_EQ(3, Ras()->callCount);
        EXPECT_EQ(kRasCallHangUp, Ras()->calls[2].kind);
        EXPECT_EQ(0x3131u, Ras()->calls[2].handleIn);
    }
}

// ---- settings that stop the command -----------------------------------------------

struct StopCase {
    const char* name;
    bool writeKirvan;
    int doFilter;
    int notDelete;
    int useRas;
    const char* rasProvider;
    DWORD dialResult;
    const char* box;  // nullptr: nothing shown
};

TEST_F(SelectiveReceive, SettingsThatEndTheCommandBeforeAnyConnection) {
    const StopCase cases[] = {
        {"no Kirvan.ini", false, 0, 1, 0, "", 0, nullptr},
        {"DoFilter 0", true, 0, 1, 0, "", 0, nullptr},
        {"NotDelete 0", true, 1, 0, 0, "", 0, kKeepMailOnServerText},
        {"UseRAS without entry", true, 1, 1, 1, "", 0, kNoDialUpEntryText},
        {"dial fails", true, 1, 1, 1, "Office line", 691, kDialUpFailedText},
    };
    int index = 0;
    for (const StopCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.name);
        DeleteFileA((AccountDir() + "Kirvan.ini").c_str());
        std::memset(Ras(), 0, sizeof *Ras());
        Ras()->dialResult = c.dialResult;
        gDeleteOnServer = 7;
        Server probe;  // listens, never answers
        ASSERT_TRUE(probe.Listen());
        KirvanIni kirvan;
        kirvan.doFilter = c.doFilter;
        kirvan.deleteOnServer = 1;
        if (c.writeKirvan) {
            WriteKirvan(kirvan);
        }
        AccountIni account;
        account.notDelete = c.notDelete;
        account.useRas = c.useRas;
        account.rasProvider = c.rasProvider;
        account.port = probe.Port();
        WriteAccount(account);

        MessageBoxCloser closer("Kirvan");
        RunSelectiveReceive(window_, 0);
        std::vector<MessageBoxSeen> boxes = closer.Stop();

        EXPECT_FALSE(probe.ConnectAttempted());
        EXPECT_EQ(0, TakeReceiveCommands());
        EXPECT_EQ("<absent>", ReadUidl());
        if (c.doFilter == 0) {
            EXPECT_EQ(7, gDeleteOnServer) << "nothing is changed";
        } else {
            EXPECT_EQ(1, gDeleteOnServer) << "Delete is read before the other checks";
        }
        if (!c.box) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(c.box, boxes[0].text);
        EXPECT_EQ(window_, boxes[0].owner);
        EXPECT_TRUE(boxes[0].OnlyOk());
        EXPECT_FALSE(boxes[0].hasIcon);
        EXPECT_EQ(c.dialResult != 0 ? 2 : 0, Ras()->callCount) << "dialled only when it should";
    }
}

TEST_F(SelectiveReceive, MessageTextsAreShiftJisBytesWithLineFeeds) {
    struct Text {
        const char* actual;
        const char* expected;
    } const texts[] = {
        {kKeepMailOnServerText,
         "\x83\x81\x81\x5B\x83\x8B\x82\xCC\x83\x74\x83\x42\x83\x8B\x83\x5E\x81\x5B\x8F\x88\x97\x9D\x82\xF0"
         "\x8D\x73\x82\xA4\x88\xD7\x82\xC9\x82\xCD\x0A\x83\x81\x81\x5B\x83\x8B\x82\xF0\x83\x54\x81\x5B\x83"
         "\x6F\x81\x5B\x82\xC9\x8E\x63\x82\xB7\x90\xDD\x92\xE8\x82\xC9\x82\xB5\x82\xC4\x82\xA9\x82\xE7\x0A"
         "\x51\x75\x65\x6E\x6C\x61\x82\xF0\x8D\xC4\x8B\x4E\x93\xAE\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3"
         "\x82\xA2"},
        {kNoDialUpEntryText,
         "\x83\x5F\x83\x43\x83\x41\x83\x8B\x83\x41\x83\x62\x83\x76\x82\xCC\x83\x47\x83\x93\x83\x67\x83\x8A"
         "\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x0A\x83\x49\x83\x76\x83\x56\x83"
         "\x87\x83\x93\x82\xCC\x83\x5F\x83\x43\x83\x41\x83\x8B\x83\x41\x83\x62\x83\x76\x90\xDA\x91\xB1\x90"
         "\xE6\x82\xF0\x83\x60\x83\x46\x83\x62\x83\x4E\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
         "\x42"},
        {kDialUpFailedText,
         "\x83\x5F\x83\x43\x83\x41\x83\x8B\x83\x41\x83\x62\x83\x76\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC"
         "\x82\xB5\x82\xBD"},
    };
    int index = 0;
    for (const Text& t : texts) {
        EXPECT_EQ(std::string(t.expected), std::string(t.actual)) << "text " << index++;
    }
}

// ---- dial-up ---------------------------------------------------------------------

TEST_F(SelectiveReceive, LoginRefusedAfterADialHangsUpAtOnce) {
    Ras()->dialHandle = 0x5150;
    Server server;
    MessageBoxCloser closer("Kirvan");
    RunScript(server,
              {
                  Server::Reply("+OK ready\r\n"),
                  Server::Expect("user alice\r\n"), Server::Reply("+OK\r\n"),
                  Server::Expect("pass s3cret\r\n"), Server::Reply("-ERR wrong password\r\n"),
                  Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"), Server::AwaitClose(),
              },
              KirvanIni(), DialUpAccount());
    EXPECT_TRUE(closer.Stop().empty());
    EXPECT_EQ("user alice\r\npass s3cret\r\nquit\r\n", server.Received());
    EXPECT_EQ(0, TakeReceiveCommands());
    EXPECT_EQ(nullptr, gDialUpConnection);
    ASSERT_EQ(3, Ras()->callCount);
    EXPECT_EQ(kRasCallGetEntryDialParams, Ras()->calls[0].kind);
    EXPECT_EQ(kRasCallDial, Ras()->calls[1].kind);
    EXPECT_STREQ("Office line", Ras()->calls[1].params.szEntryName);
    EXPECT_EQ(kRasCallHangUp, Ras()->calls[2].kind);
    EXPECT_EQ(0x5150u, Ras()->calls[2].handleIn);
}

TEST_F(SelectiveReceive, SuccessfulSessionKeepsTheLineForTheHostsRetrieval) {
    Ras()->dialHandle = 0x7001;
    Server server;
    KirvanIni kirvan;
    kirvan.filterType = 1;
    RunScript(server, Join({Login(), Listing(kThree), Quit()}), kirvan, DialUpAccount());
    EXPECT_EQ(1, TakeReceiveCommands());
    EXPECT_EQ(reinterpret_cast<HRASCONN>(static_cast<uintptr_t>(0x7001)), gDialUpConnection);
    EXPECT_EQ(2, Ras()->callCount) << "no hang-up yet";
    // The end of the host's retrieval hangs up.
    frame::EndRetrieval(window_);
    EXPECT_EQ(nullptr, gDialUpConnection);
    ASSERT_EQ(3, Ras()->callCount);
    EXPECT_EQ(kRasCallHangUp, Ras()->calls[2].kind);
    EXPECT_EQ(0x7001u, Ras()->calls[2].handleIn);
}

TEST_F(SelectiveReceive, LineLeftUpByAnEarlierCommandIsHungUpBeforeDialling) {
    gDialUpConnection = reinterpret_cast<HRASCONN>(static_cast<uintptr_t>(0x6006));
    Ras()->dialResult = 691;
    ASSERT_EQ(1u, RunClosingBoxes(KirvanIni(), DialUpAccount()).size());
    ASSERT_LE(2, Ras()->callCount);
    EXPECT_EQ(kRasCallHangUp, Ras()->calls[0].kind);
    EXPECT_EQ(0x6006u, Ras()->calls[0].handleIn);
    EXPECT_EQ(kRasCallGetEntryDialParams, Ras()->calls[1].kind);
}

// ---- session failures ------------------------------------------------------------

TEST_F(SelectiveReceive, UnreachableServerShowsNothingAndStartsNoRetrieval) {
    AccountIni account = DialUpAccount();
    account.port = UnusedLoopbackPort();
    Ras()->dialHandle = 0x42;
    EXPECT_TRUE(RunClosingBoxes(KirvanIni(), account).empty());
    EXPECT_EQ(0, TakeReceiveCommands());
    EXPECT_EQ(nullptr, gDialUpConnection) << "hung up";
    EXPECT_EQ("<absent>", ReadUidl());
}

TEST_F(SelectiveReceive, UnknownServerNameShowsNothing) {
    AccountIni account;
    account.server = "no-such-host.invalid";
    account.port = 110;
    EXPECT_TRUE(RunClosingBoxes(KirvanIni(), account).empty());
    EXPECT_EQ(0, TakeReceiveCommands());
}

TEST_F(SelectiveReceive, RefusedUserSendsNoPasswordButQuits) {
    Server server;
    gUidlList.Add("LEFT-OVER");
    RunScript(server, {
        Server::Reply("+OK ready\r\n"),
        Server::Expect("user alice\r\n"), Server::Reply("-ERR who?\r\n"),
        Server::Expect("quit\r\n"), Server::Reply("+OK\r\n"), Server::AwaitClose(),
    });
    EXPECT_EQ("user alice\r\nquit\r\n", server.Received());
    EXPECT_EQ(0, TakeReceiveCommands());
    EXPECT_EQ("<absent>", ReadUidl());
}

TEST_F(SelectiveReceive, PasswordAndUserComeFromTheAccountsFiles) {
    Server server;
    KirvanIni kirvan;
    kirvan.filterType = 1;
    kirvan.pass = "p a s s";
    AccountIni account;
    account.user = "bob@example.jp";
    RunScript(server, Join({Login("bob@example.jp", "p a s s"), Listing({}), Quit()}), kirvan, account);
    EXPECT_EQ(1, TakeReceiveCommands());
}

// ---- what the host's retrieval sees afterwards ------------------------------------

TEST_F(SelectiveReceive, RecFilterAsksForDeletionUntilTheRetrievalEnds) {
    struct Case {
        int deleteOnServer;
        int filterSize;  // 5000: one set aside; 9999: none
        int expected;
    } const cases[] = {{1, 5000, 1}, {0, 5000, 0}, {1, 9999, 0}};
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++);
        Server server;
        KirvanIni kirvan = SizeFilter(c.filterSize);
        kirvan.deleteOnServer = c.deleteOnServer;
        RunScript(server, Join({Login(), Listing(kThree),
                                c.filterSize == 5000 ? UidlListing(kThree) : std::vector<Server::Step>{},
                                c.filterSize == 5000 ? Tops(kThree, {3}) : std::vector<Server::Step>{}, Quit()}),
                  kirvan);
        EXPECT_EQ(1, TakeReceiveCommands());
        EXPECT_EQ(c.expected, frame::RecFilter("C:\\mail\\00000001.qnl"));
        EXPECT_EQ(c.expected, frame::RecFilter("C:\\mail\\00000002.qnl")) << "the answer holds for every mail";
        frame::EndRetrieval(window_);
        EXPECT_EQ(0, frame::RecFilter("C:\\mail\\00000003.qnl")) << "after the end of the retrieval";
        EXPECT_EQ(0, gUidlList.GetCount());
        EXPECT_EQ(0, gDeleteOnServer);
        DeleteFileA(UidlPath().c_str());
        DeleteFileA((AccountDir() + kSetAsideRecordName).c_str());
    }
}

// The host's account call that fails with std::bad_alloc at its failingCall-th
// use in the command; the earlier ones answer as the fake host does.
std::size_t gFailingAccountCall = 0;
VhxGetAccountFn gRealGetAccount = nullptr;
LPCSTR WINAPI GetAccountThatRunsOutOfMemory(HWND window) {
    LPCSTR account = gRealGetAccount(window);
    if (FakeHost::WindowsOf("GetAccount").size() == gFailingAccountCall) {
        throw std::bad_alloc();
    }
    return account;
}

TEST_F(SelectiveReceive, CommandThatRunsOutOfMemoryLeavesTheRetrievalAlone) {
    // The first call reads the settings; the last names our record of set-aside
    // messages, once the delete-on-server flag is on: a failure there must not
    // leave that state for the host's next retrieval, nor start one. Every call
    // comes before the session, so nothing connects: the server need not listen.
    const std::size_t failingCalls[] = {1, 5};
    for (std::size_t failing : failingCalls) {
        SCOPED_TRACE(testing::Message() << "failing account call " << failing);
        Server server;
        KirvanIni kirvan = SizeFilter(5000);
        kirvan.deleteOnServer = 1;
        FakeHost::calls.clear();
        gFailingAccountCall = failing;
        gRealGetAccount = gHostApi.VhxGetAccount;
        gHostApi.VhxGetAccount = GetAccountThatRunsOutOfMemory;
        Run(server, kirvan);
        gHostApi.VhxGetAccount = gRealGetAccount;
        EXPECT_EQ(failing, FakeHost::WindowsOf("GetAccount").size()) << "the command went on after the failure";
        EXPECT_EQ(0, TakeReceiveCommands());
        EXPECT_EQ(0, gUidlList.GetCount());
        EXPECT_EQ(0, gDeleteOnServer);
        EXPECT_EQ(INVALID_SOCKET, gSessionSocket);
        EXPECT_EQ(0, frame::RecFilter("C:\\mail\\00000001.qnl")) << "the host would delete a mail on the server";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(UidlPath().c_str())) << "the uidl file was written";
    }

    // The command is not left marked as running: the next one does its work.
    Server server;
    KirvanIni kirvan = SizeFilter(5000);
    kirvan.deleteOnServer = 1;
    RunScript(server, Join({Login(), Listing(kThree), UidlListing(kThree), Tops(kThree, {3}), Quit()}), kirvan);
    EXPECT_EQ(1, TakeReceiveCommands());
    EXPECT_EQ(1, frame::RecFilter("C:\\mail\\00000001.qnl"));
    frame::EndRetrieval(window_);
    DeleteFileA(UidlPath().c_str());
}

}  // namespace
