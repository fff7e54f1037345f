// libFuzzer target for the two decoding passes, built natively with AddressSanitizer:
// every buffer is allocated at exactly the size the callers use, so one byte read or
// written too many is reported. Run by tests/selective/fuzz/fuzz-decode.sh.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "HeaderDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input up to its first NUL is the text, held in a block of exactly its size.
    size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    char* source = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(source, data, length);
    source[length] = '\0';

    char* decoded = static_cast<char*>(std::malloc(length + 1));
    int32_t kind = -1;
    size_t total = DecodeHeaderText(source, decoded, &kind);
    if (total > length || std::strlen(decoded) > length || kind < 0 || kind > 4) {
        std::abort();
    }

    const char* inputs[] = {decoded, source};
    for (const char* input : inputs) {
        size_t bound = Iso2022JpToSjisLength(input);
        char* converted = static_cast<char*>(std::malloc(bound + 1));
        size_t count = Iso2022JpToSjis(input, converted);
        if (count > bound) {
            std::abort();
        }
        std::free(converted);
    }

    // Base64Decode alone, with its buffer sized from the source.
    char* bytes = static_cast<char*>(std::malloc((length + 3) / 4 * 3 + 1));
    Base64Decode(source, bytes);
    std::free(bytes);

    std::free(decoded);
    std::free(source);
    return 0;
}
