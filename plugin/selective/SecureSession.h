#pragma once
// The start of the selective receive's POP3 session, up to the moment the
// password may go out: TLS from the start or after STLS, as the account's
// Security setting and port ask (SessionSecurity.h), the server's certificate
// checked, and the greeting read. Nothing but CAPA and STLS is sent before the
// session is secured or known to stay in plain text.

#include <windows.h>

#include "SettingsFiles.h"

// Called right after PopConnect. True when the login may follow. False when the
// session is over: the connection is closed, and a box (owned by window) has
// said why unless the user cancelled. A certificate that fails the check is
// let through when its fingerprint is the account's trusted one, or when the
// user says Yes to the question; Yes stores its fingerprint in kirvanPath.
bool OpenSecuredSession(HWND window, const char* server, int port, const char* kirvanPath,
                        const FilterSettings& settings);
