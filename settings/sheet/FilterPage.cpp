#include "FilterPage.h"

#include <string>

#include "AccountPath.h"
#include "BoundedText.h"
#include "LibraryState.h"
#include "PikunosetResources.h"
#include "SaveFailureBox.h"

namespace {

constexpr int kFilterTypeCount = 2;  // pick from a list, by conditions
constexpr int kSpinMaximum = 32767;

// The message of the size field, the only value on the sheet that can be refused.
const char kSizeMessage[] = "正の整数を入力してください。";

// The choices of the security list, at the index of their value of Security.
const char* const kSecurityChoices[kSecurityModeCount] = {
    "自動 (可能なら暗号化する)",
    "SSL/TLS (接続直後から暗号化)",
    "STARTTLS (STLS) を必ず使う",
    "暗号化しない",
};

bool AccountFile(char* path, std::size_t size, const char* directoryName, const char* fileName) {
    const char* mailbox = MailboxDirectory();
    return directoryName && mailbox[0] != '\0' &&
           BuildAccountFilePathFromMailbox(path, size, mailbox, directoryName, fileName);
}

}  // namespace

CFilterPage::CFilterPage() : CPropertyPage(IDD_FILTER_PAGE) {}

bool CFilterPage::TakeSize() {
    HWND field = Item(IDC_FILTER_SIZE);
    int length = GetWindowTextLengthA(field);
    std::string textValue(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, '\0');
    GetWindowTextA(field, &textValue[0], static_cast<int>(textValue.size()));
    uint32_t size = 0;
    if (ParseSizeText(textValue.c_str(), &size)) {
        filterSize_ = size;
        return true;
    }
    char title[kPathBufferSize];
    LibraryTitle(title, sizeof title);
    MessageBoxA(Window(), kSizeMessage, title, MB_OK | MB_ICONWARNING);
    FocusSizeField();
    return false;
}

void CFilterPage::FocusSizeField() {
    HWND field = Item(IDC_FILTER_SIZE);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
}

bool CFilterPage::ExchangeValues(bool toControls) {
    if (toControls) {
        // The selection is the list's own; showing values never moves it.
        SetCheck(IDC_DO_FILTER, doFilter_ != 0);
        SetDlgItemTextA(Window(), IDC_USER_NAME, userName_);
        char number[16];
        text::Format(number, sizeof number, "%u", static_cast<unsigned>(filterSize_));
        SetDlgItemTextA(Window(), IDC_FILTER_SIZE, number);
        SetDlgItemTextA(Window(), IDC_PASSWORD, password_);
        ShowSwitch(IDC_DELETE_ON_SERVER, deleteOnServer_);
        ShowRadio(IDC_TYPE_LIST, kFilterTypeCount, filterType_);
        ShowSwitch(IDC_CHECK_SIZE, checkSize_);
        // A value the list does not know shows (and is saved) as automatic.
        SendDlgItemMessageA(Window(), IDC_SECURITY, CB_SETCURSEL,
                            security_ >= 0 && security_ < kSecurityModeCount ? security_ : kSecurityAutomatic, 0);
        return true;
    }
    shownAccount_ = accounts_.SelectedIndex();
    doFilter_ = TakeSwitch(IDC_DO_FILTER);
    // The user name field is read-only and shows the host's value; it is never
    // taken back, so nothing typed into it could reach a file.
    if (!TakeSize()) {
        return false;
    }
    GetDlgItemTextA(Window(), IDC_PASSWORD, password_, sizeof password_);
    deleteOnServer_ = TakeSwitch(IDC_DELETE_ON_SERVER);
    filterType_ = TakeRadio(IDC_TYPE_LIST, kFilterTypeCount);
    checkSize_ = TakeSwitch(IDC_CHECK_SIZE);
    LRESULT chosen = SendDlgItemMessageA(Window(), IDC_SECURITY, CB_GETCURSEL, 0, 0);
    security_ = chosen >= 0 && chosen < kSecurityModeCount ? static_cast<int32_t>(chosen) : kSecurityAutomatic;
    return true;
}

void CFilterPage::OnInitialize() {
    for (const char* choice : kSecurityChoices) {
        SendDlgItemMessageA(Window(), IDC_SECURITY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    }
    ShowValues();
    SendDlgItemMessageA(Window(), IDC_SIZE_SPIN, UDM_SETRANGE32, 0, kSpinMaximum);
    // The plug-in reads at most 127 bytes of the password: a longer one could
    // never log in, so the field takes no more.
    SendDlgItemMessageA(Window(), IDC_PASSWORD, EM_LIMITTEXT, kPasswordBufferSize - 1, 0);

    accounts_.Attach(Item(IDC_ACCOUNT_LIST));
    accounts_.SetIconsFromBitmap(LibraryModule(), IDB_ACCOUNT);

    char currentName[kPathBufferSize];
    bool hasCurrent = CurrentAccountName(AccountPath(), currentName, sizeof currentName);
    accounts_.Fill(MailboxDirectory(), hasCurrent ? currentName : nullptr);
    shownAccount_ = accounts_.SelectedIndex();
    LoadShownAccount();
}

void CFilterPage::LoadShownAccount() {
    const char* name = accounts_.SelectedDirectoryName();
    char path[kPathBufferSize];
    userName_[0] = '\0';
    if (AccountFile(path, sizeof path, name, "Account.ini")) {
        ReadAccountString(path, "Account", userName_, sizeof userName_);
    }
    FilterSettings settings = AccountFile(path, sizeof path, name, "Kirvan.ini")
                                  ? ReadFilterSettings(path, FilterDefaults::Sheet)
                                  : DefaultFilterSettings(FilterDefaults::Sheet);
    text::Copy(password_, sizeof password_, settings.pass);
    doFilter_ = settings.DoFilter;
    filterType_ = settings.FilterType;
    checkSize_ = settings.CheckSize;
    // A negative size means nothing (and, shown unsigned, would be refused while
    // the field may be disabled): the field offers the sheet's default instead.
    filterSize_ = settings.FilterSize >= 0 ? static_cast<uint32_t>(settings.FilterSize)
                                           : static_cast<uint32_t>(DefaultFilterSettings(FilterDefaults::Sheet).FilterSize);
    deleteOnServer_ = settings.Delete;
    security_ = settings.Security;
    RefreshEnabling();
    ShowValues();
}

bool CFilterPage::SaveAccount(const char* directoryName) {
    char path[kPathBufferSize];
    if (!AccountFile(path, sizeof path, directoryName, "Kirvan.ini")) {
        return true;  // no account, or no mailbox: nothing to save
    }
    FilterSettings settings = DefaultFilterSettings(FilterDefaults::Sheet);
    text::Copy(settings.pass, sizeof settings.pass, password_);
    settings.Security = security_;
    settings.DoFilter = doFilter_;
    settings.FilterType = filterType_;
    settings.CheckSize = checkSize_;
    settings.FilterSize = static_cast<int32_t>(filterSize_);
    settings.Delete = deleteOnServer_;
    if (!WriteFilterSettings(path, settings)) {
        ShowSaveFailure(Window(), path);
        return false;
    }
    return true;
}

void CFilterPage::RefreshEnabling() {
    bool on = doFilter_ != 0;
    bool byConditions = on && filterType_ == 1;
    bool bySize = byConditions && checkSize_ != 0;
    const int switched[] = {IDC_USER_LABEL, IDC_USER_NAME, IDC_PASSWORD_LABEL, IDC_PASSWORD,
                            IDC_PASSWORD_NOTE, IDC_TYPE_LIST, IDC_TYPE_CONDITIONS, IDC_DELETE_ON_SERVER,
                            IDC_SECURITY_LABEL, IDC_SECURITY};
    for (int id : switched) {
        Enable(id, on);
    }
    Enable(IDC_CHECK_SIZE, byConditions);
    Enable(IDC_FILTER_SIZE, bySize);
    Enable(IDC_SIZE_SPIN, bySize);
    Enable(IDC_BYTE_LABEL, bySize);
}

void CFilterPage::OnAccountChanged() {
    // The account shown so far is saved with what the controls hold, even when
    // the size field was refused (the fields after it keep their last values).
    const int leftIndex = shownAccount_;
    const char* leftName = accounts_.DirectoryName(leftIndex);
    std::string left = leftName ? leftName : "";
    TakeValues();
    shownAccount_ = accounts_.SelectedIndex();
    if (leftName && !SaveAccount(left.c_str())) {
        // Loading the new account would throw away what the user set for the one
        // that could not be saved: the list goes back to it, its fields as taken.
        SendMessageA(accounts_.Window(), CB_SETCURSEL, static_cast<WPARAM>(leftIndex), 0);
        accounts_.HandleSelectionChange();
        shownAccount_ = leftIndex;
        return;
    }
    LoadShownAccount();
}

void CFilterPage::OnCommand(int id, int code, HWND control) {
    (void)control;
    switch (id) {
    case IDC_DO_FILTER:
    case IDC_TYPE_LIST:
    case IDC_TYPE_CONDITIONS:
    case IDC_CHECK_SIZE:
        if (code == BN_CLICKED) {
            bool taken = TakeValues();
            RefreshEnabling();
            if (!taken && IsWindowEnabled(Item(IDC_FILTER_SIZE))) {
                // The field may only now be enabled again (the switch was
                // turned on): the focus belongs there for the correction.
                FocusSizeField();
            }
        }
        break;
    case IDC_ACCOUNT_LIST:
        if (code == CBN_SELCHANGE) {
            accounts_.HandleSelectionChange();
            OnAccountChanged();
        }
        break;
    default:
        break;
    }
}

bool CFilterPage::OnNotify(NMHDR* header, LRESULT* result) {
    if (accounts_.HandleNotify(header)) {
        *result = 0;
        return true;
    }
    return false;
}

bool CFilterPage::OnApply() {
    if (!TakeValues()) {
        return false;
    }
    return SaveAccount(accounts_.DirectoryName(shownAccount_));
}
