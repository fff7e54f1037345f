// The host functions of a stand-in host for the binding tests. Every one of the 34
// is defined here; the .def file of each build decides which of them are exported.
// Three answer usefully (menus, mailbox); the others return 0.

#include "BindingHostExports.h"

#include <string>

#include "HostApiList.h"

namespace {

std::vector<BindingRegistration> gRegistrations;
std::string gMailbox = "C:\\Quenla\\";
std::string gCurrentFolder = "C:\\Quenla\\Account1\\inbox.box";

typedef LRESULT(WINAPI* Callback)(HWND, LPARAM);

INT_PTR Answer(const std::string& name, INT_PTR a = 0, INT_PTR b = 0, INT_PTR = 0, INT_PTR = 0) {
    if (name == "VhxRegistCallback") {
        const int id = kBindingFirstCommandId + static_cast<int>(gRegistrations.size());
        gRegistrations.push_back({reinterpret_cast<void*>(a), static_cast<LPARAM>(b), id});
        return id;
    }
    if (name == "VhxGetMailbox") {
        return reinterpret_cast<INT_PTR>(gMailbox.c_str());
    }
    if (name == "VhxFolderGetCurrentFolder" || name == "VhxGetAccount") {
        return reinterpret_cast<INT_PTR>(gCurrentFolder.c_str());
    }
    return 0;
}

}  // namespace

std::vector<BindingRegistration>& BindingRegistrations() {
    return gRegistrations;
}

void SetBindingMailbox(const std::string& mailbox) {
    gMailbox = mailbox;
}

#define BINDING_ARGS_0
#define BINDING_ARGS_4 INT_PTR a
#define BINDING_ARGS_8 INT_PTR a, INT_PTR b
#define BINDING_ARGS_12 INT_PTR a, INT_PTR b, INT_PTR c
#define BINDING_ARGS_16 INT_PTR a, INT_PTR b, INT_PTR c, INT_PTR d
#define BINDING_PASS_0
#define BINDING_PASS_4 , a
#define BINDING_PASS_8 , a, b
#define BINDING_PASS_12 , a, b, c
#define BINDING_PASS_16 , a, b, c, d
#define BINDING_DEFINE(name, bytes)                                  \
    extern "C" INT_PTR WINAPI name(BINDING_ARGS_##bytes) {            \
        return Answer(#name BINDING_PASS_##bytes);                   \
    }
PIKUNO_HOST_API_LIST(BINDING_DEFINE)
