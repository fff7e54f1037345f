#include "HostMenus.h"

HMENU CreateHostMenuBar() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kCmdExit, "終了(&X)");
    HMENU view = CreatePopupMenu();
    AppendMenuA(view, MF_STRING, kCmdRefresh, "最新の情報に更新(&R)");
    HMENU mail = CreatePopupMenu();
    AppendMenuA(mail, MF_STRING, kCmdReceive, "受信(&R)");
    AppendMenuA(mail, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(mail, MF_STRING, kCmdMoveToTrash, "ごみ箱へ移動(&T)");
    AppendMenuA(mail, MF_STRING, kCmdDeleteMail, "削除(&D)");
    HMENU tools = CreatePopupMenu();
    AppendMenuA(tools, MF_STRING, kCmdSetup, "プラグインの設定(&S)...");
    AppendMenuA(tools, MF_STRING, kCmdVersion, "プラグインのバージョン情報(&A)...");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "ファイル(&F)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "表示(&V)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(mail), "メール(&M)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), "ツール(&T)");
    return bar;
}

HMENU CreateFolderMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, kCmdOpenMail, "開く(&O)");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kCmdMoveToTrash, "ごみ箱へ移動(&T)");
    AppendMenuA(menu, MF_STRING, kCmdDeleteMail, "削除(&D)");
    return menu;
}
