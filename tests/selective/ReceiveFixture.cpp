#include "ReceiveFixture.h"
#include "WinsockEnvironment.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "DialUp.h"
#include "FileBytes.h"
#include "HostApi.h"
#include "HostApiList.h"
#include "Pop3Session.h"
#include "SelectiveReceive.h"
#include "UidlList.h"

using Server = Pop3ScriptServer;

RasStandInState* ReceiveFixture::rasState_ = nullptr;
HANDLE ReceiveFixture::rasMapping_ = nullptr;

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

const char kOwnerClass[] = "PikunoReceiveTestOwner";

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

    if (!rasState_) {
        char name[64];
        RasStandInStateName(name, sizeof name);
        rasMapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         sizeof(RasStandInState), name);
        ASSERT_NE(nullptr, rasMapping_);
        rasState_ = static_cast<RasStandInState*>(
            MapViewOfFile(rasMapping_, FILE_MAP_WRITE, 0, 0, sizeof(RasStandInState)));
        ASSERT_NE(nullptr, rasState_);
    }
}

void ReceiveFixture::SetUp() {
    FakeHost::account = dir_.Path();
    window_ = CreateWindowExA(0, kOwnerClass, "Quenla test window", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window_);
    gUidlList.RemoveAll();
    gDeleteOnServer = 0;
    gDialUpConnection = nullptr;
    std::memset(rasState_, 0, sizeof *rasState_);
    PopSetReceiveTimeout(8000);
}

void ReceiveFixture::TearDown() {
    if (window_) {
        DestroyWindow(window_);
    }
    gUidlList.RemoveAll();
    gDeleteOnServer = 0;
    gDialUpConnection = nullptr;
    PopReleaseBuffers();
    PopSetReceiveTimeout(0);
}

void ReceiveFixture::WriteKirvan(const KirvanIni& k) {
    std::ostringstream text;
    text << "[Server]\r\npass=" << k.pass << "\r\n[Property]\r\nDoFilter=" << k.doFilter
         << "\r\nFilterType=" << k.filterType << "\r\nCheckSize=" << k.checkSize << "\r\nFilterSize=" << k.filterSize
         << "\r\nDelete=" << k.deleteOnServer << "\r\n";
    ASSERT_TRUE(dir_.WriteFile("Kirvan.ini", text.str()));
}

void ReceiveFixture::WriteAccount(const AccountIni& a) {
    std::ostringstream text;
    text << "[Property]\r\nTitle=test\r\nNotDelete=" << a.notDelete << "\r\nUseRAS=" << a.useRas
         << "\r\nRASProvider=" << a.rasProvider << "\r\nPOP3Server=" << a.server << "\r\nPOP3Port=" << a.port
         << "\r\nAccount=" << a.user << "\r\n";
    ASSERT_TRUE(dir_.WriteFile("Account.ini", text.str()));
}

std::string ReceiveFixture::ReadUidl() const {
    std::string bytes;
    return ReadFileBytes(UidlPath(), &bytes) ? bytes : "<absent>";
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

ConnectionProbe::ConnectionProbe() {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 4) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "no probe socket";
        return;
    }
    port_ = ntohs(address.sin_port);
}

ConnectionProbe::~ConnectionProbe() {
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
    }
}

bool ConnectionProbe::SomeoneConnected() const {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(listener_, &set);
    timeval none = {0, 100000};
    return select(0, &set, nullptr, nullptr, &none) == 1;
}

std::string TopReply(const std::string& headerLines) {
    return "+OK\r\n" + headerLines + "\r\n.\r\n";
}
