#pragma once
// The selective receive command ("選択受信") and the state it leaves for the
// host's retrieval.

#include <windows.h>

#include <cstdint>

// Key Delete of Kirvan.ini as read by the last selective receive; 0 at load.
// VbxRecFilter reads it; VbxFolderEndRetrieve sets it to 0.
extern int32_t gDeleteOnServer;

// The command callback registered for "選択受信"; value is the registered 0.
LRESULT WINAPI RunSelectiveReceive(HWND window, LPARAM value);
