#pragma once
// What the binding tests share: where the plug-in lies, and the load error box.

#include <windows.h>

#include <string>

// The plug-in under test: bin\Pikuno.dll, one folder above the test program.
std::string BindingPluginPath();

// "プラグインエラー", written out as Shift_JIS bytes.
extern const char kBindErrorCaption[];
// The text of the load error box for the plug-in "Pikuno".
extern const char kBindErrorText[];

// Loads the plug-in expecting the refusal: exactly one box, the bind error with OK
// and the error icon (where icons load at all), and no library left loaded.
void ExpectRefusedPluginLoad();
// Loads the plug-in expecting no bind-error box; returns the library (or null).
HMODULE LoadPluginWithoutBindErrorBox();
