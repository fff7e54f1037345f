#!/usr/bin/env python3
"""Writes the demo's report from what the run left behind.

  report.py <demo dir> <host exit status>

Reads <demo dir>/logs (the sample manifest, the server's listings before and
after, the stand-in host's own report) and the mailbox's uidl files; prints the
report and writes <demo dir>/report.txt and <demo dir>/report.html. Everything
shown is read back from the run: nothing is assumed to have worked.
"""
import html
import json
import os
import re
import sys


def read_server(path):
    """{number: (size, uidl)} from lines "<number> <size> <uidl>"."""
    result = {}
    if os.path.exists(path):
        for line in open(path, encoding='ascii', errors='replace'):
            parts = line.split()
            if len(parts) >= 2 and parts[0].isdigit():
                result[int(parts[0])] = (int(parts[1]), parts[2] if len(parts) > 2 else '')
    return result


def parse_host(path):
    """The host's report: receives, folder listings (last one wins), failures."""
    receives, folders, failures = {}, {}, []
    if not os.path.exists(path):
        return receives, folders, ['the host left no report']
    current_receive = current_folder = None
    for line in open(path, encoding='utf-8', errors='replace'):
        line = line.rstrip('\r\n')
        m = re.match(r'receive: (\S+) on server (\d+), skipped (\d+), retrieved (\d+)', line)
        if m:
            current_receive = receives.setdefault(m.group(1), {'mails': []})
            current_receive.update(on_server=int(m.group(2)), skipped=int(m.group(3)))
            current_folder = None
            continue
        m = re.match(r'  message (\d+) uidl "([^"]*)" -> (\S+) \((\d+) bytes\) filter (-?\d+), (.*)', line)
        if m and current_receive is not None:
            current_receive['mails'].append({'number': int(m.group(1)), 'uidl': m.group(2),
                                             'entry': m.group(3), 'size': int(m.group(4)),
                                             'deleted': m.group(6).startswith('deleted')})
            continue
        m = re.match(r'  secured: (.*)$', line)
        if m and current_receive is not None:
            current_receive['secured'] = m.group(1)
            continue
        m = re.match(r'folder (\S+) (\d+) mails', line)
        if m:
            current_folder = folders[m.group(1)] = []
            current_receive = None
            continue
        m = re.match(r'  mail (\S+) mark (\d+) unread (\d) size (\d+) subject "(.*)"$', line)
        if m and current_folder is not None:
            current_folder.append({'name': m.group(1), 'mark': int(m.group(2)),
                                   'unread': m.group(3) == '1', 'size': int(m.group(4)),
                                   'subject': m.group(5)})
            continue
        if line.startswith('FAILED: '):
            failures.append(line[len('FAILED: '):])
        if not line.startswith('  '):
            current_receive = current_folder = None
    return receives, folders, failures


FORMS = {'iso-2022-jp': 'ISO-2022-JP encoded word', 'shift_jis': 'raw Shift_JIS', 'plain': 'plain ASCII'}
MARKS = {0: '', 1: 'red mark'}


def account_report(out, account, manifest, receives, folders):
    user, adir = account['user'], account['dir']
    before = read_server(os.path.join(out, 'logs', 'server-before-%s.txt' % user))
    after = read_server(os.path.join(out, 'logs', 'server-after-%s.txt' % user))
    subjects = {m['number']: m for m in account['messages']}
    by_uidl = {uidl: n for n, (size, uidl) in before.items()}
    uidl_path = os.path.join(out, 'mailbox', adir, 'uidl')
    uidl_lines = open(uidl_path, encoding='ascii', errors='replace').read().split('\n') \
        if os.path.exists(uidl_path) else []
    uidl_lines = [u.rstrip('\r') for u in uidl_lines if u.strip()]
    receive = receives.get(adir, {'mails': []})
    received = {m['uidl']: m for m in receive['mails']}
    limit = manifest['size_limit']

    def describe(n):
        m = subjects.get(n)
        size, uidl = before.get(n, (0, ''))
        text = '%s (%s)' % (m['subject'], FORMS[m['form']]) if m else '?'
        return '#%d  %6d bytes  %-18s %s' % (n, size, uidl, text)

    lines = ['=' * 78, '%s  "%s"  (POP3 user %s)' % (adir, account['title'], user), '=' * 78]
    if account['mode'] == 'size':
        lines.append('How it picks: by size. Only mails of at most %d bytes are received;' % limit)
        lines.append('received mails are deleted from the server afterwards (Delete=1).')
    else:
        lines.append('How it picks: from the selection dialog. The demo ticks messages %s.' %
                     ', '.join(map(str, account['ticks'])))
        lines.append('Received mails stay on the server (Delete=0); digests are split.')
    lines.append('Kirvan.ini: ' + '  '.join(account['kirvan']))
    how = 'STLS on the plain port' if account['tls'] == 'stls' else 'TLS from the start'
    lines.append('Server: localhost:%d, %s; the host retrieved %s.' % (
        account['port'], how, 'over ' + receive['secured'] if receive.get('secured') else 'in PLAIN TEXT'))
    lines.append('')
    lines.append('On the server before (%d messages):' % len(before))
    lines += ['  ' + describe(n) for n in sorted(before)]
    lines.append('')

    set_aside = [u for u in uidl_lines if u in by_uidl and u not in received]
    lines.append('Set aside by Pikuno (their UIDLs written to the uidl file, so the host skips them):')
    if not set_aside:
        lines.append('  (none)')
    for u in set_aside:
        n = by_uidl[u]
        if account['mode'] == 'size':
            why = 'larger than the limit: %d > %d bytes' % (before[n][0], limit)
        else:
            why = 'not ticked in the selection dialog'
        lines.append('  ' + describe(n))
        lines.append('        why: ' + why)
    lines.append('')

    lines.append('Received by the host (%d):' % len(receive['mails']))
    if not receive['mails']:
        lines.append('  (nothing)')
    for m in receive['mails']:
        lines.append('  ' + describe(m['number']))
        lines.append('        -> %s, %s' % (m['entry'], 'deleted on the server' if m['deleted']
                                             else 'kept on the server'))
    lines.append('')

    digests = [m for m in account['messages'] if m['digest']]
    if digests:
        d = digests[0]
        size, duidl = before.get(d['number'], (0, ''))
        inbox = folders.get(adir + '\\inbox.box', [])
        trash = folders.get(adir + '\\trash.box', [])
        lines.append('The digest "%s":' % d['subject'])
        if duidl not in received:
            lines.append('  was not received, so nothing was split.')
        else:
            parts = [m for m in inbox if m['subject'] in d['articles']]
            lines.append('  became %d mails in the inbox (of %d enclosed):' % (len(parts), len(d['articles'])))
            for m in parts:
                lines.append('    %s  %-24s %s%s' % (m['name'], m['subject'],
                                                      'unread' if m['unread'] else 'read',
                                                      ', ' + MARKS.get(m['mark'], 'mark %d' % m['mark'])
                                                      if m['mark'] else ''))
            in_trash = [m for m in trash if m['subject'] == d['subject']]
            in_inbox = [m for m in inbox if m['subject'] == d['subject']]
            if in_trash:
                lines.append('  the digest itself was moved to the trash (%s).' % in_trash[0]['name'])
            elif in_inbox:
                lines.append('  the digest itself is still in the inbox (%s).' % in_inbox[0]['name'])
        lines.append('')

    lines.append('Inbox now:')
    inbox = folders.get(adir + '\\inbox.box')
    if inbox is None:
        lines.append('  (not listed)')
    elif not inbox:
        lines.append('  (empty)')
    for m in inbox or []:
        lines.append('  %s  %6d bytes  %-6s %-8s %s' % (m['name'], m['size'], 'unread' if m['unread'] else '',
                                                      MARKS.get(m['mark'], 'mark %d' % m['mark']), m['subject']))
    lines.append('')

    lines.append('New lines of %s\\uidl (%d):' % (adir, len(uidl_lines)))
    if not uidl_lines:
        lines.append('  (none: the file was not written)')
    for u in uidl_lines:
        n = by_uidl.get(u)
        who = ('set aside by Pikuno' if u not in received else
               'received; recorded by the host itself (NotDelete=1 in Account.ini)')
        lines.append('  %-18s #%s %s' % (u, n if n else '?', who))
    lines.append('')

    lines.append('Left on the server (%d messages):' % len(after))
    for n in sorted(after):
        size, uidl = after[n]
        m = subjects.get(by_uidl.get(uidl, 0))
        lines.append('  %6d bytes  %-18s %s' % (size, uidl, m['subject'] if m else '?'))
    lines.append('')
    return lines


SHOTS = [
    ('selection.png', 'The selection dialog of account 2, with messages 1, 3 and 4 ticked'),
    ('settings-digest.png', 'The settings sheet: the digest page'),
    ('settings-filter.png', 'The settings sheet: the filter page'),
    ('about.png', 'The about box'),
    ('host.png', 'The stand-in host after the run'),
]


def main():
    out, status = sys.argv[1], int(sys.argv[2])
    manifest = json.load(open(os.path.join(out, 'logs', 'manifest.json'), encoding='utf-8'))
    receives, folders, failures = parse_host(os.path.join(out, 'logs', 'host.txt'))
    lines = ['Pikuno demonstration', '',
             'Two accounts of the stand-in host Quenla.exe fetch mail from a private POP3',
             'server (Dovecot on loopback). Pikuno looks at each server first and decides',
             'which messages the host is to skip; they stay on the server for later.', '']
    for account in manifest['accounts']:
        lines += account_report(out, account, manifest, receives, folders)
    lines.append('Pictures (in %s):' % os.path.join(out, 'shots'))
    for name, caption in SHOTS:
        present = os.path.exists(os.path.join(out, 'shots', name))
        lines.append('  %-20s %s%s' % (name, caption, '' if present else '  -- MISSING'))
    lines.append('')
    lines.append('The host\'s own log: %s' % os.path.join(out, 'logs', 'host.txt'))
    if failures:
        lines.append('Problems the host reported:')
        lines += ['  ' + f for f in failures]
    lines.append('The host ended with status %d (%s).' % (status, 'all went as scripted' if status == 0
                                                         else 'something did not go as scripted'))
    text = '\n'.join(lines) + '\n'
    sys.stdout.write(text)
    with open(os.path.join(out, 'report.txt'), 'w', encoding='utf-8') as f:
        f.write(text)

    figures = ''.join(
        '<figure><img src="shots/%s" alt="%s"><figcaption>%s</figcaption></figure>\n' %
        (name, html.escape(caption), html.escape(caption))
        for name, caption in SHOTS if os.path.exists(os.path.join(out, 'shots', name)))
    page = ('<!DOCTYPE html>\n<html lang="ja"><head><meta charset="utf-8">'
            '<title>Pikuno demonstration</title><style>'
            'body{font-family:sans-serif;margin:2em;max-width:1200px}'
            'pre{background:#f6f6f6;padding:1em;font-size:13px;overflow-x:auto}'
            'figure{display:inline-block;margin:0 1em 1em 0;vertical-align:top}'
            'img{border:1px solid #aaa}figcaption{font-size:13px;color:#444}'
            '</style></head><body>\n<h1>Pikuno demonstration</h1>\n'
            '<h2>Pictures</h2>\n' + figures +
            '<h2>Report</h2>\n<pre>' + html.escape(text) + '</pre>\n</body></html>\n')
    with open(os.path.join(out, 'report.html'), 'w', encoding='utf-8') as f:
        f.write(page)
    print('Report: %s  (text: %s)' % (os.path.join(out, 'report.html'), os.path.join(out, 'report.txt')))


if __name__ == '__main__':
    main()
