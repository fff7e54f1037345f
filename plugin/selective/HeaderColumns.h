#pragma once
// What the selection list shows of one message's header: its subject, its
// sender and its date, decoded to UTF-16. Pure byte work; the date's local form
// is made by the dialog, which alone knows the time zone.

#include <cstddef>
#include <cstdint>
#include <string>

struct HeaderColumns {
    std::u16string subject;   // "No Subject" when the header has no Subject field
    std::u16string sender;    // empty when there is no From field
    bool dated = false;       // the Date field was read
    int64_t utcSeconds = 0;   // when dated: seconds since 1970-01-01 UTC
    std::u16string dateText;  // when not dated: the field as written (empty when none)
};

// Reads the columns from a header block (as HeaderFields.h takes it); a null
// header reads as an empty one.
HeaderColumns ReadHeaderColumns(const char* header, std::size_t length);
