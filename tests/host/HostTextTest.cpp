// Text handling of the host: JIS conversions, header decoding for the mail list,
// script lines, menu texts and the command line.

#include <gtest/gtest.h>

#include "HostOptions.h"
#include "JisConvert.h"
#include "MailSummary.h"
#include "Script.h"

namespace {

TEST(JisConvertTest, RoundTrips) {
    struct Case {
        const char* sjis;
        const char* jis;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"日本語", "\x1b$BF|K\\8l\x1b(B"},
        {"ソ表", "\x1b$B%=I=\x1b(B"},  // trail byte 0x5C
        {"ﾀﾞｲｱﾛｸﾞ", "\x1b(I@^21[8^\x1b(B"},
        {"aあb", "a\x1b$B$\"\x1b(Bb"},
        {"漢\r\n字", "\x1b$B4A\x1b(B\r\n\x1b$B;z\x1b(B"},
        {"\xEA\xA4", "\x1b$Bt&\x1b(B"},  // the last JIS X 0208 character (row 84)
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].jis, SjisToJis(cases[i].sjis)) << "case " << i;
        EXPECT_EQ(cases[i].sjis, JisToSjis(cases[i].jis)) << "case " << i;
    }
}

TEST(JisConvertTest, OtherEscapesAndShiftOut) {
    EXPECT_EQ("日本", JisToSjis("\x1b$@F|K\\\x1b(J"));
    EXPECT_EQ("ｱ", JisToSjis("\x0e\x31\x0f"));
    EXPECT_EQ("x", JisToSjis("x\x1b$B"));
    EXPECT_EQ("\x81", SjisToJis("\x81")) << "a lone lead byte stays";
}

TEST(MailSummaryTest, DecodesTheListedFields) {
    struct Case {
        const char* mail;
        const char* subject;
        const char* from;
    } cases[] = {
        {"Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\nFrom: a@b\r\n\r\nbody", "日本語", "a@b"},
        {"subject: =?iso-2022-jp?B?GyRCRnwbKEI=?=\r\n =?iso-2022-jp?B?GyRCS1wbKEI=?=\r\n\r\n", "日本", ""},
        {"Subject: =?Shift_JIS?Q?=93=FA?=x\r\n\r\n", "日x", ""},
        {"Subject: plain text\nFrom: \"x\" <y@z>\n\nbody", "plain text", "\"x\" <y@z>"},
        {"From: only\r\n\r\nSubject: in the body\r\n", "", "only"},
        {"Subject:\x1b$BF|\x1b(B\r\n\r\n", "日", ""},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        MailSummary summary = SummarizeMail(cases[i].mail);
        EXPECT_EQ(cases[i].subject, summary.subject) << "case " << i;
        EXPECT_EQ(cases[i].from, summary.from) << "case " << i;
    }
}

TEST(ScriptTest, SplitsWordsAndQuotedWords) {
    struct Case {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"menu 選択受信", {"menu", "選択受信"}},
        {"  dialog \"a b\"  tick 1,3 ok\r", {"dialog", "a b", "tick", "1,3", "ok"}},
        {"echo \"\"", {"echo", ""}},
        {"echo \"open", {"echo", "open"}},
        {"", {}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].words, SplitScriptLine(cases[i].line)) << "case " << i;
    }
}

TEST(ScriptTest, LinesWithoutCommentsAndBlankLines) {
    EXPECT_EQ((std::vector<std::string>{"a", "b c"}), ScriptLines("# note\r\na\r\n\r\n   \n  b c\n#x"));
}

TEST(ScriptTest, Utf8ScriptsBecomeShiftJis) {
    EXPECT_EQ("選択受信", ScriptTextToAnsi("\xE9\x81\xB8\xE6\x8A\x9E\xE5\x8F\x97\xE4\xBF\xA1"));
    EXPECT_EQ("選択受信", ScriptTextToAnsi("選択受信")) << "Shift_JIS stays";
    EXPECT_EQ("ﾀﾞｲｱﾛｸﾞ", ScriptTextToAnsi("ﾀﾞｲｱﾛｸﾞ"));
    EXPECT_EQ("ascii", ScriptTextToAnsi("ascii"));
}

TEST(ScriptTest, PlainMenuText) {
    struct Case {
        const char* item;
        const char* plain;
    } cases[] = {
        {"受信(&R)", "受信"},
        {"プラグインの設定(&S)...", "プラグインの設定"},
        {"選択受信", "選択受信"},
        {"&Open\tCtrl+O", "Open"},
        {"ダイジェストメール分割", "ダイジェストメール分割"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].plain, PlainMenuText(cases[i].item)) << "case " << i;
    }
}

TEST(HostOptionsTest, CommandLines) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"C:\\box", "--plugin", "p.dll", "--do", "list", "--do", "receive", "--utf8",
                                  "--unexpected-ms", "500"},
                                 &options, &error));
    EXPECT_EQ("C:\\box", options.mailbox);
    EXPECT_EQ("p.dll", options.plugin);
    EXPECT_TRUE(options.pluginGiven);
    EXPECT_EQ((std::vector<std::string>{"list", "receive"}), options.commands);
    EXPECT_TRUE(options.utf8);
    EXPECT_EQ(500u, options.unexpectedMs);
    EXPECT_TRUE(options.NonInteractive());
    EXPECT_EQ(-1, options.refuseImportAfter);
    const struct {
        const char* count;
        int parsed;
    } refusals[] = {{"0", 0}, {"3", 3}};
    for (size_t i = 0; i < sizeof refusals / sizeof refusals[0]; ++i) {
        HostOptions refusing;
        ASSERT_TRUE(ParseHostOptions({"--refuse-import-after", refusals[i].count}, &refusing, &error)) << "case " << i;
        EXPECT_EQ(refusals[i].parsed, refusing.refuseImportAfter) << "case " << i;
    }

    struct Bad {
        std::vector<std::string> args;
    } bad[] = {{{"--plugin"}}, {{"--bogus"}}, {{"a", "b"}}, {{"--unexpected-ms", "0"}},
               {{"--refuse-import-after"}}, {{"--refuse-import-after", "-1"}}, {{"--refuse-import-after", "2x"}},
               {{"--refuse-import-after", ""}}};
    for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
        HostOptions other;
        EXPECT_FALSE(ParseHostOptions(bad[i].args, &other, &error)) << "case " << i;
        EXPECT_FALSE(error.empty()) << "case " << i;
    }
    HostOptions plain;
    ASSERT_TRUE(ParseHostOptions({}, &plain, &error));
    EXPECT_FALSE(plain.NonInteractive());
}

}  // namespace
