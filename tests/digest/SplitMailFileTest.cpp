#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DigestSplitter.h"
#include "DigestTestFiles.h"
#include "FakeHost.h"
#include "FileBytes.h"
#include "MailFile.h"
#include "TempFolder.h"
#include "TextBuffer.h"
#include "WinHandles.h"
#include "WindowWatcher.h"

namespace {

const char kMailName[] = "Account1\\inbox.box\\00000001";
const char kInbox[] = "Account1\\inbox.box";
const char kTrash[] = "Account1\\trash.box";

DigestSettings On() {
    DigestSettings settings = DefaultDigestSettings();
    settings.Divide = 1;
    settings.AskDelete = 0;
    return settings;
}

class SplitMailFileTest : public ::testing::Test {
protected:
    // Splits one mail written as Account1\inbox.box\00000001.qnl.
    void Split(const std::string& bytes, const DigestSettings& settings, HWND owner = nullptr) {
        path = mailbox.WriteMail("00000001", bytes);
        MailFile mail(path.c_str());
        SplitMailFile(mail, settings, owner);
        EXPECT_FALSE(mail.IsOpen());
    }

    std::vector<std::string> ImportedTexts() {
        std::vector<std::string> texts;
        for (const HostCall& call : FakeHost::CallsOf("ImportFile")) {
            texts.push_back(call.bytes);
        }
        return texts;
    }

    MailboxFolder mailbox;
    FakeHost host{mailbox.Path()};
    std::string path;
};

TEST_F(SplitMailFileTest, SourceMailByDelType) {
    const struct {
        int32_t delType;
        const char* disposal;  // the call after the imports, or null
    } cases[] = {{0, "MoveMail"}, {1, "DeleteMail"}, {2, nullptr}, {3, nullptr}, {-1, nullptr}, {100, nullptr}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        FakeHost::calls.clear();
        DigestSettings settings = On();
        settings.DelType = cases[i].delType;
        Split(DigestOf(2), settings);
        const std::vector<HostCall>& calls = FakeHost::calls;
        ASSERT_EQ(cases[i].disposal ? 3u : 2u, calls.size()) << "case " << i;
        for (int n = 0; n < 2; ++n) {
            EXPECT_EQ("ImportFile", calls[n].function) << "case " << i;
            EXPECT_EQ(kInbox, calls[n].second) << "case " << i;
            EXPECT_EQ(ToCrLf(MessageText(n + 1)) + "\r\n", calls[n].bytes) << "case " << i << " message " << n;
        }
        if (cases[i].disposal) {
            EXPECT_EQ(cases[i].disposal, calls[2].function) << "case " << i;
            EXPECT_EQ(kMailName, calls[2].first) << "case " << i;
            if (cases[i].delType == 0) {
                EXPECT_EQ(kTrash, calls[2].second) << "case " << i;
            }
        }
        EXPECT_TRUE(FileExists(path)) << "case " << i << ": the fake host never removes the file";
    }
}

TEST_F(SplitMailFileTest, ImportFlags) {
    const struct {
        int32_t mark;
        int32_t midoku;
        DWORD flags;
    } cases[] = {
        {3, 1, 0x40000003}, {0, 0, 0},  {0, 1, 0x40000000}, {7, 0, 7},          {1, -1, 0x40000001},
        {-1, 1, 0x40000000}, {-1, 0, 0}, {8, 0, 0},          {0x40000000, 0, 0}, {-2147483647 - 1, 1, 0x40000000},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].flags, ImportFlags(cases[i].mark, cases[i].midoku)) << "case " << i;
    }
    // And the word reaches the host with every message.
    DigestSettings settings = On();
    settings.Mark = 3;
    settings.Midoku = 1;
    Split(DigestOf(3), settings);
    std::vector<HostCall> imports = FakeHost::CallsOf("ImportFile");
    ASSERT_EQ(3u, imports.size());
    for (const HostCall& call : imports) {
        EXPECT_EQ(0x40000003u, call.flags);
    }
}

// Points TMP and TEMP at a folder of the test's own while it lives: the splitter's
// temporary names are unique only while the files exist, so a check that a deleted
// one is gone must not share the folder with other programs splitting at once.
class TemporaryFilesGoTo {
public:
    explicit TemporaryFilesGoTo(const std::string& folder) {
        for (const char* name : {"TMP", "TEMP"}) {
            char value[MAX_PATH] = "";
            DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
            saved_.push_back({name, length > 0 && length < sizeof value, value});
            SetEnvironmentVariableA(name, folder.c_str());
        }
    }
    ~TemporaryFilesGoTo() {
        for (const Saved& saved : saved_) {
            SetEnvironmentVariableA(saved.name, saved.present ? saved.value.c_str() : nullptr);
        }
    }
    TemporaryFilesGoTo(const TemporaryFilesGoTo&) = delete;
    TemporaryFilesGoTo& operator=(const TemporaryFilesGoTo&) = delete;

private:
    struct Saved {
        const char* name;
        bool present;
        std::string value;
    };
    std::vector<Saved> saved_;
};

TEST_F(SplitMailFileTest, ImportedFilesAreTemporaryCrLfFiles) {
    TempFolder ownTemp;
    TemporaryFilesGoTo redirect(ownTemp.Path());
    Split(DigestOf(2, "\n"), On());
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
    ASSERT_EQ(0, lstrcmpiA(ownTemp.Path().c_str(), temp));
    std::vector<HostCall> imports = FakeHost::CallsOf("ImportFile");
    ASSERT_EQ(2u, imports.size());
    for (std::size_t i = 0; i < imports.size(); ++i) {
        const std::string& file = imports[i].first;
        std::string directory = file.substr(0, file.rfind('\\') + 1);
        std::string name = file.substr(file.rfind('\\') + 1);
        EXPECT_EQ(0, lstrcmpiA(temp, directory.c_str())) << "message " << i << ": " << file;
        // GetTempFileNameA takes the first three characters of the prefix "dgtm".
        EXPECT_EQ(0, _strnicmp(name.c_str(), "dgt", 3)) << "message " << i << ": " << file;
        EXPECT_FALSE(FileExists(file)) << "message " << i << ": deleted after the import";
        EXPECT_EQ(std::string::npos, imports[i].bytes.find("\r\r")) << "message " << i;
        EXPECT_EQ(ToCrLf(MessageText(static_cast<int>(i) + 1)) + "\r\n", imports[i].bytes) << "message " << i;
    }
    EXPECT_NE(imports[0].first, imports[1].first);
}

TEST_F(SplitMailFileTest, LongLinesAndBinaryBytesAreCopiedWhole) {
    std::string longLine(300 * 1024, 'x');
    for (std::size_t i = 0; i < longLine.size(); i += 97) {
        longLine[i] = static_cast<char>(0x80 + i % 100);
    }
    longLine[5] = '\0';
    std::string message = "Subject: long\n\n" + longLine + "\nend\n";
    std::string mail = "Content-Type: multipart/digest; boundary=\"B\"\n\n--B\nContent-Type: message/rfc822\n\n" + message +
                       "--B--\n";
    Split(mail, On());
    std::vector<std::string> texts = ImportedTexts();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(ToCrLf(message), texts[0]);
}

TEST_F(SplitMailFileTest, TypeSwitches) {
    const struct {
        const char* type;
        int32_t mixed;
        int32_t digest;
        bool split;
    } cases[] = {
        {"multipart/digest", 1, 1, true}, {"multipart/digest", 1, 0, false}, {"multipart/digest", 0, 1, true},
        {"multipart/mixed", 1, 1, true},  {"multipart/mixed", 0, 1, false},  {"multipart/mixed", 1, 0, true},
        {"multipart/mixed", -1, 0, true}, {"multipart/alternative", 1, 1, false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        FakeHost::calls.clear();
        DigestSettings settings = On();
        settings.MultipartMixed = cases[i].mixed;
        settings.MultipartDigest = cases[i].digest;
        Split(DigestOf(2, "\n", cases[i].type), settings);
        EXPECT_EQ(cases[i].split ? 2u : 0u, FakeHost::CallsOf("ImportFile").size()) << "case " << i;
        EXPECT_EQ(cases[i].split ? 1u : 0u, FakeHost::CallsOf("MoveMail").size()) << "case " << i;
    }
}

TEST_F(SplitMailFileTest, MailsThatAreLeftAlone) {
    const std::string noMessages =
        "Content-Type: multipart/digest; boundary=\"B\"\n\n--B\n\nSubject: no type of its own\n\nx\n--B--\n";
    const std::string kiritorisen = "Content-Type: multipart/mixed; boundary=\"***kiritorisen***\"\n\n--***kiritorisen***\n"
                                    "Content-Type: message/rfc822\n\nSubject: x\n\ny\n--***kiritorisen***--\n";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"digest parts without a type", noMessages},
        {"kiritorisen", kiritorisen},
        {"plain mail", "Subject: hello\n\ntext\n"},
        {"empty file", ""},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        FakeHost::calls.clear();
        Split(cases[i].bytes, On());
        EXPECT_TRUE(FakeHost::calls.empty()) << "case " << i << " (" << cases[i].name << ")";
    }
}

TEST_F(SplitMailFileTest, PathsWithoutHostNamesAreNotRead) {
    std::string inAccount = mailbox.WriteMail("00000001", DigestOf(2));
    std::string noAccount = mailbox.WriteMail("00000002", DigestOf(2), "Mail", "inbox.box");
    std::string noExtension = mailbox.Path() + "Account1\\inbox.box\\00000003";
    WriteFileBytes(noExtension, DigestOf(2));
    const std::string paths[] = {noAccount, noExtension, mailbox.Path() + "Account1\\inbox.box\\missing.qnl"};
    for (std::size_t i = 0; i < sizeof paths / sizeof paths[0]; ++i) {
        MailFile mail(paths[i].c_str());
        SplitMailFile(mail, On(), nullptr);
        EXPECT_TRUE(FakeHost::calls.empty()) << "case " << i << ": " << paths[i];
    }
    MailFile good(inAccount.c_str());
    SplitMailFile(good, On(), nullptr);
    EXPECT_EQ(3u, FakeHost::calls.size());
}

// Points the temporary directory at a folder that does not exist, so that no
// temporary file can be made; restores it at the end.
class MissingTempDirectory {
public:
    MissingTempDirectory() {
        saved_ = GetEnvironmentVariableA("TMP", value_, sizeof value_) > 0;
        SetEnvironmentVariableA("TMP", "C:\\pikuno-no-such-directory\\");
    }
    ~MissingTempDirectory() { SetEnvironmentVariableA("TMP", saved_ ? value_ : nullptr); }

private:
    char value_[MAX_PATH];
    bool saved_;
};

TEST_F(SplitMailFileTest, AMessageThatCannotBeWrittenKeepsTheSource) {
    for (int32_t delType : {0, 1}) {
        FakeHost::calls.clear();
        DigestSettings settings = On();
        settings.DelType = delType;
        {
            MissingTempDirectory missing;
            Split(DigestOf(2), settings);
        }
        EXPECT_TRUE(FakeHost::calls.empty()) << "DelType " << delType;
    }
    // The first message goes in, the second cannot: the source stays.
    std::unique_ptr<MissingTempDirectory> missing;
    FakeHost::importHook = [&missing] {
        if (!missing) {
            missing.reset(new MissingTempDirectory());
        }
    };
    FakeHost::calls.clear();
    Split(DigestOf(3), On());
    missing.reset();
    EXPECT_EQ(1u, FakeHost::CallsOf("ImportFile").size());
    EXPECT_TRUE(FakeHost::CallsOf("MoveMail").empty());
}

TEST_F(SplitMailFileTest, ARefusedImportKeepsTheSourceUntouched) {
    OwnerWindow owner;
    ASSERT_NE(nullptr, owner.Get());
    const BOOL kNo = FALSE;
    const BOOL kYes = TRUE;
    const struct {
        std::vector<BOOL> answers;  // of the three imports
        int32_t delType;
        int32_t askDelete;
        const char* disposal;  // the call after the imports, or null
    } cases[] = {
        {{kYes, kYes, kYes}, 0, 0, "MoveMail"},  // for comparison
        {{kYes, kYes, kYes}, 1, 1, "DeleteMail"},  // asked, and answered Yes
        {{kNo, kNo, kNo}, 0, 0, nullptr},
        {{kNo, kNo, kNo}, 1, 0, nullptr},
        {{kNo, kNo, kNo}, 1, 1, nullptr},
        {{kYes, kNo, kYes}, 0, 0, nullptr},
        {{kYes, kYes, kNo}, 1, 1, nullptr},
        {{kNo, kYes, kYes}, 1, 0, nullptr},
    };
    const std::string digest = DigestOf(3);
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        FakeHost::calls.clear();
        FakeHost::importAnswers = cases[i].answers;
        DigestSettings settings = On();
        settings.DelType = cases[i].delType;
        settings.AskDelete = cases[i].askDelete;
        std::vector<MessageBoxSeen> boxes;
        {
            MessageBoxCloser watcher("deletemail", {IDYES});
            Split(digest, settings, owner.Get());
            boxes = watcher.Stop();
        }
        // Every message is offered to the host, refused ones too, each from a
        // temporary file that is gone afterwards.
        std::vector<HostCall> imports = FakeHost::CallsOf("ImportFile");
        ASSERT_EQ(3u, imports.size()) << "case " << i;
        for (std::size_t n = 0; n < imports.size(); ++n) {
            EXPECT_EQ(ToCrLf(MessageText(static_cast<int>(n) + 1)) + "\r\n", imports[n].bytes)
                << "case " << i << " message " << n;
            EXPECT_FALSE(FileExists(imports[n].first)) << "case " << i << " message " << n;
        }
        EXPECT_EQ(cases[i].disposal ? 1u : 0u, FakeHost::calls.size() - imports.size()) << "case " << i;
        if (cases[i].disposal) {
            EXPECT_EQ(cases[i].disposal, FakeHost::calls.back().function) << "case " << i;
        }
        // A source that stays is not asked about either.
        EXPECT_EQ(cases[i].disposal && cases[i].askDelete ? 1u : 0u, boxes.size()) << "case " << i;
        EXPECT_EQ(digest, ReadFileBytes(path)) << "case " << i << ": the source mail is unchanged";
    }
}

TEST_F(SplitMailFileTest, ConfirmationBox) {
    OwnerWindow owner;
    ASSERT_NE(nullptr, owner.Get());
    const struct {
        int answer;
        bool deleted;
    } cases[] = {{IDYES, true}, {IDNO, false}};
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        FakeHost::calls.clear();
        DigestSettings settings = On();
        settings.DelType = 1;
        settings.AskDelete = 1;
        std::vector<MessageBoxSeen> boxes;
        {
            MessageBoxCloser watcher("deletemail", {cases[i].answer}, [] { return FakeHost::calls.size(); });
            Split(DigestOf(2), settings, owner.Get());
            boxes = watcher.Stop();
        }
        ASSERT_EQ(1u, boxes.size()) << "case " << i;
        EXPECT_EQ("Delete OK?", boxes[0].text) << "case " << i;
        EXPECT_EQ("deletemail", boxes[0].caption) << "case " << i;
        EXPECT_EQ(owner.Get(), boxes[0].owner) << "case " << i;
        EXPECT_TRUE(boxes[0].Shows(IDYES) && boxes[0].Shows(IDNO)) << "case " << i;
        EXPECT_FALSE(boxes[0].Shows(IDOK) || boxes[0].Shows(IDCANCEL)) << "case " << i;
        EXPECT_FALSE(boxes[0].hasIcon) << "case " << i;
        EXPECT_EQ(2u, boxes[0].mark) << "case " << i << ": asked after the imports";
        EXPECT_EQ(2u, FakeHost::CallsOf("ImportFile").size()) << "case " << i;
        EXPECT_EQ(cases[i].deleted ? 1u : 0u, FakeHost::CallsOf("DeleteMail").size()) << "case " << i;
        EXPECT_TRUE(FakeHost::CallsOf("MoveMail").empty()) << "case " << i;
    }
}

TEST_F(SplitMailFileTest, MailFileReadsARealFileWithInterleavedOperations) {
    const std::string bytes = "A: 1\r\n 2\r\n\r\nbody\r\n";
    path = mailbox.WriteMail("00000009", bytes);
    for (uint32_t chunk : {1u, 4u, 65536u}) {
        MailFile mail(path.c_str());
        mail.SetReadChunkSize(chunk);
        EXPECT_EQ("Account1\\inbox.box\\00000009", std::string(mail.MailName())) << chunk;
        EXPECT_EQ(kTrash, std::string(mail.TrashFolder())) << chunk;
        EXPECT_EQ(kInbox, std::string(mail.InboxFolder())) << chunk;
        EXPECT_FALSE(mail.IsOpen());
        ASSERT_EQ(1, mail.Open()) << chunk;
        TextBuffer line;
        EXPECT_EQ(1, mail.ReadHeaderLine(line)) << chunk;
        EXPECT_STREQ("A: 1 2", line.Text()) << chunk;
        EXPECT_EQ(10u, mail.Position()) << chunk;
        line.Clear();
        EXPECT_EQ(0, mail.ReadHeaderLine(line)) << chunk;
        EXPECT_EQ(12u, mail.Position()) << chunk;
        EXPECT_EQ(1, mail.ReadLine(line)) << chunk;
        EXPECT_STREQ("body", line.Text()) << chunk;
        line.Clear();
        EXPECT_EQ(0, mail.ReadLine(line)) << chunk;
        EXPECT_FALSE(mail.ReadFailed()) << chunk;
        // Shared for reading while open: another reader gets in, a writer does not.
        UniqueFileHandle reader(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(reader.IsValid()) << chunk << ": error " << GetLastError();
        reader.Reset();
        UniqueFileHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_FALSE(writer.IsValid()) << chunk << ": opened for writing while the mail file reads it";
        writer.Reset();
        mail.Close();
        mail.Close();
        EXPECT_FALSE(mail.IsOpen());
        // Released when closed: the host can move or delete the mail at once.
        EXPECT_TRUE(DeleteFileA(path.c_str())) << chunk << ": error " << GetLastError();
        WriteFileBytes(path, bytes);
    }
    MailFile missing((mailbox.Path() + "Account1\\inbox.box\\none.qnl").c_str());
    EXPECT_EQ(0, missing.Open());
    EXPECT_FALSE(missing.IsOpen());
}

}  // namespace
