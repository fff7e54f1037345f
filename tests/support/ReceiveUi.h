#pragma once
// Drivers for the selective receive's modal windows, for tests that run the
// command on their own thread: a thread that waits for the selection dialog,
// reads its list, ticks items and presses a button, and a thread that reads and
// closes every "Kirvan" message box. Both use messages only.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SelectionItemSeen {
    std::string subject;  // column 0, bytes as LVM_GETITEMTEXTA returns them
    std::string size;     // column 1
    LPARAM param = 0;
    int stateImage = 0;   // as the dialog showed it, before any tick
};

struct SelectionDialogSeen {
    bool found = false;
    // Not found by its caption, but a window holding the message list was up and
    // was cancelled, so that the command could end.
    bool closedUnrecognised = false;
    HWND owner = nullptr;
    std::vector<SelectionItemSeen> items;
    std::vector<std::string> columns;  // headings
    std::vector<int> columnWidths;
    bool checkBoxStyle = false;
    bool stateImageListSet = false;
    int stateImageCount = 0;
};

class SelectionDialogDriver {
public:
    enum class Press { kOk, kCancel, kClose };

    // Starts waiting for a visible "ﾀﾞｲｱﾛｸﾞ" window of this process. tick holds
    // 0-based item indexes to give state image 2 before pressing.
    SelectionDialogDriver(std::vector<int> tick, Press press, DWORD timeoutMs = 20000);
    ~SelectionDialogDriver();
    SelectionDialogDriver(const SelectionDialogDriver&) = delete;
    SelectionDialogDriver& operator=(const SelectionDialogDriver&) = delete;

    // Waits for the driver to finish; valid afterwards.
    const SelectionDialogSeen& Seen();

private:
    void Run();

    std::vector<int> tick_;
    Press press_;
    DWORD timeoutMs_;
    SelectionDialogSeen seen_;
    std::thread thread_;
};

// The dialog caption in the ANSI code page.
extern const char kSelectionDialogCaption[];

// Reads the list of a selection dialog (used by the driver and the benchmark).
std::vector<SelectionItemSeen> ReadSelectionList(HWND list);
// Finds a visible top-level window of this process with the caption; null when none.
HWND FindOwnWindow(const char* caption);

struct KirvanBoxSeen {
    std::string text;
    HWND owner = nullptr;
    bool onlyOk = false;  // an OK button and no other
    bool hasIcon = false;
};

class KirvanBoxCloser {
public:
    KirvanBoxCloser();
    ~KirvanBoxCloser();
    KirvanBoxCloser(const KirvanBoxCloser&) = delete;
    KirvanBoxCloser& operator=(const KirvanBoxCloser&) = delete;

    // Stops watching and returns every box seen.
    std::vector<KirvanBoxSeen> Boxes();

private:
    void Watch();

    std::atomic<bool> stop_{false};
    std::vector<KirvanBoxSeen> boxes_;
    std::thread thread_;
};
