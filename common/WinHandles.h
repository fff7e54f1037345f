#pragma once
// One owner for every kind of Windows handle, written over its close function:
// UniqueAny<Traits> holds one value, closes it when it goes out of scope or is
// replaced, and resets to the kind's invalid value, so that no path forgets a
// CloseHandle, FreeLibrary, FindClose, DeleteObject, ReleaseDC, closesocket or
// LocalFree.
//
// A kind is a traits struct with
//     using Pointer = <handle type>;
//     static Pointer Invalid();           the value that owns nothing
//     static bool IsValid(Pointer);       whether a value must be closed
//     static bool Close(Pointer);         closes it; true when the system says so
// CloseTraits builds one from the close function and the invalid value's bits.

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <type_traits>

template <typename Traits>
class UniqueAny {
public:
    using Pointer = typename Traits::Pointer;

    UniqueAny() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueAny(Pointer value) noexcept : value_(value) {}
    ~UniqueAny() { Reset(); }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.Release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    bool IsValid() const noexcept { return Traits::IsValid(value_); }
    explicit operator bool() const noexcept { return IsValid(); }
    Pointer Get() const noexcept { return value_; }

    // Closes what is held (if anything) and takes value instead.
    void Reset(Pointer value = Traits::Invalid()) noexcept {
        Pointer old = value_;
        value_ = value;
        if (Traits::IsValid(old)) {
            Traits::Close(old);
        }
    }
    // Closes now and gives the close function's verdict: a failed CloseHandle of
    // a written file may mean data that never reached it. False when nothing was held.
    bool Close() noexcept {
        Pointer old = value_;
        value_ = Traits::Invalid();
        return Traits::IsValid(old) && Traits::Close(old);
    }
    // Gives the value up without closing it; the caller owns it from now on.
    Pointer Release() noexcept {
        Pointer old = value_;
        value_ = Traits::Invalid();
        return old;
    }
    // For functions that hand out a handle through a pointer: closes what is held
    // first, so that the new value never leaks the old one.
    Pointer* AddressOf() noexcept {
        Reset();
        return &value_;
    }

private:
    Pointer value_;
};

// Traits from a close function taking the handle, and the bits of the invalid
// value (a pointer-sized integer, since INVALID_HANDLE_VALUE is no constant of
// pointer type). A close function's nonzero result is success unless
// SuccessIsZero (closesocket answers 0 for success).
template <typename Handle, auto CloseFunction, std::uintptr_t InvalidBits = 0, bool SuccessIsZero = false>
struct CloseTraits {
    using Pointer = Handle;
    static Pointer Invalid() noexcept {
        if constexpr (std::is_pointer_v<Handle>) {
            return reinterpret_cast<Handle>(InvalidBits);
        } else {
            return static_cast<Handle>(InvalidBits);
        }
    }
    static bool IsValid(Pointer value) noexcept { return value != Invalid(); }
    static bool Close(Pointer value) noexcept {
        auto result = CloseFunction(value);
        return SuccessIsZero ? result == 0 : result != 0;
    }
};

// A file from CreateFile: INVALID_HANDLE_VALUE when it failed. Null counts as
// invalid too, since other kernel calls give null for no handle and a null must
// never reach CloseHandle.
struct FileHandleTraits : CloseTraits<HANDLE, CloseHandle, static_cast<std::uintptr_t>(-1)> {
    static bool IsValid(Pointer value) noexcept { return value != Invalid() && value != nullptr; }
};

using UniqueFileHandle = UniqueAny<FileHandleTraits>;
// A kernel object from CreateEvent, OpenProcess and their kind: null when it failed.
using UniqueHandle = UniqueAny<CloseTraits<HANDLE, CloseHandle>>;
// A search from FindFirstFile.
using UniqueFindHandle = UniqueAny<CloseTraits<HANDLE, FindClose, static_cast<std::uintptr_t>(-1)>>;
using UniqueSocket = UniqueAny<CloseTraits<SOCKET, closesocket, INVALID_SOCKET, true>>;
// GDI objects: a bitmap (DeleteObject) and a memory device context (DeleteDC).
using UniqueBitmap = UniqueAny<CloseTraits<HBITMAP, DeleteObject>>;
using UniqueMemoryDc = UniqueAny<CloseTraits<HDC, DeleteDC>>;
using UniqueIcon = UniqueAny<CloseTraits<HICON, DestroyIcon>>;

// A device context from GetDC or GetWindowDC, given back with ReleaseDC, which
// needs the window as well.
struct WindowDc {
    HWND window;
    HDC dc;
};
struct WindowDcTraits {
    using Pointer = WindowDc;
    static Pointer Invalid() noexcept { return {nullptr, nullptr}; }
    static bool IsValid(Pointer value) noexcept { return value.dc != nullptr; }
    static bool Close(Pointer value) noexcept { return ReleaseDC(value.window, value.dc) != 0; }
};
using UniqueWindowDc = UniqueAny<WindowDcTraits>;
using UniqueImageList = UniqueAny<CloseTraits<HIMAGELIST, ImageList_Destroy>>;
using UniqueMenu = UniqueAny<CloseTraits<HMENU, DestroyMenu>>;
// Memory the system allocated for the caller with LocalAlloc (CommandLineToArgvW,
// FormatMessage); LocalFree answers null for success.
template <typename T>
using UniqueLocal = UniqueAny<CloseTraits<T*, LocalFree, 0, true>>;

// A loaded library, with the lookup of its functions.
class UniqueLibrary : public UniqueAny<CloseTraits<HMODULE, FreeLibrary>> {
public:
    using UniqueAny::UniqueAny;

    // Frees the library now; the FreeLibrary result, FALSE when none was held.
    BOOL Free() noexcept { return Close() ? TRUE : FALSE; }

    template <typename Function>
    Function Find(const char* name) const {
        return Get() ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(Get(), name))) : nullptr;
    }
};
