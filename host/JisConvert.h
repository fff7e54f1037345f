#pragma once
// Shift_JIS <-> ISO-2022-JP (JIS X 0208 with ESC $ B, half-width katakana with
// ESC ( I), the host's conversions behind _VhxSjisToJis@12 and _VhxJisToSjis@12
// and its own display of encoded headers.

#include <string>

// Converts Shift_JIS text to ISO-2022-JP, ending in ASCII. A lead byte without a
// valid trail byte is copied as it stands.
std::string SjisToJis(const std::string& sjis);

// Converts ISO-2022-JP to Shift_JIS (ESC $ @, ESC $ B, ESC ( B, ESC ( J, ESC ( I,
// SO/SI). Bytes outside any known sequence are copied as they stand.
std::string JisToSjis(const std::string& jis);

// Decodes RFC 2047 encoded words (B and Q) of charset ISO-2022-JP or Shift_JIS into
// Shift_JIS, for the host's mail list; other text is kept, whitespace between
// adjacent encoded words dropped.
std::string DecodeHeaderText(const std::string& value);
