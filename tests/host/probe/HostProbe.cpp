// HostProbe.dll: a small plug-in that exercises the stand-in host the way a real
// plug-in does. It binds all 34 host functions from "Quenla.exe" at attach (and
// refuses to load when one is missing), extends both menus, and writes what the
// host handed it to probe.log in the mailbox directory. probe.ini there steers it:
//   [Probe] Items=N            the selection dialog lists N items (0: no dialog)
//           ImportFlags=N      flags of the folder command's imports
//           Dispose=move|delete|ask|keep   what the folder command does with the source
// A received mail containing "X-Probe-Delete: yes" is answered with 1 (delete).

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "HostApiList.h"

namespace {

typedef LRESULT(WINAPI* Callback)(HWND, LPARAM);
typedef int(WINAPI* RegistCallbackFn)(Callback, LPARAM);
typedef LPCSTR(WINAPI* StringOfWindowFn)(HWND);
typedef LPCSTR(WINAPI* GetMailboxFn)();
typedef LPCSTR(WINAPI* GetSelectEntryFn)(HWND, BOOL);
typedef BOOL(WINAPI* ImportFileFn)(LPCSTR, LPCSTR, DWORD);
typedef BOOL(WINAPI* MoveMailFn)(LPCSTR, LPCSTR);
typedef BOOL(WINAPI* DeleteMailFn)(LPCSTR);

HMODULE gHost = nullptr;
HINSTANCE gSelf = nullptr;
FARPROC gFunctions[kHostApiFunctionCount];
const char* const kNames[] = {
#define PROBE_NAME(name, bytes) PIKUNO_HOST_API_DECORATED(name, bytes),
    PIKUNO_HOST_API_LIST(PROBE_NAME)
#undef PROBE_NAME
};

template <typename T>
T Host(const char* name) {
    for (int i = 0; i < kHostApiFunctionCount; ++i) {
        if (std::strcmp(kNames[i], name) == 0) {
            return reinterpret_cast<T>(reinterpret_cast<void*>(gFunctions[i]));
        }
    }
    return nullptr;
}

std::string Mailbox() {
    return Host<GetMailboxFn>("_VhxGetMailbox@0")();
}

void Log(const std::string& line) {
    std::string path = Mailbox() + "probe.log";
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        std::string bytes = line + "\r\n";
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
}

int Setting(const char* key, int fallback) {
    return static_cast<int>(GetPrivateProfileIntA("Probe", key, fallback, (Mailbox() + "probe.ini").c_str()));
}

std::string SettingText(const char* key) {
    char value[64] = "";
    GetPrivateProfileStringA("Probe", key, "", value, sizeof value, (Mailbox() + "probe.ini").c_str());
    return value;
}

INT_PTR CALLBACK SelectionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    HWND list = GetDlgItem(dialog, 1001);
    if (message == WM_INITDIALOG) {
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>("Subject");
        column.cx = 200;
        SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        int items = Setting("Items", 0);
        for (int i = 0; i < items; ++i) {
            char text[32];
            std::snprintf(text, sizeof text, "件名%d", i + 1);
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = text;
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (LOWORD(wParam) == IDOK) {
            int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
            std::string ticked = "ticked";
            for (int i = 0; i < count; ++i) {
                LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK);
                if (((state & LVIS_STATEIMAGEMASK) >> 12) == 2) {
                    ticked += " " + std::to_string(i + 1);
                }
            }
            Log(ticked);
        } else {
            Log("cancelled");
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

LRESULT WINAPI ReceiveCommand(HWND window, LPARAM value) {
    Log("command receive value " + std::to_string(static_cast<long long>(value)) + " account " +
        Host<StringOfWindowFn>("_VhxGetAccount@4")(window));
    if (Setting("Items", 0) > 0) {
        DialogBoxParamA(gSelf, MAKEINTRESOURCEA(101), window, SelectionProc, 0);
    }
    PostMessageA(window, WM_COMMAND, kHostReceiveCommand, 0);
    return 0;
}

LRESULT WINAPI SplitCommand(HWND window, LPARAM value) {
    Log(std::string("command split menu ") + (value ? "given" : "null"));
    std::string mailbox = Mailbox();
    std::string dispose = SettingText("Dispose");
    DWORD flags = static_cast<DWORD>(Setting("ImportFlags", 0));
    auto select = Host<GetSelectEntryFn>("_VhxFolderGetSelectEntry@8");
    for (LPCSTR entry = select(window, TRUE); entry; entry = select(window, FALSE)) {
        std::string name = entry;
        Log("selected " + name);
        std::string account = name.substr(0, name.find('\\'));
        char temp[MAX_PATH], file[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        GetTempFileNameA(temp, "prb", 0, file);
        CopyFileA((mailbox + name + ".qnl").c_str(), file, FALSE);
        BOOL imported = Host<ImportFileFn>("_VhxImportFile@12")(file, (account + "\\inbox.box").c_str(), flags);
        DeleteFileA(file);
        Log("imported " + std::to_string(imported));
        if (dispose == "move") {
            Host<MoveMailFn>("_VhxMoveMail@8")(entry, (account + "\\trash.box").c_str());
        } else if (dispose == "delete" ||
                   (dispose == "ask" && MessageBoxA(window, "Delete OK?", "deletemail", MB_YESNO) == IDYES)) {
            Host<DeleteMailFn>("_VhxDeleteMail@4")(name.c_str());
        }
    }
    return 0;
}

bool EndsWithInbox(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash && lstrcmpiA(slash + 1, "inbox.box") == 0;
}

}  // namespace

extern "C" {

LPCSTR WINAPI VbxGetPlugName() {
    return "HostProbe";
}

int WINAPI VbxVersionInfo(HWND parent) {
    Log("version");
    return MessageBoxA(parent, "HostProbe 1.0", "ProbeVersion", MB_OK) == IDOK ? 1 : -1;
}

int WINAPI VbxStartUp(LPARAM) {
    Log("startup");
    return 1;
}

void WINAPI VbxCleanUp() {
    Log("cleanup");
}

int WINAPI VbxSetup(HWND window) {
    int answer = MessageBoxA(window, "設定しますか", "ProbeSetup", MB_OKCANCEL);
    Log("setup " + std::to_string(answer));
    return answer == IDOK ? 1 : 2;
}

int WINAPI VbxRecFilter(LPCSTR path) {
    std::string bytes;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
            bytes.append(chunk, got);
        }
        CloseHandle(file);
    }
    int answer = bytes.find("X-Probe-Delete: yes") != std::string::npos ? 1 : 0;
    Log("recfilter " + std::string(path) + " size " + std::to_string(bytes.size()) + " -> " + std::to_string(answer));
    return answer;
}

int WINAPI VbxFolderInitMenu(HWND window, HMENU menu, int kind) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_TYPE;
    item.fType = MFT_STRING;
    if (kind == 101) {
        HMENU sub = GetSubMenu(menu, 2);
        if (!sub) {
            return 0;
        }
        item.wID = static_cast<UINT>(Host<RegistCallbackFn>("_VhxRegistCallback@8")(ReceiveCommand, 7));
        item.dwTypeData = const_cast<char*>("プローブ受信");
        InsertMenuItemA(sub, kHostReceiveCommand, FALSE, &item);
        item.fMask = MIIM_TYPE;
        item.fType = MFT_SEPARATOR;
        return InsertMenuItemA(sub, kHostReceiveCommand, FALSE, &item);
    }
    if (kind == 102) {
        LPCSTR folder = Host<StringOfWindowFn>("_VhxFolderGetCurrentFolder@4")(window);
        if (!EndsWithInbox(folder)) {
            return 0;
        }
        item.wID = static_cast<UINT>(
            Host<RegistCallbackFn>("_VhxRegistCallback@8")(SplitCommand, reinterpret_cast<LPARAM>(menu)));
        item.dwTypeData = const_cast<char*>("プローブ分割");
        return InsertMenuItemA(menu, 1, FALSE, &item);
    }
    return 0;
}

int WINAPI VbxFolderEndRetrieve(HWND) {
    Log("endretrieve");
    return 0;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gSelf = instance;
        gHost = LoadLibraryA("Quenla.exe");
        if (!gHost) {
            return FALSE;
        }
        for (int i = 0; i < kHostApiFunctionCount; ++i) {
            gFunctions[i] = GetProcAddress(gHost, kNames[i]);
            if (!gFunctions[i]) {
                FreeLibrary(gHost);
                return FALSE;
            }
        }
    } else if (reason == DLL_PROCESS_DETACH && gHost) {
        FreeLibrary(gHost);
    }
    return TRUE;
}
