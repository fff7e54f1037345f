#include "WinHandles.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "TempFolder.h"

namespace {

// Opened with no sharing: while any handle of the file is open, a second open
// fails with a sharing violation.
HANDLE OpenExclusive(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool IsOpenHandle(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

// Whether path can be opened exclusively now, i.e. no handle holds it.
bool NobodyHolds(const char* path) {
    HANDLE probe = OpenExclusive(path);
    if (probe == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(probe);
    return true;
}

TEST(WinHandles, FileOwnerClosesOnResetAndAtTheEndOfItsScope) {
    TempFolder folder;
    const std::string path = folder.Path() + "handles-a";
    HANDLE raw = OpenExclusive(path.c_str());
    ASSERT_NE(INVALID_HANDLE_VALUE, raw);
    {
        UniqueFileHandle file(raw);
        EXPECT_TRUE(file.IsValid());
        EXPECT_FALSE(NobodyHolds(path.c_str())) << "the exclusive open should still hold the file";
        file.Reset();
        EXPECT_FALSE(file.IsValid());
        EXPECT_FALSE(IsOpenHandle(raw)) << "Reset left the handle open";
        EXPECT_TRUE(NobodyHolds(path.c_str()));

        file.Reset(OpenExclusive(path.c_str()));
        ASSERT_TRUE(file.IsValid());
        EXPECT_FALSE(NobodyHolds(path.c_str()));
    }
    EXPECT_TRUE(NobodyHolds(path.c_str())) << "the destructor left the file open";
}

TEST(WinHandles, InvalidValuesAreNeverClosed) {
    // Both of the file kind's "no handle" values count as empty; Close answers
    // false for them instead of passing them to CloseHandle.
    const HANDLE empties[] = {INVALID_HANDLE_VALUE, nullptr};
    for (std::size_t i = 0; i < sizeof empties / sizeof empties[0]; ++i) {
        UniqueFileHandle file(empties[i]);
        EXPECT_FALSE(file.IsValid()) << "case " << i;
        EXPECT_FALSE(static_cast<bool>(file)) << "case " << i;
        EXPECT_FALSE(file.Close()) << "case " << i;
    }
    UniqueHandle event;
    EXPECT_FALSE(event.IsValid());
    EXPECT_EQ(nullptr, event.Get());
}

TEST(WinHandles, MoveHandsOverWithoutClosingAndAssignmentClosesTheOld) {
    TempFolder folder;
    const std::string first = folder.Path() + "handles-b";
    const std::string second = folder.Path() + "handles-c";
    UniqueFileHandle a(OpenExclusive(first.c_str()));
    ASSERT_TRUE(a.IsValid());
    const HANDLE raw = a.Get();

    UniqueFileHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid()) << "the moved-from owner still claims the handle";
    EXPECT_EQ(raw, b.Get());
    EXPECT_TRUE(IsOpenHandle(raw)) << "the move closed the handle";

    UniqueFileHandle c(OpenExclusive(second.c_str()));
    ASSERT_TRUE(c.IsValid());
    c = std::move(b);
    EXPECT_EQ(raw, c.Get());
    EXPECT_FALSE(b.IsValid());
    EXPECT_TRUE(NobodyHolds(second.c_str())) << "assignment did not close what the target held";
    EXPECT_FALSE(NobodyHolds(first.c_str()));

    UniqueFileHandle& self = c;
    c = std::move(self);  // must not close the handle it keeps
    EXPECT_TRUE(IsOpenHandle(raw));
}

TEST(WinHandles, ReleaseGivesUpWithoutClosingAndCloseReportsTheVerdict) {
    TempFolder folder;
    const std::string path = folder.Path() + "handles-d";
    HANDLE raw;
    {
        UniqueFileHandle file(OpenExclusive(path.c_str()));
        ASSERT_TRUE(file.IsValid());
        raw = file.Release();
        EXPECT_FALSE(file.IsValid());
    }
    EXPECT_TRUE(IsOpenHandle(raw)) << "the released handle was closed";
    EXPECT_FALSE(NobodyHolds(path.c_str()));

    UniqueFileHandle again(raw);
    EXPECT_TRUE(again.Close()) << "CloseHandle of an open file should succeed";
    EXPECT_FALSE(again.IsValid());
    EXPECT_FALSE(again.Close()) << "nothing held: no verdict to give";
    EXPECT_TRUE(NobodyHolds(path.c_str()));
}

TEST(WinHandles, AddressOfClosesWhatWasHeldFirst) {
    TempFolder folder;
    const std::string path = folder.Path() + "handles-e";
    UniqueFileHandle file(OpenExclusive(path.c_str()));
    ASSERT_TRUE(file.IsValid());
    HANDLE* slot = file.AddressOf();
    EXPECT_TRUE(NobodyHolds(path.c_str())) << "AddressOf leaked the earlier handle";
    *slot = OpenExclusive(path.c_str());
    EXPECT_TRUE(file.IsValid());
    EXPECT_FALSE(NobodyHolds(path.c_str()));
}

TEST(WinHandles, EventOwnerClosesTheKernelObject) {
    UniqueWsaEvent event(WSACreateEvent());
    ASSERT_TRUE(event.IsValid());
    const HANDLE raw = event.Get();
    EXPECT_TRUE(IsOpenHandle(raw));
    event.Reset();
    EXPECT_FALSE(IsOpenHandle(raw)) << "WSACloseEvent was not called";
}

class WinsockSession {
public:
    WinsockSession() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~WinsockSession() {
        if (started_) {
            WSACleanup();
        }
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool Started() const { return started_; }

private:
    WSADATA data_;
    bool started_ = false;
};

bool IsOpenSocket(SOCKET s) {
    int type = 0;
    int size = sizeof type;
    return getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size) == 0;
}

TEST(WinHandles, SocketOwnerClosesAndTakesZeroForSuccess) {
    WinsockSession winsock;
    ASSERT_TRUE(winsock.Started());
    UniqueSocket empty;
    EXPECT_EQ(INVALID_SOCKET, empty.Get());
    EXPECT_FALSE(empty.IsValid());

    SOCKET raw = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, raw);
    {
        UniqueSocket owner(raw);
        EXPECT_TRUE(IsOpenSocket(raw));
    }
    EXPECT_FALSE(IsOpenSocket(raw)) << "the owner's end did not close the socket";

    UniqueSocket owner(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    ASSERT_TRUE(owner.IsValid());
    EXPECT_TRUE(owner.Close()) << "closesocket answers 0 for success, which must read as true";
    EXPECT_EQ(INVALID_SOCKET, owner.Get());
}

// Whether the library is in the process, without changing its reference count.
bool IsLoaded(const char* name) {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, name, &module) != 0 &&
           module != nullptr;
}

TEST(WinHandles, LibraryOwnerGivesBackExactlyOneReference) {
    // A system library this test program has no other use for.
    const char* name = "msimg32.dll";
    if (IsLoaded(name)) {
        GTEST_SKIP() << name << " is already loaded, so its unloading cannot be seen";
    }
    HMODULE second = LoadLibraryA(name);
    ASSERT_NE(nullptr, second);
    {
        UniqueLibrary library(LoadLibraryA(name));
        ASSERT_TRUE(library.IsValid());
        EXPECT_EQ(second, library.Get());
        EXPECT_NE(nullptr, library.Find<FARPROC>("AlphaBlend"));
        EXPECT_EQ(nullptr, library.Find<FARPROC>("NoSuchFunction"));
    }
    EXPECT_TRUE(IsLoaded(name)) << "the owner freed more than its own reference";
    UniqueLibrary last(second);
    EXPECT_EQ(TRUE, last.Free());
    EXPECT_FALSE(IsLoaded(name)) << "the last reference was not given back";
    EXPECT_EQ(FALSE, last.Free()) << "nothing held any more";
    UniqueLibrary none;
    EXPECT_EQ(nullptr, none.Find<FARPROC>("AlphaBlend"));
}

TEST(WinHandles, IconAndImageListOwnersDestroyThem) {
    HICON icon = CopyIcon(LoadIcon(nullptr, IDI_APPLICATION));
    ASSERT_NE(nullptr, icon);
    UniqueIcon ownedIcon(icon);
    EXPECT_TRUE(ownedIcon.Close()) << "DestroyIcon of a copied icon should succeed";

    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 0);
    ASSERT_NE(nullptr, images);
    UniqueImageList ownedImages(images);
    EXPECT_TRUE(ownedImages.Close()) << "ImageList_Destroy should succeed once";
    EXPECT_FALSE(ownedImages.IsValid());
}

TEST(WinHandles, WindowOwnerDestroysItsWindow) {
    HWND raw = CreateWindowExA(0, "STATIC", "owned", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, raw);
    {
        UniqueWindow window(raw);
        EXPECT_TRUE(IsWindow(raw));
    }
    EXPECT_FALSE(IsWindow(raw)) << "the owner's end did not destroy the window";
}

}  // namespace
