// The reporter's text routines: searches, padding, number texts and lists, with the edge cases
// their callers rely on.
#include "crashreport/logic/VostStrings.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

TEST(VostStrings, TrimReplaceAndCut)
{
    struct {
        std::string In, Out;
    } trims[] = {{" \t a b \r\n", "a b"}, {" \t \t", ""}, {"", ""}, {std::string("\0x\x1f", 3), "x"}, {"x", "x"}};
    for (auto& c : trims) {
        std::string s = c.In;
        TrimText(s);
        EXPECT_EQ(s, c.Out) << c.In;
        EXPECT_EQ(TrimTextCopy(c.In), c.Out);
    }

    struct {
        std::string Text, Old, New;
        bool IgnoreCase, All;
        std::string Out;
        bool Found;
    } replaces[] = {
        {"aXbXc", "X", "--", false, true, "a--b--c", true},
        {"aXbXc", "X", "--", false, false, "a--bXc", true},
        {"aXbxc", "x", "_", true, true, "a_b_c", true},
        {"aXbxc", "x", "_", false, true, "aXb_c", true},
        {"aaa", "a", "aa", false, true, "aaaaaa", true}, // a replacement is never searched again
        {"abc", "zz", "y", false, true, "abc", false},
        {"abc", "", "y", false, true, "abc", false},
        {"ÄÖ", "ä", "a", true, true, "ÄÖ", false}, // folding is ASCII only: UTF-8 stays intact
    };
    for (auto& c : replaces) {
        std::string s = c.Text;
        EXPECT_EQ(ReplaceSub(s, c.Old, c.New, c.IgnoreCase, c.All), c.Found) << c.Text << " " << c.Old;
        EXPECT_EQ(s, c.Out) << c.Text << " " << c.Old;
    }
    std::string s = "a1b2c3";
    EXPECT_TRUE(RemoveChars(s, MakeCharSet("123")));
    EXPECT_EQ(s, "abc");
    EXPECT_FALSE(RemoveChars(s, MakeCharSet("9")));

    EXPECT_EQ(DeleteCopy("abcdef", 2, 3), "aef");
    EXPECT_EQ(DeleteCopy("abcdef", 5, 10), "abcd");
    EXPECT_EQ(DeleteCopy("abc", 9, 1), "abc");
    s = "abcdef";
    KeepRange(s, 2, 3);
    EXPECT_EQ(s, "bcd");
    s = "abc";
    KeepRange(s, 4, 1);
    EXPECT_EQ(s, "");
    EXPECT_EQ(RightPart("abcdef", 2), "ef");
    EXPECT_EQ(RightPart("ab", 5), "ab");
    EXPECT_EQ(RightPart("ab", -1), "");
}

TEST(VostStrings, CaseFoldingIsAsciiOnly)
{
    EXPECT_EQ(UpperText("abz AZ 09 äöü"), "ABZ AZ 09 äöü");
    for (int b : {228, 246, 252, 0xC3, 0xA4})
        EXPECT_EQ((unsigned char)UpperChar(char(b)), b) << "byte " << b << " is part of a UTF-8 sequence";
    EXPECT_EQ(LowerChar('Q'), 'q');
    EXPECT_TRUE(SameTextNoCase("Hello", "hELLO"));
    EXPECT_FALSE(SameTextNoCase("Hello", "Hell"));
    EXPECT_EQ(CompareNoCase("abc", "ABD"), 'c' - 'd');
    EXPECT_EQ(CompareNoCase("abc", "AB"), 1);
    EXPECT_EQ(CompareNoCase("", ""), 0);
    EXPECT_TRUE(StartsWithNoCase("", "x"));
    EXPECT_TRUE(StartsWithNoCase("HE", "hello"));
    EXPECT_TRUE(StartsWithNoCase("hello", "HELLO"));
    EXPECT_FALSE(StartsWithNoCase("helloo", "hello"));
}

TEST(VostStrings, SearchesBothWays)
{
    struct {
        std::string Sub, Text;
        int From, To, Position;
    } cases[] = {
        {"ab", "xabyab", 1, 6, 2},  {"ab", "xabyab", 3, 6, 5},  {"ab", "xabyab", 5, 1, 5},
        {"ab", "xabyab", 4, 1, 2},  {"ab", "xabyab", 6, 6, 0},  {"ab", "xabyab", 0, 6, 0},
        {"ab", "xabyab", 1, 0, 0},  {"", "abc", 1, 3, 0},       {"abcd", "abc", 1, 3, 0},
        {"c", "abc", 1, 99, 3},     {"a", "abc", 99, 1, 1},
    };
    for (auto& c : cases)
        EXPECT_EQ(FindSub(c.Sub, c.Text, c.From, c.To), c.Position) << c.Sub << " in " << c.Text << " " << c.From << ".." << c.To;
    EXPECT_EQ(FindSubNoCase("AB", "xabyab", 5, 1), 5);
    EXPECT_EQ(FindSub("AB", "xabyab", 1, 6), 0);

    EXPECT_EQ(BufferLength("abc"), 3u);
    EXPECT_EQ(BufferLength(nullptr), 0u);
    EXPECT_EQ(FindInBuffer("b", "abcb", 0, 0, 3, false, 0), 1);
    EXPECT_EQ(FindInBuffer("b", "abcb", 0, 3, 0, false, 0), 3);
    EXPECT_EQ(FindInBuffer("B", "abcb", 1, 0, 3, true, 4), 1);
    EXPECT_EQ(FindInBuffer(nullptr, "abc", 1, 0, 3, false, 3), -1);
    EXPECT_EQ(FindInBuffer("a", nullptr, 1, 0, 3, false, 3), -1);
    EXPECT_EQ(FindInBuffer("abcd", "abc", 0, 0, 3, false, 0), -1);

    const TCharSet digits = MakeCharSet("0123456789");
    EXPECT_EQ(FindCharOfSet(digits, "ab1c2", 1, 5), 3);
    EXPECT_EQ(FindCharOfSet(digits, "ab1c2", 5, 1), 5);
    EXPECT_EQ(FindCharOfSet(digits, "ab1c2", 4, 1), 3);
    EXPECT_EQ(FindCharOfSet(digits, "ab1c2", -5, 99), 3) << "the range is clipped";
    EXPECT_EQ(FindCharOfSet(digits, "abc", 1, 3), 0);
    EXPECT_EQ(FindCharOfSet(digits, "", 1, 3), 0);
}

TEST(VostStrings, PaddingAndNumberTexts)
{
    struct {
        std::string Got, Expected;
    } cases[] = {
        {PadTo("-7", 4, '0'), "-007"},
        {PadTo("-7", 4, ' '), "  -7"},
        {PadTo("ab", -4, '.'), "ab.."},
        {PadTo("abcdef", 3, ' '), "abcdef"},
        {HexTextPadded(255, 4, '0'), "$00ff"},
        {HexTextPadded(255, 4, ' '), "  $ff"},
        {HexTextPadded(255, -4, ' '), "$ff  "},
        {HexTextPadded(255, 1, '0'), "$ff"},
        {HexTextPadded(0, 1, '0'), "$0"},
        {HexTextPadded64(0x123456789abcdefULL, 16, '0'), "$0123456789abcdef"},
        {AddressText(0x401000), "$0000000000401000"},
        {DecimalText(0), "0"},
        {DecimalText(-2147483647 - 1), "-2147483648"},
        {DecimalText64(INT64_MIN), "-9223372036854775808"},
        {DecimalTextPadded(-42, 6, '0'), "-00042"},
        {DecimalTextPadded64(42, -4, ' '), "42  "},
        {HexText(0), "0"},
        {HexText(0xFFFFFFFFu), "ffffffff"},
        {HexText64(0x1000000002ULL), "1000000002"},
        {HexText64(0x2a), "2a"},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.Got, c.Expected);
    std::string s = "-5";
    PadText(s, 2, true, '0');
    EXPECT_EQ(s, "-005");
    PadText(s, 0, true, 'x');
    PadText(s, -3, true, 'x');
    EXPECT_EQ(s, "-005");

    EXPECT_EQ(ParseInteger(false, "-123", 4), -123);
    EXPECT_EQ(ParseInteger(true, "fF", 2), 255);
    EXPECT_EQ(ParseInteger(true, "12345678", 4), 0x1234) << "reads count bytes only";
    EXPECT_EQ(ParseInteger(false, "", 0), 0);
    EXPECT_EQ(ParseInteger(true, "FFFFFFFF", 8), -1);
}

TEST(VostStrings, ByteSizesUseTheLocaleSeparator)
{
    // The separator comes from the locale the tests run under (the test command reruns them under
    // a decimal comma).
    const QString point = QLocale::system().decimalPoint();
    ASSERT_EQ(point.size(), 1);
    const char sep = LocaleDecimalSeparator();
    EXPECT_EQ(QString(QChar(sep)), point);
    const std::string d(1, sep);
    struct {
        int64_t Size;
        std::string Text;
    } cases[] = {
        {0, "0 Bytes"},
        {1023, "1023 Bytes"},
        {1024, "1" + d + "00 KB"},
        {1536, "1" + d + "50 KB"},
        {1024 * 1024 - 1, "1023" + d + "99 KB"},
        {3 * 1024 * 1024 + 1024 * 1024 / 3, "3" + d + "33 MB"},
        {5LL * 1024 * 1024 * 1024, "5" + d + "00 GB"},
        {-1536, "1" + d + "50 KB"},
        {INT64_MIN, "8589934592" + d + "00 GB"},
    };
    for (auto& c : cases)
        EXPECT_EQ(ByteSizeText(c.Size), c.Text) << c.Size;
}

TEST(VostStrings, SystemErrorsAndWideAndHiddenTexts)
{
    EXPECT_EQ(SystemErrorText(ENOENT), std::strerror(ENOENT));
    EXPECT_EQ(SystemErrorText(12345), "Unknown error $3039");
    EXPECT_EQ(AnsiToWideText("a\xff", true), std::u16string(u"a\u00ff") + char16_t(0));
    EXPECT_EQ(AnsiToWideText("", false), u"");
    EXPECT_NE(UnhideText("secret"), "secret");
    EXPECT_EQ(UnhideText(UnhideText("secret")), "secret");
}

TEST(VostStrings, Lists)
{
    struct {
        std::string In, Out;
    } normal[] = {{" a , ,b", "a,b"}, {",,a,,", "a"}, {" , ", ""}, {"a b , c", "a b,c"}, {"", ""}};
    for (auto& c : normal) {
        std::string s = c.In;
        NormalizeList(s, ',');
        EXPECT_EQ(s, c.Out) << "'" << c.In << "'";
    }
    EXPECT_EQ(ListCount("", ','), 0);
    EXPECT_EQ(ListCount("a", ','), 1);
    EXPECT_EQ(ListCount("a,,b", ','), 3);
    EXPECT_EQ(ListItem("a,b,c", 2, ','), "b");
    EXPECT_EQ(ListItem("a,b,c", 3, ','), "c");
    EXPECT_EQ(ListItem("a,b,c", 4, ','), "");
    EXPECT_EQ(ListItem("a,b,c", 0, ','), "");
    EXPECT_TRUE(ListContainsNoCase("one;Two;three", "two", ';'));
    EXPECT_FALSE(ListContainsNoCase("one;Two;three", "tw", ';'));
    EXPECT_FALSE(ListContainsNoCase("one;twothree", "two", ';'));
    EXPECT_FALSE(ListContainsNoCase("", "", ';'));
}
