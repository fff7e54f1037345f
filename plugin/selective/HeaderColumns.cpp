#include "HeaderColumns.h"

#include "HeaderFields.h"
#include "HeaderText.h"
#include "MailDate.h"
#include "MailSender.h"
#include "SubjectExtract.h"

HeaderColumns ReadHeaderColumns(const char* header, std::size_t length) {
    HeaderColumns columns;
    if (!header) {
        header = "";
        length = 0;
    }
    std::string raw;
    if (FindRawHeaderField(header, length, "Subject", &raw)) {
        columns.subject = DecodeHeaderValue(raw.data(), raw.size());
    } else {
        for (const char* p = kNoSubject; *p; ++p) {
            columns.subject.push_back(static_cast<char16_t>(*p));
        }
    }
    if (FindRawHeaderField(header, length, "From", &raw)) {
        columns.sender = DecodeSender(raw.data(), raw.size());
    }
    if (FindRawHeaderField(header, length, "Date", &raw)) {
        columns.dated = ParseMailDate(raw.data(), raw.size(), &columns.utcSeconds);
        if (!columns.dated) {
            AppendPlainHeaderText(raw.data(), raw.size(), &columns.dateText);
        }
    }
    return columns;
}
