#include "FaultHost.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace faults {

namespace {

std::string ExeDirectory() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.rfind('\\') + 1);
}

// The child's environment block: ours with the changes applied.
std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::map<std::string, std::string> variables;  // keyed upper case, as Windows compares
    std::map<std::string, std::string> spelled;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; p && *p; p += std::strlen(p) + 1) {
        std::string entry = p;
        std::size_t equals = entry.find('=', 1);
        if (equals == std::string::npos) {
            continue;
        }
        std::string name = entry.substr(0, equals);
        std::string key = name;
        std::transform(key.begin(), key.end(), key.begin(), ::toupper);
        variables[key] = entry.substr(equals + 1);
        spelled[key] = name;
    }
    FreeEnvironmentStringsA(block);
    for (const auto& change : changes) {
        std::string key = change.first;
        std::transform(key.begin(), key.end(), key.begin(), ::toupper);
        if (change.second.empty()) {
            variables.erase(key);
        } else {
            variables[key] = change.second;
            spelled[key] = change.first;
        }
    }
    std::string result;
    for (const auto& variable : variables) {
        result += spelled[variable.first] + "=" + variable.second;
        result += '\0';
    }
    result += '\0';
    return result;
}

}  // namespace

std::string MakeMailbox(const TempFolder& folder, const std::string& name) {
    folder.MakeFolder(name + "\\Account1\\inbox.box");
    folder.MakeFolder(name + "\\Account1\\trash.box");
    return folder.Path() + name + "\\";
}

std::vector<std::string> MailFiles(const std::string& mailbox, const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((mailbox + folder + "\\*.qnl").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(data.cFileName);
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

HostRun RunQuenla(const std::string& mailbox, const std::vector<std::string>& script,
                  const std::vector<std::pair<std::string, std::string>>& env, DWORD timeLimitMs) {
    HostRun run;
    std::string base = mailbox;
    while (!base.empty() && base.back() == '\\') {
        base.pop_back();
    }
    std::string scriptPath = base + ".script.txt";
    std::string reportPath = base + ".report.txt";
    std::string text;
    for (const std::string& line : script) {
        text += line + "\r\n";
    }
    WriteFileBytes(scriptPath, text);
    DeleteFileA(reportPath.c_str());

    std::string command = "\"" + ExeDirectory() + "Quenla.exe\" --mailbox \"" + base + "\" --script \"" +
                          scriptPath + "\" --out \"" + reportPath + "\" --hide";
    std::string environment = EnvironmentBlock(env);
    // The child's own printout goes nowhere: the report file holds the same.
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    std::vector<char> commandLine(command.begin(), command.end());
    commandLine.push_back('\0');
    DWORD start = GetTickCount();
    BOOL created = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, &environment[0],
                                  ExeDirectory().c_str(), &startup, &process);
    if (nul != INVALID_HANDLE_VALUE) {
        CloseHandle(nul);
    }
    if (!created) {
        return run;
    }
    run.started = true;
    if (WaitForSingleObject(process.hProcess, timeLimitMs) == WAIT_TIMEOUT) {
        run.timedOut = true;
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 10000);
    }
    run.milliseconds = GetTickCount() - start;
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReadFileBytes(reportPath, &run.report);
    return run;
}

}  // namespace faults
