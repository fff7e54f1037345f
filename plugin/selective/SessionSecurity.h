#pragma once
// How the selective receive secures its POP3 session, from the account's
// Security setting and port: TLS from the start, STLS (RFC 2595) when the server
// offers it or always, or plain text. Free of <windows.h>: the native tests run it.

#include <cstdint>

// The port of POP3 over TLS from the start (RFC 8314).
constexpr int kPop3sPort = 995;

enum class SessionSecurity {
    kImplicitTls,    // the handshake right after connecting, before the greeting
    kStlsIfOffered,  // STLS when the CAPA before the login lists it, else plain text
    kStlsRequired,   // STLS, or the command ends before anything else is sent
    kPlainText,      // never TLS
};

// security: the value of Key Security (Kirvan.ini [Server]); one it does not know
// counts as automatic: TLS from the start on port 995, else STLS when offered.
SessionSecurity ChooseSessionSecurity(int32_t security, int port);

// True when a CAPA reply (status line, capability lines, end line) is positive and
// lists STLS.
bool CapaOffersStls(const char* reply);
