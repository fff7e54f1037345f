#pragma once
// The system's TLS and certificate functions (secur32's SSPI table, crypt32),
// found at run time: the DLLs must still load where a library or a function is
// missing, and their import tables name only what Windows XP SP3 has. Each user
// loads its own copy; the libraries stay loaded for as long as it lives.

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <security.h>
// The newer credentials structure (TLS 1.3) needs the blacklist names and
// UNICODE_STRING.
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS
#endif
#include <subauth.h>
#include <schannel.h>

#include "WinHandles.h"

struct SystemTlsApi {
    UniqueLibrary secur32;
    UniqueLibrary crypt32;
    PSecurityFunctionTableA sspi = nullptr;

    decltype(&CertGetCertificateChain) getCertificateChain = nullptr;
    decltype(&CertVerifyCertificateChainPolicy) verifyChainPolicy = nullptr;
    decltype(&CertFreeCertificateChain) freeCertificateChain = nullptr;
    decltype(&CertFreeCertificateContext) freeCertificateContext = nullptr;
    decltype(&CertNameToStrA) nameToString = nullptr;

    // Loads both libraries and finds every function; false when anything is missing.
    bool Load();
    bool Loaded() const { return sspi != nullptr && nameToString != nullptr; }
};

// A credentials or context handle of the SSPI table that made it.
struct SspiHandle {
    SecHandle handle;
    PSecurityFunctionTableA sspi;
};
struct CredentialsHandleTraits {
    using Pointer = SspiHandle;
    static Pointer Invalid() noexcept { return {{0, 0}, nullptr}; }
    static bool IsValid(Pointer value) noexcept { return value.sspi != nullptr; }
    static bool Close(Pointer value) noexcept { return value.sspi->FreeCredentialsHandle(&value.handle) == SEC_E_OK; }
};
struct SecurityContextTraits {
    using Pointer = SspiHandle;
    static Pointer Invalid() noexcept { return {{0, 0}, nullptr}; }
    static bool IsValid(Pointer value) noexcept { return value.sspi != nullptr; }
    static bool Close(Pointer value) noexcept { return value.sspi->DeleteSecurityContext(&value.handle) == SEC_E_OK; }
};
using UniqueCredentials = UniqueAny<CredentialsHandleTraits>;
using UniqueSecurityContext = UniqueAny<SecurityContextTraits>;

// A buffer SSPI allocated for the caller (ISC_REQ_ALLOCATE_MEMORY).
struct SspiBuffer {
    void* data;
    PSecurityFunctionTableA sspi;
};
struct SspiBufferTraits {
    using Pointer = SspiBuffer;
    static Pointer Invalid() noexcept { return {nullptr, nullptr}; }
    static bool IsValid(Pointer value) noexcept { return value.data != nullptr && value.sspi != nullptr; }
    static bool Close(Pointer value) noexcept { return value.sspi->FreeContextBuffer(value.data) == SEC_E_OK; }
};
using UniqueSspiBuffer = UniqueAny<SspiBufferTraits>;

// A certificate or a chain, with crypt32's function that frees it.
struct CertificateRef {
    PCCERT_CONTEXT context;
    decltype(&CertFreeCertificateContext) free;
};
struct CertificateTraits {
    using Pointer = CertificateRef;
    static Pointer Invalid() noexcept { return {nullptr, nullptr}; }
    static bool IsValid(Pointer value) noexcept { return value.context != nullptr && value.free != nullptr; }
    static bool Close(Pointer value) noexcept { return value.free(value.context) != FALSE; }
};
using UniqueCertificate = UniqueAny<CertificateTraits>;

struct ChainRef {
    PCCERT_CHAIN_CONTEXT chain;
    decltype(&CertFreeCertificateChain) free;
};
struct ChainTraits {
    using Pointer = ChainRef;
    static Pointer Invalid() noexcept { return {nullptr, nullptr}; }
    static bool IsValid(Pointer value) noexcept { return value.chain != nullptr && value.free != nullptr; }
    static bool Close(Pointer value) noexcept {
        value.free(value.chain);
        return true;
    }
};
using UniqueChain = UniqueAny<ChainTraits>;
