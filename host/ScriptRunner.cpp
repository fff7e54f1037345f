#include "ScriptRunner.h"

#include <windows.h>

#include <cstdlib>

#include "AnsiText.h"
#include "BoundedText.h"
#include "DialogDriver.h"
#include "HostApiList.h"
#include "HostContext.h"
#include "HostMenus.h"
#include "MailSummary.h"
#include "MainWindow.h"
#include "Report.h"
#include "Screenshot.h"
#include "Script.h"
#include "WinHandles.h"

namespace {

const UINT_PTR kWaitTimer = 0x7001;

std::vector<int> Numbers(const std::string& list) {
    std::vector<int> numbers;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        int n = std::atoi(list.substr(start, end - start).c_str());
        if (n > 0) {
            numbers.push_back(n);
        }
        start = end + 1;
    }
    return numbers;
}

// Finds an item by its text (as is, or without accelerator marks) in a menu tree.
bool FindMenuItem(HMENU menu, const std::string& wanted, UINT* id) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) {
            continue;
        }
        if (info.hSubMenu) {
            if (FindMenuItem(info.hSubMenu, wanted, id)) {
                return true;
            }
            continue;
        }
        // The text as the A call gives it on Windows (Wine's 32-bit mode hands UTF-8).
        std::string shown = ansi::MenuText(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (!(info.fType & MFT_SEPARATOR) && (wanted == shown || wanted == PlainMenuText(shown))) {
            *id = info.wID;
            return true;
        }
    }
    return false;
}

void CALLBACK ResumeAfterWait(HWND window, UINT, UINT_PTR timer, DWORD) {
    KillTimer(window, timer);
    PostMessageA(window, MainWindow::kStepMessage, 0, 0);
}

}  // namespace

void ScriptRunner::Start() {
    window_.onStep = [this] { Step(); };
    PostMessageA(window_.Handle(), MainWindow::kStepMessage, 0, 0);
}

void ScriptRunner::Step() {
    if (finished_) {
        return;
    }
    if (next_ >= lines_.size()) {
        Run({"expect-done"});
        Finish(gReport.Failed() ? 1 : 0);
        return;
    }
    std::string line = lines_[next_++];
    std::vector<std::string> words = SplitScriptLine(line);
    gReport.Line("> " + line);
    if (!Run(words)) {
        Finish(1);
        return;
    }
    if (!finished_ && !(words[0] == "wait")) {
        PostMessageA(window_.Handle(), MainWindow::kStepMessage, 0, 0);
    }
}

void ScriptRunner::Finish(int status) {
    finished_ = true;
    if (!gDialogDriver.Pending().empty()) {
        Run({"expect-done"});
        status = 1;
    }
    if (status != 0 && !gReport.Failed()) {
        gReport.Fail("script stopped");
    }
    gReport.Line("exit " + std::to_string(status));
    window_.exitCode = status;
    window_.UnloadPlugin();
    DestroyWindow(window_.Handle());
}

bool ScriptRunner::Run(const std::vector<std::string>& words) {
    const std::string& command = words[0];
    std::string arg = words.size() > 1 ? words[1] : std::string();
    if (command == "account") {
        if (!gHost.SelectAccount(arg)) {
            gReport.Fail("no account " + arg);
            return false;
        }
        window_.RefreshTree();
        return true;
    }
    if (command == "folder") {
        if (!gHost.SelectFolder(arg)) {
            gReport.Fail("no folder " + arg);
            return false;
        }
        window_.RefreshTree();
        return true;
    }
    if (command == "select") {
        return Select(words);
    }
    if (command == "menu" || command == "folder-menu") {
        return Menu(arg, command == "folder-menu");
    }
    if (command == "command") {
        window_.Command(std::atoi(arg.c_str()));
        return true;
    }
    if (command == "receive") {
        window_.Command(static_cast<int>(kHostReceiveCommand));
        return true;
    }
    if (command == "setup" || command == "version") {
        window_.Command(command == "setup" ? kCmdSetup : kCmdVersion);
        return true;
    }
    if (command == "print-menu") {
        if (arg == "folder") {
            UniqueMenu menu(window_.BuildFolderMenu());
            PrintMenu(menu.Get(), "folder");
        } else {
            PrintMenu(window_.MenuBar(), "bar");
        }
        return true;
    }
    if (command == "list") {
        ListFolder(arg.empty() ? gHost.CurrentFolder() : arg);
        return true;
    }
    if (command == "print-file") {
        PrintFile(gHost.store.FullPath(arg));
        return true;
    }
    if (command == "dialog" || command == "box") {
        return Arm(words);
    }
    if (command == "expect-done") {
        std::vector<DialogAction> pending = gDialogDriver.Pending();
        gDialogDriver.ClearPending();
        for (const DialogAction& action : pending) {
            gReport.Fail("window \"" + action.caption + "\" never appeared");
        }
        if (!pending.empty()) {
            for (const std::string& line : gDialogDriver.SeenWindows()) {
                gReport.Line("  window seen: " + line);
            }
        }
        return pending.empty();
    }
    if (command == "screenshot") {
        RedrawWindow(window_.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (!SaveWindowBitmap(window_.Handle(), arg)) {
            gReport.Fail("cannot save a picture to " + arg);
            return false;
        }
        gReport.Line("picture " + arg);
        return true;
    }
    if (command == "wait") {
        SetTimer(window_.Handle(), kWaitTimer, static_cast<UINT>(std::atoi(arg.c_str())), ResumeAfterWait);
        return true;
    }
    if (command == "load") {
        window_.UnloadPlugin();
        return window_.LoadPlugin(arg) || (gReport.Fail("plug-in not loaded"), false);
    }
    if (command == "unload") {
        window_.UnloadPlugin();
        return true;
    }
    if (command == "echo") {
        std::string text;
        for (size_t i = 1; i < words.size(); ++i) {
            text += (i > 1 ? " " : "") + words[i];
        }
        gReport.Line(text);
        return true;
    }
    if (command == "exit") {
        Finish(arg.empty() ? (gReport.Failed() ? 1 : 0) : std::atoi(arg.c_str()));
        return true;
    }
    gReport.Fail("unknown command " + command);
    return false;
}

bool ScriptRunner::Menu(const std::string& text, bool folderMenu) {
    // The folder menu is built for this lookup and owned here; the menu bar is the window's.
    UniqueMenu built(folderMenu ? window_.BuildFolderMenu() : nullptr);
    HMENU menu = folderMenu ? built.Get() : window_.MenuBar();
    UINT id = 0;
    bool found = FindMenuItem(menu, text, &id);
    built.Reset();
    if (!found) {
        gReport.Fail(std::string(folderMenu ? "folder menu" : "menu") + " has no item \"" + text + "\"");
        return false;
    }
    gReport.Line("choose \"" + text + "\" (" + std::to_string(id) + ")");
    window_.Command(static_cast<int>(id));
    return true;
}

void ScriptRunner::PrintMenu(HMENU menu, const std::string& path) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        text::Copy(text, sizeof text, ansi::MenuText(menu, static_cast<UINT>(i), MF_BYPOSITION).c_str());
        std::string where = path + "/" + std::to_string(i + 1);
        if (info.fType & MFT_SEPARATOR) {
            gReport.Line("menu " + where + " separator");
        } else if (info.hSubMenu) {
            gReport.Line("menu " + where + " submenu \"" + text + "\" [" + Report::Hex(text) + "]");
        } else {
            gReport.Line("menu " + where + " id " + std::to_string(info.wID) + " \"" + text + "\" [" +
                         Report::Hex(text) + "]");
        }
        if (info.hSubMenu) {
            PrintMenu(info.hSubMenu, where);
        }
    }
}

bool ScriptRunner::Select(const std::vector<std::string>& words) {
    std::vector<MailEntry> mails = gHost.store.List(gHost.CurrentFolder());
    std::vector<std::string> entries;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "none") {
            continue;
        }
        if (word == "all") {
            for (const MailEntry& mail : mails) {
                entries.push_back(gHost.CurrentFolder() + "\\" + mail.name);
            }
            continue;
        }
        if (word[0] == '#') {
            size_t n = static_cast<size_t>(std::atoi(word.c_str() + 1));
            if (n < 1 || n > mails.size()) {
                gReport.Fail("no mail " + word + " in " + gHost.CurrentFolder());
                return false;
            }
            entries.push_back(gHost.CurrentFolder() + "\\" + mails[n - 1].name);
            continue;
        }
        entries.push_back(word.find('\\') == std::string::npos ? gHost.CurrentFolder() + "\\" + word : word);
    }
    if (!gHost.SetSelection(entries)) {
        gReport.Fail("cannot select those mails");
        return false;
    }
    for (const std::string& entry : entries) {
        gReport.Line("selected " + entry);
    }
    return true;
}

bool ScriptRunner::Arm(const std::vector<std::string>& words) {
    if (words.size() < 2) {
        gReport.Fail(words[0] + " needs a caption");
        return false;
    }
    DialogAction action;
    action.caption = words[1];
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        DialogStep step;
        if (word == "tick" || word == "untick" || word == "page" || word == "shot") {
            if (i + 1 >= words.size()) {
                gReport.Fail(word + " needs a value");
                return false;
            }
            const std::string& value = words[++i];
            step.kind = word == "tick"     ? DialogStep::Tick
                        : word == "untick" ? DialogStep::Untick
                        : word == "page"   ? DialogStep::Page
                                           : DialogStep::Shot;
            if (step.kind == DialogStep::Shot) {
                step.text = value;
            } else {
                step.numbers = Numbers(value);
            }
        } else {
            step.kind = DialogStep::Press;
            step.text = word;
        }
        action.steps.push_back(step);
    }
    gDialogDriver.Arm(action);
    return true;
}

void ScriptRunner::ListFolder(const std::string& folder) {
    std::vector<MailEntry> mails = gHost.store.List(folder);
    gReport.Line("folder " + folder + " " + std::to_string(mails.size()) + " mails");
    for (const MailEntry& mail : mails) {
        std::string bytes;
        gHost.store.ReadMail(folder + "\\" + mail.name, &bytes);
        MailSummary summary = SummarizeMail(bytes);
        gReport.Line("  mail " + mail.name + " mark " + std::to_string(mail.mark) + " unread " +
                     (mail.unread ? "1" : "0") + " size " + std::to_string(bytes.size()) + " subject \"" +
                     summary.subject + "\"");
    }
}

void ScriptRunner::PrintFile(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) {
        gReport.Line("file " + path + " absent");
        return;
    }
    gReport.Line("file " + path + " " + std::to_string(bytes.size()) + " bytes");
    // Line ends are shown: "\r" before the end of a line, "(no line end)" at the end.
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        std::string line = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        gReport.Line("  | " + EscapeLineBreaks(line) + (end == std::string::npos ? " (no line end)" : ""));
        start = end == std::string::npos ? bytes.size() : end + 1;
    }
}
