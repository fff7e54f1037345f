#pragma once
// What the user is told when the session cannot be secured, and the question
// about a server certificate that failed the check. All boxes have the caption
// "Kirvan" and the host window as owner.

#include <windows.h>

#include <string>

#include "CertificateCheck.h"
#include "TlsChannel.h"

// Why the session could not be secured, beyond the channel's own failures.
enum class SecureFailure {
    kHandshake,          // the channel's failure says why
    kStlsNotOffered,     // STLS required, not in CAPA
    kStlsRefused,        // the server answered STLS with -ERR (or nothing)
    kPlainTextAfterStls, // bytes after the +OK to STLS, before the handshake
};

// The text of the box for a failure; port names where a plain-text answer came
// from. handshake and status are read only for kHandshake.
std::string SecureFailureText(SecureFailure failure, TlsFailure handshake, long status, int port);
void ShowSecureFailure(HWND window, SecureFailure failure, TlsFailure handshake, long status, int port);

// The question about a certificate that failed the check: which checks failed,
// the certificate's subject, issuer, validity and SHA-256 fingerprint.
std::string CertificateQuestionText(const CertificateReport& report, const char* serverName);
// Shows it with Yes and No (No is the default); true for Yes: trust exactly
// this certificate for this account from now on.
bool AskToTrustCertificate(HWND window, const CertificateReport& report, const char* serverName);
