#include "ReceiveFixture.h"
#include "WinsockEnvironment.h"

#include <cstring>
#include <fstream>
#include <utility>

#include "DialUp.h"
#include "FileBytes.h"
#include "HostApi.h"
#include "HostApiList.h"
#include "PendingRetrieval.h"
#include "Pop3Session.h"
#include "SelectiveReceive.h"
#include "SetAsideRecord.h"
#include "UidlList.h"

using Server = LoopbackPop3Peer;


namespace {

const bool gWinsock = RegisterWinsockEnvironment();

const char kOwnerClass[] = "PikunoReceiveTestOwner";

// Whether "rasapi32.dll" as the product loads it is the stand-in beside the program:
// without WINEDLLOVERRIDES=rasapi32=n,b (ctest sets it) Wine loads its own, whose
// RasDialA fails, and every dial-up case ends in the dial-up failure box before a
// server is ever reached.
bool gRasStandInLoaded = false;

}  // namespace

void ReceiveFixture::SetUpTestSuite() {
    if (!gPluginModule) {
        // The dialog and its pictures come from the real Pikuno.dll beside the
        // program; as a data file its entry point (the host binding) never runs.
        gPluginModule = LoadLibraryExA("Pikuno.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ASSERT_NE(nullptr, gPluginModule) << "Pikuno.dll must lie beside the test program";

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kOwnerClass;
    RegisterClassA(&windowClass);

    ASSERT_NE(nullptr, ProgramRasStandInState());
    HMODULE ras = LoadLibraryA("rasapi32.dll");
    gRasStandInLoaded = ras && GetProcAddress(ras, "RasStandInMarker");
    if (ras) {
        FreeLibrary(ras);
    }
}

void ReceiveFixture::SetUp() {
    FakeHost::account = dir_.Path();
    window_ = CreateWindowExA(0, kOwnerClass, "Quenla test window", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window_);
    StopWatchingPendingRetrieval();  // an earlier test's command must not reach into this one
    gUidlList.RemoveAll();
    gDeleteOnServer = 0;
    gDialUpConnection = nullptr;
    std::memset(Ras(), 0, sizeof *Ras());
    PopSetReceiveTimeout(8000);
}

void ReceiveFixture::TearDown() {
    if (window_) {
        DestroyWindow(window_);
    }
    StopWatchingPendingRetrieval();
    gUidlList.RemoveAll();
    gDeleteOnServer = 0;
    gDialUpConnection = nullptr;
    PopReleaseBuffers();
    PopSetReceiveTimeout(0);
}

void ReceiveFixture::WriteKirvan(const KirvanIni& k) {
    WriteIni("Kirvan.ini", {{"[Server]", ""}, {"pass", k.pass}, {"Security", std::to_string(k.security)}, {"[Property]", ""},
                            {"DoFilter", std::to_string(k.doFilter)}, {"FilterType", std::to_string(k.filterType)},
                            {"CheckSize", std::to_string(k.checkSize)}, {"FilterSize", std::to_string(k.filterSize)},
                            {"Delete", std::to_string(k.deleteOnServer)}});
}

void ReceiveFixture::WriteAccount(const AccountIni& a) {
    WriteIni("Account.ini", {{"[Property]", ""}, {"Title", "test"}, {"NotDelete", std::to_string(a.notDelete)},
                             {"UseRAS", std::to_string(a.useRas)}, {"RASProvider", a.rasProvider},
                             {"POP3Server", a.server}, {"POP3Port", std::to_string(a.port)}, {"Account", a.user}});
}

void ReceiveFixture::WriteIni(const char* name, const std::vector<std::pair<std::string, std::string>>& lines) {
    std::string text;
    for (const auto& line : lines) {
        // A "[Section]" line stands alone; the others are "key=value".
        text += (line.first[0] == '[' ? line.first : line.first + "=" + line.second) + "\r\n";
    }
    ASSERT_TRUE(dir_.WriteFile(name, text)) << name;
}

std::string ReceiveFixture::ReadUidl() const {
    std::string bytes;
    return ReadFileBytes(UidlPath(), &bytes) ? bytes : "<absent>";
}

void ReceiveFixture::ForgetChoices() const {
    DeleteFileA(UidlPath().c_str());
    DeleteFileA((dir_.Path() + kSetAsideRecordName).c_str());
}

int ReceiveFixture::TakeReceiveCommands() {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        if (message.wParam == kHostReceiveCommand && message.lParam == 0) {
            ++count;
        } else {
            ADD_FAILURE() << "unexpected WM_COMMAND " << message.wParam;
        }
    }
    return count;
}

std::vector<Server::Step> ReceiveFixture::Login(const std::string& user, const std::string& pass,
                                               const std::string& capaReply) {
    return {
        Server::Reply("+OK ready\r\n"),
        Server::Expect("user " + user + "\r\n"), Server::Reply("+OK\r\n"),
        Server::Expect("pass " + pass + "\r\n"), Server::Reply("+OK logged in\r\n"),
        Server::Expect("capa\r\n"), Server::Reply(capaReply),
    };
}

void ReceiveFixture::Run(const Server& server, KirvanIni kirvan, AccountIni account) {
    account.port = server.Port();
    WriteKirvan(kirvan);
    WriteAccount(account);
    RunSelectiveReceive(window_, 0);
}

void ReceiveFixture::RunScript(Server& server, std::vector<Server::Step> script, KirvanIni kirvan,
                               AccountIni account) {
    ASSERT_TRUE(server.Start(std::move(script))) << "no loopback peer";
    Run(server, kirvan, account);
    server.Finish();
    EXPECT_EQ("", server.Failure());
}

std::vector<MessageBoxSeen> ReceiveFixture::RunClosingBoxes(const KirvanIni& kirvan, const AccountIni& account) {
    WriteKirvan(kirvan);
    WriteAccount(account);
    MessageBoxCloser closer("Kirvan");
    RunSelectiveReceive(window_, 0);
    return closer.Stop();
}

KirvanIni ReceiveFixture::SizeFilter(int limit) {
    KirvanIni kirvan;
    kirvan.filterType = 1;
    kirvan.checkSize = 1;
    kirvan.filterSize = limit;
    return kirvan;
}

AccountIni ReceiveFixture::DialUpAccount() {
    EXPECT_TRUE(gRasStandInLoaded) << "rasapi32.dll is not the stand-in: run with WINEDLLOVERRIDES=rasapi32=n,b";
    AccountIni account;
    account.useRas = 1;
    account.rasProvider = "Office line";
    return account;
}

std::vector<Server::Step> ReceiveFixture::Listing(const std::vector<ScriptedMessage>& messages) {
    return {Server::Expect("list\r\n"), ListReply(messages)};
}

std::vector<Server::Step> ReceiveFixture::WholeScan(const std::vector<ScriptedMessage>& messages,
                                                    const std::string& capaReply) {
    return Join({Login("alice", "s3cret", capaReply), Listing(messages), UidlListing(messages), Tops(messages),
                 Quit()});
}

std::vector<Server::Step> ReceiveFixture::UidlListing(const std::vector<ScriptedMessage>& messages) {
    std::string reply = "+OK\r\n";
    for (std::size_t i = 0; i < messages.size(); ++i) {
        reply += std::to_string(i + 1) + " " + messages[i].uidl + "\r\n";
    }
    return {Server::Expect("uidl\r\n"), Server::Reply(reply + ".\r\n")};
}

Server::Step ReceiveFixture::ListReply(const std::vector<ScriptedMessage>& messages) {
    std::string reply = "+OK " + std::to_string(messages.size()) + " messages\r\n";
    for (std::size_t i = 0; i < messages.size(); ++i) {
        reply += std::to_string(i + 1) + " " + std::to_string(messages[i].size) + "\r\n";
    }
    return Server::Reply(reply + ".\r\n");
}

std::vector<Server::Step> ReceiveFixture::Tops(const std::vector<ScriptedMessage>& messages) {
    std::vector<Server::Step> steps;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        steps.push_back(Server::Expect("top " + std::to_string(i + 1) + " 0\r\n"));
        steps.push_back(Server::Reply(messages[i].topReply));
    }
    return steps;
}

std::vector<Server::Step> ReceiveFixture::Tops(const std::vector<ScriptedMessage>& messages,
                                               const std::vector<int>& numbers) {
    std::vector<Server::Step> steps;
    for (int n : numbers) {
        steps.push_back(Server::Expect("top " + std::to_string(n) + " 0\r\n"));
        steps.push_back(Server::Reply(messages[n - 1].topReply));
    }
    return steps;
}

std::vector<Server::Step> ReceiveFixture::Uidls(const std::vector<ScriptedMessage>& messages,
                                                const std::vector<int>& numbers) {
    std::vector<Server::Step> steps;
    for (int n : numbers) {
        steps.push_back(Server::Expect("uidl " + std::to_string(n) + "\r\n"));
        steps.push_back(Server::Reply("+OK " + std::to_string(n) + " " + messages[n - 1].uidl + "\r\n"));
    }
    return steps;
}

std::vector<Server::Step> ReceiveFixture::Quit() {
    return {Server::Expect("quit\r\n"), Server::Reply("+OK bye\r\n"), Server::AwaitClose()};
}

std::vector<Server::Step> ReceiveFixture::Join(std::vector<std::vector<Server::Step>> parts) {
    std::vector<Server::Step> all;
    for (auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const char kWireLogin[] = "user alice\r\npass s3cret\r\ncapa\r\nlist\r\n";

std::string TopsWire(std::size_t count) {
    std::string wire;
    for (std::size_t n = 1; n <= count; ++n) {
        wire += "top " + std::to_string(n) + " 0\r\n";
    }
    return wire;
}

std::string TopsWire(const std::vector<int>& numbers) {
    std::string wire;
    for (int n : numbers) {
        wire += "top " + std::to_string(n) + " 0\r\n";
    }
    return wire;
}

std::string UidlsWire(const std::vector<int>& numbers) {
    std::string wire;
    for (int n : numbers) {
        wire += "uidl " + std::to_string(n) + "\r\n";
    }
    return wire;
}

std::string TopReply(const std::string& headerLines) {
    return "+OK\r\n" + headerLines + "\r\n.\r\n";
}

std::vector<ScriptedMessage> FirstMessages(std::size_t count) {
    const std::vector<ScriptedMessage> four = {
        {4000, "UID-A", TopReply("Subject: first\r\n")},
        {5000, "UID-B", TopReply("Subject: second\r\n")},
        {6000, "UID-C", TopReply("Subject: third\r\n")},
        {7000, "UID-D", TopReply("Subject: fourth\r\n")},
    };
    return std::vector<ScriptedMessage>(four.begin(), four.begin() + (count < four.size() ? count : four.size()));
}
