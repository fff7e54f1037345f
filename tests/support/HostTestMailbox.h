#pragma once
// A temporary mailbox directory for the host's tests: Account folders with their
// Account.ini, removed with everything in it when the object goes.

#include <windows.h>

#include <string>

class HostTestMailbox {
public:
    HostTestMailbox();
    ~HostTestMailbox();
    HostTestMailbox(const HostTestMailbox&) = delete;
    HostTestMailbox& operator=(const HostTestMailbox&) = delete;

    // Ends in a backslash.
    const std::string& Dir() const { return dir_; }
    // Creates <dir>\<name> with inbox.box, trash.box and an Account.ini [Property]
    // holding the given "Key=Value" lines.
    void AddAccount(const std::string& name, const std::string& propertyLines);
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string dir_;
};

// Removes a directory tree.
void RemoveTree(const std::string& dir);
