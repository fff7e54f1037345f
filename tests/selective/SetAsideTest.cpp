// The selective receive that remembers, against a scripted server: the three
// kinds of message from a uidl file and a record the test prepares, a message
// received later, the size filter's release, and the rewrite refused.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CrashSafeFile.h"
#include "ReceiveFixture.h"
#include "ReceiveUi.h"
#include "SelectiveReceive.h"
#include "SetAsideRecord.h"
#include "SetAsideStore.h"
#include "TempFolder.h"
#include "UidlList.h"
#include "WinHandles.h"

namespace {

using Server = LoopbackPop3Peer;
using Press = SelectionDialogDriver::Press;

const char kRecordHead[] = "Pikuno set-aside record 1\r\n";

// Four messages with the three fields the record keeps.
std::vector<ScriptedMessage> Mailbox() {
    return {
        {4000, "UID-A", TopReply("Subject: first\r\nFrom: a@example.jp\r\nDate: Tue, 1 Dec 2026 10:00:00 +0900\r\n")},
        {5000, "UID-B", TopReply("Subject: second\r\nFrom: b@example.jp\r\n")},
        {6000, "UID-C", TopReply("Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n\tfolded\r\nFrom: c@example.jp\r\n")},
        {7000, "UID-D", TopReply("From: d@example.jp\r\n")},
    };
}

std::string RecordLine(const char* uidl, const char* why, int size, const char* subject) {
    return std::string(uidl) + "\t" + why + "\t" + std::to_string(size) + "\t" + subject + "\t%-\t%-\r\n";
}

class SetAside : public ReceiveFixture {
protected:
    std::string RecordPath() const { return AccountDir() + kSetAsideRecordName; }
    std::string ReadRecord() const {
        return dir_.Exists(kSetAsideRecordName) ? dir_.ReadFile(kSetAsideRecordName) : "<absent>";
    }
    void Prepare(const char* uidl, const std::string& record) {
        DeleteFileA(UidlPath().c_str());
        DeleteFileA(RecordPath().c_str());
        if (uidl) {
            ASSERT_TRUE(WriteUidl(uidl));
        }
        if (record != "<absent>") {
            ASSERT_TRUE(dir_.WriteFile(kSetAsideRecordName, record));
        }
        gUidlList.RemoveAll();
    }
};

const SelectionItemSeen* ItemOfMessage(const SelectionDialogSeen& seen, int n) {
    for (const SelectionItemSeen& item : seen.items) {
        if (item.param == n) {
            return &item;
        }
    }
    return nullptr;
}

// ---- the three kinds ----------------------------------------------------------

struct KindsCase {
    const char* name;
    const char* uidl;        // nullptr: no file
    std::string record;      // "<absent>": no file
    std::vector<int> tops;   // the messages whose header is asked for
    int shownFromRecord;     // a message listed with the record's subject (0: none)
    const char* recordSubject;
    const char* uidlAfter;   // after OK with nothing ticked
    std::string recordAfter;
};

TEST_F(SetAside, KindsComeFromTheUidlFileAndTheRecord) {
    const KindsCase cases[] = {
        {"no files: all new", nullptr, "<absent>", {1, 2, 3, 4}, 0, "",
         "UID-A\nUID-B\nUID-C\nUID-D\n",
         std::string(kRecordHead) +
             "UID-A\tdialog\t4000\tfirst\ta@example.jp\tTue, 1 Dec 2026 10:00:00 +0900\r\n"
             "UID-B\tdialog\t5000\tsecond\tb@example.jp\t%-\r\n"
             "UID-C\tdialog\t6000\t=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=%09folded\tc@example.jp\t%-\r\n"
             "UID-D\tdialog\t7000\t%-\td@example.jp\t%-\r\n"},
        // CR LF lines and a last line without its end, as the host may leave them.
        {"received, set aside and new", "UID-A\r\nUID-B\nUID-C",
         kRecordHead + RecordLine("UID-B", "dialog", 5000, "kept subject"), {4}, 2, "kept subject",
         "UID-A\r\nUID-B\nUID-C\nUID-D\n",
         kRecordHead + RecordLine("UID-B", "dialog", 5000, "kept subject") +
             "UID-D\tdialog\t7000\t%-\td@example.jp\t%-\r\n"},
        {"damaged record: as if none", "UID-A\nUID-B\n", "Pikuno set-aside record 9\r\nUID-B\tdialog\t1\t%-\t%-\t%-\r\n",
         {3, 4}, 0, "", "UID-A\nUID-B\nUID-C\nUID-D\n",
         std::string(kRecordHead) +
             "UID-C\tdialog\t6000\t=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=%09folded\tc@example.jp\t%-\r\n"
             "UID-D\tdialog\t7000\t%-\td@example.jp\t%-\r\n"},
        // UID-Z is gone from the server: its entry goes, its line in uidl stays.
        {"entry for mail gone from the server", "UID-Z\nUID-A\nUID-B\nUID-C\nUID-D\n",
         kRecordHead + RecordLine("UID-Z", "size", 99, "gone") + RecordLine("UID-C", "size", 6000, "third"), {},
         3, "third", "UID-Z\nUID-A\nUID-B\nUID-C\nUID-D\n",
         kRecordHead + RecordLine("UID-C", "dialog", 6000, "third")},
    };
    int index = 0;
    for (const KindsCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.name);
        Prepare(c.uidl, c.record);
        Server server;
        SelectionDialogDriver driver({}, Press::kOk);
        RunScript(server, Join({Login(), Listing(Mailbox()), UidlListing(Mailbox()), Tops(Mailbox(), c.tops), Quit()}));
        const SelectionDialogSeen& seen = driver.Seen();
        ASSERT_TRUE(seen.found) << seen.report;
        // The kinds are known before any TOP: only new messages cost one.
        EXPECT_EQ(kWireLogin + std::string("uidl\r\n") + TopsWire(c.tops) + "quit\r\n", server.Received());
        if (c.shownFromRecord) {
            const SelectionItemSeen* item = ItemOfMessage(seen, c.shownFromRecord);
            ASSERT_NE(nullptr, item) << "the set-aside message is listed";
            EXPECT_EQ(c.recordSubject, item->subject);
        }
        for (int n : c.tops) {
            EXPECT_NE(nullptr, ItemOfMessage(seen, n)) << "new message " << n << " listed";
        }
        // Nothing ticked: every listed message stays, none appended twice.
        EXPECT_EQ(c.uidlAfter, ReadUidl());
        EXPECT_EQ(c.recordAfter, ReadRecord());
        EXPECT_EQ(1, TakeReceiveCommands());
    }
}

// ---- receive later ------------------------------------------------------------

TEST_F(SetAside, TickedSetAsideMessageLeavesBothFilesAndIsRetrieved) {
    // The host's other lines keep their bytes: CR LF, LF, a last line without end.
    Prepare("OLD1\r\nUID-A\r\nUID-B\nOLD2",
            kRecordHead + RecordLine("UID-A", "dialog", 4000, "first") + RecordLine("UID-B", "size", 5000, "second"));
    Server server;
    // Message 1 (set aside) and 3 (new) ticked; 2 (set aside) and 4 (new) not.
    SelectionDialogDriver driver({0, 2}, Press::kOk);
    RunScript(server, Join({Login(), Listing(Mailbox()), UidlListing(Mailbox()), Tops(Mailbox(), {3, 4}), Quit()}));
    ASSERT_TRUE(driver.Seen().found) << driver.Seen().report;
    EXPECT_EQ("OLD1\r\nUID-B\nOLD2\nUID-D\n", ReadUidl());
    EXPECT_EQ(kRecordHead + RecordLine("UID-B", "dialog", 5000, "second") +
                  "UID-D\tdialog\t7000\t%-\td@example.jp\t%-\r\n",
              ReadRecord());
    EXPECT_EQ(2, gUidlList.GetCount());
    EXPECT_EQ(1, TakeReceiveCommands());
}

TEST_F(SetAside, CancelledDialogReleasesNothing) {
    const std::string record = kRecordHead + RecordLine("UID-A", "dialog", 4000, "first");
    Prepare("UID-A\n", record);
    Server server;
    SelectionDialogDriver driver({0}, Press::kCancel);
    RunScript(server, Join({Login(), Listing(Mailbox()), UidlListing(Mailbox()), Tops(Mailbox(), {2, 3, 4}), Quit()}));
    EXPECT_EQ("UID-A\n", ReadUidl());
    EXPECT_EQ(record, ReadRecord());
    EXPECT_EQ(0, gUidlList.GetCount());
    EXPECT_EQ(1, TakeReceiveCommands()) << "the new messages are retrieved as before";
}

// ---- the size filter ------------------------------------------------------------

struct SizeReleaseCase {
    int limit;
    std::vector<int> tops;  // new messages above the limit, for the record
    const char* uidlAfter;
    std::string recordAfter;
};

TEST_F(SetAside, SizeFilterReleasesWhatItSetAsideOnceWithinTheLimit) {
    // B was set aside by an earlier size filter, C in the dialog; A and D are new.
    const std::string before =
        kRecordHead + RecordLine("UID-B", "size", 5000, "second") + RecordLine("UID-C", "dialog", 6000, "third");
    const std::string dEntry = "UID-D\tsize\t7000\t%-\td@example.jp\t%-\r\n";
    const SizeReleaseCase cases[] = {
        // Raised above B: B released; C stays (the user chose it); D set aside.
        {6500, {4}, "UID-C\nUID-D\n", kRecordHead + RecordLine("UID-C", "dialog", 6000, "third") + dEntry},
        // Still below B: B stays.
        {4500, {4}, "UID-B\nUID-C\nUID-D\n", before + dEntry},
        // Above everything: B released, C stays, nothing new set aside.
        {9000, {}, "UID-C\n", kRecordHead + RecordLine("UID-C", "dialog", 6000, "third")},
    };
    int index = 0;
    for (const SizeReleaseCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": limit " << c.limit);
        Prepare("UID-B\nUID-C\n", before);
        Server server;
        MessageBoxCloser boxes("Kirvan");
        RunScript(server, Join({Login(), Listing(Mailbox()), UidlListing(Mailbox()), Tops(Mailbox(), c.tops), Quit()}),
                  SizeFilter(c.limit));
        EXPECT_TRUE(boxes.Stop().empty());
        EXPECT_EQ(kWireLogin + std::string("uidl\r\n") + TopsWire(c.tops) + "quit\r\n", server.Received());
        EXPECT_EQ(c.uidlAfter, ReadUidl());
        EXPECT_EQ(c.recordAfter, ReadRecord());
        EXPECT_EQ(1, TakeReceiveCommands());
    }
}

// ---- the rewrite refused ----------------------------------------------------------

enum class Obstacle { kUidlReadOnly, kUidlHeldWithoutDeleteSharing, kUidlFolder, kUidlTooLarge, kRecordFolder };

struct RefusedCase {
    const char* name;
    Obstacle obstacle;
    bool scanned;  // the server was reached before the refusal
    const char* box;
};

TEST_F(SetAside, RewriteRefusedChangesNothingAndRetrievesNothing) {
    const RefusedCase cases[] = {
        {"uidl read-only", Obstacle::kUidlReadOnly, true, kUidlWriteFailedText},
        {"uidl held open without delete sharing", Obstacle::kUidlHeldWithoutDeleteSharing, true,
         kUidlWriteFailedText},
        {"uidl is a folder: cannot be read", Obstacle::kUidlFolder, false, kUidlWriteFailedText},
        {"uidl larger than any rewrite should hold", Obstacle::kUidlTooLarge, false, kUidlWriteFailedText},
        {"record is a folder", Obstacle::kRecordFolder, true, kRecordNotWrittenText},
    };
    const std::string record = kRecordHead + RecordLine("UID-A", "dialog", 4000, "first");
    int index = 0;
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.name);
        const bool uidlFolder = c.obstacle == Obstacle::kUidlFolder;
        const bool recordFolder = c.obstacle == Obstacle::kRecordFolder;
        Prepare(uidlFolder ? nullptr : "UID-A\n", recordFolder ? "<absent>" : record);
        if (uidlFolder) {
            ASSERT_TRUE(CreateDirectoryA(UidlPath().c_str(), nullptr));
        }
        if (recordFolder) {
            ASSERT_TRUE(CreateDirectoryA(RecordPath().c_str(), nullptr));
        }
        if (c.obstacle == Obstacle::kUidlTooLarge) {
            // Sparse: one byte past the bound, no disk used.
            UniqueFileHandle big(CreateFileA(UidlPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
            LARGE_INTEGER end;
            end.QuadPart = static_cast<LONGLONG>(kLargestReadFile) + 1;
            ASSERT_TRUE(SetFilePointerEx(big.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(big.Get()));
        }
        if (c.obstacle == Obstacle::kUidlReadOnly) {
            ASSERT_TRUE(SetFileAttributesA(UidlPath().c_str(), FILE_ATTRIBUTE_READONLY));
        }
        UniqueFileHandle holder;
        if (c.obstacle == Obstacle::kUidlHeldWithoutDeleteSharing) {
            holder.Reset(CreateFileA(UidlPath().c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder.IsValid());
        }
        gDeleteOnServer = 0;
        KirvanIni kirvan;
        kirvan.deleteOnServer = 1;
        Server server;
        // Message 1 ticked (set aside before, when the record can be read: to be
        // released); 2, 3 and 4 to be set aside.
        SelectionDialogDriver driver({0}, Press::kOk);
        MessageBoxCloser boxes("Kirvan");
        if (c.scanned) {
            RunScript(server,
                      Join({Login(), Listing(Mailbox()), UidlListing(Mailbox()), Tops(Mailbox(), {2, 3, 4}), Quit()}),
                      kirvan);
        } else {
            ASSERT_TRUE(server.Listen());
            Run(server, kirvan);
            EXPECT_FALSE(server.ConnectAttempted()) << "nothing sent to the server";
        }
        std::vector<MessageBoxSeen> seen = boxes.Stop();
        holder.Reset();
        SetFileAttributesA(UidlPath().c_str(), FILE_ATTRIBUTE_NORMAL);

        ASSERT_EQ(1u, seen.size()) << boxes.Report();
        EXPECT_EQ(c.box, seen[0].text);
        EXPECT_EQ(window_, seen[0].owner);
        EXPECT_EQ(0, TakeReceiveCommands()) << "nothing retrieved";
        EXPECT_EQ(0, gUidlList.GetCount()) << "VbxRecFilter would keep asking to delete";
        if (c.obstacle == Obstacle::kUidlTooLarge) {
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            ASSERT_TRUE(GetFileAttributesExA(UidlPath().c_str(), GetFileExInfoStandard, &data));
            EXPECT_EQ(0u, data.nFileSizeHigh);
            EXPECT_EQ(kLargestReadFile + 1, data.nFileSizeLow) << "left as it was";
            DeleteFileA(UidlPath().c_str());
        } else if (!uidlFolder) {
            EXPECT_EQ("UID-A\n", ReadUidl());
        }
        EXPECT_FALSE(dir_.Exists(std::string("uidl") + kReplacementSuffix)) << "no replacement left behind";
        EXPECT_FALSE(dir_.Exists(kSetAsideRecordName + std::string(kReplacementSuffix)));
        if (recordFolder) {
            RemoveDirectoryA(RecordPath().c_str());
        } else {
            EXPECT_EQ(record, ReadRecord()) << "the record put back";
        }
        if (uidlFolder) {
            RemoveDirectoryA(UidlPath().c_str());
        }
    }
}

// A replacement the file system cuts short (the disk full, a quota) must leave
// the old file whole and no half-written replacement beside it. The file size
// limit that test_crash_safe_short_write sets makes the system write the first
// bytes of the replacement and refuse the rest.
TEST(CrashSafeFile, ReplacementCutShortLeavesTheOldFile) {
    const char* limit = std::getenv("PIKUNO_FILE_SIZE_LIMIT");
    if (!limit) {
        GTEST_SKIP() << "needs the file size limit that test_crash_safe_short_write sets";
    }
    TempFolder folder;
    const std::string old = "UID-OLD-1\nUID-OLD-2";  // no line end: kept as it is
    ASSERT_TRUE(folder.WriteFile("uidl", old));
    const std::string path = folder.Path() + "uidl";
    // One byte more than the limit allows: everything but the last byte fits.
    std::string bigger(static_cast<std::size_t>(std::atoll(limit)) + 1, 'U');
    EXPECT_FALSE(ReplaceFileCrashSafe(path.c_str(), bigger));
    EXPECT_EQ(old, folder.ReadFile("uidl"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((path + kReplacementSuffix).c_str()))
        << "the cut replacement is removed";
    // Within the limit the same call replaces the file.
    EXPECT_TRUE(ReplaceFileCrashSafe(path.c_str(), "UID-NEW\n"));
    EXPECT_EQ("UID-NEW\n", folder.ReadFile("uidl"));
}

}  // namespace
