// The streaming GPX and KML readers against readers that load the whole document and query it
// (the way these formats were read before), and the GPX writer against a writer that builds the
// whole document: every fixture and a generated corpus must give the same entries, progress and
// messages, and the same bytes.
#include "core/uCodePage.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "formats/uGpx.h"
#include "formats/uKml.h"
#include "model/uModel.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <random>

namespace {

// --- the document-path oracles --------------------------------------------------------------

class TDocumentGpxReader : public TConvertFromGpx {
public:
    TDocumentGpxReader(bool useDesc, bool retainExtra)
        : FUseDesc(useDesc)
        , FRetainExtra(retainExtra)
    {
    }
    void Convert(TEntries& entries, TMemoryStream& stream) override
    {
        const std::string_view bytes(stream.Current(), size_t(stream.Remaining()));
        TXmlDocument doc;
        if (!doc.LoadXmlBytes(bytes))
            throw EUserError(QStringLiteral("Invalid xml: %1...").arg(XmlExcerptOfBytes(bytes)));
        const char* primary = FUseDesc ? "desc" : "name";
        const char* secondary = FUseDesc ? "name" : "desc";
        const std::vector<TXmlNode> waypoints = doc.SelectNodes(QStringLiteral("gpx/wpt"));
        const std::vector<TXmlNode> trackPoints = doc.SelectNodes(QStringLiteral("gpx/trk/trkseg/trkpt"));
        const size_t n = waypoints.size() + trackPoints.size();
        size_t k = 0;
        for (const std::vector<TXmlNode>* nodes : {&waypoints, &trackPoints}) {
            for (const TXmlNode& node : *nodes) {
                const char* lat = node.AttributeUtf8("lat");
                const char* lon = node.AttributeUtf8("lon");
                if (!lat || !lon)
                    throw EUserError(QStringLiteral("Invalid entry found in GPX format"));
                const double latitude = StrToFloatSepUtf8(lat, '.');
                const double longitude = StrToFloatSepUtf8(lon, '.');
                QString description;
                TXmlNode tag = node.SelectChild(primary);
                if (!tag)
                    tag = node.SelectChild(secondary);
                if (tag) {
                    description = tag.Text();
                    node.RemoveChild(tag);
                }
                std::string extra;
                if (FRetainExtra && node.ChildNodeCount() > 0) {
                    QString xml = node.Xml();
                    if (xml.startsWith(QLatin1String("<trkpt ")))
                        xml.replace(0, 7, QStringLiteral("<wpt "));
                    if (xml.endsWith(QLatin1String("</trkpt>")))
                        xml.replace(xml.size() - 8, 8, QStringLiteral("</wpt>"));
                    extra = GpxExtraOfMarkup(xml);
                }
                entries.Add(UnicodeToAnsi(description), std::move(extra), longitude, latitude);
                SetProgress(double(k) / double(n) * 100.0);
                ++k;
            }
        }
    }

private:
    bool FUseDesc;
    bool FRetainExtra;
};

class TDocumentKmlReader : public TConvertFromKml {
public:
    void Convert(TEntries& entries, TMemoryStream& stream) override
    {
        const std::string_view bytes(stream.Current(), size_t(stream.Remaining()));
        TXmlDocument doc;
        if (!doc.LoadXmlBytes(bytes))
            throw EUserError(QStringLiteral("Invalid kml: %1...").arg(XmlExcerptOfBytes(bytes)));
        // "//*/Placemark" in document order. The path query of the document object returns a
        // Placemark inside another one after the outer one's later siblings; the files' order is
        // what the reader owes its users.
        std::vector<TXmlNode> placemarks;
        for (const TXmlNode& node : doc.Node().GetElementsByTagName(QStringLiteral("Placemark")))
            if (node.Native().parent().type() == pugi::node_element)
                placemarks.push_back(node);
        for (size_t i = 0; i < placemarks.size(); ++i) {
            const TXmlNode& placemark = placemarks[i];
            const TXmlNode coordinates = placemark.SelectSingleNode(QStringLiteral("Point/coordinates"));
            if (coordinates) {
                const QString values = coordinates.Text().trimmed();
                if (TokenCount(values, QChar(',')) < 2)
                    throw EUserError(QStringLiteral("Invalid value found in coordinates node"));
                const double longitude = StrToFloatSep(TokenAt(values, QChar(','), 0).trimmed(), QChar('.'));
                const double latitude = StrToFloatSep(TokenAt(values, QChar(','), 1).trimmed(), QChar('.'));
                TXmlNode tag = placemark.SelectSingleNode(QStringLiteral("name"));
                if (!tag)
                    tag = placemark.SelectSingleNode(QStringLiteral("description"));
                entries.Add(UnicodeToAnsi(tag ? tag.Text() : QString()), std::string(), longitude, latitude);
            }
            SetProgress(double(i) / double(placemarks.size()) * 100.0);
        }
    }
};

// The GPX writer as it built the whole document.
std::string DocumentGpxBytes(TEntries& entries)
{
    TMemoryStream plain;
    TEntries none;
    TConvertToGpx().Convert(none, plain);
    TXmlDocument doc;
    EXPECT_TRUE(doc.LoadXmlBytes(plain.Data()));
    doc.AppendProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"ISO-8859-1\""));
    const TXmlNode root = doc.DocumentElement();
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        TXmlNode wpt;
        if (!entry.GetExtra().empty()) {
            TXmlDocument extra;
            if (extra.LoadXml(GpxMarkupOfExtra(entry.GetExtra())) && extra.DocumentElement().NodeName() == QLatin1String("wpt"))
                wpt = root.AppendClone(extra.DocumentElement());
        }
        if (!wpt)
            wpt = root.AppendElement("wpt");
        wpt.SetAttributeUtf8("lat", FloatToPlainText(entry.GetLatitude()));
        wpt.SetAttributeUtf8("lon", FloatToPlainText(entry.GetLongitude()));
        TXmlNode name = wpt.SelectChild("name");
        if (!name)
            name = wpt.AppendElement("name");
        name.SetText(AnsiToUnicode(entry.GetDescription()));
        wpt.AppendChild(name);
    }
    return doc.SaveToBytes();
}

// --- running both -------------------------------------------------------------------------

struct TOutcome {
    std::vector<std::string> Entries;  // one line per entry
    std::vector<int> Progress;
    QString Error;
};

TOutcome Run(TConvertFromBase& reader, const std::string& bytes)
{
    TOutcome out;
    TEntries entries;
    entries.Add("before", "", 1, 2);  // an append: what the read adds comes after it
    reader.OnProgress = [&](int p) { out.Progress.push_back(p); };
    TMemoryStream stream(bytes);
    try {
        reader.Convert(entries, stream);
    } catch (const ETarvellError& e) {
        out.Error = e.Message();
    }
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& e = entries[i];
        char coordinates[64];
        std::snprintf(coordinates, sizeof coordinates, "%.17g %.17g %d", e.GetLongitude(), e.GetLatitude(), e.GetFlag());
        out.Entries.push_back(HexDump(e.GetDescription()) + " | " + HexDump(e.GetExtra()) + " | " + coordinates);
    }
    return out;
}

void ExpectSameOutcome(const TOutcome& document, const TOutcome& streamed, const std::string& label)
{
    EXPECT_EQ(document.Error, streamed.Error) << label;
    EXPECT_EQ(document.Entries, streamed.Entries) << label;
    EXPECT_EQ(document.Progress, streamed.Progress) << label;
}

// Reads bytes as GPX with every option combination and as KML, both ways. Returns how many of
// the reads ended in an error (a corpus that only fails would prove nothing).
int CompareReaders(const std::string& bytes, const std::string& label)
{
    int failed = 0;
    for (const bool useDesc : {false, true}) {
        for (const bool retain : {false, true}) {
            TConvertFromGpx streaming;
            streaming.WriteBoolOption(0, useDesc);
            streaming.WriteBoolOption(1, retain);
            TDocumentGpxReader document(useDesc, retain);
            const TOutcome a = Run(document, bytes);
            ExpectSameOutcome(a, Run(streaming, bytes), label + " gpx desc=" + std::to_string(useDesc) + " extra=" + std::to_string(retain));
            failed += !a.Error.isEmpty();
        }
    }
    TConvertFromKml streamingKml;
    TDocumentKmlReader documentKml;
    const TOutcome a = Run(documentKml, bytes);
    ExpectSameOutcome(a, Run(streamingKml, bytes), label + " kml");
    return failed + !a.Error.isEmpty();
}

// --- the generated corpus -----------------------------------------------------------------

class TCorpus {
public:
    explicit TCorpus(uint32_t seed)
        : FRandom(seed)
    {
    }

    int Below(int n) { return int(FRandom() % uint32_t(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

    // Text of every character class, as UTF-8 markup (escaped where it must be).
    std::string Text()
    {
        static const char* pieces[] = {
            "Cafe", " ", "  ", "\t", "\n", "\r\n", "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "'", "\"", ">",
            "\xC3\xA9", "\xC3\xBC", "\xE2\x82\xAC", "\xC5\xA0", "\xD0\x96", "\xF0\x9F\x98\x80", "&#233;", "&#x20AC;",
            "&#32;", "&#10;", "&#13;", "&#1046;", "&#128512;", "<![CDATA[ <raw> & ]]>", "<![CDATA[]]>", "<!-- note -->",
            "<?pi data?>", "Zoë", "42", "-", ",",
        };
        std::string out;
        const int count = Below(5);
        for (int i = 0; i < count; ++i)
            out += pieces[Below(int(std::size(pieces)))];
        return out;
    }

    std::string Blank()
    {
        static const char* blanks[] = {"", "", "\n  ", " ", "\r\n\t", "<!-- c -->", " <?x y?> "};
        return blanks[Below(int(std::size(blanks)))];
    }

    std::string Number(double limit)
    {
        if (Chance(3)) {
            static const char* odd[] = {"x", "", "1,5", "nan", "inf", " 12 ", "+3", "1e2", "-0", "0x10", "1e400"};
            return odd[Below(int(std::size(odd)))];
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", Below(9), (double(FRandom()) / 4294967295.0 * 2 - 1) * limit);
        return text;
    }

    std::string Element(const std::string& name)
    {
        const std::string text = Text();
        if (text.empty() && Chance(50))
            return "<" + name + "/>";
        return "<" + name + ">" + text + "</" + name + ">";
    }

    std::string PointChildren()
    {
        std::string out;
        const int count = Below(7);
        for (int i = 0; i < count; ++i) {
            out += Blank();
            switch (Below(10)) {
            case 0:
            case 1:
                out += Element("name");
                break;
            case 2:
                out += Element("desc");
                break;
            case 3:
                out += "<ele>" + Number(9000) + "</ele>";
                break;
            case 4:
                out += "<extensions><ext:poi kind=\"a &amp; b\"><ext:name>" + Text() + "</ext:name>" + Element("name") +
                       "</ext:poi></extensions>";
                break;
            case 5:
                out += "<name>" + Text() + "<b>" + Text() + "</b>" + Text() + "</name>";
                break;
            case 6:
                out += Text();
                break;
            case 7:
                out += "<link href=\"http://example.org/?a=1&amp;b='2'\"><text>" + Text() + "</text></link>";
                break;
            case 8:
                out += "<x:sym xmlns:x=\"urn:x\">" + Text() + "</x:sym>";
                break;
            default:
                out += "<wpt lat=\"1\" lon=\"2\"><name>nested</name></wpt>";
                break;
            }
        }
        return out + Blank();
    }

    std::string Point(const char* tag)
    {
        std::string attributes;
        const bool lat = !Chance(2), lon = !Chance(2);
        std::vector<std::string> parts;
        if (lat)
            parts.push_back(" lat=\"" + Number(90) + "\"");
        if (lon)
            parts.push_back(" lon=\"" + Number(180) + "\"");
        if (Chance(30))
            parts.push_back(" id='p&#49;'");
        if (Chance(20))
            parts.push_back(" xmlns:ext=\"http://example.org/ext/1\"");
        std::shuffle(parts.begin(), parts.end(), FRandom);
        for (const std::string& p : parts)
            attributes += p;
        const std::string children = PointChildren();
        if (children.empty() && Chance(50))
            return std::string("<") + tag + attributes + "/>";
        return std::string("<") + tag + attributes + ">" + children + "</" + tag + ">";
    }

    std::string Gpx()
    {
        std::string out;
        if (Chance(70))
            out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out += Chance(80) ? "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:ext=\"http://example.org/ext/1\" version=\"1.1\">"
                          : "<gpx>";
        const int count = Below(8);
        for (int i = 0; i < count; ++i) {
            out += Blank();
            switch (Below(6)) {
            case 0:
            case 1:
            case 2:
                out += Point("wpt");
                break;
            case 3: {
                out += "<trk>" + Element("name") + "<trkseg xmlns:t=\"urn:t\">";
                const int points = Below(4);
                for (int k = 0; k < points; ++k)
                    out += Blank() + Point("trkpt");
                out += "</trkseg></trk>";
                break;
            }
            case 4:
                out += "<rte>" + Point("rtept") + "</rte>";
                break;
            default:
                out += Point("wpt");
                break;
            }
        }
        return out + Blank() + "</gpx>\n";
    }

    std::string Placemark(int depth)
    {
        std::string out = "<Placemark>";
        const int count = Below(6);
        for (int i = 0; i < count; ++i) {
            out += Blank();
            switch (Below(8)) {
            case 0:
                out += Element("name");
                break;
            case 1:
                out += Element("description");
                break;
            case 2:
            case 3:
                out += "<Point>" + Blank() + "<coordinates>" + Blank() + Number(180) + (Chance(90) ? "," : "") + Number(90) +
                       (Chance(50) ? ",0" : "") + Blank() + "</coordinates></Point>";
                break;
            case 4:
                out += "<Point><altitudeMode>x</altitudeMode></Point>";
                break;
            case 5:
                if (depth < 3)
                    out += Placemark(depth + 1);
                break;
            case 6:
                out += "<LineString><coordinates>1,2,0 3,4,0</coordinates></LineString>";
                break;
            default:
                out += Text();
                break;
            }
        }
        return out + "</Placemark>";
    }

    std::string Kml()
    {
        std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">";
        const int count = Below(6);
        for (int i = 0; i < count; ++i) {
            out += Blank();
            out += Chance(60) ? "<Document><Folder>" + Placemark(0) + Placemark(0) + "</Folder></Document>" : Placemark(0);
        }
        return out + "</kml>";
    }

private:
    std::mt19937 FRandom;
};

// The same document in other encodings: UTF-8 with a BOM, UTF-16 both ways, the code page.
std::vector<std::pair<std::string, std::string>> Encodings(const std::string& utf8)
{
    std::vector<std::pair<std::string, std::string>> out;
    out.emplace_back("utf-8", utf8);
    out.emplace_back("utf-8 bom", "\xEF\xBB\xBF" + utf8);
    const QString text = QString::fromUtf8(utf8);
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (const QChar c : text) {
        le += char(c.unicode() & 0xFF);
        le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8);
        be += char(c.unicode() & 0xFF);
    }
    out.emplace_back("utf-16le", le);
    out.emplace_back("utf-16be", be);
    // Windows-1252, declared and undeclared; characters beyond it as references.
    QString body = text;
    const qsizetype declarationEnd = body.startsWith(QLatin1String("<?xml")) ? body.indexOf(QLatin1String("?>")) + 2 : 0;
    body.remove(0, declarationEnd);
    const std::string cp1252 = MarkupToAnsi(body);
    out.emplace_back("windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + cp1252);
    out.emplace_back("iso-8859-1", "<?xml version='1.0' encoding='ISO-8859-1'?>\r\n" + cp1252);
    out.emplace_back("undeclared 8-bit", cp1252);
    out.emplace_back("unknown declared", "<?xml version=\"1.0\" encoding=\"x-unknown\"?>" + cp1252);
    return out;
}

class XmlDifferential : public MemoryOptionsTest {};

} // namespace

TEST_F(XmlDifferential, EveryFixtureReadsTheSameBothWays)
{
    QDirIterator it(QStringLiteral(TARVELL_TEST_DATA), QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        CompareReaders(std::string(data.constData(), size_t(data.size())), path.toStdString());
        ++files;
    }
    EXPECT_GT(files, 20);
}

TEST_F(XmlDifferential, GeneratedDocumentsReadTheSameBothWays)
{
    TCorpus corpus(20261210);
    int reads = 0, failed = 0;
    for (int i = 0; i < 150; ++i) {
        const bool kml = i % 3 == 2;
        const std::string document = kml ? corpus.Kml() : corpus.Gpx();
        for (const auto& [encoding, bytes] : Encodings(document)) {
            failed += CompareReaders(bytes, "document " + std::to_string(i) + " (" + encoding + "): " + document);
            reads += 5;
        }
    }
    // Most reads must get somewhere for the comparison to mean anything.
    EXPECT_LT(failed, reads / 2);
}

TEST_F(XmlDifferential, WriterBytesAreThoseOfTheWholeDocument)
{
    TCorpus corpus(7);
    for (int i = 0; i < 100; ++i) {
        TConvertFromGpx reader;
        reader.WriteBoolOption(0, i % 2 == 1);
        reader.WriteBoolOption(1, true);
        TEntries entries;
        TMemoryStream in(corpus.Gpx());
        try {
            reader.Convert(entries, in);
        } catch (const ETarvellError&) {
        }
        entries.Add("not markup", "other data", 3, 4);
        entries.Add("", "<rte/>", 5, 6);
        TMemoryStream out;
        TConvertToGpx().Convert(entries, out);
        EXPECT_BYTES_EQ(DocumentGpxBytes(entries), out.Data()) << in.Data();
    }
}
