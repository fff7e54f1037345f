#pragma once
// What the host's mail view shows: the header block and body of one mail, or a text
// a plug-in put there with _VhxViewSetText@8.

#include <windows.h>

#include <string>

class MailView {
public:
    HWND editor = nullptr;  // the view's edit control, when the main window exists

    bool Header(const std::string& entry, std::string* header) const;
    bool Text(const std::string& entry, std::string* body) const;
    void SetText(const std::string& entry, const std::string& text);

    // Splits a mail at its first empty line (CR LF or LF); the header keeps its
    // last line end, the body starts after the empty line.
    static void SplitMail(const std::string& mail, std::string* header, std::string* body);

private:
    std::string overrideEntry_;
    std::string overrideText_;
};

extern MailView gMailView;
