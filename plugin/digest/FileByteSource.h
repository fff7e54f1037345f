#pragma once
// A ByteSource over an open file handle, owned by the caller.

#include <windows.h>

#include "ByteSource.h"

class FileByteSource : public ByteSource {
public:
    void SetHandle(HANDLE handle) { handle_ = handle; }
    bool Read(char* buffer, uint32_t size, uint32_t* got) override;
    bool StepBack() override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
