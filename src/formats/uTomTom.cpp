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
#include "model/uModel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
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

int32_t ToFixed(double degrees) { return static_cast<int32_t>(std::nearbyint(degrees * 100000.0)); }

// The description as written: a zero byte would end the text early, so it is left out.
size_t WrittenLength(const std::string& description)
{
    return description.size() - size_t(std::count(description.begin(), description.end(), '\0'));
}

void PutI32(char* at, int32_t value) { std::memcpy(at, &value, 4); }

// lon and lat are the entry's coordinates as written (ToFixed of the getters).
void WritePoi(TMemoryStream& stream, const TEntry& entry, int32_t lon, int32_t lat)
{
    const std::string& text = entry.GetDescription();
    const size_t n = WrittenLength(text);
    char head[13];
    head[0] = 2;
    PutI32(head + 1, int32_t(PoiOverhead + n));
    PutI32(head + 5, lon);
    PutI32(head + 9, lat);
    stream.Write(head, sizeof head);
    if (n == text.size()) {
        stream.Write(text.data(), text.size() + 1);  // with the string's own terminating zero
        return;
    }
    for (char c : text)
        if (c != '\0')
            stream.WriteU8(uint8_t(c));
    stream.WriteU8(0);
}

void WritePoi(TMemoryStream& stream, const TEntry& entry)
{
    WritePoi(stream, entry, ToFixed(entry.GetLongitude()), ToFixed(entry.GetLatitude()));
}

// What the tree sorts: the precision-rounded coordinates in units of the last decimal (so that
// integer order is the getters' order) and the entry's index in the caller's list.
struct TSortKey {
    int32_t Lon;
    int32_t Lat;
    uint32_t Index;
};

enum class TAxis { None, Longitude, Latitude };

// Builds the tree over a permutation of the list and writes it in pre-order, each skipper's
// block size filled in once its subtree is written.
class TTreeWriter {
public:
    TTreeWriter(const TEntries& entries, TMemoryStream& stream)
        : FEntries(entries)
        , FStream(stream)
    {
        double scale = 1;
        for (int i = CoordinatePrecision(); i > 0; --i)
            scale *= 10;
        // At five decimals a key is computed exactly as the written value is.
        FKeysAreFixed = CoordinatePrecision() == 5;
        FKeys.resize(size_t(entries.Count()));
        for (int i = 0; i < entries.Count(); ++i) {
            const TEntry& e = entries[i];
            FKeys[size_t(i)] = {int32_t(std::nearbyint(e.GetLongitude() * scale)), int32_t(std::nearbyint(e.GetLatitude() * scale)), uint32_t(i)};
        }
    }

    void Write()
    {
        double east = -200, west = 200, north = -200, south = 200;
        if (!FKeys.empty()) {
            const auto [minLon, maxLon] = std::minmax_element(FKeys.begin(), FKeys.end(), [](const TSortKey& a, const TSortKey& b) { return a.Lon < b.Lon; });
            const auto [minLat, maxLat] = std::minmax_element(FKeys.begin(), FKeys.end(), [](const TSortKey& a, const TSortKey& b) { return a.Lat < b.Lat; });
            east = EntryOf(*maxLon).GetLongitude();
            west = EntryOf(*minLon).GetLongitude();
            north = EntryOf(*maxLat).GetLatitude();
            south = EntryOf(*minLat).GetLatitude();
        }
        FStream.Reserve(FStream.Position() + TreeSize(FEntries.Count()));
        // The root has no parent: a list of up to 19 entries is written in list order.
        WriteGroup(0, FEntries.Count(), east, west, north, south, TAxis::None);
    }

private:
    // Bytes of the tree over count entries, to size the output buffer once.
    uint64_t TreeSize(int count) const
    {
        uint64_t size = 0;
        CountSkippers(count, size);
        for (int i = 0; i < FEntries.Count(); ++i)
            size += PoiOverhead + FEntries[i].GetDescription().size();
        return size;
    }
    static void CountSkippers(int n, uint64_t& size)
    {
        size += SkipperSize;
        if (n > MaxLeafEntries) {
            CountSkippers(n / 2, size);
            CountSkippers(n - n / 2, size);
        }
    }

    const TEntry& EntryOf(const TSortKey& key) const { return FEntries[int(key.Index)]; }

    // The comparers: by one coordinate, then the other, then the description byte-wise.
    bool Less(TAxis axis, const TSortKey& a, const TSortKey& b) const
    {
        const bool lonFirst = axis == TAxis::Longitude;
        const int32_t a1 = lonFirst ? a.Lon : a.Lat, b1 = lonFirst ? b.Lon : b.Lat;
        if (a1 != b1)
            return a1 < b1;
        const int32_t a2 = lonFirst ? a.Lat : a.Lon, b2 = lonFirst ? b.Lat : b.Lon;
        if (a2 != b2)
            return a2 < b2;
        return EntryOf(a).GetDescription() < EntryOf(b).GetDescription();
    }

    // Entries the comparers call equal have the same position and description, so they write the
    // same bytes; a sort leaves only their order open. A node's sort then decides just two
    // things: which entries go left (the m smallest) and, where a child is a leaf, the order that
    // leaf writes. A partial sort around entry o does the first; a leaf's range is sorted with its
    // parent's comparer. The file is the one that full sorts at every node give.
    void WriteGroup(size_t first, int n, double east, double west, double north, double south, TAxis parentAxis)
    {
        const uint64_t start = FStream.Position();
        WriteSkipper(east, north, west, south);
        const auto begin = FKeys.begin() + ptrdiff_t(first);
        if (n > MaxLeafEntries) {
            const int m = n / 2;
            const size_t o = first + size_t(m);
            // Ties go to longitude.
            const TAxis axis = east - west >= north - south ? TAxis::Longitude : TAxis::Latitude;
            std::nth_element(begin, begin + m, begin + n, [this, axis](const TSortKey& a, const TSortKey& b) { return Less(axis, a, b); });
            const TEntry& split = EntryOf(FKeys[o]);
            if (axis == TAxis::Longitude) {
                const double lon = split.GetLongitude();
                WriteGroup(first, m, lon, west, north, south, axis);
                WriteGroup(o, n - m, east, lon, north, south, axis);
            } else {
                const double lat = split.GetLatitude();
                WriteGroup(first, m, east, west, lat, south, axis);
                WriteGroup(o, n - m, east, west, north, lat, axis);
            }
        } else {
            if (parentAxis != TAxis::None)
                std::sort(begin, begin + n, [this, parentAxis](const TSortKey& a, const TSortKey& b) { return Less(parentAxis, a, b); });
            // The leaf's entries lie anywhere in memory; asking for all of them (and their texts)
            // before writing lets the loads overlap instead of waiting for each in turn.
            const TEntry* leaf[MaxLeafEntries];
            for (int k = 0; k < n; ++k) {
                leaf[k] = &EntryOf(FKeys[first + size_t(k)]);
                __builtin_prefetch(leaf[k]);
            }
            for (int k = 0; k < n; ++k)
                __builtin_prefetch(leaf[k]->GetDescription().data());
            for (int k = 0; k < n; ++k) {
                const TSortKey& key = FKeys[first + size_t(k)];
                if (FKeysAreFixed)
                    WritePoi(FStream, *leaf[k], key.Lon, key.Lat);
                else
                    WritePoi(FStream, *leaf[k]);
            }
        }
        const uint64_t end = FStream.Position();
        if (end - start > uint64_t(INT32_MAX))
            throw EUserError(QCoreApplication::translate("uTomTom", "The POIs do not fit into an ov2 file"));
        FStream.Seek(start + 1);
        FStream.WriteI32LE(int32_t(end - start));
        FStream.Seek(end);
    }

    void WriteSkipper(double east, double north, double west, double south)
    {
        char record[SkipperSize];
        record[0] = 1;
        PutI32(record + 1, 0);
        PutI32(record + 5, ToFixed(east));
        PutI32(record + 9, ToFixed(north));
        PutI32(record + 13, ToFixed(west));
        PutI32(record + 17, ToFixed(south));
        FStream.Write(record, SkipperSize);
    }

    const TEntries& FEntries;
    TMemoryStream& FStream;
    std::vector<TSortKey> FKeys;
    bool FKeysAreFixed = false;
};

// Reads a zero-terminated text that must end before limit; returns the position after its zero.
const char* ScanText(const char* p, const char* limit)
{
    const void* zero = p < limit ? std::memchr(p, 0, size_t(limit - p)) : nullptr;
    if (!zero)
        InvalidOv2();
    return static_cast<const char*>(zero) + 1;
}

} // namespace

std::span<const TOptionInfo> TConvertToOv2::Options() const { return Ov2Options; }

void TConvertToOv2::Convert(TEntries& entries, TMemoryStream& stream)
{
    if (ReadBoolOption(0)) {
        TTreeWriter(entries, stream).Write();
        return;
    }
    for (int i = 0; i < entries.Count(); ++i)
        WritePoi(stream, entries[i]);
}

void TConvertFromOv2::Convert(TEntries& entries, TMemoryStream& stream)
{
    const uint64_t size = stream.Size();
    const char* const data = stream.Data().data();
    while (stream.Position() < size) {
        const uint64_t p = stream.Position();
        const uint8_t type = uint8_t(data[p]);
        switch (type) {
        case 1:
        case 100:
            if (size - p < SkipperSize)
                InvalidOv2();
            stream.Seek(p + SkipperSize);
            continue;
        case 0:
        case 2:
        case 3:
            break;
        default:
            InvalidOv2();
        }
        if (size - p < PoiOverhead)
            InvalidOv2();
        int32_t length, lon, lat;
        std::memcpy(&length, data + p + 1, 4);
        std::memcpy(&lon, data + p + 5, 4);
        std::memcpy(&lat, data + p + 9, 4);
        if (length < PoiOverhead || uint64_t(length) > size - p)
            InvalidOv2();
        const char* const text = data + p + 13;
        const char* const recordEnd = data + p + uint64_t(length);
        const char* next = ScanText(text, recordEnd);
        const size_t textLength = size_t(next - text - 1);
        if (type == 3)
            next = ScanText(ScanText(next, recordEnd), recordEnd);
        if (next != recordEnd)
            InvalidOv2();
        stream.Seek(p + uint64_t(length));
        if (type != 0) {
            auto entry = std::make_unique<TEntry>();
            entry->SetLongitude(lon / 100000.0);
            entry->SetLatitude(lat / 100000.0);
            entry->SetDescription(std::string(text, textLength));
            entries.AddEntry(std::move(entry), true);
        }
        SetProgress(double(stream.Position()) / double(size) * 100.0);
    }
}
