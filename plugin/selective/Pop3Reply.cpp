#include "Pop3Reply.h"

#include <cstdlib>
#include <cstring>

namespace pop3 {

std::size_t FindReplyEnd(const char* text, std::size_t length, bool multiLine, std::size_t* scan) {
    if (!text || !scan) {
        return 0;
    }
    std::size_t at = *scan;
    while (at < length) {
        const char* lf = static_cast<const char*>(std::memchr(text + at, '\n', length - at));
        if (!lf) {
            break;
        }
        std::size_t next = static_cast<std::size_t>(lf - text) + 1;
        if (at == 0) {
            if (!multiLine || text[0] == '-') {
                *scan = next;
                return next;
            }
        } else {
            std::size_t line = next - 1 - at;  // without the LF
            if (line > 0 && text[at + line - 1] == '\r') {
                --line;
            }
            if (line == 1 && text[at] == '.') {
                *scan = next;
                return next;
            }
        }
        at = next;
    }
    *scan = at;
    return 0;
}

bool IsReplyComplete(const char* text, std::size_t length, bool multiLine) {
    std::size_t scan = 0;
    return length > 0 && FindReplyEnd(text, length, multiLine, &scan) == length;
}

std::size_t GrowReplyCapacity(std::size_t capacity) {
    if (capacity < kReplyInitialCapacity) {
        return kReplyInitialCapacity;
    }
    if (capacity > static_cast<std::size_t>(-1) / 2) {
        return 0;
    }
    return capacity * 2;
}

char* NextToken(char** cursor, const char* delimiters) {
    if (!cursor || !*cursor) {
        return nullptr;
    }
    char* start = *cursor + std::strspn(*cursor, delimiters);
    if (*start == '\0') {
        *cursor = start;
        return nullptr;
    }
    char* end = start + std::strcspn(start, delimiters);
    if (*end != '\0') {
        *end = '\0';
        ++end;
    }
    *cursor = end;
    return start;
}

namespace {

// One line of the listing: [begin, end) without its line break.
struct Line {
    const char* begin;
    const char* end;
};

// Moves *cursor past the next complete line; false when no complete line is left.
bool TakeLine(const char** cursor, Line* line) {
    const char* lf = std::strchr(*cursor, '\n');
    if (!lf) {
        return false;
    }
    line->begin = *cursor;
    line->end = (lf > *cursor && lf[-1] == '\r') ? lf - 1 : lf;
    *cursor = lf + 1;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsEndLine(const Line& line) {
    return line.end - line.begin == 1 && line.begin[0] == '.';
}

int32_t SizeOfLine(const Line& line) {
    const char* p = line.begin;
    while (p < line.end && IsBlank(*p)) {
        ++p;
    }
    while (p < line.end && !IsBlank(*p)) {
        ++p;  // the message number: the line's position counts, not this
    }
    while (p < line.end && IsBlank(*p)) {
        ++p;
    }
    int64_t value = 0;
    for (; p < line.end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) {
            return INT32_MAX;
        }
    }
    return static_cast<int32_t>(value);
}

// Walks the listing lines after the status line; calls visit(size) for each.
template <typename Visit>
void ForEachListedSize(const char* reply, Visit visit) {
    const char* cursor = reply;
    Line line;
    if (!TakeLine(&cursor, &line)) {
        return;  // not even the status line is complete
    }
    while (TakeLine(&cursor, &line)) {
        if (IsEndLine(line)) {
            return;
        }
        if (line.begin == line.end) {
            continue;
        }
        if (!visit(SizeOfLine(line))) {
            return;
        }
    }
}

}  // namespace

int32_t ParseSizeListing(const char* reply, int32_t** sizes) {
    if (sizes) {
        *sizes = nullptr;
    }
    if (!reply || !sizes) {
        return 0;
    }
    int32_t count = 0;
    ForEachListedSize(reply, [&count](int32_t) {
        if (count == INT32_MAX) {
            return false;
        }
        ++count;
        return true;
    });
    if (count == 0) {
        return 0;
    }
    int32_t* table = static_cast<int32_t*>(std::malloc(static_cast<std::size_t>(count) * sizeof(int32_t)));
    if (!table) {
        return 0;
    }
    int32_t filled = 0;
    ForEachListedSize(reply, [&](int32_t size) {
        table[filled++] = size;
        return filled < count;
    });
    *sizes = table;
    return count;
}

bool IsUsableUidl(const char* uidl, std::size_t length) {
    if (!uidl || length < 1 || length > kUidlMaxLength) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(uidl[i]);
        if (byte < 0x21 || byte > 0x7E) {
            return false;
        }
    }
    return true;
}

namespace {

bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// Cuts the line that begins at line at its LF (and a CR right before it):
// returns its end and sets *next to the line after it; null when the text ends
// before an LF.
char* EndOfLine(char* line, char** next) {
    char* lf = std::strchr(line, '\n');
    if (!lf) {
        return nullptr;
    }
    *next = lf + 1;
    *lf = '\0';
    if (lf > line && lf[-1] == '\r') {
        *--lf = '\0';
    }
    return lf;
}

// The decimal number at *cursor, moved past it; -1 when there is none or it is
// followed by anything but a blank or the line's end. Saturates above limit.
int64_t TakeNumber(char** cursor, int64_t limit) {
    char* p = *cursor;
    int64_t value = 0;
    if (*p < '0' || *p > '9') {
        return -1;
    }
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= limit) {
            value = value * 10 + (*p - '0');
        }
    }
    if (*p != '\0' && !IsSpaceOrTab(*p)) {
        return -1;
    }
    *cursor = p;
    return value;
}

// "number blanks uidl blanks" over [line, end): the UIDL, terminated in place,
// when the line has that form and the UIDL is usable; *number is the number
// (-1 when there is none).
char* SplitUidlLine(char* line, char* end, int64_t limit, int64_t* number) {
    char* p = line;
    while (IsSpaceOrTab(*p)) {
        ++p;
    }
    *number = TakeNumber(&p, limit);
    if (*number < 0) {
        return nullptr;
    }
    while (IsSpaceOrTab(*p)) {
        ++p;
    }
    char* uidl = p;
    while (end > uidl && IsSpaceOrTab(end[-1])) {
        --end;
    }
    if (!IsUsableUidl(uidl, static_cast<std::size_t>(end - uidl))) {
        return nullptr;
    }
    *end = '\0';
    return uidl;
}

}  // namespace

char* ParseUidlReply(char* reply, int32_t n) {
    if (!reply || std::strncmp(reply, "+OK", 3) != 0 || !IsSpaceOrTab(reply[3])) {
        return nullptr;
    }
    char* next = nullptr;
    char* end = EndOfLine(reply, &next);
    if (!end) {
        return nullptr;
    }
    int64_t number = -1;
    char* uidl = SplitUidlLine(reply + 4, end, INT32_MAX, &number);
    return uidl && number == n ? uidl : nullptr;
}

namespace {

// Marks an entry that two lines of the listing gave two different UIDLs.
char gContradicted[] = "";

}  // namespace

int32_t ParseUidlListing(char* reply, int32_t count, char** uidls) {
    if (!reply || !uidls || count <= 0) {
        return 0;
    }
    char* next = std::strchr(reply, '\n');
    if (!next) {
        return 0;  // not even the status line
    }
    ++next;
    int32_t filled = 0;
    for (;;) {
        char* line = next;
        char* end = EndOfLine(line, &next);
        if (!end) {
            break;
        }
        if (line[0] == '.' && line[1] == '\0') {
            break;
        }
        int64_t n = -1;
        char* uidl = SplitUidlLine(line, end, count, &n);
        if (!uidl || n < 1 || n > count) {
            continue;
        }
        char*& entry = uidls[n - 1];
        if (!entry) {
            entry = uidl;
            ++filled;
        } else if (entry != gContradicted && std::strcmp(entry, uidl) != 0) {
            entry = gContradicted;
            --filled;
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        if (uidls[i] == gContradicted) {
            uidls[i] = nullptr;
        }
    }
    return filled;
}

namespace {

bool SameWordIgnoringCase(const char* begin, const char* end, const char* word) {
    for (; begin < end && *word; ++begin, ++word) {
        char a = *begin;
        if (a >= 'a' && a <= 'z') {
            a = static_cast<char>(a - 'a' + 'A');
        }
        if (a != *word) {
            return false;
        }
    }
    return begin == end && *word == '\0';
}

}  // namespace

bool CapaOffersPipelining(const char* reply) {
    if (!reply || reply[0] != '+') {
        return false;
    }
    const char* line = std::strchr(reply, '\n');
    while (line) {
        ++line;
        const char* end = line + std::strcspn(line, " \t\r\n");
        if (SameWordIgnoringCase(line, end, "PIPELINING")) {
            return true;
        }
        line = std::strchr(line, '\n');
    }
    return false;
}

}  // namespace pop3
