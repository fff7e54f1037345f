#include "SessionSecurity.h"

#include <cstring>

#include "BoundedText.h"

SessionSecurity ChooseSessionSecurity(int32_t security, int port) {
    switch (security) {
    case 1:
        return SessionSecurity::kImplicitTls;
    case 2:
        return SessionSecurity::kStlsRequired;
    case 3:
        return SessionSecurity::kPlainText;
    default:
        return port == kPop3sPort ? SessionSecurity::kImplicitTls : SessionSecurity::kStlsIfOffered;
    }
}

bool CapaOffersStls(const char* reply) {
    if (!reply || reply[0] != '+') {
        return false;
    }
    // Each capability line starts with its name: "STLS" alone, in any case.
    for (const char* line = std::strchr(reply, '\n'); line; line = std::strchr(line, '\n')) {
        ++line;
        std::size_t length = std::strcspn(line, " \t\r\n");
        if (length == 4 && text::EqualsNoCaseN(line, "STLS", 4)) {
            return true;
        }
    }
    return false;
}
