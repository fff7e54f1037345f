#pragma once
// The one way text is copied, appended or formatted into fixed buffers (the
// 260-byte path buffers above all). Every function always terminates the
// destination when it has room for at least the terminator, never writes past
// dstSize bytes, and returns false when the text had to be cut.
// Free of <windows.h>: the parsing code that runs natively uses it too.

#include <cstddef>

// Path buffers of the host and of the plug-in: 259 characters and the terminator.
constexpr std::size_t kPathBufferSize = 260;

namespace text {

// Copies src (null reads as "") into dst. False when src did not fit whole.
bool Copy(char* dst, std::size_t dstSize, const char* src);

// Copies at most srcLength bytes of src (stopping early at a NUL).
bool CopyN(char* dst, std::size_t dstSize, const char* src, std::size_t srcLength);

// Appends src (null reads as "") behind the text already in dst.
// A dst without a terminator within dstSize is left alone and false returned.
bool Append(char* dst, std::size_t dstSize, const char* src);

// Appends at most srcLength bytes of src (stopping early at a NUL).
bool AppendN(char* dst, std::size_t dstSize, const char* src, std::size_t srcLength);

// printf-style formatting into dst; false when the result was cut or the format failed.
bool Format(char* dst, std::size_t dstSize, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Length of s, null reading as 0.
std::size_t Length(const char* s);

// ASCII-only case folding: Japanese text must never be folded.
char ToLowerAscii(char c);

// True for the first byte of a Shift_JIS double-byte character.
bool IsShiftJisLeadByte(char c);

// True when the first n bytes of a and b are equal without regard to ASCII case
// (the second byte of a Shift_JIS character is compared exactly);
// a string that ends before n bytes only matches a string that ends at the same place.
bool EqualsNoCaseN(const char* a, const char* b, std::size_t n);

// True when s begins with prefix, without regard to ASCII case (null s is false).
bool StartsWithNoCase(const char* s, const char* prefix);

// True when a and b are equal without regard to ASCII case.
bool EqualsNoCase(const char* a, const char* b);

}  // namespace text
