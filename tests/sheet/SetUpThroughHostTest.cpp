// The whole road of the settings command: the stand-in host's menu item runs the
// plug-in's VbxSetup, which loads the settings library from Plugins\, shows the
// sheet, and after OK reads the digest settings again (seen here by the folder's
// digest split command, which splits only while Divide is on).

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "AnsiText.h"
#include "MailboxFolder.h"
#include "PikunosetResources.h"
#include "ProgramFolder.h"
#include "QuenlaProcess.h"
#include "SampleMail.h"
#include "SheetTestDriver.h"

namespace {

const char kSheetCaption[] = "Pikuno 設定";

// The sheet of that process only: other test programs may show one at the same time.
struct SheetSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchSheetOfProcess(HWND window, LPARAM lParam) {
    SheetSearch* search = reinterpret_cast<SheetSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char caption[64] = {};
    char className[16] = {};
    ansi::WindowText(window, caption, sizeof caption);
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && strcmp(caption, kSheetCaption) == 0 && strcmp(className, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindSheetOfProcess(DWORD processId) {
    SheetSearch search = {processId, nullptr};
    EnumWindows(MatchSheetOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct HostRun {
    std::string report;
    std::string loadedFrom;  // the settings library's file, as the host process has it
    bool sheetSeen = false;
    bool sheetReported = false;  // the host's dialog driver saw the sheet too
    DWORD exitCode = 0;
};

// Runs the host with the script from a folder of its own (the host, the plug-in,
// and settings libraries in Plugins\, Setup\ and beside the host), and handles the
// sheet with press (after clicking the split switch when asked).
HostRun RunHost(MailboxFolder& mailbox, const std::string& folder, bool clickSplit, int press) {
    HostRun run;
    const std::string bin = ProgramFolder();
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "Plugins").c_str(), nullptr);
    CreateDirectoryA((folder + "Setup").c_str(), nullptr);
    CopyFileA((bin + "Quenla.exe").c_str(), (folder + "Quenla.exe").c_str(), FALSE);
    CopyFileA((bin + "Pikuno.dll").c_str(), (folder + "Pikuno.dll").c_str(), FALSE);
    for (const char* place : {"Plugins\\", "Setup\\", ""}) {
        CopyFileA((bin + "Pikunoset.dll").c_str(), (folder + place + "Pikunoset.dll").c_str(), FALSE);
    }
    std::string script = folder + "script.txt";
    FILE* file = fopen(script.c_str(), "wb");
    if (!file) {
        return run;
    }
    fputs("account Account1\r\n"
          "dialog \"Pikuno 設定\"\r\n"
          "menu \"プラグインの設定\"\r\n"
          "select #1\r\n"
          "folder-menu \"ダイジェストメール分割\"\r\n"
          "list Account1\\inbox.box\r\n"
          "list Account1\\trash.box\r\n",
          file);
    fclose(file);

    QuenlaCommand command;
    command.args = {"--mailbox", mailbox.Path(), "--plugin", folder + "Pikuno.dll", "--script", script};
    command.program = folder + "Quenla.exe";
    command.folder = folder;
    QuenlaProcess host;
    if (!host.Start(command)) {
        run.report = host.Report();
        return run;
    }
    HWND sheet = nullptr;
    run.sheetSeen = WaitForWindows([&] {
        sheet = FindSheetOfProcess(host.Id());
        return sheet != nullptr || WaitForSingleObject(host.Handle(), 0) == WAIT_OBJECT_0;
    }, 0, 30000, host.Id()) && sheet != nullptr;
    if (run.sheetSeen) {
        HWND page = nullptr;
        WaitForWindows([&] {
            page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
            return page != nullptr;
        }, 0, 5000, host.Id());
        HMODULE module = reinterpret_cast<HMODULE>(GetWindowLongPtrA(page, GWLP_HINSTANCE));
        char path[MAX_PATH] = {};
        if (GetModuleFileNameExA(host.Handle(), module, path, sizeof path)) {
            run.loadedFrom = path;
        }
        if (clickSplit) {
            SendMessageA(GetDlgItem(page, IDC_DIVIDE), BM_CLICK, 0, 0);
        }
        // The host's own dialog driver must have seen the sheet before it goes, or
        // the host reports that the window never appeared: wait for its report line.
        // A line of its own: the echo of the script's command reads "> dialog ...".
        const std::string seenLine = std::string("\ndialog \"") + kSheetCaption + "\"\n";
        run.sheetReported = host.WaitForReport(seenLine, 30000);
        PostMessageA(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(press), 0);
    }
    QuenlaRun ended = host.WaitForExit(60000);
    run.exitCode = ended.exitCode;
    run.report = ended.report;
    return run;
}

TEST(SetUpThroughHost, OkMakesThePluginReadTheDigestSettingsAgain) {
    struct Case {
        bool clickSplit;
        int press;
        const char* inbox;  // what the list says after the split command
        const char* trash;
        bool written;
    } cases[] = {
        // Split switched on and OK: the plug-in, which read Divide 0 at start-up,
        // now splits: two messages in the inbox, the digest in the trash.
        {true, PSBTN_OK, "folder Account1\\inbox.box 2 mails", "folder Account1\\trash.box 1 mails", true},
        // The same with Cancel: nothing written, nothing split.
        {true, PSBTN_CANCEL, "folder Account1\\inbox.box 1 mails", "folder Account1\\trash.box 0 mails", false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailboxFolder mailbox;
        mailbox.AddAccount("Account1", "Home", "alice");
        mailbox.WriteFile("Account1\\inbox.box\\00000001.qnl", TwoMessageDigest());
        // The host runs from a folder inside the temporary mailbox's parent.
        std::string folder = mailbox.Path() + "host\\";
        HostRun run = RunHost(mailbox, folder, cases[i].clickSplit, cases[i].press);
        ASSERT_TRUE(run.sheetSeen) << "case " << i << "\n" << run.report;
        EXPECT_TRUE(run.sheetReported) << "case " << i << ": the host never reported the sheet\n" << run.report;
        size_t at = run.loadedFrom.find_last_of('\\');
        ASSERT_NE(std::string::npos, at) << "case " << i << ": " << run.loadedFrom;
        EXPECT_EQ(0, _stricmp((folder + "Plugins\\Pikunoset.dll").c_str(), run.loadedFrom.c_str()))
            << "case " << i << ": loaded " << run.loadedFrom;
        EXPECT_EQ(0u, run.exitCode) << "case " << i << "\n" << run.report;
        EXPECT_NE(std::string::npos, run.report.find(cases[i].inbox)) << "case " << i << "\n" << run.report;
        EXPECT_NE(std::string::npos, run.report.find(cases[i].trash)) << "case " << i << "\n" << run.report;
        EXPECT_EQ(cases[i].written, mailbox.Exists("Pikuno.ini")) << "case " << i;
    }
}

}  // namespace
