#!/usr/bin/env python3
"""Makes the release package from a built i686 tree and checks it as a user gets it.

    check_package.py --root SOURCE_TREE --dlls BUILD_BIN --work SCRATCH

Runs tools/package.sh --dlls BUILD_BIN --out SCRATCH/out (the DLLs already built, so
no second build), then checks: the archive's entries and their names as Japanese
Windows reads them, an unpacking by Info-ZIP's unzip against Python's, the two texts
in Shift_JIS with CR LF only, the licence, both DLLs as the 32-bit product with their
exports, every version string against the version resource and the version header,
and the checksum file. Every problem is listed with the case it belongs to.
"""

import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_file  # noqa: E402

README = "お読みください.txt"
ENTRIES = ["Pikuno.dll", "Plugins/", "Plugins/Pikunoset.dll", README, "CHANGES.txt", "LICENSE.txt"]
PIKUNO_EXPORTS = {"VbxGetPlugName": 1, "VbxVersionInfo": 2, "VbxStartUp": 3, "VbxCleanUp": 4,
                  "VbxSetup": 5, "VbxRecFilter": 6, "VbxFolderInitMenu": 102, "VbxFolderEndRetrieve": 104}
PIKUNOSET_EXPORTS = {"SetUp"}
JAPANESE = 0x0411
# What the readme must speak of, by the words it uses for them.
README_TOPICS = [
    ("the selective receive command", "選択受信"),
    ("the digest split command", "ダイジェストメール分割"),
    ("the system requirements", "動作環境"),
    ("the oldest Windows", "Windows XP SP3"),
    ("the host", "Quenla"),
    ("mail left on the server", "サーバーに残す"),
    ("installing", "インストール"),
    ("removing", "削除（アンインストール）"),
    ("the plug-in's place", "Pikuno.dll"),
    ("the settings library's place", "Plugins\\Pikunoset.dll"),
    ("the settings file of the mailbox", "Pikuno.ini"),
    ("the settings files of the accounts", "Kirvan.ini"),
    ("plain-text login", "平文"),
    ("known limitations", "既知の制限"),
    ("digest parts without a type of their own", "Content-Type が書かれていない"),
    ("digests inside a digest", "ダイジェストの中のダイジェスト"),
    ("the licence", "MIT License"),
    ("the copyright", "Copyright (C) 2026 The Pikuno developers"),
] + [("POP3 command " + c, c) for c in
     ("USER", "PASS", "user ", "pass ", "capa", "list", "uidl", "uidl 番号", "top 番号 0", "quit", "PIPELINING",
      "stls")] + [
    ("TLS 1.2", "TLS 1.2"),
    ("the Windows versions that reach no TLS 1.2 server", "Windows XP、Vista"),
    ("services that need OAuth", "OAuth"),
    ("app passwords", "アプリ パスワード"),
    ("the certificate check", "サーバーの証明書"),
]

problems = []


def problem(case, text):
    problems.append("%s: %s" % (case, text))


def expect_equal(case, actual, expected):
    if actual != expected:
        problem(case, "%r, expected %r" % (actual, expected))


def header_version(root):
    text = open(os.path.join(root, "common", "PikunoVersion.h"), encoding="utf-8").read()
    numbers = []
    for part in ("MAJOR", "MINOR", "RELEASE", "BUILD"):
        found = re.findall(r"^#define PIKUNO_VERSION_%s (\d+)\s*$" % part, text, re.M)
        if len(found) != 1:
            raise SystemExit("PikunoVersion.h: PIKUNO_VERSION_%s defined %d times" % (part, len(found)))
        numbers.append(int(found[0]))
    return tuple(numbers)


def settings_labels(root):
    """Texts of the settings pages' labelled controls, without access keys."""
    script = open(os.path.join(root, "settings", "resources", "Pikunoset.rc"), encoding="utf-8").read()
    labels = []
    for kind, text in re.findall(r'^\s*(AUTOCHECKBOX|AUTORADIOBUTTON|GROUPBOX|CAPTION)\s+"([^"]+)"', script, re.M):
        label = re.sub(r"\(&.\)", "", text).strip()
        if label:
            labels.append((kind, label))
    return labels


def check_entries(archive_path):
    """The entries, their stored names and the Unicode Path fields; returns the infos."""
    with zipfile.ZipFile(archive_path) as archive:
        infos = archive.infolist()
        bad = archive.testzip()
        if bad:
            problem("zip", "CRC error in %r" % bad)
    names = []
    for info in infos:
        # Without the UTF-8 flag Python reads a name as code page 437: its bytes back.
        raw = info.filename.encode("cp437") if not info.flag_bits & 0x800 else None
        case = "entry %r" % info.filename
        if raw is None:
            problem(case, "UTF-8 flag set: Japanese Windows would not read the name as Shift_JIS")
            names.append(info.filename)
            continue
        try:
            name = raw.decode("cp932")
        except UnicodeDecodeError:
            problem(case, "stored name is not Shift_JIS: %r" % raw)
            continue
        names.append(name)
        case = "entry %r" % name
        fields = parse_extra(info.extra)
        if name.isascii():
            if 0x7075 in fields:
                problem(case, "ASCII name with a Unicode Path field")
        elif 0x7075 not in fields:
            problem(case, "no Unicode Path field (0x7075) for other systems' unzip")
        else:
            field = fields[0x7075]
            version, crc = struct.unpack_from("<BI", field)
            expect_equal(case + " Unicode Path version", version, 1)
            expect_equal(case + " Unicode Path CRC of the stored name", crc, zlib.crc32(raw))
            expect_equal(case + " Unicode Path name", field[5:].decode("utf-8", "replace"), name)
    expect_equal("zip entries in order", names, ENTRIES)
    return infos


def parse_extra(extra):
    fields, position = {}, 0
    while position + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, position)
        fields[tag] = extra[position + 4:position + 4 + size]
        position += 4 + size
    return fields


def unpack_both(archive_path, work):
    """Unpacks with Python's zipfile (names read as Shift_JIS) and with Info-ZIP's
    unzip (which follows the Unicode Path field); both trees must be the same."""
    by_python = os.path.join(work, "python")
    by_unzip = os.path.join(work, "unzip")
    os.makedirs(by_python)
    os.makedirs(by_unzip)
    with zipfile.ZipFile(archive_path) as archive:
        for info in archive.infolist():
            name = info.filename.encode("cp437").decode("cp932") if not info.flag_bits & 0x800 else info.filename
            target = os.path.join(by_python, *name.rstrip("/").split("/"))
            if name.endswith("/"):
                os.makedirs(target, exist_ok=True)
            else:
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as out:
                    out.write(archive.read(info))
    unzip = shutil.which("unzip")
    if not unzip:
        problem("unzip", "Info-ZIP unzip is not installed (tools/setup.sh installs it)")
        return by_python
    result = subprocess.run([unzip, "-q", archive_path, "-d", by_unzip], capture_output=True)
    if result.returncode != 0:
        problem("unzip", "exit %d: %s" % (result.returncode, result.stderr.decode(errors="replace")))
    expect_equal("unzip: files and folders", tree(by_unzip), tree(by_python))
    return by_python


def tree(folder):
    """{relative path: SHA-256 of the bytes, or 'folder'} of a folder."""
    found = {}
    for base, folders, files in os.walk(folder):
        for name in folders:
            found[os.path.relpath(os.path.join(base, name), folder)] = "folder"
        for name in files:
            path = os.path.join(base, name)
            found[os.path.relpath(path, folder)] = hashlib.sha256(open(path, "rb").read()).hexdigest()
    return found


def check_text(case, raw):
    """Shift_JIS with CR LF only; returns the text (LF line ends) or None."""
    if not raw:
        problem(case, "empty")
        return None
    try:
        text = raw.decode("shift_jis")
    except UnicodeDecodeError as error:
        problem(case, "not valid Shift_JIS: %s" % error)
        return None
    # A character that Shift_JIS and code page 932 map differently (a dash, a tilde)
    # would show as another character depending on the reader.
    if raw.decode("cp932", "replace") != text:
        problem(case, "reads differently as Shift_JIS and as code page 932")
    bare_lf = len(re.findall(rb"(?<!\r)\n", raw))
    bare_cr = len(re.findall(rb"\r(?!\n)", raw))
    if bare_lf:
        problem(case, "%d bare LF" % bare_lf)
    if bare_cr:
        problem(case, "%d bare CR" % bare_cr)
    if not raw.endswith(b"\r\n"):
        problem(case, "last line without CR LF")
    if "@" in text and re.search(r"@[A-Z_]+@", text):
        problem(case, "placeholder left: %s" % re.search(r"@[A-Z_]+@", text).group(0))
    return text.replace("\r\n", "\n")


def check_dll(case, path, exports, any_ordinal):
    try:
        pe = pe_file.PeFile(open(path, "rb").read())
    except (OSError, pe_file.PeError) as error:
        problem(case, str(error))
        return None
    expect_equal(case + " machine", hex(pe.machine), hex(0x14C))
    if not pe.characteristics & pe_file.IMAGE_FILE_DLL:
        problem(case, "not marked as a DLL")
    actual = pe.exports()
    if any_ordinal:
        expect_equal(case + " exports", set(actual), exports)
    else:
        expect_equal(case + " exports (name: ordinal)", actual, exports)
    return pe


def check_versions(pikuno, pikunoset, version, zip_name, readme, changes):
    dotted = ".".join(map(str, version))
    resource_text = ", ".join(map(str, version))
    short = "%d.%d" % version[:2]
    cases = [("zip file name", zip_name, "Pikuno-%s.zip" % dotted)]
    for case, pe in (("Pikuno.dll", pikuno), ("Pikunoset.dll", pikunoset)):
        info = pe.version_info() if pe else None
        if not info:
            problem(case, "no version resource")
            continue
        fixed, strings, translations = info
        cases += [(case + " FILEVERSION", fixed["FileVersion"], version),
                  (case + " PRODUCTVERSION", fixed["ProductVersion"], version)]
        if len(strings) != 1:
            problem(case, "string blocks %r, expected one" % sorted(strings))
        for block, values in strings.items():
            cases += [(case + " %s FileVersion" % block, values.get("FileVersion"), resource_text),
                      (case + " %s ProductVersion" % block, values.get("ProductVersion"), resource_text)]
        if not any(language == JAPANESE for language, _ in translations):
            problem(case, "translation %r is not Japanese" % translations)
    if pikuno:
        table = pikuno.string_table()
        cases += [("about box string 105", table.get((105, JAPANESE)), "Pikuno Version " + short),
                  ("about box string 107", table.get((107, JAPANESE)), "Pikunoset Version " + short)]
    if readme is not None:
        stated = re.findall(r"\b\d+\.\d+\.\d+\.\d+\b", readme)
        if not stated:
            problem("readme", "states no version")
        for i, found in enumerate(stated):
            cases.append(("readme version #%d" % (i + 1), found, dotted))
        for i, found in enumerate(re.findall(r"Pikuno(?:set)? Version (\S+)", readme)):
            cases.append(("readme about-box version #%d" % (i + 1), found, short))
    if changes is not None:
        headings = re.findall(r"^■ バージョン (\d+(?:\.\d+){3})", changes, re.M)
        if not headings:
            problem("CHANGES.txt", "no version heading")
        else:
            cases.append(("CHANGES.txt newest version", headings[0], dotted))
            keys = [tuple(map(int, h.split("."))) for h in headings]
            if keys != sorted(keys, reverse=True) or len(set(keys)) != len(keys):
                problem("CHANGES.txt", "versions not newest first: %r" % headings)
    for case, actual, expected in cases:
        expect_equal(case, actual, expected)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--dlls", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    out = os.path.join(args.work, "out")
    os.makedirs(out)
    result = subprocess.run(["sh", os.path.join(args.root, "tools", "package.sh"),
                             "--dlls", args.dlls, "--out", out])
    if result.returncode != 0:
        print("package.sh --dlls %s failed with %d" % (args.dlls, result.returncode))
        return 1

    # The same sources and DLLs give the same bytes, so that a checksum published
    # once stays true for a rebuilt package.
    again = os.path.join(args.work, "again")
    os.makedirs(again)
    subprocess.run(["sh", os.path.join(args.root, "tools", "package.sh"), "--dlls", args.dlls, "--out", again],
                   stdout=subprocess.DEVNULL)
    expect_equal("a second package", tree(again), tree(out))

    version = header_version(args.root)
    archives = sorted(n for n in os.listdir(out) if n.endswith(".zip"))
    expect_equal("files written", sorted(os.listdir(out)),
                 sorted(archives + [a + ".sha256" for a in archives]))
    if len(archives) != 1:
        problem("zip", "%d archives written" % len(archives))
        return report()
    zip_name = archives[0]
    archive_path = os.path.join(out, zip_name)

    # The checksum file, as sha256sum -c reads it.
    checksum = open(archive_path + ".sha256", "rb").read()
    digest = hashlib.sha256(open(archive_path, "rb").read()).hexdigest()
    expect_equal("checksum file", checksum, ("%s  %s\n" % (digest, zip_name)).encode())
    verify = subprocess.run(["sha256sum", "--check", "--strict", zip_name + ".sha256"], cwd=out,
                            capture_output=True)
    if verify.returncode != 0:
        problem("sha256sum --check", verify.stdout.decode(errors="replace") + verify.stderr.decode(errors="replace"))

    check_entries(archive_path)
    unpacked = unpack_both(archive_path, args.work)

    def read(name):
        path = os.path.join(unpacked, *name.split("/"))
        return open(path, "rb").read() if os.path.isfile(path) else b""

    readme = check_text("readme", read(README))
    changes = check_text("CHANGES.txt", read("CHANGES.txt"))
    licence = read("LICENSE.txt")
    source_licence = open(os.path.join(args.root, "LICENSE"), "rb").read()
    expect_equal("LICENSE.txt", licence, source_licence.replace(b"\n", b"\r\n"))
    for needle in (b"MIT License", b"Copyright (C) 2026 The Pikuno developers"):
        if needle not in source_licence:
            problem("LICENSE", "lacks %r" % needle)

    if readme is not None:
        for topic, words in README_TOPICS:
            if words not in readme:
                problem("readme", "nothing on %s (%r)" % (topic, words))
        for entry in ENTRIES:
            if not entry.endswith("/") and entry.replace("/", "\\") not in readme:
                problem("readme", "file %r of the zip not listed" % entry)
        for kind, label in settings_labels(args.root):
            if label not in readme:
                problem("readme", "setting %s %r not described" % (kind, label))
    if changes is not None and "更新履歴" not in changes:
        problem("CHANGES.txt", "no 更新履歴 title")

    pikuno = check_dll("Pikuno.dll", os.path.join(unpacked, "Pikuno.dll"), PIKUNO_EXPORTS, False)
    pikunoset = check_dll("Plugins/Pikunoset.dll", os.path.join(unpacked, "Plugins", "Pikunoset.dll"),
                          PIKUNOSET_EXPORTS, True)
    check_versions(pikuno, pikunoset, version, zip_name, readme, changes)
    return report()


def report():
    for line in problems:
        print("FAIL " + line)
    if problems:
        print("%d problems in the release package" % len(problems))
        return 1
    print("release package: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
