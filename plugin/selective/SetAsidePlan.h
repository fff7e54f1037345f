#pragma once
// What the host's uidl file and our record of set-aside messages say about the
// messages on the server, and how both files change with a choice. Pure logic,
// free of <windows.h>, so that it runs natively.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "MessageKind.h"
#include "SetAsideRecord.h"

// Both files as they were read before the scan.
struct AccountFiles {
    std::string uidlBytes;
    std::unordered_set<std::string> hostUidls;  // UidlFileEntries(uidlBytes)
    std::vector<SetAsideEntry> record;
    std::unordered_map<std::string, std::size_t> recordIndex;  // IndexEntries(record)
};

// Fills the derived members from uidlBytes and the record's bytes.
AccountFiles ReadAccountFiles(const std::string& uidlBytes, const std::string& recordBytes);

// New: not in the host's file (also a message without a UIDL: the host cannot
// skip it either). Set aside: in the host's file and in the record. Received:
// in the host's file only.
MessageKind KindOf(const AccountFiles& files, const char* uidl);

// True when some message may be set aside now: an entry of the record that the
// host's file names.
bool RecordNamesSetAsideMail(const AccountFiles& files);

// The record's entry for uidl, or null.
const SetAsideEntry* RecordedEntry(const AccountFiles& files, const char* uidl);

// One message on the server as the scan left it.
struct PlannedMessage {
    const char* uidl;    // null when the server gave none
    MessageKind kind;
    const char* header;  // header block of its TOP reply, null when none was read
    int64_t size;
};

// What the choice changes. setAside: the UIDLs to keep on the server (gUidlList),
// in order. releaseUnchosen: every set-aside message not in setAside is
// released (false for a cancelled dialog, which changes nothing chosen before).
// listingComplete: every message on the server has its UIDL in messages, so an
// entry for a UIDL not among them is for mail no longer on the server.
struct ChoiceToStore {
    std::vector<std::string> setAside;
    SetAsideReason reason = SetAsideReason::kDialog;
    bool releaseUnchosen = true;
    bool listingComplete = false;
};

struct StorePlan {
    std::string uidlBytes;    // the host's file afterwards
    bool uidlChanged = false;
    std::vector<SetAsideEntry> record;  // the record afterwards
    bool recordChanged = false;
    std::vector<std::string> released;  // taken out of the host's file
    std::vector<std::string> appended;  // added to it
};

// The host's file loses the released lines and gains the set-aside UIDLs it did
// not hold; the record holds exactly the set-aside messages the host's file
// names afterwards: new entries with the header the scan read, kept ones as they
// were (a dialog choice makes their reason the dialog's), none for mail gone
// from a complete listing.
StorePlan PlanStore(const AccountFiles& files, const std::vector<PlannedMessage>& messages,
                    const ChoiceToStore& choice);
