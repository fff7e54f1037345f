// How long the scan of a mailbox takes through a line with latency, for several
// pipelining windows: the figures behind the window the scan uses. Prints a
// table; asserts nothing. Usage: bench_scan_window [messages] [ms each way]
// [windows in bytes...]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "MailboxScan.h"
#include "LoopbackPop3Peer.h"
#include "WinsockEnvironment.h"
#include "Pop3Session.h"

namespace {

using Server = LoopbackPop3Peer;

std::string Header(int n) {
    std::string header = "Return-Path: <list@example.jp>\r\nReceived: from mx.example.jp by pop.example.jp; " 
                         "Wed, 9 Dec 2026 10:00:00 +0900\r\nFrom: sender" + std::to_string(n) +
                         "@example.jp\r\nTo: user@example.jp\r\nSubject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= " +
                         std::to_string(n) + "\r\nDate: Wed, 9 Dec 2026 10:00:00 +0900\r\nMessage-ID: <" +
                         std::to_string(n) + "@example.jp>\r\nMIME-Version: 1.0\r\n"
                         "Content-Type: text/plain; charset=ISO-2022-JP\r\n";
    return "+OK\r\n" + header + "\r\n.\r\n";
}

double gLastCpu = 0;  // processor time of the client's thread in the last run

// Seconds for login to quit of a dialog scan (UIDL listing and every header).
double RunOnce(int messages, DWORD latency, int window, bool offer) {
    std::vector<Server::Step> script = {
        Server::Reply("+OK\r\n"), Server::Expect("user u\r\n"), Server::Reply("+OK\r\n"),
        Server::Expect("pass p\r\n"), Server::Reply("+OK\r\n"), Server::Expect("capa\r\n"),
        Server::Reply(offer ? "+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n" : "+OK\r\nUIDL\r\n.\r\n"),
        Server::Expect("list\r\n"),
    };
    std::string list = "+OK\r\n";
    std::string uidl = "+OK\r\n";
    for (int n = 1; n <= messages; ++n) {
        list += std::to_string(n) + " " + std::to_string(1000 + n) + "\r\n";
        uidl += std::to_string(n) + " 000000" + std::to_string(n) + "4f3a1c07\r\n";
    }
    script.push_back(Server::Reply(list + ".\r\n"));
    script.push_back(Server::Expect("uidl\r\n"));
    script.push_back(Server::Reply(uidl + ".\r\n"));
    for (int n = 1; n <= messages; ++n) {
        script.push_back(Server::Expect("top " + std::to_string(n) + " 0\r\n"));
        script.push_back(Server::Reply(Header(n)));
    }
    script.push_back(Server::Expect("quit\r\n"));
    script.push_back(Server::Reply("+OK\r\n"));
    script.push_back(Server::AwaitClose());

    Server server;
    server.SetLatency(latency, latency);
    if (!server.Start(script, 120000)) {
        return -1;
    }
    ScanSetWindowBytes(window);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    double cpuStart = bench::ThreadCpuSeconds();
    bool ok = PopConnect("127.0.0.1", server.Port());
    PopReadResponse(false);
    ok = ok && PopLogin("u", "p");
    bool pipelining = PopCapa();
    PopList();
    ok = ok && ScanMailbox(true, nullptr, pipelining) == ScanOutcome::kComplete;
    PopQuit();
    QueryPerformanceCounter(&end);
    gLastCpu = bench::ThreadCpuSeconds() - cpuStart;
    server.Finish();
    ok = ok && server.Failure().empty() && ScannedUidl(messages) != nullptr;
    ScanRelease();
    PopReleaseBuffers();
    if (!ok) {
        std::printf("  (window %d: failed: %s)\n", window, server.Failure().c_str());
        return -1;
    }
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    ScopedWinsock winsock;
    int messages = argc > 1 ? std::atoi(argv[1]) : 300;
    DWORD latency = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 15;
    std::vector<int> windows;
    for (int i = 3; i < argc; ++i) {
        windows.push_back(std::atoi(argv[i]));
    }
    // Windows named on the command line: the serial run only when 1 is among them.
    bool withSerial = windows.empty();
    if (windows.empty()) {
        windows = {1, 256, 512, 1024, 2048, 4096, 8192, 16384};
    }
    for (int window : windows) {
        withSerial = withSerial || window == 1;
    }
    PopSetReceiveTimeout(30000);
    std::printf("scan of %d messages (UIDL listing + TOP n 0), %lu ms each way\n", messages,
                static_cast<unsigned long>(latency));
    if (withSerial) {
        double serial = RunOnce(messages, latency, 1, false);
        std::printf("  no PIPELINING offered: %8.2f s  (%.2f ms per message)\n", serial, serial * 1000 / messages);
    }
    for (int window : windows) {
        double seconds = RunOnce(messages, latency, window, true);
        std::printf("  window %5d bytes:    %8.2f s  (%.2f ms per message; client thread %.3f ms per message)\n",
                    window, seconds, seconds * 1000 / messages, gLastCpu * 1000 / messages);
    }
    return 0;
}
