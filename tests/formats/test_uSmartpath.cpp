// Smartpath records: the layout, round trips, the length byte and damaged files.
#include "formats/uSmartpath.h"

#include "support/FixtureSupport.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

namespace {
class Ovr : public MemoryOptionsTest {};
} // namespace

TEST_F(Ovr, RecordLayoutAndReadBack)
{
    TEntries entries;
    entries.Add("A", "", 4.9, 52.5);
    entries.Add("Second place", "", -123.4567, -12.3456);
    const std::string bytes = WriteAll<TConvertToOvr>(entries);
    EXPECT_BYTES_EQ(Fixture("ttovr", "two.ovr"), bytes);
    EXPECT_EQ(bytes.substr(0, 11), std::string("\x01\x09\x68\xbf\x00\x00\xc8\x02\x08\x00" "A", 11));

    TEntries back;
    ReadInto<TConvertFromOvr>(bytes, back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[1].GetDescription(), "Second place");
    EXPECT_DOUBLE_EQ(back[1].GetLongitude(), -123.4567);
    EXPECT_DOUBLE_EQ(back[1].GetLatitude(), -12.3456);
    EXPECT_TRUE(back[0].IpDeparture);
}

TEST_F(Ovr, RoundsToFourDecimals)
{
    Options.Source.SetPrecision(6);
    TEntries entries;
    entries.Add("", "", 1.23456, -1.23454);
    const std::string bytes = WriteAll<TConvertToOvr>(entries);
    TMemoryStream stream(bytes);
    stream.Skip(2);
    EXPECT_EQ(stream.ReadI32LE(), 12346);
    EXPECT_EQ(stream.ReadI32LE(), -12345);
}

TEST_F(Ovr, LongDescriptionIsCutToTheLengthByte)
{
    TEntries entries;
    entries.Add(std::string(300, 'x'), "", 1, 2);
    entries.Add("next", "", 3, 4);
    TEntries back;
    ReadInto<TConvertFromOvr>(WriteAll<TConvertToOvr>(entries), back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[0].GetDescription(), std::string(247, 'x'));
    EXPECT_EQ(back[1].GetDescription(), "next");
}

TEST_F(Ovr, DamagedFilesKeepWhatWasRead)
{
    const std::string two = Fixture("ttovr", "two.ovr");
    struct {
        const char* Name;
        std::string Bytes;
        int Kept;
    } cases[] = {
        {"type 2", two + "\x02", 2},
        {"length below 8", two.substr(0, 11) + std::string("\x01\x07", 2) + std::string(8, '\0'), 1},
        {"cut in the description", two.substr(0, two.size() - 1), 1},
        {"cut in the position", two.substr(0, 15), 1},
    };
    for (const auto& c : cases)
        ExpectDamaged<TConvertFromOvr>(c.Name, c.Bytes, QStringLiteral("Invalid ovr file"), c.Kept);
}
