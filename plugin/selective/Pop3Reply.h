#pragma once
// POP3 replies as byte buffers: the end test of a read, the growth of the reply
// buffer, the LIST size listing, the UIDL reply, and a strtok-like tokenizer for
// callers that pick lines or words out of a reply (the Subject of a TOP reply).
// No sockets and no <windows.h> here, so that all of it runs without a server.

#include <cstddef>
#include <cstdint>

namespace pop3 {

// Size of a fresh reply buffer.
constexpr std::size_t kReplyInitialCapacity = 1024;

// Finds where the reply that begins at text ends. A line ends at LF, with or
// without a CR before it, so that a server writing bare LF is framed as its
// CR LF form would be. Single-line: the first line. Multi-line: up to the line
// "." (a stuffed ".." line is no end), or the first line alone when it begins
// with "-" (a refused LIST or TOP is one line only, and waiting for a terminator
// that never comes would hang the host's window).
// Returns the reply's length through its last LF, or 0 when more bytes are
// needed. *scan carries the search across calls for one reply (0 before the
// first call), so that a reply arriving in many pieces is looked at once:
// it is the offset of the first line not yet examined.
std::size_t FindReplyEnd(const char* text, std::size_t length, bool multiLine, std::size_t* scan);

// True when text[0, length) is exactly one whole reply (FindReplyEnd ends it at
// length).
bool IsReplyComplete(const char* text, std::size_t length, bool multiLine);

// Capacity for a full reply buffer: doubles, so that a long listing costs
// linear copying. 0 when the doubled size would not fit in size_t.
std::size_t GrowReplyCapacity(std::size_t capacity);

// strtok over *cursor without hidden state: skips leading delimiters, ends the
// token at the next delimiter (overwritten with NUL) and moves *cursor past it.
// Null when only delimiters are left; *cursor then points at the terminator.
char* NextToken(char** cursor, const char* delimiters);

// Parses the size listing of a LIST reply (status line not examined): after the
// status line, every line up to the "." line is one message, the n-th line being
// message n; its size is the second word (leading digits, saturating at INT32_MAX,
// 0 when there are none). Empty lines are skipped. The listing ends at the "."
// line or, when the reply was cut short, at the last complete line: the count is
// then the number of whole lines that arrived, whatever the status line announced,
// and a line cut in the middle is not counted (its size might be cut too).
// The status line's own count is never used: servers write it in several forms.
// Returns the count and stores a malloc'ed table of that many sizes in *sizes
// (null when the count is 0). When the table cannot be allocated: 0 and null.
int32_t ParseSizeListing(const char* reply, int32_t** sizes);

// Longest UIDL taken. RFC 1939 asks servers for 1 to 70 bytes; a longer one of
// the same bytes still names one message, and is taken up to this length. One
// longer than this would not fit a reply line of the bound RFC 2449 sets.
constexpr std::size_t kUidlMaxLength = 512;

// True when uidl[0, length) can be written to the host's uidl file as the name of
// one message: 1 to kUidlMaxLength bytes, each within 0x21..0x7E. Anything else
// (a CR, a blank, 0x1A, a byte of another code) would be read back by the host as
// another text, or would break its file.
bool IsUsableUidl(const char* uidl, std::size_t length);

// The UIDL of a single-line reply to "uidl n", split in place. The reply must be
// "+OK", the number n itself and a usable UIDL, separated by blanks, on a line
// that ends at LF (a CR right before it is part of the line break, a CR anywhere
// else part of the line). Blanks after the UIDL are dropped; any other byte
// after it makes the UIDL unusable. Null for a refusal, another number, no
// UIDL, an unusable one, and a line that never ended (the connection broke: its
// last word may be cut).
char* ParseUidlReply(char* reply, int32_t n);

// Stores in uidls[n - 1] a pointer to the UIDL of message n for every line
// "n uidl" of a multi-line UIDL listing (status line not examined), split in
// place; the UIDL is read as in ParseUidlReply. A line whose number is outside
// 1..count names no message of this session and is passed over, as are lines
// without a number or with an unusable UIDL. A number named twice with two
// different UIDLs contradicts itself: that message gets no entry from the
// listing (the caller asks for it alone). uidls holds count null entries on
// entry; those without a line stay null. Reads up to the "." line or the end of the text, complete lines only.
// Returns the number of entries filled.
int32_t ParseUidlListing(char* reply, int32_t count, char** uidls);

// True when a CAPA reply (positive, the capability lines after its status line)
// lists PIPELINING, compared without regard to case.
bool CapaOffersPipelining(const char* reply);

}  // namespace pop3
