#include "ReceiveUi.h"
#include "AnsiText.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

const char kSelectionDialogCaption[] = "ﾀﾞｲｱﾛｸﾞ";

namespace {

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

}  // namespace

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

SelectionDialogDriver::SelectionDialogDriver(std::vector<int> tick, Press press)
    : tick_(std::move(tick)),
      press_(press),
      watcher_([] {
          WindowMatch match;
          match.item = kSelectionListId;
          return match;
      }(), [this](HWND dialog) { Drive(dialog); }) {}

const SelectionDialogSeen& SelectionDialogDriver::Seen() {
    watcher_.Stop();
    seen_.report = watcher_.Report();
    return seen_;
}

void SelectionDialogDriver::Drive(HWND dialog) {
    if (seen_.found) {
        // A second list dialog: not what any test expects; cancel it so the command ends.
        std::fprintf(stderr, "SelectionDialogDriver: a second selection dialog came up; cancelled it\n");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    seen_.found = true;
    seen_.caption = ansi::WindowText(dialog);
    seen_.owner = GetWindow(dialog, GW_OWNER);
    HWND list = GetDlgItem(dialog, kSelectionListId);
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
