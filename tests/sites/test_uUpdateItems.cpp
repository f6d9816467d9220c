// Update items: line and date texts, lists, profiles in the store.
#include "sites/uUpdateItems.h"

#include "support/TestSupport.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

namespace {

struct TDateCase {
    const char* Text;
    QDateTime Date;
};

std::string DateCaseName(const TDateCase& c) { return *c.Text ? std::string("At") + c.Text : std::string("Empty"); }
void PrintTo(const TDateCase& c, std::ostream* os) { *os << '"' << c.Text << '"'; }

class ItemDate : public ::testing::TestWithParam<TDateCase> { };

TEST_P(ItemDate, FormatsAndParsesByPosition)
{
    const TDateCase& c = GetParam();
    EXPECT_EQ(FormatItemDate(c.Date), QString::fromLatin1(c.Text));
    EXPECT_EQ(ParseItemDate(QString::fromLatin1(c.Text)), c.Date);
}

INSTANTIATE_TEST_SUITE_P(Table, ItemDate,
    ::testing::Values(TDateCase { "", QDateTime() },
        TDateCase { "31122008235958", QDateTime(QDate(2008, 12, 31), QTime(23, 59, 58)) },
        TDateCase { "01020304050607", QDateTime(QDate(304, 2, 1), QTime(5, 6, 7)) },
        TDateCase { "29022000000000", QDateTime(QDate(2000, 2, 29), QTime(0, 0)) }),
    [](const auto& info) { return DateCaseName(info.param); });

TEST(ItemDate, UnreadableTextsRaise)
{
    for (const char* text : { "2008", "3112200823595", "311220082359589", "31132008235958", "30022001000000",
             "3112200824000 ", "31-22008235958", "31122008256000" })
        EXPECT_THROW(ParseItemDate(QString::fromLatin1(text)), EConvertError) << text;
}

TEST(ItemDate, MillisecondsAreDropped)
{
    EXPECT_EQ(FormatItemDate(QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9, 999))), QStringLiteral("06052020070809"));
}

TEST(UpdateItemLine, ParsesSixFieldsAndWritesThemBack)
{
    TUpdateItem item;
    const QString line = QStringLiteral(
        "FILE:///home/u/pois/fuel.ov2=http://pois.example/site.xml|Fuel|Germany|31122008235958|01012009000000|ttov2");
    item.ParseLine(line);
    EXPECT_EQ(item.Target, QStringLiteral("FILE:///home/u/pois/fuel.ov2"));
    EXPECT_EQ(item.Site, QStringLiteral("http://pois.example/site.xml"));
    EXPECT_EQ(item.Description, QStringLiteral("Fuel"));
    EXPECT_EQ(item.Map, QStringLiteral("Germany"));
    EXPECT_EQ(item.LastChecked, QDateTime(QDate(2008, 12, 31), QTime(23, 59, 58)));
    EXPECT_EQ(item.LastUpdate, QDateTime(QDate(2009, 1, 1), QTime(0, 0)));
    EXPECT_EQ(item.FormatID, QStringLiteral("ttov2"));
    EXPECT_EQ(item.FormatLine(), line);
}

struct TLineCase {
    const char* Name;
    const char* Line;
    const char* Target;
    const char* Site;
    const char* Description;
    const char* FormatID;
    const char* Written;
};

void PrintTo(const TLineCase& c, std::ostream* os) { *os << '"' << c.Line << '"'; }

class UpdateItemLines : public ::testing::TestWithParam<TLineCase> { };

TEST_P(UpdateItemLines, Fields)
{
    const TLineCase& c = GetParam();
    TUpdateItem item;
    item.ParseLine(QString::fromLatin1(c.Line));
    EXPECT_EQ(item.Target, QString::fromLatin1(c.Target));
    EXPECT_EQ(item.Site, QString::fromLatin1(c.Site));
    EXPECT_EQ(item.Description, QString::fromLatin1(c.Description));
    EXPECT_EQ(item.FormatID, QString::fromLatin1(c.FormatID));
    EXPECT_EQ(item.FormatLine(), QString::fromLatin1(c.Written));
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateItemLines,
    ::testing::Values(
        // five fields: written back with an empty sixth
        TLineCase { "FiveFields", "t=s|d|m||", "t", "s", "d", "", "t=s|d|m|||" },
        TLineCase { "SixFields", "t=s|d|m|||", "t", "s", "d", "", "t=s|d|m|||" },
        // missing fields read as ""
        TLineCase { "TargetAndSiteOnly", "t=s", "t", "s", "", "", "t=s|||||" },
        // no "=": empty target, the whole line is the rest
        TLineCase { "NoEquals", "s|d", "", "s", "d", "", "=s|d||||" },
        // only the first "=" ends the target; "=" in later fields stays
        TLineCase { "EqualsInLaterFields", "a=b|c=d|e", "a", "b", "c=d", "", "a=b|c=d|e|||" },
        // more than six fields: the rest is ignored
        TLineCase { "MoreThanSixFields", "t=s|d|m|||f|x", "t", "s", "d", "f", "t=s|d|m|||f" }),
    [](const auto& info) { return std::string(info.param.Name); });

struct TEscapeCase {
    const char* Name;
    QString Target, Description, Map;
    const char* Written;
};

void PrintTo(const TEscapeCase& c, std::ostream* os) { *os << c.Name; }

class EscapedItemLines : public ::testing::TestWithParam<TEscapeCase> { };

// What the line cannot carry is written escaped and read back as it was.
TEST_P(EscapedItemLines, RoundTrip)
{
    const TEscapeCase& c = GetParam();
    TUpdateItem item;
    item.Target = c.Target;
    item.Site = QStringLiteral("http://s/x.xml");
    item.Description = c.Description;
    item.Map = c.Map;
    item.FormatID = QStringLiteral("ttov2");
    EXPECT_EQ(item.FormatLine(), QString::fromLatin1(c.Written));
    TUpdateItem back;
    back.ParseLine(item.FormatLine());
    EXPECT_EQ(back.Target, c.Target);
    EXPECT_EQ(back.Site, item.Site);
    EXPECT_EQ(back.Description, c.Description);
    EXPECT_EQ(back.Map, c.Map);
    EXPECT_EQ(back.FormatID, item.FormatID);
}

INSTANTIATE_TEST_SUITE_P(Table, EscapedItemLines,
    ::testing::Values(
        TEscapeCase { "BarsAndEquals", "FILE:///a|b=c.ov2", "Fuel | Food", "A|B", "FILE:///a%7Cb%3Dc.ov2=http://s/x.xml|Fuel %7C Food|A%7CB|||ttov2" },
        TEscapeCase { "LineBreaks", "t", "two\r\nlines\n", "m", "t=http://s/x.xml|two%0D%0Alines%0A|m|||ttov2" },
        // "=" in a description or map is carried as it always was
        TEscapeCase { "EqualsInTexts", "t", "a=b", "c=d", "t=http://s/x.xml|a=b|c=d|||ttov2" },
        // "%" only ahead of a code
        TEscapeCase { "PercentSigns", "t%7C", "100% %7C %25 %41 %", "%3D", "t%257C=http://s/x.xml|100% %257C %2525 %41 %|%253D|||ttov2" }),
    [](const auto& info) { return std::string(info.param.Name); });

// A stored line without escapes reads and writes byte for byte as before.
TEST(UpdateItemLine, LinesWithoutEscapesAreUnchanged)
{
    for (const char* line : { "FILE:///p/%41.ov2=http://s/ab.xml|100%|Map%2|||", "t=s|%7c lower|m|||f" }) {
        TUpdateItem item;
        item.ParseLine(QString::fromLatin1(line));
        EXPECT_EQ(item.FormatLine(), QString::fromLatin1(line)) << line;
    }
}

TEST(UpdateItemLine, BadDateRaises)
{
    TUpdateItem item;
    EXPECT_THROW(item.ParseLine(QStringLiteral("t=s|d|m|2008||")), EConvertError);
}

std::unique_ptr<TUpdateItem> Item(
    const QString& target, const QString& site, const QString& description = QStringLiteral("d"))
{
    auto item = std::make_unique<TUpdateItem>();
    item->Target = target;
    item->Site = site;
    item->Description = description;
    return item;
}

TEST(UpdateItems, LookupsAreCaseInsensitive)
{
    auto items = TUpdateItems::Create();
    items->Add(Item(QStringLiteral("FILE:///a/One.ov2"), QStringLiteral("http://A/site.xml"), QStringLiteral("Fuel")));
    items->Add(Item(QStringLiteral("FILE:///a/two.ov2"), QStringLiteral("http://b/site.xml"), QStringLiteral("Cams")));
    EXPECT_EQ(items->FindByTarget(QStringLiteral("file:///A/one.OV2")), &items->GetItem(0));
    EXPECT_EQ(items->FindByTarget(QStringLiteral("FILE:///a/three.ov2")), nullptr);
    EXPECT_EQ(items->FindBySiteAndDescription(QStringLiteral("HTTP://b/SITE.xml"), QStringLiteral("cams")),
        &items->GetItem(1));
    EXPECT_EQ(items->FindBySiteAndDescription(QStringLiteral("http://b/site.xml"), QStringLiteral("Fuel")), nullptr);
    EXPECT_TRUE(items->HasSite(QStringLiteral("http://a/SITE.XML")));
    EXPECT_FALSE(items->HasSite(QStringLiteral("http://c/site.xml")));
    EXPECT_FALSE(items->HasDuplicateTarget());
    items->Add(Item(QStringLiteral("file:///A/ONE.ov2"), QStringLiteral("http://c/site.xml")));
    EXPECT_TRUE(items->HasDuplicateTarget());
}

TEST(UpdateItems, RemoveByTarget)
{
    auto items = TUpdateItems::Create();
    items->Add(Item(QStringLiteral("FILE:///a"), QStringLiteral("s")));
    items->Add(Item(QStringLiteral("FILE:///b"), QStringLiteral("s")));
    items->RemoveByTarget(QStringLiteral("file:///A"));
    ASSERT_EQ(items->Count(), 1);
    EXPECT_EQ(items->GetItem(0).Target, QStringLiteral("FILE:///b"));
    try {
        items->RemoveByTarget(QStringLiteral("FILE:///c"));
        FAIL();
    } catch (const ETarvellError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("AutoUpdate item for FILE:///c not found"));
    }
}

TEST(UpdateItems, SortBySite)
{
    auto items = TUpdateItems::Create();
    items->Add(Item(QStringLiteral("1"), QStringLiteral("B")));
    items->Add(Item(QStringLiteral("2"), QStringLiteral("a")));
    items->Add(Item(QStringLiteral("3"), QStringLiteral("b")));
    items->SortBySite();
    EXPECT_EQ(items->GetItem(0).Site, QStringLiteral("a"));
    EXPECT_EQ(items->GetItem(1).Site.toLower(), QStringLiteral("b"));
    EXPECT_EQ(items->GetItem(2).Site.toLower(), QStringLiteral("b"));
}

TEST(UpdateItems, ViewsShareItemsAndOutliveNothing)
{
    auto profile = TUpdateItems::Create();
    profile->Add(Item(QStringLiteral("1"), QStringLiteral("s")));
    profile->Add(Item(QStringLiteral("2"), QStringLiteral("s")));
    auto view = TUpdateItems::CreateView();
    view->Add(Item(QStringLiteral("stale"), QStringLiteral("s")).get()); // a view never frees
    profile->CopyItemsTo(*view);
    ASSERT_EQ(view->Count(), 2);
    EXPECT_EQ(&view->GetItem(1), &profile->GetItem(1));
    view->Clear();
    EXPECT_EQ(profile->Count(), 2);
    EXPECT_EQ(profile->GetItem(0).Target, QStringLiteral("1"));
    auto other = TUpdateItems::Create();
    EXPECT_THROW(profile->AddItemsTo(*other), EAssertionFailed);
}

class Profiles : public CleanSettingsTest {
protected:
    void SetUp() override { ClearAutoUpdateProfiles(); }
    void TearDown() override { ClearAutoUpdateProfiles(); }

    void Store(const QString& section, const QStringList& lines)
    {
        auto store = CreateSettingsStore();
        WriteSectionList(*store, section, lines);
    }
};

TEST_F(Profiles, EmptyStoreGivesTheDefaultProfileOnly)
{
    LoadAutoUpdateProfiles();
    ASSERT_EQ(AutoUpdateProfileCount(), 1);
    EXPECT_EQ(GetAutoUpdateProfileName(0), QString());
    EXPECT_EQ(GetAutoUpdateProfile(0).Count(), 0);
    EXPECT_EQ(&FindAutoUpdateProfile(QString()), &GetAutoUpdateProfile(0));
    EXPECT_EQ(AutoUpdateItemCount(), 0);
}

TEST_F(Profiles, DiscoversSectionsAndSkipsWhatNoProfileCanBe)
{
    Store(QStringLiteral("AutoUpdateItems"), { QStringLiteral("FILE:///d=s|x|||") });
    Store(QStringLiteral("autoupdateitems.Car"),
        { QStringLiteral("FILE:///c1=s|a|||"), QStringLiteral("FILE:///bad=s|b||2008|"),
            QStringLiteral("FILE:///c2=s|c|||") });
    Store(QStringLiteral("AutoUpdateItems."), { QStringLiteral("FILE:///e=s|e|||") });
    Store(QStringLiteral("AutoUpdateItems. Car "), { QStringLiteral("FILE:///f=s|f|||") });
    Store(QStringLiteral("AutoUpdateItemsX"), { QStringLiteral("FILE:///g=s|g|||") });
    {
        auto store = CreateSettingsStore();
        store->WriteBool(QStringLiteral("autoupdateitems.Car"), QStringLiteral("AutoUpdateUSB"), true);
    }
    LoadAutoUpdateProfiles();
    ASSERT_EQ(AutoUpdateProfileCount(), 2);
    EXPECT_EQ(GetAutoUpdateProfileName(1), QStringLiteral("Car"));
    TUpdateItems& car = FindAutoUpdateProfile(QStringLiteral("CAR"));
    ASSERT_EQ(car.Count(), 2);
    EXPECT_EQ(car.GetItem(0).Target, QStringLiteral("FILE:///c1"));
    EXPECT_EQ(car.GetItem(1).Target, QStringLiteral("FILE:///c2"));
    EXPECT_TRUE(car.AutoUpdateUSB);
    EXPECT_FALSE(car.AutoUpdateActiveSync);
    EXPECT_EQ(AutoUpdateItemCount(), 3);
    // Skipped sections stay in the store untouched.
    SaveAutoUpdateProfiles();
    auto store = CreateSettingsStore();
    EXPECT_EQ(store->ReadString(QStringLiteral("AutoUpdateItems."), QStringLiteral("0"), QString()),
        QStringLiteral("FILE:///e=s|e|||"));
}

TEST_F(Profiles, SaveRenumbersAndLoadsBackTheSame)
{
    LoadAutoUpdateProfiles();
    TUpdateItems& car = AddAutoUpdateProfile(QStringLiteral("Car"));
    auto item = Item(
        QStringLiteral("MOBILE://\\My Documents\\fuel.ov2"), QStringLiteral("http://s/x.xml"), QStringLiteral("Fuel"));
    item->LastChecked = QDateTime(QDate(2008, 12, 31), QTime(23, 59, 58));
    car.Add(std::move(item));
    car.Add(Item(QStringLiteral("FILE:///b"), QStringLiteral("s")));
    car.AutoUpdateActiveSync = true;
    car.Save();
    car.Delete(0);
    car.Save();
    {
        auto store = CreateSettingsStore();
        EXPECT_EQ(store->ReadString(QStringLiteral("AutoUpdateItems.Car"), QStringLiteral("0"), QString()),
            QStringLiteral("FILE:///b=s|d||||"));
        EXPECT_FALSE(store->ValueExists(QStringLiteral("AutoUpdateItems.Car"), QStringLiteral("1")));
        EXPECT_EQ(store->ReadInteger(QStringLiteral("AutoUpdateItems.Car"), QStringLiteral("version"), 0), 300);
    }
    car.Add(Item(QStringLiteral("FILE:///c"), QStringLiteral("s")));
    car.GetItem(1).LastUpdate = QDateTime(QDate(2009, 1, 2), QTime(3, 4, 5));
    car.Save();
    LoadAutoUpdateProfiles();
    TUpdateItems& again = FindAutoUpdateProfile(QStringLiteral("Car"));
    ASSERT_EQ(again.Count(), 2);
    EXPECT_EQ(again.GetItem(1).LastUpdate, QDateTime(QDate(2009, 1, 2), QTime(3, 4, 5)));
    EXPECT_TRUE(again.AutoUpdateActiveSync);
}

TEST_F(Profiles, AddRefusesTakenAndUnusableNames)
{
    LoadAutoUpdateProfiles();
    AddAutoUpdateProfile(QStringLiteral("Car"));
    const auto message = [](const QString& name) {
        try {
            AddAutoUpdateProfile(name);
        } catch (const EUserError& e) {
            return e.Message();
        }
        return QString();
    };
    EXPECT_EQ(message(QStringLiteral("car")), QStringLiteral("Profile with name \"car\" already exists"));
    EXPECT_EQ(message(QString()), QStringLiteral("Profile with name \"\" already exists"));
    // The default profile is shown as "Default".
    for (const QString& shown : { QStringLiteral("Default"), QStringLiteral("DEFAULT"), DefaultProfileCaption() })
        EXPECT_EQ(message(shown), QStringLiteral("Profile with name \"%1\" already exists").arg(shown));
    for (const QString& bad :
        { QStringLiteral(" Bike"), QStringLiteral("Bike "), QStringLiteral("Bi\nke"), QStringLiteral("Bi\tke") })
        EXPECT_EQ(message(bad), QStringLiteral("Invalid profile name \"%1\"").arg(bad));
    EXPECT_EQ(AutoUpdateProfileCount(), 2);
    EXPECT_TRUE(IsValidProfileName(QStringLiteral("Bike & Hike [2]=x")));
}

TEST_F(Profiles, UnknownProfileRaises)
{
    LoadAutoUpdateProfiles();
    try {
        FindAutoUpdateProfile(QStringLiteral("Boat"));
        FAIL();
    } catch (const ETarvellError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("AutoUpdate profile \"Boat\" not found"));
    }
}

TEST_F(Profiles, DeleteErasesTheSection)
{
    LoadAutoUpdateProfiles();
    TUpdateItems& car = AddAutoUpdateProfile(QStringLiteral("Car"));
    car.Add(Item(QStringLiteral("FILE:///b"), QStringLiteral("s")));
    car.Save();
    DeleteAutoUpdateProfile(1);
    EXPECT_EQ(AutoUpdateProfileCount(), 1);
    EXPECT_FALSE(CreateSettingsStore()->SectionExists(QStringLiteral("AutoUpdateItems.Car")));
}

TEST(UpdateItems, RemoveTakesTheItemItselfAndRemoveSiteOnlyItsOwn)
{
    TCleanSettings settings;
    auto items = TUpdateItems::Create();
    items->Add(Item(QStringLiteral("FILE:///same"), QStringLiteral("http://other/x.xml")));
    items->Add(Item(QStringLiteral("FILE:///SAME"), QStringLiteral("http://gone/x.xml")));
    items->Add(Item(QStringLiteral("FILE:///kept"), QStringLiteral("http://gone/y.xml")));
    TUpdateItem* second = &items->GetItem(1);
    EXPECT_EQ(items->IndexOf(second), 1);
    // The first item of that target belongs to another site.
    items->RemoveSite(QStringLiteral("HTTP://GONE/x.xml"));
    ASSERT_EQ(items->Count(), 2);
    EXPECT_EQ(items->GetItem(0).Site, QStringLiteral("http://other/x.xml"));
    TUpdateItem* kept = &items->GetItem(1);
    items->Remove(&items->GetItem(0));
    ASSERT_EQ(items->Count(), 1);
    EXPECT_EQ(&items->GetItem(0), kept);
    items->Remove(nullptr);
    EXPECT_EQ(items->Count(), 1);
    EXPECT_EQ(items->IndexOf(nullptr), -1);
}

TEST_F(Profiles, RemoveSiteFromAllProfilesSaves)
{
    LoadAutoUpdateProfiles();
    TUpdateItems& def = GetAutoUpdateProfile(0);
    def.Add(Item(QStringLiteral("FILE:///1"), QStringLiteral("http://gone/x.xml")));
    def.Add(Item(QStringLiteral("FILE:///2"), QStringLiteral("http://kept/x.xml")));
    TUpdateItems& car = AddAutoUpdateProfile(QStringLiteral("Car"));
    car.Add(Item(QStringLiteral("FILE:///3"), QStringLiteral("HTTP://GONE/x.xml")));
    RemoveSiteFromAllProfiles(QStringLiteral("http://gone/x.xml"));
    EXPECT_EQ(def.Count(), 1);
    EXPECT_EQ(car.Count(), 0);
    LoadAutoUpdateProfiles();
    EXPECT_EQ(AutoUpdateItemCount(), 1);
    EXPECT_EQ(GetAutoUpdateProfile(0).GetItem(0).Target, QStringLiteral("FILE:///2"));
}

} // namespace
