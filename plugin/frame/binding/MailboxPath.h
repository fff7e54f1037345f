#pragma once
// Paths inside the host's mailbox directory.

// Writes the mailbox directory (from the host, ending in a backslash), then piece1;
// then "\" and piece2, the backslash only when piece1 was given; then "\" and piece3,
// the backslash only when piece1 or piece2 was given; then piece4 with no separator.
// Any piece may be null. buffer holds kPathBufferSize (260) bytes.
// Returns buffer, or null for a null buffer (nothing written). A path that does not
// fit is refused: the buffer is left empty and the result is null, because a cut
// path would name another file.
char* BuildMailboxPath(char* buffer, const char* piece1, const char* piece2, const char* piece3,
                       const char* piece4);
