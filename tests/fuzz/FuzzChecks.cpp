#include "FuzzChecks.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "BoundedText.h"
#include "ByteSource.h"
#include "DigestWalk.h"
#include "HeaderColumns.h"
#include "HeaderDecode.h"
#include "HeaderText.h"
#include "MailDate.h"
#include "MailSender.h"
#include "LineReader.h"
#include "MailNames.h"
#include "Pop3Reply.h"
#include "SubjectExtract.h"

namespace fuzzcheck {

namespace {

// A heap block of exactly `size` bytes, pre-filled with 0xcc, so that a byte
// written or read beyond it is caught and a missing terminator shows.
class ExactBlock {
public:
    explicit ExactBlock(std::size_t size) : size_(size), bytes_(static_cast<char*>(std::malloc(size ? size : 1))) {
        std::memset(bytes_, 0xcc, size ? size : 1);
    }
    ~ExactBlock() { std::free(bytes_); }
    ExactBlock(const ExactBlock&) = delete;
    ExactBlock& operator=(const ExactBlock&) = delete;
    char* Get() const { return bytes_; }
    std::size_t Size() const { return size_; }
    bool Terminated() const { return size_ > 0 && std::memchr(bytes_, '\0', size_) != nullptr; }

private:
    std::size_t size_;
    char* bytes_;
};

// The input up to its first NUL, in a block of exactly its length + 1.
std::unique_ptr<ExactBlock> CText(const uint8_t* data, std::size_t size) {
    const void* nul = std::memchr(data, 0, size);
    std::size_t length = nul ? static_cast<const uint8_t*>(nul) - data : size;
    auto block = std::make_unique<ExactBlock>(length + 1);
    std::memcpy(block->Get(), data, length);
    block->Get()[length] = '\0';
    return block;
}

class Failures {
public:
    template <typename T>
    Failures& operator<<(const T& value) {
        stream_ << value;
        return *this;
    }
    void Check(bool holds, const char* what) {
        if (!holds && stream_.tellp() == 0) {
            stream_ << what;
        }
    }
    std::string Text() const { return stream_.str(); }

private:
    std::ostringstream stream_;
};

bool StartsWithNoCase(const char* s, const char* prefix) {
    return text::StartsWithNoCase(s, prefix);
}

// No control character, no surrogate without its partner, and never more code
// units than the value had bytes (no byte decodes to more than one unit).
void CheckDisplayText(const std::u16string& text, std::size_t sourceLength, const char* what, Failures* f) {
    f->Check(text.size() <= sourceLength, what);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        f->Check(c >= 0x20 && c != 0x7F, what);
        if (c >= 0xD800 && c <= 0xDBFF) {
            f->Check(i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF, what);
            ++i;
        } else {
            f->Check(c < 0xDC00 || c > 0xDFFF, what);
        }
    }
}

// The UTF-16 decoding of the list over the input as a value and as a header
// block, in a block of exactly its size (no terminator to stop an over-read).
void CheckUtf16Decoding(const uint8_t* data, std::size_t size, Failures* f) {
    ExactBlock exact(size);
    std::memcpy(exact.Get(), data, size);
    const char* value = exact.Get();

    const std::u16string text = DecodeHeaderValue(value, size);
    CheckDisplayText(text, size, "DecodeHeaderValue: control, lone surrogate or too long", f);
    bool plainAscii = true;
    for (std::size_t i = 0; i < size && plainAscii; ++i) {
        plainAscii = data[i] >= 0x20 && data[i] < 0x7F && !(data[i] == '=' && i + 1 < size && data[i + 1] == '?');
    }
    if (plainAscii) {
        f->Check(text == std::u16string(value, value + size), "DecodeHeaderValue: plain ASCII changed");
    }
    CheckDisplayText(DecodeSender(value, size), size, "DecodeSender: control, lone surrogate or too long", f);

    int64_t seconds = 0;
    if (ParseMailDate(value, size, &seconds)) {
        const CivilTime t = CivilFromUtcSeconds(seconds);
        // A zone moves the day by at most one across the readable years.
        f->Check(t.year >= 1600 && t.year <= 10000 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
                     t.day <= 31 && t.hour <= 23 && t.minute <= 59 && t.second <= 59,
                 "ParseMailDate: a time outside the calendar");
    }

    const HeaderColumns columns = ReadHeaderColumns(value, size);
    CheckDisplayText(columns.sender, size, "ReadHeaderColumns: sender", f);
    CheckDisplayText(columns.dateText, size, "ReadHeaderColumns: date text", f);
    f->Check(!columns.dated || columns.dateText.empty(), "ReadHeaderColumns: a read date with a text");
}

}  // namespace

std::string HeaderDecode(const uint8_t* data, std::size_t size) {
    Failures f;
    auto source = CText(data, size);
    const char* src = source->Get();
    std::size_t length = std::strlen(src);

    std::size_t offset = 99;
    int32_t found = FindEncodedWord(src, &offset);
    f.Check(found >= 0 && found <= 4, "FindEncodedWord: kind outside 0..4");
    if (found == 0) {
        f.Check(offset == 0, "FindEncodedWord: offset not 0 without a word");
    } else {
        f.Check(offset < length, "FindEncodedWord: offset beyond the text");
        if (offset < length) {
            f.Check(StartsWithNoCase(src + offset, LookUpCharsetPrefix(found).prefix),
                    "FindEncodedWord: the text at the offset is not the kind's prefix");
        }
    }

    // First pass: strlen(source) + 1 bytes.
    ExactBlock first(length + 1);
    int32_t kind = -1;
    std::size_t total = DecodeHeaderText(src, first.Get(), &kind);
    f.Check(first.Terminated(), "DecodeHeaderText: no terminator within strlen + 1 bytes");
    if (!first.Terminated()) {
        return f.Text();
    }
    std::size_t firstLength = std::strlen(first.Get());
    f.Check(kind == found, "DecodeHeaderText: kind differs from FindEncodedWord");
    f.Check(total <= length, "DecodeHeaderText: result above the source length");
    f.Check(firstLength <= total, "DecodeHeaderText: more bytes written than counted");
    if (found == 0) {
        f.Check(std::strcmp(first.Get(), src) == 0, "DecodeHeaderText: text without a word changed");
    }

    // Second pass: the pre-count + 1 bytes, over the first pass's output and over
    // the raw source (a header may carry raw JIS).
    for (const char* input : {static_cast<const char*>(first.Get()), src}) {
        std::size_t count = Iso2022JpToSjisLength(input);
        ExactBlock second(count + 1);
        std::size_t written = Iso2022JpToSjis(input, second.Get());
        f.Check(second.Terminated(), "Iso2022JpToSjis: no terminator within the pre-count + 1 bytes");
        if (!second.Terminated()) {
            return f.Text();
        }
        std::size_t secondLength = std::strlen(second.Get());
        f.Check(secondLength <= count, "Iso2022JpToSjis: wrote more than the pre-count");
        // Not written <= strlen: a control byte in two-byte mode converts to a 0x00
        // lead byte, which only ends the displayed text early.
        f.Check(written <= count, "Iso2022JpToSjis: counted more than the pre-count");
        if (!std::strchr(input, 0x1B)) {
            f.Check(std::strcmp(second.Get(), input) == 0, "Iso2022JpToSjis: text without ESC changed");
        }
    }

    // Base64 alone: 3 bytes per started group of four, and the terminator.
    ExactBlock decoded((length + 3) / 4 * 3 + 1);
    std::size_t decodedLength = Base64Decode(src, decoded.Get());
    f.Check(decodedLength < decoded.Size() && decoded.Get()[decodedLength] == '\0',
            "Base64Decode: length beyond the buffer or not terminated there");

    CheckUtf16Decoding(data, size, &f);
    return f.Text();
}

namespace {

// A whole multi-line reply and nothing behind it: lines end at LF (a CR before
// it is not part of the line); the first line alone when it begins with "-",
// otherwise up to the first later line that is ".".
bool MultiLineReference(const char* text, std::size_t length) {
    std::string all(text, length);
    std::size_t first = all.find('\n');
    if (first == std::string::npos) {
        return false;
    }
    if (all[0] == '-') {
        return first + 1 == length;
    }
    std::size_t start = first + 1;
    while (start < length) {
        std::size_t lf = all.find('\n', start);
        if (lf == std::string::npos) {
            return false;
        }
        std::string line = all.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == ".") {
            return lf + 1 == length;
        }
        start = lf + 1;
    }
    return false;
}

}  // namespace

std::string Pop3Reply(const uint8_t* data, std::size_t size) {
    Failures f;
    const char* raw = reinterpret_cast<const char*>(data);
    // Exactly one whole line: its first LF is its last byte.
    const void* firstLf = size > 0 ? std::memchr(raw, '\n', size) : nullptr;
    f.Check(pop3::IsReplyComplete(raw, size, false) == (size > 0 && firstLf == raw + size - 1),
            "IsReplyComplete: single-line end test wrong");
    f.Check(pop3::IsReplyComplete(raw, size, true) == MultiLineReference(raw, size),
            "IsReplyComplete: multi-line end test wrong");
    std::size_t grown = pop3::GrowReplyCapacity(size);
    f.Check(grown == 0 || grown > size, "GrowReplyCapacity: did not grow");

    // Framing out of a receive buffer: the end lies on an LF within the bytes, and
    // a search carried over pieces of four bytes finds the same end as one search.
    for (bool multiLine : {false, true}) {
        std::size_t scan = 0;
        std::size_t end = pop3::FindReplyEnd(raw, size, multiLine, &scan);
        f.Check(end <= size && (end == 0 || raw[end - 1] == '\n'), "FindReplyEnd: end not after an LF");
        f.Check(scan <= size, "FindReplyEnd: scan position beyond the bytes");
        std::size_t pieceScan = 0;
        std::size_t pieceEnd = 0;
        for (std::size_t length = 0; length < size && pieceEnd == 0;) {
            length = length + 4 < size ? length + 4 : size;
            pieceEnd = pop3::FindReplyEnd(raw, length, multiLine, &pieceScan);
        }
        f.Check(pieceEnd == end, "FindReplyEnd: pieces find another end than the whole");
    }

    auto reply = CText(data, size);
    std::size_t length = std::strlen(reply->Get());
    std::size_t lineFeeds = 0;
    for (std::size_t i = 0; i < length; ++i) {
        lineFeeds += reply->Get()[i] == '\n';
    }

    int32_t* sizes = reinterpret_cast<int32_t*>(1);
    int32_t count = pop3::ParseSizeListing(reply->Get(), &sizes);
    f.Check(count >= 0, "ParseSizeListing: negative count");
    f.Check((sizes == nullptr) == (count == 0), "ParseSizeListing: table and count disagree");
    f.Check(static_cast<std::size_t>(count) <= lineFeeds, "ParseSizeListing: more messages than lines");
    for (int32_t i = 0; i < count && sizes; ++i) {
        f.Check(sizes[i] >= 0, "ParseSizeListing: negative size");
    }
    std::free(sizes);
    f.Check(std::strlen(reply->Get()) == length, "ParseSizeListing: changed the reply");

    auto uidlReply = CText(data, size);
    char* begin = uidlReply->Get();
    bool positive = std::strncmp(begin, "+OK", 3) == 0;
    // The number the reply must carry: the first digits after the status, when any.
    int32_t asked = static_cast<int32_t>(std::strtol(length > 4 ? begin + 4 : "1", nullptr, 10));
    char* uidl = pop3::ParseUidlReply(begin, asked);
    if (uidl) {
        f.Check(positive, "ParseUidlReply: a UIDL from a refusal");
        f.Check(uidl > begin && uidl < begin + length, "ParseUidlReply: token outside the reply");
        f.Check(pop3::IsUsableUidl(uidl, std::strlen(uidl)), "ParseUidlReply: a UIDL the host's file cannot hold");
    }

    auto tokens = CText(data, size);
    char* cursor = tokens->Get();
    std::size_t rounds = 0;
    while (char* token = pop3::NextToken(&cursor, " \r\n")) {
        f.Check(token >= tokens->Get() && token < tokens->Get() + length, "NextToken: token outside the text");
        f.Check(*token != '\0' && std::strcspn(token, " \r\n") == std::strlen(token),
                "NextToken: empty token or one with a delimiter in it");
        f.Check(++rounds <= length, "NextToken: more tokens than bytes");
        if (rounds > length) {
            break;
        }
    }
    f.Check(cursor >= tokens->Get() && cursor <= tokens->Get() + length && *cursor == '\0',
            "NextToken: cursor not at the terminator at the end");

    // NextToken against strtok, switching between the delimiter sets the callers use.
    static const char* const kDelimiters[] = {" ", " \r\n", "\r\n"};
    auto ours = CText(data, size);
    auto theirs = CText(data, size);
    char* oursCursor = ours->Get();
    for (int t = 0; t < 8; ++t) {
        const char* delimiters = kDelimiters[(t + (size ? data[0] : 0)) % 3];
        char* expected = std::strtok(t == 0 ? theirs->Get() : nullptr, delimiters);
        char* actual = pop3::NextToken(&oursCursor, delimiters);
        f.Check((expected == nullptr) == (actual == nullptr), "NextToken: finds a token where strtok does not, or none where it does");
        if (expected && actual) {
            f.Check(expected - theirs->Get() == actual - ours->Get(), "NextToken: another token than strtok's");
        }
    }
    f.Check(std::memcmp(ours->Get(), theirs->Get(), length + 1) == 0, "NextToken: cuts the text unlike strtok");
    return f.Text();
}

namespace {

struct WalkOutcome {
    MailType type = kMailNotSplit;
    Delimiters delimiters;
    SplitCount count;
    std::vector<std::string> messages;
    bool failed = false;
    uint64_t position = 0;
};

WalkOutcome Walk(const uint8_t* data, uint32_t size, uint32_t chunk, uint32_t failFrom) {
    MemoryByteSource source(reinterpret_cast<const char*>(data), size);
    source.FailFrom(failFrom);
    LineReader reader;
    reader.Attach(&source, chunk);
    WalkOutcome outcome;
    outcome.type = DetectType(reader, &outcome.delimiters);
    if (outcome.type != kMailNotSplit) {
        MemoryPartSink sink;
        outcome.count = SplitParts(reader, outcome.delimiters, sink);
        outcome.messages = sink.messages;
    }
    outcome.failed = reader.Failed();
    outcome.position = reader.Position();
    return outcome;
}

std::size_t TextBytes(const char* bytes, std::size_t size) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < size; ++i) {
        n += bytes[i] != '\r' && bytes[i] != '\n';
    }
    return n;
}

}  // namespace

std::string DigestWalk(const uint8_t* data, std::size_t size) {
    Failures f;
    if (size > 0xFFFFFFF0u) {
        return std::string();
    }
    uint32_t size32 = static_cast<uint32_t>(size);
    const uint32_t kNoFailure = 0xFFFFFFFFu;
    WalkOutcome whole = Walk(data, size32, LineReader::kDefaultChunkSize, kNoFailure);

    f.Check(whole.type >= kMailNotSplit && whole.type <= kMailMultipartDigest, "DetectType: type outside 0..2");
    f.Check(!whole.failed, "walk over memory reported a read failure");
    f.Check(whole.position <= size, "reader position beyond the mail");
    f.Check(whole.count.lost == 0, "a memory sink lost a message");
    f.Check(static_cast<std::size_t>(whole.count.imported) == whole.messages.size(),
            "imported count and messages disagree");
    if (whole.type != kMailNotSplit) {
        const Delimiters& d = whole.delimiters;
        f.Check(d.IsSet() && d.openDelimiterLength == static_cast<int32_t>(d.openDelimiter.size()) &&
                    d.closeDelimiterLength == static_cast<int32_t>(d.closeDelimiter.size()) &&
                    d.closeDelimiter == d.openDelimiter + "--" && d.openDelimiter.compare(0, 2, "--") == 0 &&
                    d.openDelimiter.size() > 2,
                "delimiters inconsistent");
    }
    std::size_t copied = 0;
    for (const std::string& message : whole.messages) {
        copied += TextBytes(message.data(), message.size());
        f.Check(message.empty() || (message.size() >= 2 && message.compare(message.size() - 2, 2, "\r\n") == 0),
                "a message does not end in CR LF");
        // No delimiter line is ever copied.
        std::size_t start = 0;
        while (start < message.size()) {
            std::size_t end = message.find("\r\n", start);
            if (end == std::string::npos) {
                break;
            }
            std::string line = message.substr(start, end - start);
            f.Check(!IsOpenDelimiterLine(line.c_str(), whole.delimiters), "a delimiter line was copied");
            start = end + 2;
        }
    }
    f.Check(copied <= TextBytes(reinterpret_cast<const char*>(data), size),
            "the messages hold more text than the mail");

    // One byte per read (with its look-ahead by step back) and odd chunks give the
    // same walk as large chunks.
    for (uint32_t chunk : {1u, 3u, 17u}) {
        WalkOutcome other = Walk(data, size32, chunk, kNoFailure);
        f.Check(other.type == whole.type && other.delimiters.openDelimiter == whole.delimiters.openDelimiter &&
                    other.messages == whole.messages && other.count.imported == whole.count.imported &&
                    other.position == whole.position,
                "the chunk size changed the walk");
    }

    // A read failure part-way: nothing lost silently, nothing invented.
    if (size > 0) {
        uint32_t failFrom = static_cast<uint32_t>(static_cast<uint64_t>(data[0]) * size32 / 256);
        for (uint32_t chunk : {1u, LineReader::kDefaultChunkSize}) {
            WalkOutcome broken = Walk(data, size32, chunk, failFrom);
            f.Check(broken.messages.size() <= whole.messages.size(), "a failing read imported more");
            for (std::size_t i = 0; i < broken.messages.size() && i < whole.messages.size(); ++i) {
                f.Check(broken.messages[i] == whole.messages[i], "a failing read imported a different message");
            }
            // Once a read failed, every later read ends at once: only the message
            // being copied then can be lost, and it is reported, not imported.
            f.Check(broken.count.lost <= 1, "a failing read lost more than the message it cut");
            f.Check(broken.count.lost == 0 || broken.failed, "a message lost without a read failure");
        }
    }
    return f.Text();
}

std::string PathsAndText(const uint8_t* data, std::size_t size) {
    Failures f;
    auto path = CText(data, size);
    std::string whole = path->Get();

    MailNames names;
    names.mailName = "untouched";
    if (DeriveMailNames(path->Get(), &names)) {
        f.Check(StartsWithNoCase(names.mailName.c_str(), "Account"), "mailName does not begin with Account");
        f.Check(names.mailName.size() < whole.size() && whole.find(names.mailName) != std::string::npos,
                "mailName is not a part of the path");
        std::size_t slash = names.trashFolder.rfind("\\trash.box");
        f.Check(slash != std::string::npos && slash + 10 == names.trashFolder.size(), "trashFolder malformed");
        if (slash != std::string::npos) {
            std::string account = names.trashFolder.substr(0, slash);
            f.Check(names.mailName.compare(0, account.size(), account) == 0, "account name not a prefix of mailName");
            f.Check(names.inboxFolder == account + "\\inbox.box", "inboxFolder malformed");
        }
    } else {
        f.Check(names.mailName == "untouched", "DeriveMailNames changed the names on failure");
    }

    // Copy, Append and Format into destinations of every small size.
    std::size_t half = whole.size() / 2;
    std::string head = whole.substr(0, half);
    std::string tail = whole.substr(half);
    std::size_t limit = whole.size() + 2 < 80 ? whole.size() + 2 : 80;
    for (std::size_t dstSize = 0; dstSize <= limit; ++dstSize) {
        ExactBlock dst(dstSize);
        char* buffer = dstSize ? dst.Get() : nullptr;
        bool copied = text::Copy(buffer, dstSize, head.c_str());
        if (dstSize == 0) {
            f.Check(!copied, "Copy into nothing reported success");
            continue;
        }
        f.Check(dst.Terminated(), "Copy left no terminator");
        f.Check(copied == (head.size() < dstSize), "Copy misreported a cut");
        f.Check(head.compare(0, std::strlen(buffer), buffer) == 0, "Copy wrote other bytes");
        std::size_t before = std::strlen(buffer);
        bool appended = text::Append(buffer, dstSize, tail.c_str());
        f.Check(dst.Terminated(), "Append left no terminator");
        f.Check(appended == (before + tail.size() < dstSize), "Append misreported a cut");
        std::string joined = std::string(buffer);
        f.Check(joined.compare(0, before, head, 0, before) == 0 && tail.compare(0, joined.size() - before, joined, before) == 0,
                "Append wrote other bytes");
        ExactBlock formatted(dstSize);
        bool fitted = text::Format(formatted.Get(), dstSize, "%s|%s", head.c_str(), tail.c_str());
        f.Check(formatted.Terminated(), "Format left no terminator");
        f.Check(fitted == (head.size() + 1 + tail.size() < dstSize), "Format misreported a cut");
    }
    return f.Text();
}

std::string SubjectExtract(const uint8_t* data, std::size_t size) {
    Failures f;
    auto reply = CText(data, size);
    std::string original = reply->Get();
    bool hasSubjectLine = false;
    for (std::size_t at = 0; at <= original.size(); ) {
        if (StartsWithNoCase(original.c_str() + at, "Subject")) {
            hasSubjectLine = true;
            break;
        }
        std::size_t lf = original.find_first_of("\r\n", at);
        if (lf == std::string::npos) {
            break;
        }
        at = lf + 1;
    }
    char* subject = ExtractSubjectFromReply(reply->Get());
    f.Check(subject != nullptr, "ExtractSubjectFromReply: null");
    if (subject && subject != kNoSubject) {
        f.Check(hasSubjectLine, "ExtractSubjectFromReply: a subject without a Subject line");
        // The second pass's pre-count is at most 4 bytes for 3 of its input.
        f.Check(std::strlen(subject) <= original.size() * 4 / 3 + 1, "ExtractSubjectFromReply: subject too long");
    }
    ReleaseSubject(subject);
    return f.Text();
}

}  // namespace fuzzcheck
