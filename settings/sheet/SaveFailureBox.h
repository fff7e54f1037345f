#pragma once
// The message box of a settings file the system would not write: the sheet stays
// open, so that the user can free the file and press OK again, or cancel.

#include <windows.h>

// Text of the box; %s is the file's full path.
extern const char kSaveFailureFormat[];

// Modal box owned by owner: OK button, error icon, titled with the library's name
// (as the sheet's other box), naming the file.
void ShowSaveFailure(HWND owner, const char* path);
