#include "SelectionRows.h"

#include <cstring>

#include "BoundedText.h"
#include "HeaderColumns.h"
#include "MailDate.h"
#include "MailboxScan.h"
#include "Pop3Session.h"

const int kSelectionColumnOrder[kSelectionColumnCount] = {kColumnStatus, kColumnFrom, kColumnSubject, kColumnDate,
                                                         kColumnSize};
const wchar_t kSetAsideStatusText[] = L"前回保留";

namespace {

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring AsciiWide(const char* text) {
    std::wstring wide;
    for (const char* p = text; *p; ++p) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    }
    return wide;
}

// 1,234,567
std::wstring WithSeparators(int64_t value) {
    const bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::wstring reversed;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) {
            reversed.push_back(L',');
        }
        reversed.push_back(static_cast<wchar_t>(L'0' + magnitude % 10));
        magnitude /= 10;
        ++digits;
    } while (magnitude > 0);
    if (negative) {
        reversed.push_back(L'-');
    }
    return std::wstring(reversed.rbegin(), reversed.rend());
}

int CompareText(const std::wstring& a, const std::wstring& b) {
    // The user's own order, case and width ignored: what a user sorting names expects.
    int order = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE,
                               a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()));
    return order == 0 ? a.compare(b) : order - CSTR_EQUAL;
}

int CompareNumbers(int64_t a, int64_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

std::vector<SelectionRow> BuildSelectionRows() {
    std::vector<SelectionRow> rows;
    if (!gScanTable) {
        return rows;
    }
    rows.reserve(static_cast<std::size_t>(gMessageCount));
    // Read once: asked for every row, the system reads the zone from the
    // registry each time (a quarter of a second for 2,000 rows under Wine).
    TIME_ZONE_INFORMATION zoneData = {};
    const TIME_ZONE_INFORMATION* zone =
        GetTimeZoneInformation(&zoneData) != TIME_ZONE_ID_INVALID ? &zoneData : nullptr;
    for (int32_t n = 1; n <= gMessageCount; ++n) {
        const ScannedMessage& message = gScanTable[n - 1];
        if (message.kind == MessageKind::kReceived) {
            continue;
        }
        const char* header = message.header;
        const HeaderColumns columns = ReadHeaderColumns(header, header ? std::strlen(header) : 0);
        SelectionRow row;
        row.number = n;
        row.size = gSizeTable ? gSizeTable[n - 1] : 0;
        row.setAside = message.kind == MessageKind::kSetAside;
        row.subject = Wide(columns.subject);
        row.sender = Wide(columns.sender);
        row.dated = columns.dated;
        row.utcSeconds = columns.utcSeconds;
        row.date = columns.dated ? LocalDateText(columns.utcSeconds, zone) : Wide(columns.dateText);
        rows.push_back(std::move(row));
    }
    return rows;
}

int32_t CountReceivedMessages() {
    int32_t count = 0;
    for (int32_t n = 1; gScanTable && n <= gMessageCount; ++n) {
        count += gScanTable[n - 1].kind == MessageKind::kReceived ? 1 : 0;
    }
    return count;
}

std::wstring SelectionCellText(const SelectionRow& row, int column) {
    switch (column) {
    case kColumnSubject:
        return row.subject;
    case kColumnSize: {
        char size[16];
        text::Format(size, sizeof size, "%d", static_cast<int>(row.size));
        return AsciiWide(size);
    }
    case kColumnFrom:
        return row.sender;
    case kColumnDate:
        return row.date;
    case kColumnStatus:
        return row.setAside ? kSetAsideStatusText : L"";
    default:
        return L"";
    }
}

std::wstring LocalDateText(int64_t utcSeconds, const TIME_ZONE_INFORMATION* zone) {
    const CivilTime civil = CivilFromUtcSeconds(utcSeconds);
    SYSTEMTIME utc = {};
    utc.wYear = static_cast<WORD>(civil.year);
    utc.wMonth = static_cast<WORD>(civil.month);
    utc.wDay = static_cast<WORD>(civil.day);
    utc.wHour = static_cast<WORD>(civil.hour);
    utc.wMinute = static_cast<WORD>(civil.minute);
    utc.wSecond = static_cast<WORD>(civil.second);
    SYSTEMTIME local = utc;
    if (!SystemTimeToTzSpecificLocalTime(const_cast<TIME_ZONE_INFORMATION*>(zone), &utc, &local)) {
        local = utc;  // no zone to convert with: UTC is still the right day and time somewhere
    }
    char text[32];
    text::Format(text, sizeof text, "%04u/%02u/%02u %02u:%02u", static_cast<unsigned>(local.wYear),
                 static_cast<unsigned>(local.wMonth), static_cast<unsigned>(local.wDay),
                 static_cast<unsigned>(local.wHour), static_cast<unsigned>(local.wMinute));
    return AsciiWide(text);
}

int CompareSelectionRows(const SelectionRow& a, const SelectionRow& b, int column) {
    int order = 0;
    switch (column) {
    case kColumnSubject:
        order = CompareText(a.subject, b.subject);
        break;
    case kColumnSize:
        order = CompareNumbers(a.size, b.size);
        break;
    case kColumnFrom:
        order = CompareText(a.sender, b.sender);
        break;
    case kColumnDate:
        if (a.dated != b.dated) {
            order = a.dated ? -1 : 1;
        } else {
            order = a.dated ? CompareNumbers(a.utcSeconds, b.utcSeconds) : CompareText(a.date, b.date);
        }
        break;
    case kColumnStatus:
        order = CompareNumbers(a.setAside ? 1 : 0, b.setAside ? 1 : 0);
        break;
    default:
        break;
    }
    return order != 0 ? order : CompareNumbers(a.number, b.number);
}

std::wstring SelectionSummaryText(int32_t receiveCount, int64_t receiveBytes, int32_t leaveCount, int32_t hidden) {
    std::wstring text = L"受信する: " + WithSeparators(receiveCount) + L" 通 (" + WithSeparators(receiveBytes) +
                        L" バイト)　サーバーに残す: " + WithSeparators(leaveCount) + L" 通";
    if (hidden > 0) {
        text += L"　受信済み " + WithSeparators(hidden) + L" 通は表示していません";
    }
    return text;
}
