// inet_addr and gethostbyname are the Winsock 1.1 calls the host's Winsock offers
// on every Windows version; newer SDKs only warn about them.
#ifndef _WINSOCK_DEPRECATED_NO_WARNINGS
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#endif
#include "Pop3Session.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "BoundedText.h"
#include "Pop3Reply.h"

SOCKET gSessionSocket = INVALID_SOCKET;
char* gResponseBuffer = nullptr;
int32_t gMessageCount = 0;
int32_t* gSizeTable = nullptr;

namespace {

DWORD gReceiveTimeoutMs = kPopReceiveTimeoutMs;
PopHostLookup gHostLookup = nullptr;

void CloseSessionSocket() {
    if (gSessionSocket != INVALID_SOCKET) {
        closesocket(gSessionSocket);
        gSessionSocket = INVALID_SOCKET;
    }
}

// One send call per piece; a failed send shows up at the next read.
void SendPiece(const char* piece) {
    std::size_t length = text::Length(piece);
    send(gSessionSocket, piece ? piece : "", static_cast<int>(length > INT_MAX ? INT_MAX : length), 0);
}

void SendNumber(int32_t n) {
    char number[16];
    text::Format(number, sizeof number, "%d", static_cast<int>(n));
    SendPiece(number);
}

bool ResolveServer(const char* server, in_addr* address) {
    address->s_addr = inet_addr(server);
    if (address->s_addr != INADDR_NONE) {
        return true;
    }
    hostent* host = (gHostLookup ? gHostLookup : gethostbyname)(server);
    if (!host || host->h_addrtype != AF_INET || host->h_length != sizeof(in_addr) ||
        !host->h_addr_list || !host->h_addr_list[0]) {
        return false;
    }
    std::memcpy(address, host->h_addr_list[0], sizeof(in_addr));
    return true;
}

}  // namespace

void PopSetReceiveTimeout(DWORD milliseconds) {
    gReceiveTimeoutMs = milliseconds ? milliseconds : kPopReceiveTimeoutMs;
}

void PopSetHostLookup(PopHostLookup lookup) {
    gHostLookup = lookup;
}

bool PopConnect(const char* server, int port) {
    CloseSessionSocket();  // one session at a time: never leak an earlier socket
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
    DWORD timeout = gReceiveTimeoutMs;
    setsockopt(gSessionSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    // Commands go out in several small sends; with Nagle's algorithm each later
    // piece waits for the server's delayed acknowledgement of the first (tens of
    // milliseconds per command, minutes for a long list of TOP exchanges).
    BOOL noDelay = TRUE;
    setsockopt(gSessionSocket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);

    sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(port));
    peer.sin_addr = address;
    if (connect(gSessionSocket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
        CloseSessionSocket();
        return false;
    }
    return true;
}

int PopReadResponse(bool multiLine) {
    std::free(gResponseBuffer);
    gResponseBuffer = nullptr;

    std::size_t capacity = pop3::kReplyInitialCapacity;
    char* buffer = static_cast<char*>(std::malloc(capacity));
    if (!buffer) {
        CloseSessionSocket();  // the unread reply would be taken for the next one
        return 0;
    }
    std::size_t received = 0;
    for (;;) {
        std::size_t room = capacity - received - 1;  // one byte stays for the NUL
        int got = recv(gSessionSocket, buffer + received, static_cast<int>(room > INT_MAX ? INT_MAX : room), 0);
        if (got <= 0) {
            // Closed, broken or timed out: after a time-out the connection is in an
            // undefined state, and a silent server would cost every later read the
            // whole time-out again.
            CloseSessionSocket();
            break;
        }
        received += static_cast<std::size_t>(got);
        if (pop3::IsReplyComplete(buffer, received, multiLine)) {
            break;
        }
        if (received == capacity - 1) {
            std::size_t grown = pop3::GrowReplyCapacity(capacity);
            char* bigger = grown ? static_cast<char*>(std::realloc(buffer, grown)) : nullptr;
            if (!bigger) {
                CloseSessionSocket();
                break;
            }
            buffer = bigger;
            capacity = grown;
        }
    }
    buffer[received] = '\0';
    gResponseBuffer = buffer;
    return static_cast<int>(received > INT_MAX ? INT_MAX : received);
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
    return pop3::ParseUidlReply(gResponseBuffer);
}

void PopSendTop(int32_t n) {
    SendPiece("top ");
    SendNumber(n);
    SendPiece(" 0\r\n");
}

void PopQuit() {
    SendPiece("quit\r\n");
    PopReadResponse(false);
    CloseSessionSocket();
}

void PopReleaseBuffers() {
    std::free(gResponseBuffer);
    gResponseBuffer = nullptr;
    std::free(gSizeTable);
    gSizeTable = nullptr;
}
