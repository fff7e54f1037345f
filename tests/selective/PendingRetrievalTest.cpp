// The watch over the retrieval a selective receive asked for: a host that drops
// the posted receive command leaves nothing that would answer its next ordinary
// retrieval, and a retrieval that does come is never cut short.

#include "PendingRetrieval.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DialUp.h"
#include "FakeHost.h"
#include "ReceiveFixture.h"
#include "Retrieval.h"
#include "SelectiveReceive.h"
#include "UidlList.h"

namespace {

using Server = LoopbackPop3Peer;

const std::vector<ScriptedMessage> kThree = FirstMessages(3);
const uint64_t kFirstLine = 0x3131;

// Dispatches this thread's messages (the watch's ticks among them) until done
// answers true; false when boundMs passed first.
bool PumpUntil(const std::function<bool()>& done, DWORD boundMs = 15000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > boundMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

// Looks the host was asked whether it is busy: one per tick of the watch (the
// command asks once itself before it starts).
std::size_t BusyLooks() {
    return FakeHost::CallsOf("IsBusy").size();
}

// Pumps for as long as a watch would need to decide, and more: a wait for
// something that must not happen.
void PumpPastTheDecision() {
    const DWORD start = GetTickCount();
    const DWORD span = kPendingRetrievalTickMs * (kIdleTicksBeforeDropped + 3);
    PumpUntil([&] { return GetTickCount() - start >= span; });
}

class PendingRetrieval : public ReceiveFixture {
protected:
    void SetUp() override {
        ReceiveFixture::SetUp();
        StopWatchingPendingRetrieval();
        FakeHost::busy = false;
    }
    void TearDown() override {
        StopWatchingPendingRetrieval();
        FakeHost::busy = false;
        ReceiveFixture::TearDown();
    }

    // A selective receive that sets UID-C aside with Delete 1 on a dialled line
    // (handle line) and posts the receive command; true when it did. The server
    // answers LIST after listDelayMs, while the session's wait pumps messages.
    bool PostReceive(uint64_t line, DWORD listDelayMs = 0) {
        Ras()->dialHandle = line;
        KirvanIni kirvan = SizeFilter(5000);
        kirvan.deleteOnServer = 1;
        AccountIni account = DialUpAccount();
        Server server;
        std::vector<Server::Step> listing = {Server::Expect("list\r\n"), ListReply(kThree)};
        if (listDelayMs > 0) {
            listing.insert(listing.begin() + 1, Server::Stall(listDelayMs));
        }
        // Every call starts afresh: UID-C new again, its header read for the record.
        ForgetChoices();
        std::vector<Server::Step> script = Join({Login(), listing, UidlListing(kThree), Tops(kThree, {3}), Quit()});
        if (!server.Start(script)) {
            return false;
        }
        account.port = server.Port();
        WriteKirvan(kirvan);
        WriteAccount(account);
        RunSelectiveReceive(window_, 0);
        server.Finish();
        EXPECT_EQ("", server.Failure());
        return TakeReceiveCommands() == 1;
    }

    // The hang-ups the stand-in rasapi32.dll was asked for, by handle.
    std::vector<uint64_t> HangUps() const {
        std::vector<uint64_t> handles;
        for (int i = 0; i < Ras()->callCount && i < kRasMaxRecordedCalls; ++i) {
            if (Ras()->calls[i].kind == kRasCallHangUp) {
                handles.push_back(Ras()->calls[i].handleIn);
            }
        }
        return handles;
    }

    // The state the command left for the host's retrieval, whole.
    void ExpectPendingState(const std::string& where, uint64_t line) {
        EXPECT_EQ(1, gUidlList.GetCount()) << where;
        EXPECT_EQ(1, gDeleteOnServer) << where;
        EXPECT_EQ(line, reinterpret_cast<uintptr_t>(gDialUpConnection)) << where;
        EXPECT_TRUE(HangUps().empty()) << where;
    }
};

// What happens between the post and the watch's decision.
enum class AfterPost { kNothing, kBusyThenIdle, kMailStored, kRetrievalEnded };

TEST_F(PendingRetrieval, DroppedCommandLeavesNothingAndARetrievalThatComesKeepsItsState) {
    struct Case {
        const char* name;
        AfterPost after;
        bool cleared;        // the watch found the command dropped
        int recFilterAnswer;  // VbxRecFilter for a mail of the next retrieval
    };
    const Case cases[] = {
        {"dropped: the host idle at once", AfterPost::kNothing, true, 0},
        {"retrieving slowly (busy, no mail yet), then dropped", AfterPost::kBusyThenIdle, true, 0},
        {"a mail stored, the host idle between mails", AfterPost::kMailStored, false, 1},
        {"the retrieval ended", AfterPost::kRetrievalEnded, false, 0},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        const std::string where = "case " + std::to_string(i) + ": " + c.name;
        std::memset(Ras(), 0, sizeof *Ras());
        FakeHost::calls.clear();
        ASSERT_TRUE(PostReceive(kFirstLine)) << where;
        ASSERT_TRUE(WatchingPendingRetrieval()) << where;
        ExpectPendingState(where, kFirstLine);
        const std::size_t looks = BusyLooks();

        switch (c.after) {
        case AfterPost::kNothing:
            break;
        case AfterPost::kBusyThenIdle:
            // A slow server: the retrieval runs and has stored nothing for
            // several ticks; all that time the state is the retrieval's.
            FakeHost::busy = true;
            ASSERT_TRUE(PumpUntil([&] { return BusyLooks() >= looks + 4; })) << where;
            EXPECT_TRUE(WatchingPendingRetrieval()) << where;
            ExpectPendingState(where, kFirstLine);
            FakeHost::busy = false;
            break;
        case AfterPost::kMailStored:
            EXPECT_EQ(1, frame::RecFilter("C:\\Quenla\\Account1\\inbox.box\\00000001.qnl")) << where;
            break;
        case AfterPost::kRetrievalEnded:
            frame::EndRetrieval(window_);
            break;
        }

        if (c.cleared) {
            ASSERT_TRUE(PumpUntil([] { return !WatchingPendingRetrieval(); })) << where;
            EXPECT_EQ(0, gUidlList.GetCount()) << where;
            EXPECT_EQ(0, gDeleteOnServer) << where;
            EXPECT_EQ(nullptr, gDialUpConnection) << where;
            EXPECT_EQ(std::vector<uint64_t>{kFirstLine}, HangUps()) << where << ": the line hung up once";
        } else {
            EXPECT_FALSE(WatchingPendingRetrieval()) << where;
            const std::size_t looksBefore = BusyLooks();
            PumpPastTheDecision();
            EXPECT_EQ(looksBefore, BusyLooks()) << where << ": the watch has ended, its timer with it";
            if (c.after == AfterPost::kMailStored) {
                ExpectPendingState(where, kFirstLine);
            } else {
                EXPECT_EQ(std::vector<uint64_t>{kFirstLine}, HangUps()) << where << ": hung up by the end only";
            }
        }
        EXPECT_EQ(c.recFilterAnswer, frame::RecFilter("C:\\Quenla\\Account1\\inbox.box\\00000002.qnl")) << where;
        frame::EndRetrieval(window_);
    }
}

TEST_F(PendingRetrieval, ALaterCommandTakesOverFromTheWatch) {
    // The first command's host dropped its receive command. A second command
    // chosen while the host is busy starts nothing, and the first one's state is
    // still watched; one that runs forgets that state and is not touched by the
    // old watch while its own scan pumps messages for longer than the watch needs.
    struct Case {
        const char* name;
        bool hostBusy;
    };
    const Case cases[] = {{"second command refused, the host busy", true},
                          {"second command runs, its scan slow", false}};
    const uint64_t kSecondLine = 0x4242;
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        const std::string where = "case " + std::to_string(i) + ": " + c.name;
        std::memset(Ras(), 0, sizeof *Ras());
        ASSERT_TRUE(PostReceive(kFirstLine)) << where;
        if (c.hostBusy) {
            FakeHost::busy = true;
            KirvanIni kirvan = SizeFilter(5000);
            kirvan.deleteOnServer = 1;
            std::vector<MessageBoxSeen> boxes = RunClosingBoxes(kirvan, DialUpAccount());
            ASSERT_EQ(1u, boxes.size()) << where;
            EXPECT_EQ(kHostBusyText, boxes[0].text) << where;
            EXPECT_TRUE(WatchingPendingRetrieval()) << where << ": the first command's watch goes on";
            ExpectPendingState(where, kFirstLine);
            FakeHost::busy = false;
            ASSERT_TRUE(PumpUntil([] { return !WatchingPendingRetrieval(); })) << where;
            EXPECT_EQ(0, gUidlList.GetCount()) << where;
            EXPECT_EQ(0, gDeleteOnServer) << where;
            EXPECT_EQ(std::vector<uint64_t>{kFirstLine}, HangUps()) << where;
        } else {
            const DWORD slowScan = kPendingRetrievalTickMs * (kIdleTicksBeforeDropped + 3);
            ASSERT_TRUE(PostReceive(kSecondLine, slowScan)) << where;
            EXPECT_EQ(std::vector<uint64_t>{kFirstLine}, HangUps()) << where << ": the first line, at the start";
            EXPECT_EQ(1, gUidlList.GetCount()) << where;
            EXPECT_EQ(1, gDeleteOnServer) << where;
            EXPECT_EQ(kSecondLine, reinterpret_cast<uintptr_t>(gDialUpConnection)) << where;
            EXPECT_TRUE(WatchingPendingRetrieval()) << where << ": the second command's own watch";
        }
        frame::EndRetrieval(window_);
    }
}

}  // namespace
