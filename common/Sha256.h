#pragma once
// SHA-256 of a byte string, for the fingerprint of a server's certificate: the
// one the user is shown and the one an account keeps once the user trusts it.
// Windows XP's crypt32 has no SHA-256 of a certificate, so it is computed here.
// Free of <windows.h>: the native tests check it against the standard's vectors.

#include <cstddef>
#include <cstdint>

constexpr std::size_t kSha256Size = 32;
// 64 hexadecimal digits and the terminator.
constexpr std::size_t kFingerprintTextSize = 2 * kSha256Size + 1;

void Sha256(const void* data, std::size_t length, uint8_t digest[kSha256Size]);

// The digest as 64 lower-case hexadecimal digits, NUL-terminated.
void Sha256Hex(const void* data, std::size_t length, char text[kFingerprintTextSize]);

// True when text is exactly 64 hexadecimal digits (either case).
bool IsFingerprintText(const char* text);

// True when both are fingerprint texts naming the same digest (case ignored).
bool SameFingerprint(const char* a, const char* b);
