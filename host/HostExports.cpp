#include "HostExports.h"

#include <cstdio>
#include <string>

#include "BoundedText.h"
#include "HostContext.h"
#include "HostTimers.h"
#include "JisConvert.h"
#include "MailView.h"

void (*gHostApiTrace)(const char* line) = nullptr;

namespace {

// One buffer per string-returning function: the caller copies at once.
std::string gMailboxResult;
std::string gAccountResult;
std::string gFolderNameResult;
std::string gCurrentFolderResult;
std::string gCurrentEntryResult;
std::string gViewTextResult;
std::string gViewHeaderResult;
std::string gViewPathResult;

void Trace(const std::string& line) {
    if (gHostApiTrace) {
        gHostApiTrace(line.c_str());
    }
}

std::string Show(LPCSTR s) {
    return s ? "\"" + std::string(s) + "\"" : "null";
}

// The mail the view shows: the first selected one.
std::string ShownEntry() {
    return gHost.Selection().empty() ? std::string() : gHost.Selection().front();
}

int ConvertInto(const std::string& converted, LPSTR buffer, int bufferSize) {
    if (!buffer || bufferSize <= 0) {
        return 0;
    }
    if (converted.size() + 1 > static_cast<size_t>(bufferSize)) {
        buffer[0] = '\0';  // a cut escape sequence would garble what follows
        return 0;
    }
    text::Copy(buffer, static_cast<size_t>(bufferSize), converted.c_str());
    return static_cast<int>(converted.size());
}

}  // namespace

extern "C" {

// Hands out a fresh menu command identifier; WM_COMMAND of it calls the callback
// with (window, value).
int WINAPI VhxRegistCallback(HostCommandCallback callback, LPARAM value) {
    int id = gHost.commands.Register(callback, value);
    Trace("api: RegistCallback -> " + std::to_string(id));
    return id;
}

// Calls the callback with (folder window, value) every `elapse` ms until killed;
// 0 without a folder window.
UINT_PTR WINAPI VhxSetTimer(HostCommandCallback callback, LPARAM value, UINT elapse) {
    return gHostTimers.Start(callback, value, elapse);
}

// Stops a timer of VhxSetTimer.
BOOL WINAPI VhxKillTimer(UINT_PTR timer) {
    return gHostTimers.Stop(timer) ? TRUE : FALSE;
}

// Nonzero while the host retrieves mail.
BOOL WINAPI VhxIsBusy() {
    return gHost.busy ? TRUE : FALSE;
}

// Runs a host menu command by posting it to the folder window.
BOOL WINAPI VhxExecQuenla(UINT command) {
    return gHost.folderWindow && PostMessageA(gHost.folderWindow, WM_COMMAND, command, 0);
}

// The mailbox directory, ending in a backslash.
LPCSTR WINAPI VhxGetMailbox() {
    gMailboxResult = gHost.store.MailboxDir();
    return gMailboxResult.c_str();
}

// The account directory of the account the folder window shows (the stand-in has
// one folder window, so every window answers for it), ending in a backslash; the
// mailbox directory when no account is shown.
LPCSTR WINAPI VhxGetAccount(HWND window) {
    gAccountResult = gHost.store.MailboxDir();
    if (!gHost.CurrentAccount().empty()) {
        gAccountResult += gHost.CurrentAccount() + "\\";
    }
    Trace("api: GetAccount -> " + gAccountResult);
    (void)window;
    return gAccountResult.c_str();
}

// The folder shown, relative to the mailbox ("Account1\inbox.box").
LPCSTR WINAPI VhxGetFolderName(HWND window) {
    (void)window;
    gFolderNameResult = gHost.CurrentFolder();
    return gFolderNameResult.c_str();
}

// Stores the file as a new mail of the folder; flags = mark | 0x40000000 for unread.
// FALSE for a file or folder that is not there, and for every import past the
// --refuse-import-after count.
BOOL WINAPI VhxImportFile(LPCSTR file, LPCSTR folder, DWORD flags) {
    std::string entry;
    bool refused = gHost.importsBeforeRefusal >= 0 && gHost.importsTaken >= gHost.importsBeforeRefusal;
    bool ok = !refused && file && folder && gHost.store.Import(file, folder, flags, &entry);
    if (ok) {
        ++gHost.importsTaken;
    }
    char shown[16];
    std::snprintf(shown, sizeof shown, "0x%08lX", static_cast<unsigned long>(flags));
    Trace("api: ImportFile " + Show(folder) + " flags " + shown + " -> " +
          (ok ? entry : std::string(refused ? "refused" : "failed")));
    if (ok) {
        gHost.NotifyChanged();
    }
    return ok ? TRUE : FALSE;
}

// Writes a copy of the mail into a file; flags bit 0 appends instead of replacing.
BOOL WINAPI VhxSaveMail(HWND window, LPCSTR entry, LPCSTR file, DWORD flags) {
    (void)window;
    std::string bytes, old;
    if (!entry || !file || !gHost.store.ReadMail(entry, &bytes)) {
        return FALSE;
    }
    if (flags & 1) {
        ReadWholeFile(file, &old);
    }
    return WriteWholeFile(file, old + bytes) ? TRUE : FALSE;
}

// Moves the mail into the folder (it gets a new number there).
BOOL WINAPI VhxMoveMail(LPCSTR entry, LPCSTR folder) {
    std::string moved;
    bool ok = entry && folder && gHost.store.Move(entry, folder, &moved);
    Trace("api: MoveMail " + Show(entry) + " to " + Show(folder) + " -> " +
          (ok ? moved : std::string("failed")));
    if (ok) {
        gHost.DropFromSelection(entry);
    }
    return ok ? TRUE : FALSE;
}

// Sets the mark number (0 none, 1-7) and the unread flag of a mail.
BOOL WINAPI VhxMarkMail(LPCSTR entry, DWORD mark, BOOL unread) {
    bool ok = entry && gHost.store.SetMark(entry, mark, unread != FALSE);
    if (ok) {
        gHost.NotifyChanged();
    }
    return ok ? TRUE : FALSE;
}

// Deletes the mail for good.
BOOL WINAPI VhxDeleteMail(LPCSTR entry) {
    bool ok = entry && gHost.store.Delete(entry);
    Trace("api: DeleteMail " + Show(entry) + " -> " + (ok ? "deleted" : "failed"));
    if (ok) {
        gHost.DropFromSelection(entry);
    }
    return ok ? TRUE : FALSE;
}

// Full path of the folder shown (mailbox directory + "Account1\inbox.box").
LPCSTR WINAPI VhxFolderGetCurrentFolder(HWND window) {
    (void)window;
    gCurrentFolderResult = gHost.store.MailboxDir() + gHost.CurrentFolder();
    Trace("api: FolderGetCurrentFolder -> " + gCurrentFolderResult);
    return gCurrentFolderResult.c_str();
}

// The mail with the focus (the first selected one), or null.
LPCSTR WINAPI VhxFolderGetCurrentEntry(HWND window) {
    (void)window;
    gCurrentEntryResult = ShownEntry();
    return gCurrentEntryResult.empty() ? nullptr : gCurrentEntryResult.c_str();
}

// With first nonzero: the first selected mail; with 0: the next one; null past the end.
LPCSTR WINAPI VhxFolderGetSelectEntry(HWND window, BOOL first) {
    (void)window;
    LPCSTR entry = gHost.NextSelected(first != FALSE);
    Trace(std::string("api: FolderGetSelectEntry ") + (first ? "1" : "0") + " -> " + Show(entry));
    return entry;
}

// Records a new POP3 password for the shown account (key Password of Account.ini).
BOOL WINAPI VhxFolderChangePassword(HWND window, LPCSTR password) {
    (void)window;
    if (!password || gHost.CurrentAccount().empty()) {
        return FALSE;
    }
    std::string ini = gHost.store.FullPath(gHost.CurrentAccount() + "\\Account.ini");
    return WritePrivateProfileStringA("Property", "Password", password, ini.c_str());
}

// The stand-in has no mail editor: composing, replying and forwarding are refused.
BOOL WINAPI VhxFolderMailTo(HWND window, LPCSTR address) {
    (void)window;
    (void)address;
    return FALSE;
}

// See VhxFolderMailTo: no editor.
BOOL WINAPI VhxFolderReply(HWND window, LPCSTR entry) {
    (void)window;
    (void)entry;
    return FALSE;
}

// See VhxFolderMailTo: no editor.
BOOL WINAPI VhxFolderForward(HWND window, LPCSTR entry) {
    (void)window;
    (void)entry;
    return FALSE;
}

// Shows the mail (it must lie in the current folder) by selecting it alone; there
// is no separate mail window, so newWindow is ignored.
BOOL WINAPI VhxFolderOpenMail(HWND window, LPCSTR entry, BOOL newWindow) {
    (void)window;
    (void)newWindow;
    return entry && gHost.SetSelection({entry}) ? TRUE : FALSE;
}

// No send window in the stand-in: nothing to read or write.
LPCSTR WINAPI VhxSendGetText(HWND window, BOOL whole) {
    (void)window;
    (void)whole;
    return nullptr;
}

// No send window: null.
LPCSTR WINAPI VhxSendGetHeader(HWND window) {
    (void)window;
    return nullptr;
}

// No send window: refused.
BOOL WINAPI VhxSendSetText(HWND window, LPCSTR text) {
    (void)window;
    (void)text;
    return FALSE;
}

// No send window: refused.
BOOL WINAPI VhxSendSetHeader(HWND window, LPCSTR header) {
    (void)window;
    (void)header;
    return FALSE;
}

// No send window: no editor control.
HWND WINAPI VhxSendGetEditor(HWND window) {
    (void)window;
    return nullptr;
}

// Body of the mail the view shows (text set with VhxViewSetText wins), or null.
LPCSTR WINAPI VhxViewGetText(HWND window) {
    (void)window;
    if (!gMailView.Text(ShownEntry(), &gViewTextResult)) {
        return nullptr;
    }
    return gViewTextResult.c_str();
}

// Header block of the mail the view shows, or null.
LPCSTR WINAPI VhxViewGetHeader(HWND window) {
    (void)window;
    if (!gMailView.Header(ShownEntry(), &gViewHeaderResult)) {
        return nullptr;
    }
    return gViewHeaderResult.c_str();
}

// Replaces the text the view shows (not the mail file) until another mail is shown.
BOOL WINAPI VhxViewSetText(HWND window, LPCSTR text) {
    (void)window;
    if (!text || ShownEntry().empty()) {
        return FALSE;
    }
    gMailView.SetText(ShownEntry(), text);
    gHost.NotifyChanged();
    return TRUE;
}

// Full path of the mail file the view shows, or null.
LPCSTR WINAPI VhxViewGetPath(HWND window) {
    (void)window;
    if (ShownEntry().empty()) {
        return nullptr;
    }
    gViewPathResult = gHost.store.FullPath(ShownEntry()) + ".qnl";
    return gViewPathResult.c_str();
}

// The view's edit control (null when the host runs without its main window).
HWND WINAPI VhxViewGetEditor(HWND window) {
    (void)window;
    return gMailView.editor;
}

// Shows the next (step > 0) or previous (step < 0) mail of the folder.
BOOL WINAPI VhxViewChangeMail(HWND window, int step) {
    (void)window;
    std::vector<MailEntry> mails = gHost.store.List(gHost.CurrentFolder());
    if (mails.empty() || step == 0) {
        return FALSE;
    }
    std::string shown = ShownEntry();
    int index = -1;
    for (size_t i = 0; i < mails.size(); ++i) {
        if (gHost.CurrentFolder() + "\\" + mails[i].name == shown) {
            index = static_cast<int>(i);
        }
    }
    int next = index < 0 ? (step > 0 ? 0 : static_cast<int>(mails.size()) - 1) : index + (step > 0 ? 1 : -1);
    if (next < 0 || next >= static_cast<int>(mails.size())) {
        return FALSE;
    }
    return gHost.SetSelection({gHost.CurrentFolder() + "\\" + mails[next].name}) ? TRUE : FALSE;
}

// Shift_JIS -> ISO-2022-JP into the buffer; the length written, or 0 (buffer
// emptied) when the whole result does not fit.
int WINAPI VhxSjisToJis(LPCSTR source, LPSTR buffer, int bufferSize) {
    return ConvertInto(SjisToJis(source ? source : ""), buffer, bufferSize);
}

// ISO-2022-JP -> Shift_JIS, as VhxSjisToJis.
int WINAPI VhxJisToSjis(LPCSTR source, LPSTR buffer, int bufferSize) {
    return ConvertInto(JisToSjis(source ? source : ""), buffer, bufferSize);
}

}  // extern "C"
