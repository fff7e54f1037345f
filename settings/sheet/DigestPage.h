#pragma once
// The digest page: the seven [Digest] settings of Pikuno.ini.

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "ImageListApi.h"
#include "PropertyPage.h"
#include "WinHandles.h"

class CDigestPage : public CPropertyPage {
public:
    CDigestPage();
    ~CDigestPage() override;

protected:
    bool ExchangeValues(bool toControls) override;
    void OnInitialize() override;
    bool OnApply() override;
    void OnCommand(int id, int code, HWND control) override;

private:
    void SplitRefresh();
    void TypeRefresh();
    void DisposalRefresh();

    // Image lists of the unread box's own comctl32 (ImageListApi), so not held by
    // UniqueImageList, whose ImageList_Destroy is the one this library would import.
    HIMAGELIST icons_ = nullptr;    // owned; the buttons only borrow their icons
    UniqueIcon buttonIcons_[8];     // copies drawn from the list
    HIMAGELIST unreadIcons_ = nullptr;  // owned; the unread box's picture beside its label
    ImageListApi iconsApi_;  // the unread box's comctl32, which makes and destroys both lists
    int32_t divide_ = 0;
    int32_t multipartMixed_ = 0;
    int32_t multipartDigest_ = 0;
    int32_t delType_ = 0;
    int32_t askDelete_ = 1;
    int32_t midoku_ = 0;
    int32_t mark_ = 0;
};
