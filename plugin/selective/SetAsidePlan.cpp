#include "SetAsidePlan.h"

#include <cstring>

#include "UidlFileText.h"

AccountFiles ReadAccountFiles(const std::string& uidlBytes, const std::string& recordBytes) {
    AccountFiles files;
    files.uidlBytes = uidlBytes;
    files.hostUidls = UidlFileEntries(uidlBytes);
    files.record = ParseSetAsideRecord(recordBytes);
    files.recordIndex = IndexEntries(files.record);
    return files;
}

MessageKind KindOf(const AccountFiles& files, const char* uidl) {
    if (!uidl || files.hostUidls.count(uidl) == 0) {
        return MessageKind::kNew;
    }
    return files.recordIndex.count(uidl) ? MessageKind::kSetAside : MessageKind::kReceived;
}

bool RecordNamesSetAsideMail(const AccountFiles& files) {
    for (const SetAsideEntry& entry : files.record) {
        if (files.hostUidls.count(entry.uidl)) {
            return true;
        }
    }
    return false;
}

const SetAsideEntry* RecordedEntry(const AccountFiles& files, const char* uidl) {
    if (!uidl) {
        return nullptr;
    }
    auto found = files.recordIndex.find(uidl);
    return found == files.recordIndex.end() ? nullptr : &files.record[found->second];
}

namespace {

bool SameEntries(const std::vector<SetAsideEntry>& a, const std::vector<SetAsideEntry>& b) {
    return FormatSetAsideRecord(a) == FormatSetAsideRecord(b);
}

}  // namespace

StorePlan PlanStore(const AccountFiles& files, const std::vector<PlannedMessage>& messages,
                    const ChoiceToStore& choice) {
    StorePlan plan;
    const std::unordered_set<std::string> chosen(choice.setAside.begin(), choice.setAside.end());

    // The first message with each UIDL speaks for it.
    std::unordered_map<std::string, const PlannedMessage*> byUidl;
    for (const PlannedMessage& message : messages) {
        if (message.uidl) {
            byUidl.emplace(message.uidl, &message);
        }
    }

    std::unordered_set<std::string> release;
    for (const PlannedMessage& message : messages) {
        if (choice.releaseUnchosen && message.uidl && message.kind == MessageKind::kSetAside &&
            chosen.count(message.uidl) == 0 && release.insert(message.uidl).second) {
            plan.released.push_back(message.uidl);
        }
    }
    std::unordered_set<std::string> appendedSet;
    for (const std::string& uidl : choice.setAside) {
        if (files.hostUidls.count(uidl) == 0 && appendedSet.insert(uidl).second) {
            plan.appended.push_back(uidl);
        }
    }
    plan.uidlBytes = RewriteUidlFileText(files.uidlBytes, release, plan.appended);
    plan.uidlChanged = plan.uidlBytes != files.uidlBytes;

    // What the host's file names afterwards.
    auto namedAfter = [&](const std::string& uidl) {
        return release.count(uidl) == 0 && (files.hostUidls.count(uidl) != 0 || appendedSet.count(uidl) != 0);
    };

    std::unordered_set<std::string> recorded;
    for (const SetAsideEntry& old : files.record) {
        if (!namedAfter(old.uidl) || (choice.listingComplete && byUidl.count(old.uidl) == 0)) {
            continue;  // released, never written to the host's file, or gone from the server
        }
        auto message = byUidl.find(old.uidl);
        if (message != byUidl.end() && message->second->kind == MessageKind::kNew) {
            continue;  // left from a write that never reached the host's file
        }
        SetAsideEntry kept = old;
        if (message != byUidl.end() && chosen.count(old.uidl) && message->second->kind == MessageKind::kSetAside) {
            if (choice.reason == SetAsideReason::kDialog) {
                kept.reason = SetAsideReason::kDialog;
            }
            kept.size = message->second->size;
        }
        recorded.insert(kept.uidl);
        plan.record.push_back(std::move(kept));
    }
    for (const std::string& uidl : choice.setAside) {
        auto message = byUidl.find(uidl);
        if (message == byUidl.end() || message->second->kind != MessageKind::kNew || recorded.count(uidl)) {
            continue;  // received by the host already, or recorded above
        }
        const char* header = message->second->header;
        plan.record.push_back(EntryFromHeader(uidl, choice.reason, message->second->size, header,
                                              header ? std::strlen(header) : 0));
        recorded.insert(uidl);
    }
    plan.recordChanged = !SameEntries(plan.record, files.record);
    return plan;
}
