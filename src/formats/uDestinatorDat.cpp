// The Destinator binary POI format (.dat).
//
// Record (variable), little-endian, no header:
//   2 x 11 + 2  "Dynamic POI" in UTF-16LE, then a 16-bit zero (the type; not checked on reading)
//   2 x k + 2   the description in UTF-16LE, then a 16-bit zero
//   22          zero bytes: as read, seven further empty texts (14 bytes) and 8 skipped bytes
//   16          longitude, latitude: 64-bit IEEE floats, degrees
//   16          longitude, latitude again (only observed to repeat the first pair; not read)
//   16          zero bytes
#include "formats/uDestinatorDat.h"

#include "core/uCodePage.h"
#include "core/uStream.h"
#include "model/uModel.h"

#include <cmath>

namespace {

constexpr int TextsPerRecord = 9;
constexpr int SkipBeforePosition = 8;
constexpr int SkipAfterPosition = 32;
const char16_t TypeText[] = u"Dynamic POI";

[[noreturn]] void InvalidDat() { throw EUserError(QCoreApplication::translate("uDestinatorDat", "Invalid dat file")); }

void WriteText(TMemoryStream& stream, const QString& text)
{
    for (QChar c : text)
        // A zero character would end the text early for every reader.
        if (c.unicode() != 0)
            stream.WriteU16LE(c.unicode());
    stream.WriteU16LE(0);
}

// Reads a zero-terminated UTF-16LE text; one without its terminator is a damaged file.
QString ReadText(TMemoryStream& stream)
{
    const uint64_t units = stream.Remaining() / 2;
    const char* p = stream.Current();
    for (uint64_t i = 0; i < units; ++i) {
        if (p[2 * i] == 0 && p[2 * i + 1] == 0) {
            QString text(qsizetype(i), Qt::Uninitialized);
            for (uint64_t k = 0; k < i; ++k)
                text[qsizetype(k)] = QChar(char16_t(uint8_t(p[2 * k]) | uint8_t(p[2 * k + 1]) << 8));
            stream.Skip(2 * (i + 1));
            return text;
        }
    }
    InvalidDat();
}

double ReadCoordinate(TMemoryStream& stream)
{
    const double v = stream.ReadDoubleLE();
    if (!std::isfinite(v))
        InvalidDat();
    return v;
}

} // namespace

void TConvertToDat::Convert(TEntries& entries, TMemoryStream& stream)
{
    const QString type = QString::fromUtf16(TypeText);
    const char zeros[22] = {};
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& e = entries[i];
        const double lon = e.GetLongitude();
        const double lat = e.GetLatitude();
        WriteText(stream, type);
        WriteText(stream, AnsiToUnicode(e.GetDescription()));
        stream.Write(zeros, 22);
        for (int pair = 0; pair < 2; ++pair) {
            stream.WriteDoubleLE(lon);
            stream.WriteDoubleLE(lat);
        }
        stream.Write(zeros, 16);
    }
}

void TConvertFromDat::Convert(TEntries& entries, TMemoryStream& stream)
{
    try {
        while (stream.Position() < stream.Size()) {
            ReadText(stream);
            const QString description = ReadText(stream);
            for (int i = 2; i < TextsPerRecord; ++i)
                ReadText(stream);
            stream.Skip(SkipBeforePosition);
            const double lon = ReadCoordinate(stream);
            const double lat = ReadCoordinate(stream);
            stream.Skip(SkipAfterPosition);
            auto entry = std::make_unique<TEntry>();
            entry->SetDescription(UnicodeToAnsi(description));
            entry->SetLongitude(lon);
            entry->SetLatitude(lat);
            entries.AddEntry(std::move(entry), true);
        }
    } catch (const EReadError&) {
        InvalidDat();
    }
}
