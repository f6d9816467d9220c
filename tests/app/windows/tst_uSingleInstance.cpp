// The single-instance handshake between two real processes.
#include "AppTestSupport.h"

#include "app/windows/uSingleInstance.h"
#include "core/uSettingsStore.h"
#include "support/QtWarningGuard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

QString Describe(const std::vector<TInstanceMessage>& messages)
{
    QStringList parts;
    for (const TInstanceMessage& m : messages)
        parts << QStringLiteral("%1/%2/%3").arg(m.Code).arg(m.WParam).arg(QString::fromUtf8(m.Data));
    return parts.join(QChar(' '));
}

// Runs the program with params and keeps this event loop turning so that the recording server
// answers; returns the exit code (-1 when it did not end in time).
int RunProgram(const QStringList& params, const QString& folder = QString(), int timeoutMs = 20000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(TARVELL_EXE), params);
    if (!process.waitForStarted())
        return -2;
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < timeoutMs)
        QTest::qWait(20);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -3;
}

// Connects to the copy that is starting up; false when it does not answer within 10 s.
bool ConnectOnceUp(TInstanceClient& client)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        if (client.Connect(200))
            return true;
        QTest::qWait(50);
    }
    return false;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    void secondStartForwards_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("received");
        // The running copy works in another folder: a relative path arrives made absolute.
        QTest::newRow("two paths") << QStringList { "/home/u/a.ov2", "rel/b c.ov2" }
                                   << "74/0//home/u/a.ov2 74/0/" + QDir::currentPath() + "/rel/b c.ov2 2025/0/";
        QTest::newRow("device path") << QStringList { "MOBILE://\\My Documents\\a.ov2", "/tray" }
                                     << "74/0/MOBILE://\\My Documents\\a.ov2";
        QTest::newRow("update silent tray") << QStringList { "/update", "/silent", "/tray" } << "2024/1/";
        QTest::newRow("update") << QStringList { "/UPDATE", "/prof:Car" } << "2024/0//prof:Car 2025/0/";
        QTest::newRow("two profiles") << QStringList { "/update", "/silent", "/tray", "/PROF:A", "/PROF:B" }
                                      << "2024/1//PROF:A\n/PROF:B";
        QTest::newRow("tray with path") << QStringList { "/tray", "/tmp/x.gpx" } << "74/0//tmp/x.gpx";
    }
    void secondStartForwards()
    {
        QFETCH(QStringList, params);
        QFETCH(QString, received);
        TInstanceServer server;
        QVERIFY(server.Listen());
        std::vector<TInstanceMessage> messages;
        server.SetHandler([&](const TInstanceMessage& m) { messages.push_back(m); });
        QCOMPARE(RunProgram(params), 0);
        QCOMPARE(Describe(messages), received);
    }

    void multiStartsAnotherEditor()
    {
        TInstanceServer server;
        QVERIFY(server.Listen());
        std::vector<TInstanceMessage> messages;
        server.SetHandler([&](const TInstanceMessage& m) { messages.push_back(m); });
        QProcess process;
        process.start(QStringLiteral(TARVELL_EXE), { "/multi", "/tray" });
        QVERIFY(process.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(process.state(), QProcess::Running); // its own editor, not a forwarder
        QVERIFY(messages.empty());
        process.kill();
        process.waitForFinished();
    }

    void firstStartInTrayServesAndExitsOnRequest()
    {
        const QString settingsFile = SettingsStoreFileName();
        QFile::remove(settingsFile);
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(TARVELL_EXE), { "/tray" });
        QVERIFY(process.waitForStarted());
        TInstanceClient client;
        QVERIFY(ConnectOnceUp(client));
        // A forwarded file is opened by the running copy, which goes on serving.
        QTemporaryDir dir;
        const QString poiFile = dir.filePath(QStringLiteral("museum.asc"));
        QFile file(poiFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("4.89123, 52.37312, \"Museum\"\r\n");
        file.close();
        QVERIFY(client.Send({ WM_COPYDATA_CODE, 0, poiFile.toUtf8() }));
        QCOMPARE(process.state(), QProcess::Running);
        QVERIFY(client.Send({ WM_EXITAPP, 0, {} }));
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QFile::exists(settingsFile)); // the settings are saved at the end
    }

    // The sample opened by a first start from the project folder (relative path) and named again by
    // a second start from another folder (absolute path) is one file: the second start shows it,
    // and the recent files hold it once, absolute.
    void startedTwiceRelativeThenAbsoluteIsOneRecentFile()
    {
        const QString project = QDir::cleanPath(QStringLiteral(TARVELL_TEST_DATA "/../.."));
        const QString sample = project + QStringLiteral("/samples/amsterdam.ov2");
        QVERIFY(QFile::exists(sample));
        const QString settingsFile = SettingsStoreFileName();
        QFile::remove(settingsFile);
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.setWorkingDirectory(project);
        first.start(QStringLiteral(TARVELL_EXE), { QStringLiteral("samples/amsterdam.ov2") });
        QVERIFY(first.waitForStarted());
        TInstanceClient client;
        QVERIFY(ConnectOnceUp(client));
        QTemporaryDir elsewhere;
        QCOMPARE(RunProgram({ sample }, elsewhere.path()), 0);
        QVERIFY(client.Send({ WM_EXITAPP, 0, {} }));
        QVERIFY(first.waitForFinished(10000));
        TSettingsStore store(settingsFile);
        QCOMPARE(store.ReadString(QStringLiteral("MRU"), QStringLiteral("0"), QString()), sample + QChar('='));
        QCOMPARE(store.ReadString(QStringLiteral("MRU"), QStringLiteral("1"), QStringLiteral("none")), QStringLiteral("none"));
    }

    void waitingUpdateRequestsJoin_data()
    {
        QTest::addColumn<int>("firstSilent");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<int>("secondSilent");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("silent");
        QTest::addColumn<QByteArray>("joined");
        QTest::newRow("profiles joined, each once") << 1 << QByteArray("/PROF:Car\n/prof:Bike") << 1
                                                    << QByteArray("/prof:car\n/PROF:Boat") << 1
                                                    << QByteArray("/PROF:Car\n/prof:Bike\n/PROF:Boat");
        QTest::newRow("silent only when both are") << 1 << QByteArray("/PROF:Car") << 0 << QByteArray("/PROF:Car") << 0
                                                   << QByteArray("/PROF:Car");
        QTest::newRow("every profile wins") << 0 << QByteArray("/PROF:Car") << 1 << QByteArray() << 0 << QByteArray();
        QTest::newRow("the default profile") << 1 << QByteArray("/prof:") << 1 << QByteArray("/PROF:Car") << 1
                                             << QByteArray("/prof:\n/PROF:Car");
    }
    void waitingUpdateRequestsJoin()
    {
        QFETCH(int, firstSilent);
        QFETCH(QByteArray, first);
        QFETCH(int, secondSilent);
        QFETCH(QByteArray, second);
        QFETCH(int, silent);
        QFETCH(QByteArray, joined);
        const TInstanceMessage m
            = MergeAutoUpdateMessages({ WM_AUTOUPDATE, firstSilent, first }, { WM_AUTOUPDATE, secondSilent, second });
        QCOMPARE(m.Code, WM_AUTOUPDATE);
        QCOMPARE(m.WParam, silent);
        QCOMPARE(m.Data, joined);
    }

    // Two starts at the same moment: one editor; the other finds it and forwards. In the first
    // round both are held at the start lock and then let go together, as close as starts come.
    void twoStartsAtOnceMakeOneEditor()
    {
        for (int round = 0; round < 2; ++round) {
            TInstanceStartLock held;
            if (round == 0)
                QVERIFY(held.Acquire(1000));
            QProcess first;
            QProcess second;
            first.setProcessChannelMode(QProcess::ForwardedChannels);
            second.setProcessChannelMode(QProcess::ForwardedChannels);
            first.start(QStringLiteral(TARVELL_EXE), { "/tray" });
            second.start(QStringLiteral(TARVELL_EXE), { "/tray" });
            QVERIFY(first.waitForStarted() && second.waitForStarted());
            if (round == 0) {
                QTest::qWait(1500);
                TInstanceClient probe;
                QVERIFY(!probe.Connect(200)); // neither looked and listened while another might
                QCOMPARE(first.state(), QProcess::Running);
                QCOMPARE(second.state(), QProcess::Running);
                held.Release();
            }
            QElapsedTimer clock;
            clock.start();
            while (first.state() == QProcess::Running && second.state() == QProcess::Running && clock.elapsed() < 20000)
                QTest::qWait(20);
            QTest::qWait(500);
            QProcess& ended = first.state() == QProcess::NotRunning ? first : second;
            QProcess& editor = &ended == &first ? second : first;
            QCOMPARE(ended.state(), QProcess::NotRunning);
            QCOMPARE(ended.exitCode(), 0);
            QCOMPARE(editor.state(), QProcess::Running);
            TInstanceClient client;
            QVERIFY(ConnectOnceUp(client));
            QVERIFY(client.Send({ WM_EXITAPP, 0, {} }));
            QVERIFY(editor.waitForFinished(10000));
        }
    }

    // A temporary folder too long for a socket name: the name falls back to one the system takes.
    void longTemporaryFolderFallsBack()
    {
        const QByteArray old = qgetenv("TMPDIR");
        const QString deep = QString::fromLocal8Bit(old) + QChar('/') + QString(120, QChar('d'));
        QVERIFY(QDir().mkpath(deep));
        qputenv("TMPDIR", deep.toLocal8Bit());
        const QString name = InstanceServerName();
        qputenv("TMPDIR", old);
        QCOMPARE(name, QStringLiteral("/tmp/TfmTarvellMainForm-") + QString::number(getuid()));
        QVERIFY(InstanceServerName().startsWith(QString::fromLocal8Bit(old)));
    }

    // The start lock lets one start at a time look for a copy and listen.
    void startLockIsHeldByOneStartAtATime()
    {
        const QString name = InstanceServerName() + QStringLiteral("-locktest");
        TInstanceStartLock first(name);
        TInstanceStartLock second(name);
        QVERIFY(first.Acquire(100));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!second.Acquire(200));
        QVERIFY(clock.elapsed() >= 150);
        first.Release();
        QVERIFY(second.Acquire(100));
        QVERIFY(second.IsHeld());
        second.Release();
        QVERIFY(!second.IsHeld());
    }

    void staleSocketIsReplaced()
    {
        const QString name = InstanceServerName() + QStringLiteral("-stale");
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        TInstanceServer server;
        QVERIFY(server.Listen(name));
        TInstanceServer second;
        QVERIFY(!second.Listen(name)); // a live copy keeps its name
        server.Close();
        QVERIFY(!server.IsListening());
    }
};

TARVELL_QTEST_MAIN(TestSingleInstance)
#include "tst_uSingleInstance.moc"
