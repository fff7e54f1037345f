#include "DigestPage.h"

#include "BoundedText.h"
#include "LibraryState.h"
#include "PikunosetResources.h"
#include "SaveFailureBox.h"
#include "SettingsFiles.h"

namespace {

constexpr int kDisposalCount = 3;  // trash, delete, keep
constexpr int kMarkCount = 8;      // none, then marks 1 to 7
constexpr int kIconCount = 8;

// The controls that follow the split switch.
const int kSplitControls[] = {
    IDC_TYPE_GROUP, IDC_MULTIPART_MIXED, IDC_MULTIPART_DIGEST, IDC_DISPOSAL_GROUP,
    IDC_DEL_TRASH,  IDC_DEL_DELETE,      IDC_DEL_KEEP,         IDC_MARK_NONE,
    IDC_MARK1,      IDC_MARK2,           IDC_MARK3,            IDC_MARK4,
    IDC_MARK5,      IDC_MARK6,           IDC_MARK7,            IDC_MIDOKU,
};

// Pikuno.ini of the mailbox directory; false (and nothing read or written) when
// there is no mailbox directory, since a bare "Pikuno.ini" would land in
// whatever folder happens to be current.
bool PikunoIniPath(char* path, std::size_t size) {
    const char* mailbox = MailboxDirectory();
    return mailbox[0] != '\0' && BuildPikunoIniPath(path, size, mailbox);
}

}  // namespace

CDigestPage::CDigestPage() : CPropertyPage(IDD_DIGEST_PAGE) {}

CDigestPage::~CDigestPage() {
    if (icons_) {
        iconsApi_.Destroy(icons_);
    }
    if (unreadIcons_) {
        iconsApi_.Destroy(unreadIcons_);
    }
}

bool CDigestPage::ExchangeValues(bool toControls) {
    if (toControls) {
        ShowSwitch(IDC_DIVIDE, divide_);
        ShowSwitch(IDC_MULTIPART_MIXED, multipartMixed_);
        ShowSwitch(IDC_MULTIPART_DIGEST, multipartDigest_);
        ShowRadio(IDC_DEL_TRASH, kDisposalCount, delType_);
        ShowSwitch(IDC_ASK_DELETE, askDelete_);
        ShowSwitch(IDC_MIDOKU, midoku_);
        ShowRadio(IDC_MARK_NONE, kMarkCount, mark_);
    } else {
        divide_ = TakeSwitch(IDC_DIVIDE);
        multipartMixed_ = TakeSwitch(IDC_MULTIPART_MIXED);
        multipartDigest_ = TakeSwitch(IDC_MULTIPART_DIGEST);
        delType_ = TakeRadio(IDC_DEL_TRASH, kDisposalCount);
        askDelete_ = TakeSwitch(IDC_ASK_DELETE);
        midoku_ = TakeSwitch(IDC_MIDOKU);
        mark_ = TakeRadio(IDC_MARK_NONE, kMarkCount);
    }
    return true;
}

void CDigestPage::OnInitialize() {
    char path[kPathBufferSize];
    DigestSettings settings = PikunoIniPath(path, sizeof path) ? ReadDigestSettings(path) : DefaultDigestSettings();
    divide_ = settings.Divide;
    multipartMixed_ = settings.MultipartMixed;
    multipartDigest_ = settings.MultipartDigest;
    delType_ = settings.DelType;
    midoku_ = settings.Midoku;
    mark_ = settings.Mark;
    askDelete_ = settings.AskDelete;

    // Both lists from the comctl32 of the unread box, which is handed the second.
    iconsApi_ = ImageListApi::ForControl(GetDlgItem(Window(), IDC_MIDOKU));
    icons_ = iconsApi_.Create(16, 16, ILC_COLOR4 | ILC_MASK, kIconCount, 1);
    for (int i = 0; i < kIconCount && icons_; ++i) {
        UniqueIcon icon(static_cast<HICON>(
            LoadImageA(LibraryModule(), MAKEINTRESOURCEA(IDI_MARK_FIRST + i), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
        if (icon) {
            iconsApi_.AddIcon(icons_, icon.Get());  // the list keeps a copy
        }
    }

    ShowValues();

    // Icons 1 to 7 on the mark buttons, icon 8 on the unread box. A button keeps
    // the icon it is given without owning it, so the page owns them.
    for (int i = 0; i < kIconCount && icons_; ++i) {
        buttonIcons_[i].Reset(iconsApi_.GetIcon(icons_, i, ILD_TRANSPARENT));
        int id = i < 7 ? IDC_MARK1 + i : IDC_MIDOKU;
        SendDlgItemMessageA(Window(), id, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(buttonIcons_[i].Get()));
    }
    // A check box given an icon by BM_SETIMAGE shows either the icon or the label;
    // a button image list (common controls 6) shows the icon beside the label.
    // Without version 6 the message fails and the box shows its label alone.
    unreadIcons_ = iconsApi_.Create(16, 16, ILC_COLOR4 | ILC_MASK, 1, 0);
    if (unreadIcons_ && buttonIcons_[7] && iconsApi_.AddIcon(unreadIcons_, buttonIcons_[7].Get()) >= 0) {
        BUTTON_IMAGELIST picture;
        ZeroMemory(&picture, sizeof picture);
        picture.himl = unreadIcons_;
        picture.margin.right = 2;
        picture.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
        SendDlgItemMessageA(Window(), IDC_MIDOKU, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&picture));
    }

    SplitRefresh();
}

void CDigestPage::SplitRefresh() {
    TakeValues();
    for (int id : kSplitControls) {
        Enable(id, divide_ != 0);
    }
    Enable(IDC_ASK_DELETE, divide_ != 0 && delType_ == 1);
}

void CDigestPage::TypeRefresh() {
    TakeValues();
    if (multipartMixed_ == 0 && multipartDigest_ == 0) {
        // Nothing would be split, so there is no source mail to move or delete.
        delType_ = 2;
        Enable(IDC_DEL_TRASH, false);
        Enable(IDC_DEL_DELETE, false);
    } else {
        Enable(IDC_DEL_TRASH, divide_ != 0);
        Enable(IDC_DEL_DELETE, divide_ != 0);
    }
    ShowValues();
}

void CDigestPage::DisposalRefresh() {
    TakeValues();
    Enable(IDC_ASK_DELETE, delType_ == 1);
    ShowValues();
}

void CDigestPage::OnCommand(int id, int code, HWND control) {
    (void)control;
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
    case IDC_DIVIDE:
        SplitRefresh();
        break;
    case IDC_MULTIPART_MIXED:
    case IDC_MULTIPART_DIGEST:
        TypeRefresh();
        break;
    case IDC_DEL_TRASH:
    case IDC_DEL_DELETE:
    case IDC_DEL_KEEP:
        DisposalRefresh();
        break;
    default:
        break;
    }
}

bool CDigestPage::OnApply() {
    TakeValues();
    char path[kPathBufferSize];
    if (PikunoIniPath(path, sizeof path)) {
        DigestSettings settings;
        settings.Divide = divide_;
        settings.MultipartMixed = multipartMixed_;
        settings.MultipartDigest = multipartDigest_;
        settings.DelType = delType_;
        settings.Mark = mark_;
        settings.Midoku = midoku_;
        settings.AskDelete = askDelete_;
        if (!WriteDigestSettings(path, settings)) {
            // Not saved: the sheet stays open on a refused OK.
            ShowSaveFailure(Window(), path);
            return false;
        }
    }
    return true;
}
