#pragma once
// The host's uidl file as bytes: read as the host reads it, and rewritten so
// that every byte the change does not name stays as it was. Pure byte work,
// free of <windows.h>, so that it runs and is fuzzed natively.

#include <string>
#include <unordered_set>
#include <vector>

// The UIDLs the host finds in the file: one a line, a line ending at LF (a CR
// before it is part of the line end), the last line possibly without an end
// (a CR that ends it is dropped too, as the host drops it). Empty lines name
// nothing.
std::unordered_set<std::string> UidlFileEntries(const std::string& bytes);

// The file with every line that consists of exactly a UIDL in remove taken out,
// each with its own line end, and then each UIDL of append on a line of its own
// ending in LF. When what is left ends in a line without an end, one LF goes
// before the first appended line. Every other byte is kept.
std::string RewriteUidlFileText(const std::string& bytes, const std::unordered_set<std::string>& remove,
                                const std::vector<std::string>& append);
