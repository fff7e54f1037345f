#include "QuenlaProcess.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

#include "ProgramFolder.h"

namespace {

// Quoted the way CommandLineToArgvW reads it back: backslashes before a quote (and
// before the closing quote) are doubled.
std::string Quote(const std::string& arg) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"') {
                quoted.append(backslashes + 1, '\\');
            }
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(::toupper(c)); });
    return text;
}

// The child's environment block: ours with the changes applied, names compared
// without case as Windows compares them.
std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::map<std::string, std::pair<std::string, std::string>> variables;  // upper-case name -> (name, value)
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; p && *p; p += std::strlen(p) + 1) {
        std::string entry = p;
        std::size_t equals = entry.find('=', 1);  // "=C:=C:\..." entries start with '='
        if (equals != std::string::npos) {
            variables[UpperCase(entry.substr(0, equals))] = {entry.substr(0, equals), entry.substr(equals + 1)};
        }
    }
    FreeEnvironmentStringsA(block);
    for (const auto& change : changes) {
        if (change.second.empty()) {
            variables.erase(UpperCase(change.first));
        } else {
            variables[UpperCase(change.first)] = change;
        }
    }
    std::string result;
    for (const auto& variable : variables) {
        result += variable.second.first + "=" + variable.second.second;
        result += '\0';
    }
    result += '\0';
    return result;
}

DWORD Remaining(DWORD start, DWORD limit) {
    DWORD spent = GetTickCount() - start;
    return spent >= limit ? 0 : limit - spent;
}

// Output still arriving after the child has exited comes at once: its write end
// is closed by then. Only a process that inherited the write end keeps the pipe
// open; this bounds the wait for it.
const DWORD kTrailingOutputMs = 2000;

}  // namespace

QuenlaProcess::~QuenlaProcess() {
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 10000);
    }
    if (pending_) {
        // The read must be over before its buffer goes.
        CancelIo(pipe_.Get());
        DWORD got = 0;
        GetOverlappedResult(pipe_.Get(), &overlapped_, &got, TRUE);
    }
}

bool QuenlaProcess::Start(const QuenlaCommand& command) {
    static std::atomic<unsigned> pipes{0};
    // Wine's desktop process is started by the first program that needs a window
    // and lives as long as the Wine server; started by Quenla.exe, it would inherit
    // the pipe's write end and the output would never end. Started from here, it
    // inherits nothing.
    GetDesktopWindow();

    // A named pipe, since only those can be read with a time limit (overlapped).
    std::string name = "\\\\.\\pipe\\quenla-report-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++pipes);
    pipe_.Reset(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, 1 << 16, 0, nullptr));
    readDone_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueFileHandle writeEnd(
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    UniqueFileHandle nul(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr));
    if (!pipe_ || !readDone_ || !writeEnd) {
        run_.report = "cannot make the pipe for Quenla.exe's output (error " + std::to_string(GetLastError()) + ")\n";
        return false;
    }

    std::string program = command.program.empty() ? ProgramFolder() + "Quenla.exe" : command.program;
    std::string folder = command.folder.empty() ? ProgramFolder() : command.folder;
    std::string commandLine = Quote(program);
    for (const std::string& arg : command.args) {
        commandLine += " " + Quote(arg);
    }
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    std::string environment;
    if (!command.environment.empty()) {
        environment = EnvironmentBlock(command.environment);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.Get();
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION process = {};
    startTick_ = GetTickCount();
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                        environment.empty() ? nullptr : &environment[0], folder.c_str(), &startup, &process)) {
        run_.report = "cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")\n";
        return false;
    }
    CloseHandle(process.hThread);
    process_.Reset(process.hProcess);
    processId_ = process.dwProcessId;
    run_.started = true;
    return true;
}

bool QuenlaProcess::ReadSome(DWORD ms, HANDLE wakeUp) {
    if (ended_ || !pipe_) {
        ended_ = true;
        return false;
    }
    if (!pending_) {
        ResetEvent(readDone_.Get());
        overlapped_ = {};
        overlapped_.hEvent = readDone_.Get();
        if (!ReadFile(pipe_.Get(), buffer_, sizeof buffer_, nullptr, &overlapped_) &&
            GetLastError() != ERROR_IO_PENDING) {
            ended_ = true;  // ERROR_BROKEN_PIPE: every write end is closed
            return false;
        }
        pending_ = true;
    }
    HANDLE events[2] = {readDone_.Get(), wakeUp};
    DWORD woken = WaitForMultipleObjects(wakeUp ? 2 : 1, events, FALSE, ms);
    if (woken != WAIT_OBJECT_0) {
        return false;  // the read stays pending for the next call
    }
    pending_ = false;
    DWORD got = 0;
    if (!GetOverlappedResult(pipe_.Get(), &overlapped_, &got, FALSE)) {
        ended_ = true;
        return false;
    }
    run_.report.append(buffer_, got);
    return true;
}

bool QuenlaProcess::WaitForReport(const std::string& text, DWORD ms) {
    DWORD start = GetTickCount();
    std::size_t searched = 0;  // where a match could still begin
    while (run_.report.find(text, searched) == std::string::npos) {
        searched = run_.report.size() >= text.size() ? run_.report.size() - text.size() + 1 : 0;
        DWORD left = Remaining(start, ms);
        if (left == 0 || (!ReadSome(left) && ended_)) {
            return run_.report.find(text, searched) != std::string::npos;
        }
    }
    return true;
}

QuenlaRun QuenlaProcess::WaitForExit(DWORD ms) {
    if (!run_.started) {
        return run_;
    }
    DWORD start = GetTickCount();
    bool exited = false;
    for (DWORD left = ms; left > 0 && !exited; left = Remaining(start, ms)) {
        if (ended_) {
            exited = WaitForSingleObject(process_.Get(), left) == WAIT_OBJECT_0;
        } else if (!ReadSome(left, process_.Get())) {
            // Nothing came: the output ended, the time is up, or the child exited.
            exited = WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
        }
    }
    if (!exited) {
        run_.timedOut = true;
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 10000);
    }
    DWORD trailing = GetTickCount();
    while (ReadSome(Remaining(trailing, kTrailingOutputMs))) {
    }
    run_.milliseconds = GetTickCount() - startTick_;
    if (run_.timedOut) {
        run_.report += "[Quenla.exe killed after " + std::to_string(run_.milliseconds) + " ms: no exit within " +
                       std::to_string(ms) + " ms]\n";
    }
    GetExitCodeProcess(process_.Get(), &run_.exitCode);
    return run_;
}

QuenlaRun RunQuenla(const QuenlaCommand& command, DWORD timeLimitMs) {
    QuenlaProcess process;
    if (!process.Start(command)) {
        return process.WaitForExit(0);
    }
    return process.WaitForExit(timeLimitMs);
}

QuenlaRun RunQuenla(const std::vector<std::string>& args, DWORD timeLimitMs) {
    QuenlaCommand command;
    command.args = args;
    return RunQuenla(command, timeLimitMs);
}

std::vector<std::string> HiddenRunArgs(const std::string& mailbox, const std::string& plugin,
                                       const std::vector<std::string>& commands) {
    std::vector<std::string> args = {"--mailbox", mailbox, "--plugin", plugin, "--hide"};
    for (const std::string& command : commands) {
        args.push_back("--do");
        args.push_back(command);
    }
    return args;
}
