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
//            plus Wine's side of the socket calls).
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

// ISO-2022-JP "テスト" as an encoded word, and plain ASCII, alternately.
std::string TopReplyFor(int n) {
    std::string subject = (n % 2) ? "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= " + std::to_string(n)
                                  : "Weekly report number " + std::to_string(n);
    return "+OK\r\nReturn-Path: <list@example.jp>\r\nReceived: from mx.example.jp by pop.example.jp\r\n"
           "From: list@example.jp\r\nTo: alice@example.jp\r\nDate: Tue, 8 Dec 2026 07:00:00 +0900\r\n"
           "Message-ID: <" + std::to_string(n) + "@example.jp>\r\nSubject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n.\r\n";
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
    double open;
    double fill;
    double wire;
    double cpu;
    int items;
};

bool RunRound(u_short port, Round* round) {
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
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, NoteInitDialogReturn, nullptr, GetCurrentThreadId());
    double startCpu = bench::ThreadCpuSeconds();
    double start = bench::WallSeconds();
    bool scanned = ScanMailbox(true, nullptr, PopCapa()) == ScanOutcome::kComplete;
    PopQuit();
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
    std::printf("selection dialog, %d messages from a loopback server (%d rounds)\n", kMessages, kRounds);
    std::vector<Round> rounds;
    for (int r = 0; r < kRounds; ++r) {
        Round round = {};
        if (!RunRound(server.Port(), &round)) {
            std::printf("round %d: session failed\n", r + 1);
            server.Stop();
            return 1;
        }
        std::printf("round %d: open %.3f s, fill %.3f s, wire %.3f s, cpu %.3f s, %d items\n", r + 1, round.open,
                    round.fill, round.wire, round.cpu, round.items);
        rounds.push_back(round);
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
    return 0;
}
