#pragma once
// The plug-in's part in the host's retrieval: each stored mail passes through
// RecFilter; EndRetrieval returns the per-retrieval state to empty.

#include <windows.h>

namespace frame {

// Queues the mail file for digest splitting, then answers 1 (delete the mail from
// the server) when the selective receive set UIDLs aside with the delete setting
// on, else 0. Changes neither the UIDL list nor the flag; ends the watch for a
// dropped receive command, the retrieval having come.
int RecFilter(const char* mailPath);

// Ends the watch for a dropped receive command, hangs up a dial-up connection,
// clears the delete-on-server flag, empties the UIDL list, then splits the
// queued mails (window: owner of any message box) and empties the queue.
void EndRetrieval(HWND window);

}  // namespace frame
