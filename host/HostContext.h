#pragma once
// The host's process-wide state, as the plug-in API sees it: the mailbox, the folder
// window (its account, the folder it shows, the selected mails), the registered
// commands. The exports read and change it; the main window shows it.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "MailStore.h"

class HostContext {
public:
    MailStore store;
    CommandRegistry commands;
    HWND folderWindow = nullptr;
    bool busy = false;  // a retrieval runs
    // _VhxImportFile@12 takes this many mails, then refuses every later one as a
    // host with a full store would; -1 takes all (--refuse-import-after).
    int importsBeforeRefusal = -1;
    int importsTaken = 0;

    // Account shown in the folder window ("Account1"); empty when none.
    const std::string& CurrentAccount() const { return account_; }
    // Folder shown ("Account1\inbox.box"); empty when none.
    const std::string& CurrentFolder() const { return folder_; }
    // Chooses the account and shows its inbox; false for an unknown account.
    bool SelectAccount(const std::string& account);
    // Shows a folder (its account becomes current); clears the selection.
    bool SelectFolder(const std::string& folder);
    // Selected mails as entries ("Account1\inbox.box\00000001"), in list order.
    const std::vector<std::string>& Selection() const { return selection_; }
    // Replaces the selection; every entry must lie in the current folder.
    bool SetSelection(const std::vector<std::string>& entries);
    // A mail moved or deleted leaves the selection; a walk in progress goes on with
    // the mail that followed it.
    void DropFromSelection(const std::string& entry);

    // The selection walk of _VhxFolderGetSelectEntry@8: first=true starts over.
    // Null past the last selected mail. The string lives until the next call.
    const char* NextSelected(bool first);

    // Called when what the folder window shows changed (folder, selection, mails).
    std::function<void()> onChanged;
    void NotifyChanged() const {
        if (onChanged) {
            onChanged();
        }
    }

    // Clears everything but the store (tests).
    void Reset();

private:
    std::string account_;
    std::string folder_;
    std::vector<std::string> selection_;
    size_t selectCursor_ = 0;
    std::string selectResult_;
};

extern HostContext gHost;
