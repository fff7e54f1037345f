#include "MainWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include "HostContext.h"
#include "HostMenus.h"
#include "HostTimers.h"
#include "JisConvert.h"
#include "MailSummary.h"
#include "MailView.h"
#include "Report.h"
#include "Retrieval.h"
#include "WinHandles.h"

namespace {

const char kClassName[] = "QuenlaFolderWindow";
const int kTreeId = 0x500;
const int kListId = 0x501;
const int kViewId = 0x502;
const int kStatusId = 0x503;
const int kTreeWidth = 200;

std::string AccountTitle(const std::string& account) {
    char title[1024] = "";
    GetPrivateProfileStringA("Property", "Title", "", title, sizeof title,
                             gHost.store.FullPath(account + "\\Account.ini").c_str());
    return title[0] ? std::string(title) : account;
}

void AddColumn(HWND list, int index, const char* title, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetCell(HWND list, int item, int column, const std::string& value) {
    LVITEMA lv = {};
    lv.iSubItem = column;
    lv.pszText = const_cast<char*>(value.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
}

}  // namespace

bool MainWindow::Create(HINSTANCE instance, int show) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExA(&windowClass);
    menuBar_ = CreateHostMenuBar();
    window_ = CreateWindowExA(0, kClassName, "Quenla", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                              CW_USEDEFAULT, 900, 600, nullptr, menuBar_, instance, this);
    if (!window_) {
        return false;
    }
    gHost.folderWindow = window_;
    gHost.onChanged = [this] {
        if (!syncing_) {
            RefreshList();
        }
    };
    RefreshTree();
    ShowWindow(window_, show);
    UpdateWindow(window_);
    return true;
}

LRESULT CALLBACK MainWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MainWindow* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    if (!self) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    LRESULT result = self->Handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return result;
}

void MainWindow::CreateChildren() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    tree_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                            WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                TVS_SHOWSELALWAYS,
                            0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeId)), instance, nullptr);
    list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
    view_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                            0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewId)), instance, nullptr);
    status_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                              window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusId)), instance, nullptr);
    for (HWND control : {tree_, list_, view_, status_}) {
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumn(list_, 0, "件名", 230);
    AddColumn(list_, 1, "差出人", 140);
    AddColumn(list_, 2, "日付", 150);
    AddColumn(list_, 3, "サイズ", 60);
    AddColumn(list_, 4, "マーク", 50);
    AddColumn(list_, 5, "未読", 40);
    gMailView.editor = view_;
}

void MainWindow::Layout() {
    RECT client;
    GetClientRect(window_, &client);
    SendMessageA(status_, WM_SIZE, 0, 0);
    RECT statusRect;
    GetWindowRect(status_, &statusRect);
    int height = client.bottom - (statusRect.bottom - statusRect.top);
    int width = client.right;
    int listHeight = height * 2 / 5;
    MoveWindow(tree_, 0, 0, kTreeWidth, height, TRUE);
    MoveWindow(list_, kTreeWidth, 0, width - kTreeWidth, listHeight, TRUE);
    MoveWindow(view_, kTreeWidth, listHeight, width - kTreeWidth, height - listHeight, TRUE);
}

bool MainWindow::LoadPlugin(const std::string& path) {
    DWORD error = 0;
    if (!plugin_.Load(path, &error)) {
        gReport.Line("plugin: cannot load " + path + " (error " + std::to_string(error) + ")");
        return false;
    }
    gReport.Line("plugin: loaded " + path + " name \"" + plugin_.Name() + "\"");
    gReport.Line("plugin: VbxStartUp -> " + std::to_string(plugin_.StartUp(0, -1)));
    int result = plugin_.FolderInitMenu(window_, menuBar_, kMenuKindMenuBar, -1);
    gReport.Line("plugin: VbxFolderInitMenu 101 -> " + std::to_string(result));
    DrawMenuBar(window_);
    return true;
}

void MainWindow::UnloadPlugin() {
    if (!plugin_.IsLoaded()) {
        return;
    }
    plugin_.CleanUp();
    plugin_.Unload();
    gReport.Line("plugin: unloaded");
}

HMENU MainWindow::BuildFolderMenu() {
    HMENU menu = CreateFolderMenu();
    if (plugin_.IsLoaded()) {
        int result = plugin_.FolderInitMenu(window_, menu, kMenuKindFolderMenu, -1);
        gReport.Line("plugin: VbxFolderInitMenu 102 -> " + std::to_string(result));
    }
    return menu;
}

void MainWindow::Command(int id) {
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void MainWindow::SetStatus(const std::string& text) {
    if (status_) {
        SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void MainWindow::RefreshTree() {
    if (!tree_) {
        return;
    }
    syncing_ = true;
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    treeFolders_.clear();
    HTREEITEM selected = nullptr;
    for (const std::string& account : gHost.store.Accounts()) {
        gHost.store.EnsureAccountFolders(account);
        std::string title = AccountTitle(account);
        TVINSERTSTRUCTA insert = {};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(title.c_str());
        insert.item.lParam = -1;
        HTREEITEM accountItem = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        const char* folders[][2] = {{"inbox.box", "受信箱"}, {"trash.box", "ごみ箱"}};
        for (auto& folder : folders) {
            treeFolders_.push_back(account + "\\" + folder[0]);
            insert.hParent = accountItem;
            insert.item.pszText = const_cast<char*>(folder[1]);
            insert.item.lParam = static_cast<LPARAM>(treeFolders_.size() - 1);
            HTREEITEM item = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
            if (treeFolders_.back() == gHost.CurrentFolder()) {
                selected = item;
            }
        }
        SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(accountItem));
    }
    if (selected) {
        SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selected));
    }
    syncing_ = false;
    RefreshList();
}

void MainWindow::RefreshList() {
    if (!list_) {
        return;
    }
    syncing_ = true;
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    listEntries_.clear();
    std::vector<MailEntry> mails = gHost.store.List(gHost.CurrentFolder());
    const std::vector<std::string>& selection = gHost.Selection();
    int unread = 0;
    for (const MailEntry& mail : mails) {
        std::string entry = gHost.CurrentFolder() + "\\" + mail.name;
        std::string bytes;
        gHost.store.ReadMail(entry, &bytes);
        MailSummary summary = SummarizeMail(bytes);
        listEntries_.push_back(entry);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
        item.iItem = static_cast<int>(listEntries_.size() - 1);
        item.pszText = const_cast<char*>(summary.subject.c_str());
        item.lParam = static_cast<LPARAM>(listEntries_.size() - 1);
        item.stateMask = LVIS_SELECTED;
        for (const std::string& chosen : selection) {
            if (chosen == entry) {
                item.state = LVIS_SELECTED;
            }
        }
        int index = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        SetCell(list_, index, 1, summary.from);
        SetCell(list_, index, 2, summary.date);
        SetCell(list_, index, 3, std::to_string(bytes.size()));
        SetCell(list_, index, 4, mail.mark ? std::to_string(mail.mark) : std::string());
        SetCell(list_, index, 5, mail.unread ? "●" : "");
        unread += mail.unread ? 1 : 0;
    }
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    syncing_ = false;
    SetStatus(gHost.CurrentFolder() + "  " + std::to_string(mails.size()) + " 通 (未読 " +
              std::to_string(unread) + ")");
    UpdateView();
}

void MainWindow::UpdateView() {
    if (!view_) {
        return;
    }
    std::string shown;
    if (!gHost.Selection().empty()) {
        std::string entry = gHost.Selection().front();
        std::string header, body;
        if (gMailView.Header(entry, &header) && gMailView.Text(entry, &body)) {
            if (body.find('\x1b') != std::string::npos) {
                body = JisToSjis(body);
            }
            // Encoded words of the header are shown decoded, as a mail client does.
            shown = DecodeHeaderText(header) + "\r\n" + body;
        }
    }
    SetWindowTextA(view_, shown.c_str());
}

void MainWindow::OnListSelectionChanged() {
    if (syncing_) {
        return;
    }
    std::vector<std::string> selection;
    int index = -1;
    while ((index = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(index),
                                                  LVNI_SELECTED))) >= 0) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (item.lParam >= 0 && static_cast<size_t>(item.lParam) < listEntries_.size()) {
            selection.push_back(listEntries_[static_cast<size_t>(item.lParam)]);
        }
    }
    syncing_ = true;
    gHost.SetSelection(selection);
    syncing_ = false;
    UpdateView();
}

void MainWindow::OnNotify(NMHDR* header) {
    if (header->idFrom == kTreeId && header->code == TVN_SELCHANGEDA && !syncing_) {
        NMTREEVIEWA* change = reinterpret_cast<NMTREEVIEWA*>(header);
        LPARAM index = change->itemNew.lParam;
        if (index >= 0 && static_cast<size_t>(index) < treeFolders_.size()) {
            gHost.SelectFolder(treeFolders_[static_cast<size_t>(index)]);
        }
    } else if (header->idFrom == kListId && header->code == LVN_ITEMCHANGED) {
        NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && ((change->uOldState ^ change->uNewState) & LVIS_SELECTED)) {
            OnListSelectionChanged();
        }
    }
}

void MainWindow::MoveSelected(bool toTrash) {
    std::vector<std::string> selection = gHost.Selection();
    std::string trash = gHost.CurrentAccount() + "\\trash.box";
    for (const std::string& entry : selection) {
        bool ok = toTrash ? gHost.store.Move(entry, trash, nullptr) : gHost.store.Delete(entry);
        gReport.Line(std::string(toTrash ? "host: moved to trash " : "host: deleted ") + entry +
                     (ok ? "" : " (failed)"));
    }
    gHost.SetSelection({});
}

void MainWindow::Receive() {
    std::string account = gHost.CurrentAccount();
    if (gHost.busy) {
        // Chosen again from a window the plug-in opened during a retrieval.
        gReport.Line("receive: already receiving");
        return;
    }
    if (account.empty()) {
        gReport.Line("receive: no account shown");
        return;
    }
    gHost.busy = true;
    SetStatus(account + " 受信中...");
    HCURSOR oldCursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    RetrievalResult result = RetrieveAccountMail(
        gHost.store, account,
        [this](const std::string& path) { return plugin_.RecFilter(path.c_str(), 0); }, receiveTimeoutMs);
    SetCursor(oldCursor);
    gReport.Line("receive: " + account + " on server " + std::to_string(result.onServer) + ", skipped " +
                 std::to_string(result.skipped) + ", retrieved " + std::to_string(result.mails.size()));
    for (const RetrievedMail& mail : result.mails) {
        gReport.Line("  message " + std::to_string(mail.number) + " uidl \"" + mail.uidl + "\" -> " + mail.entry +
                     " (" + std::to_string(mail.size) + " bytes) filter " + std::to_string(mail.filterResult) +
                     (mail.deleted ? ", deleted on server" : ", kept on server"));
    }
    if (!result.security.empty()) {
        gReport.Line("  secured: " + result.security);
    }
    if (!result.error.empty()) {
        gReport.Line("  error: " + result.error);
    }
    gHost.busy = false;
    // Ends the plug-in's part in the retrieval whatever happened (it hangs up and resets).
    int endResult = plugin_.FolderEndRetrieve(window_, -1);
    if (plugin_.IsLoaded()) {
        gReport.Line("plugin: VbxFolderEndRetrieve -> " + std::to_string(endResult));
    }
    RefreshList();
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateChildren();
        return 0;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_NOTIFY:
        OnNotify(reinterpret_cast<NMHDR*>(lParam));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == list_) {
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (at.x == -1 && at.y == -1) {
                GetCursorPos(&at);
            }
            UniqueMenu menu(BuildFolderMenu());
            int id = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
            menu.Reset();
            if (id) {
                Command(id);
            }
            return 0;
        }
        break;
    case WM_TIMER:
        if (gHostTimers.Fire(window_, wParam)) {
            return 0;
        }
        break;
    case kStepMessage:
        if (onStep) {
            onStep();
        }
        return 0;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (lParam != 0 && HIWORD(wParam) != 0) {
            return 0;  // a control's notification
        }
        LRESULT result = 0;
        if (gHost.commands.Dispatch(id, window_, &result)) {
            return 0;
        }
        switch (id) {
        case kCmdReceive:
            Receive();
            break;
        case kCmdOpenMail:
            UpdateView();
            break;
        case kCmdMoveToTrash:
            MoveSelected(true);
            break;
        case kCmdDeleteMail:
            MoveSelected(false);
            break;
        case kCmdRefresh:
            RefreshTree();
            break;
        case kCmdSetup:
            gReport.Line("plugin: VbxSetup -> " + std::to_string(plugin_.Setup(window_, -1)));
            break;
        case kCmdVersion:
            gReport.Line("plugin: VbxVersionInfo -> " + std::to_string(plugin_.VersionInfo(window_, -1)));
            break;
        case kCmdExit:
            DestroyWindow(window_);
            break;
        default:
            break;
        }
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        gHost.folderWindow = nullptr;
        gHost.onChanged = nullptr;
        gMailView.editor = nullptr;
        PostQuitMessage(exitCode);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}
