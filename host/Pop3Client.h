#pragma once
// The host's POP3 client: a blocking Winsock connection with line and multi-line
// reading, in plain text or over TLS (the system's SChannel, shared with the
// plug-in). The socket library must already be started (the host does it at start).

#include <winsock2.h>

#include <string>

#include "CertificateCheck.h"
#include "TlsChannel.h"
#include "WinHandles.h"

class Pop3Client : private TlsTransport {
public:
    Pop3Client() = default;
    ~Pop3Client() { Close(); }
    Pop3Client(const Pop3Client&) = delete;
    Pop3Client& operator=(const Pop3Client&) = delete;

    // Resolves the host (name or dotted address) and connects; every later read
    // gives up after timeoutMs without data.
    bool Connect(const std::string& host, int port, int timeoutMs);
    void Close();

    // The TLS handshake on the connection (at once for implicit TLS, after the
    // +OK to STLS otherwise). Plain text already received beyond the last reply
    // fails it: after STLS, such bytes were never protected.
    TlsFailure StartTls(const std::string& serverName);
    bool Secured() const { return tls_.Established(); }
    const TlsChannel& Tls() const { return tls_; }
    // The check of the server's certificate; false when it could not run.
    bool CheckCertificate(const std::string& serverName, CertificateReport* report) const;

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
    bool SendAll(const char* bytes, std::size_t length) override;
    int ReceiveSome(char* data, std::size_t room) override;

    UniqueSocket socket_;
    int timeoutMs_ = 30000;
    std::string pending_;
    TlsChannel tls_;
};
