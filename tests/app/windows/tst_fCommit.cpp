// The commit dialog over a served site: the cascade from site to POI file with its note, OK only
// with a POI file, the site remembered, one request per commit with the text as typed, a refusal
// that leaves the dialog open, a request to a site that never answers cancelled from its progress
// dialog, and the child window's command. Its picture is taken under Xvfb.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fCommit.h"
#include "app/windows/fMDIChild.h"
#include "app/windowbase/fProgress.h"
#include "app/logic/uEntriesModel.h"
#include "core/uLocations.h"
#include "sites/uSite.h"

#include "sites/SiteTestSupport.h"
#include "support/CoreTestHooks.h"
#include "support/LoopbackListener.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

// The dialog's widgets, for the tests.
class TfmCommitTestAccess {
public:
    explicit TfmCommitTestAccess(const TfmCommit& form) : F(form) {}
    QLineEdit* edLatitude() const { return F.edLatitude; }
    QLineEdit* edLongitude() const { return F.edLongitude; }
    QLineEdit* edDescription() const { return F.edDescription; }
    QWidget* paAddFormat() const { return F.paAddFormat; }
    QPlainTextEdit* meAddFormat() const { return F.meAddFormat; }
    QComboBox* coSites() const { return F.coSites; }
    QComboBox* coCountries() const { return F.coCountries; }
    QComboBox* coGroup() const { return F.coGroup; }
    QComboBox* coPoiFile() const { return F.coPoiFile; }
    QPlainTextEdit* meNote() const { return F.meNote; }
    QPushButton* buOK() const { return F.buOK; }
    QAction* acOk() const { return F.acOk; }

private:
    const TfmCommit& F;
};

namespace {

// A site on 127.0.0.1 that takes one connection, reads the request and never answers; it notes
// the request and the client closing the connection.
class TSilentServer {
public:
    TSilentServer()
    {
        uint16_t port = 0;
        FListen = ListenOnLoopback(port);
        if (FListen < 0)
            qFatal("no loopback socket");
        Port = port;
        FThread = std::thread([this] { Serve(); });
    }
    ~TSilentServer()
    {
        FStop = true;
        FThread.join();
        close(FListen);
    }
    TSilentServer(const TSilentServer&) = delete;
    TSilentServer& operator=(const TSilentServer&) = delete;

    int Port = 0;
    std::atomic<bool> Requested = false;
    std::atomic<bool> Closed = false;

private:
    void Serve()
    {
        pollfd listening { FListen, POLLIN, 0 };
        while (!FStop && poll(&listening, 1, 20) <= 0) { }
        if (FStop)
            return;
        const int client = accept(FListen, nullptr, nullptr);
        if (client < 0)
            return;
        char buffer[4096];
        while (!FStop) {
            pollfd reading { client, POLLIN, 0 };
            if (poll(&reading, 1, 20) <= 0)
                continue;
            if (recv(client, buffer, sizeof buffer, 0) <= 0) {
                Closed = true;
                break;
            }
            Requested = true;
        }
        close(client);
    }

    int FListen = -1;
    std::atomic<bool> FStop = false;
    std::thread FThread;
};

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QByteArray Fixture(const char* path)
{
    QFile file(QStringLiteral(TARVELL_TEST_DATA "/") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCommit : public QObject {
    Q_OBJECT
    std::unique_ptr<TLoopbackServer> Server;
    QString Site;
    QString Other;

    void Cache(const QString& site, const QByteArray& catalogue)
    {
        const QString file = LocationToLocalFile(site);
        QDir().mkpath(QFileInfo(file).absolutePath());
        SaveBytesToFile(file, catalogue.toStdString());
    }
    std::vector<std::string> Adds()
    {
        std::vector<std::string> adds;
        for (const std::string& r : Server->Log())
            if (r.rfind("/add", 0) == 0)
                adds.push_back(r);
        return adds;
    }
    // A dialog for the POI, shown.
    std::unique_ptr<TfmCommit> Open(const char* description = "Fish & Chips")
    {
        auto form = std::make_unique<TfmCommit>();
        form->Longitude = 4.5;
        form->Latitude = -51.25;
        form->Description = QString::fromUtf8(description);
        form->show();
        return form;
    }

private slots:
    void initTestCase() { TestHome(); }
    void init()
    {
        ResetSettingsForTests();
        ResetDataDirCache();
        ClearSites();
        Server = std::make_unique<TLoopbackServer>();
        Site = Server->Base() + QStringLiteral("/site.xml");
        Other = Server->Base() + QStringLiteral("/other.xml");
        Cache(Site, Fixture("sites/commit-site.xml"));
        Cache(Other, "<pois><addurl>/other</addurl><poi><description>X</description><map>M</map><group>g</group></poi></pois>");
        GetSettings().Sites = { QStringLiteral("http://127.0.0.1:9/nothing.xml"), Site, Other };
        WriteSiteConfig(Site, QStringLiteral("Username"), QStringLiteral("me"));
        Server->Set("/error", TAnswer());
    }
    void cleanup()
    {
        ClearSites();
        Server.reset();
    }

    void cascadeFromSiteToPoiFile()
    {
        const auto f = Open();
        const TfmCommitTestAccess a(*f);
        QCOMPARE(f->windowTitle(), QStringLiteral("Tarvell Commit Poi..."));
        // only sites whose catalogue has an add URL
        QCOMPARE(Items(a.coSites()), (QStringList { Site, Other }));
        QCOMPARE(a.edLatitude()->text(), QStringLiteral("-51.25000"));
        QCOMPARE(a.edLongitude()->text(), QStringLiteral("4.50000"));
        QCOMPARE(a.edDescription()->text(), QStringLiteral("Fish & Chips"));
        QVERIFY(a.paAddFormat()->isVisible());
        QCOMPARE(a.meAddFormat()->toPlainText(), QStringLiteral("Name, street, phone"));
        QCOMPARE(Items(a.coCountries()), (QStringList { QStringLiteral("Netherlands"), QStringLiteral("Belgium") }));
        QCOMPARE(Items(a.coGroup()), (QStringList { QStringLiteral("Fuel stations"), QStringLiteral("cheap") }));
        QCOMPARE(Items(a.coPoiFile()), QStringList { QStringLiteral("Fuel NL") });
        // a single POI file is chosen
        QCOMPARE(a.coPoiFile()->currentIndex(), 0);
        QCOMPARE(a.meNote()->toPlainText(), QStringLiteral("Only stations with LPG"));
        QVERIFY(a.buOK()->isEnabled());

        a.coGroup()->setCurrentIndex(1);
        QCOMPARE(Items(a.coPoiFile()), (QStringList { QStringLiteral("Fuel NL"), QStringLiteral("Cheap NL") }));
        QCOMPARE(a.coPoiFile()->currentIndex(), -1);
        QVERIFY(!a.buOK()->isEnabled());
        QVERIFY(a.meNote()->toPlainText().isEmpty());
        a.coPoiFile()->setCurrentIndex(1);
        QCOMPARE(a.meNote()->toPlainText(), QStringLiteral("No additional information available..."));
        QVERIFY(a.buOK()->isEnabled());

        // Every POI of Belgium says nocommit.
        a.coCountries()->setCurrentIndex(1);
        QCOMPARE(a.coGroup()->count(), 0);
        QCOMPARE(a.coPoiFile()->count(), 0);
        QVERIFY(!a.buOK()->isEnabled());
        QVERIFY(!a.acOk()->isEnabled());

        a.coSites()->setCurrentIndex(1);
        QVERIFY2(!a.paAddFormat()->isVisible(), "the other site gives no format hint");
        QCOMPARE(GetSettings().PrevCommitSite, Other);
    }

    void theSiteCommittedToLastIsChosen()
    {
        GetSettings().PrevCommitSite = Other;
        QCOMPARE(TfmCommitTestAccess(*Open()).coSites()->currentText(), Other);
        GetSettings().PrevCommitSite = QStringLiteral("http://gone.example/site.xml");
        QCOMPARE(TfmCommitTestAccess(*Open()).coSites()->currentText(), Site);
    }

    void oneRequestPerCommitWithTheTypedText()
    {
        TScriptedPrompt prompt;
        Server->Set("/add", TAnswer());
        const auto f = Open();
        const TfmCommitTestAccess a(*f);
        a.edDescription()->setFocus();
        a.edDescription()->selectAll();
        QTest::keyClicks(a.edDescription(), QStringLiteral("Caf"));
        QTest::sendKeyEvent(QTest::Click, a.edDescription(), Qt::Key_Eacute, QString(QChar(0xE9)), Qt::NoModifier);
        QTest::keyClicks(a.edDescription(), QStringLiteral(" & Bar"));
        // OK by the keyboard, without leaving the field.
        QTest::keyClick(a.edDescription(), Qt::Key_Return);
        QCOMPARE(Adds(), (std::vector<std::string> {
                             "/add?poi=Fuel%20NL&lon=4.5&lat=-51.25&desc=Caf%E9%20%26%20Bar&user=me&pw=" }));
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("You poi was committed succesfully to %1...").arg(Site));
        QCOMPARE(f->result(), int(QDialog::Accepted));

        const auto again = Open();
        TfmCommitTestAccess(*again).buOK()->click();
        // a repeated commit reaches the site
        QCOMPARE(Adds().size(), size_t(2));
    }

    void aRefusalKeepsTheDialogOpen()
    {
        TScriptedPrompt prompt;
        Server->Set("/add", TAnswer().WithBody("Unknown user\r\n"));
        const auto f = Open();
        const TfmCommitTestAccess a(*f);
        a.buOK()->click();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("Cannot commit to \"Fuel NL\" because the following error: \r\rUnknown user.\r\rPlease check "
                           "your connection and your username/password if you are downloading from a site which "
                           "requires registration."));
        QVERIFY(f->isVisible());
        QVERIFY(a.buOK()->isEnabled());
        QCOMPARE(Server->Count("/error"), 1);
    }

    // The site takes the request and never answers: the progress dialog's Cancel, pressed with the
    // mouse, ends it long before any time-out, the connection is closed, the dialog stays open.
    void cancellingACommitThatIsNeverAnswered()
    {
        TScriptedPrompt prompt;
        TSilentServer silent;
        const QString site = QStringLiteral("http://127.0.0.1:%1/site.xml").arg(silent.Port);
        Cache(site, Fixture("sites/commit-site.xml"));
        GetSettings().Sites = { site };
        const auto f = Open();
        const TfmCommitTestAccess a(*f);
        QCOMPARE(a.coSites()->currentText(), site);
        int cancels = 0;
        QTimer press;
        press.setInterval(20);
        connect(&press, &QTimer::timeout, this, [&] {
            auto* progress = qobject_cast<TfmProgress*>(QApplication::activeModalWidget());
            if (!progress || !silent.Requested || cancels > 0)
                return;
            ++cancels;
            QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        });
        press.start();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("buOK")), Qt::LeftButton);
        press.stop();
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(cancels, 1);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("Download cancelled by user."));
        QTRY_VERIFY_WITH_TIMEOUT(silent.Closed, 5000);
        QVERIFY(f->isVisible());
        QVERIFY(a.buOK()->isEnabled());
    }

    // Escape on the progress dialog, before its request starts and while the site keeps it
    // waiting, cancels the commit: nothing reaches the site in the first case, no success is
    // reported in either, the dialog stays open.
    void escapeCancelsTheCommit_data()
    {
        QTest::addColumn<bool>("beforeTheRequest");
        QTest::newRow("before the request") << true;
        QTest::newRow("while it waits") << false;
    }
    void escapeCancelsTheCommit()
    {
        QFETCH(bool, beforeTheRequest);
        TScriptedPrompt prompt;
        Server->Set("/add", TAnswer());
        TSilentServer silent;
        if (!beforeTheRequest) {
            const QString site = QStringLiteral("http://127.0.0.1:%1/site.xml").arg(silent.Port);
            Cache(site, Fixture("sites/commit-site.xml"));
            GetSettings().Sites = { site };
        }
        const auto f = Open();
        int escapes = 0;
        QTimer press;
        press.setInterval(20);
        connect(&press, &QTimer::timeout, this, [&] {
            auto* progress = qobject_cast<TfmProgress*>(QApplication::activeModalWidget());
            if (!progress || escapes > 0 || (!beforeTheRequest && !silent.Requested))
                return;
            ++escapes;
            QTest::keyClick(progress, Qt::Key_Escape);
        });
        press.start();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("buOK")), Qt::LeftButton);
        press.stop();
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(escapes, 1);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("Download cancelled by user."));
        QVERIFY(Adds().empty());
        QVERIFY(f->isVisible());
        QVERIFY(TfmCommitTestAccess(*f).buOK()->isEnabled());
    }

    void childWindowCommand()
    {
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm main(data);
        TMDIChild* child = main.NewChild();
        child->Entries().Add("Dam", std::string(), 4.89, 52.37);
        child->Entries().Add("Museum", std::string(), 4.88, 52.36);
        child->Model()->Reload();
        main.ShowChild(child);
        QAction* commit = child->Action(TAction::acCommit);
        child->SelectAll();
        child->UpdateActions();
        QVERIFY2(!commit->isEnabled(), "two POIs selected");
        child->SelectOnly(1);
        child->UpdateActions();
        QVERIFY(commit->isEnabled());

        QString latitude;
        QString description;
        TOnNextModal closer([&](QDialog* dialog) {
            auto* form = qobject_cast<TfmCommit*>(dialog);
            if (form) {
                latitude = TfmCommitTestAccess(*form).edLatitude()->text();
                description = TfmCommitTestAccess(*form).edDescription()->text();
            }
            dialog->reject();
        });
        commit->trigger();
        QVERIFY(closer.Ran);
        QCOMPARE(latitude, QStringLiteral("52.36000"));
        QCOMPARE(description, QStringLiteral("Museum"));

        GetSettings().Sites = { QStringLiteral("http://127.0.0.1:9/nothing.xml") };
        commit->trigger();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("No sites detected that support committing of poi's. Please update the site you are trying "
                           "to commit to by clicking \"Update\" in the AutoUpdate manager screen."));
    }

    void commitPicture()
    {
        const auto f = Open("Caf\u00e9 de Paris");
        f->resize(460, f->sizeHint().height());
        QTest::qWait(200);
        QVERIFY(SaveArtifactPicture(f->grab(), QStringLiteral("commit-poi.png")));
    }
};

TARVELL_QTEST_MAIN(TestCommit)
#include "tst_fCommit.moc"
