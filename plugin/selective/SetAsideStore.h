#pragma once
// The account's two records of what stays on the server, around one selective
// receive: the host's uidl file and our record of set-aside messages, read
// before the scan, used to tell each scanned message's kind, and rewritten with
// the choice before the host's retrieval is started.

#include <windows.h>

#include <string>

#include "SetAsidePlan.h"

struct SetAsideSession {
    std::string uidlPath;
    std::string recordPath;
    bool recordExisted = false;
    bool recordRead = false;  // read whole: recordBytes can put it back
    std::string recordBytes;
    AccountFiles files;
};

// Reads both files of window's account. A missing or damaged record reads as
// empty. False when the account's folder is unknown or the uidl file exists but
// cannot be read: no choice could be stored then.
bool OpenSetAsideSession(HWND window, SetAsideSession* session);

// Once every wanted UIDL is in gScanTable, before any TOP: each message's kind;
// a set-aside message gets its header block (and subject) from the record.
void ClassifyScannedMessages(const SetAsideSession& session);

// True when every listed message has its UIDL in gScanTable.
bool ScanListsEveryUidl();

enum class StoreOutcome { kStored, kRecordFailed, kUidlFailed };

// Writes gUidlList's choice into both files: the record first, then the host's
// file; when the host's file cannot be replaced the record is put back as it
// was read. Anything but kStored: nothing was changed (as far as putting the
// record back succeeded; what it then holds beyond the host's file reads as new
// mail, so nothing is lost). releaseUnchosen: see ChoiceToStore.
StoreOutcome StoreSetAsideChoice(const SetAsideSession& session, SetAsideReason reason, bool releaseUnchosen);

// Shown, owned by the host window, when the record cannot be written (the uidl
// file's failures show kUidlWriteFailedText).
extern const char kRecordNotWrittenText[];
