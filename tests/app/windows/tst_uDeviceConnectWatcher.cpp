// End to end: a real "tarvell /tray" with its own folders, a served site and a profile registered
// for the update on ActiveSync connect. Creating the device folder updates the item's device
// target; a folder that stays asks nothing more; removing and creating it again updates again.
#include "AppTestSupport.h"

#include "app/windows/uSingleInstance.h"

#include "sites/SiteTestSupport.h"
#include "support/QtWarningGuard.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

void WriteText(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

} // namespace

class TestDeviceConnect : public QObject {
    Q_OBJECT

private slots:
    void connectionUpdatesTheFlaggedProfile()
    {
        QTemporaryDir home;
        TLoopbackServer server;
        const QString site = server.Base() + QStringLiteral("/site.xml");
        server.Set("/site.xml", TAnswer().WithBody("<pois><poi><description>Fuel</description><url>/fuel.asc</url>"
                                                   "<format>asc.genasc</format></poi></pois>"));
        server.Set("/fuel.asc", TAnswer().WithBody("; fuel\r\n4.5, 51.5, \"Station\"\r\n"));
        const QString root = home.filePath(QStringLiteral("device"));
        const QString exe = QStringLiteral(TARVELL_EXE);
        WriteText(home.filePath(QStringLiteral("config/Orvik Software/Tarvell.ini")),
            QStringLiteral("[Settings]\nCheckEveryWeek=0\nShowStartupScreen=0\nAutoUpdateDelay=1\nStatusAutoClose=1\n"
                           "AlwaysOverwrite=1\nDownloadImages=0\n"
                           "[AutoUpdateItems]\n0=MOBILE://\\POI\\Fuel.asc=%1|Fuel||||genasc\nAutoUpdateActiveSync=1\n"
                           "[AutoStart]\nActiveSync=\"%2\" \"/tray\" \"/update\" \"/silent\" \"/prof:\"\n")
                .arg(site, exe));

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("TMPDIR"), home.path());
        env.insert(QStringLiteral("TARVELL_DEVICE_ROOT"), root);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(exe, { QStringLiteral("/tray") });
        QVERIFY(program.waitForStarted());

        const QString target = root + QStringLiteral("/POI/Fuel.asc");
        const auto catalogueFetches = [&server] { return server.Count("/site.xml"); };
        // The first look finds no device: nothing to do.
        QTest::qWait(3000);
        QCOMPARE(catalogueFetches(), 0);

        QVERIFY(QDir().mkpath(root + QStringLiteral("/POI")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target), 20000);
        QCOMPARE(catalogueFetches(), 1);

        // The device stays: later looks start nothing.
        QTest::qWait(5000);
        QCOMPARE(catalogueFetches(), 1);

        // Unplugged and plugged in again: a new update.
        QVERIFY(QDir(root).removeRecursively());
        QTest::qWait(3000);
        QVERIFY(QDir().mkpath(root + QStringLiteral("/POI")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target), 20000);
        QCOMPARE(catalogueFetches(), 2);

        // File, Exit through the running copy.
        qputenv("TMPDIR", home.path().toLocal8Bit());
        TInstanceClient client;
        if (client.Connect())
            client.Send({ WM_EXITAPP, 0, {} });
        if (!program.waitForFinished(10000)) {
            program.kill();
            program.waitForFinished();
        }
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    }
};

TARVELL_QTEST_GUILESS_MAIN(TestDeviceConnect)
#include "tst_uDeviceConnectWatcher.moc"
