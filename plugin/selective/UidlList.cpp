#include "UidlList.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// malloc/free rather than new/delete: an allocation failure must not throw into
// the host; a failed Add leaves the list as it was.

CUidlList gUidlList;

CUidlList::~CUidlList() {
    // Qualified: a derived list is already gone when this destructor runs.
    CUidlList::RemoveAll();
}

void CUidlList::RemoveAll() {
    for (int32_t i = 0; i < count; ++i) {
        std::free(items[i]);
    }
    std::free(items);
    items = nullptr;
    count = 0;
    allocated = nullptr;
    capacity = 0;
}

const char* CUidlList::Find(const char* text) {
    if (!text || count == 0) {
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
    int32_t slots = (items != nullptr && items == allocated) ? capacity : count;
    if (count >= slots) {
        constexpr std::size_t kMaxSlots =
            SIZE_MAX / sizeof(char*) < INT32_MAX ? SIZE_MAX / sizeof(char*) : INT32_MAX;
        std::size_t wanted = count < 8 ? 8 : static_cast<std::size_t>(count) * 2;
        int32_t grown = static_cast<int32_t>(wanted < kMaxSlots ? wanted : kMaxSlots);
        if (grown <= count) {
            std::free(copy);
            return;
        }
        void* larger = std::realloc(items, static_cast<std::size_t>(grown) * sizeof(char*));
        if (!larger) {
            std::free(copy);
            return;
        }
        items = static_cast<char**>(larger);
        allocated = items;
        capacity = grown;
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
        allocated = nullptr;
        capacity = 0;
    } else {
        std::memmove(items + index, items + index + 1, static_cast<std::size_t>(count - index) * sizeof(char*));
    }
    std::free(removed);
}
