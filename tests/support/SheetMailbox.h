#pragma once
// A temporary mailbox directory for the settings sheet's tests: account folders
// with the host's Account.ini, and reading back what the sheet wrote.

#include <string>
#include <vector>

class SheetMailbox {
public:
    SheetMailbox();   // a fresh, empty folder under %TEMP%
    ~SheetMailbox();  // removes it with everything in it
    SheetMailbox(const SheetMailbox&) = delete;
    SheetMailbox& operator=(const SheetMailbox&) = delete;

    // Ends in a backslash, as the host gives it.
    const std::string& Dir() const { return dir_; }

    // Creates mailbox\name\ and, unless both are null, its Account.ini.
    void AddAccount(const std::string& name, const char* title, const char* user);
    std::string AccountDir(const std::string& name) const { return dir_ + name + "\\"; }

    // Files relative to the mailbox directory.
    void WriteText(const std::string& relative, const std::string& content) const;
    bool Exists(const std::string& relative) const;
    std::string ReadText(const std::string& relative) const;  // "" when missing
    // The keys of a file in order of appearance, as "[Section]" and "key=value" lines.
    std::vector<std::string> Lines(const std::string& relative) const;

private:
    std::string dir_;
};
