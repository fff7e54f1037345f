#include "UidlList.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <malloc.h>
#define PIKUNO_BLOCK_SIZE(block) _msize(block)
#else
#include <malloc.h>
#define PIKUNO_BLOCK_SIZE(block) malloc_usable_size(block)
#endif

// malloc/free rather than new/delete: an allocation failure must not throw into
// the host; a failed Add leaves the list as it was.

CUidlList gUidlList;

namespace {

// Lists this short are searched text by text; an index would cost more.
constexpr int32_t kIndexFrom = 32;

uint32_t HashText(const char* text) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        hash = (hash ^ *p) * 16777619u;
    }
    return hash;
}

// Entries the block at items holds room for, as the heap reports its size.
std::size_t RoomOf(char** items) {
    return items ? PIKUNO_BLOCK_SIZE(items) / sizeof(char*) : 0;
}

}  // namespace

CUidlList::~CUidlList() {
    CUidlList::RemoveAll();
}

void CUidlList::DropIndex() {
    std::free(slots);
    std::free(slotTexts);
    slots = nullptr;
    slotTexts = nullptr;
    slotMask = 0;
    indexedItems = nullptr;
    indexedCount = 0;
}

void CUidlList::IndexEntry(int32_t index) {
    uint32_t slot = HashText(items[index]) & slotMask;
    while (slots[slot] != 0) {
        slot = (slot + 1) & slotMask;
    }
    slots[slot] = index + 1;
    slotTexts[slot] = items[index];
}

// Brings the index up to the entries; false when there is none (short list, or
// memory is short): Find then compares every text.
bool CUidlList::UpdateIndex() {
    if (count < kIndexFrom) {
        DropIndex();
        return false;
    }
    bool valid = slots && indexedItems == items && indexedCount <= count;
    // Slots at most half full: grow (and rebuild) before that.
    uint64_t wanted = static_cast<uint64_t>(count) * 2;
    if (!valid || wanted > static_cast<uint64_t>(slotMask) + 1) {
        DropIndex();
        uint64_t size = 64;
        while (size < wanted * 2) {
            size *= 2;
        }
        if (size > (SIZE_MAX / sizeof(char*))) {
            return false;
        }
        slots = static_cast<int32_t*>(std::calloc(static_cast<std::size_t>(size), sizeof(int32_t)));
        slotTexts = static_cast<char**>(std::calloc(static_cast<std::size_t>(size), sizeof(char*)));
        if (!slots || !slotTexts) {
            DropIndex();
            return false;
        }
        slotMask = static_cast<uint32_t>(size - 1);
        indexedItems = items;
    }
    for (; indexedCount < count; ++indexedCount) {
        IndexEntry(indexedCount);
    }
    return true;
}

void CUidlList::RemoveAll() {
    for (int32_t i = 0; i < count; ++i) {
        std::free(items[i]);
    }
    std::free(items);
    items = nullptr;
    count = 0;
    DropIndex();
}

const char* CUidlList::Find(const char* text) {
    if (!text || count == 0) {
        return nullptr;
    }
    for (int attempt = 0; attempt < 2 && UpdateIndex(); ++attempt) {
        bool stale = false;
        for (uint32_t slot = HashText(text) & slotMask; slots[slot] != 0; slot = (slot + 1) & slotMask) {
            int32_t index = slots[slot] - 1;
            if (index >= count || items[index] != slotTexts[slot]) {
                stale = true;  // the entries changed behind the index's back
                break;
            }
            if (std::strcmp(items[index], text) == 0) {
                return items[index];
            }
        }
        if (!stale) {
            return nullptr;
        }
        DropIndex();
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
    // The block grows geometrically, so that filling a list of tens of thousands
    // of UIDLs does not copy the whole array at every addition; whether there is
    // room is the heap's answer for the block that items points at now.
    if (RoomOf(items) < static_cast<std::size_t>(count) + 1) {
        constexpr std::size_t kMaxSlots = SIZE_MAX / sizeof(char*) < INT32_MAX ? SIZE_MAX / sizeof(char*) : INT32_MAX;
        std::size_t wanted = count < 8 ? 8 : static_cast<std::size_t>(count) * 2;
        if (wanted > kMaxSlots) {
            wanted = kMaxSlots;
        }
        void* larger = wanted > static_cast<std::size_t>(count) ? std::realloc(items, wanted * sizeof(char*)) : nullptr;
        if (!larger) {
            std::free(copy);
            return;
        }
        items = static_cast<char**>(larger);
    }
    items[count] = copy;
    ++count;
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
    --count;
    if (count == 0) {
        std::free(items);
        items = nullptr;
    } else {
        std::size_t after = static_cast<std::size_t>(count - index);
        std::memmove(items + index, items + index + 1, after * sizeof(char*));
    }
    DropIndex();  // the entries behind index moved
    std::free(removed);
}
