// The update status window over a loopback server: rows, outcomes, the continue question, the
// summary, auto close and the program started after an update.
#include "AppTestSupport.h"

#include "app/dMain.h"
#include "app/fAddSite.h"
#include "app/fProgress.h"
#include "app/fStatus.h"
#include "app/uSiteXmlUpdater.h"
#include "core/uLocations.h"
#include "formats/uFormats.h"
#include "sites/uUpdateItems.h"
#include "support/LoopbackHttp.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <map>
#include <mutex>
#include <thread>

namespace {

class TSiteServer : public TLoopbackHttp {
public:
    TSiteServer()
    {
        Server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            const std::lock_guard lock(Mutex);
            const auto it = Bodies.find(req.path);
            if (it == Bodies.end()) {
                res.status = 404;
                return;
            }
            // The slow catalogue comes a byte a second, so a Cancel meets it midway.
            res.set_content_provider(it->second.size(), "application/octet-stream",
                [body = it->second, slow = req.path.rfind("/slow/", 0) == 0, this](
                    size_t offset, size_t, httplib::DataSink& sink) {
                    if (slow && offset > 0) {
                        for (int i = 0; i < 20 && !Stopping; ++i)
                            std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    }
                    const size_t n = slow ? 1 : body.size() - offset;
                    sink.write(body.data() + offset, n);
                    return true;
                });
        });
        Start();
    }
    ~TSiteServer() { Stop(); }
    void Set(const std::string& path, const std::string& body)
    {
        const std::lock_guard lock(Mutex);
        Bodies[path] = body;
    }
    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(Port); }

private:
    std::mutex Mutex;
    std::map<std::string, std::string> Bodies;
};

const char* const Museum = "; museum\r\n4.5, 51.5, \"Museum\"\r\n";

} // namespace

class TestStatusWindow : public QObject {
    Q_OBJECT
    QTemporaryDir Targets;
    std::unique_ptr<TSiteServer> Server;
    std::unique_ptr<TdmMain> Data;
    std::unique_ptr<TUpdateItems> Items;

    QString Site() const { return Server->Base() + QStringLiteral("/site.xml"); }
    QString Dead() const { return Server->Base() + QStringLiteral("/gone/site.xml"); }
    void Poi(QString& xml, const char* description, const char* url)
    {
        xml += QStringLiteral("<poi><description>%1</description><format>asc.genasc</format><url>%2</url>"
                              "<lastmodified>/lm</lastmodified></poi>")
                   .arg(QLatin1String(description), QLatin1String(url));
    }
    TUpdateItem& Add(const QString& site, const char* description)
    {
        auto item = std::make_unique<TUpdateItem>();
        item->Site = site;
        item->Description = QLatin1String(description);
        item->Target = QStringLiteral("FILE://") + Targets.path() + QChar('/') + QLatin1String(description)
            + QStringLiteral(".asc");
        item->FormatID = QStringLiteral("genasc");
        TUpdateItem& ref = *item;
        Items->Add(std::move(item));
        return ref;
    }
    // Runs the items in a window that stays open for the checks.
    // before runs once the window is shown, just ahead of the run.
    std::unique_ptr<TfmStatus> Run(bool silent = false, const std::function<void(TfmStatus&)>& before = {})
    {
        auto form = std::make_unique<TfmStatus>();
        form->SetSilent(silent);
        form->SetItems(*Items);
        form->show();
        form->Timer1().stop();
        if (before)
            before(*form);
        form->Timer1Timer();
        return form;
    }
    static QString Status(const TfmStatus& f, int row)
    {
        return f.RowControl<QLabel>(row, "StatusLabel")->text();
    }
    static QStringList Statuses(const TfmStatus& f)
    {
        QStringList all;
        for (int i = 0; i < f.RowCount(); ++i)
            all << Status(f, i);
        return all;
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", (TestHome().path() + QStringLiteral("/cache")).toLocal8Bit());
        ResetDataDirCache();
        RegisterAllFormats();
        Data = std::make_unique<TdmMain>();
        Server = std::make_unique<TSiteServer>();
        QString xml = QStringLiteral("<pois>");
        Poi(xml, "Fuel", "/fuel.asc");
        Poi(xml, "Museum", "/museum.asc");
        Poi(xml, "Broken", "/missing.asc");
        Poi(xml, "<b>Bold</b>", "/fuel.asc");
        Poi(xml, "Slow", "/slow/fuel.asc");
        Server->Set("/site.xml", (xml + QStringLiteral("</pois>")).toStdString());
        Server->Set("/fuel.asc", Museum);
        Server->Set("/slow/fuel.asc", Museum);
        Server->Set("/museum.asc", Museum);
        Server->Set("/lm", "20240101 120000");
    }
    void init()
    {
        Items = TUpdateItems::CreateView();
        GetSettings().StatusAutoClose = false;
        GetSettings().AutoUpdateApplicationEnabled = false;
    }
    void cleanup()
    {
        Items.reset();
    }

    void rowsFollowTheItemsWithASiteRowAhead()
    {
        Add(Site(), "Fuel");
        Add(Dead(), "Museum");
        Add(Site(), "<b>Bold</b>");
        TfmStatus f;
        f.SetItems(*Items);
        QCOMPARE(f.RowCount(), 5);
        QStringList labels;
        for (int i = 0; i < f.RowCount(); ++i)
            labels << f.RowControl<QLabel>(i, "Label")->text();
        QCOMPARE(labels, (QStringList { Site(), "Fuel", Dead(), "Museum", "<b>Bold</b>" }));
        QVERIFY(!f.RowControl<QLabel>(0, "TargetLabel"));
        QCOMPARE(f.RowControl<QLabel>(1, "TargetLabel")->text(),
            QStringLiteral("Target: ") + Targets.path() + QStringLiteral("/Fuel.asc"));
        // Site texts are never read as rich text.
        QCOMPARE(f.RowControl<QLabel>(4, "Label")->textFormat(), Qt::PlainText);
        QCOMPARE(Status(f, 0), QStringLiteral("Status: Waiting to be processed..."));
        QCOMPARE(f.RowIcon(3), 3);
    }

    void outcomesIconsAndSummary()
    {
        TScriptedPrompt prompt;
        prompt.ConfirmAnswers = { 3, 3 };
        Add(Site(), "Museum");
        {
            const auto first = Run(true);
            QCOMPARE(Status(*first, 1), QStringLiteral("Status: Updated"));
        }
        Add(Site(), "Fuel");
        Add(Site(), "Broken");
        Add(Dead(), "Fuel");
        const auto f = Run(true);
        QCOMPARE(Statuses(*f).mid(0, 4),
            (QStringList { "Status: Checked site xml file...", "Status: Already up to date", "Status: Updated" }
                << Status(*f, 3)));
        QVERIFY(Status(*f, 3).startsWith(QStringLiteral("Status: Failed \"")));
        QVERIFY(Status(*f, 4).startsWith(QStringLiteral("Status: Failed \"Cannot download \"") + Dead()));
        QCOMPARE(Status(*f, 5), QStringLiteral("Status: Failed \"Unable to download associated site xml\""));
        const std::vector<int> icons { 5, 5, 5, 6, 6, 6 };
        for (int i = 0; i < f->RowCount(); ++i)
            QCOMPARE(f->RowIcon(i), icons[size_t(i)]);
        QCOMPARE(f->laTotalProgress()->text(),
            QStringLiteral("Progress: Finished, 1 updated, 1 already up-to-date, 3 failed"));
        QCOMPARE(f->pbMain()->value(), 100);
        QCOMPARE(f->RowControl<QProgressBar>(2, "ProgressBar")->value(), 100);
        QCOMPARE(f->buClose()->text(), QStringLiteral("Close"));
        QVERIFY(prompt.CheckCaptions.isEmpty()); // silent: no question
    }

    // Rows of two sites interleaved: each item is checked against its own site's catalogue.
    void interleavedSitesUseTheirOwnCatalogue()
    {
        TScriptedPrompt prompt;
        prompt.ConfirmAnswers = { 3, 3 };
        Add(Site(), "Museum");
        Add(Dead(), "Fuel");
        Add(Site(), "Fuel");
        const auto f = Run(true);
        QCOMPARE(f->RowCount(), 5);
        QCOMPARE(f->RowIcon(3), 6);
        QCOMPARE(f->RowIcon(4), 5);
        QVERIFY(!Status(*f, 4).startsWith(QStringLiteral("Status: Failed")));
    }

    void continueQuestion()
    {
        // No: the rest is cancelled.
        {
            TScriptedPrompt prompt;
            prompt.Answers = { IDNO };
            Add(Dead(), "Fuel");
            Add(Site(), "Museum");
            const auto f = Run();
            QCOMPARE(prompt.CheckCaptions, QStringList { "Continue on subsequent errors" });
            QVERIFY(prompt.Boxes[0].Text.endsWith(QStringLiteral("\r\rDo you want to continue?")));
            QCOMPARE(Statuses(*f).mid(2), (QStringList { "Status: Cancelled", "Status: Cancelled" }));
            QCOMPARE(f->laTotalProgress()->text(),
                QStringLiteral("Progress: Cancelled, 0 updated, 2 failed, 1 skipped"));
        }
        // Yes with the box ticked: later errors are not asked about.
        {
            TScriptedPrompt prompt;
            Items = TUpdateItems::CreateView();
            Add(Dead(), "Fuel");
            Add(Site(), "Broken");
            const auto f = Run();
            QCOMPARE(prompt.CheckCaptions.size(), 1);
            QCOMPARE(f->RowIcon(3), 6);
        }
    }

    void autoCloseOnlyWithoutFailures()
    {
        TScriptedPrompt prompt;
        prompt.ConfirmAnswers = { 3, 3, 3 };
        GetSettings().StatusAutoClose = true;
        Add(Site(), "Museum");
        {
            const auto f = Run(true);
            QVERIFY(f->cbAutoclose()->isChecked());
            QVERIFY(!f->isVisible());
        }
        Add(Site(), "Broken");
        const auto f = Run(true);
        QVERIFY(f->isVisible());
        QCOMPARE(f->buClose()->text(), QStringLiteral("Close"));
        f->buClose()->click();
        QVERIFY(!f->isVisible());
    }

    void cancelDuringASiteDownload()
    {
        TScriptedPrompt prompt;
        Add(Site(), "Museum");
        // The first progress call of the site download sees the click.
        const auto f = Run(false, [](TfmStatus& form) {
            QMetaObject::invokeMethod(&form, [&form] { form.buClose()->click(); }, Qt::QueuedConnection);
        });
        QCOMPARE(Status(*f, 1), QStringLiteral("Status: Cancelled"));
        QVERIFY(f->RowIcon(0) != 6);
        QVERIFY(prompt.Boxes.empty());
        QVERIFY(f->laTotalProgress()->text().startsWith(QStringLiteral("Progress: Cancelled, 0 updated")));
    }

    // One updated, one up-to-date and one failed item; the picture is kept on a real X server.
    void statusPicture()
    {
        TScriptedPrompt prompt;
        prompt.ConfirmAnswers = { 3, 3 };
        Add(Site(), "Museum");
        QDir(CacheFolder(Site())).removeRecursively();
        Run(true);
        Items = TUpdateItems::CreateView();
        Add(Site(), "Museum");
        Add(Site(), "Fuel");
        QFile::remove(CacheFileName(Site(), QStringLiteral("Fuel"), QStringLiteral("genasc"), QStringLiteral(".asc")));
        Add(Site(), "Broken");
        const auto f = Run(true);
        f->resize(520, 480);
        QCOMPARE(f->laTotalProgress()->text(),
            QStringLiteral("Progress: Finished, 1 updated, 1 already up-to-date, 1 failed"));
        QTest::qWait(200);
        const QPixmap shot = f->grab();
        QVERIFY(!shot.isNull());
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
            QVERIFY(shot.save(QStringLiteral(TARVELL_ARTIFACTS "/update-status.png")));
        }
    }

    void addSiteValidation()
    {
        const QString folder = Targets.path();
        QFile file(folder + QStringLiteral("/site.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<pois/>");
        file.close();
        const std::vector<std::pair<QString, QString>> cases = {
            { "https://pois.example/site.xml",
                "Invalid location specified, the xml location must be prefixed with http:// for internet locations or "
                "file:// for local files" },
            { "ftp://x/site.xml", "" },
            { "FILE://" + folder + "/nothing.xml", "File " + folder + "/nothing.xml not found" },
            { "file://" + folder, "File " + folder + " not found" },
            { "file://" + folder + "/site.xml", QString() },
            { "http://ab", "Invalid url ab" },
            { "HTTP://abc", QString() },
        };
        for (const auto& [location, expected] : cases) {
            QString message;
            try {
                TfmAddSite::CheckLocation(location);
            } catch (const EUserError& e) {
                message = e.Message();
            }
            if (expected.isEmpty() && !expected.isNull())
                QVERIFY2(message.startsWith(QStringLiteral("Invalid location")), qPrintable(location));
            else
                QCOMPARE(message, expected);
        }
        // The dialog stays open with the message; a good location closes it.
        TScriptedPrompt prompt;
        TfmAddSite form;
        form.show();
        form.SetLocation(QStringLiteral("http://a"));
        form.Button1()->click();
        QVERIFY(form.isVisible());
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QVERIFY(prompt.Boxes[0].Text.startsWith(QStringLiteral("Invalid url a")));
        form.SetLocation(QStringLiteral("HTTP://pois.example/site.xml"));
        form.Button1()->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }

    void siteXmlUpdater()
    {
        // Forced: straight from the server into the local copy.
        TSiteXmlUpdater updater;
        updater.Force = true;
        updater.Update(Site());
        QVERIFY(updater.ErrorText.isEmpty());
        QVERIFY(!QDir(GetDataDir()).entryList({ QStringLiteral("*.xml") }, QDir::Files).isEmpty());
        QString message;
        try {
            updater.Update(Dead());
        } catch (const EUserError& e) {
            message = e.Message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("Cannot download \"") + Dead()
                     + QStringLiteral("\" because the following error: \r\rUnable to download")),
            qPrintable(message));
        QVERIFY(!updater.ErrorText.isEmpty());

        // Cancel while the fetch runs.
        Server->Set("/slow/site.xml", "<pois></pois>");
        QTimer poll;
        connect(&poll, &QTimer::timeout, [] {
            if (auto* progress = qobject_cast<TfmProgress*>(QApplication::activeModalWidget()))
                progress->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        });
        poll.start(20);
        message.clear();
        try {
            updater.Update(Server->Base() + QStringLiteral("/slow/site.xml"));
        } catch (const EUserError& e) {
            message = e.Message();
        }
        QCOMPARE(message, QStringLiteral("Download cancelled by user"));
    }

    // "/update /silent /PROF:A /PROF:B /PROF:a": the items of A and B, each once, silently.
    void namedProfilesRunOnceEachAndSilently()
    {
        TScriptedPrompt prompt;
        prompt.ConfirmAnswers = { 3, 3, 3 };
        ClearAutoUpdateProfiles();
        LoadAutoUpdateProfiles();
        const auto item = [this](const char* description) {
            auto it = std::make_unique<TUpdateItem>();
            it->Site = Site();
            it->Description = QLatin1String(description);
            it->Target = QStringLiteral("FILE://") + Targets.path() + QStringLiteral("/named-") + it->Description
                + QStringLiteral(".asc");
            it->FormatID = QStringLiteral("genasc");
            return it;
        };
        AddAutoUpdateProfile(QStringLiteral("A")).Add(item("Museum"));
        AddAutoUpdateProfile(QStringLiteral("B")).Add(item("Broken"));
        AddAutoUpdateProfile(QStringLiteral("C")).Add(item("Fuel"));
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* status = qobject_cast<TfmStatus*>(QApplication::activeModalWidget());
            if (!status || status->Running() || status->buClose()->text() != QStringLiteral("Close"))
                return;
            for (int i = 0; i < status->RowCount(); ++i)
                seen << status->RowControl<QLabel>(i, "Label")->text();
            seen << (status->Silent() ? "silent" : "asking");
            status->buClose()->click();
        });
        poll.start(20);
        RunAutoUpdateProfiles(nullptr, { "A", "B", "a" }, true, true);
        QCOMPARE(seen, (QStringList { Site(), "Museum", "Broken", "silent" }));
        QVERIFY(prompt.CheckCaptions.isEmpty());
        // The update timer's run of all profiles carries its own silent flag.
        seen.clear();
        RunAutoUpdateAll(nullptr, true, true);
        QCOMPARE(seen, (QStringList { Site(), "Museum", "Broken", "Fuel", "silent" }));
        QVERIFY(prompt.CheckCaptions.isEmpty());
        ClearAutoUpdateProfiles();
    }

    // A Cancel during an item's download is reported as a cancelled site download is.
    void cancelDuringAnItemDownload()
    {
        TScriptedPrompt prompt;
        Add(Site(), "Slow");
        Add(Site(), "Museum");
        QTimer poll;
        const auto f = Run(false, [&poll](TfmStatus& form) {
            connect(&poll, &QTimer::timeout, &form, [&form] {
                if (Status(form, 1) == QStringLiteral("Status: Downloading..."))
                    form.buClose()->click();
            });
            poll.start(10);
        });
        QCOMPARE(Statuses(*f).mid(1), (QStringList { "Status: Cancelled", "Status: Cancelled" }));
        QCOMPARE(f->laTotalProgress()->text(), QStringLiteral("Progress: Cancelled, 0 updated, 2 skipped"));
        QVERIFY(prompt.Boxes.empty());
        QCOMPARE(f->RowIcon(1), 4);
    }

    void programAfterAnUpdate()
    {
        TScriptedPrompt prompt;
        const QString marker = Targets.path() + QStringLiteral("/marker");
        const QString script = Targets.path() + QStringLiteral("/after.sh");
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho \"$1\" > \"$2\"\n");
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
        TSettings& settings = GetSettings();
        settings.AutoUpdateApplicationEnabled = true;
        settings.AutoUpdateApplication = script;
        settings.AutoUpdateAppParams = QStringLiteral("done \"%1\"").arg(marker);
        Add(Site(), "Museum");
        QFile::remove(Targets.path() + QStringLiteral("/Museum.asc"));
        // A fresh cache entry makes the run an update.
        QDir(CacheFolder(Site())).removeRecursively();
        Run(true);
        QTRY_VERIFY(QFile::exists(marker));
        QVERIFY(prompt.Boxes.empty());

        settings.AutoUpdateApplication = Targets.path() + QStringLiteral("/missing-program");
        QDir(CacheFolder(Site())).removeRecursively();
        Run(true);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QVERIFY(prompt.Boxes[0].Text.startsWith(QStringLiteral(
            "Cannot execute the AutoUpdate application that is specified in the AutoUpdate manager settings:\r")));
        settings.AutoUpdateApplicationEnabled = false;
    }
};

QTEST_MAIN(TestStatusWindow)
#include "tst_fStatus.moc"
