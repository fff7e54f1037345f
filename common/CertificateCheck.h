#pragma once
// The check of a server's certificate before anything secret is sent: the
// chain built for server authentication without any online revocation check (an
// offline machine must still work; revocation counts only where the system
// already knows it), the system's SSL policy with the server's name, and every
// error bit of the chain's trust status as a failure too (the policy alone lets a
// chain through that ends in an untrusted certificate when the server sent no
// issuer). What failed is classified for the user, with what identifies the
// certificate.

#include <string>

#include "Sha256.h"
#include "SystemTlsApi.h"

// Bits of CertificateReport::problems.
enum CertificateProblem : unsigned {
    kCertIssuerNotTrusted = 1u << 0,   // unknown or untrusted root, incomplete chain, self-signed
    kCertNameMismatch = 1u << 1,       // the certificate is not for the server's name
    kCertTimeInvalid = 1u << 2,        // expired or not yet valid
    kCertRevoked = 1u << 3,            // revoked, as the system already knows
    kCertRevocationUnknown = 1u << 4,  // the system says it could not tell
    kCertOtherFault = 1u << 5,         // a bad signature, the wrong usage, anything else
};

struct CertificateReport {
    unsigned problems = 0;  // 0: the certificate passed
    std::string subject;    // X.500 names as the system writes them ("CN=localhost, O=...")
    std::string issuer;
    std::string validFrom;  // local time, "2026/12/10 09:30"
    std::string validTo;
    char fingerprint[kFingerprintTextSize] = {};  // SHA-256 of the encoded certificate
    DWORD chainErrors = 0;  // TrustStatus.dwErrorStatus of the chain
    DWORD policyError = 0;  // the SSL policy's dwError
};

// Checks certificate for serverName. False only when the check itself could not
// run (no chain could be built); the report then names kCertOtherFault.
bool CheckServerCertificate(const SystemTlsApi& api, PCCERT_CONTEXT certificate, const char* serverName,
                            CertificateReport* report);

// The problems in English words for logs and reports: "issuer not trusted, name
// mismatch"; "none" for 0.
std::string CertificateProblemNames(unsigned problems);

// Which problems the chain's error bits and the policy's error stand for.
// Exposed for the table of the test.
unsigned ClassifyCertificateErrors(DWORD chainErrors, DWORD policyError);
