// One libFuzzer target: PIKUNO_FUZZ_CHECK names the check of FuzzChecks.h it runs.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string failure = fuzzcheck::PIKUNO_FUZZ_CHECK(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "property violated: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
