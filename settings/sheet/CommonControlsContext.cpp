#include "CommonControlsContext.h"

namespace {

// Looked up at run time: old systems have no activation contexts at all.
typedef HANDLE(WINAPI* CreateActCtxFn)(const ACTCTXA*);
typedef BOOL(WINAPI* ActivateActCtxFn)(HANDLE, ULONG_PTR*);
typedef BOOL(WINAPI* DeactivateActCtxFn)(DWORD, ULONG_PTR);
typedef void(WINAPI* ReleaseActCtxFn)(HANDLE);

template <typename Function>
Function Kernel32(const char* name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name))) : nullptr;
}

}  // namespace

CommonControlsContext::CommonControlsContext(HINSTANCE module, int manifestId) {
    CreateActCtxFn create = Kernel32<CreateActCtxFn>("CreateActCtxA");
    ActivateActCtxFn activate = Kernel32<ActivateActCtxFn>("ActivateActCtx");
    if (!create || !activate) {
        return;
    }
    ACTCTXA description;
    ZeroMemory(&description, sizeof description);
    description.cbSize = sizeof description;
    description.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    description.hModule = module;
    description.lpResourceName = MAKEINTRESOURCEA(manifestId);
    context_ = create(&description);
    if (context_ == INVALID_HANDLE_VALUE) {
        return;
    }
    active_ = activate(context_, &cookie_) != FALSE;
}

void CommonControlsContext::Deactivate() {
    if (active_) {
        DeactivateActCtxFn deactivate = Kernel32<DeactivateActCtxFn>("DeactivateActCtx");
        if (deactivate) {
            deactivate(0, cookie_);
        }
        active_ = false;
    }
}

CommonControlsContext::~CommonControlsContext() {
    Deactivate();
    if (context_ != INVALID_HANDLE_VALUE) {
        ReleaseActCtxFn release = Kernel32<ReleaseActCtxFn>("ReleaseActCtx");
        if (release) {
            release(context_);
        }
    }
}
