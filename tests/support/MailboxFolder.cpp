#include "MailboxFolder.h"

#include <windows.h>

#include "FileBytes.h"

void MailboxFolder::AddAccount(const std::string& name, const std::string& propertyLines) {
    MakeFolder(name + "\\inbox.box");
    MakeFolder(name + "\\trash.box");
    WriteFile(name + "\\Account.ini", "[Property]\r\n" + propertyLines);
}

void MailboxFolder::AddAccount(const std::string& name, const char* title, const char* user) {
    MakeFolder(name + "\\inbox.box");
    MakeFolder(name + "\\trash.box");
    const std::string ini = AccountDir(name) + "Account.ini";
    if (title) {
        WritePrivateProfileStringA("Property", "Title", title, ini.c_str());
    }
    if (user) {
        WritePrivateProfileStringA("Property", "Account", user, ini.c_str());
    }
}

std::string MailboxFolder::WriteMail(const std::string& name, const std::string& bytes, const std::string& account,
                                     const std::string& folder) const {
    const std::string path = MakeFolder(account + "\\" + folder) + name + ".qnl";
    WriteFileBytes(path, bytes);
    return path;
}

std::vector<std::string> MailboxFolder::Lines(const std::string& relative) const {
    std::vector<std::string> lines;
    const std::string content = ReadFile(relative);
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
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
