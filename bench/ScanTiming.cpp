// Times one selective receive against a real server, as a user sees it: the
// command from its start until the selection dialog is shown, the dialog from
// OK until it is no longer visible and until its window is gone, and the
// processor time of the host's window thread (the plug-in's own work plus
// Wine's side of its socket calls) per message. Nothing is ticked, so every
// message is set aside.
//
// Under Wine on Xvfb a dialog's window lingers about 2 s after it was hidden,
// with the thread idle (no window manager answers Wine's X11 driver): "OK to
// hidden" is what the plug-in costs, "to closed" adds that wait. The same wait
// follows a progress window, so the times at which another window of the
// process was shown and hidden again are printed too: the dialog shows about
// 2 s after the progress window was hidden.
//
// The watcher thread looks at the windows every millisecond, so it reads their
// captions with InternalGetWindowText, which sends nothing: GetWindowText on a
// window of another thread sends it WM_GETTEXT, and answering two of those each
// millisecond cost the window thread about 2 ms of processor time per message
// of a serial scan (38 wake-ups per reply), more than the scan itself.
//
// Figures only; tools/bench-receive.sh runs it against Dovecot on loopback and
// through tools/pop3relay.py:
//     timing_receive.exe --port N --label TEXT [--rounds R] [--user U --password P]
//                        [--server NAME] [--security S]
// (--security: the account's Security, 3 = plain text by default; --server: the
// name the account gives, which the certificate must be for over TLS.)

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "FakeHost.h"
#include "FileBytes.h"
#include "HostApi.h"
#include "Pop3Session.h"
#include "ReceiveUi.h"
#include "SelectiveReceive.h"
#include "SetAsideRecord.h"
#include "TempFolder.h"
#include "UidlList.h"
#include "WindowEvents.h"
#include "WinsockEnvironment.h"

namespace {

const UINT kHostReceiveCommand = 32786;
const int kListControl = 1001;

struct Options {
    int port = 0;
    std::string label = "run";
    int rounds = 1;
    std::string user = "alice";
    std::string password = "secret";
    std::string server = "127.0.0.1";
    std::string security = "3";
    // Copied into the account before each round: the host's uidl file and our
    // record, for the repeat scans of a mailbox received before.
    std::string uidlFile;
    std::string recordFile;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        std::string value = argv[i + 1];
        if (name == "--port") {
            options->port = std::atoi(value.c_str());
        } else if (name == "--label") {
            options->label = value;
        } else if (name == "--rounds") {
            options->rounds = std::max(1, std::atoi(value.c_str()));
        } else if (name == "--user") {
            options->user = value;
        } else if (name == "--password") {
            options->password = value;
        } else if (name == "--server") {
            options->server = value;
        } else if (name == "--security") {
            options->security = value;
        } else if (name == "--uidl-file") {
            options->uidlFile = value;
        } else if (name == "--record-file") {
            options->recordFile = value;
        } else {
            return false;
        }
    }
    return options->port > 0;
}

bool WriteIni(const std::string& path, const char* section, const char* key, const std::string& value) {
    return WritePrivateProfileStringA(section, key, value.c_str(), path.c_str()) != 0;
}

bool WriteSettings(const std::string& dir, const Options& options) {
    std::string kirvan = dir + "Kirvan.ini";
    std::string account = dir + "Account.ini";
    return WriteIni(kirvan, "Property", "DoFilter", "1") && WriteIni(kirvan, "Property", "FilterType", "0") &&
           WriteIni(kirvan, "Server", "pass", options.password) &&
           WriteIni(kirvan, "Server", "Security", options.security) &&
           WriteIni(account, "Property", "NotDelete", "1") &&
           WriteIni(account, "Property", "POP3Server", options.server) &&
           WriteIni(account, "Property", "POP3Port", std::to_string(options.port)) &&
           WriteIni(account, "Property", "Account", options.user);
}

int CountLines(const std::string& path) {
    const std::string text = ReadFileBytes(path);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

struct Round {
    bool shown = false;
    int listed = 0;
    double untilShown = 0;   // command start -> dialog visible
    double progressShown = 0;   // command start -> another window (the progress) visible; 0: none
    double progressHidden = 0;  // command start -> that window hidden again
    double okToHidden = 0;   // OK pressed -> dialog no longer visible
    double okToClosed = 0;   // OK pressed -> dialog window gone
    double command = 0;      // whole command
    double cpuScan = 0;      // window thread, command start -> dialog visible
    double cpuAfterOk = 0;   // window thread, OK -> dialog gone
    double cpuCommand = 0;   // window thread, whole command
    int uidlLines = 0;
    int receiveCommands = 0;
    std::vector<std::string> boxes;
};

// The caption of a window as the system stores it, in the ANSI code page,
// without a message to the window's thread.
std::string StoredCaption(HWND window) {
    wchar_t wide[256] = {};
    int length = InternalGetWindowText(window, wide, static_cast<int>(sizeof wide / sizeof wide[0]));
    char caption[512] = {};
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, caption, sizeof caption - 1, nullptr, nullptr);
    return std::string(caption, bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
}

HWND ShownWindowCaptioned(const std::string& caption) {
    for (HWND window : ShownTopLevelWindows()) {
        if (StoredCaption(window) == caption) {
            return window;
        }
    }
    return nullptr;
}

// A shown top-level window of this process other than owner and the message
// boxes: the scan's progress window, when one is up.
HWND OtherShownWindow(HWND owner) {
    for (HWND window : ShownTopLevelWindows()) {
        if (window != owner && StoredCaption(window) != "Kirvan") {
            return window;
        }
    }
    return nullptr;
}

// Watches for the selection dialog from a second thread: notes when it is
// visible, lets it stand a moment (as a reader would), presses OK and notes when
// it is gone. Message boxes "Kirvan" are noted and closed.
void Watch(HWND owner, HANDLE windowThread, double start, double cpuStart, Round* round, std::atomic<bool>* stop) {
    HWND dialog = nullptr;
    HWND progress = nullptr;
    while (!*stop && !dialog) {
        dialog = ShownWindowCaptioned(kSelectionDialogCaption);
        if (!dialog) {
            if (!progress) {
                if (HWND other = OtherShownWindow(owner)) {
                    progress = other;
                    round->progressShown = bench::WallSeconds() - start;
                }
            } else if (round->progressHidden == 0 && (!IsWindow(progress) || !IsWindowVisible(progress))) {
                round->progressHidden = bench::WallSeconds() - start;
            }
            HWND box = ShownWindowCaptioned("Kirvan");
            if (box) {
                char text[512] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                round->boxes.push_back(text);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                Sleep(100);
            }
            Sleep(1);
        }
    }
    if (!dialog) {
        return;
    }
    round->shown = true;
    round->untilShown = bench::WallSeconds() - start;
    round->cpuScan = bench::ThreadCpuSeconds(windowThread) - cpuStart;
    round->listed = static_cast<int>(SendMessageA(GetDlgItem(dialog, kListControl), LVM_GETITEMCOUNT, 0, 0));
    Sleep(300);
    double cpuOk = bench::ThreadCpuSeconds(windowThread);
    double ok = bench::WallSeconds();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    while (IsWindow(dialog) && IsWindowVisible(dialog) && !*stop) {
        Sleep(1);
    }
    round->okToHidden = bench::WallSeconds() - ok;
    while (IsWindow(dialog) && !*stop) {
        Sleep(1);
    }
    round->okToClosed = bench::WallSeconds() - ok;
    round->cpuAfterOk = bench::ThreadCpuSeconds(windowThread) - cpuOk;
}

bool RunRound(const Options& options, HWND owner, Round* round) {
    TempFolder dir;
    FakeHost host;
    FakeHost::account = dir.Path();
    if (!WriteSettings(dir.Path(), options)) {
        std::printf("cannot write the settings in %s\n", dir.Path().c_str());
        return false;
    }
    if ((!options.uidlFile.empty() && !dir.WriteFile("uidl", ReadFileBytes(options.uidlFile))) ||
        (!options.recordFile.empty() && !dir.WriteFile(kSetAsideRecordName, ReadFileBytes(options.recordFile)))) {
        std::printf("cannot copy the uidl file or the record into %s\n", dir.Path().c_str());
        return false;
    }
    gUidlList.RemoveAll();
    HANDLE windowThread = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &windowThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    std::atomic<bool> stop{false};
    double cpuStart = bench::ThreadCpuSeconds(windowThread);
    double start = bench::WallSeconds();
    std::thread watcher(Watch, owner, windowThread, start, cpuStart, round, &stop);
    RunSelectiveReceive(owner, 0);
    round->command = bench::WallSeconds() - start;
    round->cpuCommand = bench::ThreadCpuSeconds(windowThread) - cpuStart;
    stop = true;
    watcher.join();
    CloseHandle(windowThread);
    MSG message;
    while (PeekMessageA(&message, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        if (message.wParam == kHostReceiveCommand) {
            ++round->receiveCommands;
        }
    }
    round->uidlLines = CountLines(dir.Path() + "uidl");
    gUidlList.RemoveAll();
    return true;
}

void Print(const Options& options, int number, const Round& r) {
    double perMessage = r.listed > 0 ? 1000.0 / r.listed : 0;
    std::printf("%s round %d: %d listed; dialog shown after %.2f s; OK to hidden %.3f s, to closed %.3f s; "
                "command %.2f s; "
                "window thread CPU: scan %.3f ms/message, after OK %.3f ms/message, whole %.3f ms/message; "
                "uidl lines %d; receive posted %d%s\n",
                options.label.c_str(), number, r.listed, r.untilShown, r.okToHidden, r.okToClosed, r.command,
                r.cpuScan * perMessage, r.cpuAfterOk * perMessage, r.cpuCommand * perMessage, r.uidlLines,
                r.receiveCommands, r.shown ? "" : "; THE DIALOG WAS NEVER SHOWN");
    if (r.progressShown > 0 && r.progressHidden > 0) {
        std::printf("  another window (progress) shown after %.2f s, hidden after %.2f s\n", r.progressShown,
                    r.progressHidden);
    } else if (r.progressShown > 0) {
        std::printf("  another window (progress) shown after %.2f s, still up when the dialog showed\n",
                    r.progressShown);
    }
    for (const std::string& box : r.boxes) {
        std::printf("  message box: %s\n", box.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::printf("usage: timing_receive.exe --port N [--label TEXT] [--rounds R] [--user U] [--password P]"
                    " [--uidl-file F] [--record-file F]\n");
        return 2;
    }
    ScopedWinsock winsock;
    if (!winsock.Started()) {
        std::printf("WSAStartup failed\n");
        return 1;
    }
    // The dialog and its pictures come from the real Pikuno.dll beside the
    // program; as a data file its entry point (the host binding) never runs.
    gPluginModule = LoadLibraryExA("Pikuno.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!gPluginModule) {
        std::printf("Pikuno.dll must lie beside the program\n");
        return 1;
    }
    HWND owner = CreateWindowExA(0, "STATIC", "Quenla timing window", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    std::vector<Round> rounds;
    for (int i = 1; i <= options.rounds; ++i) {
        Round round;
        if (!RunRound(options, owner, &round)) {
            return 1;
        }
        Print(options, i, round);
        rounds.push_back(round);
    }
    if (rounds.size() > 1) {
        std::sort(rounds.begin(), rounds.end(), [](const Round& a, const Round& b) { return a.command < b.command; });
        const Round& median = rounds[rounds.size() / 2];
        Print(options, 0, median);
        std::printf("  (round 0: the median of %d rounds by the whole command's time)\n",
                    static_cast<int>(rounds.size()));
    }
    DestroyWindow(owner);
    return 0;
}
