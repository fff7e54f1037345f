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
    char** grown = static_cast<char**>(std::malloc((static_cast<std::size_t>(count) + 1) * sizeof(char*)));
    if (!grown) {
        std::free(copy);
        return;
    }
    if (count > 0) {
        std::memcpy(grown, items, static_cast<std::size_t>(count) * sizeof(char*));
    }
    grown[count] = copy;
    std::free(items);
    items = grown;
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
    int32_t remaining = count - 1;
    if (remaining == 0) {
        std::free(items);
        items = nullptr;
        count = 0;
    } else {
        char** shrunk = static_cast<char**>(std::malloc(static_cast<std::size_t>(remaining) * sizeof(char*)));
        if (shrunk) {
            std::memcpy(shrunk, items, static_cast<std::size_t>(index) * sizeof(char*));
            std::memcpy(shrunk + index, items + index + 1,
                        static_cast<std::size_t>(remaining - index) * sizeof(char*));
            std::free(items);
            items = shrunk;
        } else {
            // No memory for a smaller array: close the gap in the old one, which
            // is simply one slot larger than needed.
            std::memmove(items + index, items + index + 1,
                         static_cast<std::size_t>(remaining - index) * sizeof(char*));
        }
        count = remaining;
    }
    std::free(removed);
}
