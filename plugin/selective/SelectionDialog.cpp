#include "SelectionDialog.h"

#include "BoundedText.h"
#include "HostApi.h"
#include "MailboxScan.h"
#include "Pop3Session.h"
#include "SubjectExtract.h"
#include "UidlList.h"
#include "resource.h"

HWND gMessageList = nullptr;
HIMAGELIST gStateImages = nullptr;

namespace {

constexpr int kStateUnticked = 1;  // leave on the server
constexpr int kImageListFlags = ILC_COLORDDB | ILC_MASK;  // 0xFF

// The wait cursor for as long as the dialog waits for the server.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// No repainting while the items go in, one repaint at the end.
class RedrawOff {
public:
    explicit RedrawOff(HWND window) : window_(window) { SendMessageA(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawOff() {
        SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    HWND window_;
};

void AddStateIcon(HIMAGELIST images, int resourceId) {
    HICON icon = static_cast<HICON>(
        LoadImageA(gPluginModule, MAKEINTRESOURCEA(resourceId), IMAGE_ICON, 16, 16, 0));
    // A missing picture still takes its place, so that the other keeps its index.
    ImageList_ReplaceIcon(images, -1, icon);
    if (icon) {
        DestroyIcon(icon);  // the image list holds its own copy
    }
}

void InsertColumn(int index, int width, const char* heading) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(heading);
    SendMessageA(gMessageList, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

}  // namespace

INT_PTR ShowSelectionDialog(HWND owner) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    INT_PTR result = DialogBoxParamA(gPluginModule, MAKEINTRESOURCEA(IDD_SELECTION), owner, SelectionDialogProc, 0);
    // The list and its pictures went with the dialog.
    gMessageList = nullptr;
    gStateImages = nullptr;
    return result;
}

INT_PTR CALLBACK SelectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!InitMessageList(dialog)) {
            return FALSE;
        }
        FillMessageList();
        return TRUE;  // the system sets the focus
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            CollectUnticked(dialog);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

bool InitMessageList(HWND dialog) {
    gMessageList = GetDlgItem(dialog, IDC_MESSAGE_LIST);
    gStateImages = nullptr;
    if (!gMessageList) {
        return false;
    }
    SendMessageA(gMessageList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES);

    gStateImages = ImageList_Create(16, 16, kImageListFlags, 1, 0);
    AddStateIcon(gStateImages, IDI_UNTICKED);
    AddStateIcon(gStateImages, IDI_TICKED);
    // The check-box style made a picture list of its own; the list only destroys
    // the one it holds at the end, so the replaced one is ours to destroy.
    HIMAGELIST replaced = reinterpret_cast<HIMAGELIST>(SendMessageA(
        gMessageList, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(gStateImages)));
    if (replaced && replaced != gStateImages) {
        ImageList_Destroy(replaced);
    }

    InsertColumn(0, 400, "Subject");
    InsertColumn(1, 60, "Size");
    return true;
}

void FillMessageList() {
    WaitCursor wait;
    RedrawOff quiet(gMessageList);
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        // The scan has fetched every header before the dialog was made.
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = n - 1;
        item.pszText = ScannedSubject(n);
        item.iImage = 0;
        item.lParam = n;
        LRESULT index = SendMessageA(gMessageList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (index < 0 || !gSizeTable) {
            continue;
        }

        char size[16];
        text::Format(size, sizeof size, "%d", static_cast<int>(gSizeTable[n - 1]));
        LVITEMA sizeItem = {};
        sizeItem.iSubItem = 1;
        sizeItem.pszText = size;
        SendMessageA(gMessageList, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sizeItem));
    }
}

char* ExtractSubject() {
    PopReadResponse(true);
    return ExtractSubjectFromReply(gResponseBuffer);
}

void CollectUnticked(HWND dialog) {
    // Nothing goes to the server here: the UIDLs were scanned before the dialog
    // opened, so the choice holds even when the session has been dropped since.
    {
        for (int32_t i = 0; i < gMessageCount; ++i) {
            LRESULT state = SendMessageA(gMessageList, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK);
            if (((state & LVIS_STATEIMAGEMASK) >> 12) != kStateUnticked) {
                continue;  // ticked (2), or no such item (0)
            }
            LVITEMA item = {};
            item.mask = LVIF_PARAM;
            item.iItem = i;
            if (!SendMessageA(gMessageList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
                continue;
            }
            gUidlList.AddUnique(ScannedUidl(static_cast<int32_t>(item.lParam)));
        }
    }
    EndDialog(dialog, IDOK);
}
