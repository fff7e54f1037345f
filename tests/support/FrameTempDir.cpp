#include "FrameTempDir.h"

#include <windows.h>

#include "BoundedText.h"

namespace {
int gSequence = 0;
}

FrameTempDir::FrameTempDir() {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    for (;;) {
        char name[MAX_PATH];
        text::Format(name, sizeof name, "%spikuno_frame_%lu_%d\\", base, GetCurrentProcessId(), ++gSequence);
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return;
        }
    }
}

FrameTempDir::~FrameTempDir() {
    if (!path_.empty()) {
        FrameRemoveTree(path_);
    }
}

std::string FrameTempDir::MakeDir(const std::string& relative) const {
    std::string directory = path_ + relative + "\\";
    CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

bool FrameTempDir::WriteFile(const std::string& relative, const std::string& text) const {
    HANDLE file = CreateFileA((path_ + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

bool FrameRemoveTree(const std::string& directory) {
    std::string base = directory;
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
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                FrameRemoveTree(base + name);
            } else {
                DeleteFileA((base + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(base.c_str()) != FALSE;
}
