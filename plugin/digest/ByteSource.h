#pragma once
// Where the mail reader takes its bytes from: a mail file on Windows, memory in
// tests and in native (non-Windows) builds. Free of <windows.h>.

#include <cstdint>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes from the current position into `buffer` and moves
    // the position past them. False when the read failed; *got is 0 at the end.
    virtual bool Read(char* buffer, uint32_t size, uint32_t* got) = 0;
    // Moves the position one byte back (the step back after a look-ahead that is
    // made with a read of its own). False when that failed.
    virtual bool StepBack() = 0;
};

// A source over bytes owned by the caller, which must outlive it.
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const char* bytes, uint32_t size) : bytes_(bytes), size_(size) {}
    bool Read(char* buffer, uint32_t size, uint32_t* got) override;
    bool StepBack() override;
    uint32_t Position() const { return position_; }
    // Counts the calls, so that tests see how often the source was asked.
    uint32_t ReadCalls() const { return readCalls_; }
    // Makes every read from this offset on fail, as a broken disk would.
    void FailFrom(uint32_t offset) { failFrom_ = offset; }

private:
    const char* bytes_;
    uint32_t size_;
    uint32_t position_ = 0;
    uint32_t readCalls_ = 0;
    uint32_t failFrom_ = 0xFFFFFFFFu;
};
