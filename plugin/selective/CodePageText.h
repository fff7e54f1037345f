#pragma once
// The one place where bytes of a Windows code page become UTF-16. On Windows it
// is MultiByteToWideChar (CodePageTextWin.cpp); the native build of the
// platform-free code links a stand-in of its own. Everything else of the header
// decoding is byte work that runs everywhere.

#include <cstddef>
#include <cstdint>
#include <string>

// True when the system can convert text of this code page.
bool CodePageConvertible(uint32_t codePage);

// Appends the UTF-16 form of [bytes, bytes + length) in codePage to out; bytes
// that have no character there become U+FFFD or the code page's own default.
// False, out unchanged, when the code page cannot be converted.
bool AppendCodePageText(uint32_t codePage, const char* bytes, std::size_t length, std::u16string* out);
