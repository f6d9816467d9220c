// The site catalogue model read from catalogue XML.
#include "sites/uSite.h"

#include "core/uLocations.h"
#include "support/TestSupport.h"

#include <QDir>

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
    const char* Xml;
    const char* Message;
};

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
    ::testing::Values(TBadCase { "not xml", "Invalid xml" }, TBadCase { "<?xml version=\"1.0\"?>", "Invalid xml" },
        TBadCase { "<pois><tarvell><version>99.0</version></tarvell><infourl>new</infourl></pois>",
            "The selected site is not supported by this version Tarvell. You need to update to a newer version of "
            "Tarvell "
            "(minimal version 99.0) to use this site" },
        TBadCase { "<pois><groups><group><description>d</description></group></groups></pois>",
            "Missing pois/groups/group/name node" },
        TBadCase { "<pois><groups><group><name>n</name></group></groups></pois>",
            "Missing pois/groups/group/description node" }));

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

} // namespace
