#pragma once
// A loopback TCP peer whose behaviour is a function: it accepts one connection
// and runs the handler on it, which reads lines and sends whatever it likes
// (cut replies, endless lines, junk, silence). Winsock must be started.

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

class FaultConnection {
public:
    explicit FaultConnection(SOCKET peer) : peer_(peer) {}
    // The next line the client sent, without CR LF; false when it closed (or
    // nothing came within the time-out).
    bool ReadLine(std::string* line, DWORD timeoutMs = 10000);
    // Sends all bytes; false when the client has gone.
    bool Send(const std::string& bytes);
    // Sends count copies of one byte in large pieces (a line of many megabytes).
    bool SendRepeated(char byte, std::size_t count);
    void Close();
    bool Closed() const { return peer_ == INVALID_SOCKET; }

private:
    SOCKET peer_;
    std::string pending_;
};

class FaultServer {
public:
    using Handler = std::function<void(FaultConnection&)>;
    FaultServer() = default;
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    // Listens on a free loopback port and serves one connection on a thread.
    bool Start(Handler handler);
    // Serves `count` connections one after the other; the handler gets the index.
    bool StartMany(std::function<void(FaultConnection&, int)> handler, int count);
    u_short Port() const { return port_; }
    // Waits for the handler to return.
    void Finish();

private:
    SOCKET listener_ = INVALID_SOCKET;
    u_short port_ = 0;
    std::thread thread_;
};
