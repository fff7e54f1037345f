#include "SelectiveReceive.h"

int32_t gDeleteOnServer = 0;

LRESULT WINAPI RunSelectiveReceive(HWND, LPARAM) {
    // The command itself is not built yet: choosing "選択受信" does nothing so far.
    return 0;
}
