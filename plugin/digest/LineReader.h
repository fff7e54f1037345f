#pragma once
// Reads a mail line by line and header by header from a ByteSource. Free of
// <windows.h>, so that the splitting walk also runs natively over memory.
//
// Reading goes through a buffer of its own, but every operation behaves as if it
// read one byte at a time: Position() always stands just after the last byte a
// caller consumed, the look-ahead of ReadHeaderLine consumes nothing, and the
// operations may be interleaved freely on one reader. Nothing but the reader may
// read the source while it is attached.

#include <cstdint>

class ByteSource;
class TextBuffer;

class LineReader {
public:
    static constexpr uint32_t kDefaultChunkSize = 64 * 1024;

    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Starts reading `source` from its current position. A chunk size of 1 makes one
    // source read per byte and takes the look-ahead with a read and a step back
    // (kept for measurement). Null detaches and releases the buffer.
    void Attach(ByteSource* source, uint32_t chunkSize = kDefaultChunkSize);

    // Appends the next physical line (without CR and LF bytes) to the buffer.
    // 1 when a line ended in LF, or when the end came after at least one appended
    // byte; 0 at the end, or when reading failed (see Failed).
    int ReadLine(TextBuffer& buffer);
    // Appends the next logical header line, continuation lines included; 0 when
    // the header block has ended (blank line consumed), at the end, or on failure.
    int ReadHeaderLine(TextBuffer& buffer);
    // Consumes header lines up to and including the blank line after them.
    void SkipHeaders();

    // Offset from where the source was attached to the first byte not yet consumed.
    uint64_t Position() const { return sourceOffset_ - (end_ - next_); }
    // True once a read failed or a line could not be held in memory: everything
    // after that point is unknown, so nothing may count as completely read.
    bool Failed() const { return failed_; }

private:
    // 1 when bytes were loaded, 0 at the end, -1 on failure.
    int Fill();
    // The next byte without consuming it, or -1 at the end (or on failure).
    int Peek();

    ByteSource* source_ = nullptr;
    char* chunk_ = nullptr;
    uint32_t chunkSize_ = 0;
    uint32_t next_ = 0;  // first unconsumed byte in chunk_
    uint32_t end_ = 0;   // bytes loaded in chunk_
    uint64_t sourceOffset_ = 0;
    bool failed_ = false;
};
