#include "SetAsideRecord.h"

#include <utility>

#include "HeaderFields.h"

const char kSetAsideRecordName[] = "PikunoSetAside.txt";

namespace {

const char kFirstLine[] = "Pikuno set-aside record 1";
const char kAbsent[] = "%-";
const char kHex[] = "0123456789ABCDEF";
constexpr int kFieldCount = 6;

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '%';
}

void AppendEscaped(const RecordedField& field, std::string* out) {
    if (!field.present) {
        *out += kAbsent;
        return;
    }
    for (char c : field.value) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            *out += '%';
            *out += kHex[byte >> 4];
            *out += kHex[byte & 0xF];
        } else {
            *out += c;
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool Unescape(const std::string& text, RecordedField* field) {
    field->value.clear();
    if (text == kAbsent) {
        field->present = false;
        return true;
    }
    field->present = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte != '%') {
            if (NeedsEscape(byte)) {
                return false;
            }
            field->value += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return false;
        }
        int hi = HexValue(text[i + 1]);
        int lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        field->value += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool IsUidl(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte > 0x7E) {
            return false;
        }
    }
    return true;
}

bool ParseSize(const std::string& text, int64_t* size) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    *size = value;
    return true;
}

bool ParseReason(const std::string& text, SetAsideReason* reason) {
    if (text == "dialog") {
        *reason = SetAsideReason::kDialog;
        return true;
    }
    if (text == "size") {
        *reason = SetAsideReason::kSizeFilter;
        return true;
    }
    return false;
}

bool ParseEntry(const std::string& line, SetAsideEntry* entry) {
    std::string fields[kFieldCount];
    int count = 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        if (count == kFieldCount) {
            return false;
        }
        fields[count++] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (tab == std::string::npos) {
            break;
        }
        start = tab + 1;
    }
    if (count != kFieldCount || !IsUidl(fields[0]) || !ParseReason(fields[1], &entry->reason) ||
        !ParseSize(fields[2], &entry->size) || !Unescape(fields[3], &entry->subject) ||
        !Unescape(fields[4], &entry->from) || !Unescape(fields[5], &entry->date)) {
        return false;
    }
    entry->uidl = fields[0];
    return true;
}

RecordedField FieldOf(const char* header, std::size_t length, const char* name) {
    RecordedField field;
    if (header) {
        field.present = FindRawHeaderField(header, length, name, &field.value);
    }
    return field;
}

void AppendHeaderLine(const char* name, const RecordedField& field, std::string* out) {
    if (field.present) {
        *out += name;
        *out += ": ";
        *out += field.value;
        *out += "\r\n";
    }
}

}  // namespace

std::vector<SetAsideEntry> ParseSetAsideRecord(const std::string& bytes) {
    std::vector<SetAsideEntry> entries;
    std::unordered_map<std::string, std::size_t> seen;
    std::size_t start = 0;
    bool first = true;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        if (lf == std::string::npos) {
            break;  // cut before its line end: not a whole entry
        }
        std::size_t end = lf > start && bytes[lf - 1] == '\r' ? lf - 1 : lf;
        std::string line = bytes.substr(start, end - start);
        start = lf + 1;
        if (first) {
            if (line != kFirstLine) {
                return entries;
            }
            first = false;
            continue;
        }
        SetAsideEntry entry;
        if (ParseEntry(line, &entry) && seen.count(entry.uidl) == 0) {
            seen[entry.uidl] = entries.size();
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::string FormatSetAsideRecord(const std::vector<SetAsideEntry>& entries) {
    std::string out = kFirstLine;
    out += "\r\n";
    for (const SetAsideEntry& entry : entries) {
        out += entry.uidl;
        out += '\t';
        out += entry.reason == SetAsideReason::kSizeFilter ? "size" : "dialog";
        out += '\t';
        out += std::to_string(entry.size < 0 ? 0 : entry.size);
        out += '\t';
        AppendEscaped(entry.subject, &out);
        out += '\t';
        AppendEscaped(entry.from, &out);
        out += '\t';
        AppendEscaped(entry.date, &out);
        out += "\r\n";
    }
    return out;
}

SetAsideEntry EntryFromHeader(const std::string& uidl, SetAsideReason reason, int64_t size, const char* header,
                              std::size_t headerLength) {
    SetAsideEntry entry;
    entry.uidl = uidl;
    entry.reason = reason;
    entry.size = size;
    entry.subject = FieldOf(header, headerLength, "Subject");
    entry.from = FieldOf(header, headerLength, "From");
    entry.date = FieldOf(header, headerLength, "Date");
    return entry;
}

std::string HeaderBlockOfEntry(const SetAsideEntry& entry) {
    std::string block;
    AppendHeaderLine("Subject", entry.subject, &block);
    AppendHeaderLine("From", entry.from, &block);
    AppendHeaderLine("Date", entry.date, &block);
    return block;
}

std::unordered_map<std::string, std::size_t> IndexEntries(const std::vector<SetAsideEntry>& entries) {
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        index.emplace(entries[i].uidl, i);
    }
    return index;
}
