#pragma once
// MIME character set names (RFC 2047 encoded words) and how their bytes become
// text: through a Windows code page, through this system's own converters for
// the two Japanese sets that not every Windows nor Wine converts, or not at all.
// Pure byte work, free of <windows.h>.

#include <cstddef>
#include <cstdint>

enum class CharsetKind : int32_t {
    kUnknown = 0,  // the word stays in the text as it was written
    kUtf8,         // decoded here
    kIso2022Jp,    // Iso2022JpToSjis, then code page 932
    kEucJp,        // EucJpToSjis, then code page 932
    kCodePage,     // the code page named by codePage
};

struct MimeCharset {
    CharsetKind kind;
    uint32_t codePage;  // for kCodePage; 0 otherwise

    bool operator==(const MimeCharset& other) const { return kind == other.kind && codePage == other.codePage; }
};

// The set named by [name, name + length), compared without regard to ASCII case;
// a language suffix ("UTF-8*ja") is ignored. kUnknown for a name not known here.
MimeCharset LookUpMimeCharset(const char* name, std::size_t length);
