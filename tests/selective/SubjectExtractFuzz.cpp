// Fuzz target for the Subject extraction, built natively with clang's libFuzzer
// and the address and undefined-behaviour sanitizers (subject-fuzz.sh). Each
// input is one TOP reply as a server might send it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "SubjectExtract.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // An exact-size NUL-terminated copy: a read past it is caught by the sanitizer.
    char* reply = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(reply, data, size);
    reply[size] = '\0';
    const std::size_t length = std::strlen(reply);

    char* subject = ExtractSubjectFromReply(reply);
    Check(subject != nullptr);
    if (subject != kNoSubject) {
        // Decoding only ever shrinks: base64 takes 4 characters for 3 bytes, escape
        // sequences vanish, a JIS character stays two bytes.
        Check(std::strlen(subject) <= length);
    }
    ReleaseSubject(subject);
    std::free(reply);
    return 0;
}
