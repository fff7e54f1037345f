#pragma once
// The scan of the mailbox that a selective receive runs after LIST, before
// anything is shown: the UIDL of every message that may be set aside and, for
// the selection dialog, the Subject of every message. Once it is whole the
// choice needs nothing more from the server, so the session can end before the
// user has read a single line.
//
// With a server that offers PIPELINING the commands go out ahead of their
// replies, up to a bounded window; otherwise one at a time.

#include <windows.h>

#include <cstdint>

#include "MessageKind.h"

// Bytes of commands in flight at most while pipelining (the commands sent whose
// replies have not all been read). Chosen by measurement (the figures are
// beside its definition in MailboxScan.cpp).
extern const int kScanWindowBytesDefault;

// For measurements and tests: the window in bytes used from now on; one
// command always goes out, so 1 means one command at a time even with
// PIPELINING. 0 restores kScanWindowBytesDefault.
void ScanSetWindowBytes(int bytes);

enum class ScanOutcome {
    kComplete,   // every reply arrived whole
    kCancelled,  // the user pressed cancel (or the thread got WM_QUIT)
    kBroken,     // the connection broke or timed out before the scan was whole,
                 // a message that may be set aside has no usable UIDL, or a
                 // reply came that no command asked for
};


// What the scan learnt, message n at index n - 1; valid until ScanRelease. A
// table fresh from calloc is all kNew with nothing learnt.
struct ScannedMessage {
    char* uidl;     // malloc'ed, usable (pop3::IsUsableUidl); null when not wanted
    char* subject;  // from ExtractSubjectFromReply; null when not scanned
    // malloc'ed header block, NUL-terminated, as the server sent it (the TOP
    // reply less its status line, up to the empty line); for a message shown
    // from the record, the fields the record kept. Null when not scanned.
    char* header;
    MessageKind kind;
};

// gMessageCount entries, or null when nothing was scanned.
extern ScannedMessage* gScanTable;

// Scans messages 1..gMessageCount: the UIDL listing (uidl) when needUidl says a
// UIDL is wanted for at least one message, then "uidl n" for every wanted one
// the listing lacked (every one when the listing was refused), and "top n 0" for
// every message when subjects is true. needUidl: one flag per message, null for
// every message. pipelining: the server listed PIPELINING. Complete only when
// every wanted message has a usable UIDL, each "uidl n" was answered for n, and
// nothing arrived beyond the last reply owed.
ScanOutcome ScanMailbox(bool subjects, const bool* needUidl, bool pipelining);

// Called once during a scan, when every UIDL it wanted has arrived and before
// any TOP goes out: sets each message's kind in gScanTable and sets
// wantTop[n - 1] (all false on entry) for every message whose header is to be
// read. False ends the scan as broken.
typedef bool (*ScanClassifier)(void* context, bool* wantTop);

// As ScanMailbox, with the TOP commands decided by classify instead of subjects.
ScanOutcome ScanMailboxClassified(const bool* needUidl, bool pipelining, ScanClassifier classify, void* context);

// The UIDL of message n (1-based) as scanned, or null.
const char* ScannedUidl(int32_t n);
// The subject of message n, or kNoSubject when none was scanned.
char* ScannedSubject(int32_t n);

// Releases gScanTable and everything in it.
void ScanRelease();

// Called by the scan after each reply: messages done and the total so far.
// Returns false to cancel the scan.
typedef bool (*ScanProgressCallback)(void* context, int32_t done, int32_t total);
void ScanSetProgressCallback(ScanProgressCallback callback, void* context);
