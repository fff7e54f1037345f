#include "MailNames.h"

#include <cstring>
#include <vector>

#include "BoundedText.h"

namespace {

// Offsets of the real backslashes (not Shift_JIS trail bytes) in s.
std::vector<std::size_t> BackslashOffsets(const char* s) {
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; s[i] != '\0'; ++i) {
        if (text::IsShiftJisLeadByte(s[i]) && s[i + 1] != '\0') {
            ++i;
        } else if (s[i] == '\\') {
            offsets.push_back(i);
        }
    }
    return offsets;
}

}  // namespace

bool DeriveMailNames(const char* path, MailNames* names) {
    if (!path) {
        return false;
    }
    std::vector<std::size_t> backslashes = BackslashOffsets(path);
    if (backslashes.size() < 2) {
        return false;  // no directory above the file name
    }
    // The account directory must be a directory: the file name itself never counts.
    std::size_t fileNameStart = backslashes.back() + 1;
    std::size_t account = 0;
    bool found = false;
    for (std::size_t i = backslashes.size() - 1; i-- > 0;) {
        if (text::StartsWithNoCase(path + backslashes[i], "\\Account")) {
            account = backslashes[i];
            found = true;
            break;
        }
    }
    if (!found) {
        return false;
    }
    // The extension's dot must be in the file name: a dot further left (inbox.box)
    // would cut the folder's name and name another mail.
    const char* fileName = path + fileNameStart;
    const char* dot = std::strrchr(fileName, '.');
    if (!dot) {
        return false;
    }
    const char* nameStart = path + account + 1;
    std::string mailName(nameStart, static_cast<std::size_t>(dot - nameStart));
    std::vector<std::size_t> inner = BackslashOffsets(mailName.c_str());
    std::string accountName = mailName.substr(0, inner.empty() ? mailName.size() : inner.front());

    names->mailName = mailName;
    names->trashFolder = accountName + "\\trash.box";
    names->inboxFolder = accountName + "\\inbox.box";
    return true;
}
