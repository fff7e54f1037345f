// The texts the filter page works with: the current account's directory name from
// the account path, the size field, and the library's message box title.

#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "AccountPath.h"
#include "LibraryState.h"

namespace {

TEST(CurrentAccountName, LastComponentAfterTheFirst) {
    struct Case {
        const char* path;
        const char* expected;  // null: none
    } cases[] = {
        {"C:\\Quenla\\Account1\\", "Account1"},
        {"C:\\Quenla\\Account1", "Account1"},
        {"C:\\Account2\\", "Account2"},
        {"\\\\server\\share\\AccountX\\", "AccountX"},
        {"C:\\\\Quenla\\\\Account3\\\\", "Account3"},  // empty components are passed over
        {"Account1", nullptr},                           // a single component
        {"Account1\\", nullptr},
        {"\\Account1\\", nullptr},
        {"", nullptr},
        {"\\\\\\", nullptr},
        // 0x5C as the second byte of a double-byte character is no separator.
        {"C:\\メール\\Accountソ\\", "Accountソ"},
        {"C:\\表\\", "表"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        char buffer[260];
        memset(buffer, 0xcc, sizeof buffer);
        bool found = CurrentAccountName(cases[i].path, buffer, sizeof buffer);
        EXPECT_EQ(cases[i].expected != nullptr, found) << "case " << i;
        EXPECT_STREQ(cases[i].expected ? cases[i].expected : "", buffer) << "case " << i;
    }
    char buffer[8];
    EXPECT_FALSE(CurrentAccountName(nullptr, buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST(CurrentAccountName, RefusesANameThatDoesNotFit) {
    // "Account1" needs 9 bytes.
    char exact[9];
    memset(exact, 0xcc, sizeof exact);
    EXPECT_TRUE(CurrentAccountName("C:\\Account1\\", exact, sizeof exact));
    EXPECT_STREQ("Account1", exact);
    char small[8];
    memset(small, 0xcc, sizeof small);
    EXPECT_FALSE(CurrentAccountName("C:\\Account1\\", small, sizeof small));
    EXPECT_EQ('\0', small[0]);
}

TEST(ParseSizeText, DigitsOnlyWithinTheSignedRange) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"1000", true, 1000},
        {"0", true, 0},
        {"007", true, 7},
        {"  42\t", true, 42},
        {"1001", true, 1001},
        {"2147483647", true, 2147483647u},
        {"2147483648", false, 0},  // the file holds a signed decimal
        {"4294967295", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"-1", false, 0},
        {"+1", false, 0},
        {"1,000", false, 0},
        {"12 34", false, 0},
        {"12a", false, 0},
        {"１２", false, 0},  // full-width digits
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        uint32_t value = 0xcccccccc;
        EXPECT_EQ(cases[i].ok, ParseSizeText(cases[i].text, &value)) << "case " << i;
        if (cases[i].ok) {
            EXPECT_EQ(cases[i].value, value) << "case " << i;
        } else {
            EXPECT_EQ(0xccccccccu, value) << "case " << i << ": a refused text leaves the value alone";
        }
    }
    EXPECT_FALSE(ParseSizeText(nullptr, nullptr));
}

TEST(LibraryState, TitleIsTheFileNameWithoutExtension) {
    // Linked into this test program, the library's module is the program itself.
    SetLibraryModule(nullptr);
    char title[64];
    memset(title, 0xcc, sizeof title);
    LibraryTitle(title, sizeof title);
    EXPECT_STREQ("test_sheet_text", title);
    char small[5];
    memset(small, 0xcc, sizeof small);
    LibraryTitle(small, sizeof small);
    EXPECT_STREQ("test", small);
}

}  // namespace
