// Fuzz target for the reply parsers, built natively with clang's libFuzzer and
// the address and undefined-behaviour sanitizers (pop3-fuzz.sh). Each input is
// one reply as the server might send it; the checks are the parsers' promises.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "Pop3Reply.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// An exact-size NUL-terminated copy: a read past it is caught by the sanitizer.
char* Copy(const uint8_t* data, std::size_t size) {
    char* text = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(text, data, size);
    text[size] = '\0';
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The end test sees the raw bytes, NULs included.
    char* raw = static_cast<char*>(std::malloc(size ? size : 1));
    std::memcpy(raw, data, size);
    bool single = pop3::IsReplyComplete(raw, size, false);
    bool multi = pop3::IsReplyComplete(raw, size, true);
    // Exactly one whole line: its first LF is its last byte.
    Check(single == (size > 0 && std::memchr(raw, '\n', size) == raw + size - 1));
    Check(!multi || (size > 0 && std::memchr(raw, '\n', size)));
    // Framing out of a buffer: the end lies on an LF within the bytes, and the
    // search carried over pieces of every fourth byte finds the same end.
    for (bool multiLine : {false, true}) {
        std::size_t scan = 0;
        std::size_t end = pop3::FindReplyEnd(raw, size, multiLine, &scan);
        Check(end <= size && (end == 0 || raw[end - 1] == '\n'));
        Check(scan <= size);
        std::size_t pieceScan = 0;
        std::size_t pieceEnd = 0;
        for (std::size_t length = 0; length < size && pieceEnd == 0;) {
            length = length + 4 < size ? length + 4 : size;
            pieceEnd = pop3::FindReplyEnd(raw, length, multiLine, &pieceScan);
        }
        Check(pieceEnd == end);
    }
    std::free(raw);

    char* text = Copy(data, size);
    std::size_t length = std::strlen(text);
    int32_t lineBreaks = 0;
    for (std::size_t i = 0; i < length; ++i) {
        lineBreaks += text[i] == '\n';
    }
    int32_t* sizes = nullptr;
    int32_t count = pop3::ParseSizeListing(text, &sizes);
    Check(count >= 0 && count <= (lineBreaks > 0 ? lineBreaks - 1 : 0));
    Check((count == 0) == (sizes == nullptr));
    for (int32_t i = 0; i < count; ++i) {
        Check(sizes[i] >= 0);
    }
    std::free(sizes);
    Check(std::memcmp(text, data, length) == 0);  // the listing parse leaves the reply alone

    char* uidl = pop3::ParseUidlReply(text);
    if (uidl) {
        Check(std::strncmp(text, "+OK", 3) == 0);
        Check(uidl > text && uidl < text + length);
        Check(*uidl != '\0' && std::strpbrk(uidl, " \r\n") == nullptr);
    }
    std::free(text);

    // NextToken against strtok, with the delimiter sets the callers use.
    static const char* const kDelimiters[] = {" ", " \r\n", "\r\n"};
    char* ours = Copy(data, size);
    char* theirs = Copy(data, size);
    char* cursor = ours;
    for (int t = 0; t < 8; ++t) {
        const char* delimiters = kDelimiters[(t + (size ? data[0] : 0)) % 3];
        char* expected = std::strtok(t == 0 ? theirs : nullptr, delimiters);
        char* actual = pop3::NextToken(&cursor, delimiters);
        Check((expected == nullptr) == (actual == nullptr));
        if (expected) {
            Check(expected - theirs == actual - ours);
        }
    }
    Check(std::memcmp(ours, theirs, size + 1) == 0);
    std::free(ours);
    std::free(theirs);
    return 0;
}
