// The TomTom itinerary format.
//
// File layout (known; 8-bit text, lines ended by CR LF, no header):
//   <longitude>|<latitude>|<description>|<flag>|
//   longitude, latitude: decimal integers in units of 1/100000 degree (the precision-rounded
//     coordinate times 100000, rounded to nearest, ties to even).
//   flag: decimal integer, bit 0 enabled, bit 1 stop-over, bit 2 departure.
// Readers accept CR, LF or CR LF and lines without the final "|".
#include "formats/uTomTomItn.h"

#include "core/uStream.h"
#include "model/uModel.h"

#include <cmath>

namespace {

void AppendUnits(std::string& out, double degrees)
{
    out += std::to_string(RoundExactProduct(degrees, 100000.0));
}

} // namespace

void TConvertToItn::Convert(TEntries& entries, TMemoryStream& stream)
{
    std::string out;
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        AppendUnits(out, entry.GetLongitude());
        out += '|';
        AppendUnits(out, entry.GetLatitude());
        out += '|';
        // A "|" in the description would move the flag field and fail the read.
        out += SingleLineField(entry.GetDescription(), {}, "|");
        out += '|';
        out += std::to_string(entry.GetFlag());
        out += "|\r\n";
    }
    stream.Write(out);
}

void TConvertFromItn::Convert(TEntries& entries, TMemoryStream& stream)
{
    // A view of the stream's bytes: the text is not copied again.
    const std::string_view text = stream.ReadRest();
    const std::vector<std::string_view> lines = SplitTextLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = TrimControls(lines[i]);
        if (line.empty())
            continue;
        if (line.back() == '|')
            line.remove_suffix(1);
        const size_t p1 = line.find('|');
        if (p1 == std::string_view::npos)
            continue;
        const size_t p2 = line.find('|', p1 + 1);
        if (p2 == std::string_view::npos)
            continue;
        const size_t p3 = line.find('|', p2 + 1);
        if (p3 == std::string_view::npos)
            continue;
        const int32_t lon = StrToInt32(line.substr(0, p1));
        const int32_t lat = StrToInt32(line.substr(p1 + 1, p2 - p1 - 1));
        const int32_t flag = StrToInt32(line.substr(p3 + 1));
        auto entry = std::make_unique<TEntry>();
        entry->SetLongitude(lon / 100000.0);
        entry->SetLatitude(lat / 100000.0);
        entry->SetDescription(std::string(line.substr(p2 + 1, p3 - p2 - 1)));
        entry->IpEnabled = (flag & 1) != 0;
        entry->IpStopOver = (flag & 2) != 0;
        entry->IpDeparture = (flag & 4) != 0;
        entries.AddEntry(std::move(entry), false);
        SetProgress(double(i) / double(lines.size()) * 100);
    }
}
