#include <gtest/gtest.h>

#include "MailboxFolder.h"
#include "MailStore.h"
#include "UidlFile.h"

namespace {

class MailStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        box.AddAccount("Account1", "");
        box.AddAccount("Account2", "");
        ASSERT_TRUE(store.Open(box.Path()));
    }
    MailboxFolder box;
    MailStore store;
};

TEST_F(MailStoreTest, OpenAddsTheBackslashAndRefusesMissingDirectories) {
    MailStore other;
    EXPECT_TRUE(other.Open(box.Path().substr(0, box.Path().size() - 1)));
    EXPECT_EQ(box.Path(), other.MailboxDir());
    EXPECT_FALSE(other.Open(box.Path() + "absent"));
    EXPECT_FALSE(other.Open(""));
}

TEST_F(MailStoreTest, AccountsAreTheAccountDirectoriesInNameOrder) {
    box.MakeFolder("Other");
    box.WriteFile("AccountFile", "not a directory");
    std::vector<std::string> accounts = store.Accounts();
    ASSERT_EQ(2u, accounts.size());
    EXPECT_EQ("Account1", accounts[0]);
    EXPECT_EQ("Account2", accounts[1]);
}

TEST_F(MailStoreTest, SafeRelativeNames) {
    struct Case {
        const char* name;
        bool safe;
    } cases[] = {
        {"Account1\\inbox.box", true},  {"Account1\\inbox.box\\00000001", true},
        {"Account1", true},             {"", false},
        {"\\Account1", false},          {"C:\\x", false},
        {"Account1\\..\\x", false},     {"Account1\\\\inbox.box", false},
        {"Account1\\", false},          {"Account1/inbox.box", false},
        {".\\Account1", false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].safe, MailStore::IsSafeRelative(cases[i].name)) << "case " << i << " " << cases[i].name;
    }
}

TEST_F(MailStoreTest, StoreNumbersMailsAndRecordsMarkAndUnread) {
    std::string first, second;
    ASSERT_TRUE(store.Store("Account1\\inbox.box", "Subject: a\r\n\r\nx\r\n", 0, true, &first));
    ASSERT_TRUE(store.Store("Account1\\inbox.box", "Subject: b\r\n\r\ny\r\n", 5, false, &second));
    EXPECT_EQ("Account1\\inbox.box\\00000001", first);
    EXPECT_EQ("Account1\\inbox.box\\00000002", second);
    EXPECT_EQ("Subject: a\r\n\r\nx\r\n", box.ReadFile("Account1\\inbox.box\\00000001.qnl"));
    EXPECT_EQ("00000001\t0\t1\r\n00000002\t5\t0\r\n", box.ReadFile("Account1\\inbox.box\\folder.idx"));
    EXPECT_FALSE(store.Store("Account1\\nothere.box", "x", 0, false, nullptr));
    EXPECT_FALSE(store.Store("..\\outside", "x", 0, false, nullptr));
}

TEST_F(MailStoreTest, ImportSplitsTheFlagsIntoMarkAndUnread) {
    struct Case {
        uint32_t flags;
        uint32_t mark;
        bool unread;
    } cases[] = {{0x40000003u, 3, true}, {0, 0, false}, {0x40000000u, 0, true}, {7, 7, false}};
    box.WriteFile("source.eml", "Subject: imported\r\n\r\nbody\r\n");
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string entry;
        ASSERT_TRUE(store.Import(box.Path() + "source.eml", "Account2\\inbox.box", cases[i].flags, &entry))
            << "case " << i;
        MailEntry found;
        ASSERT_TRUE(store.Find(entry, &found)) << "case " << i;
        EXPECT_EQ(cases[i].mark, found.mark) << "case " << i;
        EXPECT_EQ(cases[i].unread, found.unread) << "case " << i;
        std::string bytes;
        EXPECT_TRUE(store.ReadMail(entry, &bytes));
        EXPECT_EQ("Subject: imported\r\n\r\nbody\r\n", bytes) << "case " << i;
    }
    EXPECT_FALSE(store.Import(box.Path() + "absent.eml", "Account2\\inbox.box", 0, nullptr));
    EXPECT_EQ(4u, store.List("Account2\\inbox.box").size());
}

TEST_F(MailStoreTest, MoveKeepsFlagsAndTakesANewNumber) {
    std::string entry, inTrash, moved;
    ASSERT_TRUE(store.Store("Account1\\trash.box", "old", 0, false, &inTrash));
    ASSERT_TRUE(store.Store("Account1\\inbox.box", "mail", 4, true, &entry));
    ASSERT_TRUE(store.Move(entry, "Account1\\trash.box", &moved));
    EXPECT_EQ("Account1\\trash.box\\00000002", moved);
    EXPECT_FALSE(box.Exists("Account1\\inbox.box\\00000001.qnl"));
    EXPECT_TRUE(store.List("Account1\\inbox.box").empty());
    MailEntry found;
    ASSERT_TRUE(store.Find(moved, &found));
    EXPECT_EQ(4u, found.mark);
    EXPECT_TRUE(found.unread);
    EXPECT_FALSE(store.Move(entry, "Account1\\trash.box", nullptr)) << "already moved";
    EXPECT_FALSE(store.Move(moved, "Account1\\none.box", nullptr));
    EXPECT_TRUE(store.Find(moved, &found)) << "a refused move keeps the mail";
}

TEST_F(MailStoreTest, DeleteRemovesFileAndIndexLine) {
    std::string a, b;
    ASSERT_TRUE(store.Store("Account1\\inbox.box", "a", 1, false, &a));
    ASSERT_TRUE(store.Store("Account1\\inbox.box", "b", 2, true, &b));
    ASSERT_TRUE(store.Delete(a));
    EXPECT_FALSE(store.Delete(a));
    EXPECT_FALSE(store.Delete("Account1\\inbox.box\\..\\x"));
    EXPECT_EQ("00000002\t2\t1\r\n", box.ReadFile("Account1\\inbox.box\\folder.idx"));
    // The next mail never reuses a number still in use.
    std::string c;
    ASSERT_TRUE(store.Store("Account1\\inbox.box", "c", 0, false, &c));
    EXPECT_EQ("Account1\\inbox.box\\00000003", c);
}

TEST_F(MailStoreTest, ListFollowsTheFilesNotJustTheIndex) {
    box.WriteFile("Account1\\inbox.box\\00000007.qnl", "placed by hand");
    box.WriteFile("Account1\\inbox.box\\folder.idx", "00000009\t1\t1\r\n00000007\t2\t1\r\nbroken line\r\n");
    box.WriteFile("Account1\\inbox.box\\00000003.qnl", "also by hand");
    std::vector<MailEntry> mails = store.List("Account1\\inbox.box");
    ASSERT_EQ(2u, mails.size());
    EXPECT_EQ("00000007", mails[0].name);
    EXPECT_EQ(2u, mails[0].mark);
    EXPECT_EQ("00000003", mails[1].name);
    EXPECT_FALSE(mails[1].unread);
}

TEST_F(MailStoreTest, SetMark) {
    std::string entry;
    ASSERT_TRUE(store.Store("Account1\\inbox.box", "a", 0, true, &entry));
    ASSERT_TRUE(store.SetMark(entry, 6, false));
    MailEntry found;
    ASSERT_TRUE(store.Find(entry, &found));
    EXPECT_EQ(6u, found.mark);
    EXPECT_FALSE(found.unread);
    EXPECT_FALSE(store.SetMark("Account1\\inbox.box\\00000099", 1, true));
}

TEST(UidlFileTest, ReadsLinesEndingInLfOrCrLf) {
    MailboxFolder box;
    box.WriteFile("uidl", "one\ntwo\r\n\nthree");
    std::set<std::string> uidls = ReadUidlFile(box.Path() + "uidl");
    EXPECT_EQ((std::set<std::string>{"one", "two", "three"}), uidls);
    EXPECT_TRUE(ReadUidlFile(box.Path() + "absent").empty());
}

TEST(UidlFileTest, AppendsLfLinesAndMendsAMissingLastLineEnd) {
    struct Case {
        const char* before;  // null: no file
        const char* after;
    } cases[] = {
        {nullptr, "a\nb\n"},
        {"", "a\nb\n"},
        {"x\n", "x\na\nb\n"},
        {"x\r\n", "x\r\na\nb\n"},
        {"x", "x\na\nb\n"},
        {"x\r", "x\r\na\nb\n"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailboxFolder box;
        if (cases[i].before) {
            box.WriteFile("uidl", cases[i].before);
        }
        ASSERT_TRUE(AppendUidlFile(box.Path() + "uidl", {"a", "b"})) << "case " << i;
        EXPECT_EQ(cases[i].after, box.ReadFile("uidl")) << "case " << i;
        // What was written is read back as whole entries.
        std::set<std::string> read = ReadUidlFile(box.Path() + "uidl");
        EXPECT_TRUE(read.count("a") && read.count("b")) << "case " << i;
    }
}

TEST(UidlFileTest, NothingToAppendLeavesTheFileAlone) {
    MailboxFolder box;
    EXPECT_TRUE(AppendUidlFile(box.Path() + "uidl", {}));
    EXPECT_FALSE(box.Exists("uidl"));
}

}  // namespace
