#include "UidlFile.h"

#include <windows.h>

#include "MailStore.h"
#include "WinHandles.h"

std::set<std::string> ReadUidlFile(const std::string& path) {
    std::set<std::string> uidls;
    std::string bytes;
    ReadWholeFile(path, &bytes);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            uidls.insert(line);
        }
        start = end + 1;
    }
    return uidls;
}

bool AppendUidlFile(const std::string& path, const std::vector<std::string>& uidls) {
    if (uidls.empty()) {
        return true;
    }
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    std::string block;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) {
        LARGE_INTEGER last;
        last.QuadPart = size.QuadPart - 1;
        char lastByte = 0;
        DWORD got = 0;
        if (SetFilePointerEx(file.Get(), last, nullptr, FILE_BEGIN) &&
            ReadFile(file.Get(), &lastByte, 1, &got, nullptr) && got == 1 && lastByte != '\n') {
            block += '\n';
        }
    }
    for (const std::string& uidl : uidls) {
        block += uidl;
        block += '\n';
    }
    LARGE_INTEGER zero = {};
    DWORD written = 0;
    return SetFilePointerEx(file.Get(), zero, nullptr, FILE_END) &&
           WriteFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
           written == block.size();
}
