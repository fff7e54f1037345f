#pragma once
// What the mail list shows of one mail: decoded subject, sender and date, read from
// its header block (folded lines joined).

#include <string>

struct MailSummary {
    std::string subject;
    std::string from;
    std::string date;
};

// The value of the first header field of that name (case-insensitive), unfolded,
// or "" when absent.
std::string HeaderField(const std::string& header, const char* name);
MailSummary SummarizeMail(const std::string& mail);
