#pragma once
// The account's uidl file: the UIDLs of messages already received from a server that
// keeps them, one per line. The host reads lines ending in LF or CR LF and writes
// lines ending in LF.

#include <set>
#include <string>
#include <vector>

// Every line of the file (CR before LF dropped, empty lines ignored); an absent file
// holds none.
std::set<std::string> ReadUidlFile(const std::string& path);

// Appends the UIDLs, one line each, in one write. A file whose last byte is not LF
// first gets one, so that the new first line is never joined to the old last line.
bool AppendUidlFile(const std::string& path, const std::vector<std::string>& uidls);
