#pragma once
// Runs the stand-in host Quenla.exe as a child process, the one way every test
// starts it: its command line, working folder and environment; everything it
// prints (its report) collected through a pipe while it runs; a wait for a given
// report line that ends when the line is printed; and a wait for its exit with a
// bound, after which it is killed and the result says so with what it had
// printed until then.

#include <string>
#include <utility>
#include <vector>

// Before any other Windows header: it brings winsock2.h ahead of windows.h.
#include "WinHandles.h"

struct QuenlaCommand {
    std::vector<std::string> args;  // each quoted as the child's command line reads it back
    std::string program;            // empty: Quenla.exe beside the test program
    std::string folder;             // working folder; empty: the test program's folder
    // Variables set for the child only; an empty value removes the variable.
    std::vector<std::pair<std::string, std::string>> environment;
};

struct QuenlaRun {
    bool started = false;
    bool timedOut = false;  // killed at the time limit
    DWORD exitCode = 0xFFFFFFFF;
    DWORD milliseconds = 0;
    std::string report;     // everything it printed, its standard output and error
};

class QuenlaProcess {
public:
    QuenlaProcess() = default;
    QuenlaProcess(const QuenlaProcess&) = delete;
    QuenlaProcess& operator=(const QuenlaProcess&) = delete;
    ~QuenlaProcess();  // a child still running is killed

    // False (with the reason in Report()) when the child could not be started.
    bool Start(const QuenlaCommand& command);

    // Reads the child's output until it holds text, the output ends, or ms pass;
    // true when the text was printed.
    bool WaitForReport(const std::string& text, DWORD ms);

    // Reads the output until the child exits; at the limit the child is killed,
    // and the result says so after what it had printed.
    QuenlaRun WaitForExit(DWORD ms);

    HANDLE Handle() const { return process_.Get(); }
    DWORD Id() const { return processId_; }
    const std::string& Report() const { return run_.report; }

private:
    // Reads one piece of output within ms (waking early when wakeUp is signalled);
    // false when nothing came, and then ended_ tells whether the output is over.
    bool ReadSome(DWORD ms, HANDLE wakeUp = nullptr);

    UniqueHandle process_;
    DWORD processId_ = 0;
    UniqueFileHandle pipe_;  // the read end, overlapped
    UniqueHandle readDone_;
    OVERLAPPED overlapped_ = {};
    bool pending_ = false;
    bool ended_ = false;
    char buffer_[4096] = {};
    DWORD startTick_ = 0;
    QuenlaRun run_;
};

// The arguments of a run on a mailbox with a plug-in, its folder window hidden
// (a shown one costs seconds under Wine; dialogs and boxes still appear):
// --mailbox <mailbox> --plugin <plugin> --hide, then --do <command> for each.
std::vector<std::string> HiddenRunArgs(const std::string& mailbox, const std::string& plugin,
                                       const std::vector<std::string>& commands);

// Start, then WaitForExit(timeLimitMs).
QuenlaRun RunQuenla(const QuenlaCommand& command, DWORD timeLimitMs = 120000);
// Quenla.exe beside the test program with these arguments, from its folder.
QuenlaRun RunQuenla(const std::vector<std::string>& args, DWORD timeLimitMs = 120000);
