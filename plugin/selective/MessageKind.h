#pragma once
// Where a message stands before anything is shown: not yet received by the
// host, set aside by an earlier command (the host's uidl file and our own record
// name it), or received (the host's uidl file names it and nothing set it aside).
// Free of <windows.h>: the record and the uidl rewrite are planned natively too.

#include <cstdint>

enum class MessageKind : int32_t { kNew = 0, kSetAside = 1, kReceived = 2 };
