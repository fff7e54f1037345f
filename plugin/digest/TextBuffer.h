#pragma once
// One growable line of text, always terminated. Free of <windows.h>.

#include <cstdint>

class TextBuffer {
public:
    TextBuffer();
    ~TextBuffer();
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // Adds one byte at the end. False (text unchanged) when the storage could not grow.
    bool Append(char c);
    // Adds count bytes at once, growing by the same rule as the byte-wise Append.
    bool Append(const char* bytes, uint32_t count);
    // Empties the text; the storage stays allocated.
    void Clear();

    const char* Text() const { return text ? text : ""; }
    uint32_t Length() const { return length; }
    uint32_t Capacity() const { return capacity; }

private:
    bool Reserve(uint32_t needed);

    char* text;
    uint32_t length;
    uint32_t capacity;  // a multiple of 128, always above length
};
