#include "SystemTlsApi.h"

bool SystemTlsApi::Load() {
    if (Loaded()) {
        return true;
    }
    secur32.Reset(LoadLibraryA("secur32.dll"));
    crypt32.Reset(LoadLibraryA("crypt32.dll"));
    if (!secur32 || !crypt32) {
        return false;
    }
    auto initialise = secur32.Find<INIT_SECURITY_INTERFACE_A>("InitSecurityInterfaceA");
    getCertificateChain = crypt32.Find<decltype(getCertificateChain)>("CertGetCertificateChain");
    verifyChainPolicy = crypt32.Find<decltype(verifyChainPolicy)>("CertVerifyCertificateChainPolicy");
    freeCertificateChain = crypt32.Find<decltype(freeCertificateChain)>("CertFreeCertificateChain");
    freeCertificateContext = crypt32.Find<decltype(freeCertificateContext)>("CertFreeCertificateContext");
    decltype(nameToString) name = crypt32.Find<decltype(nameToString)>("CertNameToStrA");
    PSecurityFunctionTableA table = initialise ? initialise() : nullptr;
    if (!table || !table->AcquireCredentialsHandleA || !table->InitializeSecurityContextA ||
        !table->EncryptMessage || !table->DecryptMessage || !table->QueryContextAttributesA ||
        !table->ApplyControlToken || !table->FreeContextBuffer || !table->FreeCredentialsHandle ||
        !table->DeleteSecurityContext || !getCertificateChain || !verifyChainPolicy ||
        !freeCertificateChain || !freeCertificateContext || !name) {
        return false;
    }
    sspi = table;
    nameToString = name;
    return true;
}
