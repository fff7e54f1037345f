#include "Report.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "WinHandles.h"

Report gReport;

namespace {

std::string ToUtf8(const std::string& sjis) {
    int wideLength = MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
    if (wideLength <= 0) {
        return sjis;
    }
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), wide.data(), wideLength);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

void WriteAll(HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    if (handle && handle != INVALID_HANDLE_VALUE) {
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

}  // namespace

void Report::SetFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    filePath_ = path;
    // Created empty, or emptied; closed again at once.
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

void Report::Line(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string bytes = (utf8_ ? ToUtf8(line) : line) + "\n";
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes);
    if (!filePath_.empty()) {
        UniqueFileHandle file(CreateFileA(filePath_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            WriteAll(file.Get(), bytes);
        }
    }
}

void Report::Fail(const std::string& line) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
    }
    Line("FAILED: " + line);
}

bool Report::Failed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

std::string Report::Hex(const std::string& bytes) {
    std::string hex;
    char part[4];
    for (unsigned char c : bytes) {
        std::snprintf(part, sizeof part, hex.empty() ? "%02X" : " %02X", c);
        hex += part;
    }
    return hex;
}
