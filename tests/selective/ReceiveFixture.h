#pragma once
// What the command and dialog tests share: an account directory with its
// Kirvan.ini, Account.ini and uidl files, a fake host answering that directory,
// an owner window whose posted messages can be read back, the plug-in's
// resources, and the stand-in rasapi32.dll's shared state.

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FakeHost.h"
#include "LoopbackPop3Peer.h"
#include "RasStandInState.h"
#include "ReceiveUi.h"
#include "TempFolder.h"

struct KirvanIni {
    int doFilter = 1;
    int filterType = 0;
    int checkSize = 0;
    int filterSize = 0;
    int deleteOnServer = 0;
    std::string pass = "s3cret";
    // The scripted servers speak plain text and their scripts begin with the
    // login: plain text only. The steps that secure a session have their own
    // cases (SecureSessionTest.cpp).
    int security = 3;
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
    // Writes a settings file of the account: "[Section]" lines and key, value pairs.
    void WriteIni(const char* name, const std::vector<std::pair<std::string, std::string>>& lines);
    std::string AccountDir() const { return dir_.Path(); }
    std::string UidlPath() const { return dir_.Path() + "uidl"; }
    // Contents of the uidl file; "<absent>" when there is none.
    std::string ReadUidl() const;
    bool WriteUidl(const std::string& bytes) const { return dir_.WriteFile("uidl", bytes); }
    // Removes the uidl file and the record of set-aside messages, so that the
    // next command finds every message new again.
    void ForgetChoices() const;
    // Host receive commands posted to the owner window (removed from its queue).
    int TakeReceiveCommands();

    // Runs the command for the owner window with the account pointing at server.
    void Run(const LoopbackPop3Peer& server, KirvanIni kirvan = KirvanIni(), AccountIni account = AccountIni());
    // Plays the script while the command runs, then checks that the session went
    // as scripted.
    void RunScript(LoopbackPop3Peer& server, std::vector<LoopbackPop3Peer::Step> script,
                   KirvanIni kirvan = KirvanIni(), AccountIni account = AccountIni());
    // Runs the command with the settings as given (no server of ours), closing
    // and returning the "Kirvan" boxes it shows.
    std::vector<MessageBoxSeen> RunClosingBoxes(const KirvanIni& kirvan, const AccountIni& account);
    // Settings: the size filter with its limit, an account that dials first (a
    // failure when the dial-up stand-in is not the library the product loads).
    static KirvanIni SizeFilter(int limit);
    static AccountIni DialUpAccount();

    // Script pieces.
    // Greeting, user, pass and capa; capaReply is the whole answer to capa (the
    // default refuses it: one command at a time).
    static std::vector<LoopbackPop3Peer::Step> Login(const std::string& user = "alice",
                                                     const std::string& pass = "s3cret",
                                                     const std::string& capaReply = "-ERR unknown command\r\n");
    // list and its reply.
    static std::vector<LoopbackPop3Peer::Step> Listing(const std::vector<ScriptedMessage>& messages);
    // A whole scan: login, list, the UIDL listing, every header, quit.
    static std::vector<LoopbackPop3Peer::Step> WholeScan(const std::vector<ScriptedMessage>& messages,
                                                         const std::string& capaReply = "-ERR unknown command\r\n");
    // uidl (the listing) and its reply for every message.
    static std::vector<LoopbackPop3Peer::Step> UidlListing(const std::vector<ScriptedMessage>& messages);
    static LoopbackPop3Peer::Step ListReply(const std::vector<ScriptedMessage>& messages);
    static std::vector<LoopbackPop3Peer::Step> Tops(const std::vector<ScriptedMessage>& messages);
    // "top n 0" and its reply for the numbers only (1-based), in that order.
    static std::vector<LoopbackPop3Peer::Step> Tops(const std::vector<ScriptedMessage>& messages,
                                                    const std::vector<int>& numbers);
    static std::vector<LoopbackPop3Peer::Step> Uidls(const std::vector<ScriptedMessage>& messages,
                                                     const std::vector<int>& numbers);
    static std::vector<LoopbackPop3Peer::Step> Quit();
    static std::vector<LoopbackPop3Peer::Step> Join(std::vector<std::vector<LoopbackPop3Peer::Step>> parts);

    static RasStandInState* Ras() { return ProgramRasStandInState(); }

    FakeHost host_;
    TempFolder dir_;
    HWND window_ = nullptr;
};

// What the client sends to log in, ask for the capabilities and list.
extern const char kWireLogin[];
// "top n 0" for messages 1 to count; "uidl n" for the numbers.
std::string TopsWire(std::size_t count);
std::string UidlsWire(const std::vector<int>& numbers);
// "top n 0" for the numbers.
std::string TopsWire(const std::vector<int>& numbers);

// A reply to "top n 0" with the given header lines.
std::string TopReply(const std::string& headerLines);

// The first count (at most four) of the messages most tests use: 4000 to 7000
// bytes, UID-A to UID-D, subjects "first" to "fourth".
std::vector<ScriptedMessage> FirstMessages(std::size_t count);
