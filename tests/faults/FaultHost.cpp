#include "FaultHost.h"

#include <algorithm>

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
    std::string base = mailbox;
    while (!base.empty() && base.back() == '\\') {
        base.pop_back();
    }
    std::string scriptPath = base + ".script.txt";
    std::string text;
    for (const std::string& line : script) {
        text += line + "\r\n";
    }
    WriteFileBytes(scriptPath, text);
    QuenlaCommand command;
    command.args = {"--mailbox", base, "--script", scriptPath, "--hide"};
    command.environment = env;
    return ::RunQuenla(command, timeLimitMs);
}

}  // namespace faults
