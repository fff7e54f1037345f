#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "DigestTestFiles.h"
#include "FakeHost.h"
#include "SplitQueue.h"
#include "WindowWatcher.h"

namespace {

class SplitQueueTest : public ::testing::Test {
protected:
    void TearDown() override { gSplitQueue.Clear(); }

    void WriteSettings(int32_t divide, int32_t delType = 0, int32_t askDelete = 0) {
        DigestSettings settings = DefaultDigestSettings();
        settings.Divide = divide;
        settings.DelType = delType;
        settings.AskDelete = askDelete;
        WritePikunoIni(mailbox, settings);
    }

    std::vector<std::string> Disposed(const char* function) {
        std::vector<std::string> names;
        for (const HostCall& call : FakeHost::CallsOf(function)) {
            names.push_back(call.first);
        }
        return names;
    }

    MailboxFolder mailbox;
    FakeHost host{mailbox.Path()};
};

bool SameSettings(const DigestSettings& a, const DigestSettings& b) {
    return a.Divide == b.Divide && a.MultipartMixed == b.MultipartMixed && a.MultipartDigest == b.MultipartDigest &&
           a.DelType == b.DelType && a.Mark == b.Mark && a.Midoku == b.Midoku && a.AskDelete == b.AskDelete;
}

TEST_F(SplitQueueTest, SettingsComeFromPikunoIniInTheMailbox) {
    SplitQueue queue;
    DigestSettings zero = {};
    EXPECT_TRUE(SameSettings(zero, queue.GetSettings())) << "all 0 before the first read";

    queue.ReadSettings();  // no file at all
    EXPECT_TRUE(SameSettings(DefaultDigestSettings(), queue.GetSettings()));
    EXPECT_EQ(0, queue.GetSettings().Divide);

    DigestSettings written = {1, 0, 1, 2, 5, 0, 0};
    WritePikunoIni(mailbox, written);
    queue.ReadSettings();
    EXPECT_TRUE(SameSettings(written, queue.GetSettings()));

    // A mailbox directory too long for the path buffer reads as no file.
    FakeHost::mailbox = std::string(300, 'x') + "\\";
    queue.ReadSettings();
    EXPECT_TRUE(SameSettings(DefaultDigestSettings(), queue.GetSettings()));
}

TEST_F(SplitQueueTest, AddQueuesOnlyWhileDivideIsOn) {
    SplitQueue queue;
    std::string path = mailbox.WriteMail("00000001", DigestOf(1));
    queue.Add(path.c_str());
    EXPECT_EQ(0, queue.GetCount()) << "before ReadSettings";
    WriteSettings(0);
    queue.ReadSettings();
    queue.Add(path.c_str());
    EXPECT_EQ(0, queue.GetCount()) << "Divide 0";
    WriteSettings(1);
    queue.ReadSettings();
    queue.Add(nullptr);
    EXPECT_EQ(0, queue.GetCount()) << "null path";
    for (int i = 1; i <= 5; ++i) {
        queue.Add(path.c_str());
        EXPECT_EQ(i, queue.GetCount());
    }
    queue.Clear();
    EXPECT_EQ(0, queue.GetCount());
    queue.Clear();
    EXPECT_EQ(0, queue.GetCount());
    EXPECT_TRUE(FakeHost::CallsOf("ImportFile").empty());
}

TEST_F(SplitQueueTest, ThreeMailsAreSplitInArrivalOrderWithOneBoxEach) {
    OwnerWindow owner;
    WriteSettings(1, 1, 1);
    SplitQueue queue;
    queue.ReadSettings();
    const char* names[] = {"00000003", "00000001", "00000002"};
    for (const char* name : names) {
        queue.Add(mailbox.WriteMail(name, DigestOf(2)).c_str());
    }
    std::vector<MessageBoxSeen> boxes;
    {
        // The thread that shows a box is blocked in it: the log of host calls is still.
        MessageBoxCloser watcher("deletemail", {IDYES, IDNO, IDYES}, [] { return FakeHost::calls.size(); });
        queue.Process(owner.Get());
        boxes = watcher.Stop();
    }
    const std::vector<HostCall>& calls = FakeHost::calls;
    // Per mail: two imports, then the box, then (after Yes) the delete.
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(2u, boxes[0].mark);
    EXPECT_EQ(5u, boxes[1].mark);
    EXPECT_EQ(7u, boxes[2].mark);
    for (const MessageBoxSeen& box : boxes) {
        EXPECT_EQ(owner.Get(), box.owner);
    }
    ASSERT_EQ(8u, calls.size());
    EXPECT_EQ("DeleteMail", calls[2].function);
    EXPECT_EQ("Account1\\inbox.box\\00000003", calls[2].first);
    EXPECT_EQ("DeleteMail", calls[7].function);
    EXPECT_EQ("Account1\\inbox.box\\00000002", calls[7].first);
    EXPECT_EQ(std::vector<std::string>({"Account1\\inbox.box\\00000003", "Account1\\inbox.box\\00000002"}),
              Disposed("DeleteMail"));
    EXPECT_EQ(6u, FakeHost::CallsOf("ImportFile").size());
    EXPECT_EQ(3, queue.GetCount()) << "Process leaves the entries to Clear";
}

TEST_F(SplitQueueTest, DivideTurnedOffBeforeTheEndSplitsNothing) {
    WriteSettings(1);
    SplitQueue queue;
    queue.ReadSettings();
    queue.Add(mailbox.WriteMail("00000001", DigestOf(2)).c_str());
    WriteSettings(0);
    queue.ReadSettings();
    queue.Process(nullptr);
    EXPECT_TRUE(FakeHost::calls.empty());
    EXPECT_EQ(1, queue.GetCount());
    queue.Clear();
    EXPECT_EQ(0, queue.GetCount());
}

TEST_F(SplitQueueTest, CallsBackIntoTheQueueDuringProcessAreSafe) {
    WriteSettings(1);
    gSplitQueue.ReadSettings();
    std::string first = mailbox.WriteMail("00000001", DigestOf(2));
    std::string late = mailbox.WriteMail("00000002", DigestOf(1));
    gSplitQueue.Add(first.c_str());
    bool added = false;
    // As if the host stored a mail and ended a retrieval inside the import call.
    FakeHost::importHook = [&] {
        if (!added) {
            added = true;
            gSplitQueue.Add(late.c_str());
            gSplitQueue.Process(nullptr);
            gSplitQueue.Clear();
        }
    };
    gSplitQueue.Process(nullptr);
    EXPECT_EQ(2, gSplitQueue.GetCount());
    gSplitQueue.Clear();
    EXPECT_EQ(0, gSplitQueue.GetCount());
    EXPECT_EQ(3u, FakeHost::CallsOf("ImportFile").size());
    EXPECT_EQ(std::vector<std::string>({"Account1\\inbox.box\\00000001", "Account1\\inbox.box\\00000002"}),
              Disposed("MoveMail"));
}

TEST_F(SplitQueueTest, CommandSplitsEverySelectedMail) {
    const struct {
        const char* name;
        std::vector<std::string> selection;
        bool repeatLast;
        int32_t divide;
        std::vector<std::string> selectArguments;  // "1" / "0" per call
        std::vector<std::string> moved;
    } cases[] = {
        {"one mail", {"Account1\\inbox.box\\00000001"}, false, 1, {"1", "0"}, {"Account1\\inbox.box\\00000001"}},
        {"three mails",
         {"Account1\\inbox.box\\00000002", "Account1\\inbox.box\\00000001", "Account1\\inbox.box\\00000003"},
         false,
         1,
         {"1", "0", "0", "0"},
         {"Account1\\inbox.box\\00000002", "Account1\\inbox.box\\00000001", "Account1\\inbox.box\\00000003"}},
        {"nothing selected", {}, false, 1, {"1"}, {}},
        {"a host that repeats its last entry",
         {"Account1\\inbox.box\\00000001", "Account1\\inbox.box\\00000002"},
         true,
         1,
         {"1", "0", "0"},
         {"Account1\\inbox.box\\00000001", "Account1\\inbox.box\\00000002"}},
        {"Divide 0", {"Account1\\inbox.box\\00000001"}, false, 0, {"1", "0"}, {}},
        {"an entry too long for the path buffer is passed over",
         {std::string("Account1\\inbox.box\\") + std::string(250, '7'), "Account1\\inbox.box\\00000001"},
         false,
         1,
         {"1", "0", "0"},
         {"Account1\\inbox.box\\00000001"}},
    };
    OwnerWindow owner;
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        for (const char* name : {"00000001", "00000002", "00000003"}) {
            mailbox.WriteMail(name, DigestOf(2));
        }
        WriteSettings(cases[i].divide);
        gSplitQueue.ReadSettings();
        FakeHost::calls.clear();
        FakeHost::SetSelection(cases[i].selection, cases[i].repeatLast);
        DigestSplitCommand(owner.Get(), 12345);
        std::vector<std::string> arguments;
        for (const HostCall& call : FakeHost::CallsOf("GetSelectEntry")) {
            arguments.push_back(call.first);
            EXPECT_EQ(owner.Get(), call.window) << "case " << i;
        }
        EXPECT_EQ(cases[i].selectArguments, arguments) << "case " << i << " (" << cases[i].name << ")";
        EXPECT_EQ(cases[i].moved, Disposed("MoveMail")) << "case " << i << " (" << cases[i].name << ")";
        EXPECT_EQ(2 * cases[i].moved.size(), FakeHost::CallsOf("ImportFile").size()) << "case " << i;
        for (const HostCall& call : FakeHost::CallsOf("ImportFile")) {
            EXPECT_EQ("Account1\\inbox.box", call.second) << "case " << i;
        }
        EXPECT_EQ(0, gSplitQueue.GetCount()) << "case " << i;
    }
}

TEST_F(SplitQueueTest, CommandAlsoSplitsWhatARetrievalQueued) {
    WriteSettings(1);
    gSplitQueue.ReadSettings();
    gSplitQueue.Add(mailbox.WriteMail("00000005", DigestOf(1), "Account2").c_str());
    mailbox.WriteMail("00000001", DigestOf(1));
    FakeHost::SetSelection({"Account1\\inbox.box\\00000001"});
    DigestSplitCommand(nullptr, 0);
    EXPECT_EQ(std::vector<std::string>({"Account2\\inbox.box\\00000005", "Account1\\inbox.box\\00000001"}),
              Disposed("MoveMail"));
    std::vector<HostCall> imports = FakeHost::CallsOf("ImportFile");
    ASSERT_EQ(2u, imports.size());
    EXPECT_EQ("Account2\\inbox.box", imports[0].second);
    EXPECT_EQ("Account1\\inbox.box", imports[1].second);
    EXPECT_EQ(0, gSplitQueue.GetCount());
}

TEST_F(SplitQueueTest, CommandThatRunsOutOfMemoryEmptiesTheQueueAndTheNextOneWorks) {
    // The host's import is the allocation that fails, deep inside the split of
    // the first mail: the command must return to the host, drop the queue (a
    // mail kept would be split a second time later) and leave the queue usable.
    const struct {
        const char* name;
        int failingImport;  // 1-based import call that throws
    } cases[] = {
        {"the first import", 1},
        {"an import of the second mail", 3},
    };
    for (const auto& c : cases) {
        WriteSettings(1);
        gSplitQueue.ReadSettings();
        for (const char* name : {"00000001", "00000002"}) {
            mailbox.WriteMail(name, DigestOf(2));
        }
        FakeHost::calls.clear();
        FakeHost::SetSelection({"Account1\\inbox.box\\00000001", "Account1\\inbox.box\\00000002"});
        int imports = 0;
        FakeHost::importHook = [&] {
            if (++imports == c.failingImport) {
                throw std::bad_alloc();
            }
        };
        EXPECT_EQ(0, DigestSplitCommand(nullptr, 0)) << c.name;
        EXPECT_EQ(0, gSplitQueue.GetCount()) << c.name << ": the queue was kept";
        EXPECT_EQ(c.failingImport, imports) << c.name << ": the command went on after the failure";

        FakeHost::importHook = nullptr;
        FakeHost::calls.clear();
        mailbox.WriteMail("00000003", DigestOf(1));
        FakeHost::SetSelection({"Account1\\inbox.box\\00000003"});
        DigestSplitCommand(nullptr, 0);
        EXPECT_EQ(std::vector<std::string>({"Account1\\inbox.box\\00000003"}), Disposed("MoveMail"))
            << c.name << ": the queue refused to work after the failure";
        EXPECT_EQ(0, gSplitQueue.GetCount()) << c.name;
    }
}

}  // namespace
