// The TomTom 5 configuration reader.
//
// File layout: arbitrary binary content (observed, not known). Each favourite location starts
// with a 24-byte signature, ?? matching any byte:
//   offset  0: 04 00 ?? 00 00 00      (offset 2: a 32-bit value, not used)
//   offset  6: 04 00 ?? 00 00 00      (offset 8: a 32-bit value, not used)
//   offset 12: 08 00 ?? ?? ?? ?? ?? ?? ?? ?? 08 00
//   offset 24: longitude, signed 32-bit little-endian, 1/100000 degree
//   offset 28: latitude, the same
//   offset 32: three texts, each a length byte L (> 26) and L - 27 bytes of 8-bit text; the
//              third is the description.
// A signature whose texts do not follow (a length byte of 26 or less, or the file ends) is no
// location; the search goes on one byte after its start.
#include "formats/uTomTomCfg.h"

#include "core/uStream.h"
#include "model/uModel.h"

#include <array>
#include <optional>

namespace {

constexpr int SignatureSize = 24;
constexpr int Any = -1;
// clang-format off
constexpr std::array<int, SignatureSize> Signature = {
    0x04, 0x00, Any, 0x00, 0x00, 0x00,
    0x04, 0x00, Any, 0x00, 0x00, 0x00,
    0x08, 0x00, Any, Any, Any, Any, Any, Any, Any, Any, 0x08, 0x00,
};
// clang-format on
// Length bytes count 27 more than the text they precede (observed).
constexpr uint8_t TextLengthBias = 27;

bool MatchesAt(const std::string& data, size_t at)
{
    for (size_t k = 0; k < Signature.size(); ++k)
        if (Signature[k] != Any && static_cast<unsigned char>(data[at + k]) != Signature[k])
            return false;
    return true;
}

// The next signature start from position on, or none when it would run past the end.
std::optional<size_t> FindSignature(const std::string& data, size_t position)
{
    for (size_t at = position; at + SignatureSize <= data.size(); ++at)
        if (MatchesAt(data, at))
            return at;
    return std::nullopt;
}

// Reads one text; none when its length byte is too small or it runs past the end.
std::optional<std::string> ReadText(TMemoryStream& stream)
{
    if (stream.Remaining() < 1)
        return std::nullopt;
    const uint8_t length = stream.ReadU8();
    if (length < TextLengthBias || stream.Remaining() < uint64_t(length - TextLengthBias))
        return std::nullopt;
    return stream.ReadBytes(length - TextLengthBias);
}

} // namespace

void TConvertFromCfg::Convert(TEntries& entries, TMemoryStream& stream)
{
    const std::string& data = stream.Data();
    bool found = false;
    std::optional<size_t> at = FindSignature(data, size_t(std::min<uint64_t>(stream.Position(), data.size())));
    while (at) {
        stream.Seek(*at + SignatureSize);
        // The signature guarantees the first 24 bytes; the coordinates may still be missing.
        std::optional<std::string> description;
        int32_t lon = 0, lat = 0;
        if (stream.Remaining() >= 8) {
            lon = stream.ReadI32LE();
            lat = stream.ReadI32LE();
            const auto first = ReadText(stream);
            const auto second = first ? ReadText(stream) : std::nullopt;
            description = second ? ReadText(stream) : std::nullopt;
        }
        if (!description) {
            at = FindSignature(data, *at + 1);
            continue;
        }
        auto entry = std::make_unique<TEntry>();
        entry->SetLongitude(lon / 100000.0);
        entry->SetLatitude(lat / 100000.0);
        entry->SetDescription(std::move(*description));
        entries.AddEntry(std::move(entry), true);
        found = true;
        at = FindSignature(data, size_t(stream.Position()));
    }
    if (!found)
        throw EUserError(QCoreApplication::translate("uTomTomCfg",
            "No items found in this TomTom Navigator configuration file. Are you sure you are opening a "
            "configuration file that belongs to version 5 or higher of TomTom Navigator?"));
}
