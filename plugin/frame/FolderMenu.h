#pragma once
// The plug-in's items in the host's menus: "選択受信" in the folder window's menu
// bar and "ダイジェストメール分割" in the menu of the inbox.

#include <windows.h>

#include <cstddef>

// Menu kinds the host passes to VbxFolderInitMenu.
constexpr int kMenuKindMenuBar = 101;     // the folder window's menu bar
constexpr int kMenuKindFolderMenu = 102;  // a menu of the folder window

// The host's own item before which the digest split item goes.
constexpr UINT kFolderMenuAnchorCommand = 1;

// MENUITEMINFOA as the host's system knows it: the form without hbmpItem
// (44 bytes on 32-bit Windows).
constexpr UINT kShortMenuItemInfoSize = static_cast<UINT>(offsetof(MENUITEMINFOA, hbmpItem));

namespace frame {

// Kind 101: registers RunSelectiveReceive and inserts "選択受信" and a separator
// before the host receive command in the third submenu; 0 when there is no third
// submenu. Kind 102: only when the window shows the inbox, registers
// DigestSplitCommand (value: the menu) and inserts its item before command 1.
// Other kinds: nothing. The result is that of the last insertion, else 0.
BOOL FolderInitMenu(HWND window, HMENU menu, int kind);

// True when the last component of a folder path begins with "inbox.box", in any
// case. Shift_JIS aware: a trail byte 0x5C is not a separator.
bool IsInboxFolderPath(const char* folderPath);

}  // namespace frame
