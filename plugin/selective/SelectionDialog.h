#pragma once
// The message selection dialog: every message on the server with its subject and
// size in a check-box list, opened once the scan (MailboxScan) has fetched every
// header and UIDL. On OK the UIDLs of the messages left unticked go into
// gUidlList, taken from the scan: the dialog itself never talks to the server.

#include <windows.h>
#include <commctrl.h>

// The list control and its state pictures while the dialog is open (the list
// owns the picture list and destroys it with itself).
extern HWND gMessageList;
extern HIMAGELIST gStateImages;

// Shows the dialog modally, owned by owner; the result is 1 (OK), 2 (Cancel or
// the close box) or what DialogBoxParamA reports when the dialog cannot be made.
INT_PTR ShowSelectionDialog(HWND owner);

INT_PTR CALLBACK SelectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Check-box style, the two state pictures and the two columns; false when the
// dialog has no list control.
bool InitMessageList(HWND dialog);

// Inserts the scanned subject and the size of every message in message order.
void FillMessageList();

// Reads a TOP reply and returns its decoded Subject (release it with
// ReleaseSubject), or kNoSubject. The scan does the same for every reply.
char* ExtractSubject();

// Scanned UIDL of every unticked message into gUidlList, then ends the dialog with 1.
void CollectUnticked(HWND dialog);
