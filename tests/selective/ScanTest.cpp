// The scan that precedes the choice, through the whole command: pipelining only
// when the server offers it, the UIDL listing and its fallback, the session
// dropped after the scan or during it, and the progress window with its cancel,
// which also ends a name lookup or a connect that gets no answer.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "AnsiText.h"
#include "DialUp.h"
#include "DroppingListener.h"
#include "Pop3Session.h"
#include "ReceiveFixture.h"
#include "ReceiveUi.h"
#include "ScanProgress.h"
#include "SelectiveReceive.h"
#include "UidlList.h"
#include "resource.h"

namespace {

using Server = LoopbackPop3Peer;
using Press = SelectionDialogDriver::Press;

const std::vector<ScriptedMessage> kFour = FirstMessages(4);

struct ProgressRun;

class Scan : public ReceiveFixture {
protected:
    // One dial-up command cancelled from its progress window (below).
    ProgressRun CancelAtTheProgressWindow();
};

// ---- pipelining ---------------------------------------------------------------

TEST_F(Scan, CommandsGoOutAheadOnlyWhenPipeliningIsOffered) {
    struct Case {
        const char* capaReply;
        bool pipelined;
    } const cases[] = {
        {"-ERR unknown command\r\n", false},
        {"+OK\r\nTOP\r\nUIDL\r\nUSER\r\n.\r\n", false},
        {"+OK\r\nTOP\r\nPIPELININGX\r\n.\r\n", false},
        {"+OK Capability list follows\r\nTOP\r\nUIDL\r\nPIPELINING\r\n.\r\n", true},
        {"+OK\r\npipelining\r\n.\r\n", true},
        {"+OK\nUIDL\nPIPELINING\n.\n", true},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.capaReply);
        DeleteFileA(UidlPath().c_str());
        gUidlList.RemoveAll();
        Server server;
        SelectionDialogDriver driver({1, 2}, Press::kOk);
        RunScript(server, WholeScan(kFour, c.capaReply));
        // The same bytes in the same order either way, each command whole.
        EXPECT_EQ(kWireLogin + std::string("uidl\r\n") + TopsWire(4) + "quit\r\n", server.Received());
        if (c.pipelined) {
            // The headers go out together once the UIDL listing has told which
            // messages are new: the later ones arrive while the first is owed.
            ASSERT_FALSE(server.EarlyCommands().empty());
            EXPECT_EQ("top 2 0\r\n", server.EarlyCommands()[0]);
        } else {
            EXPECT_TRUE(server.EarlyCommands().empty()) << server.EarlyCommands()[0];
        }
        EXPECT_TRUE(driver.Seen().found) << driver.Seen().report;
        EXPECT_EQ("UID-A\nUID-D\n", ReadUidl());
        EXPECT_EQ(1, TakeReceiveCommands());
    }
}

// ---- the UIDL listing and its fallback ----------------------------------------------

TEST_F(Scan, UidlOfEachMessageTheListingLacks) {
    struct Case {
        const char* name;
        std::string listingReply;
        int limit;
        std::vector<int> asked;  // "uidl n" sent for these
        std::vector<int> setAside;  // and their headers read, for the record
        const char* uidlFile;
    } const cases[] = {
        {"listing refused", "-ERR not supported\r\n", 0, {1, 2, 3, 4}, {1, 2, 3, 4}, "UID-A\nUID-B\nUID-C\nUID-D\n"},
        {"listing refused, two above the limit", "-ERR\r\n", 5000, {3, 4}, {3, 4}, "UID-C\nUID-D\n"},
        {"message 2 missing", "+OK\r\n1 UID-A\r\n3 UID-C\r\n4 UID-D\r\n.\r\n", 0, {2}, {1, 2, 3, 4},
         "UID-A\nUID-B\nUID-C\nUID-D\n"},
        {"out of order, junk lines", "+OK\r\n4 UID-D\r\n9 UID-X\r\nnonsense\r\n1 UID-A\r\n3 UID-C\r\n2\r\n.\r\n", 0,
         {2}, {1, 2, 3, 4}, "UID-A\nUID-B\nUID-C\nUID-D\n"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.name);
        DeleteFileA(UidlPath().c_str());
        gUidlList.RemoveAll();
        Server server;
        MessageBoxCloser boxes("Kirvan");
        RunScript(server,
                  Join({Login(), Listing(kFour), {Server::Expect("uidl\r\n"), Server::Reply(c.listingReply)},
                        Uidls(kFour, c.asked), Tops(kFour, c.setAside), Quit()}),
                  SizeFilter(c.limit));
        EXPECT_EQ(kWireLogin + std::string("uidl\r\n") + UidlsWire(c.asked) + TopsWire(c.setAside) + "quit\r\n",
                  server.Received());
        EXPECT_EQ(c.uidlFile, ReadUidl());
        EXPECT_EQ(1, TakeReceiveCommands());
        EXPECT_TRUE(boxes.Stop().empty());
    }
}

// ---- the session after the scan -----------------------------------------------------

TEST_F(Scan, ChoiceHoldsWhenTheServerDropsTheSessionAfterTheScan) {
    // The server hangs up right after the last header, as an idle time-out or a
    // router would while the user reads the list: the choice is already whole.
    Ras()->dialHandle = 0x5151;
    Server server;
    SelectionDialogDriver driver({1}, Press::kOk);
    KirvanIni kirvan;
    kirvan.deleteOnServer = 1;
    MessageBoxCloser boxes("Kirvan");
    RunScript(server, Join({Login(), Listing(kFour), UidlListing(kFour), Tops(kFour), {Server::Close()}}), kirvan,
              DialUpAccount());
    ASSERT_TRUE(driver.Seen().found) << driver.Seen().report;
    EXPECT_EQ(4u, driver.Seen().items.size());
    EXPECT_EQ("UID-A\nUID-C\nUID-D\n", ReadUidl());
    EXPECT_EQ(3, gUidlList.GetCount());
    EXPECT_EQ(1, TakeReceiveCommands()) << "the host's retrieval starts";
    EXPECT_TRUE(boxes.Stop().empty());
    EXPECT_NE(nullptr, gDialUpConnection) << "the line stays up for the retrieval";
}

// ---- the scan cut short -----------------------------------------------------------

// Every scan that leaves the choice without a sound list, or without a UIDL for a
// message it may set aside: the box, nothing set aside, no retrieval, no line.
TEST_F(Scan, BrokenScanShowsTheBoxAndEndsTheCommand) {
    struct Case {
        const char* name;
        std::vector<Server::Step> after;  // after the greeting, user and pass
        bool dialog;
    };
    const std::string listReply = "+OK 4 messages\r\n1 4000\r\n2 5000\r\n3 6000\r\n4 7000\r\n.\r\n";
    const std::string kFourListing = "+OK\r\n1 UID-A\r\n2 UID-B\r\n3 UID-C\r\n4 UID-D\r\n.\r\n";
    const std::vector<Server::Step> capa = {Server::Expect("capa\r\n"), Server::Reply("-ERR\r\n")};
    const std::vector<Server::Step> listed = Join({capa, {Server::Expect("list\r\n"), Server::Reply(listReply)}});
    // The listing lacks message 1 alone, which is then asked for; reply is the
    // answer. The peer waits for the client to hang up: closing first could reset
    // the connection and break the scan for a reason of its own.
    auto alone = [&](const std::string& reply) {
        return Join({listed, {Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n2 B\r\n3 C\r\n4 D\r\n.\r\n"),
                              Server::Expect("uidl 1\r\n"), Server::Reply(reply), Server::AwaitClose()}});
    };
    const std::vector<Case> cases = {
        {"closed at capa", {Server::Expect("capa\r\n"), Server::Close()}, true},
        {"closed during LIST",
         {Server::Expect("capa\r\n"), Server::Reply("-ERR\r\n"), Server::Expect("list\r\n"),
          Server::Reply("+OK 4 messages\r\n1 4000\r\n2 5"), Server::Close()},
         true},
        {"closed during the UIDL listing",
         {Server::Expect("capa\r\n"), Server::Reply("-ERR\r\n"), Server::Expect("list\r\n"), Server::Reply(listReply),
          Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n1 UID-A\r\n2 UID-B\r\n"), Server::Close()},
         true},
        {"closed after the second header",
         {Server::Expect("capa\r\n"), Server::Reply("-ERR\r\n"), Server::Expect("list\r\n"), Server::Reply(listReply),
          Server::Expect("uidl\r\n"), Server::Reply(kFourListing), Server::Expect("top 1 0\r\n"),
          Server::Reply(kFour[0].topReply), Server::Expect("top 2 0\r\n"), Server::Reply(kFour[1].topReply),
          Server::Close()},
         true},
        {"closed inside a header, pipelined",
         {Server::Expect("capa\r\n"), Server::Reply("+OK\r\nPIPELINING\r\n.\r\n"), Server::Expect("list\r\n"),
          Server::Reply(listReply), Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n1 A\r\n2 B\r\n3 C\r\n4 D\r\n.\r\n"),
          Server::Expect("top 1 0\r\n"), Server::Reply("+OK\r\nSubject: fi"), Server::Close()},
         true},
        {"silent past the time-out",
         {Server::Expect("capa\r\n"), Server::Reply("-ERR\r\n"), Server::Expect("list\r\n"), Server::Reply(listReply),
          Server::Expect("uidl\r\n"), Server::Reply(kFourListing), Server::Expect("top 1 0\r\n"),
          Server::AwaitClose()},  // silent until the client gives up
         true},
        {"size filter: closed during the UIDL of one message",
         {Server::Expect("capa\r\n"), Server::Reply("-ERR\r\n"), Server::Expect("list\r\n"), Server::Reply(listReply),
          Server::Expect("uidl\r\n"), Server::Reply("-ERR\r\n"), Server::Expect("uidl 1\r\n"),
          Server::Reply("+OK 1 UID-"), Server::Close()},
         false},
        // Nothing to choose from: an empty list would have every mail fetched.
        {"LIST refused",
         Join({capa, {Server::Expect("list\r\n"), Server::Reply("-ERR not now\r\n"), Server::AwaitClose()}}), true},
        {"size filter: LIST refused",
         Join({capa, {Server::Expect("list\r\n"), Server::Reply("-ERR\r\n"), Server::AwaitClose()}}), false},
        // Messages that could be chosen but not set aside.
        {"size filter: uidl n refused", alone("-ERR no such message\r\n"), false},
        {"size filter: uidl n without a UIDL", alone("+OK 1\r\n"), false},
        {"size filter: a CR inside the UIDL", alone("+OK 1 UID\rA\r\n"), false},
        {"size filter: 0x1A inside the UIDL", alone("+OK 1 UID\x1A" "A\r\n"), false},
        {"size filter: a blank inside the UIDL", alone("+OK 1 UID A\r\n"), false},
        {"size filter: the listing's UIDL unusable, and alone too",
         Join({listed, {Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n1 UID\rA\r\n2 B\r\n3 C\r\n4 D\r\n.\r\n"),
                        Server::Expect("uidl 1\r\n"), Server::Reply("+OK 1 UID\rA\r\n"), Server::AwaitClose()}}),
         false},
        // Replies matched to the wrong command.
        {"size filter: the answer for another message", alone("+OK 2 UID-B\r\n"), false},
        {"size filter: a surplus reply shifts the next",
         Join({listed, {Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n3 C\r\n4 D\r\n.\r\n"),
                        Server::Expect("uidl 1\r\n"), Server::Reply("+OK 1 UID-A\r\n+OK 1 UID-A\r\n"),
                        Server::Expect("uidl 2\r\n"), Server::AwaitClose()}}),
         false},
        {"a surplus reply after the last header",
         Join({listed, {Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n1 A\r\n2 B\r\n3 C\r\n4 D\r\n.\r\n")},
               Tops(FirstMessages(3)),
               {Server::Expect("top 4 0\r\n"), Server::Reply(kFour[3].topReply + "+OK\r\n.\r\n"),
                Server::AwaitClose()}}),
         true},
        {"a header past the reply bound",
         Join({listed, {Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n1 A\r\n2 B\r\n3 C\r\n4 D\r\n.\r\n"),
                        Server::Expect("top 1 0\r\n"),
                        Server::Reply("+OK\r\nSubject: " + std::string(kPopReplyLimit, 'x') + "\r\n.\r\n"),
                        Server::AwaitClose()}}),
         true},
        {"a surplus header in a pipelined window",
         {Server::Expect("capa\r\n"), Server::Reply("+OK\r\nPIPELINING\r\n.\r\n"), Server::Expect("list\r\n"),
          Server::Reply(listReply), Server::Expect("uidl\r\n"), Server::Reply("+OK\r\n1 A\r\n2 B\r\n3 C\r\n4 D\r\n.\r\n"),
          Server::Expect(TopsWire(4)),
          Server::Reply(kFour[0].topReply + kFour[0].topReply + kFour[1].topReply + kFour[2].topReply +
                        kFour[3].topReply),
          Server::AwaitClose()},
         true},
    };
    PopSetReceiveTimeout(1500);
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.name);
        DeleteFileA(UidlPath().c_str());
        gUidlList.RemoveAll();
        std::memset(Ras(), 0, sizeof *Ras());
        Ras()->dialHandle = 0x6161;
        std::vector<Server::Step> script = {
            Server::Reply("+OK ready\r\n"),
            Server::Expect("user alice\r\n"), Server::Reply("+OK\r\n"),
            Server::Expect("pass s3cret\r\n"), Server::Reply("+OK\r\n"),
        };
        script.insert(script.end(), c.after.begin(), c.after.end());
        Server server;
        SelectionDialogDriver driver({}, Press::kOk);  // must not appear
        MessageBoxCloser closer("Kirvan");
        KirvanIni kirvan = c.dialog ? KirvanIni() : SizeFilter(0);
        kirvan.deleteOnServer = 1;
        RunScript(server, script, kirvan, DialUpAccount());
        std::vector<MessageBoxSeen> boxes = closer.Stop();
        // Every row is looked at, so that one fault shows all the rows it breaks.
        EXPECT_EQ(1u, boxes.size());
        for (const MessageBoxSeen& box : boxes) {
            EXPECT_EQ(kScanFailedText, box.text);
            EXPECT_EQ(window_, box.owner);
            EXPECT_TRUE(box.OnlyOk());
        }
        EXPECT_FALSE(driver.Seen().found) << "no half-filled list";
        EXPECT_EQ("<absent>", ReadUidl());
        EXPECT_EQ(0, gUidlList.GetCount());
        EXPECT_EQ(0, gDeleteOnServer);
        EXPECT_EQ(0, TakeReceiveCommands()) << "no retrieval";
        EXPECT_EQ(nullptr, gDialUpConnection) << "hung up";
        EXPECT_EQ(3, Ras()->callCount);
        EXPECT_TRUE(Ras()->callCount >= 3 && Ras()->calls[2].kind == kRasCallHangUp);
        EXPECT_TRUE(IsWindowEnabled(window_));
    }
}

// ---- progress and cancel ------------------------------------------------------------

struct ProgressSeen {
    bool found = false;
    HWND owner = nullptr;
    bool ownerEnabled = true;
    std::string count;
    std::string label;
    std::string button;
    std::string caption;
    DWORD afterMs = 0;
};

// One dial-up command whose server answers the first two headers and then keeps
// the user waiting, cancelled from the progress window once it counts "2 / 4".
struct ProgressRun {
    ProgressSeen seen;
    std::string watcherReport;
    std::string serverFailure;
    std::string received;
    bool clientClosed = false;
    std::vector<MessageBoxSeen> boxes;
    bool selectionDialogFound = false;
    bool progressWindowLeft = true;  // a progress window still shown afterwards
};

ProgressRun Scan::CancelAtTheProgressWindow() {
    ProgressRun run;
    Ras()->dialHandle = 0x7171;
    Server server;
    if (!server.Start(Join({Login(), Listing(kFour), UidlListing(kFour),
                            {Server::Expect("top 1 0\r\n"), Server::Reply(kFour[0].topReply),
                             Server::Expect("top 2 0\r\n"), Server::Reply(kFour[1].topReply),
                             Server::Expect("top 3 0\r\n"), Server::AwaitClose()}}),
                      15000)) {
        ADD_FAILURE() << "no loopback peer";
        return run;
    }
    ProgressSeen& seen = run.seen;
    const DWORD start = GetTickCount();
    HWND owner = window_;
    // Found by its controls: its caption is one of the texts checked.
    WindowMatch progressWindow;
    progressWindow.item = IDC_SCAN_COUNT;
    WindowWatcher watcher(progressWindow, [&seen, start, owner](HWND progress) {
        seen.found = true;
        seen.afterMs = GetTickCount() - start;
        seen.owner = GetWindow(progress, GW_OWNER);
        seen.ownerEnabled = IsWindowEnabled(owner) != FALSE;
        char text[128] = {};
        // The count of the two headers the server answers, once it is shown.
        WaitForWindows([&] {
            ansi::DialogItemText(progress, IDC_SCAN_COUNT, text, sizeof text);
            return std::strcmp(text, "2 / 4") == 0;
        }, GetWindowThreadProcessId(progress, nullptr));
        seen.count = text;
        ansi::DialogItemText(progress, IDC_SCAN_TEXT, text, sizeof text);
        seen.label = text;
        ansi::DialogItemText(progress, IDCANCEL, text, sizeof text);
        seen.button = text;
        seen.caption = ansi::WindowText(progress);
        PostMessageA(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
    });
    SelectionDialogDriver driver({}, Press::kOk);  // must not appear
    MessageBoxCloser closer("Kirvan");
    Run(server, KirvanIni(), DialUpAccount());
    run.boxes = closer.Stop();
    watcher.Stop();
    server.Finish();
    run.watcherReport = watcher.Report();
    run.serverFailure = server.Failure();
    run.received = server.Received();
    run.clientClosed = server.ClientClosed();
    run.selectionDialogFound = driver.Seen().found;
    run.progressWindowLeft = FindShownWindow(progressWindow) != nullptr;
    return run;
}

TEST_F(Scan, ProgressWindowAppearsAndItsCancelEndsTheCommand) {
    ProgressRun run = CancelAtTheProgressWindow();
    const ProgressSeen& seen = run.seen;
    EXPECT_EQ("", run.serverFailure);
    ASSERT_TRUE(seen.found) << run.watcherReport;
    EXPECT_GE(seen.afterMs, 400u) << "not for a scan that ends at once";
    EXPECT_EQ(window_, seen.owner);
    EXPECT_FALSE(seen.ownerEnabled) << "no second command while the scan runs";
    EXPECT_EQ("2 / 4", seen.count);
    // Cancel: quit, nothing set aside, no retrieval, the line dropped.
    EXPECT_EQ(kWireLogin + std::string("uidl\r\n") + TopsWire(3) + "quit\r\n", run.received);
    EXPECT_TRUE(run.clientClosed);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(run.selectionDialogFound);
    EXPECT_EQ("<absent>", ReadUidl());
    EXPECT_EQ(0, gUidlList.GetCount());
    EXPECT_EQ(0, TakeReceiveCommands());
    EXPECT_EQ(nullptr, gDialUpConnection);
    ASSERT_EQ(3, Ras()->callCount);
    EXPECT_EQ(kRasCallHangUp, Ras()->calls[2].kind);
    EXPECT_EQ(0x7171u, Ras()->calls[2].handleIn) << "the line dialled is the one hung up";
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_FALSE(run.progressWindowLeft) << "the progress window is gone";
}

TEST_F(Scan, ProgressWindowShowsItsTexts) {
    ProgressRun run = CancelAtTheProgressWindow();
    const ProgressSeen& seen = run.seen;
    ASSERT_TRUE(seen.found) << run.watcherReport;
    EXPECT_EQ(kScanProgressCaption, seen.caption);
    EXPECT_EQ("\x83\x54\x81\x5B\x83\x6F\x81\x5B\x82\xCC\x83\x81\x81\x5B\x83\x8B\x88\xEA\x97\x97\x82\xF0\x93\xC7"
              "\x82\xDD\x8D\x9E\x82\xF1\x82\xC5\x82\xA2\x82\xDC\x82\xB7...",
              seen.label);  // "サーバーのメール一覧を読み込んでいます..."
    EXPECT_EQ("\xB7\xAC\xDD\xBE\xD9", seen.button);  // "ｷｬﾝｾﾙ"
}

// ---- before the session: the lookup and the connect ---------------------------

std::vector<HANDLE> gWithdrawnLookups;

HANDLE WSAAPI LookupNeverAnswered(HWND, u_int, const char*, char*, int) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x5150));
}

int WSAAPI RecordWithdrawnLookup(HANDLE request) {
    gWithdrawnLookups.push_back(request);
    return 0;
}

// Winsock's own lookup again when a case ends, however it ends.
struct LookupRestore {
    ~LookupRestore() { PopSetHostLookup(nullptr, nullptr); }
};

// A server that drops every packet, and a name the name service never answers:
// the progress window is up before either is given up, the host window keeps
// answering, and the window's cancel ends the command at once, with nothing set
// aside, no retrieval and the line hung up.
TEST_F(Scan, ProgressWindowCancelsTheLookupAndTheConnect) {
    DroppingListener dropping;
    ASSERT_TRUE(dropping.Ready()) << "no loopback port that drops connection requests";
    PopSetReceiveTimeout(60000);  // only the cancel may end the wait
    LookupRestore restore;
    struct Case {
        const char* server;
        bool slowName;
    } cases[] = {{"127.0.0.1", false}, {"pop.example.jp", true}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        gWithdrawnLookups.clear();
        PopSetHostLookup(c.slowName ? LookupNeverAnswered : nullptr, c.slowName ? RecordWithdrawnLookup : nullptr);
        std::memset(Ras(), 0, sizeof *Ras());
        Ras()->dialHandle = 0x7272;
        bool found = false;
        bool hostAnswered = false;
        DWORD clicked = 0;
        HWND owner = window_;
        WindowMatch progressWindow;
        progressWindow.item = IDC_SCAN_COUNT;
        WindowWatcher watcher(progressWindow, [&](HWND progress) {
            found = true;
            // The host window's thread is inside the command: it must still
            // handle what is sent to its window.
            DWORD_PTR result = 0;
            hostAnswered = SendMessageTimeoutA(owner, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result) != 0;
            clicked = GetTickCount();
            PostMessageA(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
        });
        MessageBoxCloser closer("Kirvan");
        AccountIni account = DialUpAccount();
        account.server = c.server;
        account.port = dropping.Port();
        WriteKirvan(KirvanIni());
        WriteAccount(account);
        const DWORD start = GetTickCount();
        RunSelectiveReceive(window_, 0);
        const DWORD ended = GetTickCount();
        std::vector<MessageBoxSeen> boxes = closer.Stop();
        watcher.Stop();
        ASSERT_TRUE(found) << "case " << i << ": " << watcher.Report();
        EXPECT_TRUE(hostAnswered) << "case " << i;
        std::printf("case %u: progress window clicked %lu ms after the start, command ended %lu ms later\n",
                    static_cast<unsigned>(i), static_cast<unsigned long>(clicked - start),
                    static_cast<unsigned long>(ended - clicked));
        EXPECT_LT(ended - clicked, 2000u) << "case " << i << ": the cancel ends the wait";
        EXPECT_LT(ended - start, 10000u) << "case " << i;
        EXPECT_TRUE(boxes.empty()) << "case " << i;
        EXPECT_EQ(INVALID_SOCKET, gSessionSocket) << "case " << i;
        EXPECT_EQ("<absent>", ReadUidl()) << "case " << i;
        EXPECT_EQ(0, TakeReceiveCommands()) << "case " << i;
        EXPECT_EQ(nullptr, gDialUpConnection) << "case " << i;
        ASSERT_EQ(3, Ras()->callCount) << "case " << i;
        EXPECT_EQ(kRasCallHangUp, Ras()->calls[2].kind) << "case " << i;
        EXPECT_TRUE(IsWindowEnabled(window_)) << "case " << i;
        EXPECT_EQ(nullptr, FindShownWindow(progressWindow)) << "case " << i << ": the progress window is gone";
        if (c.slowName) {
            ASSERT_EQ(1u, gWithdrawnLookups.size()) << "case " << i << ": the lookup is withdrawn";
            EXPECT_EQ(LookupNeverAnswered(nullptr, 0, nullptr, nullptr, 0), gWithdrawnLookups[0]) << "case " << i;
        }
    }
}

TEST_F(Scan, ProgressTextsAreShiftJis) {
    EXPECT_STREQ("\x91\x49\x91\xF0\x8E\xF3\x90\x4D", kScanProgressCaption);  // "選択受信"
    // "サーバーからメールの一覧を読み込めませんでした。\n受信を中止しました。"
    EXPECT_STREQ("\x83\x54\x81\x5B\x83\x6F\x81\x5B\x82\xA9\x82\xE7\x83\x81\x81\x5B\x83\x8B\x82\xCC\x88\xEA\x97\x97"
                 "\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42\n"
                 "\x8E\xF3\x90\x4D\x82\xF0\x92\x86\x8E\x7E\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42",
                 kScanFailedText);
}

}  // namespace
