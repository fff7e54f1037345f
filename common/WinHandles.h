#pragma once
// Small owners for Windows handles: each closes what it holds and resets to the
// invalid value, so that no path forgets a CloseHandle or FreeLibrary.

#include <windows.h>

class UniqueFileHandle {
public:
    UniqueFileHandle() = default;
    explicit UniqueFileHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueFileHandle() { Reset(); }
    UniqueFileHandle(const UniqueFileHandle&) = delete;
    UniqueFileHandle& operator=(const UniqueFileHandle&) = delete;

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (IsValid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class UniqueLibrary {
public:
    UniqueLibrary() = default;
    explicit UniqueLibrary(HMODULE module) : module_(module) {}
    ~UniqueLibrary() { Reset(); }
    UniqueLibrary(const UniqueLibrary&) = delete;
    UniqueLibrary& operator=(const UniqueLibrary&) = delete;

    HMODULE Get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }
    void Reset(HMODULE module = nullptr) {
        if (module_) {
            FreeLibrary(module_);
        }
        module_ = module;
    }
    // Gives up ownership without freeing; returns the FreeLibrary result when freeing.
    BOOL Free() {
        BOOL result = module_ ? FreeLibrary(module_) : FALSE;
        module_ = nullptr;
        return result;
    }

    template <typename Function>
    Function Find(const char* name) const {
        return module_ ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

private:
    HMODULE module_ = nullptr;
};
