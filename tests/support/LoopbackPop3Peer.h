#pragma once
// One POP3 peer on a free loopback port for every test and benchmark that needs
// a server. A thread accepts connections and runs a behaviour on each: a script
// of exact exchanges (Start), a function of the caller's (Serve, ServeMany), or
// a mailbox (Pop3Mailbox below). Listen() alone never accepts and only tells
// whether anyone tried to connect. Every wait wakes on the socket, has a bound,
// and ends at once when the peer is stopped. Winsock is started by the program.

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One accepted connection: what the client sent (every byte is kept), and the
// ways a server can answer, well or badly.
class Pop3PeerConnection {
public:
    enum class Wait { kArrived, kClosed, kTimedOut, kStopped };

    Pop3PeerConnection(SOCKET socket, SOCKET wake, const std::atomic<bool>* stopped)
        : socket_(socket), wake_(wake), stopped_(stopped) {}
    ~Pop3PeerConnection() { Close(); }
    Pop3PeerConnection(const Pop3PeerConnection&) = delete;
    Pop3PeerConnection& operator=(const Pop3PeerConnection&) = delete;

    // The next line the client sent, without its LF or CR LF; false when the
    // client closed, the peer was stopped or no line came within timeoutMs.
    bool ReadLine(std::string* line, DWORD timeoutMs = 10000);
    // Waits until at least count bytes that were not taken yet have arrived.
    Wait WaitForBytes(std::size_t count, DWORD timeoutMs);
    // Waits until the client closes, recording what it still sends.
    Wait WaitForClose(DWORD timeoutMs);
    // Reads what has arrived without waiting; false when the client has closed.
    bool TakeArrived();
    // Reads whatever arrives for timeoutMs, answering nothing (a stalled server);
    // ends early when the client closes or the peer is stopped.
    Wait Stall(DWORD timeoutMs);

    // Greets and accepts any USER and PASS (the client's lines are not checked);
    // false when the client went before logging in.
    bool AcceptLogin();
    // Sends all bytes in one call; false when the client has gone.
    bool Send(const std::string& bytes);
    // Sends pieces of the given lengths (the rest in a last one), pausing
    // pauseMs between them so that each arrives alone.
    bool SendInPieces(const std::string& bytes, const std::vector<std::size_t>& pieces, DWORD pauseMs);
    // Sends count copies of one byte in large pieces (a line of many megabytes).
    bool SendRepeated(char byte, std::size_t count);
    // Drops the connection.
    void Close();

    // Every byte the client sent, and how many of them lines and waits consumed.
    const std::string& Received() const { return received_; }
    std::size_t Taken() const { return taken_; }
    void Take(std::size_t count) { taken_ += count; }
    bool ClientClosed() const { return clientClosed_; }
    // The tick at which the byte at offset arrived.
    DWORD ArrivalTick(std::size_t offset) const;

private:
    Wait WaitReadable(DWORD timeoutMs);
    Wait Receive(DWORD timeoutMs);

    SOCKET socket_;
    SOCKET wake_;
    const std::atomic<bool>* stopped_;
    std::string received_;
    std::size_t taken_ = 0;
    bool clientClosed_ = false;
    std::vector<std::pair<std::size_t, DWORD>> arrivals_;  // end offset in received_, tick
};

class LoopbackPop3Peer {
public:
    // One step of a script.
    struct Step {
        enum Kind { kExpect, kSend, kStall, kClose, kAwaitClose } kind;
        std::string bytes;
        std::vector<std::size_t> pieces;  // lengths of the sends; empty: one send
        DWORD pauseMs;                    // between pieces, or the stall's length
    };
    // Waits until the client has sent exactly these bytes next (fails on other
    // bytes, on a closed connection, or after the expect time-out).
    static Step Expect(std::string bytes);
    // One send call.
    static Step Reply(std::string bytes);
    // One send call per byte, with a short pause so that each byte arrives alone.
    static Step ReplyBytewise(std::string bytes, DWORD pauseMs = 2);
    // Sends in pieces of the given lengths (the rest in a last piece), pausing
    // between them.
    static Step ReplyInPieces(std::string bytes, std::vector<std::size_t> pieces, DWORD pauseMs);
    // Answers nothing for a while, taking what arrives (what the client sends
    // ahead shows as early commands).
    static Step Stall(DWORD ms);
    // Closes the connection now (also done at the end of every script).
    static Step Close();
    // Waits until the client closes the connection, recording what it sends.
    static Step AwaitClose();

    using Behaviour = std::function<void(Pop3PeerConnection&)>;
    // The behaviour gets the connection's index, from 0.
    using IndexedBehaviour = std::function<void(Pop3PeerConnection&, int)>;
    static constexpr int kUntilStopped = -1;

    LoopbackPop3Peer() = default;
    // Stops: a test that needs the whole script played calls Finish first.
    ~LoopbackPop3Peer() { Stop(); }
    LoopbackPop3Peer(const LoopbackPop3Peer&) = delete;
    LoopbackPop3Peer& operator=(const LoopbackPop3Peer&) = delete;

    // A line on which every byte takes inMs to reach the peer and every reply
    // outMs to reach the client; replies still go out in order. Before Start.
    void SetLatency(DWORD inMs, DWORD outMs) {
        inMs_ = inMs;
        outMs_ = outMs;
    }

    // Plays the script on one connection; false when no listening socket could be made.
    bool Start(std::vector<Step> script, DWORD expectTimeoutMs = 5000);
    // Runs the behaviour on one connection.
    bool Serve(Behaviour behaviour);
    // Runs the behaviour on `connections` connections one after the other
    // (kUntilStopped: until Stop), each waited for at most acceptTimeoutMs.
    bool ServeMany(IndexedBehaviour behaviour, int connections, DWORD acceptTimeoutMs = 60000);
    // Listens and never accepts.
    bool Listen();
    // Whether anyone connected to a Listen() peer. A connection is complete in
    // the listen queue by the time the client's connect returns: no wait needed.
    bool ConnectAttempted() const;
    u_short Port() const { return port_; }

    // Waits for the behaviour to end (each of its waits is bounded).
    void Finish();
    // Ends every wait of the behaviour at once, then finishes.
    void Stop();

    // The script's results, valid after Finish.
    // Every byte the client sent.
    const std::string& Received() const { return received_; }
    // Empty when every step went as scripted; else what went wrong first.
    const std::string& Failure() const { return failure_; }
    // True when the client closed the connection while the script ran.
    bool ClientClosed() const { return clientClosed_; }
    // The expected commands (Expect steps) of which at least the first byte had
    // already arrived when the reply before them was sent: the client sent them
    // without waiting for that reply.
    const std::vector<std::string>& EarlyCommands() const { return early_; }

private:
    bool OpenListener(int backlog);
    void Accepting(IndexedBehaviour behaviour, int connections, DWORD acceptTimeoutMs);
    void PlayScript(Pop3PeerConnection& c);

    SOCKET listener_ = INVALID_SOCKET;
    SOCKET wake_ = INVALID_SOCKET;  // a datagram to it ends every wait
    sockaddr_in wakeAddress_ = {};
    std::atomic<bool> stopped_{false};
    u_short port_ = 0;
    std::thread thread_;

    std::vector<Step> script_;
    DWORD expectTimeoutMs_ = 5000;
    DWORD inMs_ = 0;
    DWORD outMs_ = 0;
    std::string received_;
    std::string failure_;
    bool clientClosed_ = false;
    std::vector<std::string> early_;
};

// A loopback port with nothing listening on it (taken and released at once).
u_short UnusedLoopbackPort();

// A message of a mailbox.
struct Pop3MailboxMessage {
    std::string uidl;
    std::string content;  // lines ending in CR LF; dot-stuffed on the wire
};

// A mailbox served on a LoopbackPop3Peer to one client after the other until
// Stop: USER, PASS, STAT, LIST [n], UIDL [n], TOP, RETR, DELE, NOOP, RSET, CAPA,
// QUIT, verbs in any case; deletions are applied at QUIT. Every command line is
// recorded.
class Pop3Mailbox {
public:
    Pop3Mailbox(std::vector<Pop3MailboxMessage> messages, std::string user, std::string password)
        : messages_(std::move(messages)), user_(std::move(user)), password_(std::move(password)) {}

    bool noUidl = false;       // answer UIDL with -ERR
    std::string capabilities;  // the CAPA lines, each ending in CR LF; empty: CAPA refused

    // Serves on a fresh peer at a free loopback port.
    bool Start();
    void Stop() { peer_.Stop(); }
    u_short Port() const { return peer_.Port(); }
    // One session on a connection (for a peer that serves other things too).
    void Session(Pop3PeerConnection& c);

    std::vector<std::string> Commands() const;
    // What is left on the server (deletions applied by a QUIT).
    std::vector<Pop3MailboxMessage> Messages() const;

private:
    std::vector<Pop3MailboxMessage> messages_;
    std::string user_;
    std::string password_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    LoopbackPop3Peer peer_;  // last: stopped before the state it serves goes
};
