#include "HostContext.h"

#include <algorithm>
#include <cstddef>

HostContext gHost;

bool HostContext::SelectAccount(const std::string& account) {
    std::vector<std::string> accounts = store.Accounts();
    if (std::find(accounts.begin(), accounts.end(), account) == accounts.end()) {
        return false;
    }
    store.EnsureAccountFolders(account);
    return SelectFolder(account + "\\inbox.box");
}

bool HostContext::SelectFolder(const std::string& folder) {
    if (!MailStore::IsSafeRelative(folder) || !IsDirectory(store.FullPath(folder))) {
        return false;
    }
    size_t slash = folder.find('\\');
    account_ = slash == std::string::npos ? folder : folder.substr(0, slash);
    folder_ = folder;
    selection_.clear();
    selectCursor_ = 0;
    NotifyChanged();
    return true;
}

bool HostContext::SetSelection(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        std::string folder, name;
        if (!MailStore::SplitEntry(entry, &folder, &name) || folder != folder_) {
            return false;
        }
    }
    selection_ = entries;
    selectCursor_ = 0;
    NotifyChanged();
    return true;
}

void HostContext::DropFromSelection(const std::string& entry) {
    for (size_t i = 0; i < selection_.size(); ++i) {
        if (selection_[i] == entry) {
            selection_.erase(selection_.begin() + static_cast<std::ptrdiff_t>(i));
            if (i < selectCursor_) {
                --selectCursor_;
            }
            break;
        }
    }
    NotifyChanged();
}

const char* HostContext::NextSelected(bool first) {
    if (first) {
        selectCursor_ = 0;
    }
    if (selectCursor_ >= selection_.size()) {
        return nullptr;
    }
    selectResult_ = selection_[selectCursor_++];
    return selectResult_.c_str();
}

void HostContext::Reset() {
    commands.Clear();
    folderWindow = nullptr;
    busy = false;
    importsBeforeRefusal = -1;
    importsTaken = 0;
    account_.clear();
    folder_.clear();
    selection_.clear();
    selectCursor_ = 0;
    onChanged = nullptr;
}
