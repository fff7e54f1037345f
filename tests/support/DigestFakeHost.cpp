#include "DigestFakeHost.h"

#include "HostApi.h"

namespace digest_fake {
namespace {

std::vector<DigestHostCall> gCalls;
std::string gMailbox;
std::vector<std::string> gSelection;
bool gRepeatLast = false;
std::size_t gNextSelection = 0;
std::function<void()> gImportHook;

LPCSTR WINAPI FakeGetMailbox() {
    return gMailbox.c_str();
}

BOOL WINAPI FakeImportFile(LPCSTR file, LPCSTR folder, DWORD flags) {
    DigestHostCall call;
    call.function = "ImportFile";
    call.first = file ? file : "(null)";
    call.second = folder ? folder : "(null)";
    call.flags = flags;
    call.bytes = ReadWholeFile(call.first);
    gCalls.push_back(call);
    if (gImportHook) {
        gImportHook();
    }
    return TRUE;
}

BOOL WINAPI FakeMoveMail(LPCSTR entry, LPCSTR folder) {
    DigestHostCall call;
    call.function = "MoveMail";
    call.first = entry ? entry : "(null)";
    call.second = folder ? folder : "(null)";
    gCalls.push_back(call);
    return TRUE;
}

BOOL WINAPI FakeDeleteMail(LPCSTR entry) {
    DigestHostCall call;
    call.function = "DeleteMail";
    call.first = entry ? entry : "(null)";
    gCalls.push_back(call);
    return TRUE;
}

LPCSTR WINAPI FakeGetSelectEntry(HWND window, BOOL first) {
    DigestHostCall call;
    call.function = "GetSelectEntry";
    call.first = first ? "1" : "0";
    call.window = window;
    gCalls.push_back(call);
    if (first) {
        gNextSelection = 0;
    }
    if (gNextSelection < gSelection.size()) {
        return gSelection[gNextSelection++].c_str();
    }
    if (gRepeatLast && !gSelection.empty()) {
        return gSelection.back().c_str();
    }
    return nullptr;
}

}  // namespace

void Install(const std::string& mailbox) {
    gHostApi = HostApi();
    gMailbox = mailbox;
    gCalls.clear();
    gSelection.clear();
    gRepeatLast = false;
    gNextSelection = 0;
    gImportHook = nullptr;
    gHostApi.VhxGetMailbox = FakeGetMailbox;
    gHostApi.VhxImportFile = FakeImportFile;
    gHostApi.VhxMoveMail = FakeMoveMail;
    gHostApi.VhxDeleteMail = FakeDeleteMail;
    gHostApi.VhxFolderGetSelectEntry = FakeGetSelectEntry;
}

void Uninstall() {
    gHostApi = HostApi();
    gCalls.clear();
    gSelection.clear();
    gImportHook = nullptr;
}

std::vector<DigestHostCall>& Calls() {
    return gCalls;
}

std::vector<DigestHostCall> CallsOf(const char* function) {
    std::vector<DigestHostCall> found;
    for (const DigestHostCall& call : gCalls) {
        if (call.function == function) {
            found.push_back(call);
        }
    }
    return found;
}

void SetSelection(const std::vector<std::string>& entries, bool repeatLast) {
    gSelection = entries;
    gRepeatLast = repeatLast;
    gNextSelection = 0;
}

void SetImportHook(std::function<void()> hook) {
    gImportHook = std::move(hook);
}

std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

}  // namespace digest_fake
