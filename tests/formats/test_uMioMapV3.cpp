// MioMap v3 records: the layout with cells and the country option, reading, damaged files.
#include "formats/uMioMapV3.h"

#include "support/FixtureSupport.h"
#include "support/TestSupport.h"

namespace {
class MioMapV3 : public CleanSettingsTest {};
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

TEST_F(MioMapV3, TruncatesTowardsZero)
{
    GetSettings().Precision = 6;
    TEntries entries;
    entries.Add("", "", 4.8912349, -4.8912349);
    TMemoryStream stream(WriteAll<TConvertToMioMapV3>(entries));
    const int32_t lat = stream.ReadI32LE();
    const int32_t lon = stream.ReadI32LE();
    // The getters round to six decimals first (4.891235); the product is then truncated.
    EXPECT_EQ(lon, int32_t(std::trunc(entries[0].GetLongitude() * 1000000.0)));
    EXPECT_EQ(lat, -lon);
    EXPECT_TRUE(lon == 4891234 || lon == 4891235);
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
    TEntries entries;
    try {
        ReadInto<TConvertFromMioMapV3>(Fixture("miomapv3", "two.upd").substr(0, 159), entries);
        ADD_FAILURE() << "no error";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid upd file"));
    }
    EXPECT_EQ(entries.Count(), 1);
    // The option table answers an empty text past its one row.
    EXPECT_EQ(TConvertToMioMapV3().OptionCaption(1), QString());
}
