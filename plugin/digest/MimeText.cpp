#include "MimeText.h"

#include <cstring>

#include "BoundedText.h"

const char kKiritorisenBoundary[] = "***kiritorisen***";

const char* HeaderValue(const char* line) {
    const char* colon = std::strchr(line, ':');
    if (!colon) {
        return line + std::strlen(line);
    }
    const char* value = colon + 1;
    while (*value == ' ') {
        ++value;
    }
    return value;
}

bool IsContentTypeLine(const char* line) {
    return text::StartsWithNoCase(line, "Content-Type");
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

void SetDelimiters(const char* boundary, std::size_t length, Delimiters* delimiters) {
    delimiters->openDelimiter.assign("--");
    delimiters->openDelimiter.append(boundary, length);
    delimiters->openDelimiterLength = static_cast<int32_t>(delimiters->openDelimiter.size());
    delimiters->closeDelimiter = delimiters->openDelimiter + "--";
    delimiters->closeDelimiterLength = static_cast<int32_t>(delimiters->closeDelimiter.size());
}

// The token of the "boundary" parameter in an unquoted parameter list, or null.
const char* FindUnquotedBoundary(const char* parameters, std::size_t* length) {
    const char* p = parameters;
    while (*p) {
        while (IsBlank(*p) || *p == ';') {
            ++p;
        }
        const char* name = p;
        while (*p && *p != '=' && *p != ';' && !IsBlank(*p)) {
            ++p;
        }
        std::size_t nameLength = static_cast<std::size_t>(p - name);
        while (IsBlank(*p)) {
            ++p;
        }
        if (*p != '=') {
            continue;  // a parameter without a value: go on at the next ";"
        }
        ++p;
        while (IsBlank(*p)) {
            ++p;
        }
        const char* value = p;
        while (*p && *p != ';' && *p != '(' && !IsBlank(*p)) {
            ++p;
        }
        if (nameLength == 8 && text::EqualsNoCaseN(name, "boundary", 8)) {
            *length = static_cast<std::size_t>(p - value);
            return value;
        }
    }
    return nullptr;
}

}  // namespace

bool ParseBoundary(const char* value, Delimiters* delimiters) {
    const char* semicolon = std::strchr(value, ';');
    if (!semicolon) {
        return false;
    }
    const char* boundary = nullptr;
    std::size_t length = 0;
    const char* quote = std::strchr(semicolon + 1, '"');
    if (quote) {
        boundary = quote + 1;
        const char* closing = std::strchr(boundary, '"');
        length = closing ? static_cast<std::size_t>(closing - boundary) : std::strlen(boundary);
    } else {
        boundary = FindUnquotedBoundary(semicolon + 1, &length);
    }
    // An empty boundary would make every line that begins with "--" a delimiter.
    if (!boundary || length == 0) {
        return false;
    }
    SetDelimiters(boundary, length, delimiters);
    return true;
}

MailType TypeOfMultipart(const char* value, const Delimiters& delimiters) {
    if (text::StartsWithNoCase(value, "multipart/mixed")) {
        return delimiters.Boundary() == kKiritorisenBoundary ? kMailNotSplit : kMailMultipartMixed;
    }
    if (text::StartsWithNoCase(value, "multipart/digest")) {
        return kMailMultipartDigest;
    }
    return kMailNotSplit;
}

namespace {

bool BeginsWithDelimiter(const char* line, const std::string& delimiter, int32_t length) {
    // Every delimiter begins with "--": most lines are refused by their first byte.
    return length > 0 && line[0] == '-' && line[1] == '-' &&
           text::EqualsNoCaseN(line, delimiter.c_str(), static_cast<std::size_t>(length));
}

}  // namespace

bool IsCloseDelimiterLine(const char* line, const Delimiters& delimiters) {
    return BeginsWithDelimiter(line, delimiters.closeDelimiter, delimiters.closeDelimiterLength);
}

bool IsOpenDelimiterLine(const char* line, const Delimiters& delimiters) {
    return BeginsWithDelimiter(line, delimiters.openDelimiter, delimiters.openDelimiterLength);
}
