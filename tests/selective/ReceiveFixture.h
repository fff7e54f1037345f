#pragma once
// What the command and dialog tests share: an account directory with its
// Kirvan.ini, Account.ini and uidl files, a fake host answering that directory,
// an owner window whose posted messages can be read back, the plug-in's
// resources, and the stand-in rasapi32.dll's shared state.

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeHost.h"
#include "Pop3ScriptServer.h"
#include "RasStandInState.h"
#include "TempFolder.h"

struct KirvanIni {
    int doFilter = 1;
    int filterType = 0;
    int checkSize = 0;
    int filterSize = 0;
    int deleteOnServer = 0;
    std::string pass = "s3cret";
};

struct AccountIni {
    int notDelete = 1;
    int useRas = 0;
    std::string rasProvider;
    std::string server = "127.0.0.1";
    int port = 0;
    std::string user = "alice";
};

// One message on the scripted server.
struct ScriptedMessage {
    int size;
    std::string uidl;
    std::string topReply;  // whole reply to "top n 0"
};

class ReceiveFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    void WriteKirvan(const KirvanIni& kirvan);
    void WriteAccount(const AccountIni& account);
    std::string AccountDir() const { return dir_.Path(); }
    std::string UidlPath() const { return dir_.Path() + "uidl"; }
    // Contents of the uidl file; "<absent>" when there is none.
    std::string ReadUidl() const;
    bool WriteUidl(const std::string& bytes) const { return dir_.WriteFile("uidl", bytes); }
    // Host receive commands posted to the owner window (removed from its queue).
    int TakeReceiveCommands();

    // Script pieces.
    // Greeting, user, pass and capa; capaReply is the whole answer to capa (the
    // default refuses it: one command at a time).
    static std::vector<Pop3ScriptServer::Step> Login(const std::string& user = "alice",
                                                     const std::string& pass = "s3cret",
                                                     const std::string& capaReply = "-ERR unknown command\r\n");
    // uidl (the listing) and its reply for every message.
    static std::vector<Pop3ScriptServer::Step> UidlListing(const std::vector<ScriptedMessage>& messages);
    static Pop3ScriptServer::Step ListReply(const std::vector<ScriptedMessage>& messages);
    static std::vector<Pop3ScriptServer::Step> Tops(const std::vector<ScriptedMessage>& messages);
    static std::vector<Pop3ScriptServer::Step> Uidls(const std::vector<ScriptedMessage>& messages,
                                                     const std::vector<int>& numbers);
    static std::vector<Pop3ScriptServer::Step> Quit();
    static std::vector<Pop3ScriptServer::Step> Join(std::vector<std::vector<Pop3ScriptServer::Step>> parts);

    static RasStandInState* Ras() { return rasState_; }

    FakeHost host_;
    TempFolder dir_;
    HWND window_ = nullptr;

private:
    static RasStandInState* rasState_;
    static HANDLE rasMapping_;
};

// A listening socket that never accepts: tells whether anything tried to connect.
class ConnectionProbe {
public:
    ConnectionProbe();
    ~ConnectionProbe();
    ConnectionProbe(const ConnectionProbe&) = delete;
    ConnectionProbe& operator=(const ConnectionProbe&) = delete;
    u_short Port() const { return port_; }
    bool SomeoneConnected() const;

private:
    SOCKET listener_ = INVALID_SOCKET;
    u_short port_ = 0;
};

// A reply to "top n 0" with the given header lines.
std::string TopReply(const std::string& headerLines);
