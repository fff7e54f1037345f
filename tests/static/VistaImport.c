/* A library that only Vista and later can load: it imports GetTickCount64. The
 * oldest-Windows check must refuse it (static_oldest_windows_refuses_*). */
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

__declspec(dllexport) ULONGLONG VistaTicks(void) {
    return GetTickCount64();
}
