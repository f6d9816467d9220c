// The edit row's binding to one POI.
#include "app/logic/uEntryEditSync.h"
#include "model/uModel.h"
#include "support/TestSupport.h"

#include <QLocale>

namespace {

struct TEditCase {
    TEntryEdit Edit;
    const char* Text;
    bool Written;
    double Latitude;
    double Longitude;
};

class EntryEditSyncTest : public CleanSettingsTest { };

} // namespace

TEST_F(EntryEditSyncTest, FromEntryFillsOrEmptiesEverything)
{
    QLocale::setDefault(QLocale::c());
    TEntry entry;
    entry.SetDescription(std::string(80, 'd'));
    entry.SetLatitude(-22.5);
    entry.SetLongitude(4.75);
    TEntryEditValues values;
    TEntryEditSync::FromEntry(&entry, values);
    EXPECT_TRUE(values.Enabled);
    EXPECT_EQ(values.Description.size(), 80) << "a long description is shown whole";
    EXPECT_EQ(values.Latitude, QStringLiteral("-22.50000"));
    EXPECT_EQ(values.Longitude, QStringLiteral("4.75000"));
    EXPECT_EQ(values.LatDeg, QStringLiteral("22"));
    EXPECT_EQ(values.LatMin, QStringLiteral("30"));
    EXPECT_EQ(values.LonMin, QStringLiteral("45"));
    EXPECT_EQ(values.LatSign, QStringLiteral("S"));
    EXPECT_EQ(values.LonSign, QStringLiteral("E"));
    TEntryEditSync::FromEntry(nullptr, values);
    EXPECT_FALSE(values.Enabled);
    EXPECT_TRUE(values.Description.isEmpty());
    EXPECT_TRUE(values.LatSign.isEmpty());
}

TEST_F(EntryEditSyncTest, OnlyTheChangedControlIsWrittenBack)
{
    QLocale::setDefault(QLocale::c());
    const TEditCase cases[] = {
        { TEntryEdit::Latitude, "52.5", true, 52.5, 4.0 },
        { TEntryEdit::Latitude, "52.00000", false, 52.0, 4.0 },
        { TEntryEdit::Latitude, "nonsense", false, 52.0, 4.0 },
        { TEntryEdit::Longitude, "-4.25", true, 52.0, -4.25 },
        { TEntryEdit::LatDeg, "10", true, 10.0, 4.0 },
        { TEntryEdit::LatDeg, "52", false, 52.0, 4.0 },
        { TEntryEdit::LatMin, "30", true, 52.5, 4.0 },
        { TEntryEdit::LatMin, "30.9", true, 52.5, 4.0 },
        { TEntryEdit::LonSec, "36", true, 52.0, 4.01 },
        { TEntryEdit::LatSign, "N", true, -52.0, 4.0 },
        { TEntryEdit::LatSign, "S", true, 52.0, 4.0 },
        { TEntryEdit::LonSign, "E", true, 52.0, -4.0 },
    };
    for (const TEditCase& c : cases) {
        TEntry entry;
        entry.SetLatitude(c.Latitude == 52.0 && c.Edit == TEntryEdit::LatSign && QLatin1String(c.Text) == QLatin1String("S") ? -52.0 : 52.0);
        entry.SetLongitude(4.0);
        entry.SetDescription("Museum");
        TEntryEditValues values;
        TEntryEditSync::FromEntry(&entry, values);
        values.Text(c.Edit) = QLatin1String(c.Text);
        EXPECT_EQ(TEntryEditSync::ToEntry(&entry, c.Edit, values), c.Written) << c.Text;
        EXPECT_DOUBLE_EQ(entry.GetLatitude(), c.Latitude) << c.Text;
        EXPECT_DOUBLE_EQ(entry.GetLongitude(), c.Longitude) << c.Text;
        EXPECT_EQ(entry.GetDescription(), "Museum");
    }
}

// A decimal field takes the locale's separator or a dot and never reads a grouping separator:
// under de_DE "52.370" is 52.37, not 52370 (which the entry would have cut to 90).
TEST_F(EntryEditSyncTest, DecimalsTakeTheLocalesSeparatorOrADotNeverAGroupingOne)
{
    struct TCase {
        const char* Locale;
        const char* Text;
        bool Written;
        double Latitude;
    };
    const TCase cases[] = {
        { "de_DE", "52.370", true, 52.37 },
        { "de_DE", "52,370", true, 52.37 },
        { "de_DE", "-4.895", true, -4.895 },
        { "de_DE", "1.052,5", false, 10.0 },
        { "de_DE", "52.370,5", false, 10.0 },
        { "de_DE", "", false, 10.0 },
        { "en_US", "52.370", true, 52.37 },
        { "en_US", "52,370", false, 10.0 },
        { "fr_FR", "52,37", true, 52.37 },
        { "fr_FR", "52.37", true, 52.37 },
        { "C", "inf", false, 10.0 },
    };
    for (const TCase& c : cases) {
        QLocale::setDefault(QLocale(QLatin1String(c.Locale)));
        TEntry entry;
        entry.SetLatitude(10.0);
        TEntryEditValues values;
        TEntryEditSync::FromEntry(&entry, values);
        values.Latitude = QLatin1String(c.Text);
        EXPECT_EQ(TEntryEditSync::ToEntry(&entry, TEntryEdit::Latitude, values), c.Written) << c.Locale << " " << c.Text;
        EXPECT_DOUBLE_EQ(entry.GetLatitude(), c.Latitude) << c.Locale << " " << c.Text;
    }
    QLocale::setDefault(QLocale::c());
}

TEST_F(EntryEditSyncTest, DescriptionIsComparedCaseSensitively)
{
    TEntry entry;
    entry.SetDescription("Museum");
    TEntryEditValues values;
    TEntryEditSync::FromEntry(&entry, values);
    EXPECT_FALSE(TEntryEditSync::ToEntry(&entry, TEntryEdit::Description, values));
    values.Description = QStringLiteral("MUSEUM");
    EXPECT_TRUE(TEntryEditSync::ToEntry(&entry, TEntryEdit::Description, values));
    EXPECT_EQ(entry.GetDescription(), "MUSEUM");
    EXPECT_FALSE(TEntryEditSync::ToEntry(nullptr, TEntryEdit::Description, values));
}

TEST(EntryEditSyncKeys, MinusAddsOneLeadingSignPlusRemovesIt)
{
    EXPECT_EQ(TEntryEditSync::ApplySignKey(QStringLiteral("4.5"), true), QStringLiteral("-4.5"));
    EXPECT_EQ(TEntryEditSync::ApplySignKey(TEntryEditSync::ApplySignKey(QStringLiteral("4.5"), true), true), QStringLiteral("-4.5"));
    EXPECT_EQ(TEntryEditSync::ApplySignKey(QStringLiteral("-4.5"), false), QStringLiteral("4.5"));
    EXPECT_EQ(TEntryEditSync::ApplySignKey(QStringLiteral("4.5"), false), QStringLiteral("4.5"));
}

// A paste is cut to what typing may add: the text ends at the limit, the rest of it kept; a text
// the program set longer stays as long, and an edit within the limit is left alone.
TEST(EntryEditSyncKeys, InsertionsAreCutToTheTypingLimit)
{
    struct TCase {
        QString Before, After;
        int Limit;
        QString Expected;
        int Cursor;
    };
    const QString pasted(32767, QChar('p'));
    const TCase cases[] = {
        { QString(), pasted, 64, QString(64, QChar('p')), 64 },
        { QStringLiteral("ab"), QStringLiteral("a") + pasted + QStringLiteral("b"), 5, QStringLiteral("apppb"), 4 },
        { QString(100, QChar('x')), QString(100, QChar('x')) + pasted, 64, QString(100, QChar('x')), 100 },
        { QStringLiteral("abcd"), QStringLiteral("aXYZd"), 4, QStringLiteral("aXYd"), 3 },
        { QStringLiteral("abc"), QStringLiteral("abcd"), 64, QStringLiteral("abcd"), -1 },
        { QStringLiteral("abc"), QStringLiteral("a"), 2, QStringLiteral("a"), -1 },
        { QStringLiteral("a"), QStringLiteral("a") + QString::fromUcs4(U"\U0001F600\U0001F600"), 4,
            QStringLiteral("a") + QString::fromUcs4(U"\U0001F600"), 3 },
    };
    for (const TCase& c : cases) {
        int cursor = -1;
        EXPECT_EQ(TEntryEditSync::LimitInsertion(c.Before, c.After, c.Limit, cursor), c.Expected) << qPrintable(c.Before);
        EXPECT_EQ(cursor, c.Cursor) << qPrintable(c.Before);
    }
}
