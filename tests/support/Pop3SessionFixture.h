#pragma once
// The fixture of every test of the plug-in's POP3 session (with a loopback peer
// or a real server): the receive time-out each test runs with, and after it the
// session's socket closed and its buffers, count, time-out, name lookup and
// message pump put back, so that no test sees what an earlier one left. Header
// only: the programs that include it link the session.

#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "Pop3Session.h"

class Pop3SessionFixture : public ::testing::Test {
protected:
    explicit Pop3SessionFixture(DWORD receiveTimeoutMs) : receiveTimeoutMs_(receiveTimeoutMs) {}

    void SetUp() override {
        PopSetReceiveTimeout(receiveTimeoutMs_);
        PopSetHostLookup(nullptr, nullptr);
    }
    void TearDown() override {
        if (gSessionSocket != INVALID_SOCKET) {
            closesocket(gSessionSocket);
            gSessionSocket = INVALID_SOCKET;
        }
        PopReleaseBuffers();
        gMessageCount = 0;
        PopSetReceiveTimeout(0);
        PopSetHostLookup(nullptr, nullptr);
        PopSetMessagePump(nullptr, nullptr);
    }

    // Connects to a server on this machine.
    static bool Connect(int port) { return PopConnect("127.0.0.1", port); }
    static std::string Response() { return gResponseBuffer ? std::string(gResponseBuffer) : std::string("<null>"); }

private:
    DWORD receiveTimeoutMs_;
};
