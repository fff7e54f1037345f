#include "DigestWalk.h"

#include "BoundedText.h"
#include "LineReader.h"
#include "TextBuffer.h"

MailType DetectType(LineReader& reader, Delimiters* delimiters) {
    TextBuffer line;
    const char* value = nullptr;
    for (;;) {
        line.Clear();
        if (!reader.ReadHeaderLine(line)) {
            return kMailNotSplit;
        }
        if (IsContentTypeLine(line.Text())) {
            value = HeaderValue(line.Text());
            if (text::StartsWithNoCase(value, "multipart")) {
                break;
            }
        }
    }
    bool hasBoundary = ParseBoundary(value, delimiters);
    reader.SkipHeaders();  // reads into its own buffer: value stays valid
    if (!hasBoundary) {
        return kMailNotSplit;
    }
    return TypeOfMultipart(value, *delimiters);
}

int SeekFirstBoundary(LineReader& reader, const Delimiters& delimiters) {
    TextBuffer line;
    for (;;) {
        line.Clear();
        if (!reader.ReadLine(line)) {
            return 0;
        }
        if (IsCloseDelimiterLine(line.Text(), delimiters)) {
            return 0;
        }
        if (IsOpenDelimiterLine(line.Text(), delimiters)) {
            return 1;
        }
    }
}

PartCode ReadPart(LineReader& reader, const Delimiters& delimiters, PartSink& sink, bool* lost) {
    *lost = false;
    TextBuffer line;
    bool message = false;
    // Only the part's first Content-Type line counts.
    for (;;) {
        line.Clear();
        if (!reader.ReadHeaderLine(line)) {
            break;
        }
        if (IsContentTypeLine(line.Text())) {
            message = text::StartsWithNoCase(HeaderValue(line.Text()), "message/rfc822");
            reader.SkipHeaders();
            break;
        }
    }
    if (!message) {
        return SeekFirstBoundary(reader, delimiters) ? kPartSkipped : kPartSkippedLast;
    }

    bool stored = sink.Begin();
    PartCode code = kPartMessage;
    for (;;) {
        line.Clear();
        if (!reader.ReadLine(line)) {
            break;  // the end (or a failed read) ends the copy
        }
        if (IsCloseDelimiterLine(line.Text(), delimiters)) {
            code = kPartMessageLast;
            break;
        }
        if (IsOpenDelimiterLine(line.Text(), delimiters)) {
            break;
        }
        if (stored) {
            stored = sink.WriteLine(line.Text(), line.Length());
        }
    }
    *lost = !sink.End(stored && !reader.Failed());
    return code;
}

SplitCount SplitParts(LineReader& reader, const Delimiters& delimiters, PartSink& sink) {
    SplitCount count;
    if (!SeekFirstBoundary(reader, delimiters)) {
        return count;  // the preamble, and no part at all
    }
    for (;;) {
        bool lost = false;
        PartCode code = ReadPart(reader, delimiters, sink, &lost);
        if (code == kPartMessage || code == kPartMessageLast) {
            if (lost) {
                ++count.lost;
            } else {
                ++count.imported;
            }
        }
        if (code == kPartMessageLast || code == kPartSkippedLast) {
            return count;
        }
    }
}

bool MemoryPartSink::Begin() {
    current_.clear();
    return true;
}

bool MemoryPartSink::WriteLine(const char* text, uint32_t length) {
    current_.append(text, length);
    current_.append("\r\n");
    return true;
}

bool MemoryPartSink::End(bool complete) {
    if (!complete) {
        return false;
    }
    messages.push_back(current_);
    return true;
}
