#include "SecureSession.h"

#include "Pop3Session.h"
#include "SessionSecurity.h"
#include "TlsMessages.h"

namespace {

// The handshake and the certificate check; false when the session ended.
bool Secure(HWND window, const char* server, int port, const char* kirvanPath, const FilterSettings& settings) {
    TlsFailure failure = PopStartTls(server);
    if (failure != TlsFailure::kNone) {
        if (!PopCancelled()) {
            ShowSecureFailure(window, SecureFailure::kHandshake, failure, PopTlsStatus(), port);
        }
        PopClose();
        return false;
    }
    CertificateReport report;
    PopCheckCertificate(server, &report);
    if (report.problems == 0 || SameFingerprint(report.fingerprint, settings.CertificateSha256)) {
        return true;
    }
    if (AskToTrustCertificate(window, report, server)) {
        WriteTrustedCertificate(kirvanPath, report.fingerprint);
        return true;
    }
    PopClose();
    return false;
}

}  // namespace

bool OpenSecuredSession(HWND window, const char* server, int port, const char* kirvanPath,
                        const FilterSettings& settings) {
    const SessionSecurity security = ChooseSessionSecurity(settings.Security, port);
    if (security == SessionSecurity::kImplicitTls && !Secure(window, server, port, kirvanPath, settings)) {
        return false;
    }
    PopReadResponse(false);  // the greeting; its content does not matter
    if (security != SessionSecurity::kStlsIfOffered && security != SessionSecurity::kStlsRequired) {
        return true;
    }
    // The capabilities before STLS are only asked for it: the scan asks again
    // after the login, inside TLS, and trusts that answer alone.
    PopCapa();
    if (PopReplyCut()) {
        PopClose();  // cancelled, or the server went away: nothing to tell
        return false;
    }
    if (!CapaOffersStls(gResponseBuffer)) {
        if (security == SessionSecurity::kStlsIfOffered) {
            return true;  // plain text, as the server offers nothing else
        }
        ShowSecureFailure(window, SecureFailure::kStlsNotOffered, TlsFailure::kNone, 0, port);
        PopClose();
        return false;
    }
    if (!PopStls()) {
        if (!PopCancelled()) {
            ShowSecureFailure(window, SecureFailure::kStlsRefused, TlsFailure::kNone, 0, port);
        }
        PopClose();
        return false;
    }
    // Bytes behind the +OK came before any protection: someone on the line may
    // have put commands' answers there.
    if (PopHasUnreadBytes()) {
        ShowSecureFailure(window, SecureFailure::kPlainTextAfterStls, TlsFailure::kNone, 0, port);
        PopClose();
        return false;
    }
    return Secure(window, server, port, kirvanPath, settings);
}
