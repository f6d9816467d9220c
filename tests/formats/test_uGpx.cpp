// The GPX reader and writer: options, Extra kept and written back, track points, errors,
// progress, the clipboard text.
#include "core/uCodePage.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "formats/uGpx.h"
#include "model/uModel.h"
#include "support/OptionSupport.h"
#include "support/TextFormatSupport.h"
#include "support/TestSupport.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

std::string Fixture(const char* name) { return ReadFixture(QStringLiteral("gengpx/") + QLatin1String(name)); }

void ReadGpx(TEntries& entries, const std::string& bytes)
{
    TMemoryStream stream(bytes);
    entries.LoadFromStream(stream, QStringLiteral(".gpx"), QString(), true);
}

std::string WriteGpx(TEntries& entries)
{
    TMemoryStream stream;
    entries.SaveToStream(stream, QStringLiteral("gpx"), QStringLiteral("gengpx"));
    return stream.Data();
}

void SetGpxOptions(bool useDesc, bool retainExtra)
{
    TConvertFromGpx importer;
    importer.WriteBoolOption(0, useDesc);
    importer.WriteBoolOption(1, retainExtra);
}

std::string Ansi(const char* utf8) { return UnicodeToAnsi(QString::fromUtf8(utf8)); }

class Gpx : public MemoryOptionsTest {};

} // namespace

TEST_F(Gpx, OptionTable)
{
    TConvertFromGpx importer;
    ASSERT_EQ(importer.OptionCount(), 2);
    EXPECT_EQ(importer.OptionCaption(0), QStringLiteral("Use desc tag instead of name tag when available"));
    EXPECT_EQ(importer.OptionCaption(1), QStringLiteral("Retain extra poi information present in GPX file"));
    EXPECT_EQ(importer.OptionKind(1), TOptionKind::okBoolean);
    EXPECT_EQ(std::get<bool>(importer.OptionDefault(0)), false);
    EXPECT_EQ(importer.OptionCaption(2), QString());
    EXPECT_EQ(TConvertToGpx().OptionCount(), 0);
    EXPECT_EQ(TConvertToGpx().Precision(), -1);
}

TEST_F(Gpx, ReadsWaypointsThenTrackPointsFromUtf8)
{
    TEntries entries;
    ReadGpx(entries, Fixture("waypoints.gpx"));
    ASSERT_EQ(entries.Count(), 5);
    EXPECT_EQ(entries[0].GetDescription(), Ansi("Café Zürich"));
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 52.37312);
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 4.89123);
    EXPECT_EQ(entries[0].GetExtra(), "");
    EXPECT_EQ(entries[1].GetDescription(), "Only a desc");
    EXPECT_DOUBLE_EQ(entries[1].GetLongitude(), 151.2153);
    EXPECT_EQ(entries[2].GetDescription(), "");
    EXPECT_EQ(entries[3].GetDescription(), "Tour Eiffel");
    EXPECT_DOUBLE_EQ(entries[3].GetLatitude(), 48.8584);
    EXPECT_DOUBLE_EQ(entries[4].GetLongitude(), 2.3);
}

TEST_F(Gpx, DescOptionPrefersDescAndFallsBackToName)
{
    SetGpxOptions(true, false);
    TEntries entries;
    ReadGpx(entries, Fixture("waypoints.gpx"));
    ASSERT_EQ(entries.Count(), 5);
    EXPECT_EQ(entries[0].GetDescription(), "Koffie & taart");
    EXPECT_EQ(entries[1].GetDescription(), "Only a desc");
    EXPECT_EQ(entries[3].GetDescription(), "Tour Eiffel");
}

TEST_F(Gpx, ExtraKeepsUnknownChildrenAndIsWrittenBack)
{
    SetGpxOptions(false, true);
    TEntries entries;
    ReadGpx(entries, Fixture("waypoints.gpx"));
    ASSERT_EQ(entries.Count(), 5);
    const QString extra = AnsiToUnicode(entries[0].GetExtra());
    EXPECT_TRUE(extra.startsWith(QStringLiteral("<wpt "))) << extra.toStdString();
    for (const char* kept : {"<ele>2.5</ele>", "<sym>Restaurant</sym>", "<desc>Koffie &amp; taart</desc>", "<ext:name>inner</ext:name>"})
        EXPECT_TRUE(extra.contains(QString::fromLatin1(kept))) << kept;
    EXPECT_FALSE(extra.contains(QStringLiteral("Zürich")));
    EXPECT_EQ(entries[1].GetExtra(), "");  // nothing left after its desc was taken
    EXPECT_EQ(entries[2].GetExtra(), "");
    EXPECT_TRUE(entries[3].GetExtra().starts_with("<wpt "));
    EXPECT_TRUE(entries[3].GetExtra().ends_with("</wpt>"));

    entries[0].SetDescription("Renamed");
    entries[0].SetLatitude(-0.00001);
    TXmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(DecodeXmlBytes(WriteGpx(entries))));
    const std::vector<TXmlNode> wpts = doc.SelectNodes(QStringLiteral("gpx/wpt"));
    ASSERT_EQ(wpts.size(), 5u);
    const TXmlNode first = wpts[0];
    EXPECT_EQ(first.Attribute(QStringLiteral("lat")), QStringLiteral("-0.00001"));
    EXPECT_EQ(first.Attribute(QStringLiteral("lon")), QStringLiteral("4.89123"));
    QStringList children;
    for (const TXmlNode& child : first.SelectNodes(QStringLiteral("*")))
        children << child.NodeName();
    EXPECT_EQ(children.join(QChar(',')), QStringLiteral("ele,desc,sym,extensions,name"));
    EXPECT_EQ(first.SelectSingleNode(QStringLiteral("name")).Text(), QStringLiteral("Renamed"));
    EXPECT_EQ(first.SelectSingleNode(QStringLiteral("extensions/ext:poi/ext:name")).Text(), QStringLiteral("inner"));
    EXPECT_EQ(wpts[3].SelectSingleNode(QStringLiteral("ele")).Text(), QStringLiteral("35"));
    EXPECT_TRUE(doc.SelectNodes(QStringLiteral("gpx/trk")).empty());
    // The extension namespace is declared where it is used; the GPX one only on the root.
    EXPECT_EQ(first.Attribute(QStringLiteral("xmlns:ext")), QStringLiteral("http://example.org/ext/1"));
    EXPECT_FALSE(first.Attribute(QStringLiteral("xmlns")).has_value());
}

TEST_F(Gpx, WritesTheDocumentAsSpecified)
{
    const TCommaLocale comma;
    TEntries entries;
    entries.Add(Ansi("Café"), "", 4.89123, 52.37312);
    entries.Add("Tiny", "not xml at all", 0.00001, -1e-5);
    const TFileVersionNumbers v = ProgramVersionNumbers();
    const std::string creator = "Tarvell v" + std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." +
                                std::to_string(v.Release) + " build " + std::to_string(v.Build) +
                                " - Tarvell POI editor by Orvik Software";
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
        "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\" "
        "version=\"1.1\" creator=\"" + creator + "\">"
        "<wpt lat=\"52.37312\" lon=\"4.89123\"><name>Caf\xE9</name></wpt>"
        "<wpt lat=\"-0.00001\" lon=\"0.00001\"><name>Tiny</name></wpt></gpx>\r\n";
    EXPECT_BYTES_EQ(expected, WriteGpx(entries));
}

TEST_F(Gpx, RoundTripsWithEveryOptionCombination)
{
    for (const bool useDesc : {false, true}) {
        for (const bool retain : {false, true}) {
            SetGpxOptions(useDesc, retain);
            TEntries source;
            source.Add(Ansi("Joe's <bar> & \"grill\" €é"), "", -122.41942, 37.77493);
            source.Add("", "", 179.99999, -89.99999);
            source.Add("Plain", "", 0, 0);
            TEntries back;
            ReadGpx(back, WriteGpx(source));
            ASSERT_EQ(back.Count(), source.Count());
            for (int i = 0; i < source.Count(); ++i) {
                EXPECT_EQ(back[i].GetDescription(), source[i].GetDescription()) << useDesc << retain << i;
                EXPECT_EQ(back[i].GetLatitude(), source[i].GetLatitude());
                EXPECT_EQ(back[i].GetLongitude(), source[i].GetLongitude());
                EXPECT_EQ(back[i].GetExtra(), "");
            }
        }
    }
}

TEST_F(Gpx, BadInputFailsWithItsMessageAndKeepsWhatWasRead)
{
    struct TCase {
        const char* Text;
        const char* Message;  // empty: a conversion error
    };
    const TCase cases[] = {
        {"<gpx><wpt lat=\"1\" lon=\"2\"></gpx>\r\n\x01tail", "Invalid xml: <gpx><wpt lat=\"1\" lon=\"2\"></gpx>tail..."},
        {"", "Invalid xml: ..."},
        {"<gpx><wpt lat=\"1\" lon=\"2\"/><wpt lat=\"1\"/></gpx>", "Invalid entry found in GPX format"},
        {"<gpx><wpt lat=\"1\" lon=\"2\"/><trk><trkseg><trkpt lon=\"1\"/></trkseg></trk></gpx>", "Invalid entry found in GPX format"},
        {"<gpx><wpt lat=\"1\" lon=\"2\"/><wpt lat=\"NaN\" lon=\"2\"/></gpx>", ""},
        {"<gpx><wpt lat=\"1\" lon=\"2\"/><wpt lat=\"1,5\" lon=\"2\"/></gpx>", ""},
    };
    for (const TCase& c : cases) {
        TEntries entries;
        try {
            ReadGpx(entries, c.Text);
            ADD_FAILURE() << "no error for " << c.Text;
        } catch (const EUserError& e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(c.Message)) << c.Text;
        } catch (const EConvertError&) {
            EXPECT_STREQ(c.Message, "") << c.Text;
        }
        if (std::string_view(c.Message).starts_with("Invalid xml"))
            EXPECT_EQ(entries.Count(), 0);
        else
            EXPECT_EQ(entries.Count(), 1) << c.Text;
    }
}

TEST_F(Gpx, ProgressRisesOverWaypointsAndTrackPoints)
{
    std::string text = "<gpx>";
    for (int i = 0; i < 10; ++i)
        text += "<wpt lat=\"1\" lon=\"" + std::to_string(i) + "\"/>";
    text += "<trk><trkseg>";
    for (int i = 0; i < 10; ++i)
        text += "<trkpt lat=\"2\" lon=\"" + std::to_string(i) + "\"/>";
    text += "</trkseg></trk></gpx>";
    TEntries entries;
    std::vector<int> seen;
    entries.OnProgress = [&](int p) { seen.push_back(p); };
    ReadGpx(entries, text);
    EXPECT_EQ(entries.Count(), 20);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 95);
}

TEST_F(Gpx, ClipboardTextPastesTheSamePois)
{
    TEntries source;
    source.Add(Ansi("Zoë's"), "", 5.12345, 51.5);
    source.Add("Second", "", -3.25, 40.125);
    const QString text = GpxClipboardText(source);
    EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")));
    EXPECT_TRUE(text.contains(QStringLiteral("Zoë's")));
    TEntries target;
    target.Add("Existing", "", 1, 1);
    AppendGpxClipboardText(target, text);
    ASSERT_EQ(target.Count(), 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(target[i + 1].GetDescription(), source[i].GetDescription());
        EXPECT_EQ(target[i + 1].GetLatitude(), source[i].GetLatitude());
        EXPECT_EQ(target[i + 1].GetLongitude(), source[i].GetLongitude());
    }
}

TEST(XmlFormats, RegisteredInDisplayOrder)
{
    const int gpxTo = TConvertToBase::IndexOf(QStringLiteral("gpx"), QString());
    const int kmlTo = TConvertToBase::IndexOf(QStringLiteral(".KML"), QString());
    ASSERT_GE(gpxTo, 0);
    EXPECT_EQ(kmlTo, gpxTo + 1);
    EXPECT_EQ(TConvertToBase::Description(gpxTo), QStringLiteral("GPS eXchange Format"));
    EXPECT_EQ(TConvertToBase::FormatIDAt(kmlTo), QStringLiteral("genkml"));
    EXPECT_EQ(TConvertToBase::Description(kmlTo), QStringLiteral("Google Earth"));
    EXPECT_EQ(TConvertToBase::IndexOf(QStringLiteral("xml"), QString()), -1) << "Excel XML is read only";

    const int gpxFrom = TConvertFromBase::IndexOf(QStringLiteral("gpx"), QStringLiteral("gengpx"));
    ASSERT_GE(gpxFrom, 0);
    EXPECT_EQ(TConvertFromBase::FormatIDAt(gpxFrom + 1), QStringLiteral("excelxml"));
    EXPECT_EQ(TConvertFromBase::Description(gpxFrom + 1), QStringLiteral("Excel XML Format"));
    EXPECT_EQ(TConvertFromBase::Extension(gpxFrom + 1), QStringLiteral(".xml"));
    EXPECT_EQ(TConvertFromBase::FormatIDAt(gpxFrom + 2), QStringLiteral("genkml"));
}

TEST_F(Gpx, DeeplyNestedExtraIsKept)
{
    SetGpxOptions(false, true);
    std::string text = "<gpx><wpt lat=\"1\" lon=\"2\"><name>n</name><extensions>";
    for (int i = 0; i < 100000; ++i)
        text += "<x>";
    for (int i = 0; i < 100000; ++i)
        text += "</x>";
    text += "</extensions></wpt></gpx>";
    TEntries entries;
    ReadGpx(entries, text);
    ASSERT_EQ(entries.Count(), 1);
    EXPECT_GT(entries[0].GetExtra().size(), 300000u);
    TEntries back;
    ReadGpx(back, WriteGpx(entries));
    ASSERT_EQ(back.Count(), 1);
    // Written once, the waypoint declares the GPX namespaces it now lives in; the rest is the same.
    EXPECT_TRUE(back[0].GetExtra().ends_with(entries[0].GetExtra().substr(std::string("<wpt lat=\"1\" lon=\"2\"").size())));
}

// Every cut of each XML fixture either reads or fails with the program's own error.
TEST_F(Gpx, TruncatedXmlFilesFailCleanly)
{
    SetGpxOptions(true, true);
    const std::pair<const char*, const char*> fixtures[] = {
        {"gengpx/waypoints.gpx", "gpx"},
        {"genkml/placemarks.kml", "kml"},
        {"excelxml/pois.xml", "xml"},
    };
    for (const auto& [path, extension] : fixtures) {
        const std::string bytes = ReadFixture(QString::fromLatin1(path));
        for (size_t length = 0; length < bytes.size(); ++length) {
            TEntries entries;
            TMemoryStream stream(bytes.substr(0, length));
            try {
                entries.LoadFromStream(stream, QString::fromLatin1(extension), QString(), false);
            } catch (const ETarvellError&) {
            }
        }
    }
}

TEST_F(Gpx, ExtraKeepsCharactersBeyondTheCodePage)
{
    SetGpxOptions(false, true);
    TEntries entries;
    ReadGpx(entries, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><gpx><wpt lat=\"1\" lon=\"2\"><name>n</name>"
                     "<cmt>\xD0\x96 caf\xC3\xA9</cmt></wpt></gpx>");
    ASSERT_EQ(entries.Count(), 1);
    EXPECT_EQ(entries[0].GetExtra(), "<wpt lat=\"1\" lon=\"2\"><cmt>&#1046; caf\xE9</cmt></wpt>");
    TXmlDocument doc;
    ASSERT_TRUE(doc.LoadXmlBytes(WriteGpx(entries)));
    EXPECT_EQ(doc.SelectSingleNode(QStringLiteral("gpx/wpt/cmt")).Text(), QStringLiteral("\u0416 caf\u00e9"));
}

// Lists without extra information are written without building a document; the bytes must be
// those the document saves. A list with one extra waypoint goes through the document and must
// begin with the same bytes.
TEST_F(Gpx, PlainListsAreWrittenAsTheDocumentWouldBe)
{
    TEntries plain;
    std::string every;
    for (int c = 1; c < 256; ++c)
        every += char(c);
    plain.Add(every, "", 1.5, -2.25);
    plain.Add("", "", 0, 0);
    plain.Add(std::string("cut\0here", 8), "", 3, 4);
    plain.Add(Ansi("Joe's <b> & \"c\" \xE2\x82\xAC"), "", -179.12345, 89.5);
    TEntries mixed;
    for (int i = 0; i < plain.Count(); ++i)
        mixed.Add(plain[i].GetDescription(), "", plain[i].GetLongitude(), plain[i].GetLatitude());
    mixed.Add("x", "<wpt><ele>1</ele></wpt>", 5, 6);

    std::string direct = WriteGpx(plain);
    const std::string viaDocument = WriteGpx(mixed);
    const std::string tail = "</gpx>\r\n";
    ASSERT_TRUE(direct.ends_with(tail));
    direct.resize(direct.size() - tail.size());
    EXPECT_BYTES_EQ(direct, viaDocument.substr(0, direct.size()));
    EXPECT_EQ(viaDocument.substr(direct.size()), "<wpt lat=\"6\" lon=\"5\"><ele>1</ele><name>x</name></wpt></gpx>\r\n");

    TEntries empty;
    EXPECT_TRUE(WriteGpx(empty).ends_with("\"/>\r\n"));
}

// The text of a coordinate is the getter's value (rounded to the precision from the exact
// value, ties to even) in 15 significant digits. Rows marked "tie" are values whose product
// with the scale is an exact tie in double arithmetic while the exact product is not.
TEST_F(Gpx, CoordinatesAreTheGetterValueInFifteenDigits)
{
    struct TRow {
        int Precision;
        double Latitude, Longitude;
        const char* LatitudeText;
        const char* LongitudeText;
    };
    const TRow rows[] = {
        {4, 52.37135, 130.63195, "52.3713", "130.6319"},   // tie, tie
        {4, 53.57075, -4.89125, "53.5707", "-4.8913"},     // tie, tie
        {5, 52.37135, 120.304555, "52.37135", "120.30455"}, // -, tie
        {5, -12.345675, 177.851865, "-12.34567", "177.85187"},
        {6, 66.8545635, 145.9646945, "66.854563", "145.964695"},  // tie, tie
        {6, 7.338727, -13.9192515, "7.338727", "-13.919251"},     // 17 digits as the shortest text
        {6, 0.000001, -0.0000004, "0.000001", "0"},  // west of the meridian, rounded to zero: no sign
        {5, 90, -180, "90", "-180"},
    };
    for (const TRow& row : rows) {
        Options.Source.SetPrecision(row.Precision);
        TEntries entries;
        entries.Add("p", "", row.Longitude, row.Latitude);
        entries.Add("q", "<wpt lat=\"0\"><ele>1</ele></wpt>", row.Longitude, row.Latitude);
        const std::string gpx = WriteGpx(entries);
        const std::string attributes = std::string("<wpt lat=\"") + row.LatitudeText + "\" lon=\"" + row.LongitudeText + "\">";
        EXPECT_NE(gpx.find(attributes + "<name>p</name>"), std::string::npos) << gpx.substr(gpx.find("<wpt"));
        EXPECT_NE(gpx.find(attributes + "<ele>1</ele><name>q</name>"), std::string::npos) << gpx;
        TMemoryStream kml;
        entries.SaveToStream(kml, QStringLiteral("kml"), QStringLiteral("genkml"));
        const std::string coordinates = std::string("<coordinates>") + row.LongitudeText + "," + row.LatitudeText + ",0</coordinates>";
        EXPECT_NE(kml.Data().find(coordinates), std::string::npos) << kml.Data();
    }
}

namespace {

// Reads bytes into a list holding one entry; the message of the error, empty when none.
QString ReadAfterOne(const std::string& bytes, TEntries& entries)
{
    entries.Clear();
    entries.Add("before", "", 1, 1);
    return MessageOf([&] { ReadGpx(entries, bytes); });
}

std::string Nested(const std::string& tag, int depth, const std::string& inner)
{
    std::string out;
    out.reserve(size_t(depth) * (2 * tag.size() + 5) + inner.size());
    for (int i = 0; i < depth; ++i)
        out += "<" + tag + ">";
    out += inner;
    for (int i = 0; i < depth; ++i)
        out += "</" + tag + ">";
    return out;
}

} // namespace

// What is not well-formed XML fails as a whole: nothing is added, whatever came before the fault.
TEST_F(Gpx, TextThatIsNotWellFormedIsRefused)
{
    const std::string wpt = "<wpt lat=\"1\" lon=\"2\"><name>ok</name></wpt>";
    const std::pair<std::string, const char*> cases[] = {
        {"<!DOCTYPE gpx><gpx>" + wpt + "</gpx>", "<!DOCTYPE gpx><gpx><wpt lat=\"1\" lon=\"2\"><name>ok</name></wpt></gpx>"},
        {"<!DOCTYPE gpx [<!ENTITY e \"x\">]><gpx>" + wpt + "<wpt lat=\"1\" lon=\"2\"><name>&e;</name></wpt></gpx>", nullptr},
        {"<gpx>" + wpt + "<wpt lat=\"1\" lon=\"2\"><name>caf&eacute;</name></wpt></gpx>", nullptr},
        {"<gpx>" + wpt + "<wpt lat=\"1\" lon=\"2\"><name>fish & chips</name></wpt></gpx>", nullptr},
        {"<gpx>" + wpt + "<wpt lat=\"1\" lat=\"3\" lon=\"2\"/></gpx>", nullptr},
        {"<gpx>" + wpt + "<wpt lat=\"1\" lon=\"2\"><name>\x01</name></wpt></gpx>", nullptr},
        {"<gpx>" + wpt + "<wpt lat=\"1\" lon=\"2\"><name>&#2;</name></wpt></gpx>", nullptr},
        {"<gpx>" + wpt + "<wpt lon=\"2\"/></gpx><gpx/>", nullptr},  // a point error does not hide a later XML error
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><gpx>" + wpt + "<wpt lat=\"1\" lon=\"2\"><name>\xE9</name></wpt></gpx>", nullptr},
        {"<gpx>" + wpt + Nested("x", 1000000, "").substr(0, 3000000) + "</gpx>", nullptr},  // never closed
    };
    for (const auto& [text, excerpt] : cases) {
        TEntries entries;
        const QString message = ReadAfterOne(text, entries);
        EXPECT_TRUE(message.startsWith(QStringLiteral("Invalid xml: "))) << message.toStdString() << "\n" << text.substr(0, 200);
        if (excerpt) {
            EXPECT_EQ(message, QStringLiteral("Invalid xml: %1...").arg(QLatin1String(excerpt)));
        }
        EXPECT_EQ(entries.Count(), 1) << text.substr(0, 200);
    }
}

// Damaged or unusual input: a clear error or a correct read.
TEST_F(Gpx, BadInputIsAClearErrorOrACorrectRead)
{
    TEntries entries;
    // Byte-order marks and declarations.
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><gpx><wpt lat=\"1\" lon=\"2\"><name>Zo\u00eb \u20ac</name></wpt></gpx>");
    for (const bool little : {true, false}) {
        std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
        for (const QChar c : text) {
            const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
            bytes += little ? lo : hi;
            bytes += little ? hi : lo;
        }
        EXPECT_EQ(ReadAfterOne(bytes, entries), QStringLiteral("<no error>"));
        ASSERT_EQ(entries.Count(), 2);
        EXPECT_EQ(entries[1].GetDescription(), Ansi("Zoë €"));
    }
    EXPECT_EQ(ReadAfterOne("<?xml version=\"1.0\" encoding=\"x-martian\"?><gpx><wpt lat=\"1\" lon=\"2\"><name>\xC3\xA9</name></wpt></gpx>", entries),
              QStringLiteral("<no error>"));
    EXPECT_EQ(entries[1].GetDescription(), Ansi("é"));  // an unknown encoding falls back to UTF-8
    // Numbers that are none.
    for (const char* number : {"nan", "inf", "-inf", "1e400", "-1e400", "0x1p3", "1,5", ""}) {
        const std::string bytes = std::string("<gpx><wpt lat=\"3\" lon=\"4\"/><wpt lat=\"") + number + "\" lon=\"2\"/><wpt lat=\"5\" lon=\"6\"/></gpx>";
        EXPECT_EQ(ReadAfterOne(bytes, entries), QStringLiteral("'%1' is not a valid floating point value").arg(QLatin1String(number)));
        EXPECT_EQ(entries.Count(), 2) << number;
    }
    // Texts and attribute values of several megabytes.
    SetGpxOptions(false, true);
    const std::string big(6 << 20, 'x');
    EXPECT_EQ(ReadAfterOne("<gpx><wpt lat=\"1\" lon=\"2\" note=\"" + big + "\"><name>" + big + "</name><cmt>" + big + "</cmt></wpt></gpx>", entries),
              QStringLiteral("<no error>"));
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[1].GetDescription(), big);
    EXPECT_EQ(entries[1].GetExtra(), "<wpt lat=\"1\" lon=\"2\" note=\"" + big + "\"><cmt>" + big + "</cmt></wpt>");
    // Nesting a million deep, in the description and in what is kept as Extra.
    const std::string deep = "<gpx><wpt lat=\"1\" lon=\"2\"><name>" + Nested("b", 1000000, "deep") + "</name><extensions>" +
                             Nested("e", 1000000, "") + "</extensions></wpt></gpx>";
    EXPECT_EQ(ReadAfterOne(deep, entries), QStringLiteral("<no error>"));
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[1].GetDescription(), "deep");
    // The innermost element is written "<e/>".
    EXPECT_EQ(entries[1].GetExtra().size(), std::string("<wpt lat=\"1\" lon=\"2\"><extensions></extensions></wpt>").size() + 7000000 - 3);
}

// A file cut at any tag boundary is refused as a whole, or (cut after its end) read whole.
TEST_F(Gpx, CutAtEveryTagBoundaryIsRefusedOrReadWhole)
{
    SetGpxOptions(true, true);
    for (const char* name : {"gengpx/waypoints.gpx", "genkml/placemarks.kml"}) {
        const std::string bytes = ReadFixture(QString::fromLatin1(name));
        const QString extension = QString::fromLatin1(name).section(QChar('.'), -1);
        TEntries whole;
        TMemoryStream full(bytes);
        whole.LoadFromStream(full, extension, QString(), false);
        const size_t end = bytes.rfind('>') + 1;
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            if (cut < bytes.size() && bytes[cut] != '<' && (cut == 0 || bytes[cut - 1] != '>'))
                continue;
            TEntries entries;
            entries.Add("before", "", 1, 1);
            TMemoryStream stream(bytes.substr(0, cut));
            const QString message = MessageOf([&] { entries.LoadFromStream(stream, extension, QString(), true); });
            if (cut >= end) {
                EXPECT_EQ(message, QStringLiteral("<no error>")) << name << " cut at " << cut;
                EXPECT_EQ(entries.Count(), whole.Count() + 1);
            } else {
                EXPECT_TRUE(message.startsWith(extension == QLatin1String("gpx") ? QStringLiteral("Invalid xml: ") : QStringLiteral("Invalid kml: ")))
                    << name << " cut at " << cut << ": " << message.toStdString();
                EXPECT_EQ(entries.Count(), 1) << name << " cut at " << cut;
            }
        }
    }
}

// Waypoints come first wherever the track stands; the first bad point ends the read where the
// document's order of waypoints, then track points, puts it.
TEST_F(Gpx, TrackPointsFollowTheWaypointsAndErrorsKeepThatOrder)
{
    const std::string track = "<trk><trkseg><trkpt lat=\"1\" lon=\"10\"/><trkpt lon=\"11\"/><trkpt lat=\"1\" lon=\"12\"/></trkseg></trk>";
    const std::string waypoints = "<wpt lat=\"2\" lon=\"20\"/><wpt lat=\"2\" lon=\"21\"/>";
    TEntries entries;
    EXPECT_EQ(ReadAfterOne("<gpx>" + track + waypoints + "</gpx>", entries), QStringLiteral("Invalid entry found in GPX format"));
    std::vector<double> longitudes;
    for (int i = 1; i < entries.Count(); ++i)
        longitudes.push_back(entries[i].GetLongitude());
    EXPECT_EQ(longitudes, (std::vector<double>{20, 21, 10}));
    EXPECT_EQ(ReadAfterOne("<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"10\"/></trkseg></trk><wpt lat=\"x\" lon=\"1\"/>" + waypoints + "</gpx>", entries),
              QStringLiteral("'x' is not a valid floating point value"));
    EXPECT_EQ(entries.Count(), 1);
}

// A "name" nested 175 thousand deep: read with every option, saved and copied to the clipboard.
TEST_F(Gpx, DeeplyNestedNameIsReadSavedAndCopied)
{
    const std::string file = "<gpx><wpt lat=\"1\" lon=\"2\"><desc>d</desc>" + Nested("name", 175000, "n") + "</wpt></gpx>";
    for (const bool useDesc : {false, true}) {
        SetGpxOptions(useDesc, true);
        TEntries entries;
        ReadGpx(entries, file);
        ASSERT_EQ(entries.Count(), 1);
        EXPECT_EQ(entries[0].GetDescription(), useDesc ? "d" : "n");
        EXPECT_GT(entries[0].GetExtra().size(), useDesc ? 175000u * 13 : 0u);
        entries[0].SetDescription("renamed");
        TEntries back;
        ReadGpx(back, WriteGpx(entries));
        ASSERT_EQ(back.Count(), 1);
        EXPECT_EQ(back[0].GetDescription(), "renamed");
        TEntries pasted;
        AppendGpxClipboardText(pasted, GpxClipboardText(entries));
        EXPECT_EQ(pasted.Count(), 1);
    }
}

// Characters XML cannot hold (a NUL, control characters) become blanks in both GPX paths and in
// KML, so the file loads again and no text after them is lost.
TEST_F(Gpx, CharactersXmlCannotHoldBecomeBlanksInEveryXmlWriter)
{
    struct TRow {
        std::string Description;
        std::string Expected;
    };
    const TRow rows[] = {
        {"a\x01" "b\x1f" "c\td", "a b c\td"},
        {std::string("a\0b", 3), "a b"},
        {std::string("\0x", 2), " x"},
        {std::string("tail\0", 5), "tail "},
        {"\x08\x0b\x0c\x1b", "    "},
    };
    for (const bool withExtra : {false, true}) {
        TEntries entries;
        for (const TRow& row : rows)
            entries.Add(row.Description, withExtra ? "<wpt><ele>1</ele></wpt>" : "", 1, 2);
        const std::string gpx = WriteGpx(entries);
        TEntries back;
        ReadGpx(back, gpx);
        TMemoryStream kml;
        entries.SaveToStream(kml, QStringLiteral("kml"), QStringLiteral("genkml"));
        TEntries fromKml;
        TMemoryStream in(kml.Data());
        fromKml.LoadFromStream(in, QStringLiteral("kml"), QString(), false);
        ASSERT_EQ(back.Count(), int(std::size(rows))) << withExtra;
        ASSERT_EQ(fromKml.Count(), int(std::size(rows))) << withExtra;
        for (size_t i = 0; i < std::size(rows); ++i) {
            EXPECT_BYTES_EQ(rows[i].Expected, back[int(i)].GetDescription()) << "GPX row " << i << (withExtra ? " with extra" : "");
            EXPECT_BYTES_EQ(rows[i].Expected, fromKml[int(i)].GetDescription()) << "KML row " << i;
        }
    }
}

// XML reads a carriage return in text as a line feed, and tab and line ends in an attribute
// value as blanks: written as character references they read back as themselves, in the
// description (both GPX paths and KML) and in the retained extra data.
TEST_F(Gpx, CarriageReturnsAndAttributeWhiteSpaceReadBackAsThemselves)
{
    SetGpxOptions(false, true);
    const std::string file =
        "<gpx><wpt lat=\"1\" lon=\"2\"><name>a&#13;b&#13;&#10;c\r\nd\re</name>"
        "<cmt>x&#13;y</cmt><extensions><e v=\"t&#9;&#13;&#10;u v\">f&#13;</e><![CDATA[g\r\nh]]></extensions></wpt>"
        "<wpt lat=\"3\" lon=\"4\"><name>&#13;</name></wpt></gpx>";
    TEntries entries;
    ReadGpx(entries, file);
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[0].GetDescription(), "a\rb\r\nc\nd\ne");
    EXPECT_EQ(entries[1].GetDescription(), "\r");
    const std::string extra(entries[0].GetExtra());
    EXPECT_EQ(extra, "<wpt lat=\"1\" lon=\"2\"><cmt>x&#13;y</cmt><extensions><e v=\"t&#09;&#13;&#10;u v\">f&#13;</e>"
                     "<![CDATA[g\nh]]></extensions></wpt>");
    for (int round = 0; round < 2; ++round) {
        const std::string written = WriteGpx(entries);
        EXPECT_NE(written.find("<name>a&#13;b&#13;\nc\nd\ne</name>"), std::string::npos) << written;
        TEntries back;
        ReadGpx(back, written);
        ASSERT_EQ(back.Count(), 2);
        EXPECT_EQ(back[0].GetDescription(), entries[0].GetDescription());
        // The saved file declares the GPX namespace, so the markup read back does too.
        if (round == 0) {
            EXPECT_TRUE(back[0].GetExtra().ends_with(extra.substr(extra.find('>')))) << back[0].GetExtra();
        }
        EXPECT_EQ(back[1].GetDescription(), "\r");
        TMemoryStream kml;
        entries.SaveToStream(kml, QStringLiteral("kml"), QStringLiteral("genkml"));
        EXPECT_NE(kml.Data().find("<name>a&#13;b&#13;\nc\nd\ne</name>"), std::string::npos);
        TEntries fromKml;
        TMemoryStream in(kml.Data());
        fromKml.LoadFromStream(in, QStringLiteral("kml"), QString(), false);
        ASSERT_EQ(fromKml.Count(), 2);
        EXPECT_EQ(fromKml[0].GetDescription(), entries[0].GetDescription());
        EXPECT_EQ(fromKml[1].GetDescription(), "\r");
        // The second round writes both without extra data: the writer's tables, not the document.
        for (int i = 0; i < entries.Count(); ++i)
            entries[i].SetExtra("");
    }
}

// The extra data is the point's own markup: its comments and processing instructions stay in it
// and in the file saved from it, wherever they sit.
TEST_F(Gpx, CommentsAndProcessingInstructionsOfAPointAreKept)
{
    SetGpxOptions(false, true);
    const std::string file =
        "<?xml version=\"1.0\"?><!-- before --><?style x?><gpx>"
        "<wpt lat=\"1\" lon=\"2\"><!-- first --><name>One<!-- in name --></name><?app keep=\"1\"?>"
        "<ele>5<!--deep--></ele><extensions><?inner?><x/></extensions></wpt>"
        "<wpt lat=\"3\" lon=\"4\"><name>Two</name><!--only a comment--></wpt>"
        "<wpt lat=\"5\" lon=\"6\"><name>Three</name></wpt>"
        "<!-- between -->"
        "<trk><trkseg><trkpt lat=\"7\" lon=\"8\"><?t d?></trkpt></trkseg></trk></gpx>";
    TEntries entries;
    ReadGpx(entries, file);
    ASSERT_EQ(entries.Count(), 4);
    EXPECT_EQ(entries[0].GetDescription(), "One");
    EXPECT_EQ(entries[0].GetExtra(),
              "<wpt lat=\"1\" lon=\"2\"><!-- first --><?app keep=\"1\"?><ele>5<!--deep--></ele><extensions><?inner?><x/></extensions></wpt>");
    EXPECT_EQ(entries[1].GetExtra(), "<wpt lat=\"3\" lon=\"4\"><!--only a comment--></wpt>");
    EXPECT_EQ(entries[2].GetExtra(), "");
    EXPECT_EQ(entries[3].GetExtra(), "<wpt lat=\"7\" lon=\"8\"><?t d?></wpt>");
    const std::string written = WriteGpx(entries);
    for (const char* kept : {"<wpt lat=\"1\" lon=\"2\"><!-- first --><?app keep=\"1\"?><ele>5<!--deep--></ele><extensions><?inner?><x/>"
                             "</extensions><name>One</name></wpt>",
                             "<wpt lat=\"3\" lon=\"4\"><!--only a comment--><name>Two</name></wpt>",
                             "<wpt lat=\"7\" lon=\"8\"><?t d?><name/></wpt>"})
        EXPECT_NE(written.find(kept), std::string::npos) << kept << "\n" << written;
    TEntries back;
    ReadGpx(back, written);
    ASSERT_EQ(back.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        const std::string_view extra = entries[i].GetExtra();
        EXPECT_TRUE(back[i].GetExtra().ends_with(extra.substr(std::min(extra.find('>'), extra.size())))) << i;
        EXPECT_EQ(back[i].GetExtra().empty(), extra.empty()) << i;
    }
}

// A number that is not one is shown in the error as the file has it, whatever its encoding: XML
// as its declaration says, text formats in the code page.
TEST_F(Gpx, NumberErrorsShowTheTextAsItIs)
{
    struct TRow {
        const char* Extension;
        std::string File;
    };
    const std::string degree = Ansi("\xC2\xB0");
    const TRow rows[] = {
        {"gpx", "<gpx><wpt lat=\"52.5\xC2\xB0\" lon=\"1\"/></gpx>"},
        {"gpx", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx><wpt lat=\"52.5\xB0\" lon=\"1\"/></gpx>"},
        {"kml", "<kml><Folder><Placemark><Point><coordinates>52.5\xC2\xB0,1</coordinates></Point></Placemark></Folder></kml>"},
        {"asc", "52.5" + degree + ", 1, \"x\"\r\n"},
        {"csv", "\"x\",\"x\",52.5" + degree + ",1,,,,\r\n"},
    };
    for (const TRow& row : rows) {
        TEntries entries;
        TMemoryStream stream(row.File);
        EXPECT_EQ(MessageOf([&] { entries.LoadFromStream(stream, QLatin1String(row.Extension), QString(), false); }),
                  QStringLiteral("'52.5\u00b0' is not a valid floating point value"))
            << row.File;
    }
}

TEST_F(Gpx, ReadsACodePageFileWithTheTrackFirst)
{
    struct TRow {
        bool UseDesc;
        std::vector<std::string> Descriptions;
    };
    const TRow rows[] = {
        {false, {"Caf\xE9 \x80 5 & \x8A" "ampa?sk\xE9", "", "", "Grand-Place", "Manneken <Pis>"}},
        {true, {"Line one\nline two", "", "Tokyo <tower>", "Grand-Place", "Manneken <Pis>"}},
    };
    for (const TRow& row : rows) {
        SetGpxOptions(row.UseDesc, true);
        TEntries entries;
        ReadGpx(entries, Fixture("mixed-1252.gpx"));
        ASSERT_EQ(entries.Count(), 5);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(entries[i].GetDescription(), row.Descriptions[size_t(i)]) << i;
        EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 48.8584);
        EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 2.2945);
        EXPECT_DOUBLE_EQ(entries[4].GetLatitude(), 50.8467);
        EXPECT_EQ(entries[1].GetExtra(),
                  "<wpt lat=\"-22.9519\" lon=\"-43.2105\" xmlns=\"http://www.topografix.com/GPX/1/1\"><cmt>no name &#9786;</cmt></wpt>");
        EXPECT_EQ(entries[3].GetExtra(), "<wpt lat=\"50.8503\" lon=\"4.3517\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
                                         "xmlns:t=\"urn:example:track\"><t:hr>92</t:hr></wpt>");
    }
}

// Extension names and CDATA that ISO-8859-1 cannot hold: the saved file loads again with every
// entry's extensions as read, a second save gives the same bytes, and the file stays ISO-8859-1
// (the extension data 8-bit) whenever everything fits.
TEST_F(Gpx, ExtensionsBeyondLatin1SurviveSaving)
{
    struct TRow {
        const char* Extension;
        const char* Encoding;
        bool Utf8Extra;
    };
    const TRow rows[] = {
        {"<x:ext \xC5\xB8=\"\xCE\xA9\"/>", "UTF-8", false},                    // U+0178 of code page 1252 in an attribute name
        {"<x:\xC5\xA1ign a=\"1\"/>", "UTF-8", false},                          // U+0161 in an element name
        {"<x:\xCE\xA9mega/>", "UTF-8", true},                                   // beyond the code page
        {"<x:c><![CDATA[\xE2\x82\xAC & \xCE\xA9 <b>]]></x:c>", "UTF-8", true}, // CDATA with U+20AC and U+03A9
        {"<x:caf\xC3\xA9 t=\"\xE2\x82\xAC\">\xD0\x96</x:caf\xC3\xA9>", "ISO-8859-1", false},  // references do in text
    };
    SetGpxOptions(false, true);
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Extension);
        const std::string file = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                             "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:x=\"http://example.org/x\">"
                                             "<wpt lat=\"1.5\" lon=\"2.5\"><name>\xC5\x92uvre \xE2\x82\xAC</name><extensions>")
                                 + row.Extension + "</extensions></wpt><wpt lat=\"3\" lon=\"4\"><name>plain</name></wpt></gpx>";
        const auto extensions = [](const QString& markup) {
            TXmlDocument doc;
            EXPECT_TRUE(doc.LoadXml(markup));
            return doc.SelectSingleNode(QStringLiteral("//extensions")).Xml();
        };
        TXmlDocument original;
        ASSERT_TRUE(original.LoadXmlBytes(file));
        TEntries read;
        ReadGpx(read, file);
        ASSERT_EQ(read.Count(), 2);
        EXPECT_EQ(read[0].GetDescription(), "\x8Cuvre \x80");
        EXPECT_EQ(read[0].GetExtra().starts_with("\xEF\xBB\xBF"), row.Utf8Extra);
        EXPECT_EQ(extensions(GpxMarkupOfExtra(read[0].GetExtra())), original.SelectSingleNode(QStringLiteral("//extensions")).Xml());

        const std::string saved = WriteGpx(read);
        EXPECT_TRUE(saved.starts_with(std::string("<?xml version=\"1.0\" encoding=\"") + row.Encoding + "\"?>")) << saved;
        TEntries back;
        ASSERT_NO_THROW(ReadGpx(back, saved));
        ASSERT_EQ(back.Count(), 2);
        EXPECT_EQ(back[0].GetDescription(), read[0].GetDescription());
        // The same markup; the waypoint now also declares the namespaces of the saved root.
        const auto undeclared = [](QString markup) {
            return markup.remove(QRegularExpression(QStringLiteral(" xmlns(:\\w+)?=\"[^\"]*\"")));
        };
        EXPECT_EQ(undeclared(GpxMarkupOfExtra(back[0].GetExtra())).toStdString(),
                  undeclared(GpxMarkupOfExtra(read[0].GetExtra())).toStdString());
        EXPECT_EQ(back[0].GetExtra().starts_with("\xEF\xBB\xBF"), row.Utf8Extra);
        EXPECT_EQ(back[1].GetExtra(), "");
        EXPECT_EQ(WriteGpx(back), saved);
    }
}
