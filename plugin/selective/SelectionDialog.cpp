#include "SelectionDialog.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "BoundaryGuard.h"
#include "BoundedText.h"
#include "DialogResizer.h"
#include "HostApi.h"
#include "MailboxPath.h"
#include "MailboxScan.h"
#include "Pop3Session.h"
#include "SelectionLayout.h"
#include "SelectionRows.h"
#include "SubjectExtract.h"
#include "UidlList.h"
#include "WinHandles.h"
#include "resource.h"

HWND gMessageList = nullptr;
HIMAGELIST gStateImages = nullptr;

namespace {

constexpr int kStateUnticked = 1;  // leave on the server
constexpr int kStateTicked = 2;    // receive
constexpr int kImageListFlags = ILC_COLORDDB | ILC_MASK;  // 0xFF
// Rows set aside by an earlier command: a dark teal, apart from the black of
// the new ones and from any highlight colour.
constexpr COLORREF kSetAsideTextColour = RGB(0x00, 0x66, 0x99);

const wchar_t* const kColumnHeadings[kSelectionColumnCount] = {L"Subject", L"Size", L"From", L"Date", L"Status"};

// What the open dialog holds besides the control: the rows the items point at
// (by message number), the sort, the layout. One dialog at a time: it is modal.
struct SelectionState {
    std::vector<SelectionRow> rows;
    std::vector<int32_t> rowOfNumber;  // index into rows by message number; -1 when not listed
    int32_t hidden = 0;                // received messages, not listed
    int sortColumn = -1;
    bool ascending = true;
    int quiet = 0;  // while above 0, ticks do not update the line under the list
    WNDPROC listProc = nullptr;
    DialogResizer resizer;
    SIZE minimum = {0, 0};
    bool savedWidth[kSelectionColumnCount] = {};  // the user's width, kept as it is
    char iniPath[kPathBufferSize] = "";

    const SelectionRow* Row(LPARAM number) const {
        if (number < 1 || number >= static_cast<LPARAM>(rowOfNumber.size()) || rowOfNumber[number] < 0) {
            return nullptr;
        }
        return &rows[static_cast<std::size_t>(rowOfNumber[number])];
    }
};

std::unique_ptr<SelectionState> gSelection;

SelectionState& State() {
    if (!gSelection) {
        gSelection.reset(new SelectionState);
        BuildMailboxPath(gSelection->iniPath, "Pikuno.ini", nullptr, nullptr, nullptr);
    }
    return *gSelection;
}

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
    explicit RedrawOff(HWND window) : window_(window) { SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawOff() {
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    HWND window_;
};

// Many ticks at once update the line under the list once, at the end.
class QuietTicks {
public:
    QuietTicks() { ++State().quiet; }
    ~QuietTicks() { --State().quiet; }
    QuietTicks(const QuietTicks&) = delete;
    QuietTicks& operator=(const QuietTicks&) = delete;
};

void AddStateIcon(HIMAGELIST images, int resourceId) {
    // The image list takes a copy of the picture; ours goes at the end.
    UniqueIcon icon(static_cast<HICON>(
        LoadImageA(gPluginModule, MAKEINTRESOURCEA(resourceId), IMAGE_ICON, 16, 16, 0)));
    // A missing picture still takes its place, so that the other keeps its index.
    ImageList_ReplaceIcon(images, -1, icon.Get());
}

// The text's width in the list's font; when the list cannot measure it, the
// dialog font's average character width (four dialog units) per character.
int TextWidth(const wchar_t* text) {
    const int measured =
        static_cast<int>(SendMessageW(gMessageList, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
    if (measured > 0) {
        return measured;
    }
    RECT character = {0, 0, 4, 8};
    MapDialogRect(GetParent(gMessageList), &character);
    return lstrlenW(text) * static_cast<int>(character.right);
}

// Widths that fit the list's client area: the short columns as wide as the
// longest text they hold (the rows when known), the rest shared by sender (a
// third) and subject. The check box takes its place in the subject's column.
void FitColumnWidths(const std::vector<SelectionRow>* rows, int widths[kSelectionColumnCount]) {
    const int padding = 12;
    RECT client;
    GetClientRect(gMessageList, &client);
    const int room = client.right - GetSystemMetrics(SM_CXVSCROLL);
    auto wider = [](int a, int b) { return a > b ? a : b; };
    bool anySetAside = rows == nullptr;
    int size = TextWidth(rows ? L"0" : L"00000000");
    for (std::size_t i = 0; rows && i < rows->size(); ++i) {
        anySetAside = anySetAside || (*rows)[i].setAside;
        size = wider(size, TextWidth(SelectionCellText((*rows)[i], kColumnSize).c_str()));
    }
    widths[kColumnStatus] = wider(anySetAside ? TextWidth(kSetAsideStatusText) : 0, TextWidth(L"Status")) + padding;
    widths[kColumnDate] = wider(TextWidth(L"0000/00/00 00:00"), TextWidth(L"Date")) + padding;
    widths[kColumnSize] = wider(size, TextWidth(L"Size")) + padding;
    int rest = room - widths[kColumnStatus] - widths[kColumnDate] - widths[kColumnSize];
    rest = wider(rest, 3 * 30);
    widths[kColumnFrom] = rest / 3;
    widths[kColumnSubject] = rest - widths[kColumnFrom];
}

void InsertColumn(int index, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = index == kColumnSize ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(kColumnHeadings[index]);
    SendMessageW(gMessageList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

int StateImage(int item) {
    const LRESULT state = SendMessageW(gMessageList, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK);
    return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}

void SetStateImage(int item, int image) {
    LVITEMW lv = {};
    lv.stateMask = LVIS_STATEIMAGEMASK;
    lv.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageW(gMessageList, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
}

LPARAM ItemNumber(int item) {
    LVITEMW lv = {};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    return SendMessageW(gMessageList, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lv)) ? lv.lParam : 0;
}

int ItemCount() {
    return gMessageList ? static_cast<int>(SendMessageW(gMessageList, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

void ShowSummary(HWND dialog, int32_t receive, int64_t bytes, int32_t leave) {
    const std::wstring text = SelectionSummaryText(receive, bytes, leave, State().hidden);
    SetDlgItemTextW(dialog, IDC_SELECTION_SUMMARY, text.c_str());
}

// Counts the ticks the list holds now.
void UpdateSummary(HWND dialog) {
    const SelectionState& state = State();
    int32_t receive = 0;
    int32_t leave = 0;
    int64_t bytes = 0;
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        if (StateImage(i) == kStateTicked) {
            ++receive;
            const SelectionRow* row = state.Row(ItemNumber(i));
            bytes += row && row->size > 0 ? row->size : 0;
        } else {
            ++leave;
        }
    }
    ShowSummary(dialog, receive, bytes, leave);
}

// Space: every selected row takes the opposite of the focused row's tick (of
// the first selected one when the focus is elsewhere); no selection, the
// focused row alone.
void TickSelectedRows() {
    const int focused = static_cast<int>(SendMessageW(gMessageList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const int first = static_cast<int>(SendMessageW(gMessageList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (first < 0) {
        if (focused >= 0) {
            SetStateImage(focused, StateImage(focused) == kStateTicked ? kStateUnticked : kStateTicked);
        }
        return;
    }
    const bool focusedSelected =
        focused >= 0 && (SendMessageW(gMessageList, LVM_GETITEMSTATE, static_cast<WPARAM>(focused), LVIS_SELECTED) & LVIS_SELECTED);
    const int reference = focusedSelected ? focused : first;
    const int image = StateImage(reference) == kStateTicked ? kStateUnticked : kStateTicked;
    {
        QuietTicks quiet;
        for (int item = first; item >= 0;
             item = static_cast<int>(SendMessageW(gMessageList, LVM_GETNEXTITEM, static_cast<WPARAM>(item), LVNI_SELECTED))) {
            SetStateImage(item, image);
        }
    }
    UpdateSummary(GetParent(gMessageList));
}

void SelectAllRows() {
    LVITEMW lv = {};
    lv.stateMask = LVIS_SELECTED;
    lv.state = LVIS_SELECTED;
    SendMessageW(gMessageList, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&lv));
}

LRESULT HandleListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_SPACE) {
        TickSelectedRows();
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == 'A' && GetKeyState(VK_CONTROL) < 0) {
        SelectAllRows();
        return 0;
    }
    if (message == WM_CHAR && (wParam == L' ' || wParam == 1 /* Ctrl+A */)) {
        return 0;  // handled at WM_KEYDOWN; no incremental search for it
    }
    WNDPROC previous = gSelection ? gSelection->listProc : nullptr;
    return previous ? CallWindowProcW(previous, list, message, wParam, lParam)
                    : DefWindowProcW(list, message, wParam, lParam);
}

// A window procedure: nothing may unwind into the system.
LRESULT CALLBACK MessageListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallGuarded<LRESULT>(0, [&] { return HandleListMessage(list, message, wParam, lParam); });
}

int CALLBACK CompareItems(LPARAM first, LPARAM second, LPARAM context) {
    const SelectionState* state = reinterpret_cast<const SelectionState*>(context);
    const SelectionRow* a = state->Row(first);
    const SelectionRow* b = state->Row(second);
    if (!a || !b) {
        return a ? -1 : b ? 1 : 0;
    }
    const int order = CompareSelectionRows(*a, *b, state->sortColumn);
    return state->ascending ? order : -order;
}

void SortBy(int column) {
    SelectionState& state = State();
    if (column < 0 || column >= kSelectionColumnCount) {
        return;
    }
    state.ascending = column == state.sortColumn ? !state.ascending : true;
    state.sortColumn = column;
    SendMessageW(gMessageList, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&state), reinterpret_cast<LPARAM>(CompareItems));
}

LRESULT CustomDraw(NMLVCUSTOMDRAW* draw) {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const SelectionRow* row = State().Row(static_cast<LPARAM>(draw->nmcd.lItemlParam));
        if (row && row->setAside) {
            draw->clrText = kSetAsideTextColour;
            return CDRF_NEWFONT;
        }
    }
    return CDRF_DODEFAULT;
}

// Notifications of the list; true when handled, with the result in *result.
bool HandleListNotify(HWND dialog, NMHDR* header, LRESULT* result) {
    switch (header->code) {
    case LVN_COLUMNCLICK:
        SortBy(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return false;
    case LVN_ITEMCHANGED: {
        const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && ((change->uOldState ^ change->uNewState) & LVIS_STATEIMAGEMASK) &&
            State().quiet == 0) {
            UpdateSummary(dialog);
        }
        return false;
    }
    case NM_CUSTOMDRAW:
        *result = CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
        return true;
    default:
        return false;
    }
}

void ApplySavedSize(HWND dialog, const SelectionLayout& layout) {
    const SelectionState& state = State();
    if (layout.width <= 0 || layout.height <= 0) {
        return;
    }
    const int width = layout.width > state.minimum.cx ? layout.width : state.minimum.cx;
    const int height = layout.height > state.minimum.cy ? layout.height : state.minimum.cy;
    SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SaveLayout(HWND dialog) {
    const SelectionState& state = State();
    if (!gMessageList || state.iniPath[0] == '\0') {
        return;
    }
    SelectionLayout layout = {};
    RECT window;
    GetWindowRect(dialog, &window);
    layout.width = window.right - window.left;
    layout.height = window.bottom - window.top;
    for (int i = 0; i < kSelectionColumnCount; ++i) {
        layout.columns[i] = static_cast<int32_t>(SendMessageW(gMessageList, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    }
    WriteSelectionLayout(state.iniPath, layout);
}

bool InitDialog(HWND dialog) {
    gSelection.reset();
    if (!InitMessageList(dialog)) {
        return false;
    }
    SelectionState& state = State();
    state.listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(gMessageList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MessageListProc)));
    RECT window;
    GetWindowRect(dialog, &window);
    state.minimum.cx = window.right - window.left;
    state.minimum.cy = window.bottom - window.top;
    state.resizer.Track(dialog, IDC_MESSAGE_LIST, DialogResizer::kGrowWidth | DialogResizer::kGrowHeight);
    state.resizer.Track(dialog, IDC_SELECTION_SUMMARY, DialogResizer::kMoveDown | DialogResizer::kGrowWidth);
    state.resizer.Track(dialog, IDOK, DialogResizer::kMoveRight);
    state.resizer.Track(dialog, IDCANCEL, DialogResizer::kMoveRight);
    FillMessageList();
    ApplySavedSize(dialog, ReadSelectionLayout(state.iniPath));
    return true;
}

INT_PTR HandleSelectionMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return InitDialog(dialog) ? TRUE : FALSE;  // TRUE: the system sets the focus
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            CollectUnticked(dialog);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return FALSE;
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (gMessageList && header->hwndFrom == gMessageList && HandleListNotify(dialog, header, &result)) {
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }
    case WM_SIZE:
        if (gSelection && gMessageList) {
            gSelection->resizer.Apply(dialog);
        }
        return FALSE;
    case WM_GETMINMAXINFO:
        if (gSelection && gSelection->minimum.cx > 0) {
            MINMAXINFO* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize.x = gSelection->minimum.cx;
            limits->ptMinTrackSize.y = gSelection->minimum.cy;
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (gSelection && gMessageList) {
            SaveLayout(dialog);
            SetWindowLongPtrW(gMessageList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gSelection->listProc));
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR ShowSelectionDialog(HWND owner) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    INT_PTR result = DialogBoxParamA(gPluginModule, MAKEINTRESOURCEA(IDD_SELECTION), owner, SelectionDialogProc, 0);
    // The list and its pictures went with the dialog.
    gMessageList = nullptr;
    gStateImages = nullptr;
    gSelection.reset();
    return result;
}

// A dialog procedure: nothing may unwind into the dialog manager. A message
// whose handling failed counts as not handled; the dialog stays open, so that
// Cancel still ends it.
INT_PTR CALLBACK SelectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallGuarded<INT_PTR>(FALSE, [&] { return HandleSelectionMessage(dialog, message, wParam, lParam); });
}

bool InitMessageList(HWND dialog) {
    gMessageList = GetDlgItem(dialog, IDC_MESSAGE_LIST);
    gStateImages = nullptr;
    if (!gMessageList) {
        return false;
    }
    SendMessageW(gMessageList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);

    gStateImages = ImageList_Create(16, 16, kImageListFlags, 1, 0);
    AddStateIcon(gStateImages, IDI_UNTICKED);
    AddStateIcon(gStateImages, IDI_TICKED);
    // The check-box style made a picture list of its own; the list only destroys
    // the one it holds at the end, so the replaced one is ours to destroy.
    UniqueImageList replaced(reinterpret_cast<HIMAGELIST>(SendMessageW(
        gMessageList, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(gStateImages))));
    if (replaced.Get() == gStateImages) {
        replaced.Release();  // the list's own now, not ours to destroy
    }

    // Saved widths where the user left some; the others fitted to the rows once
    // they are in (FillMessageList).
    int widths[kSelectionColumnCount];
    FitColumnWidths(nullptr, widths);
    SelectionState& state = State();
    const SelectionLayout saved = ReadSelectionLayout(state.iniPath);
    for (int i = 0; i < kSelectionColumnCount; ++i) {
        state.savedWidth[i] = saved.columns[i] > 0;
        InsertColumn(i, state.savedWidth[i] ? saved.columns[i] : widths[i]);
    }
    SendMessageW(gMessageList, LVM_SETCOLUMNORDERARRAY, kSelectionColumnCount,
                 reinterpret_cast<LPARAM>(kSelectionColumnOrder));
    return true;
}

void FillMessageList() {
    WaitCursor wait;
    RedrawOff quiet(gMessageList);
    QuietTicks quietTicks;
    SelectionState& state = State();
    state.rows = BuildSelectionRows();
    state.hidden = CountReceivedMessages();
    state.rowOfNumber.assign(static_cast<std::size_t>(gMessageCount > 0 ? gMessageCount + 1 : 1), -1);
    for (std::size_t i = 0; i < state.rows.size(); ++i) {
        const SelectionRow& row = state.rows[i];
        state.rowOfNumber[static_cast<std::size_t>(row.number)] = static_cast<int32_t>(i);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(row.subject.c_str());
        item.iImage = 0;
        item.lParam = row.number;
        LRESULT index = SendMessageW(gMessageList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (index < 0) {
            continue;
        }
        for (int column = 1; column < kSelectionColumnCount; ++column) {
            const std::wstring cell = SelectionCellText(row, column);
            if (cell.empty()) {
                continue;
            }
            LVITEMW text = {};
            text.iSubItem = column;
            text.pszText = const_cast<wchar_t*>(cell.c_str());
            SendMessageW(gMessageList, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text));
        }
    }
    int widths[kSelectionColumnCount];
    FitColumnWidths(&state.rows, widths);
    for (int column = 0; column < kSelectionColumnCount; ++column) {
        if (!state.savedWidth[column]) {
            SendMessageW(gMessageList, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(widths[column], 0));
        }
    }
    // Every item starts unticked: nothing to count in the control.
    ShowSummary(GetParent(gMessageList), 0, 0, ItemCount());
}

char* ExtractSubject() {
    PopReadResponse(true);
    return ExtractSubjectFromReply(gResponseBuffer);
}

void CollectUnticked(HWND dialog) {
    // Nothing goes to the server here: the UIDLs were scanned before the dialog
    // opened, so the choice holds even when the session has been dropped since.
    // In message order whatever the list's order, as the uidl file always had them.
    std::vector<int32_t> unticked;
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        if (StateImage(i) != kStateUnticked) {
            continue;  // ticked (2), or no such item (0)
        }
        const LPARAM number = ItemNumber(i);
        if (number > 0) {
            unticked.push_back(static_cast<int32_t>(number));
        }
    }
    std::sort(unticked.begin(), unticked.end());
    for (int32_t number : unticked) {
        gUidlList.AddUnique(ScannedUidl(number));
    }
    EndDialog(dialog, IDOK);
}
