// The GPS eXchange Format (GPX 1.1) reader and writer.
//
// Layout as written: <?xml version="1.0" encoding="ISO-8859-1"?>, a "gpx" root with the GPX 1.1
// namespace, schema location, version "1.1" and creator; one "wpt" per POI with "lat" and "lon"
// in decimal degrees ("." decimal point, fixed notation) and a "name" holding the description
// as its last child. A POI read with its extra information keeps the waypoint's own markup in
// Extra; the writer starts from that markup, so unknown children survive a round trip.
// As read: "gpx/wpt", then "gpx/trk/trkseg/trkpt"; routes are not read.
#include "formats/uGpx.h"

#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "model/uModel.h"

#include <array>

namespace {

constexpr char GpxNamespace[] = "http://www.topografix.com/GPX/1/1";
constexpr char SchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
constexpr char GpxSchema[] = "http://www.topografix.com/GPX/1/1/gpx.xsd";

QString CreatorText()
{
    const TFileVersionNumbers v = ProgramVersionNumbers();
    return QStringLiteral("Tarvell v%1.%2.%3 build %4 - Tarvell POI editor by Orvik Software")
        .arg(v.Major)
        .arg(v.Minor)
        .arg(v.Release)
        .arg(v.Build);
}

// Extra keeps 8-bit text; characters the code page lacks are kept as character references.
std::string ToAnsiMarkup(const QString& xml)
{
    std::string ansi = UnicodeToAnsi(xml);
    if (AnsiToUnicode(ansi) == xml)
        return ansi;
    std::string out;
    for (qsizetype i = 0; i < xml.size(); ++i) {
        char32_t cp = xml[i].unicode();
        QString one(xml[i]);
        if (xml[i].isHighSurrogate() && i + 1 < xml.size() && xml[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(xml[i], xml[i + 1]);
            one += xml[++i];
        }
        const std::string a = UnicodeToAnsi(one);
        if (AnsiToUnicode(a) == one)
            out += a;
        else
            out += "&#" + std::to_string(uint32_t(cp)) + ';';
    }
    return out;
}

// How the document saves each byte of an 8-bit description in ISO-8859-1. The codec maps each
// byte to one character, so a table per byte says it all; a NUL ends the text.
std::array<std::string, 256> Latin1TextTable()
{
    std::array<std::string, 256> table;
    for (int b = 1; b < 256; ++b) {
        const char byte = char(b);
        table[size_t(b)] = XmlTextAsLatin1(AnsiToUnicode(std::string_view(&byte, 1)));
    }
    return table;
}

// A list without extra information (every list not read from GPX with its extra information)
// is written straight as the bytes the document would save for it: building a document of a
// million waypoints costs several times as long and some 400 MB.
void WritePlainWaypoints(TEntries& entries, const TXmlDocument& header, TMemoryStream& stream)
{
    const std::array<std::string, 256> textTable = Latin1TextTable();
    // The document without waypoints ends in "<gpx .../>" and a line break.
    std::string head = header.SaveToBytes();
    head.erase(head.rfind("/>"));
    head += '>';
    std::string buffer;
    std::string& out = stream.Position() == stream.Size() ? stream.MutableData() : buffer;
    out.reserve(out.size() + head.size() + size_t(entries.Count()) * 100);
    out += head;
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        out += "<wpt lat=\"";
        out += FloatToPlainText(entry.GetLatitude());
        out += "\" lon=\"";
        out += FloatToPlainText(entry.GetLongitude());
        out += "\">";
        const size_t nameStart = out.size();
        out += "<name>";
        for (const char c : entry.GetDescription()) {
            if (c == 0)
                break;
            out += textTable[static_cast<unsigned char>(c)];
        }
        if (out.size() == nameStart + 6) {
            out.resize(nameStart);
            out += "<name/>";
        } else {
            out += "</name>";
        }
        out += "</wpt>";
    }
    out += "</gpx>\r\n";
    if (&out == &buffer)
        stream.Write(buffer);
    else
        stream.Seek(stream.Size());
}

const TOptionInfo GpxImportOptions[] = {
    {"uGpx", QT_TRANSLATE_NOOP("uGpx", "Use desc tag instead of name tag when available"),
     QT_TRANSLATE_NOOP("uGpx",
                       "The GPX format defines 2 possible places where the description of the poi may be entered.\r"
                       "If you check this option, Tarvell will use the \"desc\" tag as the poi description instead of the\r"
                       "\"name\" tag. When the prefered tag is not available, Tarvell will automatically try the other tag."),
     TOptionKind::okBoolean, 0},
    {"uGpx", QT_TRANSLATE_NOOP("uGpx", "Retain extra poi information present in GPX file"),
     QT_TRANSLATE_NOOP("uGpx",
                       "If you check this option, Tarvell will load the extra poi information that might be present in\r"
                       "the GPX file. When saving back to the same file, or another GPX file, Tarvell will reinsert\r"
                       "this information."),
     TOptionKind::okBoolean, 0},
};

} // namespace

void TConvertToGpx::Convert(TEntries& entries, TMemoryStream& stream)
{
    const std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    doc->AppendProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"ISO-8859-1\""));
    const TXmlNode root = doc->CreateDocumentElement(QStringLiteral("gpx"));
    root.SetAttribute(QStringLiteral("xmlns"), QString::fromLatin1(GpxNamespace));
    root.SetAttribute(QStringLiteral("xmlns:xsi"), QString::fromLatin1(SchemaInstanceNamespace));
    root.SetAttribute(QStringLiteral("xsi:schemaLocation"),
                      QString::fromLatin1(GpxNamespace) + QChar(' ') + QString::fromLatin1(GpxSchema));
    root.SetAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    root.SetAttribute(QStringLiteral("creator"), CreatorText());

    bool anyExtra = false;
    for (int i = 0; i < entries.Count() && !anyExtra; ++i)
        anyExtra = !entries[i].GetExtra().empty();
    if (!anyExtra && entries.Count() > 0) {
        WritePlainWaypoints(entries, *doc, stream);
        return;
    }

    const QString wptName = QStringLiteral("wpt");
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        TXmlNode wpt;
        if (!entry.GetExtra().empty()) {
            // Extra that is not a waypoint's markup (another format's data) is not written.
            TXmlDocument extra;
            if (extra.LoadXml(AnsiToUnicode(entry.GetExtra())) && extra.DocumentElement().NodeName() == wptName)
                wpt = root.AppendClone(extra.DocumentElement());
        }
        if (!wpt)
            wpt = root.AppendElement("wpt");
        wpt.SetAttributeUtf8("lat", FloatToPlainText(entry.GetLatitude()));
        wpt.SetAttributeUtf8("lon", FloatToPlainText(entry.GetLongitude()));
        // Only the waypoint's own "name" carries the description: a "name" deeper down belongs to
        // an extension and stays where it is.
        TXmlNode name = wpt.SelectChild("name");
        if (!name)
            name = wpt.AppendElement("name");
        name.SetText(AnsiToUnicode(entry.GetDescription()));
        wpt.AppendChild(name);
    }
    // About a hundred bytes a waypoint; growing a buffer of that size step by step costs more.
    stream.Reserve(stream.Size() + uint64_t(entries.Count()) * 100 + 512);
    doc->SaveToStream(stream);
}

std::span<const TOptionInfo> TConvertFromGpx::Options() const { return GpxImportOptions; }

void TConvertFromGpx::Convert(TEntries& entries, TMemoryStream& stream)
{
    // The stream's own bytes, not a copy: GPX files of a million waypoints are common.
    const std::string_view bytes(stream.Current(), size_t(stream.Remaining()));
    const std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    if (!doc->LoadXmlBytes(bytes))
        throw EUserError(tr("Invalid xml: %1...").arg(XmlExcerptOfBytes(bytes)));

    const bool useDesc = ReadBoolOption(0);
    const bool retainExtra = ReadBoolOption(1);
    const char* primary = useDesc ? "desc" : "name";
    const char* secondary = useDesc ? "name" : "desc";

    const std::vector<TXmlNode> waypoints = doc->SelectNodes(QStringLiteral("gpx/wpt"));
    const std::vector<TXmlNode> trackPoints = doc->SelectNodes(QStringLiteral("gpx/trk/trkseg/trkpt"));
    const size_t n = waypoints.size() + trackPoints.size();
    size_t k = 0;
    for (const std::vector<TXmlNode>* nodes : {&waypoints, &trackPoints}) {
        for (const TXmlNode& node : *nodes) {
            const char* lat = node.AttributeUtf8("lat");
            const char* lon = node.AttributeUtf8("lon");
            if (!lat || !lon)
                throw EUserError(tr("Invalid entry found in GPX format"));
            const double latitude = StrToFloatSep(std::string_view(lat), DotFormatSettings().DecimalSeparator);
            const double longitude = StrToFloatSep(std::string_view(lon), DotFormatSettings().DecimalSeparator);

            QString description;
            TXmlNode tag = node.SelectChild(primary);
            if (!tag)
                tag = node.SelectChild(secondary);
            if (tag) {
                description = tag.Text();
                node.RemoveChild(tag);
            }

            std::string extra;
            if (retainExtra && node.ChildNodeCount() > 0) {
                QString xml = node.Xml();
                if (xml.startsWith(QLatin1String("<trkpt ")))
                    xml.replace(0, 7, QStringLiteral("<wpt "));
                if (xml.endsWith(QLatin1String("</trkpt>")))
                    xml.replace(xml.size() - 8, 8, QStringLiteral("</wpt>"));
                extra = ToAnsiMarkup(xml);
            }
            entries.Add(UnicodeToAnsi(description), std::move(extra), longitude, latitude);
            SetProgress(double(k) / double(n) * 100.0);
            ++k;
        }
    }
}

QString GpxClipboardText(TEntries& entries)
{
    // Creating a document first makes a missing XML component fail before anything is written.
    CreateXmlDocument();
    TMemoryStream stream;
    entries.SaveToStream(stream, QStringLiteral(".gpx"), QString());
    return DecodeXmlBytes(stream.Data());
}

void AppendGpxClipboardText(TEntries& entries, const QString& text)
{
    TMemoryStream stream(EncodeXmlText(text));
    entries.LoadFromStream(stream, QStringLiteral(".gpx"), QString(), true);
}
