#include "TlsMessages.h"

#include "BoundedText.h"

namespace {

const char kCaption[] = "Kirvan";

// The setting on the filter page that decides how the session is secured.
const char kSettingHint[] = "設定の「フィルター設定」にある「通信の暗号化」を確認してください。";

std::string Number(const char* format, long value) {
    char text[32];
    text::Format(text, sizeof text, format, value);
    return text;
}

// The fingerprint in groups of four digits, so that it can be read out and compared.
std::string Grouped(const char* fingerprint) {
    std::string grouped;
    for (std::size_t i = 0; fingerprint[i] != '\0'; ++i) {
        if (i > 0 && i % 4 == 0) {
            grouped += (i % 32 == 0) ? "\n    " : " ";
        }
        grouped += fingerprint[i];
    }
    return grouped;
}

}  // namespace

std::string SecureFailureText(SecureFailure failure, TlsFailure handshake, long status, int port) {
    switch (failure) {
    case SecureFailure::kStlsNotOffered:
        return std::string("サーバーが STARTTLS (STLS) に対応していないため、受信を中止しました。\n"
                           "パスワードは送っていません。\n") +
               kSettingHint;
    case SecureFailure::kStlsRefused:
        return std::string("サーバーが STARTTLS (STLS) を拒否したため、受信を中止しました。\n"
                           "パスワードは送っていません。\n") +
               kSettingHint;
    case SecureFailure::kPlainTextAfterStls:
        return "STARTTLS (STLS) の応答の後に暗号化されていないデータが届いたため、\n"
               "接続を中止しました (通信が改ざんされているおそれがあります)。\n"
               "パスワードは送っていません。";
    case SecureFailure::kHandshake:
        break;
    }
    switch (handshake) {
    case TlsFailure::kNoSystemTls:
        return "この Windows では SSL/TLS の機能 (secur32.dll, crypt32.dll) を使えないため、\n"
               "暗号化した接続ができません。";
    case TlsFailure::kNoCredentials:
    case TlsFailure::kNoCommonProtocol:
        return std::string("サーバーとこの Windows の間で共通に使える SSL/TLS のバージョンがないため、\n"
                           "接続できませんでした") +
               Number(" (エラー 0x%08lX)。\n", status) +
               "Windows XP と Vista は TLS 1.2 に対応していません。Windows 7 以降でも、\n"
               "TLS 1.2 がシステムの設定 (レジストリ) で無効にされていると接続できません。";
    case TlsFailure::kPlainTextPeer:
        return "サーバーは SSL/TLS ではなく暗号化されていない POP3 で応答しました" + Number(" (ポート %ld)。\n", port) +
               "このポートで暗号化するには「通信の暗号化」を「自動」か「STARTTLS (STLS) を必ず使う」に、\n"
               "SSL/TLS を使うならポート番号を SSL/TLS 用 (通常 995) にしてください。";
    case TlsFailure::kClosed:
        return "SSL/TLS の接続の途中でサーバーが接続を切りました。\n"
               "サーバーがこの Windows の SSL/TLS に対応していない可能性があります。\n" +
               std::string(kSettingHint);
    case TlsFailure::kTransport:
        return "SSL/TLS の接続中にサーバーが応答しなくなりました。\n"
               "このポートが SSL/TLS に対応しているか確認してください。\n" +
               std::string(kSettingHint);
    case TlsFailure::kRefused:
    case TlsFailure::kNone:
        break;
    }
    return "SSL/TLS の接続に失敗しました" + Number(" (エラー 0x%08lX)。", status);
}

void ShowSecureFailure(HWND window, SecureFailure failure, TlsFailure handshake, long status, int port) {
    MessageBoxA(window, SecureFailureText(failure, handshake, status, port).c_str(), kCaption, MB_OK | MB_ICONWARNING);
}

std::string CertificateQuestionText(const CertificateReport& report, const char* serverName) {
    std::string text = "サーバーの証明書を確認できませんでした。\n";
    const struct {
        unsigned bit;
        const char* line;
    } kLines[] = {
        {kCertIssuerNotTrusted, "・証明書の発行元が信頼されていません。"},
        {kCertNameMismatch, nullptr},
        {kCertTimeInvalid, "・証明書の有効期限が切れているか、まだ有効になっていません。"},
        {kCertRevoked, "・証明書は失効しています。"},
        {kCertRevocationUnknown, "・証明書が失効しているかどうか確認できません。"},
        {kCertOtherFault, "・証明書に問題があります (署名や用途が正しくありません)。"},
    };
    for (const auto& entry : kLines) {
        if (!(report.problems & entry.bit)) {
            continue;
        }
        if (entry.line) {
            text += entry.line;
        } else {
            text += std::string("・証明書はサーバー名「") + (serverName ? serverName : "") + "」のものではありません。";
        }
        text += "\n";
    }
    text += "\n発行先: " + report.subject;
    text += "\n発行者: " + report.issuer;
    text += "\n有効期間: " + report.validFrom + " から " + report.validTo + " まで";
    text += "\nSHA-256 指紋:\n    " + Grouped(report.fingerprint);
    text += "\n\nこのアカウントでは今後この証明書を信頼して接続しますか?\n"
            "「いいえ」を選ぶと、パスワードを送らずに受信を中止します。";
    return text;
}

bool AskToTrustCertificate(HWND window, const CertificateReport& report, const char* serverName) {
    return MessageBoxA(window, CertificateQuestionText(report, serverName).c_str(), kCaption,
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
