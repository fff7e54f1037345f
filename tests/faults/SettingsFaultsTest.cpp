// Damaged settings files read by the plug-in's own readers: Kirvan.ini and the
// keys of Account.ini, with overlong values, binary junk, NUL bytes and missing
// sections. Reads stay inside their buffers (guard bytes behind each) and end
// terminated; what was read is stated case by case.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FaultHost.h"
#include "SettingsFiles.h"

namespace {

std::string Junk(std::size_t size, uint32_t seed) {
    std::string junk;
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        char c = static_cast<char>(seed >> 24);
        junk += (c == '[') ? '?' : c;  // no section header by chance
    }
    return junk;
}

constexpr std::size_t kGuard = 32;

// A buffer of `size` bytes followed by guard bytes, all 0xcc.
struct GuardedBuffer {
    explicit GuardedBuffer(std::size_t size) : bytes(size + kGuard, '\xcc'), size(size) {}
    char* Get() { return bytes.data(); }
    bool GuardIntact() const {
        for (std::size_t i = size; i < bytes.size(); ++i) {
            if (bytes[i] != '\xcc') return false;
        }
        return true;
    }
    bool Terminated() const { return std::memchr(bytes.data(), '\0', size) != nullptr; }
    std::vector<char> bytes;
    std::size_t size;
};

}  // namespace

TEST(SettingsFaults, DamagedKirvanIni) {
    std::string longPass(5000, 'p');
    struct Case {
        const char* name;
        bool exists;
        std::string content;
        std::size_t passLength;
        int32_t doFilter;
        int32_t filterType;
    };
    const Case cases[] = {
        {"missing file", false, "", 0, 0, 0},
        {"empty file", true, "", 0, 0, 0},
        {"no [Property] section", true, "[Server]\r\npass=abc\r\n", 3, 0, 0},
        {"overlong password: cut to 127 bytes", true,
         "[Server]\r\npass=" + longPass + "\r\n[Property]\r\nDoFilter=1\r\nFilterType=1\r\n", 127, 1, 1},
        {"overlong key line", true, "[Property]\r\n" + std::string(100000, 'K') + "=1\r\nDoFilter=1\r\n", 0, 1, 0},
        {"binary junk", true, Junk(8192, 7), 0, 0, 0},
        {"binary junk inside the section", true, "[Property]\r\n" + Junk(8192, 11) + "\r\nDoFilter=1\r\n", 0, 1, 0},
        {"numbers with junk", true, "[Property]\r\nDoFilter=1x\r\nFilterType=\xff\xfe\r\n", 0, 1, 0},
    };
    TempFolder folder;
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i) + " " + cases[i].name;
        std::string path = folder.Path() + "Kirvan" + std::to_string(i) + ".ini";
        if (cases[i].exists) {
            ASSERT_TRUE(WriteFileBytes(path, cases[i].content)) << where;
        }
        FilterSettings settings = ReadFilterSettings(path.c_str(), FilterDefaults::Plugin);
        ASSERT_NE(nullptr, std::memchr(settings.pass, '\0', sizeof settings.pass)) << where;
        EXPECT_EQ(cases[i].passLength, std::strlen(settings.pass)) << where;
        EXPECT_EQ(cases[i].doFilter, settings.DoFilter) << where;
        EXPECT_EQ(cases[i].filterType, settings.FilterType) << where;
        EXPECT_EQ(0, settings.Delete) << where;
    }
}

TEST(SettingsFaults, DamagedAccountIni) {
    struct Case {
        const char* name;
        std::string content;
        const char* key;
        std::size_t bufferSize;
        std::size_t length;  // of the value read
    };
    const Case cases[] = {
        {"overlong server name", "[Property]\r\nPOP3Server=" + std::string(5000, 's') + "\r\n", "POP3Server",
         kAccountLongValueBufferSize, kAccountLongValueBufferSize - 1},
        {"overlong dial-up entry", "[Property]\r\nRASProvider=" + std::string(1024, 'r') + "\r\n", "RASProvider",
         kAccountLongValueBufferSize, kAccountLongValueBufferSize - 1},
        {"overlong user name", "[Property]\r\nAccount=" + std::string(500, 'a') + "\r\n", "Account",
         kAccountNameBufferSize, kAccountNameBufferSize - 1},
        {"user name of exactly 127", "[Property]\r\nAccount=" + std::string(127, 'a') + "\r\n", "Account",
         kAccountNameBufferSize, 127},
        {"missing section", "[Other]\r\nAccount=x\r\n", "Account", kAccountNameBufferSize, 0},
        {"binary junk", Junk(8192, 3), "POP3Server", kAccountLongValueBufferSize, 0},
    };
    TempFolder folder;
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string where = "case " + std::to_string(i) + " " + cases[i].name;
        std::string path = folder.Path() + "Account" + std::to_string(i) + ".ini";
        ASSERT_TRUE(WriteFileBytes(path, cases[i].content)) << where;
        GuardedBuffer buffer(cases[i].bufferSize);
        ReadAccountString(path.c_str(), cases[i].key, buffer.Get(), buffer.size);
        EXPECT_TRUE(buffer.GuardIntact()) << where;
        ASSERT_TRUE(buffer.Terminated()) << where;
        EXPECT_EQ(cases[i].length, std::strlen(buffer.Get())) << where;
        // The numbers of a damaged file read as their default.
        EXPECT_EQ(0, ReadAccountInt(path.c_str(), "NotDelete")) << where;
    }
}
