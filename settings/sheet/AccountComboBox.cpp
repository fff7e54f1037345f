#include "AccountComboBox.h"

#include <cstring>

#include "BoundaryGuard.h"
#include "BoundedText.h"
#include "SettingsFiles.h"
#include "WinHandles.h"

namespace {

long gNamesAlive = 0;
// The window property that leads the control's procedure back to its list.
const char kListProperty[] = "PikunoAccountComboBox";

char* CopyName(const char* name) {
    std::size_t size = text::Length(name) + 1;
    char* copy = new char[size];
    text::Copy(copy, size, name);
    ++gNamesAlive;
    return copy;
}

void FreeName(LPARAM data) {
    if (data) {
        delete[] reinterpret_cast<char*>(data);
        --gNamesAlive;
    }
}

}  // namespace

AccountComboBox::~AccountComboBox() {
    if (window_ && IsWindow(window_)) {
        ReleaseAllNames();
        SendMessageA(window_, CBEM_SETIMAGELIST, 0, 0);
        Unsubclass();
    }
    if (icons_) {
        iconsApi_.Destroy(icons_);
    }
}

long AccountComboBox::NamesAlive() {
    return gNamesAlive;
}

void AccountComboBox::Attach(HWND control) {
    window_ = control;
    // Items are inserted at the end (CBEM_INSERTITEM never sorts); the style says so too.
    LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(CBS_SORT | CBS_DROPDOWN | CBS_SIMPLE)) | CBS_DROPDOWNLIST;
    SetWindowLongPtrA(control, GWL_STYLE, style);
    SetPropA(control, kListProperty, this);
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
}

void AccountComboBox::Unsubclass() {
    if (window_ && previousProc_) {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
        RemovePropA(window_, kListProperty);
    }
    previousProc_ = nullptr;
}

LRESULT CALLBACK AccountComboBox::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AccountComboBox* list = static_cast<AccountComboBox*>(GetPropA(window, kListProperty));
    if (!list || !list->previousProc_) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    WNDPROC previous = list->previousProc_;
    // A window procedure: nothing may unwind into the system; the control's own
    // procedure sees the message whatever happened here.
    CallGuardedVoid([&] {
        if (message == CB_RESETCONTENT) {
            // Emptied wholesale, the control gives no CBEN_DELETEITEM either.
            list->ReleaseAllNames();
        } else if (message == WM_DESTROY) {
            list->ReleaseAllNames();
            list->Unsubclass();
            list->window_ = nullptr;
        }
    });
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

void AccountComboBox::ReleaseAllNames() {
    for (int i = Count() - 1; i >= 0; --i) {
        COMBOBOXEXITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = CBEIF_LPARAM;
        item.iItem = i;
        if (SendMessageA(window_, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) && item.lParam) {
            LPARAM name = item.lParam;
            // Cleared first, so that a later CBEN_DELETEITEM finds nothing to free.
            item.lParam = 0;
            SendMessageA(window_, CBEM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            FreeName(name);
        }
    }
}

bool AccountComboBox::SetIconsFromBitmap(HINSTANCE instance, int bitmapId) {
    // The image width of 20 splits the 22-column bitmap into one picture: its
    // left 20 columns. Room for one, growing by one.
    ImageListApi api = ImageListApi::ForControl(window_);
    HIMAGELIST icons = api.LoadFromResource(instance, MAKEINTRESOURCEA(bitmapId), 20, 1, RGB(255, 255, 255),
                                            IMAGE_BITMAP, LR_DEFAULTCOLOR);
    if (!icons) {
        return false;
    }
    SendMessageA(window_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons));
    if (icons_) {
        iconsApi_.Destroy(icons_);
    }
    icons_ = icons;
    iconsApi_ = api;
    return true;
}

void AccountComboBox::Clear() {
    // Deleting from the end keeps the indexes of the rest; every deletion comes
    // back as CBEN_DELETEITEM, which frees the name.
    for (int i = Count() - 1; i >= 0; --i) {
        SendMessageA(window_, CBEM_DELETEITEM, static_cast<WPARAM>(i), 0);
    }
}

void AccountComboBox::AddItem(const char* title, const char* directoryName) {
    COMBOBOXEXITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_LPARAM;
    item.iItem = Count();
    item.pszText = const_cast<char*>(title);
    item.iImage = 0;
    item.iSelectedImage = 0;
    char* name = CopyName(directoryName);
    item.lParam = reinterpret_cast<LPARAM>(name);
    if (SendMessageA(window_, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) < 0) {
        FreeName(item.lParam);
    }
}

void AccountComboBox::Fill(const char* mailboxDir, const char* currentName) {
    Clear();
    trackedSelection_ = 0;
    if (!mailboxDir || mailboxDir[0] == '\0') {
        return;  // no mailbox: no accounts (a bare pattern would search the current folder)
    }
    char pattern[kPathBufferSize];
    if (!text::Format(pattern, sizeof pattern, "%sAccount*", mailboxDir)) {
        return;
    }
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(FindFirstFileA(pattern, &found));
    if (!search) {
        return;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            continue;
        }
        char title[kAccountLongValueBufferSize];
        title[0] = '\0';
        char accountIni[kPathBufferSize];
        if (BuildAccountFilePathFromMailbox(accountIni, sizeof accountIni, mailboxDir, found.cFileName,
                                            "Account.ini")) {
            ReadAccountString(accountIni, "Title", title, sizeof title);
        }
        AddItem(title, found.cFileName);
        if (currentName && currentName[0] != '\0' && text::EqualsNoCase(currentName, found.cFileName)) {
            trackedSelection_ = Count() - 1;
        }
    } while (FindNextFileA(search.Get(), &found));
    search.Reset();
    SendMessageA(window_, CB_SETCURSEL, static_cast<WPARAM>(trackedSelection_), 0);
}

int AccountComboBox::Count() const {
    if (!window_) {
        return 0;
    }
    LRESULT count = SendMessageA(window_, CB_GETCOUNT, 0, 0);
    return count < 0 ? 0 : static_cast<int>(count);
}

const char* AccountComboBox::DirectoryName(int index) const {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    COMBOBOXEXITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = CBEIF_LPARAM;
    item.iItem = index;
    if (!SendMessageA(window_, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(item.lParam);
}

int AccountComboBox::SelectedIndex() const {
    LRESULT index = SendMessageA(window_, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

bool AccountComboBox::HandleNotify(const NMHDR* header) {
    if (!window_ || header->hwndFrom != window_ || header->code != CBEN_DELETEITEM) {
        return false;
    }
    const NMCOMBOBOXEXA* notice = reinterpret_cast<const NMCOMBOBOXEXA*>(header);
    FreeName(notice->ceItem.lParam);
    return true;
}

void AccountComboBox::HandleSelectionChange() {
    trackedSelection_ = SelectedIndex();
}
