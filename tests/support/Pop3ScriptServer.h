#pragma once
// A scripted POP3 peer for tests: a thread that listens on a free loopback port,
// accepts one connection and plays a script (wait for exact client bytes, reply
// whole, one byte per send or in pieces, stall, close). It records every byte
// the client sent, so that tests can compare the wire with what they expect.
// Winsock must be started by the test program.

#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Pop3ScriptServer {
public:
    struct Step {
        enum Kind { kExpect, kSend, kPause, kClose, kAwaitClose } kind;
        std::string bytes;
        std::vector<std::size_t> pieces;  // lengths of the sends; empty: one send
        DWORD pauseMs;                    // between pieces, or the pause itself
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
    // Does nothing for a while (a stalling server).
    static Step Pause(DWORD ms);
    // Closes the connection now (also done at the end of every script).
    static Step Close();
    // Waits until the client closes the connection, recording what it sends.
    static Step AwaitClose();

    Pop3ScriptServer() = default;
    ~Pop3ScriptServer();
    Pop3ScriptServer(const Pop3ScriptServer&) = delete;
    Pop3ScriptServer& operator=(const Pop3ScriptServer&) = delete;

    // A line between client and server that takes inMs for every byte to reach
    // the server and outMs for every reply to reach the client (a round trip of
    // inMs + outMs); replies still go out in order. Call before Start.
    void SetLatency(DWORD inMs, DWORD outMs) {
        inMs_ = inMs;
        outMs_ = outMs;
    }

    // Listens and starts the thread; false when no listening socket could be made.
    bool Start(std::vector<Step> script, DWORD expectTimeoutMs = 5000);
    u_short Port() const { return port_; }

    // Waits for the script to end. The results below are valid afterwards.
    void Finish();
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
    void Run();
    bool RunExpect(SOCKET peer, const std::string& bytes);
    bool RunSend(SOCKET peer, const Step& step);
    void RunAwaitClose(SOCKET peer);
    void Fail(const std::string& what);
    // Takes whatever has arrived without waiting.
    bool DrainArrived(SOCKET peer);
    void Arrived(const char* bytes, int length);
    void SendLoop();
    void WaitSendsDone();
    bool SendNow(SOCKET peer, const Step& step);

    std::vector<Step> script_;
    DWORD expectTimeoutMs_ = 5000;
    SOCKET listener_ = INVALID_SOCKET;
    u_short port_ = 0;
    std::thread thread_;
    std::string received_;
    std::size_t matched_ = 0;  // bytes of received_ consumed by Expect steps
    std::string failure_;
    bool clientClosed_ = false;
    std::vector<std::string> early_;
    bool earlyNext_ = false;  // bytes beyond matched_ had arrived at the last reply

    DWORD inMs_ = 0;
    DWORD outMs_ = 0;
    std::vector<std::pair<std::size_t, DWORD>> arrivals_;  // end offset in received_, tick
    struct Delayed {
        Step step;
        DWORD due;
    };
    SOCKET peer_ = INVALID_SOCKET;
    std::mutex sendMutex_;
    std::condition_variable sendWake_;
    std::deque<Delayed> sends_;
    bool sendsStop_ = false;
    bool sending_ = false;
    bool sendFailed_ = false;
    std::thread sender_;
};

// Starts Winsock for a whole test program (the host does it for the plug-in).
class WinsockForTests {
public:
    WinsockForTests() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~WinsockForTests() {
        if (started_) {
            WSACleanup();
        }
    }
    bool Started() const { return started_; }

private:
    WSADATA data_;
    bool started_ = false;
};

// A loopback port with nothing listening on it (taken and released at once).
u_short UnusedLoopbackPort();
