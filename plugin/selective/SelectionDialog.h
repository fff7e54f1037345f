#pragma once
// The message selection dialog: every message on the server that the host has
// not received, with its sender, subject, date and size in a check-box list that
// sorts by any column, opened once the scan (MailboxScan) has fetched every
// header and UIDL. On OK the UIDLs of the messages left unticked go into
// gUidlList, taken from the scan: the dialog itself never talks to the server.
// The items and their ticks live in the list control itself; each item's
// parameter is its message number, so a tick follows the message when the list
// is sorted.

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

// Check-box style, the two state pictures and the five columns; false when the
// dialog has no list control.
bool InitMessageList(HWND dialog);

// Inserts every listed message in message order, its texts in UTF-16.
void FillMessageList();

// Reads a TOP reply and returns its decoded Subject (release it with
// ReleaseSubject), or kNoSubject. The scan does the same for every reply.
char* ExtractSubject();

// Scanned UIDL of every unticked item into gUidlList, then ends the dialog with 1.
void CollectUnticked(HWND dialog);
