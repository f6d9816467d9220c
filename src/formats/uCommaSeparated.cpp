// The Destinator and MioMap comma-separated formats.
//
// File layout (known; 8-bit text, lines ended by CR LF, no header):
//   Destinator, 8 fields: "<description>","<description>",<longitude>,<latitude>,,,,
//     numbers with exactly 5 decimals.
//   MioMap, 7 fields:     "<description>","<description>",<longitude>,<latitude>,,,
//     numbers with exactly 4 decimals.
//   Numbers are decimal degrees with "." whatever the locale. The writers leave double quotes
//   out of the description (a quote would end the field early) and turn line breaks into blanks.
// Readers take field 0 as the description and fields 2 and 3 as the coordinates, and ignore the
// rest; blank lines are skipped.
#include "formats/uCommaSeparated.h"

#include "core/uStream.h"
#include "model/uModel.h"

namespace {

void WriteLines(TEntries& entries, TMemoryStream& stream, int decimals, std::string_view padding)
{
    std::string out;
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        const std::string description = '"' + SingleLineField(entry.GetDescription(), "\"") + '"';
        out += description;
        out += ',';
        out += description;
        out += ',';
        AppendFixed(out, entry.GetLongitude(), decimals);
        out += ',';
        AppendFixed(out, entry.GetLatitude(), decimals);
        out += padding;
        out += "\r\n";
    }
    stream.Write(out);
}

// fieldLimit bounds the split as each format's original reader did (0: none).
void ReadLines(TEntries& entries, TMemoryStream& stream, TConvertFromBase& reader, int fieldLimit)
{
    // A view of the stream's bytes: the text is not copied again.
    const std::string_view text = stream.ReadRest();
    const std::vector<std::string_view> lines = SplitTextLines(text);
    std::vector<std::string> fields;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = TrimControls(lines[i]);
        if (!line.empty()) {
            SplitCsvLine(line, fields, fieldLimit);
            if (fields.size() < 4)
                throw ETarvellError(
                    QCoreApplication::translate("uCommaSeparated", "%1 values expected on line %2").arg(4).arg(i));
            auto entry = std::make_unique<TEntry>();
            entry->SetLongitude(StrToFloatSep(fields[2]));
            entry->SetLatitude(StrToFloatSep(fields[3]));
            entry->SetDescription(std::move(fields[0]));
            entries.AddEntry(std::move(entry), true);
        }
        reader.SetProgress(double(i) / double(lines.size()) * 100);
    }
}

} // namespace

void TConvertToCsv::Convert(TEntries& entries, TMemoryStream& stream)
{
    WriteLines(entries, stream, 5, ",,,,");
}

// The original reader failed on blank lines (a trailing one above all) with a raw index error.
void TConvertFromCsv::Convert(TEntries& entries, TMemoryStream& stream)
{
    ReadLines(entries, stream, *this, 10);
}

void TConvertToMioMap::Convert(TEntries& entries, TMemoryStream& stream)
{
    WriteLines(entries, stream, 4, ",,,");
}

// Unlimited split: the original limit of 4 fields left the writer's empty fields in the latitude,
// so it could not read its own files.
void TConvertFromMioMap::Convert(TEntries& entries, TMemoryStream& stream)
{
    ReadLines(entries, stream, *this, 0);
}
