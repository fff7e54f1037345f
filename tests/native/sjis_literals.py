#!/usr/bin/env python3
"""Copies a UTF-8 C++ source with every run of non-ASCII characters written as
Shift_JIS hex escapes, so that clang (which has no -fexec-charset=CP932) gets the
same narrow literals as the MinGW build.

A run is replaced by  " "\\x..\\x.." "  : the literal is closed before and after the
escapes, so a following hex digit is never taken into the last escape, and a
0x5C second byte stays a byte instead of starting an escape. In a comment the
inserted quotes are harmless.
"""
import re
import sys


def escape_run(match):
    data = match.group(0).encode("cp932")
    return '" "' + "".join("\\x%02x" % b for b in data) + '" "'


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"[^\x00-\x7f]+", escape_run, text)
    with open(target, "w", encoding="ascii") as f:
        f.write('#line 1 "%s"\n' % source)
        f.write(text)


if __name__ == "__main__":
    main()
