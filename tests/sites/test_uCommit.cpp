// Committing a POI: the add URL, the sites, groups and POI files that take commits, and the
// commit itself against a loopback HTTP server (suite HttpCommit, labelled "http").
#include "sites/uCommit.h"

#include "core/uLocations.h"
#include "core/uSettings.h"
#include "sites/uAutoUpdate.h"
#include "sites/uSite.h"
#include "support/TestSupport.h"

#include "sites/SiteTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>

namespace {

std::string Fixture(const char* path)
{
    return LoadBytesFromFile(QStringLiteral(TARVELL_TEST_DATA "/") + QLatin1String(path));
}

// Puts the catalogue in place as the site's cached download.
void CacheCatalogue(const QString& site, const std::string& bytes)
{
    const QString file = LocationToLocalFile(site);
    QDir().mkpath(QFileInfo(file).absolutePath());
    SaveBytesToFile(file, bytes);
}

// The decimal comma of a German desktop, in C and in Qt, for one test.
class TGermanLocale {
public:
    TGermanLocale()
        : FOldQt(QLocale())
        , FOldC(std::setlocale(LC_ALL, nullptr))
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_ALL, "de_DE.UTF-8");
    }
    ~TGermanLocale()
    {
        std::setlocale(LC_ALL, FOldC.c_str());
        QLocale::setDefault(FOldQt);
    }

private:
    QLocale FOldQt;
    std::string FOldC;
};

TEST(CommitUrl, CoordinatesWithAPointAndEveryTextEncoded)
{
    const TGermanLocale german;
    const QString addUrl = QStringLiteral(" /add?poi=%Poi%&lon=%lon%&lat=%LAT%&desc=%Desc%&u=%Username%&p=%Password% ");
    const QString site = QStringLiteral("http://pois.example:8080/a/site.xml");
    struct TCase {
        const char* Poi;
        double Lon;
        double Lat;
        const char* Description;
        const char* Password;
        const char* Query;
    } cases[] = {
        { "Fish & Chips", 0.000001, -51.5, "Caf\u00e9 \u00d8", "a&b+c=d?e#f",
            "poi=Fish%20%26%20Chips&lon=0.000001&lat=-51.5&desc=Caf%E9%20%D8&u=me&p=a%26b%2Bc%3Dd%3Fe%23f" },
        { "Fuel", -179.99999, 89.123456789, "x", "", "poi=Fuel&lon=-179.99999&lat=89.123456789&desc=x&u=me&p=" },
        { "Fuel", 1e-7, 1234567.5, "", "pw", "poi=Fuel&lon=0.0000001&lat=1234567.5&desc=&u=me&p=pw" },
        // Text the user typed never turns into another placeholder: "\u00desc%" is "%DEsc%25" once
        // encoded, which a second pass would take for %Desc%.
        { "\u00desc%", 1, 2, "%Lat%", "%Username%",
            "poi=%DEsc%25&lon=1&lat=2&desc=%25Lat%25&u=me&p=%25Username%25" },
    };
    for (const TCase& c : cases)
        EXPECT_EQ(BuildCommitUrl(addUrl, site, QStringLiteral("me"), QString::fromUtf8(c.Password),
                      QString::fromUtf8(c.Poi), c.Lon, c.Lat, QString::fromUtf8(c.Description)),
            QStringLiteral("http://pois.example:8080/add?") + QLatin1String(c.Query))
            << c.Query;
    EXPECT_EQ(BuildCommitUrl(QStringLiteral("https://other.example/x?d=%Desc%"), site, {}, {}, {}, 0, 0,
                  QStringLiteral("a b")),
        QStringLiteral("https://other.example/x?d=a%20b"));
}

class CommitChoices : public CleanSettingsTest {
protected:
    TSiteTestHome Home;
    ~CommitChoices() override { ClearSites(); }
};

TEST_F(CommitChoices, OnlySitesWhoseCachedCatalogueHasAnAddUrl)
{
    const QString withAdd = QStringLiteral("http://a.example/site.xml");
    const QString withoutAdd = QStringLiteral("http://b.example/site.xml");
    const QString neverFetched = QStringLiteral("http://c.example/site.xml");
    CacheCatalogue(withAdd, Fixture("sites/commit-site.xml"));
    CacheCatalogue(withoutAdd, "<pois><infourl>/add</infourl><poi><description>addurl</description></poi></pois>");
    QTemporaryDir local;
    const QString file = local.filePath(QStringLiteral("local.xml"));
    SaveBytesToFile(file, "<pois><addurl>/add</addurl></pois>");
    const QString localSite = QStringLiteral("FILE://") + file;
    EXPECT_EQ(CommitSites({ neverFetched, withoutAdd, localSite, withAdd }), (QStringList { localSite, withAdd }));
    EXPECT_TRUE(FileContainsText(file, QStringLiteral("<addurl")));
    EXPECT_FALSE(FileContainsText(file, QStringLiteral("<ADDURL"))) << "case-sensitive";
    EXPECT_FALSE(FileContainsText(local.path(), QStringLiteral("<addurl"))) << "a folder is no text file";
}

TEST_F(CommitChoices, GroupsShowTheSitesDescriptionsAndPoiFilesTakeTheGroupsName)
{
    const QString location = QStringLiteral("http://a.example/site.xml");
    CacheCatalogue(location, Fixture("sites/commit-site.xml"));
    const TSite& site = GetSite(location);
    ASSERT_EQ(site.Countries.Count(), 2);
    const TCountry& netherlands = *site.Countries.FindCountry(QStringLiteral("Netherlands"));
    const std::vector<TCommitGroup> groups = CommitGroups(site, netherlands);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].Name, QStringLiteral("Fuel"));
    EXPECT_EQ(groups[0].Caption, QStringLiteral("Fuel stations")) << "the site defines it (as \"fuel\")";
    EXPECT_EQ(groups[1].Name, QStringLiteral("cheap"));
    EXPECT_EQ(groups[1].Caption, QStringLiteral("cheap"));

    const auto names = [](const std::vector<const TPoi*>& pois) {
        QStringList list;
        for (const TPoi* poi : pois)
            list << poi->Description;
        return list;
    };
    EXPECT_EQ(names(CommitPoiFiles(netherlands, groups[0].Name)), QStringList { QStringLiteral("Fuel NL") })
        << "\"Closed NL\" takes no commits";
    EXPECT_EQ(names(CommitPoiFiles(netherlands, groups[1].Name)),
        (QStringList { QStringLiteral("Fuel NL"), QStringLiteral("Cheap NL") }));

    const TCountry& belgium = *site.Countries.FindCountry(QStringLiteral("Belgium"));
    EXPECT_TRUE(CommitGroups(site, belgium).empty()) << "every POI of the country says nocommit";
}

class HttpCommit : public CleanSettingsTest {
protected:
    HttpCommit()
    {
        Location = Server.Base() + QStringLiteral("/site.xml");
        CacheCatalogue(Location, Fixture("sites/commit-site.xml"));
        WriteSiteConfig(Location, QStringLiteral("Username"), QStringLiteral("me"));
        WriteSitePassword(Location, Password);
        Server.Set("/error", TAnswer());
    }
    ~HttpCommit() override { ClearSites(); }

    QString Commit(const char* description = "Fish & Chips")
    {
        return MessageOf([&] {
            CommitPoi(GetSite(Location), QStringLiteral("Fuel NL"), 4.5, -51.25, QString::fromUtf8(description));
        });
    }
    std::vector<std::string> Requests(const char* path)
    {
        std::vector<std::string> found;
        for (const std::string& r : Server.Log())
            if (r.rfind(path, 0) == 0)
                found.push_back(r);
        return found;
    }
    static QString Decorated(const QString& reason)
    {
        return QStringLiteral("Cannot commit to \"Fuel NL\" because the following error: \r\r%1.\r\rPlease check your "
                              "connection and your username/password if you are downloading from a site which "
                              "requires registration")
            .arg(reason);
    }

    TSiteTestHome Home;
    TLoopbackServer Server;
    QString Location;
    const QString Password = QStringLiteral("a&b+c=d?e#f");
};

TEST_F(HttpCommit, EveryCommitReachesTheSite)
{
    Server.Set("/add", TAnswer().WithBody(" \r\n").WithETag("\"same\""));
    EXPECT_EQ(Commit(), QStringLiteral("<no error>"));
    EXPECT_EQ(Commit(), QStringLiteral("<no error>"));
    const std::vector<std::string> adds = Requests("/add");
    ASSERT_EQ(adds.size(), 2u) << "never answered from the download cache";
    EXPECT_EQ(adds[0],
        "/add?poi=Fuel%20NL&lon=4.5&lat=-51.25&desc=Fish%20%26%20Chips&user=me&pw=a%26b%2Bc%3Dd%3Fe%23f");
    EXPECT_EQ(adds[1], adds[0]);
    EXPECT_EQ(Server.NotModified, 0);
    EXPECT_TRUE(Requests("/error").empty());
}

TEST_F(HttpCommit, AnAnswerIsTheSitesRefusal)
{
    struct TCase {
        TAnswer Answer;
        QString Shown;
    };
    const QString url = Server.Base() + QStringLiteral("/add");
    const TCase cases[] = {
        { TAnswer().WithBody("  Unknown user\r\n"), QStringLiteral("Unknown user") },
        // A site that echoes the request shows no password.
        { TAnswer().WithBody("Wrong password a&b+c=d?e#f (a%26b%2Bc%3Dd%3Fe%23f)"), QStringLiteral("Wrong password *** (***)") },
        { TAnswer().WithBody("<b>plain</b>"), QStringLiteral("<b>plain</b>") },
        { TAnswer().WithStatus(500), QStringLiteral("Unable to download %1").arg(url) },
        { TAnswer().WithBody(std::string(MaxCommitAnswer + 1, 'x')),
            QStringLiteral("The answer of %1 is larger than %2 bytes").arg(url).arg(MaxCommitAnswer) },
    };
    int pings = 0;
    for (const TCase& c : cases) {
        Server.Set("/add", c.Answer);
        const QString message = Commit();
        EXPECT_EQ(message, Decorated(c.Shown));
        EXPECT_FALSE(message.contains(Password));
        const std::vector<std::string> errors = Requests("/error");
        ASSERT_EQ(errors.size(), size_t(++pings)) << "the resolved error URL is called once per failure";
        EXPECT_EQ(errors.back().find("a%26b"), std::string::npos) << "the ping carries no password";
        EXPECT_EQ(errors.back().rfind("/error?msg=Cannot%20commit%20to%20%22Fuel%20NL%22", 0), 0u) << errors.back();
        EXPECT_NE(errors.back().find("&poi=Fuel%20NL"), std::string::npos) << errors.back();
    }
    Server.Set("/add", TAnswer().WithBody(std::string(3000, 'y')));
    EXPECT_EQ(Commit(), Decorated(QString(1000, QChar('y')) + QStringLiteral("..."))) << "a long refusal is cut for the box";
}

// What the site's code page cannot carry would arrive as question marks: refused before anything
// is sent, while what it can carry goes as it is.
TEST_F(HttpCommit, CharactersTheCodePageCannotCarryAreRefusedBeforeSending)
{
    Server.Set("/add", TAnswer().WithBody(""));
    EXPECT_EQ(Commit("\u041c\u043e\u0441\u043a\u0432\u0430 \u0430\u043c caf\u00e9"),
        QStringLiteral(
            "The site's code page cannot carry the characters \"\u041c\u043e\u0441\u043a\u0432\u0430\u043c\" "
            "of \"\u041c\u043e\u0441\u043a\u0432\u0430 \u0430\u043c caf\u00e9\". Please write them with "
            "other characters before committing."));
    EXPECT_TRUE(Requests("/add").empty());
    EXPECT_TRUE(Requests("/error").empty());
    EXPECT_EQ(Commit("Caf\u00e9 \u20ac 5?"), QStringLiteral("<no error>"));
    ASSERT_EQ(Requests("/add").size(), 1u);
    EXPECT_NE(Requests("/add")[0].find("desc=Caf%E9%20%80%205%3F"), std::string::npos) << Requests("/add")[0];
}

// A site that does not answer: the progress handler sees the request and its cancel ends it at
// once, with the cancel's own message and no error ping.
TEST_F(HttpCommit, ACancelledRequestEndsAtOnce)
{
    Server.Set("/add", TAnswer().WithStall(true));
    int calls = 0;
    const auto started = std::chrono::steady_clock::now();
    const QString message = MessageOf([&] {
        CommitPoi(GetSite(Location), QStringLiteral("Fuel NL"), 4.5, -51.25, QStringLiteral("x"),
            [&calls](uint64_t, uint64_t, TUrlDownloadStatus, const QString&, bool& cancel) { cancel = ++calls > 2; });
    });
    EXPECT_EQ(message, QStringLiteral("Download cancelled by user"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    EXPECT_TRUE(Requests("/error").empty());
}

} // namespace
