// The Garmin MapSource database format (.gdb), read only.
//
// Layout, integers little-endian:
//   6 bytes   "MsRcf" and a zero byte
//   version   32-bit length L, then L + 1 bytes (a type byte and L data bytes) whose
//             zero-terminated text is "Dk" (version 1) or "Dl" (version 2)
//   app       32-bit length L, then L + 1 bytes, skipped
//   10 bytes  "MapSource" and a zero byte
//   records   32-bit length L, a type byte, then L data bytes, until the end of the file
// Only waypoint records (type 'W') are read; their data starts with:
//   name      zero-terminated, the description
//   4         skipped
//   text      zero-terminated, skipped
//   22        skipped
//   4         latitude in semicircles (degrees = value / 2^31 x 180), signed
//   4         longitude in semicircles, signed
// Everything after the longitude is skipped by the record's length.
#include "formats/uGarminGdb.h"

#include "core/uStream.h"
#include "model/uModel.h"

#include <cstring>
#include <string_view>

namespace {

// text: one of the QT_TRANSLATE_NOOP texts below.
[[noreturn]] void Invalid(const char* text) { throw EUserError(QCoreApplication::translate("uGarminGdb", text)); }
[[noreturn]] void InvalidHeader() { Invalid(QT_TRANSLATE_NOOP("uGarminGdb", "Invalid gdb file header")); }
[[noreturn]] void InvalidRecord() { Invalid(QT_TRANSLATE_NOOP("uGarminGdb", "Invalid gdb file")); }

// The zero-terminated text at the start of bytes (all of it when there is no zero).
std::string_view TextOf(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

// A header record's L + 1 bytes; a length that does not fit the file is a damaged header.
std::string_view ReadHeaderRecord(TMemoryStream& stream)
{
    if (stream.Remaining() < 4)
        InvalidHeader();
    const uint32_t length = stream.ReadU32LE();
    if (uint64_t(length) + 1 > stream.Remaining())
        InvalidHeader();
    const std::string_view bytes(stream.Current(), size_t(length) + 1);
    stream.Skip(uint64_t(length) + 1);
    return bytes;
}

void CheckHeader(TMemoryStream& stream)
{
    if (stream.Remaining() < 6 || std::memcmp(stream.Current(), "MsRcf", 6) != 0)
        InvalidHeader();
    stream.Skip(6);
    const std::string_view version = TextOf(ReadHeaderRecord(stream));
    if (version != "Dk" && version != "Dl")
        Invalid(QT_TRANSLATE_NOOP("uGarminGdb", "Invalid gdb file version"));
    ReadHeaderRecord(stream);
    if (stream.Remaining() < 10 || std::memcmp(stream.Current(), "MapSource", 10) != 0)
        InvalidHeader();
    stream.Skip(10);
}

// Reads the fields of a waypoint's data bytes; they must lie inside the record.
std::unique_ptr<TEntry> ReadWaypoint(std::string_view data)
{
    TMemoryStream record{std::string(data)};
    const auto text = [&record] {
        const std::string_view rest(record.Current(), size_t(record.Remaining()));
        const size_t zero = rest.find('\0');
        if (zero == std::string_view::npos)
            InvalidRecord();
        record.Skip(zero + 1);
        return std::string(rest.substr(0, zero));
    };
    auto entry = std::make_unique<TEntry>();
    try {
        std::string name = text();
        record.Skip(4);
        text();
        record.Skip(22);
        const int32_t lat = record.ReadI32LE();
        const int32_t lon = record.ReadI32LE();
        entry->SetDescription(std::move(name));
        entry->SetLatitude(lat / 2147483648.0 * 180.0);
        entry->SetLongitude(lon / 2147483648.0 * 180.0);
    } catch (const EReadError&) {
        InvalidRecord();
    }
    return entry;
}

} // namespace

void TConvertFromGdb::Convert(TEntries& entries, TMemoryStream& stream)
{
    CheckHeader(stream);
    while (stream.Position() < stream.Size()) {
        if (stream.Remaining() < 5)
            InvalidRecord();
        const uint32_t length = stream.ReadU32LE();
        const uint8_t type = stream.ReadU8();
        if (length > stream.Remaining())
            InvalidRecord();
        const std::string_view data(stream.Current(), length);
        stream.Skip(length);
        if (type == 'W')
            entries.AddEntry(ReadWaypoint(data), true);
        SetProgress(double(stream.Position()) / double(stream.Size()) * 100.0);
    }
}
