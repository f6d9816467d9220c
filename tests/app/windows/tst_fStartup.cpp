// The start-up screen as a user drives it: F9 with no items, with one profile and with two, the
// four buttons, F8, the don't-show box with every way of closing, and the one screen the main
// window keeps for the start and the tray. Its picture is taken under Xvfb.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fAutoUpdateWizard.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fStartup.h"
#include "support/CoreTestHooks.h"
#include "ui/AdvGlowButton.h"
#include "support/QtWarningGuard.h"

#include <QCheckBox>
#include <QMdiArea>
#include <QMenu>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT
    std::unique_ptr<TdmMain> Data;
    std::unique_ptr<TfmTarvellMainForm> Main;

    TfmTarvellStartup* Screen()
    {
        Main->ShowStartupScreen();
        TfmTarvellStartup* screen = TMainFormTestAccess(*Main).StartupScreen();
        (void)QTest::qWaitForWindowExposed(screen);
        return screen;
    }
    static QStringList Captions(const QMenu* menu)
    {
        QStringList captions;
        for (const QAction* a : menu->actions())
            captions << a->text();
        return captions;
    }

private slots:
    void initTestCase() { TestHome(); }
    void init()
    {
        ResetSettingsForTests();
        SetProfiles({});
        Data = std::make_unique<TdmMain>();
        Main = std::make_unique<TfmTarvellMainForm>(*Data);
        Main->show();
        // The start timer would show the screen again in the middle of a test; the test of the
        // start runs it itself.
        TMainFormTestAccess(*Main).Timer2().stop();
    }
    void cleanup()
    {
        Main.reset();
        Data.reset();
    }

    void f9WithoutItemsSaysSoAndStaysOpen()
    {
        TScriptedPrompt prompt;
        TfmTarvellStartup* screen = Screen();
        QTest::keyClick(screen, Qt::Key_F9);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("You must first setup your AutoUpdate items using the AutoUpdate Wizard or Manager."));
        QVERIFY(screen->isVisible());
        QVERIFY(!TStartupTestAccess(*screen).pmAutoUpdate()->isVisible());
    }

    void f9WithOneProfileRunsAsTheMainWindowsRun()
    {
        SetProfiles({ { "", 2 } });
        TfmTarvellStartup* screen = Screen();
        QCOMPARE(TStartupTestAccess(*screen).buAutoUpdateNow()->ImageIndex(), TfmTarvellStartup::ImageUpdateNow);
        TRunRecorder runs;
        bool runningInside = false;
        runs.Inside = [&](QWidget*) { runningInside = TMainFormTestAccess(*Main).UpdateRunning(); };
        QTest::keyClick(screen, Qt::Key_F9);
        QCOMPARE(runs.Rows, (std::vector<int> { 3 }));
        QVERIFY(runningInside);
        QVERIFY(!screen->isVisible());
        QVERIFY(!TMainFormTestAccess(*Main).UpdateRunning());
    }

    void f9WithTwoProfilesOffersTheProfileMenu()
    {
        SetProfiles({ { "", 1 }, { "Car", 2 } });
        TfmTarvellStartup* screen = Screen();
        QCOMPARE(TStartupTestAccess(*screen).buAutoUpdateNow()->ImageIndex(), TfmTarvellStartup::ImageUpdateNowMenu);
        TRunRecorder runs;
        QTest::keyClick(screen, Qt::Key_F9);
        QTRY_VERIFY(TStartupTestAccess(*screen).pmAutoUpdate()->isVisible());
        QVERIFY(runs.Rows.empty());
        QCOMPARE(Captions(TStartupTestAccess(*screen).pmAutoUpdate()),
            (QStringList { QStringLiteral("AutoUpdate &All Profiles"), QStringLiteral("AutoUpdate &Default"),
                QStringLiteral("AutoUpdate &Car") }));
        const QPoint below = TStartupTestAccess(*screen).buAutoUpdateNow()->mapToGlobal(
            QPoint(0, TStartupTestAccess(*screen).buAutoUpdateNow()->height()));
        QCOMPARE(TStartupTestAccess(*screen).pmAutoUpdate()->pos(), below);
        bool runningInside = false;
        runs.Inside = [&](QWidget*) { runningInside = TMainFormTestAccess(*Main).UpdateRunning(); };
        TStartupTestAccess(*screen).pmAutoUpdate()->actions().at(2)->trigger();
        // the Car profile's two items of one site
        QCOMPARE(runs.Rows, (std::vector<int> { 3 }));
        QVERIFY(runningInside);
        QVERIFY(!screen->isVisible());
    }

    void buttonsRunTheMainWindowsCommands()
    {
        TScriptedPrompt prompt;
        TfmTarvellStartup* screen = Screen();
        QTest::mouseClick(TStartupTestAccess(*screen).buNew(), Qt::LeftButton);
        QVERIFY(!screen->isVisible());
        QCOMPARE(TMainFormTestAccess(*Main).MdiArea()->subWindowList().size(), 1);

        const auto opens = [&](QAction* action) {
            Screen();
            QString opened;
            TOnNextModal closer([&](QDialog* dialog) {
                opened = QString::fromLatin1(dialog->metaObject()->className());
                // Past the wizard's "are you sure" question.
                dialog->done(QDialog::Rejected);
            });
            action->trigger();
            [&] { QTRY_VERIFY(closer.Ran); }();
            return opened;
        };
        // The screen hides once the command has run; under load that may be a moment later.
        QCOMPARE(opens(TStartupTestAccess(*screen).acWizard()), QStringLiteral("TfmAutoUpdateWizard"));
        QTRY_VERIFY(!screen->isVisible());
        QCOMPARE(opens(TStartupTestAccess(*screen).acAutoUpdateManager()), QStringLiteral("TfmSiteManager"));
        QTRY_VERIFY(!screen->isVisible());
        QCOMPARE(TStartupTestAccess(*screen).acAutoUpdateManager()->shortcut(), QKeySequence(Qt::Key_F8));
        QCOMPARE(TStartupTestAccess(*screen).buWizard()->Caption(), QStringLiteral("&Start AutoUpdate Wizard"));
        QCOMPARE(TStartupTestAccess(*screen).buWizard()->ImageIndex(), TfmTarvellStartup::ImageWizard);
        // created once
        QCOMPARE(TMainFormTestAccess(*Main).StartupScreen(), screen);
    }

    void dontShowBoxAndEveryWayOfClosing_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Escape") << 0;
        QTest::newRow("window closed") << 1;
        QTest::newRow("Create new Poi File") << 2;
    }
    void dontShowBoxAndEveryWayOfClosing()
    {
        QFETCH(int, way);
        GetSettings().ShowStartupScreen = false;
        TfmTarvellStartup* screen = Screen();
        QVERIFY(TStartupTestAccess(*screen).cbDontShow()->isChecked());
        QCOMPARE(TStartupTestAccess(*screen).cbDontShow()->text(),
            QStringLiteral("Next time do not show this startup screen "));
        TStartupTestAccess(*screen).cbDontShow()->click();
        if (way == 0)
            QTest::keyClick(screen, Qt::Key_Escape);
        else if (way == 1)
            screen->close();
        else
            TStartupTestAccess(*screen).acNew()->trigger();
        QVERIFY(!screen->isVisible());
        QCOMPARE(GetSettings().ShowStartupScreen, true);

        Screen();
        TStartupTestAccess(*screen).cbDontShow()->click();
        screen->close();
        QCOMPARE(GetSettings().ShowStartupScreen, false);
    }

    void shownAtStartAndFromTheTray()
    {
        TMainFormTestAccess access(*Main);
        Main->hide();
        access.Timer2().stop();
        QVERIFY(!TMainFormTestAccess(*Main).StartupScreen());
        Action(TAction::Tarvell1)->trigger();
        QVERIFY(Main->isVisible());
        QTRY_VERIFY(
            TMainFormTestAccess(*Main).StartupScreen() && TMainFormTestAccess(*Main).StartupScreen()->isVisible());
        TfmTarvellStartup* first = TMainFormTestAccess(*Main).StartupScreen();
        first->close();

        GetSettings().ShowStartupScreen = false;
        Main->hide();
        Action(TAction::Tarvell1)->trigger();
        QVERIFY(Main->isVisible());
        QVERIFY2(!first->isVisible(), "the box says not to");

        GetSettings().ShowStartupScreen = true;
        Main->hide();
        Action(TAction::Tarvell1)->trigger();
        QTRY_VERIFY(first->isVisible());
        // shown again, not made anew
        QCOMPARE(TMainFormTestAccess(*Main).StartupScreen(), first);
        first->close();
        // Already showing: the tray item brings the window forward and shows no screen.
        Action(TAction::Tarvell1)->trigger();
        QVERIFY(!first->isVisible());
    }

    void startTimerShowsItUnlessThereIsWorkOrTheTray_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<bool>("shown");
        QTest::newRow("plain start") << QStringList() << true;
        QTest::newRow("/tray") << QStringList { QStringLiteral("/tray") } << false;
        QTest::newRow("/update") << QStringList { QStringLiteral("/update") } << false;
    }
    void startTimerShowsItUnlessThereIsWorkOrTheTray()
    {
        QFETCH(QStringList, params);
        QFETCH(bool, shown);
        SetCommandLineParams(params);
        TMainFormTestAccess access(*Main);
        access.TiAutoUpdate().setInterval(60000);
        access.Timer2().start(0);
        QTRY_VERIFY(!access.Timer2().isActive());
        QTest::qWait(20);
        QCOMPARE(TMainFormTestAccess(*Main).StartupScreen() != nullptr
                && TMainFormTestAccess(*Main).StartupScreen()->isVisible(),
            shown);
        SetCommandLineParams({});
    }

    void startupPicture()
    {
        SetProfiles({ { "", 1 }, { "Car", 1 } });
        TfmTarvellStartup* screen = Screen();
        QTest::qWait(200);
        QVERIFY(SaveArtifactPicture(screen->grab(), QStringLiteral("startup-screen.png")));
    }

private:
    QAction* Action(TAction id) const { return Main->Action(id); }
};

TARVELL_QTEST_MAIN(TestStartup)
#include "tst_fStartup.moc"
