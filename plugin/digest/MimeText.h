#pragma once
// The few pieces of MIME the digest splitter needs, on single header lines and body
// lines. Free of <windows.h>.

#include <cstdint>
#include <string>

// The delimiter lines of one multipart body: "--" + boundary and "--" + boundary + "--".
struct Delimiters {
    std::string openDelimiter;
    int32_t openDelimiterLength = 0;
    std::string closeDelimiter;
    int32_t closeDelimiterLength = 0;

    bool IsSet() const { return openDelimiterLength > 0; }
    // The boundary itself: openDelimiter without its two leading hyphens.
    std::string Boundary() const { return IsSet() ? openDelimiter.substr(2) : std::string(); }
};

// Types of a mail as far as splitting goes.
enum MailType : int {
    kMailNotSplit = 0,
    kMailMultipartMixed = 1,
    kMailMultipartDigest = 2,
};

// The boundary of multipart/mixed mails that carry a cut-here mark, never split.
extern const char kKiritorisenBoundary[];

// Where the value begins in a header line: after the first ":" and the spaces (not
// tabs) after it. A line without a colon has an empty value (its terminator).
const char* HeaderValue(const char* line);

// True for a line that begins with "Content-Type", in any letter case.
bool IsContentTypeLine(const char* line);

// Sets the delimiters from a Content-Type value. The boundary is the first quoted
// text after the first ";", whatever parameter it belongs to; when no double quote
// follows that ";", it is the token of the "boundary" parameter (boundary=abc).
// False, with the delimiters left alone, when the value names no boundary or an
// empty one: such a mail is not split.
bool ParseBoundary(const char* value, Delimiters* delimiters);

// The type for a multipart Content-Type value whose boundary has been parsed.
MailType TypeOfMultipart(const char* value, const Delimiters& delimiters);

// Delimiter lines are recognised by their beginning, in any letter case; trailing
// text does not matter. Test the close delimiter first: it begins with the open one.
bool IsCloseDelimiterLine(const char* line, const Delimiters& delimiters);
bool IsOpenDelimiterLine(const char* line, const Delimiters& delimiters);
