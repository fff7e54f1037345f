#pragma once
// Runs the real programs for fault tests: a mailbox made for one case, and
// Quenla.exe (with Pikuno.dll beside it) started as a child process on a script,
// with a time limit and environment changes of its own.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "FileBytes.h"
#include "TempFolder.h"

namespace faults {

// The mailbox <folder>\<name>\ with one account: Account1\ with inbox.box and
// trash.box. Returns its path with a trailing backslash; RunQuenla's script and
// report go beside it, so inside the folder too.
std::string MakeMailbox(const TempFolder& folder, const std::string& name = "mailbox");

// The mail files (".qnl") of a folder such as "Account1\inbox.box", by name.
std::vector<std::string> MailFiles(const std::string& mailbox, const std::string& folder);

struct HostRun {
    bool started = false;
    bool timedOut = false;   // killed at the time limit
    DWORD exitCode = 0;
    DWORD milliseconds = 0;
    std::string report;      // what Quenla printed (--out)
};

// Quenla.exe --mailbox <mailbox> --script <file> --out <file> --hide, the script
// lines written in the ANSI code page. env: variables set (or, with an empty
// value, removed) for the child only.
HostRun RunQuenla(const std::string& mailbox, const std::vector<std::string>& script,
                  const std::vector<std::pair<std::string, std::string>>& env = {},
                  DWORD timeLimitMs = 120000);

}  // namespace faults
