#pragma once
// One plug-in library loaded by the host, with the entry points the host drives.
// A missing entry point is simply not called, as a host does with older plug-ins.

#include <windows.h>

#include <string>

#include "WinHandles.h"

typedef LPCSTR(WINAPI* VbxGetPlugNameFn)();
typedef int(WINAPI* VbxVersionInfoFn)(HWND parent);
typedef int(WINAPI* VbxStartUpFn)(LPARAM value);
typedef void(WINAPI* VbxCleanUpFn)();
typedef int(WINAPI* VbxSetupFn)(HWND window);
typedef int(WINAPI* VbxRecFilterFn)(LPCSTR path);
typedef int(WINAPI* VbxFolderInitMenuFn)(HWND window, HMENU menu, int kind);
typedef int(WINAPI* VbxFolderEndRetrieveFn)(HWND window);

// Menu kinds of VbxFolderInitMenu.
constexpr int kMenuKindMenuBar = 101;
constexpr int kMenuKindFolderMenu = 102;

class PluginModule {
public:
    // LoadLibrary of the path; false (with the system error in *error) when the
    // system refused it, for instance because the plug-in's attach failed.
    bool Load(const std::string& path, DWORD* error);
    bool IsLoaded() const { return static_cast<bool>(library_); }
    // FreeLibrary; entry points are forgotten.
    void Unload();
    const std::string& Path() const { return path_; }

    // Each returns `fallback` when the plug-in lacks the entry point.
    std::string Name() const;
    int VersionInfo(HWND parent, int fallback) const;
    int StartUp(LPARAM value, int fallback) const;
    void CleanUp() const;
    int Setup(HWND window, int fallback) const;
    int RecFilter(const char* path, int fallback) const;
    int FolderInitMenu(HWND window, HMENU menu, int kind, int fallback) const;
    int FolderEndRetrieve(HWND window, int fallback) const;
    bool HasRecFilter() const { return recFilter_ != nullptr; }

private:
    UniqueLibrary library_;
    std::string path_;
    VbxGetPlugNameFn getPlugName_ = nullptr;
    VbxVersionInfoFn versionInfo_ = nullptr;
    VbxStartUpFn startUp_ = nullptr;
    VbxCleanUpFn cleanUp_ = nullptr;
    VbxSetupFn setup_ = nullptr;
    VbxRecFilterFn recFilter_ = nullptr;
    VbxFolderInitMenuFn folderInitMenu_ = nullptr;
    VbxFolderEndRetrieveFn folderEndRetrieve_ = nullptr;
};
