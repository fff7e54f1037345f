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

// The bytes to append: an LF first when the file's last line is unfinished,
// then every UIDL with its LF. malloc'ed; null when out of memory.
char* BuildUidlBlock(bool leadingLineFeed, std::size_t* length) {
    std::size_t total = leadingLineFeed ? 1 : 0;
    const int32_t count = gUidlList.GetCount();
    for (int32_t i = 0; i < count; ++i) {
        total += std::strlen(gUidlList.GetAt(i)) + 1;
    }
    char* block = static_cast<char*>(std::malloc(total));
    if (!block) {
        return nullptr;
    }
    char* out = block;
    if (leadingLineFeed) {
        *out++ = '\n';
    }
    for (int32_t i = 0; i < count; ++i) {
        const char* uidl = gUidlList.GetAt(i);
        std::size_t size = std::strlen(uidl);
        std::memcpy(out, uidl, size);
        out += size;
        *out++ = '\n';
    }
    *length = total;
    return block;
}

// True when the file has bytes and the last one is not LF. Needs read access;
// the file pointer is left at the end.
bool LastLineUnfinished(HANDLE file, bool canRead) {
    LARGE_INTEGER size;
    if (!canRead || !GetFileSizeEx(file, &size) || size.QuadPart == 0) {
        return false;
    }
    LARGE_INTEGER back;
    back.QuadPart = -1;
    char last = '\n';
    DWORD read = 0;
    if (SetFilePointerEx(file, back, nullptr, FILE_END)) {
        if (!ReadFile(file, &last, 1, &read, nullptr) || read != 1) {
            last = '\n';
        }
    }
    return last != '\n';
}

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
// is shown: every one for the dialog, those of the messages above the limit
// for the size filter.
enum class Choice { kDialog, kSizeFilter, kNothing };

// The scan after the login: capa, list, then the UIDLs and headers. kComplete
// when the choice can be made without the server from here on.
ScanOutcome ScanForChoice(Choice choice, int32_t limit) {
    bool pipelining = PopCapa();
    if (PopReplyCut()) {
        return PopCancelled() ? ScanOutcome::kCancelled : ScanOutcome::kBroken;
    }
    PopList();
    if (PopReplyCut()) {
        return PopCancelled() ? ScanOutcome::kCancelled : ScanOutcome::kBroken;
    }
    if (choice != Choice::kNothing && !PopIsOk()) {
        // Without the list there is nothing to choose from: an empty dialog, or
        // a size filter that sets nothing aside, would have every mail fetched.
        return ScanOutcome::kBroken;
    }
    if (choice == Choice::kDialog) {
        return ScanMailbox(true, nullptr, pipelining);
    }
    if (choice != Choice::kSizeFilter || !gSizeTable || gMessageCount <= 0) {
        return ScanOutcome::kComplete;
    }
    bool* above = static_cast<bool*>(std::calloc(static_cast<std::size_t>(gMessageCount), sizeof(bool)));
    if (!above) {
        return ScanOutcome::kBroken;
    }
    bool any = false;
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        above[n - 1] = limit < gSizeTable[n - 1];
        any = any || above[n - 1];
    }
    ScanOutcome outcome = any ? ScanMailbox(false, above, pipelining) : ScanOutcome::kComplete;
    std::free(above);
    return outcome;
}

}  // namespace

bool RunPopSession(HWND window, const char* server, int port, const char* user) {
    char kirvanPath[kPathBufferSize];
    if (!AccountFilePath(window, "Kirvan.ini", kirvanPath)) {
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
    ScanOutcome outcome = ScanForChoice(choice, settings.FilterSize);
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

    if (choice == Choice::kDialog) {
        ShowSelectionDialog(window);
    } else if (choice == Choice::kSizeFilter) {
        ApplySizeFilter(settings.FilterSize);
    }
    ScanRelease();
    PopReleaseBuffers();
    if (!AppendUidlFile(window)) {
        // The host would fetch, and with Delete 1 delete on the server, the very
        // mails the user chose to keep: nothing is retrieved instead.
        ShowKirvanMessage(window, kUidlWriteFailedText);
        return false;
    }
    return true;
}

void ApplySizeFilter(int32_t limit) {
    if (!gSizeTable) {
        return;
    }
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        if (limit >= gSizeTable[n - 1]) {
            continue;  // left to the host's retrieval
        }
        gUidlList.AddUnique(ScannedUidl(n));
    }
}

bool AppendUidlFile(HWND window) {
    if (gUidlList.GetCount() == 0) {
        return true;
    }
    char path[kPathBufferSize];
    if (!AccountFilePath(window, "uidl", path)) {
        return false;
    }
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    // Read access only to look at the last byte; a file that allows writing
    // alone is still appended to, unchecked.
    bool canRead = true;
    UniqueFileHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        canRead = false;
        file.Reset(CreateFileA(path, GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            return false;
        }
    }
    bool leadingLineFeed = LastLineUnfinished(file.Get(), canRead);
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER oldEnd;
    if (!SetFilePointerEx(file.Get(), zero, &oldEnd, FILE_END)) {
        return false;
    }
    std::size_t length = 0;
    char* block = BuildUidlBlock(leadingLineFeed, &length);
    if (!block) {
        return false;
    }
    if (length > MAXDWORD) {
        std::free(block);
        return false;
    }
    DWORD written = 0;
    BOOL wrote = WriteFile(file.Get(), block, static_cast<DWORD>(length), &written, nullptr);
    std::free(block);
    if (wrote && written == length) {
        return true;
    }
    // A full disk or a size limit may have taken the first bytes: cut them off
    // again, so that no half UIDL is left for the host to read as a line of its
    // own, or for the next append to end with its line feed. When even that
    // fails there is nothing left to try; the command still reports the failure
    // and retrieves nothing.
    if (SetFilePointerEx(file.Get(), oldEnd, nullptr, FILE_BEGIN)) {
        SetEndOfFile(file.Get());
    }
    return false;
}
