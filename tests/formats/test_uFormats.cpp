// Tests of the program's converter registry: the rows of the text formats.
#include "formats/uFormats.h"

#include "formats/uConvertBase.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct TRowCase {
    const char* Description;
    const char* Extension;
    const char* FormatID;
    int Precision; // exporters only
    int Options;
};

template <typename Base> void ExpectRowsInOrder(std::initializer_list<TRowCase> rows)
{
    int previous = -1;
    for (const TRowCase& r : rows) {
        SCOPED_TRACE(r.FormatID);
        const int i = Base::IndexOf(QString::fromLatin1(r.Extension), QString::fromLatin1(r.FormatID));
        ASSERT_GE(i, 0);
        EXPECT_EQ(Base::FormatIDAt(i), QString::fromLatin1(r.FormatID));
        EXPECT_EQ(Base::Description(i), QString::fromLatin1(r.Description));
        EXPECT_EQ(Base::Extension(i), QStringLiteral(".") + QString::fromLatin1(r.Extension));
        EXPECT_GT(i, previous) << "display order";
        previous = i;
        auto converter = Base::CreateConverterAt(i);
        EXPECT_EQ(converter->OptionCount(), r.Options);
        if constexpr (std::is_same_v<Base, TConvertToBase>) {
            EXPECT_EQ(converter->Precision(), r.Precision);
        }
    }
}

TEST(FormatRegistry, TextFormatExporters)
{
    ExpectRowsInOrder<TConvertToBase>({
        { "TomTom Itinerary", "itn", "ttitn", 5, 0 },
        { "Generic Ascii", "asc", "genasc", 5, 2 },
        { "Destinator Comma Separated", "csv", "dstcsv", 5, 0 },
        { "Navman Comma Separated", "csv", "navmancsv", 5, 0 },
        { "Navio Ascii", "asc", "navioasc", 5, 0 },
        { "Navio Comma Separated", "csv", "naviocsv", 5, 0 },
        { "Garmin Comma Separated", "csv", "garmincsv", 5, 0 },
        { "MioMap Comma Separated", "csv", "miomapcsv", 4, 0 },
    });
}

TEST(FormatRegistry, TextFormatImporters)
{
    ExpectRowsInOrder<TConvertFromBase>({
        { "TomTom Itinerary", "itn", "ttitn", 0, 0 },
        { "TomTom 5 configuration", "cfg", "ttcfg", 0, 0 },
        { "Generic Ascii", "asc", "genasc", 0, 0 },
        { "Destinator Comma Separated", "csv", "dstcsv", 0, 0 },
        { "Navman Comma Separated", "csv", "navmancsv", 0, 0 },
        { "Navio Ascii", "asc", "navioasc", 0, 0 },
        { "Navio Comma Separated", "csv", "naviocsv", 0, 0 },
        { "Garmin Comma Separated", "csv", "garmincsv", 0, 1 },
        { "MioMap Comma Separated", "csv", "miomapcsv", 0, 0 },
    });
    EXPECT_EQ(TConvertToBase::IndexOfFormatID(QStringLiteral("ttcfg")), -1) << "read only";
}

TEST(FormatRegistry, SharedExtensions)
{
    for (const char* ext : { "csv", ".CSV" }) {
        EXPECT_EQ(TConvertFromBase::FormatIDAt(TConvertFromBase::IndexOf(QString::fromLatin1(ext), QString())),
            QStringLiteral("dstcsv"));
        EXPECT_EQ(
            TConvertToBase::FormatIDAt(TConvertToBase::IndexOf(QString::fromLatin1(ext), QStringLiteral("nosuch"))),
            QStringLiteral("dstcsv"));
    }
    EXPECT_EQ(
        TConvertFromBase::FormatIDAt(TConvertFromBase::IndexOf(QStringLiteral(".CSV"), QStringLiteral("miomapcsv"))),
        QStringLiteral("miomapcsv"));
    EXPECT_EQ(TConvertToBase::FormatIDAt(TConvertToBase::IndexOf(QStringLiteral("asc"), QString())),
        QStringLiteral("genasc"));
    EXPECT_EQ(TConvertFromBase::CountForExtension(QStringLiteral("csv")), 5);
    EXPECT_EQ(TConvertFromBase::CountForExtension(QStringLiteral("asc")), 2);
}

// Every option of every registered converter: a caption, a default within its kind, and an
// unwritten option reading as that default.
class FormatOptions : public CleanSettingsTest { };

template <typename Base> void ExpectSaneOptionTables()
{
    for (int i = 0; i < Base::FormatCount(); ++i) {
        SCOPED_TRACE(Base::FormatIDAt(i).toStdString());
        auto converter = Base::CreateConverterAt(i);
        for (int k = 0; k < converter->OptionCount(); ++k) {
            EXPECT_FALSE(converter->OptionCaption(k).isEmpty());
            EXPECT_FALSE(converter->OptionHint(k).isEmpty());
            const TOptionValue def = converter->OptionDefault(k);
            if (converter->OptionKind(k) == TOptionKind::okBoolean) {
                ASSERT_TRUE(std::holds_alternative<bool>(def));
                EXPECT_EQ(converter->ReadBoolOption(k), std::get<bool>(def));
            } else {
                ASSERT_TRUE(std::holds_alternative<int>(def));
                EXPECT_EQ(converter->ReadIntegerOption(k), std::get<int>(def));
            }
        }
    }
}

TEST_F(FormatOptions, EveryTableIsSane)
{
    ExpectSaneOptionTables<TConvertToBase>();
    ExpectSaneOptionTables<TConvertFromBase>();
}

} // namespace
