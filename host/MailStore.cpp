#include "MailStore.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "WinHandles.h"

namespace {

const char kIndexFileName[] = "folder.idx";
const char kMailExtension[] = ".qnl";

bool IsMailNumber(const std::string& name) {
    return !name.empty() && name.size() <= 9 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> FilesIn(const std::string& dir, const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(FindFirstFileA((dir + "\\" + pattern).c_str(), &data));
    if (!find) {
        return names;
    }
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileA(find.Get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    char chunk[64 * 1024];
    DWORD got = 0;
    while (ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes->append(chunk, got);
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MailStore::Open(const std::string& mailboxDir) {
    std::string dir = mailboxDir;
    for (char& c : dir) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (dir.empty()) {
        return false;
    }
    if (dir.back() != '\\') {
        dir += '\\';
    }
    if (!IsDirectory(dir.substr(0, dir.size() - 1))) {
        return false;
    }
    mailboxDir_ = dir;
    return true;
}

std::vector<std::string> MailStore::Accounts() const {
    std::vector<std::string> accounts;
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(FindFirstFileA((mailboxDir_ + "Account*").c_str(), &data));
    if (!find) {
        return accounts;
    }
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            accounts.push_back(data.cFileName);
        }
    } while (FindNextFileA(find.Get(), &data));
    std::sort(accounts.begin(), accounts.end());
    return accounts;
}

bool MailStore::EnsureAccountFolders(const std::string& account) const {
    if (!IsSafeRelative(account) || !IsDirectory(FullPath(account))) {
        return false;
    }
    bool ok = true;
    for (const char* folder : {"\\inbox.box", "\\trash.box"}) {
        std::string path = FullPath(account + folder);
        if (!IsDirectory(path) && !CreateDirectoryA(path.c_str(), nullptr)) {
            ok = false;
        }
    }
    return ok;
}

std::string MailStore::FullPath(const std::string& relative) const {
    return mailboxDir_ + relative;
}

bool MailStore::IsSafeRelative(const std::string& relative) {
    if (relative.empty() || relative[0] == '\\' || relative[0] == '/' ||
        relative.find(':') != std::string::npos || relative.find('/') != std::string::npos) {
        return false;
    }
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('\\', start);
        if (end == std::string::npos) {
            end = relative.size();
        }
        std::string part = relative.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool MailStore::SplitEntry(const std::string& entry, std::string* folder, std::string* name) {
    size_t slash = entry.rfind('\\');
    if (!IsSafeRelative(entry) || slash == std::string::npos) {
        return false;
    }
    *folder = entry.substr(0, slash);
    *name = entry.substr(slash + 1);
    return true;
}

bool MailStore::IsFolder(const std::string& folder) const {
    return !mailboxDir_.empty() && IsSafeRelative(folder) && IsDirectory(FullPath(folder));
}

std::vector<MailEntry> MailStore::ReadIndex(const std::string& folder) const {
    std::vector<MailEntry> entries;
    std::string bytes;
    ReadWholeFile(FullPath(folder) + "\\" + kIndexFileName, &bytes);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) {
            continue;
        }
        MailEntry entry;
        entry.name = line.substr(0, tab1);
        entry.mark = static_cast<uint32_t>(std::strtoul(line.c_str() + tab1 + 1, nullptr, 10));
        entry.unread = std::atoi(line.c_str() + tab2 + 1) != 0;
        if (IsMailNumber(entry.name)) {
            entries.push_back(entry);
        }
    }
    return entries;
}

bool MailStore::WriteIndex(const std::string& folder, const std::vector<MailEntry>& entries) const {
    std::string bytes;
    for (const MailEntry& entry : entries) {
        char line[64];
        std::snprintf(line, sizeof line, "\t%lu\t%d\r\n", static_cast<unsigned long>(entry.mark),
                      entry.unread ? 1 : 0);
        bytes += entry.name;
        bytes += line;
    }
    return WriteWholeFile(FullPath(folder) + "\\" + kIndexFileName, bytes);
}

std::vector<MailEntry> MailStore::List(const std::string& folder) const {
    std::vector<MailEntry> listed;
    if (!IsFolder(folder)) {
        return listed;
    }
    std::vector<std::string> files = FilesIn(FullPath(folder), "*.qnl");
    std::vector<std::string> names;
    for (const std::string& file : files) {
        std::string name = file.substr(0, file.size() - 4);
        if (IsMailNumber(name)) {
            names.push_back(name);
        }
    }
    for (const MailEntry& entry : ReadIndex(folder)) {
        auto it = std::find(names.begin(), names.end(), entry.name);
        if (it != names.end()) {
            listed.push_back(entry);
            names.erase(it);
        }
    }
    for (const std::string& name : names) {
        MailEntry entry;
        entry.name = name;
        listed.push_back(entry);
    }
    return listed;
}

bool MailStore::Find(const std::string& entry, MailEntry* found) const {
    std::string folder, name;
    if (!SplitEntry(entry, &folder, &name)) {
        return false;
    }
    for (const MailEntry& listed : List(folder)) {
        if (listed.name == name) {
            *found = listed;
            return true;
        }
    }
    return false;
}

std::string MailStore::NextName(const std::string& folder) const {
    unsigned long highest = 0;
    for (const std::string& file : FilesIn(FullPath(folder), "*.qnl")) {
        std::string name = file.substr(0, file.size() - 4);
        if (IsMailNumber(name)) {
            highest = std::max(highest, std::strtoul(name.c_str(), nullptr, 10));
        }
    }
    char name[16];
    std::snprintf(name, sizeof name, "%08lu", highest + 1);
    return name;
}

bool MailStore::Store(const std::string& folder, const std::string& bytes, uint32_t mark,
                      bool unread, std::string* entry) {
    if (!IsFolder(folder)) {
        return false;
    }
    std::vector<MailEntry> entries = List(folder);
    MailEntry added;
    added.name = NextName(folder);
    added.mark = mark;
    added.unread = unread;
    std::string path = FullPath(folder) + "\\" + added.name + kMailExtension;
    if (!WriteWholeFile(path, bytes)) {
        DeleteFileA(path.c_str());
        return false;
    }
    entries.push_back(added);
    if (!WriteIndex(folder, entries)) {
        DeleteFileA(path.c_str());
        return false;
    }
    if (entry) {
        *entry = folder + "\\" + added.name;
    }
    return true;
}

bool MailStore::Import(const std::string& file, const std::string& folder, uint32_t flags,
                       std::string* entry) {
    std::string bytes;
    if (!ReadWholeFile(file, &bytes)) {
        return false;
    }
    return Store(folder, bytes, flags & ~kImportUnreadFlag, (flags & kImportUnreadFlag) != 0, entry);
}

bool MailStore::ReadMail(const std::string& entry, std::string* bytes) const {
    MailEntry found;
    return Find(entry, &found) && ReadWholeFile(FullPath(entry) + kMailExtension, bytes);
}

bool MailStore::Move(const std::string& entry, const std::string& folder, std::string* newEntry) {
    MailEntry found;
    std::string bytes;
    std::string sourceFolder, name;
    if (!SplitEntry(entry, &sourceFolder, &name) || !IsFolder(folder) || !Find(entry, &found) ||
        !ReadWholeFile(FullPath(entry) + kMailExtension, &bytes)) {
        return false;
    }
    if (sourceFolder == folder) {
        if (newEntry) {
            *newEntry = entry;
        }
        return true;
    }
    // Stored first, removed after: a failure never loses the mail.
    return Store(folder, bytes, found.mark, found.unread, newEntry) && Delete(entry);
}

bool MailStore::Delete(const std::string& entry) {
    std::string folder, name;
    MailEntry found;
    if (!SplitEntry(entry, &folder, &name) || !Find(entry, &found)) {
        return false;
    }
    if (!DeleteFileA((FullPath(entry) + kMailExtension).c_str())) {
        return false;
    }
    std::vector<MailEntry> entries = List(folder);
    return WriteIndex(folder, entries);
}

bool MailStore::SetMark(const std::string& entry, uint32_t mark, bool unread) {
    std::string folder, name;
    if (!SplitEntry(entry, &folder, &name)) {
        return false;
    }
    std::vector<MailEntry> entries = List(folder);
    for (MailEntry& listed : entries) {
        if (listed.name == name) {
            listed.mark = mark;
            listed.unread = unread;
            return WriteIndex(folder, entries);
        }
    }
    return false;
}
