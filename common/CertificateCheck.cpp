#include "CertificateCheck.h"

#include <cwchar>
#include <vector>

#include "BoundedText.h"

namespace {

// The SSL policy's own flags (wininet.h names them SECURITY_FLAG_*): which checks
// the second call leaves out, so that it answers for the name alone.
constexpr DWORD kIgnoreRevocation = 0x00000080;
constexpr DWORD kIgnoreUnknownCa = 0x00000100;
constexpr DWORD kIgnoreWrongUsage = 0x00000200;
constexpr DWORD kIgnoreDateInvalid = 0x00002000;

std::string NameText(const SystemTlsApi& api, const CERT_NAME_BLOB* name) {
    DWORD size = api.nameToString(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(name), CERT_X500_NAME_STR, nullptr, 0);
    if (size <= 1) {
        return std::string();
    }
    std::vector<char> text(size);
    api.nameToString(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(name), CERT_X500_NAME_STR, text.data(), size);
    return std::string(text.data());
}

std::string TimeText(const FILETIME& time) {
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &parts)) {
        return std::string();
    }
    char text[32];
    text::Format(text, sizeof text, "%04u/%02u/%02u %02u:%02u", parts.wYear, parts.wMonth, parts.wDay, parts.wHour,
                 parts.wMinute);
    return text;
}

DWORD PolicyError(const SystemTlsApi& api, PCCERT_CHAIN_CONTEXT chain, const std::wstring& name, DWORD ignored) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = ignored;
    ssl.pwszServerName = const_cast<wchar_t*>(name.c_str());
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    if (ignored != 0) {
        policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_NOT_TIME_VALID_FLAGS |
                         CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG | CERT_CHAIN_POLICY_IGNORE_WRONG_USAGE_FLAG |
                         CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    }
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    if (!api.verifyChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) {
        return static_cast<DWORD>(CERT_E_CHAINING);
    }
    return status.dwError;
}

}  // namespace

std::string CertificateProblemNames(unsigned problems) {
    static const struct {
        unsigned bit;
        const char* name;
    } kNames[] = {{kCertIssuerNotTrusted, "issuer not trusted"}, {kCertNameMismatch, "name mismatch"},
                  {kCertTimeInvalid, "expired or not yet valid"}, {kCertRevoked, "revoked"},
                  {kCertRevocationUnknown, "revocation unknown"}, {kCertOtherFault, "other fault"}};
    std::string names;
    for (const auto& entry : kNames) {
        if (problems & entry.bit) {
            names += names.empty() ? "" : ", ";
            names += entry.name;
        }
    }
    return names.empty() ? "none" : names;
}

unsigned ClassifyCertificateErrors(DWORD chainErrors, DWORD policyError) {
    unsigned problems = 0;
    const DWORD issuerBits = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC |
                             CERT_TRUST_IS_EXPLICIT_DISTRUST;
    const DWORD timeBits = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED;
    const DWORD revocationUnknownBits = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    if (chainErrors & issuerBits) {
        problems |= kCertIssuerNotTrusted;
    }
    if (chainErrors & timeBits) {
        problems |= kCertTimeInvalid;
    }
    if (chainErrors & CERT_TRUST_IS_REVOKED) {
        problems |= kCertRevoked;
    }
    if (chainErrors & revocationUnknownBits) {
        problems |= kCertRevocationUnknown;
    }
    if (chainErrors & ~(issuerBits | timeBits | CERT_TRUST_IS_REVOKED | revocationUnknownBits)) {
        problems |= kCertOtherFault;
    }
    switch (static_cast<HRESULT>(policyError)) {
    case S_OK:
        break;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_UNTRUSTEDCA:
    case CERT_E_CHAINING:
    case CERT_E_UNTRUSTEDTESTROOT:
        problems |= kCertIssuerNotTrusted;
        break;
    case CERT_E_CN_NO_MATCH:
        problems |= kCertNameMismatch;
        break;
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING:
        problems |= kCertTimeInvalid;
        break;
    case CRYPT_E_REVOKED:
        problems |= kCertRevoked;
        break;
    case CRYPT_E_NO_REVOCATION_CHECK:
    case CRYPT_E_REVOCATION_OFFLINE:
        problems |= kCertRevocationUnknown;
        break;
    default:
        problems |= kCertOtherFault;
        break;
    }
    return problems;
}

bool CheckServerCertificate(const SystemTlsApi& api, PCCERT_CONTEXT certificate, const char* serverName,
                            CertificateReport* report) {
    *report = CertificateReport();
    if (!api.Loaded() || !certificate || !certificate->pCertInfo) {
        report->problems = kCertOtherFault;
        return false;
    }
    Sha256Hex(certificate->pbCertEncoded, certificate->cbCertEncoded, report->fingerprint);
    report->subject = NameText(api, &certificate->pCertInfo->Subject);
    report->issuer = NameText(api, &certificate->pCertInfo->Issuer);
    report->validFrom = TimeText(certificate->pCertInfo->NotBefore);
    report->validTo = TimeText(certificate->pCertInfo->NotAfter);

    // For server authentication; no revocation flags, so that nothing is fetched.
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT made = nullptr;
    if (!api.getCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0, nullptr, &made) ||
        !made) {
        report->problems = kCertOtherFault;
        return false;
    }
    UniqueChain chain({made, api.freeCertificateChain});

    int wideLength = MultiByteToWideChar(CP_ACP, 0, serverName ? serverName : "", -1, nullptr, 0);
    std::wstring name(static_cast<std::size_t>(wideLength > 0 ? wideLength : 1), L'\0');
    if (wideLength > 0) {
        MultiByteToWideChar(CP_ACP, 0, serverName ? serverName : "", -1, &name[0], wideLength);
    }
    name.resize(std::wcslen(name.c_str()));

    report->chainErrors = made->TrustStatus.dwErrorStatus;
    report->policyError = PolicyError(api, made, name, 0);
    report->problems = ClassifyCertificateErrors(report->chainErrors, report->policyError);
    // The policy stops at its first error: the name is asked for on its own, so
    // that a wrong name is reported also beside an untrusted issuer.
    DWORD nameError =
        PolicyError(api, made, name, kIgnoreRevocation | kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreDateInvalid);
    if (static_cast<HRESULT>(nameError) == CERT_E_CN_NO_MATCH) {
        report->problems |= kCertNameMismatch;
    }
    return true;
}
