// How the selection list sorts its rows and what the line under it says: by
// column, with message order on a tie, without a dialog.

#include "SelectionRows.h"

#include <gtest/gtest.h>

namespace {

SelectionRow Row(int32_t number, const wchar_t* subject, const wchar_t* sender, bool dated, int64_t time,
                 int32_t size, bool setAside) {
    SelectionRow row;
    row.number = number;
    row.subject = subject;
    row.sender = sender;
    row.dated = dated;
    row.utcSeconds = time;
    row.date = dated ? L"" : L"someday";
    row.size = size;
    row.setAside = setAside;
    return row;
}

int Sign(int value) {
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

TEST(SelectionRows, CompareByColumn) {
    struct Case {
        SelectionRow a;
        SelectionRow b;
        int column;
        int order;  // -1: a first, 1: b first
    };
    const Case cases[] = {
        {Row(1, L"b", L"", false, 0, 10, false), Row(2, L"A", L"", false, 0, 10, false), kColumnSubject, 1},
        {Row(1, L"same", L"", false, 0, 10, false), Row(2, L"SAME", L"", false, 0, 10, false), kColumnSubject, -1},
        {Row(2, L"same", L"", false, 0, 10, false), Row(1, L"same", L"", false, 0, 10, false), kColumnSubject, 1},
        {Row(1, L"", L"\u3042\u3044", false, 0, 1, false), Row(2, L"", L"\u3042", false, 0, 1, false), kColumnFrom, 1},
        {Row(1, L"", L"", false, 0, 900, false), Row(2, L"", L"", false, 0, 1000, false), kColumnSize, -1},
        {Row(1, L"", L"", false, 0, 100000, false), Row(2, L"", L"", false, 0, 99999, false), kColumnSize, 1},
        {Row(1, L"", L"", true, 2000, 1, false), Row(2, L"", L"", true, 1000, 1, false), kColumnDate, 1},
        {Row(1, L"", L"", false, 0, 1, false), Row(2, L"", L"", true, 1000, 1, false), kColumnDate, 1},
        {Row(1, L"", L"", true, -5, 1, false), Row(2, L"", L"", false, 0, 1, false), kColumnDate, -1},
        {Row(1, L"", L"", false, 0, 1, true), Row(2, L"", L"", false, 0, 1, false), kColumnStatus, 1},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(c.order, Sign(CompareSelectionRows(c.a, c.b, c.column))) << "case " << i;
        EXPECT_EQ(-c.order, Sign(CompareSelectionRows(c.b, c.a, c.column))) << "case " << i << ", reversed";
    }
}

TEST(SelectionRows, CellsAndSummary) {
    const SelectionRow row = Row(7, L"s", L"f", false, 0, 12345, true);
    EXPECT_TRUE(SelectionCellText(row, kColumnSize) == L"12345");
    EXPECT_TRUE(SelectionCellText(row, kColumnStatus) == L"\u524d\u56de\u4fdd\u7559");
    EXPECT_TRUE(SelectionCellText(row, kColumnDate) == L"someday");
    EXPECT_TRUE(SelectionSummaryText(1234, 1234567890123LL, 0, 1980) ==
                L"\u53d7\u4fe1\u3059\u308b: 1,234 \u901a (1,234,567,890,123 \u30d0\u30a4\u30c8)\u3000"
                L"\u30b5\u30fc\u30d0\u30fc\u306b\u6b8b\u3059: 0 \u901a\u3000"
                L"\u53d7\u4fe1\u6e08\u307f 1,980 \u901a\u306f\u8868\u793a\u3057\u3066\u3044\u307e\u305b\u3093");
}

}  // namespace
