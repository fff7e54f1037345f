// Figures for the LIST of a large mailbox (100,000 messages): the parse alone,
// a whole PopList over loopback, and what the reply buffer's growth costs.
// Run: tools/bench.sh, or build/x86_64/wine-run.sh build/x86_64/bin/bench_pop3.exe

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchClock.h"
#include "Pop3Reply.h"
#include "LoopbackPop3Peer.h"
#include "WinsockEnvironment.h"
#include "Pop3Session.h"

namespace {

const int32_t kMessages = 100000;

std::string ListReply() {
    std::string reply = "+OK " + std::to_string(kMessages) + " messages:\r\n";
    for (int32_t n = 1; n <= kMessages; ++n) {
        reply += std::to_string(n) + " " + std::to_string(1000 + (n * 7919) % 3000000) + "\r\n";
    }
    return reply + ".\r\n";
}

bool CheckSizes(const int32_t* sizes, int32_t count) {
    if (count != kMessages || !sizes) {
        return false;
    }
    for (int32_t n = 1; n <= kMessages; ++n) {
        if (sizes[n - 1] != 1000 + (n * 7919) % 3000000) {
            return false;
        }
    }
    return true;
}

void BenchParse(const std::string& reply) {
    const int rounds = 20;
    double best = 1e30;
    double total = 0;
    bool right = true;
    for (int r = 0; r < rounds; ++r) {
        int32_t* sizes = nullptr;
        double start = bench::WallSeconds() * 1000.0;
        int32_t count = pop3::ParseSizeListing(reply.c_str(), &sizes);
        double elapsed = bench::WallSeconds() * 1000.0 - start;
        right = right && CheckSizes(sizes, count);
        std::free(sizes);
        total += elapsed;
        if (elapsed < best) {
            best = elapsed;
        }
    }
    std::printf("parse of the listing (%d messages, %.2f MB): best %.2f ms, mean %.2f ms over %d rounds%s\n",
                static_cast<int>(kMessages), reply.size() / 1048576.0, best, total / rounds, rounds,
                right ? "" : "  WRONG RESULT");
}

void BenchSession(const std::string& reply) {
    const int rounds = 5;
    double best = 1e30;
    bool right = true;
    for (int r = 0; r < rounds; ++r) {
        LoopbackPop3Peer server;
        if (!server.Start({LoopbackPop3Peer::Reply("+OK\r\n"), LoopbackPop3Peer::Expect("list\r\n"),
                           LoopbackPop3Peer::Reply(reply), LoopbackPop3Peer::Expect("quit\r\n"),
                           LoopbackPop3Peer::Reply("+OK\r\n")})) {
            std::printf("no loopback server\n");
            return;
        }
        if (!PopConnect("127.0.0.1", server.Port())) {
            std::printf("no connection\n");
            return;
        }
        PopReadResponse(false);
        double start = bench::WallSeconds() * 1000.0;
        int32_t count = PopList();
        double elapsed = bench::WallSeconds() * 1000.0 - start;
        right = right && CheckSizes(gSizeTable, count);
        PopQuit();
        PopReleaseBuffers();
        server.Finish();
        if (elapsed < best) {
            best = elapsed;
        }
    }
    std::printf("PopList over loopback (send, read, parse): best %.2f ms of %d%s\n", best, rounds,
                right ? "" : "  WRONG RESULT");
}

// The cost of the growth rule alone: reallocation and copying while a reply of
// this length fills the buffer, doubling versus adding 256 bytes each time.
void BenchGrowth(std::size_t length) {
    struct Rule {
        const char* name;
        bool geometric;
    } rules[] = {{"doubling", true}, {"+256 bytes", false}};
    for (const Rule& rule : rules) {
        double start = bench::WallSeconds() * 1000.0;
        std::size_t capacity = pop3::kReplyInitialCapacity;
        char* buffer = static_cast<char*>(std::malloc(capacity));
        std::memset(buffer, 'x', capacity - 1);
        std::size_t received = capacity - 1;
        unsigned long growths = 0;
        unsigned long long copied = 0;
        while (received < length) {
            std::size_t grown = rule.geometric ? pop3::GrowReplyCapacity(capacity) : received + 256;
            // A fresh block and a copy each time, so that neither rule profits from
            // realloc growing in place.
            char* bigger = static_cast<char*>(std::malloc(grown));
            std::memcpy(bigger, buffer, received);
            std::free(buffer);
            buffer = bigger;
            copied += received;
            ++growths;
            std::memset(buffer + received, 'x', grown - 1 - received);
            capacity = grown;
            received = capacity - 1;
        }
        std::free(buffer);
        std::printf("growth to %.2f MB by %-10s: %lu growths, %.1f MB copied, %.1f ms\n", length / 1048576.0,
                    rule.name, growths, copied / 1048576.0, bench::WallSeconds() * 1000.0 - start);
    }
}

}  // namespace

int main() {
    ScopedWinsock winsock;
    if (!winsock.Started()) {
        std::printf("WSAStartup failed\n");
        return 1;
    }
    std::string reply = ListReply();
    BenchParse(reply);
    BenchSession(reply);
    BenchGrowth(reply.size());
    return 0;
}
