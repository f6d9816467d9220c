// The site catalogue model read from catalogue XML, the registry of sites, and the catalogue
// download that only a catalogue may replace the cached copy with (loopback server).
#include "sites/uSite.h"

#include "core/uDownload.h"
#include "core/uLocations.h"
#include "sites/SiteTestSupport.h"
#include "support/ErrorSupport.h"
#include "support/ParamNames.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <map>

#include <gtest/gtest.h>

namespace {

std::string Fixture(const char* name)
{
    return LoadBytesFromFile(QStringLiteral(TARVELL_TEST_DATA "/sites/") + QLatin1String(name));
}

class Catalogue : public CleanSettingsTest {
protected:
    void SetUp() override { Site.LoadFromXml(Fixture("catalogue.xml")); }
    TSite Site { QStringLiteral("http://pois.example/site.xml") };
};

TEST_F(Catalogue, SiteValues)
{
    EXPECT_EQ(Site.InfoUrl, QStringLiteral("http://pois.example/info"));
    EXPECT_EQ(Site.AddUrl, QStringLiteral("/add?u=%Username%"));
    EXPECT_EQ(Site.AddFormat, QStringLiteral("ov2"));
    EXPECT_EQ(Site.OnSuccessUrl, QStringLiteral("/ok?d=%Description%"));
    EXPECT_EQ(Site.OnErrorUrl, QStringLiteral("/err?m=%ErrorMsg%"));
    EXPECT_EQ(Site.LoginMode, QStringLiteral("email"));
    EXPECT_EQ(Site.MaxAccessLevel(), 2);
}

TEST_F(Catalogue, CountriesMatchCaseInsensitivelyAndCollectGroups)
{
    ASSERT_EQ(Site.Countries.Count(), 2);
    TCountry& germany = Site.Countries[0];
    EXPECT_EQ(germany.CountryName, QStringLiteral("Germany"));
    EXPECT_EQ(Site.Countries.FindCountry(QStringLiteral("gErMaNy")), &germany);
    ASSERT_EQ(germany.Pois.Count(), 2);
    EXPECT_EQ(
        germany.GroupNames, (QStringList { QStringLiteral("Shops"), QStringLiteral("Fuel"), QStringLiteral("Speed") }));
    // Cams has nocommit: its groups are not offered for commits.
    EXPECT_EQ(germany.CommitGroupNames, (QStringList { QStringLiteral("Shops"), QStringLiteral("Fuel") }));
    EXPECT_EQ(germany.AccessLevel, 2);
    // A POI without a map (child names are case-sensitive) lands in the country "".
    TCountry& none = Site.Countries[1];
    EXPECT_EQ(none.CountryName, QString());
    EXPECT_EQ(none.AccessLevel, 0);
    EXPECT_EQ(germany.PoisInGroup(QStringLiteral("SHOPS"))->Count(), 2);
    EXPECT_EQ(germany.PoisInGroup(QStringLiteral("speed"))->Count(), 1);
    EXPECT_EQ(germany.AllPois()->Count(), 2);
}

TEST_F(Catalogue, PoiChildren)
{
    const TPoi* fuel = Site.Countries[0].FindPoi(QStringLiteral("FUEL"));
    ASSERT_NE(fuel, nullptr);
    EXPECT_EQ(fuel->Groups, (QStringList { QStringLiteral("shops"), QStringLiteral("fuel") }));
    EXPECT_EQ(fuel->Note, QStringLiteral("second"));
    EXPECT_EQ(fuel->AccessLevel, 1);
    EXPECT_TRUE(fuel->CommitAllowed);
    EXPECT_EQ(fuel->FileExt(), QStringLiteral(".asc"));
    EXPECT_EQ(fuel->FormatID(), QStringLiteral("genasc"));
    EXPECT_EQ(fuel->SiteLocation, Site.Location);
    const TPoi* cams = Site.Countries[0].FindPoi(QStringLiteral("cams"));
    ASSERT_NE(cams, nullptr);
    EXPECT_FALSE(cams->CommitAllowed);
    EXPECT_EQ(cams->FileExt(), QStringLiteral(".itn"));
    EXPECT_EQ(cams->FormatID(), QString());
    const TPoi* bob = Site.Countries[1].Pois.FindByDescription(QStringLiteral("bob's café"));
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->AccessLevel, 0);
    EXPECT_EQ(bob->FileExt(), QStringLiteral(".asc"));
    EXPECT_EQ(bob->FormatID(), QString());
}

TEST_F(Catalogue, GroupsMergeByName)
{
    ASSERT_EQ(Site.Groups.Count(), 2);
    EXPECT_EQ(Site.Groups[0].GroupName, QStringLiteral("Shops"));
    EXPECT_EQ(Site.Groups[0].Description, QStringLiteral("Shops again"));
    EXPECT_EQ(Site.Groups.IndexOfName(QStringLiteral("speed")), 1);
    EXPECT_EQ(Site.Groups[1].Note, QStringLiteral("Drive safe"));
    EXPECT_TRUE(Site.Groups.HasWizardGroup());
    EXPECT_FALSE(Site.Groups[0].Wizard);
}

TEST_F(Catalogue, PoiAndSiteValues)
{
    // The apostrophe reaches the query as a bound value.
    EXPECT_EQ(
        Site.GetPoiValue(QStringLiteral("Bob's Café"), QStringLiteral("url"), true), QStringLiteral("/pois/bob.asc"));
    EXPECT_EQ(Site.GetPoiValue(QStringLiteral("Fuel"), QStringLiteral("query"), false), QString());
    const QString invalid = QStringLiteral(
        "Downloaded information invalid, please try again or use the Update button next to the sites list");
    EXPECT_EQ(MessageOf([this] { Site.GetPoiValue(QStringLiteral("Fuel"), QStringLiteral("query"), true); }), invalid);
    EXPECT_EQ(MessageOf([this] { Site.GetPoiValue(QStringLiteral("fuel"), QStringLiteral("url"), false); }),
        QStringLiteral("Poi item not found in site xml"));
    EXPECT_EQ(Site.GetSiteValue(QStringLiteral("loginmode"), true), QStringLiteral("email"));
    EXPECT_EQ(MessageOf([this] { Site.GetSiteValue(QStringLiteral("queryerrormode"), true); }), invalid);
}

struct TBadCase {
    const char* Name;
    const char* Xml;
    const char* Message;
};

void PrintTo(const TBadCase& c, std::ostream* os) { *os << c.Name; }

class CatalogueFailures : public ::testing::TestWithParam<TBadCase> { };

TEST_P(CatalogueFailures, KeepWhatWasReadBefore)
{
    TCleanSettings settings;
    TSite site(QStringLiteral("FILE:///x.xml"));
    site.LoadFromXml(Fixture("catalogue.xml"));
    EXPECT_EQ(MessageOf([&] { site.LoadFromXml(GetParam().Xml); }), QString::fromUtf8(GetParam().Message));
    // Single values are read last, so they keep their old text.
    EXPECT_EQ(site.InfoUrl, QStringLiteral("http://pois.example/info"));
}

INSTANTIATE_TEST_SUITE_P(Table, CatalogueFailures,
    ::testing::Values(TBadCase { "NotXml", "not xml", "Invalid xml" },
        TBadCase { "DeclarationOnly", "<?xml version=\"1.0\"?>", "Invalid xml" },
        TBadCase { "NewerVersion", "<pois><tarvell><version>99.0</version></tarvell><infourl>new</infourl></pois>",
            "The selected site is not supported by this version Tarvell. You need to update to a newer version of "
            "Tarvell "
            "(minimal version 99.0) to use this site" },
        TBadCase { "GroupWithoutName", "<pois><groups><group><description>d</description></group></groups></pois>",
            "Missing pois/groups/group/name node" },
        TBadCase { "GroupWithoutDescription", "<pois><groups><group><name>n</name></group></groups></pois>",
            "Missing pois/groups/group/description node" },
        TBadCase { "HtmlPage", "<html><body><p>Log in first</p></body></html>",
            "Invalid site xml: the document element is \"html\" instead of \"pois\"" }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CatalogueFailures, VersionGateLeavesTheModelUntouched)
{
    TCleanSettings settings;
    TSite site(QStringLiteral("FILE:///x.xml"));
    site.LoadFromXml(Fixture("catalogue.xml"));
    EXPECT_THROW(site.LoadFromXml("<pois><tarvell><version>99</version></tarvell></pois>"), EUserError);
    EXPECT_EQ(site.Countries.Count(), 2);
    EXPECT_EQ(site.Groups.Count(), 2);
    // A group failure keeps the POIs read before it.
    EXPECT_THROW(site.LoadFromXml("<pois><poi><description>a</description></poi><groups><group/></groups></pois>"),
        ETarvellError);
    ASSERT_EQ(site.Countries.Count(), 1);
    EXPECT_EQ(site.Countries[0].Pois[0].Description, QStringLiteral("a"));
}

// Reading the cached copy again is all or nothing: a copy that does not load keeps the model, and
// a site whose copy does not load is not registered, so the next look-up reads it again.
TEST(SiteRegistry, ACopyThatFailsToLoadChangesNothing)
{
    TCleanSettings settings;
    ClearSites();
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/cat.xml");
    const QString location = QStringLiteral("FILE://") + file;
    const std::string broken = "<pois><poi><description>a</description></poi><groups><group/></groups></pois>";
    SaveBytesToFile(file, broken);
    EXPECT_THROW(GetSite(location), EUserError);
    EXPECT_THROW(GetSite(location), EUserError);
    SaveBytesToFile(file, Fixture("catalogue.xml"));
    TSite& site = GetSite(location);
    ASSERT_EQ(site.Countries.Count(), 2);
    SaveBytesToFile(file, broken);
    EXPECT_EQ(MessageOf([&] { site.LoadFromCache(); }), QStringLiteral("Missing pois/groups/group/name node"));
    EXPECT_EQ(site.Countries.Count(), 2);
    EXPECT_EQ(site.Groups.Count(), 2);
    EXPECT_EQ(site.InfoUrl, QStringLiteral("http://pois.example/info"));
    EXPECT_EQ(&GetSite(location), &site);
    ClearSites();
}

TEST(SiteRegistry, OneSitePerLocationLoadedFromItsFile)
{
    TCleanSettings settings;
    ClearSites();
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/cat.xml");
    SaveBytesToFile(file, Fixture("catalogue.xml"));
    TSite& site = GetSite(QStringLiteral("FILE://") + file);
    EXPECT_EQ(site.Countries.Count(), 2);
    EXPECT_EQ(&GetSite(QStringLiteral("file://") + file), &site);
    // Without a cached copy a web site simply has no countries.
    EXPECT_EQ(GetSite(QStringLiteral("http://nowhere.example/none.xml")).Countries.Count(), 0);
    ClearSites();
}

// --- the catalogue download against a server with fault modes --------------------------------

// Answers "/site.xml" as Mode says: a catalogue, a page or broken catalogue with status 200, a
// 100 MB body, a trickle of one byte a second; counts the bytes sent.
class TFaultServer : public TLoopbackHttp {
public:
    enum TMode { Good, Body, Huge, Trickle };
    TFaultServer()
    {
        Server.Get("/site.xml", [this](const httplib::Request&, httplib::Response& res) { Serve(res); });
        Start();
    }
    ~TFaultServer() { Stop(); }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/site.xml").arg(Port); }
    void Answer(TMode mode, std::string body = {})
    {
        std::lock_guard lock(Mutex);
        Mode = mode;
        Text = std::move(body);
    }

private:
    void Serve(httplib::Response& res)
    {
        TMode mode;
        std::string text;
        {
            std::lock_guard lock(Mutex);
            mode = Mode;
            text = Text;
        }
        switch (mode) {
        case Good:
        case Body:
            res.set_content(text, "text/html");
            return;
        case Huge: {
            constexpr size_t total = 100 * 1000 * 1000;
            res.set_content_provider(
                total, "application/xml", [](size_t offset, size_t length, httplib::DataSink& sink) {
                    static const std::string chunk(64 * 1024, 'x');
                    return sink.write(chunk.data(), std::min({ chunk.size(), length, total - offset }));
                });
            return;
        }
        case Trickle:
            res.set_chunked_content_provider("application/xml", [this](size_t, httplib::DataSink& sink) {
                if (!sink.write("<", 1))
                    return false;
                for (int i = 0; i < 50 && !Stopping; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return !Stopping.load();
            });
            return;
        }
    }

    std::mutex Mutex;
    TMode Mode = Good;
    std::string Text;
};

// Every file under a folder with its bytes.
std::map<QString, std::string> FilesUnder(const QString& folder)
{
    std::map<QString, std::string> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = it.next();
        files[name] = LoadBytesFromFile(name);
    }
    return files;
}

struct TFaultCase {
    const char* Name;
    TFaultServer::TMode Mode;
    const char* Body;
    bool Cancel;
    // The message; "%1" stands for the address.
    const char* Message;
};

std::ostream& operator<<(std::ostream& out, const TFaultCase& c)
{
    return out << c.Name;
}

class HttpCatalogueRefusal : public ::testing::TestWithParam<std::tuple<TFaultCase, bool>> {
protected:
    TCleanSettings Settings;
    TSiteTestHome Home;
    TFaultServer Server;
    TDownloadLimits OldLimits = DownloadLimits();
    void SetUp() override
    {
        ClearSites();
        // A trickle ends after one second below 100 bytes a second; a body ends past 1 MiB.
        DownloadLimits().LowSpeedTime = 1;
        DownloadLimits().MaxCatalogueSize = 1024 * 1024;
    }
    void TearDown() override
    {
        DownloadLimits() = OldLimits;
        ClearSites();
    }
};

// A good catalogue fetched both ways fills the data folder and the HTTP cache; an answer that is
// no catalogue, too long, too slow or cancelled is refused with a user error, and both copies stay
// byte for byte; the site still loads from its copy.
TEST_P(HttpCatalogueRefusal, KeepsTheCachedCatalogue)
{
    // Named, not bound: the cancel lambda below uses the fault, and clang 14 captures no binding.
    const auto& fault = std::get<0>(GetParam());
    const bool direct = std::get<1>(GetParam());
    const QString url = Server.Url();
    Server.Answer(TFaultServer::Good, Fixture("catalogue.xml"));
    DownloadSiteCatalogue(url, false);
    DownloadSiteCatalogue(url, true);
    const QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const auto cached = FilesUnder(cacheFolder);
    const auto data = FilesUnder(GetDataDir());
    ASSERT_FALSE(cached.empty());
    ASSERT_EQ(data.at(LocationToLocalFile(url)), Fixture("catalogue.xml"));

    Server.Answer(fault.Mode, fault.Body);
    int calls = 0;
    const TDownloadProgressEvent cancel = [&](uint64_t, uint64_t, TUrlDownloadStatus, const QString&, bool& stop) {
        stop = fault.Cancel && ++calls > 1;
    };
    try {
        DownloadSiteCatalogue(url, direct, cancel);
        ADD_FAILURE() << "accepted";
    } catch (const EUserError& e) {
        const QString message = QString::fromUtf8(fault.Message);
        EXPECT_EQ(e.Message(), message.contains(QStringLiteral("%1")) ? message.arg(url) : message);
    }
    EXPECT_EQ(FilesUnder(cacheFolder), cached);
    EXPECT_EQ(FilesUnder(GetDataDir()), data);
    EXPECT_EQ(GetSite(url).Countries.Count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Faults, HttpCatalogueRefusal,
    ::testing::Combine(
        ::testing::Values(TFaultCase { "page", TFaultServer::Body,
                              "<?xml version=\"1.0\"?><html><body><form action=\"/login\"/></body></html>", false,
                              "Invalid site xml: the document element is \"html\" instead of \"pois\"" },
            TFaultCase { "htmlPage", TFaultServer::Body, "<!DOCTYPE html><html><body>Sign in<br></body></html>", false,
                "Invalid xml" },
            TFaultCase { "missingNode", TFaultServer::Body,
                "<pois><poi><description>a</description></poi><groups><group><name>n</name></group></groups></pois>",
                false, "Missing pois/groups/group/description node" },
            TFaultCase { "illFormed", TFaultServer::Body, "<pois><poi><description>a</poi>", false, "Invalid xml" },
            TFaultCase { "huge", TFaultServer::Huge, "", false, "The answer of %1 is larger than 1048576 bytes" },
            TFaultCase { "trickle", TFaultServer::Trickle, "", false, "Unable to download %1" },
            TFaultCase { "cancelled", TFaultServer::Trickle, "", true, "Unable to download %1" }),
        ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).Name) + (std::get<1>(info.param) ? "Direct" : "Cached");
    });

// A new catalogue replaces both copies.
TEST(HttpCatalogue, ANewCatalogueReplacesBothCopies)
{
    TCleanSettings settings;
    TSiteTestHome home;
    TFaultServer server;
    const std::string second = "<pois><poi><description>b</description></poi></pois>";
    for (const bool direct : { false, true }) {
        server.Answer(TFaultServer::Good, Fixture("catalogue.xml"));
        DownloadSiteCatalogue(server.Url(), direct);
        server.Answer(TFaultServer::Good, second);
        EXPECT_EQ(DownloadSiteCatalogue(server.Url(), direct)->DocumentElement().NodeName(), QStringLiteral("pois"));
        EXPECT_EQ(LoadBytesFromFile(LocationToLocalFile(server.Url())), second);
    }
}

} // namespace
