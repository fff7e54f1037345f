#include "ReceiveUi.h"
#include "AnsiText.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

const char kSelectionDialogCaption[] = "ﾀﾞｲｱﾛｸﾞ";

std::wstring SelectionCellText(HWND list, int item, int column) {
    wchar_t buffer[1024];
    for (wchar_t& c : buffer) {
        c = 0xcccc;
    }
    LVITEMW lv = {};
    lv.iSubItem = column;
    lv.pszText = buffer;
    lv.cchTextMax = static_cast<int>(sizeof buffer / sizeof buffer[0]);
    LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
    if (length < 0 || length >= lv.cchTextMax) {
        return L"<bad length>";
    }
    if (buffer[length] != L'\0') {
        return L"<no terminator>";
    }
    return std::wstring(buffer, static_cast<std::size_t>(length));
}

std::vector<SelectionItemSeen> ReadSelectionList(HWND list) {
    std::vector<SelectionItemSeen> items;
    const LRESULT count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        SelectionItemSeen seen;
        for (int c = 0; c < columns; ++c) {
            seen.cells.push_back(SelectionCellText(list, i, c));
        }
        const std::wstring subject = SelectionCellText(list, i, 0);
        const std::wstring size = SelectionCellText(list, i, 1);
        seen.subject = ansi::FromWide(subject.c_str(), static_cast<int>(subject.size()));
        seen.size = ansi::FromWide(size.c_str(), static_cast<int>(size.size()));
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        seen.param = item.lParam;
        seen.stateImage = static_cast<int>(
            (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
        items.push_back(seen);
    }
    return items;
}

SelectionDialogDriver::SelectionDialogDriver(std::vector<int> tick, Press press, Action before)
    : tick_(std::move(tick)),
      press_(press),
      before_(std::move(before)),
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
    DWORD extended = static_cast<DWORD>(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    seen_.checkBoxStyle = (extended & LVS_EX_CHECKBOXES) != 0;
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_STATE, 0));
    seen_.stateImageListSet = images != nullptr;
    seen_.stateImageCount = images ? ImageList_GetImageCount(images) : 0;
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const LRESULT columns = header ? SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    for (int c = 0; c < columns; ++c) {
        wchar_t heading[64] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = heading;
        column.cchTextMax = static_cast<int>(sizeof heading / sizeof heading[0]);
        SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
        seen_.columns.push_back(ansi::FromWide(heading, lstrlenW(heading)));
        seen_.columnWidths.push_back(column.cx);
    }
    if (columns > 0) {
        seen_.columnOrder.assign(static_cast<std::size_t>(columns), -1);
        SendMessageW(list, LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(columns),
                     reinterpret_cast<LPARAM>(seen_.columnOrder.data()));
    }
    RECT client = {};
    GetClientRect(list, &client);
    seen_.listClientWidth = client.right;
    wchar_t summary[512] = {};
    GetDlgItemTextW(dialog, kSelectionSummaryId, summary, static_cast<int>(sizeof summary / sizeof summary[0]));
    seen_.summary = summary;

    for (int index : tick_) {
        LVITEMW item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(2);
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    if (before_) {
        before_(dialog, list);
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
