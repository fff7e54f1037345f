#include "Pop3ScriptServer.h"

#include <cstring>
#include <utility>

#include "BoundedText.h"

namespace {

// True when the socket becomes readable within timeoutMs.
bool WaitReadable(SOCKET s, DWORD timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv;
    tv.tv_sec = static_cast<long>(timeoutMs / 1000);
    tv.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    return select(0, &set, nullptr, nullptr, &tv) == 1;
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            text::Format(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

Pop3ScriptServer::Step Pop3ScriptServer::Expect(std::string bytes) {
    return Step{Step::kExpect, std::move(bytes), {}, 0};
}

Pop3ScriptServer::Step Pop3ScriptServer::Reply(std::string bytes) {
    return Step{Step::kSend, std::move(bytes), {}, 0};
}

Pop3ScriptServer::Step Pop3ScriptServer::ReplyBytewise(std::string bytes, DWORD pauseMs) {
    std::vector<std::size_t> pieces(bytes.size(), 1);
    return Step{Step::kSend, std::move(bytes), std::move(pieces), pauseMs};
}

Pop3ScriptServer::Step Pop3ScriptServer::ReplyInPieces(std::string bytes, std::vector<std::size_t> pieces,
                                                       DWORD pauseMs) {
    return Step{Step::kSend, std::move(bytes), std::move(pieces), pauseMs};
}

Pop3ScriptServer::Step Pop3ScriptServer::Pause(DWORD ms) {
    return Step{Step::kPause, std::string(), {}, ms};
}

Pop3ScriptServer::Step Pop3ScriptServer::Close() {
    return Step{Step::kClose, std::string(), {}, 0};
}

Pop3ScriptServer::Step Pop3ScriptServer::AwaitClose() {
    return Step{Step::kAwaitClose, std::string(), {}, 0};
}

Pop3ScriptServer::~Pop3ScriptServer() {
    Finish();
}

bool Pop3ScriptServer::Start(std::vector<Step> script, DWORD expectTimeoutMs) {
    script_ = std::move(script);
    expectTimeoutMs_ = expectTimeoutMs;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == SOCKET_ERROR ||
        listen(listener_, 1) == SOCKET_ERROR ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void Pop3ScriptServer::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
}

void Pop3ScriptServer::Fail(const std::string& what) {
    if (failure_.empty()) {
        failure_ = what;
    }
}

void Pop3ScriptServer::Run() {
    if (!WaitReadable(listener_, 10000)) {
        Fail("no client connected");
        return;
    }
    SOCKET peer = accept(listener_, nullptr, nullptr);
    if (peer == INVALID_SOCKET) {
        Fail("accept failed");
        return;
    }
    BOOL noDelay = TRUE;  // small sends must leave at once, one by one
    setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    peer_ = peer;
    if (outMs_ > 0) {
        sender_ = std::thread([this] { SendLoop(); });
    }

    bool open = true;
    for (std::size_t i = 0; i < script_.size() && open; ++i) {
        const Step& step = script_[i];
        switch (step.kind) {
        case Step::kExpect:
            open = RunExpect(peer, step.bytes);
            break;
        case Step::kSend:
            open = RunSend(peer, step);
            break;
        case Step::kPause:
            Sleep(step.pauseMs);
            break;
        case Step::kClose:
            WaitSendsDone();
            open = false;
            break;
        case Step::kAwaitClose:
            RunAwaitClose(peer);
            open = false;
            break;
        }
    }
    WaitSendsDone();
    if (sender_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            sendsStop_ = true;
        }
        sendWake_.notify_all();
        sender_.join();
    }
    if (sendFailed_) {
        Fail("send failed");
    }
    closesocket(peer);
}

void Pop3ScriptServer::Arrived(const char* bytes, int length) {
    received_.append(bytes, static_cast<std::size_t>(length));
    arrivals_.emplace_back(received_.size(), GetTickCount());
}

bool Pop3ScriptServer::DrainArrived(SOCKET peer) {
    while (WaitReadable(peer, 0)) {
        char chunk[4096];
        int got = recv(peer, chunk, sizeof chunk, 0);
        if (got <= 0) {
            return false;
        }
        Arrived(chunk, got);
    }
    return true;
}

void Pop3ScriptServer::SendLoop() {
    std::unique_lock<std::mutex> lock(sendMutex_);
    for (;;) {
        sendWake_.wait(lock, [this] { return sendsStop_ || !sends_.empty(); });
        if (sends_.empty()) {
            return;
        }
        Delayed next = sends_.front();
        sending_ = true;
        lock.unlock();
        LONG wait = static_cast<LONG>(next.due - GetTickCount());
        if (wait > 0) {
            Sleep(static_cast<DWORD>(wait));
        }
        bool ok = SendNow(peer_, next.step);
        lock.lock();
        sends_.pop_front();
        sending_ = false;
        if (!ok) {
            sendFailed_ = true;
        }
        sendWake_.notify_all();
    }
}

void Pop3ScriptServer::WaitSendsDone() {
    if (!sender_.joinable()) {
        return;
    }
    std::unique_lock<std::mutex> lock(sendMutex_);
    sendWake_.wait(lock, [this] { return sends_.empty() && !sending_; });
}

bool Pop3ScriptServer::RunExpect(SOCKET peer, const std::string& bytes) {
    DWORD start = GetTickCount();
    while (received_.size() - matched_ < bytes.size()) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= expectTimeoutMs_ || !WaitReadable(peer, expectTimeoutMs_ - elapsed)) {
            Fail("timed out waiting for \"" + Printable(bytes) + "\"; got \"" +
                 Printable(received_.substr(matched_)) + "\"");
            return false;
        }
        char chunk[4096];
        int got = recv(peer, chunk, sizeof chunk, 0);
        if (got <= 0) {
            clientClosed_ = true;
            Fail("connection closed while waiting for \"" + Printable(bytes) + "\"; got \"" +
                 Printable(received_.substr(matched_)) + "\"");
            return false;
        }
        Arrived(chunk, got);
    }
    std::string next = received_.substr(matched_, bytes.size());
    if (next != bytes) {
        Fail("expected \"" + Printable(bytes) + "\", got \"" + Printable(next) + "\"");
        return false;
    }
    if (earlyNext_) {
        early_.push_back(bytes);
    }
    earlyNext_ = false;
    matched_ += bytes.size();
    if (inMs_ > 0) {
        // The command reaches the server inMs after its last byte left the client.
        for (const auto& arrival : arrivals_) {
            if (arrival.first >= matched_) {
                LONG wait = static_cast<LONG>(arrival.second + inMs_ - GetTickCount());
                if (wait > 0) {
                    Sleep(static_cast<DWORD>(wait));
                }
                break;
            }
        }
    }
    return true;
}

bool Pop3ScriptServer::RunSend(SOCKET peer, const Step& step) {
    // What the client sent before this reply left is what it did not wait for.
    if (!DrainArrived(peer)) {
        clientClosed_ = true;
    }
    earlyNext_ = received_.size() > matched_;
    if (sender_.joinable()) {
        std::lock_guard<std::mutex> lock(sendMutex_);
        sends_.push_back(Delayed{step, GetTickCount() + outMs_});
        sendWake_.notify_all();
        return !sendFailed_;
    }
    return SendNow(peer, step);
}

bool Pop3ScriptServer::SendNow(SOCKET peer, const Step& step) {
    std::size_t offset = 0;
    std::size_t piece = 0;
    while (offset < step.bytes.size()) {
        std::size_t length = piece < step.pieces.size() ? step.pieces[piece] : step.bytes.size() - offset;
        if (length > step.bytes.size() - offset) {
            length = step.bytes.size() - offset;
        }
        if (offset > 0 && step.pauseMs > 0) {
            Sleep(step.pauseMs);
        }
        int sent = send(peer, step.bytes.data() + offset, static_cast<int>(length), 0);
        if (sent <= 0) {
            if (!sender_.joinable()) {
                Fail("send failed");
            }
            return false;
        }
        offset += static_cast<std::size_t>(sent);
        ++piece;
    }
    return true;
}

void Pop3ScriptServer::RunAwaitClose(SOCKET peer) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= expectTimeoutMs_ || !WaitReadable(peer, expectTimeoutMs_ - elapsed)) {
            Fail("the client did not close the connection");
            return;
        }
        char chunk[4096];
        int got = recv(peer, chunk, sizeof chunk, 0);
        if (got <= 0) {
            clientClosed_ = true;
            return;
        }
        Arrived(chunk, got);
    }
}

u_short UnusedLoopbackPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return 0;
    }
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    u_short port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    closesocket(s);
    return port;
}
