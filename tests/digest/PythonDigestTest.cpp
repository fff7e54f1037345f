#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DigestSplitter.h"
#include "DigestTestFiles.h"
#include "FakeHost.h"
#include "FileBytes.h"
#include "MailFile.h"
#include "ProgramFolder.h"

// Digests written by Python's email package (data/make_digests.py, which also
// copies Python's own email test messages) and the enclosed messages Python's
// parser finds in them. The messages the host receives must be those, byte for
// byte once line ends are made alike.

namespace {

std::string DataDir() {
    return ProgramFolder() + "digest_data\\";
}

std::string LfOnly(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

struct Sample {
    std::string name;
    int messages;
};

std::vector<Sample> ReadManifest() {
    std::vector<Sample> samples;
    std::string manifest = ReadFileBytes(DataDir() + "manifest.txt");
    std::istringstream lines(manifest);
    Sample sample;
    while (lines >> sample.name >> sample.messages) {
        samples.push_back(sample);
    }
    return samples;
}

class PythonDigestTest : public ::testing::Test {
protected:
    MailboxFolder mailbox;
    FakeHost host{mailbox.Path()};
};

TEST_F(PythonDigestTest, ImportedMessagesEqualWhatPythonsParserSees) {
    std::vector<Sample> samples = ReadManifest();
    ASSERT_GE(samples.size(), 10u) << "data missing in " << DataDir();
    DigestSettings settings = DefaultDigestSettings();
    settings.Divide = 1;
    int withMessages = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Sample& sample = samples[i];
        std::string where = "case " + std::to_string(i) + " (" + sample.name + ")";
        std::string bytes = ReadFileBytes(DataDir() + sample.name + ".qnl");
        ASSERT_FALSE(bytes.empty()) << where;
        std::string path = mailbox.WriteMail("00000001", bytes);
        FakeHost::calls.clear();
        MailFile mail(path.c_str());
        SplitMailFile(mail, settings, nullptr);

        std::vector<HostCall> imports = FakeHost::CallsOf("ImportFile");
        ASSERT_EQ(static_cast<std::size_t>(sample.messages), imports.size()) << where;
        for (int n = 0; n < sample.messages; ++n) {
            std::string expected = ReadFileBytes(DataDir() + sample.name + "." + std::to_string(n + 1) + ".eml");
            ASSERT_FALSE(expected.empty()) << where << " message " << n + 1;
            EXPECT_EQ(std::string::npos, LfOnly(imports[n].bytes).find('\r')) << where << " message " << n + 1;
            // The line end before the next delimiter is part of the copy.
            EXPECT_EQ(LfOnly(expected) + "\n", LfOnly(imports[n].bytes)) << where << " message " << n + 1;
        }
        // Disposed of exactly when something was imported.
        EXPECT_EQ(sample.messages > 0 ? 1u : 0u, FakeHost::CallsOf("MoveMail").size()) << where;
        withMessages += sample.messages > 0 ? 1 : 0;
    }
    EXPECT_GE(withMessages, 8);
}

}  // namespace
