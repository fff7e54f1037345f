#!/usr/bin/env python3
# Writes HeaderDecodeSubjects.inc: subjects as Japanese mailers encode them, with the
# Shift_JIS bytes expected after both decoding passes, computed with Python's own
# codecs (iso2022_jp, cp932, euc_jp, utf-7) rather than with the code under test.
# Usage: python3 tests/selective/HeaderDecodeSubjects.py > tests/selective/HeaderDecodeSubjects.inc
import base64, codecs
def b64(b): return base64.b64encode(b).decode()
def jisword(t, prefix="=?ISO-2022-JP?B?"): return prefix + b64(t.encode('iso2022_jp')) + "?="
def sj(t): return t.encode('cp932')
ESC=b'\x1b'
cases = []
def add(comment, src, exp): cases.append((comment, src if isinstance(src,bytes) else src.encode(), exp))
add("会議のお知らせ", jisword("会議のお知らせ"), sj("会議のお知らせ"))
a="【重要】システムメンテナンス"; b="のお知らせ"
add("【重要】システムメンテナンス / のお知らせ (two words, one blank)", jisword(a)+" "+jisword(b), sj(a)+b" "+sj(b))
add("folded: the CR LF and blank stay", jisword(a)+"\r\n "+jisword(b), sj(a)+b"\r\n "+sj(b))
t="ソフトウェア更新の表示について"
add("Re: "+t+" (lower-case prefix; 0x5C second bytes)", "Re: "+jisword(t,"=?iso-2022-jp?b?"), b"Re: "+sj(t))
t="見積書の送付"
add(t+" (Shift_JIS word)", "=?Shift_JIS?B?"+b64(sj(t))+"?=", sj(t))
t="予定表"
add(t+" (EUC-JP word: decoded, not converted)", "=?EUC-JP?B?"+b64(t.encode('euc_jp'))+"?=", t.encode('euc_jp'))
t="テスト"
w="=?UTF-8?B?"+b64(t.encode('utf-8'))+"?="
add(t+" (UTF-8: not recognised)", w, w.encode())
w="=?ISO-2022-JP?Q?=1B=24B=24F=25=39=25=48=1B=28B?="
add("Q-encoded word: not recognised", w, w.encode())
t="お問い合わせ"
add(t+" (raw JIS in the header)", t.encode('iso2022_jp'), sj(t))
t="新製品のご案内"
add("[info:00123] "+t+" (2/3)", "[info:00123] "+jisword(t)+" (2/3)", b"[info:00123] "+sj(t)+b" (2/3)")
add("①② (NEC row 13, raw JIS)", ESC+b"$B-!-\""+ESC+b"(B", sj("①②"))
t="日本"
add(t+" (UTF-7 word: decoded, not converted)", "=?UTF-7?B?"+b64(t.encode('utf-7'))+"?=", t.encode('utf-7'))
a="ABC会議XYZ"; b="見積"
add(a+" + Shift_JIS "+b+" (mixed kinds)", jisword(a)+" =?shift_jis?b?"+b64(sj(b))+"?=", sj(a)+b" "+sj(b))
t="ＰＣ　購入のお願い"
add(t+" (full-width letters and blank)", "Fw: "+jisword(t), b"Fw: "+sj(t))
def lit(bs):
    """A C++ literal of the bytes: escapes for everything outside printable ASCII,
    split where a hex digit follows an escape or a "??" could read as a trigraph."""
    out = '"'
    prev_hex = False
    prev = ''
    for c in bs:
        ch = chr(c)
        if ch in '"\\':
            out += '\\' + ch
            prev_hex = False
        elif c < 0x20 or c >= 0x7f:
            out += '\\x%02x' % c
            prev_hex = True
        else:
            if (prev_hex and ch in '0123456789abcdefABCDEF') or (prev == '?' and ch == '?'):
                out += '" "'
            out += ch
            prev_hex = False
        prev = ch
    return out + '"'
print("// Written by HeaderDecodeSubjects.py; {source, expected Shift_JIS} pairs.")
for c,s,e in cases:
    print("    // %s" % c)
    print("    {%s,\n     %s}," % (lit(s), lit(e)))
