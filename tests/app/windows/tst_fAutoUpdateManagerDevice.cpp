// The AutoUpdate Manager's device commands: the "update upon connect" boxes register first and
// keep their state when the settings file cannot be written, the include boxes and a deleted
// profile rewrite the registrations, and "Selected to Pocket Tarvell" exports to a folder device.
#include "AppTestSupport.h"
#include "SiteWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAutoUpdateManager.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "formats/uFormats.h"
#include "sites/uAutoStart.h"
#include "sites/uSite.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QTreeWidget>
#include <QtTest>

using Access = TfmSiteManagerTestAccess;

class TestSiteManagerDevice : public QObject {
    Q_OBJECT
    std::unique_ptr<TdmMain> Data;
    TRecordingSiteManagerHost Host;

    std::unique_ptr<TfmSiteManager> Open(int page)
    {
        auto form = std::make_unique<TfmSiteManager>(nullptr, *Data, &Host);
        form->show();
        form->SetPage(page);
        return form;
    }
    static QString Registered(TConnectKind kind)
    {
        const QString line = RegisteredCommandLine(kind);
        return line.isEmpty() ? QStringLiteral("<none>") : line.mid(line.indexOf(QStringLiteral(" \"/tray\"")));
    }
    static void SelectProfile(TfmSiteManager& form, int row)
    {
        Access(form).lvProfiles()->clearSelection();
        Access(form).lvProfiles()->topLevelItem(row)->setSelected(true);
    }

private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
        ResetDataDirCache();
        Data = std::make_unique<TdmMain>();
    }
    void init() { ResetSitesAndSettings(); }

    void uponConnectBoxesRegisterFirst()
    {
        TScriptedPrompt prompt;
        GetAutoUpdateProfile(0).AutoUpdateActiveSync = true;
        AddAutoUpdateProfile(QStringLiteral("Car")).AutoUpdateUSB = true;
        const auto form = Open(TfmSiteManager::PageSettings);
        QVERIFY(!Access(*form).cbUponDeviceConnect()->isChecked());
        Access(*form).cbUponDeviceConnect()->click();
        QCOMPARE(Registered(TConnectKind::ActiveSync), QStringLiteral(" \"/tray\" \"/update\" \"/silent\" \"/prof:\""));
        QVERIFY(GetSettings().AutoUpdateActiveSync);
        Access(*form).cbUpdateUSB()->click();
        QCOMPARE(Registered(TConnectKind::USB), QStringLiteral(" \"/tray\" \"/update\" \"/silent\" \"/prof:Car\""));
        Access(*form).cbUponDeviceConnect()->click();
        QCOMPARE(Registered(TConnectKind::ActiveSync), QStringLiteral("<none>"));
        QVERIFY(!GetSettings().AutoUpdateActiveSync);
        QVERIFY(prompt.Boxes.empty());

        // A settings file that cannot be replaced: the box and the setting stay as they were.
        QFile::remove(SettingsStoreFileName());
        QVERIFY(QDir().mkpath(SettingsStoreFileName()));
        Access(*form).cbUponDeviceConnect()->click();
        QDir(SettingsStoreFileName()).removeRecursively();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("Could not store the automatic start registration. To toggle the \"Update on connect\" "
                           "option, the settings file %1 must be writable.")
                .arg(SettingsStoreFileName()));
        QVERIFY(!Access(*form).cbUponDeviceConnect()->isChecked());
        QVERIFY(!GetSettings().AutoUpdateActiveSync);
    }

    void includeBoxesAndDeletedProfilesRewriteTheRegistrations()
    {
        TScriptedPrompt prompt;
        GetSettings().AutoUpdateActiveSync = true;
        GetSettings().AutoUpdateUSB = true;
        AddAutoUpdateProfile(QStringLiteral("Car")).Save();
        AddAutoUpdateProfile(QStringLiteral("Bike")).Save();
        const auto form = Open(TfmSiteManager::PageProfiles);
        SelectProfile(*form, 1);
        Access(*form).cbIncludeAUC()->click();
        SelectProfile(*form, 2);
        Access(*form).cbIncludeAUC()->click();
        Access(*form).cbIncludeUSB()->click();
        QCOMPARE(Registered(TConnectKind::ActiveSync),
            QStringLiteral(" \"/tray\" \"/update\" \"/silent\" \"/prof:Car\" \"/prof:Bike\""));
        QCOMPARE(Registered(TConnectKind::USB), QStringLiteral(" \"/tray\" \"/update\" \"/silent\" \"/prof:Bike\""));

        prompt.Answers = { IDYES };
        Access(*form).acProfilesDel()->trigger();
        QCOMPARE(AutoUpdateProfileCount(), 2);
        QCOMPARE(Registered(TConnectKind::ActiveSync), QStringLiteral(" \"/tray\" \"/update\" \"/silent\" \"/prof:Car\""));
        QCOMPARE(Registered(TConnectKind::USB), QStringLiteral("<none>"));

        // A stored profile whose name the command line cannot carry is named in a warning.
        CreateSettingsStore()->WriteBool(QStringLiteral("AutoUpdateItems.My \"best\""), QStringLiteral("AutoUpdateUSB"), false);
        ClearAutoUpdateProfiles();
        LoadAutoUpdateProfiles();
        const auto again = Open(TfmSiteManager::PageProfiles);
        SelectProfile(*again, 2);
        Access(*again).cbIncludeUSB()->click();
        QCOMPARE(prompt.Boxes.size(), size_t(2));
        QCOMPARE(prompt.Boxes.back().Text, LeftOutProfilesWarning({ QStringLiteral("My \"best\"") }));
        QVERIFY(FindAutoUpdateProfile(QStringLiteral("My \"best\"")).AutoUpdateUSB);
    }

    void selectedItemsToPocketTarvell()
    {
        TScriptedPrompt prompt;
        QTemporaryDir device;
        QDir(device.path()).mkpath(QStringLiteral("Program Files/PocketTarvell"));
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        const QString site = QStringLiteral("http://pois.example/site.xml");
        const QString cache = LocationToLocalFile(site);
        QDir().mkpath(QFileInfo(cache).absolutePath());
        SaveBytesToFile(cache, "<pois><poi><description>Fuel</description><url>/fuel.ov2</url></poi></pois>");
        auto item = std::make_unique<TUpdateItem>();
        item->Site = site;
        item->Description = QStringLiteral("Fuel");
        item->Target = QStringLiteral("MOBILE://\\Fuel.ov2");
        item->FormatID = QStringLiteral("ttov2");
        GetAutoUpdateProfile(0).Add(std::move(item));

        const auto form = Open(TfmSiteManager::PageAllItems);
        QVERIFY(Access(*form).acToPocketTarvell()->isVisible());
        QVERIFY(!Access(*form).acToPocketTarvell()->isEnabled());
        Access(*form).lvSubscribed()->topLevelItem(0)->setSelected(true);
        QVERIFY(Access(*form).acToPocketTarvell()->isEnabled());
        Access(*form).acToPocketTarvell()->trigger();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("AutoUpdate configuration saved to your Mobile Device."));
        QVERIFY(QFileInfo::exists(device.filePath(QStringLiteral("Program Files/PocketTarvell/settings.xml"))));

        QDir(device.filePath(QStringLiteral("Program Files/PocketTarvell"))).removeRecursively();
        Access(*form).acToPocketTarvell()->trigger();
        QVERIFY(prompt.Boxes.back().Text.startsWith(
            QStringLiteral("The Pocket Tarvell directory does not exist on the mobile device.\rMake sure")));
        DisconnectDevice();
        qunsetenv("TARVELL_DEVICE_ROOT");
    }
};

TARVELL_QTEST_MAIN(TestSiteManagerDevice)
#include "tst_fAutoUpdateManagerDevice.moc"
