#include "DigestTestFiles.h"

#include "AnsiText.h"
#include "FakeHost.h"

void WritePikunoIni(const MailboxFolder& mailbox, const DigestSettings& settings) {
    WriteDigestSettings((mailbox.Path() + "Pikuno.ini").c_str(), settings);
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


OwnerWindow::OwnerWindow() {
    window_ = CreateWindowA("STATIC", "digest test owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
}

OwnerWindow::~OwnerWindow() {
    if (window_) {
        DestroyWindow(window_);
    }
}
