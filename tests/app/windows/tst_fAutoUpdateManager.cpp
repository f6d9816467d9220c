// The AutoUpdate Manager over a served catalogue and a local one: hiding, deleting and unhiding
// sites, the download question and the lists it fills, the missing local file, the password
// dialog, the Settings page, profiles, placement, closing, site texts shown literally, the web
// page of a site, subscribing from the lists, catalogues that are no catalogues, the stored panel
// width and items view, the bundled pictures, the keyboard's shortcuts; and a picture of it under
// Xvfb.
#include "AppTestSupport.h"
#include "SiteWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAddSite.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windowbase/fProgress.h"
#include "app/windows/uSitePictures.h"
#include "core/uDownload.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "sites/SiteTestSupport.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"
#include "support/CoreTestHooks.h"
#include "ui/AdvGlowButton.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <cmath>
#include <map>

// Test-only access to the two dialogs of the manager, which keep their widgets private.
class TfmPasswordTestAccess {
public:
    explicit TfmPasswordTestAccess(const TfmPassword* form) : F(*form) {}
    QLabel* laUsername() const { return F.laUsername; }
    QLineEdit* edUsername() const { return F.edUsername; }
    QLineEdit* edPassword() const { return F.edPassword; }

private:
    const TfmPassword& F;
};

class TfmTextViewerTestAccess {
public:
    explicit TfmTextViewerTestAccess(const TfmTextViewer* form) : F(*form) {}
    QPlainTextEdit* Memo() const { return F.Memo; }

private:
    const TfmTextViewer& F;
};

namespace {

using Access = TfmSiteManagerTestAccess;

// handmade: two countries, a defined group, markup in texts, a registered POI.
const char* const Catalogue = R"(<?xml version="1.0" encoding="UTF-8"?>
<pois>
  <infourl>%INFO%</infourl>
  <loginmode>%LOGIN%</loginmode>
  <poi><description>Fuel &lt;b&gt;stations&lt;/b&gt;</description><url>/fuel.asc</url><format>asc.genasc</format>
       <map>Germany</map><group>Speed</group><note>&lt;i&gt;Open&lt;/i&gt; late</note>
       <authorization>registered</authorization></poi>
  <poi><description>Cams</description><url>/cams.asc</url><format>asc.genasc</format><map>Germany</map>
       <group>Speed</group></poi>
  <poi><description>Pier</description><url>/pier.asc</url><format>asc.genasc</format><map>Netherlands</map></poi>
  <groups><group><name>Speed</name><description>Speed &lt;cameras&gt;</description><note>Drive safe</note></group></groups>
</pois>)";

const char* const Fuel = "Fuel <b>stations</b>";

// A picture that shows: not null, and drawn at the size the lists use.
bool IsPicture(const QIcon& icon)
{
    return !icon.isNull() && !icon.pixmap(QSize(16, 16)).isNull();
}

// Every file under a folder with its bytes.
std::map<QString, QByteArray> FilesUnder(const QString& folder)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files[file.fileName()] = file.readAll();
    }
    return files;
}

// The tool button that shows the action.
QToolButton* ButtonOf(QWidget* form, const QAction* action)
{
    for (QToolButton* button : form->findChildren<QToolButton*>())
        if (button->defaultAction() == action && button->isVisibleTo(form))
            return button;
    return nullptr;
}

// Clicks the row of the list as the user does.
void ClickRow(QListWidget* list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

QStringList Texts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestSiteManager : public QObject {
    Q_OBJECT
    std::unique_ptr<TLoopbackServer> Server;
    std::unique_ptr<TdmMain> Data;
    QTemporaryDir Files;
    TRecordingSiteManagerHost Host;
    QList<QUrl> Opened;

    QString WebSite() const { return Server->Base() + QStringLiteral("/site.xml"); }
    QString LocalFile() const { return Files.path() + QStringLiteral("/local.xml"); }
    QString LocalSite() const { return QStringLiteral("FILE://") + LocalFile(); }
    static std::string Xml(const QString& info, const QString& login)
    {
        return QString::fromLatin1(Catalogue)
            .replace(QStringLiteral("%INFO%"), info)
            .replace(QStringLiteral("%LOGIN%"), login)
            .toStdString();
    }
    void WriteLocal(const QString& info = QStringLiteral("http://pois.example/info"),
        const QString& login = QStringLiteral("email"))
    {
        SaveBytesToFile(LocalFile(), Xml(info, login));
        ClearSites();
    }
    // The manager over the sites, shown; the site of row select chosen.
    std::unique_ptr<TfmSiteManager> Open(const QStringList& sites, int select = -1)
    {
        GetSettings().Sites = sites;
        auto form = std::make_unique<TfmSiteManager>(nullptr, *Data, &Host);
        form->show();
        if (select >= 0)
            Access(*form).lvSites()->setCurrentRow(select);
        return form;
    }
    TUpdateItems& Profile() { return GetAutoUpdateProfile(0); }

private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
        qputenv("XDG_CACHE_HOME", (TestHome().path() + QStringLiteral("/cache")).toLocal8Bit());
        ResetDataDirCache();
        Data = std::make_unique<TdmMain>();
        Server = std::make_unique<TLoopbackServer>();
        Server->Set("/site.xml", TAnswer().WithBody(Xml(QStringLiteral("file:///etc/passwd"), QStringLiteral("username"))));
        SetUrlOpener([this](const QUrl& url) {
            Opened << url;
            return true;
        });
    }
    void cleanupTestCase() { SetUrlOpener({}); }

    void init()
    {
        ResetSitesAndSettings();
        QFile::remove(LocationToLocalFile(WebSite()));
        WriteLocal();
        Opened.clear();
        Host = TRecordingSiteManagerHost();
    }

    // A built-in site offers Hide, an added one Del; hidden sites come back with "unhide" and stay
    // in the list of sites when the window closes.
    void hideDeleteAndUnhide()
    {
        TScriptedPrompt prompt;
        const QString builtIn = BuiltInSites().first();
        auto item = std::make_unique<TUpdateItem>();
        item->Site = LocalSite();
        item->Target = QStringLiteral("FILE:///tmp/x.ov2");
        Profile().Add(std::move(item));
        Profile().Save();
        // The first visit shows the product's own site, without asking while the list fills.
        auto form = Open({ builtIn, LocalSite() });
        QCOMPARE(form->SelectedSite(), builtIn);
        QCOMPARE(Access(*form).acDeleteSite()->text(), QStringLiteral("Hide"));
        QVERIFY(prompt.Boxes.empty());
        Access(*form).lvSites()->setCurrentRow(1);
        QCOMPARE(Access(*form).acDeleteSite()->text(), QStringLiteral("Del"));

        // No copy of it yet: No to the download question, then Yes to hiding it.
        prompt.Answers = { IDNO, IDYES };
        Access(*form).lvSites()->setCurrentRow(0);
        QVERIFY(prompt.Boxes.back().Text.startsWith(QStringLiteral("Site information of")));
        Access(*form).acDeleteSite()->trigger();
        QCOMPARE(Texts(Access(*form).lvSites()), QStringList { LocalSite() });
        QCOMPARE(GetSettings().HiddenSites, QStringList { builtIn });
        QCOMPARE(Access(*form).laNrHidden()->text(), QStringLiteral("1 "));
        QCOMPARE(Access(*form).laNrSites()->text(), QStringLiteral(" 1"));

        prompt.Answers = { IDNO };
        form->laHiddenClick();
        QCOMPARE(Texts(Access(*form).lvSites()), QStringList { LocalSite() });
        prompt.Answers = { IDYES };
        form->laHiddenClick();
        QCOMPARE(Texts(Access(*form).lvSites()), QStringList({ builtIn, LocalSite() }));
        QVERIFY(GetSettings().HiddenSites.isEmpty());
        prompt.Answers = { IDYES };
        form->laHiddenClick();
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("No hidden sites to show!"));

        // Hide again (the list shows that site again, chosen), then delete the added site with its
        // items, then close.
        prompt.Answers = { IDYES };
        Access(*form).lvSites()->setCurrentRow(0);
        Access(*form).acDeleteSite()->trigger();
        QCOMPARE(Texts(Access(*form).lvSites()), QStringList { LocalSite() });
        Access(*form).lvSites()->setCurrentRow(0);
        prompt.Answers = { IDNO };
        Access(*form).acDeleteSite()->trigger();
        QCOMPARE(Access(*form).lvSites()->count(), 1);
        prompt.Answers = { IDYES };
        Access(*form).acDeleteSite()->trigger();
        QCOMPARE(Access(*form).lvSites()->count(), 0);
        QCOMPARE(Profile().Count(), 0);
        form->close();
        QCOMPARE(GetSettings().Sites, QStringList { builtIn });
        ResetSettingsForTests();
        QVERIFY(GetSettings().Sites.contains(builtIn));
        QCOMPARE(GetSettings().HiddenSites, QStringList { builtIn });
        QVERIFY(!GetSettings().GetVisibleSites().contains(builtIn));
        QVERIFY(!GetSettings().Sites.contains(LocalSite()));
    }

    // A web site without a copy: Yes downloads it and the lists fill; the address is shown without
    // credentials.
    void downloadQuestionAndTheListsItFills()
    {
        TScriptedPrompt prompt;
        const QString secret = QStringLiteral("http://user:pw@127.0.0.1:%1/site.xml").arg(Server->Port);
        QFile::remove(LocationToLocalFile(secret));
        prompt.Answers = { IDYES };
        auto form = Open({ secret }, 0);
        QTRY_VERIFY(Access(*form).lvMaps()->count() > 0);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("Site information of http://127.0.0.1:%1/site.xml has not yet been downloaded. Do you want "
                           "to download it now?")
                .arg(Server->Port));
        QCOMPARE(Access(*form).laSite()->text(), QStringLiteral("http://127.0.0.1:%1/site.xml").arg(Server->Port));
        QCOMPARE(Texts(Access(*form).lvMaps()), QStringList({ "Germany", "Netherlands" }));
        QCOMPARE(Texts(Access(*form).lvGroups()), QStringList({ "Speed <cameras>", "[All]" }));
        QCOMPARE(Access(*form).lvItems()->topLevelItemCount(), 2);
        // Registered POIs: the access page of registered sites.
        QCOMPARE(Access(*form).Notebook1()->currentIndex(), 1);
        QVERIFY(Access(*form).acPassword()->isEnabled());
        Access(*form).lvMaps()->setCurrentRow(1);
        QCOMPARE(Texts(Access(*form).lvGroups()), QStringList({ "[All]" }));
        QCOMPARE(Access(*form).lvItems()->topLevelItem(0)->text(0), QStringLiteral("Pier"));
        QCOMPARE(Server->Count("/site.xml"), 1);
        // No: the site is shown without its lists.
        QFile::remove(LocationToLocalFile(WebSite()));
        ClearSites();
        prompt.Answers = { IDNO };
        auto other = Open({ WebSite() }, 0);
        QCOMPARE(Access(*other).lvMaps()->count(), 0);
        QVERIFY(!Access(*other).lvMaps()->isEnabled());
        QCOMPARE(Access(*other).laSite()->text(), WebSite());
    }

    void missingLocalFileWarns()
    {
        TScriptedPrompt prompt;
        const QString gone = QStringLiteral("FILE://") + Files.path() + QStringLiteral("/gone.xml");
        auto form = Open({ LocalSite(), gone });
        Access(*form).lvSites()->setCurrentRow(1);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("File %1/gone.xml does no longer exist. Please restore it or remove it from the AutoUpdate "
                           "Manager site list")
                .arg(Files.path()));
        QCOMPARE(Access(*form).lvMaps()->count(), 0);
        Access(*form).lvSites()->setCurrentRow(0);
        QCOMPARE(Access(*form).lvMaps()->count(), 2);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(Access(*form).Notebook1()->currentIndex(), 3);
        QVERIFY(!Access(*form).acUpdateSite()->isEnabled());
    }

    void passwordDialog_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("label");
        QTest::newRow("email") << "email" << "Email:";
        QTest::newRow("username") << "USERNAME" << "Username:";
        QTest::newRow("other") << "ticket" << "Login:";
    }

    void passwordDialog()
    {
        QFETCH(QString, login);
        QFETCH(QString, label);
        WriteLocal(QString(), login);
        WriteSiteConfig(LocalSite(), QStringLiteral("Username"), QStringLiteral("old"));
        WriteSitePassword(LocalSite(), QStringLiteral("older"));
        auto form = Open({ LocalSite() }, 0);
        QVERIFY(Access(*form).acPassword()->isEnabled());
        QStringList seen;
        TOnNextModal answer([&](QDialog* dialog) {
            auto* password = qobject_cast<TfmPassword*>(dialog);
            QVERIFY(password);
            const TfmPasswordTestAccess fields(password);
            seen << fields.laUsername()->text() << fields.edUsername()->text() << fields.edPassword()->text()
                 << password->windowTitle();
            fields.edUsername()->setText(QStringLiteral("me@example"));
            fields.edPassword()->setText(QStringLiteral("s3cret"));
            password->accept();
        });
        Access(*form).acPassword()->trigger();
        QVERIFY(answer.Ran);
        QCOMPARE(seen, QStringList({ label, "old", "older", "Set/change password..." }));
        QCOMPARE(ReadSiteConfig(LocalSite(), QStringLiteral("Username")), QStringLiteral("me@example"));
        QCOMPARE(ReadSiteConfig(LocalSite(), QStringLiteral("Password.v2")),
            QString::fromLatin1(StrToHex(ScrambleText("s3cret", SitePasswordKey))));
        QCOMPARE(ReadSitePassword(LocalSite()), QStringLiteral("s3cret"));
    }

    // Each control of the Settings page writes its setting at once.
    void settingsPage()
    {
        TScriptedPrompt prompt;
        TSettings& settings = GetSettings();
        settings.AutoUpdateDelay = 5;
        settings.HTVAlternateDir = QStringLiteral("\\Program Files\\Pocket");
        auto form = Open({ LocalSite() });
        form->SetPage(TfmSiteManager::PageSettings);
        QVERIFY(Access(*form).cbAlternateDir()->isChecked());
        QVERIFY(Access(*form).edAlternateDir()->isEnabled());
        QCOMPARE(Access(*form).edAutoUpdateDelay()->text(), QStringLiteral("5"));
        const struct {
            QCheckBox* Box;
            bool* Setting;
        } boxes[] = {
            { Access(*form).cbDownloadImages(), &settings.DownloadImages },
            { Access(*form).cbAlwaysOverwrite(), &settings.AlwaysOverwrite },
            { Access(*form).cbAutoclose(), &settings.StatusAutoClose },
            { Access(*form).cbAutoUpdateApplication(), &settings.AutoUpdateApplicationEnabled },
            { Access(*form).cbUponDeviceConnect(), &settings.AutoUpdateActiveSync },
            { Access(*form).cbUpdateUSB(), &settings.AutoUpdateUSB },
        };
        for (const auto& b : boxes) {
            const bool before = *b.Setting;
            b.Box->click();
            QCOMPARE(*b.Setting, !before);
            b.Box->click();
            QCOMPARE(*b.Setting, before);
        }
        QTest::keyClicks(Access(*form).edAutoUpdateAppParams(), "-q");
        QCOMPARE(settings.AutoUpdateAppParams, QStringLiteral("-q"));
        // The up-down: 0..60, the setting follows.
        Access(*form).udAutoUpdateDelay()->setValue(61);
        QCOMPARE(settings.AutoUpdateDelay, 60);
        QCOMPARE(Access(*form).edAutoUpdateDelay()->text(), QStringLiteral("60"));
        Access(*form).edAutoUpdateDelay()->setText(QStringLiteral("12"));
        form->edAutoUpdateDelayExit();
        QCOMPARE(settings.AutoUpdateDelay, 12);
        Access(*form).edAutoUpdateDelay()->setText(QStringLiteral("1x"));
        QCOMPARE(MessageOf([&] { form->edAutoUpdateDelayExit(); }), QStringLiteral("'1x' is not a valid integer value"));
        QCOMPARE(Access(*form).edAutoUpdateDelay()->text(), QStringLiteral("12"));
        QCOMPARE(settings.AutoUpdateDelay, 12);
        // The application: a missing one is warned about when the box is ticked.
        Access(*form).cbAutoUpdateApplication()->setChecked(true);
        Access(*form).edAutoUpdateApplication()->setText(QStringLiteral("/no/such/program"));
        form->edAutoUpdateApplicationExit();
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("The entered application does not exist on this location."));
        QCOMPARE(settings.AutoUpdateApplication, QStringLiteral("/no/such/program"));
        const size_t boxesBefore = prompt.Boxes.size();
        Access(*form).edAutoUpdateApplication()->setText(QStringLiteral(TARVELL_EXE));
        form->edAutoUpdateApplicationExit();
        QCOMPARE(prompt.Boxes.size(), boxesBefore);
        // Unticking the alternate directory empties it.
        Access(*form).cbAlternateDir()->click();
        QVERIFY(!Access(*form).edAlternateDir()->isEnabled());
        QCOMPARE(settings.HTVAlternateDir, QString());
    }

    void profilesAddedAndDeleted()
    {
        TScriptedPrompt prompt;
        auto form = Open({ LocalSite() }, 0);
        QVERIFY(Access(*form).paProfile()->isHidden());
        QVERIFY(Access(*form).paProfileAll()->isHidden());
        form->SetPage(TfmSiteManager::PageProfiles);
        QCOMPARE(Access(*form).lvProfiles()->topLevelItemCount(), 1);
        QCOMPARE(Access(*form).lvProfiles()->topLevelItem(0)->text(0), QStringLiteral("Default"));
        prompt.InputAnswers = { QString() };
        Access(*form).acProfilesAdd()->trigger();
        QCOMPARE(AutoUpdateProfileCount(), 1);
        prompt.InputAnswers = { QStringLiteral(" ") };
        Access(*form).acProfilesAdd()->trigger();
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("Invalid profile name \" \"."));
        prompt.InputAnswers = { QStringLiteral("Car") };
        Access(*form).acProfilesAdd()->trigger();
        QCOMPARE(AutoUpdateProfileCount(), 2);
        QVERIFY(CreateSettingsStore()->SectionExists(QStringLiteral("AutoUpdateItems.Car")));
        QVERIFY(!Access(*form).paProfile()->isHidden());
        QVERIFY(!Access(*form).paProfileAll()->isHidden());
        QCOMPARE(Access(*form).coProfiles()->count(), 2);
        prompt.InputAnswers = { QStringLiteral("car") };
        Access(*form).acProfilesAdd()->trigger();
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("Profile with name \"car\" already exists."));

        // The include boxes set the selected profile's flags.
        Access(*form).lvProfiles()->topLevelItem(1)->setSelected(true);
        QVERIFY(Access(*form).cbIncludeAUC()->isEnabled());
        Access(*form).cbIncludeAUC()->click();
        QVERIFY(FindAutoUpdateProfile(QStringLiteral("Car")).AutoUpdateActiveSync);
        QCOMPARE(Access(*form).lvProfiles()->topLevelItem(1)->text(1), QStringLiteral("*"));
        // Choosing it in a selector makes it the current profile, for both selectors.
        Access(*form).coProfilesAllItems()->setCurrentIndex(1);
        emit Access(*form).coProfilesAllItems()->activated(1);
        QCOMPARE(GetSettings().SelectedProfile, QStringLiteral("Car"));
        QCOMPARE(Access(*form).coProfiles()->currentIndex(), 1);
        QCOMPARE(&form->CurrentProfile(), &FindAutoUpdateProfile(QStringLiteral("Car")));

        Access(*form).lvProfiles()->clearSelection();
        Access(*form).lvProfiles()->topLevelItem(0)->setSelected(true);
        QVERIFY(!Access(*form).acProfilesDel()->isEnabled());
        Access(*form).lvProfiles()->clearSelection();
        Access(*form).lvProfiles()->topLevelItem(1)->setSelected(true);
        QVERIFY(Access(*form).acProfilesDel()->isEnabled());
        prompt.Answers = { IDYES };
        Access(*form).acProfilesDel()->trigger();
        QCOMPARE(AutoUpdateProfileCount(), 1);
        QVERIFY(!CreateSettingsStore()->SectionExists(QStringLiteral("AutoUpdateItems.Car")));
        QVERIFY(Access(*form).paProfile()->isHidden());
        QCOMPARE(&form->CurrentProfile(), &GetAutoUpdateProfile(0));
    }

    void storedWidthIsClampedToTheWorkArea()
    {
        const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
        TSettings& settings = GetSettings();
        settings.SiteManagerLeft = work.left() + 100;
        settings.SiteManagerTop = work.top() + 50;
        settings.SiteManagerWidth = work.width() + 500;
        settings.SiteManagerHeight = 300;
        settings.SiteManagerLeftPanel = 100000;
        TfmSiteManager form(nullptr, *Data, &Host);
        QCOMPARE(form.x(), work.left() + 100);
        QCOMPARE(form.width(), work.width() - 100);
        QCOMPARE(form.height(), 300);
    }

    // Centred on a small main window in the screen's corner, the manager is moved onto the screen.
    void centredOnASmallOwnerStaysOnTheScreen()
    {
        const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget owner;
        owner.setGeometry(work.right() - 200, work.bottom() - 150, 200, 150);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        TfmSiteManager form(&owner, *Data, &Host);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY2(work.contains(form.frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
            .arg(form.frameGeometry().x()).arg(form.frameGeometry().y()).arg(form.frameGeometry().width()).arg(form.frameGeometry().height())));
        form.close();
    }

    void closingStoresTheWindowAndAnEmptyMap()
    {
        TSettings& settings = GetSettings();
        settings.SiteManagerMap = QStringLiteral("Germany");
        settings.SiteManagerGroup = QStringLiteral("[All]");
        const QString gone = QStringLiteral("FILE://") + Files.path() + QStringLiteral("/gone.xml");
        TScriptedPrompt prompt;
        int width = 0;
        int height = 0;
        {
            auto form = Open({ gone }, 0);
            form->resize(900, 640);
            width = form->width();
            height = form->height();
            form->close();
        }
        QCOMPARE(settings.SiteManagerUrl, gone);
        QCOMPARE(settings.SiteManagerMap, QString());
        QCOMPARE(settings.SiteManagerGroup, QString());
        QCOMPARE(settings.SiteManagerWidth, width);
        QCOMPARE(settings.SiteManagerHeight, height);
        QVERIFY(!settings.SiteManagerMaximized);
        // Saved: a fresh settings object reads the same.
        ResetSettingsForTests();
        QCOMPARE(GetSettings().SiteManagerMap, QString());
        QCOMPARE(GetSettings().SiteManagerWidth, width);
        // The next visit comes back to the stored site, map and group.
        WriteLocal();
        GetSettings().SiteManagerUrl = LocalSite();
        GetSettings().SiteManagerMap = QStringLiteral("Netherlands");
        GetSettings().SiteManagerGroup = QStringLiteral("[All]");
        auto again = Open({ gone, LocalSite() });
        QCOMPARE(again->SelectedSite(), LocalSite());
        QCOMPARE(Access(*again).lvMaps()->currentItem()->text(), QStringLiteral("Netherlands"));
        QCOMPARE(Access(*again).lvGroups()->currentItem()->text(), QStringLiteral("[All]"));
    }

    // Catalogue texts are shown as the characters they are, in lists, labels and the note.
    void markupInCatalogueTextsIsShownLiterally()
    {
        auto item = std::make_unique<TUpdateItem>();
        item->Site = LocalSite();
        item->Description = QString::fromLatin1(Fuel);
        item->Target = QStringLiteral("FILE:///tmp/fuel.asc");
        item->FormatID = QStringLiteral("genasc");
        Profile().Add(std::move(item));
        auto form = Open({ LocalSite() }, 0);
        QCOMPARE(Access(*form).lvGroups()->item(0)->text(), QStringLiteral("Speed <cameras>"));
        QTreeWidgetItem* fuel = Access(*form).lvItems()->topLevelItem(0);
        QCOMPARE(fuel->text(0), QString::fromLatin1(Fuel));
        QCOMPARE(fuel->text(2), QStringLiteral("Registered"));
        QVERIFY(fuel->text(4).startsWith(QStringLiteral("FILE:///tmp/fuel.asc (")));
        fuel->setSelected(true);
        QVERIFY(Access(*form).paNote()->isVisibleTo(form.get()));
        QCOMPARE(Access(*form).meNote()->toPlainText(), QStringLiteral("<i>Open</i> late"));
        for (const QLabel* label : form->findChildren<QLabel*>())
            if (label->text().contains(QChar('<')))
                QCOMPARE(label->textFormat(), Qt::PlainText);
        // A row not subscribed shows no note.
        fuel->setSelected(false);
        Access(*form).lvItems()->topLevelItem(1)->setSelected(true);
        QCOMPARE(Access(*form).meNote()->toPlainText(), QString());
    }

    void websiteOpensOnlyWebPages()
    {
        // An address that is no web page leaves the command disabled.
        WriteLocal(QStringLiteral(" file:///etc/passwd "));
        auto form = Open({ LocalSite() }, 0);
        QVERIFY(!Access(*form).actWebsite()->isEnabled());
        Access(*form).actWebsite()->trigger();
        QVERIFY(Opened.isEmpty());
        WriteLocal(QStringLiteral("www.pois.example/info"));
        QVERIFY(!Access(*Open({ LocalSite() }, 0)).actWebsite()->isEnabled());
        WriteLocal(QStringLiteral(" https://pois.example/info "));
        auto web = Open({ LocalSite() }, 0);
        QVERIFY(Access(*web).actWebsite()->isEnabled());
        Access(*web).actWebsite()->trigger();
        QCOMPARE(Opened, QList<QUrl> { QUrl(QStringLiteral("https://pois.example/info")) });
        Access(*web).acSites()->trigger();
        QCOMPARE(Opened.last(), QUrl(ProductWebSite() + QStringLiteral("/sites.htm")));
        WriteLocal(QString());
        auto none = Open({ LocalSite() }, 0);
        QVERIFY(!Access(*none).actWebsite()->isEnabled());
    }

    // Subscribing from the site items: a new item, the row marked, retargeted by a double-click,
    // seen in All Items, unsubscribed there beside another site's item.
    void subscribingFromTheLists()
    {
        TScriptedPrompt prompt;
        GetSettings().InitialDir = Files.path();
        auto form = Open({ LocalSite() }, 0);
        Access(*form).lvGroups()->setCurrentRow(1);
        QCOMPARE(Access(*form).lvItems()->topLevelItemCount(), 2);
        QVERIFY(!Access(*form).acSubscribeLocal()->isEnabled());
        Access(*form).lvItems()->topLevelItem(1)->setSelected(true);
        QVERIFY(Access(*form).acSubscribeLocal()->isEnabled());
        QVERIFY(!Access(*form).acUnsubscribe()->isEnabled());
        prompt.SaveAnswers = { { Files.path() + QStringLiteral("/cams"), 1 } };
        Access(*form).acSubscribeLocal()->trigger();
        QCOMPARE(prompt.SaveRequests.back().Title, QStringLiteral("Specify local target..."));
        QCOMPARE(prompt.SaveRequests.back().Files, QStringList { Files.path() + QStringLiteral("/Cams.asc") });
        QCOMPARE(Profile().Count(), 1);
        const QString target = QStringLiteral("FILE://") + Files.path() + QStringLiteral("/cams")
            + TConvertToBase::Extension(0);
        QCOMPARE(Profile().GetItem(0).Target, target);
        QVERIFY(Access(*form).lvItems()->topLevelItem(1)->text(4).startsWith(target));
        QVERIFY(Access(*form).lvItems()->topLevelItem(1)->isSelected());
        QVERIFY(Access(*form).acUnsubscribe()->isEnabled());
        // A double-click on a local subscription subscribes it locally again: the same item.
        const int asc = TConvertToBase::IndexOf(QStringLiteral(".asc"), QStringLiteral("genasc"));
        prompt.SaveAnswers = { { Files.path() + QStringLiteral("/other.asc"), asc + 1 } };
        form->ItemsDoubleClick(false);
        QCOMPARE(prompt.SaveRequests.back().Files, QStringList { StripFilePrefix(target) });
        QCOMPARE(Profile().Count(), 1);
        QCOMPARE(Profile().GetItem(0).Target, QStringLiteral("FILE://") + Files.path() + QStringLiteral("/other.asc"));

        auto other = std::make_unique<TUpdateItem>();
        other->Site = WebSite();
        other->Description = QStringLiteral("Cams");
        other->Target = QStringLiteral("FILE://") + Files.path() + QStringLiteral("/other.asc");
        Profile().Add(std::move(other));
        Profile().Save();
        form->SetPage(TfmSiteManager::PageAllItems);
        QCOMPARE(Access(*form).lvSubscribed()->topLevelItemCount(), 2);
        QVERIFY(!Access(*form).acSubUnsub()->isEnabled());
        Access(*form).lvSubscribed()->topLevelItem(1)->setSelected(true);
        QVERIFY(Access(*form).acSubUnsub()->isEnabled());
        prompt.Answers = { IDYES };
        Access(*form).acSubUnsub()->trigger();
        QCOMPARE(Profile().Count(), 1);
        QCOMPARE(Profile().GetItem(0).Site, LocalSite());
        QCOMPARE(Access(*form).lvSubscribed()->topLevelItemCount(), 1);

        // Update Selection runs through the main window's runs.
        Access(*form).lvSubscribed()->topLevelItem(0)->setSelected(true);
        TModalCloser closer;
        Access(*form).acSubUpdate()->trigger();
        QCOMPARE(Host.Runs, 1);
        QCOMPARE(closer.Titles, QStringList { "Tarvell AutoUpdate Status..." });

        // Unsubscribing on the sites page, with the Delete key.
        form->SetPage(TfmSiteManager::PageSites);
        Access(*form).lvItems()->clearSelection();
        Access(*form).lvItems()->topLevelItem(1)->setSelected(true);
        Access(*form).lvItems()->setFocus();
        prompt.Answers = { IDYES };
        QTest::keyClick(Access(*form).lvItems(), Qt::Key_Delete);
        QCOMPARE(Profile().Count(), 0);
    }

    // Adding refuses a listed location and one with "|"; the raw catalogue shows read-only.
    void addSiteAndViewTheRawCatalogue()
    {
        TScriptedPrompt prompt;
        auto form = Open({ LocalSite() }, 0);
        auto add = [&](const QString& location) {
            TOnNextModal answer([&](QDialog* dialog) {
                auto* adding = qobject_cast<TfmAddSite*>(dialog);
                QVERIFY(adding);
                adding->SetLocation(location);
                adding->accept();
            });
            Access(*form).acSiteAdd()->trigger();
            QVERIFY(answer.Ran);
        };
        add(QStringLiteral(" ") + LocalSite().toLower().replace(QStringLiteral("file://"), QStringLiteral("FILE://")) + QStringLiteral(" "));
        add(QStringLiteral("http://pois.example/a|b.xml"));
        QCOMPARE(prompt.Boxes.size(), size_t(2));
        QCOMPARE(prompt.Boxes[1].Text, QStringLiteral("A site location cannot contain \"|\"."));
        QCOMPARE(Access(*form).lvSites()->count(), 1);
        add(QStringLiteral(" ") + WebSite() + QStringLiteral(" "));
        QCOMPARE(Texts(Access(*form).lvSites()), QStringList({ LocalSite(), WebSite() }));
        QCOMPARE(form->SelectedSite(), WebSite());
        QCOMPARE(GetSettings().Sites, QStringList({ LocalSite(), WebSite() }));
        // No copy of the new site: the view refuses.
        Access(*form).acViewRawXml()->trigger();
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("Cannot find the site xml index file."));
        Access(*form).lvSites()->setCurrentRow(0);
        QString shown;
        TOnNextModal view([&](QDialog* dialog) {
            auto* viewer = qobject_cast<TfmTextViewer*>(dialog);
            QVERIFY(viewer);
            QVERIFY(TfmTextViewerTestAccess(viewer).Memo()->isReadOnly());
            shown = TfmTextViewerTestAccess(viewer).Memo()->toPlainText();
            viewer->reject();
        });
        Access(*form).acViewRawXml()->trigger();
        QVERIFY(shown.contains(QStringLiteral("<loginmode>email</loginmode>")));
    }

    void sortMarkCyclesOnTheNameHeader()
    {
        auto form = Open({ LocalSite() }, 0);
        auto names = [&] {
            QStringList out;
            for (int i = 0; i < Access(*form).lvItems()->topLevelItemCount(); ++i)
                out << Access(*form).lvItems()->topLevelItem(i)->text(0);
            return out;
        };
        QCOMPARE(names(), QStringList({ Fuel, "Cams" }));
        form->ItemsHeaderClick(1);
        QCOMPARE(names(), QStringList({ Fuel, "Cams" }));
        form->ItemsHeaderClick(0);
        QCOMPARE(names(), QStringList({ "Cams", Fuel }));
    }

    void autoUpdateNowWithOneAndWithTwoProfiles()
    {
        auto form = Open({ LocalSite() }, 0);
        TModalCloser closer;
        Access(*form).acAutoUpdate()->trigger();
        QCOMPARE(Host.Runs, 1);
        auto item = std::make_unique<TUpdateItem>();
        item->Site = LocalSite();
        AddAutoUpdateProfile(QStringLiteral("Car")).Add(std::move(item));
        Access(*form).acAutoUpdate()->trigger();
        QCOMPARE(Host.Runs, 1);
        QTRY_VERIFY(Access(*form).pmAutoUpdate()->isVisible());
        QStringList items;
        for (QAction* item : Access(*form).pmAutoUpdate()->actions())
            items << item->text();
        QCOMPARE(items, QStringList({ "AutoUpdate &All Profiles", "AutoUpdate &Default", "AutoUpdate &Car" }));
        Access(*form).pmAutoUpdate()->actions().at(2)->trigger();
        QCOMPARE(Host.Clicks, QList<int> { 1 });
        Access(*form).pmAutoUpdate()->hide();
    }

    // Without a folder to start in, "Specify local target..." starts in the home folder.
    void localTargetStartsAtHome()
    {
        TScriptedPrompt prompt;
        GetSettings().InitialDir.clear();
        auto form = Open({ LocalSite() }, 0);
        Access(*form).lvItems()->topLevelItem(1)->setSelected(true);
        QTest::mouseClick(ButtonOf(form.get(), Access(*form).acSubscribeLocal()), Qt::LeftButton);
        QCOMPARE(prompt.SaveRequests.size(), size_t(1));
        QCOMPARE(prompt.SaveRequests[0].InitialDir, QDir::homePath());
        QCOMPARE(prompt.SaveRequests[0].Files, QStringList { QDir::homePath() + QStringLiteral("/Cams.asc") });
        QCOMPARE(Profile().Count(), 0);
    }

    // What the Update command fetches for a web site: a page, a catalogue missing a node, broken
    // XML, an answer too long, a trickle (limits shortened), one cancelled from the progress
    // dialog. Each is a plain warning naming the site and the cause (no crash report), the cached
    // copy stays byte for byte, and the window shows the site as its copy has it.
    void answersThatAreNoCatalogue_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("cause");
        QTest::newRow("page") << "<html><body><form action=\"/login\"/></body></html>" << 0
                              << "Invalid site xml: the document element is \"html\" instead of \"pois\"";
        QTest::newRow("missing node") << "<pois><groups><group><description>d</description></group></groups></pois>"
                                      << 0 << "Missing pois/groups/group/name node";
        QTest::newRow("ill-formed") << "<pois><poi>" << 0 << "Invalid xml";
        QTest::newRow("too long") << QString(2 * 1024 * 1024, QChar('x')) << 0
                                  << "The answer of %1 is larger than 1048576 bytes";
        QTest::newRow("trickle") << QString() << 1 << "Unable to download %1";
        QTest::newRow("cancelled") << QString() << 2 << QString();
    }
    void answersThatAreNoCatalogue()
    {
        QFETCH(QString, body);
        QFETCH(int, mode);
        QFETCH(QString, cause);
        TScriptedPrompt prompt;
        TReporterRecorder reporter;
        const TDownloadLimits oldLimits = DownloadLimits();
        DownloadLimits().LowSpeedTime = 1;
        DownloadLimits().MaxCatalogueSize = 1024 * 1024;
        struct TRestore {
            TDownloadLimits Limits;
            ~TRestore() { DownloadLimits() = Limits; }
        } restore { oldLimits };
        const QString site = Server->Base() + QStringLiteral("/fault.xml");
        QFile::remove(LocationToLocalFile(site));
        Server->Set(
            "/fault.xml", TAnswer().WithBody(Xml(QStringLiteral("http://pois.example/info"), QStringLiteral("email"))));
        prompt.Answers = { IDYES };
        auto form = Open({ site, LocalSite() }, 0);
        QTRY_COMPARE(Access(*form).lvMaps()->count(), 2);
        const QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        const auto cached = FilesUnder(cacheFolder);
        const auto data = FilesUnder(GetDataDir());

        Server->Set("/fault.xml", TAnswer().WithBody(body.toStdString()).WithStall(mode != 0));
        // Cancel, pressed once the download runs.
        int cancels = 0;
        QTimer press;
        press.setInterval(20);
        connect(&press, &QTimer::timeout, this, [&] {
            auto* progress = qobject_cast<TfmProgress*>(QApplication::activeModalWidget());
            if (mode != 2 || !progress || Server->Count("/fault.xml") < 2 || cancels > 0)
                return;
            ++cancels;
            QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        });
        press.start();
        const size_t boxes = prompt.Boxes.size();
        QTest::mouseClick(ButtonOf(form.get(), Access(*form).acUpdateSite()), Qt::LeftButton);
        press.stop();
        QCOMPARE(prompt.Boxes.size(), boxes + 1);
        const QString shown = prompt.Boxes.back().Text;
        if (mode == 2)
            QCOMPARE(shown, QStringLiteral("Download cancelled by user."));
        else
            QVERIFY2(shown.startsWith(QStringLiteral("Cannot download \"%1\" because the following error: \r\r%2.")
                                          .arg(site, cause.contains(QStringLiteral("%1")) ? cause.arg(site) : cause)),
                qPrintable(shown));
        QVERIFY(TReporterRecorder::Records().empty());
        QCOMPARE(FilesUnder(cacheFolder), cached);
        QCOMPARE(FilesUnder(GetDataDir()), data);
        QCOMPARE(Access(*form).laSite()->text(), site);
        QCOMPARE(form->ShownSite(), &GetSite(site));
        QCOMPARE(Texts(Access(*form).lvMaps()), QStringList({ "Germany", "Netherlands" }));
        // The other site and back: the copy as it was.
        ClickRow(Access(*form).lvSites(), 1);
        QCOMPARE(Access(*form).laSite()->text(), LocalSite());
        ClickRow(Access(*form).lvSites(), 0);
        QCOMPARE(Texts(Access(*form).lvMaps()), QStringList({ "Germany", "Netherlands" }));
        QVERIFY(TReporterRecorder::Records().empty());
    }

    // A local catalogue that does not load is a plain warning each time it is chosen; the window
    // then shows no site's lists under its title, never the previous site's.
    void aCatalogueThatDoesNotLoad()
    {
        TScriptedPrompt prompt;
        TReporterRecorder reporter;
        const QString brokenFile = Files.path() + QStringLiteral("/broken.xml");
        SaveBytesToFile(brokenFile, "<pois><groups><group><description>d</description></group></groups></pois>");
        const QString broken = QStringLiteral("FILE://") + brokenFile;
        auto form = Open({ LocalSite(), broken }, 0);
        QCOMPARE(Access(*form).lvMaps()->count(), 2);
        for (int round = 0; round < 2; ++round) {
            ClickRow(Access(*form).lvSites(), 1);
            QCOMPARE(prompt.Boxes.size(), size_t(round + 1));
            QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("Missing pois/groups/group/name node."));
            QCOMPARE(form->SelectedSite(), broken);
            QCOMPARE(form->ShownSite(), nullptr);
            QCOMPARE(Access(*form).laSite()->text(), broken);
            QCOMPARE(Access(*form).lvMaps()->count(), 0);
            QCOMPARE(Access(*form).lvItems()->topLevelItemCount(), 0);
            QVERIFY(!Access(*form).Notebook1()->isVisibleTo(form.get()));
            ClickRow(Access(*form).lvSites(), 0);
            QCOMPARE(form->ShownSite(), &GetSite(LocalSite()));
            QCOMPARE(Access(*form).lvMaps()->count(), 2);
        }
        QVERIFY(TReporterRecorder::Records().empty());
    }

    // The left panel comes back at its stored width (at most three quarters of the window), and
    // the site items list in its stored view; closing stores both.
    void panelWidthAndItemsViewAreKept_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("view");
        QTest::newRow("327, list") << 327 << 2;
        QTest::newRow("too wide, icons") << 100000 << 0;
        QTest::newRow("details") << 250 << 3;
    }
    void panelWidthAndItemsViewAreKept()
    {
        QFETCH(int, stored);
        QFETCH(int, view);
        GetSettings().SiteManagerLeftPanel = stored;
        GetSettings().SiteManagerItemsView = view;
        GetSettings().SiteManagerWidth = 900;
        auto form = Open({ LocalSite() }, 0);
        const int clamp = int(std::lround(form->width() * 0.75));
        if (stored <= clamp)
            QCOMPARE(Access(*form).paLeft()->width(), stored);
        else // the right side keeps its minimum width
            QVERIFY2(Access(*form).paLeft()->width() <= clamp && Access(*form).paLeft()->width() > 327,
                qPrintable(QString::number(Access(*form).paLeft()->width())));
        const int expected = Access(*form).paLeft()->width();
        QCOMPARE(Access(*form).lvItems()->isHeaderHidden(), view != 3);
        QCOMPARE(Access(*form).lvItems()->isColumnHidden(4), view != 3);
        QCOMPARE(Access(*form).lvItems()->iconSize(), view == 0 ? QSize(32, 32) : QSize(16, 16));
        // Every button of the site tool bar is in view, none behind an overflow arrow.
        for (QAction* action :
            { Access(*form).acDeleteSite(), Access(*form).acViewRawXml(), Access(*form).acUpdateSite(), Access(*form).acSiteAdd(), Access(*form).acSites() })
            QVERIFY2(ButtonOf(form.get(), action), qPrintable(action->objectName()));
        form->close();
        QCOMPARE(GetSettings().SiteManagerLeftPanel, expected);
        QCOMPARE(GetSettings().SiteManagerItemsView, view);
    }

    // Every picture of the window is one of the bundled ones and shows, whatever the icon theme:
    // the commands, web and local site rows, maps, groups and POI rows.
    void everyPictureIsBundled()
    {
        for (const QString& name : SitePictureNames())
            QVERIFY2(IsPicture(SitePicture(name.toLatin1().constData())), qPrintable(name));
        auto form = Open({ WebSite(), LocalSite() }, 1);
        for (QAction* action : form->findChildren<QAction*>())
            if (!action->icon().isNull())
                QVERIFY2(IsPicture(action->icon()), qPrintable(action->objectName()));
        for (QAction* action : { Access(*form).acUpdateSite(), Access(*form).acDeleteSite(), Access(*form).acSiteAdd(), Access(*form).acViewRawXml(),
                 Access(*form).acSites(), Access(*form).actWebsite(), Access(*form).acPassword(), Access(*form).acStartWizard(), Access(*form).acAutoUpdate(),
                 Access(*form).acSubscribeLocal(), Access(*form).acSubscribePDA(), Access(*form).acUnsubscribe() })
            QVERIFY2(IsPicture(action->icon()), qPrintable(action->objectName()));
        for (int i = 0; i < Access(*form).lvSites()->count(); ++i)
            QVERIFY2(IsPicture(Access(*form).lvSites()->item(i)->icon()), qPrintable(Access(*form).lvSites()->item(i)->text()));
        QVERIFY(Access(*form).lvSites()->item(0)->icon().cacheKey() != Access(*form).lvSites()->item(1)->icon().cacheKey());
        QVERIFY(IsPicture(Access(*form).lvMaps()->item(0)->icon()));
        QVERIFY(IsPicture(Access(*form).lvGroups()->item(0)->icon()));
        QVERIFY(IsPicture(Access(*form).lvItems()->topLevelItem(0)->icon(0)));
        for (QPushButton* button : form->findChildren<QPushButton*>())
            if (!button->icon().isNull())
                QVERIFY2(IsPicture(button->icon()), qPrintable(button->objectName()));
    }

    // The shortcuts as the keyboard gives them: F9 runs the update, Ctrl+A selects every POI row.
    void shortcutsFromTheKeyboard()
    {
        auto form = Open({ LocalSite() }, 0);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* items = form->findChild<QTreeWidget*>(QStringLiteral("lvItems"));
        auto* sites = form->findChild<QListWidget*>(QStringLiteral("lvSites"));
        QVERIFY(items && sites);
        QCOMPARE(items->topLevelItemCount(), 2);
        items->setFocus();
        QTest::keyClick(items, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(items->selectedItems().size(), 2);
        QVERIFY(Access(*form).acSubscribeLocal()->isEnabled());
        sites->setFocus();
        TModalCloser closer;
        QTest::keyClick(sites, Qt::Key_F9);
        QCOMPARE(Host.Runs, 1);
    }

    // A picture under Xvfb: the served catalogue, a group chosen, a subscribed row with its note.
    void picture()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs a real X server");
        TScriptedPrompt prompt;
        QFile::remove(LocationToLocalFile(WebSite()));
        Server->Set("/site.xml",
            TAnswer().WithBody(Xml(QStringLiteral("http://pois.example/info"), QStringLiteral("email"))));
        ClearSites();
        auto item = std::make_unique<TUpdateItem>();
        item->Site = WebSite();
        item->Description = QString::fromLatin1(Fuel);
        item->Target = QStringLiteral("FILE:///home/u/pois/Fuel stations.ov2");
        item->FormatID = QStringLiteral("ttov2");
        item->LastUpdate = QDateTime(QDate(2024, 5, 1), QTime(9, 30, 0));
        Profile().Add(std::move(item));
        prompt.Answers = { IDYES };
        auto form = Open({ WebSite(), LocalSite() }, 0);
        form->resize(980, 640);
        QTRY_VERIFY(Access(*form).lvMaps()->count() > 0);
        Access(*form).lvGroups()->setCurrentRow(0);
        Access(*form).lvItems()->topLevelItem(0)->setSelected(true);
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTest::qWait(200);
        QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
        QVERIFY(form->grab().save(QStringLiteral(TARVELL_ARTIFACTS "/site-manager.png")));
        Server->Set("/site.xml", TAnswer().WithBody(Xml(QStringLiteral("file:///etc/passwd"), QStringLiteral("username"))));
    }
};

TARVELL_QTEST_MAIN(TestSiteManager)
#include "tst_fAutoUpdateManager.moc"
