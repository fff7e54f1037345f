#pragma once
// The watch over the retrieval the selective receive command asked for.
//
// The command leaves the set-aside UIDLs, the delete-on-server flag and a
// dialled line for the host's retrieval, and VbxFolderEndRetrieve clears them.
// A host that drops the posted receive command never calls it: without the
// watch that state would answer the next ordinary retrieval (every mail deleted
// on the server) and keep the line up.
//
// A thread timer, on the thread that posted the command (the host's window
// thread). A posted message is taken from the queue before any WM_TIMER is
// made, so at the first tick the host has had the receive command. At each
// tick a host that is busy is looked at again later; a host seen idle at
// kIdleTicksBeforeDropped ticks in a row, without VbxRecFilter or
// VbxFolderEndRetrieve having been called, dropped the command: the watcher's
// caller then clears the state and hangs up, as at the end of a retrieval.

#include <windows.h>

// Time between two looks at the host.
constexpr UINT kPendingRetrievalTickMs = 200;
// Idle ticks in a row that mean the command was dropped: one more than needed,
// for a host that dispatches a message or two of its own before it says busy.
constexpr int kIdleTicksBeforeDropped = 2;

// Called once when the host dropped the command.
using RetrievalDropped = void (*)();

// Starts the watch (after the receive command was posted); a watch already
// running starts over. When no timer can be made nothing is watched.
void WatchPendingRetrieval(RetrievalDropped onDropped);

// The host's retrieval has reached the plug-in (VbxRecFilter or
// VbxFolderEndRetrieve): the state is its own from here on; the watch ends.
void NoteRetrievalReached();

// Ends the watch without touching the state: a new command starts, or the
// library is unloaded.
void StopWatchingPendingRetrieval();

// True while a watch runs.
bool WatchingPendingRetrieval();

