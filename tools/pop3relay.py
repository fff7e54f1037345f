#!/usr/bin/env python3
"""A POP3 relay on loopback that adds latency, as a real network line would.

Sits between a client and a POP3 server: every byte is held back --delay-ms in
each direction (the round trip grows by twice that), in order, without limiting
the rate, so that a client that sends several commands before the first reply
(pipelining) profits from it and a client that waits for each reply pays the
whole round trip every time.

It also reads the dialogue as it passes:
- --no-pipelining removes the line PIPELINING from every CAPA reply, so that the
  same server can be scanned by a client that believes it cannot pipeline;
- --no-stls removes the line STLS from every CAPA reply, as a server (or a line
  in between) that offers no TLS would;
- TLS passes through unread: from a client's first byte that starts a TLS record
  (implicit TLS), or from the +OK to STLS on. Its records are counted instead:
  the end line then adds  tls=1 records_up=N records_down=M max_burst_up=B,
  where B is the most client records in a row with no server record between
  them (a client that pipelines sends many commands before any reply comes);
- --log FILE records each command and reply with its time, and at the end of
  each connection one line
      <time> <conn> end commands=N pipelined=P max_in_flight=M capa=0|1
  where pipelined counts the commands that arrived while an earlier reply had
  not yet been handed to the client in whole, and max_in_flight is the most
  replies owed at one time (1 for a client that never pipelines).

    pop3relay.py --target-port N [--target-host 127.0.0.1] [--port 0]
                 [--delay-ms 15] [--no-pipelining] [--no-stls] [--log FILE]
                 [--port-file FILE] [--pid-file FILE]

It listens on 127.0.0.1 only and runs until it is sent SIGTERM or SIGINT.
Standard library only.
"""

import argparse
import collections
import os
import queue
import signal
import socket
import sys
import threading
import time

# Commands whose positive reply is multi-line (RFC 1939, RFC 2449): LIST and
# UIDL only without an argument.
MULTI_LINE_ALWAYS = {"capa", "top", "retr"}
MULTI_LINE_WITHOUT_ARGUMENT = {"list", "uidl"}

START = time.monotonic()


class Log:
    def __init__(self, path):
        self.file = open(path, "a", buffering=1, encoding="utf-8", errors="replace") if path else None
        self.lock = threading.Lock()

    def write(self, connection, text):
        if not self.file:
            return
        with self.lock:
            self.file.write("{:.3f} {} {}\n".format(time.monotonic() - START, connection, text))


class Connection:
    """One client connection and its upstream; four threads, two per direction."""

    def __init__(self, number, client, server, args, log):
        self.number = number
        self.client = client
        self.server = server
        self.delay = args.delay_ms / 1000.0
        self.strip = args.no_pipelining
        self.strip_stls = args.no_stls
        # TLS: each direction stops reading the dialogue once it carries TLS.
        self.tls_up = False
        self.tls_down = False
        self.records = TlsRecordCounter()
        self.log = log
        self.lock = threading.Lock()
        # Replies owed to the client, in order: the greeting, then one per command.
        self.pending = collections.deque([("greeting", False)])
        self.owed = 1
        self.commands = 0
        self.pipelined = 0
        self.max_in_flight = 1
        self.capa = False
        self.done = 0

    def start(self):
        upward = queue.Queue()
        downward = queue.Queue()
        for target in (lambda: self.read_client(upward), lambda: self.write(upward, self.server),
                       lambda: self.read_server(downward), lambda: self.write(downward, self.client)):
            threading.Thread(target=target, daemon=True).start()

    # ---- client to server ----------------------------------------------------

    def read_client(self, out):
        partial = b""
        first = True
        while True:
            data = receive(self.client)
            now = time.monotonic()
            if not data:
                out.put((now + self.delay, None, 0))
                return
            if first and data[0] == 0x16:  # a TLS handshake record: implicit TLS
                self.tls_up = self.tls_down = True
            first = False
            if self.tls_up:
                self.records.count("up", data)
                out.put((now + self.delay, data, 0))
                continue
            lines = (partial + data).split(b"\n")
            partial = lines.pop()
            for index, line in enumerate(lines):
                self.note_command(line.rstrip(b"\r").decode("latin-1"))
                if line.rstrip(b"\r").lower() == b"stls":
                    # What follows is the client's TLS hello.
                    self.tls_up = True
                    rest = b"\n".join(lines[index + 1:] + [partial]) if index + 1 < len(lines) else partial
                    if rest:
                        self.records.count("up", rest)
                    break
            out.put((now + self.delay, data, 0))

    def note_command(self, line):
        words = line.split()
        verb = words[0].lower() if words else ""
        multi = verb in MULTI_LINE_ALWAYS or (verb in MULTI_LINE_WITHOUT_ARGUMENT and len(words) == 1)
        with self.lock:
            if self.owed > 0:
                self.pipelined += 1
            self.owed += 1
            self.max_in_flight = max(self.max_in_flight, self.owed)
            self.commands += 1
            self.pending.append((verb, multi))
            if verb == "capa":
                self.capa = True
            owed = self.owed
        shown = "PASS ***" if verb == "pass" else line
        self.log.write(self.number, "C> {} (owed {})".format(shown, owed))

    # ---- server to client ------------------------------------------------------

    def read_server(self, out):
        partial = b""
        reply = None  # [verb, multi, first line, line count] of the reply being read
        while True:
            data = receive(self.server)
            now = time.monotonic()
            if not data:
                if partial:
                    out.put((now + self.delay, partial, 0))
                out.put((now + self.delay, None, 0))
                return
            if self.tls_down:
                self.records.count("down", data)
                out.put((now + self.delay, data, 0))
                continue
            lines = (partial + data).split(b"\n")
            partial = lines.pop()  # what follows the last line break
            kept = []
            completed = 0
            for index, line in enumerate(lines):
                if self.tls_down:
                    # Bytes behind the +OK to STLS: passed on as they came.
                    rest = b"\n".join(lines[index:]) + b"\n" + partial
                    kept.append(rest)
                    self.records.count("down", rest)
                    partial = b""
                    break
                line += b"\n"
                text = line.rstrip(b"\r\n")
                if reply is None:
                    with self.lock:
                        verb, multi = self.pending.popleft() if self.pending else ("unasked", False)
                    multi = multi and text.startswith(b"+OK")
                    reply = [verb, multi, text.decode("latin-1"), 0]
                    ends = not multi
                else:
                    ends = text == b"."
                    if self.strip and reply[0] == "capa" and text.strip().upper() == b"PIPELINING":
                        self.log.write(self.number, "S< (PIPELINING removed)")
                        continue
                    if self.strip_stls and reply[0] == "capa" and text.strip().upper() == b"STLS":
                        self.log.write(self.number, "S< (STLS removed)")
                        continue
                reply[3] += 1
                kept.append(line)
                if ends:
                    completed += 1
                    more = " +{} lines".format(reply[3] - 1) if reply[3] > 1 else ""
                    self.log.write(self.number, "S< {}{} ({})".format(reply[2], more, reply[0]))
                    if reply[0] == "stls" and reply[2].startswith("+OK"):
                        self.tls_down = True
                    reply = None
            if self.tls_down and partial:
                kept.append(partial)
                self.records.count("down", partial)
                partial = b""
            if kept:
                out.put((now + self.delay, b"".join(kept), completed))

    # ---- either direction --------------------------------------------------------

    def write(self, items, target):
        while True:
            release, data, completed = items.get()
            wait = release - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            if data is None:
                try:
                    target.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
                self.finish()
                return
            if completed:
                # Before the bytes leave: a client that waits for this reply can
                # only send its next command after they have.
                with self.lock:
                    self.owed -= completed
            try:
                target.sendall(data)
            except OSError:
                # The peer is gone: drop the rest of this direction.
                self.finish()
                return

    def finish(self):
        with self.lock:
            self.done += 1
            last = self.done == 2
        if last:
            tls = ""
            if self.tls_up or self.tls_down:
                tls = " tls=1 records_up={} records_down={} max_burst_up={}".format(
                    self.records.total["up"], self.records.total["down"], self.records.max_burst_up)
            self.log.write(self.number, "end commands={} pipelined={} max_in_flight={} capa={}{}".format(
                self.commands, self.pipelined, self.max_in_flight, 1 if self.capa else 0, tls))
            for s in (self.client, self.server):
                try:
                    s.close()
                except OSError:
                    pass


class TlsRecordCounter:
    """Counts the TLS records of each direction from their 5-byte headers."""

    def __init__(self):
        self.lock = threading.Lock()
        self.header = {"up": b"", "down": b""}
        self.skip = {"up": 0, "down": 0}
        self.total = {"up": 0, "down": 0}
        self.burst_up = 0
        self.max_burst_up = 0

    def count(self, direction, data):
        with self.lock:
            position = 0
            while position < len(data):
                if self.skip[direction] > 0:
                    step = min(self.skip[direction], len(data) - position)
                    self.skip[direction] -= step
                    position += step
                    continue
                need = 5 - len(self.header[direction])
                self.header[direction] += data[position:position + need]
                position += need
                if len(self.header[direction]) < 5:
                    break
                header = self.header[direction]
                self.header[direction] = b""
                self.skip[direction] = (header[3] << 8) | header[4]
                self.total[direction] += 1
                if header[0] != 23:  # only application data shows pipelining
                    continue
                if direction == "up":
                    self.burst_up += 1
                    self.max_burst_up = max(self.max_burst_up, self.burst_up)
                else:
                    self.burst_up = 0


def receive(sock):
    try:
        return sock.recv(65536)
    except OSError:
        return b""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--target-host", default="127.0.0.1")
    parser.add_argument("--target-port", type=int, required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--delay-ms", type=float, default=15.0)
    parser.add_argument("--no-pipelining", action="store_true")
    parser.add_argument("--no-stls", action="store_true")
    parser.add_argument("--log")
    parser.add_argument("--port-file")
    parser.add_argument("--pid-file")
    args = parser.parse_args()

    log = Log(args.log)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)
    port = listener.getsockname()[1]

    def stop(signum, frame):
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.pid_file:
        write_atomically(args.pid_file, "{}\n".format(os.getpid()))
    if args.port_file:
        write_atomically(args.port_file, "{}\n".format(port))
    log.write(0, "listening on {} for {}:{}, {} ms each way{}".format(
        port, args.target_host, args.target_port, args.delay_ms,
        (", PIPELINING removed" if args.no_pipelining else "") + (", STLS removed" if args.no_stls else "")))

    number = 0
    while True:
        client, _ = listener.accept()
        number += 1
        try:
            server = socket.create_connection((args.target_host, args.target_port), timeout=10)
            server.settimeout(None)
        except OSError as error:
            log.write(number, "no connection to the server: {}".format(error))
            client.close()
            continue
        for s in (client, server):
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        log.write(number, "connected")
        Connection(number, client, server, args, log).start()


def write_atomically(path, text):
    with open(path + ".tmp", "w") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


if __name__ == "__main__":
    sys.exit(main())
