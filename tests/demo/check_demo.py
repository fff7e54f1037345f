#!/usr/bin/env python3
"""Runs the demonstration without building and checks what it did.

  check_demo.py <source root> <output dir>

Exit 0 when every check holds, 1 otherwise, 77 (skipped) when Dovecot cannot run.
The checks read the run's own traces: the report, the mailbox files, the pictures
and the processes left behind.
"""
import os
import re
import shutil
import struct
import subprocess
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def png_size(path):
    with open(path, 'rb') as f:
        head = f.read(24)
    if head[:8] != b'\x89PNG\r\n\x1a\n' or head[12:16] != b'IHDR':
        return None
    return struct.unpack('>II', head[16:24])


def section(report, title):
    """The lines of the report from the heading line containing title to the next heading."""
    start = report.find(title)
    if start < 0:
        return ''
    end = report.find('=' * 78 + '\n', report.find('\n', start) + 80)
    return report[start:end if end > 0 else len(report)]


def main():
    root, out = sys.argv[1], sys.argv[2]
    if os.geteuid() != 0 or not shutil.which('dovecot'):
        print('skipped: the demo needs root and Dovecot')
        return 77
    run = subprocess.run([os.path.join(root, 'tools', 'demo.sh'), '--no-build', '--out', out],
                         stdin=subprocess.DEVNULL, capture_output=True, timeout=280)
    sys.stdout.write(run.stdout.decode('utf-8', 'replace'))
    sys.stderr.write(run.stderr.decode('utf-8', 'replace'))
    check(run.returncode == 0, 'demo.sh exit status %d' % run.returncode)
    report_path = os.path.join(out, 'report.txt')
    if not check(os.path.exists(report_path), 'no report.txt'):
        return 1
    report = open(report_path, encoding='utf-8').read()
    one, two = section(report, 'Account1  "'), section(report, 'Account2  "')
    cases = [
        # (case, text, expected pattern)
        (1, one, r'Set aside by Pikuno.*\n  #2 .*見積書の送付.*\n        why: larger than the limit: \d+ > 5000 bytes\n'
                 r'  #4 .*出張の写真.*\n        why: larger than the limit'),
        (2, one, r'Received by the host \(3\):\n  #1 .*会議の議事録.*\n.*deleted on the server\n'
                 r'  #3 .*Weekly status report.*\n.*deleted on the server\n  #5 .*明日の予定について'),
        (3, one, r'Left on the server \(2 messages\):\n.*見積書の送付\n.*出張の写真\n'),
        (4, one, r'New lines of Account1\\uidl \(5\):'),
        (5, two, r'Set aside by Pikuno.*\n  #2 .*Your order has shipped.*\n        why: not ticked'),
        (6, two, r'Received by the host \(3\):\n  #1 .*同窓会のお知らせ.*\n.*kept on the server\n'
                 r'  #3 .*料理ML ダイジェスト 第12号.*\n.*\n  #4 .*旅行の計画'),
        (7, two, r'became 3 mails in the inbox \(of 3 enclosed\):\n.*肉じゃがの作り方 +unread, red mark\n'
                 r'.*味噌汁の出汁について +unread, red mark\n.*来月のオフ会 +unread, red mark\n'
                 r'  the digest itself was moved to the trash'),
        (8, two, r'Left on the server \(4 messages\):'),
        (9, report, r'The host ended with status 0 '),
        (20, one, r'Server: localhost:\d+, STLS on the plain port; the host retrieved over TLS \(STLS\)\.'),
        (21, two, r'Server: localhost:\d+, TLS from the start; the host retrieved over TLS \(implicit\)\.'),
    ]
    for number, text, pattern in cases:
        check(re.search(pattern, text), 'case %d: no match for %r' % (number, pattern))
    check('MISSING' not in report and 'Problems the host reported' not in report,
          'case 10: missing pictures or host problems')

    # The uidl files: LF line ends only, and exactly the lines the report counts.
    for number, (account, count) in enumerate([('Account1', 5), ('Account2', 4)], 11):
        data = open(os.path.join(out, 'mailbox', account, 'uidl'), 'rb').read()
        check(b'\r' not in data and data.endswith(b'\n') and data.count(b'\n') == count,
              'case %d: %s uidl is %r' % (number, account, data))

    # Pictures: real PNGs of sensible sizes, each shown by the HTML page.
    html = open(os.path.join(out, 'report.html'), encoding='utf-8').read()
    for number, (name, min_w, min_h) in enumerate([('selection.png', 300, 150), ('settings-digest.png', 250, 250),
                                                   ('settings-filter.png', 250, 250), ('about.png', 180, 50),
                                                   ('host.png', 600, 400)], 13):
        path = os.path.join(out, 'shots', name)
        size = png_size(path) if os.path.exists(path) else None
        check(size and size[0] >= min_w and size[1] >= min_h, 'case %d: %s is %r' % (number, name, size))
        check('src="shots/%s"' % name in html, 'case %d: report.html does not show %s' % (number, name))

    # Nothing left running: no Dovecot of the demo's server, no wineserver of the build.
    server = open(os.path.join(out, 'logs', 'server-dir.txt')).read().strip()
    check(not os.path.exists(server), 'case 18: the server folder %s is still there' % server)
    prefix = os.path.join(root, 'build', 'x86_64', 'wineprefix')
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            cmdline = open('/proc/%s/cmdline' % pid, 'rb').read().replace(b'\0', b' ').decode('utf-8', 'replace')
            environ = open('/proc/%s/environ' % pid, 'rb').read().decode('utf-8', 'replace')
        except OSError:
            continue
        check(server not in cmdline, 'case 19: process %s still runs: %s' % (pid, cmdline))
        if 'wineserver' in cmdline and 'WINEPREFIX=' + prefix in environ:
            check(False, 'case 20: the build\'s wineserver (%s) still runs' % pid)

    for failure in failures:
        print('FAILED: ' + failure)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
