#pragma once
// The few memory functions the header decoding tests use to fence a text against
// an unreadable page, on top of mmap, so that those tests also run natively.
// Nothing else of Windows is here on purpose: platform-free code must not need it.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;

struct SYSTEM_INFO {
    DWORD dwPageSize;
};

#define MEM_RESERVE 0x2000
#define MEM_COMMIT 0x1000
#define MEM_RELEASE 0x8000
#define PAGE_READWRITE 0x04
#define PAGE_NOACCESS 0x01

inline void GetSystemInfo(SYSTEM_INFO* info) {
    info->dwPageSize = static_cast<DWORD>(sysconf(_SC_PAGESIZE));
}

// munmap needs the size that VirtualFree is not given: the shim keeps the size of
// the last mapping (the tests hold one mapping at a time).
inline std::size_t& ShimLastMappingSize() {
    static std::size_t size = 0;
    return size;
}

inline void* VirtualAlloc(void*, std::size_t size, DWORD, DWORD) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        return nullptr;
    }
    ShimLastMappingSize() = size;
    return p;
}

inline BOOL VirtualProtect(void* address, std::size_t size, DWORD protection, DWORD* old) {
    if (old) {
        *old = PAGE_READWRITE;
    }
    int prot = protection == PAGE_NOACCESS ? PROT_NONE : PROT_READ | PROT_WRITE;
    return mprotect(address, size, prot) == 0;
}

inline BOOL VirtualFree(void* address, std::size_t, DWORD) {
    return munmap(address, ShimLastMappingSize()) == 0;
}
