#pragma once
// The filter page: the selective-receive settings (Kirvan.ini) of one account at a
// time, chosen in the account list.

#include <windows.h>

#include <cstdint>

#include "AccountComboBox.h"
#include "PropertyPage.h"
#include "SettingsFiles.h"

class CFilterPage : public CPropertyPage {
public:
    CFilterPage();

protected:
    bool ExchangeValues(bool toControls) override;
    void OnInitialize() override;
    bool OnApply() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;

private:
    void LoadShownAccount();
    // False (after telling the user) when Kirvan.ini could not be written.
    bool SaveAccount(const char* directoryName);
    void RefreshEnabling();
    void OnAccountChanged();
    bool TakeSize();
    void FocusSizeField();

    AccountComboBox accounts_;
    int32_t shownAccount_ = 0;
    int32_t doFilter_ = 0;
    char userName_[kAccountNameBufferSize] = {};
    uint32_t filterSize_ = 0;
    char password_[kPasswordBufferSize] = {};
    int32_t deleteOnServer_ = 0;
    int32_t filterType_ = -1;
    int32_t checkSize_ = 0;
    int32_t security_ = 0;
};
