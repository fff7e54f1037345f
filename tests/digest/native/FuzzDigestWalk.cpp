// libFuzzer target for the windows.h-free reader and walk (built natively by
// run-native.sh). The oracle is the reader's promise: reading through a buffer
// behaves exactly like reading one byte at a time. Every input is read with several
// chunk sizes, and any difference in results, texts or positions aborts.
//
// Input: byte 0 chooses the mode; in reader mode the next 8 bytes are a program of
// reading operations and the rest is the mail; in walk mode all of the rest is
// the mail.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ByteSource.h"
#include "DigestWalk.h"
#include "LineReader.h"
#include "TextBuffer.h"

namespace {

const uint32_t kChunks[] = {1, 2, 7, LineReader::kDefaultChunkSize};

struct Trace {
    std::vector<std::string> events;
    bool operator!=(const Trace& other) const { return events != other.events; }
};

void Fail(const char* what) {
    std::fprintf(stderr, "buffered and byte-wise reading differ: %s\n", what);
    std::abort();
}

Trace RunReader(const uint8_t* program, const char* mail, uint32_t size, uint32_t chunk) {
    MemoryByteSource source(mail, size);
    LineReader reader;
    reader.Attach(&source, chunk);
    TextBuffer buffer;
    Trace trace;
    for (int round = 0; round < 64; ++round) {
        uint8_t op = program[round % 8];
        int result = 0;
        switch (op % 4) {
        case 0:
            buffer.Clear();
            result = reader.ReadLine(buffer);
            break;
        case 1:
            result = reader.ReadLine(buffer);  // appending
            break;
        case 2:
            buffer.Clear();
            result = reader.ReadHeaderLine(buffer);
            break;
        default:
            reader.SkipHeaders();
            break;
        }
        // The text must stay terminated and contain no line end bytes.
        if (buffer.Text()[buffer.Length()] != '\0') {
            Fail("terminator");
        }
        for (uint32_t i = 0; i < buffer.Length(); ++i) {
            if (buffer.Text()[i] == '\r' || buffer.Text()[i] == '\n') {
                Fail("line end inside a line");
            }
        }
        trace.events.push_back(std::to_string(op % 4) + ":" + std::to_string(result) + ":" +
                               std::to_string(reader.Position()) + ":" + std::string(buffer.Text(), buffer.Length()));
        if (reader.Position() > size) {
            Fail("position past the end");
        }
    }
    return trace;
}

Trace RunWalk(const char* mail, uint32_t size, uint32_t chunk) {
    MemoryByteSource source(mail, size);
    LineReader reader;
    reader.Attach(&source, chunk);
    Delimiters delimiters;
    Trace trace;
    MailType type = DetectType(reader, &delimiters);
    trace.events.push_back("type " + std::to_string(type) + " " + delimiters.openDelimiter);
    if (type != kMailNotSplit) {
        MemoryPartSink sink;
        SplitCount count = SplitParts(reader, delimiters, sink);
        trace.events.push_back("count " + std::to_string(count.imported) + " " + std::to_string(count.lost));
        if (static_cast<std::size_t>(count.imported) != sink.messages.size() || count.lost != 0) {
            Fail("count");
        }
        for (const std::string& message : sink.messages) {
            for (std::size_t i = 0; i < message.size(); ++i) {
                bool crOk = message[i] != '\r' || (i + 1 < message.size() && message[i + 1] == '\n');
                bool lfOk = message[i] != '\n' || (i > 0 && message[i - 1] == '\r');
                if (!crOk || !lfOk) {
                    Fail("a message line not ended by CR LF");
                }
            }
            trace.events.push_back(message);
        }
    }
    trace.events.push_back("end " + std::to_string(reader.Position()));
    return trace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) {
        return 0;
    }
    if (data[0] & 1) {
        if (size < 9) {
            return 0;
        }
        const char* mail = reinterpret_cast<const char*>(data + 9);
        uint32_t mailSize = static_cast<uint32_t>(size - 9);
        Trace first = RunReader(data + 1, mail, mailSize, kChunks[0]);
        for (uint32_t chunk : kChunks) {
            if (RunReader(data + 1, mail, mailSize, chunk) != first) {
                Fail("reader operations");
            }
        }
    } else {
        const char* mail = reinterpret_cast<const char*>(data + 1);
        uint32_t mailSize = static_cast<uint32_t>(size - 1);
        Trace first = RunWalk(mail, mailSize, kChunks[0]);
        for (uint32_t chunk : kChunks) {
            if (RunWalk(mail, mailSize, chunk) != first) {
                Fail("walk");
            }
        }
    }
    return 0;
}
