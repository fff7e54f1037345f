// Times the digest splitter on a 20 MB digest of 2,000 messages (generated, or the
// file named on the command line):
//   - the walk with buffered reading into memory: the splitter's own time;
//   - the whole SplitMailFile, with a temporary file and an import call per message
//     (the file system's share included);
//   - for reference, the walk with one read per byte, on the first part of the file.
// Prints figures; passes or fails on nothing.
//
//   bench_digest.exe                 generate a digest in the temporary directory
//   bench_digest.exe FILE            split FILE (kept; its folder must be "Account...")
//   bench_digest.exe --write FILE    only write the digest to FILE

#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchClock.h"
#include "BoundedText.h"
#include "DigestSplitter.h"
#include "DigestWalk.h"
#include "FileBytes.h"
#include "HostApi.h"
#include "MailFile.h"
#include "TempFolder.h"

namespace {

const int kMessages = 2000;
const int kLinesPerMessage = 130;

std::string MakeDigest() {
    std::string mail =
        "From: list-request@example.org\r\nTo: list@example.org\r\nSubject: Benchmark digest\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/digest; boundary=\"===============bench==\"\r\n\r\n"
        "This is a MIME digest.\r\n\r\n";
    char line[128];
    for (int m = 1; m <= kMessages; ++m) {
        mail += "--===============bench==\r\nContent-Type: message/rfc822\r\nMIME-Version: 1.0\r\n\r\n";
        text::Format(line, sizeof line,
                     "From: Sender %d <sender%d@example.com>\r\nTo: list@example.org\r\n"
                     "Subject: Message number %d of the benchmark digest\r\n",
                     m, m, m);
        mail += line;
        text::Format(line, sizeof line, "Message-ID: <%d.bench@example.com>\r\nContent-Type: text/plain\r\n\r\n", m);
        mail += line;
        for (int l = 1; l <= kLinesPerMessage; ++l) {
            text::Format(line, sizeof line,
                         "Line %3d of message %4d: the quick brown fox jumps over the lazy dog.\r\n", l, m);
            mail += line;
        }
        mail += "\r\n";
    }
    mail += "--===============bench==--\r\n";
    return mail;
}

// Keeps nothing: counts messages and bytes, so that only the walk is timed.
class CountingSink : public PartSink {
public:
    bool Begin() override { return true; }
    bool WriteLine(const char*, uint32_t length) override {
        bytes += length + 2;
        return true;
    }
    bool End(bool complete) override {
        messages += complete ? 1 : 0;
        return complete;
    }
    long long bytes = 0;
    int messages = 0;
};

int gImports = 0;
BOOL WINAPI CountImport(LPCSTR, LPCSTR, DWORD) {
    ++gImports;
    return TRUE;
}

struct WalkFigures {
    double seconds = 0;
    int messages = 0;
    uint64_t bytesRead = 0;
};

WalkFigures TimeWalk(const std::string& path, uint32_t chunk, uint64_t stopAfter) {
    WalkFigures figures;
    MailFile mail(path.c_str());
    mail.SetReadChunkSize(chunk);
    double start = bench::WallSeconds();
    if (!mail.Open()) {
        return figures;
    }
    CountingSink sink;
    if (mail.DetectType() != kMailNotSplit && mail.SeekFirstBoundary()) {
        for (;;) {
            bool lost = false;
            PartCode code = mail.ReadPart(sink, &lost);
            if (code == kPartMessageLast || code == kPartSkippedLast || mail.Position() >= stopAfter) {
                break;
            }
        }
    }
    figures.bytesRead = mail.Position();
    mail.Close();
    figures.seconds = bench::WallSeconds() - start;
    figures.messages = sink.messages;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    std::string digest;
    if (argc >= 3 && std::string(argv[1]) == "--write") {
        digest = MakeDigest();
        if (!WriteFileBytes(argv[2], digest)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        std::printf("wrote %s: %.1f MB, %d messages\n", argv[2], digest.size() / 1e6, kMessages);
        return 0;
    }
    TempFolder folder;  // holds the digest unless one is given; removed at the end
    if (argc >= 2) {
        path = argv[1];
    } else {
        path = folder.MakeFolder("Account1\\inbox.box") + "00000001.qnl";
        digest = MakeDigest();
        if (!WriteFileBytes(path, digest)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }

    gHostApi.VhxImportFile = CountImport;  // no move or delete: the source is kept

    // Buffered walk: best of three, the first run also warms the file cache.
    WalkFigures best;
    for (int run = 0; run < 3; ++run) {
        WalkFigures figures = TimeWalk(path, LineReader::kDefaultChunkSize, ~0ull);
        if (run == 0 || figures.seconds < best.seconds) {
            best = figures;
        }
    }
    std::printf("file: %s (%.1f MB)\n", path.c_str(), best.bytesRead / 1e6);
    std::printf("splitter walk, buffered reads:     %8.3f s  (%d messages, %.0f MB/s)\n", best.seconds, best.messages,
                best.bytesRead / 1e6 / best.seconds);

    // The whole treatment, temporary files and import calls included.
    DigestSettings settings = DefaultDigestSettings();
    settings.Divide = 1;
    settings.DelType = 2;
    gImports = 0;
    MailFile mail(path.c_str());
    double start = bench::WallSeconds();
    SplitMailFile(mail, settings, nullptr);
    double whole = bench::WallSeconds() - start;
    std::printf("SplitMailFile with temporary files: %8.3f s  (%d imports)\n", whole, gImports);

    // The floor under that: the same file calls alone, without any reading.
    std::string block(10 * 1024, 'x');
    start = bench::WallSeconds();
    for (int i = 0; i < kMessages; ++i) {
        char name[MAX_PATH];
        char tempDir[MAX_PATH];
        GetTempPathA(sizeof tempDir, tempDir);
        if (GetTempFileNameA(tempDir, "dgtm", 0, name) == 0) {
            break;
        }
        HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
        CloseHandle(file);
        DeleteFileA(name);
    }
    double floor = bench::WallSeconds() - start;
    std::printf("temporary file calls alone:         %8.3f s  (%d cycles of 10 KB)\n", floor, kMessages);

    // One read per byte, on the first 2 MB only (about 40 s for the whole file).
    const uint64_t sample = 2000000;
    WalkFigures slow = TimeWalk(path, 1, sample);
    double perMb = slow.seconds / (slow.bytesRead / 1e6);
    std::printf("splitter walk, one read per byte:  %8.3f s  for the first %.1f MB (%.2f MB/s; about %.0f s for %.1f MB)\n",
                slow.seconds, slow.bytesRead / 1e6, 1 / perMb, perMb * best.bytesRead / 1e6, best.bytesRead / 1e6);

    // Machine-readable lines for tools/bench-digest.sh.
    std::printf("result walk_buffered_s %.3f\n", best.seconds);
    std::printf("result split_with_temp_files_s %.3f\n", whole);
    std::printf("result temp_file_floor_s %.3f\n", floor);
    std::printf("result walk_per_byte_estimated_s %.1f\n", perMb * best.bytesRead / 1e6);
    return 0;
}
