#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ByteSource.h"
#include "LineReader.h"
#include "TextBuffer.h"

namespace {

enum Op { kLine, kLineAppend, kHeader, kSkip };

struct Step {
    Op op;
    int result;            // ignored for kSkip
    const char* text;      // buffer after the step; ignored for kSkip
    uint64_t position;     // reader position after the step
};

struct Case {
    const char* name;
    std::string input;
    std::vector<Step> steps;
};

// The chunk sizes every case runs with: byte by byte (the look-ahead with a step
// back), tiny chunks that cut lines and CR LF pairs anywhere, and the default.
const uint32_t kChunkSizes[] = {1, 2, 3, 5, LineReader::kDefaultChunkSize};

std::vector<Case> Cases() {
    return {
        {"folding with a space",
         "A: 1\r\n 2\r\n\r\nbody\r\n",
         {{kHeader, 1, "A: 1 2", 10}, {kHeader, 0, "", 12}, {kLine, 1, "body", 18}, {kLine, 0, "", 18}}},
        {"continuation with a tab keeps the tab",
         "Subject: x\n\ty\n\n",
         {{kHeader, 1, "Subject: x\ty", 14}, {kHeader, 0, "", 15}, {kLine, 0, "", 15}}},
        {"header block reaching the end without blank line",
         "A: 1\nB: 2",
         {{kHeader, 1, "A: 1", 5}, {kHeader, 1, "B: 2", 9}, {kHeader, 0, "", 9}}},
        {"last header line ending in LF is read once",
         "A: 1\n",
         {{kHeader, 1, "A: 1", 5}, {kHeader, 0, "", 5}, {kLine, 0, "", 5}}},
        {"bare LF and CR LF alike, inner CR dropped",
         "a\r\nb\nc\rd\r\n",
         {{kLine, 1, "a", 3}, {kLine, 1, "b", 5}, {kLine, 1, "cd", 10}, {kLine, 0, "", 10}}},
        {"a lone CR at the end delivers nothing",
         "x\n\r",
         {{kLine, 1, "x", 2}, {kLine, 0, "", 3}}},
        {"empty lines are lines",
         "\n\r\nz",
         {{kLine, 1, "", 1}, {kLine, 1, "", 3}, {kLine, 1, "z", 4}, {kLine, 0, "", 4}}},
        {"ReadLine appends to what the buffer holds",
         "ab\ncd\n",
         {{kLine, 1, "ab", 3}, {kLineAppend, 1, "abcd", 6}, {kLineAppend, 0, "abcd", 6}}},
        {"SkipHeaders then ReadLine",
         "H: v\n folded\nK: w\n\nfirst\n",
         {{kSkip, 0, "", 19}, {kLine, 1, "first", 25}}},
        {"SkipHeaders at the end of a header-only file",
         "H: v\n\tw",
         {{kSkip, 0, "", 7}, {kLine, 0, "", 7}}},
        {"continuation that is the last byte",
         "A: 1\n ",
         {{kHeader, 1, "A: 1 ", 6}, {kHeader, 0, "", 6}}},
        {"look-ahead sees CR of the blank line",
         "A: 1\r\n\r\nB",
         {{kHeader, 1, "A: 1", 6}, {kHeader, 0, "", 8}, {kLine, 1, "B", 9}}},
        {"continuation line of blanks only",
         "A: 1\n \n\nbody",
         {{kHeader, 1, "A: 1 ", 7}, {kHeader, 0, "", 8}, {kLine, 1, "body", 12}}},
        {"several continuation lines",
         "To: a,\n b,\n\tc\nX: y\n\n",
         {{kHeader, 1, "To: a, b,\tc", 14}, {kHeader, 1, "X: y", 19}, {kHeader, 0, "", 20}}},
        {"empty file",
         "",
         {{kLine, 0, "", 0}, {kHeader, 0, "", 0}, {kSkip, 0, "", 0}}},
        {"header directly followed by body without blank line stops at the body line",
         "A: 1\nbody\n",
         {{kHeader, 1, "A: 1", 5}, {kHeader, 1, "body", 10}, {kHeader, 0, "", 10}}},
        {"NUL bytes are kept",
         std::string("a\0b\n", 4),
         {{kLine, 1, "a", 4}}},
    };
}

TEST(LineReader, CasesGiveTheSameResultsWithEveryChunkSize) {
    std::vector<Case> cases = Cases();
    for (std::size_t c = 0; c < cases.size(); ++c) {
        for (uint32_t chunk : kChunkSizes) {
            const Case& test = cases[c];
            MemoryByteSource source(test.input.data(), static_cast<uint32_t>(test.input.size()));
            LineReader reader;
            reader.Attach(&source, chunk);
            TextBuffer buffer;
            for (std::size_t s = 0; s < test.steps.size(); ++s) {
                const Step& step = test.steps[s];
                std::string where = "case " + std::to_string(c) + " (" + test.name + "), chunk " +
                                    std::to_string(chunk) + ", step " + std::to_string(s);
                int result = 0;
                switch (step.op) {
                case kLine:
                    buffer.Clear();
                    result = reader.ReadLine(buffer);
                    break;
                case kLineAppend:
                    result = reader.ReadLine(buffer);
                    break;
                case kHeader:
                    buffer.Clear();
                    result = reader.ReadHeaderLine(buffer);
                    break;
                case kSkip:
                    reader.SkipHeaders();
                    break;
                }
                if (step.op != kSkip) {
                    EXPECT_EQ(step.result, result) << where;
                    EXPECT_STREQ(step.text, buffer.Text()) << where;
                }
                EXPECT_EQ(step.position, reader.Position()) << where;
                EXPECT_FALSE(reader.Failed()) << where;
            }
        }
    }
}

TEST(LineReader, ByteByByteLeavesTheSourceExactlyAtThePosition) {
    // With one read per byte the source itself stands after the last consumed byte,
    // the look-ahead stepped back included.
    const std::string input = "A: 1\r\n 2\r\nB: 3\r\n\r\nbody\r\n";
    MemoryByteSource source(input.data(), static_cast<uint32_t>(input.size()));
    LineReader reader;
    reader.Attach(&source, 1);
    TextBuffer buffer;
    ASSERT_EQ(1, reader.ReadHeaderLine(buffer));
    EXPECT_EQ(reader.Position(), source.Position());
    buffer.Clear();
    ASSERT_EQ(1, reader.ReadHeaderLine(buffer));
    EXPECT_STREQ("B: 3", buffer.Text());
    EXPECT_EQ(reader.Position(), source.Position());
    EXPECT_EQ(16u, source.Position());
}

TEST(LineReader, BufferedReadingAsksTheSourceRarely) {
    std::string input;
    for (int i = 0; i < 1000; ++i) {
        input += "Line number " + std::to_string(i) + "\r\n";
    }
    const struct {
        uint32_t chunk;
        uint32_t fewestCalls;
        uint32_t mostCalls;
    } cases[] = {
        {1, static_cast<uint32_t>(input.size()), static_cast<uint32_t>(input.size()) + 2},
        {LineReader::kDefaultChunkSize, 1, 2},
    };
    for (std::size_t c = 0; c < sizeof cases / sizeof cases[0]; ++c) {
        MemoryByteSource source(input.data(), static_cast<uint32_t>(input.size()));
        LineReader reader;
        reader.Attach(&source, cases[c].chunk);
        TextBuffer buffer;
        int lines = 0;
        while (reader.ReadLine(buffer)) {
            buffer.Clear();
            ++lines;
        }
        EXPECT_EQ(1000, lines) << "case " << c;
        EXPECT_GE(source.ReadCalls(), cases[c].fewestCalls) << "case " << c;
        EXPECT_LE(source.ReadCalls(), cases[c].mostCalls) << "case " << c;
    }
}

TEST(LineReader, AFailedReadEndsReadingAndIsRemembered) {
    const std::string input = "one\ntwo\nthree\nfour\n";
    for (uint32_t chunk : kChunkSizes) {
        MemoryByteSource source(input.data(), static_cast<uint32_t>(input.size()));
        source.FailFrom(10);  // inside "three"
        LineReader reader;
        reader.Attach(&source, chunk);
        TextBuffer buffer;
        std::vector<std::string> lines;
        while (reader.ReadLine(buffer)) {
            lines.push_back(buffer.Text());
            buffer.Clear();
        }
        EXPECT_TRUE(reader.Failed()) << "chunk " << chunk;
        EXPECT_LE(lines.size(), 2u) << "chunk " << chunk;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(i == 0 ? "one" : "two", lines[i]) << "chunk " << chunk;
        }
        // Once failed, nothing more is delivered.
        EXPECT_EQ(0, reader.ReadLine(buffer)) << "chunk " << chunk;
        EXPECT_EQ(0, reader.ReadHeaderLine(buffer)) << "chunk " << chunk;
    }
}

TEST(LineReader, ReattachingStartsAfresh) {
    const std::string first = "abc\n";
    const std::string second = "xyz";
    MemoryByteSource a(first.data(), 4);
    MemoryByteSource b(second.data(), 3);
    LineReader reader;
    reader.Attach(&a);
    TextBuffer buffer;
    ASSERT_EQ(1, reader.ReadLine(buffer));
    reader.Attach(&b);
    EXPECT_EQ(0u, reader.Position());
    buffer.Clear();
    ASSERT_EQ(1, reader.ReadLine(buffer));
    EXPECT_STREQ("xyz", buffer.Text());
    reader.Attach(nullptr);
    EXPECT_EQ(0, reader.ReadLine(buffer));
}

}  // namespace
