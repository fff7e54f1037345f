#pragma once
// The selective receive's selection dialog, for tests that run the command on their
// own thread: a driver (on the one WindowWatcher) that takes the dialog holding the
// message list, reads it, ticks items and presses a button, by messages only.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "WindowWatcher.h"

struct SelectionItemSeen {
    std::string subject;  // column 0, read as UTF-16 and turned into ANSI (what LVM_GETITEMTEXTA gives)
    std::string size;     // column 1, likewise
    std::vector<std::wstring> cells;  // every column by index, as LVM_GETITEMTEXTW gives it
    LPARAM param = 0;
    int stateImage = 0;   // as the dialog showed it, before any tick
};

struct SelectionDialogSeen {
    bool found = false;  // a dialog holding the message list came up
    std::string caption;  // its caption, read as UTF-16 and turned into ANSI
    HWND owner = nullptr;
    std::vector<SelectionItemSeen> items;
    std::vector<std::string> columns;  // headings, by column index
    std::vector<int> columnWidths;
    std::vector<int> columnOrder;  // column indexes from left to right
    int listClientWidth = 0;
    std::wstring summary;  // the line under the list, as the dialog opened
    bool checkBoxStyle = false;
    bool stateImageListSet = false;
    int stateImageCount = 0;
    std::string report;  // what the watcher waited for and saw, for failure messages
};

class SelectionDialogDriver {
public:
    enum class Press { kOk, kCancel, kClose };

    // What a test does to the open dialog after it was read and before the
    // press, on the driver's thread.
    using Action = std::function<void(HWND dialog, HWND list)>;

    // Takes the first dialog of this process holding the message list (item 1001).
    // tick holds 0-based item indexes to give state image 2 before pressing;
    // before runs after the ticks.
    SelectionDialogDriver(std::vector<int> tick, Press press, Action before = nullptr);

    // Stops watching (call it once the command has returned); valid afterwards.
    const SelectionDialogSeen& Seen();

private:
    void Drive(HWND dialog);

    std::vector<int> tick_;
    Press press_;
    Action before_;
    SelectionDialogSeen seen_;
    WindowWatcher watcher_;
};

// The dialog caption in the ANSI code page.
extern const char kSelectionDialogCaption[];
// The identifiers of the message list and of the line under it in the dialog.
const int kSelectionListId = 1001;
const int kSelectionSummaryId = 1008;

// Reads the list of a selection dialog (used by the driver and the benchmark).
std::vector<SelectionItemSeen> ReadSelectionList(HWND list);

// One cell of the list, through LVM_GETITEMTEXTW.
std::wstring SelectionCellText(HWND list, int item, int column);
