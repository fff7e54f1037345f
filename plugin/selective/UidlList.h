#pragma once
// A small list of owned text copies: the UIDLs that a selective receive set aside.

#include <cstdint>

class CUidlList {
public:
    CUidlList() = default;
    // Not virtual: the eight operations below are the whole table of virtual
    // operations, in this slot order, with nothing before them. The plug-in's one
    // list is static and never deleted through a pointer.
    ~CUidlList();
    CUidlList(const CUidlList&) = delete;
    CUidlList& operator=(const CUidlList&) = delete;

    // A derived list may replace Find, Add or RemoveAt, and AddUnique and Remove
    // then reach the replacement.
    virtual void RemoveAll();
    virtual const char* Find(const char* text);
    virtual const char* AddUnique(const char* text);
    virtual void Add(const char* text);
    virtual const char* GetAt(int32_t index);
    virtual int32_t GetCount();
    virtual int Remove(const char* text);
    virtual void RemoveAt(int32_t index);

protected:
    int32_t count = 0;
    // The count entries in order, in a malloc'd block (at least count pointers);
    // null exactly when count is 0. A derived list may put a malloc'd array of
    // its own here: the list asks the heap how large the block is before it
    // writes behind the last entry, so it never writes past an array.
    char** items = nullptr;

private:
    // A hash index of the entries so that Find of tens of thousands of UIDLs does
    // not compare every text: slot → entry index + 1 (0 = empty), with the entry
    // pointer as it was indexed. It describes `indexedCount` entries of the array
    // `indexedItems`; a different array, fewer entries, or an entry pointer that
    // no longer matches makes Find build it again. Found entries are always
    // compared with the text itself, and an index entry is only followed while it
    // lies within count and still names the same text block, so a stale index is
    // never read through. One thing it cannot see: a derived list that writes a
    // different text block over an entry already indexed, in an array at the same
    // address, gets "not found" for that new text until the index is rebuilt.
    void DropIndex();
    bool UpdateIndex();
    void IndexEntry(int32_t index);

    int32_t* slots = nullptr;
    char** slotTexts = nullptr;
    uint32_t slotMask = 0;  // slot count - 1 (a power of two)
    char** indexedItems = nullptr;
    int32_t indexedCount = 0;
};

// The one list of the plug-in: filled by a selective receive, read by VbxRecFilter,
// emptied when the host's retrieval ends.
extern CUidlList gUidlList;
