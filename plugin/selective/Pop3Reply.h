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

// The UIDL of a single-line UIDL reply, split in place: the third word
// ("+OK", number, UIDL). Null unless the reply begins with "+OK" (a refused UIDL
// names no message), null when it has fewer than three words, and null when the
// line never ended (the connection broke): its last word may be cut.
char* ParseUidlReply(char* reply);

// Stores in uidls[n - 1] a pointer to the UIDL of message n for every line
// "n uidl" of a multi-line UIDL listing (status line not examined), split in
// place. Lines whose number is outside 1..count, a repeated number and lines
// without a second word are passed over; entries without a line stay as they
// were. Reads up to the "." line or the end of the text, complete lines only.
// Returns the number of entries filled.
int32_t ParseUidlListing(char* reply, int32_t count, char** uidls);

// True when a CAPA reply (positive, the capability lines after its status line)
// lists PIPELINING, compared without regard to case.
bool CapaOffersPipelining(const char* reply);

}  // namespace pop3
