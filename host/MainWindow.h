#pragma once
// The host's folder window: folder tree (accounts, inbox, trash), the list of the
// chosen folder's mails, a view of the chosen mail and a status line, with the menu
// bar and folder menu that the plug-in extends. Menu commands registered by the
// plug-in are routed to its callbacks; the receive command retrieves mail.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "PluginModule.h"

class MainWindow {
public:
    // Posted to the window to run the next step of the non-interactive script.
    static constexpr UINT kStepMessage = WM_APP + 1;

    bool Create(HINSTANCE instance, int show);
    HWND Handle() const { return window_; }
    HMENU MenuBar() const { return menuBar_; }
    PluginModule& Plugin() { return plugin_; }

    // Loads the plug-in, calls VbxStartUp and VbxFolderInitMenu (kind 101) on the
    // menu bar; reports what happened.
    bool LoadPlugin(const std::string& path);
    // VbxCleanUp, then the library is released.
    void UnloadPlugin();

    // A fresh folder menu, extended by the plug-in (kind 102); the caller destroys it.
    HMENU BuildFolderMenu();
    // Runs a menu command as WM_COMMAND would.
    void Command(int id);

    void RefreshTree();
    void RefreshList();
    void SetStatus(const std::string& text);

    std::function<void()> onStep;
    int exitCode = 0;
    int receiveTimeoutMs = 30000;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateChildren();
    void Layout();
    void Receive();
    void MoveSelected(bool toTrash);
    void UpdateView();
    void OnListSelectionChanged();
    void OnNotify(NMHDR* header);

    HWND window_ = nullptr;
    HMENU menuBar_ = nullptr;
    HWND tree_ = nullptr;
    HWND list_ = nullptr;
    HWND view_ = nullptr;
    HWND status_ = nullptr;
    PluginModule plugin_;
    std::vector<std::string> treeFolders_;  // tree item lParam -> folder
    std::vector<std::string> listEntries_;  // list item lParam -> entry
    bool syncing_ = false;                  // the list is being filled from the host state
};
