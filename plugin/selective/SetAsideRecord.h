#pragma once
// Pikuno's own record of the messages it set aside for one account, kept in the
// account's folder beside the host's uidl file: for every message its UIDL, why
// it was set aside, its size, and the header fields the list shows, as the
// server sent them. Only the text format lives here; pure byte work, free of
// <windows.h>, so that it runs and is fuzzed natively.
//
// The file is text, lines ending in CR LF (LF alone is read too):
//     Pikuno set-aside record 1
//     <uidl> TAB <why> TAB <size> TAB <subject> TAB <from> TAB <date>
// why is "dialog" or "size"; size is decimal bytes. The three header fields are
// unfolded and undecoded; in them '%', the control bytes and DEL are written as
// %XX (two upper-case hex digits), and a field the header did not have is "%-".

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The record's file name in the account folder.
extern const char kSetAsideRecordName[];

enum class SetAsideReason { kDialog, kSizeFilter };

// A header field as stored: absent, or its raw value (which may be empty).
struct RecordedField {
    bool present = false;
    std::string value;
};

struct SetAsideEntry {
    std::string uidl;
    SetAsideReason reason = SetAsideReason::kDialog;
    int64_t size = 0;
    RecordedField subject;
    RecordedField from;
    RecordedField date;
};

// The entries of a record file. A file that does not begin with the record's
// first line holds none; a line that is not a whole entry (the wrong number of
// fields, an unknown reason, a size or an escape that does not read, a UIDL
// outside 0x21..0x7E, a last line cut before its line end) is left out, and
// so is a UIDL that an earlier line named. Nothing here fails: the worst a
// damaged file does is forget what it held.
std::vector<SetAsideEntry> ParseSetAsideRecord(const std::string& bytes);

// The file for entries, in their order.
std::string FormatSetAsideRecord(const std::vector<SetAsideEntry>& entries);

// The fields of a header block (as FindRawHeaderField reads them) and a size,
// into an entry for uidl.
SetAsideEntry EntryFromHeader(const std::string& uidl, SetAsideReason reason, int64_t size, const char* header,
                              std::size_t headerLength);

// The header block the list reads for a message shown from the record:
// "Subject: <raw>\r\nFrom: <raw>\r\nDate: <raw>\r\n", the absent fields left out.
std::string HeaderBlockOfEntry(const SetAsideEntry& entry);

// UIDL -> index into entries.
std::unordered_map<std::string, std::size_t> IndexEntries(const std::vector<SetAsideEntry>& entries);
