#pragma once
// A loopback port that answers no connection request, as a server behind a
// firewall that drops packets does: its listener never accepts, and its accept
// queue is filled by connections of its own, so that the system drops every
// further request unanswered and a client's connect neither succeeds nor fails
// until its own time-out. Winsock is started by the program.

#include <winsock2.h>

#include <vector>

#include "WinHandles.h"

class DroppingListener {
public:
    DroppingListener();
    DroppingListener(const DroppingListener&) = delete;
    DroppingListener& operator=(const DroppingListener&) = delete;

    // False when no listener could be made or its queue never filled.
    bool Ready() const { return ready_; }
    u_short Port() const { return port_; }

private:
    UniqueSocket listener_;
    std::vector<UniqueSocket> fillers_;
    u_short port_ = 0;
    bool ready_ = false;
};
