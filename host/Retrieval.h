#pragma once
// The host's own mail retrieval for one account, as a POP3 client that may leave mail
// on the server: log in, UIDL, skip every message whose UIDL stands in the account's
// uidl file, RETR the others into the inbox, let the plug-in see each stored mail
// (a result of 1 asks for deletion from the server), then QUIT.
//
// Account.ini, section [Property]: POP3Server, POP3Port (110 when absent or 0),
// Account (user name), NotDelete, and the host's own keys Password (the POP3
// password in plain text), SSL (1: TLS from the start on any port; port 995
// always speaks it), STLS (1: secure a plain connection with STLS after the
// greeting) and TrustedCertificate (the SHA-256 fingerprint of a server
// certificate accepted although it fails the check).

#include <functional>
#include <string>
#include <vector>

#include "MailStore.h"

struct AccountSettings {
    std::string server;
    int port = 110;
    std::string user;
    std::string password;
    int notDelete = 0;
    bool implicitTls = false;  // SSL=1 or port 995
    bool stls = false;
    std::string trustedCertificate;
};

// The port of POP3 over TLS from the start.
constexpr int kPop3sPort = 995;

AccountSettings ReadAccountSettings(const std::string& accountIniPath);

struct RetrievedMail {
    int number = 0;       // message number on the server
    std::string uidl;     // empty when the server has no UIDL command
    std::string entry;    // where it was stored ("Account1\inbox.box\00000003")
    size_t size = 0;
    int filterResult = 0;  // what the plug-in answered
    bool deleted = false;  // DELE accepted
};

struct RetrievalResult {
    bool connected = false;
    bool loggedIn = false;
    bool complete = false;   // every message handled and QUIT answered
    int onServer = 0;
    int skipped = 0;         // already received (UIDL in the uidl file)
    std::vector<RetrievedMail> mails;
    std::string error;       // what went wrong, for the report
    std::string security;    // "" in plain text, else how the session was secured
};

// Called with the full path of each stored mail file; returns the plug-in's answer.
using StoredMailFilter = std::function<int(const std::string& fullPath)>;

// Retrieves the account's mail into account + "\inbox.box". Read timeout per
// answer: timeoutMs.
RetrievalResult RetrieveAccountMail(MailStore& store, const std::string& account,
                                    const StoredMailFilter& filter, int timeoutMs = 30000);
