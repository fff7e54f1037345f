#pragma once
// Header blocks like those of a Japanese mailbox today, for the benchmarks of the
// selection list: long subjects folded over two or three lines in UTF-8 B and Q
// words and ISO-2022-JP words, senders with encoded names, real Received chains.

#include <string>

namespace bench {

inline std::string RealWorldHeader(int n) {
    static const char* const kSubjects[] = {
        // 【重要】アカウントのセキュリティに関するお知らせ (UTF-8 B, folded)
        "=?UTF-8?B?44CQ6YeN6KaB44CR44Ki44Kr44Km44Oz44OI44Gu44K744Kt44Ol44Oq44OG?=\r\n"
        " =?UTF-8?B?44Kj44Gr6Zai44GZ44KL44GK55+l44KJ44Gb?=",
        // 会議のお知らせ: 来週の定例会 (ISO-2022-JP B, folded)
        "=?ISO-2022-JP?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=:\r\n =?ISO-2022-JP?B?GyRCTWg9NSROREpOYzJxGyhC?=",
        // Re: ご注文の確認 #12345 (UTF-8 Q)
        "Re: =?UTF-8?Q?=E3=81=94=E6=B3=A8=E6=96=87=E3=81=AE=E7=A2=BA=E8=AA=8D?= #12345",
        // plain ASCII
        "Weekly report: build status and open issues for the release branch",
    };
    static const char* const kSenders[] = {
        "=?UTF-8?B?44K144Od44O844OI44OB44O844Og?= <support@example.com>",
        "=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>",
        "\"Shop Online\" <no-reply@shop.example.net>",
        "builder@ci.example.org",
    };
    const int kind = n % 4;
    return std::string("Return-Path: <bounce-") + std::to_string(n) + "@mail.example.com>\r\n"
           "Received: from mx1.example.com (mx1.example.com [192.0.2.10])\r\n"
           "\tby pop.example.jp (Postfix) with ESMTPS id 4Q2xYz" + std::to_string(n) + "\r\n"
           "\tfor <alice@example.jp>; Tue,  8 Dec 2026 07:00:00 +0900 (JST)\r\n"
           "Received: from localhost (localhost [127.0.0.1]) by mx1.example.com with SMTP\r\n"
           "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.com; s=s1;\r\n"
           "\th=from:to:subject:date:message-id; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
           "\tb=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSBidXQgaXQgaXMgYXMgbG9uZyBhcyBvbmU=\r\n"
           "From: " + kSenders[kind] + "\r\n"
           "To: alice@example.jp\r\n"
           "Subject: " + kSubjects[kind] + "\r\n"
           "Date: Tue, " + std::to_string(1 + n % 28) + " Dec 2026 " + std::to_string(n % 24) + ":" +
           std::to_string(10 + n % 50) + ":00 +0900\r\n"
           "Message-ID: <" + std::to_string(n) + ".20261208070000@mail.example.com>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: base64\r\n";
}

}  // namespace bench
