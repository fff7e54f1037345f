// SHA-256 against the standard's test vectors and lengths around the block edges,
// and the fingerprint texts an account keeps.

#include <gtest/gtest.h>

#include <string>

#include "Sha256.h"

namespace {

std::string HexOf(const std::string& data) {
    char text[kFingerprintTextSize];
    Sha256Hex(data.data(), data.size(), text);
    return text;
}

TEST(Sha256, KnownDigests) {
    struct Case {
        std::string data;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits into the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // 112 bytes: two full blocks of message, then a block of padding.
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string("\0\xff", 2), "06eb7d6a69ee19e5fbdf749018d3d2abfa04bcbd1365db312eb86dc7169389b8"},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].digest, HexOf(cases[i].data)) << "case " << i << ", " << cases[i].data.size() << " bytes";
    }
}

TEST(Sha256, FingerprintTexts) {
    const std::string lower = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    const std::string upper = "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";
    struct Case {
        std::string a;
        std::string b;
        bool aIsFingerprint;
        bool same;
    };
    const Case cases[] = {
        {lower, lower, true, true},
        {upper, lower, true, true},
        {lower.substr(0, 63), lower, false, false},           // one digit short
        {lower + "0", lower, false, false},                   // one digit too many
        {"g" + lower.substr(1), lower, false, false},         // not a digit
        {lower.substr(0, 63) + "4", lower, true, false},      // another digest
        {"", "", false, false},                               // nothing trusted yet
        {std::string(64, '0'), std::string(64, '0'), true, true},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].aIsFingerprint, IsFingerprintText(cases[i].a.c_str())) << "case " << i;
        EXPECT_EQ(cases[i].same, SameFingerprint(cases[i].a.c_str(), cases[i].b.c_str())) << "case " << i;
    }
    EXPECT_FALSE(IsFingerprintText(nullptr));
    EXPECT_FALSE(SameFingerprint(nullptr, lower.c_str()));
}

}  // namespace
