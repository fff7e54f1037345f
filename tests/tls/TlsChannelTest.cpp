// The TLS channel and the certificate check against a real Dovecot with
// ssl = required (tls-server-setup.sh): implicit TLS on one port, with one of the
// test certificates on each loopback address, and STLS on the other; the test CA
// is trusted in this build's own Wine prefix only (trust_test_ca).

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "CertificateCheck.h"
#include "FileBytes.h"
#include "TlsChannel.h"
#include "WinHandles.h"
#include "WinsockEnvironment.h"

namespace {

const bool gWinsock = RegisterWinsockEnvironment();

// A blocking socket with a receive time-out: -1 for a failure or the time-out.
class SocketTransport : public TlsTransport {
public:
    bool Connect(const char* address, int port, DWORD timeoutMs) {
        socket_.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (!socket_) {
            return false;
        }
        setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                   sizeof timeoutMs);
        sockaddr_in peer = {};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(static_cast<u_short>(port));
        peer.sin_addr.s_addr = inet_addr(address);
        return connect(socket_.Get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
    }
    bool SendAll(const char* bytes, std::size_t length) override {
        while (length > 0) {
            int sent = send(socket_.Get(), bytes, static_cast<int>(length), 0);
            if (sent <= 0) {
                return false;
            }
            bytes += sent;
            length -= static_cast<std::size_t>(sent);
        }
        return true;
    }
    int ReceiveSome(char* data, std::size_t room) override {
        ++receives_;
        int got = recv(socket_.Get(), data, static_cast<int>(room), 0);
        return got >= 0 ? got : -1;
    }
    // Plain text over the socket itself (before STLS).
    std::string ReadPlainLine() {
        std::string line;
        char c;
        while (recv(socket_.Get(), &c, 1, 0) == 1) {
            line += c;
            if (c == '\n') {
                break;
            }
        }
        return line;
    }
    int receives_ = 0;

private:
    UniqueSocket socket_;
};

// Lines and multi-line replies read through the channel with a given room per
// Receive, so that records are handed out in pieces.
class ChannelReader {
public:
    ChannelReader(TlsChannel* channel, std::size_t room) : channel_(channel), room_(room) {}
    // Reads until text ends with terminator; false when the channel ended first.
    bool ReadUntil(const char* terminator, std::string* text) {
        std::string piece(room_, '\0');
        const std::size_t length = std::strlen(terminator);
        std::size_t from = 0;
        for (;;) {
            std::size_t end = pending_.find(terminator, from);
            if (end != std::string::npos) {
                *text = pending_.substr(0, end + length);
                pending_.erase(0, end + length);
                return true;
            }
            int got = channel_->Receive(&piece[0], piece.size());
            if (got <= 0) {
                return false;
            }
            EXPECT_LE(static_cast<std::size_t>(got), room_);
            from = pending_.size() >= length ? pending_.size() - length + 1 : 0;
            pending_.append(piece.data(), static_cast<std::size_t>(got));
        }
    }
    std::string Command(const std::string& command, bool multiLine = false) {
        std::string wire = command + "\r\n";
        std::string reply;
        if (!channel_->Send(wire.data(), wire.size()) || !ReadUntil("\r\n", &reply)) {
            return "(no reply)";
        }
        if (multiLine && reply.compare(0, 3, "+OK") == 0) {
            std::string rest;
            // The end line of a reply that is only "+OK\r\n.\r\n" follows directly.
            if (!ReadUntil("\r\n.\r\n", &rest) && rest.empty()) {
                return "(cut)";
            }
            reply += rest;
        }
        return reply;
    }

private:
    TlsChannel* channel_;
    std::size_t room_;
    std::string pending_;
};

class TlsChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("PIKUNO_TLS_SERVER");
        const char* certs = std::getenv("PIKUNO_TLS_CERTS");
        ASSERT_TRUE(dir && certs) << "PIKUNO_TLS_SERVER and PIKUNO_TLS_CERTS are not set: run through ctest";
        dir_ = std::string("Z:") + dir;
        certs_ = std::string("Z:") + certs;
        std::string text;
        ASSERT_TRUE(ReadFileBytes(dir_ + "/port", &text));
        plainPort_ = std::atoi(text.c_str());
        ASSERT_TRUE(ReadFileBytes(dir_ + "/tls-port", &text));
        tlsPort_ = std::atoi(text.c_str());
        ASSERT_TRUE(ReadFileBytes(dir_ + "/tls-addresses", &text));
        std::istringstream lines(text);
        std::string name, address;
        while (lines >> name >> address) {
            addresses_[name] = address;
        }
        ASSERT_EQ(6u, addresses_.size());
    }

    std::string Fingerprint(const std::string& name) {
        std::string text = ReadFileBytes(certs_ + "/" + name + ".sha256");
        return text.substr(0, 64);
    }

    std::string dir_;
    std::string certs_;
    int plainPort_ = 0;
    int tlsPort_ = 0;
    std::map<std::string, std::string> addresses_;
};

TEST_F(TlsChannelTest, CertificateCasesAreClassified) {
    struct Case {
        const char* certificate;  // which address of the implicit-TLS port
        const char* serverName;   // the name the client asks for and checks
        unsigned problems;
        const char* subjectPart;
    };
    const Case cases[] = {
        {"good", "localhost", 0, "CN=localhost"},
        {"good", "LOCALHOST", 0, "CN=localhost"},  // names match without regard to case
        {"othername", "localhost", kCertNameMismatch, "CN=mail.example.org"},
        {"expired", "localhost", kCertTimeInvalid, "localhost (expired)"},
        {"selfsigned", "localhost", kCertIssuerNotTrusted, "localhost (selfsigned)"},
        {"untrusted", "localhost", kCertIssuerNotTrusted, "CN=localhost"},
        // A certificate for a name is not one for the server's address.
        {"good", "127.0.0.1", kCertNameMismatch, "CN=localhost"},
        {"selfsigned", "example.org", kCertIssuerNotTrusted | kCertNameMismatch, "localhost (selfsigned)"},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << " (" << c.certificate << ", " << c.serverName << ")");
        SocketTransport transport;
        ASSERT_TRUE(transport.Connect(addresses_[c.certificate].c_str(), tlsPort_, 10000));
        TlsChannel channel;
        ASSERT_EQ(TlsFailure::kNone, channel.Handshake(&transport, c.serverName, 10000))
            << std::hex << channel.Status();
        UniqueCertificate certificate = channel.ServerCertificate();
        ASSERT_TRUE(certificate.IsValid());
        CertificateReport report;
        ASSERT_TRUE(CheckServerCertificate(*channel.Api(), certificate.Get().context, c.serverName, &report));
        EXPECT_EQ(c.problems, report.problems)
            << std::hex << "chain 0x" << report.chainErrors << ", policy 0x" << report.policyError;
        EXPECT_EQ(Fingerprint(c.certificate), report.fingerprint);
        EXPECT_NE(std::string::npos, report.subject.find(c.subjectPart)) << report.subject;
        EXPECT_NE(std::string::npos, report.issuer.find("O=Pikuno tests")) << report.issuer;
        EXPECT_EQ(16u, report.validFrom.size()) << report.validFrom;
        EXPECT_EQ(16u, report.validTo.size()) << report.validTo;
        // The greeting was in the handshake's last receive: it is read without waiting.
        ChannelReader reader(&channel, 4096);
        std::string greeting;
        ASSERT_TRUE(reader.ReadUntil("\r\n", &greeting));
        EXPECT_EQ(0u, greeting.find("+OK")) << greeting;
        EXPECT_EQ(0u, reader.Command("QUIT").find("+OK"));
    }
}

TEST_F(TlsChannelTest, ExpiredCertificateShowsItsPastValidity) {
    SocketTransport transport;
    ASSERT_TRUE(transport.Connect(addresses_["expired"].c_str(), tlsPort_, 10000));
    TlsChannel channel;
    ASSERT_EQ(TlsFailure::kNone, channel.Handshake(&transport, "localhost", 10000));
    UniqueCertificate certificate = channel.ServerCertificate();
    CertificateReport report;
    ASSERT_TRUE(CheckServerCertificate(*channel.Api(), certificate.Get().context, "localhost", &report));
    // 2020-01-01 00:00 to 2021-01-01 00:00 UTC, shown in local time (a day either side at most).
    EXPECT_TRUE(report.validFrom.compare(0, 10, "2020/01/01") == 0 || report.validFrom.compare(0, 10, "2019/12/31") == 0)
        << report.validFrom;
    EXPECT_TRUE(report.validTo.compare(0, 10, "2021/01/01") == 0 || report.validTo.compare(0, 10, "2020/12/31") == 0)
        << report.validTo;
}

// A large reply through the channel arrives byte for byte as the server sent it,
// however little room each Receive is given.
TEST_F(TlsChannelTest, LargeRetrievalSurvivesAnyReceiveRoom) {
    std::string expected = ReadFileBytes(dir_ + "/expected.txt");
    std::istringstream lines(expected);
    int number = 0;
    std::size_t size = 0;
    std::string uidl;
    std::map<int, std::size_t> sizes;
    while (lines >> number >> size >> uidl) {
        sizes[number] = size;
    }
    ASSERT_EQ(3u, sizes.size());
    const std::size_t rooms[] = {1, 7, 1000, 65536};
    for (std::size_t i = 0; i < sizeof rooms / sizeof rooms[0]; ++i) {
        SCOPED_TRACE(testing::Message() << "case " << i << ", room " << rooms[i]);
        SocketTransport transport;
        ASSERT_TRUE(transport.Connect("127.0.0.1", tlsPort_, 10000));
        TlsChannel channel;
        ASSERT_EQ(TlsFailure::kNone, channel.Handshake(&transport, "localhost", 10000));
        ChannelReader reader(&channel, rooms[i]);
        std::string line;
        ASSERT_TRUE(reader.ReadUntil("\r\n", &line));
        ASSERT_EQ(0u, reader.Command("USER pikuno").find("+OK"));
        ASSERT_EQ(0u, reader.Command("PASS pass word").find("+OK"));
        std::string mail = reader.Command("RETR 2", true);
        std::size_t status = mail.find("\r\n") + 2;
        // The body as sent: the size LIST gives, plus the end line.
        EXPECT_EQ(sizes[2] + 3, mail.size() - status);
        EXPECT_NE(std::string::npos, mail.find("line 06000 of a large body"));
        EXPECT_EQ(0u, reader.Command("QUIT").find("+OK"));
    }
}

// STLS on the plain port: the capabilities before it offer STLS, the handshake
// follows the +OK, and the server answers over TLS.
TEST_F(TlsChannelTest, StlsUpgradesThePlainPort) {
    SocketTransport transport;
    ASSERT_TRUE(transport.Connect("127.0.0.1", plainPort_, 10000));
    EXPECT_EQ(0u, transport.ReadPlainLine().find("+OK"));
    const char capa[] = "CAPA\r\n";
    ASSERT_TRUE(transport.SendAll(capa, sizeof capa - 1));
    std::string capabilities;
    for (std::string line = transport.ReadPlainLine(); !line.empty() && line != ".\r\n";
         line = transport.ReadPlainLine()) {
        capabilities += line;
    }
    EXPECT_NE(std::string::npos, capabilities.find("STLS")) << capabilities;
    const char stls[] = "STLS\r\n";
    ASSERT_TRUE(transport.SendAll(stls, sizeof stls - 1));
    EXPECT_EQ(0u, transport.ReadPlainLine().find("+OK"));
    TlsChannel channel;
    ASSERT_EQ(TlsFailure::kNone, channel.Handshake(&transport, "localhost", 10000)) << std::hex << channel.Status();
    ChannelReader reader(&channel, 4096);
    std::string after = reader.Command("CAPA", true);
    EXPECT_EQ(0u, after.find("+OK")) << after;
    EXPECT_EQ(std::string::npos, after.find("STLS")) << "offered again inside TLS: " << after;
    EXPECT_EQ(0u, reader.Command("USER pikuno").find("+OK"));
    EXPECT_EQ(0u, reader.Command("PASS pass word").find("+OK"));
    EXPECT_EQ(0u, reader.Command("QUIT").find("+OK"));
    // The server's close_notify (or its hang-up) ends the channel: no more text.
    char rest[16];
    EXPECT_EQ(0, channel.Receive(rest, sizeof rest));
    EXPECT_EQ(0, channel.Receive(rest, sizeof rest)) << "and stays ended";
}

// Peers that are no TLS server: one that greets in plain text is known by its
// first byte, one that says nothing ends at the handshake's time-out, one that
// hangs up ends at once.
TEST_F(TlsChannelTest, PeersThatSpeakNoTlsEndTheHandshake) {
    SocketTransport plain;
    ASSERT_TRUE(plain.Connect("127.0.0.1", plainPort_, 60000));
    TlsChannel first;
    EXPECT_EQ(TlsFailure::kPlainTextPeer, first.Handshake(&plain, "localhost", 60000));
    EXPECT_EQ(1, plain.receives_) << "the plain greeting is recognised in the first receive";

    // A listening socket that accepts and never answers.
    UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(0, bind(listener.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local));
    ASSERT_EQ(0, listen(listener.Get(), 1));
    int length = sizeof local;
    getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&local), &length);
    SocketTransport silent;
    ASSERT_TRUE(silent.Connect("127.0.0.1", ntohs(local.sin_port), 300));
    TlsChannel second;
    EXPECT_EQ(TlsFailure::kTransport, second.Handshake(&silent, "localhost", 300));
    EXPECT_EQ(-1, second.TransportResult());

    UniqueSocket accepted(accept(listener.Get(), nullptr, nullptr));
    SocketTransport closing;
    ASSERT_TRUE(closing.Connect("127.0.0.1", ntohs(local.sin_port), 10000));
    UniqueSocket peer(accept(listener.Get(), nullptr, nullptr));
    peer.Reset();
    TlsChannel third;
    EXPECT_EQ(TlsFailure::kClosed, third.Handshake(&closing, "localhost", 10000));
}

TEST(CertificateErrors, ChainBitsAndPolicyErrorsAreClassified) {
    struct Case {
        DWORD chain;
        DWORD policy;
        unsigned problems;
    };
    const Case cases[] = {
        {0, 0, 0},
        {CERT_TRUST_IS_UNTRUSTED_ROOT, static_cast<DWORD>(CERT_E_UNTRUSTEDROOT), kCertIssuerNotTrusted},
        // The policy passes a chain that ends without its issuer: the chain says so.
        {CERT_TRUST_IS_PARTIAL_CHAIN, 0, kCertIssuerNotTrusted},
        {0, static_cast<DWORD>(CERT_E_CN_NO_MATCH), kCertNameMismatch},
        {CERT_TRUST_IS_NOT_TIME_VALID, static_cast<DWORD>(CERT_E_EXPIRED), kCertTimeInvalid},
        {CERT_TRUST_IS_REVOKED, static_cast<DWORD>(CRYPT_E_REVOKED), kCertRevoked},
        {CERT_TRUST_REVOCATION_STATUS_UNKNOWN, 0, kCertRevocationUnknown},
        {0, static_cast<DWORD>(CRYPT_E_REVOCATION_OFFLINE), kCertRevocationUnknown},
        {CERT_TRUST_IS_NOT_SIGNATURE_VALID, 0, kCertOtherFault},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, static_cast<DWORD>(CERT_E_WRONG_USAGE), kCertOtherFault},
        {CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_NOT_TIME_VALID, static_cast<DWORD>(CERT_E_UNTRUSTEDROOT),
         kCertIssuerNotTrusted | kCertTimeInvalid},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].problems, ClassifyCertificateErrors(cases[i].chain, cases[i].policy)) << "case " << i;
    }
}

}  // namespace
