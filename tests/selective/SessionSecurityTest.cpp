// Which way a session is secured for each Security value and port, and STLS in
// CAPA replies.

#include "SessionSecurity.h"

#include <gtest/gtest.h>

namespace {

TEST(SessionSecurity, ChosenFromTheSettingAndThePort) {
    struct Case {
        int32_t security;
        int port;
        SessionSecurity chosen;
    };
    const Case cases[] = {
        {0, 995, SessionSecurity::kImplicitTls},   {0, 110, SessionSecurity::kStlsIfOffered},
        {0, 9950, SessionSecurity::kStlsIfOffered}, {1, 110, SessionSecurity::kImplicitTls},
        {1, 995, SessionSecurity::kImplicitTls},   {2, 110, SessionSecurity::kStlsRequired},
        {2, 995, SessionSecurity::kStlsRequired},  {3, 110, SessionSecurity::kPlainText},
        {3, 995, SessionSecurity::kPlainText},     {4, 995, SessionSecurity::kImplicitTls},
        {-1, 110, SessionSecurity::kStlsIfOffered}, {99, 110, SessionSecurity::kStlsIfOffered},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].chosen, ChooseSessionSecurity(cases[i].security, cases[i].port)) << "case " << i;
    }
}

TEST(SessionSecurity, StlsInCapaReplies) {
    struct Case {
        const char* reply;
        bool offered;
    };
    const Case cases[] = {
        {"+OK\r\nTOP\r\nSTLS\r\nUSER\r\n.\r\n", true},
        {"+OK\r\nstls\r\n.\r\n", true},                 // any case
        {"+OK\nSTLS\n.\n", true},                       // bare LF line ends
        {"+OK\r\nSTLS \r\n.\r\n", true},                // a blank behind the name
        {"+OK\r\nTOP\r\nUSER\r\n.\r\n", false},
        {"+OK STLS\r\nUSER\r\n.\r\n", false},           // on the status line, not a capability
        {"+OK\r\nSTLSX\r\n.\r\n", false},               // another name
        {"+OK\r\nX-STLS\r\n.\r\n", false},
        {"+OK\r\nSASL STLS\r\n.\r\n", false},           // a word of another capability
        {"-ERR\r\nSTLS\r\n.\r\n", false},               // refused
        {"", false},
        {nullptr, false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].offered, CapaOffersStls(cases[i].reply)) << "case " << i;
    }
}

}  // namespace
