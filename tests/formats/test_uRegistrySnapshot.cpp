// The program's converter registries, row by row, as every list, filter and filter index shows them.
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"

#include <gtest/gtest.h>

namespace {

struct TRowCase {
    const char* Name;
    const char* Extension;
    const char* FormatID;
};

const TRowCase Exporters[] = {
    {"TomTom Binary", ".ov2", "ttov2"},
    {"TomTom Itinerary", ".itn", "ttitn"},
    {"Smartpath Binary", ".ovr", "ttovr"},
    {"Generic Ascii", ".asc", "genasc"},
    {"Destinator Comma Separated", ".csv", "dstcsv"},
    {"Navman Comma Separated", ".csv", "navmancsv"},
    {"Navio Ascii", ".asc", "navioasc"},
    {"Navio Comma Separated", ".csv", "naviocsv"},
    {"Garmin Comma Separated", ".csv", "garmincsv"},
    {"Destinator Binary", ".dat", "destdat"},
    {"MioMap Comma Separated", ".csv", "miomapcsv"},
    {"GPS eXchange Format", ".gpx", "gengpx"},
    {"Google Earth", ".kml", "genkml"},
    {"MioMapv3/IGo Binary", ".upd", "miomapv3"},
};

const TRowCase Importers[] = {
    {"TomTom Binary", ".ov2", "ttov2"},
    {"TomTom Itinerary", ".itn", "ttitn"},
    {"TomTom 5 configuration", ".cfg", "ttcfg"},
    {"Smartpath Binary", ".ovr", "ttovr"},
    {"Generic Ascii", ".asc", "genasc"},
    {"Destinator Comma Separated", ".csv", "dstcsv"},
    {"Navman Comma Separated", ".csv", "navmancsv"},
    {"Navio Ascii", ".asc", "navioasc"},
    {"Navio Comma Separated", ".csv", "naviocsv"},
    {"Garmin Comma Separated", ".csv", "garmincsv"},
    {"Destinator Binary", ".dat", "destdat"},
    {"Garmin Mapsource", ".gdb", "gdb"},
    {"MioMap Comma Separated", ".csv", "miomapcsv"},
    {"Mitac Speedcams file", ".mtc", "mitacmtc"},
    {"GPS eXchange Format", ".gpx", "gengpx"},
    {"Excel XML Format", ".xml", "excelxml"},
    {"Google Earth", ".kml", "genkml"},
    {"MioMapv3/IGo Binary", ".upd", "miomapv3"},
};

template <typename Base, size_t N>
void ExpectRows(const TRowCase (&rows)[N])
{
    ASSERT_EQ(Base::FormatCount(), int(N));
    for (int i = 0; i < Base::FormatCount(); ++i) {
        EXPECT_EQ(Base::Description(i).toStdString(), rows[i].Name) << "row " << i;
        EXPECT_EQ(Base::Extension(i).toStdString(), rows[i].Extension) << "row " << i;
        EXPECT_EQ(Base::FormatIDAt(i).toStdString(), rows[i].FormatID) << "row " << i;
        EXPECT_EQ(Base::CreateConverterAt(i)->FormatID().toStdString(), rows[i].FormatID) << "row " << i;
    }
}

TEST(ProgramRegistry, ExportersInDisplayOrder) { ExpectRows<TConvertToBase>(Exporters); }

TEST(ProgramRegistry, ImportersInDisplayOrder) { ExpectRows<TConvertFromBase>(Importers); }

TEST(ProgramRegistry, LookupsAcrossSharedExtensions)
{
    EXPECT_EQ(TConvertFromBase::IndexOf(QStringLiteral(".CSV"), QStringLiteral("miomapcsv")), 12);
    EXPECT_EQ(TConvertFromBase::IndexOf(QStringLiteral("csv"), QString()), 5);
    EXPECT_EQ(TConvertFromBase::IndexOf(QStringLiteral("csv"), QStringLiteral("nosuch")), 5);
    EXPECT_EQ(TConvertFromBase::IndexOf(QStringLiteral("xyz"), QString()), -1);
    EXPECT_EQ(TConvertFromBase::FilterIndex(QStringLiteral("xyz"), QString()), 1);
    EXPECT_EQ(TConvertFromBase::CountForExtension(QStringLiteral("csv")), 5);
    EXPECT_EQ(TConvertFromBase::CountForExtension(QStringLiteral("asc")), 2);
    EXPECT_EQ(TConvertToBase::IndexOf(QStringLiteral("csv"), QString()), 4);
    EXPECT_EQ(TConvertToBase::IndexOfFormatID(QStringLiteral("GENKML")), 12);
}

} // namespace
