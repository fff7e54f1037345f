// The native stand-in for MultiByteToWideChar: the C library's iconv, with the
// Windows code page numbers the header decoding asks for mapped to iconv's names.
#include "CodePageText.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace {

struct CodePageName {
    uint32_t codePage;
    const char* name;
};

const CodePageName kNames[] = {
    {932, "CP932"},      {936, "GBK"},        {54936, "GB18030"},  {950, "BIG5"},
    {949, "CP949"},      {20866, "KOI8-R"},   {21866, "KOI8-U"},   {65000, "UTF-7"},
    {65001, "UTF-8"},    {874, "CP874"},      {866, "CP866"},      {20127, "ASCII"},
    {1250, "CP1250"},    {1251, "CP1251"},    {1252, "CP1252"},    {1253, "CP1253"},
    {1254, "CP1254"},    {1255, "CP1255"},    {1256, "CP1256"},    {1257, "CP1257"},
    {1258, "CP1258"},    {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"}, {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"}, {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
};

const char* IconvName(uint32_t codePage) {
    for (const CodePageName& row : kNames) {
        if (row.codePage == codePage) {
            return row.name;
        }
    }
    return nullptr;
}

}  // namespace

bool CodePageConvertible(uint32_t codePage) {
    return IconvName(codePage) != nullptr;
}

bool AppendCodePageText(uint32_t codePage, const char* bytes, std::size_t length, std::u16string* out) {
    const char* name = IconvName(codePage);
    if (!name) {
        return false;
    }
    iconv_t converter = iconv_open("UTF-16LE", name);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::u16string converted;
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = length;
    char buffer[1024];
    while (inLeft > 0) {
        char* outCursor = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t result = iconv(converter, &in, &inLeft, &outCursor, &outLeft);
        for (char* p = buffer; p + 1 < outCursor; p += 2) {
            converted.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                                      (static_cast<unsigned char>(p[1]) << 8)));
        }
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A byte without a character, or a sequence cut at the end: one
            // replacement character for it, as Windows gives its default.
            converted.push_back(u'\xFFFD');
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    out->append(converted);
    return true;
}
