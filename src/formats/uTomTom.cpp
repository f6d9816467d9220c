// The TomTom binary POI format (.ov2).
//
// File layout (all integers little-endian, coordinates signed 32 bit in 1/100000 degree, east and
// north positive), a sequence of records each starting with a type byte:
//   type 2, POI, 14 + n bytes:
//     0  1  type = 2
//     1  4  record length L = 14 + n, from the type byte to the final zero byte inclusive
//     5  4  longitude
//     9  4  latitude
//    13  n  description, 8-bit, no zero byte
//  13+n 1  0
//   type 3: as type 2, with two further zero-terminated texts before the record's end.
//   type 0: a deleted POI, laid out as type 2.
//   type 1 (and 100), skipper, 21 bytes:
//     0  1  type
//     1  4  block size: 21 + the sizes of every record of the subtree that follows
//     5  4  east edge (greatest longitude)
//     9  4  north edge (greatest latitude)
//    13  4  west edge (smallest longitude)
//    17  4  south edge (smallest latitude)
// Any other type byte is invalid.
#include "formats/uTomTom.h"

#include "core/uStream.h"
#include "formats/uMappedBuffer.h"
#include "formats/uParallel.h"
#include "model/uModel.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>


namespace {

constexpr int SkipperSize = 21;
constexpr int PoiOverhead = 14;
// A node with more entries than this is split in two; the leaves' size is fixed by existing files.
constexpr int MaxLeafEntries = 19;

const TOptionInfo Ov2Options[] = {
    {"uTomTom", QT_TRANSLATE_NOOP("uTomTom", "Optimize"), QT_TRANSLATE_NOOP("uTomTom", "Optimize output with skipper records"),
     TOptionKind::okBoolean, 1},
};

[[noreturn]] void InvalidOv2() { throw EUserError(QCoreApplication::translate("uTomTom", "Invalid ov2 file")); }

int32_t ToFixed(double degrees) { return static_cast<int32_t>(RoundExactProduct(degrees, 100000.0)); }

// A zero byte in the description would end the text early, so it is left out.
size_t WrittenLength(std::string_view text)
{
    if (std::memchr(text.data(), 0, text.size()) == nullptr)
        return text.size();
    return text.size() - size_t(std::count(text.begin(), text.end(), '\0'));
}

// Puts the POI record at out (room for PoiOverhead + WrittenLength bytes); lon and lat are the
// coordinates as written. Returns the record's size.
size_t PutPoi(char* out, std::string_view text, int32_t lon, int32_t lat)
{
    const size_t n = WrittenLength(text);
    out[0] = 2;
    EncodeLE<int32_t>(out + 1, int32_t(PoiOverhead + n));
    EncodeLE<int32_t>(out + 5, lon);
    EncodeLE<int32_t>(out + 9, lat);
    if (n == text.size())
        std::memcpy(out + 13, text.data(), n);
    else
        std::copy_if(text.begin(), text.end(), out + 13, [](char c) { return c != '\0'; });
    out[13 + n] = 0;
    return PoiOverhead + n;
}

void WritePoi(TMemoryStream& stream, const TEntry& entry, int precision)
{
    const std::string_view text = entry.GetDescription();
    PutPoi(stream.WriteSpace(PoiOverhead + WrittenLength(text)), text, ToFixed(entry.GetLongitude(precision)),
           ToFixed(entry.GetLatitude(precision)));
}

// A scratch array of the writer, mapped from the system and given back the moment it is freed
// (the heap would keep the pages of the sort's megabytes while the output grows after them).
// Starts zero-filled; only for types without constructors.
template <typename T>
class TScratch {
public:
    TScratch() = default;
    explicit TScratch(size_t n) { Reset(n); }
    ~TScratch() { Reset(0); }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;

    void Reset(size_t n)
    {
        UnmapBufferMemory(FData, FSize * sizeof(T));
        FData = nullptr;
        FSize = 0;
        if (n == 0)
            return;
        FData = static_cast<T*>(MapBufferMemory(n * sizeof(T)));
        FSize = n;
    }
    void Swap(TScratch& other) noexcept
    {
        std::swap(FData, other.FData);
        std::swap(FSize, other.FSize);
    }
    size_t Size() const { return FSize; }
    T& operator[](size_t i) { return FData[i]; }
    const T& operator[](size_t i) const { return FData[i]; }
    T* begin() { return FData; }
    T* end() { return FData + FSize; }

private:
    T* FData = nullptr;
    size_t FSize = 0;
};

// The tree of the writer. The comparers order by one coordinate, then the other, then the
// description byte-wise; entries they call equal write the same bytes, so only which entries
// share a subtree and the order of each leaf decide the file. Each node takes the m smallest of
// its entries by its comparer to the left; a leaf writes its entries sorted by its parent's
// comparer.
//
// Rather than sorting every node, the entries are sorted once by each comparer. A node's entries
// then lie in one range of both orders: its left half is the first half of the range in its own
// order, and a stable partition of the range in the other order (left entries first) keeps both
// orders for the children. The file is the one that full sorts at every node give.
//
// The two sorts run at once, and so do the subtrees below the first few levels, in the build and
// in the write: each subtree has its own ranges of the orders and of the file (the sizes of all
// its records are known before anything is written), so threads never share what they change,
// and the file is the same whatever their number.
class TTreeWriter {
public:
    TTreeWriter(const TEntries& entries, TMemoryStream& stream, int precision)
        : FEntries(entries)
        , FStream(stream)
        , FCount(size_t(entries.Count()))
        , FPrecision(precision)
    {
        double scale = 1;
        for (int i = precision; i > 0; --i)
            scale *= 10;
        // The precision-rounded coordinates in units of the last decimal: integer order is the
        // getters' order.
        FCoords.resize(FCount);
        const size_t parts = std::clamp<size_t>(FCount / MinEntriesPerThread, 1, size_t(ConversionThreads()));
        RunParallel(parts, [&](size_t part) {
            for (size_t i = FCount * part / parts; i < FCount * (part + 1) / parts; ++i) {
                const TEntry& e = entries[int(i)];
                FCoords[i] = {int32_t(RoundExactProduct(e.GetLongitude(precision), scale)), int32_t(RoundExactProduct(e.GetLatitude(precision), scale))};
            }
        });
        // Subtrees at this depth are built and written on threads of their own: a few a thread.
        for (size_t threads = size_t(ConversionThreads()); threads > 1 && (size_t(1) << FParallelDepth) < threads * 2; )
            ++FParallelDepth;
    }

    void Write()
    {
        double east = -200, west = 200, north = -200, south = 200;
        if (FCount > 0) {
            const auto [minLon, maxLon] = std::minmax_element(FCoords.begin(), FCoords.end(), [](const TCoord& a, const TCoord& b) { return a.Lon < b.Lon; });
            const auto [minLat, maxLat] = std::minmax_element(FCoords.begin(), FCoords.end(), [](const TCoord& a, const TCoord& b) { return a.Lat < b.Lat; });
            east = FEntries[int(maxLon - FCoords.begin())].GetLongitude(FPrecision);
            west = FEntries[int(minLon - FCoords.begin())].GetLongitude(FPrecision);
            north = FEntries[int(maxLat - FCoords.begin())].GetLatitude(FPrecision);
            south = FEntries[int(minLat - FCoords.begin())].GetLatitude(FPrecision);
            FLonRange = {minLon->Lon, maxLon->Lon};
            FLatRange = {minLat->Lat, maxLat->Lat};
        }
        if (FCount > size_t(MaxLeafEntries)) {
            FByLon.resize(FCount);
            FByLat.Reset(FCount);
            // One sort after the other, each on every thread: two at once would need twice the
            // scratch memory.
            SortBy(TAxis::Longitude, FByLon.data());
            SortBy(TAxis::Latitude, FByLat.begin());
            for (TScratch<uint64_t>& scratch : FSortScratch)
                scratch.Reset(0);
            std::vector<TCoord>().swap(FCoords);
            FInLeft.Reset(FCount);
            FPartition.Reset(FCount);
        } else {
            // The root has no parent: a list of up to 19 entries is written in list order.
            FByLon.resize(FCount);
            for (size_t i = 0; i < FCount; ++i)
                FByLon[i] = uint32_t(i);
        }
        // The records' sizes, taken in list order: the leaves ask for them in tree order, and
        // the entries' own memory, read in that order, is mostly far away.
        FRecordSizes.Reset(FCount);
        const size_t parts = std::clamp<size_t>(FCount / MinEntriesPerThread, 1, size_t(ConversionThreads()));
        RunParallel(parts, [&](size_t part) {
            for (size_t i = FCount * part / parts; i < FCount * (part + 1) / parts; ++i)
                FRecordSizes[i] = uint32_t(std::min<uint64_t>(PoiOverhead + WrittenLength(FEntries[int(i)].GetDescription()), UINT32_MAX));
        });
        FNodes.resize(NodeCount(FCount));
        Build(0, 0, FCount, east, west, north, south, TAxis::None, FCount < MinEntriesPerThread ? 0 : FParallelDepth);
        // Every leaf's order is now in FByLon; the rest is no longer needed.
        FRecordSizes.Reset(0);
        FByLat.Reset(0);
        FPartition.Reset(0);
        FInLeft.Reset(0);
        if (FNodes[0].Size > uint64_t(INT32_MAX))
            throw EUserError(QCoreApplication::translate("uTomTom", "The POIs do not fit into an ov2 file"));

        // The file's size is known now: the records go straight into their place, in a buffer
        // whose pages the threads provide.
        if (FStream.Position() == FStream.Size())
            ReserveWithPages(FStream.MutableData(), FNodes[0].Size);
        FOut = FStream.WriteSpace(FNodes[0].Size);
        WriteNode(0, 0, FCount < MinEntriesPerThread ? 0 : FParallelDepth);
    }

private:
    // Fewer entries than this a thread cost more in threads than they save.
    static constexpr size_t MinEntriesPerThread = 65536;

    struct TCoord {
        int32_t Lon;
        int32_t Lat;
    };
    enum class TAxis { None, Longitude, Latitude };
    // A node in pre-order: its edges as written, its range of the leaf order, its block size,
    // and for an inner node the index of its right child (the left one follows it).
    struct TNode {
        int32_t East, North, West, South;
        uint32_t First, Count;
        uint32_t Right;
        uint64_t Size;
    };

    // Writes the entries' indices in the order of the comparer of axis to order.
    void SortBy(TAxis axis, uint32_t* order)
    {
        // Both coordinates in one unsigned number ordered as the comparer orders them, the axis's
        // first, each taken from its smallest value so that the number is as short as it can be;
        // with the entry's index below it when all fits into 64 bits. Otherwise (positions
        // spread over the world) the number holds the axis's coordinate and the index only, and
        // the few entries sharing that coordinate are ordered by the rest of the comparer after.
        const bool lonFirst = axis == TAxis::Longitude;
        // Plain variables, not structured bindings: the lambda below captures them.
        const std::pair<int32_t, int32_t> firstRange = lonFirst ? FLonRange : FLatRange;
        const std::pair<int32_t, int32_t> secondRange = lonFirst ? FLatRange : FLonRange;
        const int32_t firstMin = firstRange.first, firstMax = firstRange.second;
        const int32_t secondMin = secondRange.first, secondMax = secondRange.second;
        const int indexBits = std::bit_width(uint64_t(FCount));
        const int firstBits = std::bit_width(uint64_t(int64_t(firstMax) - firstMin));
        int secondBits = std::bit_width(uint64_t(int64_t(secondMax) - secondMin));
        const bool whole = firstBits + secondBits + indexBits <= 64;
        if (!whole)
            secondBits = 0;
        const int keyBits = firstBits + secondBits;
        const auto keyOf = [&](size_t i) {
            const TCoord& c = FCoords[i];
            const uint64_t first = uint64_t(int64_t(lonFirst ? c.Lon : c.Lat) - firstMin) << secondBits;
            return whole ? first | uint64_t(int64_t(lonFirst ? c.Lat : c.Lon) - secondMin) : first;
        };
        // Kept for the second sort: fresh pages cost more than the sort's own work on them.
        TScratch<uint64_t>& items = FSortScratch[0];
        TScratch<uint64_t>& other = FSortScratch[1];
        for (TScratch<uint64_t>* scratch : {&items, &other})
            if (scratch->Size() != FCount)
                scratch->Reset(FCount);
        const size_t parts = std::clamp<size_t>(FCount / MinEntriesPerThread, 1, size_t(ConversionThreads()));
        RunParallel(parts, [&](size_t part) {
            for (size_t i = FCount * part / parts; i < FCount * (part + 1) / parts; ++i)
                items[i] = keyOf(i) << indexBits | i;
        });
        RadixSort(items, other, indexBits, keyBits, parts);
        const uint64_t indexMask = (uint64_t(1) << indexBits) - 1;
        RunParallel(parts, [&](size_t part) {
            for (size_t i = FCount * part / parts; i < FCount * (part + 1) / parts; ++i)
                order[i] = uint32_t(items[i] & indexMask);
        });
        const auto keyAt = [&](size_t k) { return items[k] >> indexBits; };
        if (whole) {
            OrderTies(order, keyAt, parts, [this](uint32_t x, uint32_t y) {
                return FEntries[int(x)].GetDescription() < FEntries[int(y)].GetDescription();
            });
        } else {
            OrderTies(order, keyAt, parts, [this, lonFirst](uint32_t x, uint32_t y) {
                const int32_t a = lonFirst ? FCoords[x].Lat : FCoords[x].Lon;
                const int32_t b = lonFirst ? FCoords[y].Lat : FCoords[y].Lon;
                if (a != b)
                    return a < b;
                return FEntries[int(x)].GetDescription() < FEntries[int(y)].GetDescription();
            });
        }
    }

    // Runs of equal keys in order (their keys by keyAt) are ordered by less, on parts threads:
    // each takes the runs that start in its share of the order.
    template <typename KeyAt, typename Less>
    void OrderTies(uint32_t* order, KeyAt&& keyAt, size_t parts, Less&& less) const
    {
        // A share begins where a run begins.
        std::vector<size_t> starts(parts + 1, FCount);
        for (size_t part = 0; part < parts; ++part) {
            size_t at = std::max(FCount * part / parts, part > 0 ? starts[part - 1] : 0);
            while (at > 0 && at < FCount && keyAt(at) == keyAt(at - 1))
                ++at;
            starts[part] = at;
        }
        RunParallel(parts, [&](size_t part) {
            for (size_t i = starts[part]; i < starts[part + 1];) {
                size_t j = i + 1;
                while (j < FCount && keyAt(j) == keyAt(i))
                    ++j;
                if (j - i > 1)
                    std::sort(order + i, order + j, less);
                i = j;
            }
        });
    }

    // A stable sort on bits from..from + bits of the items, eleven bits a pass, on parts threads:
    // each takes one part of the items, counts its digits and moves its items to the places its
    // counts give, after those of the parts before it.
    static void RadixSort(TScratch<uint64_t>& items, TScratch<uint64_t>& other, int from, int bits, size_t parts)
    {
        constexpr int DigitBits = 11;
        constexpr size_t Buckets = size_t(1) << DigitBits;
        const size_t n = items.Size();
        const int passes = (bits + DigitBits - 1) / DigitBits;
        const auto partBegin = [&](size_t part) { return n * part / parts; };
        // Every pass's counts of all items, taken in one reading: a digit all items share moves
        // nothing.
        std::vector<size_t> totals(size_t(passes) * Buckets * parts);
        RunParallel(parts, [&](size_t part) {
            size_t* const count = totals.data() + part * size_t(passes) * Buckets;
            for (size_t i = partBegin(part); i < partBegin(part + 1); ++i) {
                const uint64_t k = items[i] >> from;
                for (int pass = 0; pass < passes; ++pass)
                    ++count[size_t(pass) * Buckets + (k >> (pass * DigitBits) & (Buckets - 1))];
            }
        });
        std::vector<size_t> counts(parts * Buckets);
        bool moved = false;
        for (int pass = 0; pass < passes; ++pass) {
            bool shared = false;
            for (size_t b = 0; b < Buckets && !shared; ++b) {
                size_t total = 0;
                for (size_t part = 0; part < parts; ++part)
                    total += totals[(part * size_t(passes) + size_t(pass)) * Buckets + b];
                shared = total == n;
            }
            if (shared)
                continue;
            const int shift = from + pass * DigitBits;
            // The counts of the items' present order, part by part: the order counted above
            // until a pass moves them.
            if (!moved || parts == 1) {
                for (size_t part = 0; part < parts; ++part)
                    std::copy_n(totals.data() + (part * size_t(passes) + size_t(pass)) * Buckets, Buckets, counts.data() + part * Buckets);
            } else {
                std::fill(counts.begin(), counts.end(), 0);
                RunParallel(parts, [&](size_t part) {
                    size_t* const count = counts.data() + part * Buckets;
                    for (size_t i = partBegin(part); i < partBegin(part + 1); ++i)
                        ++count[items[i] >> shift & (Buckets - 1)];
                });
            }
            size_t sum = 0;
            for (size_t b = 0; b < Buckets; ++b)
                for (size_t part = 0; part < parts; ++part)
                    sum += std::exchange(counts[part * Buckets + b], sum);
            RunParallel(parts, [&](size_t part) {
                size_t* const at = counts.data() + part * Buckets;
                for (size_t i = partBegin(part); i < partBegin(part + 1); ++i)
                    other[at[items[i] >> shift & (Buckets - 1)]++] = items[i];
            });
            items.Swap(other);
            moved = true;
        }
    }

    // Builds the subtree of node self (its pre-order index) over the entries first .. first + n - 1;
    // its two subtrees on threads of their own while parallelDepth is above 0.
    void Build(size_t self, size_t first, size_t n, double east, double west, double north, double south, TAxis parentAxis, int parallelDepth)
    {
        TNode& node = FNodes[self];
        node = {ToFixed(east), ToFixed(north), ToFixed(west), ToFixed(south), uint32_t(first), uint32_t(n), 0, SkipperSize};
        if (n <= size_t(MaxLeafEntries)) {
            // The leaf's order is its parent's; it is kept in FByLon.
            if (parentAxis == TAxis::Latitude)
                std::copy(FByLat.begin() + first, FByLat.begin() + first + n, FByLon.begin() + ptrdiff_t(first));
            for (size_t k = first; k < first + n; ++k)
                node.Size += FRecordSizes[FByLon[k]];
            return;
        }
        const size_t m = n / 2;
        // Ties go to longitude.
        const TAxis axis = east - west >= north - south ? TAxis::Longitude : TAxis::Latitude;
        uint32_t* const own = axis == TAxis::Longitude ? FByLon.data() : FByLat.begin();
        uint32_t* const other = axis == TAxis::Longitude ? FByLat.begin() : FByLon.data();
        for (size_t k = first; k < first + m; ++k)
            FInLeft[own[k]] = 1;
        // Left entries to the front, right ones behind them, each in the order they had.
        uint32_t* const partition = FPartition.begin() + first;
        size_t left = 0, right = m;
        for (size_t k = first; k < first + n; ++k) {
            const uint32_t index = other[k];
            const size_t goesLeft = FInLeft[index];
            partition[goesLeft ? left : right] = index;
            left += goesLeft;
            right += 1 - goesLeft;
        }
        std::copy(partition, partition + n, other + first);
        for (size_t k = first; k < first + m; ++k)
            FInLeft[own[k]] = 0;
        // The first entry of the right half sets the shared edge.
        const TEntry& split = FEntries[int(own[first + m])];
        const size_t rightIndex = self + 1 + NodeCount(m);
        node.Right = uint32_t(rightIndex);
        const double at = axis == TAxis::Longitude ? split.GetLongitude(FPrecision) : split.GetLatitude(FPrecision);
        RunParallel(parallelDepth > 0 ? 2 : 1, [&](size_t half) {
            if (half == 0 || parallelDepth <= 0) {
                if (axis == TAxis::Longitude)
                    Build(self + 1, first, m, at, west, north, south, axis, parallelDepth - 1);
                else
                    Build(self + 1, first, m, east, west, at, south, axis, parallelDepth - 1);
            }
            if (half == 1 || parallelDepth <= 0) {
                if (axis == TAxis::Longitude)
                    Build(rightIndex, first + m, n - m, east, at, north, south, axis, parallelDepth - 1);
                else
                    Build(rightIndex, first + m, n - m, east, west, north, at, axis, parallelDepth - 1);
            }
        });
        node.Size += FNodes[self + 1].Size + FNodes[rightIndex].Size;
    }

    // The nodes of a tree over n entries (the tree halves its entries at each level).
    static size_t NodeCount(size_t n) { return NodeCounts(n).first; }
    // Those of trees over n and n + 1 entries: each level has only these two sizes, so the
    // count takes one step a level.
    static std::pair<size_t, size_t> NodeCounts(size_t n)
    {
        if (n <= size_t(MaxLeafEntries))
            return {1, n + 1 > size_t(MaxLeafEntries) ? 3 : 1};
        const auto [half, halfPlusOne] = NodeCounts(n / 2);
        if (n % 2 == 0)
            return {1 + 2 * half, 1 + half + halfPlusOne};
        return {1 + half + halfPlusOne, 1 + 2 * halfPlusOne};
    }

    // Writes the subtree of node index at offset at of the file.
    void WriteNode(size_t index, uint64_t at, int parallelDepth) const
    {
        const TNode& node = FNodes[index];
        char* const record = FOut + at;
        record[0] = 1;
        EncodeLE<int32_t>(record + 1, int32_t(node.Size));
        EncodeLE<int32_t>(record + 5, node.East);
        EncodeLE<int32_t>(record + 9, node.North);
        EncodeLE<int32_t>(record + 13, node.West);
        EncodeLE<int32_t>(record + 17, node.South);
        at += SkipperSize;
        if (node.Right == 0) {
            WriteLeaf(node.First, node.Count, at);
            return;
        }
        const uint64_t rightAt = at + FNodes[index + 1].Size;
        RunParallel(parallelDepth > 0 ? 2 : 1, [&](size_t half) {
            if (half == 0 || parallelDepth <= 0)
                WriteNode(index + 1, at, parallelDepth - 1);
            if (half == 1 || parallelDepth <= 0)
                WriteNode(node.Right, rightAt, parallelDepth - 1);
        });
    }

    void WriteLeaf(size_t first, size_t n, uint64_t at) const
    {
        // The leaves are written in the order of FByLon, so the entries needed next are known:
        // asking for them this far ahead lets their loads overlap instead of waiting for each.
        constexpr size_t Ahead = 24;
        for (size_t k = first; k < first + n; ++k) {
            if (k + Ahead < FCount) {
                const uint32_t next = FByLon[k + Ahead];
                const auto* ahead = reinterpret_cast<const char*>(&FEntries[int(next)]);
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + sizeof(TEntry) - 1);
            }
            const TEntry& entry = FEntries[int(FByLon[k])];
            at += PutPoi(FOut + at, entry.GetDescription(), ToFixed(entry.GetLongitude(FPrecision)), ToFixed(entry.GetLatitude(FPrecision)));
        }
    }

    const TEntries& FEntries;
    TMemoryStream& FStream;
    const size_t FCount;
    // The conversion's, taken at its start: the threads never ask the settings.
    const int FPrecision;
    // Until both sorts are done.
    std::vector<TCoord> FCoords;
    TScratch<uint64_t> FSortScratch[2];
    std::pair<int32_t, int32_t> FLonRange{}, FLatRange{};
    int FParallelDepth = 0;
    std::vector<uint32_t> FByLon;
    TScratch<uint32_t> FByLat;
    TScratch<uint8_t> FInLeft;
    TScratch<uint32_t> FPartition;
    // While the tree is built: each entry's record size (one of 4 GB or more counts as 4 GB,
    // which is too big for a file all the same).
    TScratch<uint32_t> FRecordSizes;
    std::vector<TNode> FNodes;
    char* FOut = nullptr;
};

// One record from the stream's position on (the type byte already read, at offset p - 1); false
// for a skipper cut short by the end of the stream, which ends the file.
bool ReadRecord(TMemoryStream& stream, uint8_t type, TEntries& entries, int precision)
{
    const uint64_t p = stream.Position();
    switch (type) {
    case 1:
    case 100:
        // The block size and the edges are of no use to a reader that takes every POI.
        if (stream.Remaining() < SkipperSize - 1)
            return false;
        stream.Skip(SkipperSize - 1);
        return true;
    case 0:
    case 2:
    case 3:
        break;
    default:
        InvalidOv2();
    }
    if (stream.Remaining() < PoiOverhead - 1)
        InvalidOv2();
    const int32_t length = stream.ReadI32LE();
    const int32_t lon = stream.ReadI32LE();
    const int32_t lat = stream.ReadI32LE();
    // Texts end inside the record; a length past the end of the stream cannot be right.
    if (length < PoiOverhead || uint64_t(length) - 1 > stream.Size() - p)
        InvalidOv2();
    const uint64_t recordEnd = p - 1 + uint64_t(length);
    try {
        const std::string_view text = stream.ReadZeroTerminated(recordEnd);
        if (type == 3) {
            stream.ReadZeroTerminated(recordEnd);
            stream.ReadZeroTerminated(recordEnd);
        }
        if (stream.Position() != recordEnd)
            InvalidOv2();
        if (type != 0)
            entries.Add(text, {}, lon / 100000.0, lat / 100000.0, precision);
    } catch (const EReadError&) {
        InvalidOv2();
    }
    return true;
}

} // namespace

std::span<const TOptionInfo> TConvertToOv2::Options() const { return Ov2Options; }

void TConvertToOv2::Convert(TEntries& entries, TMemoryStream& stream)
{
    const TConversionOptions options = TakeOptions();
    if (options.Bool(0)) {
        TTreeWriter(entries, stream, options.Precision).Write();
        return;
    }
    for (int i = 0; i < entries.Count(); ++i)
        WritePoi(stream, entries[i], options.Precision);
}

void TConvertFromOv2::Convert(TEntries& entries, TMemoryStream& stream)
{
    const int precision = TakeOptions().Precision;
    ReadInParts(entries, stream, precision);
    // One record after the other: all of a small file, and what the parts left (the record that
    // fails, or a skipper cut short at the end).
    const double size = double(stream.Size());
    while (stream.Position() < stream.Size()) {
        if (!ReadRecord(stream, stream.ReadU8(), entries, precision))
            break;
        SetProgress(double(stream.Position()) / size * 100.0);
    }
}

namespace {

// The POI records of data[from, to), every record's bounds already checked; appends their POIs.
// Returns to, or the start of the first record whose texts do not end where its length says.
uint64_t ParsePart(const char* data, uint64_t from, uint64_t to, TEntries& entries, int precision)
{
    uint64_t at = from;
    while (at < to) {
        const uint8_t type = uint8_t(data[at]);
        if (type == 1 || type == 100) {
            at += SkipperSize;
            continue;
        }
        const uint64_t end = at + uint64_t(DecodeLE<int32_t>(data + at + 1));
        const char* const text = data + at + 13;
        const char* const limit = data + end;
        const char* const textEnd = static_cast<const char*>(std::memchr(text, 0, size_t(limit - text)));
        // Type 3 has two more texts, read past.
        const char* zero = textEnd;
        for (int more = type == 3 ? 2 : 0; zero && more > 0; --more)
            zero = static_cast<const char*>(std::memchr(zero + 1, 0, size_t(limit - zero - 1)));
        if (!zero || zero + 1 != limit)
            return at;
        if (type != 0)
            entries.Add(std::string_view(text, size_t(textEnd - text)), {}, DecodeLE<int32_t>(data + at + 5) / 100000.0,
                        DecodeLE<int32_t>(data + at + 9) / 100000.0, precision);
        at = end;
    }
    return to;
}

} // namespace

void TConvertFromOv2::ReadInParts(TEntries& entries, TMemoryStream& stream, int precision)
{
    const uint64_t size = stream.Size();
    const uint64_t start = stream.Position();
    const size_t threads = size_t(ConversionThreads());
    if (threads < 2 || size < start || size - start < MinPartBytes * 2)
        return;
    const char* const data = stream.Current() - start;
    // The bounds of the records, one after the other, up to the first one whose type or length
    // is wrong: every few thousand POIs a place where a part may start, and where the whole
    // percentage changes (the progress the one-thread read reports after each record). Parts
    // hold whole blocks of the list, so they join as a list filled in one go.
    constexpr size_t PoisPerCut = size_t(2 * TEntries::BlockEntries());
    std::vector<uint64_t> cuts{start};
    std::vector<std::pair<uint64_t, int>> marks;
    const double total = double(size);
    // The first record always counts, as the one-thread read reports after it whatever came before.
    int percent = -1;
    // No record ending before this changes the percentage (kept a few bytes early for rounding).
    const auto nextChange = [size](int value) { return uint64_t(value + 1) * size / 100 - std::min<uint64_t>(size / 100, 4); };
    uint64_t check = 0;
    uint64_t at = start;
    size_t pois = 0;
    while (at < size) {
        const uint8_t type = uint8_t(data[at]);
        uint64_t end;
        if (type == 1 || type == 100) {
            if (size - at - 1 < SkipperSize - 1)
                break;
            end = at + SkipperSize;
        } else if (type == 0 || type == 2 || type == 3) {
            if (size - at - 1 < PoiOverhead - 1)
                break;
            const int32_t length = DecodeLE<int32_t>(data + at + 1);
            if (length < PoiOverhead || uint64_t(length) - 1 > size - at - 1)
                break;
            end = at + uint64_t(length);
        } else {
            break;
        }
        at = end;
        if (end >= check) {
            const int value = int(double(end) / total * 100.0);
            if (value != percent) {
                percent = value;
                marks.emplace_back(end, value);
                check = nextChange(percent);
            } else {
                check = end + 1;
            }
        }
        if ((type == 2 || type == 3) && ++pois % PoisPerCut == 0)
            cuts.push_back(at);
    }
    if (cuts.back() != at)
        cuts.push_back(at);
    // A few parts a thread, so that one slow part does not keep the others waiting.
    const size_t parts = std::min(threads * 4, cuts.size() - 1);
    if (parts < 2)
        return;
    struct TPart {
        uint64_t From = 0, To = 0, Stop = 0;
        TEntries Entries;
    };
    std::vector<TPart> list(parts);
    for (size_t i = 0; i < parts; ++i) {
        list[i].From = cuts[(cuts.size() - 1) * i / parts];
        list[i].To = cuts[(cuts.size() - 1) * (i + 1) / parts];
    }
    RunParallel(parts, [&](size_t i) {
        TPart& part = list[i];
        part.Entries.Reserve(int((cuts.size() - 1 + parts - 1) / parts * PoisPerCut));
        part.Stop = ParsePart(data, part.From, part.To, part.Entries, precision);
    });
    // The parts in file order up to the first record that failed; the caller reads on from there.
    uint64_t stop = at;
    for (TPart& part : list) {
        const int first = entries.Count();
        const bool hadEntries = part.Entries.Count() > 0;
        entries.AddAll(part.Entries);
        // Each part's list marked its own first entry; only the list's first is the departure.
        if (first > 0 && hadEntries)
            entries[first].IpDeparture = false;
        if (part.Stop != part.To) {
            stop = part.Stop;
            break;
        }
    }
    for (size_t mark = 0; mark < marks.size() && marks[mark].first <= stop; ++mark)
        SetProgress(marks[mark].second);
    stream.Seek(stop);
}
