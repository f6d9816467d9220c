// Tests of the program's converter registry: every row in display order, the option
// tables, and the binary writers read back by their readers.
#include "formats/uFormats.h"

#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"

#include "support/OptionSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct TRowCase {
    const char* Description;
    const char* Extension;
    const char* FormatID;
    int Precision; // exporters only
    int Options;
};

// The whole table, row by row: its order is the order of every list, filter and filter index.
template <typename Base> void ExpectTable(std::initializer_list<TRowCase> rows)
{
    ASSERT_EQ(Base::FormatCount(), int(rows.size()));
    int i = 0;
    for (const TRowCase& r : rows) {
        SCOPED_TRACE(r.FormatID);
        EXPECT_EQ(Base::FormatIDAt(i), QString::fromLatin1(r.FormatID));
        EXPECT_EQ(Base::Description(i), QString::fromLatin1(r.Description));
        EXPECT_EQ(Base::Extension(i), QStringLiteral(".") + QString::fromLatin1(r.Extension));
        auto converter = Base::CreateConverterAt(i);
        EXPECT_EQ(converter->FormatID(), QString::fromLatin1(r.FormatID));
        EXPECT_EQ(converter->OptionCount(), r.Options);
        if constexpr (std::is_same_v<Base, TConvertToBase>) {
            EXPECT_EQ(converter->Precision(), r.Precision);
        }
        ++i;
    }
}

TEST(FormatRegistry, Exporters)
{
    ExpectTable<TConvertToBase>({
        { "TomTom Binary", "ov2", "ttov2", 5, 1 },
        { "TomTom Itinerary", "itn", "ttitn", 5, 0 },
        { "Smartpath Binary", "ovr", "ttovr", 4, 0 },
        { "Generic Ascii", "asc", "genasc", 5, 2 },
        { "Destinator Comma Separated", "csv", "dstcsv", 5, 0 },
        { "Navman Comma Separated", "csv", "navmancsv", 5, 0 },
        { "Navio Ascii", "asc", "navioasc", 5, 0 },
        { "Navio Comma Separated", "csv", "naviocsv", 5, 0 },
        { "Garmin Comma Separated", "csv", "garmincsv", 5, 0 },
        { "Destinator Binary", "dat", "destdat", -1, 0 },
        { "MioMap Comma Separated", "csv", "miomapcsv", 4, 0 },
        { "GPS eXchange Format", "gpx", "gengpx", -1, 0 },
        { "Google Earth", "kml", "genkml", -1, 0 },
        { "MioMapv3/IGo Binary", "upd", "miomapv3", -1, 1 },
    });
}

TEST(FormatRegistry, Importers)
{
    ExpectTable<TConvertFromBase>({
        { "TomTom Binary", "ov2", "ttov2", 0, 0 },
        { "TomTom Itinerary", "itn", "ttitn", 0, 0 },
        { "TomTom 5 configuration", "cfg", "ttcfg", 0, 0 },
        { "Smartpath Binary", "ovr", "ttovr", 0, 0 },
        { "Generic Ascii", "asc", "genasc", 0, 0 },
        { "Destinator Comma Separated", "csv", "dstcsv", 0, 0 },
        { "Navman Comma Separated", "csv", "navmancsv", 0, 0 },
        { "Navio Ascii", "asc", "navioasc", 0, 0 },
        { "Navio Comma Separated", "csv", "naviocsv", 0, 0 },
        { "Garmin Comma Separated", "csv", "garmincsv", 0, 1 },
        { "Destinator Binary", "dat", "destdat", 0, 0 },
        { "Garmin Mapsource", "gdb", "gdb", 0, 0 },
        { "MioMap Comma Separated", "csv", "miomapcsv", 0, 0 },
        { "Mitac Speedcams file", "mtc", "mitacmtc", 0, 0 },
        { "GPS eXchange Format", "gpx", "gengpx", 0, 2 },
        { "Excel XML Format", "xml", "excelxml", 0, 0 },
        { "Google Earth", "kml", "genkml", 0, 0 },
        { "MioMapv3/IGo Binary", "upd", "miomapv3", 0, 0 },
    });
    for (const char* readOnly : { "ttcfg", "gdb", "mitacmtc", "excelxml" })
        EXPECT_EQ(TConvertToBase::IndexOfFormatID(QString::fromLatin1(readOnly)), -1) << readOnly;
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
    EXPECT_EQ(TConvertFromBase::IndexOf(QStringLiteral("xyz"), QString()), -1);
    EXPECT_EQ(TConvertFromBase::FilterIndex(QStringLiteral("xyz"), QString()), 1);
    EXPECT_EQ(TConvertToBase::IndexOfFormatID(QStringLiteral("GENKML")), 12);
}

// Every option of every registered converter: a caption, a default within its kind, and an
// unwritten option reading as that default.
class FormatOptions : public MemoryOptionsTest { };

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

class FormatRoundTrip : public MemoryOptionsTest { };

// Each binary writer's file read back by its reader: the same positions at the format's
// precision and, where the format carries them, the same descriptions.
TEST_F(FormatRoundTrip, BinaryWritersReadBack)
{
    struct {
        const char* Ext;
        int Decimals;
        bool KeepsDescription;
    } formats[] = {{"ov2", 5, true}, {"ovr", 4, true}, {"dat", 5, true}, {"upd", 5, false}};
    const struct {
        const char* Text;
        double Lon, Lat;
    } pois[] = {
        {"Dam", 4.8932, 52.3731}, {"South-west", -71.06251, -33.43749}, {"Edge", 180, 90}, {"Other edge", -180, -90},
        {"Zero", 0, 0},           {"\xe9t\xe9", 12.34567, -0.00001},
    };
    for (const auto& f : formats) {
        TEntries entries;
        for (const auto& p : pois)
            entries.Add(p.Text, "", p.Lon, p.Lat);
        TMemoryStream stream;
        entries.SaveToStream(stream, QString::fromLatin1(f.Ext), QString());
        stream.Seek(0);
        TEntries back;
        back.LoadFromStream(stream, QString::fromLatin1(f.Ext), QString(), false);
        ASSERT_EQ(back.Count(), entries.Count()) << f.Ext;
        const double unit = std::pow(10.0, -f.Decimals);
        for (int i = 0; i < entries.Count(); ++i) {
            // The ov2 tree may reorder a file, not a list this short.
            EXPECT_NEAR(back[i].GetLongitude(), entries[i].GetLongitude(), unit / 2 + 1e-9) << f.Ext << " " << i;
            EXPECT_NEAR(back[i].GetLatitude(), entries[i].GetLatitude(), unit / 2 + 1e-9) << f.Ext << " " << i;
            if (f.KeepsDescription) {
                EXPECT_EQ(back[i].GetDescription(), entries[i].GetDescription()) << f.Ext << " " << i;
            }
        }
    }
}

} // namespace
