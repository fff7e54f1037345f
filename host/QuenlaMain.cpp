// Quenla.exe: the stand-in host. Starts Winsock 1.1 before any plug-in is loaded (a
// plug-in relies on it), opens the mailbox, shows the folder window, loads the
// plug-in, and either lets a person use it or runs the commands it was given.

#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "DialogDriver.h"
#include "HostApiList.h"
#include "HostContext.h"
#include "HostExports.h"
#include "HostOptions.h"
#include "MailStore.h"
#include "MainWindow.h"
#include "Report.h"
#include "Script.h"
#include "ScriptRunner.h"
#include "WinHandles.h"

namespace {

std::vector<std::string> AnsiArguments() {
    std::vector<std::string> args;
    int count = 0;
    UniqueLocal<LPWSTR> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    LPWSTR* wide = argv.Get();
    for (int i = 1; wide && i < count; ++i) {
        int length = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<size_t>(length > 0 ? length - 1 : 0), '\0');
        if (length > 1) {
            WideCharToMultiByte(CP_ACP, 0, wide[i], -1, &arg[0], length, nullptr, nullptr);
        }
        args.push_back(arg);
    }
    return args;
}

std::string ExeDirectory() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.rfind('\\') + 1);
}

// A receive command posted to the folder window (the plug-in's, a menu click);
// the script's own commands are sent and never pass through the queue.
bool DropsReceiveCommand(const MSG& message, HWND folderWindow) {
    return message.hwnd == folderWindow && message.message == WM_COMMAND &&
           LOWORD(message.wParam) == kHostReceiveCommand && message.lParam == 0;
}

void TraceApi(const char* line) {
    gReport.Line(line);
}

int Run(HINSTANCE instance, int show) {
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(AnsiArguments(), &options, &error)) {
        gReport.Line("Quenla: " + error);
        return 2;
    }
    if (!options.outFile.empty()) {
        gReport.SetFile(options.outFile);
    }
    gReport.SetUtf8(options.utf8);
    std::vector<std::string> script;
    if (!options.scriptFile.empty()) {
        std::string text;
        if (!ReadWholeFile(options.scriptFile, &text)) {
            gReport.Line("Quenla: cannot read " + options.scriptFile);
            return 2;
        }
        script = ScriptLines(ScriptTextToAnsi(text));
    }
    for (const std::string& command : options.commands) {
        script.push_back(command);
    }

    std::string mailbox = options.mailbox.empty() ? ExeDirectory() + "Mailbox" : options.mailbox;
    if (options.mailbox.empty()) {
        CreateDirectoryA(mailbox.c_str(), nullptr);
    }
    if (!gHost.store.Open(mailbox)) {
        gReport.Line("Quenla: no mailbox directory " + mailbox);
        return 2;
    }
    std::vector<std::string> accounts = gHost.store.Accounts();
    std::string account = options.account.empty() ? (accounts.empty() ? "" : accounts.front()) : options.account;
    if (!account.empty() && !gHost.SelectAccount(account)) {
        gReport.Line("Quenla: no account " + account);
        return 2;
    }
    if (options.NonInteractive()) {
        gHostApiTrace = TraceApi;
    }
    gHost.importsBeforeRefusal = options.refuseImportAfter;

    MainWindow window;
    window.receiveTimeoutMs = options.receiveTimeoutMs;
    if (!window.Create(instance, options.hide ? SW_HIDE : show)) {
        gReport.Line("Quenla: cannot create the folder window");
        return 1;
    }
    // Watching before the plug-in loads: a box shown by its attach (a binding
    // error) must not hang the run.
    if (options.NonInteractive()) {
        gDialogDriver.Start(GetCurrentThreadId(), window.Handle(), options.unexpectedMs);
    }
    std::string plugin = options.plugin.empty() ? ExeDirectory() + "Pikuno.dll" : options.plugin;
    if (!options.noPlugin) {
        bool present = GetFileAttributesA(plugin.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!window.LoadPlugin(plugin) && (options.pluginGiven || present)) {
            gReport.Fail("plug-in not loaded");
            if (options.NonInteractive()) {
                window.exitCode = 1;
                DestroyWindow(window.Handle());
            }
        }
    }

    ScriptRunner runner(window, script);
    if (options.NonInteractive() && window.Handle()) {
        runner.Start();
    }
    MSG message;
    int status = 0;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (options.dropPostedReceive && DropsReceiveCommand(message, window.Handle())) {
            gReport.Line("receive: posted receive command dropped (--drop-posted-receive)");
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    status = static_cast<int>(message.wParam);
    gDialogDriver.Stop();
    window.UnloadPlugin();
    return status;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WSADATA wsaData;
    if (WSAStartup(MAKEWORD(1, 1), &wsaData) != 0) {
        MessageBoxA(nullptr, "Winsock を初期化できません", "Quenla", MB_OK | MB_ICONERROR);
        return 1;
    }
    int status = Run(instance, show);
    WSACleanup();
    return status;
}
