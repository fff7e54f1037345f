#include "DigestTestFiles.h"

#include "BoundedText.h"
#include "DigestFakeHost.h"
#include "AnsiText.h"

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
                DeleteFileA((dir + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

TestMailbox::TestMailbox() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static int serial = 0;
    char name[64];
    text::Format(name, sizeof name, "pikuno-digest-%lu-%d\\", GetCurrentProcessId(), ++serial);
    dir_ = std::string(temp) + name;
    CreateDirectoryA(dir_.c_str(), nullptr);
}

TestMailbox::~TestMailbox() {
    RemoveTree(dir_);
}

std::string TestMailbox::WriteMail(const std::string& name, const std::string& bytes, const std::string& account,
                                   const std::string& folder) {
    std::string accountDir = dir_ + account + "\\";
    CreateDirectoryA(accountDir.c_str(), nullptr);
    std::string folderDir = accountDir + folder + "\\";
    CreateDirectoryA(folderDir.c_str(), nullptr);
    std::string path = folderDir + name + ".qnl";
    digest_fake::WriteWholeFile(path, bytes);
    return path;
}

void TestMailbox::WriteSettings(const DigestSettings& settings) {
    WriteDigestSettings((dir_ + "Pikuno.ini").c_str(), settings);
}

std::string MessageText(int index, const char* lineEnd) {
    std::string n = std::to_string(index);
    std::string le = lineEnd;
    return "From: sender" + n + "@example.com" + le + "Subject: message " + n + le + le + "Body of message " + n + le;
}

std::string DigestOf(int count, const char* lineEnd, const char* type) {
    std::string le = lineEnd;
    std::string mail = "From: list@example.com" + le + "Subject: digest" + le + "MIME-Version: 1.0" + le +
                       "Content-Type: " + type + "; boundary=\"==B==\"" + le + le + "--==B==" + le;
    for (int i = 1; i <= count; ++i) {
        mail += "Content-Type: message/rfc822" + le + le + MessageText(i, lineEnd) + le;
        mail += (i == count ? "--==B==--" : "--==B==") + le;
    }
    return mail;
}

std::string ToCrLf(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

OwnerWindow::OwnerWindow() {
    window_ = CreateWindowA("STATIC", "digest test owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
}

OwnerWindow::~OwnerWindow() {
    if (window_) {
        DestroyWindow(window_);
    }
}
