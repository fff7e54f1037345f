#pragma once
// EUC-JP to Shift_JIS by arithmetic, as this system converts ISO-2022-JP: both
// carry JIS X 0208, so that neither depends on the system's code page 20932 or
// 51932, which not every Windows nor Wine converts. Pure byte work.

#include <cstddef>
#include <string>

// Appends the Shift_JIS form of [source, source + length) to out: two-byte JIS X
// 0208 characters converted, half-width katakana (0x8E and a byte) as their one
// Shift_JIS byte, ASCII as it is. A JIS X 0212 character (0x8F and two bytes),
// which Shift_JIS lacks, and a lead byte without its partner become "?".
void EucJpToSjis(const char* source, std::size_t length, std::string* out);
