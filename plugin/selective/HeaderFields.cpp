#include "HeaderFields.h"

#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// [line, end of line) without its LF; next receives the start of the next line.
const char* LineEnd(const char* line, const char* stop, const char** next) {
    const char* lf = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(stop - line)));
    *next = lf ? lf + 1 : stop;
    return lf ? lf : stop;
}

// An empty line (nothing, or a lone CR before its LF) ends the header.
bool IsEmptyLine(const char* line, const char* end) {
    return line == end || (end - line == 1 && *line == '\r');
}

// The colon's position when the line names the field, else null.
const char* MatchFieldName(const char* line, const char* end, const char* name) {
    std::size_t nameLength = std::strlen(name);
    if (nameLength == 0 || static_cast<std::size_t>(end - line) <= nameLength) {
        return nullptr;
    }
    for (std::size_t i = 0; i < nameLength; ++i) {
        if (LowerAscii(line[i]) != LowerAscii(name[i])) {
            return nullptr;
        }
    }
    const char* cursor = line + nameLength;
    while (cursor < end && IsBlank(*cursor)) {
        ++cursor;
    }
    return cursor < end && *cursor == ':' ? cursor : nullptr;
}

void AppendLine(const char* from, const char* end, std::string* value) {
    if (end > from && end[-1] == '\r') {
        --end;
    }
    value->append(from, static_cast<std::size_t>(end - from));
}

}  // namespace

const char* HeaderBlockOfReply(const char* reply, std::size_t length, std::size_t* blockLength) {
    const char* stop = reply + length;
    const char* header = stop;
    LineEnd(reply, stop, &header);  // the status line
    const char* line = header;
    while (line < stop) {
        const char* next = nullptr;
        const char* end = LineEnd(line, stop, &next);
        if (IsEmptyLine(line, end)) {
            break;
        }
        line = next;
    }
    *blockLength = static_cast<std::size_t>(line - header);
    return header;
}

bool FindRawHeaderField(const char* header, std::size_t length, const char* name, std::string* value) {
    value->clear();
    const char* stop = header + length;
    const char* line = header;
    while (line < stop) {
        const char* next = nullptr;
        const char* end = LineEnd(line, stop, &next);
        if (IsEmptyLine(line, end)) {
            return false;
        }
        const char* colon = IsBlank(*line) ? nullptr : MatchFieldName(line, end, name);
        if (!colon) {
            line = next;
            continue;
        }
        const char* from = colon + 1;
        while (from < end && IsBlank(*from)) {
            ++from;
        }
        AppendLine(from, end, value);
        // Continuation lines begin with a blank or a tab; the line break before
        // them goes, the blank stays.
        for (line = next; line < stop && IsBlank(*line); line = next) {
            end = LineEnd(line, stop, &next);
            AppendLine(line, end, value);
        }
        return true;
    }
    return false;
}
