#include "Retrieval.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialUp.h"
#include "FakeHost.h"
#include "Lifecycle.h"
#include "SelectiveReceive.h"
#include "SplitQueue.h"
#include "TempFolder.h"
#include "UidlList.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4321));

// The process-wide state of a retrieval, back to what it is at load.
void ResetRetrievalState() {
    gUidlList.RemoveAll();
    gDeleteOnServer = 0;
    gSplitQueue.Clear();
    gDialUpConnection = nullptr;
}

class RetrievalTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeHost::mailbox = mailbox.Path();
        SetDivide(0);
        ResetRetrievalState();
    }
    void TearDown() override {
        SetDivide(0);
        ResetRetrievalState();
    }
    // Writes Pikuno.ini and has the queue read it, as VbxStartUp does.
    void SetDivide(int divide) {
        ASSERT_TRUE(mailbox.WriteFile("Pikuno.ini", "[Digest]\r\nDivide=" + std::to_string(divide) + "\r\n"));
        EXPECT_EQ(1, frame::StartUp(0));
        ASSERT_EQ(divide, gSplitQueue.GetSettings().Divide);
    }
    void SetAside(int uidlCount) {
        for (int i = 0; i < uidlCount; ++i) {
            gUidlList.Add(("uidl-" + std::to_string(i)).c_str());
        }
    }

    FakeHost host;
    TempFolder mailbox;
};

struct FilterCase {
    int uidlCount;
    int32_t deleteOnServer;
    int expected;
};

TEST_F(RetrievalTest, RecFilterAsksForDeletionOnlyAfterASelectiveReceiveWithDelete) {
    const FilterCase cases[] = {
        {0, 0, 0},   // no selective receive since the last retrieval
        {0, 1, 0},   // delete on, but nothing was set aside
        {1, 0, 0},
        {1, 1, 1},
        {3, 1, 1},
        {2, -1, 1},  // any nonzero flag
        {2, 2, 1},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        ResetRetrievalState();
        SetAside(cases[i].uidlCount);
        gDeleteOnServer = cases[i].deleteOnServer;
        // Every mail of the retrieval gets the same answer; nothing changes on the way.
        for (int mail = 0; mail < 3; ++mail) {
            EXPECT_EQ(cases[i].expected, frame::RecFilter("C:\\Quenla\\Account1\\inbox.box\\1.qnl"))
                << "case " << i << " mail " << mail;
        }
        EXPECT_EQ(cases[i].uidlCount, gUidlList.GetCount()) << "case " << i;
        EXPECT_EQ(cases[i].deleteOnServer, gDeleteOnServer) << "case " << i;
    }
}

TEST_F(RetrievalTest, RecFilterQueuesOnlyWhileDivideIsOn) {
    SetAside(1);
    gDeleteOnServer = 1;
    EXPECT_EQ(1, frame::RecFilter("C:\\mail\\a.qnl"));
    EXPECT_EQ(0, gSplitQueue.GetCount());

    SetDivide(1);
    EXPECT_EQ(1, frame::RecFilter("C:\\mail\\a.qnl"));
    EXPECT_EQ(1, frame::RecFilter("C:\\mail\\b.qnl"));
    EXPECT_EQ(1, frame::RecFilter(nullptr));
    EXPECT_EQ(2, gSplitQueue.GetCount());
}

TEST_F(RetrievalTest, EndRetrievalResetsEverything) {
    struct EndCase {
        bool dialUp;
        int uidlCount;
        int32_t deleteOnServer;
        int queued;
    };
    const EndCase cases[] = {
        {false, 0, 0, 0},
        {false, 2, 1, 0},
        {false, 0, 0, 2},
        {true, 1, 1, 1},
        {true, 0, 0, 0},
    };
    SetDivide(1);
    TempFolder dir;
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        ResetRetrievalState();
        SetAside(cases[i].uidlCount);
        gDeleteOnServer = cases[i].deleteOnServer;
        // Mail files that do not exist: the split passes over them silently.
        for (int q = 0; q < cases[i].queued; ++q) {
            frame::RecFilter((dir.Path() + "missing" + std::to_string(q) + ".qnl").c_str());
        }
        ASSERT_EQ(cases[i].queued, gSplitQueue.GetCount()) << "case " << i;
        if (cases[i].dialUp) {
            // Not a connection RAS knows: hanging it up fails, the handle is cleared all the same.
            gDialUpConnection = reinterpret_cast<HRASCONN>(static_cast<INT_PTR>(0x7777));
        }

        frame::EndRetrieval(kWindow);

        EXPECT_EQ(nullptr, gDialUpConnection) << "case " << i;
        EXPECT_EQ(0, gDeleteOnServer) << "case " << i;
        EXPECT_EQ(0, gUidlList.GetCount()) << "case " << i;
        EXPECT_EQ(0, gSplitQueue.GetCount()) << "case " << i;
        // The next retrieval starts clean: no deletion is asked.
        EXPECT_EQ(0, frame::RecFilter((dir.Path() + "next.qnl").c_str())) << "case " << i;
        gSplitQueue.Clear();
    }
    // The settings survive the end of a retrieval.
    EXPECT_EQ(1, gSplitQueue.GetSettings().Divide);
}

// The mails queued during the retrieval are split before the queue is emptied.
TEST_F(RetrievalTest, EndRetrievalSplitsWhatTheRetrievalQueued) {
    ASSERT_TRUE(mailbox.WriteFile("Pikuno.ini", "[Digest]\r\nDivide=1\r\nDelType=0\r\n"));
    frame::StartUp(0);
    mailbox.MakeFolder("Account1\\inbox.box");
    const std::string digest =
        "From: list@example.com\r\n"
        "Subject: digest\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/digest; boundary=\"XYZ\"\r\n"
        "\r\n"
        "--XYZ\r\n"
        "Content-Type: message/rfc822\r\n"
        "\r\n"
        "From: a@example.com\r\nSubject: one\r\n\r\nbody one\r\n"
        "--XYZ\r\n"
        "Content-Type: message/rfc822\r\n"
        "\r\n"
        "From: b@example.com\r\nSubject: two\r\n\r\nbody two\r\n"
        "--XYZ--\r\n";
    ASSERT_TRUE(mailbox.WriteFile("Account1\\inbox.box\\00000001.qnl", digest));
    EXPECT_EQ(0, frame::RecFilter((mailbox.Path() + "Account1\\inbox.box\\00000001.qnl").c_str()));
    ASSERT_EQ(1, gSplitQueue.GetCount());

    frame::EndRetrieval(kWindow);

    const std::vector<HostCall> imports = FakeHost::CallsOf("ImportFile");
    ASSERT_EQ(2u, imports.size());
    EXPECT_EQ("Account1\\inbox.box", imports[0].second);
    EXPECT_EQ("Account1\\inbox.box", imports[1].second);
    const std::vector<HostCall> moves = FakeHost::CallsOf("MoveMail");
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ("Account1\\inbox.box\\00000001", moves[0].first);
    EXPECT_EQ("Account1\\trash.box", moves[0].second);
    EXPECT_TRUE(FakeHost::CallsOf("DeleteMail").empty());
    EXPECT_EQ(0, gSplitQueue.GetCount());
}

}  // namespace
