// The host's uidl file read and rewritten byte for byte, our record of set-aside
// messages in and out, and the plan that turns a choice into both files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "SetAsidePlan.h"
#include "SetAsideRecord.h"
#include "UidlFileText.h"

namespace {

// ---- the host's uidl file ---------------------------------------------------------

struct RewriteCase {
    const char* before;
    std::unordered_set<std::string> remove;
    std::vector<std::string> append;
    const char* after;
};

TEST(UidlFileText, RewriteKeepsEveryByteItDoesNotName) {
    const RewriteCase cases[] = {
        {"", {}, {"N"}, "N\n"},
        {"A\nB\n", {}, {"N"}, "A\nB\nN\n"},
        {"A\nB", {}, {"N", "M"}, "A\nB\nN\nM\n"},  // one LF before the first appended line
        {"A\r\nB\r\n", {}, {"N"}, "A\r\nB\r\nN\n"},
        {"A\r", {}, {"N"}, "A\r\nN\n"},
        {"A\r\nB\nC", {"B"}, {}, "A\r\nC"},          // each line with its own end
        {"A\r\nB\r\nC\n", {"B"}, {}, "A\r\nC\n"},
        {"A\nB", {"B"}, {}, "A\n"},                  // the unfinished last line taken out
        {"A\nB", {"B"}, {"N"}, "A\nN\n"},            // no LF needed then
        {"A\nB\r", {"B"}, {}, "A\n"},
        {"B\nA\nB\n", {"B"}, {}, "A\n"},             // every line that is exactly it
        {"AB\n B\nB \nb\n", {"B"}, {}, "AB\n B\nB \nb\n"},  // only exact lines
        {"\n\r\nA\n\n", {"A"}, {"N"}, "\n\r\n\nN\n"},  // empty lines stay
        {"A\nB\n", {"X"}, {}, "A\nB\n"},
    };
    int index = 0;
    for (const RewriteCase& c : cases) {
        EXPECT_EQ(c.after, RewriteUidlFileText(c.before, c.remove, c.append)) << "case " << index;
        ++index;
    }
}

TEST(UidlFileText, EntriesAreReadAsTheHostReadsThem) {
    const std::unordered_set<std::string> expected = {"A", "B", "C", "D", "E\r"};
    EXPECT_EQ(expected, UidlFileEntries("A\r\nB\n\n\r\nC\r\nE\r\r\nD\r"));
    EXPECT_TRUE(UidlFileEntries("").empty());
}

// ---- our record ---------------------------------------------------------------------

SetAsideEntry Entry(const char* uidl, SetAsideReason reason, int64_t size, const char* subject,
                    const char* from = nullptr, const char* date = nullptr) {
    SetAsideEntry entry;
    entry.uidl = uidl;
    entry.reason = reason;
    entry.size = size;
    entry.subject = {subject != nullptr, subject ? subject : ""};
    entry.from = {from != nullptr, from ? from : ""};
    entry.date = {date != nullptr, date ? date : ""};
    return entry;
}

void ExpectSameEntry(const SetAsideEntry& expected, const SetAsideEntry& actual, int index) {
    EXPECT_EQ(expected.uidl, actual.uidl) << "entry " << index;
    EXPECT_EQ(expected.reason, actual.reason) << "entry " << index;
    EXPECT_EQ(expected.size, actual.size) << "entry " << index;
    const RecordedField* want[] = {&expected.subject, &expected.from, &expected.date};
    const RecordedField* got[] = {&actual.subject, &actual.from, &actual.date};
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(want[f]->present, got[f]->present) << "entry " << index << " field " << f;
        EXPECT_EQ(want[f]->value, got[f]->value) << "entry " << index << " field " << f;
    }
}

TEST(SetAsideRecord, EveryByteOfAFieldComesBack) {
    std::string allBytes;
    for (int b = 1; b < 256; ++b) {
        allBytes += static_cast<char>(b);
    }
    const std::vector<SetAsideEntry> entries = {
        Entry("U1", SetAsideReason::kDialog, 12345, "=?UTF-8?B?5pel5pys?=", "Taro <t@example.jp>",
              "Tue, 1 Dec 2026 10:00:00 +0900"),
        Entry("U2", SetAsideReason::kSizeFilter, 0, "", nullptr, nullptr),  // empty, not absent
        Entry("U3", SetAsideReason::kDialog, 7, "tab\there%41 %-\rcr", "\x93\xFA\x96\x7B", allBytes.c_str()),
        Entry("~!x", SetAsideReason::kSizeFilter, 99999999999LL, nullptr),
    };
    const std::string file = FormatSetAsideRecord(entries);
    // Each entry one line of six fields: nothing raw in a field splits it.
    const std::size_t u3 = file.find("\r\nU3\t") + 2;
    const std::string u3Line = file.substr(u3, file.find("\r\n", u3) - u3);
    EXPECT_EQ(5, std::count(u3Line.begin(), u3Line.end(), '\t')) << u3Line;
    EXPECT_EQ(std::string::npos, u3Line.find('\n'));
    const std::vector<SetAsideEntry> back = ParseSetAsideRecord(file);
    ASSERT_EQ(entries.size(), back.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ExpectSameEntry(entries[i], back[i], static_cast<int>(i));
    }
}

struct DamageCase {
    const char* name;
    std::string file;
    std::vector<std::string> uidls;  // of the entries that survive
};

TEST(SetAsideRecord, DamageForgetsOnlyWhatItTouches) {
    const std::string head = "Pikuno set-aside record 1\r\n";
    const std::string good = "G\tdialog\t10\ts\tf\td\r\n";
    const DamageCase cases[] = {
        {"empty file", "", {}},
        {"another first line", "Pikuno set-aside record 2\r\n" + good, {}},
        {"garbage", std::string("\0\xff\x01zz\n", 6) + good, {}},
        {"LF line ends", "Pikuno set-aside record 1\nG\tsize\t1\t%-\t%-\t%-\n", {"G"}},
        {"cut before its line end", head + good + "H\tdialog\t10\ts\tf\td", {"G"}},
        {"five fields", head + "A\tdialog\t10\ts\tf\r\n" + good, {"G"}},
        {"seven fields", head + "A\tdialog\t10\ts\tf\td\tx\r\n" + good, {"G"}},
        {"unknown reason", head + "A\tlater\t10\ts\tf\td\r\n" + good, {"G"}},
        {"size not a number", head + "A\tdialog\t1x\ts\tf\td\r\n" + "B\tdialog\t\ts\tf\td\r\n" + good, {"G"}},
        {"bad escape", head + "A\tdialog\t1\t%4\tf\td\r\n" + "B\tdialog\t1\t%zz\tf\td\r\n" + good, {"G"}},
        {"raw control byte", head + "A\tdialog\t1\ts\x01\tf\td\r\n" + good, {"G"}},
        {"UIDL with a blank", head + "A B\tdialog\t1\ts\tf\td\r\n" + good, {"G"}},
        {"empty UIDL", head + "\tdialog\t1\ts\tf\td\r\n" + good, {"G"}},
        {"named twice: the first stays", head + good + "G\tsize\t99\t%-\t%-\t%-\r\n", {"G"}},
        {"empty lines", head + "\r\n" + good + "\n", {"G"}},
    };
    int index = 0;
    for (const DamageCase& c : cases) {
        std::vector<std::string> got;
        for (const SetAsideEntry& entry : ParseSetAsideRecord(c.file)) {
            got.push_back(entry.uidl);
        }
        EXPECT_EQ(c.uidls, got) << "case " << index << ": " << c.name;
        ++index;
    }
    std::vector<SetAsideEntry> twice = ParseSetAsideRecord(head + good + "G\tsize\t99\t%-\t%-\t%-\r\n");
    ASSERT_EQ(1u, twice.size());
    EXPECT_EQ(10, twice[0].size);
}

TEST(SetAsideRecord, FieldsFromTheHeaderAndBackIntoOne) {
    const std::string header = "Received: x\r\nsubject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n more\r\n"
                               "FROM: a@example.jp\r\nX-Date: no\r\n";
    SetAsideEntry entry = EntryFromHeader("U", SetAsideReason::kSizeFilter, 5, header.data(), header.size());
    ExpectSameEntry(Entry("U", SetAsideReason::kSizeFilter, 5, "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= more",
                          "a@example.jp", nullptr),
                    entry, 0);
    EXPECT_EQ("Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= more\r\nFrom: a@example.jp\r\n", HeaderBlockOfEntry(entry));
    SetAsideEntry none = EntryFromHeader("V", SetAsideReason::kDialog, 1, nullptr, 0);
    EXPECT_FALSE(none.subject.present || none.from.present || none.date.present);
    EXPECT_EQ("", HeaderBlockOfEntry(none));
}

// ---- the plan ---------------------------------------------------------------------------

const char kHead[] = "Pikuno set-aside record 1\r\n";

std::string Line(const char* uidl, const char* why, int size, const char* subject) {
    return std::string(uidl) + "\t" + why + "\t" + std::to_string(size) + "\t" + subject + "\t%-\t%-\r\n";
}

struct PlanCase {
    const char* name;
    std::string uidl;
    std::string record;
    std::vector<const char*> server;  // UIDLs of messages 1..n (null: none given)
    std::vector<std::string> setAside;
    SetAsideReason reason;
    bool releaseUnchosen;
    std::string uidlAfter;
    std::string recordAfter;  // "" when the record does not change
};

TEST(SetAsidePlan, ChoiceIntoBothFiles) {
    const PlanCase cases[] = {
        {"new ones set aside", "R\n", "", {"R", "N1", "N2"}, {"N2"}, SetAsideReason::kDialog, true, "R\nN2\n",
         kHead + Line("N2", "dialog", 300, "s3")},
        {"set aside kept: nothing appended twice, the dialog's reason", "R\nS\n", kHead + Line("S", "size", 1, "old"),
         {"R", "S"}, {"S"}, SetAsideReason::kDialog, true, "R\nS\n", kHead + Line("S", "dialog", 200, "old")},
        {"set aside released", "R\r\nS\r\nT", kHead + Line("S", "dialog", 200, "old"), {"R", "S", "T"}, {},
         SetAsideReason::kDialog, true, "R\r\nT", kHead},
        {"cancelled: nothing released", "S\n", kHead + Line("S", "dialog", 100, "old"), {"S", "N"}, {},
         SetAsideReason::kDialog, false, "S\n", ""},
        {"gone from the server: entry dropped, line kept", "G\nS\n",
         kHead + Line("G", "dialog", 5, "gone") + Line("S", "dialog", 200, "old"), {"X", "S"}, {"S"},
         SetAsideReason::kDialog, true, "G\nS\n", kHead + Line("S", "dialog", 200, "old")},
        {"listing incomplete: nothing dropped", "G\nS\n",
         kHead + Line("G", "dialog", 5, "gone") + Line("S", "dialog", 200, "old"), {nullptr, "S"}, {"S"},
         SetAsideReason::kDialog, true, "G\nS\n", ""},
        {"entry the host's file never got: new again, recorded afresh", "", kHead + Line("N", "size", 1, "stale"),
         {"N"}, {"N"}, SetAsideReason::kDialog, true, "N\n", kHead + Line("N", "dialog", 100, "s1")},
        {"received one chosen: no entry", "R\n", "", {"R"}, {"R"}, SetAsideReason::kDialog, true, "R\n", ""},
        {"size filter keeps its own reason", "S\n", kHead + Line("S", "size", 7, "old"), {"S"}, {"S"},
         SetAsideReason::kSizeFilter, true, "S\n", kHead + Line("S", "size", 100, "old")},
    };
    int index = 0;
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++ << ": " << c.name);
        const AccountFiles files = ReadAccountFiles(c.uidl, c.record);
        std::vector<std::string> headers;
        for (std::size_t i = 0; i < c.server.size(); ++i) {
            headers.push_back("Subject: s" + std::to_string(i + 1) + "\r\n");
        }
        std::vector<PlannedMessage> messages;
        for (std::size_t i = 0; i < c.server.size(); ++i) {
            const MessageKind kind = KindOf(files, c.server[i]);
            messages.push_back({c.server[i], kind, kind == MessageKind::kNew ? headers[i].c_str() : nullptr,
                                static_cast<int64_t>(100 * (i + 1))});
        }
        ChoiceToStore choice;
        choice.setAside = c.setAside;
        choice.reason = c.reason;
        choice.releaseUnchosen = c.releaseUnchosen;
        choice.listingComplete = true;
        for (const char* uidl : c.server) {
            choice.listingComplete = choice.listingComplete && uidl;
        }
        const StorePlan plan = PlanStore(files, messages, choice);
        EXPECT_EQ(c.uidlAfter, plan.uidlBytes);
        EXPECT_EQ(c.uidlAfter != c.uidl, plan.uidlChanged);
        EXPECT_EQ(!c.recordAfter.empty(), plan.recordChanged);
        if (!c.recordAfter.empty()) {
            EXPECT_EQ(c.recordAfter, FormatSetAsideRecord(plan.record));
        }
    }
}

TEST(SetAsidePlan, KindsFromBothFiles) {
    const AccountFiles files = ReadAccountFiles("R\r\nS\nX", kHead + Line("S", "dialog", 1, "s") +
                                                                Line("N", "dialog", 1, "n"));
    EXPECT_EQ(MessageKind::kReceived, KindOf(files, "R"));
    EXPECT_EQ(MessageKind::kSetAside, KindOf(files, "S"));
    EXPECT_EQ(MessageKind::kReceived, KindOf(files, "X")) << "the last line without its end counts";
    EXPECT_EQ(MessageKind::kNew, KindOf(files, "N")) << "recorded, but not in the host's file";
    EXPECT_EQ(MessageKind::kNew, KindOf(files, "Z"));
    EXPECT_EQ(MessageKind::kNew, KindOf(files, nullptr));
}

}  // namespace
