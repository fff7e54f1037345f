#!/usr/bin/env python3
"""End-to-end runs of the selective receive ("選択受信").

Each case fills the mailbox of user alice on a real POP3 server (Dovecot, or
popa3d, which knows no CAPA), writes a host mailbox with one account
(Account.ini, Kirvan.ini, maybe a uidl file), runs the stand-in host Quenla.exe
with the real Pikuno.dll non-interactively (it chooses the menu item, drives the
selection dialog or answers the message box, and retrieves mail when the
plug-in posts the receive command), and then checks the host's report, the
account's uidl file, the inbox and what is left on the server. One case runs
the same scan twice through tools/pop3relay.py (latency added, PIPELINING kept
or removed from CAPA) and compares the two.

Standard library only. Run by ctest (tests/e2e/CMakeLists.txt):
    e2e_receive.py --case NAME --bin DIR --wine WINE_RUN --server DIR
                   --harness tools/dovecot.sh|tools/popa3d.sh --work DIR
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

USER = "alice"
PASSWORD = "secret"
MENU_ITEM = "選択受信"
DIALOG = "ﾀﾞｲｱﾛｸﾞ"
CAPTION = "Kirvan"

KEEP_ON_SERVER_TEXT = ("メールのフィルター処理を行う為には\nメールをサーバーに残す設定にしてから\n"
                       "Quenlaを再起動してください")
NO_ENTRY_TEXT = ("ダイアルアップのエントリが見つかりません\n"
                 "オプションのダイアルアップ接続先をチェックしてください。")
DIAL_FAILED_TEXT = "ダイアルアップに失敗しました"

RELAY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "pop3relay.py")
# The plug-in pipelines its scan when the server offers it: the relay case also
# requires that commands were in flight together on the pipelined run and that
# CAPA was asked on both. (False checks only that both runs agree and that the
# serial one never pipelined.)
PLUGIN_PIPELINES = True


def sjis(text):
    return text.encode("cp932")


def escaped(text):
    """A text as the host's report shows it: line breaks as \\n."""
    return text.replace("\r", "\\r").replace("\n", "\\n")


def make_mail(number, size, subject_line):
    """A mail of LF lines whose POP3 size (CR LF lines) is exactly size bytes.

    subject_line is the whole header line without its line end, or None."""
    header = "From: sender@example.jp\nTo: alice@example.jp\nMessage-ID: <m{}@example.jp>\n".format(number)
    if subject_line is not None:
        header += subject_line + "\n"
    header += "\n"
    data = header.encode("ascii")
    pop_size = len(data) + data.count(b"\n")
    body = b""
    while True:
        left = size - pop_size - len(body) - body.count(b"\n")
        if left <= 0:
            break
        if left >= 64:  # a full line leaves at least 2 bytes for a last one
            body += b"x" * 60 + b"\n"  # 62 bytes on the wire
        elif left >= 2:
            body += b"y" * (left - 2) + b"\n"
        else:
            raise ValueError("cannot reach size {}".format(size))
    mail = data + body
    assert len(mail) + mail.count(b"\n") == size, size
    return mail


class Case:
    def __init__(self, args, name):
        self.args = args
        self.name = name
        self.failures = []
        self.dir = os.path.join(args.work, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.mailbox = os.path.join(self.dir, "Mailbox")
        self.account = os.path.join(self.mailbox, "Account1")
        os.makedirs(os.path.join(self.account, "inbox.box"))
        os.makedirs(os.path.join(self.account, "trash.box"))
        self.report = b""
        self.ras_log = os.path.join(self.dir, "ras.log")
        self.harness("adduser", args.server, USER, PASSWORD)
        self.harness("clear", args.server, USER)
        self.port = int(self.harness("port", args.server).strip())

    # ---- set-up ---------------------------------------------------------------

    def harness(self, *words):
        result = subprocess.run([self.args.harness] + list(words), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, check=False)
        if result.returncode != 0:
            sys.exit("{} {} failed: {}".format(os.path.basename(self.args.harness), " ".join(words),
                                               result.stderr.decode(errors="replace")))
        return result.stdout.decode()

    def add_mails(self, mails):
        """mails: list of bytes, delivered in order (message numbers follow it)."""
        spool = os.path.join(self.dir, "spool")
        os.makedirs(spool, exist_ok=True)
        paths = []
        for i, mail in enumerate(mails):
            path = os.path.join(spool, "{:05d}.eml".format(i + 1))
            with open(path, "wb") as f:
                f.write(mail)
            paths.append(path)
        self.harness("addmail", self.args.server, USER, *paths)
        shutil.rmtree(spool)
        return self.server()

    def server(self):
        """The server's own view: list of (number, size, uidl)."""
        rows = []
        for line in self.harness("view", self.args.server, USER).splitlines():
            number, size, uidl = line.split()
            rows.append((int(number), int(size), uidl))
        return rows

    def write_ini(self, name, sections):
        text = ""
        for section, keys in sections:
            text += "[{}]\r\n".format(section)
            for key, value in keys:
                text += "{}={}\r\n".format(key, value)
        with open(os.path.join(self.account, name), "wb") as f:
            f.write(sjis(text))

    def settings(self, DoFilter=1, FilterType=0, CheckSize=0, FilterSize=0, Delete=0, NotDelete=1, UseRAS=0,
                 RASProvider="", port=None):
        self.write_ini("Kirvan.ini", [
            ("Server", [("pass", PASSWORD)]),
            ("Property", [("DoFilter", DoFilter), ("FilterType", FilterType), ("CheckSize", CheckSize),
                          ("FilterSize", FilterSize), ("Delete", Delete)]),
        ])
        self.write_ini("Account.ini", [
            ("Property", [("Title", "e2e"), ("Account", USER), ("Password", PASSWORD), ("POP3Server", "127.0.0.1"),
                          ("POP3Port", self.port if port is None else port), ("NotDelete", NotDelete),
                          ("UseRAS", UseRAS), ("RASProvider", RASProvider)]),
        ])

    def reset_account(self):
        """Forgets what a run left in the account: its uidl file and inbox."""
        if os.path.exists(self.uidl_path()):
            os.remove(self.uidl_path())
        for folder in ("inbox.box", "trash.box"):
            shutil.rmtree(os.path.join(self.account, folder))
            os.makedirs(os.path.join(self.account, folder))

    def write_uidl(self, data):
        with open(self.uidl_path(), "wb") as f:
            f.write(data)

    # ---- running the host ---------------------------------------------------------

    def run_host(self, lines, ras_dial=None, unexpected_ms=8000):
        """Runs Quenla.exe on the script lines; keeps its report (Shift_JIS bytes)."""
        script = os.path.join(self.dir, "script{}.txt".format(len(os.listdir(self.dir))))
        out = os.path.join(self.dir, "report.txt")
        with open(script, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        if os.path.exists(out):
            os.remove(out)
        env = dict(os.environ)
        env["WINEDLLOVERRIDES"] = "rasapi32=n"
        env["PIKUNO_E2E_RAS_LOG"] = windows_path(self.ras_log)
        if ras_dial is not None:
            env["PIKUNO_E2E_RAS_DIAL"] = str(ras_dial)
        command = [self.args.wine, os.path.join(self.args.bin, "Quenla.exe"),
                   "--mailbox", windows_path(self.mailbox), "--account", "Account1",
                   "--script", windows_path(script), "--out", windows_path(out),
                   "--unexpected-ms", str(unexpected_ms), "--receive-timeout-ms", "20000", "--hide"]
        try:
            result = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    timeout=240, check=False)
        except subprocess.TimeoutExpired:
            # Say how far the run got: whether the script ended ("exit n") tells a
            # hang at the process's end from one inside a command.
            sys.stderr.write("Quenla.exe did not end within 240 s; its report so far:\n")
            if os.path.exists(out):
                with open(out, "rb") as f:
                    sys.stderr.write(f.read().decode("cp932", "replace"))
            raise
        self.report = b""
        if os.path.exists(out):
            with open(out, "rb") as f:
                self.report = f.read()
        self.exit_code = result.returncode
        return self.report

    # ---- reading results ------------------------------------------------------------

    def uidl_path(self):
        return os.path.join(self.account, "uidl")

    def uidl(self):
        try:
            with open(self.uidl_path(), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def inbox(self):
        """Mail files of the inbox (bytes), in name order."""
        folder = os.path.join(self.account, "inbox.box")
        names = sorted(n for n in os.listdir(folder) if n.endswith(".qnl"))
        mails = []
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                mails.append(f.read())
        return mails

    def report_lines(self):
        return self.report.split(b"\r\n") if b"\r\n" in self.report else self.report.split(b"\n")

    def has_line(self, expected):
        """True when a report line equals expected (text, compared as Shift_JIS bytes)."""
        wanted = sjis(expected) if isinstance(expected, str) else expected
        return any(line.strip() == wanted for line in self.report_lines())

    def lines_starting(self, prefix):
        wanted = sjis(prefix) if isinstance(prefix, str) else prefix
        return [line.strip() for line in self.report_lines() if line.strip().startswith(wanted)]

    def has_line_starting(self, prefix):
        wanted = sjis(prefix)
        return any(line.strip().startswith(wanted) for line in self.report_lines())

    def ras_calls(self):
        try:
            with open(self.ras_log, "rb") as f:
                return f.read().decode("cp932").splitlines()
        except FileNotFoundError:
            return []

    # ---- checks ---------------------------------------------------------------------

    def check(self, condition, what):
        if not condition:
            self.failures.append(what)

    def check_exit(self):
        self.check(self.exit_code == 0, "host run failed (exit {})".format(self.exit_code))

    def finish(self):
        if not self.failures:
            print("{}: passed".format(self.name))
            return 0
        print("{}: FAILED".format(self.name))
        for failure in self.failures:
            print("  - " + failure)
        print("---- host report ----")
        print(self.report.decode("cp932", errors="replace"))
        return 1


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def lines_of(*uidls):
    return b"".join(u.encode("ascii") + b"\n" for u in uidls)


def received_line(retrieved, skipped, on_server):
    return "receive: Account1 on server {}, skipped {}, retrieved {}".format(on_server, skipped, retrieved)


# ---- the cases ----------------------------------------------------------------------

def three_mails(case):
    return case.add_mails([make_mail(1, 4000, "Subject: one"), make_mail(2, 5000, "Subject: two"),
                           make_mail(3, 6000, "Subject: three")])


def case_size_filter(case):
    server = three_mails(case)
    case.check([s for _, s, _ in server] == [4000, 5000, 6000], "sizes on the server: {}".format(server))
    uidl = [u for _, _, u in server]
    case.settings(FilterType=1, CheckSize=1, FilterSize=5000)
    case.run_host(["menu " + MENU_ITEM, "print-file Account1\\uidl", "list Account1\\inbox.box"])
    case.check_exit()
    case.check(case.has_line(received_line(2, 1, 3)), "messages 1 and 2 retrieved, 3 skipped")
    # The plug-in's line first, then the host's own record of what it retrieved.
    case.check(case.uidl() == lines_of(uidl[2], uidl[0], uidl[1]),
               "uidl file: {!r}".format(case.uidl()))
    inbox = case.inbox()
    case.check(len(inbox) == 2 and b"Subject: one" in inbox[0] and b"Subject: two" in inbox[1],
               "inbox holds messages 1 and 2")
    case.check(len(case.server()) == 3, "message 3 (and the kept others) still on the server")
    # A plain receive afterwards does not fetch message 3.
    case.run_host(["receive"])
    case.check_exit()
    case.check(case.has_line(received_line(0, 3, 3)), "second receive fetches nothing")
    case.check(len(case.inbox()) == 2, "inbox unchanged by the second receive")


def dialog_case(case, action, retrieved, plugin_lines, host_lines):
    server = three_mails(case)
    uidl = [u for _, _, u in server]
    case.settings(FilterType=0)
    case.run_host(["dialog " + DIALOG + " " + action, "menu " + MENU_ITEM, "list Account1\\inbox.box"])
    case.check_exit()
    case.check(case.has_line('dialog "' + DIALOG + '"'), "the selection dialog was shown")
    case.check(case.has_line("list 3 items"), "three items listed")
    expected = lines_of(*[uidl[n - 1] for n in plugin_lines + host_lines])
    actual = case.uidl()
    case.check(actual == (expected if expected else None), "uidl file {!r}, expected {!r}".format(actual, expected))
    case.check(case.has_line(received_line(len(retrieved), 3 - len(retrieved), 3)),
               "{} retrieved".format(len(retrieved)))
    inbox = case.inbox()
    names = {1: b"Subject: one", 2: b"Subject: two", 3: b"Subject: three"}
    case.check(len(inbox) == len(retrieved) and all(names[n] in m for n, m in zip(retrieved, inbox)),
               "inbox holds messages {}".format(retrieved))


def case_dialog_tick_one(case):
    dialog_case(case, "tick 2 ok", [2], [1, 3], [2])


def case_dialog_ok_nothing(case):
    dialog_case(case, "ok", [], [1, 2, 3], [])


def case_dialog_cancel(case):
    dialog_case(case, "cancel", [1, 2, 3], [], [1, 2, 3])


def case_dialog_all_ticked(case):
    dialog_case(case, "tick 1,2,3 ok", [1, 2, 3], [], [1, 2, 3])


def case_delete_on_server(case):
    server = three_mails(case)
    uidl = [u for _, _, u in server]
    case.settings(FilterType=0, Delete=1)
    case.run_host(["dialog " + DIALOG + " tick 1,2 ok", "menu " + MENU_ITEM])
    case.check_exit()
    case.check(case.has_line_starting('message 1 uidl "{}" -> '.format(uidl[0])), "message 1 retrieved")
    case.check(b"filter 1, deleted on server" in case.report, "the plug-in asked for deletion")
    left = case.server()
    case.check([u for _, _, u in left] == [uidl[2]], "only the set-aside message stays: {}".format(left))
    # Without a selective receive before, the plug-in never asks for deletion.
    more = case.add_mails([make_mail(4, 3000, "Subject: four")])
    case.run_host(["receive"])
    case.check_exit()
    case.check(b"filter 0, kept on server" in case.report, "VbxRecFilter answers 0 after a plain receive")
    case.check(b"filter 1" not in case.report, "no deletion asked")
    case.check(len(case.server()) == len(more), "nothing deleted by the plain receive")


def quiet_case(case, settings, script_extra=(), ras_dial=None):
    three_mails(case)
    case.settings(**settings)
    case.run_host(list(script_extra) + ["menu " + MENU_ITEM], ras_dial=ras_dial)
    case.check_exit()
    case.check(not case.has_line_starting("receive:"), "no retrieval")
    case.check(case.uidl() is None, "uidl not written")
    case.check(len(case.inbox()) == 0, "nothing received")
    case.check(len(case.server()) == 3, "server untouched")


def box_checks(case, text):
    case.check(case.has_line('box "' + CAPTION + '"'), "a Kirvan box was shown")
    case.check(case.has_line('text "' + escaped(text) + '"'), "box text, byte for byte")
    case.check(case.has_line("pressed ok"), "box answered with OK")


def case_no_filter(case):
    quiet_case(case, {"DoFilter": 0})
    case.check(not case.has_line_starting("box "), "nothing shown")
    case.check(not case.has_line_starting("dialog "), "no dialog")


def case_keep_on_server_box(case):
    quiet_case(case, {"NotDelete": 0}, ["box " + CAPTION + " ok"])
    box_checks(case, KEEP_ON_SERVER_TEXT)


def case_no_dialup_entry(case):
    quiet_case(case, {"UseRAS": 1, "RASProvider": ""}, ["box " + CAPTION + " ok"])
    box_checks(case, NO_ENTRY_TEXT)
    case.check(case.ras_calls() == [], "nothing dialled")


def case_dial_fails(case):
    quiet_case(case, {"UseRAS": 1, "RASProvider": "Office"}, ["box " + CAPTION + " ok"], ras_dial=691)
    box_checks(case, DIAL_FAILED_TEXT)
    case.check(case.ras_calls() == ["dial Office -> 691"], "one dial: {}".format(case.ras_calls()))


def case_login_refused_after_dial(case):
    three_mails(case)
    case.settings(UseRAS=1, RASProvider="Office")
    case.write_ini("Kirvan.ini", [("Server", [("pass", "wrong")]), ("Property", [("DoFilter", 1)])])
    case.run_host(["menu " + MENU_ITEM, "echo after"])
    case.check_exit()
    calls = case.ras_calls()
    case.check(calls == ["dial Office -> 0", "hangup 0x5150"], "dialled and hung up at once: {}".format(calls))
    case.check(not case.has_line_starting("receive:"), "no retrieval")
    case.check(not case.has_line_starting("box "), "nothing shown")
    case.check(len(case.server()) == 3, "server untouched")


def case_server_unreachable(case):
    three_mails(case)
    # A port nothing listens on: the server's own port + 1 is not ours to assume,
    # so take a port the system hands out and release it.
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    case.settings(port=port, UseRAS=1, RASProvider="Office")
    case.run_host(["menu " + MENU_ITEM])
    case.check_exit()
    case.check(not case.has_line_starting("receive:"), "no retrieval")
    case.check(not case.has_line_starting("box "), "nothing shown")
    case.check(case.ras_calls() == ["dial Office -> 0", "hangup 0x5150"], "line dropped: {}".format(case.ras_calls()))


def case_japanese_subjects(case):
    case.add_mails([
        make_mail(1, 1500, "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsJE4lRiU5JUgbKEI=?="),
        make_mail(2, 12345, "Subject: plain ascii subject"),
        make_mail(3, 800, None),
        make_mail(4, 900, "Subject: =?iso-2022-jp?b?GyRCJUElJyVDJS8bKEI=?= and more"),
    ])
    case.settings(FilterType=0)
    shot = os.path.join(case.args.work, "selection-dialog.bmp")
    if os.path.exists(shot):
        os.remove(shot)
    case.run_host(["dialog " + DIALOG + " tick 2 shot " + windows_path(shot) + " cancel", "menu " + MENU_ITEM])
    case.check_exit()
    items = [
        (sjis("日本語のテスト"), b"1500"),
        (b"plain ascii subject", b"12345"),
        (b"No Subject", b"800"),
        (sjis("チェック") + b" and more", b"900"),
    ]
    for n, (subject, size) in enumerate(items, 1):
        # As listed when the dialog opened, before the tick.
        line = b'item ' + str(n).encode() + b' "' + subject + b'" "' + size + b'" unticked'
        case.check(case.has_line(line), "item {} as {!r}".format(n, line))
    case.check(os.path.exists(shot), "picture saved")
    if os.path.exists(shot) and shutil.which("convert"):
        subprocess.run(["convert", shot, os.path.join(case.args.work, "selection-dialog.png")], check=False)


def case_uidl_without_final_lf(case):
    server = three_mails(case)
    uidl = [u for _, _, u in server]
    # Message 1 was received before; the host's file lacks its final line break.
    case.write_uidl(uidl[0].encode("ascii"))
    case.settings(FilterType=1, CheckSize=1, FilterSize=5000)
    case.run_host(["menu " + MENU_ITEM])
    case.check_exit()
    case.check(case.uidl() == lines_of(uidl[0], uidl[2], uidl[1]),
               "old line kept whole, new line on its own: {!r}".format(case.uidl()))
    case.check(case.has_line(received_line(1, 2, 3)), "message 1 and 3 skipped, 2 retrieved")
    inbox = case.inbox()
    case.check(len(inbox) == 1 and b"Subject: two" in inbox[0], "only message 2 received")


# ---- many messages ----------------------------------------------------------------

TESUTO = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?="  # テスト


def numbered_mails(count):
    """count mails of varied sizes, Japanese and ASCII subjects alternately.

    Returns the mails and, per message, the subject and size the dialog shows."""
    mails = []
    shown = []
    for n in range(1, count + 1):
        size = 700 + (n * 7919) % 9000
        if n % 2:
            mails.append(make_mail(n, size, "Subject: {} {}".format(TESUTO, n)))
            shown.append((sjis("テスト {}".format(n)), size))
        else:
            mails.append(make_mail(n, size, "Subject: list mail number {}".format(n)))
            shown.append(("list mail number {}".format(n).encode("ascii"), size))
    return mails, shown


def item_line(n, subject, size):
    return b'item ' + str(n).encode() + b' "' + subject + b'" "' + str(size).encode() + b'" unticked'


def scan_and_tick(case, ticked, port=None):
    """A dialog run that ticks the given messages; returns the item lines and the uidl file."""
    case.reset_account()
    case.settings(FilterType=0, port=port)
    # A slow scan may show a window of its own before the dialog (its progress):
    # the host must not close it as unexpected while the scan runs.
    case.run_host(["dialog " + DIALOG + " tick " + ",".join(str(n) for n in ticked) + " ok",
                   "menu " + MENU_ITEM], unexpected_ms=60000)
    case.check_exit()
    return case.lines_starting("item "), case.uidl()


LARGE_MAILBOX = 1200


def case_large_mailbox(case):
    mails, shown = numbered_mails(LARGE_MAILBOX)
    server = case.add_mails(mails)
    case.check(len(server) == LARGE_MAILBOX, "{} messages on the server".format(len(server)))
    case.check([s for _, s, _ in server] == [size for _, size in shown], "sizes on the server as made")
    uidl = [u for _, _, u in server]
    ticked = [1, LARGE_MAILBOX // 2, LARGE_MAILBOX]
    items, written = scan_and_tick(case, ticked)
    case.check(case.has_line("list {} items".format(LARGE_MAILBOX)), "all messages listed")
    expected_items = [item_line(n, subject, size) for n, (subject, size) in enumerate(shown, 1)]
    wrong = [n for n, line in enumerate(expected_items, 1) if n > len(items) or items[n - 1] != line]
    case.check(not wrong, "{} items differ from the server's, first: {}".format(
        len(wrong), items[wrong[0] - 1] if wrong and wrong[0] <= len(items) else wrong[:1]))
    left = [uidl[n - 1] for n in range(1, LARGE_MAILBOX + 1) if n not in ticked]
    expected = lines_of(*(left + [uidl[n - 1] for n in ticked]))
    case.check(written == expected, "uidl file: {} lines, expected {} (the unticked, then the host's)".format(
        written.count(b"\n") if written else 0, expected.count(b"\n")))
    case.check(case.has_line(received_line(len(ticked), LARGE_MAILBOX - len(ticked), LARGE_MAILBOX)),
               "only the ticked messages retrieved")
    inbox = case.inbox()
    case.check(len(inbox) == len(ticked) and
               all("<m{}@example.jp>".format(n).encode() in mail for n, mail in zip(ticked, inbox)),
               "inbox holds messages {}".format(ticked))


# ---- the same scan, pipelined and serial ---------------------------------------------

RELAY_MESSAGES = 120
RELAY_DELAY_MS = 15


class Relay:
    """tools/pop3relay.py in front of the case's server, for as long as the with-block runs."""

    def __init__(self, case, name, no_pipelining, delay_ms=RELAY_DELAY_MS):
        self.log = os.path.join(case.dir, name + ".log")
        port_file = os.path.join(case.dir, name + ".port")
        command = [sys.executable, RELAY, "--target-port", str(case.port), "--delay-ms", str(delay_ms),
                   "--log", self.log, "--port-file", port_file]
        if no_pipelining:
            command.append("--no-pipelining")
        # A daemon keeps the caller's pipes open unless all three streams are redirected.
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(port_file):
                break
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read())

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        time.sleep(0.2)  # the relay logs a connection's end one delay after it closed
        self.process.terminate()
        self.process.wait(timeout=10)

    def sessions(self):
        """Per connection: the commands (lower-case verbs) and the end line's figures."""
        sessions = {}
        with open(self.log, encoding="utf-8") as f:
            for line in f:
                words = line.split()
                if len(words) < 3 or words[1] == "0":
                    continue
                session = sessions.setdefault(words[1], {"verbs": [], "end": None})
                if words[2] == "C>" and len(words) > 3:
                    session["verbs"].append(words[3].lower())
                elif words[2] == "end":
                    session["end"] = dict(word.split("=") for word in words[3:])
        return sessions

    def first_session(self):
        """The first connection: the plug-in's, which ends before the host's retrieval connects."""
        sessions = self.sessions()
        return sessions[min(sessions, key=int)] if sessions else None

    def scan_session(self):
        """The plug-in's session: the one that asked for headers (the CAPA probe asks none)."""
        for session in self.sessions().values():
            if "top" in session["verbs"]:
                return session
        return None


def capabilities_after_login(port):
    """The CAPA lines a client sees after logging in at port; None when CAPA is refused."""
    import socket
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        replies = s.makefile("rb")

        def reply(command, multi=False):
            if command:
                s.sendall(command.encode("ascii") + b"\r\n")
            lines = [replies.readline().rstrip(b"\r\n")]
            while multi and lines[0].startswith(b"+OK") and lines[-1] != b".":
                lines.append(replies.readline().rstrip(b"\r\n"))
            return lines

        reply(None)
        reply("USER " + USER)
        reply("PASS " + PASSWORD)
        capa = reply("CAPA", multi=True)
        reply("QUIT")
    return [line.decode("ascii").upper() for line in capa[1:-1]] if capa[0].startswith(b"+OK") else None


def case_relay_pipelined_serial(case):
    mails, shown = numbered_mails(RELAY_MESSAGES)
    server = case.add_mails(mails)
    uidl = [u for _, _, u in server]
    ticked = [1, RELAY_MESSAGES // 2, RELAY_MESSAGES]
    runs = {}
    for name, no_pipelining in (("pipelined", False), ("serial", True)):
        with Relay(case, name, no_pipelining) as relay:
            # The premise of the run: what the client is told about PIPELINING.
            capa = capabilities_after_login(relay.port) or []
            case.check(("PIPELINING" in capa) != no_pipelining,
                       "{} run: CAPA through the relay is {}".format(name, capa))
            started = time.monotonic()
            items, written = scan_and_tick(case, ticked, port=relay.port)
            runs[name] = (items, written, time.monotonic() - started, relay.scan_session())
    (p_items, p_uidl, p_time, p_session), (s_items, s_uidl, s_time, s_session) = runs["pipelined"], runs["serial"]
    expected_items = [item_line(n, subject, size) for n, (subject, size) in enumerate(shown, 1)]
    case.check(p_items == expected_items, "pipelined run: {} items, not the server's list".format(len(p_items)))
    case.check(s_items == p_items, "serial run lists otherwise than the pipelined run")
    left = [uidl[n - 1] for n in range(1, RELAY_MESSAGES + 1) if n not in ticked]
    expected = lines_of(*(left + [uidl[n - 1] for n in ticked]))
    case.check(p_uidl == expected, "pipelined run: uidl file {!r}...".format((p_uidl or b"")[:80]))
    case.check(s_uidl == p_uidl, "serial run wrote another uidl file than the pipelined run")
    case.check(p_session is not None and s_session is not None and p_session["end"] and s_session["end"],
               "the relays saw both scans to their end")
    if p_session and s_session and p_session["end"] and s_session["end"]:
        p_end, s_end = p_session["end"], s_session["end"]
        print("pipelined run: {:.1f} s, relay: {}".format(p_time, " ".join("=".join(i) for i in p_end.items())))
        print("serial run:    {:.1f} s, relay: {}".format(s_time, " ".join("=".join(i) for i in s_end.items())))
        # Without PIPELINING in CAPA the client must wait for every reply.
        case.check(s_end["max_in_flight"] == "1", "serial run pipelined: {}".format(s_end))
        if PLUGIN_PIPELINES:
            case.check(p_end["capa"] == "1" and s_end["capa"] == "1", "CAPA asked on both runs")
            case.check(int(p_end["pipelined"]) > 0, "pipelined run kept commands in flight: {}".format(p_end))


# ---- three commands that remember -----------------------------------------------------

RECORD = "PikunoSetAside.txt"
# The host's own lines, which every rewrite must keep byte for byte: CR LF
# lines and a last line without its end.
HOST_LINES = b"HOST-1\r\nHOST-2\r\nHOST-3"


def remembered_run(case, script_dialog, label):
    """One selective receive through a relay that logs the plug-in's commands."""
    with Relay(case, label, no_pipelining=False, delay_ms=0) as relay:
        case.settings(FilterType=0, port=relay.port)
        case.run_host(["dialog " + DIALOG + " " + script_dialog, "menu " + MENU_ITEM, "list Account1\\inbox.box"],
                      unexpected_ms=60000)
    case.check_exit()
    session = relay.first_session() or {"verbs": []}
    tops = session["verbs"].count("top")
    return tops, case.lines_starting("item ")


def item_subjects(items):
    return [line.split(b'"')[1] for line in items if line.count(b'"') >= 2]


def case_remember_over_three_commands(case):
    names = {1: b"Subject: one", 2: b"Subject: two", 3: b"Subject: three", 4: b"Subject: four"}
    server = three_mails(case)
    uidl = [u.encode("ascii") for _, _, u in server]
    case.write_uidl(HOST_LINES)

    # 1: message 3 ticked; 1 and 2 set aside.
    tops, items = remembered_run(case, "tick 3 ok", "first")
    case.check(tops == 3, "first command: a header for every new message ({} TOPs)".format(tops))
    case.check(case.uidl() == HOST_LINES + b"\n" + uidl[0] + b"\n" + uidl[1] + b"\n" + uidl[2] + b"\n",
               "first command: uidl file {!r}".format(case.uidl()))
    case.check(os.path.exists(os.path.join(case.account, RECORD)), "the record was written")
    case.check(len(case.inbox()) == 1 and names[3] in case.inbox()[0], "message 3 received")

    # 2: a new message 4; 1 and 2 listed from the record, 1 ticked.
    uidl.append(case.add_mails([make_mail(4, 3000, "Subject: four")])[-1][2].encode("ascii"))
    tops, items = remembered_run(case, "tick 1 ok", "second")
    case.check(tops == 1, "second command: a header only for the new message ({} TOPs)".format(tops))
    subjects = item_subjects(items)
    case.check(subjects == [b"one", b"two", b"four"],
               "second command: set-aside and new messages listed, the received one not: {}".format(subjects))
    # Message 1's line goes with its own line end; 4 is set aside; the host then
    # adds 1 as it receives it.
    case.check(case.uidl() == HOST_LINES + b"\n" + uidl[1] + b"\n" + uidl[2] + b"\n" + uidl[3] + b"\n" +
               uidl[0] + b"\n", "second command: uidl file {!r}".format(case.uidl()))
    inbox = case.inbox()
    case.check(len(inbox) == 2 and names[1] in inbox[1], "message 1 received by the host once ticked")
    case.check(case.has_line(received_line(1, 3, 4)), "second command: one retrieved, three skipped")

    # 3: nothing new; 2 and 4 listed from the record without a single TOP.
    before = case.uidl()
    tops, items = remembered_run(case, "ok", "third")
    case.check(tops == 0, "third command: no header read ({} TOPs)".format(tops))
    subjects = item_subjects(items)
    case.check(subjects == [b"two", b"four"],
               "third command: the set-aside ones listed from the record, the received ones not: {}".format(subjects))
    case.check(case.uidl() == before, "third command: uidl file unchanged, nothing appended twice")
    case.check(len(case.inbox()) == 2, "third command: nothing more received")
    case.check(case.uidl().startswith(HOST_LINES + b"\n"), "the host's lines kept byte for byte")


CASES = {name[len("case_"):]: function for name, function in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--bin", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--server", "--dovecot", dest="server", required=True,
                        help="the folder of the running server, as its harness knows it")
    parser.add_argument("--harness", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    case = Case(args, args.case)
    CASES[args.case](case)
    return case.finish()


if __name__ == "__main__":
    sys.exit(main())
