// The settings files through the real profile functions: defaults, write order,
// what survives a write, length limits, Shift_JIS, and the path builders.

#include "SettingsFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "BoundedText.h"
#include "TempFolder.h"
#include "UnwritableFile.h"

namespace {

class SettingsFilesTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return folder_.Path() + name; }
    void Write(const char* name, const std::string& bytes) { ASSERT_TRUE(folder_.WriteFile(name, bytes)) << name; }
    std::string Read(const char* name) const { return folder_.ReadFile(name); }

    TempFolder folder_;
};

// Removes the line ends so that the order of sections and keys can be compared
// whatever line end the profile functions write.
std::string Lines(const std::string& bytes) {
    std::string lines;
    for (char c : bytes) {
        if (c == '\r') continue;
        lines += c;
    }
    return lines;
}

TEST_F(SettingsFilesTest, MissingFilesGiveTheDefaultsOfEachReader) {
    DigestSettings digest = ReadDigestSettings(Path("Pikuno.ini").c_str());
    EXPECT_EQ(0, digest.Divide);
    EXPECT_EQ(1, digest.MultipartMixed);
    EXPECT_EQ(1, digest.MultipartDigest);
    EXPECT_EQ(0, digest.DelType);
    EXPECT_EQ(0, digest.Mark);
    EXPECT_EQ(1, digest.Midoku);
    EXPECT_EQ(1, digest.AskDelete);

    struct {
        FilterDefaults defaults;
        int32_t filterSize;
        int32_t deleteOnServer;
    } const cases[] = {{FilterDefaults::Sheet, 1000, 1}, {FilterDefaults::Plugin, 0, 0}};
    for (const auto& c : cases) {
        FilterSettings filter = ReadFilterSettings(Path("Kirvan.ini").c_str(), c.defaults);
        SCOPED_TRACE(c.defaults == FilterDefaults::Sheet ? "sheet" : "plugin");
        EXPECT_STREQ("", filter.pass);
        EXPECT_EQ(0, filter.DoFilter);
        EXPECT_EQ(0, filter.FilterType);
        EXPECT_EQ(0, filter.CheckSize);
        EXPECT_EQ(c.filterSize, filter.FilterSize);
        EXPECT_EQ(c.deleteOnServer, filter.Delete);
    }
    EXPECT_EQ(0, ReadAccountInt(Path("Account.ini").c_str(), "NotDelete"));
    char value[16];
    std::memset(value, 0xcc, sizeof value);
    ReadAccountString(Path("Account.ini").c_str(), "POP3Server", value, sizeof value);
    EXPECT_STREQ("", value);
}

TEST_F(SettingsFilesTest, ReadersDifferOnlyWhereTheKeyIsMissing) {
    Write("Kirvan.ini", "[Property]\r\nDoFilter=1\r\n");
    FilterSettings plugin = ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Plugin);
    FilterSettings sheet = ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Sheet);
    EXPECT_EQ(1, plugin.DoFilter);
    EXPECT_EQ(1, sheet.DoFilter);
    EXPECT_EQ(0, plugin.Delete);
    EXPECT_EQ(1, sheet.Delete);
    EXPECT_EQ(0, plugin.FilterSize);
    EXPECT_EQ(1000, sheet.FilterSize);

    Write("Kirvan.ini", "[Property]\r\nDelete=0\r\nFilterSize=77\r\n");
    EXPECT_EQ(0, ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Sheet).Delete);
    EXPECT_EQ(77, ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Sheet).FilterSize);
}

TEST_F(SettingsFilesTest, NewFilesListSectionsAndKeysInWriteOrder) {
    FilterSettings filter = DefaultFilterSettings(FilterDefaults::Sheet);
    text::Copy(filter.pass, sizeof filter.pass, "secret");
    filter.DoFilter = 7;  // any nonzero switch is written as 1
    filter.FilterType = 1;
    filter.CheckSize = 1;
    filter.FilterSize = 5000;
    filter.Delete = 0;
    EXPECT_TRUE(WriteFilterSettings(Path("Kirvan.ini").c_str(), filter));
    EXPECT_EQ("[Server]\npass=secret\nSecurity=0\n[Property]\nDoFilter=1\nFilterType=1\nCheckSize=1\nFilterSize=5000\nDelete=0\n",
              Lines(Read("Kirvan.ini")));

    DigestSettings digest = {1, 0, 1, 2, 5, 0, 3};
    EXPECT_TRUE(WriteDigestSettings(Path("Pikuno.ini").c_str(), digest));
    EXPECT_EQ("[Digest]\nDivide=1\nMultipartMixed=0\nMultipartDigest=1\nDelType=2\nMark=5\nMidoku=0\nAskDelete=1\n",
              Lines(Read("Pikuno.ini")));
}

TEST_F(SettingsFilesTest, WriteKeepsOtherLinesAndReplacesKeysWhereTheyStand) {
    Write("Pikuno.ini",
          "; written by hand\r\n"
          "[Other]\r\nkeep=this\r\n"
          "[Digest]\r\nMark=3\r\nUnknown=x\r\nDivide=0\r\n"
          "[Tail]\r\nlast=1\r\n");
    DigestSettings digest = DefaultDigestSettings();
    digest.Divide = 1;
    digest.Mark = 6;
    WriteDigestSettings(Path("Pikuno.ini").c_str(), digest);
    EXPECT_EQ(
        "; written by hand\n"
        "[Other]\nkeep=this\n"
        "[Digest]\nMark=6\nUnknown=x\nDivide=1\nMultipartMixed=1\nMultipartDigest=1\nDelType=0\nMidoku=1\n"
        "AskDelete=1\n"
        "[Tail]\nlast=1\n",
        Lines(Read("Pikuno.ini")));
    DigestSettings back = ReadDigestSettings(Path("Pikuno.ini").c_str());
    EXPECT_EQ(1, back.Divide);
    EXPECT_EQ(6, back.Mark);
}

TEST_F(SettingsFilesTest, LongValuesAreWrittenWholeAndReadToTheLimit) {
    FilterSettings filter = DefaultFilterSettings(FilterDefaults::Sheet);
    std::string password(200, 'p');
    password[0] = 'A';
    password[126] = 'Z';
    // The record's buffer holds only 127 bytes, so the long password goes through
    // the profile function directly, as a hand-edited file would carry it.
    WritePrivateProfileStringA("Server", "pass", password.c_str(), Path("Kirvan.ini").c_str());
    EXPECT_NE(std::string::npos, Read("Kirvan.ini").find(password));
    filter = ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Plugin);
    EXPECT_EQ(password.substr(0, 127), std::string(filter.pass));

    std::string title(2000, 't');
    title[1022] = 'E';
    Write("Account.ini", "[Property]\r\nTitle=" + title + "\r\nAccount=" + std::string(300, 'u') + "\r\n");
    char longValue[kAccountLongValueBufferSize + 16];
    std::memset(longValue, 0xcc, sizeof longValue);
    ReadAccountString(Path("Account.ini").c_str(), "Title", longValue, kAccountLongValueBufferSize);
    EXPECT_EQ(title.substr(0, 1023), std::string(longValue));
    EXPECT_EQ(static_cast<char>(0xcc), longValue[kAccountLongValueBufferSize]);

    char name[kAccountNameBufferSize];
    ReadAccountString(Path("Account.ini").c_str(), "Account", name, sizeof name);
    EXPECT_EQ(127u, std::strlen(name));
}

TEST_F(SettingsFilesTest, NamesMatchWithoutCaseAndNumbersAreReadAsTheyStand) {
    Write("Pikuno.ini",
          "[DIGEST]\r\ndivide=1\r\nMULTIPARTMIXED=abc\r\nMultipartDigest=12xyz\r\n"
          "DelType=-1\r\nMark=-7\r\nMidoku= 0\r\n");
    DigestSettings digest = ReadDigestSettings(Path("Pikuno.ini").c_str());
    EXPECT_EQ(1, digest.Divide);
    EXPECT_EQ(0, digest.MultipartMixed);    // not a number: 0, not the default
    EXPECT_EQ(12, digest.MultipartDigest);  // the number at the start
    // Negative values are kept as written: the sheet shows them as "nothing
    // chosen" and each user of a value decides what a negative one means.
    EXPECT_EQ(-1, digest.DelType);
    EXPECT_EQ(-7, digest.Mark);
    EXPECT_EQ(0, digest.Midoku);
    EXPECT_EQ(1, digest.AskDelete);  // missing: default

    Write("Account.ini", "[property]\r\nnotdelete=1\r\nPOP3PORT=110\r\nUseRAS=-2\r\n");
    EXPECT_EQ(1, ReadAccountInt(Path("Account.ini").c_str(), "NotDelete"));
    EXPECT_EQ(110, ReadAccountInt(Path("Account.ini").c_str(), "POP3Port"));
    EXPECT_EQ(-2, ReadAccountInt(Path("Account.ini").c_str(), "UseRAS"));
}

TEST_F(SettingsFilesTest, ShiftJisValuesRoundTripByteForByte) {
    // "仕事用アカウント" and a password with a 0x5C second byte ("表").
    const char title[] = "\x8e\x64\x8e\x96\x97\x70\x83\x41\x83\x4a\x83\x45\x83\x93\x83\x67";
    const char password[] = "\x95\x5c\x83\x5c\x41";
    Write("Account.ini", std::string("[Property]\r\nTitle=") + title + "\r\n");
    char value[kAccountLongValueBufferSize];
    ReadAccountString(Path("Account.ini").c_str(), "Title", value, sizeof value);
    EXPECT_STREQ(title, value);

    FilterSettings filter = DefaultFilterSettings(FilterDefaults::Sheet);
    text::Copy(filter.pass, sizeof filter.pass, password);
    WriteFilterSettings(Path("Kirvan.ini").c_str(), filter);
    EXPECT_NE(std::string::npos, Read("Kirvan.ini").find(std::string("pass=") + password + "\r\n"));
    EXPECT_STREQ(password, ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Plugin).pass);
}

TEST(SettingsFilePaths, BothFormsAndTheirLimit) {
    char buffer[kPathBufferSize + 8];
    std::memset(buffer, 0xcc, sizeof buffer);
    ASSERT_TRUE(BuildAccountFilePathFromMailbox(buffer, kPathBufferSize, "C:\\Mail\\", "Account2", "Kirvan.ini"));
    EXPECT_STREQ("C:\\Mail\\Account2\\Kirvan.ini", buffer);
    ASSERT_TRUE(BuildAccountFilePath(buffer, kPathBufferSize, "C:\\Mail\\Account2\\", "Account.ini"));
    EXPECT_STREQ("C:\\Mail\\Account2\\Account.ini", buffer);
    ASSERT_TRUE(BuildPikunoIniPath(buffer, kPathBufferSize, "C:\\Mail\\"));
    EXPECT_STREQ("C:\\Mail\\Pikuno.ini", buffer);

    // 259 characters fit exactly; one more is refused whole and leaves the buffer empty,
    // because a cut path would name another file.
    const std::string fileName = "Kirvan.ini";
    std::string dir = "C:\\" + std::string(259 - 3 - 1 - fileName.size(), 'd') + "\\";
    ASSERT_EQ(259u, dir.size() + fileName.size());
    std::memset(buffer, 0xcc, sizeof buffer);
    EXPECT_TRUE(BuildAccountFilePath(buffer, kPathBufferSize, dir.c_str(), fileName.c_str()));
    EXPECT_EQ(259u, std::strlen(buffer));
    dir.insert(3, "x");
    std::memset(buffer, 0xcc, sizeof buffer);
    EXPECT_FALSE(BuildAccountFilePath(buffer, kPathBufferSize, dir.c_str(), fileName.c_str()));
    EXPECT_STREQ("", buffer);
    for (std::size_t i = kPathBufferSize; i < sizeof buffer; ++i) {
        ASSERT_EQ(static_cast<char>(0xcc), buffer[i]) << "byte " << i;
    }
    std::string longName(300, 'A');
    EXPECT_FALSE(BuildAccountFilePathFromMailbox(buffer, kPathBufferSize, "C:\\Mail\\", longName.c_str(), "Kirvan.ini"));
    EXPECT_STREQ("", buffer);
}

TEST_F(SettingsFilesTest, AnEmptyPathIsNeverReadOrWritten) {
    // An empty path would make the profile functions use a file in the Windows folder.
    DigestSettings digest = {1, 1, 1, 1, 1, 1, 1};
    EXPECT_FALSE(WriteDigestSettings("", digest));
    EXPECT_FALSE(WriteFilterSettings("", DefaultFilterSettings(FilterDefaults::Sheet)));
    EXPECT_EQ(0, ReadDigestSettings("").Divide);
    EXPECT_EQ(0, ReadFilterSettings("", FilterDefaults::Plugin).DoFilter);
}

// A file the system cannot write: the writers say so, at the first key, and the
// file keeps what it held until it is freed.
TEST_F(SettingsFilesTest, WritesThatFailAreReported) {
    enum class Fault { HeldOpen, Directory, MissingFolder };
    const struct {
        const char* name;
        Fault fault;
    } cases[] = {
        {"Pikuno.ini", Fault::HeldOpen},      {"Kirvan.ini", Fault::HeldOpen},
        {"Pikuno.ini", Fault::Directory},     {"Kirvan.ini", Fault::Directory},
        {"Pikuno.ini", Fault::MissingFolder}, {"Kirvan.ini", Fault::MissingFolder},
    };
    FilterSettings filter = DefaultFilterSettings(FilterDefaults::Sheet);
    filter.DoFilter = 1;
    DigestSettings digest = DefaultDigestSettings();
    digest.Divide = 1;
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const bool isDigest = std::strcmp(cases[i].name, "Pikuno.ini") == 0;
        std::string path = cases[i].fault == Fault::MissingFolder ? Path("no-such-folder\\") + cases[i].name
                                                                  : Path(cases[i].name);
        auto write = [&] {
            return isDigest ? WriteDigestSettings(path.c_str(), digest) : WriteFilterSettings(path.c_str(), filter);
        };
        if (cases[i].fault == Fault::MissingFolder) {
            EXPECT_FALSE(write()) << "case " << i;
            continue;
        }
        UnwritableFile file(path, cases[i].fault == Fault::HeldOpen ? WriteFault::HeldOpen : WriteFault::Directory);
        ASSERT_TRUE(file.Made()) << "case " << i;
        EXPECT_FALSE(write()) << "case " << i;
        EXPECT_TRUE(file.Unchanged()) << "case " << i;
        // Freed, the same path takes the write.
        file.Release();
        EXPECT_TRUE(write()) << "case " << i;
        EXPECT_EQ(1, isDigest ? ReadDigestSettings(path.c_str()).Divide
                              : ReadFilterSettings(path.c_str(), FilterDefaults::Plugin).DoFilter)
            << "case " << i;
    }
}

}  // namespace

namespace {

TEST_F(SettingsFilesTest, SecurityReadsUnknownValuesAsAutomatic) {
    struct Case {
        const char* line;
        int32_t security;
    };
    const Case cases[] = {
        {"", kSecurityAutomatic},        {"Security=0", kSecurityAutomatic}, {"Security=1", kSecurityImplicitTls},
        {"Security=2", kSecurityStlsRequired}, {"Security=3", kSecurityPlainText}, {"Security=4", kSecurityAutomatic},
        {"Security=-1", kSecurityAutomatic}, {"Security=tls", kSecurityAutomatic}, {"security=3", kSecurityPlainText},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        Write("Kirvan.ini", std::string("[Server]\r\npass=x\r\n") + cases[i].line + "\r\n");
        for (FilterDefaults defaults : {FilterDefaults::Sheet, FilterDefaults::Plugin}) {
            EXPECT_EQ(cases[i].security, ReadFilterSettings(Path("Kirvan.ini").c_str(), defaults).Security)
                << "case " << i;
        }
    }
}

TEST_F(SettingsFilesTest, TrustedCertificateIsKeptByTheSheetsWriteAndReadOnlyWhenWhole) {
    const std::string fingerprint(64, 'a');
    EXPECT_TRUE(WriteTrustedCertificate(Path("Kirvan.ini").c_str(), fingerprint.c_str()));
    EXPECT_EQ(fingerprint, ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Plugin).CertificateSha256);
    // The sheet writes every key of its own and leaves the user's trust alone.
    FilterSettings sheet = ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Sheet);
    sheet.Security = kSecurityStlsRequired;
    sheet.CertificateSha256[0] = '\0';
    WriteFilterSettings(Path("Kirvan.ini").c_str(), sheet);
    FilterSettings back = ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Plugin);
    EXPECT_EQ(fingerprint, back.CertificateSha256);
    EXPECT_EQ(kSecurityStlsRequired, back.Security);
    const std::string written = Lines(Read("Kirvan.ini"));
    EXPECT_EQ(0u, written.find("[Server]\nCertificateSha256=" + fingerprint + "\npass=\nSecurity=2\n[Property]\n"))
        << written;

    struct Case {
        std::string value;
        const char* read;
    };
    const Case cases[] = {
        {std::string(64, 'F'), "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
        {std::string(63, 'a'), ""},        // cut short
        {std::string(65, 'a'), ""},        // one digit too many is not cut into a fingerprint
        {std::string(63, 'a') + "z", ""},  // not hexadecimal
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        Write("Kirvan.ini", "[Server]\r\nCertificateSha256=" + cases[i].value + "\r\n");
        EXPECT_STREQ(cases[i].read, ReadFilterSettings(Path("Kirvan.ini").c_str(), FilterDefaults::Plugin).CertificateSha256)
            << "case " << i;
    }
    EXPECT_FALSE(WriteTrustedCertificate(Path("Kirvan.ini").c_str(), "abc"));
    EXPECT_FALSE(WriteTrustedCertificate("", fingerprint.c_str()));
}

}  // namespace
