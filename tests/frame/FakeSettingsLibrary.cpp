// A stand-in for Pikunoset.dll: SetUp records where it was loaded from and what it
// was given (in an environment variable of the process) and returns a fixed result.
// Built with FAKE_SETUP_RESULT; without it the library has no SetUp at all.

#include <windows.h>

#include <string>

namespace {

std::string OwnPath() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnPath), &self);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, sizeof path);
    return path;
}

}  // namespace

extern "C" {

#if defined(FAKE_SETUP_RESULT)
int WINAPI SetUp(const char* mailboxDir, const char* accountPath) {
    const std::string record = OwnPath() + "|" + (mailboxDir ? mailboxDir : "(null)") + "|" +
                               (accountPath ? accountPath : "(null)");
    SetEnvironmentVariableA("PIKUNO_FAKE_SETUP_CALL", record.c_str());
    return FAKE_SETUP_RESULT;
}
#else
int WINAPI NotSetUp(const char*, const char*) {
    SetEnvironmentVariableA("PIKUNO_FAKE_SETUP_CALL", OwnPath().c_str());
    return 1;
}
#endif

}  // extern "C"
