#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ByteSource.h"
#include "DigestWalk.h"
#include "LineReader.h"

namespace {

// Mails are written with LF line ends here; the walk reads CR LF alike (see the
// case that uses CR LF).
struct WalkResult {
    MailType type = kMailNotSplit;
    SplitCount count;
    std::vector<std::string> messages;
    bool failed = false;
};

WalkResult Walk(const std::string& mail, uint32_t chunk = LineReader::kDefaultChunkSize) {
    MemoryByteSource source(mail.data(), static_cast<uint32_t>(mail.size()));
    LineReader reader;
    reader.Attach(&source, chunk);
    Delimiters delimiters;
    WalkResult result;
    result.type = DetectType(reader, &delimiters);
    if (result.type != kMailNotSplit) {
        MemoryPartSink sink;
        result.count = SplitParts(reader, delimiters, sink);
        result.messages = sink.messages;
    }
    result.failed = reader.Failed();
    return result;
}

struct Case {
    const char* name;
    std::string mail;
    MailType type;
    std::vector<std::string> messages;  // as imported, CR LF line ends
};

const char kMessageA[] = "From: a@example.com\nSubject: A\n\nbody a\n";
const char kMessageB[] = "From: b@example.com\nSubject: B\n\nbody b\n";
const char kMessageACrLf[] = "From: a@example.com\r\nSubject: A\r\n\r\nbody a\r\n";
const char kMessageBCrLf[] = "From: b@example.com\r\nSubject: B\r\n\r\nbody b\r\n";

std::vector<Case> Cases() {
    const std::string a = kMessageA;
    const std::string b = kMessageB;
    const std::string rfc = "Content-Type: message/rfc822\n\n";
    const std::string digestHeader = "From: list@example.com\nContent-Type: multipart/digest; boundary=\"XX\"\n\n";
    const std::string mixedHeader = "From: list@example.com\nContent-Type: multipart/mixed; boundary=\"XX\"\n\n";
    // The blank line before a delimiter belongs to the message before it.
    const std::string aOut = std::string(kMessageACrLf) + "\r\n";
    const std::string bOut = std::string(kMessageBCrLf) + "\r\n";
    return {
        {"digest of two messages", digestHeader + "preamble\n--XX\n" + rfc + a + "\n--XX\n" + rfc + b + "\n--XX--\nepilogue\n",
         kMailMultipartDigest, {aOut, bOut}},
        {"digest parts without their own Content-Type", digestHeader + "--XX\n\n" + a + "\n--XX\n\n" + b + "\n--XX--\n",
         kMailMultipartDigest, {}},
        {"mixed: a text part and one message", mixedHeader + "--XX\nContent-Type: text/plain\n\ntopics\n\n--XX\n" + rfc + a +
                                                   "\n--XX--\n",
         kMailMultipartMixed, {aOut}},
        {"Message/RFC822 in other case", digestHeader + "--XX\nContent-Type: Message/RFC822\n\n" + a + "\n--XX--\n",
         kMailMultipartDigest, {aOut}},
        {"only the first Content-Type line of a part counts",
         digestHeader + "--XX\nContent-Type: text/plain\nContent-Type: message/rfc822\n\n" + a + "\n--XX\n" + rfc + b + "\n--XX--\n",
         kMailMultipartDigest, {bOut}},
        {"part header with other lines before the type",
         digestHeader + "--XX\nContent-Description: first\nContent-Type: message/rfc822\nX-Other: 1\n\n" + a + "\n--XX--\n",
         kMailMultipartDigest, {aOut}},
        {"delimiters with trailing text and in other case",
         digestHeader + "--xx   \n" + rfc + a + "\n--XX trailing\n" + rfc + b + "\n--Xx-- end\nepilogue\n",
         kMailMultipartDigest, {aOut, bOut}},
        {"a quoted parameter before the boundary is taken as the boundary",
         "Content-Type: multipart/mixed; charset=\"us-ascii\"; boundary=\"XX\"\n\n--XX\n" + rfc + a + "\n--XX--\n",
         kMailMultipartMixed, {}},
        {"folded Content-Type with the boundary on the continuation line",
         "Content-Type: multipart/digest;\n\tboundary=\"XX\"\nSubject: s\n\n--XX\n" + rfc + a + "\n--XX--\n",
         kMailMultipartDigest, {aOut}},
        {"unquoted boundary", "Content-Type: multipart/digest; boundary=XX\n\n--XX\n" + rfc + a + "\n--XX--\n",
         kMailMultipartDigest, {aOut}},
        {"last message without close delimiter", digestHeader + "--XX\n" + rfc + a + "\n--XX\n" + rfc + b,
         kMailMultipartDigest, {aOut, kMessageBCrLf}},
        {"last part not a message ends the walk",
         digestHeader + "--XX\n" + rfc + a + "\n--XX\nContent-Type: text/plain\n\nfooter\n--XX--\n",
         kMailMultipartDigest, {aOut}},
        {"a message part after the close delimiter is not taken",
         digestHeader + "--XX\n" + rfc + a + "\n--XX--\n--XX\n" + rfc + b, kMailMultipartDigest, {aOut}},
        {"CR LF mail", "Content-Type: multipart/digest; boundary=\"XX\"\r\n\r\n--XX\r\nContent-Type: message/rfc822\r\n\r\n" +
                           std::string(kMessageACrLf) + "\r\n--XX--\r\n",
         kMailMultipartDigest, {aOut}},
        {"kiritorisen mixed is not split",
         "Content-Type: multipart/mixed; boundary=\"***kiritorisen***\"\n\n--***kiritorisen***\n" + rfc + a +
             "\n--***kiritorisen***--\n",
         kMailNotSplit, {}},
        {"kiritorisen digest is split",
         "Content-Type: multipart/digest; boundary=\"***kiritorisen***\"\n\n--***kiritorisen***\n" + rfc + a +
             "\n--***kiritorisen***--\n",
         kMailMultipartDigest, {aOut}},
        {"no boundary parameter", "Content-Type: multipart/digest\n\n--XX\n" + rfc + a, kMailNotSplit, {}},
        {"not multipart", "Content-Type: text/plain\n\n--XX\n" + rfc + a, kMailNotSplit, {}},
        {"other multipart subtype", "Content-Type: multipart/alternative; boundary=\"XX\"\n\n--XX\n" + rfc + a,
         kMailNotSplit, {}},
        {"a multipart Content-Type after another one counts",
         "Content-Type: text/plain\nContent-Type: multipart/digest; boundary=\"XX\"\n\n--XX\n" + rfc + a + "\n--XX--\n",
         kMailMultipartDigest, {aOut}},
        {"Content-Type in the body is not read", "Subject: s\n\nContent-Type: multipart/digest; boundary=\"XX\"\n--XX\n",
         kMailNotSplit, {}},
        {"no header block end", "Content-Type: multipart/digest; boundary=\"XX\"", kMailMultipartDigest, {}},
        {"close delimiter before any open one", digestHeader + "--XX--\n--XX\n" + rfc + a, kMailMultipartDigest, {}},
        {"nested multipart message keeps its own delimiters",
         digestHeader + "--XX\n" + rfc + "Content-Type: multipart/mixed; boundary=\"YY\"\n\n--YY\ninner\n--YY--\n\n--XX--\n",
         kMailMultipartDigest,
         {"Content-Type: multipart/mixed; boundary=\"YY\"\r\n\r\n--YY\r\ninner\r\n--YY--\r\n\r\n"}},
        {"folded header inside the message is copied as separate lines",
         digestHeader + "--XX\n" + rfc + "Subject: long\n subject\n\nx\n--XX--\n", kMailMultipartDigest,
         {"Subject: long\r\n subject\r\n\r\nx\r\n"}},
        {"empty message part", digestHeader + "--XX\n" + rfc + "--XX--\n", kMailMultipartDigest, {""}},
        {"three messages, a text part in the middle",
         digestHeader + "--XX\n" + rfc + a + "--XX\nContent-Type: text/plain\n\nt\n--XX\n" + rfc + b + "--XX\n" + rfc + a +
             "--XX--\n",
         kMailMultipartDigest, {kMessageACrLf, kMessageBCrLf, kMessageACrLf}},
        {"Shift_JIS text passes unchanged",
         digestHeader + "--XX\n" + rfc + "Subject: 日本語の件名\n\n本文です。表示\n--XX--\n", kMailMultipartDigest,
         {"Subject: 日本語の件名\r\n\r\n本文です。表示\r\n"}},
    };
}

TEST(DigestWalk, Cases) {
    const uint32_t chunks[] = {1, 3, LineReader::kDefaultChunkSize};
    std::vector<Case> cases = Cases();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        for (uint32_t chunk : chunks) {
            std::string where = "case " + std::to_string(i) + " (" + cases[i].name + "), chunk " + std::to_string(chunk);
            WalkResult result = Walk(cases[i].mail, chunk);
            EXPECT_EQ(cases[i].type, result.type) << where;
            EXPECT_EQ(cases[i].messages, result.messages) << where;
            EXPECT_EQ(static_cast<int>(cases[i].messages.size()), result.count.imported) << where;
            EXPECT_EQ(0, result.count.lost) << where;
            EXPECT_FALSE(result.failed) << where;
        }
    }
}

// Runs the walk part by part and lists the codes.
std::vector<int> PartCodes(const std::string& mail) {
    MemoryByteSource source(mail.data(), static_cast<uint32_t>(mail.size()));
    LineReader reader;
    reader.Attach(&source);
    Delimiters delimiters;
    std::vector<int> codes;
    if (DetectType(reader, &delimiters) == kMailNotSplit || !SeekFirstBoundary(reader, delimiters)) {
        return codes;
    }
    MemoryPartSink sink;
    for (int guard = 0; guard < 20; ++guard) {
        bool lost = false;
        int code = ReadPart(reader, delimiters, sink, &lost);
        codes.push_back(code);
        if (code == kPartMessageLast || code == kPartSkippedLast) {
            break;
        }
    }
    return codes;
}

TEST(DigestWalk, PartCodes) {
    const std::string head = "Content-Type: multipart/digest; boundary=\"XX\"\n\n--XX\n";
    const std::string rfc = "Content-Type: message/rfc822\n\nm\n";
    const std::string text = "Content-Type: text/plain\n\nt\n";
    const struct {
        std::string mail;
        std::vector<int> codes;
    } cases[] = {
        {head + rfc + "--XX\n" + text + "--XX\n" + rfc + "--XX--\n", {0, 1, 2}},
        {head + rfc + "--XX\n" + rfc, {0, 0, 3}},  // the end without a close delimiter
        {head + text + "--XX--\n" + rfc, {3}},
        {head + text, {3}},
        {head + rfc + "--XX\n" + text, {0, 3}},
        {head, {3}},  // nothing left to read
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].codes, PartCodes(cases[i].mail)) << "case " << i;
    }
}

// A sink that refuses chosen messages, as a full disk would.
class RefusingSink : public PartSink {
public:
    explicit RefusingSink(std::vector<int> refused) : refused_(std::move(refused)) {}
    bool Begin() override {
        ++index_;
        for (int r : refused_) {
            if (r == index_) {
                return false;
            }
        }
        return true;
    }
    bool WriteLine(const char*, uint32_t) override { return true; }
    bool End(bool complete) override {
        if (complete) {
            ++taken;
        }
        return complete;
    }
    int taken = 0;

private:
    std::vector<int> refused_;
    int index_ = 0;
};

TEST(DigestWalk, MessagesASinkRefusesAreCountedAsLostAndTheWalkGoesOn) {
    const std::string rfc = "Content-Type: message/rfc822\n\nm\n";
    const std::string mail = "Content-Type: multipart/digest; boundary=\"XX\"\n\n--XX\n" + rfc + "--XX\n" + rfc + "--XX\n" +
                             rfc + "--XX--\n";
    const struct {
        std::vector<int> refused;
        int imported;
        int lost;
    } cases[] = {{{}, 3, 0}, {{2}, 2, 1}, {{1, 3}, 1, 2}, {{1, 2, 3}, 0, 3}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MemoryByteSource source(mail.data(), static_cast<uint32_t>(mail.size()));
        LineReader reader;
        reader.Attach(&source);
        Delimiters delimiters;
        ASSERT_EQ(kMailMultipartDigest, DetectType(reader, &delimiters)) << "case " << i;
        RefusingSink sink(cases[i].refused);
        SplitCount count = SplitParts(reader, delimiters, sink);
        EXPECT_EQ(cases[i].imported, count.imported) << "case " << i;
        EXPECT_EQ(cases[i].lost, count.lost) << "case " << i;
        EXPECT_EQ(cases[i].imported, sink.taken) << "case " << i;
    }
}

TEST(DigestWalk, AReadFailureInsideAMessageLosesThatMessage) {
    const std::string rfc = "Content-Type: message/rfc822\n\n";
    const std::string mail = "Content-Type: multipart/digest; boundary=\"XX\"\n\n--XX\n" + rfc + "first\n--XX\n" + rfc +
                             "second message body\n--XX--\n";
    uint32_t failAt = static_cast<uint32_t>(mail.find("message body"));
    MemoryByteSource source(mail.data(), static_cast<uint32_t>(mail.size()));
    source.FailFrom(failAt);
    LineReader reader;
    reader.Attach(&source, 1);
    Delimiters delimiters;
    ASSERT_EQ(kMailMultipartDigest, DetectType(reader, &delimiters));
    MemoryPartSink sink;
    SplitCount count = SplitParts(reader, delimiters, sink);
    EXPECT_EQ(1, count.imported);
    EXPECT_EQ(1, count.lost);
    ASSERT_EQ(1u, sink.messages.size());
    EXPECT_EQ("first\r\n", sink.messages[0]);
    EXPECT_TRUE(reader.Failed());
}

}  // namespace
