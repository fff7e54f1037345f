#pragma once
// The filter page's account list over an extended combo box (ComboBoxEx32): each
// item shows an account's Title with the computer picture and holds its own copy
// of the account directory name, freed when the item is deleted.

#include <windows.h>
#include <commctrl.h>

#include "ImageListApi.h"

class AccountComboBox {
public:
    AccountComboBox() = default;
    ~AccountComboBox();
    AccountComboBox(const AccountComboBox&) = delete;
    AccountComboBox& operator=(const AccountComboBox&) = delete;

    // Binds to the page's control and makes it an unsorted drop-down list. The
    // control's destruction releases the names of the items still in it.
    void Attach(HWND control);
    HWND Window() const { return window_; }

    // The picture: the left 20 columns of the library's 22x18 bitmap, white
    // transparent. The list keeps the image list; this object owns it.
    bool SetIconsFromBitmap(HINSTANCE instance, int bitmapId);

    // Lists the "Account*" directories of mailboxDir in file-system order and
    // selects the one named currentName (without regard to case), else the first.
    void Fill(const char* mailboxDir, const char* currentName);

    int Count() const;
    // The item's directory name; null when there is no such item.
    const char* DirectoryName(int index) const;
    const char* SelectedDirectoryName() const { return DirectoryName(SelectedIndex()); }
    int SelectedIndex() const;
    int TrackedSelection() const { return trackedSelection_; }

    // The owner forwards these from its window procedure.
    // WM_NOTIFY from the control: frees a deleted item's name. True when handled.
    bool HandleNotify(const NMHDR* header);
    // CBN_SELCHANGE: records the new selection.
    void HandleSelectionChange();

    // Deletes every item (each frees its name through CBEN_DELETEITEM).
    void Clear();

    // Number of directory names held by all lists of the process (for leak checks).
    static long NamesAlive();

private:
    void AddItem(const char* title, const char* directoryName);
    // Frees every item's name directly: the control gives no CBEN_DELETEITEM
    // when it is emptied by CB_RESETCONTENT or destroyed with items in it.
    void ReleaseAllNames();
    void Unsubclass();
    // The control's procedure, replaced by hand (SetWindowSubclass is exported
    // by name only from common controls 6).
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    WNDPROC previousProc_ = nullptr;
    HIMAGELIST icons_ = nullptr;
    ImageListApi iconsApi_;  // the control's own comctl32, which made icons_
    int trackedSelection_ = 0;
};
