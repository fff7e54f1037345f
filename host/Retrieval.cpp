#include "Retrieval.h"

#include <windows.h>

#include <cstdlib>

#include "BoundedText.h"
#include "Pop3Client.h"
#include "UidlFile.h"

namespace {

std::string ReadProfileString(const std::string& path, const char* key) {
    char value[1024] = "";
    GetPrivateProfileStringA("Property", key, "", value, sizeof value, path.c_str());
    return value;
}

// The handshake and the certificate check; false (with the error set) when the
// session must end before anything is sent.
bool Secure(Pop3Client& client, const AccountSettings& settings, const char* how, RetrievalResult* result) {
    TlsFailure failure = client.StartTls(settings.server);
    if (failure != TlsFailure::kNone) {
        char status[16];
        text::Format(status, sizeof status, "0x%08lx", static_cast<unsigned long>(client.Tls().Status()));
        result->error = std::string("TLS handshake failed (") + how + "): " + TlsFailureName(failure) + ", status " +
                        status;
        return false;
    }
    CertificateReport report;
    client.CheckCertificate(settings.server, &report);
    if (report.problems != 0 && !SameFingerprint(report.fingerprint, settings.trustedCertificate.c_str())) {
        result->error = "certificate refused: " + CertificateProblemNames(report.problems) + ", subject \"" +
                        report.subject + "\", fingerprint " + report.fingerprint;
        return false;
    }
    result->security = std::string("TLS (") + how + (report.problems ? ", certificate trusted by fingerprint)" : ")");
    return true;
}

struct ServerMessage {
    int number;
    std::string uidl;
};

// "1 abc" lines of a UIDL answer.
std::vector<ServerMessage> ParseUidlList(const std::string& data) {
    std::vector<ServerMessage> messages;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find("\r\n", start);
        if (end == std::string::npos) {
            end = data.size();
        }
        std::string line = data.substr(start, end - start);
        start = end + 2;
        size_t space = line.find(' ');
        int number = std::atoi(line.c_str());
        if (number <= 0) {
            continue;
        }
        ServerMessage message;
        message.number = number;
        if (space != std::string::npos) {
            size_t first = line.find_first_not_of(' ', space);
            size_t last = line.find_last_not_of(' ');
            if (first != std::string::npos) {
                message.uidl = line.substr(first, last - first + 1);
            }
        }
        messages.push_back(message);
    }
    return messages;
}

}  // namespace

AccountSettings ReadAccountSettings(const std::string& accountIniPath) {
    AccountSettings settings;
    settings.server = ReadProfileString(accountIniPath, "POP3Server");
    settings.port = static_cast<int>(GetPrivateProfileIntA("Property", "POP3Port", 0, accountIniPath.c_str()));
    if (settings.port <= 0) {
        settings.port = 110;
    }
    settings.user = ReadProfileString(accountIniPath, "Account");
    settings.password = ReadProfileString(accountIniPath, "Password");
    settings.notDelete = static_cast<int>(GetPrivateProfileIntA("Property", "NotDelete", 0, accountIniPath.c_str()));
    settings.implicitTls = settings.port == kPop3sPort ||
                           GetPrivateProfileIntA("Property", "SSL", 0, accountIniPath.c_str()) != 0;
    settings.stls = !settings.implicitTls && GetPrivateProfileIntA("Property", "STLS", 0, accountIniPath.c_str()) != 0;
    settings.trustedCertificate = ReadProfileString(accountIniPath, "TrustedCertificate");
    return settings;
}

RetrievalResult RetrieveAccountMail(MailStore& store, const std::string& account,
                                    const StoredMailFilter& filter, int timeoutMs) {
    RetrievalResult result;
    std::string accountDir = store.FullPath(account) + "\\";
    AccountSettings settings = ReadAccountSettings(accountDir + "Account.ini");
    std::string inbox = account + "\\inbox.box";
    std::string uidlPath = accountDir + "uidl";
    if (settings.server.empty() || !store.EnsureAccountFolders(account)) {
        result.error = settings.server.empty() ? "no POP3Server" : "no such account";
        return result;
    }

    Pop3Client client;
    std::string status;
    if (!client.Connect(settings.server, settings.port, timeoutMs)) {
        result.error = "cannot connect";
        return result;
    }
    result.connected = true;
    if (settings.implicitTls && !Secure(client, settings, "implicit", &result)) {
        return result;
    }
    if (!client.ReadGreeting(&status)) {
        result.error = "no greeting";
        return result;
    }
    if (settings.stls) {
        if (!client.Command("STLS", &status)) {
            result.error = "STLS refused: " + status;
            client.Command("QUIT", nullptr);
            return result;
        }
        if (!Secure(client, settings, "STLS", &result)) {
            return result;
        }
    }
    if (!client.Command("USER " + settings.user, &status) ||
        !client.Command("PASS " + settings.password, &status)) {
        result.error = "login refused: " + status;
        client.Command("QUIT", nullptr);
        return result;
    }
    result.loggedIn = true;

    std::vector<ServerMessage> messages;
    std::string data;
    bool haveUidl = client.Command("UIDL", &status) && client.ReadMultiLine(&data);
    if (haveUidl) {
        messages = ParseUidlList(data);
    } else if (client.Command("LIST", &status) && client.ReadMultiLine(&data)) {
        messages = ParseUidlList(data);  // "n size": the number is all that is used
        for (ServerMessage& message : messages) {
            message.uidl.clear();
        }
    } else {
        result.error = "neither UIDL nor LIST answered";
        client.Command("QUIT", nullptr);
        return result;
    }
    result.onServer = static_cast<int>(messages.size());

    std::set<std::string> known = ReadUidlFile(uidlPath);
    bool allHandled = true;
    for (const ServerMessage& message : messages) {
        if (!message.uidl.empty() && known.count(message.uidl)) {
            ++result.skipped;
            continue;
        }
        std::string mail;
        if (!client.Command("RETR " + std::to_string(message.number), &status) ||
            !client.ReadMultiLine(&mail)) {
            result.error = "RETR " + std::to_string(message.number) + " failed: " + status;
            allHandled = false;
            break;
        }
        RetrievedMail retrieved;
        retrieved.number = message.number;
        retrieved.uidl = message.uidl;
        retrieved.size = mail.size();
        if (!store.Store(inbox, mail, 0, true, &retrieved.entry)) {
            // Not stored: the message stays on the server and out of uidl.
            result.error = "cannot store message " + std::to_string(message.number);
            allHandled = false;
            break;
        }
        retrieved.filterResult = filter ? filter(store.FullPath(retrieved.entry) + ".qnl") : 0;
        if (retrieved.filterResult == 1 || settings.notDelete == 0) {
            retrieved.deleted = client.Command("DELE " + std::to_string(message.number), &status);
        }
        // Kept or not, a received message is recorded at once, so that a broken
        // connection later never brings it in twice.
        if (settings.notDelete != 0 && !retrieved.uidl.empty()) {
            AppendUidlFile(uidlPath, {retrieved.uidl});
        }
        result.mails.push_back(retrieved);
    }
    bool quit = client.Command("QUIT", &status);
    result.complete = allHandled && quit;
    return result;
}
