#include <gtest/gtest.h>

#include <string>

#include "MailNames.h"
#include "MimeText.h"

namespace {

TEST(MimeText, HeaderValue) {
    const struct {
        const char* line;
        const char* value;
    } cases[] = {
        {"Content-Type: text/plain", "text/plain"},
        {"Content-Type:   text/plain", "text/plain"},   // spaces skipped
        {"Content-Type:\ttext/plain", "\ttext/plain"},  // a tab is not
        {"Content-Type: \t x", "\t x"},
        {"Content-Type:text", "text"},
        {"A::b", ":b"},                                  // the first colon counts
        {"A:", ""},
        {"A:   ", ""},
        {"no colon at all", ""},
        {"", ""},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const char* value = HeaderValue(cases[i].line);
        EXPECT_STREQ(cases[i].value, value) << "case " << i;
        // The value is a position inside the line, never a copy.
        EXPECT_GE(value, cases[i].line) << "case " << i;
        EXPECT_LE(value, cases[i].line + std::string(cases[i].line).size()) << "case " << i;
    }
}

TEST(MimeText, ContentTypeLineIsAPrefixInAnyCase) {
    const struct {
        const char* line;
        bool matches;
    } cases[] = {
        {"Content-Type: a", true},  {"content-type: a", true}, {"CONTENT-TYPE:a", true},
        {"Content-Typex: a", true}, {"Content-Typ: a", false}, {" Content-Type: a", false},
        {"X-Content-Type: a", false}, {"", false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].matches, IsContentTypeLine(cases[i].line)) << "case " << i;
    }
}

TEST(MimeText, ParseBoundary) {
    const struct {
        const char* value;
        const char* boundary;  // null: no boundary
    } cases[] = {
        {"multipart/mixed; boundary=\"abc\"", "abc"},
        {"multipart/mixed;boundary=\"a b;c\"", "a b;c"},
        // The first quoted text after the first ";" wins, whatever its parameter.
        {"multipart/mixed; charset=\"x\"; boundary=\"abc\"", "x"},
        {"multipart/mixed; boundary=abc; other=\"q\"", "q"},
        {"multipart/mixed; boundary=\"abc", "abc"},  // runs to the end
        // Folded headers arrive as one line with the continuation's blank.
        {"multipart/mixed; boundary=\"==x==\" ; junk", "==x=="},
        {"multipart/mixed;  boundary=\"folded\"", "folded"},
        // No double quote after the first ";": the boundary parameter's token.
        {"multipart/mixed; boundary=abc", "abc"},
        {"multipart/digest;boundary=BOUNDARY", "BOUNDARY"},
        {"multipart/mixed; boundary=abc; charset=us-ascii", "abc"},
        {"multipart/mixed; charset=us-ascii; BOUNDARY = abc ", "abc"},
        {"multipart/mixed;\tboundary=abc", "abc"},
        {"multipart/mixed; boundary=abc (a comment)", "abc"},
        {"multipart/mixed; boundary=abc\tnext", "abc"},
        {"multipart/mixed; flag; boundary=x.y-z", "x.y-z"},
        // No boundary at all.
        {"multipart/mixed", nullptr},
        {"multipart/mixed boundary=\"abc\"", nullptr},  // no semicolon
        {"multipart/mixed; charset=us-ascii", nullptr},
        {"multipart/mixed; xboundary=abc", nullptr},
        {"multipart/mixed; boundaryx=abc", nullptr},
        {"multipart/mixed; boundary=", nullptr},
        {"multipart/mixed; boundary=\"\"", nullptr},   // an empty boundary is refused
        {"multipart/mixed; boundary=\"", nullptr},
        {"multipart/mixed;", nullptr},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        Delimiters delimiters;
        delimiters.openDelimiter = "--old";
        delimiters.openDelimiterLength = 5;
        delimiters.closeDelimiter = "--old--";
        delimiters.closeDelimiterLength = 7;
        bool parsed = ParseBoundary(cases[i].value, &delimiters);
        if (!cases[i].boundary) {
            EXPECT_FALSE(parsed) << "case " << i;
            EXPECT_EQ("--old", delimiters.openDelimiter) << "case " << i << ": left alone";
            EXPECT_EQ("--old--", delimiters.closeDelimiter) << "case " << i;
            continue;
        }
        ASSERT_TRUE(parsed) << "case " << i;
        std::string open = std::string("--") + cases[i].boundary;
        EXPECT_EQ(cases[i].boundary, delimiters.Boundary()) << "case " << i;
        EXPECT_EQ(open, delimiters.openDelimiter) << "case " << i;
        EXPECT_EQ(static_cast<int32_t>(open.size()), delimiters.openDelimiterLength) << "case " << i;
        EXPECT_EQ(open + "--", delimiters.closeDelimiter) << "case " << i;
        EXPECT_EQ(static_cast<int32_t>(open.size() + 2), delimiters.closeDelimiterLength) << "case " << i;
    }
}

TEST(MimeText, TypeOfMultipart) {
    const struct {
        const char* value;
        const char* boundary;
        MailType type;
    } cases[] = {
        {"multipart/mixed; b", "abc", kMailMultipartMixed},
        {"MULTIPART/MIXED; b", "abc", kMailMultipartMixed},
        {"multipart/mixed; b", "***kiritorisen***", kMailNotSplit},
        {"Multipart/Mixed; b", "***kiritorisen***", kMailNotSplit},
        {"multipart/mixed; b", "***KIRITORISEN***", kMailMultipartMixed},  // case-sensitive
        {"multipart/mixed; b", "***kiritorisen***x", kMailMultipartMixed},  // exact
        {"multipart/digest; b", "***kiritorisen***", kMailMultipartDigest},
        {"multipart/Digest; b", "abc", kMailMultipartDigest},
        {"multipart/alternative; b", "abc", kMailNotSplit},
        {"multipart/report; b", "abc", kMailNotSplit},
        {"multipart/related; b", "abc", kMailNotSplit},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        Delimiters delimiters;
        delimiters.openDelimiter = std::string("--") + cases[i].boundary;
        delimiters.openDelimiterLength = static_cast<int32_t>(delimiters.openDelimiter.size());
        delimiters.closeDelimiter = delimiters.openDelimiter + "--";
        delimiters.closeDelimiterLength = delimiters.openDelimiterLength + 2;
        EXPECT_EQ(cases[i].type, TypeOfMultipart(cases[i].value, delimiters)) << "case " << i;
    }
}

TEST(MimeText, DelimiterLines) {
    Delimiters delimiters;
    ASSERT_TRUE(ParseBoundary("multipart/digest; boundary=\"abc\"", &delimiters));
    const struct {
        const char* line;
        bool open;
        bool close;
    } cases[] = {
        {"--abc", true, false},
        {"--abc--", true, true},  // the walk tests the close delimiter first
        {"--ABC", true, false},
        {"--AbC--", true, true},
        {"--abc   ", true, false},
        {"--abc trailing text", true, false},
        {"--abc-- trailing", true, true},
        {"--abc-", true, false},
        {"--abcd", true, false},  // recognised by its beginning
        {"--ab", false, false},
        {"-abc", false, false},
        {" --abc", false, false},
        {"abc", false, false},
        {"", false, false},
        {"-", false, false},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].open, IsOpenDelimiterLine(cases[i].line, delimiters)) << "case " << i;
        EXPECT_EQ(cases[i].close, IsCloseDelimiterLine(cases[i].line, delimiters)) << "case " << i;
    }
    Delimiters none;
    EXPECT_FALSE(IsOpenDelimiterLine("--", none));
    EXPECT_FALSE(IsCloseDelimiterLine("----", none));
}

TEST(MailNames, FromPaths) {
    const struct {
        const char* path;
        const char* mailName;  // null: refused
        const char* trash;
        const char* inbox;
    } cases[] = {
        {"D:\\Mail\\Account2\\inbox.box\\00000042.qnl", "Account2\\inbox.box\\00000042", "Account2\\trash.box",
         "Account2\\inbox.box"},
        // The qualifying component nearest to the file name counts.
        {"E:\\Account\\store\\Account3\\inbox.box\\x.qnl", "Account3\\inbox.box\\x", "Account3\\trash.box",
         "Account3\\inbox.box"},
        {"C:\\m\\ACCOUNT7\\inbox.box\\1.qnl", "ACCOUNT7\\inbox.box\\1", "ACCOUNT7\\trash.box", "ACCOUNT7\\inbox.box"},
        {"C:\\m\\Accounts\\trash.box\\1.qnl", "Accounts\\trash.box\\1", "Accounts\\trash.box", "Accounts\\inbox.box"},
        {"C:\\m\\account\\inbox.box\\1.qnl", "account\\inbox.box\\1", "account\\trash.box", "account\\inbox.box"},
        {"C:\\m\\Account1\\1.qnl", "Account1\\1", "Account1\\trash.box", "Account1\\inbox.box"},
        {"C:\\m\\Account1\\inbox.box\\a.b.qnl", "Account1\\inbox.box\\a.b", "Account1\\trash.box",
         "Account1\\inbox.box"},
        {"\\\\server\\share\\Account9\\inbox.box\\7.qnl", "Account9\\inbox.box\\7", "Account9\\trash.box",
         "Account9\\inbox.box"},
        // Shift_JIS names: 0x5C trail bytes of ソ and 表 are not backslashes.
        {"D:\\メール\\Account1\\表\\1.qnl", "Account1\\表\\1", "Account1\\trash.box", "Account1\\inbox.box"},
        {"D:\\m\\Account表\\inbox.box\\1.qnl", "Account表\\inbox.box\\1", "Account表\\trash.box",
         "Account表\\inbox.box"},
        {"C:\\ソAccount\\x\\1.qnl", nullptr, nullptr, nullptr},
        // Refused: no account directory, the file name is no directory, no extension.
        {"C:\\Mail\\inbox.box\\1.qnl", nullptr, nullptr, nullptr},
        {"C:\\Mail\\Account2.qnl", nullptr, nullptr, nullptr},
        {"C:\\Mail\\Account2\\inbox.box\\00000042", nullptr, nullptr, nullptr},
        {"C:\\Mail\\Account2.d\\inbox\\1", nullptr, nullptr, nullptr},
        {"Account2\\inbox.box\\1.qnl", nullptr, nullptr, nullptr},
        {"1.qnl", nullptr, nullptr, nullptr},
        {"", nullptr, nullptr, nullptr},
        {"C:\\MyAccount\\inbox.box\\1.qnl", nullptr, nullptr, nullptr},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailNames names;
        names.mailName = "untouched";
        bool derived = DeriveMailNames(cases[i].path, &names);
        if (!cases[i].mailName) {
            EXPECT_FALSE(derived) << "case " << i;
            EXPECT_EQ("untouched", names.mailName) << "case " << i;
            continue;
        }
        ASSERT_TRUE(derived) << "case " << i;
        EXPECT_EQ(cases[i].mailName, names.mailName) << "case " << i;
        EXPECT_EQ(cases[i].trash, names.trashFolder) << "case " << i;
        EXPECT_EQ(cases[i].inbox, names.inboxFolder) << "case " << i;
    }
    MailNames names;
    EXPECT_FALSE(DeriveMailNames(nullptr, &names));
}

}  // namespace
