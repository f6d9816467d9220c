// Tests of the general routines.
#include "core/uCodePage.h"
#include "core/uGeneral.h"

#include "core/uScopeGuard.h"
#include "core/uVersion.h"
#include "support/TestSupport.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <random>
#include <stdexcept>

namespace {

TEST(Tokens, CountCutAndAt)
{
    const QChar sep(';');
    EXPECT_EQ(TokenCount(QStringLiteral("a;;b"), sep), 3);
    EXPECT_EQ(TokenCount(QStringLiteral("a;b;"), sep), 2);
    EXPECT_EQ(TokenCount(QString(), sep), 0);
    EXPECT_EQ(TokenAt(QStringLiteral("a;;b"), sep, 1), QString());
    EXPECT_EQ(TokenAt(QStringLiteral("a;;b"), sep, 2), QStringLiteral("b"));
    EXPECT_EQ(TokenAt(QStringLiteral("a;;b"), sep, 3), QString());
    QString text = QStringLiteral("x;y");
    EXPECT_EQ(CutToken(text, sep), QStringLiteral("x"));
    EXPECT_EQ(text, QStringLiteral("y"));
    EXPECT_EQ(CutToken(text, sep), QStringLiteral("y"));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(PadLeft(QStringLiteral("7"), QChar('0'), 3), QStringLiteral("007"));
    EXPECT_EQ(PadLeft(QStringLiteral("1234"), QChar('0'), 3), QStringLiteral("1234"));
    EXPECT_EQ(RepeatChar(QChar('0'), 5), QStringLiteral("00000"));
    EXPECT_EQ(RepeatChar(QChar('0'), -1), QString());
}

TEST(SplitCsv, QuotesTrimAndMaximum)
{
    std::vector<std::string> f;
    SplitCsvLine(R"( 4.5 , "Fish, Chips" ,x)", f, 0);
    EXPECT_EQ(f, (std::vector<std::string>{"4.5", "Fish, Chips", "x"}));
    SplitCsvLine("a,b,c", f, 2);
    EXPECT_EQ(f, (std::vector<std::string>{"a", "b,c"}));
    SplitCsvLine("", f, 0);
    EXPECT_EQ(f, (std::vector<std::string>{""}));
    SplitCsvLine("a,", f, 0);
    EXPECT_EQ(f, (std::vector<std::string>{"a", ""}));
    // Spaces and every control character are trimmed, not only blanks and tabs.
    SplitCsvLine("\x01" "4.5\x1f,\r\v\"x y\"\x7f\n, \x02z", f, 0);
    EXPECT_EQ(f, (std::vector<std::string>{"4.5", "x y\x7f", "z"}));
}

TEST(SplitTextLines, LineBreaksOfEveryKind)
{
    using V = std::vector<std::string_view>;
    const struct {
        std::string_view Text;
        V Lines;
    } cases[] = {
        {"", V{}},
        {"a", V{"a"}},
        {"a\r\n", V{"a"}},
        {"a\rb\nc\r\nd", V{"a", "b", "c", "d"}},
        {"a\n\r\nb\n", V{"a", "", "b"}},
        {"\n", V{""}},
        {"a\r\r\n", V{"a", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitTextLines(c.Text), c.Lines) << HexDump(std::string(c.Text));
}

TEST(SingleLineField, BlanksBreaksAndDrops)
{
    EXPECT_EQ(TrimControls(" \t\x01" "a b\r\n "), "a b");
    EXPECT_EQ(SingleLineField("a\r\nb\"c|d", "\"", "|"), "a  bc d");
    EXPECT_EQ(SingleLineField("plain", {}), "plain");
}

TEST(Hex, RoundTripAndErrors)
{
    EXPECT_EQ(StrToHex(std::string("\x00\xff\x1a", 3)), "00FF1A");
    EXPECT_EQ(HexToStr("00ff1A"), std::string("\x00\xff\x1a", 3));
    EXPECT_THROW(HexToStr("ABC"), EAssertionFailed);
    EXPECT_THROW(HexToStr("GG"), EConvertError);
}

TEST(Numbers, DotWhateverTheLocale)
{
    // The C library's locale must not matter.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_DOUBLE_EQ(StrToFloatSep(QStringLiteral("1,5"), QChar(',')), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloatSep(QStringLiteral(" -52.37312 "), QChar('.')), -52.37312);
    EXPECT_DOUBLE_EQ(StrToFloatSep(std::string_view("+4.5")), 4.5);
    EXPECT_EQ(FloatToStrSep(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(FloatToStrSep(-4.25, QChar(',')), QStringLiteral("-4,25"));
    EXPECT_EQ(FloatToFixed(52.373116, 5), "52.37312");
    // Fifteen significant digits in fixed notation; the shortest text that reads back may need 17.
    const std::pair<double, const char*> plain[] = {
        {7.3387270000000004, "7.338727"}, {52.37312, "52.37312"}, {0.1 + 0.2, "0.3"}, {-0.00001, "-0.00001"},
        {1e-6, "0.000001"}, {123456789.123456789, "123456789.123457"}, {0, "0"}, {-180, "-180"},
        {1e21, "1000000000000000000000"}, {999999999999999.9, "1000000000000000"}, {2.5e-20, "0.000000000000000000025"},
        {1.0 / 3.0, "0.333333333333333"}, {-179.999999999999999, "-180"}, {-0.0, "0"}, {5e-7, "0.0000005"},
        {999999.999999, "999999.999999"}, {1234567.25, "1234567.25"},
    };
    for (const auto& [value, text] : plain)
        EXPECT_EQ(FloatToPlainText(value), text) << text;
    // The nearest double to a decimal of up to 15 digits gives that decimal back.
    std::mt19937_64 random(15);
    for (int i = 0; i < 20000; ++i) {
        const int decimals = int(random() % 10);
        const int64_t n = int64_t(random() % 400000000000000ull) / int64_t(std::pow(10, random() % 8));
        double scale = 1;
        for (int k = 0; k < decimals; ++k)
            scale *= 10;
        std::string text = std::to_string(n);
        if (decimals > 0) {
            text.insert(0, size_t(std::max(0, decimals + 1 - int(text.size()))), '0');
            text.insert(text.size() - size_t(decimals), ".");
            while (text.back() == '0')
                text.pop_back();
            if (text.back() == '.')
                text.pop_back();
        }
        ASSERT_EQ(FloatToPlainText(double(n) / scale), text) << n << " / 10^" << decimals;
        ASSERT_EQ(FloatToPlainText(-double(n) / scale), n == 0 ? "-0" : "-" + text);
    }
    EXPECT_EQ(FloatToFixed(1e-6, 5), "0.00000");
    for (const char* bad : {"", "nan", "inf", "-inf", "1.5x", "abc", "1,5"})
        EXPECT_THROW(StrToFloatSep(std::string_view(bad)), EConvertError) << bad;
    EXPECT_EQ(StrToInt32(" -12 "), -12);
    for (const char* bad : {"", "4294967296", "2147483648", "1.0", "x"})
        EXPECT_THROW(StrToInt32(bad), EConvertError) << bad;
    // The message shows the text as it was meant: UTF-8 as UTF-8, other bytes in the code page.
    qputenv("TARVELL_CODEPAGE", "1252");
    ResetSystemAnsiCodePage();
    for (const char* bad : {"12\xC2\xB0", "12\xB0"}) {
        try {
            StrToInt32(bad);
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("'12\u00b0'"))) << e.what();
        }
    }
    qunsetenv("TARVELL_CODEPAGE");
    ResetSystemAnsiCodePage();
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Params, SwitchesCaseInsensitive)
{
    SetCommandLineParams({QStringLiteral("/home/u/a.ov2"), QStringLiteral("/tray")});
    EXPECT_TRUE(ParamExists(QStringLiteral("/TRAY")));
    EXPECT_EQ(ParamIndex(QStringLiteral("/tray")), 2);
    EXPECT_EQ(ParamIndex(QStringLiteral("/multi")), -1);
    SetCommandLineParams({});
}

TEST(Params, OnlyKnownSwitchesAreSwitches)
{
    SetCommandLineParams({QStringLiteral("/home/u/a.ov2"), QStringLiteral("/UPDATE"), QStringLiteral("/prof:Car"),
                          QStringLiteral("/tmp/b.gpx"), QStringLiteral(""), QStringLiteral("/Silent"),
                          QStringLiteral("/tray"), QStringLiteral("/multi"), QStringLiteral("/dev"),
                          QStringLiteral("/traypoints.ov2")});
    EXPECT_EQ(CommandLinePaths(), (QStringList{QStringLiteral("/home/u/a.ov2"), QStringLiteral("/tmp/b.gpx"),
                                               QStringLiteral(""), QStringLiteral("/traypoints.ov2")}));
    SetCommandLineParams({});
}

TEST(Versions, ExecutableCarriesTheProjectVersion)
{
    const TFileVersionNumbers expected{TARVELL_VERSION_MAJOR, TARVELL_VERSION_MINOR, TARVELL_VERSION_PATCH, TARVELL_VERSION_TWEAK + 0};
    EXPECT_EQ(ProgramVersionNumbers(), expected);
    EXPECT_EQ(GetFileVersionNumbers(ExecutablePath()), expected);
    EXPECT_EQ(GetFileVersionNumbers(QStringLiteral("/bin/sh")), TFileVersionNumbers{});
    EXPECT_EQ(GetFileVersionNumbers(QStringLiteral("/no/such/file")), TFileVersionNumbers{});
}

TEST(Scramble, ReversibleKeyedAndLengthPreserving)
{
    const std::string texts[] = {"", "a", "secret", std::string("\x00\xff pass&+=?#", 12)};
    for (const std::string& t : texts) {
        const std::string s = ScrambleText(t, 917);
        EXPECT_EQ(s.size(), t.size());
        EXPECT_EQ(UnscrambleText(s, 917), t);
        if (t.size() > 2) {
            EXPECT_NE(s, t);
        }
    }
    EXPECT_NE(ScrambleText("secret", 917), ScrambleText("secret", 918));
    EXPECT_NE(UnscrambleText(ScrambleText("secret", 917), 918), "secret");
}

TEST(Errors, AssertionNamesUnitAndLine)
{
    try {
        AssertOrThrow(false, QStringLiteral("Assertion failure"), "uModel", 383);
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Assertion failure (uModel, line 383)"));
        EXPECT_STREQ(e.what(), "Assertion failure (uModel, line 383)");
    }
}

// A failure guard runs only when its scope is left by an exception, also when that scope is
// itself entered while another exception unwinds; an exit guard runs either way.
TEST(ScopeGuard, FailureGuardRunsOnlyOnTheWayOutOfAnException)
{
    int failures = 0, exits = 0;
    auto scope = [&](bool fail) {
        const auto onFailure = OnFailure([&] { ++failures; });
        const auto onExit = OnExit([&] { ++exits; });
        if (fail)
            throw std::runtime_error("x");
    };
    scope(false);
    EXPECT_EQ(failures, 0);
    EXPECT_THROW(scope(true), std::runtime_error);
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(exits, 2);

    struct TUnwinding {
        std::function<void()> Run;
        ~TUnwinding() { Run(); }
    };
    try {
        const TUnwinding unwinding {[&] { scope(false); }};
        throw std::runtime_error("outer");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(failures, 1) << "a scope left normally while another exception unwinds";
    EXPECT_EQ(exits, 3);
}

} // namespace
