#include "SettingsFiles.h"

#include <windows.h>

#include "BoundedText.h"

namespace {

const char kDigestSection[] = "Digest";
const char kServerSection[] = "Server";
const char kPropertySection[] = "Property";

int32_t ReadInt(const char* path, const char* section, const char* key, int32_t fallback) {
    return static_cast<int32_t>(GetPrivateProfileIntA(section, key, fallback, path));
}

// Each writer is false when the system did not write the key (a file that is
// read-only, held open by another program, on a full disk, or a directory).
bool WriteString(const char* path, const char* section, const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

bool WriteSwitch(const char* path, const char* section, const char* key, int32_t value) {
    return WriteString(path, section, key, value != 0 ? "1" : "0");
}

bool WriteNumber(const char* path, const char* section, const char* key, int32_t value) {
    char number[16];
    text::Format(number, sizeof number, "%d", static_cast<int>(value));
    return WriteString(path, section, key, number);
}

bool HasPath(const char* path) {
    return path && path[0] != '\0';
}

}  // namespace

DigestSettings DefaultDigestSettings() {
    DigestSettings settings;
    settings.Divide = 0;
    settings.MultipartMixed = 1;
    settings.MultipartDigest = 1;
    settings.DelType = 0;
    settings.Mark = 0;
    settings.Midoku = 1;
    settings.AskDelete = 1;
    return settings;
}

DigestSettings ReadDigestSettings(const char* pikunoIniPath) {
    DigestSettings settings = DefaultDigestSettings();
    if (!HasPath(pikunoIniPath)) {
        return settings;
    }
    settings.Divide = ReadInt(pikunoIniPath, kDigestSection, "Divide", settings.Divide);
    settings.MultipartMixed = ReadInt(pikunoIniPath, kDigestSection, "MultipartMixed", settings.MultipartMixed);
    settings.MultipartDigest = ReadInt(pikunoIniPath, kDigestSection, "MultipartDigest", settings.MultipartDigest);
    settings.DelType = ReadInt(pikunoIniPath, kDigestSection, "DelType", settings.DelType);
    settings.Midoku = ReadInt(pikunoIniPath, kDigestSection, "Midoku", settings.Midoku);
    settings.Mark = ReadInt(pikunoIniPath, kDigestSection, "Mark", settings.Mark);
    settings.AskDelete = ReadInt(pikunoIniPath, kDigestSection, "AskDelete", settings.AskDelete);
    return settings;
}

bool WriteDigestSettings(const char* pikunoIniPath, const DigestSettings& settings) {
    if (!HasPath(pikunoIniPath)) {
        return false;
    }
    // The first key that fails ends the write: the keys after it would fail alike.
    return WriteSwitch(pikunoIniPath, kDigestSection, "Divide", settings.Divide) &&
           WriteSwitch(pikunoIniPath, kDigestSection, "MultipartMixed", settings.MultipartMixed) &&
           WriteSwitch(pikunoIniPath, kDigestSection, "MultipartDigest", settings.MultipartDigest) &&
           WriteNumber(pikunoIniPath, kDigestSection, "DelType", settings.DelType) &&
           WriteNumber(pikunoIniPath, kDigestSection, "Mark", settings.Mark) &&
           WriteSwitch(pikunoIniPath, kDigestSection, "Midoku", settings.Midoku) &&
           WriteSwitch(pikunoIniPath, kDigestSection, "AskDelete", settings.AskDelete);
}

FilterSettings DefaultFilterSettings(FilterDefaults defaults) {
    FilterSettings settings;
    settings.pass[0] = '\0';
    settings.Security = kSecurityAutomatic;
    settings.CertificateSha256[0] = '\0';
    settings.DoFilter = 0;
    settings.FilterType = 0;
    settings.CheckSize = 0;
    // The sheet offers a useful limit and the safe deletion choice to a new account;
    // the plug-in must not delete anything the user never chose to delete.
    settings.FilterSize = defaults == FilterDefaults::Sheet ? 1000 : 0;
    settings.Delete = defaults == FilterDefaults::Sheet ? 1 : 0;
    return settings;
}

FilterSettings ReadFilterSettings(const char* kirvanIniPath, FilterDefaults defaults) {
    FilterSettings settings = DefaultFilterSettings(defaults);
    if (!HasPath(kirvanIniPath)) {
        return settings;
    }
    GetPrivateProfileStringA(kServerSection, "pass", "", settings.pass, sizeof settings.pass, kirvanIniPath);
    settings.Security = ReadInt(kirvanIniPath, kServerSection, "Security", kSecurityAutomatic);
    if (settings.Security < 0 || settings.Security >= kSecurityModeCount) {
        settings.Security = kSecurityAutomatic;
    }
    // One character more than a fingerprint, so that a longer value is not cut
    // into one that looks right.
    char fingerprint[kFingerprintTextSize + 1];
    GetPrivateProfileStringA(kServerSection, "CertificateSha256", "", fingerprint, sizeof fingerprint, kirvanIniPath);
    if (IsFingerprintText(fingerprint)) {
        text::Copy(settings.CertificateSha256, sizeof settings.CertificateSha256, fingerprint);
    }
    settings.DoFilter = ReadInt(kirvanIniPath, kPropertySection, "DoFilter", settings.DoFilter);
    settings.FilterType = ReadInt(kirvanIniPath, kPropertySection, "FilterType", settings.FilterType);
    settings.CheckSize = ReadInt(kirvanIniPath, kPropertySection, "CheckSize", settings.CheckSize);
    settings.FilterSize = ReadInt(kirvanIniPath, kPropertySection, "FilterSize", settings.FilterSize);
    settings.Delete = ReadInt(kirvanIniPath, kPropertySection, "Delete", settings.Delete);
    return settings;
}

bool WriteFilterSettings(const char* kirvanIniPath, const FilterSettings& settings) {
    if (!HasPath(kirvanIniPath)) {
        return false;
    }
    return WriteString(kirvanIniPath, kServerSection, "pass", settings.pass) &&
           WriteNumber(kirvanIniPath, kServerSection, "Security", settings.Security) &&
           WriteSwitch(kirvanIniPath, kPropertySection, "DoFilter", settings.DoFilter) &&
           WriteNumber(kirvanIniPath, kPropertySection, "FilterType", settings.FilterType) &&
           WriteNumber(kirvanIniPath, kPropertySection, "CheckSize", settings.CheckSize) &&
           WriteNumber(kirvanIniPath, kPropertySection, "FilterSize", settings.FilterSize) &&
           WriteSwitch(kirvanIniPath, kPropertySection, "Delete", settings.Delete);
}

bool WriteTrustedCertificate(const char* kirvanIniPath, const char* fingerprint) {
    if (!HasPath(kirvanIniPath) || !IsFingerprintText(fingerprint)) {
        return false;
    }
    return WriteString(kirvanIniPath, kServerSection, "CertificateSha256", fingerprint);
}

int32_t ReadAccountInt(const char* accountIniPath, const char* key) {
    if (!HasPath(accountIniPath)) {
        return 0;
    }
    return ReadInt(accountIniPath, kPropertySection, key, 0);
}

void ReadAccountString(const char* accountIniPath, const char* key, char* buffer, std::size_t bufferSize) {
    if (!buffer || bufferSize == 0) {
        return;
    }
    buffer[0] = '\0';
    if (!HasPath(accountIniPath)) {
        return;
    }
    GetPrivateProfileStringA(kPropertySection, key, "", buffer, static_cast<DWORD>(bufferSize), accountIniPath);
}

bool BuildAccountFilePathFromMailbox(char* buffer, std::size_t bufferSize, const char* mailboxDir,
                                     const char* accountDirName, const char* fileName) {
    if (text::Format(buffer, bufferSize, "%s%s\\%s", mailboxDir ? mailboxDir : "",
                     accountDirName ? accountDirName : "", fileName ? fileName : "")) {
        return true;
    }
    if (buffer && bufferSize > 0) {
        buffer[0] = '\0';
    }
    return false;
}

bool BuildAccountFilePath(char* buffer, std::size_t bufferSize, const char* accountDir, const char* fileName) {
    if (text::Copy(buffer, bufferSize, accountDir) && text::Append(buffer, bufferSize, fileName)) {
        return true;
    }
    if (buffer && bufferSize > 0) {
        buffer[0] = '\0';
    }
    return false;
}

bool BuildPikunoIniPath(char* buffer, std::size_t bufferSize, const char* mailboxDir) {
    return BuildAccountFilePath(buffer, bufferSize, mailboxDir, "Pikuno.ini");
}
