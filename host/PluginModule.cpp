#include "PluginModule.h"

bool PluginModule::Load(const std::string& path, DWORD* error) {
    Unload();
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        if (error) {
            *error = GetLastError();
        }
        return false;
    }
    library_.Reset(module);
    path_ = path;
    getPlugName_ = library_.Find<VbxGetPlugNameFn>("VbxGetPlugName");
    versionInfo_ = library_.Find<VbxVersionInfoFn>("VbxVersionInfo");
    startUp_ = library_.Find<VbxStartUpFn>("VbxStartUp");
    cleanUp_ = library_.Find<VbxCleanUpFn>("VbxCleanUp");
    setup_ = library_.Find<VbxSetupFn>("VbxSetup");
    recFilter_ = library_.Find<VbxRecFilterFn>("VbxRecFilter");
    folderInitMenu_ = library_.Find<VbxFolderInitMenuFn>("VbxFolderInitMenu");
    folderEndRetrieve_ = library_.Find<VbxFolderEndRetrieveFn>("VbxFolderEndRetrieve");
    return true;
}

void PluginModule::Unload() {
    getPlugName_ = nullptr;
    versionInfo_ = nullptr;
    startUp_ = nullptr;
    cleanUp_ = nullptr;
    setup_ = nullptr;
    recFilter_ = nullptr;
    folderInitMenu_ = nullptr;
    folderEndRetrieve_ = nullptr;
    library_.Reset();
    path_.clear();
}

std::string PluginModule::Name() const {
    LPCSTR name = getPlugName_ ? getPlugName_() : nullptr;
    return name ? name : "";
}

int PluginModule::VersionInfo(HWND parent, int fallback) const {
    return versionInfo_ ? versionInfo_(parent) : fallback;
}

int PluginModule::StartUp(LPARAM value, int fallback) const {
    return startUp_ ? startUp_(value) : fallback;
}

void PluginModule::CleanUp() const {
    if (cleanUp_) {
        cleanUp_();
    }
}

int PluginModule::Setup(HWND window, int fallback) const {
    return setup_ ? setup_(window) : fallback;
}

int PluginModule::RecFilter(const char* path, int fallback) const {
    return recFilter_ ? recFilter_(path) : fallback;
}

int PluginModule::FolderInitMenu(HWND window, HMENU menu, int kind, int fallback) const {
    return folderInitMenu_ ? folderInitMenu_(window, menu, kind) : fallback;
}

int PluginModule::FolderEndRetrieve(HWND window, int fallback) const {
    return folderEndRetrieve_ ? folderEndRetrieve_(window) : fallback;
}
