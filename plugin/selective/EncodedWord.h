#pragma once
// One RFC 2047 encoded word, "=?charset?B?...?=" or "=?charset?Q?...?=": found
// only where it is well formed, so that a malformed one never takes more than its
// own bytes with it (it then stays in the text as written). Pure byte work.

#include <cstddef>
#include <string>

struct EncodedWord {
    std::size_t length = 0;       // the whole word, "=?" to "?=" included
    const char* charset = nullptr;  // points into the text; the language suffix included
    std::size_t charsetLength = 0;
    std::string bytes;            // the payload decoded, in the word's character set
};

// Reads the word that begins at text (length bytes available). False when no
// well-formed word begins there: a blank or a control character before the
// closing "?=", an encoding other than B or Q, or a B payload outside the
// alphabet. A Q payload's "=" without two hex digits is kept as a "=".
bool ParseEncodedWord(const char* text, std::size_t length, EncodedWord* word);
