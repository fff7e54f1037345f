#pragma once
// Header fields of a mail header as the server sent them: found by name and
// unfolded, not decoded. Pure byte work, free of <windows.h>, so that it runs
// and is fuzzed natively.

#include <cstddef>
#include <string>

// The header block of a TOP reply: what follows the status line, up to the
// empty line that ends the header (or the end of the reply). Never null for a
// non-null reply; points into it.
const char* HeaderBlockOfReply(const char* reply, std::size_t length, std::size_t* blockLength);

// The value of the first field called name (compared without regard to ASCII
// case, the whole name, optional blanks before the colon) in the header block
// [header, header + length). The value is what follows the colon less leading
// blanks and tabs, with every line break that is followed by a blank or a tab
// removed (unfolding: the blank itself stays) and the trailing CR of its last
// line removed. A line ends at LF; a CR elsewhere is part of the line. The
// header ends at its first empty line. False (value emptied) when no field has
// that name.
bool FindRawHeaderField(const char* header, std::size_t length, const char* name, std::string* value);
