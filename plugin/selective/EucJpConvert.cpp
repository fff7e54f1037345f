#include "EucJpConvert.h"

#include "HeaderDecode.h"

namespace {

bool IsEucByte(unsigned char c) {
    return c >= 0xA1 && c <= 0xFE;
}

// The JIS X 0208 row and cell (each 0x21 to 0x7E) as two Shift_JIS bytes.
void AppendJisAsSjis(unsigned char j1, unsigned char j2, std::string* out) {
    unsigned char s1 = 0;
    unsigned char s2 = 0;
    JisPairToShiftJis(j1, j2, &s1, &s2);
    out->push_back(static_cast<char>(s1));
    out->push_back(static_cast<char>(s2));
}

}  // namespace

void EucJpToSjis(const char* source, std::size_t length, std::string* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(source);
    std::size_t i = 0;
    while (i < length) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            out->push_back(static_cast<char>(c));
            ++i;
        } else if (c == 0x8E && i + 1 < length && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
            out->push_back(static_cast<char>(p[i + 1]));  // half-width katakana
            i += 2;
        } else if (c == 0x8F && i + 2 < length && IsEucByte(p[i + 1]) && IsEucByte(p[i + 2])) {
            out->push_back('?');  // JIS X 0212: no Shift_JIS form
            i += 3;
        } else if (IsEucByte(c) && i + 1 < length && IsEucByte(p[i + 1])) {
            AppendJisAsSjis(static_cast<unsigned char>(c - 0x80), static_cast<unsigned char>(p[i + 1] - 0x80), out);
            i += 2;
        } else {
            out->push_back('?');
            ++i;
        }
    }
}
