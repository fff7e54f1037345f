#!/usr/bin/env python3
"""Digest splitting end to end, through the stand-in host Quenla.exe and Pikuno.dll:

  - digests received from a real POP3 server (Dovecot, tools/dovecot.sh) are split
    at the end of the host's retrieval with Divide 1, and left alone with Divide 0;
  - the folder command on selected digests imports their messages into the same
    account's inbox and then moves the digest to the trash, deletes it (after Yes
    to "Delete OK?"), or keeps it.

The imported messages must equal the enclosed messages that Python's parser sees
(tests/digest/data, written by make_digests.py), once line ends are made alike.

  digest_e2e.py <build directory (x86_64)> [commands | retrieval]

Without a second word both groups run. The retrieval cases need root and Dovecot;
without them that group exits with 77 (skipped).
"""

import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
DATA = os.path.join(ROOT, "tests", "digest", "data", "python")
DOVECOT = os.path.join(ROOT, "tools", "dovecot.sh")
COMMAND_TEXT = "ダイジェストメール分割"

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def lf_only(data):
    return data.replace(b"\r\n", b"\n")


def crlf(data):
    return lf_only(data).replace(b"\n", b"\r\n")


def sample(name):
    with open(os.path.join(DATA, name + ".qnl"), "rb") as f:
        digest = f.read()
    parts = []
    n = 1
    while os.path.exists(os.path.join(DATA, "%s.%d.eml" % (name, n))):
        with open(os.path.join(DATA, "%s.%d.eml" % (name, n)), "rb") as f:
            parts.append(f.read())
        n += 1
    return digest, parts


PLAIN_MAIL = b"From: friend@example.com\nTo: pikuno@example.jp\nSubject: not a digest\n\nHello.\n"


class Mailbox:
    def __init__(self, work, name, digest_settings, account_ini=None):
        self.dir = os.path.join(work, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(os.path.join(self.dir, "Account1", "inbox.box"))
        os.makedirs(os.path.join(self.dir, "Account1", "trash.box"))
        lines = ["[Digest]"] + ["%s=%s" % item for item in digest_settings.items()]
        self.write("Pikuno.ini", ("\r\n".join(lines) + "\r\n").encode("ascii"))
        ini = {"Title": "Test account", "Account": "pikuno"}
        ini.update(account_ini or {})
        lines = ["[Property]"] + ["%s=%s" % item for item in ini.items()]
        self.write("Account1/Account.ini", ("\r\n".join(lines) + "\r\n").encode("ascii"))

    def write(self, relative, data):
        with open(os.path.join(self.dir, relative), "wb") as f:
            f.write(data)

    def folder(self, folder):
        """[(name, mark, unread, bytes)] in the host's index order."""
        base = os.path.join(self.dir, "Account1", folder)
        index = os.path.join(base, "folder.idx")
        entries = []
        listed = set()
        if os.path.exists(index):
            with open(index, "rb") as f:
                for line in f.read().decode("ascii").splitlines():
                    name, mark, unread = line.split("\t")
                    path = os.path.join(base, name + ".qnl")
                    if os.path.exists(path):
                        with open(path, "rb") as m:
                            entries.append((name, int(mark), int(unread), m.read()))
                        listed.add(name)
        for file in sorted(os.listdir(base)):
            if file.endswith(".qnl") and file[:-4] not in listed:
                with open(os.path.join(base, file), "rb") as m:
                    entries.append((file[:-4], 0, 0, m.read()))
        return entries


def run_host(build, mailbox, script_lines):
    script = os.path.join(mailbox.dir, "..", os.path.basename(mailbox.dir) + ".script")
    with open(script, "w", encoding="utf-8") as f:
        f.write("\n".join(script_lines) + "\n")
    out = os.path.join(mailbox.dir, "..", os.path.basename(mailbox.dir) + ".out")
    result = subprocess.run(
        [os.path.join(build, "wine-run.sh"), os.path.join(build, "bin", "Quenla.exe"),
         "--mailbox", windows_path(mailbox.dir), "--script", windows_path(script), "--out", windows_path(out),
         "--utf8", "--unexpected-ms", "5000", "--hide"],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180)
    report = ""
    if os.path.exists(out):
        with open(out, "rb") as f:
            report = f.read().decode("utf-8", "replace")
    return result.returncode, report


def check_imports(label, entries, parts, mark, unread):
    check(len(entries) == len(parts), "%s: %d messages imported (found %d)" % (label, len(parts), len(entries)))
    for i, (entry, part) in enumerate(zip(entries, parts)):
        name, got_mark, got_unread, data = entry
        check(lf_only(data) == lf_only(part) + b"\n", "%s: message %d equals Python's part" % (label, i + 1))
        check(b"\n" not in data.replace(b"\r\n", b""), "%s: message %d has CR LF line ends" % (label, i + 1))
        check((got_mark, got_unread) == (mark, unread),
              "%s: message %d mark %d unread %d (found %d %d)" % (label, i + 1, mark, unread, got_mark, got_unread))


def retrieval_cases(build, work):
    pop = os.path.join(work, "pop")
    shutil.rmtree(pop, ignore_errors=True)
    digest, parts = sample("digest_three")
    spool = os.path.join(work, "spool")
    os.makedirs(spool, exist_ok=True)
    with open(os.path.join(spool, "1-digest.eml"), "wb") as f:
        f.write(lf_only(digest))
    with open(os.path.join(spool, "2-plain.eml"), "wb") as f:
        f.write(PLAIN_MAIL)
    subprocess.run([DOVECOT, "adduser", pop, "pikuno", "secret"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([DOVECOT, "addmail", pop, "pikuno", os.path.join(spool, "1-digest.eml"),
                    os.path.join(spool, "2-plain.eml")], check=True, stdout=subprocess.DEVNULL)
    port = subprocess.run([DOVECOT, "start", pop], check=True, stdout=subprocess.PIPE,
                          stdin=subprocess.DEVNULL).stdout.decode().strip()
    try:
        account = {"POP3Server": "127.0.0.1", "POP3Port": port, "Password": "secret", "NotDelete": "1"}
        for divide in (1, 0):
            label = "retrieval with Divide %d" % divide
            mailbox = Mailbox(work, "retrieve%d" % divide,
                              {"Divide": divide, "MultipartMixed": 1, "MultipartDigest": 1, "DelType": 0,
                               "Mark": 2, "Midoku": 1, "AskDelete": 1}, account)
            status, report = run_host(build, mailbox, ["account Account1", "receive",
                                                        "list Account1\\inbox.box", "list Account1\\trash.box"])
            check(status == 0, "%s: host run succeeded (exit %d)" % (label, status))
            inbox = mailbox.folder("inbox.box")
            trash = mailbox.folder("trash.box")
            if divide:
                # Received: the digest, the plain mail; then the digest's messages.
                check(len(inbox) == 1 + len(parts), "%s: inbox holds the plain mail and the messages" % label)
                check(len(inbox) > 0 and lf_only(inbox[0][3]) == PLAIN_MAIL, "%s: the plain mail stays" % label)
                check_imports(label, inbox[1:], parts, 2, 1)
                check(len(trash) == 1 and lf_only(trash[0][3]) == lf_only(digest),
                      "%s: the digest is in the trash" % label)
            else:
                check(len(inbox) == 2 and lf_only(inbox[0][3]) == lf_only(digest) and lf_only(inbox[1][3]) == PLAIN_MAIL,
                      "%s: inbox holds the digest and the plain mail, unsplit" % label)
                check(len(trash) == 0, "%s: trash empty" % label)
            if failures:
                print(report)
    finally:
        subprocess.run([DOVECOT, "stop", pop], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


def command_cases(build, work):
    digest, parts = sample("digest_three")
    mixed, mixed_parts = sample("mixed_text_and_messages")
    cases = [
        # label, settings, script lines before the command, answer, expected inbox, trash
        ("command, move to the trash", {"DelType": 0}, [], "keep-none", "trash"),
        ("command, delete after Yes", {"DelType": 1, "AskDelete": 1}, ["box deletemail yes"], "gone", "none"),
        ("command, No keeps the digest", {"DelType": 1, "AskDelete": 1}, ["box deletemail no"], "kept", "none"),
        ("command, delete without asking", {"DelType": 1, "AskDelete": 0}, [], "gone", "none"),
        ("command, keep", {"DelType": 2}, [], "kept", "none"),
    ]
    for n, (label, settings, arm, source, trash_expect) in enumerate(cases):
        values = {"Divide": 1, "MultipartMixed": 1, "MultipartDigest": 1, "DelType": 0, "Mark": 0, "Midoku": 1,
                  "AskDelete": 1}
        values.update(settings)
        mailbox = Mailbox(work, "command%d" % n, values)
        mailbox.write("Account1/inbox.box/00000001.qnl", crlf(digest))
        status, report = run_host(build, mailbox, ["account Account1", "select #1"] + arm +
                                  ["folder-menu " + COMMAND_TEXT, "list Account1\\inbox.box",
                                   "list Account1\\trash.box"])
        check(status == 0, "%s: host run succeeded (exit %d)" % (label, status))
        inbox = mailbox.folder("inbox.box")
        trash = mailbox.folder("trash.box")
        kept = source == "kept"
        imported = inbox[1:] if kept else inbox
        if kept:
            check(len(inbox) > 0 and inbox[0][0] == "00000001" and inbox[0][3] == crlf(digest),
                  "%s: the digest stays in the inbox" % label)
        else:
            check(all(entry[0] != "00000001" for entry in inbox), "%s: the digest left the inbox" % label)
        check_imports(label, imported, parts, 0, 1)
        if trash_expect == "trash":
            check(len(trash) == 1 and trash[0][3] == crlf(digest), "%s: the digest is in the trash" % label)
        else:
            check(len(trash) == 0, "%s: nothing in the trash" % label)
        if "box deletemail" in " ".join(arm):
            check("Delete OK?" in report, "%s: the box asked \"Delete OK?\"" % label)
        else:
            check("deletemail" not in report, "%s: no box" % label)
        if failures:
            print(report)

    # Two selected mails: both are split.
    mailbox = Mailbox(work, "command-two", {"Divide": 1, "DelType": 0, "Midoku": 0, "Mark": 5})
    mailbox.write("Account1/inbox.box/00000001.qnl", crlf(digest))
    mailbox.write("Account1/inbox.box/00000002.qnl", crlf(mixed))
    status, report = run_host(build, mailbox, ["account Account1", "select #1 #2", "folder-menu " + COMMAND_TEXT])
    check(status == 0, "command on two selected mails: host run succeeded")
    inbox = mailbox.folder("inbox.box")
    check_imports("command on two selected mails", inbox, parts + mixed_parts, 5, 0)
    check(len(mailbox.folder("trash.box")) == 2, "command on two selected mails: both in the trash")

    # Divide 0: the command changes nothing.
    mailbox = Mailbox(work, "command-off", {"Divide": 0})
    mailbox.write("Account1/inbox.box/00000001.qnl", crlf(digest))
    status, report = run_host(build, mailbox, ["account Account1", "select #1", "folder-menu " + COMMAND_TEXT])
    check(status == 0, "command with Divide 0: host run succeeded")
    inbox = mailbox.folder("inbox.box")
    check(len(inbox) == 1 and inbox[0][3] == crlf(digest), "command with Divide 0: inbox unchanged")
    check(len(mailbox.folder("trash.box")) == 0, "command with Divide 0: trash empty")


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    group = sys.argv[2] if len(sys.argv) > 2 else "all"
    work = os.path.join(build, "digest-e2e")
    os.makedirs(work, exist_ok=True)
    if group in ("all", "commands"):
        command_cases(build, work)
    if group in ("all", "retrieval"):
        if os.geteuid() != 0 or not shutil.which("dovecot", path=os.environ.get("PATH", "") + ":/usr/sbin"):
            print("skipped: the retrieval cases need root and Dovecot (package dovecot-pop3d)")
            return 77
        retrieval_cases(build, work)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
