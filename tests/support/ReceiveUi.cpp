#include "ReceiveUi.h"
#include "AnsiText.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

const char kSelectionDialogCaption[] = "ﾀﾞｲｱﾛｸﾞ";

namespace {

struct FindData {
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindOwn(HWND window, LPARAM param) {
    FindData* data = reinterpret_cast<FindData*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) {
        return TRUE;
    }
    char caption[256] = {};
    ansi::WindowText(window, caption, sizeof caption);
    if (std::strcmp(caption, data->caption) == 0) {
        data->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string ItemText(HWND list, int index, int subItem) {
    char buffer[1024];
    std::memset(buffer, 0xcc, sizeof buffer);
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    LRESULT length = SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    if (length < 0 || length >= static_cast<LRESULT>(sizeof buffer)) {
        return "<bad length>";
    }
    if (buffer[length] != '\0') {
        return "<no terminator>";
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

struct FindItemData {
    int id;
    HWND found;
};

BOOL CALLBACK FindOwnWithItem(HWND window, LPARAM param) {
    FindItemData* data = reinterpret_cast<FindItemData*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && GetDlgItem(window, data->id)) {
        data->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of this process with a child of that id; null when none.
HWND FindOwnWindowWithItem(int id) {
    FindItemData data = {id, nullptr};
    EnumWindows(FindOwnWithItem, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

}  // namespace

HWND FindOwnWindow(const char* caption) {
    FindData data = {caption, nullptr};
    EnumWindows(FindOwn, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

std::vector<SelectionItemSeen> ReadSelectionList(HWND list) {
    std::vector<SelectionItemSeen> items;
    const LRESULT count = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        SelectionItemSeen seen;
        seen.subject = ItemText(list, i, 0);
        seen.size = ItemText(list, i, 1);
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        seen.param = item.lParam;
        seen.stateImage = static_cast<int>(
            (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
        items.push_back(seen);
    }
    return items;
}

SelectionDialogDriver::SelectionDialogDriver(std::vector<int> tick, Press press, DWORD timeoutMs)
    : tick_(std::move(tick)), press_(press), timeoutMs_(timeoutMs), thread_([this] { Run(); }) {}

SelectionDialogDriver::~SelectionDialogDriver() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

const SelectionDialogSeen& SelectionDialogDriver::Seen() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return seen_;
}

void SelectionDialogDriver::Run() {
    HWND dialog = nullptr;
    for (DWORD waited = 0; !dialog && waited < timeoutMs_; waited += 10) {
        dialog = FindOwnWindow(kSelectionDialogCaption);
        if (!dialog) {
            Sleep(10);
        }
    }
    if (!dialog) {
        // A selection dialog that is up but was not recognised by its caption would
        // keep the command, and the test with it, waiting for ever: close it, so
        // that the test fails on what it sees instead of hanging.
        HWND stray = FindOwnWindowWithItem(1001);
        if (stray) {
            seen_.closedUnrecognised = true;
            std::fprintf(stderr, "SelectionDialogDriver: a window holding the message list is up, but not under "
                                 "the caption \"%s\"; cancelled it\n", kSelectionDialogCaption);
            PostMessageA(stray, WM_COMMAND, IDCANCEL, 0);
        }
        return;
    }
    seen_.found = true;
    seen_.owner = GetWindow(dialog, GW_OWNER);
    HWND list = GetDlgItem(dialog, 1001);
    seen_.items = ReadSelectionList(list);
    DWORD extended = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    seen_.checkBoxStyle = (extended & LVS_EX_CHECKBOXES) != 0;
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_STATE, 0));
    seen_.stateImageListSet = images != nullptr;
    seen_.stateImageCount = images ? ImageList_GetImageCount(images) : 0;
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const LRESULT columns = header ? SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    for (int c = 0; c < columns; ++c) {
        char heading[64] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = heading;
        column.cchTextMax = sizeof heading;
        SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
        seen_.columns.push_back(heading);
        seen_.columnWidths.push_back(column.cx);
    }

    for (int index : tick_) {
        LVITEMA item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(2);
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    switch (press_) {
    case Press::kOk:
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        break;
    case Press::kCancel:
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        break;
    case Press::kClose:
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
}

KirvanBoxCloser::KirvanBoxCloser() : thread_([this] { Watch(); }) {}

KirvanBoxCloser::~KirvanBoxCloser() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::vector<KirvanBoxSeen> KirvanBoxCloser::Boxes() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return boxes_;
}

void KirvanBoxCloser::Watch() {
    HWND last = nullptr;
    while (!stop_) {
        HWND box = FindOwnWindow("Kirvan");
        if (box && box != last) {
            KirvanBoxSeen seen;
            // The message text of a message box is its static control 0xFFFF.
            char text[1024] = {};
            ansi::DialogItemText(box, 0xFFFF, text, sizeof text);
            seen.text = text;
            seen.owner = GetWindow(box, GW_OWNER);
            seen.onlyOk = GetDlgItem(box, IDOK) != nullptr;
            for (int other : {IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
                HWND button = GetDlgItem(box, other);
                if (button && IsWindowVisible(button)) {
                    seen.onlyOk = false;
                }
            }
            HWND icon = GetDlgItem(box, 0x0440);  // the icon control of a message box
            seen.hasIcon = icon && IsWindowVisible(icon) &&
                           SendMessageA(icon, STM_GETICON, 0, 0) != 0;
            boxes_.push_back(seen);
            last = box;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(10);
    }
}
