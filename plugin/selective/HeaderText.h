#pragma once
// A header value as the list shows it, in UTF-16: encoded words (RFC 2047, B and
// Q, any character set CharsetText converts) decoded, the blanks between two
// adjacent words dropped, raw bytes read as CharsetText says. Pure byte work.

#include <cstddef>
#include <string>

// Decodes an unstructured value (a Subject, a display name) that
// FindRawHeaderField has unfolded. A word of an unknown or unconvertible set and
// a malformed word stay as written. Adjacent words of one set are joined before
// they are converted, so that a character split between two words survives.
// Line breaks and tabs become blanks; other control characters are dropped.
std::u16string DecodeHeaderValue(const char* value, std::size_t length);

// Appends raw header bytes that hold no encoded word, with the same treatment
// of control characters (an address, an unreadable date).
void AppendPlainHeaderText(const char* value, std::size_t length, std::u16string* out);
