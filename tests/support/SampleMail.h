#pragma once
// Sample mails that several tests store and split.

#include <string>

// A multipart/digest of two enclosed messages ("one" and "two"), CR LF lines as
// the host stores them.
inline std::string TwoMessageDigest() {
    return "From: list@example.com\r\n"
           "Subject: digest\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/digest; boundary=\"XYZ\"\r\n"
           "\r\n"
           "--XYZ\r\n"
           "Content-Type: message/rfc822\r\n"
           "\r\n"
           "From: a@example.com\r\nSubject: one\r\n\r\nbody one\r\n"
           "--XYZ\r\n"
           "Content-Type: message/rfc822\r\n"
           "\r\n"
           "From: b@example.com\r\nSubject: two\r\n\r\nbody two\r\n"
           "--XYZ--\r\n";
}
