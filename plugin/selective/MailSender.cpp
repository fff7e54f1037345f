#include "MailSender.h"

#include "HeaderText.h"

namespace {

struct MailboxParts {
    std::string phrase;   // the display name, quotes and comments taken off
    std::string address;  // inside the angle brackets
    std::string bare;     // an address without angle brackets, comments taken off
    std::string comment;  // the first comment, for the "address (name)" form
    bool angle = false;
};

std::string Trimmed(const std::string& text) {
    std::size_t from = 0;
    std::size_t to = text.size();
    while (from < to && (text[from] == ' ' || text[from] == '\t')) {
        ++from;
    }
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t')) {
        --to;
    }
    return text.substr(from, to - from);
}

// Skips the comment that opens at value[i] (nested ones included) and returns
// the index behind it; its text, escapes resolved, goes to text.
std::size_t SkipComment(const char* value, std::size_t length, std::size_t i, std::string* text) {
    int depth = 0;
    for (; i < length; ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < length) {
            text->push_back(value[++i]);
        } else if (c == '(') {
            if (depth++ > 0) {
                text->push_back(c);
            }
        } else if (c == ')') {
            if (--depth == 0) {
                return i + 1;
            }
            text->push_back(c);
        } else {
            text->push_back(c);
        }
    }
    return length;
}

// The index behind the quoted string that opens at value[i]; its content goes
// to text.
std::size_t SkipQuoted(const char* value, std::size_t length, std::size_t i, std::string* text) {
    for (++i; i < length; ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < length) {
            text->push_back(value[++i]);
        } else if (c == '"') {
            return i + 1;
        } else {
            text->push_back(c);
        }
    }
    return length;
}

// The first mailbox of the value. A comma ends it once an address was seen (a
// comma in an unquoted name, which some mailers write, stays part of the name).
MailboxParts ReadFirstMailbox(const char* value, std::size_t length) {
    MailboxParts parts;
    std::size_t i = 0;
    while (i < length) {
        const char c = value[i];
        if (c == '(') {
            std::string comment;
            i = SkipComment(value, length, i, &comment);
            if (parts.comment.empty()) {
                parts.comment = Trimmed(comment);
            }
            parts.phrase.push_back(' ');
            parts.bare.push_back(' ');
        } else if (c == '"') {
            std::string quoted;
            i = SkipQuoted(value, length, i, &quoted);
            parts.phrase += quoted;
            parts.bare += quoted;
        } else if (c == '<' && !parts.angle) {
            std::size_t close = i + 1;
            while (close < length && value[close] != '>') {
                ++close;
            }
            parts.address = Trimmed(std::string(value + i + 1, value + close));
            parts.angle = true;
            i = close < length ? close + 1 : length;
        } else if (c == ',' && (parts.angle || parts.bare.find('@') != std::string::npos)) {
            break;
        } else {
            if (!parts.angle) {
                parts.phrase.push_back(c);
            }
            parts.bare.push_back(c);
            ++i;
        }
    }
    return parts;
}

std::u16string PlainText(const std::string& bytes) {
    std::u16string text;
    AppendPlainHeaderText(bytes.data(), bytes.size(), &text);
    return text;
}

}  // namespace

std::u16string DecodeSender(const char* value, std::size_t length) {
    const MailboxParts parts = ReadFirstMailbox(value, length);
    if (parts.angle) {
        const std::string name = Trimmed(parts.phrase);
        if (!name.empty()) {
            return DecodeHeaderValue(name.data(), name.size());
        }
        return PlainText(parts.address);
    }
    if (!parts.comment.empty()) {
        return DecodeHeaderValue(parts.comment.data(), parts.comment.size());
    }
    return PlainText(Trimmed(parts.bare));
}
