#pragma once
// A POP3 server thread on loopback for the host's tests: serves a list of messages
// to one client at a time (USER, PASS, STAT, LIST [n], UIDL [n], RETR, DELE, TOP,
// NOOP, RSET, QUIT), applies deletions at QUIT, and records every command it received.

#include <winsock2.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HostPop3Message {
    std::string uidl;
    std::string content;  // lines ending in CR LF; dot-stuffed on the wire
};

class HostPop3Server {
public:
    HostPop3Server(std::vector<HostPop3Message> messages, std::string user, std::string password)
        : messages_(std::move(messages)), user_(std::move(user)), password_(std::move(password)) {}
    ~HostPop3Server() { Stop(); }

    bool noUidl = false;  // answer UIDL with -ERR

    // Listens on 127.0.0.1 at a free port. The caller has started Winsock.
    bool Start();
    void Stop();
    int Port() const { return port_; }

    std::vector<std::string> Commands() const;
    // What is left on the server (deletions applied by a QUIT).
    std::vector<HostPop3Message> Messages() const;

private:
    void Serve();
    void Session(SOCKET client);

    std::vector<HostPop3Message> messages_;
    std::string user_;
    std::string password_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
};
