// The ov2 writer's tree and the reader's record types.
#include "formats/uTomTom.h"

#include "support/FixtureSupport.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

class Ov2 : public MemoryOptionsTest {};

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
        out.emplace_back(entries[i].GetDescription());
    return out;
}

// The writer as the file layout describes it, kept plain as an oracle: full sorts of the list
// itself (its own quicksort) at every node, then the tree written in pre-order.
class TReferenceOv2 {
public:
    explicit TReferenceOv2(TEntries& entries)
        : FEntries(entries)
    {
    }
    std::string Write()
    {
        double east = -200, west = 200, north = -200, south = 200;
        for (int i = 0; i < FEntries.Count(); ++i) {
            east = std::max(east, FEntries[i].GetLongitude());
            west = std::min(west, FEntries[i].GetLongitude());
            north = std::max(north, FEntries[i].GetLatitude());
            south = std::min(south, FEntries[i].GetLatitude());
        }
        Node root = Build(0, FEntries.Count(), east, west, north, south);
        WriteNode(root);
        return FStream.TakeData();
    }

private:
    struct Node {
        double East, West, North, South;
        int32_t Size = 21;
        int First, Count;
        std::vector<Node> Children;
    };
    static int Sign(double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }
    static int ByText(const TEntry& a, const TEntry& b)
    {
        const int c = a.GetDescription().compare(b.GetDescription());
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    Node Build(int first, int n, double east, double west, double north, double south)
    {
        Node node{east, west, north, south, 21, first, n, {}};
        if (n > 19) {
            const int m = n / 2, o = first + m;
            if (east - west >= north - south) {
                FEntries.SortRange([](const TEntry& a, const TEntry& b) {
                    if (int c = Sign(a.GetLongitude() - b.GetLongitude()))
                        return c;
                    if (int c = Sign(a.GetLatitude() - b.GetLatitude()))
                        return c;
                    return ByText(a, b);
                }, first, first + n - 1);
                node.Children.push_back(Build(first, m, FEntries[o].GetLongitude(), west, north, south));
                node.Children.push_back(Build(o, n - m, east, FEntries[o].GetLongitude(), north, south));
            } else {
                FEntries.SortRange([](const TEntry& a, const TEntry& b) {
                    if (int c = Sign(a.GetLatitude() - b.GetLatitude()))
                        return c;
                    if (int c = Sign(a.GetLongitude() - b.GetLongitude()))
                        return c;
                    return ByText(a, b);
                }, first, first + n - 1);
                node.Children.push_back(Build(first, m, east, west, FEntries[o].GetLatitude(), south));
                node.Children.push_back(Build(o, n - m, east, west, north, FEntries[o].GetLatitude()));
            }
        } else {
            for (int i = first; i < first + n; ++i)
                node.Size += 14 + int32_t(FEntries[i].GetDescription().size());
        }
        for (const Node& child : node.Children)
            node.Size += child.Size;
        return node;
    }
    static int32_t Fixed(double v) { return int32_t(ExactlyRounded(v, 100000)); }
    void WriteNode(const Node& node)
    {
        FStream.WriteU8(1);
        for (int32_t v : {node.Size, Fixed(node.East), Fixed(node.North), Fixed(node.West), Fixed(node.South)})
            FStream.WriteI32LE(v);
        for (const Node& child : node.Children)
            WriteNode(child);
        if (node.Children.empty()) {
            for (int i = node.First; i < node.First + node.Count; ++i) {
                const TEntry& e = FEntries[i];
                FStream.WriteU8(2);
                FStream.WriteI32LE(14 + int32_t(e.GetDescription().size()));
                FStream.WriteI32LE(Fixed(e.GetLongitude()));
                FStream.WriteI32LE(Fixed(e.GetLatitude()));
                FStream.Write(e.GetDescription());
                FStream.WriteU8(0);
            }
        }
    }
    TEntries& FEntries;
    TMemoryStream FStream;
};

} // namespace

TEST_F(Ov2, WriterGivesTheBytesOfFullSortsAtEveryNode)
{
    // Clustered and duplicated positions, equal coordinates with different texts, and a box that
    // ties between the axes: the cases where a partial sort could differ from full sorts.
    for (int precision : {4, 5, 6}) {
        Options.Source.SetPrecision(precision);
        for (uint32_t seed : {1u, 2u, 3u}) {
            TEntries entries;
            std::mt19937 random(seed);
            for (int i = 0; i < 3000; ++i) {
                const int cluster = int(random() % 5);
                entries.Add("p" + std::to_string(random() % 50), "", cluster + int(random() % 300) / 1000.0 + int(random() % 10) * 0.0000017,
                            50 + cluster + int(random() % 300) / 1000.0);
            }
            for (int i = 0; i < 40; ++i)
                entries.Add("dup", "", 2, 52);
            entries.Add("corner", "", 0, 50);
            entries.Add("corner", "", 4.3, 54.3);
            TEntries copy;
            for (int i = 0; i < entries.Count(); ++i)
                copy.AddEntry(std::make_unique<TEntry>(entries[i]), false);
            const std::string expected = TReferenceOv2(copy).Write();
            EXPECT_TRUE(WriteAll<TConvertToOv2>(entries) == expected) << "precision " << precision << " seed " << seed;
        }
    }
    // Positions over the whole world, too many bits for both coordinates and the index in one
    // sort key; shared longitudes, latitudes and whole positions. The larger list is written on
    // several threads.
    for (const auto& [precision, count] : {std::pair{6, 3000}, std::pair{5, 70000}}) {
        Options.Source.SetPrecision(precision);
        TEntries entries;
        std::mt19937 random(7);
        const auto world = [&](int range) { return double(int(random() % uint32_t(2 * range * 100000)) - range * 100000) / 100000.0 + 0.0000003; };
        for (int i = 0; i < count; ++i) {
            const double lon = i % 9 == 0 ? 12.5 : world(180);
            const double lat = i % 10 == 0 ? -33.25 : world(90);
            entries.Add(i % 23 == 0 ? "same" : "w" + std::to_string(random() % 1000), "", i % 31 == 0 ? 100 : lon, i % 31 == 0 ? 10 : lat);
        }
        TEntries copy;
        for (int i = 0; i < entries.Count(); ++i)
            copy.AddEntry(std::make_unique<TEntry>(entries[i]), false);
        EXPECT_TRUE(WriteAll<TConvertToOv2>(entries) == TReferenceOv2(copy).Write()) << "world, precision " << precision;
    }
}

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
    auto key = [](const TEntry& e) { return std::make_tuple(e.GetLongitude(), e.GetLatitude(), std::string(e.GetDescription())); };
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
    std::string hugeLength = one + std::string("\x02\xff\xff\xff\x7f", 5) + std::string(9, 'x');
    std::string negativeLength = one + std::string("\x02\x00\x00\x00\x80", 5) + std::string(9, 'x');
    struct {
        const char* Name;
        std::string Bytes;
        int Kept;
    } cases[] = {
        {"length one more", lengthPlusOne, 0}, {"type 4", badType, 1},          {"no zero byte", noZero, 0},
        {"huge length", hugeLength, 1},        {"negative length", negativeLength, 1},
        {"poi cut short", one + std::string("\x02\x0f\0\0\0\x01", 6), 1},
    };
    for (const auto& c : cases)
        ExpectDamaged<TConvertFromOv2>(c.Name, c.Bytes, QStringLiteral("Invalid ov2 file"), c.Kept);
}

TEST_F(Ov2, ASkipperCutShortEndsTheFile)
{
    // The end of the stream inside a skipper ends the read; the POIs before it stay.
    const std::string one = Fixture("ttov2", "one.ov2");
    for (size_t cut : {1u, 5u, 20u}) {
        TEntries entries;
        EXPECT_EQ(ErrorOf([&] { ReadInto<TConvertFromOv2>(one + Fixture("ttov2", "empty.ov2").substr(0, cut), entries); }), "no error")
            << "cut after " << cut << " bytes";
        EXPECT_EQ(entries.Count(), 1);
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
