#pragma once
// The host's menus. The menu bar's third submenu holds the receive command (the
// plug-in inserts its selective receive before it); the folder menu holds the item
// with identifier 1 (the plug-in inserts its digest split before it).

#include <windows.h>

#include "HostApiList.h"

enum HostCommand : int {
    kCmdOpenMail = 1,  // folder menu: show the mail
    kCmdExit = 0x100,
    kCmdRefresh = 0x110,
    kCmdMoveToTrash = 0x120,
    kCmdDeleteMail = 0x121,
    kCmdSetup = 0x130,
    kCmdVersion = 0x131,
    kCmdReceive = static_cast<int>(kHostReceiveCommand),
};

// The menu bar: ファイル, 表示, メール (receive), ツール (plug-in setup and version).
HMENU CreateHostMenuBar();
// The folder menu (before the plug-in's kind 102 insertion): 開く (1), ごみ箱へ移動, 削除.
HMENU CreateFolderMenu();
