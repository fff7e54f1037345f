#include "DigestSplitter.h"

#include "MailFile.h"

void SplitMailFile(MailFile& mail, const DigestSettings& settings, HWND owner) {
    if (!mail.HasNames() || !mail.Open()) {
        return;
    }
    MailType type = mail.DetectType();
    SplitCount count;
    if ((type == kMailMultipartMixed && settings.MultipartMixed != 0) ||
        (type == kMailMultipartDigest && settings.MultipartDigest != 0)) {
        count = mail.SplitParts(settings.Mark, settings.Midoku);
    }
    bool readFailed = mail.ReadFailed();
    mail.Close();  // before the host is asked to move or delete the mail

    if (count.imported == 0 || count.lost > 0 || readFailed) {
        return;
    }
    switch (settings.DelType) {
    case 0:
        mail.MoveOriginalToTrash();
        break;
    case 1:
        if (settings.AskDelete == 0 ||
            MessageBoxA(owner, "Delete OK?", "deletemail", MB_YESNO) == IDYES) {
            mail.DeleteOriginal();
        }
        break;
    default:
        break;  // 2 keeps the mail, and so does any value the page never writes
    }
}
