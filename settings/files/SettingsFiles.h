#pragma once
// The settings files, for both libraries: Pikuno.ini (mailbox directory, section
// [Digest]), Kirvan.ini (each account directory, [Server] and [Property]) and the
// keys of the host's Account.ini that the system reads. Only the profile functions
// touch these files.

#include <cstddef>
#include <cstdint>

#include "Sha256.h"

// Section [Digest] of Pikuno.ini, in key order.
struct DigestSettings {
    int32_t Divide;
    int32_t MultipartMixed;
    int32_t MultipartDigest;
    int32_t DelType;
    int32_t Mark;
    int32_t Midoku;
    int32_t AskDelete;
};

// The longest password a reader takes (the writer writes it whole).
constexpr std::size_t kPasswordBufferSize = 128;

// How the plug-in's POP3 session is secured: key Security of [Server]. A missing
// or unknown value reads as kSecurityAutomatic.
enum SecurityMode : int32_t {
    kSecurityAutomatic = 0,  // TLS from the start on port 995, else STLS when offered, else plain text
    kSecurityImplicitTls = 1,  // TLS from the start on any port
    kSecurityStlsRequired = 2,  // STLS, or the command ends
    kSecurityPlainText = 3,     // never TLS
};
constexpr int32_t kSecurityModeCount = 4;

// Kirvan.ini of one account.
struct FilterSettings {
    char pass[kPasswordBufferSize];  // [Server]
    int32_t Security;                // [Server], 0..3 as read
    // [Server] CertificateSha256: the fingerprint of the one server certificate the
    // user trusts for this account although it failed the check; "" when none.
    // Read by both; written only by WriteTrustedCertificate.
    char CertificateSha256[kFingerprintTextSize];
    int32_t DoFilter;                // [Property] from here on
    int32_t FilterType;
    int32_t CheckSize;
    int32_t FilterSize;
    int32_t Delete;
};

// The two readers of Kirvan.ini differ in two defaults (FilterSize, Delete):
// every read names whose defaults it wants.
enum class FilterDefaults { Sheet, Plugin };

// Readers return numbers as they stand in the file, negative ones included
// (GetPrivateProfileIntA reads the sign): the pages show a value outside a group's
// range as "nothing chosen", and each user of a value decides what a negative one
// means for it. A missing file, section or key yields the default.

DigestSettings DefaultDigestSettings();
DigestSettings ReadDigestSettings(const char* pikunoIniPath);
// Writes all seven keys in key order: switches "1"/"0", DelType and Mark "%d".
// False when a key could not be written (the keys after it are not tried) or there
// is no path; the keys before it may then be in the file.
bool WriteDigestSettings(const char* pikunoIniPath, const DigestSettings& settings);

FilterSettings DefaultFilterSettings(FilterDefaults defaults);
FilterSettings ReadFilterSettings(const char* kirvanIniPath, FilterDefaults defaults);
// Writes [Server] pass and Security, then [Property] DoFilter, FilterType,
// CheckSize, FilterSize, Delete, so that a new file lists [Server] first. False as
// for the digest keys. The trusted certificate is left as it stands.
bool WriteFilterSettings(const char* kirvanIniPath, const FilterSettings& settings);
// Writes [Server] CertificateSha256 (a fingerprint text; anything else is refused).
bool WriteTrustedCertificate(const char* kirvanIniPath, const char* fingerprint);

// Keys of the host's Account.ini, section [Property]. Strings are cut to the
// buffer size less one: Title, RASProvider and POP3Server take 1023 bytes,
// Account 127.
constexpr std::size_t kAccountLongValueBufferSize = 1024;
constexpr std::size_t kAccountNameBufferSize = 128;
int32_t ReadAccountInt(const char* accountIniPath, const char* key);  // default 0
void ReadAccountString(const char* accountIniPath, const char* key, char* buffer,
                       std::size_t bufferSize);  // default ""

// Paths, into buffers of kPathBufferSize (260) bytes. A path that does not fit is
// refused: the buffer is left empty and the result is false, because a cut path
// would name another file. Callers then neither read nor write.
// Settings library: mailbox directory + account directory name + "\" + file name.
bool BuildAccountFilePathFromMailbox(char* buffer, std::size_t bufferSize, const char* mailboxDir,
                                     const char* accountDirName, const char* fileName);
// Plug-in: account directory (ends in a backslash) + file name.
bool BuildAccountFilePath(char* buffer, std::size_t bufferSize, const char* accountDir,
                          const char* fileName);
// Both: mailbox directory (ends in a backslash) + "Pikuno.ini".
bool BuildPikunoIniPath(char* buffer, std::size_t bufferSize, const char* mailboxDir);
