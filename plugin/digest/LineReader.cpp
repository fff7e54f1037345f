#include "LineReader.h"

#include <cstring>
#include <new>

#include "ByteSource.h"
#include "TextBuffer.h"

LineReader::~LineReader() {
    delete[] chunk_;
}

void LineReader::Attach(ByteSource* source, uint32_t chunkSize) {
    if (chunkSize == 0) {
        chunkSize = 1;
    }
    // Detaching releases the buffer, so that a queue of closed mails holds none.
    if (!source || chunkSize != chunkSize_) {
        delete[] chunk_;
        chunk_ = nullptr;
        chunkSize_ = 0;
    }
    if (source && !chunk_) {
        chunk_ = new (std::nothrow) char[chunkSize];
        chunkSize_ = chunk_ ? chunkSize : 0;
    }
    source_ = source;
    next_ = 0;
    end_ = 0;
    sourceOffset_ = 0;
    failed_ = source && !chunk_;
}

int LineReader::Fill() {
    if (!source_ || failed_) {
        return -1;
    }
    uint32_t got = 0;
    if (!source_->Read(chunk_, chunkSize_, &got)) {
        failed_ = true;
        return -1;
    }
    next_ = 0;
    end_ = got;
    sourceOffset_ += got;
    return got > 0 ? 1 : 0;
}

int LineReader::Peek() {
    if (next_ == end_) {
        if (chunkSize_ == 1 && source_ && !failed_) {
            // One read per byte: look with a read of its own and step back.
            char byte;
            uint32_t got = 0;
            if (!source_->Read(&byte, 1, &got)) {
                failed_ = true;
                return -1;
            }
            if (got == 0) {
                return -1;
            }
            if (source_->StepBack()) {
                return static_cast<unsigned char>(byte);
            }
            // Could not step back: keep the byte as the next one to consume.
            chunk_[0] = byte;
            next_ = 0;
            end_ = 1;
            sourceOffset_ += 1;
            return static_cast<unsigned char>(byte);
        }
        if (Fill() <= 0) {
            return -1;
        }
    }
    return static_cast<unsigned char>(chunk_[next_]);
}

int LineReader::ReadLine(TextBuffer& buffer) {
    bool appended = false;
    for (;;) {
        if (next_ == end_) {
            int filled = Fill();
            if (filled < 0) {
                return 0;
            }
            if (filled == 0) {
                return appended ? 1 : 0;
            }
        }
        const char* start = chunk_ + next_;
        uint32_t available = end_ - next_;
        const void* lineFeed = std::memchr(start, '\n', available);
        uint32_t span = lineFeed ? static_cast<uint32_t>(static_cast<const char*>(lineFeed) - start) : available;
        // Append the span with every CR dropped.
        const char* piece = start;
        const char* spanEnd = start + span;
        while (piece < spanEnd) {
            const void* cr = std::memchr(piece, '\r', spanEnd - piece);
            const char* pieceEnd = cr ? static_cast<const char*>(cr) : spanEnd;
            uint32_t pieceLength = static_cast<uint32_t>(pieceEnd - piece);
            if (pieceLength > 0) {
                if (!buffer.Append(piece, pieceLength)) {
                    failed_ = true;
                    return 0;
                }
                appended = true;
            }
            piece = cr ? pieceEnd + 1 : spanEnd;
        }
        next_ += span;
        if (lineFeed) {
            ++next_;
            return 1;
        }
    }
}

int LineReader::ReadHeaderLine(TextBuffer& buffer) {
    if (!ReadLine(buffer)) {
        return 0;
    }
    for (;;) {
        if (buffer.Length() == 0) {
            return 0;  // the blank line that ends the header block
        }
        int nextByte = Peek();
        if (nextByte != ' ' && nextByte != '\t') {
            return 1;
        }
        // A continuation line, appended as it stands.
        if (!ReadLine(buffer)) {
            return 0;
        }
    }
}

void LineReader::SkipHeaders() {
    TextBuffer scratch;
    while (ReadHeaderLine(scratch)) {
        scratch.Clear();
    }
}
