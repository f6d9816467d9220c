// The Smartpath binary POI format (.ovr).
//
// Record (10 + n bytes), little-endian, no header and no terminator:
//   0  1  type = 1
//   1  1  length = 8 + n (the bytes after this field)
//   2  4  longitude x 10000, signed, rounded to nearest (ties to even)
//   6  4  latitude x 10000, signed, rounded likewise
//  10  n  description, 8-bit, no terminator
#include "formats/uSmartpath.h"

#include "core/uStream.h"
#include "model/uModel.h"

#include <cmath>

namespace {

constexpr size_t MaxDescription = 255 - 8;

[[noreturn]] void InvalidOvr() { throw EUserError(QCoreApplication::translate("uSmartpath", "Invalid ovr file")); }

int32_t ToFixed(double degrees) { return static_cast<int32_t>(RoundExactProduct(degrees, 10000.0)); }

} // namespace

void TConvertToOvr::Convert(TEntries& entries, TMemoryStream& stream)
{
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& e = entries[i];
        const std::string_view text = e.GetDescription();
        // A longer text would wrap the length byte and break every following record.
        const size_t n = std::min(text.size(), MaxDescription);
        stream.WriteU8(1);
        stream.WriteU8(uint8_t(8 + n));
        stream.WriteI32LE(ToFixed(e.GetLongitude()));
        stream.WriteI32LE(ToFixed(e.GetLatitude()));
        stream.Write(text.data(), n);
    }
}

void TConvertFromOvr::Convert(TEntries& entries, TMemoryStream& stream)
{
    try {
        while (stream.Position() < stream.Size()) {
            if (stream.ReadU8() != 1)
                InvalidOvr();
            const uint8_t length = stream.ReadU8();
            if (length < 8)
                InvalidOvr();
            const int32_t lon = stream.ReadI32LE();
            const int32_t lat = stream.ReadI32LE();
            auto entry = std::make_unique<TEntry>();
            entry->SetLongitude(lon / 10000.0);
            entry->SetLatitude(lat / 10000.0);
            entry->SetDescription(stream.ReadBytes(length - 8u));
            entries.AddEntry(std::move(entry), true);
            SetProgress(double(stream.Position()) / double(stream.Size()) * 100.0);
        }
    } catch (const EReadError&) {
        InvalidOvr();
    }
}
