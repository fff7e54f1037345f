#pragma once
// A temporary folder laid out as the host's mailbox: account folders with their
// mail folders and Account.ini, mail files in them.

#include <string>
#include <vector>

#include "TempFolder.h"

class MailboxFolder : public TempFolder {
public:
    // Creates <name>\ with inbox.box and trash.box, and an Account.ini whose
    // [Property] section holds the given "Key=Value\r\n" lines.
    void AddAccount(const std::string& name, const std::string& propertyLines);
    // The same with the keys Title and Account; a null one is left out, and with
    // both null there is no Account.ini.
    void AddAccount(const std::string& name, const char* title, const char* user);
    std::string AccountDir(const std::string& name) const { return Path() + name + "\\"; }
    // Writes <account>\<folder>\<name>.qnl (folders created); returns its full path.
    std::string WriteMail(const std::string& name, const std::string& bytes, const std::string& account = "Account1",
                          const std::string& folder = "inbox.box") const;
    // The non-empty lines of a file (relative to Path()), without their line ends.
    std::vector<std::string> Lines(const std::string& relative) const;
};
