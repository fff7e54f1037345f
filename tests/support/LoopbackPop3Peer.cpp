#include "LoopbackPop3Peer.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>

#include "BoundedText.h"

namespace {

// How long a script waits for its client to connect, and a mailbox for each
// next client (it serves until stopped).
constexpr DWORD kScriptAcceptMs = 10000;
constexpr DWORD kUntilStoppedAcceptMs = 600000;
// How long a mailbox waits for the next command of a client.
constexpr DWORD kMailboxCommandMs = 300000;

timeval Interval(DWORD ms) {
    timeval tv;
    tv.tv_sec = static_cast<long>(ms / 1000);
    tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
    return tv;
}

// Milliseconds left of timeoutMs since start (0 when none).
DWORD Left(DWORD start, DWORD timeoutMs) {
    DWORD elapsed = GetTickCount() - start;
    return elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
}

// Waits until `socket` is readable (true) or the wake socket is, or ms pass (false).
bool WaitEither(SOCKET socket, SOCKET wake, DWORD ms, bool* woken) {
    fd_set set;
    FD_ZERO(&set);
    if (socket != INVALID_SOCKET) {
        FD_SET(socket, &set);
    }
    FD_SET(wake, &set);
    timeval tv = Interval(ms);
    *woken = false;
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) {
        return false;
    }
    if (FD_ISSET(wake, &set)) {
        *woken = true;
        return false;
    }
    return true;
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

SOCKET LoopbackSocket(int type, sockaddr_in* address) {
    SOCKET s = socket(AF_INET, type, type == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        return s;
    }
    std::memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof *address;
    if (bind(s, reinterpret_cast<sockaddr*>(address), sizeof *address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(address), &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

}  // namespace

// ---- the connection ------------------------------------------------------------

Pop3PeerConnection::Wait Pop3PeerConnection::WaitReadable(DWORD timeoutMs) {
    if (stopped_->load()) {
        return Wait::kStopped;
    }
    bool woken = false;
    if (WaitEither(socket_, wake_, timeoutMs, &woken)) {
        return Wait::kArrived;
    }
    return woken || stopped_->load() ? Wait::kStopped : Wait::kTimedOut;
}

Pop3PeerConnection::Wait Pop3PeerConnection::Receive(DWORD timeoutMs) {
    if (clientClosed_ || socket_ == INVALID_SOCKET) {
        return Wait::kClosed;
    }
    Wait wait = WaitReadable(timeoutMs);
    if (wait != Wait::kArrived) {
        return wait;
    }
    char chunk[4096];
    int got = recv(socket_, chunk, sizeof chunk, 0);
    if (got <= 0) {
        clientClosed_ = true;
        return Wait::kClosed;
    }
    received_.append(chunk, static_cast<std::size_t>(got));
    arrivals_.emplace_back(received_.size(), GetTickCount());
    return Wait::kArrived;
}

bool Pop3PeerConnection::ReadLine(std::string* line, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        std::size_t lf = received_.find('\n', taken_);
        if (lf != std::string::npos) {
            *line = received_.substr(taken_, lf - taken_);
            if (!line->empty() && line->back() == '\r') {
                line->pop_back();
            }
            taken_ = lf + 1;
            return true;
        }
        DWORD left = Left(start, timeoutMs);
        if (left == 0 || Receive(left) != Wait::kArrived) {
            return false;
        }
    }
}

Pop3PeerConnection::Wait Pop3PeerConnection::WaitForBytes(std::size_t count, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (received_.size() - taken_ < count) {
        DWORD left = Left(start, timeoutMs);
        Wait wait = left == 0 ? Wait::kTimedOut : Receive(left);
        if (wait != Wait::kArrived) {
            return wait;
        }
    }
    return Wait::kArrived;
}

Pop3PeerConnection::Wait Pop3PeerConnection::WaitForClose(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD left = Left(start, timeoutMs);
        Wait wait = left == 0 ? Wait::kTimedOut : Receive(left);
        if (wait != Wait::kArrived) {
            return wait;
        }
    }
}

bool Pop3PeerConnection::TakeArrived() {
    for (;;) {
        Wait wait = Receive(0);
        if (wait == Wait::kClosed) {
            return false;
        }
        if (wait != Wait::kArrived) {
            return true;
        }
    }
}

Pop3PeerConnection::Wait Pop3PeerConnection::Stall(DWORD timeoutMs) {
    Wait wait = WaitForClose(timeoutMs);
    return wait == Wait::kClosed || wait == Wait::kStopped ? wait : Wait::kTimedOut;
}

bool Pop3PeerConnection::AcceptLogin() {
    std::string line;
    return Send("+OK ready\r\n") && ReadLine(&line) && Send("+OK\r\n") && ReadLine(&line) && Send("+OK\r\n");
}

bool Pop3PeerConnection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool Pop3PeerConnection::SendInPieces(const std::string& bytes, const std::vector<std::size_t>& pieces,
                                      DWORD pauseMs) {
    std::size_t offset = 0;
    std::size_t piece = 0;
    while (offset < bytes.size()) {
        std::size_t length = piece < pieces.size() ? pieces[piece] : bytes.size() - offset;
        if (length > bytes.size() - offset) {
            length = bytes.size() - offset;
        }
        if (offset > 0 && pauseMs > 0) {
            bool woken = false;
            WaitEither(INVALID_SOCKET, wake_, pauseMs, &woken);  // the pause is the behaviour
            if (woken) {
                return false;
            }
        }
        if (!Send(bytes.substr(offset, length))) {
            return false;
        }
        offset += length;
        ++piece;
    }
    return true;
}

bool Pop3PeerConnection::SendRepeated(char byte, std::size_t count) {
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

void Pop3PeerConnection::Close() {
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
}

DWORD Pop3PeerConnection::ArrivalTick(std::size_t offset) const {
    for (const auto& arrival : arrivals_) {
        if (arrival.first > offset) {
            return arrival.second;
        }
    }
    return GetTickCount();
}

// ---- the peer ------------------------------------------------------------------

LoopbackPop3Peer::Step LoopbackPop3Peer::Expect(std::string bytes) {
    return Step{Step::kExpect, std::move(bytes), {}, 0};
}

LoopbackPop3Peer::Step LoopbackPop3Peer::Reply(std::string bytes) {
    return Step{Step::kSend, std::move(bytes), {}, 0};
}

LoopbackPop3Peer::Step LoopbackPop3Peer::ReplyBytewise(std::string bytes, DWORD pauseMs) {
    std::vector<std::size_t> pieces(bytes.size(), 1);
    return Step{Step::kSend, std::move(bytes), std::move(pieces), pauseMs};
}

LoopbackPop3Peer::Step LoopbackPop3Peer::ReplyInPieces(std::string bytes, std::vector<std::size_t> pieces,
                                                       DWORD pauseMs) {
    return Step{Step::kSend, std::move(bytes), std::move(pieces), pauseMs};
}

LoopbackPop3Peer::Step LoopbackPop3Peer::Stall(DWORD ms) {
    return Step{Step::kStall, std::string(), {}, ms};
}

LoopbackPop3Peer::Step LoopbackPop3Peer::Close() {
    return Step{Step::kClose, std::string(), {}, 0};
}

LoopbackPop3Peer::Step LoopbackPop3Peer::AwaitClose() {
    return Step{Step::kAwaitClose, std::string(), {}, 0};
}

bool LoopbackPop3Peer::OpenListener(int backlog) {
    Stop();
    stopped_ = false;
    sockaddr_in address;
    listener_ = LoopbackSocket(SOCK_STREAM, &address);
    wake_ = LoopbackSocket(SOCK_DGRAM, &wakeAddress_);
    if (listener_ == INVALID_SOCKET || wake_ == INVALID_SOCKET || listen(listener_, backlog) != 0) {
        Finish();
        return false;
    }
    port_ = ntohs(address.sin_port);
    return true;
}

bool LoopbackPop3Peer::Start(std::vector<Step> script, DWORD expectTimeoutMs) {
    if (!OpenListener(1)) {
        return false;
    }
    script_ = std::move(script);
    expectTimeoutMs_ = expectTimeoutMs;
    received_.clear();
    failure_.clear();
    clientClosed_ = false;
    early_.clear();
    thread_ = std::thread([this] {
        bool played = false;
        Accepting([this, &played](Pop3PeerConnection& c, int) {
            played = true;
            PlayScript(c);
        }, 1, kScriptAcceptMs);
        if (!played && failure_.empty()) {
            failure_ = stopped_ ? "stopped before a client connected" : "no client connected within 10 s";
        }
    });
    return true;
}

bool LoopbackPop3Peer::Serve(Behaviour behaviour) {
    return ServeMany([behaviour](Pop3PeerConnection& c, int) { behaviour(c); }, 1);
}

bool LoopbackPop3Peer::ServeMany(IndexedBehaviour behaviour, int connections, DWORD acceptTimeoutMs) {
    if (!OpenListener(4)) {
        return false;
    }
    thread_ = std::thread([this, behaviour, connections, acceptTimeoutMs] {
        Accepting(behaviour, connections, acceptTimeoutMs);
    });
    return true;
}

bool LoopbackPop3Peer::Listen() {
    return OpenListener(4);
}

bool LoopbackPop3Peer::ConnectAttempted() const {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(listener_, &set);
    timeval none = {0, 0};
    return select(0, &set, nullptr, nullptr, &none) == 1;
}

void LoopbackPop3Peer::Accepting(IndexedBehaviour behaviour, int connections, DWORD acceptTimeoutMs) {
    for (int index = 0; connections == kUntilStopped || index < connections; ++index) {
        bool woken = false;
        if (!WaitEither(listener_, wake_, acceptTimeoutMs, &woken)) {
            return;
        }
        SOCKET peer = accept(listener_, nullptr, nullptr);
        if (peer == INVALID_SOCKET) {
            return;
        }
        BOOL noDelay = TRUE;  // small sends must leave at once, one by one
        setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        Pop3PeerConnection connection(peer, wake_, &stopped_);
        behaviour(connection, index);
    }
}

void LoopbackPop3Peer::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
    if (wake_ != INVALID_SOCKET) {
        closesocket(wake_);
        wake_ = INVALID_SOCKET;
    }
}

void LoopbackPop3Peer::Stop() {
    stopped_ = true;
    if (wake_ != INVALID_SOCKET) {
        sendto(wake_, "x", 1, 0, reinterpret_cast<const sockaddr*>(&wakeAddress_), sizeof wakeAddress_);
    }
    Finish();
}

void LoopbackPop3Peer::PlayScript(Pop3PeerConnection& c) {
    using Wait = Pop3PeerConnection::Wait;
    auto fail = [this](const std::string& what) {
        if (failure_.empty()) {
            failure_ = what;
        }
    };
    auto unread = [&c] { return Printable(c.Received().substr(c.Taken())); };
    // Replies on their way through the line with latency, due at a tick.
    struct Delayed {
        const Step* step;
        DWORD due;
    };
    std::deque<Delayed> delayed;
    auto sendStep = [&c, &fail](const Step& step) {
        if (!c.SendInPieces(step.bytes, step.pieces, step.pauseMs)) {
            fail("send failed");
            return false;
        }
        return true;
    };
    auto sendDue = [&] {
        while (!delayed.empty() && static_cast<LONG>(delayed.front().due - GetTickCount()) <= 0) {
            sendStep(*delayed.front().step);
            delayed.pop_front();
        }
    };
    // At most limit, but no later than the next delayed reply is due.
    auto slice = [&delayed](DWORD limit) {
        if (delayed.empty()) {
            return limit;
        }
        LONG due = static_cast<LONG>(delayed.front().due - GetTickCount());
        return due <= 0 ? 0 : (static_cast<DWORD>(due) < limit ? static_cast<DWORD>(due) : limit);
    };
    // Runs wait(ms) in slices until it reports something other than a time-out
    // or timeoutMs pass, sending the delayed replies as they fall due.
    auto await = [&](DWORD timeoutMs, const std::function<Wait(DWORD)>& wait) {
        DWORD start = GetTickCount();
        for (;;) {
            sendDue();
            DWORD left = Left(start, timeoutMs);
            Wait result = wait(slice(left));
            if (result != Wait::kTimedOut || left == 0) {
                return result;
            }
        }
    };
    auto flushDelayed = [&] {
        while (!delayed.empty()) {
            LONG due = static_cast<LONG>(delayed.front().due - GetTickCount());
            // A client that has gone or a stopped peer takes no more replies.
            if (due > 0 && await(static_cast<DWORD>(due), [&c](DWORD ms) { return c.Stall(ms); }) != Wait::kTimedOut) {
                return;
            }
            sendDue();
        }
    };

    bool earlyNext = false;  // bytes beyond those matched had arrived at the last reply
    bool open = true;
    for (std::size_t i = 0; i < script_.size() && open; ++i) {
        const Step& step = script_[i];
        switch (step.kind) {
        case Step::kExpect: {
            const std::size_t n = step.bytes.size();
            Wait wait = await(expectTimeoutMs_, [&c, n](DWORD ms) { return c.WaitForBytes(n, ms); });
            if (wait != Wait::kArrived) {
                std::string why = wait == Wait::kClosed    ? "connection closed while waiting for \""
                                  : wait == Wait::kStopped ? "stopped while waiting for \""
                                                           : "timed out after " + std::to_string(expectTimeoutMs_) +
                                                                 " ms waiting for \"";
                fail(why + Printable(step.bytes) + "\"; got \"" + unread() + "\"");
                open = false;
                break;
            }
            std::string next = c.Received().substr(c.Taken(), n);
            if (next != step.bytes) {
                fail("expected \"" + Printable(step.bytes) + "\", got \"" + Printable(next) + "\"");
                open = false;
                break;
            }
            if (earlyNext) {
                early_.push_back(step.bytes);
            }
            earlyNext = false;
            c.Take(n);
            if (inMs_ > 0) {
                // The command reaches the server inMs after its last byte left the client.
                DWORD due = c.ArrivalTick(c.Taken() - 1) + inMs_;
                LONG wait = static_cast<LONG>(due - GetTickCount());
                if (wait > 0) {
                    await(static_cast<DWORD>(wait), [&c](DWORD ms) { return c.Stall(ms); });
                }
            }
            break;
        }
        case Step::kSend:
            // What the client sent before this reply left is what it did not wait for.
            c.TakeArrived();
            earlyNext = c.Received().size() > c.Taken();
            if (outMs_ > 0) {
                delayed.push_back(Delayed{&step, GetTickCount() + outMs_});
            } else {
                open = sendStep(step);
            }
            break;
        case Step::kStall:
            await(step.pauseMs, [&c](DWORD ms) { return c.Stall(ms); });
            break;
        case Step::kClose:
            open = false;
            break;
        case Step::kAwaitClose:
            flushDelayed();
            if (await(expectTimeoutMs_, [&c](DWORD ms) { return c.WaitForClose(ms); }) != Wait::kClosed) {
                fail("the client did not close the connection within " + std::to_string(expectTimeoutMs_) + " ms");
            }
            open = false;
            break;
        }
    }
    flushDelayed();
    received_ = c.Received();
    clientClosed_ = c.ClientClosed();
}

u_short UnusedLoopbackPort() {
    sockaddr_in address;
    SOCKET s = LoopbackSocket(SOCK_STREAM, &address);
    if (s == INVALID_SOCKET) {
        return 0;
    }
    closesocket(s);
    return ntohs(address.sin_port);
}

// ---- the mailbox ---------------------------------------------------------------

namespace {

std::string DotStuffed(const std::string& content) {
    std::string out;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find("\r\n", start);
        std::string line = content.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line[0] == '.') {
            out += '.';
        }
        out += line + "\r\n";
        start = end == std::string::npos ? content.size() : end + 2;
    }
    return out + ".\r\n";
}

}  // namespace

bool Pop3Mailbox::Start() {
    return peer_.ServeMany([this](Pop3PeerConnection& c, int) { Session(c); }, LoopbackPop3Peer::kUntilStopped,
                           kUntilStoppedAcceptMs);
}

std::vector<std::string> Pop3Mailbox::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<Pop3MailboxMessage> Pop3Mailbox::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void Pop3Mailbox::Session(Pop3PeerConnection& c) {
    std::vector<Pop3MailboxMessage> messages = Messages();
    std::set<std::size_t> deleted;
    bool user = false, authorised = false;
    c.Send("+OK test server ready\r\n");
    std::string line;
    while (c.ReadLine(&line, kMailboxCommandMs)) {  // a drop without QUIT deletes nothing
        {
            std::lock_guard<std::mutex> lock(mutex_);
            commands_.push_back(line);
        }
        // Verbs are case-insensitive (the plug-in sends them in lower case).
        std::string verb = line.substr(0, line.find(' '));
        for (char& ch : verb) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        std::string arg = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
        std::size_t n = static_cast<std::size_t>(std::atoi(arg.c_str()));
        bool valid = n >= 1 && n <= messages.size() && !deleted.count(n);
        if (verb == "QUIT") {
            if (authorised) {
                std::lock_guard<std::mutex> lock(mutex_);
                std::vector<Pop3MailboxMessage> kept;
                for (std::size_t i = 0; i < messages.size(); ++i) {
                    if (!deleted.count(i + 1)) {
                        kept.push_back(messages[i]);
                    }
                }
                messages_ = kept;
            }
            c.Send("+OK bye\r\n");
            return;
        }
        if (verb == "CAPA") {
            c.Send(capabilities.empty() ? "-ERR\r\n" : "+OK\r\n" + capabilities + ".\r\n");
            continue;
        }
        if (!authorised) {
            if (verb == "USER") {
                user = arg == user_;
                c.Send("+OK\r\n");
            } else if (verb == "PASS" && user && arg == password_) {
                authorised = true;
                c.Send("+OK logged in\r\n");
            } else {
                c.Send("-ERR no\r\n");
            }
            continue;
        }
        if (verb == "STAT") {
            c.Send("+OK " + std::to_string(messages.size() - deleted.size()) + " 0\r\n");
        } else if ((verb == "LIST" || (verb == "UIDL" && !noUidl)) && !arg.empty()) {
            if (valid) {
                c.Send("+OK " + std::to_string(n) + " " +
                       (verb == "LIST" ? std::to_string(messages[n - 1].content.size()) : messages[n - 1].uidl) +
                       "\r\n");
            } else {
                c.Send("-ERR no such message\r\n");
            }
        } else if (verb == "TOP" && valid) {
            // The header block and as many body lines as asked for.
            std::size_t lines = static_cast<std::size_t>(std::atoi(arg.substr(arg.find(' ') + 1).c_str()));
            const std::string& content = messages[n - 1].content;
            std::size_t end = content.find("\r\n\r\n");
            end = end == std::string::npos ? content.size() : end + 4;
            for (std::size_t i = 0; i < lines && end < content.size(); ++i) {
                std::size_t next = content.find("\r\n", end);
                end = next == std::string::npos ? content.size() : next + 2;
            }
            c.Send("+OK\r\n" + DotStuffed(content.substr(0, end)));
        } else if (verb == "LIST" || (verb == "UIDL" && !noUidl)) {
            std::string answer = "+OK\r\n";
            for (std::size_t i = 0; i < messages.size(); ++i) {
                if (!deleted.count(i + 1)) {
                    answer += std::to_string(i + 1) + " " +
                              (verb == "LIST" ? std::to_string(messages[i].content.size()) : messages[i].uidl) +
                              "\r\n";
                }
            }
            c.Send(answer + ".\r\n");
        } else if (verb == "RETR" && valid) {
            c.Send("+OK\r\n" + DotStuffed(messages[n - 1].content));
        } else if (verb == "DELE" && valid) {
            deleted.insert(n);
            c.Send("+OK deleted\r\n");
        } else if (verb == "NOOP" || verb == "RSET") {
            if (verb == "RSET") {
                deleted.clear();
            }
            c.Send("+OK\r\n");
        } else {
            c.Send("-ERR\r\n");
        }
    }
}
