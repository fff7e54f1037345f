#pragma once
// A host name looked up without blocking the thread. Winsock answers with a
// message posted to a message-only window of the lookup's own, whose procedure
// records the answer whichever loop dispatches it: the session's wait, the
// progress window's pump, or a modal loop nested in either. Built on Winsock
// 1.1's WSAAsyncGetHostByName, which every Windows the plug-in runs on offers.

#include <winsock2.h>
#include <windows.h>

#include "WinHandles.h"

// The lookup's two calls, with the signatures of WSAAsyncGetHostByName and
// WSACancelAsyncRequest, so that tests can answer late or never.
typedef HANDLE(WSAAPI* PopLookupStart)(HWND window, u_int message, const char* name, char* buffer, int length);
typedef int(WSAAPI* PopLookupCancel)(HANDLE request);

class HostLookup {
public:
    // Null functions stand for Winsock's own.
    HostLookup(PopLookupStart start, PopLookupCancel cancel);
    // Cancels a lookup that has not been answered.
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Asks for name; false when the request could not even be made.
    bool Start(const char* name);
    // Dispatches the answers already posted to the lookup's window, for waits
    // that run no pump of their own. False when WM_QUIT was found instead (it is
    // posted again for the host's own loop).
    bool DeliverAnswers();
    bool Answered() const { return answered_; }
    // The first IPv4 address of the answer; false before it, and when the name
    // was not found or has no IPv4 address.
    bool Address(in_addr* address) const;
    // Withdraws a request that has not been answered; any later answer is dropped.
    void Cancel();

    // The message of the answer, private to the lookup's window.
    static constexpr UINT kAnswerMessage = WM_APP + 1;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Restore();

    PopLookupStart start_;
    PopLookupCancel cancel_;
    UniqueWindow window_;
    WNDPROC staticProcedure_ = nullptr;
    HANDLE request_ = nullptr;
    // MAXGETHOSTSTRUCT bytes that Winsock fills with the answer. A cancelled
    // request's buffer is never freed: not every Winsock stops a lookup that has
    // begun, and one that goes on still writes its answer there.
    char* buffer_ = nullptr;
    bool answered_ = false;
    int error_ = 0;
};
