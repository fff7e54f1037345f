#include "TempFolder.h"

#include <windows.h>

#include "BoundedText.h"
#include "FileBytes.h"

TempFolder::TempFolder() {
    static unsigned sequence = 0;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    for (;;) {
        char name[MAX_PATH];
        text::Format(name, sizeof name, "%spikuno-%lu-%u\\", base, GetCurrentProcessId(), ++sequence);
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return;  // Path() stays empty: every file the test makes fails to open
        }
    }
}

TempFolder::~TempFolder() {
    if (!path_.empty()) {
        RemoveTree(path_);
    }
}

std::string TempFolder::MakeFolder(const std::string& relative) const {
    std::string folder = path_ + relative;
    if (folder.empty() || folder.back() != '\\') {
        folder += '\\';
    }
    for (std::size_t at = path_.size(); at < folder.size(); ++at) {
        if (folder[at] == '\\') {
            CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
        }
    }
    return folder;
}

bool TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
    return WriteFileBytes(path_ + relative, bytes);
}

std::string TempFolder::ReadFile(const std::string& relative) const {
    return ReadFileBytes(path_ + relative);
}

bool TempFolder::Exists(const std::string& relative) const {
    return FileExists(path_ + relative);
}

bool RemoveTree(const std::string& folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\') {
        base += '\\';
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string child = base + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryA(base.c_str()) != FALSE;
}
