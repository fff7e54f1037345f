#include "MimeCharset.h"

#include <cstring>

namespace {

struct CharsetRow {
    const char* name;
    CharsetKind kind;
    uint32_t codePage;
};

// Names as mailers write them, with their usual aliases.
const CharsetRow kCharsets[] = {
    {"utf-8", CharsetKind::kUtf8, 0},
    {"utf8", CharsetKind::kUtf8, 0},
    {"us-ascii", CharsetKind::kUtf8, 0},  // a subset; stray 8-bit bytes read as UTF-8 or replaced
    {"iso-2022-jp", CharsetKind::kIso2022Jp, 0},
    {"iso-2022-jp-1", CharsetKind::kIso2022Jp, 0},
    {"iso-2022-jp-2", CharsetKind::kIso2022Jp, 0},
    {"iso-2022-jp-3", CharsetKind::kIso2022Jp, 0},
    {"csiso2022jp", CharsetKind::kIso2022Jp, 0},
    {"euc-jp", CharsetKind::kEucJp, 0},
    {"x-euc-jp", CharsetKind::kEucJp, 0},
    {"eucjp", CharsetKind::kEucJp, 0},
    {"shift_jis", CharsetKind::kCodePage, 932},
    {"shift-jis", CharsetKind::kCodePage, 932},
    {"x-sjis", CharsetKind::kCodePage, 932},
    {"sjis", CharsetKind::kCodePage, 932},
    {"ms_kanji", CharsetKind::kCodePage, 932},
    {"windows-31j", CharsetKind::kCodePage, 932},
    {"cp932", CharsetKind::kCodePage, 932},
    {"utf-7", CharsetKind::kCodePage, 65000},
    {"iso-8859-1", CharsetKind::kCodePage, 28591},
    {"latin1", CharsetKind::kCodePage, 28591},
    {"iso-8859-2", CharsetKind::kCodePage, 28592},
    {"iso-8859-3", CharsetKind::kCodePage, 28593},
    {"iso-8859-4", CharsetKind::kCodePage, 28594},
    {"iso-8859-5", CharsetKind::kCodePage, 28595},
    {"iso-8859-6", CharsetKind::kCodePage, 28596},
    {"iso-8859-7", CharsetKind::kCodePage, 28597},
    {"iso-8859-8", CharsetKind::kCodePage, 28598},
    {"iso-8859-8-i", CharsetKind::kCodePage, 28598},
    {"iso-8859-9", CharsetKind::kCodePage, 28599},
    {"iso-8859-11", CharsetKind::kCodePage, 874},
    {"iso-8859-13", CharsetKind::kCodePage, 28603},
    {"iso-8859-15", CharsetKind::kCodePage, 28605},
    {"tis-620", CharsetKind::kCodePage, 874},
    {"windows-874", CharsetKind::kCodePage, 874},
    {"windows-1250", CharsetKind::kCodePage, 1250},
    {"windows-1251", CharsetKind::kCodePage, 1251},
    {"windows-1252", CharsetKind::kCodePage, 1252},
    {"windows-1253", CharsetKind::kCodePage, 1253},
    {"windows-1254", CharsetKind::kCodePage, 1254},
    {"windows-1255", CharsetKind::kCodePage, 1255},
    {"windows-1256", CharsetKind::kCodePage, 1256},
    {"windows-1257", CharsetKind::kCodePage, 1257},
    {"windows-1258", CharsetKind::kCodePage, 1258},
    {"cp1250", CharsetKind::kCodePage, 1250},
    {"cp1251", CharsetKind::kCodePage, 1251},
    {"cp1252", CharsetKind::kCodePage, 1252},
    {"gb2312", CharsetKind::kCodePage, 936},
    {"gbk", CharsetKind::kCodePage, 936},
    {"x-gbk", CharsetKind::kCodePage, 936},
    {"cp936", CharsetKind::kCodePage, 936},
    {"euc-cn", CharsetKind::kCodePage, 936},
    {"gb18030", CharsetKind::kCodePage, 54936},
    {"big5", CharsetKind::kCodePage, 950},
    {"big5-hkscs", CharsetKind::kCodePage, 950},
    {"cp950", CharsetKind::kCodePage, 950},
    {"euc-kr", CharsetKind::kCodePage, 949},
    {"ks_c_5601-1987", CharsetKind::kCodePage, 949},
    {"cp949", CharsetKind::kCodePage, 949},
    {"koi8-r", CharsetKind::kCodePage, 20866},
    {"koi8-u", CharsetKind::kCodePage, 21866},
    {"ibm866", CharsetKind::kCodePage, 866},
    {"cp866", CharsetKind::kCodePage, 866},
};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const char* name, std::size_t length, const char* known) {
    for (std::size_t i = 0; i < length; ++i) {
        if (known[i] == '\0' || LowerAscii(name[i]) != known[i]) {
            return false;
        }
    }
    return known[length] == '\0';
}

}  // namespace

MimeCharset LookUpMimeCharset(const char* name, std::size_t length) {
    const void* star = length > 0 ? std::memchr(name, '*', length) : nullptr;
    if (star) {
        length = static_cast<std::size_t>(static_cast<const char*>(star) - name);
    }
    for (const CharsetRow& row : kCharsets) {
        if (SameName(name, length, row.name)) {
            return MimeCharset{row.kind, row.codePage};
        }
    }
    return MimeCharset{CharsetKind::kUnknown, 0};
}
