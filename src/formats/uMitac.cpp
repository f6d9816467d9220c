// The Mitac speed camera format (.mtc), read only.
//
// Layout, integers little-endian:
//   0  1  'd'
//   1  4  offset of the first record, unsigned
// then records of 73 bytes until the end of the file:
//   0  5  not used
//   5  4  longitude x 100000, signed
//   9  4  latitude x 100000, signed
//  13 52  name, zero-terminated unless it fills all 52 bytes
//  65  4  angle, unsigned
//  69  1  camera type
//  70  3  not used
#include "formats/uMitac.h"

#include "core/uStream.h"
#include "model/uModel.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr int RecordSize = 73;
constexpr int NameSize = 52;
constexpr int HeaderSize = 5;

[[noreturn]] void InvalidMitac() { throw EUserError(QCoreApplication::translate("uMitac", "Invalid Mitac file")); }

// Spaces and control characters off both ends.
std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && uint8_t(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && uint8_t(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

void TConvertFromMitac::Convert(TEntries& entries, TMemoryStream& stream)
{
    if (stream.Remaining() < HeaderSize || stream.Current()[0] != 'd')
        InvalidMitac();
    stream.Skip(1);
    const uint32_t first = stream.ReadU32LE();
    // An offset into the header would read it again as a record.
    if (first < HeaderSize || first > stream.Size())
        InvalidMitac();
    stream.Seek(first);
    for (;;) {
        SetProgress(double(stream.Position()) / double(stream.Size()) * 100.0);
        if (stream.Position() >= stream.Size())
            break;
        if (stream.Remaining() < RecordSize)
            InvalidMitac();
        const char* record = stream.Current();
        const std::string_view field(record + 13, NameSize);
        const std::string_view name = Trimmed(field.substr(0, field.find('\0')));
        char info[48];
        std::snprintf(info, sizeof info, "Type: %02u, Angle: %03u", unsigned(DecodeLE<uint8_t>(record + 69)), unsigned(DecodeLE<uint32_t>(record + 65)));
        std::string description(name);
        if (!description.empty())
            description += " - ";
        description += info;
        auto entry = std::make_unique<TEntry>();
        entry->SetLongitude(DecodeLE<int32_t>(record + 5) / 100000.0);
        entry->SetLatitude(DecodeLE<int32_t>(record + 9) / 100000.0);
        entry->SetDescription(std::move(description));
        stream.Skip(RecordSize);
        entries.AddEntry(std::move(entry), true);
    }
}
