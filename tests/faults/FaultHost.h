#pragma once
// Runs the real programs for fault tests: a mailbox folder made for one case, and
// Quenla.exe (with Pikuno.dll beside it) started as a child process on a script,
// with a time limit and environment changes of its own.

#include <string>
#include <utility>
#include <vector>

#include "QuenlaProcess.h"

namespace faults {

// A fresh, empty folder "faults\<name>" below the working directory (the test
// programs' bin folder); an earlier one of that name is removed first.
std::string FreshFolder(const std::string& name);
void RemoveTree(const std::string& path);

bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);

// Mailbox with one account: <root>\Account1\ with inbox.box and trash.box.
// Returns the mailbox path with a trailing backslash.
std::string MakeMailbox(const std::string& root);

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

}  // namespace faults
