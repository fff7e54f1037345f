#include "FileByteSource.h"

bool FileByteSource::Read(char* buffer, uint32_t size, uint32_t* got) {
    DWORD read = 0;
    BOOL ok = ReadFile(handle_, buffer, size, &read, nullptr);
    *got = ok ? static_cast<uint32_t>(read) : 0;
    return ok != FALSE;
}

bool FileByteSource::StepBack() {
    LARGE_INTEGER back;
    back.QuadPart = -1;
    return SetFilePointerEx(handle_, back, nullptr, FILE_CURRENT) != FALSE;
}
