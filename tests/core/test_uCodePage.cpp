// Tests of the ANSI code-page codec.
#include "core/uCodePage.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(CodePage, EveryByteSurvivesEveryPage)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    for (int cp : {1250, 1251, 1252, 1253, 1254, 1257}) {
        const QString u = AnsiToUnicode(all, cp);
        std::set<char16_t> distinct;
        for (QChar c : u)
            distinct.insert(c.unicode());
        EXPECT_EQ(distinct.size(), 256u) << cp;
        EXPECT_EQ(UnicodeToAnsi(u, cp), all) << cp;
    }
}

TEST(CodePage, KnownCharacters)
{
    EXPECT_EQ(AnsiToUnicode("\x80", 1252), QString(QChar(0x20AC)));
    EXPECT_EQ(AnsiToUnicode("\xe9", 1252), QStringLiteral("\u00e9"));
    EXPECT_EQ(AnsiToUnicode("\xc0", 1251), QStringLiteral("\u0410"));
    EXPECT_EQ(AnsiToUnicode("\xb9", 1250), QStringLiteral("\u0105"));
    EXPECT_EQ(UnicodeToAnsi(QStringLiteral("\u0410"), 1252), "?") << "not in the page";
    EXPECT_EQ(UnicodeToAnsi(QStringLiteral("Caf\u00e9"), 1252), "Caf\xe9");
}

TEST(CodePage, LocaleAndOverride)
{
    EXPECT_EQ(CodePageForLocaleName(QStringLiteral("de_DE.UTF-8")), 1252);
    EXPECT_EQ(CodePageForLocaleName(QStringLiteral("ru_RU.UTF-8")), 1251);
    EXPECT_EQ(CodePageForLocaleName(QStringLiteral("pl_PL")), 1250);
    EXPECT_EQ(CodePageForLocaleName(QStringLiteral("el_GR.UTF-8")), 1253);
    EXPECT_EQ(CodePageForLocaleName(QStringLiteral("tr_TR")), 1254);
    EXPECT_EQ(CodePageForLocaleName(QStringLiteral("lt_LT")), 1257);
    EXPECT_EQ(CodePageForLocaleName(QStringLiteral("C")), 1252);
    const QByteArray old = qgetenv("TARVELL_CODEPAGE");
    qputenv("TARVELL_CODEPAGE", "cp1251");
    ResetSystemAnsiCodePage();
    EXPECT_EQ(SystemAnsiCodePage(), 1251);
    qputenv("TARVELL_CODEPAGE", old);
    ResetSystemAnsiCodePage();
}

} // namespace
