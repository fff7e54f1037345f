#!/usr/bin/env python3
"""Listens on 127.0.0.1 and runs one popa3d per connection, as inetd would.

popa3d only knows two ways to run: from inetd (the session on its standard input
and output) or as its own daemon on every address at port 110. This is the inetd
side, on loopback only and on a port of our choosing. tools/popa3d.sh starts it
inside the private mount namespace where popa3d finds its users and mailboxes.

    popa3d-listen.py --port N --pid-file FILE POPA3D
"""

import argparse
import os
import signal
import socket
import subprocess
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--pid-file", required=True)
    parser.add_argument("program")
    args = parser.parse_args()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)

    sessions = set()

    def stop(signum, frame):
        for session in list(sessions):
            try:
                session.kill()
            except OSError:
                pass
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    with open(args.pid_file + ".tmp", "w") as f:
        f.write("{}\n".format(os.getpid()))
    os.replace(args.pid_file + ".tmp", args.pid_file)

    while True:
        connection, _ = listener.accept()
        # popa3d writes a TOP or RETR reply in two pieces; without TCP_NODELAY the
        # second waits for the client's delayed acknowledgement (about 40 ms per
        # reply on loopback). xinetd's "flags = NODELAY" does the same.
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        # Sessions that ended are reaped here, so that none stays a zombie.
        for session in [s for s in sessions if s.poll() is not None]:
            sessions.discard(session)
        try:
            session = subprocess.Popen([args.program], stdin=connection.fileno(), stdout=connection.fileno(),
                                       stderr=subprocess.DEVNULL, close_fds=True)
            sessions.add(session)
        except OSError as error:
            print("popa3d-listen: {}".format(error), file=sys.stderr, flush=True)
        connection.close()


if __name__ == "__main__":
    main()
