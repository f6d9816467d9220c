// Mitac speed camera files: names, type and angle in the description, damaged files.
#include "formats/uMitac.h"

#include "support/FixtureSupport.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

namespace {
class Mitac : public MemoryOptionsTest {};
} // namespace

TEST_F(Mitac, CamerasWithTypeAndAngle)
{
    TEntries entries;
    ReadInto<TConvertFromMitac>(Fixture("mitacmtc", "cams.mtc"), entries);
    ASSERT_EQ(entries.Count(), 3);
    EXPECT_EQ(entries[0].GetDescription(), "Main St - Type: 03, Angle: 045");
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 4.9);
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 52.5);
    EXPECT_EQ(entries[1].GetDescription(), "Type: 12, Angle: 007");
    EXPECT_DOUBLE_EQ(entries[1].GetLongitude(), -1);
    EXPECT_DOUBLE_EQ(entries[1].GetLatitude(), -2);
    // A name filling all 52 bytes has no zero byte and is read whole.
    EXPECT_EQ(entries[2].GetDescription(), std::string(52, 'N') + " - Type: 01, Angle: 359");
}

TEST_F(Mitac, DamagedFilesKeepWhatWasRead)
{
    const std::string good = Fixture("mitacmtc", "cams.mtc");
    std::string backwards = good;
    backwards[1] = '\x02';
    std::string beyond = good;
    beyond[4] = '\x7f';
    struct {
        const char* Name;
        std::string Bytes;
        int Kept;
    } cases[] = {
        {"signature", "x" + good.substr(1), 0}, {"offset into the header", backwards, 0}, {"offset past the end", beyond, 0},
        {"cut last record", good.substr(0, good.size() - 1), 2}, {"empty", std::string(), 0},
    };
    for (const auto& c : cases)
        ExpectDamaged<TConvertFromMitac>(c.Name, c.Bytes, QStringLiteral("Invalid Mitac file"), c.Kept);
}
