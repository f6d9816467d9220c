// The Google Earth KML reader and writer.
//
// Layout as written (KML 2.0): <?xml version="1.0" encoding="ISO-8859-1"?>, a "kml" root with
// the KML 2.0 namespace, one "Folder", and per POI a "Placemark" holding "name" (the
// description) and "Point/coordinates" = longitude "," latitude ",0" in decimal degrees.
// As read: every "Placemark" below some element; one without "Point/coordinates" is skipped;
// the description is "name", else "description", else empty.
#include "formats/uKml.h"

#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "model/uModel.h"

void TConvertToKml::Convert(TEntries& entries, TMemoryStream& stream)
{
    const std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    doc->AppendProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"ISO-8859-1\""));
    const TXmlNode root = doc->CreateDocumentElement(QStringLiteral("kml"));
    root.SetAttribute(QStringLiteral("xmlns"), QStringLiteral("http://earth.google.com/kml/2.0"));
    const TXmlNode folder = root.AppendElement(QStringLiteral("Folder"));
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        const TXmlNode placemark = folder.AppendElement(QStringLiteral("Placemark"));
        placemark.AppendElement(QStringLiteral("name")).SetText(AnsiToUnicode(entry.GetDescription()));
        const std::string coordinates =
            FloatToPlainText(entry.GetLongitude()) + ',' + FloatToPlainText(entry.GetLatitude()) + ",0";
        placemark.AppendElement(QStringLiteral("Point"))
            .AppendElement(QStringLiteral("coordinates"))
            .SetText(QString::fromUtf8(coordinates));
    }
    doc->SaveToStream(stream);
}

void TConvertFromKml::Convert(TEntries& entries, TMemoryStream& stream)
{
    // The stream's own bytes, not a copy: GPX files of a million waypoints are common.
    const std::string_view bytes(stream.Current(), size_t(stream.Remaining()));
    const std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    if (!doc->LoadXmlBytes(bytes))
        throw EUserError(tr("Invalid kml: %1...").arg(XmlExcerptOfBytes(bytes)));

    const std::vector<TXmlNode> placemarks = doc->SelectNodes(QStringLiteral("//*/Placemark"));
    for (size_t i = 0; i < placemarks.size(); ++i) {
        const TXmlNode& placemark = placemarks[i];
        const TXmlNode coordinates = placemark.SelectSingleNode(QStringLiteral("Point/coordinates"));
        if (coordinates) {
            const QString values = coordinates.Text().trimmed();
            if (TokenCount(values, QChar(',')) < 2)
                throw EUserError(tr("Invalid value found in coordinates node"));
            const double longitude = StrToFloatSep(TokenAt(values, QChar(','), 0).trimmed(), QChar('.'));
            const double latitude = StrToFloatSep(TokenAt(values, QChar(','), 1).trimmed(), QChar('.'));
            TXmlNode tag = placemark.SelectSingleNode(QStringLiteral("name"));
            if (!tag)
                tag = placemark.SelectSingleNode(QStringLiteral("description"));
            const QString description = tag ? tag.Text() : QString();
            entries.Add(UnicodeToAnsi(description), std::string(), longitude, latitude);
        }
        SetProgress(double(i) / double(placemarks.size()) * 100.0);
    }
}
