#pragma once
// Load, start and unload of the plug-in, and its name.

#include <windows.h>

namespace frame {

// The plug-in's name, a constant that lives as long as the library.
const char* GetPlugName();

// Process attach: records the module and binds the host API; on failure shows
// the load error box and returns FALSE, so that the load is refused.
BOOL ProcessAttach(HINSTANCE module);

// Process detach: ends the watch for a dropped receive command (its timer would
// call into the unmapped library) and releases the host module (see ReleaseHostApi).
BOOL ProcessDetach();

// Reads the digest settings; the host's value is not used. Always 1.
int StartUp(LPARAM unused);

// Runs the about box: 1 once closed, -1 when it could not be created.
INT_PTR VersionInfo(HWND parent);

}  // namespace frame
