#pragma once
// What must hold for any input, whoever sent it: each check runs one piece of the
// platform-free code over arbitrary bytes, in buffers of exactly the documented
// size (so that AddressSanitizer sees the first byte written beyond them), and
// returns an empty text when every property held, else what went wrong.
// The fuzz targets abort on a failure; the native tests replay the corpora and
// the regression inputs through the same checks.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzcheck {

// Both decoding passes over the input as a header text (cut at its first NUL):
// the first pass stays within strlen + 1 bytes, the second within the pre-count
// + 1; results agree with the texts written; base64 stays within its buffer.
// Then the UTF-16 decoding of the list (value, sender, date, header columns)
// over the whole input: within its bytes, no control character or lone
// surrogate shown, plain ASCII unchanged, dates within the calendar.
std::string HeaderDecode(const uint8_t* data, std::size_t size);

// The reply end test in both modes, the size listing, the UIDL reply and the
// tokenizer, over the input as one reply.
std::string Pop3Reply(const uint8_t* data, std::size_t size);

// The digest walk over the input as a mail held in memory: type detection,
// delimiters and every part, read through chunks of several sizes, which must
// all give the same result; and once more with a read failure part-way.
std::string DigestWalk(const uint8_t* data, std::size_t size);

// Mail names from the input as a path, and the bounded text functions with
// destinations of every small size.
std::string PathsAndText(const uint8_t* data, std::size_t size);

std::string SubjectExtract(const uint8_t* data, std::size_t size);

}  // namespace fuzzcheck
