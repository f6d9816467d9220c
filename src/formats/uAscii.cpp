// The ASCII text family: Generic Ascii, Navman CSV, Navio Ascii, Navio CSV and Garmin CSV.
//
// File layout (known; 8-bit text, lines ended by CR LF):
//   header (all but Garmin): "; This Ascii PoiFile was generated[ on <short date>] by ..." CR LF,
//     then an empty line. The date is left out with "/dev" on the command line.
//   one line per entry, the description in double quotes:
//     layout 0: <longitude>, <latitude>, "<description>"
//     layout 1: "<description>", <longitude>, <latitude>
//     layout 2: "<description>", <latitude>, <longitude>
//   Numbers: decimal degrees with exactly Precision decimals and "." whatever the locale.
// Readers accept CR, LF or CR LF, skip blank lines and lines starting with ";", and split at
// commas outside double quotes; the last field takes further commas. Garmin files may have a
// fourth field (a comment) and a first line of column titles.
//
// A bad line ends the read: the entries of earlier lines stay.
#include "formats/uAscii.h"

#include "core/uCodePage.h"
#include "core/uOptionSource.h"
#include "core/uStream.h"
#include "model/uModel.h"

#include <QLocale>

namespace {

constexpr char Context[] = "uAscii";

const TOptionInfo AscOptions[] = {
    { Context, QT_TRANSLATE_NOOP("uAscii", "Save using global precision"),
        QT_TRANSLATE_NOOP("uAscii",
            "The precision of the poi coordinates is adjustable in the Tarvell configuration screen. When\r"
            "this option is checked, the coordinates will be saved using the specified precision, else they\r"
            "will be saved using the precision specified below."),
        TOptionKind::okBoolean, 0 },
    { Context, QT_TRANSLATE_NOOP("uAscii", "Save using precision"),
        QT_TRANSLATE_NOOP("uAscii", "The precision in which to save the poi coordinates."), TOptionKind::okInteger, 5,
        0, 10 },
};

const TOptionInfo GarminOptions[] = {
    { Context, QT_TRANSLATE_NOOP("uAscii", "Treat column 3 as the description"),
        QT_TRANSLATE_NOOP("uAscii",
            "Garmin CSV files can contain 3 or 4 columns. The last 1 or 2 columns are used for the\r"
            "description field inside Tarvell. When this option is checked, Tarvell will be forced to treat\r"
            "the 3th column as the description instead of using the 4th when it is available."),
        TOptionKind::okBoolean, 0 },
};

// The header is a comment line; readers skip it, so its wording is free.
constexpr char HeaderStart[] = "; This Ascii PoiFile was generated";
constexpr char HeaderCredit[] = "by Tarvell (Orvik Software)";

void AppendQuoted(std::string& out, std::string_view description)
{
    // A quote would end the field early and a line break would split the line.
    out += '"';
    out += SingleLineField(description, "\"");
    out += '"';
}

} // namespace

void TConvertToAscBase::Convert(TEntries& entries, TMemoryStream& stream)
{
    const int decimals = Precision();
    const int layout = Layout();
    std::string out;
    if (WriteHeader()) {
        out += HeaderStart;
        if (!ParamExists(QStringLiteral("/dev")))
            out += " on " + UnicodeToAnsi(QLocale().toString(Today(), QLocale::ShortFormat));
        out += ' ';
        out += HeaderCredit;
        out += "\r\n\r\n";
    }
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        const double lon = entry.GetLongitude();
        const double lat = entry.GetLatitude();
        switch (layout) {
        case 0:
            AppendFixed(out, lon, decimals);
            out += ", ";
            AppendFixed(out, lat, decimals);
            out += ", ";
            AppendQuoted(out, entry.GetDescription());
            break;
        default:
            AppendQuoted(out, entry.GetDescription());
            out += ", ";
            AppendFixed(out, layout == 1 ? lon : lat, decimals);
            out += ", ";
            AppendFixed(out, layout == 1 ? lat : lon, decimals);
            break;
        }
        out += "\r\n";
    }
    stream.Write(out);
}

void TConvertFromAscBase::Convert(TEntries& entries, TMemoryStream& stream)
{
    // A view of the stream's bytes: the text is not copied again.
    const std::string_view text = stream.ReadRest();
    const std::vector<std::string_view> lines = SplitTextLines(text);
    const int layout = Layout();
    const int minColumns = MinColumns();
    const int maxColumns = MaxColumns();
    std::vector<std::string> fields;
    for (size_t q = 0; q < lines.size(); ++q) {
        const std::string_view line = TrimControls(lines[q]);
        if (!line.empty() && line.front() != ';') {
            SplitCsvLine(line, fields, maxColumns);
            const int count = int(fields.size());
            if (count < minColumns || count > maxColumns)
                throw ETarvellError(QCoreApplication::translate("uAscii", "%1 to %2 values expected on line %3")
                                        .arg(minColumns)
                                        .arg(maxColumns)
                                        .arg(q));
            try {
                double lon = 0, lat = 0;
                std::string description;
                switch (layout) {
                case 1:
                    description = fields[0];
                    lon = StrToFloatSep(fields[1]);
                    lat = StrToFloatSep(fields[2]);
                    break;
                case 2:
                    description = fields[0];
                    lat = StrToFloatSep(fields[1]);
                    lon = StrToFloatSep(fields[2]);
                    break;
                default:
                    lon = StrToFloatSep(fields[0]);
                    lat = StrToFloatSep(fields[1]);
                    description = fields[size_t(layout == 3 ? DescriptionColumn(count) : 2)];
                    break;
                }
                auto entry = std::make_unique<TEntry>();
                entry->SetLongitude(lon);
                entry->SetLatitude(lat);
                entry->SetDescription(std::move(description));
                entries.AddEntry(std::move(entry), true);
            } catch (const ETarvellError&) {
                if (q != 0 || !SkipBadFirstLine())
                    throw;
            }
        }
        SetProgress(double(q) / double(lines.size()) * 100);
    }
}

int TConvertToAsc::Precision() const
{
    return ReadBoolOption(0) ? ActiveOptionSource().Precision() : ReadIntegerOption(1);
}

std::span<const TOptionInfo> TConvertToAsc::Options() const
{
    return AscOptions;
}

void TConvertFromGarminCsv::Convert(TEntries& entries, TMemoryStream& stream)
{
    FThirdColumn = ReadBoolOption(0);
    TConvertFromAscBase::Convert(entries, stream);
}

std::span<const TOptionInfo> TConvertFromGarminCsv::Options() const
{
    return GarminOptions;
}
