// The KML reader and writer.
#include "core/uCodePage.h"
#include "core/uStream.h"
#include "formats/uKml.h"
#include "model/uModel.h"
#include "support/TestSupport.h"
#include "support/TextFormatSupport.h"

#include <gtest/gtest.h>

namespace {

void ReadKml(TEntries& entries, const std::string& bytes)
{
    TMemoryStream stream(bytes);
    entries.LoadFromStream(stream, QStringLiteral("kml"), QStringLiteral("genkml"), true);
}

std::string WriteKml(TEntries& entries)
{
    TMemoryStream stream;
    entries.SaveToStream(stream, QStringLiteral("kml"), QStringLiteral("genkml"));
    return stream.Data();
}

QString KmlError(const std::string& text)
{
    TEntries entries;
    try {
        ReadKml(entries, text);
    } catch (const ETarvellError& e) {
        return e.Message();
    }
    return QStringLiteral("no error");
}

} // namespace

TEST(Kml, ReadsPlacemarksFromUtf8)
{
    TEntries entries;
    std::vector<int> progress;
    entries.OnProgress = [&](int p) { progress.push_back(p); };
    ReadKml(entries, ReadFixture(QStringLiteral("genkml/placemarks.kml")));
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[0].GetDescription(), UnicodeToAnsi(QStringLiteral("Rijksmuseum Ämsterdam")));
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 4.89123);
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 52.37312);
    EXPECT_EQ(entries[1].GetDescription(), "Only a description");
    EXPECT_DOUBLE_EQ(entries[1].GetLongitude(), -0.1246);
    EXPECT_EQ(entries[1].GetExtra(), "");
    EXPECT_EQ(progress, (std::vector<int>{33, 66}));
}

TEST(Kml, WritesTheDocumentAndReadsItBack)
{
    const TCommaLocale comma;
    TEntries entries;
    entries.Add(UnicodeToAnsi(QStringLiteral("Caf\u00e9 & <bar>")), "", 4.89123, 52.37312);
    entries.Add("Tiny", "", -0.00001, 0);
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
        "<kml xmlns=\"http://earth.google.com/kml/2.0\"><Folder>"
        "<Placemark><name>Caf\xE9 &amp; &lt;bar&gt;</name><Point><coordinates>4.89123,52.37312,0</coordinates></Point></Placemark>"
        "<Placemark><name>Tiny</name><Point><coordinates>-0.00001,0,0</coordinates></Point></Placemark>"
        "</Folder></kml>\r\n";
    const std::string written = WriteKml(entries);
    EXPECT_BYTES_EQ(expected, written);
    TEntries back;
    ReadKml(back, written);
    ASSERT_EQ(back.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(back[i].GetDescription(), entries[i].GetDescription());
        EXPECT_EQ(back[i].GetLongitude(), entries[i].GetLongitude());
        EXPECT_EQ(back[i].GetLatitude(), entries[i].GetLatitude());
    }
}

TEST(Kml, BadInputFailsWithItsMessage)
{
    EXPECT_EQ(KmlError("<kml><Folder><Placemark><Point><coordinates>4.89123</coordinates></Point></Placemark></Folder></kml>"),
              QStringLiteral("Invalid value found in coordinates node"));
    EXPECT_EQ(KmlError("<kml>\n<Folder>"), QStringLiteral("Invalid kml: <kml><Folder>..."));
    EXPECT_EQ(KmlError("<kml><Placemark><Point><coordinates>x,1</coordinates></Point></Placemark></kml>"),
              QStringLiteral("'x' is not a valid floating point value"));
    // A Placemark directly under the root counts too ("//*/Placemark").
    TEntries entries;
    ReadKml(entries, "<kml><Placemark><Point><coordinates>1,2</coordinates></Point></Placemark></kml>");
    EXPECT_EQ(entries.Count(), 1);
}

TEST(Kml, TextThatIsNotWellFormedIsRefusedAsAWhole)
{
    const std::string placemark = "<Placemark><name>ok</name><Point><coordinates>1,2</coordinates></Point></Placemark>";
    const std::string cases[] = {
        "<!DOCTYPE kml><kml>" + placemark + "</kml>",
        "<kml>" + placemark + "<Placemark><name>caf&eacute;</name></Placemark></kml>",
        "<kml>" + placemark + "<Placemark><name>a & b</name></Placemark></kml>",
        "<kml>" + placemark + "<Placemark id=\"1\" id=\"2\"/></kml>",
        // The bad coordinates come first; the file's fault still wins.
        "<kml><Placemark><Point><coordinates>1</coordinates></Point></Placemark>" + placemark + "</kml><kml/>",
    };
    for (const std::string& text : cases) {
        TEntries entries;
        entries.Add("before", "", 1, 1);
        TMemoryStream stream(text);
        const QString message = MessageOf([&] { entries.LoadFromStream(stream, QStringLiteral("kml"), QString(), true); });
        EXPECT_EQ(message, QStringLiteral("Invalid kml: %1...").arg(QString::fromStdString(text.substr(0, 100)))) << text;
        EXPECT_EQ(entries.Count(), 1) << text;
    }
}

// A Placemark inside another one comes after it and before the outer one's later siblings, as
// the file has them; progress counts every Placemark, skipped ones too.
TEST(Kml, NestedPlacemarksInDocumentOrder)
{
    TEntries entries;
    std::vector<int> progress;
    entries.OnProgress = [&](int p) { progress.push_back(p); };
    ReadKml(entries, "<kml><Folder>"
                     "<Placemark><name>outer</name><Placemark><name>inner</name><Point><coordinates>2,2</coordinates></Point></Placemark>"
                     "<Point><coordinates>1,1</coordinates></Point></Placemark>"
                     "<Placemark><name>no point</name></Placemark>"
                     "<Placemark><description>next</description><Point><coordinates>3,3</coordinates></Point></Placemark>"
                     "</Folder></kml>");
    ASSERT_EQ(entries.Count(), 3);
    EXPECT_EQ(entries[0].GetDescription(), "outer");
    EXPECT_EQ(entries[1].GetDescription(), "inner");
    EXPECT_EQ(entries[2].GetDescription(), "next");
    EXPECT_EQ(progress, (std::vector<int>{25, 50, 75}));
}

TEST(Kml, ReadsNestedFoldersAndPlacemarks)
{
    TEntries entries;
    ReadKml(entries, ReadFixture(QStringLiteral("genkml/nested.kml")));
    ASSERT_EQ(entries.Count(), 3);
    EXPECT_EQ(entries[0].GetDescription(), "Outer & co");
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), -3.7038);
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 40.4168);
    EXPECT_EQ(entries[1].GetDescription(), "<b>Inner</b>");
    EXPECT_DOUBLE_EQ(entries[1].GetLatitude(), 20.25);
    EXPECT_EQ(entries[2].GetDescription(), "Sm\xF8rrebr\xF8" "d \x80");
}
