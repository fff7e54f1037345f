#pragma once
// A small list of owned text copies: the UIDLs that a selective receive set aside.

#include <cstdint>

class CUidlList {
public:
    CUidlList() = default;
    virtual ~CUidlList();
    CUidlList(const CUidlList&) = delete;
    CUidlList& operator=(const CUidlList&) = delete;

    // Slot order matters: a derived list may replace Find, Add or RemoveAt and
    // AddUnique and Remove then reach the replacement.
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
    char** items = nullptr;  // the count entries in order; null exactly when count is 0

private:
    bool OwnsArray() const { return items != nullptr && items == allocated && count == allocatedCount; }
    bool Reserve();

    // The array grows geometrically, so that filling a list of tens of thousands of
    // UIDLs does not copy the whole array at every addition, and beside it lies a hash
    // of every entry, so that the linear search of Find reads one compact array
    // instead of every text. Both describe the array as the base operations last left
    // it (`allocated` holding `allocatedCount` entries). A derived list that sets items
    // or count itself is taken to hold a malloc'd array of exactly count entries; the
    // next Add adopts that array and hashes it.
    char** allocated = nullptr;
    int32_t allocatedCount = 0;
    int32_t capacity = 0;
    uint32_t* hashes = nullptr;  // may be null: Find then compares every text
};

// The one list of the plug-in: filled by a selective receive, read by VbxRecFilter,
// emptied when the host's retrieval ends.
extern CUidlList gUidlList;
