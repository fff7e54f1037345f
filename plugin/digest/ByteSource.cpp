#include "ByteSource.h"

#include <cstring>

bool MemoryByteSource::Read(char* buffer, uint32_t size, uint32_t* got) {
    ++readCalls_;
    *got = 0;
    uint32_t left = size_ - position_;
    uint32_t count = size < left ? size : left;
    if (count > 0 && position_ + count > failFrom_) {
        return false;
    }
    if (count > 0) {
        std::memcpy(buffer, bytes_ + position_, count);
    }
    position_ += count;
    *got = count;
    return true;
}

bool MemoryByteSource::StepBack() {
    if (position_ == 0) {
        return false;
    }
    --position_;
    return true;
}
