// Adds the tests' CA (a DER file) to the current user's Root store of the Wine
// prefix this program runs in: the prefix of the build's own tests, never the
// machine's store. Run by ctest before the TLS tests (CMakeLists.txt here).
//   trust_test_ca.exe <ca.der>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "FileBytes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_test_ca <ca.der>\n");
        return 2;
    }
    std::string der;
    if (!ReadFileBytes(argv[1], &der) || der.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    if (!CertAddEncodedCertificateToSystemStoreA("ROOT", reinterpret_cast<const BYTE*>(der.data()),
                                                  static_cast<DWORD>(der.size()))) {
        std::fprintf(stderr, "CertAddEncodedCertificateToSystemStoreA failed: %lu\n", GetLastError());
        return 1;
    }
    std::printf("test CA trusted in this prefix (%u bytes)\n", static_cast<unsigned>(der.size()));
    return 0;
}
