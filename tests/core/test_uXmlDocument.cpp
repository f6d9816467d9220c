// The XML document object: loading, queries, node text, cloning across documents, saving.
#include "core/uStream.h"
#include "core/uXmlDocument.h"

#include <gtest/gtest.h>

namespace {

std::string Saved(const TXmlDocument& doc) { return doc.SaveToBytes(); }

} // namespace

TEST(XmlDocument, LoadRefusesWhatIsNotOneWellFormedElement)
{
    const char* bad[] = {
        "", "   ", "<?xml version=\"1.0\"?>", "<a><b></a>", "<a>", "text", "<a/><b/>", "x<a/>", "<a b='1' b=>",
        // Well-formedness the document object alone would let through.
        "<a>fish & chips</a>", "<a>caf&eacute;</a>", "<a b='1' b='2'/>", "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>",
        "<!DOCTYPE a><a/>", "<a>&#1;</a>", "<a>\x01</a>", "<a>]]></a>", "<a b='<'/>", "<1a/>", "<a>&#xD800;</a>",
        "<a></A>", "<a/>\n<!-- trailing", "<a>&amp</a>",
    };
    for (const char* text : bad) {
        TXmlDocument doc;
        EXPECT_FALSE(doc.LoadXml(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(doc.DocumentElement().IsNull()) << text;
        EXPECT_FALSE(doc.LoadXmlBytes(text)) << text;
    }
    // Bytes that are not what the declaration says.
    TXmlDocument mislabelled;
    EXPECT_FALSE(mislabelled.LoadXmlBytes("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>caf\xE9</a>"));
    TXmlDocument doc;
    EXPECT_TRUE(doc.LoadXml(QStringLiteral("<?xml version=\"1.0\"?>\n<!-- c --><a/>\n")));
    EXPECT_EQ(doc.DocumentElement().NodeName(), QStringLiteral("a"));
}

TEST(XmlDocument, EntitiesAndDtdAreInert)
{
    const QString bomb = QStringLiteral(
        "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;\">"
        "<!ENTITY ext SYSTEM \"file:///etc/passwd\">]><lolz>&lol2;&ext;</lolz>");
    TXmlDocument doc;
    EXPECT_FALSE(doc.LoadXml(bomb));
    TXmlDocument predefined;
    ASSERT_TRUE(predefined.LoadXml(QStringLiteral("<a>&lt;&amp;&#233;&#x20AC;</a>")));
    EXPECT_EQ(predefined.DocumentElement().Text(), QStringLiteral("<&\u00e9\u20ac"));
}

TEST(XmlDocument, TextIsTheConcatenatedDescendantText)
{
    TXmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(QStringLiteral("<a>one<b>two<c>three</c></b><![CDATA[<four>]]></a>")));
    const TXmlNode a = doc.DocumentElement();
    EXPECT_EQ(a.Text(), QStringLiteral("onetwothree<four>"));
    a.SetText(QStringLiteral("only"));
    EXPECT_EQ(a.ChildNodeCount(), 1);
    EXPECT_EQ(a.Xml(), QStringLiteral("<a>only</a>"));
}

TEST(XmlDocument, DeepNestingNeitherCrashesNorLosesText)
{
    const int depth = 200000;
    std::string text = "<gpx><wpt lat=\"1\" lon=\"2\"><name>";
    for (int i = 0; i < depth; ++i)
        text += "<b>";
    text += "deep";
    for (int i = 0; i < depth; ++i)
        text += "</b>";
    text += "</name></wpt></gpx>";
    TXmlDocument doc;
    ASSERT_TRUE(doc.LoadXmlBytes(text));
    const TXmlNode name = doc.SelectSingleNode(QStringLiteral("gpx/wpt/name"));
    EXPECT_EQ(name.Text(), QStringLiteral("deep"));
    EXPECT_EQ(name.GetElementsByTagName(QStringLiteral("b")).size(), size_t(depth));
    EXPECT_GT(doc.SaveToBytes().size(), text.size() - 10);
    EXPECT_GT(name.Xml().size(), 7 * depth);

    // Replacing and removing such a subtree frees it without recursion.
    const TXmlNode wpt = doc.SelectSingleNode(QStringLiteral("gpx/wpt"));
    const TXmlNode copy = wpt.AppendClone(name);
    name.SetText(QStringLiteral("flat"));
    EXPECT_EQ(name.Xml(), QStringLiteral("<name>flat</name>"));
    EXPECT_EQ(copy.Text(), QStringLiteral("deep"));
    wpt.RemoveChild(copy);
    EXPECT_EQ(wpt.ChildNodeCount(), 1);
    doc.DocumentElement().RemoveChild(wpt);
    EXPECT_EQ(doc.SaveToBytes(), "<gpx/>\r\n");
}

TEST(XmlDocument, SavedDocumentsLoadAgain)
{
    // Control characters have no place in XML, not even as references: they become blanks, and a
    // NUL does not end the text. A carriage return is a reference, or it would read as a line feed.
    TXmlDocument doc;
    const TXmlNode root = doc.CreateDocumentElement(QStringLiteral("r"));
    root.SetText(QStringLiteral("a\u0001b\u001fc\td\u0000e\rf\uffff"));
    root.SetAttribute(QStringLiteral("v"), QStringLiteral("x\u0008y\nz\r\u0000"));
    const std::string bytes = doc.SaveToBytes();
    EXPECT_EQ(bytes, "<r v=\"x y&#10;z&#13; \">a b c\td e&#13;f </r>\r\n");
    TXmlDocument back;
    ASSERT_TRUE(back.LoadXmlBytes(bytes));
    EXPECT_EQ(back.DocumentElement().Text(), QStringLiteral("a b c\td e\rf "));
    EXPECT_EQ(back.DocumentElement().Attribute(QStringLiteral("v")), QStringLiteral("x y\nz\r "));
    EXPECT_EQ(XmlTextAsLatin1(QStringLiteral("\u0002<\u00e9\r")), " &lt;\xE9&#13;");
}

TEST(XmlDocument, PathsWithVariablesMatchApostrophes)
{
    TXmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(QStringLiteral(
        "<pois><poi><description>Joe's bar</description><id>1</id></poi>"
        "<poi><description>Other</description><id>2</id></poi><tarvell><version>5.2</version></tarvell></pois>")));
    const TXmlNode poi = doc.SelectSingleNode(QStringLiteral("//pois/poi[description=$d]"),
                                              {{QStringLiteral("d"), QStringLiteral("Joe's bar")}});
    ASSERT_FALSE(poi.IsNull());
    EXPECT_EQ(poi.SelectSingleNode(QStringLiteral("id")).Text(), QStringLiteral("1"));
    EXPECT_EQ(doc.SelectNodes(QStringLiteral("pois/poi")).size(), 2u);
    EXPECT_EQ(doc.SelectSingleNode(QStringLiteral("pois/tarvell/version")).Text(), QStringLiteral("5.2"));
    EXPECT_TRUE(doc.SelectSingleNode(QStringLiteral("pois/missing")).IsNull());
    EXPECT_THROW(doc.SelectNodes(QStringLiteral("pois/[")), ETarvellError);
    EXPECT_EQ(doc.DocumentElement().GetElementsByTagName(QStringLiteral("description")).size(), 2u);
}

TEST(XmlDocument, AttributesReadAbsentAndAreReplacedInPlace)
{
    TXmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(QStringLiteral("<wpt lat=\"1\" lon=\"2\"/>")));
    const TXmlNode wpt = doc.DocumentElement();
    EXPECT_FALSE(wpt.Attribute(QStringLiteral("ele")).has_value());
    wpt.SetAttribute(QStringLiteral("lat"), QStringLiteral("3"));
    wpt.SetAttribute(QStringLiteral("x"), QStringLiteral("a\"b"));
    EXPECT_EQ(wpt.Xml().toStdString(), "<wpt lat=\"3\" lon=\"2\" x=\"a&quot;b\"/>");
}

TEST(XmlDocument, CloneAcrossDocumentsKeepsNamespacesInScope)
{
    TXmlDocument source;
    ASSERT_TRUE(source.LoadXml(QStringLiteral(
        "<gpx xmlns=\"urn:gpx\" xmlns:e=\"urn:ext\"><wpt lat=\"1\"><e:x>v</e:x></wpt></gpx>")));
    const TXmlNode wpt = source.SelectSingleNode(QStringLiteral("gpx/wpt"));
    // Alone, the markup declares what it uses.
    const QString xml = wpt.Xml();
    TXmlDocument alone;
    ASSERT_TRUE(alone.LoadXml(xml));
    EXPECT_EQ(alone.DocumentElement().Attribute(QStringLiteral("xmlns:e")), QStringLiteral("urn:ext"));

    TXmlDocument target;
    const TXmlNode root = target.CreateDocumentElement(QStringLiteral("gpx"));
    root.SetAttribute(QStringLiteral("xmlns"), QStringLiteral("urn:gpx"));
    const TXmlNode copy = root.AppendClone(alone.DocumentElement());
    // The default namespace is in scope already; the extension's one comes along.
    EXPECT_FALSE(copy.Attribute(QStringLiteral("xmlns")).has_value());
    EXPECT_EQ(copy.Attribute(QStringLiteral("xmlns:e")), QStringLiteral("urn:ext"));
    EXPECT_EQ(copy.SelectSingleNode(QStringLiteral("e:x")).Text(), QStringLiteral("v"));
}

TEST(XmlDocument, SavesInTheDeclaredEncoding)
{
    TXmlDocument doc;
    doc.AppendProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"ISO-8859-1\""));
    const TXmlNode root = doc.CreateDocumentElement(QStringLiteral("r"));
    root.SetText(QStringLiteral("\u00e9\u20ac\u0081<"));
    root.SetAttribute(QStringLiteral("a"), QStringLiteral("\u0416"));
    const std::string bytes = Saved(doc);
    EXPECT_EQ(bytes, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<r a=\"&#1046;\">\xE9&#8364;&#129;&lt;</r>\r\n");
    EXPECT_EQ(DecodeXmlBytes(bytes), QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<r a=\"&#1046;\">"
                                                    "\u00e9&#8364;&#129;&lt;</r>\r\n"));
    TXmlDocument back;
    ASSERT_TRUE(back.LoadXml(DecodeXmlBytes(bytes)));
    EXPECT_EQ(back.DocumentElement().Text(), QStringLiteral("\u00e9\u20ac\u0081<"));
    EXPECT_EQ(back.DocumentElement().Attribute(QStringLiteral("a")), QStringLiteral("\u0416"));
    EXPECT_EQ(EncodeXmlText(DecodeXmlBytes(bytes)), bytes);

    TXmlDocument utf8;
    utf8.CreateDocumentElement(QStringLiteral("r")).SetText(QStringLiteral("\u00e9"));
    EXPECT_EQ(Saved(utf8), "<r>\xC3\xA9</r>\r\n");
    TMemoryStream stream;
    stream.Write("x");
    utf8.SaveToStream(stream);
    EXPECT_EQ(stream.Data(), "x<r>\xC3\xA9</r>\r\n");
}

TEST(XmlDocument, DecodeHonoursBomAndDeclaration)
{
    struct TCase {
        std::string Bytes;
        QString Text;
    };
    const TCase cases[] = {
        {"\xEF\xBB\xBF<a>\xC3\xA9</a>", QStringLiteral("<a>\u00e9</a>")},
        {std::string("\xFF\xFE<\0a\0/\0>\0", 10), QStringLiteral("<a/>")},
        {std::string("\xFE\xFF\0<\0a\0/\0>", 10), QStringLiteral("<a/>")},
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xC3\xA9</a>", QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\u00e9</a>")},
        {"<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9\x80</a>", QStringLiteral("<?xml version='1.0' encoding='ISO-8859-1'?><a>\u00e9\u20ac</a>")},
        {"<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>\xC6</a>", QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>\u0416</a>")},
        {"<a>\xC3\xA9</a>", QStringLiteral("<a>\u00e9</a>")},  // undeclared, valid UTF-8
        {"<a>\xE9</a>", QStringLiteral("<a>\u00e9</a>")},          // undeclared, not UTF-8: ANSI
        {"<?xml\tversion=\"1.0\" encoding=\"windows-1251\"?><a>\xC6</a>", QStringLiteral("<?xml\tversion=\"1.0\" encoding=\"windows-1251\"?><a>\u0416</a>")},
        // Instructions whose target only begins with "xml" declare nothing: their text stays UTF-8.
        {"<?xml-stylesheet encoding=\"windows-1251\"?><a>\xC3\xA9</a>", QStringLiteral("<?xml-stylesheet encoding=\"windows-1251\"?><a>\u00e9</a>")},
        {"<?xml\xD1\x8E encoding=\"windows-1251\"?><a>\xC3\xA9</a>", QStringLiteral("<?xml\u044e encoding=\"windows-1251\"?><a>\u00e9</a>")},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(DecodeXmlBytes(c.Bytes), c.Text) << c.Bytes;
}

TEST(XmlDocument, ExcerptDropsControlCharactersAndKeepsAHundred)
{
    EXPECT_EQ(XmlExcerpt(QStringLiteral("a\r\nb\tc\u0001d")), QStringLiteral("abcd"));
    EXPECT_EQ(XmlExcerpt(QString(150, QChar('x'))).size(), 100);
}
