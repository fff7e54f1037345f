// The texts of the certificate question: one line for each failed check, and
// what identifies the certificate.

#include "TlsMessages.h"

#include <gtest/gtest.h>

#include <string>

#include "BoundedText.h"

namespace {

TEST(TlsMessages, CertificateQuestionNamesEachFailedCheck) {
    const struct {
        unsigned bit;
        const char* line;
    } kLines[] = {
        {kCertIssuerNotTrusted, "発行元が信頼されていません"},
        {kCertNameMismatch, "サーバー名「mail.example.jp」のものではありません"},
        {kCertTimeInvalid, "有効期限が切れているか、まだ有効になっていません"},
        {kCertRevoked, "失効しています"},
        {kCertRevocationUnknown, "失効しているかどうか確認できません"},
        {kCertOtherFault, "証明書に問題があります"},
    };
    const unsigned cases[] = {kCertIssuerNotTrusted, kCertNameMismatch, kCertTimeInvalid,
                              kCertIssuerNotTrusted | kCertNameMismatch, kCertRevoked | kCertTimeInvalid,
                              kCertRevocationUnknown, kCertOtherFault};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        CertificateReport report;
        report.problems = cases[i];
        report.subject = "CN=mail.example.jp";
        report.issuer = "CN=Example CA";
        report.validFrom = "2026/01/01 09:00";
        report.validTo = "2027/01/01 08:59";
        text::Copy(report.fingerprint, sizeof report.fingerprint,
                   "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
        std::string question = CertificateQuestionText(report, "mail.example.jp");
        for (const auto& entry : kLines) {
            EXPECT_EQ((cases[i] & entry.bit) != 0, question.find(entry.line) != std::string::npos)
                << "case " << i << ", check " << entry.bit << "\n" << question;
        }
        EXPECT_NE(std::string::npos, question.find("発行先: CN=mail.example.jp")) << "case " << i;
        EXPECT_NE(std::string::npos, question.find("発行者: CN=Example CA")) << "case " << i;
        EXPECT_NE(std::string::npos, question.find("2026/01/01 09:00 から 2027/01/01 08:59 まで")) << "case " << i;
        // The fingerprint in groups of four, every digit of it.
        EXPECT_NE(std::string::npos, question.find("0123 4567 89ab cdef 0123 4567 89ab cdef\n    0123 4567"))
            << "case " << i << "\n" << question;
        EXPECT_NE(std::string::npos, question.find("今後この証明書を信頼して接続しますか")) << "case " << i;
    }
}

}  // namespace
