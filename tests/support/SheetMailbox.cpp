#include "SheetMailbox.h"

#include <windows.h>

#include <cstdio>

namespace {

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(dir + name + "\\");
            } else {
                SetFileAttributesA((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((dir + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

SheetMailbox::SheetMailbox() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter = 0;
    for (;;) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%spikuno_sheet_%lu_%u\\", temp, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr)) {
            dir_ = name;
            break;
        }
    }
}

SheetMailbox::~SheetMailbox() {
    RemoveTree(dir_);
}

void SheetMailbox::AddAccount(const std::string& name, const char* title, const char* user) {
    CreateDirectoryA((dir_ + name).c_str(), nullptr);
    std::string ini = dir_ + name + "\\Account.ini";
    if (title) {
        WritePrivateProfileStringA("Property", "Title", title, ini.c_str());
    }
    if (user) {
        WritePrivateProfileStringA("Property", "Account", user, ini.c_str());
    }
}

void SheetMailbox::WriteText(const std::string& relative, const std::string& content) const {
    FILE* file = fopen((dir_ + relative).c_str(), "wb");
    if (file) {
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
    }
}

bool SheetMailbox::Exists(const std::string& relative) const {
    return GetFileAttributesA((dir_ + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string SheetMailbox::ReadText(const std::string& relative) const {
    std::string content;
    FILE* file = fopen((dir_ + relative).c_str(), "rb");
    if (!file) {
        return content;
    }
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    fclose(file);
    return content;
}

std::vector<std::string> SheetMailbox::Lines(const std::string& relative) const {
    std::vector<std::string> lines;
    std::string content = ReadText(relative);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}
