#include "MailSummary.h"

#include "BoundedText.h"
#include "JisConvert.h"
#include "MailView.h"

std::string HeaderField(const std::string& header, const char* name) {
    size_t nameLength = text::Length(name);
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find('\n', start);
        if (end == std::string::npos) {
            end = header.size();
        }
        if (header.size() - start > nameLength && header[start + nameLength] == ':' &&
            text::EqualsNoCaseN(header.c_str() + start, name, nameLength)) {
            std::string value = header.substr(start + nameLength + 1, end - start - nameLength - 1);
            // Continuation lines begin with a blank.
            while (end + 1 < header.size() && (header[end + 1] == ' ' || header[end + 1] == '\t')) {
                size_t next = header.find('\n', end + 1);
                if (next == std::string::npos) {
                    next = header.size();
                }
                value += header.substr(end + 1, next - end - 1);
                end = next;
            }
            std::string cleaned;
            for (char c : value) {
                if (c != '\r') {
                    cleaned += c;
                }
            }
            size_t first = cleaned.find_first_not_of(" \t");
            return first == std::string::npos ? std::string() : cleaned.substr(first);
        }
        start = end + 1;
    }
    return std::string();
}

MailSummary SummarizeMail(const std::string& mail) {
    std::string header, body;
    MailView::SplitMail(mail, &header, &body);
    MailSummary summary;
    summary.subject = DecodeHeaderText(HeaderField(header, "Subject"));
    summary.from = DecodeHeaderText(HeaderField(header, "From"));
    summary.date = HeaderField(header, "Date");
    return summary;
}
