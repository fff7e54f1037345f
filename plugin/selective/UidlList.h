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
    // The array grows geometrically, so that filling a list of tens of thousands of
    // UIDLs does not copy the whole array at every addition. capacity counts the slots
    // of `allocated`; an items array put in place by a derived list is taken to have
    // exactly count slots.
    char** allocated = nullptr;
    int32_t capacity = 0;
};

// The one list of the plug-in: filled by a selective receive, read by VbxRecFilter,
// emptied when the host's retrieval ends.
extern CUidlList gUidlList;
