#include "SelectiveReceive.h"

#include <cstdlib>
#include <cstring>

#include "BoundaryGuard.h"
#include "BoundedText.h"
#include "DialUp.h"
#include "HostApi.h"
#include "MailboxScan.h"
#include "ModulePin.h"
#include "PendingRetrieval.h"
#include "Pop3Session.h"
#include "ScanProgress.h"
#include "SecureSession.h"
#include "SelectionDialog.h"
#include "SetAsideStore.h"
#include "SettingsFiles.h"
#include "UidlList.h"
#include "WinHandles.h"

int32_t gDeleteOnServer = 0;

const char kKeepMailOnServerText[] =
    "メールのフィルター処理を行う為には\nメールをサーバーに残す設定にしてから\nQuenlaを再起動してください";
const char kNoDialUpEntryText[] =
    "ダイアルアップのエントリが見つかりません\nオプションのダイアルアップ接続先をチェックしてください。";
const char kDialUpFailedText[] = "ダイアルアップに失敗しました";
const char kUidlWriteFailedText[] =
    "受信しないメールを記録できませんでした（uidlファイルに書き込めません）。\n受信を中止しました。";
const char kHostBusyText[] = "Quenlaが受信中のため、選択受信を開始できません。\n受信が終わってから実行してください。";

namespace {

// One command at a time: the session's waits dispatch messages, and a second
// selective receive chosen meanwhile must not start inside the first.
bool gCommandRunning = false;

LRESULT RunSelectiveReceiveOnce(HWND window, LPARAM value);

void ShowKirvanMessage(HWND window, const char* text) {
    MessageBoxA(window, text, "Kirvan", MB_OK);
}

// Account directory of the window + name. False (buffer empty) when the path
// does not fit: a cut path would name another file.
bool AccountFilePath(HWND window, const char* name, char* buffer) {
    const char* accountDir = gHostApi.VhxGetAccount ? gHostApi.VhxGetAccount(window) : nullptr;
    if (!accountDir) {
        buffer[0] = '\0';
        return false;
    }
    return BuildAccountFilePath(buffer, kPathBufferSize, accountDir, name);
}

// What the host's retrieval would read, gone; as at the end of a retrieval.
void ForgetRetrievalState() {
    gUidlList.RemoveAll();
    gDeleteOnServer = 0;
    HangUp();
}

bool HostIsBusy() {
    return gHostApi.VhxIsBusy && gHostApi.VhxIsBusy() != FALSE;
}

// Passwords do not outlive their use on the stack.
struct PasswordScrub {
    FilterSettings& settings;
    ~PasswordScrub() { SecureZeroMemory(settings.pass, sizeof settings.pass); }
};

}  // namespace

LRESULT WINAPI RunSelectiveReceive(HWND window, LPARAM value) {
    if (gCommandRunning) {
        return 0;
    }
    gCommandRunning = true;
    PinPluginModule();
    // The host calls this as a command callback: nothing may unwind into it. A
    // command that failed half-way leaves nothing behind that would change the
    // host's retrieval: no session, no set-aside UIDLs, no delete request, no line.
    bool finished = false;
    LRESULT result = CallGuarded<LRESULT>(0, [&] {
        LRESULT once = RunSelectiveReceiveOnce(window, value);
        finished = true;
        return once;
    });
    if (!finished) {
        AbandonSelectiveReceive();
    }
    gCommandRunning = false;
    return result;
}

void AbandonSelectiveReceive() noexcept {
    CallGuardedVoid([] {
        if (gSessionSocket != INVALID_SOCKET) {
            PopAbandon();
        }
        ScanRelease();
        PopReleaseBuffers();
        gUidlList.RemoveAll();
        gDeleteOnServer = 0;
        HangUp();
    });
}

namespace {

LRESULT RunSelectiveReceiveOnce(HWND window, LPARAM) {
    char kirvanPath[kPathBufferSize];
    char accountPath[kPathBufferSize];
    if (!AccountFilePath(window, "Kirvan.ini", kirvanPath) ||
        !AccountFilePath(window, "Account.ini", accountPath)) {
        return 0;  // as if switched off: nothing can be read for this account
    }

    FilterSettings filter = ReadFilterSettings(kirvanPath, FilterDefaults::Plugin);
    SecureZeroMemory(filter.pass, sizeof filter.pass);  // RunPopSession reads it itself
    if (filter.DoFilter == 0) {
        return 0;
    }
    // Inside the host's own retrieval this command would change what its
    // VbxRecFilter answers for the mails still to come.
    if (HostIsBusy()) {
        ShowKirvanMessage(window, kHostBusyText);
        return 0;
    }
    // The host is idle: a retrieval an earlier command asked for has ended or
    // will never come. Its watch must not clear what this command sets up, and
    // what it left must not outlive this command's own end.
    StopWatchingPendingRetrieval();
    ForgetRetrievalState();
    gDeleteOnServer = filter.Delete;

    if (ReadAccountInt(accountPath, "NotDelete") == 0) {
        ShowKirvanMessage(window, kKeepMailOnServerText);
        return 0;
    }

    if (ReadAccountInt(accountPath, "UseRAS") != 0) {
        char provider[kAccountLongValueBufferSize];
        ReadAccountString(accountPath, "RASProvider", provider, sizeof provider);
        if (provider[0] == '\0') {
            ShowKirvanMessage(window, kNoDialUpEntryText);
            return 0;
        }
        // A line still held from an earlier command that never saw the end of
        // its retrieval would be lost for good once the handle is overwritten.
        HangUp();
        gDialUpConnection = nullptr;
        if (!DialUp(provider)) {
            ShowKirvanMessage(window, kDialUpFailedText);
            return 0;
        }
    }

    char server[kAccountLongValueBufferSize];
    char user[kAccountNameBufferSize];
    ReadAccountString(accountPath, "POP3Server", server, sizeof server);
    int port = ReadAccountInt(accountPath, "POP3Port");
    ReadAccountString(accountPath, "Account", user, sizeof user);

    // The state the host's retrieval reads lives only as long as a retrieval is
    // coming: without one (a failed session, or the window gone before the
    // command reached it) the next ordinary retrieval would be answered by it.
    if (!RunPopSession(window, server, port, user) ||
        !PostMessageA(window, WM_COMMAND, kHostReceiveCommand, 0)) {
        ForgetRetrievalState();
        return 0;
    }
    // A host that drops the command never ends its retrieval: the watch then
    // forgets the state all the same.
    WatchPendingRetrieval(ForgetRetrievalState);
    return 0;
}

}  // namespace

namespace {

// What the user chose decides which UIDLs the scan must know before anything
// is shown and which headers it reads: for the dialog every UIDL and the header
// of every new message; for the size filter the UIDLs of the messages above
// the limit (every one when the record may hold a message to release) and the
// header of every new one above the limit, for the record.
enum class Choice { kDialog, kSizeFilter, kNothing };

struct ScanContext {
    const SetAsideSession* setAside;
    Choice choice;
    int32_t limit;
};

bool Above(int32_t limit, int32_t n) {
    return gSizeTable && limit < gSizeTable[n - 1];
}

// Between the UIDLs and the headers: the kinds, and the headers still wanted.
bool ClassifyForChoice(void* context, bool* wantTop) {
    const ScanContext& scan = *static_cast<const ScanContext*>(context);
    ClassifyScannedMessages(*scan.setAside);
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        wantTop[n - 1] = gScanTable[n - 1].kind == MessageKind::kNew &&
                         (scan.choice == Choice::kDialog || Above(scan.limit, n));
    }
    return true;
}

// The scan after the login: capa, list, then the UIDLs and headers. kComplete
// when the choice can be made without the server from here on.
ScanOutcome ScanForChoice(const ScanContext& scan) {
    bool pipelining = PopCapa();
    if (PopReplyCut()) {
        return PopCancelled() ? ScanOutcome::kCancelled : ScanOutcome::kBroken;
    }
    PopList();
    if (PopReplyCut()) {
        return PopCancelled() ? ScanOutcome::kCancelled : ScanOutcome::kBroken;
    }
    if (scan.choice != Choice::kNothing && !PopIsOk()) {
        // Without the list there is nothing to choose from: an empty dialog, or
        // a size filter that sets nothing aside, would have every mail fetched.
        return ScanOutcome::kBroken;
    }
    ScanContext context = scan;
    if (scan.choice == Choice::kDialog) {
        return ScanMailboxClassified(nullptr, pipelining, &ClassifyForChoice, &context);
    }
    if (scan.choice != Choice::kSizeFilter || !gSizeTable || gMessageCount <= 0) {
        return ScanOutcome::kComplete;
    }
    bool* wanted = static_cast<bool*>(std::calloc(static_cast<std::size_t>(gMessageCount), sizeof(bool)));
    if (!wanted) {
        return ScanOutcome::kBroken;
    }
    const bool mayRelease = RecordNamesSetAsideMail(scan.setAside->files);
    bool any = false;
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        wanted[n - 1] = mayRelease || Above(scan.limit, n);
        any = any || wanted[n - 1];
    }
    ScanOutcome outcome =
        any ? ScanMailboxClassified(wanted, pipelining, &ClassifyForChoice, &context) : ScanOutcome::kComplete;
    std::free(wanted);
    return outcome;
}

}  // namespace

bool RunPopSession(HWND window, const char* server, int port, const char* user) {
    char kirvanPath[kPathBufferSize];
    if (!AccountFilePath(window, "Kirvan.ini", kirvanPath)) {
        return false;
    }
    // Read before anything goes to the server: a uidl file that cannot be read
    // cannot be rewritten either, and the choice would be lost.
    SetAsideSession setAside;
    if (!OpenSetAsideSession(window, &setAside)) {
        ShowKirvanMessage(window, kUidlWriteFailedText);
        return false;
    }
    // The progress window's time begins before the name lookup and the connect:
    // a server that drops packets, or slow name service, is waited for with the
    // host window alive and can be cancelled like the scan.
    ScanProgress progress(window);
    if (!PopConnect(server, port)) {
        return false;
    }
    FilterSettings settings = ReadFilterSettings(kirvanPath, FilterDefaults::Plugin);
    PasswordScrub scrub{settings};
    // TLS as the account asks, the certificate checked, the greeting read: only
    // then may the password go out.
    if (!OpenSecuredSession(window, server, port, kirvanPath, settings)) {
        PopReleaseBuffers();
        return false;
    }
    bool loggedIn = PopLogin(user, settings.pass);
    if (!loggedIn) {
        PopQuit();
        PopReleaseBuffers();
        return false;
    }

    Choice choice = Choice::kNothing;
    if (settings.FilterType == 0) {
        choice = Choice::kDialog;
    } else if (settings.FilterType == 1 && settings.CheckSize != 0) {
        choice = Choice::kSizeFilter;
    }
    gUidlList.RemoveAll();
    ScanOutcome outcome = ScanForChoice({&setAside, choice, settings.FilterSize});
    if (outcome != ScanOutcome::kComplete) {
        // Replies may still be owed: say goodbye without waiting for them.
        PopAbandon();
        progress.Finish();
        if (outcome == ScanOutcome::kBroken) {
            ShowKirvanMessage(window, kScanFailedText);
        }
        ScanRelease();
        PopReleaseBuffers();
        return false;
    }
    // Everything the choice needs is known: the session ends before the user
    // has read the list, so a server's idle time-out cannot touch the choice.
    PopQuit();
    progress.Finish();
    if (progress.Cancelled()) {
        ScanRelease();  // cancelled while saying goodbye: still a cancel
        PopReleaseBuffers();
        return false;
    }

    // A cancelled dialog chooses nothing: what was set aside before stays so.
    bool releaseUnchosen = true;
    if (choice == Choice::kDialog) {
        releaseUnchosen = ShowSelectionDialog(window) == IDOK;
    } else if (choice == Choice::kSizeFilter) {
        ApplySizeFilter(settings.FilterSize, &setAside);
    }
    // Both files are whole again before the host's retrieval can start.
    StoreOutcome stored = StoreOutcome::kStored;
    if (choice != Choice::kNothing) {
        stored = StoreSetAsideChoice(setAside,
                                     choice == Choice::kDialog ? SetAsideReason::kDialog : SetAsideReason::kSizeFilter,
                                     releaseUnchosen);
    }
    ScanRelease();
    PopReleaseBuffers();
    if (stored != StoreOutcome::kStored) {
        // The host would fetch, and with Delete 1 delete on the server, the very
        // mails the user chose to keep: nothing is retrieved instead.
        gUidlList.RemoveAll();
        ShowKirvanMessage(window, stored == StoreOutcome::kRecordFailed ? kRecordNotWrittenText
                                                                         : kUidlWriteFailedText);
        return false;
    }
    return true;
}

void ApplySizeFilter(int32_t limit, const SetAsideSession* setAside) {
    if (!gSizeTable) {
        return;
    }
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        const MessageKind kind = gScanTable ? gScanTable[n - 1].kind : MessageKind::kNew;
        if (kind == MessageKind::kReceived) {
            continue;  // the host has it
        }
        if (kind == MessageKind::kSetAside) {
            // A choice made in the dialog stays; one of ours is released once
            // the message is within the limit.
            const SetAsideEntry* entry = setAside ? RecordedEntry(setAside->files, ScannedUidl(n)) : nullptr;
            if (entry && entry->reason == SetAsideReason::kSizeFilter && limit >= gSizeTable[n - 1]) {
                continue;
            }
            gUidlList.AddUnique(ScannedUidl(n));
            continue;
        }
        if (limit >= gSizeTable[n - 1]) {
            continue;  // left to the host's retrieval
        }
        gUidlList.AddUnique(ScannedUidl(n));
    }
}
