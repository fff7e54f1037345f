#include "FaultHost.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace faults {

namespace {

std::string WorkingDirectory() {
    char path[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, path);
    std::string dir = path;
    if (dir.empty() || dir.back() != '\\') {
        dir += '\\';
    }
    return dir;
}

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

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

std::string FreshFolder(const std::string& name) {
    std::string base = WorkingDirectory() + "faults";
    CreateDirectoryA(base.c_str(), nullptr);
    std::string folder = base + "\\" + name;
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, piece, &written, nullptr) && written == piece;
        done += piece;
    }
    return CloseHandle(file) && ok;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bytes->clear();
    char chunk[1 << 16];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes->append(chunk, got);
    }
    CloseHandle(file);
    return true;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string MakeMailbox(const std::string& root) {
    std::string mailbox = root + "\\";
    CreateDirectoryA((mailbox + "Account1").c_str(), nullptr);
    CreateDirectoryA((mailbox + "Account1\\inbox.box").c_str(), nullptr);
    CreateDirectoryA((mailbox + "Account1\\trash.box").c_str(), nullptr);
    return mailbox;
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
