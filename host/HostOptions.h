#pragma once
// Command line of Quenla.exe:
//   Quenla.exe [--mailbox DIR | DIR] [--plugin PATH | --no-plugin] [--account NAME]
//              [--script FILE] [--do "COMMAND"]... [--out FILE] [--utf8]
//              [--unexpected-ms N] [--receive-timeout-ms N] [--hide]
//              [--refuse-import-after N] [--drop-posted-receive]
// With --script or --do the host runs non-interactively: it carries out the
// commands (script lines first, then each --do in order), prints what happened and
// exits with 0, or 1 when something failed (2: bad command line).

#include <string>
#include <vector>

struct HostOptions {
    std::string mailbox;      // default: "Mailbox" beside the executable
    std::string plugin;       // default: "Pikuno.dll" beside the executable
    bool pluginGiven = false; // a plug-in named on the command line must load
    bool noPlugin = false;
    std::string account;      // default: the first account
    std::string scriptFile;
    std::vector<std::string> commands;  // --do
    std::string outFile;
    bool utf8 = false;
    unsigned unexpectedMs = 15000;
    int receiveTimeoutMs = 30000;
    bool hide = false;
    int refuseImportAfter = -1;  // imports taken before every later one is refused; -1: none refused
    bool dropPostedReceive = false;  // receive commands that come through the message queue are dropped

    bool NonInteractive() const { return !scriptFile.empty() || !commands.empty(); }
};

// False (with the reason) for an unknown option or a missing value.
bool ParseHostOptions(const std::vector<std::string>& args, HostOptions* options, std::string* error);
