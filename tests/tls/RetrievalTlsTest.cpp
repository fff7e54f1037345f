// The stand-in host's own retrieval over TLS against the Dovecot of these tests
// (tls-server-setup.sh): implicit TLS, STLS, and the certificate check that ends
// the session before USER, or lets a certificate through that the account trusts
// by its fingerprint. The mails stay on the server (NotDelete=1).

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "FileBytes.h"
#include "MailboxFolder.h"
#include "MailStore.h"
#include "Retrieval.h"
#include "WinsockEnvironment.h"

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string("Z:") + value : std::string();
}

TEST(RetrievalOverTls, ModesAndCertificates) {
    const std::string dir = Setting("PIKUNO_TLS_SERVER");
    const std::string certs = Setting("PIKUNO_TLS_CERTS");
    ASSERT_FALSE(dir.empty() || certs.empty()) << "run through ctest";
    const std::string plainPort = ReadFileBytes(dir + "/port").substr(0, 5);
    const std::string tlsPort = ReadFileBytes(dir + "/tls-port").substr(0, 5);
    const std::string selfsigned = ReadFileBytes(certs + "/selfsigned.sha256").substr(0, 64);
    const std::string other = ReadFileBytes(certs + "/selfsigned2.sha256").substr(0, 64);
    std::map<std::string, std::string> addresses;
    std::istringstream lines(ReadFileBytes(dir + "/tls-addresses"));
    std::string name, address;
    while (lines >> name >> address) {
        addresses[name] = address;
    }

    struct Case {
        std::string server;
        std::string port;
        std::string keys;       // further Account.ini lines
        std::size_t retrieved;  // 3 when the session went through
        const char* security;   // the result's security, or the start of its error
    };
    const Case cases[] = {
        {"localhost", tlsPort, "SSL=1\r\n", 3, "TLS (implicit)"},
        {"localhost", plainPort, "STLS=1\r\n", 3, "TLS (STLS)"},
        {"localhost", plainPort, "", 3, ""},  // plain text as before
        {addresses["selfsigned"], tlsPort, "SSL=1\r\n", 0, "certificate refused: issuer not trusted, name mismatch"},
        {addresses["selfsigned"], tlsPort, "SSL=1\r\nTrustedCertificate=" + selfsigned + "\r\n", 3,
         "TLS (implicit, certificate trusted by fingerprint)"},
        {addresses["selfsigned"], tlsPort, "SSL=1\r\nTrustedCertificate=" + other + "\r\n", 0,
         "certificate refused: issuer not trusted, name mismatch"},
        {addresses["expired"], tlsPort, "SSL=1\r\n", 0, "certificate refused: name mismatch, expired"},
        {"localhost", plainPort, "SSL=1\r\n", 0, "TLS handshake failed (implicit): plain-text peer"},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << " (" << c.server << ":" << c.port << " " << c.keys << ")");
        MailboxFolder box;
        box.AddAccount("Account1", "POP3Server=" + c.server + "\r\nPOP3Port=" + c.port +
                                       "\r\nAccount=pikuno\r\nPassword=pass word\r\nNotDelete=1\r\n" + c.keys);
        MailStore store;
        ASSERT_TRUE(store.Open(box.Path()));
        RetrievalResult result = RetrieveAccountMail(store, "Account1", nullptr, 10000);
        EXPECT_EQ(c.retrieved, result.mails.size()) << result.error;
        if (c.retrieved > 0) {
            EXPECT_EQ(c.security, result.security);
            EXPECT_TRUE(result.loggedIn);
            EXPECT_TRUE(result.complete) << result.error;
            ASSERT_EQ(3u, result.mails.size());
            EXPECT_GT(result.mails[1].size, 300000u) << "the large mail whole";
        } else {
            EXPECT_EQ(0u, result.error.find(c.security)) << result.error;
            EXPECT_FALSE(result.loggedIn);
        }
    }
}

}  // namespace
