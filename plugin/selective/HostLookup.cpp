// WSAAsyncGetHostByName is a Winsock 1.1 call that every Windows offers; newer
// SDKs only warn about it.
#ifndef _WINSOCK_DEPRECATED_NO_WARNINGS
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#endif
#include "HostLookup.h"

#include <cstdlib>
#include <cstring>

#include "BoundaryGuard.h"

HostLookup::HostLookup(PopLookupStart start, PopLookupCancel cancel)
    : start_(start ? start : &WSAAsyncGetHostByName), cancel_(cancel ? cancel : &WSACancelAsyncRequest) {}

HostLookup::~HostLookup() {
    Cancel();
    Restore();
    window_.Reset();
    std::free(buffer_);
}

bool HostLookup::Start(const char* name) {
    // A static control is a class every process has: no class of our own to
    // register and unregister with the plug-in's loading. Its procedure is
    // replaced by the lookup's, which hands everything else on.
    window_.Reset(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    if (!window_) {
        return false;
    }
    SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    staticProcedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostLookup::Procedure)));
    if (!staticProcedure_) {
        return false;
    }
    buffer_ = static_cast<char*>(std::malloc(MAXGETHOSTSTRUCT));
    if (!buffer_) {
        return false;
    }
    request_ = start_(window_.Get(), kAnswerMessage, name, buffer_, MAXGETHOSTSTRUCT);
    return request_ != nullptr;
}

bool HostLookup::DeliverAnswers() {
    MSG message;
    while (window_ && PeekMessageA(&message, window_.Get(), kAnswerMessage, kAnswerMessage, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        DispatchMessageA(&message);
    }
    return true;
}

bool HostLookup::Address(in_addr* address) const {
    if (!answered_ || error_ != 0 || !buffer_) {
        return false;
    }
    const hostent* host = reinterpret_cast<const hostent*>(buffer_);
    if (host->h_addrtype != AF_INET || host->h_length != sizeof(in_addr) || !host->h_addr_list ||
        !host->h_addr_list[0]) {
        return false;
    }
    std::memcpy(address, host->h_addr_list[0], sizeof(in_addr));
    return true;
}

void HostLookup::Cancel() {
    if (!request_ || answered_) {
        return;
    }
    cancel_(request_);
    request_ = nullptr;  // an answer that still comes matches no request
    buffer_ = nullptr;   // left to the request (see the member's note)
}

// The window goes back to its own procedure before it is destroyed, so that the
// static control frees what it keeps.
void HostLookup::Restore() {
    if (window_ && staticProcedure_) {
        SetWindowLongPtrA(window_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(staticProcedure_));
        SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
    }
    staticProcedure_ = nullptr;
}

// A window procedure: nothing may unwind into the dispatching loop.
LRESULT CALLBACK HostLookup::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallGuarded<LRESULT>(0, [&]() -> LRESULT {
        HostLookup* self = reinterpret_cast<HostLookup*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!self || !self->staticProcedure_) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        if (message == kAnswerMessage) {
            if (self->request_ && reinterpret_cast<HANDLE>(wParam) == self->request_) {
                self->answered_ = true;
                self->error_ = WSAGETASYNCERROR(lParam);
            }
            return 0;
        }
        return CallWindowProcA(self->staticProcedure_, window, message, wParam, lParam);
    });
}
