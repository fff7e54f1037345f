#include "MailDate.h"

namespace {

struct Cursor {
    const char* p;
    const char* end;
};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Blanks, line breaks and comments (nested, with escapes).
void SkipSpaceAndComments(Cursor* c) {
    while (c->p < c->end) {
        const char ch = *c->p;
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
            ++c->p;
            continue;
        }
        if (ch != '(') {
            return;
        }
        int depth = 0;
        while (c->p < c->end) {
            const char inner = *c->p++;
            if (inner == '\\' && c->p < c->end) {
                ++c->p;
            } else if (inner == '(') {
                ++depth;
            } else if (inner == ')' && --depth == 0) {
                break;
            }
        }
    }
}

// A run of up to maxDigits digits (more is an error); its count in *digits.
bool ReadNumber(Cursor* c, int maxDigits, int32_t* value, int* digits) {
    SkipSpaceAndComments(c);
    int count = 0;
    int32_t number = 0;
    while (c->p < c->end && IsDigit(*c->p)) {
        if (++count > maxDigits) {
            return false;
        }
        number = number * 10 + (*c->p - '0');
        ++c->p;
    }
    *value = number;
    if (digits) {
        *digits = count;
    }
    return count > 0;
}

// A run of letters, lower-cased, at most 15 kept.
int ReadWord(Cursor* c, char* word, int room) {
    SkipSpaceAndComments(c);
    int count = 0;
    while (c->p < c->end && IsLetter(*c->p)) {
        if (count < room - 1) {
            word[count] = LowerAscii(*c->p);
        }
        ++count;
        ++c->p;
    }
    word[count < room - 1 ? count : room - 1] = '\0';
    return count;
}

bool Punctuation(Cursor* c, char expected) {
    SkipSpaceAndComments(c);
    if (c->p < c->end && *c->p == expected) {
        ++c->p;
        return true;
    }
    return false;
}

bool SameStart(const char* word, const char* name) {
    return word[0] == name[0] && word[1] == name[1] && word[2] == name[2];
}

// 1 to 12 for a month name (its first three letters, or the whole English name).
int32_t MonthNumber(const char* word, int length) {
    static const char* const kMonths[] = {"january", "february", "march", "april", "may", "june",
                                          "july", "august", "september", "october", "november", "december"};
    if (length < 3) {
        return 0;
    }
    for (int32_t m = 0; m < 12; ++m) {
        if (SameStart(word, kMonths[m])) {
            return m + 1;
        }
    }
    return 0;
}

bool IsDayName(const char* word, int length) {
    static const char* const kDays[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    if (length < 3) {
        return false;
    }
    for (const char* day : kDays) {
        if (SameStart(word, day)) {
            return true;
        }
    }
    return false;
}

// Minutes east of UTC of a zone name; unknown names, military letters
// included, count as UTC.
int32_t ZoneNameOffset(const char* word) {
    struct Zone {
        const char* name;
        int32_t minutes;
    };
    static const Zone kZones[] = {
        {"ut", 0},           {"gmt", 0},         {"utc", 0},         {"est", -5 * 60}, {"edt", -4 * 60},
        {"cst", -6 * 60},    {"cdt", -5 * 60},   {"mst", -7 * 60},   {"mdt", -6 * 60}, {"pst", -8 * 60},
        {"pdt", -7 * 60},    {"jst", 9 * 60},
    };
    for (const Zone& zone : kZones) {
        const char* a = word;
        const char* b = zone.name;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == '\0' && *b == '\0') {
            return zone.minutes;
        }
    }
    return 0;
}

bool IsLeapYear(int32_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t DaysInMonth(int32_t year, int32_t month) {
    static const int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a civil date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int32_t year, int32_t month, int32_t day) {
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool ReadZone(Cursor* c, int32_t* minutesEast) {
    SkipSpaceAndComments(c);
    *minutesEast = 0;
    if (c->p >= c->end) {
        return true;  // no zone at all: read as UTC, like an unknown one
    }
    if (*c->p == '+' || *c->p == '-') {
        const bool west = *c->p == '-';
        ++c->p;
        int digits = 0;
        int32_t hhmm = 0;
        if (!ReadNumber(c, 4, &hhmm, &digits) || digits != 4 || hhmm % 100 > 59) {
            return false;
        }
        const int32_t minutes = (hhmm / 100) * 60 + hhmm % 100;
        *minutesEast = west ? -minutes : minutes;
        return true;
    }
    char word[16];
    if (ReadWord(c, word, sizeof word) == 0) {
        return false;
    }
    *minutesEast = ZoneNameOffset(word);
    return true;
}

}  // namespace

bool ParseMailDate(const char* value, std::size_t length, int64_t* utcSeconds) {
    Cursor c{value, value + length};
    char word[16];
    SkipSpaceAndComments(&c);
    if (c.p < c.end && IsLetter(*c.p)) {
        if (!IsDayName(word, ReadWord(&c, word, sizeof word))) {
            return false;
        }
        Punctuation(&c, ',');
    }
    int32_t day = 0;
    int32_t year = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int yearDigits = 0;
    if (!ReadNumber(&c, 2, &day, nullptr)) {
        return false;
    }
    const int monthLength = ReadWord(&c, word, sizeof word);
    const int32_t month = MonthNumber(word, monthLength);
    if (month == 0 || !ReadNumber(&c, 4, &year, &yearDigits)) {
        return false;
    }
    if (yearDigits == 2) {
        year += year < 50 ? 2000 : 1900;
    } else if (yearDigits == 3) {
        year += 1900;
    }
    if (!ReadNumber(&c, 2, &hour, nullptr) || !Punctuation(&c, ':') || !ReadNumber(&c, 2, &minute, nullptr)) {
        return false;
    }
    if (Punctuation(&c, ':') && !ReadNumber(&c, 2, &second, nullptr)) {
        return false;
    }
    int32_t zone = 0;
    if (!ReadZone(&c, &zone)) {
        return false;
    }
    if (year < 1601 || year > 9999 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 60) {
        return false;
    }
    if (second == 60) {
        second = 59;
    }
    const int64_t local = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    *utcSeconds = local - static_cast<int64_t>(zone) * 60;
    return true;
}

CivilTime CivilFromUtcSeconds(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // H. Hinnant's civil_from_days.
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    CivilTime time;
    time.year = static_cast<int32_t>(year);
    time.month = static_cast<int32_t>(month);
    time.day = static_cast<int32_t>(day);
    time.hour = static_cast<int32_t>(rest / 3600);
    time.minute = static_cast<int32_t>(rest % 3600 / 60);
    time.second = static_cast<int32_t>(rest % 60);
    return time;
}
