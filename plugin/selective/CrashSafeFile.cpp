#include "CrashSafeFile.h"

#include <windows.h>

#include "BoundedText.h"
#include "WinHandles.h"

const char kReplacementSuffix[] = ".pikuno-new";

FileRead ReadWholeSmallFile(const char* path, std::string* bytes) {
    bytes->clear();
    // Read and write sharing: the host may hold the file open as it does between
    // retrievals; only a holder that denies reading stops us.
    UniqueFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::kMissing
                                                                               : FileRead::kFailed;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kLargestReadFile) {
        return FileRead::kFailed;
    }
    bytes->resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes->size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(bytes->size() - done);
        if (!ReadFile(file.Get(), &(*bytes)[done], want, &got, nullptr) || got == 0) {
            bytes->clear();
            return FileRead::kFailed;
        }
        done += got;
    }
    return FileRead::kRead;
}

bool ReplaceFileCrashSafe(const char* path, const std::string& bytes) {
    // A read-only file is one somebody means to keep as it is; the replace
    // would not be refused everywhere, so refuse it here.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    char replacement[kPathBufferSize];
    if (!text::Copy(replacement, sizeof replacement, path) ||
        !text::Append(replacement, sizeof replacement, kReplacementSuffix)) {
        return false;
    }
    {
        UniqueFileHandle file(CreateFileA(replacement, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            return false;
        }
        bool written = bytes.size() <= MAXDWORD;
        std::size_t done = 0;
        while (written && done < bytes.size()) {
            DWORD put = 0;
            written = WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put,
                                nullptr) != FALSE && put > 0;
            done += put;
        }
        // On the disk before the name moves, or a crash could leave the new
        // name on a file whose bytes never arrived.
        if (!written || !FlushFileBuffers(file.Get())) {
            file.Reset();
            DeleteFileA(replacement);
            return false;
        }
    }
    if (!MoveFileExA(replacement, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(replacement);
        return false;
    }
    return true;
}
