#pragma once
// The non-interactive mode's script: one command per line, words separated by
// blanks, a word in double quotes may hold blanks, "#" starts a comment line.
// Scripts may be written in Shift_JIS or UTF-8; UTF-8 is turned into Shift_JIS so
// that menu texts compare byte for byte with the plug-in's.

#include <string>
#include <vector>

std::vector<std::string> SplitScriptLine(const std::string& line);

// Lines of a script text, without comments and empty lines.
std::vector<std::string> ScriptLines(const std::string& text);

// UTF-8 text (valid, with at least one non-ASCII byte) converted to the ANSI code
// page; any other text unchanged.
std::string ScriptTextToAnsi(const std::string& text);

// Menu item text as a script names it: the part before a tab, without a trailing
// "...", without a trailing "(&X)" accelerator and without the remaining "&" marks.
std::string PlainMenuText(const std::string& text);
