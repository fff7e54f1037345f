#!/usr/bin/env python3
"""Writes the seed corpora under tests/fuzz/corpus/ from the owners' tests: the
string literals of the test sources named below (the first literal of each table
row, or every literal that looks like a target's input), plus a few mails built
like the digest walk tests build theirs. Run it again when those tests change;
the output is committed."""
import hashlib
import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CORPUS = os.path.join(ROOT, "tests", "fuzz", "corpus")

LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
ADJACENT = re.compile(r'"(?:[^"\\\n]|\\.)*"(?:\s*"(?:[^"\\\n]|\\.)*")*')


def unescape(body):
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out += c.encode("utf-8") if ord(c) < 128 else c.encode("cp932")
            i += 1
            continue
        n = body[i + 1]
        if n == "x":
            m = re.match(r"[0-9a-fA-F]+", body[i + 2:])
            out.append(int(m.group(0), 16) & 0xFF)
            i += 2 + len(m.group(0))
        elif n in "01234567":
            m = re.match(r"[0-7]{1,3}", body[i + 1:])
            out.append(int(m.group(0), 8) & 0xFF)
            i += 1 + len(m.group(0))
        else:
            out += {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\", '"': b'"', "'": b"'", "?": b"?"}[n]
            i += 2
    return bytes(out)


def literals(path):
    """Every run of adjacent narrow string literals in the file, concatenated
    (UTF-16 literals, u"...", are expected texts, not inputs)."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"//[^\n]*", "", text)
    return [b"".join(unescape(m.group(1)) for m in LITERAL.finditer(run.group(0)))
            for run in ADJACENT.finditer(text) if text[run.start() - 1:run.start()] != "u"]


def write(target, inputs):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        os.remove(os.path.join(folder, old))
    seen = set()
    for data in inputs:
        if data in seen:
            continue
        seen.add(data)
        name = hashlib.sha1(data).hexdigest()[:16]
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    print(target, len(seen))


def main():
    tests = os.path.join(ROOT, "tests")
    header = literals(os.path.join(tests, "selective", "HeaderDecodeSubjects.inc"))
    header += [s for s in literals(os.path.join(tests, "selective", "HeaderDecodeTest.cpp"))
               if b"=?" in s or b"\x1b" in s]
    header += [s for s in literals(os.path.join(tests, "selective", "HeaderTextCases.inc"))
               if b":" in s and b"\r\n" in s]
    write("header_decode", header)

    replies = [s for s in literals(os.path.join(tests, "selective", "Pop3ReplyTest.cpp"))
               if s.startswith((b"+OK", b"-ERR"))]
    write("pop3_reply", replies)

    subject_test = os.path.join(tests, "selective", "SubjectExtractTest.cpp")
    if os.path.exists(subject_test):
        write("subject_extract", [s for s in literals(subject_test) if s.startswith(b"+OK")] + header)

    paths = [s for s in literals(os.path.join(tests, "digest", "MimeTextTest.cpp")) if b"\\" in s]
    write("paths_text", paths)

    a = b"From: a@example.com\nSubject: A\n\nbody a\n"
    b = b"From: b@example.com\r\nSubject: B\r\n\r\nbody b\r\n"
    rfc = b"Content-Type: message/rfc822\n\n"
    digest = b"From: list@example.com\nContent-Type: multipart/digest; boundary=\"XX\"\n\n"
    mixed = b"From: list@example.com\nContent-Type: multipart/mixed; boundary=\"XX\"\n\n"
    folded = b"Content-Type: multipart/digest;\n boundary=\"XX\"\n\n"
    mails = [
        digest + b"preamble\n--XX\n" + rfc + a + b"\n--XX\n" + rfc + b + b"\n--XX--\nepilogue\n",
        mixed + b"--XX\nContent-Type: text/plain\n\ntext\n--XX\n" + rfc + a + b"--XX--\n",
        mixed.replace(b"XX", b"***kiritorisen***") + b"--***kiritorisen***\n" + rfc + a,
        folded + b"--xx   trailing\n" + b"content-type: Message/RFC822\n\n" + a,
        digest + b"--XX\n\n" + a + b"--XX--\n",
        digest + b"--XX\n" + rfc + a,
        b"Content-Type: multipart/digest; boundary=plain\r\n\r\n--plain\r\n" + rfc.replace(b"\n", b"\r\n") + b,
        b"Content-Type: multipart/mixed; charset=\"x\"; boundary=\"XX\"\n\n--x\n" + rfc + a,
        b"Subject: no type\n\n--XX\n" + rfc + a,
    ]
    mails += [s for s in literals(os.path.join(tests, "digest", "LineReaderTest.cpp")) if b"\n" in s]
    write("digest_walk", mails)
    return 0


if __name__ == "__main__":
    sys.exit(main())
