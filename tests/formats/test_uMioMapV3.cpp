// MioMap v3 records: the layout with cells and the country option, reading, damaged files.
#include "formats/uMioMapV3.h"

#include "support/FixtureSupport.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

namespace {
class MioMapV3 : public MemoryOptionsTest {};
} // namespace

TEST_F(MioMapV3, RecordLayoutCellsAndCountry)
{
    TEntries entries;
    entries.Add("ignored", "", 4.89123, 52.37312);
    TConvertToMioMapV3 exporter;
    TMemoryStream stream;
    exporter.Convert(entries, stream);
    EXPECT_BYTES_EQ(Fixture("miomapv3", "two.upd").substr(0, 80), stream.Data());

    exporter.WriteIntegerOption(0, 6);
    entries[0].SetLongitude(-4.89123);
    TMemoryStream west;
    exporter.Convert(entries, west);
    TMemoryStream record(west.Data());
    record.Seek(4);
    EXPECT_EQ(record.ReadI32LE(), -4891230);
    record.Seek(12);
    EXPECT_EQ(record.ReadU8(), 6);
    record.Seek(22);
    EXPECT_EQ(int16_t(record.ReadU16LE()), -131);
}

TEST_F(MioMapV3, TruncationKeepsSixDecimalCoordinates)
{
    Options.Source.SetPrecision(6);
    // 4.8912349 reads as 4.891235 at six decimals; products like 0.257227 x 1000000 fall just
    // below the whole number in binary and must not be truncated to the unit below.
    struct {
        double Lat, Lon;
        int32_t LatUnits, LonUnits;
    } cases[] = {
        {-4.8912349, 4.8912349, -4891235, 4891235},
        {0.257227, 0.015953, 257227, 15953},
        {-0.257227, -0.502489, -257227, -502489},
    };
    for (const auto& c : cases) {
        TEntries entries;
        entries.Add("", "", c.Lon, c.Lat);
        TMemoryStream stream(WriteAll<TConvertToMioMapV3>(entries));
        EXPECT_EQ(stream.ReadI32LE(), c.LatUnits) << c.Lat;
        EXPECT_EQ(stream.ReadI32LE(), c.LonUnits) << c.Lon;
    }
}

TEST_F(MioMapV3, ReadsDescriptionsFromTheFields)
{
    TEntries entries;
    ReadInto<TConvertFromMioMapV3>(Fixture("miomapv3", "two.upd"), entries);
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[0].GetDescription(), "Country: 8, Type: 138, Angle: -1");
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 52.37312);
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 4.89123);
    EXPECT_EQ(entries[1].GetDescription(), "Country: 6, Type: 12, Angle: 270");
    EXPECT_DOUBLE_EQ(entries[1].GetLongitude(), -4.89123);
}

TEST_F(MioMapV3, ShortLastRecordIsAnError)
{
    ExpectDamaged<TConvertFromMioMapV3>("cut last record", Fixture("miomapv3", "two.upd").substr(0, 159), QStringLiteral("Invalid upd file"), 1);
    // The option table answers an empty text past its one row.
    EXPECT_EQ(TConvertToMioMapV3().OptionCaption(1), QString());
}
