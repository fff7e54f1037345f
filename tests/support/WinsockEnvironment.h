// Winsock started once for a whole test program, before its first test and
// stopped after its last. Every file that needs sockets calls
// RegisterWinsockEnvironment(); a program made of several such files still
// registers one environment, since the inline function's static is shared.
#pragma once

#include <winsock2.h>

#include <gtest/gtest.h>

class WinsockEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0;
        ASSERT_TRUE(started_) << "WSAStartup failed";
    }
    void TearDown() override {
        if (started_) {
            WSACleanup();
        }
    }

private:
    WSADATA data_ = {};
    bool started_ = false;
};

// Winsock for the life of a program that is not a test (the benchmarks).
class ScopedWinsock {
public:
    ScopedWinsock() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~ScopedWinsock() {
        if (started_) {
            WSACleanup();
        }
    }
    ScopedWinsock(const ScopedWinsock&) = delete;
    ScopedWinsock& operator=(const ScopedWinsock&) = delete;
    bool Started() const { return started_; }

private:
    WSADATA data_ = {};
    bool started_ = false;
};

inline bool RegisterWinsockEnvironment() {
    static const bool registered = (::testing::AddGlobalTestEnvironment(new WinsockEnvironment), true);
    return registered;
}
