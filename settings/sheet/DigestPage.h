#pragma once
// The digest page: the seven [Digest] settings of Pikuno.ini.

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "PropertyPage.h"
#include "WinHandles.h"

class CDigestPage : public CPropertyPage {
public:
    CDigestPage();

protected:
    bool ExchangeValues(bool toControls) override;
    void OnInitialize() override;
    bool OnApply() override;
    void OnCommand(int id, int code, HWND control) override;

private:
    void SplitRefresh();
    void TypeRefresh();
    void DisposalRefresh();

    UniqueImageList icons_;         // the buttons only borrow their icons
    UniqueIcon buttonIcons_[8];     // copies drawn from the list
    UniqueImageList unreadIcons_;   // the unread box's picture beside its label
    int32_t divide_ = 0;
    int32_t multipartMixed_ = 0;
    int32_t multipartDigest_ = 0;
    int32_t delType_ = 0;
    int32_t askDelete_ = 1;
    int32_t midoku_ = 0;
    int32_t mark_ = 0;
};
