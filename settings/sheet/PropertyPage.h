#pragma once
// A thin property page over the common controls' PROPSHEETPAGEA: the static dialog
// procedure finds the page object through GWLP_USERDATA (set at WM_INITDIALOG) and
// forwards to virtual handlers. A page knows nothing of the sheet it is shown in:
// it keeps what OK last did to it, and the sheet reads that once it has closed.

#include <windows.h>
#include <commctrl.h>

class CPropertyPage {
public:
    explicit CPropertyPage(UINT templateId);
    virtual ~CPropertyPage();
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    // Null until the page is first shown (the sheet creates pages lazily).
    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }

    // Fills a page description for PropertySheetA: no help, title from the template.
    // Starts a new showing: the page has not been applied yet.
    void Describe(HINSTANCE instance, PROPSHEETPAGEA* page);

    // What OK last did to the page since Describe: nothing (the sheet sends OK only
    // to pages it has created, and stops at the first that refuses), or the result
    // of its OnApply.
    enum class ApplyState { NotApplied, Applied, Refused };
    ApplyState LastApply() const { return applyState_; }

protected:
    // Moves values between the controls and the page's fields: toControls shows
    // them, otherwise takes them. A take that must refuse returns false (it has
    // told the user why).
    virtual bool ExchangeValues(bool toControls) = 0;
    // The page's window exists and is about to be shown for the first time.
    virtual void OnInitialize() {}
    // OK: write what the page holds. False keeps the sheet open on this page.
    virtual bool OnApply() { return true; }
    // The page's window is being destroyed; its controls still exist.
    virtual void OnDestroy() {}
    virtual void OnCommand(int id, int code, HWND control) {
        (void)id;
        (void)code;
        (void)control;
    }
    // Notifications from the page's own controls; result goes to DWLP_MSGRESULT.
    virtual bool OnNotify(NMHDR* header, LRESULT* result) {
        (void)header;
        (void)result;
        return false;
    }

    bool ShowValues() { return ExchangeValues(true); }
    bool TakeValues() { return ExchangeValues(false); }

    // Control helpers, one Win32 call each.
    bool IsChecked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
    void SetCheck(int id, bool checked) const { CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED); }
    void Enable(int id, bool enabled) const { EnableWindow(Item(id), enabled ? TRUE : FALSE); }

    // Check boxes hold 1 or 0; a stored value other than those shows checked
    // when nonzero, because every reader and writer takes nonzero as on.
    void ShowSwitch(int id, int value) const { SetCheck(id, value != 0); }
    int TakeSwitch(int id) const { return IsChecked(id) ? 1 : 0; }
    // A radio group of count buttons with consecutive ids: value k checks button k
    // and unchecks the rest; a value out of range checks none. Taking gives the
    // number of the checked button, -1 when none is checked.
    void ShowRadio(int firstId, int count, int value) const;
    int TakeRadio(int firstId, int count) const;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleNotify(NMHDR* header);

    UINT templateId_;
    HWND window_ = nullptr;
    ApplyState applyState_ = ApplyState::NotApplied;
    bool firstActivation_ = true;
};
