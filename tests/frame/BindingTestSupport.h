#pragma once
// What the binding tests share: where the plug-in lies, and the load error box.

#include <string>

// The plug-in under test: bin\Pikuno.dll, one folder above the test program.
std::string BindingPluginPath();
// The folder of the running test program, ending in a backslash.
std::string BindingProgramDir();

// "プラグインエラー", written out as Shift_JIS bytes.
extern const char kBindErrorCaption[];
// The text of the load error box for the plug-in "Pikuno".
extern const char kBindErrorText[];

// Loads the plug-in expecting the refusal (gtest checks): no library, and exactly
// one error box, with its text, an OK button and the error icon.
void ExpectPluginLoadRefused();
