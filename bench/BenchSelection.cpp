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
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "HostApi.h"
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

// A POP3 server thread that answers every command at once from prepared replies.
class FastServer {
public:
    bool Start() {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return false;
        }
        port_ = ntohs(address.sin_port);
        list_ = "+OK " + std::to_string(kMessages) + " messages\r\n";
        for (int n = 1; n <= kMessages; ++n) {
            tops_.push_back(TopReplyFor(n));
            list_ += std::to_string(n) + " " + std::to_string(1000 + n * 7) + "\r\n";
        }
        list_ += ".\r\n";
        uidls_ = "+OK\r\n";
        for (int n = 1; n <= kMessages; ++n) {
            uidls_ += std::to_string(n) + " UID-" + std::to_string(n) + "\r\n";
        }
        uidls_ += ".\r\n";
        thread_ = std::thread([this] { Run(); });
        return true;
    }
    void Stop() {
        stop_ = true;
        closesocket(listener_);
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    u_short Port() const { return port_; }

private:
    void Run() {
        while (!stop_) {
            SOCKET peer = accept(listener_, nullptr, nullptr);
            if (peer == INVALID_SOCKET) {
                return;
            }
            BOOL noDelay = TRUE;
            setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
            Serve(peer);
            closesocket(peer);
        }
    }
    void Send(SOCKET peer, const std::string& bytes) { send(peer, bytes.data(), static_cast<int>(bytes.size()), 0); }
    void Serve(SOCKET peer) {
        Send(peer, "+OK ready\r\n");
        std::string pending;
        char buffer[4096];
        for (;;) {
            int got = recv(peer, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return;
            }
            pending.append(buffer, static_cast<std::size_t>(got));
            std::size_t end;
            while ((end = pending.find("\r\n")) != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                if (line.compare(0, 4, "top ") == 0) {
                    int n = std::atoi(line.c_str() + 4);
                    Send(peer, n >= 1 && n <= kMessages ? tops_[n - 1] : "-ERR no such message\r\n");
                } else if (line.compare(0, 5, "uidl ") == 0) {
                    int n = std::atoi(line.c_str() + 5);
                    Send(peer, "+OK " + std::to_string(n) + " UID-" + std::to_string(n) + "\r\n");
                } else if (line == "list") {
                    Send(peer, list_);
                } else if (line == "capa") {
                    Send(peer, "+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n");
                } else if (line == "uidl") {
                    Send(peer, uidls_);
                } else if (line == "quit") {
                    Send(peer, "+OK bye\r\n");
                    return;
                } else {
                    Send(peer, "+OK\r\n");
                }
            }
        }
    }

    SOCKET listener_ = INVALID_SOCKET;
    u_short port_ = 0;
    std::string list_;
    std::string uidls_;
    std::vector<std::string> tops_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

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
    FastServer server;
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
