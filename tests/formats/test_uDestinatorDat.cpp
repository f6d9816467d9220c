// Destinator records: UTF-16LE texts through the ANSI codec, float positions, damaged files.
#include "formats/uDestinatorDat.h"

#include "support/FixtureSupport.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

#include <cmath>
#include <limits>

namespace {
class Dat : public MemoryOptionsTest {};
} // namespace

TEST_F(Dat, WriterLayoutAndReadBack)
{
    TEntries entries;
    entries.Add("Caf\xe9", "", 4.9, 52.5);
    entries.Add("", "", -71.0625, -33.4375);
    const std::string bytes = WriteAll<TConvertToDat>(entries);
    EXPECT_BYTES_EQ(Fixture("destdat", "two.dat"), bytes);

    TEntries back;
    ReadInto<TConvertFromDat>(bytes, back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[0].GetDescription(), "Caf\xe9");
    EXPECT_DOUBLE_EQ(back[0].GetLongitude(), 4.9);
    EXPECT_DOUBLE_EQ(back[0].GetLatitude(), 52.5);
    EXPECT_EQ(back[1].GetDescription(), "");
    EXPECT_DOUBLE_EQ(back[1].GetLongitude(), -71.0625);
    EXPECT_DOUBLE_EQ(back[1].GetLatitude(), -33.4375);
}

TEST_F(Dat, NulInADescriptionIsDropped)
{
    TEntries entries;
    entries.Add(std::string("a\0b", 3), "", 1, 2);
    entries.Add("c", "", 3, 4);
    TEntries back;
    ReadInto<TConvertFromDat>(WriteAll<TConvertToDat>(entries), back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[0].GetDescription(), "ab");
    EXPECT_EQ(back[1].GetDescription(), "c");
}

TEST_F(Dat, DamagedFilesKeepWhatWasRead)
{
    const std::string two = Fixture("destdat", "two.dat");
    const size_t second = 24 + 10 + 22 + 48;
    ASSERT_EQ(two.size(), second + 24 + 2 + 22 + 48);
    // The second record's first longitude sits after its texts and 8 skipped bytes.
    const size_t lonAt = second + 24 + 2 + 14 + 8;
    std::string nan = two;
    const double q = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(nan.data() + lonAt, &q, 8);
    std::string inf = two;
    const double i = -std::numeric_limits<double>::infinity();
    std::memcpy(inf.data() + lonAt + 8, &i, 8);
    struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"NaN longitude", nan},
        {"infinite latitude", inf},
        {"cut in the trailer", two.substr(0, two.size() - 1)},
        {"text without terminator", two + std::string("D\0y\0", 4)},
        {"odd byte", two + std::string(1, '\0')},
    };
    for (const auto& c : cases)
        ExpectDamaged<TConvertFromDat>(c.Name, c.Bytes, QStringLiteral("Invalid dat file"), c.Bytes.size() > two.size() ? 2 : 1);
}
