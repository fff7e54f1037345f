#pragma once
// The stand-in host's mailbox on disk:
//   <mailbox>\AccountN\ holds Account.ini, uidl and the folders inbox.box, trash.box
//   <folder>\00000001.qnl       one file per mail, CR LF lines as received
//   <folder>\folder.idx         the host's index: one line per mail,
//                               "<name>\t<mark>\t<unread>\r\n", in arrival order
// Folders and entries are named relative to the mailbox directory, as the plug-in
// API names them: "Account1\inbox.box" and "Account1\inbox.box\00000001".

#include <cstdint>
#include <string>
#include <vector>

struct MailEntry {
    std::string name;  // file name without ".qnl", e.g. "00000001"
    uint32_t mark = 0;
    bool unread = false;
};

// The unread bit of the import flags; the rest of the word is the mark number.
constexpr uint32_t kImportUnreadFlag = 0x40000000u;

class MailStore {
public:
    // Takes the mailbox directory (a trailing backslash is added when missing).
    // False when it is not an existing directory.
    bool Open(const std::string& mailboxDir);
    const std::string& MailboxDir() const { return mailboxDir_; }

    // Directories directly inside the mailbox whose names begin with "Account",
    // in name order.
    std::vector<std::string> Accounts() const;
    // Creates inbox.box and trash.box of an existing account when missing.
    bool EnsureAccountFolders(const std::string& account) const;

    // Mailbox directory + relative name.
    std::string FullPath(const std::string& relative) const;

    // The mails of a folder in index order; mail files the index does not know
    // follow in name order (mark 0, read), index lines without a file are dropped.
    std::vector<MailEntry> List(const std::string& folder) const;
    bool Find(const std::string& entry, MailEntry* found) const;

    // Stores bytes as a new mail; *entry receives its relative name.
    bool Store(const std::string& folder, const std::string& bytes, uint32_t mark, bool unread,
               std::string* entry);
    // Copies a file as a new mail; flags = mark number | kImportUnreadFlag.
    bool Import(const std::string& file, const std::string& folder, uint32_t flags,
                std::string* entry);
    // Moves a mail into another folder under a new number; mark and unread go with it.
    bool Move(const std::string& entry, const std::string& folder, std::string* newEntry);
    bool Delete(const std::string& entry);
    bool SetMark(const std::string& entry, uint32_t mark, bool unread);
    bool ReadMail(const std::string& entry, std::string* bytes) const;

    // A relative name the store accepts: no drive, no leading backslash, no "..",
    // no empty component.
    static bool IsSafeRelative(const std::string& relative);
    // "Account1\inbox.box\00000001" -> folder "Account1\inbox.box", name "00000001".
    static bool SplitEntry(const std::string& entry, std::string* folder, std::string* name);

private:
    bool IsFolder(const std::string& folder) const;
    std::vector<MailEntry> ReadIndex(const std::string& folder) const;
    bool WriteIndex(const std::string& folder, const std::vector<MailEntry>& entries) const;
    std::string NextName(const std::string& folder) const;

    std::string mailboxDir_;
};

// Whole-file helpers shared by the host's code.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool IsDirectory(const std::string& path);
