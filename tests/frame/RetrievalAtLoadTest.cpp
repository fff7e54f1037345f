// The plug-in in a process where it was never started: a program of its own.

#include <gtest/gtest.h>

#include "FakeHost.h"
#include "Retrieval.h"
#include "SelectiveReceive.h"
#include "SplitQueue.h"
#include "TempFolder.h"
#include "UidlList.h"

namespace {

TEST(RetrievalAtLoad, RecFilterBeforeStartUpQueuesNothing) {
    // As at load: every setting 0 until VbxStartUp, whatever the file says.
    const DigestSettings& settings = gSplitQueue.GetSettings();
    ASSERT_EQ(0, settings.Divide | settings.MultipartMixed | settings.MultipartDigest | settings.DelType |
                     settings.Mark | settings.Midoku | settings.AskDelete);
    FakeHost host;
    TempFolder mailbox;
    FakeHost::mailbox = mailbox.Path();
    ASSERT_TRUE(mailbox.WriteFile("Pikuno.ini", "[Digest]\r\nDivide=1\r\n"));
    gUidlList.Add("set-aside");
    gDeleteOnServer = 1;
    // The answer follows the list and the flag all the same.
    EXPECT_EQ(1, frame::RecFilter("C:\\mail\\a.qnl"));
    EXPECT_EQ(0, gSplitQueue.GetCount());
    EXPECT_EQ(1, gUidlList.GetCount());
    EXPECT_EQ(1, gDeleteOnServer);
}

}  // namespace
