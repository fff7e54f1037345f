#pragma once
// The host's POP3 client: a blocking Winsock connection with line and multi-line
// reading. The socket library must already be started (the host does it at start).

#include <winsock2.h>

#include <string>

#include "WinHandles.h"

class Pop3Client {
public:
    Pop3Client() = default;
    ~Pop3Client() { Close(); }
    Pop3Client(const Pop3Client&) = delete;
    Pop3Client& operator=(const Pop3Client&) = delete;

    // Resolves the host (name or dotted address) and connects; every later read
    // gives up after timeoutMs without data.
    bool Connect(const std::string& host, int port, int timeoutMs);
    void Close();

    // Reads one line without its CR LF. False on a closed or silent connection.
    bool ReadLine(std::string* line);
    // Sends the command (CR LF added) and reads the status line; true for "+OK".
    bool Command(const std::string& command, std::string* status);
    // Reads a multi-line answer up to the "." line, undoing the dot-stuffing;
    // each line ends in CR LF in *data.
    bool ReadMultiLine(std::string* data);
    // Reads the greeting; true for "+OK".
    bool ReadGreeting(std::string* status);

private:
    bool Fill();

    UniqueSocket socket_;
    std::string pending_;
};
