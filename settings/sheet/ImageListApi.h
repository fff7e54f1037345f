#pragma once
// The image-list functions of one comctl32: the one that registered the window
// class of the control an image list is handed to. Common controls 5 and 6 are two
// libraries whose image lists are not interchangeable, and the sheet's controls
// come from version 6 (its activation context) while a host without a manifest has
// version 5 loaded: an image list must come from its control's own library, and be
// destroyed by it.

#include <windows.h>
#include <commctrl.h>

class ImageListApi {
public:
    ImageListApi() = default;

    // The comctl32 that registered the class of the control; for a class of user32
    // (a button without common controls 6), the comctl32 that the active
    // activation context names. Unusable when neither has image lists.
    static ImageListApi ForControl(HWND control);
    // The library that registered the control's window class (null when unknown).
    static HMODULE ClassModule(HWND control);
    // The image-list functions of that module (unusable when it has none).
    static ImageListApi ForModule(HMODULE module);

    bool Usable() const { return create_ && destroy_ && replaceIcon_ && getIcon_ && loadImage_; }
    HMODULE Module() const { return module_; }

    HIMAGELIST Create(int width, int height, UINT flags, int initial, int grow) const;
    HIMAGELIST LoadFromResource(HINSTANCE instance, LPCSTR name, int width, int grow, COLORREF mask, UINT type,
                          UINT flags) const;
    int AddIcon(HIMAGELIST list, HICON icon) const;
    HICON GetIcon(HIMAGELIST list, int index, UINT flags) const;
    bool Destroy(HIMAGELIST list) const;

private:
    typedef HIMAGELIST(WINAPI* CreateFn)(int, int, UINT, int, int);
    typedef BOOL(WINAPI* DestroyFn)(HIMAGELIST);
    typedef int(WINAPI* ReplaceIconFn)(HIMAGELIST, int, HICON);
    typedef HICON(WINAPI* GetIconFn)(HIMAGELIST, int, UINT);
    typedef HIMAGELIST(WINAPI* LoadImageFn)(HINSTANCE, LPCSTR, int, int, COLORREF, UINT, UINT);

    HMODULE module_ = nullptr;
    CreateFn create_ = nullptr;
    DestroyFn destroy_ = nullptr;
    ReplaceIconFn replaceIcon_ = nullptr;
    GetIconFn getIcon_ = nullptr;
    LoadImageFn loadImage_ = nullptr;
};
