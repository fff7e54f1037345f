#pragma once
// The rows of the selection list, made from the scan before the dialog shows
// them: every message the host has not received, in message order, with its
// columns decoded, and how they sort. One row per listed message; the list's
// items point at them by message number.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Columns of the list by index (what anything reading the list by index finds);
// kSelectionColumnOrder gives the order they are shown in.
enum SelectionColumn : int {
    kColumnSubject = 0,
    kColumnSize = 1,
    kColumnFrom = 2,
    kColumnDate = 3,
    kColumnStatus = 4,
    kSelectionColumnCount = 5,
};

// Display order, left to right: Status, From, Subject, Date, Size.
extern const int kSelectionColumnOrder[kSelectionColumnCount];

struct SelectionRow {
    int32_t number = 0;  // message number, 1-based: the item's parameter
    int32_t size = 0;    // from LIST
    bool setAside = false;  // set aside by an earlier command
    bool dated = false;
    int64_t utcSeconds = 0;
    std::wstring subject;
    std::wstring sender;
    std::wstring date;  // local yyyy/mm/dd hh:mm, or the field as written
};

// Rows of every scanned message that is not kReceived, in message order.
std::vector<SelectionRow> BuildSelectionRows();

// Messages of the scan the host has received, which the list does not show.
int32_t CountReceivedMessages();

// The text of a column of a row (the Size column in decimal, no separators).
std::wstring SelectionCellText(const SelectionRow& row, int column);

// A UTC time as local yyyy/mm/dd hh:mm (SystemTimeToTzSpecificLocalTime) in
// zone, or in the system's present zone when zone is null.
std::wstring LocalDateText(int64_t utcSeconds, const TIME_ZONE_INFORMATION* zone);

// Negative, zero or positive as a sorts before, with or after b by column:
// text for subject, sender and status, the time for the date (unreadable dates
// after every readable one), the number for the size; message order on a tie.
int CompareSelectionRows(const SelectionRow& a, const SelectionRow& b, int column);

// The line under the list: what OK will receive, what stays on the server and,
// when hidden is not 0, how many received messages are not shown.
std::wstring SelectionSummaryText(int32_t receiveCount, int64_t receiveBytes, int32_t leaveCount, int32_t hidden);

// The Status column's text for a message set aside earlier.
extern const wchar_t kSetAsideStatusText[];
