// The ov2 writer's tree and the reader's record types.
#include "formats/uTomTom.h"

#include "support/FixtureSupport.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <random>

namespace {

class Ov2 : public CleanSettingsTest {};

// The 20 POIs of tree20.ov2, in a shuffled list order.
void AddTwenty(TEntries& entries)
{
    std::vector<int> order(20);
    for (int i = 0; i < 20; ++i)
        order[size_t(i)] = i;
    std::mt19937 random(7);
    std::shuffle(order.begin(), order.end(), random);
    for (int i : order) {
        char name[8];
        std::snprintf(name, sizeof name, "P%02d", i);
        entries.Add(name, "", (480000 + i * 1000) / 100000.0, (5230000 + (i * 7 % 20) * 100) / 100000.0);
    }
}

std::vector<std::string> Descriptions(const TEntries& entries)
{
    std::vector<std::string> out;
    for (int i = 0; i < entries.Count(); ++i)
        out.push_back(entries[i].GetDescription());
    return out;
}

} // namespace

TEST_F(Ov2, WriterMatchesTheLayoutFixtures)
{
    TEntries none;
    EXPECT_BYTES_EQ(Fixture("ttov2", "empty.ov2"), WriteAll<TConvertToOv2>(none));

    TEntries one;
    one.Add("A", "", 4.9, 52.5);
    EXPECT_BYTES_EQ(Fixture("ttov2", "one.ov2"), WriteAll<TConvertToOv2>(one));

    TEntries twenty;
    AddTwenty(twenty);
    one.ResetChanged();
    twenty.ResetChanged();
    const std::vector<std::string> before = Descriptions(twenty);
    EXPECT_BYTES_EQ(Fixture("ttov2", "tree20.ov2"), WriteAll<TConvertToOv2>(twenty));
    // The tree is built over a permutation: the caller's list keeps its order and state.
    EXPECT_EQ(Descriptions(twenty), before);
    EXPECT_FALSE(twenty.Changed());
}

TEST_F(Ov2, TreeInvariantsOnALargeList)
{
    TEntries entries;
    std::mt19937 random(42);
    for (int i = 0; i < 1000; ++i)
        entries.Add("poi " + std::to_string(i % 97), "", int(random() % 400000) / 10000.0 - 20, int(random() % 200000) / 10000.0 + 40);
    // Duplicates of a whole record must not disturb the tree.
    for (int i = 0; i < 30; ++i)
        entries.Add("same", "", 1, 50);
    const std::string bytes = WriteAll<TConvertToOv2>(entries);

    // Every skipper's block size covers exactly its subtree; the root covers the file.
    TMemoryStream stream(bytes);
    ASSERT_EQ(stream.ReadU8(), 1);
    EXPECT_EQ(stream.ReadI32LE(), int32_t(bytes.size()));
    std::vector<uint64_t> ends;
    size_t pois = 0;
    stream.Seek(0);
    while (stream.Position() < stream.Size()) {
        while (!ends.empty() && stream.Position() == ends.back())
            ends.pop_back();
        const uint64_t start = stream.Position();
        const uint8_t type = stream.ReadU8();
        const int32_t size = stream.ReadI32LE();
        if (type == 1) {
            ASSERT_TRUE(ends.empty() || start + uint64_t(size) <= ends.back());
            ends.push_back(start + uint64_t(size));
            stream.Seek(start + 21);
        } else {
            ASSERT_EQ(type, 2);
            ++pois;
            stream.Seek(start + uint64_t(size));
        }
    }
    EXPECT_EQ(pois, 1030u);

    // Reading back gives the same multiset of records.
    TEntries back;
    ReadInto<TConvertFromOv2>(bytes, back);
    ASSERT_EQ(back.Count(), entries.Count());
    auto key = [](const TEntry& e) { return std::make_tuple(e.GetLongitude(), e.GetLatitude(), e.GetDescription()); };
    std::vector<std::tuple<double, double, std::string>> a, b;
    for (int i = 0; i < entries.Count(); ++i) {
        a.push_back(key(entries[i]));
        b.push_back(key(back[i]));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    EXPECT_TRUE(back[0].IpDeparture);
}

TEST_F(Ov2, OptimizeOffWritesAFlatListInListOrder)
{
    TEntries entries;
    AddTwenty(entries);
    TConvertToOv2 exporter;
    exporter.WriteBoolOption(0, false);
    TMemoryStream stream;
    exporter.Convert(entries, stream);
    EXPECT_EQ(stream.Size(), 20u * 17u);
    TEntries back;
    ReadInto<TConvertFromOv2>(stream.Data(), back);
    EXPECT_EQ(Descriptions(back), Descriptions(entries));
    // Every index answers as the one option.
    EXPECT_EQ(exporter.OptionCaption(3), QStringLiteral("Optimize"));
}

TEST_F(Ov2, ReaderRecordTypes)
{
    TEntries entries;
    ReadInto<TConvertFromOv2>(Fixture("ttov2", "mixed.ov2"), entries);
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[0].GetDescription(), "Three");
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 1);
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 2);
    EXPECT_TRUE(entries[0].IpDeparture);
    EXPECT_EQ(entries[1].GetDescription(), "Two");
    EXPECT_DOUBLE_EQ(entries[1].GetLongitude(), -5);
    EXPECT_DOUBLE_EQ(entries[1].GetLatitude(), -6);

    TEntries tree;
    ReadInto<TConvertFromOv2>(Fixture("ttov2", "tree20.ov2"), tree);
    ASSERT_EQ(tree.Count(), 20);
    EXPECT_EQ(tree[0].GetDescription(), "P00");
    EXPECT_EQ(tree[19].GetDescription(), "P19");

    TEntries none;
    ReadInto<TConvertFromOv2>(Fixture("ttov2", "empty.ov2"), none);
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(Ov2, DamagedFilesKeepWhatWasRead)
{
    const std::string one = Fixture("ttov2", "one.ov2");
    std::string lengthPlusOne = one;
    lengthPlusOne[22] = char(16);
    std::string badType = one + '\x04';
    std::string noZero = one;
    noZero.back() = 'B';
    std::string shortSkipper = one + std::string("\x01\x15\0\0", 4);
    std::string hugeLength = one + std::string("\x02\xff\xff\xff\x7f", 5) + std::string(9, 'x');
    std::string negativeLength = one + std::string("\x02\x00\x00\x00\x80", 5) + std::string(9, 'x');
    struct {
        const char* Name;
        std::string Bytes;
        int Kept;
    } cases[] = {
        {"length one more", lengthPlusOne, 0}, {"type 4", badType, 1},           {"no zero byte", noZero, 0},
        {"short skipper", shortSkipper, 1},    {"huge length", hugeLength, 1}, {"negative length", negativeLength, 1},
    };
    for (const auto& c : cases) {
        TEntries entries;
        try {
            ReadInto<TConvertFromOv2>(c.Bytes, entries);
            ADD_FAILURE() << c.Name << ": no error";
        } catch (const EUserError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid ov2 file")) << c.Name;
        }
        EXPECT_EQ(entries.Count(), c.Kept) << c.Name;
    }
}

TEST_F(Ov2, NulBytesAreDroppedAndLongSkipperRunsRead)
{
    TEntries entries;
    entries.Add(std::string("a\0b", 3), "", 1, 2);
    TEntries back;
    ReadInto<TConvertFromOv2>(WriteAll<TConvertToOv2>(entries), back);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back[0].GetDescription(), "ab");

    // A million skippers in a row: read in a loop, not by recursion.
    std::string run;
    for (int i = 0; i < 1000000; ++i)
        run += std::string("\x01\x15\0\0\0", 5) + std::string(16, '\0');
    TEntries none;
    ReadInto<TConvertFromOv2>(run + Fixture("ttov2", "one.ov2"), none);
    EXPECT_EQ(none.Count(), 1);
}

TEST_F(Ov2, ProgressIsWholePercentAndEnds)
{
    TEntries entries;
    AddTwenty(entries);
    const std::string bytes = WriteAll<TConvertToOv2>(entries);
    std::vector<int> seen;
    TConvertFromOv2 importer;
    importer.OnProgress = [&seen](int p) { seen.push_back(p); };
    TMemoryStream stream(bytes);
    TEntries back;
    importer.Convert(back, stream);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen.back(), 100);
}
