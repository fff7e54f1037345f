#pragma once
// The settings pages on a modeless property sheet made on the test's own thread, the
// way comctl32's own tests drive sheets: PSH_MODELESS, PSM_* messages sent from this
// thread, the queue pumped through PropSheet_IsDialogMessage, no second thread and
// nothing to wait for but the queue running dry. The pages are the product's own
// (CDigestPage, CFilterPage), with their templates, icons and manifest taken from
// Pikunoset.dll beside the test program; the product's own path to the sheet
// (SetUp, a modal PropertySheetA) is tested through SheetTestDriver.

#include <windows.h>

#include <string>

#include "DigestPage.h"
#include "FilterPage.h"
#include "SheetControls.h"

class CommonControlsContext;

class ModelessSheet : public SheetControls {
public:
    ModelessSheet();
    ~ModelessSheet() override;  // destroys the sheet if it is still open
    ModelessSheet(const ModelessSheet&) = delete;
    ModelessSheet& operator=(const ModelessSheet&) = delete;

    // Shows the digest page and the filter page for mailboxDir and accountPath, as
    // SetUp would; false (and Seen() says why) when the sheet cannot be made.
    bool Start(const char* mailboxDir, const char* accountPath);
    const std::string& Seen() const { return seen_; }

    HWND Sheet() const { return sheet_; }
    HWND Page(int index) const override;
    // Makes page index the top page; false when refused.
    bool SelectPage(int index);

    void Click(int page, int id);

    void PressOk() { Press(PSBTN_OK); }
    void PressCancel() { Press(PSBTN_CANCEL); }
    // SetUp's answer for the way the sheet closed: 1 when OK was applied to every
    // page it reached, 2 when it was cancelled, -1000 while it is still open.
    int WaitResult();

    bool SaveScreenshot(const char* path) const;

private:
    void Press(int button);
    // Hands every queued message to the sheet (or dispatches it) until none is left.
    void Pump() const;

    HMODULE library_ = nullptr;
    HMODULE commonControls_ = nullptr;
    CommonControlsContext* context_ = nullptr;
    HWND owner_ = nullptr;
    HWND sheet_ = nullptr;
    CDigestPage digestPage_;
    CFilterPage filterPage_;
    std::string seen_;
};
