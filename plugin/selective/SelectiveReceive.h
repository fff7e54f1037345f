#pragma once
// The selective receive command ("選択受信") and the state it leaves for the
// host's retrieval.

#include <windows.h>

#include <cstdint>

struct SetAsideSession;

// Key Delete of Kirvan.ini as read by the last selective receive; 0 at load.
// VbxRecFilter reads it; VbxFolderEndRetrieve sets it to 0.
extern int32_t gDeleteOnServer;

// The texts of the command's message boxes (caption "Kirvan", OK only).
extern const char kKeepMailOnServerText[];
extern const char kNoDialUpEntryText[];
extern const char kDialUpFailedText[];
// The uidl file could not be read or rewritten: nothing changed, nothing
// retrieved.
extern const char kUidlWriteFailedText[];
// The host is retrieving already: the command does not start.
extern const char kHostBusyText[];

// The command callback registered for "選択受信"; value is the registered 0.
// Checks the account's settings and that the host is not retrieving, dials when
// the account uses dial-up, runs the POP3 session and, when the choice was
// recorded, posts the host receive command to window and watches for the
// retrieval (PendingRetrieval.h). Whenever no retrieval is coming (the host
// idle when the command starts, a failed session, a dropped receive command),
// it leaves no set-aside UIDLs, no delete request and no line behind.
LRESULT WINAPI RunSelectiveReceive(HWND window, LPARAM value);

// What RunSelectiveReceive does when its work failed with an exception: ends
// the session without waiting, releases the scan and the session's buffers,
// empties gUidlList, clears gDeleteOnServer and hangs up, so that the host's
// next retrieval is an ordinary one.
void AbandonSelectiveReceive() noexcept;

// Connects, logs in and has the messages to leave on the server chosen (the
// selection dialog or the size filter), quits, and writes the choice into the
// account's uidl file and our record of set-aside messages (SetAsideStore).
// True when the host's retrieval may start: logged in, the scan whole and the
// choice stored. A broken scan and files that cannot be rewritten show a box.
bool RunPopSession(HWND window, const char* server, int port, const char* user);

// Sets aside (into gUidlList) every new message larger than limit bytes, and
// keeps every set-aside one (gScanTable's kinds) except those that the size
// filter set aside and that are now within the limit (setAside's record tells
// why each was set aside; null: none is released).
void ApplySizeFilter(int32_t limit, const SetAsideSession* setAside = nullptr);
