#pragma once
// The setup command: runs the settings library Pikunoset for the duration of one
// call of its SetUp.

#include <windows.h>

// Export of Pikunoset: shows the settings sheet; 1 when the user confirmed it.
typedef int(WINAPI* SettingsSetUpFn)(const char* mailboxDir, const char* accountPath);

namespace frame {

// Where the settings library is looked for, in order; each name is resolved by
// the system's ordinary library search.
extern const char* const kSettingsLibraryNames[3];

// Loads the first settings library found, calls its SetUp with (mailbox
// directory, account directory of window), re-reads the digest settings when it
// returned 1, and releases the library. Returns what SetUp returned (1 saved, 2
// cancelled, 0 the sheet could not be shown); 0 when SetUp was not called (no
// library, no SetUp in it, a host directory too long to pass on).
int RunSettings(HWND window);

}  // namespace frame
