#include "ImageListApi.h"

namespace {

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

ImageListApi ImageListApi::ForModule(HMODULE module) {
    ImageListApi api;
    api.module_ = module;
    api.create_ = Lookup<CreateFn>(module, "ImageList_Create");
    api.destroy_ = Lookup<DestroyFn>(module, "ImageList_Destroy");
    api.replaceIcon_ = Lookup<ReplaceIconFn>(module, "ImageList_ReplaceIcon");
    api.getIcon_ = Lookup<GetIconFn>(module, "ImageList_GetIcon");
    api.loadImage_ = Lookup<LoadImageFn>(module, "ImageList_LoadImageA");
    return api;
}

HMODULE ImageListApi::ClassModule(HWND control) {
    // The module that holds the class's window procedure: the library that registered
    // the class. (The class's instance handle is no help: for the global classes of
    // comctl32 it may read as the creating program's.) The W procedure, because an A
    // query of a Unicode class gives a thunk.
    if (!control) {
        return nullptr;
    }
    LONG_PTR procedure = GetClassLongPtrW(control, GCLP_WNDPROC);
    HMODULE module = nullptr;
    if (!procedure || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                          reinterpret_cast<LPCSTR>(procedure), &module)) {
        return nullptr;
    }
    return module;
}

ImageListApi ImageListApi::ForControl(HWND control) {
    ImageListApi api = ForModule(ClassModule(control));
    if (!api.Usable()) {
        // A user32 class: the comctl32 of the active context (loaded already by
        // whoever created the sheet; the lookup takes no reference of its own).
        api = ForModule(GetModuleHandleA("comctl32.dll"));
    }
    return api;
}

HIMAGELIST ImageListApi::Create(int width, int height, UINT flags, int initial, int grow) const {
    return create_ ? create_(width, height, flags, initial, grow) : nullptr;
}

HIMAGELIST ImageListApi::LoadFromResource(HINSTANCE instance, LPCSTR name, int width, int grow, COLORREF mask,
                                    UINT type, UINT flags) const {
    return loadImage_ ? loadImage_(instance, name, width, grow, mask, type, flags) : nullptr;
}

int ImageListApi::AddIcon(HIMAGELIST list, HICON icon) const {
    // ImageList_AddIcon is a macro over ImageList_ReplaceIcon with index -1.
    return replaceIcon_ ? replaceIcon_(list, -1, icon) : -1;
}

HICON ImageListApi::GetIcon(HIMAGELIST list, int index, UINT flags) const {
    return getIcon_ ? getIcon_(list, index, flags) : nullptr;
}

bool ImageListApi::Destroy(HIMAGELIST list) const {
    return destroy_ && list && destroy_(list) != FALSE;
}
