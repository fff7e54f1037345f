#include "HostApi.h"

#include <cstring>

#include "WinHandles.h"

HostApi gHostApi = {};
HMODULE gHostModule = nullptr;
HINSTANCE gPluginModule = nullptr;

namespace {

const char* const kHostApiNames[kHostApiFunctionCount] = {
#define PIKUNO_HOST_API_NAME(name, bytes) PIKUNO_HOST_API_DECORATED(name, bytes),
    PIKUNO_HOST_API_LIST(PIKUNO_HOST_API_NAME)
#undef PIKUNO_HOST_API_NAME
};

static_assert(sizeof(HostApi) == kHostApiFunctionCount * sizeof(FARPROC),
              "one slot per host function, nothing else");

}  // namespace

bool BindHostApi() {
    if (gHostModule) {
        return true;
    }
    UniqueLibrary host(LoadLibraryA("Quenla.exe"));
    if (!host) {
        return false;
    }
    // The slots are laid out in binding order, so the table is filled as an array.
    FARPROC slots[kHostApiFunctionCount];
    for (int i = 0; i < kHostApiFunctionCount; ++i) {
        slots[i] = GetProcAddress(host.Get(), kHostApiNames[i]);
        if (!slots[i]) {
            return false;  // the module is released with the owner
        }
    }
    memcpy(&gHostApi, slots, sizeof slots);
    gHostModule = host.Release();  // kept for the library's life; see ReleaseHostApi
    return true;
}

bool ShouldReleaseHostModule(const OSVERSIONINFOA& version) {
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        return true;
    }
    // Windows 95 (9x family, minor version 0) keeps the module: releasing the
    // executable's own module there is not safe.
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version.dwMinorVersion > 0;
}

void ReleaseHostApi() {
    if (!gHostModule) {
        return;
    }
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    BOOL known = GetVersionExA(&version);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    if (known && ShouldReleaseHostModule(version)) {
        FreeLibrary(gHostModule);
    }
    gHostModule = nullptr;
    gHostApi = HostApi();
}
