#pragma once
// The message selection dialog: every message on the server with its subject and
// size in a check-box list, opened while the POP3 session is logged in and LIST
// has been read. On OK the UIDLs of the messages left unticked go into gUidlList.

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

// One TOP n 0 exchange per message; inserts subject and size in message order.
void FillMessageList();

// Reads a TOP reply and returns its decoded Subject (release it with
// ReleaseSubject), or kNoSubject.
char* ExtractSubject();

// UIDL of every unticked message into gUidlList, then ends the dialog with 1.
void CollectUnticked(HWND dialog);
