#pragma once
// Runs Quenla.exe (beside the test program) with arguments, collecting everything it
// prints and its exit status.

#include <windows.h>

#include <string>
#include <vector>

struct RunResult {
    DWORD status = 0xFFFFFFFF;
    std::string output;
};

RunResult RunQuenla(const std::vector<std::string>& args);
