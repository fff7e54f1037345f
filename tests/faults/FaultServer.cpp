#include "FaultServer.h"

#include <vector>

bool FaultConnection::ReadLine(std::string* line, DWORD timeoutMs) {
    for (;;) {
        std::size_t lf = pending_.find('\n');
        if (lf != std::string::npos) {
            *line = pending_.substr(0, lf);
            if (!line->empty() && line->back() == '\r') {
                line->pop_back();
            }
            pending_.erase(0, lf + 1);
            return true;
        }
        if (peer_ == INVALID_SOCKET) {
            return false;
        }
        DWORD timeout = timeoutMs;
        setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        char chunk[4096];
        int got = recv(peer_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            return false;
        }
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
}

bool FaultConnection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(peer_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool FaultConnection::SendRepeated(char byte, std::size_t count) {
    const std::string piece(64 * 1024, byte);
    while (count > 0) {
        std::size_t n = count < piece.size() ? count : piece.size();
        if (!Send(piece.substr(0, n))) {
            return false;
        }
        count -= n;
    }
    return true;
}

void FaultConnection::Close() {
    if (peer_ != INVALID_SOCKET) {
        closesocket(peer_);
        peer_ = INVALID_SOCKET;
    }
}

FaultServer::~FaultServer() {
    Finish();
}

bool FaultServer::Start(Handler handler) {
    return StartMany([handler](FaultConnection& c, int) { handler(c); }, 1);
}

bool FaultServer::StartMany(std::function<void(FaultConnection&, int)> handler, int count) {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return false;
    }
    port_ = ntohs(address.sin_port);
    SOCKET listener = listener_;
    thread_ = std::thread([listener, handler, count] {
        for (int index = 0; index < count; ++index) {
            // Nobody connecting within a minute ends the thread.
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener, &readable);
            timeval wait = {60, 0};
            if (select(0, &readable, nullptr, nullptr, &wait) != 1) {
                return;
            }
            SOCKET peer = accept(listener, nullptr, nullptr);
            if (peer == INVALID_SOCKET) {
                return;
            }
            FaultConnection connection(peer);
            handler(connection, index);
            connection.Close();
        }
    });
    return true;
}

void FaultServer::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
}
