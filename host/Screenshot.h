#pragma once
// Pictures of windows for the reports: the window as drawn (copied from its own
// DC, PrintWindow when that fails) saved as a 24-bit BMP.

#include <windows.h>

#include <string>

bool SaveWindowBitmap(HWND window, const std::string& path);
