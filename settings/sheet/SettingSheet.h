#pragma once
// The settings sheet "Pikuno 設定": the digest page, then the filter page.

#include "DigestPage.h"
#include "FilterPage.h"
#include "PropertySheet.h"

class CSettingSheet : public CPropertySheet {
public:
    CSettingSheet();

private:
    CDigestPage digestPage_;
    CFilterPage filterPage_;
};

// SetUp's work: stores the two strings, shows the sheet modally (owned by the
// window active on the calling thread) and returns 1 for OK, 2 for Cancel or the
// close box, 0 when the sheet could not be shown.
int RunSetUp(const char* mailboxDir, const char* accountPath);
