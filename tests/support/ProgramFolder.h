#pragma once
// Where the running test program lies: the libraries, stand-ins and data the build
// puts beside it are found from there.

#include <string>

// The folder of the running test program, ending in a backslash.
std::string ProgramFolder();
