#!/usr/bin/env python3
# Writes HeaderTextCases.inc: header blocks as mailers send them, with the subject
# and sender the list must show, computed with Python's own codecs and e-mail
# rules rather than with the code under test. The expected texts are UTF-16
# literals written with escapes, so that the file stays ASCII.
# Usage: python3 tests/selective/HeaderTextCases.py > tests/selective/HeaderTextCases.inc
import base64, quopri

def b(text, charset): return "=?%s?B?%s?=" % (charset, base64.b64encode(text.encode(charset.lower().replace("shift_jis", "cp932"))).decode())
def q(text, charset):
    data = text.encode(charset)
    out = ""
    for c in data:
        ch = chr(c)
        if ch == " ": out += "_"
        elif ch.isalnum() and c < 128: out += ch
        else: out += "=%02X" % c
    return "=?%s?Q?%s?=" % (charset, out)

cases = []
def add(note, header, subject, sender=""):
    cases.append((note, header if isinstance(header, bytes) else header.encode(), subject, sender))

J = "会議のお知らせ"
add("UTF-8, B", "Subject: " + b(J, "UTF-8") + "\r\n", J)
add("UTF-8, Q, blanks as underscores", "Subject: " + q("Café ☕ 予約", "utf-8") + "\r\n", "Café ☕ 予約")
add("ISO-2022-JP, B", "Subject: " + b(J, "ISO-2022-JP") + "\r\n", J)
add("ISO-2022-JP, Q", "Subject: " + q("テスト", "iso-2022-jp") + "\r\n", "テスト")
add("iso-2022-jp in lower case", "Subject: Re: " + b("ソフトウェア表示", "iso-2022-jp").replace("?B?", "?b?") + "\r\n", "Re: ソフトウェア表示")
add("Shift_JIS, B", "Subject: " + b("見積書の送付", "Shift_JIS") + "\r\n", "見積書の送付")
add("EUC-JP, B", "Subject: " + b("予定表", "EUC-JP") + "\r\n", "予定表")
add("ISO-8859-1, Q", "Subject: " + q("Grüße aus Köln", "ISO-8859-1") + "\r\n", "Grüße aus Köln")
add("ISO-8859-2, B", "Subject: " + b("Łódź", "ISO-8859-2") + "\r\n", "Łódź")
add("ISO-8859-15, Q", "Subject: " + q("Prix 5 €", "ISO-8859-15") + "\r\n", "Prix 5 €")
add("windows-1252, Q", "Subject: " + q("€ „Angebot“", "windows-1252") + "\r\n", "€ „Angebot“")
add("windows-1251, B", "Subject: " + b("Привет, мир", "windows-1251") + "\r\n", "Привет, мир")
add("KOI8-R, B", "Subject: " + b("Привет", "KOI8-R") + "\r\n", "Привет")
add("GB2312, B", "Subject: " + b("你好世界", "GB2312") + "\r\n", "你好世界")
add("GBK, B", "Subject: " + b("镕", "GBK") + "\r\n", "镕")
add("Big5, B", "Subject: " + b("繁體中文", "Big5") + "\r\n", "繁體中文")
add("EUC-KR, B", "Subject: " + b("안녕하세요", "EUC-KR") + "\r\n", "안녕하세요")
add("UTF-7, B", "Subject: " + b("日本", "UTF-7") + "\r\n", "日本")
add("UTF-8 with a language", "Subject: " + b(J, "UTF-8").replace("UTF-8", "UTF-8*ja") + "\r\n", J)
add("outside Shift_JIS: emoji and 髙", "Subject: " + b("🎉 髙橋さんの㉑", "UTF-8") + "\r\n", "🎉 髙橋さんの㉑")
A = "【重要】システムメンテナンス"; B2 = "のお知らせ"
add("adjacent words: the blank between them goes", "Subject: " + b(A, "ISO-2022-JP") + " " + b(B2, "ISO-2022-JP") + "\r\n", A + B2)
add("folded between words: the fold goes too", "Subject: " + b(A, "UTF-8") + "\r\n\t" + b(B2, "UTF-8") + "\r\n", A + B2)
add("folded plain text: one blank stays", "Subject: a long\r\n subject line\r\n", "a long subject line")
add("word then plain text: the blank stays", "Subject: [info:00123] " + b("新製品", "ISO-2022-JP") + " (2/3)\r\n", "[info:00123] 新製品 (2/3)")
add("one character split between two words", "Subject: =?UTF-8?B?44G?= =?UTF-8?B?gg==?=\r\n", "あ")
add("words of two sets, adjacent", "Subject: " + b("ABC会議", "ISO-2022-JP") + " " + b("見積", "Shift_JIS") + "\r\n", "ABC会議見積")
add("unknown set stays as written", "Subject: =?X-UNKNOWN?B?QUJD?= ok\r\n", "=?X-UNKNOWN?B?QUJD?= ok")
add("no closing ?=: only its own bytes stay", "Subject: =?UTF-8?B?44GC " + b("あ", "UTF-8") + "\r\n", "=?UTF-8?B?44GC あ")
add("a blank inside the payload: not a word", "Subject: =?UTF-8?Q?bad word?= " + b("い", "UTF-8") + "\r\n", "=?UTF-8?Q?bad word?= い")
add("B payload outside the alphabet", "Subject: =?UTF-8?B?4@GC?=" + b("う", "UTF-8") + "\r\n", "=?UTF-8?B?4@GC?=う")
add("encoding letter other than B or Q", "Subject: =?UTF-8?X?44GC?=\r\n", "=?UTF-8?X?44GC?=")
bad = b"\xe3\x81A\xed\xa0\x80\xf0\x9f\x8e\xc0\xafB"
add("malformed UTF-8 in a word: one U+FFFD per broken piece",
    "Subject: =?UTF-8?B?" + base64.b64encode(bad).decode() + "?=\r\n", bad.decode("utf-8", "replace"))
add("raw UTF-8 bytes", "Subject: 会議 ✓\r\n", "会議 ✓")
add("raw Shift_JIS bytes", b"Subject: " + "表示テスト".encode("cp932") + b"\r\n", "表示テスト")
add("raw ISO-2022-JP", b"Subject: " + "お問い合わせ".encode("iso2022_jp") + b"\r\n", "お問い合わせ")
add("tab as a blank, other controls dropped", "Subject: a\tb\x01c\r\n", "a bc")
add("no Subject field", "From: a@example.jp\r\n", "No Subject", "a@example.jp")
add("empty Subject", "Subject:\r\n", "")
add("field names in another case", "SUBJECT: x\r\nfrom: y@example.jp\r\n", "x", "y@example.jp")
N = "山田太郎"
add("sender: encoded name", "From: " + b(N, "UTF-8") + " <taro@example.jp>\r\n", "No Subject", N)
add("sender: quoted name with a comma", "From: \"Yamada, Taro\" <taro@example.jp>\r\n", "No Subject", "Yamada, Taro")
add("sender: address in brackets only", "From: <taro@example.jp>\r\n", "No Subject", "taro@example.jp")
add("sender: bare address", "From: taro@example.jp\r\n", "No Subject", "taro@example.jp")
add("sender: address with a comment", "From: taro@example.jp (Taro Yamada)\r\n", "No Subject", "Taro Yamada")
add("sender: encoded word inside quotes", "From: \"" + b(N, "ISO-2022-JP") + "\" <taro@example.jp>\r\n", "No Subject", N)
add("sender: raw Shift_JIS name", b"From: " + "髙橋".encode("cp932") + b" <t@example.jp>\r\n", "No Subject", "髙橋")
add("sender: the first of two mailboxes", "From: a@example.jp, b@example.jp\r\n", "No Subject", "a@example.jp")
add("sender: folded, name and address on two lines", "From: " + b(N, "UTF-8") + "\r\n <taro@example.jp>\r\n", "No Subject", N)
add("sender: escaped quote in the name", "From: \"Taro \\\"T\\\" Yamada\" <t@example.jp>\r\n", "No Subject", "Taro \"T\" Yamada")

def lit(bs):
    out = '"'
    prev_hex = False
    prev = ''
    for c in bs:
        ch = chr(c)
        if ch in '"\\':
            out += '\\' + ch; prev_hex = False
        elif c < 0x20 or c >= 0x7f:
            out += '\\x%02x' % c; prev_hex = True
        else:
            if (prev_hex and ch in '0123456789abcdefABCDEF') or (prev == '?' and ch == '?'):
                out += '" "'
            out += ch; prev_hex = False
        prev = ch
    return out + '"'

def ulit(text):
    out = 'u"'
    prev = ''
    for ch in text:
        c = ord(ch)
        if ch in '"\\':
            out += '\\' + ch
        elif c < 0x20 or c >= 0x7f:
            out += ('\\u%04x' % c) if c < 0x10000 else ('\\U%08x' % c)
        else:
            if prev == '?' and ch == '?':
                out += '" u"'
            out += ch
        prev = ch
    return out + '"'

print("// Written by HeaderTextCases.py; {note, header block, subject, sender} rows.")
for note, header, subject, sender in cases:
    print("    {%s,\n     %s,\n     %s, %s}," % (lit(note.encode("utf-8")), lit(header), ulit(subject), ulit(sender)))
