#pragma once
// Load, start and unload of the plug-in, and its name.

#include <windows.h>

namespace frame {

// The plug-in's name, a constant that lives as long as the library.
const char* GetPlugName();

// Process attach: records the module and binds the host API; on failure shows
// the load error box and returns FALSE, so that the load is refused.
BOOL ProcessAttach(HINSTANCE module);

// Process detach: releases the host module (see ReleaseHostApi).
BOOL ProcessDetach();

// Reads the digest settings; the host's value is not used. Always 1.
int StartUp(LPARAM unused);

// The about box; -1 until it exists.
INT_PTR VersionInfo(HWND parent);

}  // namespace frame
