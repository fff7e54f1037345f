#pragma once
// Runs the real programs for fault tests: a mailbox made for one case, and
// Quenla.exe (with Pikuno.dll beside it) started as a child process on a script,
// with a time limit and environment changes of its own.

#include <string>
#include <utility>
#include <vector>

#include "FileBytes.h"
#include "QuenlaProcess.h"
#include "TempFolder.h"

namespace faults {

// The mailbox <folder>\<name>\ with one account: Account1\ with inbox.box and
// trash.box. Returns its path with a trailing backslash; RunQuenla's script goes
// beside it, so inside the folder too.
std::string MakeMailbox(const TempFolder& folder, const std::string& name = "mailbox");

// The mail files (".qnl") of a folder such as "Account1\inbox.box", by name.
std::vector<std::string> MailFiles(const std::string& mailbox, const std::string& folder);

// What the run printed (its report), its exit code, whether it was killed at the limit.
using HostRun = QuenlaRun;

// Quenla.exe --mailbox <mailbox> --script <file> --hide, the script
// lines written in the ANSI code page. env: variables set (or, with an empty
// value, removed) for the child only.
HostRun RunQuenla(const std::string& mailbox, const std::vector<std::string>& script,
                  const std::vector<std::pair<std::string, std::string>>& env = {},
                  DWORD timeLimitMs = 120000);
// The same with further options of Quenla.exe after those.
HostRun RunQuenlaWithOptions(const std::string& mailbox, const std::vector<std::string>& script,
                             const std::vector<std::string>& options, DWORD timeLimitMs = 120000);

// The same with everything of extra: its program (empty: Quenla.exe beside the
// test program), its arguments after those, its environment.
HostRun RunQuenlaWith(const std::string& mailbox, const std::vector<std::string>& script,
                      const QuenlaCommand& extra, DWORD timeLimitMs = 120000);

}  // namespace faults
