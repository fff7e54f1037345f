// inet_addr and WSAAsyncGetHostByName are the Winsock 1.1 calls the host's
// Winsock offers on every Windows version; newer SDKs only warn about them.
#ifndef _WINSOCK_DEPRECATED_NO_WARNINGS
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#endif
#include "Pop3Session.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "BoundedText.h"
#include "Pop3Reply.h"
#include "WinHandles.h"

SOCKET gSessionSocket = INVALID_SOCKET;
char* gResponseBuffer = nullptr;
int32_t gMessageCount = 0;
int32_t* gSizeTable = nullptr;

namespace {

DWORD gReceiveTimeoutMs = kPopReceiveTimeoutMs;
PopLookupStart gLookupStart = nullptr;
PopLookupCancel gLookupCancel = nullptr;
PopMessagePump gPump = nullptr;
void* gPumpContext = nullptr;

// Signalled by Winsock for the session socket (read, write, close), so that a
// wait can watch the socket and the thread's message queue at once.
UniqueWsaEvent gSocketEvent;
bool gReplyCut = false;
bool gCancelled = false;
SECURITY_STATUS gLastTlsStatus = SEC_E_OK;

// TLS on the session's socket once PopStartTls succeeded: receives then give
// decrypted bytes into the same receive buffer, sends are encrypted.
std::unique_ptr<TlsChannel> gTls;

// Bytes received and not yet handed out as a reply: [head, tail) of data.
struct ReceiveBuffer {
    char* data = nullptr;
    std::size_t capacity = 0;
    std::size_t head = 0;
    std::size_t tail = 0;
};
ReceiveBuffer gIn;
constexpr std::size_t kReceiveChunk = 16384;

void ReleaseReceiveBuffer() {
    std::free(gIn.data);
    gIn = ReceiveBuffer();
}

// gSessionSocket stays a plain socket that anyone may look at; closing it goes
// through the socket owner like every other handle. The socket first, so that
// its event selection ends before the event does.
void CloseSessionSocket() {
    gTls.reset();
    UniqueSocket(std::exchange(gSessionSocket, INVALID_SOCKET)).Reset();
    gSocketEvent.Reset();
}

enum class Wait { kReady, kTimedOut, kCancelled };  // kReady: the socket or the lookup has news

// Milliseconds until deadline (a GetTickCount value); 0 once it has passed.
DWORD TimeLeft(DWORD deadline) {
    DWORD now = GetTickCount();
    return static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0;
}

// Runs the message pump; false (and the session cancelled) when it says so.
bool PumpGoesOn() {
    if (gPump && !gPump(gPumpContext)) {
        gCancelled = true;
        return false;
    }
    return true;
}

// Waits until the socket has news or the deadline passes, running the message
// pump meanwhile; the news is stored in *seen when asked for. The deadline is
// checked against the socket, never alone: a pump that ran past it (a modal
// loop nested in it) may have kept an answer that came meanwhile waiting.
Wait WaitForSocket(DWORD deadline, WSANETWORKEVENTS* seen = nullptr) {
    HANDLE socketEvent = gSocketEvent.Get();
    for (;;) {
        DWORD left = TimeLeft(deadline);
        DWORD result;
        if (left == 0) {
            result = WaitForSingleObject(socketEvent, 0);
            if (result != WAIT_OBJECT_0) {
                return Wait::kTimedOut;
            }
        } else if (gPump) {
            DWORD slice = left < kPopPumpIntervalMs ? left : kPopPumpIntervalMs;
            result = MsgWaitForMultipleObjectsEx(1, &socketEvent, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (result != WAIT_OBJECT_0) {
                if (!PumpGoesOn()) {
                    return Wait::kCancelled;
                }
                if (result == WAIT_FAILED) {
                    return Wait::kTimedOut;
                }
                continue;
            }
        } else {
            result = WaitForSingleObject(socketEvent, left);
            if (result != WAIT_OBJECT_0) {
                return Wait::kTimedOut;
            }
        }
        WSANETWORKEVENTS events;
        std::memset(&events, 0, sizeof events);
        WSAEnumNetworkEvents(gSessionSocket, socketEvent, &events);  // resets the event
        if (seen) {
            *seen = events;
        }
        return Wait::kReady;
    }
}

// Waits until the lookup is answered or the deadline passes, running the
// message pump meanwhile (whose dispatching delivers the answer). As for the
// socket, the answer is looked for before the deadline is declared passed.
Wait WaitForLookup(HostLookup& lookup, DWORD deadline) {
    for (;;) {
        if (!lookup.DeliverAnswers()) {
            gCancelled = true;  // WM_QUIT: the host is closing
            return Wait::kCancelled;
        }
        if (lookup.Answered()) {
            return Wait::kReady;
        }
        DWORD left = TimeLeft(deadline);
        if (left == 0) {
            return Wait::kTimedOut;
        }
        DWORD slice = left < kPopPumpIntervalMs ? left : kPopPumpIntervalMs;
        // Without a pump only the answer is taken from the queue: wake for posted
        // messages that are new, not for those the caller's loop left there.
        MsgWaitForMultipleObjectsEx(0, nullptr, slice, gPump ? QS_ALLINPUT : QS_POSTMESSAGE,
                                    gPump ? MWMO_INPUTAVAILABLE : 0);
        if (!PumpGoesOn()) {
            return Wait::kCancelled;
        }
    }
}

// Receives from the socket into data; > 0 bytes, 0 closed, -1 broken or timed
// out, -2 cancelled.
int ReceiveRaw(char* data, std::size_t room) {
    if (gSessionSocket == INVALID_SOCKET) {
        return -1;
    }
    const DWORD deadline = GetTickCount() + gReceiveTimeoutMs;
    for (;;) {
        int got = recv(gSessionSocket, data, static_cast<int>(room > INT_MAX ? INT_MAX : room), 0);
        if (got >= 0) {
            return got;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            return -1;
        }
        Wait wait = WaitForSocket(deadline);
        if (wait == Wait::kCancelled) {
            return -2;
        }
        if (wait == Wait::kTimedOut) {
            return -1;
        }
    }
}

bool SendRaw(const char* bytes, std::size_t length) {
    if (gSessionSocket == INVALID_SOCKET) {
        return false;
    }
    const DWORD deadline = GetTickCount() + gReceiveTimeoutMs;
    while (length > 0) {
        int sent = send(gSessionSocket, bytes, static_cast<int>(length > INT_MAX ? INT_MAX : length), 0);
        if (sent > 0) {
            bytes += sent;
            length -= static_cast<std::size_t>(sent);
            continue;
        }
        // The server's buffers are full: wait until it has read some.
        if (sent == 0 || WSAGetLastError() != WSAEWOULDBLOCK || WaitForSocket(deadline) != Wait::kReady) {
            return false;
        }
    }
    return true;
}

// The socket as the TLS channel's transport: its waits are the session's own
// (message pump, cancel, time-out).
class SessionTransport : public TlsTransport {
public:
    bool SendAll(const char* bytes, std::size_t length) override { return SendRaw(bytes, length); }
    int ReceiveSome(char* data, std::size_t room) override { return ReceiveRaw(data, room); }
};
SessionTransport gTransport;

// Receives the session's bytes, decrypted when the session is secured; the same
// results as ReceiveRaw (a record that cannot be decrypted counts as broken).
int ReceiveSome(char* data, std::size_t room) {
    if (!gTls) {
        return ReceiveRaw(data, room);
    }
    int got = gTls->Receive(data, room);
    return got == TlsChannel::kTlsBroken ? -1 : got;
}

// Hands out the first length bytes of the receive buffer as the reply.
int TakeReply(std::size_t length) {
    char* reply = static_cast<char*>(std::malloc(length + 1));
    if (!reply) {
        CloseSessionSocket();  // the unread reply would be taken for the next one
        gReplyCut = true;
        gIn.head = gIn.tail = 0;
        return 0;
    }
    if (length > 0) {
        std::memcpy(reply, gIn.data + gIn.head, length);
    }
    reply[length] = '\0';
    gIn.head += length;
    if (gIn.head == gIn.tail) {
        gIn.head = gIn.tail = 0;
    }
    gResponseBuffer = reply;
    return static_cast<int>(length > INT_MAX ? INT_MAX : length);
}

// Room for at least one more receive behind tail; false when memory is short.
bool MakeRoom() {
    if (gIn.head > 0) {
        std::memmove(gIn.data, gIn.data + gIn.head, gIn.tail - gIn.head);
        gIn.tail -= gIn.head;
        gIn.head = 0;
    }
    if (gIn.capacity - gIn.tail >= kReceiveChunk / 4 && gIn.data) {
        return true;
    }
    // Receives never take the text held past kPopReplyLimit, so this much room
    // always leaves a whole chunk free behind it.
    const std::size_t most = kPopReplyLimit + kReceiveChunk;
    std::size_t grown = gIn.capacity == 0 ? kReceiveChunk : pop3::GrowReplyCapacity(gIn.capacity);
    if (grown == 0 || grown > most) {
        grown = most;
    }
    if (grown <= gIn.capacity) {
        return gIn.capacity > gIn.tail;
    }
    char* bigger = static_cast<char*>(std::realloc(gIn.data, grown));
    if (!bigger) {
        return false;
    }
    gIn.data = bigger;
    gIn.capacity = grown;
    return true;
}

void SendPiece(const char* piece) {
    PopSendBytes(piece ? piece : "", text::Length(piece));
}

void SendNumber(int32_t n) {
    char number[16];
    text::Format(number, sizeof number, "%d", static_cast<int>(n));
    SendPiece(number);
}

// A dotted address as it stands; a name through the lookup, within the time-out.
bool ResolveServer(const char* server, in_addr* address) {
    address->s_addr = inet_addr(server);
    if (address->s_addr != INADDR_NONE) {
        return true;
    }
    HostLookup lookup(gLookupStart, gLookupCancel);
    if (!lookup.Start(server)) {
        return false;
    }
    // A lookup not answered in time is cancelled when it goes out of scope.
    return WaitForLookup(lookup, GetTickCount() + gReceiveTimeoutMs) == Wait::kReady && lookup.Address(address);
}

// Connects the socket, which does not block: the handshake is waited for like
// an answer, so that a server whose packets are dropped keeps the window alive
// and can be cancelled.
bool ConnectSocket(const sockaddr_in& peer) {
    if (connect(gSessionSocket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
        return true;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return false;
    }
    const DWORD deadline = GetTickCount() + gReceiveTimeoutMs;
    for (;;) {
        WSANETWORKEVENTS events;
        if (WaitForSocket(deadline, &events) != Wait::kReady) {
            return false;
        }
        if (events.lNetworkEvents & FD_CONNECT) {
            return events.iErrorCode[FD_CONNECT_BIT] == 0;
        }
        if (events.lNetworkEvents & FD_CLOSE) {
            return false;
        }
    }
}

}  // namespace

void PopSetReceiveTimeout(DWORD milliseconds) {
    gReceiveTimeoutMs = milliseconds ? milliseconds : kPopReceiveTimeoutMs;
}

void PopSetHostLookup(PopLookupStart start, PopLookupCancel cancel) {
    gLookupStart = start;
    gLookupCancel = cancel;
}

void PopSetMessagePump(PopMessagePump pump, void* context) {
    gPump = pump;
    gPumpContext = context;
}

bool PopReplyCut() {
    return gReplyCut;
}

bool PopCancelled() {
    return gCancelled;
}

bool PopSendBytes(const char* bytes, std::size_t length) {
    if (gSessionSocket == INVALID_SOCKET) {
        return false;
    }
    return gTls ? gTls->Send(bytes, length) : SendRaw(bytes, length);
}

TlsFailure PopStartTls(const char* serverName) {
    gTls.reset();
    if (gSessionSocket == INVALID_SOCKET) {
        return TlsFailure::kClosed;
    }
    std::unique_ptr<TlsChannel> channel(new TlsChannel);
    TlsFailure failure = channel->Handshake(&gTransport, serverName, gReceiveTimeoutMs);
    gLastTlsStatus = channel->Status();
    if (failure != TlsFailure::kNone) {
        // Whatever the handshake left on the line is no POP3 any more.
        CloseSessionSocket();
        return failure;
    }
    gTls = std::move(channel);
    return TlsFailure::kNone;
}

bool PopSecured() {
    return gTls && gTls->Established();
}

long PopTlsStatus() {
    return static_cast<long>(gLastTlsStatus);
}

bool PopHasUnreadBytes() {
    return gIn.tail > gIn.head;
}

bool PopCheckCertificate(const char* serverName, CertificateReport* report) {
    *report = CertificateReport();
    UniqueCertificate certificate = gTls ? gTls->ServerCertificate() : UniqueCertificate();
    if (!certificate || !gTls->Api()) {
        report->problems = kCertOtherFault;
        return false;
    }
    return CheckServerCertificate(*gTls->Api(), certificate.Get().context, serverName, report);
}

void PopClose() {
    CloseSessionSocket();
    ReleaseReceiveBuffer();
}

bool PopConnect(const char* server, int port) {
    CloseSessionSocket();  // one session at a time: never leak an earlier socket
    ReleaseReceiveBuffer();
    gReplyCut = false;
    gCancelled = false;
    if (!server || port < 1 || port > 65535) {
        return false;
    }
    in_addr address;
    if (!ResolveServer(server, &address)) {
        return false;
    }
    gSessionSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (gSessionSocket == INVALID_SOCKET) {
        MessageBoxA(nullptr, "Socket Create Error", "Kirvan", MB_OK);
        return false;
    }
    // The waits of every read apply the time-out themselves (the socket does not
    // block once connected); the socket carries it too, for any blocking use.
    DWORD timeout = gReceiveTimeoutMs;
    setsockopt(gSessionSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    // Commands go out in several small sends; with Nagle's algorithm each later
    // piece waits for the server's delayed acknowledgement of the first (tens of
    // milliseconds per command, minutes for a long list of TOP exchanges).
    BOOL noDelay = TRUE;
    setsockopt(gSessionSocket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);

    // From here on the socket does not block: every wait, the connect's first,
    // goes through WaitForSocket, which also keeps the thread's messages flowing.
    gSocketEvent.Reset(WSACreateEvent());
    if (!gSocketEvent || WSAEventSelect(gSessionSocket, gSocketEvent.Get(),
                                        FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) == SOCKET_ERROR) {
        CloseSessionSocket();
        return false;
    }
    sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(port));
    peer.sin_addr = address;
    if (!ConnectSocket(peer)) {
        CloseSessionSocket();
        return false;
    }
    return true;
}

int PopReadResponse(bool multiLine) {
    std::free(gResponseBuffer);
    gResponseBuffer = nullptr;
    gReplyCut = false;

    std::size_t scan = 0;
    for (;;) {
        std::size_t held = gIn.tail - gIn.head;
        std::size_t end = held ? pop3::FindReplyEnd(gIn.data + gIn.head, held, multiLine, &scan) : 0;
        if (end > 0) {
            return TakeReply(end);
        }
        // A reply without end within the bound: the rest is not waited for.
        if (gSessionSocket == INVALID_SOCKET || held >= kPopReplyLimit || !MakeRoom()) {
            CloseSessionSocket();
            gReplyCut = true;
            return TakeReply(held);
        }
        // Never more than the bound allows, so that a reply of exactly
        // kPopReplyLimit bytes is seen whole and one byte more is cut.
        std::size_t room = gIn.capacity - gIn.tail;
        if (room > kPopReplyLimit - held) {
            room = kPopReplyLimit - held;
        }
        int got = ReceiveSome(gIn.data + gIn.tail, room);
        if (got <= 0) {
            // Closed, broken or timed out: after a time-out the connection is in an
            // undefined state, and a silent server would cost every later read the
            // whole time-out again. A cancel keeps the socket for the quit.
            if (got != -2) {
                CloseSessionSocket();
            }
            gReplyCut = true;
            return TakeReply(held);
        }
        gIn.tail += static_cast<std::size_t>(got);
    }
}

bool PopBytesBeyondReply() {
    if (gIn.tail > gIn.head) {
        return true;
    }
    // What has reached the socket and was not read yet counts too; a peek does
    // not wait (the socket does not block) and takes nothing out.
    char byte;
    return gSessionSocket != INVALID_SOCKET && recv(gSessionSocket, &byte, 1, MSG_PEEK) > 0;
}

bool PopIsOk() {
    return gResponseBuffer && gResponseBuffer[0] == '+';
}

bool PopLogin(const char* user, const char* password) {
    SendPiece("user ");
    SendPiece(user);
    SendPiece("\r\n");
    PopReadResponse(false);
    if (!PopIsOk()) {
        return false;
    }
    SendPiece("pass ");
    SendPiece(password);
    SendPiece("\r\n");
    PopReadResponse(false);
    return PopIsOk();
}

int32_t PopList() {
    gMessageCount = 0;
    std::free(gSizeTable);
    gSizeTable = nullptr;
    SendPiece("list\r\n");
    PopReadResponse(true);
    if (!PopIsOk()) {
        return 0;
    }
    gMessageCount = pop3::ParseSizeListing(gResponseBuffer, &gSizeTable);
    return gMessageCount;
}

char* PopFetchUidl(int32_t n) {
    SendPiece("uidl ");
    SendNumber(n);
    SendPiece("\r\n");
    PopReadResponse(false);
    return pop3::ParseUidlReply(gResponseBuffer, n);
}

void PopSendTop(int32_t n) {
    SendPiece("top ");
    SendNumber(n);
    SendPiece(" 0\r\n");
}

bool PopCapa() {
    SendPiece("capa\r\n");
    PopReadResponse(true);
    return !gReplyCut && pop3::CapaOffersPipelining(gResponseBuffer);
}

bool PopStls() {
    SendPiece("stls\r\n");
    PopReadResponse(false);
    return !gReplyCut && PopIsOk();
}

void PopQuit() {
    SendPiece("quit\r\n");
    PopReadResponse(false);
    if (gTls) {
        gTls->Shutdown();  // close_notify: the server sees an orderly end
    }
    CloseSessionSocket();
    ReleaseReceiveBuffer();
}

void PopAbandon() {
    SendPiece("quit\r\n");
    CloseSessionSocket();
    ReleaseReceiveBuffer();
}

void PopReleaseBuffers() {
    ReleaseReceiveBuffer();
    std::free(gResponseBuffer);
    gResponseBuffer = nullptr;
    std::free(gSizeTable);
    gSizeTable = nullptr;
}
