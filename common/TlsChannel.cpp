#include "TlsChannel.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                            ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                            ISC_REQ_MANUAL_CRED_VALIDATION;

// Credentials flags: the caller checks the certificate itself (the system's own
// check would refuse before the user could decide), and no client certificate
// is ever picked on the user's behalf.
const DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;

// A server that asks for a client certificate is answered without one; a
// server that keeps asking is refused.
constexpr int kMaxCredentialRequests = 2;

// A TLS record starts with its content type: change_cipher_spec, alert,
// handshake or application_data. A POP3 server that speaks plain text starts
// with "+OK" or "-ERR".
bool IsTlsRecordType(unsigned char first) {
    return first >= 20 && first <= 23;
}

TlsFailure ClassifyStatus(SECURITY_STATUS status) {
    switch (status) {
    case SEC_E_ALGORITHM_MISMATCH:
    case SEC_E_UNSUPPORTED_FUNCTION:
    case SEC_E_NO_AUTHENTICATING_AUTHORITY:
        return TlsFailure::kNoCommonProtocol;
    default:
        return TlsFailure::kRefused;
    }
}

}  // namespace

struct TlsChannel::State {
    SystemTlsApi api;
    UniqueCredentials credentials;
    UniqueSecurityContext context;
    TlsTransport* transport = nullptr;
    std::string serverName;
    SecPkgContext_StreamSizes sizes = {};
    bool established = false;
    bool peerClosed = false;
    SECURITY_STATUS status = SEC_E_OK;
    int transportResult = 0;
    DWORD deadline = 0;
    bool bounded = false;

    // Encrypted bytes received, [0, inLength). After a decrypt, the plain text
    // of the record lies in place at [plainBegin, plainEnd) and the following
    // records' bytes begin at extraBegin.
    std::vector<char> in;
    std::size_t inLength = 0;
    std::size_t plainBegin = 0;
    std::size_t plainEnd = 0;
    std::size_t extraBegin = 0;
    std::vector<char> out;

    bool AcquireCredentials();
    TlsFailure HandshakeLoop(bool initial);
    TlsFailure ReceiveMore(bool firstOfHandshake);
    bool SendToken(const SecBuffer& token);
    void KeepExtra(const SecBuffer& extra);
};

bool TlsChannel::State::AcquireCredentials() {
    // TLS 1.3 where the system has it: only the newer credentials structure can
    // ask for it (Windows 11, Server 2022); elsewhere it is refused, and the
    // older structure asks for TLS 1.2 explicitly (Windows 7 has it but does not
    // enable it by default) and the older versions, never SSL.
    TimeStamp expiry;
    SCH_CREDENTIALS modern = {};
    TLS_PARAMETERS parameters = {};
    parameters.grbitDisabledProtocols = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_PCT1_CLIENT;
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kCredentialFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    SspiHandle made = {{0, 0}, api.sspi};
    char package[] = UNISP_NAME_A;
    status = api.sspi->AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &modern,
                                                 nullptr, nullptr, &made.handle, &expiry);
    if (status == SEC_E_OK) {
        credentials.Reset(made);
        return true;
    }
    const DWORD protocolSets[] = {
        SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT | SP_PROT_TLS1_2_CLIENT,
        SP_PROT_TLS1_0_CLIENT,  // Windows XP, which knows no newer bits
    };
    for (DWORD protocols : protocolSets) {
        SCHANNEL_CRED older = {};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.grbitEnabledProtocols = protocols;
        older.dwFlags = kCredentialFlags;
        status = api.sspi->AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older,
                                                     nullptr, nullptr, &made.handle, &expiry);
        if (status == SEC_E_OK) {
            credentials.Reset(made);
            return true;
        }
    }
    return false;
}

bool TlsChannel::State::SendToken(const SecBuffer& token) {
    if (token.cbBuffer == 0 || !token.pvBuffer) {
        return true;
    }
    return transport->SendAll(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
}

// Keeps the bytes SSPI did not use (the start of the next message) at the front.
void TlsChannel::State::KeepExtra(const SecBuffer& extra) {
    if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= inLength) {
        std::memmove(in.data(), in.data() + (inLength - extra.cbBuffer), extra.cbBuffer);
        inLength = extra.cbBuffer;
    } else {
        inLength = 0;
    }
}

TlsFailure TlsChannel::State::ReceiveMore(bool firstOfHandshake) {
    if (bounded && static_cast<LONG>(deadline - GetTickCount()) <= 0) {
        transportResult = -1;
        return TlsFailure::kTransport;
    }
    // Room for a whole record of the largest size (16 KB of data and its overhead).
    const std::size_t kRecordRoom = 16384 + 2048;
    if (in.size() - inLength < kRecordRoom / 4) {
        in.resize(in.size() + kRecordRoom);
    }
    int got = transport->ReceiveSome(in.data() + inLength, in.size() - inLength);
    if (got == 0) {
        return TlsFailure::kClosed;
    }
    if (got < 0) {
        transportResult = got;
        return TlsFailure::kTransport;
    }
    // A server that greets in plain text is known by its first byte: waiting for
    // the rest of a record that never comes would cost the whole time-out.
    if (firstOfHandshake && inLength == 0 && !IsTlsRecordType(static_cast<unsigned char>(in[0]))) {
        inLength = static_cast<std::size_t>(got);
        return TlsFailure::kPlainTextPeer;
    }
    inLength += static_cast<std::size_t>(got);
    return TlsFailure::kNone;
}

TlsFailure TlsChannel::State::HandshakeLoop(bool initial) {
    std::vector<char> name(serverName.begin(), serverName.end());
    name.push_back('\0');
    ULONG attributes = 0;
    TimeStamp expiry;
    bool needMore = initial;
    bool firstRead = initial;
    if (initial) {
        SecBuffer outBuffers[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, outBuffers};
        SspiHandle made = {{0, 0}, api.sspi};
        SspiHandle credential = credentials.Get();
        status = api.sspi->InitializeSecurityContextA(&credential.handle, nullptr, name.data(),
                                                      kContextFlags, 0, 0, nullptr, 0, &made.handle, &outDesc,
                                                      &attributes, &expiry);
        UniqueSspiBuffer token({outBuffers[0].pvBuffer, api.sspi});
        if (status != SEC_I_CONTINUE_NEEDED) {
            return ClassifyStatus(status);
        }
        context.Reset(made);
        if (!SendToken(outBuffers[0])) {
            return TlsFailure::kClosed;
        }
    }
    int credentialRequests = 0;
    for (;;) {
        if (needMore) {
            TlsFailure received = ReceiveMore(firstRead);
            if (received != TlsFailure::kNone) {
                return received;
            }
            firstRead = false;
        }
        // Wine rewrites the types of the buffers it is given: every call gets
        // its buffers anew.
        SecBuffer inBuffers[2] = {{static_cast<ULONG>(inLength), SECBUFFER_TOKEN, in.data()},
                                  {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, inBuffers};
        SecBuffer outBuffers[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, outBuffers};
        SspiHandle current = context.Get();
        SspiHandle credential = credentials.Get();
        SspiHandle next = current;
        status = api.sspi->InitializeSecurityContextA(&credential.handle, &current.handle, name.data(),
                                                      kContextFlags, 0, 0, &inDesc, 0, &next.handle, &outDesc,
                                                      &attributes, &expiry);
        UniqueSspiBuffer token({outBuffers[0].pvBuffer, api.sspi});
        if (next.handle.dwLower != current.handle.dwLower || next.handle.dwUpper != current.handle.dwUpper) {
            context.Release();  // the same context under a new handle: not closed
            context.Reset(next);
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needMore = true;
            continue;
        }
        // The token goes out also with a failure: it is then the alert that
        // tells the server why.
        bool sent = SendToken(outBuffers[0]);
        if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
            if (!sent) {
                return TlsFailure::kClosed;
            }
            KeepExtra(inBuffers[1]);
            if (status == SEC_E_OK) {
                return TlsFailure::kNone;
            }
            needMore = inLength == 0;
            continue;
        }
        if (status == SEC_I_INCOMPLETE_CREDENTIALS && ++credentialRequests <= kMaxCredentialRequests) {
            needMore = false;
            continue;
        }
        return ClassifyStatus(status);
    }
}

TlsChannel::TlsChannel() : state_(new State) {}

TlsChannel::~TlsChannel() = default;

TlsFailure TlsChannel::Handshake(TlsTransport* transport, const char* serverName, DWORD timeoutMs) {
    State& s = *state_;
    s.context.Reset();
    s.established = false;
    s.peerClosed = false;
    s.inLength = s.plainBegin = s.plainEnd = s.extraBegin = 0;
    s.transport = transport;
    s.serverName = serverName ? serverName : "";
    s.bounded = timeoutMs != 0;
    s.deadline = GetTickCount() + timeoutMs;
    if (!transport || !s.api.Load()) {
        return TlsFailure::kNoSystemTls;
    }
    if (!s.credentials && !s.AcquireCredentials()) {
        return TlsFailure::kNoCredentials;
    }
    TlsFailure failure = s.HandshakeLoop(true);
    if (failure != TlsFailure::kNone) {
        return failure;
    }
    SspiHandle current = s.context.Get();
    s.status = s.api.sspi->QueryContextAttributesA(&current.handle, SECPKG_ATTR_STREAM_SIZES, &s.sizes);
    if (s.status != SEC_E_OK || s.sizes.cbMaximumMessage == 0) {
        return TlsFailure::kRefused;
    }
    s.established = true;
    s.bounded = false;  // from here on the transport's time-out alone applies
    return TlsFailure::kNone;
}

bool TlsChannel::Established() const {
    return state_->established;
}

bool TlsChannel::Send(const char* bytes, std::size_t length) {
    State& s = *state_;
    if (!s.established) {
        return false;
    }
    while (length > 0) {
        std::size_t piece = length < s.sizes.cbMaximumMessage ? length : s.sizes.cbMaximumMessage;
        s.out.resize(s.sizes.cbHeader + piece + s.sizes.cbTrailer);
        std::memcpy(s.out.data() + s.sizes.cbHeader, bytes, piece);
        SecBuffer buffers[4] = {
            {s.sizes.cbHeader, SECBUFFER_STREAM_HEADER, s.out.data()},
            {static_cast<ULONG>(piece), SECBUFFER_DATA, s.out.data() + s.sizes.cbHeader},
            {s.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, s.out.data() + s.sizes.cbHeader + piece},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
        SspiHandle current = s.context.Get();
        s.status = s.api.sspi->EncryptMessage(&current.handle, 0, &desc, 0);
        if (s.status != SEC_E_OK) {
            return false;
        }
        std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        if (!s.transport->SendAll(s.out.data(), total)) {
            return false;
        }
        bytes += piece;
        length -= piece;
    }
    return true;
}

int TlsChannel::Receive(char* data, std::size_t room) {
    State& s = *state_;
    if (!s.established) {
        return s.peerClosed ? 0 : kTlsBroken;
    }
    for (;;) {
        if (s.plainBegin < s.plainEnd) {
            std::size_t n = s.plainEnd - s.plainBegin;
            if (n > room) {
                n = room;
            }
            std::memcpy(data, s.in.data() + s.plainBegin, n);
            s.plainBegin += n;
            return static_cast<int>(n);
        }
        // The record handed out whole: the next records' bytes move to the front.
        if (s.extraBegin > 0) {
            std::memmove(s.in.data(), s.in.data() + s.extraBegin, s.inLength - s.extraBegin);
            s.inLength -= s.extraBegin;
            s.extraBegin = 0;
        }
        s.plainBegin = s.plainEnd = 0;
        if (s.peerClosed) {
            return 0;
        }
        if (s.inLength > 0) {
            SecBuffer buffers[4] = {{static_cast<ULONG>(s.inLength), SECBUFFER_DATA, s.in.data()},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
            SspiHandle current = s.context.Get();
            s.status = s.api.sspi->DecryptMessage(&current.handle, &desc, 0, nullptr);
            if (s.status == SEC_E_OK || s.status == SEC_I_RENEGOTIATE || s.status == SEC_I_CONTEXT_EXPIRED) {
                const SecBuffer* plain = nullptr;
                const SecBuffer* extra = nullptr;
                for (const SecBuffer& b : buffers) {
                    if (b.BufferType == SECBUFFER_DATA && !plain) {
                        plain = &b;
                    } else if (b.BufferType == SECBUFFER_EXTRA && !extra) {
                        extra = &b;
                    }
                }
                std::size_t extraCount = extra && extra->cbBuffer <= s.inLength ? extra->cbBuffer : 0;
                s.extraBegin = s.inLength - extraCount;
                if (plain && plain->cbBuffer > 0 && plain->pvBuffer) {
                    s.plainBegin = static_cast<std::size_t>(static_cast<char*>(plain->pvBuffer) - s.in.data());
                    s.plainEnd = s.plainBegin + plain->cbBuffer;
                }
                if (s.status == SEC_I_CONTEXT_EXPIRED) {
                    s.peerClosed = true;  // close_notify: what came before it is still handed out
                    continue;
                }
                if (s.status == SEC_I_RENEGOTIATE) {
                    // Messages after the handshake (TLS 1.3 session tickets, a key
                    // update) go back to the handshake with the bytes after them.
                    std::memmove(s.in.data(), s.in.data() + s.extraBegin, extraCount);
                    s.inLength = extraCount;
                    s.extraBegin = 0;
                    s.plainBegin = s.plainEnd = 0;
                    TlsFailure again = s.HandshakeLoop(false);
                    if (again != TlsFailure::kNone) {
                        s.established = false;
                        return again == TlsFailure::kTransport ? s.transportResult
                               : again == TlsFailure::kClosed  ? 0
                                                               : kTlsBroken;
                    }
                }
                continue;
            }
            if (s.status != SEC_E_INCOMPLETE_MESSAGE) {
                s.established = false;
                return kTlsBroken;
            }
        }
        TlsFailure received = s.ReceiveMore(false);
        if (received == TlsFailure::kClosed) {
            s.peerClosed = true;
            return 0;
        }
        if (received != TlsFailure::kNone) {
            return s.transportResult;
        }
    }
}

void TlsChannel::Shutdown() {
    State& s = *state_;
    if (s.established && s.context) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc controlDesc = {SECBUFFER_VERSION, 1, &control};
        SspiHandle current = s.context.Get();
        if (s.api.sspi->ApplyControlToken(&current.handle, &controlDesc) == SEC_E_OK) {
            SecBuffer outBuffers[1] = {{0, SECBUFFER_TOKEN, nullptr}};
            SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, outBuffers};
            ULONG attributes = 0;
            TimeStamp expiry;
            std::vector<char> name(s.serverName.begin(), s.serverName.end());
            name.push_back('\0');
            SspiHandle credential = s.credentials.Get();
            SECURITY_STATUS status = s.api.sspi->InitializeSecurityContextA(
                &credential.handle, &current.handle, name.data(), kContextFlags, 0, 0, nullptr, 0,
                nullptr, &outDesc, &attributes, &expiry);
            UniqueSspiBuffer token({outBuffers[0].pvBuffer, s.api.sspi});
            if (status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) {
                s.SendToken(outBuffers[0]);
            }
        }
    }
    s.established = false;
    s.context.Reset();
    s.inLength = s.plainBegin = s.plainEnd = s.extraBegin = 0;
}

UniqueCertificate TlsChannel::ServerCertificate() const {
    const State& s = *state_;
    if (!s.context || !s.api.Loaded()) {
        return UniqueCertificate();
    }
    PCCERT_CONTEXT certificate = nullptr;
    SspiHandle current = s.context.Get();
    if (s.api.sspi->QueryContextAttributesA(&current.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
            SEC_E_OK ||
        !certificate) {
        return UniqueCertificate();
    }
    return UniqueCertificate({certificate, s.api.freeCertificateContext});
}

const SystemTlsApi* TlsChannel::Api() const {
    return state_->api.Loaded() ? &state_->api : nullptr;
}

SECURITY_STATUS TlsChannel::Status() const {
    return state_->status;
}

int TlsChannel::TransportResult() const {
    return state_->transportResult;
}

DWORD TlsChannel::Protocol() const {
    const State& s = *state_;
    if (!s.context) {
        return 0;
    }
    SecPkgContext_ConnectionInfo info = {};
    SspiHandle current = s.context.Get();
    if (s.api.sspi->QueryContextAttributesA(&current.handle, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK) {
        return 0;
    }
    return info.dwProtocol;
}

const char* TlsFailureName(TlsFailure failure) {
    switch (failure) {
    case TlsFailure::kNone:
        return "none";
    case TlsFailure::kNoSystemTls:
        return "no system TLS";
    case TlsFailure::kNoCredentials:
        return "no credentials";
    case TlsFailure::kNoCommonProtocol:
        return "no common protocol";
    case TlsFailure::kPlainTextPeer:
        return "plain-text peer";
    case TlsFailure::kClosed:
        return "closed";
    case TlsFailure::kTransport:
        return "transport";
    case TlsFailure::kRefused:
        return "refused";
    }
    return "unknown";
}
