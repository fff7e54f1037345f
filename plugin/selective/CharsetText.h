#pragma once
// Bytes of a header as UTF-16: in a named character set (the payload of an
// encoded word) or as raw header bytes. Byte work, with the code page
// conversion behind CodePageText.h.

#include <cstddef>
#include <string>

#include "MimeCharset.h"

// True when text in this set can be shown: a set known here whose code page, if
// it needs one, the system converts.
bool CharsetConvertible(const MimeCharset& charset);

// Appends [bytes, bytes + length) in charset to out. False, out unchanged, when
// the set cannot be converted.
bool AppendCharsetText(const MimeCharset& charset, const char* bytes, std::size_t length, std::u16string* out);

// True when [bytes, bytes + length) is well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const char* bytes, std::size_t length);

// Appends UTF-8 as UTF-16; a malformed sequence becomes one U+FFFD for each of
// its maximal subparts (a lead byte with the continuation bytes that fit it).
void AppendUtf8(const char* bytes, std::size_t length, std::u16string* out);

// Raw header bytes, outside any encoded word: ISO-2022-JP when they hold an
// escape, else UTF-8 when they are valid UTF-8, else Shift_JIS.
void AppendRawHeaderBytes(const char* bytes, std::size_t length, std::u16string* out);
