// MapSource files: header checks, waypoints among other records, damaged records.
#include "formats/uGarminGdb.h"

#include "support/FixtureSupport.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

namespace {
class Gdb : public MemoryOptionsTest {};
} // namespace

TEST_F(Gdb, WaypointsOnlyInFileOrder)
{
    TEntries entries;
    ReadInto<TConvertFromGdb>(Fixture("gdb", "waypoints.gdb"), entries);
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[0].GetDescription(), "North");
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 90);
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 4.9);
    EXPECT_TRUE(entries[0].IpDeparture);
    EXPECT_EQ(entries[1].GetDescription(), "South");
    EXPECT_DOUBLE_EQ(entries[1].GetLatitude(), -45);
    EXPECT_DOUBLE_EQ(entries[1].GetLongitude(), -90);

    TEntries v1;
    ReadInto<TConvertFromGdb>(Fixture("gdb", "version1.gdb"), v1);
    EXPECT_EQ(v1.Count(), 1);
}

TEST_F(Gdb, HeaderVersionAndRecordErrors)
{
    const std::string good = Fixture("gdb", "waypoints.gdb");
    std::string badSignature = good;
    badSignature[0] = 'm';
    std::string badApp = good;
    badApp[25] = 'm';  // inside "MapSource"
    std::string hugeVersion = good;
    hugeVersion[6] = '\xff';
    hugeVersion[9] = '\x7f';
    // The first record's length made larger than the rest of the file.
    std::string hugeRecord = good;
    hugeRecord[34] = '\xff';
    hugeRecord[35] = '\xff';
    // The second waypoint's record made too short to hold its position.
    const size_t last = good.size() - 62;
    std::string shortWaypoint = good.substr(0, last) + std::string("\x08\0\0\0WSouth\0\0\0", 13);
    struct {
        const char* Name;
        std::string Bytes;
        const char* Message;
        int Kept;
    } cases[] = {
        {"signature", badSignature, "Invalid gdb file header", 0},
        {"application text", badApp, "Invalid gdb file header", 0},
        {"version length", hugeVersion, "Invalid gdb file header", 0},
        {"version 3", Fixture("gdb", "version3.gdb"), "Invalid gdb file version", 0},
        {"cut header", good.substr(0, 20), "Invalid gdb file header", 0},
        {"record length", hugeRecord, "Invalid gdb file", 0},
        {"short waypoint", shortWaypoint, "Invalid gdb file", 1},
        {"cut record head", good + std::string("\x01\0", 2), "Invalid gdb file", 2},
    };
    for (const auto& c : cases)
        ExpectDamaged<TConvertFromGdb>(c.Name, c.Bytes, QString::fromLatin1(c.Message), c.Kept);
}
