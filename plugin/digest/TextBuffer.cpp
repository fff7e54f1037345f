#include "TextBuffer.h"

#include <cstring>
#include <new>

namespace {

constexpr uint32_t kStep = 128;
// Up to this size the storage grows by one step at a time; beyond it by half its
// size, so that a mail with a line of several megabytes is read in linear time.
constexpr uint32_t kLinearLimit = 64 * kStep;
constexpr uint32_t kMaxCapacity = 0xFFFFFF80u;  // largest multiple of 128 in 32 bits

uint32_t RoundUpToStep(uint64_t size) {
    return static_cast<uint32_t>((size + kStep - 1) / kStep * kStep);
}

}  // namespace

TextBuffer::TextBuffer()
    : text(new (std::nothrow) char[kStep]), length(0), capacity(text ? kStep : 0) {
    if (text) {
        text[0] = '\0';
    }
}

TextBuffer::~TextBuffer() {
    delete[] text;
}

// Makes room for `needed` characters plus the terminator.
bool TextBuffer::Reserve(uint32_t needed) {
    if (text && needed < capacity) {
        return true;
    }
    if (needed >= kMaxCapacity) {
        return false;
    }
    // The smallest multiple of 128 above needed...
    uint64_t wanted = (static_cast<uint64_t>(needed) / kStep + 1) * kStep;
    // ...or, for long lines, half as much again as now.
    if (capacity >= kLinearLimit) {
        uint64_t grown = RoundUpToStep(static_cast<uint64_t>(capacity) + capacity / 2);
        if (grown > wanted) {
            wanted = grown;
        }
    }
    if (wanted > kMaxCapacity) {
        wanted = kMaxCapacity;
    }
    char* bigger = new (std::nothrow) char[static_cast<std::size_t>(wanted)];
    if (!bigger) {
        return false;
    }
    if (text) {
        std::memcpy(bigger, text, length + 1);
    } else {
        bigger[0] = '\0';
        length = 0;
    }
    delete[] text;
    text = bigger;
    capacity = static_cast<uint32_t>(wanted);
    return true;
}

bool TextBuffer::Append(char c) {
    if (!Reserve(length + 1)) {
        return false;
    }
    text[length] = c;
    ++length;
    text[length] = '\0';
    return true;
}

bool TextBuffer::Append(const char* bytes, uint32_t count) {
    if (count == 0) {
        return text != nullptr;
    }
    if (count > kMaxCapacity - length || !Reserve(length + count)) {
        return false;
    }
    std::memcpy(text + length, bytes, count);
    length += count;
    text[length] = '\0';
    return true;
}

void TextBuffer::Clear() {
    length = 0;
    if (text) {
        text[0] = '\0';
    }
}
