#include "FaultHost.h"

#include <algorithm>

namespace faults {

std::string MakeMailbox(const TempFolder& folder, const std::string& name) {
    folder.MakeFolder(name + "\\Account1\\inbox.box");
    folder.MakeFolder(name + "\\Account1\\trash.box");
    return folder.Path() + name + "\\";
}

std::vector<std::string> MailFiles(const std::string& mailbox, const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((mailbox + folder + "\\*.qnl").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(data.cFileName);
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

QuenlaCommand ScriptCommand(const std::string& mailbox, const std::vector<std::string>& script) {
    std::string base = mailbox;
    while (!base.empty() && base.back() == '\\') {
        base.pop_back();
    }
    std::string scriptPath = base + ".script.txt";
    std::string text;
    for (const std::string& line : script) {
        text += line + "\r\n";
    }
    WriteFileBytes(scriptPath, text);
    QuenlaCommand command;
    command.args = {"--mailbox", base, "--script", scriptPath, "--hide"};
    return command;
}

}  // namespace

HostRun RunQuenla(const std::string& mailbox, const std::vector<std::string>& script,
                  const std::vector<std::pair<std::string, std::string>>& env, DWORD timeLimitMs) {
    QuenlaCommand command = ScriptCommand(mailbox, script);
    command.environment = env;
    return ::RunQuenla(command, timeLimitMs);
}

HostRun RunQuenlaWithOptions(const std::string& mailbox, const std::vector<std::string>& script,
                             const std::vector<std::string>& options, DWORD timeLimitMs) {
    QuenlaCommand command = ScriptCommand(mailbox, script);
    command.args.insert(command.args.end(), options.begin(), options.end());
    return ::RunQuenla(command, timeLimitMs);
}

HostRun RunQuenlaWith(const std::string& mailbox, const std::vector<std::string>& script,
                      const QuenlaCommand& extra, DWORD timeLimitMs) {
    QuenlaCommand command = ScriptCommand(mailbox, script);
    command.program = extra.program;
    command.args.insert(command.args.end(), extra.args.begin(), extra.args.end());
    command.environment = extra.environment;
    return ::RunQuenla(command, timeLimitMs);
}

}  // namespace faults
