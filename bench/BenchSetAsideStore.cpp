// What storing a choice costs for a large account: the plan for 2,000 messages
// (1,500 received, 500 set aside in the record, 20 new set aside, 100 of the
// set-aside ones released), then the record and the host's uidl file each
// replaced crash-safely in a temporary folder. Prints figures; asserts nothing.
// Usage: bench_set_aside_store [messages] [rounds]

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "CrashSafeFile.h"
#include "SetAsidePlan.h"
#include "TempFolder.h"

namespace {

std::string UidlOf(int n) {
    return "00000" + std::to_string(n) + "4f3a1c07";
}

}  // namespace

int main(int argc, char** argv) {
    const int messages = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const int fresh = 20;
    const int setAside = messages / 4;
    std::string uidl;
    std::string record = "Pikuno set-aside record 1\r\n";
    for (int n = 1; n <= messages - fresh; ++n) {
        uidl += UidlOf(n) + (n % 2 ? "\n" : "\r\n");
        if (n > messages - fresh - setAside) {
            record += UidlOf(n) + "\tdialog\t4321\tWeekly report number " + std::to_string(n) +
                      "\tlist@example.jp\tTue, 8 Dec 2026 07:00:00 +0900\r\n";
        }
    }
    const AccountFiles files = ReadAccountFiles(uidl, record);
    std::vector<std::string> uidls;
    std::vector<std::string> headers;
    for (int n = 1; n <= messages; ++n) {
        uidls.push_back(UidlOf(n));
        headers.push_back("Subject: new " + std::to_string(n) + "\r\nFrom: a@example.jp\r\n");
    }
    std::vector<PlannedMessage> planned;
    ChoiceToStore choice;
    for (int n = 1; n <= messages; ++n) {
        const MessageKind kind = KindOf(files, uidls[n - 1].c_str());
        planned.push_back({uidls[n - 1].c_str(), kind, kind == MessageKind::kNew ? headers[n - 1].c_str() : nullptr,
                           4321});
        // Every new one set aside, every set-aside one but the first 100 kept.
        if (kind == MessageKind::kNew || (kind == MessageKind::kSetAside && n > messages - fresh - setAside + 100)) {
            choice.setAside.push_back(uidls[n - 1]);
        }
    }
    choice.listingComplete = true;

    std::printf("storing a choice: %d messages, %d set aside before, %d new, uidl %zu bytes, record %zu bytes\n",
                messages, setAside, fresh, uidl.size(), record.size());
    for (int round = 1; round <= rounds; ++round) {
        TempFolder dir;
        const std::string uidlPath = dir.Path() + "uidl";
        const std::string recordPath = dir.Path() + "PikunoSetAside.txt";
        dir.WriteFile("uidl", uidl);
        dir.WriteFile("PikunoSetAside.txt", record);
        double start = bench::WallSeconds();
        std::string readUidl, readRecord;
        ReadWholeSmallFile(uidlPath.c_str(), &readUidl);
        ReadWholeSmallFile(recordPath.c_str(), &readRecord);
        const AccountFiles read = ReadAccountFiles(readUidl, readRecord);
        double readDone = bench::WallSeconds();
        const StorePlan plan = PlanStore(read, planned, choice);
        double planned2 = bench::WallSeconds();
        bool ok = ReplaceFileCrashSafe(recordPath.c_str(), FormatSetAsideRecord(plan.record));
        double recordDone = bench::WallSeconds();
        ok = ReplaceFileCrashSafe(uidlPath.c_str(), plan.uidlBytes) && ok;
        double uidlDone = bench::WallSeconds();
        std::printf("  round %d: read both %.1f ms, plan %.1f ms, record replaced %.1f ms, uidl replaced %.1f ms, "
                    "total %.1f ms (%zu released, %zu appended, %zu entries)%s\n",
                    round, (readDone - start) * 1000, (planned2 - readDone) * 1000, (recordDone - planned2) * 1000,
                    (uidlDone - recordDone) * 1000, (uidlDone - start) * 1000, plan.released.size(),
                    plan.appended.size(), plan.record.size(), ok ? "" : "; A REPLACE FAILED");
    }
    return 0;
}
