#include "UidlList.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// malloc/free rather than new/delete: an allocation failure must not throw into
// the host; a failed Add leaves the list as it was.

CUidlList gUidlList;

namespace {

uint32_t HashText(const char* text) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        hash = (hash ^ *p) * 16777619u;
    }
    return hash;
}

}  // namespace

CUidlList::~CUidlList() {
    // Qualified: a derived list is already gone when this destructor runs.
    CUidlList::RemoveAll();
}

void CUidlList::RemoveAll() {
    for (int32_t i = 0; i < count; ++i) {
        std::free(items[i]);
    }
    std::free(items);
    std::free(hashes);
    items = nullptr;
    count = 0;
    allocated = nullptr;
    allocatedCount = 0;
    hashes = nullptr;
    capacity = 0;
}

const char* CUidlList::Find(const char* text) {
    if (!text || count == 0) {
        return nullptr;
    }
    if (OwnsArray() && hashes) {
        const uint32_t hash = HashText(text);
        for (int32_t i = 0; i < count; ++i) {
            if (hashes[i] == hash && std::strcmp(items[i], text) == 0) {
                return items[i];
            }
        }
        return nullptr;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (std::strcmp(items[i], text) == 0) {
            return items[i];
        }
    }
    return nullptr;
}

const char* CUidlList::AddUnique(const char* text) {
    const char* found = Find(text);
    if (!found) {
        Add(text);
    }
    return found;
}

// Makes room for one more entry; false when memory is short (nothing changed then).
bool CUidlList::Reserve() {
    bool owned = OwnsArray();
    if (owned && count < capacity) {
        return true;
    }
    constexpr std::size_t kMaxSlots = SIZE_MAX / sizeof(char*) < INT32_MAX ? SIZE_MAX / sizeof(char*) : INT32_MAX;
    std::size_t wanted = count < 8 ? 8 : static_cast<std::size_t>(count) * 2;
    int32_t grown = static_cast<int32_t>(wanted < kMaxSlots ? wanted : kMaxSlots);
    if (grown <= count) {
        return false;
    }
    void* larger = std::realloc(items, static_cast<std::size_t>(grown) * sizeof(char*));
    if (!larger) {
        return false;
    }
    items = static_cast<char**>(larger);
    allocated = items;
    capacity = grown;
    // The hashes follow the array; without memory for them Find compares texts.
    bool keepHashes = owned && hashes;
    if (!keepHashes) {
        std::free(hashes);
        hashes = nullptr;
    }
    void* largerHashes = std::realloc(hashes, static_cast<std::size_t>(grown) * sizeof(uint32_t));
    if (!largerHashes) {
        std::free(hashes);
        hashes = nullptr;
        return true;
    }
    hashes = static_cast<uint32_t*>(largerHashes);
    if (!keepHashes) {
        for (int32_t i = 0; i < count; ++i) {
            hashes[i] = HashText(items[i]);
        }
    }
    return true;
}

void CUidlList::Add(const char* text) {
    if (!text || count == INT32_MAX) {
        return;
    }
    std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (!copy) {
        return;
    }
    std::memcpy(copy, text, size);
    if (!Reserve()) {
        std::free(copy);
        return;
    }
    items[count] = copy;
    if (hashes) {
        hashes[count] = HashText(copy);
    }
    ++count;
    allocatedCount = count;
}

const char* CUidlList::GetAt(int32_t index) {
    if (count == 0 || index < 0 || index >= count) {
        return nullptr;
    }
    return items[index];
}

int32_t CUidlList::GetCount() {
    return count;
}

int CUidlList::Remove(const char* text) {
    if (!text || count == 0) {
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (std::strcmp(items[i], text) == 0) {
            RemoveAt(i);
            return 1;
        }
    }
    return 0;
}

void CUidlList::RemoveAt(int32_t index) {
    if (count == 0 || index < 0 || index >= count) {
        return;
    }
    char* removed = items[index];
    bool owned = OwnsArray();
    --count;
    if (count == 0) {
        std::free(items);
        std::free(hashes);
        items = nullptr;
        allocated = nullptr;
        allocatedCount = 0;
        hashes = nullptr;
        capacity = 0;
    } else {
        std::size_t after = static_cast<std::size_t>(count - index);
        std::memmove(items + index, items + index + 1, after * sizeof(char*));
        if (owned) {
            if (hashes) {
                std::memmove(hashes + index, hashes + index + 1, after * sizeof(uint32_t));
            }
            allocatedCount = count;
        }
    }
    std::free(removed);
}
