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
#include <array>
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

void WritePoi(TMemoryStream& stream, const TEntry& entry)
{
    const std::string& text = entry.GetDescription();
    const size_t n = WrittenLength(text);
    stream.WriteU8(2);
    stream.WriteI32LE(int32_t(PoiOverhead + n));
    stream.WriteI32LE(ToFixed(entry.GetLongitude()));
    stream.WriteI32LE(ToFixed(entry.GetLatitude()));
    if (n == text.size()) {
        stream.Write(text);
    } else {
        for (char c : text)
            if (c != '\0')
                stream.WriteU8(uint8_t(c));
    }
    stream.WriteU8(0);
}

// What the tree sorts: the precision-rounded coordinates in units of the last decimal (so that
// integer order is the getters' order) and the entry's index in the caller's list.
struct TSortKey {
    int32_t Lon;
    int32_t Lat;
    uint32_t Index;
};

class TTreeWriter {
public:
    TTreeWriter(const TEntries& entries, TMemoryStream& stream)
        : FEntries(entries)
        , FStream(stream)
    {
        double scale = 1;
        for (int i = CoordinatePrecision(); i > 0; --i)
            scale *= 10;
        FKeys.resize(size_t(entries.Count()));
        for (int i = 0; i < entries.Count(); ++i) {
            const TEntry& e = entries[i];
            FKeys[size_t(i)] = {int32_t(std::nearbyint(e.GetLongitude() * scale)), int32_t(std::nearbyint(e.GetLatitude() * scale)), uint32_t(i)};
        }
    }

    void Write()
    {
        double east = -200, west = 200, north = -200, south = 200;
        for (int i = 0; i < FEntries.Count(); ++i) {
            const TEntry& e = FEntries[i];
            const double lon = e.GetLongitude();
            const double lat = e.GetLatitude();
            east = std::max(east, lon);
            west = std::min(west, lon);
            north = std::max(north, lat);
            south = std::min(south, lat);
        }
        FStream.Reserve(FStream.Position() + TreeSize(FEntries.Count()));
        WriteGroup(0, FEntries.Count(), east, west, north, south);
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

    int CompareDescriptions(const TSortKey& a, const TSortKey& b) const
    {
        const int c = EntryOf(a).GetDescription().compare(EntryOf(b).GetDescription());
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    bool LessByLongitude(const TSortKey& a, const TSortKey& b) const
    {
        if (a.Lon != b.Lon)
            return a.Lon < b.Lon;
        if (a.Lat != b.Lat)
            return a.Lat < b.Lat;
        return CompareDescriptions(a, b) < 0;
    }
    bool LessByLatitude(const TSortKey& a, const TSortKey& b) const
    {
        if (a.Lat != b.Lat)
            return a.Lat < b.Lat;
        if (a.Lon != b.Lon)
            return a.Lon < b.Lon;
        return CompareDescriptions(a, b) < 0;
    }

    // Entries the comparers call equal have the same position and description, so they write the
    // same bytes: any sort gives the file the list's own quicksort gives. A range already in
    // order (a child split along its parent's axis) is left alone.
    template <typename Less>
    void SortRange(size_t first, size_t n, Less less)
    {
        const auto begin = FKeys.begin() + ptrdiff_t(first);
        const auto end = begin + ptrdiff_t(n);
        if (!std::is_sorted(begin, end, less))
            std::sort(begin, end, less);
    }

    // Writes the node over keys first .. first + n - 1 with these edges: its skipper, then the
    // left and the right subtree, or a leaf's POIs; the block size is filled in afterwards.
    void WriteGroup(size_t first, int n, double east, double west, double north, double south)
    {
        const uint64_t start = FStream.Position();
        FStream.WriteU8(1);
        FStream.WriteI32LE(0);
        FStream.WriteI32LE(ToFixed(east));
        FStream.WriteI32LE(ToFixed(north));
        FStream.WriteI32LE(ToFixed(west));
        FStream.WriteI32LE(ToFixed(south));
        if (n > MaxLeafEntries) {
            const int m = n / 2;
            const size_t o = first + size_t(m);
            // Ties go to longitude.
            if (east - west >= north - south) {
                SortRange(first, size_t(n), [this](const TSortKey& a, const TSortKey& b) { return LessByLongitude(a, b); });
                const double split = EntryOf(FKeys[o]).GetLongitude();
                WriteGroup(first, m, split, west, north, south);
                WriteGroup(o, n - m, east, split, north, south);
            } else {
                SortRange(first, size_t(n), [this](const TSortKey& a, const TSortKey& b) { return LessByLatitude(a, b); });
                const double split = EntryOf(FKeys[o]).GetLatitude();
                WriteGroup(first, m, east, west, split, south);
                WriteGroup(o, n - m, east, west, north, split);
            }
        } else {
            for (size_t i = first; i < first + size_t(n); ++i)
                WritePoi(FStream, EntryOf(FKeys[i]));
        }
        const uint64_t end = FStream.Position();
        if (end - start > uint64_t(INT32_MAX))
            throw EUserError(QCoreApplication::translate("uTomTom", "The POIs do not fit into an ov2 file"));
        FStream.Seek(start + 1);
        FStream.WriteI32LE(int32_t(end - start));
        FStream.Seek(end);
    }

    const TEntries& FEntries;
    TMemoryStream& FStream;
    std::vector<TSortKey> FKeys;
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
