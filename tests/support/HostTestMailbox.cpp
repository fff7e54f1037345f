#include "HostTestMailbox.h"

#include <cstdio>

HostTestMailbox::HostTestMailbox() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%squenla-test-%lu-%u", temp, GetCurrentProcessId(), ++counter);
    RemoveTree(name);
    CreateDirectoryA(name, nullptr);
    dir_ = std::string(name) + "\\";
}

HostTestMailbox::~HostTestMailbox() {
    RemoveTree(dir_.substr(0, dir_.size() - 1));
}

void HostTestMailbox::AddAccount(const std::string& name, const std::string& propertyLines) {
    CreateDirectoryA((dir_ + name).c_str(), nullptr);
    CreateDirectoryA((dir_ + name + "\\inbox.box").c_str(), nullptr);
    CreateDirectoryA((dir_ + name + "\\trash.box").c_str(), nullptr);
    WriteFile(name + "\\Account.ini", "[Property]\r\n" + propertyLines);
}

void HostTestMailbox::WriteFile(const std::string& relative, const std::string& bytes) const {
    HANDLE file = CreateFileA((dir_ + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string HostTestMailbox::ReadFile(const std::string& relative) const {
    std::string bytes;
    HANDLE file = CreateFileA((dir_ + relative).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return bytes;
}

bool HostTestMailbox::Exists(const std::string& relative) const {
    return GetFileAttributesA((dir_ + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}
