#include "SetAsideStore.h"

#include <cstdlib>
#include <cstring>

#include "BoundedText.h"
#include "CrashSafeFile.h"
#include "HostApi.h"
#include "MailboxScan.h"
#include "Pop3Session.h"
#include "SettingsFiles.h"
#include "SubjectExtract.h"
#include "UidlList.h"

const char kRecordNotWrittenText[] =
    "受信しないメールを記録できませんでした（PikunoSetAside.txtに書き込めません）。\n受信を中止しました。";

namespace {

bool AccountPath(HWND window, const char* name, std::string* path) {
    const char* accountDir = gHostApi.VhxGetAccount ? gHostApi.VhxGetAccount(window) : nullptr;
    char buffer[kPathBufferSize];
    if (!accountDir || !BuildAccountFilePath(buffer, sizeof buffer, accountDir, name)) {
        return false;
    }
    *path = buffer;
    return true;
}

char* CopyBytes(const std::string& bytes) {
    char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (copy) {
        std::memcpy(copy, bytes.data(), bytes.size());
        copy[bytes.size()] = '\0';
    }
    return copy;
}

// What the scan would have read from a TOP reply, from the record's fields.
void ShowFromRecord(const SetAsideEntry& entry, ScannedMessage* message) {
    const std::string block = HeaderBlockOfEntry(entry);
    std::free(message->header);
    message->header = CopyBytes(block);
    if (char* scratch = CopyBytes(block)) {  // the extraction splits its text
        ReleaseSubject(message->subject ? message->subject : const_cast<char*>(kNoSubject));
        message->subject = ExtractSubjectFromReply(scratch);
        std::free(scratch);
    }
}

}  // namespace

bool OpenSetAsideSession(HWND window, SetAsideSession* session) {
    if (!AccountPath(window, "uidl", &session->uidlPath) ||
        !AccountPath(window, kSetAsideRecordName, &session->recordPath)) {
        return false;
    }
    std::string uidlBytes;
    if (ReadWholeSmallFile(session->uidlPath.c_str(), &uidlBytes) == FileRead::kFailed) {
        return false;
    }
    // An unreadable record is one we cannot trust: as good as none.
    FileRead record = ReadWholeSmallFile(session->recordPath.c_str(), &session->recordBytes);
    session->recordExisted = record != FileRead::kMissing;
    session->recordRead = record == FileRead::kRead;
    if (!session->recordRead) {
        session->recordBytes.clear();
    }
    session->files = ReadAccountFiles(uidlBytes, session->recordBytes);
    return true;
}

void ClassifyScannedMessages(const SetAsideSession& session) {
    for (int32_t n = 1; gScanTable && n <= gMessageCount; ++n) {
        ScannedMessage& message = gScanTable[n - 1];
        message.kind = KindOf(session.files, message.uidl);
        if (message.kind == MessageKind::kSetAside) {
            ShowFromRecord(*RecordedEntry(session.files, message.uidl), &message);
        }
    }
}

bool ScanListsEveryUidl() {
    if (gMessageCount <= 0) {
        return true;
    }
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        if (!ScannedUidl(n)) {
            return false;
        }
    }
    return true;
}

StoreOutcome StoreSetAsideChoice(const SetAsideSession& session, SetAsideReason reason, bool releaseUnchosen) {
    std::vector<PlannedMessage> messages;
    for (int32_t n = 1; gScanTable && n <= gMessageCount; ++n) {
        const ScannedMessage& scanned = gScanTable[n - 1];
        messages.push_back({scanned.uidl, scanned.kind, scanned.header, gSizeTable ? gSizeTable[n - 1] : 0});
    }
    ChoiceToStore choice;
    for (int32_t i = 0; i < gUidlList.GetCount(); ++i) {
        choice.setAside.push_back(gUidlList.GetAt(i));
    }
    choice.reason = reason;
    choice.releaseUnchosen = releaseUnchosen;
    choice.listingComplete = ScanListsEveryUidl();
    const StorePlan plan = PlanStore(session.files, messages, choice);

    if (plan.recordChanged &&
        !ReplaceFileCrashSafe(session.recordPath.c_str(), FormatSetAsideRecord(plan.record))) {
        return StoreOutcome::kRecordFailed;
    }
    if (plan.uidlChanged && !ReplaceFileCrashSafe(session.uidlPath.c_str(), plan.uidlBytes)) {
        if (plan.recordChanged && session.recordRead) {
            ReplaceFileCrashSafe(session.recordPath.c_str(), session.recordBytes);
        } else if (plan.recordChanged && !session.recordExisted) {
            DeleteFileA(session.recordPath.c_str());
        }
        return StoreOutcome::kUidlFailed;
    }
    return StoreOutcome::kStored;
}
