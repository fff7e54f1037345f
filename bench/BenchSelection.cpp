// How long the message selection dialog takes to open for 2,000 messages from a
// loopback server, and how much of that is not waiting for the server.
//
// Three figures per round:
//   open   - from the start of the scan (capa, the UIDL listing and every TOP,
//            pipelined, then quit) until the dialog is visible;
//   fill   - from that start until WM_INITDIALOG has returned (scan done, list
//            built);
//   wire   - the 2,000 TOP exchanges alone, one at a time, on a fresh session to
//            the same server, without dialog or decoding;
//   cpu    - processor time of the dialog's thread during the fill (our work
//            plus Wine's side of the socket calls);
//   list   - from the end of the scan until the dialog is visible: what filling
//            and showing the list adds (decoding every header, the items).
// Not waiting is estimated twice: fill - wire, and cpu, each as a share of open.
// The machine is shared, so single rounds vary; the median round is reported.

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "RealWorldHeaders.h"
#include "HostApi.h"
#include "LoopbackPop3Peer.h"
#include "MailboxScan.h"
#include "Pop3Session.h"
#include "ReceiveUi.h"
#include "SelectionDialog.h"
#include "UidlList.h"

namespace {

constexpr int kMessages = 2000;
constexpr int kRounds = 5;

// Real-world headers: folded UTF-8 and ISO-2022-JP subjects, encoded senders.
std::string TopReplyFor(int n) {
    return "+OK\r\n" + bench::RealWorldHeader(n) + "\r\n.\r\n";
}

// The mailbox the benchmark reads: TOP n 0 brings the header block as above.
Pop3Mailbox* NewMailbox() {
    std::vector<Pop3MailboxMessage> messages;
    for (int n = 1; n <= kMessages; ++n) {
        std::string top = TopReplyFor(n);
        std::string header = top.substr(5, top.size() - 5 - 3);  // without "+OK\r\n" and ".\r\n"
        messages.push_back(Pop3MailboxMessage{"UID-" + std::to_string(n), header + "body\r\n"});
    }
    Pop3Mailbox* mailbox = new Pop3Mailbox(std::move(messages), "alice", "secret");
    mailbox->capabilities = "UIDL\r\nPIPELINING\r\n";
    return mailbox;
}

bool OpenSession(u_short port) {
    if (!PopConnect("127.0.0.1", port)) {
        return false;
    }
    PopReadResponse(false);
    if (!PopLogin("alice", "secret")) {
        return false;
    }
    return PopList() == kMessages;
}

void CloseSession() {
    PopQuit();
    PopReleaseBuffers();
}

double gInitDone = 0;
double gInitCpu = 0;

LRESULT CALLBACK NoteInitDialogReturn(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<const CWPRETSTRUCT*>(lParam)->message == WM_INITDIALOG) {
        gInitDone = bench::WallSeconds();
        gInitCpu = bench::ThreadCpuSeconds();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Round {
    double list;
    double open;
    double fill;
    double wire;
    double cpu;
    int items;
};

bool RunRound(u_short port, bool listAlone, Round* round) {
    HWND owner = CreateWindowExA(0, "STATIC", "bench owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (!OpenSession(port)) {
        return false;
    }
    std::atomic<double> visible{0};
    std::atomic<int> items{0};
    std::thread watcher([&] {
        for (int i = 0; i < 600000; ++i) {
            HWND dialog = FindShownWindow(WindowCaptioned(kSelectionDialogCaption));
            if (dialog) {
                visible = bench::WallSeconds();
                HWND list = GetDlgItem(dialog, 1001);
                items = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            Sleep(1);
        }
    });
    // The hook costs every message the list is sent: left out of the rounds
    // that time the list alone.
    HHOOK hook = listAlone ? nullptr
                           : SetWindowsHookExA(WH_CALLWNDPROCRET, NoteInitDialogReturn, nullptr, GetCurrentThreadId());
    double startCpu = bench::ThreadCpuSeconds();
    double start = bench::WallSeconds();
    bool scanned = ScanMailbox(true, nullptr, PopCapa()) == ScanOutcome::kComplete;
    PopQuit();
    double scannedAt = bench::WallSeconds();
    ShowSelectionDialog(owner);
    ScanRelease();
    UnhookWindowsHookEx(hook);
    watcher.join();
    PopReleaseBuffers();
    DestroyWindow(owner);
    if (!scanned) {
        return false;
    }

    if (!OpenSession(port)) {
        return false;
    }
    double wireStart = bench::WallSeconds();
    for (int n = 1; n <= kMessages; ++n) {
        PopSendTop(n);
        PopReadResponse(true);
    }
    double wireEnd = bench::WallSeconds();
    CloseSession();

    round->list = visible - scannedAt;
    round->open = visible - start;
    round->fill = gInitDone - start;
    round->wire = wireEnd - wireStart;
    round->cpu = gInitCpu - startCpu;
    round->items = items;
    return true;
}

}  // namespace

int main() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        std::printf("no Winsock\n");
        return 1;
    }
    gPluginModule = LoadLibraryExA("Pikuno.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!gPluginModule) {
        std::printf("Pikuno.dll must lie beside the program\n");
        return 1;
    }
    std::unique_ptr<Pop3Mailbox> mailbox(NewMailbox());
    Pop3Mailbox& server = *mailbox;
    if (!server.Start()) {
        std::printf("no loopback server\n");
        return 1;
    }
    std::printf("selection dialog, %d messages from a loopback server (%d rounds, then %d without the hook)\n",
                kMessages, kRounds, kRounds);
    std::vector<Round> rounds;
    std::vector<Round> listRounds;
    for (int r = 0; r < 2 * kRounds; ++r) {
        const bool listAlone = r >= kRounds;
        Round round = {};
        if (!RunRound(server.Port(), listAlone, &round)) {
            std::printf("round %d: session failed\n", r + 1);
            server.Stop();
            return 1;
        }
        if (listAlone) {
            std::printf("round %d: list %.3f s after the scan, %d items\n", r + 1, round.list, round.items);
            listRounds.push_back(round);
        } else {
            std::printf("round %d: open %.3f s, fill %.3f s, wire %.3f s, cpu %.3f s, %d items\n", r + 1,
                        round.open, round.fill, round.wire, round.cpu, round.items);
            rounds.push_back(round);
        }
    }
    server.Stop();
    std::sort(rounds.begin(), rounds.end(), [](const Round& a, const Round& b) { return a.open < b.open; });
    const Round& median = rounds[rounds.size() / 2];
    double own = median.fill - median.wire;
    std::printf("median: open %.3f s (%.3f ms per message); the same TOP exchanges alone %.3f s\n", median.open,
                median.open * 1000.0 / kMessages, median.wire);
    std::printf("not waiting for the server: fill - wire %.3f s = %.0f%% of the open time; "
                "thread cpu %.3f s = %.0f%%; showing the window %.3f s\n",
                own, 100.0 * own / median.open, median.cpu, 100.0 * median.cpu / median.open,
                median.open - median.fill);
    std::sort(listRounds.begin(), listRounds.end(), [](const Round& a, const Round& b) { return a.list < b.list; });
    const Round& listMedian = listRounds[listRounds.size() / 2];
    std::printf("filling and showing the list after the scan (decoding every header, the items): median %.3f s, "
                "best %.3f s, %.3f ms per message\n",
                listMedian.list, listRounds.front().list, listMedian.list * 1000.0 / kMessages);
    return 0;
}
