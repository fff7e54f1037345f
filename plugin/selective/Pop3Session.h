#pragma once
// The plug-in's own small POP3 client: one session for the whole process, run on
// the host's window thread. It only looks at the mailbox (LIST, UIDL, TOP n 0);
// retrieving and deleting are left to the host. Nothing here blocks the thread:
// the name lookup, the connect, every receive and every send wait for the socket
// and the thread's messages at once, through the message pump below.
// The host has started Winsock; nothing here starts or stops it.

#include <winsock2.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "CertificateCheck.h"
#include "HostLookup.h"
#include "TlsChannel.h"

// The session's TCP socket; INVALID_SOCKET when there is none.
extern SOCKET gSessionSocket;
// The last reply read, NUL-terminated; null when none is held (after a read only
// when not even the first 1024 bytes could be allocated). Each read replaces it,
// so tokens handed out by the parsers live until the next read.
extern char* gResponseBuffer;
// Number of messages listed by the last LIST; set to 0 when a LIST starts.
extern int32_t gMessageCount;
// gMessageCount sizes in bytes, entry i for message i + 1; null when the count is 0.
extern int32_t* gSizeTable;

// Receive time-out of the session socket: a server that stops answering ends the
// read as a broken connection instead of freezing the host's window. The name
// lookup and the connect are each bounded by it too. It measures the server's
// silence: a wait that the message pump kept away from the socket for longer
// (a nested modal loop) looks at the socket before it gives up.
constexpr DWORD kPopReceiveTimeoutMs = 60000;

// The most one reply may hold. The longest honest replies are a listing of
// some hundred thousand messages or a header of a few hundred kilobytes; a
// reply that grows past this never ends, and would take the 32-bit host's
// memory. It is cut there and the connection closed at once.
constexpr std::size_t kPopReplyLimit = 8u * 1024u * 1024u;

// Changes the receive time-out for sockets connected from now on (tests use a
// short one); 0 restores kPopReceiveTimeoutMs.
void PopSetReceiveTimeout(DWORD milliseconds);

// The lookup used for a server that is not a dotted address; null functions
// restore WSAAsyncGetHostByName and WSACancelAsyncRequest. Lets tests see that a
// dotted address is never looked up, and answer late or never.
void PopSetHostLookup(PopLookupStart start, PopLookupCancel cancel);

// Connects gSessionSocket to server (host name or dotted IPv4 address) and port.
// The lookup and the connect wait like a read does: the message pump runs, and
// its cancel or the time-out ends them (false; PopCancelled tells which).
// Shows "Socket Create Error" when no socket can be created. A port outside
// 1..65535 is refused like an unreachable server.
bool PopConnect(const char* server, int port);

// Called while a read or a send waits for the socket: when the thread's queue
// has input, and at least every kPopPumpIntervalMs. It dispatches the thread's
// messages (so that the host's window repaints) and returns false to cancel the
// session's wait. Null (the default): the wait only watches the socket.
typedef bool (*PopMessagePump)(void* context);
constexpr DWORD kPopPumpIntervalMs = 100;
void PopSetMessagePump(PopMessagePump pump, void* context);

// Reads one reply into gResponseBuffer and returns its length. Replies are cut
// from a receive buffer that keeps whatever arrived beyond the reply at hand
// (the replies to commands sent ahead). A line ends at LF, with or without CR.
// A closed or broken connection, the receive time-out, a reply longer than
// kPopReplyLimit or a failed allocation end the read with what had arrived; the
// socket is then closed, so later reads of the same session end at once instead
// of waiting out the time-out again (or the rest of an endless reply).
// A cancel from the message pump also ends the read, leaving the socket open.
int PopReadResponse(bool multiLine);

// True when the last read ended before its reply was whole (closed, broken,
// timed out, too long, out of memory or cancelled).
bool PopReplyCut();
// True when the message pump cancelled a wait of this session.
bool PopCancelled();

// True when bytes have arrived beyond the last reply read: held in the receive
// buffer, or waiting on the socket. Nothing is read or waited for.
bool PopBytesBeyondReply();

// Sends bytes in one send call (more than one when the socket takes them in
// parts); false when the connection is gone. Several commands may go in one.
bool PopSendBytes(const char* bytes, std::size_t length);

// Sends capa; true when the server lists PIPELINING. The reply stays in
// gResponseBuffer for the caller to read further (STLS).
bool PopCapa();

// Sends stls; true for a whole positive reply. The handshake is the caller's
// next step (PopStartTls), after checking that nothing followed the reply.
bool PopStls();

// TLS on the session's connection: at once after the connect for TLS from the
// start, after the +OK to STLS otherwise. The handshake waits like a read (the
// message pump runs, a cancel or the receive time-out ends it); a server that
// answers in plain text is known by its first byte. On failure the connection
// is closed. From success on, every read and send of the session is encrypted,
// and the decrypted bytes go into the same receive buffer.
TlsFailure PopStartTls(const char* serverName);
bool PopSecured();
// The SSPI status of the last handshake, for the failure's text.
long PopTlsStatus();
// True when bytes were received beyond the last reply handed out: after the
// +OK to STLS they were never protected, and end the session.
bool PopHasUnreadBytes();
// The check of the server's certificate of a secured session for serverName.
bool PopCheckCertificate(const char* serverName, CertificateReport* report);

// Closes the connection without another word: the session ends before
// anything but what was sent so far has gone to the server.
void PopClose();

// True when the last reply begins with "+".
bool PopIsOk();

// user, then pass (only when user was accepted); true when both were accepted.
bool PopLogin(const char* user, const char* password);

// Sends list and fills gMessageCount and gSizeTable; returns the count (0 when
// LIST was refused).
int32_t PopList();

// UIDL of message n: a token in gResponseBuffer, or null when refused, answered
// for another number or without a usable UIDL.
char* PopFetchUidl(int32_t n);

// Sends "top n 0"; the caller reads the reply with PopReadResponse(true).
void PopSendTop(int32_t n);

// Sends quit, reads the reply and closes gSessionSocket.
void PopQuit();

// Sends quit and closes gSessionSocket without waiting for any reply: the
// session ends with replies still owed (a cancelled or broken scan).
void PopAbandon();

// Releases gResponseBuffer and gSizeTable and sets both null; gMessageCount keeps
// its value. Called at the end of every session.
void PopReleaseBuffers();
