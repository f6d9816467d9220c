// The test-wide message handler: a window with a deliberately ambiguous key pair (or a connection
// to a missing signal) fails its test program; a sound window and unrelated warnings do not.
// The failing programs are this executable again, started with the name of a broken case.
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QWidget>

namespace {

constexpr char CaseVariable[] = "TARVELL_GUARD_CASE";

// One window test run in the child: the case names what the window does wrong.
class TestGuardedWindow : public QObject {
    Q_OBJECT

private slots:
    void run()
    {
        const QByteArray which = qgetenv(CaseVariable);
        QWidget window;
        int fired = 0;
        auto* first = new QAction(&window);
        first->setShortcut(QKeySequence(Qt::Key_Insert));
        window.addAction(first);
        connect(first, &QAction::triggered, this, [&fired] { ++fired; });
        if (which == "ambiguous") {
            auto* second = new QAction(&window);
            second->setShortcut(QKeySequence(Qt::Key_Insert));
            window.addAction(second);
        } else if (which == "nosignal") {
            QObject::connect(&window, SIGNAL(noSuchSignal()), &window, SLOT(close()));
        } else if (which == "otherwarning") {
            qWarning("A warning that says nothing about the window");
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Insert);
        if (which != "ambiguous")
            QCOMPARE(fired, 1);
    }
};

struct TChildRun {
    int ExitCode = -1;
    QString Output;
};

TChildRun RunCase(const QString& which)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(CaseVariable), which);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
    }
    return { child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1, QString::fromLocal8Bit(child.readAll()) };
}

} // namespace

class TestQtWarningGuard : public QObject {
    Q_OBJECT

private slots:
    void classifiesWarnings_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("broken");
        QTest::newRow("ambiguous key") << int(QtWarningMsg) << "QAction::event: Ambiguous shortcut overload: Ins" << true;
        QTest::newRow("no signal") << int(QtWarningMsg) << "QObject::connect: No such signal QWidget::gone()" << true;
        QTest::newRow("no slot") << int(QtWarningMsg) << "QObject::connect: No such slot QWidget::gone()" << true;
        QTest::newRow("null sender") << int(QtWarningMsg) << "QObject::connect: Cannot connect (nullptr)::x() to QWidget::y()" << true;
        QTest::newRow("layout twice") << int(QtWarningMsg)
                                      << "QLayout: Attempting to add QLayout \"\" to QWidget \"\", which already has a layout" << true;
        QTest::newRow("recursive repaint") << int(QtWarningMsg) << "QWidget::repaint: Recursive repaint detected" << true;
        QTest::newRow("painter outside paint event") << int(QtWarningMsg)
                                                     << "QPainter::begin: Widget painting can only begin as a result of a paintEvent" << true;
        QTest::newRow("painter not active") << int(QtWarningMsg) << "QPainter::setPen: Painter not active" << true;
        QTest::newRow("critical too") << int(QtCriticalMsg) << "QObject::connect: No such slot A::b()" << true;
        QTest::newRow("tray of a platform without one") << int(QtWarningMsg)
                                                        << "QObject::connect: No such signal QPlatformNativeInterface::systemTrayWindowChanged(QScreen*)"
                                                        << false;
        QTest::newRow("plain warning") << int(QtWarningMsg) << "Unable to open the file" << false;
        QTest::newRow("debug text") << int(QtDebugMsg) << "Ambiguous shortcut overload" << false;
    }

    void classifiesWarnings()
    {
        QFETCH(int, type);
        QFETCH(QString, message);
        QFETCH(bool, broken);
        QCOMPARE(TestSupport::IsBrokenWindowWarning(QtMsgType(type), message), broken);
    }

    // The child programs: the two broken windows fail with the warning in the log, the sound
    // window and an unrelated warning pass.
    void failsTheProgram_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("logged");
        QTest::newRow("ambiguous pair") << "ambiguous" << true << "Ambiguous shortcut overload";
        QTest::newRow("missing signal") << "nosignal" << true << "No such signal";
        QTest::newRow("sound window") << "sound" << false << "";
        QTest::newRow("other warning") << "otherwarning" << false << "A warning that says nothing";
    }

    void failsTheProgram()
    {
        QFETCH(QString, which);
        QFETCH(bool, fails);
        QFETCH(QString, logged);
        const TChildRun run = RunCase(which);
        QVERIFY2(run.ExitCode >= 0, qPrintable(run.Output));
        QVERIFY2((run.ExitCode != 0) == fails, qPrintable(run.Output));
        QVERIFY2(run.Output.contains(logged), qPrintable(run.Output));
        if (fails)
            QVERIFY2(run.Output.contains(QLatin1String("FAIL!  : TestGuardedWindow::run() Qt warning of a broken window")),
                qPrintable(run.Output));
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (qEnvironmentVariableIsSet(CaseVariable)) {
        TestGuardedWindow broken;
        return TestSupport::RunGuardedTests(&broken, 1, argv);
    }
    TestQtWarningGuard guard;
    return TestSupport::RunGuardedTests(&guard, argc, argv);
}

#include "tst_QtWarningGuard.moc"
