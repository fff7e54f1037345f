#pragma once
// The selective receive's selection dialog, for tests that run the command on their
// own thread: a driver (on the one WindowWatcher) that takes the dialog holding the
// message list, reads it, ticks items and presses a button, by messages only.

#include <windows.h>

#include <string>
#include <vector>

#include "WindowWatcher.h"

struct SelectionItemSeen {
    std::string subject;  // column 0, bytes as LVM_GETITEMTEXTA returns them
    std::string size;     // column 1
    LPARAM param = 0;
    int stateImage = 0;   // as the dialog showed it, before any tick
};

struct SelectionDialogSeen {
    bool found = false;  // a dialog holding the message list came up
    std::string caption;  // its caption, read as UTF-16 and turned into ANSI
    HWND owner = nullptr;
    std::vector<SelectionItemSeen> items;
    std::vector<std::string> columns;  // headings
    std::vector<int> columnWidths;
    bool checkBoxStyle = false;
    bool stateImageListSet = false;
    int stateImageCount = 0;
    std::string report;  // what the watcher waited for and saw, for failure messages
};

class SelectionDialogDriver {
public:
    enum class Press { kOk, kCancel, kClose };

    // Takes the first dialog of this process holding the message list (item 1001).
    // tick holds 0-based item indexes to give state image 2 before pressing.
    SelectionDialogDriver(std::vector<int> tick, Press press);

    // Stops watching (call it once the command has returned); valid afterwards.
    const SelectionDialogSeen& Seen();

private:
    void Drive(HWND dialog);

    std::vector<int> tick_;
    Press press_;
    SelectionDialogSeen seen_;
    WindowWatcher watcher_;
};

// The dialog caption in the ANSI code page.
extern const char kSelectionDialogCaption[];
// The identifier of the message list in the dialog.
const int kSelectionListId = 1001;

// Reads the list of a selection dialog (used by the driver and the benchmark).
std::vector<SelectionItemSeen> ReadSelectionList(HWND list);
