// The AutoUpdate Wizard over served catalogues: from the welcome page to Finish and "AutoUpdate
// now" with the target written, pages skipped both ways, the wizard groups and "Other groups...",
// a country without groups, a site already used (No, Yes then Cancel, Yes then Finish), items that
// would write one file, the close question, the site's web page; and two pictures under Xvfb.
#include "AppTestSupport.h"
#include "SiteWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fAutoUpdateWizard.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "sites/SiteTestSupport.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"
#include "ui/AdvGlowButton.h"
#include "support/QtWarningGuard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QtTest>

namespace {

// handmade: a registered POI, a group marked for the wizard, a group that is not.
const char* const SiteA = R"(<?xml version="1.0" encoding="UTF-8"?>
<pois>
  <infourl>file:///etc/passwd</infourl>
  <poi><description>Fuel</description><url>/fuel.asc</url><format>asc.genasc</format><map>Germany</map>
       <group>Speed</group><authorization>registered</authorization></poi>
  <poi><description>Cams</description><url>/fuel.asc</url><format>asc.genasc</format><map>Germany</map>
       <group>Speed</group></poi>
  <poi><description>Bakery</description><url>/fuel.asc</url><format>asc.genasc</format><map>Germany</map>
       <group>Shops</group></poi>
  <groups><group><name>Speed</name><description>Speed cameras</description><note>Drive safe</note><wizard/></group></groups>
</pois>)";

// handmade: all free; two POIs of one name; a country without groups.
const char* const SiteB = R"(<?xml version="1.0" encoding="UTF-8"?>
<pois>
  <infourl>http://pois.example/b</infourl>
  <poi><description>Pier</description><url>/fuel.asc</url><format>asc.genasc</format><map>Netherlands</map></poi>
  <poi><description>PIER</description><url>/fuel.asc</url><format>asc.genasc</format><map>Netherlands</map></poi>
  <poi><description>Beach</description><url>/fuel.asc</url><format>asc.genasc</format><map>Belgium</map></poi>
  <poi><description>Dunes</description><url>/fuel.asc</url><format>asc.genasc</format><map>Belgium</map></poi>
</pois>)";

const char* const Museum = "; museum\r\n4.5, 51.5, \"Museum\"\r\n";

using Access = TfmAutoUpdateWizardTestAccess;

} // namespace

class TestWizard : public QObject {
    Q_OBJECT
    std::unique_ptr<TLoopbackServer> Server;
    std::unique_ptr<TdmMain> Data;
    QTemporaryDir Targets;
    TRecordingSiteManagerHost Host;
    QList<QUrl> Opened;

    QString A() const { return Server->Base() + QStringLiteral("/a.xml"); }
    QString B() const { return Server->Base() + QStringLiteral("/b.xml"); }
    TUpdateItems& Profile() { return GetAutoUpdateProfile(0); }
    std::unique_ptr<TfmAutoUpdateWizard> Open()
    {
        GetSettings().Sites = QStringList { A(), B() };
        GetSettings().HiddenSites = QStringList { B() };
        auto wizard = std::make_unique<TfmAutoUpdateWizard>(nullptr, *Data, &Host);
        wizard->show();
        return wizard;
    }
    static void Next(TfmAutoUpdateWizard& w) { Access(w).buNext()->click(); }
    // From the welcome page to the Groups page of site row.
    static void ToGroups(TfmAutoUpdateWizard& w, int row)
    {
        Next(w);
        QCOMPARE(w.CurrentPage(), TWizardPage::Sites);
        Access(w).lvSites()->setCurrentRow(row);
        Next(w);
        if (w.CurrentPage() == TWizardPage::Authentication)
            Next(w);
        QCOMPARE(w.CurrentPage(), TWizardPage::Groups);
    }
    static void Choose(QComboBox* box, int entry)
    {
        box->setCurrentIndex(entry);
        emit box->activated(entry);
    }
    void LocalTarget(TfmAutoUpdateWizard& w)
    {
        Access(w).rgTarget()->button(0)->click();
        Access(w).edLocalFolder()->setText(Targets.path());
        Access(w).coLocalFileType()->setCurrentIndex(TConvertToBase::IndexOf(QStringLiteral(".asc"), QStringLiteral("genasc")));
    }
    QStringList TargetsOf(const TUpdateItems& items)
    {
        QStringList out;
        for (int i = 0; i < items.Count(); ++i)
            out << items.GetItem(i).Target;
        return out;
    }
    QString Local(const QString& name) const { return QStringLiteral("FILE://") + Targets.path() + QChar('/') + name; }

private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
        qputenv("XDG_CACHE_HOME", (TestHome().path() + QStringLiteral("/cache")).toLocal8Bit());
        ResetDataDirCache();
        Data = std::make_unique<TdmMain>();
        Server = std::make_unique<TLoopbackServer>();
        Server->Set("/a.xml", TAnswer().WithBody(SiteA));
        Server->Set("/b.xml", TAnswer().WithBody(SiteB));
        Server->Set("/fuel.asc", TAnswer().WithBody(Museum));
        SetUrlOpener([this](const QUrl& url) {
            Opened << url;
            return true;
        });
    }
    void cleanupTestCase() { SetUrlOpener({}); }

    void init()
    {
        ResetSitesAndSettings();
        QDir(Targets.path()).removeRecursively();
        QDir().mkpath(Targets.path());
        Opened.clear();
        Host = TRecordingSiteManagerHost();
    }

    // One profile, a registered site: Default, Sites, Authentication, Groups, Target, Ready,
    // Finish; the items and "AutoUpdate now" writing them.
    void welcomeToFinishAndAutoUpdateNow()
    {
        TScriptedPrompt prompt;
        auto w = Open();
        QCOMPARE(Access(*w).buBack()->isEnabled(), false);
        QCOMPARE(Access(*w).buNext()->text(), QStringLiteral("Next >"));
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Sites);
        // Hidden sites are offered too.
        QCOMPARE(Access(*w).lvSites()->count(), 2);
        QVERIFY(!Access(*w).buNext()->isEnabled());
        Access(*w).lvSites()->setCurrentRow(0);
        Access(*w).cbForceSiteUpdate()->setChecked(true);
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Authentication);
        QVERIFY(!Access(*w).cbForceSiteUpdate()->isChecked());
        // A file:// page of the site is no web page: the button stays disabled and opens nothing.
        QVERIFY(!Access(*w).buWebsite()->isEnabled());
        Access(*w).buWebsite()->Click();
        QVERIFY(Opened.isEmpty());
        Access(*w).edUsername()->setText(QStringLiteral("me"));
        Access(*w).edPassword()->setText(QStringLiteral("pw"));
        Next(*w);
        QCOMPARE(ReadSiteConfig(A(), QStringLiteral("Username")), QStringLiteral("me"));
        QCOMPARE(ReadSitePassword(A()), QStringLiteral("pw"));
        QCOMPARE(w->CurrentPage(), TWizardPage::Groups);
        QVERIFY(!Access(*w).buNext()->isEnabled());
        Choose(Access(*w).coCountry(), 0);
        QVERIFY(!Access(*w).paGroup()->isHidden());
        QVERIFY(!Access(*w).buNext()->isEnabled());
        Choose(Access(*w).coGroup(), 0);
        QCOMPARE(Access(*w).laGroupNote()->text(), QStringLiteral("Drive safe"));
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Target);
        QVERIFY(!Access(*w).buNext()->isEnabled());
        LocalTarget(*w);
        QVERIFY(Access(*w).buNext()->isEnabled());
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Ready);
        QCOMPARE(Access(*w).buNext()->text(), QStringLiteral("Finish"));
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Finish);
        QCOMPARE(Access(*w).buCancel()->text(), QStringLiteral("Close"));
        QVERIFY(!Access(*w).buBack()->isEnabled());
        QCOMPARE(TargetsOf(Profile()), QStringList({ Local("Fuel.asc"), Local("Cams.asc") }));
        LoadAutoUpdateProfiles();
        QCOMPARE(Profile().Count(), 2);
        QCOMPARE(Profile().GetItem(0).Site, A());
        QCOMPARE(Profile().GetItem(0).Map, QStringLiteral("Germany"));

        GetSettings().StatusAutoClose = true;
        GetSettings().AlwaysOverwrite = true;
        Access(*w).BitBtn1()->Click();
        QCOMPARE(Host.Runs, 1);
        QVERIFY(QFile::exists(Targets.path() + QStringLiteral("/Fuel.asc")));
        QVERIFY(QFile::exists(Targets.path() + QStringLiteral("/Cams.asc")));
        QVERIFY(prompt.Boxes.empty());
        // Close on the last page asks nothing.
        Access(*w).buCancel()->click();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->OpenManagerRequested());
    }

    // A free site, one profile: the Profile and Authentication pages are skipped both ways; with
    // two profiles the Profile page shows and its choice takes the items.
    void pagesSkippedBothWays()
    {
        TScriptedPrompt prompt;
        {
            auto w = Open();
            ToGroups(*w, 1);
            Access(*w).buBack()->click();
            QCOMPARE(w->CurrentPage(), TWizardPage::Sites);
            Access(*w).buBack()->click();
            QCOMPARE(w->CurrentPage(), TWizardPage::Default);
        }
        AddAutoUpdateProfile(QStringLiteral("Car")).Save();
        auto w = Open();
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Profile);
        QCOMPARE(Access(*w).coProfile()->count(), 2);
        QCOMPARE(Access(*w).coProfile()->itemText(0), QStringLiteral("Default"));
        Access(*w).coProfile()->setCurrentIndex(1);
        QCOMPARE(w->ChosenProfileName(), QStringLiteral("Car"));
        Next(*w);
        Access(*w).lvSites()->setCurrentRow(1);
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Groups);
        // Belgium has no groups: all its POIs.
        Choose(Access(*w).coCountry(), 1);
        QVERIFY(Access(*w).paGroup()->isHidden());
        QVERIFY(!Access(*w).laAll()->isHidden());
        QVERIFY(Access(*w).buNext()->isEnabled());
        Next(*w);
        LocalTarget(*w);
        Next(*w);
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Finish);
        QCOMPARE(TargetsOf(FindAutoUpdateProfile(QStringLiteral("Car"))), QStringList({ Local("Beach.asc"), Local("Dunes.asc") }));
        QCOMPARE(Profile().Count(), 0);
    }

    void otherGroupsOpensTheManagerOrChoosesNothing()
    {
        TScriptedPrompt prompt;
        auto w = Open();
        ToGroups(*w, 0);
        Choose(Access(*w).coCountry(), 0);
        QCOMPARE(Access(*w).coGroup()->count(), 2);
        QCOMPARE(Access(*w).coGroup()->itemText(0), QStringLiteral("Speed cameras"));
        QCOMPARE(Access(*w).coGroup()->itemText(1), QStringLiteral("Other groups..."));
        prompt.Answers = { IDNO };
        Choose(Access(*w).coGroup(), 1);
        QVERIFY(prompt.Boxes.back().Text.startsWith(QStringLiteral("To setup other groups")));
        QCOMPARE(Access(*w).coGroup()->currentIndex(), -1);
        QVERIFY(!Access(*w).buNext()->isEnabled());
        QVERIFY(w->isVisible());
        prompt.Answers = { IDYES };
        Choose(Access(*w).coGroup(), 1);
        QVERIFY(!w->isVisible());
        QVERIFY(w->OpenManagerRequested());
        QCOMPARE(GetSettings().SiteManagerUrl, A());
        QCOMPARE(GetSettings().SiteManagerMap, QStringLiteral("Germany"));
        // Leaving that way asks no close question.
        QCOMPARE(prompt.Boxes.size(), size_t(2));
    }

    // A site the profile already has items of: No keeps the page and the items; Yes removes them
    // only at Finish, so Cancel after Yes loses nothing; going back asks no second time.
    void siteAlreadyInTheProfile()
    {
        TScriptedPrompt prompt;
        auto old = std::make_unique<TUpdateItem>();
        old->Site = B();
        old->Description = QStringLiteral("Pier");
        old->Target = Local("old.ov2");
        Profile().Add(std::move(old));
        Profile().Save();
        {
            auto w = Open();
            Next(*w);
            Access(*w).lvSites()->setCurrentRow(1);
            prompt.Answers = { IDNO };
            Next(*w);
            QCOMPARE(w->CurrentPage(), TWizardPage::Sites);
            QCOMPARE(Profile().Count(), 1);
            prompt.Answers = { IDYES };
            Next(*w);
            QCOMPARE(w->CurrentPage(), TWizardPage::Groups);
            const size_t asked = prompt.Boxes.size();
            Access(*w).buBack()->click();
            Next(*w);
            QCOMPARE(prompt.Boxes.size(), asked);
            QCOMPARE(Profile().Count(), 1);
            // Cancel, No to the question, then Yes.
            prompt.Answers = { IDNO };
            Access(*w).buCancel()->click();
            QVERIFY(w->isVisible());
            QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("Are you sure you want to cancel the AutoUpdate Wizard?"));
            prompt.Answers = { IDYES };
            Access(*w).buCancel()->click();
            QVERIFY(!w->isVisible());
        }
        LoadAutoUpdateProfiles();
        QCOMPARE(TargetsOf(Profile()), QStringList { Local("old.ov2") });

        auto w = Open();
        Next(*w);
        Access(*w).lvSites()->setCurrentRow(1);
        prompt.Answers = { IDYES };
        Next(*w);
        Choose(Access(*w).coCountry(), 1);
        Next(*w);
        LocalTarget(*w);
        Next(*w);
        Next(*w);
        QCOMPARE(TargetsOf(Profile()), QStringList({ Local("Beach.asc"), Local("Dunes.asc") }));
    }

    void itemsWritingOneFileKeepTheReadyPage()
    {
        TScriptedPrompt prompt;
        Profile().Save();
        auto w = Open();
        ToGroups(*w, 1);
        Choose(Access(*w).coCountry(), 0); // Netherlands: "Pier" and "PIER"
        QVERIFY(Access(*w).paGroup()->isHidden());
        Next(*w);
        LocalTarget(*w);
        Next(*w);
        const std::string before = LoadBytesFromFile(SettingsStoreFileName());
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Ready);
        QCOMPARE(prompt.Boxes.back().Text,
            QStringLiteral("The specified target directory causes 2 or more autoupdate items to update the same file. "
                           "Please change or remove the target of the conflicting items first."));
        QCOMPARE(Profile().Count(), 0);
        QCOMPARE(LoadBytesFromFile(SettingsStoreFileName()), before);
    }

    // Finish with a local folder that does not exist asks to create it: Yes creates it and
    // finishes; No, or closing the box, goes back to the Target page; a folder that cannot be made
    // is a warning on the Target page. Nothing is stored until the folder exists.
    void missingFolderIsOfferedToBeCreated_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("creatable");
        QTest::newRow("Yes") << IDYES << true;
        QTest::newRow("No") << IDNO << true;
        QTest::newRow("closed") << IDCANCEL << true;
        QTest::newRow("Yes, cannot be made") << IDYES << false;
    }
    void missingFolderIsOfferedToBeCreated()
    {
        QFETCH(int, answer);
        QFETCH(bool, creatable);
        TScriptedPrompt prompt;
        // A file where a folder of the path should be makes it impossible to create.
        SaveBytesToFile(Targets.path() + QStringLiteral("/file"), "x");
        const QString folder
            = Targets.path() + (creatable ? QStringLiteral("/new/pois") : QStringLiteral("/file/pois"));
        auto w = Open();
        ToGroups(*w, 1);
        Choose(Access(*w).coCountry(), 1);
        Next(*w);
        LocalTarget(*w);
        Access(*w).edLocalFolder()->setText(folder);
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Ready);
        prompt.Answers = { answer };
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("buNext")), Qt::LeftButton);
        QCOMPARE(prompt.Boxes.front().Text,
            QStringLiteral("Folder %1 does not exist. Do you want to create it?").arg(folder));
        const bool finished = answer == IDYES && creatable;
        QCOMPARE(QFileInfo(folder).isDir(), finished);
        QCOMPARE(w->CurrentPage(), finished ? TWizardPage::Finish : TWizardPage::Target);
        QCOMPARE(prompt.Boxes.size(), size_t(answer == IDYES && !creatable ? 2 : 1));
        if (prompt.Boxes.size() == 2)
            QCOMPARE(prompt.Boxes[1].Text, QStringLiteral("Cannot create folder %1").arg(folder));
        QCOMPARE(Profile().Count(), finished ? 2 : 0);
        if (finished)
            QCOMPARE(Profile().GetItem(0).Target, QStringLiteral("FILE://") + folder + QStringLiteral("/Beach.asc"));
    }

    // The navigator target: without a device the choice goes back to none; with one, the items
    // target the device folder.
    void deviceTarget()
    {
        TScriptedPrompt prompt;
        qunsetenv("TARVELL_DEVICE_ROOT");
        DisconnectDevice();
        auto w = Open();
        ToGroups(*w, 1);
        Choose(Access(*w).coCountry(), 1);
        Next(*w);
        Access(*w).rgTarget()->button(1)->click();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(Access(*w).rgTarget()->checkedId(), -1);
        QCOMPARE(Access(*w).nbTarget()->currentIndex(), 0);
        QVERIFY(!Access(*w).buNext()->isEnabled());

        QTemporaryDir device;
        QDir(device.path()).mkpath(QStringLiteral("Maps"));
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        GetSettings().PrevRemoteDir = QStringLiteral("\\Maps");
        Access(*w).rgTarget()->button(1)->click();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(Access(*w).nbTarget()->currentIndex(), 2);
        QCOMPARE(Access(*w).coMaps()->itemText(0), QStringLiteral("[Other]"));
        QCOMPARE(Access(*w).edRemotePath()->text(), QStringLiteral("\\Maps"));
        Next(*w);
        Next(*w);
        QCOMPARE(w->CurrentPage(), TWizardPage::Finish);
        QCOMPARE(TargetsOf(Profile()), QStringList({ "MOBILE://\\Maps\\Beach.ov2", "MOBILE://\\Maps\\Dunes.ov2" }));
        QCOMPARE(Profile().GetItem(0).FormatID, QStringLiteral("ttov2"));
        DisconnectDevice();
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    void pictures()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs a real X server");
        TScriptedPrompt prompt;
        auto w = Open();
        w->resize(560, 420);
        ToGroups(*w, 0);
        Choose(Access(*w).coCountry(), 0);
        Choose(Access(*w).coGroup(), 0);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::qWait(150);
        QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
        QVERIFY(w->grab().save(QStringLiteral(TARVELL_ARTIFACTS "/wizard-groups.png")));
        Next(*w);
        LocalTarget(*w);
        Access(*w).edLocalFolder()->setText(QStringLiteral("/home/u/pois"));
        QTest::qWait(150);
        QVERIFY(w->grab().save(QStringLiteral(TARVELL_ARTIFACTS "/wizard-target.png")));
        prompt.Answers = { IDYES };
        w->close();
    }
};

TARVELL_QTEST_MAIN(TestWizard)
#include "tst_fAutoUpdateWizard.moc"
