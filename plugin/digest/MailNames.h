#pragma once
// The names the host uses for a mail file and its account's folders, derived from
// the file's full path. Free of <windows.h>.

#include <string>

struct MailNames {
    std::string mailName;     // e.g. Account2\inbox.box\00000042
    std::string trashFolder;  // e.g. Account2\trash.box
    std::string inboxFolder;  // e.g. Account2\inbox.box
};

// The account directory is the path component nearest to the file name that
// begins with "Account" (any letter case); the mail name runs from it to the file
// name's extension. False, with *names left alone, when the path has no such
// directory above the file, or the file name has no extension to cut: the mail is
// then not one the host could be asked about. Shift_JIS names are walked by
// character, so a 0x5C trail byte is never taken for a backslash.
bool DeriveMailNames(const char* path, MailNames* names);
