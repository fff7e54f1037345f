/* The DLLs must load on Windows XP SP3, whose kernel32 has no GetTickCount64.
 * MinGW's static threads runtime (winpthread, which libstdc++ and the unwinder pull
 * in even when no thread is started) imports it for its timed waits; an import that
 * XP's kernel32 lacks makes the loader refuse the whole DLL. This file is linked
 * into each DLL as an object of its own, so that its import slot is the one the
 * linker finds first and kernel32's is never imported: the function is looked up at
 * run time and, where it is missing, the 32-bit tick count stands in for it. */
#include <windows.h>

#if defined(__MINGW32__)

typedef ULONGLONG(WINAPI* TickCount64Function)(void);

static ULONGLONG WINAPI TickCount64OnAnyWindows(void) {
    /* Racing first calls store the same value; a pointer store is atomic. */
    static TickCount64Function resolved;
    static LONG looked;
    if (!looked) {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        resolved = kernel ? (TickCount64Function)(void (*)(void))GetProcAddress(kernel, "GetTickCount64") : NULL;
        looked = 1;
    }
    if (resolved) {
        return resolved();
    }
    /* XP: 32 bits wrap after 49.7 days; the runtime measures only short timeouts. */
    return GetTickCount();
}

#if defined(_WIN64)
#define PIKUNO_IMPORT_SLOT "__imp_GetTickCount64"
#else
#define PIKUNO_IMPORT_SLOT "__imp__GetTickCount64@0"
#endif

/* The slot an import through __declspec(dllimport) reads the address from. */
TickCount64Function pikunoTickCount64Slot __asm__(PIKUNO_IMPORT_SLOT) = TickCount64OnAnyWindows;

#endif
