#pragma once
// A TLS client channel over SChannel, the system's own TLS (updated with
// Windows, using its certificate store). It runs over any transport that sends
// and receives bytes, so that the plug-in's session (non-blocking, with its
// waits and message pump) and the stand-in host's blocking client share it.
// The channel verifies nothing about the server's certificate by itself: the
// caller asks for it after the handshake (CertificateCheck.h).

#include <cstddef>
#include <memory>

#include "SystemTlsApi.h"

class TlsTransport {
public:
    virtual ~TlsTransport() = default;
    // Sends every byte; false when the connection is gone.
    virtual bool SendAll(const char* bytes, std::size_t length) = 0;
    // Receives at most room bytes: the count, 0 when the peer closed, or a
    // negative value of the transport's own (time-out, reset, cancel), which the
    // channel hands back unchanged.
    virtual int ReceiveSome(char* data, std::size_t room) = 0;
};

enum class TlsFailure {
    kNone,
    kNoSystemTls,       // secur32, crypt32 or the SChannel package are missing
    kNoCredentials,     // no protocol this system offers could be set up
    kNoCommonProtocol,  // the server and this system share no protocol or cipher
    kPlainTextPeer,     // the server answered in plain text (a POP3 line, not a TLS record)
    kClosed,            // the server closed the connection during the handshake
    kTransport,         // the transport failed (its own result in TransportResult())
    kRefused,           // any other handshake failure (the status in Status())
};

class TlsChannel {
public:
    TlsChannel();
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // The client handshake with SNI and the certificate name set to serverName.
    // timeoutMs bounds the whole handshake, in addition to the transport's own
    // time-out for each receive. The transport must outlive the channel.
    TlsFailure Handshake(TlsTransport* transport, const char* serverName, DWORD timeoutMs);
    bool Established() const;

    // Encrypts and sends; false when the connection is gone or encryption failed.
    bool Send(const char* bytes, std::size_t length);
    // Decrypts at most room bytes of plain text into data: the count; 0 when the
    // server closed (close_notify or the connection's end); a negative value of
    // the transport's, or kTlsBroken for a record that cannot be decrypted.
    int Receive(char* data, std::size_t room);
    static constexpr int kTlsBroken = -100;

    // Sends close_notify (best effort) and forgets the session.
    void Shutdown();

    // The server's certificate, for the check; an empty owner when none.
    UniqueCertificate ServerCertificate() const;
    // The system's TLS functions the channel loaded (null before Handshake).
    const SystemTlsApi* Api() const;

    // The last SSPI status and the last transport result, for the failure's text.
    SECURITY_STATUS Status() const;
    int TransportResult() const;
    // The negotiated protocol (SP_PROT_* bits), 0 when unknown.
    DWORD Protocol() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A short English name for a failure, for logs and reports ("plain-text peer").
const char* TlsFailureName(TlsFailure failure);
