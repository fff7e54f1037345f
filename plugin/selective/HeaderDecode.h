#pragma once
// Turns a MIME header text (plain ASCII, base64 encoded words, ISO-2022-JP escape
// sequences) into Shift_JIS for display, in two passes: DecodeHeaderText first,
// then Iso2022JpToSjis. Pure byte work, free of <windows.h>, so that it is tested
// and fuzzed natively.

#include <cstddef>
#include <cstdint>

// Kinds of encoded word, in the order they are tried.
enum : int32_t {
    kEncodedWordNone = 0,
    kEncodedWordIso2022Jp = 1,  // "=?ISO-2022-JP?B?": the second pass converts the payload
    kEncodedWordShiftJis = 2,   // "=?SHIFT_JIS?B?": already Shift_JIS
    kEncodedWordEucJp = 3,      // "=?EUC-JP?B?": passed on unconverted
    kEncodedWordUtf7 = 4,       // "=?UTF-7?B?": passed on unconverted
};

struct CharsetPrefix {
    int32_t kind;
    const char* prefix;  // includes the encoding letter and its closing '?'
    int32_t length;
};

// The table row of a kind; the row of kind 0 (empty prefix) for a kind not in the table.
const CharsetPrefix& LookUpCharsetPrefix(int32_t kind);

// 0 to 63 for a character of the RFC 2045 alphabet, 255 for any other byte.
unsigned char Base64Value(unsigned char c);

// Decodes base64 text up to its NUL or its first group that starts outside the
// alphabet. output needs 3 bytes per started group of 4 characters plus 1. Returns the
// decoded length; output[length] is NUL. An unfinished last group yields only the
// bytes its characters fully determine ("QUI" gives 2 bytes, like "QUI=").
std::size_t Base64Decode(const char* source, char* output);

// Kind (1 to 4) of the first encoded word of text and its offset; 0 and offset 0 when
// there is none. Prefixes match without regard to ASCII case.
int32_t FindEncodedWord(const char* text, std::size_t* offset);

// Replaces every recognised encoded word by its decoded bytes (up to their first NUL)
// and copies everything else. output needs strlen(source) + 1 bytes. kind, when given,
// receives the kind of the first word (0 when none). Returns the plain bytes copied
// plus the decoded lengths. A word without its closing "?=" is copied literally.
std::size_t DecodeHeaderText(const char* source, char* output, int32_t* kind = nullptr);

// Never smaller than what Iso2022JpToSjis writes before its terminator.
std::size_t Iso2022JpToSjisLength(const char* text);

// Converts ISO-2022-JP text to Shift_JIS; output needs Iso2022JpToSjisLength(source) + 1
// bytes. Returns the bytes written, blanks in two-byte mode not counted. A two-byte-mode
// byte without a partner (at the end, or before an ESC) is dropped: half a character
// has no Shift_JIS form, and copied it could pair up with the next byte on display.
std::size_t Iso2022JpToSjis(const char* source, char* output);

// One JIS X 0208 pair (row and cell, each 0x21 to 0x7E) as its two Shift_JIS
// bytes, by arithmetic. Other bytes get what the same arithmetic gives them.
void JisPairToShiftJis(unsigned char j1, unsigned char j2, unsigned char* s1, unsigned char* s2);
