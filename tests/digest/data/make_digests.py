#!/usr/bin/env python3
"""Writes MIME digests the way mailing-list software builds them (Python's email
package) and, for each, the enclosed messages that Python's own parser finds.

Run from anywhere: python3 make_digests.py [stdlib email test data directory]
Output, beside this script, in python/:
  <name>.qnl         the digest as a host mail file
  <name>.<n>.eml     the n-th enclosed message (1-based) as Python's parser sees it
  manifest.txt       one line per digest: <name> <number of enclosed messages>

An enclosed message is a top-level part of a multipart/mixed or multipart/digest
mail whose own header declares Content-Type message/rfc822, as Python's parser
reports them. The expected text is that part's message as it stands in the digest
(LF line ends), checked to parse into the same message as Python's part: the line
end just before the next delimiter belongs to the delimiter in MIME, so the
splitter's copy has exactly one more line end than this text.
"""

import email
import email.policy
import os
import shutil
import sys
from email.generator import BytesGenerator
from email.message import Message
from email.mime.base import MIMEBase
from email.mime.message import MIMEMessage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
import io

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "python")
POLICY = email.policy.compat32


def flatten(msg, linesep="\n"):
    buffer = io.BytesIO()
    BytesGenerator(buffer, mangle_from_=False, maxheaderlen=0, policy=POLICY.clone(linesep=linesep)).flatten(msg)
    return buffer.getvalue()


def text_message(n, subject=None, body=None, charset="us-ascii"):
    msg = MIMEText(body or "Hello from message %d.\nSecond line.\n" % n, "plain", charset)
    msg["From"] = "Sender %d <sender%d@example.com>" % (n, n)
    msg["To"] = "list@example.org"
    msg["Subject"] = subject or "Message number %d" % n
    msg["Message-ID"] = "<%d.digest@example.com>" % n
    return msg


def digest_header(msg, subject):
    msg["From"] = "list-request@example.org"
    msg["To"] = "list@example.org"
    msg["Subject"] = subject
    msg["Date"] = "Tue, 08 Dec 2026 07:00:00 +0900"
    return msg


def simple_digest(count, start=1):
    outer = digest_header(MIMEMultipart("digest"), "List digest, Vol 1 #%d" % count)
    for n in range(start, start + count):
        outer.attach(MIMEMessage(text_message(n)))
    return outer


def generated():
    cases = {}
    cases["digest_three"] = flatten(simple_digest(3))
    cases["digest_three_crlf"] = flatten(simple_digest(3), "\r\n")
    cases["digest_fifty"] = flatten(simple_digest(50))

    mixed = digest_header(MIMEMultipart("mixed"), "Forwarded messages")
    mixed.attach(MIMEText("Two messages follow.\n"))
    mixed.attach(MIMEMessage(text_message(1)))
    mixed.attach(MIMEMessage(text_message(2)))
    mixed.attach(MIMEText("-- \nfooter\n"))
    cases["mixed_text_and_messages"] = flatten(mixed)

    jp = digest_header(MIMEMultipart("digest"), "Japanese digest")
    jp.attach(MIMEMessage(text_message(1, "日本語の件名", "こんにちは。\n二行目です。\n", "iso-2022-jp")))
    jp.attach(MIMEMessage(text_message(2, "Shift_JIS", "表示のソフト\n", "shift_jis")))
    raw8 = ("From: a@example.com\nSubject: eight bit\nContent-Type: text/plain; charset=Shift_JIS\n"
            "Content-Transfer-Encoding: 8bit\n\n").encode("ascii") + "表示ソフト\n本文\n".encode("cp932")
    jp.attach(MIMEMessage(email.message_from_bytes(raw8, policy=POLICY)))
    cases["digest_japanese"] = flatten(jp)

    nested = digest_header(MIMEMultipart("digest"), "Nested parts")
    inner = MIMEMultipart("alternative")
    inner["From"] = "html@example.com"
    inner["Subject"] = "Alternative"
    inner.attach(MIMEText("plain text\n"))
    inner.attach(MIMEText("<p>html</p>\n", "html"))
    nested.attach(MIMEMessage(inner))
    forwarded = MIMEMultipart("mixed")
    forwarded["Subject"] = "Forward inside a digest"
    forwarded.attach(MIMEText("see below\n"))
    forwarded.attach(MIMEMessage(text_message(7)))
    nested.attach(MIMEMessage(forwarded))
    nested.attach(MIMEMessage(text_message(3)))
    cases["digest_nested"] = flatten(nested)

    long_headers = digest_header(MIMEMultipart("digest"), "Long headers")
    m = text_message(1, "A subject that is long enough to be folded by any generator that folds " * 2)
    m["References"] = " ".join("<ref%d@example.com>" % i for i in range(12))
    long_headers.attach(MIMEMessage(m))
    sig = text_message(2, body="text\n--\n-- \n--not the boundary\n\nFrom the start of a line\n")
    long_headers.attach(MIMEMessage(sig))
    cases["digest_folded_and_dashes"] = flatten(long_headers)

    # Mailman's MIME digests: masthead and table of contents, then a nested
    # multipart/digest. The top level holds no message/rfc822 part.
    mailman = digest_header(MIMEMultipart("mixed"), "Mailman-style digest")
    mailman.attach(MIMEText("Send submissions to list@example.org\n"))
    mailman.attach(MIMEText("Today's Topics:\n\n   1. Message number 1\n"))
    digest = MIMEMultipart("digest")
    for n in (1, 2):
        digest.attach(MIMEMessage(text_message(n)))
    mailman.attach(digest)
    cases["mailman_nested_digest"] = flatten(mailman)

    # Unquoted boundary, as many mailers write it.
    unquoted = flatten(simple_digest(2)).replace(b'boundary="', b"boundary=", 1)
    boundary_end = unquoted.index(b"boundary=") + len(b"boundary=")
    quote = unquoted.index(b'"', boundary_end)
    cases["digest_unquoted_boundary"] = unquoted[:quote] + unquoted[quote + 1:]
    return cases


def enclosed_messages(raw):
    """The top-level parts declaring message/rfc822, flattened as Python sees them."""
    msg = email.message_from_bytes(raw, policy=POLICY)
    if msg.get_content_type() not in ("multipart/mixed", "multipart/digest") or not msg.is_multipart():
        return []
    found = []
    slices = raw_parts(raw, msg.get_boundary())
    for index, part in enumerate(msg.get_payload()):
        declared = part.get("Content-Type")
        if declared is None or part.get_content_type() != "message/rfc822":
            continue
        seen = flatten(part.get_payload(0))
        # The part's text as it stands in the digest, after the part's own header.
        # Python must parse it into the very message it saw; mostly its flattening
        # gives back that text itself, but not always (an empty multipart loses its
        # close delimiter), so the text from the digest is the one kept.
        piece = slices[index]
        text = piece.split(b"\n\n", 1)[1] if b"\n\n" in piece else b""
        if flatten(email.message_from_bytes(text, policy=POLICY)) != seen:
            raise SystemExit("part %d: Python parses another message" % (index + 1))
        found.append(text)
    return found


def lf_only(data):
    return data.replace(b"\r\n", b"\n")


def raw_parts(raw, boundary):
    """The text of each top-level part (LF line ends), without the line end that
    belongs to the delimiter after it."""
    lines = lf_only(raw).split(b"\n")
    delimiter = b"--" + boundary.encode("ascii")
    parts, current = [], None
    for line in lines:
        if line.startswith(delimiter):
            if current is not None:
                parts.append(b"\n".join(current))
            if line.startswith(delimiter + b"--"):
                current = None
                break
            current = []
        elif current is not None:
            current.append(line)
    if current is not None:
        parts.append(b"\n".join(current))
    return parts


def main():
    stdlib = sys.argv[1] if len(sys.argv) > 1 else None
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    cases = generated()
    if stdlib:
        # Python's own email test messages that are digests or carry enclosed messages.
        for name in ("msg_02.txt", "msg_05.txt", "msg_28.txt", "msg_30.txt", "msg_42.txt"):
            with open(os.path.join(stdlib, name), "rb") as f:
                cases["stdlib_" + name[:-4]] = f.read()
    with open(os.path.join(OUT, "manifest.txt"), "w") as manifest:
        for name in sorted(cases):
            raw = cases[name]
            with open(os.path.join(OUT, name + ".qnl"), "wb") as f:
                f.write(raw)
            parts = enclosed_messages(raw)
            for i, part in enumerate(parts, 1):
                with open(os.path.join(OUT, "%s.%d.eml" % (name, i)), "wb") as f:
                    f.write(part)
            manifest.write("%s %d\n" % (name, len(parts)))


if __name__ == "__main__":
    main()
