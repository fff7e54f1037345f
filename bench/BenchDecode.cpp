// Figures for the UIDL list and the subject decoding at sizes beyond what a
// mailbox usually holds. Prints; never fails on time.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HeaderColumns.h"
#include "HeaderDecode.h"
#include "RealWorldHeaders.h"
#include "UidlList.h"

namespace {

struct Subject {
    const char* source;
    const char* expected;
};
const Subject kSubjects[] = {
#include "HeaderDecodeSubjects.inc"
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BenchAddUnique(int count) {
    // UIDLs the way Dovecot writes them by default: 8 hex digits of the UID, 8 of
    // the UIDVALIDITY.
    std::vector<std::string> uidls;
    uidls.reserve(count);
    char buffer[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "%08X%08X", i + 1, 0x5f3a1c07u);
        uidls.push_back(buffer);
    }
    CUidlList list;
    auto start = std::chrono::steady_clock::now();
    for (const std::string& uidl : uidls) {
        list.AddUnique(uidl.c_str());
    }
    double seconds = SecondsSince(start);
    std::printf("AddUnique of %d distinct UIDLs: %.3f s (%.2f us each), %d entries\n", count, seconds,
                seconds * 1e6 / count, list.GetCount());

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) {
        list.AddUnique(uidls[static_cast<std::size_t>(i) * count / 1000].c_str());
    }
    seconds = SecondsSince(start);
    std::printf("AddUnique of 1000 UIDLs already present (list of %d): %.3f s\n", count, seconds);

    start = std::chrono::steady_clock::now();
    list.RemoveAll();
    std::printf("RemoveAll of %d entries: %.4f s\n", count, SecondsSince(start));
}

void BenchDecode(int count) {
    const int kinds = static_cast<int>(sizeof kSubjects / sizeof kSubjects[0]);
    std::size_t sourceBytes = 0;
    std::size_t outputBytes = 0;
    int mismatches = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        const Subject& subject = kSubjects[i % kinds];
        // Buffers allocated per subject, as the selection dialog does.
        std::size_t sourceLength = std::strlen(subject.source);
        char* decoded = static_cast<char*>(std::malloc(sourceLength + 1));
        DecodeHeaderText(subject.source, decoded);
        std::size_t length = Iso2022JpToSjisLength(decoded);
        char* converted = static_cast<char*>(std::malloc(length + 1));
        Iso2022JpToSjis(decoded, converted);
        sourceBytes += sourceLength;
        std::size_t written = std::strlen(converted);
        outputBytes += written;
        if (std::strcmp(converted, subject.expected) != 0) {
            ++mismatches;
        }
        std::free(converted);
        std::free(decoded);
    }
    double seconds = SecondsSince(start);
    std::printf("Decoding of %d subjects (%d kinds, %.1f MB in): %.3f s (%.2f us each, %.1f MB/s), "
                "%zu bytes out, %d mismatches\n",
                count, kinds, sourceBytes / 1e6, seconds, seconds * 1e6 / count, sourceBytes / 1e6 / seconds,
                outputBytes, mismatches);
}

// The list's own decoding: subject, sender and date of whole header blocks.
void BenchHeaderColumns(int count) {
    std::vector<std::string> headers;
    for (int n = 0; n < 64; ++n) {
        headers.push_back(bench::RealWorldHeader(n));
    }
    std::size_t units = 0;
    std::size_t bytes = 0;
    int dated = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        const std::string& header = headers[static_cast<std::size_t>(i) % headers.size()];
        HeaderColumns columns = ReadHeaderColumns(header.data(), header.size());
        units += columns.subject.size() + columns.sender.size();
        bytes += header.size();
        dated += columns.dated ? 1 : 0;
    }
    double seconds = SecondsSince(start);
    std::printf("Header columns (subject, sender, date) of %d real-world headers (%.0f bytes each): %.3f s "
                "(%.2f us per header), %zu UTF-16 units, %d dated\n",
                count, static_cast<double>(bytes) / count, seconds, seconds * 1e6 / count, units, dated);
}

}  // namespace

int main() {
    BenchAddUnique(5000);
    BenchAddUnique(50000);
    BenchDecode(100000);
    BenchHeaderColumns(100000);
    return 0;
}
