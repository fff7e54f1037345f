#!/usr/bin/env python3
"""Writes the demo's sample data.

  make_sample.py <mailbox dir> <server mail dir> <port> <tls port> <manifest.json>

<mailbox dir>: the stand-in host's mailbox with two accounts (Account.ini,
Kirvan.ini, empty inbox and trash) and Pikuno.ini. <server mail dir>: one
folder per POP3 user with the messages to deliver, named in delivery order, LF
line ends (as a Maildir holds them). The manifest describes every message and
account for the report. Standard library only.
"""
import base64
import json
import os
import sys

SIZE_LIMIT = 5000

ACCOUNTS = [
    {
        'dir': 'Account1', 'title': '仕事用 (サイズで選ぶ)', 'user': 'taro', 'password': 'taro-pass',
        'address': 'taro@example.jp',
        # Pick by conditions: only mails not larger than the limit; received mails
        # are deleted from the server afterwards.
        # Security 0 (automatic): the server offers STLS on its plain port.
        'kirvan': [('Server', 'pass', 'taro-pass'), ('Server', 'Security', '0'), ('Property', 'DoFilter', '1'),
                   ('Property', 'FilterType', '1'), ('Property', 'CheckSize', '1'),
                   ('Property', 'FilterSize', str(SIZE_LIMIT)), ('Property', 'Delete', '1')],
        'mode': 'size',
        'tls': 'stls',
    },
    {
        'dir': 'Account2', 'title': '個人用 (一覧から選ぶ)', 'user': 'hanako', 'password': 'hanako-pass',
        'address': 'hanako@example.jp',
        # Pick from the list; the host keeps received mails on the server.
        # Security 0 (automatic): TLS from the start on port 995.
        'kirvan': [('Server', 'pass', 'hanako-pass'), ('Server', 'Security', '0'), ('Property', 'DoFilter', '1'),
                   ('Property', 'FilterType', '0'), ('Property', 'CheckSize', '0'),
                   ('Property', 'FilterSize', str(SIZE_LIMIT)), ('Property', 'Delete', '0')],
        'mode': 'dialog',
        'ticks': [1, 3, 4],
        'tls': 'implicit',
    },
]

DIGEST_SETTINGS = [('Divide', '1'), ('MultipartMixed', '1'), ('MultipartDigest', '1'),
                   ('DelType', '0'), ('Mark', '1'), ('Midoku', '1'), ('AskDelete', '1')]


def jis_word(text):
    """An RFC 2047 encoded word: ISO-2022-JP in base64."""
    return '=?ISO-2022-JP?B?' + base64.b64encode(text.encode('iso2022_jp')).decode('ascii') + '?='


def subject_bytes(text, form):
    if form == 'iso-2022-jp':
        return jis_word(text).encode('ascii')
    if form == 'shift_jis':
        return text.encode('cp932')  # raw 8-bit header, as older Japanese mailers send it
    return text.encode('ascii')


def wrap(data, width=76):
    return '\n'.join(data[i:i + width] for i in range(0, len(data), width))


def message(number, sender, to, subject, form, body, attachment=0, date_day=1):
    """One message as bytes with LF line ends."""
    head = [
        b'From: ' + sender.encode('ascii'),
        b'To: ' + to.encode('ascii'),
        b'Subject: ' + subject_bytes(subject, form),
        ('Date: Mon, %d Dec 2026 09:%02d:00 +0900' % (date_day, number)).encode('ascii'),
        ('Message-ID: <demo-%s-%d@example.jp>' % (to.split('@')[0], number)).encode('ascii'),
        b'MIME-Version: 1.0',
    ]
    text = body.encode('iso2022_jp') + b'\n'
    if not attachment:
        head.append(b'Content-Type: text/plain; charset=ISO-2022-JP')
        head.append(b'Content-Transfer-Encoding: 7bit')
        return b'\n'.join(head) + b'\n\n' + text
    boundary = 'demo-boundary-%d' % number
    head.append(('Content-Type: multipart/mixed; boundary="%s"' % boundary).encode('ascii'))
    blob = bytes((i * 37 + number) & 0xFF for i in range(attachment))
    parts = [
        b'--' + boundary.encode(),
        b'Content-Type: text/plain; charset=ISO-2022-JP',
        b'Content-Transfer-Encoding: 7bit',
        b'',
        text,
        b'--' + boundary.encode(),
        b'Content-Type: application/octet-stream; name="data.bin"',
        b'Content-Transfer-Encoding: base64',
        b'Content-Disposition: attachment; filename="data.bin"',
        b'',
        wrap(base64.b64encode(blob).decode('ascii')).encode('ascii'),
        b'--' + boundary.encode() + b'--',
        b'',
    ]
    return b'\n'.join(head) + b'\n\n' + b'\n'.join(parts)


def digest(number, to, subject, articles):
    """A multipart/digest whose parts each declare message/rfc822."""
    boundary = 'digest-boundary-%d' % number
    head = [
        b'From: ml-admin@lists.example.jp',
        b'To: ' + to.encode('ascii'),
        b'Subject: ' + subject_bytes(subject, 'iso-2022-jp'),
        ('Date: Mon, 7 Dec 2026 08:%02d:00 +0900' % number).encode('ascii'),
        ('Message-ID: <demo-digest-%d@lists.example.jp>' % number).encode('ascii'),
        b'MIME-Version: 1.0',
        ('Content-Type: multipart/digest; boundary="%s"' % boundary).encode('ascii'),
    ]
    lines = [b'This is a digest of three messages.', b'']
    for i, (sender, art_subject, body) in enumerate(articles, 1):
        lines += [
            b'--' + boundary.encode(),
            b'Content-Type: message/rfc822',
            b'',
            b'From: ' + sender.encode('ascii'),
            b'Subject: ' + subject_bytes(art_subject, 'iso-2022-jp'),
            ('Date: Sun, 6 Dec 2026 2%d:00:00 +0900' % i).encode('ascii'),
            ('Message-ID: <demo-article-%d@lists.example.jp>' % i).encode('ascii'),
            b'Content-Type: text/plain; charset=ISO-2022-JP',
            b'',
            body.encode('iso2022_jp'),
            b'',
        ]
    lines += [b'--' + boundary.encode() + b'--', b'']
    return b'\n'.join(head) + b'\n\n' + b'\n'.join(lines)


def server_messages():
    taro, hanako = 'taro@example.jp', 'hanako@example.jp'
    return {
        'taro': [
            dict(subject='会議の議事録', form='iso-2022-jp',
                 data=message(1, 'suzuki@example.jp', taro, '会議の議事録', 'iso-2022-jp',
                              '鈴木です。\n本日の会議の議事録をお送りします。')),
            dict(subject='見積書の送付', form='shift_jis',
                 data=message(2, 'sales@example.co.jp', taro, '見積書の送付', 'shift_jis',
                              'お世話になっております。\n見積書を添付いたします。', attachment=9000)),
            dict(subject='Weekly status report', form='plain',
                 data=message(3, 'manager@example.com', taro, 'Weekly status report', 'plain',
                              'All projects are on track.')),
            dict(subject='出張の写真', form='iso-2022-jp',
                 data=message(4, 'tanaka@example.jp', taro, '出張の写真', 'iso-2022-jp',
                              '田中です。\n大阪出張の写真です。', attachment=20000)),
            dict(subject='明日の予定について', form='shift_jis',
                 data=message(5, 'sato@example.jp', taro, '明日の予定について', 'shift_jis',
                              '佐藤です。\n明日は十時からでお願いします。')),
        ],
        'hanako': [
            dict(subject='同窓会のお知らせ', form='iso-2022-jp',
                 data=message(1, 'kanji@example.jp', hanako, '同窓会のお知らせ', 'iso-2022-jp',
                              '幹事の山本です。\n今年も同窓会を開きます。')),
            dict(subject='Your order has shipped', form='plain',
                 data=message(2, 'shop@example.com', hanako, 'Your order has shipped', 'plain',
                              'Your parcel is on its way.', attachment=3000)),
            dict(subject='料理ML ダイジェスト 第12号', form='iso-2022-jp', digest=True,
                 articles=['肉じゃがの作り方', '味噌汁の出汁について', '来月のオフ会'],
                 data=digest(3, hanako, '料理ML ダイジェスト 第12号', [
                     ('ito@example.jp', '肉じゃがの作り方', '伊藤です。\n肉じゃがのコツを教えてください。'),
                     ('kato@example.jp', '味噌汁の出汁について', '加藤です。\n昆布と鰹節で取っています。'),
                     ('mori@example.jp', '来月のオフ会', '森です。\n来月、オフ会をしませんか。'),
                 ])),
            dict(subject='旅行の計画', form='shift_jis',
                 data=message(4, 'family@example.jp', hanako, '旅行の計画', 'shift_jis',
                              '夏休みの旅行、京都はどうでしょう。')),
        ],
    }


def write_ini(path, entries):
    """INI text in Shift_JIS with CR LF lines, sections in first-seen order."""
    sections = []
    for section, key, value in entries:
        if section not in [s for s, _ in sections]:
            sections.append((section, []))
        dict(sections)[section].append((key, value))
    text = ''
    for section, pairs in sections:
        text += '[%s]\r\n' % section + ''.join('%s=%s\r\n' % kv for kv in pairs)
    with open(path, 'wb') as f:
        f.write(text.encode('cp932'))


def main():
    mailbox, server_dir, port, tls_port, manifest_path = sys.argv[1:6]
    os.makedirs(mailbox, exist_ok=True)
    write_ini(os.path.join(mailbox, 'Pikuno.ini'), [('Digest', k, v) for k, v in DIGEST_SETTINGS])
    messages = server_messages()
    manifest = {'size_limit': SIZE_LIMIT, 'digest_settings': dict(DIGEST_SETTINGS), 'accounts': []}
    for account in ACCOUNTS:
        adir = os.path.join(mailbox, account['dir'])
        for folder in ('inbox.box', 'trash.box'):
            os.makedirs(os.path.join(adir, folder), exist_ok=True)
        implicit = account['tls'] == 'implicit'
        # The host's own keys: STLS on the plain port, TLS from the start on the
        # other (995 says so by itself; SSL=1 says it for any other port).
        host_tls = [('Property', 'SSL', '1')] if implicit else [('Property', 'STLS', '1')]
        write_ini(os.path.join(adir, 'Account.ini'), [
            ('Property', 'Title', account['title']), ('Property', 'Account', account['user']),
            ('Property', 'Password', account['password']), ('Property', 'POP3Server', 'localhost'),
            ('Property', 'POP3Port', tls_port if implicit else port), ('Property', 'NotDelete', '1'),
            ('Property', 'UseRAS', '0'), ('Property', 'RASProvider', ''),
        ] + host_tls)
        kirvan = list(account['kirvan'])
        if implicit and tls_port != '995':
            # 995 was taken on this machine: TLS from the start asked for by name.
            kirvan = [('Server', 'Security', '1') if e[1] == 'Security' else e for e in kirvan]
        write_ini(os.path.join(adir, 'Kirvan.ini'), kirvan)
        udir = os.path.join(server_dir, account['user'])
        os.makedirs(udir, exist_ok=True)
        entries = []
        for n, m in enumerate(messages[account['user']], 1):
            name = os.path.join(udir, '%02d.eml' % n)
            with open(name, 'wb') as f:
                f.write(m['data'])
            entries.append({'number': n, 'subject': m['subject'], 'form': m['form'],
                            'file': name, 'digest': m.get('digest', False),
                            'articles': m.get('articles', [])})
        manifest['accounts'].append({k: account[k] for k in ('dir', 'title', 'user', 'mode', 'tls')} |
                                    {'port': int(tls_port if implicit else port)} |
                                    {'ticks': account.get('ticks', []), 'messages': entries,
                                     'kirvan': ['[%s] %s=%s' % e for e in kirvan
                                                if e[1] != 'pass']})
    with open(manifest_path, 'w', encoding='utf-8') as f:
        json.dump(manifest, f, ensure_ascii=False, indent=1)


if __name__ == '__main__':
    main()
