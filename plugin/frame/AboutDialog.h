#pragma once
// The about box: the plug-in's icon, the versions of both libraries and a copyright
// line, from template IDD_ABOUT and the string table of the plug-in's own module.

#include <windows.h>

#include <cstddef>

namespace frame {

// Size of the buffer each text of the box is loaded into; longer texts are cut.
constexpr std::size_t kAboutTextSize = 128;

// Runs the box modally, owned by parent. 1 once it has closed (whichever way),
// -1 when it could not be created.
INT_PTR RunAboutDialog(HWND parent);

// Loads string id of module into text (kAboutTextSize bytes) in the ANSI code page,
// cut to the whole characters that fit before the terminator. A missing string
// gives "" and false.
bool LoadAboutText(HINSTANCE module, UINT id, char (&text)[kAboutTextSize]);

// The box's dialog procedure.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace frame
