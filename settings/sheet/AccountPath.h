#pragma once
// Pieces of text the filter page works with, kept apart from the windows.

#include <cstddef>
#include <cstdint>

// The account directory name in an account path: of the path's non-empty
// backslash-separated components, the last one after the first ("C:\Mail\Account1\"
// gives "Account1"). False, with an empty buffer, when there is none after the
// first or it does not fit.
bool CurrentAccountName(const char* accountPath, char* buffer, std::size_t bufferSize);

// The size field: surrounding blanks, then a non-empty run of decimal digits no
// larger than 2147483647 (the file holds a signed decimal). False otherwise.
bool ParseSizeText(const char* text, uint32_t* value);
