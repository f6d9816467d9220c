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

TEST(ProgramRegistry, ExportersInDisplayOrder)
{
    ASSERT_EQ(TConvertToBase::FormatCount(), int(std::size(Exporters)));
    for (int i = 0; i < TConvertToBase::FormatCount(); ++i) {
        EXPECT_EQ(TConvertToBase::Description(i).toStdString(), Exporters[i].Name) << "row " << i;
        EXPECT_EQ(TConvertToBase::Extension(i).toStdString(), Exporters[i].Extension) << "row " << i;
        EXPECT_EQ(TConvertToBase::FormatIDAt(i).toStdString(), Exporters[i].FormatID) << "row " << i;
        EXPECT_EQ(TConvertToBase::CreateConverterAt(i)->FormatID().toStdString(), Exporters[i].FormatID) << "row " << i;
    }
}

TEST(ProgramRegistry, ImportersInDisplayOrder)
{
    ASSERT_EQ(TConvertFromBase::FormatCount(), int(std::size(Importers)));
    for (int i = 0; i < TConvertFromBase::FormatCount(); ++i) {
        EXPECT_EQ(TConvertFromBase::Description(i).toStdString(), Importers[i].Name) << "row " << i;
        EXPECT_EQ(TConvertFromBase::Extension(i).toStdString(), Importers[i].Extension) << "row " << i;
        EXPECT_EQ(TConvertFromBase::FormatIDAt(i).toStdString(), Importers[i].FormatID) << "row " << i;
        EXPECT_EQ(TConvertFromBase::CreateConverterAt(i)->FormatID().toStdString(), Importers[i].FormatID) << "row " << i;
    }
}

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
