#include "HeaderText.h"

#include <vector>

#include "CharsetText.h"
#include "EncodedWord.h"
#include "MimeCharset.h"

namespace {

struct Segment {
    bool word;
    MimeCharset charset;  // for a word
    std::string bytes;    // a word's decoded payload, or raw bytes
};

bool IsLinearBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool OnlyBlanks(const std::string& bytes) {
    for (char c : bytes) {
        if (!IsLinearBlank(c)) {
            return false;
        }
    }
    return true;
}

void AddPlain(const char* from, const char* to, std::vector<Segment>* segments) {
    if (from < to) {
        segments->push_back(Segment{false, MimeCharset{CharsetKind::kUnknown, 0}, std::string(from, to)});
    }
}

void AddWord(const MimeCharset& charset, std::string bytes, std::vector<Segment>* segments) {
    // Blanks between two encoded words are not part of the text.
    if (segments->size() >= 2 && !segments->back().word && OnlyBlanks(segments->back().bytes) &&
        (*segments)[segments->size() - 2].word) {
        segments->pop_back();
    }
    if (!segments->empty() && segments->back().word && segments->back().charset == charset) {
        segments->back().bytes += bytes;
        return;
    }
    segments->push_back(Segment{true, charset, std::move(bytes)});
}

// Line breaks and tabs as blanks, other control characters dropped.
void Tidy(std::u16string* text, std::size_t from) {
    std::size_t kept = from;
    for (std::size_t i = from; i < text->size(); ++i) {
        char16_t c = (*text)[i];
        if (c == u'\t' || c == u'\r' || c == u'\n') {
            c = u' ';
        } else if (c < 0x20 || c == 0x7F) {
            continue;
        }
        (*text)[kept++] = c;
    }
    text->resize(kept);
}

}  // namespace

std::u16string DecodeHeaderValue(const char* value, std::size_t length) {
    std::vector<Segment> segments;
    const char* plain = value;
    std::size_t i = 0;
    while (i + 1 < length) {
        EncodedWord word;
        if (value[i] == '=' && value[i + 1] == '?' && ParseEncodedWord(value + i, length - i, &word)) {
            const MimeCharset charset = LookUpMimeCharset(word.charset, word.charsetLength);
            if (CharsetConvertible(charset)) {
                AddPlain(plain, value + i, &segments);
                AddWord(charset, std::move(word.bytes), &segments);
                i += word.length;
                plain = value + i;
                continue;
            }
        }
        ++i;
    }
    AddPlain(plain, value + length, &segments);

    std::u16string text;
    for (const Segment& segment : segments) {
        if (segment.word) {
            AppendCharsetText(segment.charset, segment.bytes.data(), segment.bytes.size(), &text);
        } else {
            AppendRawHeaderBytes(segment.bytes.data(), segment.bytes.size(), &text);
        }
    }
    Tidy(&text, 0);
    return text;
}

void AppendPlainHeaderText(const char* value, std::size_t length, std::u16string* out) {
    const std::size_t from = out->size();
    AppendRawHeaderBytes(value, length, out);
    Tidy(out, from);
}
