// Site items and subscriptions over a small catalogue, with the profiles in a private store and
// the device on a folder: group rows, sorting, cells, subscribing one and several rows locally and
// to the device, the double-click choice, unsubscribing, and the wizard's pages, groups and items.
#include "sites/uSubscriptions.h"

#include "SiteTestSupport.h"
#include "core/uRapi.h"
#include "formats/uConvertBase.h"
#include "support/TFakeDevice.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <deque>

namespace {

// handmade: one country with a defined (wizard) group, a group only its POIs name, the empty
// group, a format no writer has, and descriptions no file name can carry as they are.
const char* const Catalogue = R"(<?xml version="1.0" encoding="UTF-8"?>
<pois>
  <poi><description>Fuel</description><url>/fuel.asc</url><format>asc.genasc</format><map>Germany</map>
       <group>Shops</group><note>Open late</note></poi>
  <poi><description>cams</description><url>/cams.ov2</url><format>ov2.ttov2</format><map>Germany</map>
       <group>Speed</group><authorization>registered</authorization></poi>
  <poi><description>Bakery</description><url>/b.xyz</url><format>xyz.nope</format><map>Germany</map>
       <group></group><authorization>subscribed</authorization></poi>
  <poi><description>..\..\x</description><url>/x.ov2</url><map>Germany</map><group>Speed</group></poi>
  <poi><description>a/b</description><url>/y.ov2</url><map>Germany</map><group>Speed</group></poi>
  <poi><description>Two
lines</description><url>/z.ov2</url><map>Germany</map><group>Speed</group></poi>
  <poi><description>FUEL</description><url>/fuel2.asc</url><format>asc.genasc</format><map>Other</map></poi>
  <poi><description>fuel</description><url>/fuel3.asc</url><format>asc.genasc</format><map>Other</map></poi>
  <groups><group><name>Speed</name><description>Cameras</description><note>Drive safe</note><wizard/></group></groups>
</pois>)";

const QString SiteUrl = QStringLiteral("http://pois.example/site.xml");

// A name that had to be cleaned, tagged with the hash of the description it came from.
QString Tagged(const char* clean, const char* description)
{
    return QLatin1String(clean) + QChar('~')
        + QString::fromLatin1(
            QCryptographicHash::hash(QByteArray(description), QCryptographicHash::Sha256).toHex().left(8));
}
const QString OtherSite = QStringLiteral("http://other.example/site.xml");

// Answers every dialog from a queue and records what it was asked.
class TFakeHost : public TSubscriptionHost {
public:
    struct TPick {
        QString Start;
        QString Name;
        int Exporter;
    };
    std::deque<std::pair<QString, int>> Answers; // name or folder, exporter; none cancels
    std::vector<TPick> Picks;
    std::deque<bool> YesNo;
    QStringList Questions;

    bool PickLocalFile(const QString& initialDir, QString& fileName, int& exporter) override
    {
        return Answer(initialDir, fileName, exporter);
    }
    bool PickLocalFolder(QString& folder, int& exporter) override { return Answer(folder, folder, exporter); }
    bool PickDeviceFile(QString& path, int& exporter) override { return Answer(QString(), path, exporter); }
    bool PickDeviceFolder(QString& folder, int& exporter) override { return Answer(folder, folder, exporter); }
    bool AskYesNo(const QString& question) override
    {
        Questions << question;
        const bool answer = YesNo.empty() || YesNo.front();
        if (!YesNo.empty())
            YesNo.pop_front();
        return answer;
    }

private:
    bool Answer(const QString& start, QString& name, int& exporter)
    {
        Picks.push_back({ start, name, exporter });
        if (Answers.empty())
            return false;
        name = Answers.front().first;
        exporter = Answers.front().second;
        Answers.pop_front();
        return true;
    }
};

class Subscriptions : public ::testing::Test {
protected:
    TCleanSettings Settings;
    TSiteTestHome Home;
    QTemporaryDir Folder;
    TSite Site { SiteUrl };
    TFakeHost Host;

    Subscriptions() { Site.LoadFromXml(Catalogue); }
    ~Subscriptions() override { DisconnectDevice(); }

    TUpdateItems& Profile() { return GetAutoUpdateProfile(0); }
    TCountry& Germany() { return *Site.Countries.FindCountry(QStringLiteral("Germany")); }
    TCountry& Other() { return *Site.Countries.FindCountry(QStringLiteral("Other")); }
    // The selection as the site manager hands it over.
    TSubscribeRow Row(const TCountry& country, const QString& description)
    {
        const TPoi* poi = country.FindPoi(description);
        EXPECT_TRUE(poi) << description.toStdString();
        const std::vector<TUpdateItem*> items = ItemsOfPoi(Profile(), SiteUrl, poi->Description);
        return { items.empty() ? nullptr : items.front(), SiteUrl, poi->Description, country.CountryName,
            poi->FileExt(), poi->FormatID() };
    }
    TUpdateItem& Subscribed(const QString& target, const QString& description, const QString& site = SiteUrl)
    {
        auto item = std::make_unique<TUpdateItem>();
        item->Target = target;
        item->Site = site;
        item->Description = description;
        item->FormatID = QStringLiteral("ttov2");
        TUpdateItem& ref = *item;
        Profile().Add(std::move(item));
        Profile().Save();
        return ref;
    }
    QString Local(const QString& name) const { return QStringLiteral("FILE://") + Folder.path() + QChar('/') + name; }
    std::string StoreBytes() const { return LoadBytesFromFile(Settings.StoreFile()); }
    QStringList Targets()
    {
        QStringList targets;
        for (int i = 0; i < Profile().Count(); ++i)
            targets << Profile().GetItem(i).Target;
        return targets;
    }
};

TEST_F(Subscriptions, GroupRowsAndTheirPois)
{
    const std::vector<TGroupRow> rows = GroupRows(Site, Germany());
    QStringList captions;
    for (const TGroupRow& row : rows)
        captions << row.Caption;
    EXPECT_EQ(captions, QStringList({ "Shops", "Cameras", "[Other]", "[All]" }));
    EXPECT_EQ(rows[0].GroupIndex, -1);
    EXPECT_EQ(rows[1].GroupIndex, 0);
    auto descriptions = [&](const TGroupRow& row) {
        QStringList out;
        for (const TPoi* poi : PoisOfGroupRow(Germany(), row))
            out << poi->Description;
        return out;
    };
    EXPECT_EQ(descriptions(rows[0]), QStringList({ "Fuel" }));
    // A defined group's POIs are found by its name, not by the description it shows.
    EXPECT_EQ(descriptions(rows[1]), QStringList({ "cams", "..\\..\\x", "a/b", "Two\nlines" }));
    EXPECT_EQ(descriptions(rows[2]), QStringList({ "Bakery" }));
    EXPECT_EQ(descriptions(rows[3]).size(), 6);
    EXPECT_EQ(CountryCaption(Other()), QStringLiteral("Other"));
    TCountry none;
    EXPECT_EQ(CountryCaption(none), QStringLiteral("[Other]"));
}

TEST_F(Subscriptions, SortMarks)
{
    EXPECT_EQ(NextSortMark(TSortMark::None), TSortMark::ByName);
    EXPECT_EQ(NextSortMark(TSortMark::ByName), TSortMark::SubscribedFirst);
    EXPECT_EQ(NextSortMark(TSortMark::SubscribedFirst), TSortMark::None);
    Subscribed(Local("x.ov2"), QStringLiteral("TWO\nLINES"));
    Subscribed(Local("y.ov2"), QStringLiteral("Fuel"));
    // An item of another site for the same description does not count.
    Subscribed(Local("z.ov2"), QStringLiteral("cams"), OtherSite);
    const TGroupRow all = GroupRows(Site, Germany()).back();
    auto order = [&](TSortMark mark) {
        QStringList out;
        for (const TSiteItemRow& row : SiteItemRows(Site, Germany(), all, mark, Profile()))
            out << row.Caption;
        return out;
    };
    EXPECT_EQ(order(TSortMark::None), QStringList({ "Fuel", "cams", "Bakery", "..\\..\\x", "a/b", "Two\nlines" }));
    EXPECT_EQ(order(TSortMark::ByName), QStringList({ "..\\..\\x", "a/b", "Bakery", "cams", "Fuel", "Two\nlines" }));
    EXPECT_EQ(
        order(TSortMark::SubscribedFirst), QStringList({ "Fuel", "Two\nlines", "..\\..\\x", "a/b", "Bakery", "cams" }));
}

TEST_F(Subscriptions, Cells)
{
    TUpdateItem& item = Subscribed(Local("fuel.gpx"), QStringLiteral("FUEL"));
    item.FormatID = QStringLiteral("gengpx");
    item.LastUpdate = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    const TGroupRow all = GroupRows(Site, Germany()).back();
    const std::vector<TSiteItemRow> rows = SiteItemRows(Site, Germany(), all, TSortMark::None, Profile());
    const TSiteItemRow& fuel = rows[0];
    EXPECT_TRUE(fuel.Subscribed);
    EXPECT_EQ(fuel.Map, QStringLiteral("Germany"));
    EXPECT_EQ(fuel.Auth, QStringLiteral("None"));
    EXPECT_EQ(fuel.LastUpdate, ItemDateText(item.LastUpdate));
    EXPECT_TRUE(fuel.LastUpdate.contains(QStringLiteral("14")) && fuel.LastUpdate.contains(QStringLiteral("09")));
    QString gpx;
    TConvertToBase::DescriptionOf(QStringLiteral(".gpx"), QStringLiteral("gengpx"), gpx);
    EXPECT_FALSE(gpx.isEmpty());
    EXPECT_EQ(fuel.Target, Local("fuel.gpx") + QStringLiteral(" (") + gpx + QChar(')'));
    EXPECT_EQ(fuel.FileExt, QStringLiteral(".asc"));
    EXPECT_EQ(fuel.FormatID, QStringLiteral("genasc"));
    const TSiteItemRow& cams = rows[1];
    EXPECT_FALSE(cams.Subscribed);
    EXPECT_EQ(cams.Auth, QStringLiteral("Registered"));
    EXPECT_TRUE(cams.LastUpdate.isEmpty() && cams.Target.isEmpty());
    EXPECT_EQ(rows[2].Auth, QStringLiteral("Subscribed"));
    // A subscribed item never updated has no date.
    item.LastUpdate = QDateTime();
    EXPECT_TRUE(SiteItemRows(Site, Germany(), all, TSortMark::None, Profile())[0].LastUpdate.isEmpty());

    const std::vector<TAllItemsRow> allItems = AllItemsRows(Profile());
    ASSERT_EQ(allItems.size(), 1u);
    EXPECT_EQ(allItems[0].Item, &item);
    EXPECT_EQ(allItems[0].Site, SiteUrl);
    EXPECT_EQ(allItems[0].Target, Local("fuel.gpx"));

    EXPECT_EQ(PoiNoteText(Germany(), QStringLiteral("FUEL")), QStringLiteral("Open late"));
    EXPECT_EQ(PoiNoteText(Germany(), QStringLiteral("cams")), QStringLiteral("No additional information available..."));
    EXPECT_EQ(PoiNoteText(Germany(), QStringLiteral("gone")), QStringLiteral("No additional information available..."));
}

// One row locally: the proposed name and writer, a new item, a retargeted one, and the writer
// of exporter row 0 for a format no writer has.
TEST_F(Subscriptions, OneRowLocally)
{
    GetSettings().InitialDir = Folder.path();
    const int asc = TConvertToBase::IndexOf(QStringLiteral(".asc"), QStringLiteral("genasc"));
    const int gpx = TConvertToBase::IndexOf(QStringLiteral(".gpx"), QStringLiteral("gengpx"));
    ASSERT_GT(asc, 0);
    Host.Answers = { { Folder.path() + QStringLiteral("/fuel"), gpx } };
    EXPECT_TRUE(SubscribeRows(Profile(), { Row(Germany(), QStringLiteral("Fuel")) }, TTargetKind::Local, Host));
    ASSERT_EQ(Host.Picks.size(), 1u);
    EXPECT_EQ(Host.Picks[0].Start, Folder.path());
    EXPECT_EQ(Host.Picks[0].Name, QStringLiteral("Fuel.asc"));
    EXPECT_EQ(Host.Picks[0].Exporter, asc);
    ASSERT_EQ(Profile().Count(), 1);
    const TUpdateItem& item = Profile().GetItem(0);
    // A name without extension gets the chosen writer's.
    EXPECT_EQ(item.Target, Local("fuel.gpx"));
    EXPECT_EQ(item.FormatID, QStringLiteral("gengpx"));
    EXPECT_EQ(item.Site, SiteUrl);
    EXPECT_EQ(item.Map, QStringLiteral("Germany"));

    // Subscribing it again retargets that item; the dialog starts at its target with its writer.
    Host.Answers = { { Folder.path() + QStringLiteral("/fuel.asc"), asc } };
    EXPECT_TRUE(SubscribeRows(Profile(), { Row(Germany(), QStringLiteral("Fuel")) }, TTargetKind::Local, Host));
    EXPECT_EQ(Host.Picks[1].Name, Folder.path() + QStringLiteral("/fuel.gpx"));
    EXPECT_EQ(Host.Picks[1].Exporter, gpx);
    EXPECT_EQ(Targets(), QStringList({ Local("fuel.asc") }));

    // No writer for ".xyz"/"nope": exporter row 0.
    Host.Answers = {};
    EXPECT_FALSE(SubscribeRows(Profile(), { Row(Germany(), QStringLiteral("Bakery")) }, TTargetKind::Local, Host));
    EXPECT_EQ(Host.Picks[2].Exporter, 0);
    EXPECT_EQ(Host.Picks[2].Name, QStringLiteral("Bakery") + TConvertToBase::Extension(0));
    EXPECT_EQ(Profile().Count(), 1);

    // What is stored reads back the same.
    LoadAutoUpdateProfiles();
    EXPECT_EQ(Targets(), QStringList({ Local("fuel.asc") }));
}

TEST_F(Subscriptions, OneRowOntoAnotherItemsTargetIsRefused)
{
    Subscribed(Local("taken.ov2"), QStringLiteral("other"), OtherSite);
    const std::string before = StoreBytes();
    Host.Answers = { { Folder.path() + QStringLiteral("/TAKEN.ov2"), 0 } };
    EXPECT_EQ(MessageOf([&] { SubscribeRows(Profile(), { Row(Germany(), "cams") }, TTargetKind::Local, Host); }),
        QStringLiteral("The target file is already updated by another item. Please remove the updating of this file "
                       "before assigning it to another item"));
    EXPECT_EQ(Targets(), QStringList({ Local("taken.ov2") }));
    EXPECT_BYTES_EQ(before, StoreBytes());
}

// Several rows: one folder, names made safe and kept inside it, one writer for all.
TEST_F(Subscriptions, SeveralRowsLocally)
{
    TUpdateItem& old = Subscribed(Local("elsewhere.asc"), QStringLiteral("cams"));
    const int gpx = TConvertToBase::IndexOf(QStringLiteral(".gpx"), QStringLiteral("gengpx"));
    GetSettings().InitialDir = QStringLiteral("/no/such/folder");
    Host.Answers = { { Folder.path(), gpx } };
    std::vector<TSubscribeRow> rows;
    for (const char* d : { "cams", "..\\..\\x", "a/b", "Two\nlines" })
        rows.push_back(Row(Germany(), QString::fromUtf8(d)));
    EXPECT_TRUE(SubscribeRows(Profile(), rows, TTargetKind::Local, Host));
    // A missing folder is not offered; the first row's item chose the writer (".asc", row of genasc).
    EXPECT_EQ(Host.Picks[0].Start, QString());
    EXPECT_EQ(Host.Picks[0].Exporter, TConvertToBase::IndexOf(QStringLiteral(".asc"), QStringLiteral("ttov2")));
    EXPECT_EQ(GetSettings().InitialDir, Folder.path());
    EXPECT_EQ(Targets(),
        QStringList({ Local("cams.gpx"), Local(Tagged(".._.._x", "..\\..\\x") + ".gpx"),
            Local(Tagged("a_b", "a/b") + ".gpx"), Local(Tagged("Twolines", "Two\nlines") + ".gpx") }));
    EXPECT_EQ(&Profile().GetItem(0), &old);
    for (int i = 0; i < Profile().Count(); ++i) {
        EXPECT_EQ(Profile().GetItem(i).FormatID, QStringLiteral("gengpx"));
        EXPECT_EQ(QFileInfo(StripFilePrefix(Profile().GetItem(i).Target)).absolutePath(), Folder.path());
    }
    EXPECT_TRUE(Host.Questions.isEmpty());
}

TEST_F(Subscriptions, SeveralRowsOntoOneFileStoreNothing)
{
    Subscribed(Local("kept.ov2"), QStringLiteral("kept"));
    const std::string before = StoreBytes();
    Host.Answers = { { Folder.path(), 0 } };
    // "FUEL" and "fuel" give one file name.
    EXPECT_EQ(MessageOf([&] {
        SubscribeRows(Profile(), { Row(Other(), "FUEL"), Row(Other(), "fuel") }, TTargetKind::Local, Host);
    }),
        QStringLiteral("The specified target directory causes 2 or more autoupdate items to update the same file. "
                       "Please change or remove the target of the conflicting items first"));
    EXPECT_EQ(Targets(), QStringList({ Local("kept.ov2") }));
    EXPECT_BYTES_EQ(before, StoreBytes());
}

// POIs whose names clean to one file name each keep a file of their own.
TEST_F(Subscriptions, NamesThatCleanAlikeGetFilesOfTheirOwn)
{
    TSite site { SiteUrl };
    site.LoadFromXml("<pois><poi><description>.</description><url>/1</url></poi>"
                     "<poi><description>..</description><url>/2</url></poi>"
                     "<poi><description>_</description><url>/3</url></poi>"
                     "<poi><description>Cams A/B</description><url>/4</url></poi>"
                     "<poi><description>Cams A_B</description><url>/5</url></poi>"
                     "<poi><description>Cams A_B.</description><url>/6</url></poi>"
                     "<poi><description>Cams A_B </description><url>/7</url></poi>"
                     "<poi><description>Cams A_B~0123abcd</description><url>/8</url></poi></pois>");
    TCountry& country = site.Countries[0];
    std::vector<TSubscribeRow> rows;
    for (int i = 0; i < country.Pois.Count(); ++i)
        rows.push_back(Row(country, country.Pois[i].Description));
    Host.Answers = { { Folder.path(), TConvertToBase::IndexOf(QStringLiteral(".ov2"), QStringLiteral("ttov2")) } };
    EXPECT_TRUE(SubscribeRows(Profile(), rows, TTargetKind::Local, Host));
    LoadAutoUpdateProfiles();
    ASSERT_EQ(Profile().Count(), 8);
    EXPECT_FALSE(Profile().HasDuplicateTarget());
    EXPECT_EQ(Profile().GetItem(2).Target, Local("_.ov2")) << "a clean name stays as it was";
    EXPECT_EQ(Profile().GetItem(4).Target, Local("Cams A_B.ov2"));
    EXPECT_EQ(Profile().GetItem(3).Target, Local(Tagged("Cams A_B", "Cams A/B") + ".ov2"));
    EXPECT_EQ(Profile().GetItem(7).Target, Local(Tagged("Cams A_B~0123abcd", "Cams A_B~0123abcd") + ".ov2"));
    // The wizard names them the same way.
    const TWizardTarget target { TTargetKind::Local, Folder.path(), QStringLiteral(".ov2"), QStringLiteral("ttov2") };
    CreateWizardItems(Profile(), site, country, nullptr, target, true);
    EXPECT_EQ(Profile().Count(), 8);
    EXPECT_FALSE(Profile().HasDuplicateTarget());
}

TEST_F(Subscriptions, NoToTheExistingFilesQuestionKeepsTheProfile)
{
    Subscribed(Local("old.ov2"), QStringLiteral("cams"));
    QFile existing(Folder.path() + QChar('/') + Tagged("a_b", "a/b") + QStringLiteral(".ov2"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const std::string before = StoreBytes();
    for (bool yes : { false, true }) {
        Host.Answers = { { Folder.path(), 0 } };
        Host.YesNo = { yes };
        EXPECT_EQ(SubscribeRows(Profile(), { Row(Germany(), "cams"), Row(Germany(), "a/b") }, TTargetKind::Local, Host),
            yes);
        if (!yes) {
            EXPECT_EQ(Targets(), QStringList({ Local("old.ov2") }));
            EXPECT_BYTES_EQ(before, StoreBytes());
        }
    }
    EXPECT_EQ(Host.Questions.size(), 2);
    EXPECT_TRUE(Host.Questions[0].startsWith(QStringLiteral("One or more files already exist.")));
    EXPECT_EQ(Targets(), QStringList({ Local("cams.ov2"), Local(Tagged("a_b", "a/b") + ".ov2") }));
}

class DeviceSubscriptions : public Subscriptions {
protected:
    QTemporaryDir DeviceRoot;
    DeviceSubscriptions() { SetDeviceBackend(std::make_unique<TFakeDevice>(DeviceRoot.path())); }
    ~DeviceSubscriptions() override
    {
        DisconnectDevice();
        SetDeviceBackend(nullptr);
    }
};

TEST_F(DeviceSubscriptions, OneRow)
{
    GetSettings().PrevRemoteDir = QStringLiteral("\\Storage Card");
    Host.Answers = { { QStringLiteral("\\Maps\\Europe\\Fuel.ov2"), 0 } };
    EXPECT_TRUE(SubscribeRows(Profile(), { Row(Germany(), "Fuel") }, TTargetKind::Device, Host));
    EXPECT_EQ(Host.Picks[0].Name, QStringLiteral("\\Storage Card\\Fuel.asc"));
    EXPECT_EQ(Targets(), QStringList({ "MOBILE://\\Maps\\Europe\\Fuel.ov2" }));
    EXPECT_EQ(Profile().GetItem(0).FormatID, TConvertToBase::FormatIDAt(0));
    EXPECT_EQ(GetSettings().PrevRemoteDir, QStringLiteral("\\Maps\\Europe\\"));
    // Again: the browser starts at the item's target.
    Host.Answers = {};
    EXPECT_FALSE(SubscribeRows(Profile(), { Row(Germany(), "Fuel") }, TTargetKind::Device, Host));
    EXPECT_EQ(Host.Picks[1].Name, QStringLiteral("\\Maps\\Europe\\Fuel.ov2"));
}

TEST_F(DeviceSubscriptions, SeveralRows)
{
    QDir(DeviceRoot.path()).mkpath(QStringLiteral("Maps"));
    QFile existing(DeviceRoot.path() + QStringLiteral("/Maps/CAMS.ov2"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    GetSettings().PrevRemoteDir = QStringLiteral("\\Old");
    Host.Answers = { { QStringLiteral("\\Maps"), 0 } };
    Host.YesNo = { true };
    EXPECT_TRUE(SubscribeRows(Profile(), { Row(Germany(), "cams"), Row(Germany(), "a/b") }, TTargetKind::Device, Host));
    EXPECT_EQ(Host.Picks[0].Start, QStringLiteral("\\Old"));
    EXPECT_EQ(GetSettings().PrevRemoteDir, QStringLiteral("\\Maps"));
    // The file on the device was found (its name differs only in case) and asked about.
    EXPECT_EQ(Host.Questions.size(), 1);
    EXPECT_EQ(
        Targets(), QStringList({ "MOBILE://\\Maps\\cams.ov2", "MOBILE://\\Maps\\" + Tagged("a_b", "a/b") + ".ov2" }));

    Host.Answers = { { QStringLiteral("\\"), 0 } };
    EXPECT_EQ(MessageOf([&] {
        SubscribeRows(Profile(), { Row(Other(), "FUEL"), Row(Other(), "fuel") }, TTargetKind::Device, Host);
    }),
        QStringLiteral("One or more target files are already updated by another item. Please remove the updating of "
                       "these files before assigning them to other items"));
    EXPECT_EQ(Profile().Count(), 2);
}

TEST(SubscriptionTargets, DoubleClickChoice)
{
    EXPECT_EQ(DoubleClickTarget({ "", "FILE:///a.ov2", "file:///b.ov2" }), TTargetKind::Local);
    EXPECT_EQ(DoubleClickTarget({ "", "" }), TTargetKind::Local);
    EXPECT_EQ(DoubleClickTarget({ "MOBILE://\\a.ov2", "" }), TTargetKind::Device);
    EXPECT_EQ(MessageOf([] { DoubleClickTarget({ "FILE:///a.ov2", "MOBILE://\\a.ov2" }); }),
        QStringLiteral("Selection contains local and PDA files. Please only select local OR PDA files"));
}

TEST(SubscriptionTargets, Joined)
{
    EXPECT_EQ(JoinTarget(TTargetKind::Local, QStringLiteral("/home/u/pois"), QStringLiteral("a.ov2")),
        QStringLiteral("FILE:///home/u/pois/a.ov2"));
    EXPECT_EQ(JoinTarget(TTargetKind::Local, QStringLiteral("/"), QStringLiteral("a.ov2")), QStringLiteral("FILE:///a.ov2"));
    EXPECT_EQ(JoinTarget(TTargetKind::Device, QStringLiteral("Maps\\Eu\\"), QStringLiteral("a.ov2")),
        QStringLiteral("MOBILE://\\Maps\\Eu\\a.ov2"));
    EXPECT_EQ(JoinTarget(TTargetKind::Device, QStringLiteral("\\"), QStringLiteral("a.ov2")),
        QStringLiteral("MOBILE://\\a.ov2"));
    EXPECT_EQ(JoinTarget(TTargetKind::Device, QStringLiteral("MOBILE://\\Maps\\..\\..\\x"), QStringLiteral("a.ov2")),
        QStringLiteral("MOBILE://\\x\\a.ov2"));
    EXPECT_EQ(TargetFileName(QStringLiteral(" ..\r\n/..\\ \n"), QStringLiteral(".ov2")),
        Tagged(".._.._", " ..\r\n/..\\ \n") + ".ov2");
    EXPECT_EQ(TargetFileName(QStringLiteral("Fuel"), QStringLiteral(".ov2")), QStringLiteral("Fuel.ov2"));
}

// Unsubscribing takes the row's own items, also beside an item of another site with that target.
TEST_F(Subscriptions, UnsubscribeBesideAnotherSitesItemOfTheSameTarget)
{
    Subscribed(Local("same.ov2"), QStringLiteral("cams"), OtherSite);
    Subscribed(Local("SAME.ov2"), QStringLiteral("cams"));
    Host.YesNo = { false, true };
    const std::vector<TUpdateItem*> items = ItemsOfPoi(Profile(), SiteUrl, QStringLiteral("CAMS"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_FALSE(UnsubscribeItems(Profile(), items, Host));
    EXPECT_EQ(Profile().Count(), 2);
    EXPECT_TRUE(UnsubscribeItems(Profile(), items, Host));
    EXPECT_EQ(Host.Questions, QStringList(2, "Are you sure you want to unsubscribe these files from AutoUpdate?"));
    LoadAutoUpdateProfiles();
    ASSERT_EQ(Profile().Count(), 1);
    EXPECT_EQ(Profile().GetItem(0).Site, OtherSite);
}

// A description or map with what the item line cannot carry still matches its POI after a restart.
TEST_F(Subscriptions, HostileTextsMatchTheirPoiAfterARestart)
{
    const QString description = QStringLiteral("Fuel | Food\r\nand = more %7C");
    TUpdateItem& item = Subscribed(QStringLiteral("FILE:///t|=x.ov2"), description);
    item.Map = QStringLiteral("A|B");
    Profile().Save();
    LoadAutoUpdateProfiles();
    ASSERT_EQ(Profile().Count(), 1);
    EXPECT_EQ(Profile().GetItem(0).Description, description);
    EXPECT_EQ(Profile().GetItem(0).Map, QStringLiteral("A|B"));
    EXPECT_EQ(Profile().GetItem(0).Target, QStringLiteral("FILE:///t|=x.ov2"));
    EXPECT_EQ(ItemsOfPoi(Profile(), SiteUrl, description).size(), 1u);
}

TEST(WizardPages, SkippedBothWays)
{
    using P = TWizardPage;
    struct TCase {
        int Profiles;
        uint8_t Access;
        std::vector<P> Forward;
    };
    const TCase cases[] = {
        { 1, 0, { P::Default, P::Sites, P::Groups, P::Target, P::Ready, P::Finish } },
        { 2, 0, { P::Default, P::Profile, P::Sites, P::Groups, P::Target, P::Ready, P::Finish } },
        { 1, 1, { P::Default, P::Sites, P::Authentication, P::Groups, P::Target, P::Ready, P::Finish } },
        { 3, 2, { P::Default, P::Profile, P::Sites, P::Authentication, P::Groups, P::Target, P::Ready, P::Finish } },
    };
    for (const TCase& c : cases) {
        std::vector<P> forward { P::Default };
        for (P p = P::Default; p != P::Finish;)
            forward.push_back(p = WizardPageAfter(p, +1, c.Profiles, c.Access));
        EXPECT_EQ(forward, c.Forward) << c.Profiles << " profiles, access " << int(c.Access);
        std::vector<P> back { P::Finish };
        for (P p = P::Finish; p != P::Default;)
            back.push_back(p = WizardPageAfter(p, -1, c.Profiles, c.Access));
        EXPECT_EQ(std::vector<P>(back.rbegin(), back.rend()), c.Forward);
        EXPECT_EQ(WizardPageAfter(P::Finish, +1, c.Profiles, c.Access), P::Finish);
        EXPECT_EQ(WizardPageAfter(P::Default, -1, c.Profiles, c.Access), P::Default);
    }
}

TEST_F(Subscriptions, WizardGroupLists)
{
    // With wizard groups only those, then "Other groups...".
    TWizardGroups groups = WizardGroups(Site, Germany());
    EXPECT_TRUE(groups.HasWizardGroups);
    EXPECT_EQ(groups.Captions(), QStringList({ "Cameras", "Other groups..." }));
    EXPECT_EQ(groups.Entries.GetName(0), QStringLiteral("Speed"));
    EXPECT_EQ(WizardGroupNote(Site, QStringLiteral("speed")), QStringLiteral("Drive safe"));
    EXPECT_EQ(WizardGroupNote(Site, QStringLiteral("Shops")), QStringLiteral("No additional information available..."));
    // Without: every name, a defined one with its description.
    TSite plain(QStringLiteral("http://plain.example/site.xml"));
    plain.LoadFromXml(QByteArray(Catalogue).replace("<wizard/>", "").toStdString());
    groups = WizardGroups(plain, *plain.Countries.FindCountry(QStringLiteral("Germany")));
    EXPECT_FALSE(groups.HasWizardGroups);
    EXPECT_EQ(groups.Captions(), QStringList({ "Shops", "Cameras", "" }));
    // A country without groups lists nothing.
    EXPECT_TRUE(WizardGroups(plain, *plain.Countries.FindCountry(QStringLiteral("Other"))).Captions().isEmpty());
}

TEST_F(Subscriptions, WizardItemsOfAGroupOrTheCountry)
{
    Subscribed(Local("old.ov2"), QStringLiteral("old one"));
    Subscribed(Local("kept.ov2"), QStringLiteral("kept"), OtherSite);
    const TWizardTarget target { TTargetKind::Local, Folder.path() + QChar('/'), QStringLiteral(".ov2"),
        QStringLiteral("ttov2") };
    const QString speed = QStringLiteral("Speed");
    CreateWizardItems(Profile(), Site, Germany(), &speed, target, true);
    EXPECT_EQ(Targets(),
        QStringList({ Local("kept.ov2"), Local("cams.ov2"), Local(Tagged(".._.._x", "..\\..\\x") + ".ov2"),
            Local(Tagged("a_b", "a/b") + ".ov2"), Local(Tagged("Twolines", "Two\nlines") + ".ov2") }));
    const TUpdateItem& cams = Profile().GetItem(1);
    EXPECT_EQ(cams.Site, SiteUrl);
    EXPECT_EQ(cams.Map, QStringLiteral("Germany"));
    EXPECT_EQ(cams.FormatID, QStringLiteral("ttov2"));
    EXPECT_TRUE(cams.LastUpdate.isNull() && cams.LastChecked.isNull());
    LoadAutoUpdateProfiles();
    EXPECT_EQ(Profile().Count(), 5);

    // The whole country onto the device; the site's items stay when not asked to go.
    const TWizardTarget device { TTargetKind::Device, QStringLiteral("\\Maps\\"), QStringLiteral(".ov2"),
        QStringLiteral("ttov2") };
    CreateWizardItems(Profile(), Site, Germany(), nullptr, device, false);
    EXPECT_EQ(Profile().Count(), 11);
    EXPECT_EQ(Profile().GetItem(5).Target, QStringLiteral("MOBILE://\\Maps\\Fuel.ov2"));
}

TEST_F(Subscriptions, WizardItemsWritingOneFileStoreNothing)
{
    Subscribed(Local("Fuel.ov2"), QStringLiteral("taken"), OtherSite);
    Subscribed(Local("old.ov2"), QStringLiteral("old"));
    const std::string before = StoreBytes();
    const TWizardTarget target { TTargetKind::Local, Folder.path(), QStringLiteral(".ov2"), QStringLiteral("ttov2") };
    const QString message = QStringLiteral("The specified target directory causes 2 or more autoupdate items to "
                                           "update the same file. Please change or remove the target of the "
                                           "conflicting items first");
    // Two POIs of one name; a file another site's item updates.
    EXPECT_EQ(MessageOf([&] { CreateWizardItems(Profile(), Site, Other(), nullptr, target, true); }), message);
    EXPECT_EQ(MessageOf([&] { CreateWizardItems(Profile(), Site, Germany(), nullptr, target, true); }), message);
    EXPECT_EQ(Targets(), QStringList({ Local("Fuel.ov2"), Local("old.ov2") }));
    EXPECT_BYTES_EQ(before, StoreBytes());
    // The items about to go do not count: the site's own old target may be taken again.
    const QString shops = QStringLiteral("shops");
    Profile().GetItem(1).Target = Local("Fuel.asc");
    Profile().Save();
    const TWizardTarget asc { TTargetKind::Local, Folder.path(), QStringLiteral(".asc"), QStringLiteral("genasc") };
    CreateWizardItems(Profile(), Site, Germany(), &shops, asc, true);
    EXPECT_EQ(Targets(), QStringList({ Local("Fuel.ov2"), Local("Fuel.asc") }));
}

} // namespace
