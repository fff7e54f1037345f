#include "MailView.h"

#include "HostContext.h"

MailView gMailView;

void MailView::SplitMail(const std::string& mail, std::string* header, std::string* body) {
    size_t lineStart = 0;
    while (lineStart < mail.size()) {
        size_t end = mail.find('\n', lineStart);
        if (end == std::string::npos) {
            break;
        }
        bool empty = end == lineStart || (end == lineStart + 1 && mail[lineStart] == '\r');
        if (empty) {
            *header = mail.substr(0, lineStart);
            *body = mail.substr(end + 1);
            return;
        }
        lineStart = end + 1;
    }
    *header = mail;
    body->clear();
}

bool MailView::Header(const std::string& entry, std::string* header) const {
    std::string mail, body;
    if (entry.empty() || !gHost.store.ReadMail(entry, &mail)) {
        return false;
    }
    SplitMail(mail, header, &body);
    return true;
}

bool MailView::Text(const std::string& entry, std::string* body) const {
    if (entry.empty()) {
        return false;
    }
    if (entry == overrideEntry_) {
        *body = overrideText_;
        return true;
    }
    std::string mail, header;
    if (!gHost.store.ReadMail(entry, &mail)) {
        return false;
    }
    SplitMail(mail, &header, body);
    return true;
}

void MailView::SetText(const std::string& entry, const std::string& text) {
    overrideEntry_ = entry;
    overrideText_ = text;
}
