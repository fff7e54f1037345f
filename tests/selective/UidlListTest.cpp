#include "UidlList.h"

#include "BoundedText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Opens the two fields, so that every test can check the invariant.
class ProbeList : public CUidlList {
public:
    int32_t RawCount() const { return count; }
    char** RawItems() const { return items; }
};

// Null items exactly when count is 0, and the count agrees with GetCount.
void ExpectInvariant(ProbeList& list, const std::string& where) {
    EXPECT_EQ(list.RawItems() == nullptr, list.RawCount() == 0) << where;
    EXPECT_EQ(list.RawCount(), list.GetCount()) << where;
    EXPECT_GE(list.RawCount(), 0) << where;
}

std::vector<std::string> Contents(ProbeList& list) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.GetCount(); ++i) {
        out.push_back(list.GetAt(i));
    }
    return out;
}

TEST(UidlList, NewListIsEmpty) {
    ProbeList list;
    ExpectInvariant(list, "new");
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(nullptr, list.GetAt(0));
    EXPECT_EQ(nullptr, list.Find("a"));
    list.RemoveAll();
    ExpectInvariant(list, "RemoveAll on empty");
    list.RemoveAt(0);
    ExpectInvariant(list, "RemoveAt on empty");
    list.Remove("a");
    ExpectInvariant(list, "Remove on empty");
}

TEST(UidlList, AddKeepsPrivateCopiesInOrder) {
    ProbeList list;
    char buffer[16];
    text::Copy(buffer, sizeof buffer, "first");
    list.Add(buffer);
    text::Copy(buffer, sizeof buffer, "second");
    list.Add(buffer);
    list.Add("first");  // Add does not check for duplicates
    ExpectInvariant(list, "after Add");
    EXPECT_EQ((std::vector<std::string>{"first", "second", "first"}), Contents(list));
    EXPECT_NE(static_cast<const void*>(buffer), list.GetAt(1));
    list.Add("");
    EXPECT_EQ(4, list.GetCount());
    EXPECT_STREQ("", list.GetAt(3));
}

TEST(UidlList, NullTextsChangeNothing) {
    ProbeList list;
    list.Add(nullptr);
    ExpectInvariant(list, "Add(null) on empty");
    EXPECT_EQ(0, list.GetCount());
    list.AddUnique(nullptr);
    ExpectInvariant(list, "AddUnique(null) on empty");
    EXPECT_EQ(0, list.GetCount());
    list.Add("x");
    list.Add(nullptr);
    list.AddUnique(nullptr);
    list.Remove(nullptr);
    EXPECT_EQ(nullptr, list.Find(nullptr));
    ExpectInvariant(list, "null on one entry");
    EXPECT_EQ((std::vector<std::string>{"x"}), Contents(list));
}

TEST(UidlList, FindReturnsStoredPointerAndIsExact) {
    ProbeList list;
    list.Add("UID-a");
    list.Add("UID-b");
    char probe[] = "UID-b";
    EXPECT_EQ(list.GetAt(1), list.Find(probe));
    EXPECT_NE(static_cast<const void*>(probe), list.Find(probe));
    struct Case {
        const char* text;
        int expectedIndex;  // -1: not found
    } cases[] = {
        {"UID-a", 0}, {"uid-a", -1}, {"UID-A", -1}, {"UID-", -1},
        {"UID-a ", -1}, {"", -1}, {"UID-b", 1},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const char* found = list.Find(cases[i].text);
        if (cases[i].expectedIndex < 0) {
            EXPECT_EQ(nullptr, found) << "case " << i;
        } else {
            EXPECT_EQ(list.GetAt(cases[i].expectedIndex), found) << "case " << i;
        }
    }
}

TEST(UidlList, AddUniqueAddsOnceAndReturnsStoredEntry) {
    ProbeList list;
    EXPECT_EQ(nullptr, list.AddUnique("m1"));
    const char* stored = list.GetAt(0);
    EXPECT_EQ(stored, list.AddUnique("m1"));
    EXPECT_EQ(nullptr, list.AddUnique("M1"));
    ExpectInvariant(list, "AddUnique");
    EXPECT_EQ((std::vector<std::string>{"m1", "M1"}), Contents(list));
}

TEST(UidlList, GetAtOutOfRange) {
    ProbeList list;
    list.Add("a");
    list.Add("b");
    const int32_t indexes[] = {-1, 2, 3, INT32_MIN, INT32_MAX};
    for (int32_t index : indexes) {
        EXPECT_EQ(nullptr, list.GetAt(index)) << "index " << index;
    }
    EXPECT_STREQ("a", list.GetAt(0));
    EXPECT_STREQ("b", list.GetAt(1));
}

TEST(UidlList, RemoveAtEachPosition) {
    // Remove each index of a five-entry list; the others keep their order.
    for (int32_t removed = -1; removed <= 5; ++removed) {
        ProbeList list;
        std::vector<std::string> expected;
        for (int i = 0; i < 5; ++i) {
            std::string uidl = "u" + std::to_string(i);
            list.Add(uidl.c_str());
            if (i != removed) {
                expected.push_back(uidl);
            }
        }
        list.RemoveAt(removed);
        ExpectInvariant(list, "RemoveAt " + std::to_string(removed));
        EXPECT_EQ(expected, Contents(list)) << "RemoveAt " << removed;
    }
}

TEST(UidlList, RemoveAtOnlyEntryNullsItems) {
    ProbeList list;
    list.Add("only");
    list.RemoveAt(0);
    EXPECT_EQ(0, list.RawCount());
    EXPECT_EQ(nullptr, list.RawItems());
    list.Add("again");
    ExpectInvariant(list, "Add after emptying");
    EXPECT_EQ((std::vector<std::string>{"again"}), Contents(list));
}

TEST(UidlList, RemoveTakesFirstEqualEntryOnly) {
    ProbeList list;
    list.Add("dup");
    list.Add("other");
    list.Add("dup");
    list.Remove("DUP");
    EXPECT_EQ(3, list.GetCount());
    list.Remove("dup");
    ExpectInvariant(list, "Remove");
    EXPECT_EQ((std::vector<std::string>{"other", "dup"}), Contents(list));
    list.Remove("dup");
    list.Remove("other");
    ExpectInvariant(list, "Remove to empty");
    EXPECT_EQ(nullptr, list.RawItems());
}

TEST(UidlList, RemoveAllEmptiesAndListIsReusable) {
    ProbeList list;
    for (int i = 0; i < 100; ++i) {
        list.Add(std::to_string(i).c_str());
    }
    list.RemoveAll();
    ExpectInvariant(list, "RemoveAll");
    EXPECT_EQ(0, list.RawCount());
    list.RemoveAll();
    ExpectInvariant(list, "RemoveAll twice");
    list.AddUnique("z");
    EXPECT_EQ((std::vector<std::string>{"z"}), Contents(list));
}

// Replaces Find, Add and RemoveAt and records their calls: AddUnique and Remove
// must reach the replacements.
class CaseFoldingList : public ProbeList {
public:
    std::vector<std::string> calls;

    const char* Find(const char* text) override {
        calls.push_back(std::string("Find ") + (text ? text : "(null)"));
        if (!text) {
            return nullptr;
        }
        for (int32_t i = 0; i < GetCount(); ++i) {
            if (_stricmp(GetAt(i), text) == 0) {
                return GetAt(i);
            }
        }
        return nullptr;
    }
    void Add(const char* text) override {
        calls.push_back(std::string("Add ") + (text ? text : "(null)"));
        if (text) {
            std::string upper(text);
            for (char& c : upper) {
                c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            }
            CUidlList::Add(upper.c_str());
        }
    }
    void RemoveAt(int32_t index) override {
        calls.push_back("RemoveAt " + std::to_string(index));
        CUidlList::RemoveAt(index);
    }
};

TEST(UidlList, DerivedListIsReachedThroughVirtualCalls) {
    CaseFoldingList list;
    CUidlList& base = list;
    EXPECT_EQ(nullptr, base.AddUnique("abc"));
    const char* stored = list.GetAt(0);
    // The replaced Find folds case, so "ABC" counts as present.
    EXPECT_EQ(stored, base.AddUnique("Abc"));
    base.AddUnique("def");
    EXPECT_EQ((std::vector<std::string>{"ABC", "DEF"}), Contents(list));
    EXPECT_EQ((std::vector<std::string>{"Find abc", "Add abc", "Find Abc", "Find def", "Add def"}),
              list.calls);

    // Remove compares exactly but removes through the replaced RemoveAt.
    list.calls.clear();
    base.Remove("def");
    EXPECT_EQ(2, list.GetCount());
    base.Remove("DEF");
    EXPECT_EQ((std::vector<std::string>{"RemoveAt 1"}), list.calls);
    EXPECT_EQ((std::vector<std::string>{"ABC"}), Contents(list));
    ExpectInvariant(list, "derived");
}

// A derived list that puts an array of its own making in place of items.
class ArraySwappingList : public ProbeList {
public:
    void CompactArray() {
        char** exact = static_cast<char**>(std::malloc(static_cast<size_t>(count) * sizeof(char*)));
        std::memcpy(exact, items, static_cast<size_t>(count) * sizeof(char*));
        std::free(items);
        items = exact;
    }
};

TEST(UidlList, ArrayReplacedByDerivedListKeepsWorking) {
    ArraySwappingList list;
    std::vector<std::string> expected;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 5; ++i) {
            std::string uidl = "r" + std::to_string(round) + "-" + std::to_string(i);
            list.Add(uidl.c_str());
            expected.push_back(uidl);
        }
        list.CompactArray();
        // Found in the array of the derived list, and again once Add has taken it over.
        EXPECT_EQ(list.GetAt(1), list.Find(expected[1].c_str())) << "round " << round;
        EXPECT_EQ(nullptr, list.Find("absent")) << "round " << round;
        list.RemoveAt(0);
        expected.erase(expected.begin());
        ExpectInvariant(list, "round " + std::to_string(round));
        EXPECT_EQ(expected, Contents(list)) << "round " << round;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.GetAt(static_cast<int32_t>(i)), list.AddUnique(expected[i].c_str())) << i;
    }
    EXPECT_EQ(static_cast<int32_t>(expected.size()), list.GetCount());
}

TEST(UidlList, TextsThatShareAHashAreStillTold) {
    // Two UIDLs of the same 32-bit FNV-1a hash: only an exact comparison tells them apart.
    const char* first = "000483075F3A1C07";
    const char* second = "0004DD405F3A1C07";
    ProbeList list;
    list.Add("other");
    list.Add(first);
    EXPECT_EQ(nullptr, list.Find(second));
    EXPECT_EQ(nullptr, list.AddUnique(second));
    EXPECT_EQ(3, list.GetCount());
    EXPECT_EQ(list.GetAt(1), list.Find(first));
    EXPECT_EQ(list.GetAt(2), list.Find(second));
    list.Remove(first);
    EXPECT_EQ(nullptr, list.Find(first));
    EXPECT_EQ(list.GetAt(1), list.Find(second));
    EXPECT_STREQ(second, list.GetAt(1));
}

TEST(UidlList, ManyEntriesKeepOrderThroughGrowthAndRemoval) {
    ProbeList list;
    std::vector<std::string> expected;
    for (int i = 0; i < 1000; ++i) {
        std::string uidl = "uidl" + std::to_string(i);
        EXPECT_EQ(nullptr, list.AddUnique(uidl.c_str())) << i;
        expected.push_back(uidl);
    }
    // Every third entry out, then the first and the last.
    for (int i = 999; i >= 0; i -= 3) {
        list.Remove(expected[static_cast<size_t>(i)].c_str());
        expected.erase(expected.begin() + i);
    }
    list.RemoveAt(0);
    expected.erase(expected.begin());
    list.RemoveAt(list.GetCount() - 1);
    expected.pop_back();
    ExpectInvariant(list, "after removals");
    EXPECT_EQ(expected, Contents(list));
    for (const std::string& uidl : expected) {
        EXPECT_STREQ(uidl.c_str(), list.AddUnique(uidl.c_str())) << uidl;
    }
    EXPECT_EQ(static_cast<int32_t>(expected.size()), list.GetCount());
}

TEST(UidlList, GlobalListExists) {
    // The plug-in's one list starts empty; leave it empty for other tests.
    EXPECT_EQ(0, gUidlList.GetCount());
    gUidlList.AddUnique("g1");
    EXPECT_EQ(1, gUidlList.GetCount());
    gUidlList.RemoveAll();
    EXPECT_EQ(0, gUidlList.GetCount());
}

}  // namespace

namespace {

// ---- the table of virtual operations ------------------------------------------

// Calls through slot i of the object's table of virtual operations, as code
// built elsewhere against the documented layout does. Member functions take
// `this` as their first argument (in ECX on 32-bit x86, thiscall).
#if defined(__i386__) && defined(__GNUC__)
#define PIKUNO_THISCALL __attribute__((thiscall))
#elif defined(_M_IX86)
#define PIKUNO_THISCALL __thiscall
#else
#define PIKUNO_THISCALL
#endif

void* const* TableOf(CUidlList* list) {
    void* const* table;
    std::memcpy(&table, static_cast<void*>(list), sizeof table);
    return table;
}

template <typename Fn>
Fn Slot(CUidlList* list, int index) {
    Fn fn;
    void* entry = TableOf(list)[index];
    std::memcpy(&fn, &entry, sizeof fn);
    return fn;
}

TEST(UidlListLayout, EightOperationsInTheirSlotsWithNothingBefore) {
    typedef void(PIKUNO_THISCALL * RemoveAllFn)(CUidlList*);
    typedef const char*(PIKUNO_THISCALL * FindFn)(CUidlList*, const char*);
    typedef const char*(PIKUNO_THISCALL * AddUniqueFn)(CUidlList*, const char*);
    typedef void(PIKUNO_THISCALL * AddFn)(CUidlList*, const char*);
    typedef const char*(PIKUNO_THISCALL * GetAtFn)(CUidlList*, int32_t);
    typedef int32_t(PIKUNO_THISCALL * GetCountFn)(CUidlList*);
    typedef int(PIKUNO_THISCALL * RemoveFn)(CUidlList*, const char*);
    typedef void(PIKUNO_THISCALL * RemoveAtFn)(CUidlList*, int32_t);

    // The table pointer first, then count and items.
    static_assert(sizeof(CUidlList) >= sizeof(void*) + sizeof(int32_t) + sizeof(char**), "fields");
    ProbeList list;
    CUidlList* base = &list;
    Slot<AddFn>(base, 3)(base, "one");
    Slot<AddFn>(base, 3)(base, "two");
    Slot<AddFn>(base, 3)(base, "one");
    EXPECT_EQ(3, Slot<GetCountFn>(base, 5)(base)) << "slot 5 is GetCount";
    EXPECT_EQ(list.GetAt(1), Slot<GetAtFn>(base, 4)(base, 1)) << "slot 4 is GetAt";
    EXPECT_EQ(list.GetAt(0), Slot<FindFn>(base, 1)(base, "one")) << "slot 1 is Find";
    EXPECT_EQ(list.GetAt(1), Slot<AddUniqueFn>(base, 2)(base, "two")) << "slot 2 is AddUnique";
    EXPECT_EQ(nullptr, Slot<AddUniqueFn>(base, 2)(base, "three"));
    EXPECT_EQ(4, list.GetCount());
    EXPECT_EQ(1, Slot<RemoveFn>(base, 6)(base, "one")) << "slot 6 is Remove";
    EXPECT_EQ((std::vector<std::string>{"two", "one", "three"}), Contents(list));
    Slot<RemoveAtFn>(base, 7)(base, 0);  // slot 7 is RemoveAt
    EXPECT_EQ((std::vector<std::string>{"one", "three"}), Contents(list));
    Slot<RemoveAllFn>(base, 0)(base);  // slot 0 is RemoveAll
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(nullptr, list.RawItems());
}

// A derived list that gives the array back to the heap and takes a new one of
// exactly count entries, which the heap readily hands out at the same address.
class ArrayRenewingList : public ProbeList {
public:
    void Renew() {
        std::vector<char*> saved(items, items + count);
        std::free(items);
        items = static_cast<char**>(std::malloc(saved.size() * sizeof(char*)));
        std::memcpy(items, saved.data(), saved.size() * sizeof(char*));
    }
};

TEST(UidlList, ArrayRenewedAtTheSameAddressIsNeverWrittenPast) {
    // Under the sanitizers of the native build a write behind the renewed array
    // fails this test; anywhere it must keep every entry.
    ArrayRenewingList list;
    std::vector<std::string> expected;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 3; ++i) {
            std::string uidl = "u" + std::to_string(round) + "-" + std::to_string(i);
            EXPECT_EQ(nullptr, list.AddUnique(uidl.c_str())) << uidl;
            expected.push_back(uidl);
        }
        list.Renew();
        EXPECT_EQ(list.GetAt(static_cast<int32_t>(expected.size()) - 1), list.Find(expected.back().c_str()))
            << "round " << round;
    }
    EXPECT_EQ(expected, Contents(list));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.GetAt(static_cast<int32_t>(i)), list.AddUnique(expected[i].c_str())) << i;
    }
    ExpectInvariant(list, "renewed");
}

// Entries swapped by a derived list behind the index's back are still found.
class EntrySwappingList : public ProbeList {
public:
    void Swap(int32_t a, int32_t b) {
        char* t = items[a];
        items[a] = items[b];
        items[b] = t;
    }
    // Drops the last entry by itself.
    void DropLast() {
        std::free(items[--count]);
    }
};

TEST(UidlList, EntriesMovedOrDroppedByADerivedListAreFoundAsTheyNowAre) {
    EntrySwappingList list;
    for (int i = 0; i < 200; ++i) {
        list.Add(("e" + std::to_string(i)).c_str());
    }
    EXPECT_EQ(list.GetAt(150), list.Find("e150"));  // builds the index
    list.Swap(3, 150);
    EXPECT_EQ(list.GetAt(3), list.Find("e150"));
    EXPECT_STREQ("e150", list.GetAt(3));
    // The dropped text is freed: Find must not look at it (the sanitizers of the
    // native build would report a read of freed memory).
    list.DropLast();
    EXPECT_EQ(nullptr, list.Find("e199"));
    EXPECT_EQ(list.GetAt(198), list.Find("e198"));
    EXPECT_EQ(nullptr, list.AddUnique("x"));
    EXPECT_EQ(200, list.GetCount());
    EXPECT_EQ(list.GetAt(199), list.Find("x"));
}

}  // namespace
