#include "UnwritableFile.h"

#include <windows.h>

#include "FileBytes.h"

const char kUnwritableContent[] = "[Digest]\r\nDivide=0\r\n[Property]\r\nDoFilter=0\r\n";

UnwritableFile::UnwritableFile(const std::string& path, WriteFault fault) : path_(path), fault_(fault) {
    if (fault == WriteFault::HeldOpen) {
        holder_.Reset(WriteFileBytes(path, kUnwritableContent)
                          ? CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)
                          : INVALID_HANDLE_VALUE);
        made_ = holder_.IsValid();
    } else {
        made_ = CreateDirectoryA(path.c_str(), nullptr) != FALSE;
    }
}

UnwritableFile::~UnwritableFile() {
    Release();
    DeleteFileA(path_.c_str());
}

bool UnwritableFile::Unchanged() const {
    if (fault_ == WriteFault::Directory) {
        DWORD attributes = GetFileAttributesA(path_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    std::string bytes;
    return ReadFileBytes(path_, &bytes) && bytes == kUnwritableContent;
}

void UnwritableFile::Release() {
    if (fault_ == WriteFault::HeldOpen) {
        holder_.Reset();
    } else {
        RemoveDirectoryA(path_.c_str());
    }
}
