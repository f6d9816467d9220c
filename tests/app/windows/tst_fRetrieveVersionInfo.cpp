// The version check window against a served version file: newer (Yes opens the download page,
// No keeps the window), the same version, an HTML page and a missing file; the main window's
// command and its weekly check. Its picture is taken under Xvfb.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fRetrieveVersionInfo.h"

#include "sites/SiteTestSupport.h"
#include "support/QtWarningGuard.h"

#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

// Test-only access to the window's widgets and timer, which it keeps private.
class TfmRetrieveVersionInfoTestAccess {
public:
    explicit TfmRetrieveVersionInfoTestAccess(TfmRetrieveVersionInfo& form) : F(form) {}
    QLabel* Label1() const { return F.Label1; }
    QPushButton* Button1() const { return F.Button1; }
    QTimer& Timer1() const { return F.Timer1; }

private:
    TfmRetrieveVersionInfo& F;
};
using A = TfmRetrieveVersionInfoTestAccess;

class TestVersionCheck : public QObject {
    Q_OBJECT
    std::unique_ptr<TLoopbackServer> Server;
    QList<QUrl> Opened;

    // The window run as the timer runs it, left open for the checks.
    std::unique_ptr<TfmRetrieveVersionInfo> Check()
    {
        auto form = std::make_unique<TfmRetrieveVersionInfo>();
        form->OwnVersion = { 5, 2, 0, 212 };
        form->WebSite = Server->Base();
        form->show();
        A(*form).Timer1().stop();
        form->Timer1Timer();
        return form;
    }
    static QString Version(const char* current)
    {
        return QStringLiteral("<?xml version=\"1.0\"?>\r\n<tarvell><Current>%1</Current></tarvell>").arg(QLatin1String(current));
    }
    static QString ErrorBox(const QString& reason)
    {
        return QStringLiteral("Cannot retrieve online file information (version info) because of the following error:"
                              "\r\r%1\r\rPlease check your internet connection")
            .arg(reason);
    }

private slots:
    void initTestCase() { TestHome(); }
    void init()
    {
        Server = std::make_unique<TLoopbackServer>();
        Opened.clear();
        SetUrlOpener([this](const QUrl& url) {
            Opened << url;
            return true;
        });
    }
    void cleanup()
    {
        SetUrlOpener({});
        Server.reset();
    }

    void outcomes_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("downloadOpened");
        const QString question = QStringLiteral("There is a new version of Tarvell available for download. Do you wish to "
                                                "goto the download page on %1?");
        QTest::newRow("newer, Yes") << 200 << Version("5.3.0.0") << IDYES << QString() << question << true;
        // No: the check is over and says what it found, in bold.
        QTest::newRow("newer, No") << 200 << Version("5.2.0.213") << IDNO
                                   << QStringLiteral("A newer version of Tarvell is available: 5.2.0.213.") << question
                                   << false;
        QTest::newRow("same") << 200 << Version("5.2.0.212") << 0 << QStringLiteral("You have the latest version of Tarvell.")
                              << QString() << false;
        QTest::newRow("older") << 200 << Version("5.1.9.999") << 0
                               << QStringLiteral("You have the latest version of Tarvell.") << QString() << false;
        QTest::newRow("an HTML page") << 200 << QStringLiteral("<html><body>Moved</body></html>") << 0
                                      << QStringLiteral("Error checking for new version")
                                      << ErrorBox(QStringLiteral("Unable to retrieve online version information.")) << false;
        QTest::newRow("404") << 404 << QString() << 0 << QStringLiteral("Error checking for new version")
                             << ErrorBox(QStringLiteral("Unable to download %1/version.xml")) << false;
        QTest::newRow("5.x") << 200 << Version("5.x.0.0") << 0 << QStringLiteral("Error checking for new version")
                             << ErrorBox(QStringLiteral("'x' is not a valid integer value")) << false;
    }
    void outcomes()
    {
        QFETCH(int, status);
        QFETCH(QString, body);
        QFETCH(int, answer);
        QFETCH(QString, label);
        QFETCH(QString, box);
        QFETCH(bool, downloadOpened);
        TScriptedPrompt prompt;
        if (answer)
            prompt.Answers.push_back(answer);
        Server->Set("/version.xml", TAnswer().WithStatus(status).WithBody(body.toStdString()));
        const auto f = Check();
        QCOMPARE(prompt.Boxes.size(), size_t(box.isEmpty() ? 0 : 1));
        if (!box.isEmpty())
            QCOMPARE(prompt.Boxes[0].Text, box.contains(QStringLiteral("%1")) ? box.arg(Server->Base()) : box);
        QCOMPARE(Opened, downloadOpened ? QList<QUrl> { QUrl(Server->Base() + QStringLiteral("/download.htm")) } : QList<QUrl>());
        QCOMPARE(f->isVisible(), !downloadOpened);
        if (!label.isEmpty()) {
            QCOMPARE(A(*f).Label1()->text(), label);
            QCOMPARE(A(*f).Label1()->font().bold(), !label.startsWith(QLatin1String("Retrieving")));
            const bool red = A(*f).Label1()->palette().color(QPalette::WindowText) == QColor(Qt::red);
            QCOMPARE(red, label.startsWith(QLatin1String("Error")));
        }
        QCOMPARE(Server->Count("/version.xml"), 1);
    }

    void closingDuringTheFetchStopsIt()
    {
        TScriptedPrompt prompt;
        Server->Set("/version.xml", TAnswer().WithStall(true));
        auto form = std::make_unique<TfmRetrieveVersionInfo>();
        form->WebSite = Server->Base();
        form->show();
        QTimer::singleShot(100, form.get(), [&] { A(*form).Button1()->click(); });
        A(*form).Timer1().stop();
        form->Timer1Timer();
        QVERIFY(!form->isVisible());
        QVERIFY(prompt.Boxes.empty());
    }

    void mainWindowCommandAndWeeklyCheck()
    {
        TScriptedPrompt prompt;
        Server->Set("/version.xml", TAnswer().WithBody(Version("0.0.0.1").toStdString()));
        qputenv("TARVELL_WEBSITE", Server->Base().toLatin1());
        TdmMain data;
        const auto last = [] {
            return CreateSettingsStore()->ReadString(QStringLiteral("Settings"), QStringLiteral("LastVersionCheck"), QString());
        };
        CreateSettingsStore()->DeleteKey(QStringLiteral("Settings"), QStringLiteral("LastVersionCheck"));
        {
            // A silent start asks nothing, and the check stays due.
            SetCommandLineParams({ QStringLiteral("/tray"), QStringLiteral("/update"), QStringLiteral("/silent") });
            TfmTarvellMainForm main(data);
            TMainFormTestAccess(main).Timer2().stop();
            TMainFormTestAccess(main).Timer1().start(0);
            QTest::qWait(100);
            QCOMPARE(Server->Count("/version.xml"), 0);
            QVERIFY(last().isEmpty());
            SetCommandLineParams({});
        }
        {
            TfmTarvellMainForm main(data);
            TMainFormTestAccess(main).Timer2().stop();
            QString label;
            TOnNextModal closer([&](QDialog* dialog) {
                if (auto* check = qobject_cast<TfmRetrieveVersionInfo*>(dialog)) {
                    QTRY_VERIFY(!A(*check).Label1()->text().startsWith(QLatin1String("Retrieving")));
                    label = A(*check).Label1()->text();
                }
                dialog->reject();
            });
            TMainFormTestAccess(main).Timer1().start(0);
            QTRY_VERIFY(closer.Ran);
            QTRY_COMPARE(last(), QDate::currentDate().toString(Qt::ISODate));
            QCOMPARE(label, QStringLiteral("You have the latest version of Tarvell."));
        }
        {
            // An address still at the placeholder: the weekly check says nothing.
            qputenv("TARVELL_WEBSITE", "http://www.tarvell.example");
            CreateSettingsStore()->DeleteKey(QStringLiteral("Settings"), QStringLiteral("LastVersionCheck"));
            TfmTarvellMainForm main(data);
            TMainFormTestAccess(main).Timer2().stop();
            TMainFormTestAccess(main).Timer1().start(0);
            QTest::qWait(100);
            QVERIFY(!QApplication::activeModalWidget());
            QVERIFY(prompt.Boxes.empty());
            QVERIFY(last().isEmpty());
            QVERIFY(main.Action(TAction::Action4)->isEnabled());
        }
        qunsetenv("TARVELL_WEBSITE");
    }

    void versionPicture()
    {
        Server->Set("/version.xml", TAnswer().WithBody(Version("5.2.0.212").toStdString()));
        const auto f = Check();
        QTest::qWait(200);
        QVERIFY(SaveArtifactPicture(f->grab(), QStringLiteral("version-check.png")));
    }
};

TARVELL_QTEST_MAIN(TestVersionCheck)
#include "tst_fRetrieveVersionInfo.moc"
