#include "DroppingListener.h"

#include <cstring>
#include <utility>

namespace {

// Connects s (not blocking) and waits up to ms for the handshake.
bool ConnectsWithin(SOCKET s, const sockaddr_in& address, long ms) {
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return true;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return false;
    }
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(s, &writable);
    timeval wait = {ms / 1000, (ms % 1000) * 1000};
    return select(0, nullptr, &writable, nullptr, &wait) == 1;
}

}  // namespace

DroppingListener::DroppingListener() {
    listener_.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener_) {
        return;
    }
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        listen(listener_.Get(), 1) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    // The system completes a few handshakes for the queue (the backlog and one
    // more); the first one it leaves unanswered shows the queue full. The
    // system retries an unanswered request after a second, far later than this.
    for (int i = 0; i < 16; ++i) {
        UniqueSocket filler(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (!filler) {
            return;
        }
        if (!ConnectsWithin(filler.Get(), address, 300)) {
            ready_ = i > 0;
            return;
        }
        fillers_.push_back(std::move(filler));
    }
}
