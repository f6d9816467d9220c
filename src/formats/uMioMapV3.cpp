// The MioMap version 3 / iGo binary POI format (.upd).
//
// Record (80 bytes), little-endian, no header; the latitude comes first:
//   0  4  latitude x 1000000, truncated towards zero, signed
//   4  4  longitude x 1000000, truncated, signed
//   8  1  type (138 as written)
//   9  1  107 as written; meaning unknown
//  10  2  0
//  12  1  country code (6 Belgium, 7 Luxembourg, 8 Netherlands)
//  13  3  0
//  16  4  angle, signed (-1 as written)
//  20  2  latitude cell: Trunc(latitude / 0.0225), signed
//  22  2  longitude cell: Trunc(longitude / (0.0225 / cos latitude)), plus 1 for a negative
//         longitude (plus, not minus: existing files carry it), signed
//  24 56  0
#include "formats/uMioMapV3.h"

#include "core/uStream.h"
#include "model/uModel.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

namespace {

constexpr int RecordSize = 80;
constexpr uint8_t PoiType = 138;
constexpr double CellSize = 0.0225;

const TOptionInfo MioMapV3Options[] = {
    {"uMioMapV3", QT_TRANSLATE_NOOP("uMioMapV3", "Country code"),
     QT_TRANSLATE_NOOP("uMioMapV3", "Which country code to write in the file (6: Belgium, 7: Luxembourg, 8: Netherlands)"),
     TOptionKind::okInteger, 8, 0, 255},
};

// Degrees x 1000000 truncated towards zero. A coordinate with six decimals is a whole number of
// units, but its binary product can fall just below it (0.257227 x 1000000 = 257226.99999999997);
// truncating that would move the POI, so such near-integers count as the integer.
int32_t ToMicroDegrees(double degrees)
{
    const double units = degrees * 1000000.0;
    const double nearest = std::nearbyint(units);
    return int32_t(std::fabs(units - nearest) < 1e-6 ? nearest : std::trunc(units));
}

} // namespace

std::span<const TOptionInfo> TConvertToMioMapV3::Options() const { return MioMapV3Options; }

void TConvertToMioMapV3::Convert(TEntries& entries, TMemoryStream& stream)
{
    const uint8_t country = uint8_t(ReadIntegerOption(0));
    stream.Reserve(stream.Position() + uint64_t(entries.Count()) * RecordSize);
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& e = entries[i];
        const double lat = e.GetLatitude();
        const double lon = e.GetLongitude();
        const double width = CellSize / std::cos(lat * std::numbers::pi / 180.0);
        int16_t lonCell = int16_t(std::trunc(lon / width));
        if (lon < 0)
            ++lonCell;
        char record[RecordSize] = {};
        EncodeLE(record + 0, ToMicroDegrees(lat));
        EncodeLE(record + 4, ToMicroDegrees(lon));
        EncodeLE(record + 8, PoiType);
        EncodeLE(record + 9, uint8_t(107));
        EncodeLE(record + 12, country);
        EncodeLE(record + 16, int32_t(-1));
        EncodeLE(record + 20, int16_t(std::trunc(lat / CellSize)));
        EncodeLE(record + 22, lonCell);
        stream.Write(record, RecordSize);
    }
}

void TConvertFromMioMapV3::Convert(TEntries& entries, TMemoryStream& stream)
{
    while (stream.Position() < stream.Size()) {
        if (stream.Remaining() < RecordSize)
            throw EUserError(QCoreApplication::translate("uMioMapV3", "Invalid upd file"));
        const char* record = stream.Current();
        auto entry = std::make_unique<TEntry>();
        entry->SetLatitude(DecodeLE<int32_t>(record + 0) / 1000000.0);
        entry->SetLongitude(DecodeLE<int32_t>(record + 4) / 1000000.0);
        entry->SetDescription("Country: " + std::to_string(DecodeLE<uint8_t>(record + 12)) + ", Type: "
                              + std::to_string(DecodeLE<uint8_t>(record + 8)) + ", Angle: " + std::to_string(DecodeLE<int32_t>(record + 16)));
        stream.Skip(RecordSize);
        entries.AddEntry(std::move(entry), true);
        SetProgress(double(stream.Position()) / double(stream.Size()) * 100.0);
    }
}
