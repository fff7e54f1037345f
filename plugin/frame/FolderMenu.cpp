#include "FolderMenu.h"

#include "BoundedText.h"
#include "HostApi.h"
#include "SelectiveReceive.h"
#include "SplitQueue.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(MENUITEMINFOA, hbmpItem) == 44, "the host's MENUITEMINFOA is 44 bytes");
static_assert(kShortMenuItemInfoSize == 44, "cbSize of the short MENUITEMINFOA");
#endif

namespace frame {
namespace {

const char kSelectiveReceiveText[] = "選択受信";
const char kDigestSplitText[] = "ダイジェストメール分割";
static_assert(sizeof kSelectiveReceiveText - 1 == 8, "Shift_JIS text of 4 characters");
static_assert(sizeof kDigestSplitText - 1 == 22, "Shift_JIS text of 11 characters");

const char kInboxFolderName[] = "inbox.box";

MENUITEMINFOA StringItem(UINT id, const char* itemText, UINT length) {
    MENUITEMINFOA item = {};
    item.cbSize = kShortMenuItemInfoSize;
    item.fMask = MIIM_ID | MIIM_TYPE;
    item.fType = MFT_STRING;
    item.wID = id;
    item.dwTypeData = const_cast<char*>(itemText);  // only read by InsertMenuItemA
    item.cch = length;
    return item;
}

// Inserting by command before an identifier the menu lacks need not fail: Wine
// appends the item at the end instead. The item must not appear then, so the
// anchor is looked up first, the way the insertion looks it up (submenus included).
BOOL InsertBeforeCommand(HMENU menu, UINT anchor, const MENUITEMINFOA& item) {
    if (GetMenuState(menu, anchor, MF_BYCOMMAND) == static_cast<UINT>(-1)) {
        return FALSE;
    }
    return InsertMenuItemA(menu, anchor, FALSE, &item);
}

BOOL InsertIntoMenuBar(HMENU menuBar) {
    HMENU submenu = GetSubMenu(menuBar, 2);
    if (!submenu || !gHostApi.VhxRegistCallback) {
        return FALSE;
    }
    const int id = gHostApi.VhxRegistCallback(RunSelectiveReceive, 0);
    MENUITEMINFOA item = StringItem(static_cast<UINT>(id), kSelectiveReceiveText,
                                    sizeof kSelectiveReceiveText - 1);
    InsertBeforeCommand(submenu, kHostReceiveCommand, item);
    item.fMask = MIIM_TYPE;
    item.fType = MFT_SEPARATOR;
    return InsertBeforeCommand(submenu, kHostReceiveCommand, item);
}

BOOL InsertIntoFolderMenu(HWND window, HMENU menu) {
    if (!gHostApi.VhxFolderGetCurrentFolder || !gHostApi.VhxRegistCallback) {
        return FALSE;
    }
    char folder[kPathBufferSize];
    // A cut path could end in another component than the real one: refuse it.
    if (!text::Copy(folder, sizeof folder, gHostApi.VhxFolderGetCurrentFolder(window)) ||
        !IsInboxFolderPath(folder)) {
        return FALSE;
    }
    const int id = gHostApi.VhxRegistCallback(DigestSplitCommand, reinterpret_cast<LPARAM>(menu));
    MENUITEMINFOA item = StringItem(static_cast<UINT>(id), kDigestSplitText, sizeof kDigestSplitText - 1);
    return InsertBeforeCommand(menu, kFolderMenuAnchorCommand, item);
}

}  // namespace

bool IsInboxFolderPath(const char* folderPath) {
    if (!folderPath) {
        return false;
    }
    const char* lastBackslash = nullptr;
    for (const char* p = folderPath; *p; ++p) {
        if (text::IsShiftJisLeadByte(*p) && p[1]) {
            ++p;
        } else if (*p == '\\') {
            lastBackslash = p;
        }
    }
    return lastBackslash &&
           text::EqualsNoCaseN(lastBackslash + 1, kInboxFolderName, sizeof kInboxFolderName - 1);
}

BOOL FolderInitMenu(HWND window, HMENU menu, int kind) {
    switch (kind) {
    case kMenuKindMenuBar:
        return InsertIntoMenuBar(menu);
    case kMenuKindFolderMenu:
        return InsertIntoFolderMenu(window, menu);
    default:
        return FALSE;
    }
}

}  // namespace frame
