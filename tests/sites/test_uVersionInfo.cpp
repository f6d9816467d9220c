// The program version check: comparing versions, reading the version file, and fetching it from
// a loopback HTTP server (suite HttpVersion, labelled "http").
#include "sites/uVersionInfo.h"

#include "support/TestSupport.h"

#include "sites/SiteTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionCompare, TheFirstDifferingPositionDecides)
{
    struct TCase {
        TFileVersionNumbers Online;
        TFileVersionNumbers Own;
        bool Newer;
    } cases[] = {
        { { 5, 2, 0, 212 }, { 5, 2, 0, 212 }, false },
        { { 5, 3, 0, 0 }, { 5, 2, 9, 999 }, true },
        { { 5, 1, 9, 999 }, { 5, 2, 0, 0 }, false },
        { { 6, 0, 0, 0 }, { 5, 99, 99, 99 }, true },
        { { 5, 2, 0, 213 }, { 5, 2, 0, 212 }, true },
        { { 5, 2, 1, 0 }, { 5, 2, 0, 999 }, true },
        { { 4, 9, 9, 9 }, { 5, 0, 0, 0 }, false },
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CompareVersions(c.Online, c.Own), c.Newer)
            << c.Online.Major << "." << c.Online.Minor << "." << c.Online.Release << "." << c.Online.Build;
}

TEST(VersionFile, CurrentIsFourNumbers)
{
    EXPECT_EQ(ParseVersionXml(QStringLiteral("<?xml version=\"1.0\"?><version><Current> 5.2.0.212 </Current></version>")),
        (TFileVersionNumbers { 5, 2, 0, 212 }));
    EXPECT_EQ(ParseVersionXml(QStringLiteral("<tarvell><Other>1</Other><Current>10.0.3.4</Current></tarvell>")),
        (TFileVersionNumbers { 10, 0, 3, 4 }));

    struct TCase {
        const char* Text;
        const char* Message;
    } failures[] = {
        { "", "Invalid xml, no document element found\r\r" },
        { "<?xml version=\"1.0\"?>", "Invalid xml, no document element found\r\r<?xml version=\"1.0\"?>" },
        { "<html><body>Not found</body>", "Invalid xml, no document element found\r\r<html><body>Not found</body>" },
        { "<version><current>5.2.0.1</current></version>", "Online version information invalid" },
        { "<version><x><Current>5.2.0.1</Current></x></version>", "Online version information invalid" },
        { "<version><Current>5.3</Current></version>", "'' is not a valid integer value" },
        { "<version><Current>5.x.0.0</Current></version>", "'x' is not a valid integer value" },
        { "<version><Current>5.-1.0.0</Current></version>", "'-1' is not a valid integer value" },
        { "<version><Current>5.2.0.99999999999</Current></version>", "'99999999999' is not a valid integer value" },
    };
    for (const TCase& c : failures)
        EXPECT_EQ(MessageOf([&] { ParseVersionXml(QString::fromUtf8(c.Text)); }), QString::fromUtf8(c.Message)) << c.Text;
    EXPECT_THROW(ParseVersionXml(QStringLiteral("<v><Current>5.x.0.0</Current></v>")), EConvertError);
}

TEST(VersionFile, PlaceholderAddresses)
{
    EXPECT_TRUE(IsPlaceholderWebSite(QStringLiteral("http://www.tarvell.example")));
    EXPECT_TRUE(IsPlaceholderWebSite(QStringLiteral("http://EXAMPLE/")));
    EXPECT_FALSE(IsPlaceholderWebSite(QStringLiteral("http://127.0.0.1:8080")));
    EXPECT_FALSE(IsPlaceholderWebSite(QStringLiteral("http://www.example.com")));
    EXPECT_FALSE(IsPlaceholderWebSite(QStringLiteral("http://tarvellexample.org")));
}

TEST(VersionFile, ErrorTexts)
{
    EXPECT_EQ(VersionCheckErrorText(QStringLiteral("Unable to retrieve online version information.")),
        QStringLiteral("Cannot retrieve online file information (version info) because of the following error:\r\r"
                       "Unable to retrieve online version information.\r\rPlease check your internet connection"));
    EXPECT_EQ(VersionCheckExceptionText(QStringLiteral("boom")),
        QStringLiteral("Could not download version information because of the following exception:\r\r\"boom\"."));
}

class HttpVersion : public ::testing::Test {
protected:
    TLoopbackServer Server;
};

TEST_F(HttpVersion, TheFileStraightFromTheSite)
{
    const std::string file = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<v><Current>5.2.0.212</Current><n>\xe9</n></v>";
    Server.Set("/version.xml", TAnswer().WithBody(file).WithETag("\"1\""));
    const QString text = FetchVersionFile(Server.Base());
    EXPECT_EQ(ParseVersionXml(text), (TFileVersionNumbers { 5, 2, 0, 212 }));
    EXPECT_TRUE(text.contains(QChar(0xE9))) << "decoded as declared";
    FetchVersionFile(Server.Base());
    EXPECT_EQ(Server.Count("/version.xml"), 2);
    EXPECT_EQ(Server.NotModified, 0) << "never revalidated from a cached copy";

    Server.Set("/version.xml", TAnswer().WithBody("<html><body>Welcome</body></html>"));
    EXPECT_EQ(MessageOf([&] { FetchVersionFile(Server.Base()); }),
        QStringLiteral("Unable to retrieve online version information."));
    Server.Set("/version.xml", TAnswer().WithStatus(404));
    EXPECT_EQ(MessageOf([&] { FetchVersionFile(Server.Base()); }),
        QStringLiteral("Unable to download %1/version.xml").arg(Server.Base()));
    Server.Set("/version.xml", TAnswer().WithBody("<?xml?>" + std::string(MaxVersionFileSize, ' ')));
    EXPECT_EQ(MessageOf([&] { FetchVersionFile(Server.Base()); }),
        QStringLiteral("The answer of %1/version.xml is larger than %2 bytes").arg(Server.Base()).arg(MaxVersionFileSize));
}

} // namespace
