// The main window: the action table, close/exit/hide/restart, messages, timers, drops, bounds.
#include "AppTestSupport.h"

#include "app/dMain.h"
#include "app/fMain.h"
#include "app/uMainActions.h"
#include "app/uSingleInstance.h"
#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QTranslator>
#include <QUrl>
#include <QtTest>

namespace {

TMainActionState State(int children, bool focus = false, bool device = false, bool searchEmpty = true, int mru = 0,
    std::vector<int> profiles = { 0 }, bool week = true)
{
    TMainActionState s;
    s.ChildCount = children;
    s.ListHasFocus = focus;
    s.DeviceConnected = device;
    s.SearchTextEmpty = searchEmpty;
    s.MruCount = mru;
    s.ProfileItems = std::move(profiles);
    s.CheckEveryWeek = week;
    return s;
}

// A main window with recording services.
struct TFixture {
    TdmMain Data;
    int Quits = 0;
    int Disconnects = 0;
    bool Connected = false;
    bool Tray = true;
    std::vector<TProfileMenuInfo> Profiles { { QStringLiteral("Default"), false } };
    QStringList Opened;
    QStringList Runs;
    QList<QUrl> Urls;
    std::vector<bool> ServerListeningAtRestart;
    std::vector<int> RestartLanguages;
    TInstanceServer* Server = nullptr;
    // Called once inside a run, while it goes on.
    std::function<void()> DuringRun;
    std::unique_ptr<TfmTarvellMainForm> Form;

    explicit TFixture(bool withOpen = false)
    {
        TMainFormServices s;
        s.CreateChild = [] { return new TFakeChild(); };
        if (withOpen)
            s.OpenFile = [this](const QString& path, TChildWindow*, bool append, const QString& format) {
                Opened << path + (append ? QStringLiteral("+") : QString()) + format;
            };
        s.IsDeviceConnected = [this] { return Connected; };
        s.DisconnectDevice = [this] {
            ++Disconnects;
            Connected = false;
        };
        s.Profiles = [this] { return Profiles; };
        s.RunAutoUpdateAll
            = [this](QWidget*, bool, bool silent) {
                  Runs << QStringLiteral("all%1").arg(silent ? "-silent" : "");
                  if (const std::function<void()> once = std::exchange(DuringRun, nullptr))
                      once();
              };
        s.RunAutoUpdateProfile = [this](QWidget*, int p) { Runs << QStringLiteral("profile%1").arg(p); };
        s.RunAutoUpdateTimer = [this](QWidget*, const QStringList& names, bool, bool silent) {
            Runs << QStringLiteral("named:") + names.join(QChar(',')) + (silent ? "-silent" : "");
        };
        s.StartAgainInLanguage = [this](int language) {
            ServerListeningAtRestart.push_back(Server && Server->IsListening());
            RestartLanguages.push_back(language);
            return true;
        };
        s.OpenUrl = [this](const QUrl& url) { Urls << url; };
        s.Quit = [this] { ++Quits; };
        s.TrayAvailable = [this] { return Tray; };
        Form = std::make_unique<TfmTarvellMainForm>(&Data, std::move(s));
    }
    TFakeChild* AddChild(const QString& name)
    {
        auto* child = static_cast<TFakeChild*>(Form->NewChild());
        child->Name = name;
        Form->ShowChild(child);
        return child;
    }
    QAction* A(const char* name) const { return Form->Action(QLatin1String(name)); }
};

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }
    void init()
    {
        ResetSettingsForTests();
        SetCommandLineParams({});
        QFile::remove(SettingsStoreFileName());
    }

    void actionRules_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("rule"); // index into the snapshot list below
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("image");
        // Snapshots: 0 nothing open; 1 one child, list focused; 2 one child, no focus, search text;
        // 3 two children, device; 4 three recent files; 5 three profiles, only the second has items;
        // 6 one profile with items; 7 weekly check off.
        auto row = [](const char* name, int snapshot, bool enabled, bool visible = true, int image = -1) {
            QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(name)).arg(snapshot)))
                << QString::fromLatin1(name) << snapshot << enabled << visible << image;
        };
        row("acFileNew", 0, true);
        row("acFileOpen", 0, true);
        row("acFileRemote", 0, true);
        row("acFileAppend", 0, false);
        row("acFileAppend", 2, true);
        for (const char* name : { "acFileSave", "acFileSaveAs", "acFileSaveRemote", "acFileClose", "acEditSelectAll",
                 "acInvertSelection", "acFind", "acFindDups", "acWindowCascade", "acWindowTileHorizontal",
                 "acWindowTileVertical", "WindowMinimizeAll2", "WindowArrange1" }) {
            row(name, 0, false);
            row(name, 2, true);
        }
        for (const char* name :
            { "acEditCopy", "acCopyText", "acEditCut", "acEditPaste", "acEditDelete", "acEditInsert" }) {
            row(name, 0, false);
            row(name, 1, true);
            row(name, 2, false);
        }
        row("acFileReconnect", 2, false);
        row("acFileReconnect", 3, true);
        row("acFindNext", 1, false);
        row("acFindNext", 2, true);
        row("acWindowNext", 2, false);
        row("acWindowNext", 3, true);
        row("acMru1", 0, true, false);
        row("acMru3", 4, true, true);
        row("acMru4", 4, true, false);
        row("acAutoUpdateNow", 0, false);
        row("acAutoUpdateNow", 5, true);
        row("acAutoUpdateNow", 6, true);
        row("acAutoUpdateToolbar", 0, false, true, ImageAutoUpdateAll);
        row("acAutoUpdateToolbar", 6, true, true, ImageAutoUpdateAll);
        row("acAutoUpdateToolbar", 5, true, true, ImageAutoUpdateAllDrop);
        row("acAutoUpdatePopParent", 6, true, false);
        row("acAutoUpdatePopParent", 5, true, true);
        row("acAutoUpdateProfile1", 5, false, true);
        row("acAutoUpdateProfile2", 5, true, true);
        row("acAutoUpdateProfile3", 5, false, true);
        row("acAutoUpdateProfile4", 5, false, false);
        row("acAutoUpdateProfile1", 6, true, true);
        row("acAutoUpdateProfile2", 6, false, false);
        row("acCheckEveryWeek", 0, true, true, ImageCheckWeekOn);
        row("acCheckEveryWeek", 7, true, true, ImageCheckWeekOff);
        for (const char* name : { "acHide", "acFileExit", "acCalc", "actToolsBatchConvert", "actPrefs",
                 "acAutoUpdateWizard", "acAutoUpdateManager", "acGotoSiteStatus", "Action4", "Action7", "Action8",
                 "Action5", "acSysInfo", "acAbout" })
            row(name, 0, true);
    }
    void actionRules()
    {
        QFETCH(QString, action);
        QFETCH(int, rule);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        QFETCH(int, image);
        const TMainActionState snapshots[] = {
            State(0),
            State(1, true),
            State(1, false, false, false),
            State(2, false, true),
            State(0, false, false, true, 3),
            State(0, false, false, true, 0, { 0, 4, 0 }),
            State(0, false, false, true, 0, { 2 }),
            State(0, false, false, true, 0, { 0 }, false),
        };
        const TActionDef* def = FindMainAction(action);
        QVERIFY(def);
        const TActionLook look = EvaluateAction(*def, snapshots[rule]);
        QCOMPARE(look.Enabled, enabled);
        QCOMPARE(look.Visible, visible);
        if (image >= 0)
            QCOMPARE(look.Image, image);
    }

    void closeDecision_data()
    {
        QTest::addColumn<bool>("exiting");
        QTest::addColumn<bool>("hiding");
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("childrenClosed");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("exitingAfter");
        QTest::newRow("close button exits") << false << false << -1 << true << int(TCloseOutcome::Exit) << true;
        QTest::newRow("hide in tray") << false << true << -1 << true << int(TCloseOutcome::Hide) << false;
        QTest::newRow("exit") << true << false << -1 << true << int(TCloseOutcome::Exit) << true;
        QTest::newRow("exit while hiding flag") << true << true << -1 << true << int(TCloseOutcome::Exit) << true;
        QTest::newRow("language") << true << false << 3 << true << int(TCloseOutcome::Restart) << true;
        QTest::newRow("refused exit resets") << true << false << -1 << false << int(TCloseOutcome::Refused) << false;
        QTest::newRow("refused language resets") << true << false << 2 << false << int(TCloseOutcome::Refused) << false;
        QTest::newRow("refused hide resets") << false << true << -1 << false << int(TCloseOutcome::Refused) << false;
    }
    void closeDecision()
    {
        QFETCH(bool, exiting);
        QFETCH(bool, hiding);
        QFETCH(int, language);
        QFETCH(bool, childrenClosed);
        QFETCH(int, outcome);
        QFETCH(bool, exitingAfter);
        TCloseFlags flags { exiting, hiding, language };
        int restart = -1;
        QCOMPARE(int(DecideClose(flags, childrenClosed, &restart)), outcome);
        QCOMPARE(flags.Exiting, exitingAfter);
        QCOMPARE(flags.HidingInTray, false);
        QCOMPARE(flags.LanguageIndex, -1);
        if (outcome == int(TCloseOutcome::Restart))
            QCOMPARE(restart, language);
    }

    void actionsPresentWithCaptionsAndShortcuts()
    {
        TFixture f;
        for (const TActionDef& def : MainActionTable()) {
            QAction* action = f.Form->Action(QLatin1String(def.Name));
            QVERIFY2(action, def.Name);
            if (*def.Caption && def.Rule != TActionRule::Profile)
                QCOMPARE(action->text(), QString::fromLatin1(def.Caption));
            QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(def.Shortcut)));
        }
        QCOMPARE(f.A("acFileNew")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(f.A("acFileExit")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
        QCOMPARE(f.A("acEditInsert")->shortcut(), QKeySequence(Qt::Key_Insert));
        QCOMPARE(f.A("acAutoUpdateProfile1")->text(), QStringLiteral("AutoUpdate Default"));
        // Menu bar, tool bar and tray menu.
        QStringList menus;
        for (QAction* m : f.Form->menuBar()->actions())
            menus << m->text();
        QCOMPARE(menus, (QStringList { "&File", "&Edit", "&Tools", "&AutoUpdate", "&Window", "&Help" }));
        QStringList tools;
        for (QAction* a : f.Form->ToolBar1()->actions())
            tools << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
        QCOMPARE(tools.join(QChar(' ')),
            QStringLiteral("acFileNew acFileOpen acFileRemote | acFileSave acFileSaveAs acFileSaveRemote | "
                           "acEditCut acEditCopy acEditPaste acFind acFindNext | acAutoUpdateWizard "
                           "acAutoUpdateToolbar acAutoUpdateManager | acWindowTileHorizontal "
                           "acWindowTileVertical acWindowCascade acWindowNext | acCalc acHide"));
        for (QAction* a : f.Form->ToolBar1()->actions())
            if (!a->isSeparator())
                QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
        QStringList tray;
        for (QAction* a : f.Form->PopupMenu1()->actions())
            tray << (a->isSeparator() ? QStringLiteral("|") : a->text());
        QCOMPARE(tray, (QStringList { "Tarvell...", "AutoUpdate All...", "AutoUpdate Profile", "|", "Exit" }));
        QCOMPARE(f.Form->TrayIcon()->toolTip(), QStringLiteral("Tarvell"));
        QVERIFY(f.Form->Language1());
        // Status bar panels 1 to 3 keep their widths, panel 0 takes the rest.
        QCOMPARE(f.Form->StatusPanel(1)->width(), 175);
        QCOMPARE(f.Form->StatusPanel(3)->width(), 70);
    }

    void textsFollowTheLanguage()
    {
        class TDutch : public QTranslator {
        public:
            bool isEmpty() const override { return false; }
            QString translate(const char* context, const char* source, const char*, int) const override
            {
                if (QLatin1String(context) != QLatin1String("TfmTarvellMainForm"))
                    return QString();
                if (QLatin1String(source) == QLatin1String("&New"))
                    return QStringLiteral("&Nieuw");
                if (QLatin1String(source) == QLatin1String("&File"))
                    return QStringLiteral("&Bestand");
                return QString();
            }
        } dutch;
        TFixture f;
        QVERIFY(QCoreApplication::installTranslator(&dutch));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(f.A("acFileNew")->text(), QStringLiteral("&Nieuw"));
        QCOMPARE(f.Form->menuBar()->actions().first()->text(), QStringLiteral("&Bestand"));
        QCoreApplication::removeTranslator(&dutch);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(f.A("acFileNew")->text(), QStringLiteral("&New"));
    }

    void openDialogSetUp()
    {
        GetSettings().InitialDir = QStringLiteral("/home/u/pois");
        TFixture f;
        const TOpenFileRequest request = f.Form->OpenDialog1();
        QCOMPARE(request.InitialDir, QStringLiteral("/home/u/pois"));
        QCOMPARE(request.FilterIndex, 1);
        QCOMPARE(request.NameFilters, GetOpenNameFilters());
        QCOMPARE(request.DefaultSuffix, QStringLiteral("OV2"));
    }

    void timersStarted()
    {
        GetSettings().AutoUpdateDelay = 12;
        TFixture f;
        QVERIFY(f.Form->Timer1().isActive());
        QCOMPARE(f.Form->Timer1().interval(), 1000);
        QVERIFY(f.Form->Timer2().isActive());
        QCOMPARE(f.Form->Timer2().interval(), 100);
        QVERIFY(!f.Form->TiAutoUpdate().isActive());
        QCOMPARE(f.Form->TiAutoUpdate().interval(), 12000);
    }

    void startupTimerOpensPathsThenUpdates()
    {
        SetCommandLineParams({ "/home/u/a.ov2", "/update", "/silent", "/prof: Car ", "/tmp/b.gpx" });
        TFixture f(true);
        f.Profiles = { { "Default", false }, { "car", true } };
        QTRY_COMPARE(f.Opened, (QStringList { "/home/u/a.ov2", "/tmp/b.gpx" }));
        QVERIFY(f.Form->SilentUpdate());
        QVERIFY(f.Form->TiAutoUpdate().isActive());
        f.Form->TiAutoUpdate().setInterval(1);
        f.Form->TiAutoUpdate().start();
        QTRY_COMPARE(f.Runs, QStringList { "named:Car-silent" });
        QVERIFY(!f.Form->UpdateRunning());
        SetCommandLineParams({});
    }

    void namedProfilesMustExistAndHaveItems_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("unknown") << QStringList { "/update", "/PROF:Car", "/prof:Boat" }
                                 << "AutoUpdate profile \"Boat\" not found.";
        QTest::newRow("no items") << QStringList { "/update", "/PROF:Bike" } << "No AutoUpdate items found to update.";
        QTest::newRow("merged") << QStringList { "/update", "/PROF:Bike", "/PROF:car" } << "named:Bike,car";
        QTest::newRow("all") << QStringList { "/update" } << "all";
    }
    void namedProfilesMustExistAndHaveItems()
    {
        QFETCH(QStringList, params);
        QFETCH(QString, outcome);
        TScriptedPrompt prompt;
        SetCommandLineParams(params);
        TFixture f;
        f.Profiles = { { "Default", false }, { "Car", true }, { "Bike", false } };
        f.Form->TiAutoUpdate().setInterval(1);
        QTRY_VERIFY(f.Runs.size() + prompt.Boxes.size() == 1);
        QCOMPARE(f.Runs.isEmpty() ? prompt.Boxes[0].Text : f.Runs[0], outcome);
        QVERIFY(!f.Form->UpdateRunning());
        SetCommandLineParams({});
    }

    void droppedFileReachesOpenRoutine()
    {
        TFixture f; // no open routine yet: the stand-in records
        QMimeData data;
        data.setUrls({ QUrl::fromLocalFile("/home/u/drop one.ov2"), QUrl(QStringLiteral("http://x.example/a")) });
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.Form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.Form.get(), &drop);
        QCOMPARE(f.Form->RecordedOpens(), QStringList { "/home/u/drop one.ov2" });
    }

    void childCommandsGoToTheActiveChild()
    {
        TFixture f;
        TFakeChild* first = f.AddChild("/a.ov2");
        TFakeChild* second = f.AddChild("/b.ov2");
        f.Form->MdiArea()->setActiveSubWindow(f.Form->MdiArea()->subWindowList().first());
        first->Focused = true;
        f.Form->UpdateActions();
        QVERIFY(f.A("acEditCopy")->isEnabled());
        for (const char* name : { "acFileSave", "acFileSaveAs", "acEditCopy", "acCopyText", "acEditCut", "acEditPaste",
                 "acEditDelete", "acEditInsert", "acEditSelectAll", "acInvertSelection" })
            f.A(name)->trigger();
        QCOMPARE(first->Calls,
            (QStringList { "Save", "SaveAs", "CopySelected", "CopyAsText", "CutSelected", "Paste", "Delete", "Insert",
                "SelectAll", "InvertSelection" }));
        QVERIFY(second->Calls.isEmpty());
        QVERIFY(f.Form->FindChild("/b.ov2") == second);
        QVERIFY(f.Form->FindChild("/B.ov2") == nullptr); // local names are case-sensitive
        first->Name = "MOBILE://\\My Documents\\X.ov2";
        QVERIFY(f.Form->FindChild("mobile://\\my documents\\x.OV2") == first);
    }

    void findAsksAndKeepsTheText()
    {
        TScriptedPrompt prompt;
        TFixture f;
        TFakeChild* child = f.AddChild("/a.ov2");
        prompt.InputAnswers = { QStringLiteral("Dam"), QString(), QStringLiteral("") };
        f.A("acFind")->trigger();
        QCOMPARE(child->Calls, QStringList { "Find:Dam" });
        QVERIFY(f.A("acFindNext")->isEnabled());
        f.A("acFindNext")->trigger();
        QCOMPARE(child->Calls.last(), QStringLiteral("FindNext:Dam"));
        f.A("acFind")->trigger(); // cancelled: nothing happens
        QCOMPARE(f.Form->SearchText(), QStringLiteral("Dam"));
        QVERIFY(prompt.Boxes.empty());
        f.A("acFind")->trigger(); // empty answer
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("No search string entered."));
        QCOMPARE(prompt.Boxes[0].Caption, QStringLiteral("Tarvell"));
        QCOMPARE(f.Form->SearchText(), QString());
        QVERIFY(!f.A("acFindNext")->isEnabled());
    }

    void hideClosesAllFilesAndHides()
    {
        TFixture f;
        f.Form->show();
        int queries = 0;
        f.AddChild("/a.ov2")->CloseQueries = &queries;
        f.AddChild("/b.ov2")->CloseQueries = &queries;
        f.A("acHide")->trigger();
        QCOMPARE(queries, 2);
        QVERIFY(f.Form->Children().isEmpty());
        QVERIFY(!f.Form->isVisible());
        QVERIFY(f.Form->TrayIcon()->isVisible());
        QCOMPARE(f.Quits, 0);
        // Back through the tray item: shown, tray icon off.
        f.Form->Tarvell1Click();
        QVERIFY(f.Form->isVisible());
        QVERIFY(!f.Form->TrayIcon()->isVisible());
    }

    void refusedExitKeepsEverythingAndHideStillHides()
    {
        TFixture f;
        f.Form->show();
        TFakeChild* keeper = f.AddChild("/a.ov2");
        f.AddChild("/b.ov2");
        keeper->AgreeToClose = false;
        f.A("acFileExit")->trigger();
        QCOMPARE(f.Quits, 0);
        QCOMPARE(f.Form->Children().size(), 2);
        QVERIFY(f.Form->isVisible());
        QVERIFY(!f.Form->CloseFlags().Exiting);
        keeper->AgreeToClose = true;
        f.A("acHide")->trigger();
        QCOMPARE(f.Quits, 0);
        QVERIFY(!f.Form->isVisible());
    }

    void exitAndCloseButtonEnd()
    {
        TFixture f;
        f.Form->show();
        f.A("acFileExit")->trigger();
        QCOMPARE(f.Quits, 1);
        TFixture g;
        g.Form->show();
        g.Form->close();
        QCOMPARE(g.Quits, 1);
    }

    void hideWithoutTrayMinimises()
    {
        TFixture f;
        f.Tray = false;
        f.Form->show();
        f.A("acHide")->trigger();
        QVERIFY(f.Form->isVisible());
        QTRY_VERIFY(f.Form->isMinimized());
        QCOMPARE(f.Quits, 0);
    }

    void languageRestartClosesServerFirst()
    {
        TFixture f;
        TInstanceServer server;
        QVERIFY(server.Listen(InstanceServerName() + "-restart"));
        f.Server = &server;
        f.Form->AttachInstanceServer(&server);
        f.Form->show();
        QAction ticked;
        ticked.setCheckable(true);
        ticked.setChecked(true);
        ticked.setData(1);
        f.Form->LanguageClick(&ticked, 1031); // the language in use: nothing
        QVERIFY(f.RestartLanguages.empty());
        QVERIFY(f.Form->isVisible());
        QAction other;
        other.setCheckable(true);
        other.setData(4);
        f.Form->LanguageClick(&other, 1031);
        QCOMPARE(f.RestartLanguages, std::vector<int> { 1031 });
        QCOMPARE(f.ServerListeningAtRestart, std::vector<bool> { false });
        QCOMPARE(f.Quits, 1);
    }

    void instanceMessages()
    {
        TFixture f(true);
        TFakeChild* open = f.AddChild("/home/u/a.ov2");
        f.AddChild("/home/u/b.ov2");
        f.Form->HandleInstanceMessage({ WM_COPYDATA_CODE, 0, "/home/u/a.ov2" });
        QVERIFY(f.Opened.isEmpty()); // already open: shown, not read again
        QVERIFY(f.Form->ActiveChild() == open);
        f.Form->HandleInstanceMessage({ WM_COPYDATA_CODE, 0, "/home/u/c d.ov2" });
        QCOMPARE(f.Opened, QStringList { "/home/u/c d.ov2" });
        f.Connected = true;
        f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 1, {} });
        QCOMPARE(f.Disconnects, 1);
        QVERIFY(f.Form->SilentUpdate());
        QVERIFY(f.Form->TiAutoUpdate().isActive());
        f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 0, {} });
        QVERIFY(!f.Form->SilentUpdate());
        QVERIFY(!f.Form->isVisible());
        f.Form->HandleInstanceMessage({ WM_SHOWMAINFORM, 0, {} });
        QVERIFY(f.Form->isVisible());
        f.Form->HandleInstanceMessage({ WM_EXITAPP, 0, {} });
        QCOMPARE(f.Quits, 1);
    }

    void reconnectDropsTheConnection()
    {
        TFixture f;
        f.Form->UpdateActions();
        QVERIFY(!f.A("acFileReconnect")->isEnabled());
        f.Connected = true;
        f.Form->UpdateActions();
        QVERIFY(f.A("acFileReconnect")->isEnabled());
        f.A("acFileReconnect")->trigger();
        QCOMPARE(f.Disconnects, 1);
        QVERIFY(!f.A("acFileReconnect")->isEnabled());
    }

    void autoUpdateAll()
    {
        TFixture f;
        f.Profiles = { { "Default", true } };
        f.Form->UpdateActions();
        f.A("acAutoUpdateNow")->trigger();
        QCOMPARE(f.Runs, QStringList { "all" });
        QVERIFY(!f.Form->UpdateRunning());
        f.Profiles = { { "Default", false }, { "Car", true }, { "Bike", false } };
        f.Form->UpdateActions();
        f.Form->show();
        f.A("acAutoUpdateToolbar")->trigger();
        QStringList items;
        for (QAction* a : f.Form->PmAutoUpdate()->actions())
            items << a->text() + (a->isEnabled() ? "" : " (off)");
        QCOMPARE(items,
            (QStringList { "AutoUpdate &All Profiles", "AutoUpdate &Default (off)", "AutoUpdate &Car",
                "AutoUpdate &Bike (off)" }));
        f.Form->PmAutoUpdate()->actions()[2]->trigger();
        QCOMPARE(f.Runs.last(), QStringLiteral("profile1"));
        f.Form->PmAutoUpdate()->actions()[0]->trigger();
        QCOMPARE(f.Runs.last(), QStringLiteral("all"));
        f.Form->PmAutoUpdate()->hide();
        QCOMPARE(f.A("acAutoUpdateProfile2")->text(), QStringLiteral("AutoUpdate Car"));
    }

    void forwardedUpdateWaitsForTheRunningOne()
    {
        TFixture f;
        f.Profiles = { { "Default", true }, { "Car", true }, { "Bike", true } };
        f.Connected = true;
        f.Form->TiAutoUpdate().setInterval(0);
        int disconnectsDuringRun = -1;
        bool timerDuringRun = true;
        f.DuringRun = [&] {
            // A second start forwards "/update /silent /PROF:Car /prof:Bike" while this run goes on.
            f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 1, "/PROF:Car\n/prof:Bike" });
            disconnectsDuringRun = f.Disconnects;
            timerDuringRun = f.Form->TiAutoUpdate().isActive();
        };
        f.Form->AutoUpdateAllProfiles(false);
        QCOMPARE(disconnectsDuringRun, 0);
        QVERIFY(!timerDuringRun);
        QCOMPARE(f.Disconnects, 1);
        QTRY_COMPARE(f.Runs, (QStringList { "all", "named:Car,Bike-silent" }));
        QVERIFY(!f.Form->UpdateRunning());
    }

    void webPages()
    {
        TFixture f;
        for (const char* name : { "Action7", "Action8", "Action5", "acGotoSiteStatus" })
            f.A(name)->trigger();
        QCOMPARE(f.Urls.size(), 4);
        QCOMPARE(f.Urls[1].path(), QStringLiteral("/faq.htm"));
        QCOMPARE(f.Urls[2].query(), QStringLiteral("f=2"));
        QCOMPARE(f.Urls[3].path(), QStringLiteral("/sites.htm"));
    }

    void windowCommands()
    {
        TFixture f;
        f.Form->show();
        f.AddChild("/a.ov2");
        f.AddChild("/b.ov2");
        const QList<QMdiSubWindow*> windows = f.Form->MdiArea()->subWindowList(QMdiArea::CreationOrder);
        const QRect area = f.Form->MdiArea()->viewport()->rect();
        f.A("acWindowTileHorizontal")->trigger();
        QCOMPARE(windows[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
        QCOMPARE(windows[1]->geometry().top(), area.height() / 2);
        f.A("acWindowTileVertical")->trigger();
        QCOMPARE(windows[0]->geometry(), QRect(0, 0, area.width() / 2, area.height()));
        QCOMPARE(windows[1]->geometry().left(), area.width() / 2);
        QMdiSubWindow* before = f.Form->MdiArea()->currentSubWindow();
        f.A("acWindowNext")->trigger();
        QVERIFY(f.Form->MdiArea()->currentSubWindow() != before);
        f.A("WindowMinimizeAll2")->trigger();
        QVERIFY(windows[0]->isMinimized() && windows[1]->isMinimized());
        f.A("acFileClose")->trigger();
        QTRY_COMPARE(f.Form->Children().size(), 1);
    }

    void checkEveryWeekAndVersionCheck()
    {
        TFixture f;
        QCOMPARE(f.A("acCheckEveryWeek")->isChecked(), true);
        f.A("acCheckEveryWeek")->trigger();
        QCOMPARE(GetSettings().CheckEveryWeek, false);
        QVERIFY(TfmTarvellMainForm::VersionCheckDue(QString(), QDate(2024, 5, 10)));
        QVERIFY(TfmTarvellMainForm::VersionCheckDue("2024-05-02", QDate(2024, 5, 10)));
        QVERIFY(!TfmTarvellMainForm::VersionCheckDue("2024-05-03", QDate(2024, 5, 10)));
        QVERIFY(TfmTarvellMainForm::VersionCheckDue("garbage", QDate(2024, 5, 10)));
        QCOMPARE(
            TfmTarvellMainForm::NamedProfiles({ "/prof:  Car ", "/x", "/PROF:Bike" }), (QStringList { "Car", "Bike" }));
    }

    void boundsSavedClampedAndRestoredWithoutCreep()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        {
            TFixture f;
            f.Form->show();
            f.Form->move(-50, -20);
            f.Form->resize(screen.width() + 200, 300);
            f.Form.reset();
        }
        QCOMPARE(GetSettings().Left, 0);
        QCOMPARE(GetSettings().Top, 0);
        QCOMPARE(GetSettings().Width, screen.width());
        QCOMPARE(GetSettings().Height, 300);

        GetSettings().Left = 40;
        GetSettings().Top = 30;
        GetSettings().Width = 500;
        GetSettings().Height = 400;
        GetSettings().UserBounds = false;
        for (int round = 0; round < 3; ++round) {
            TFixture f;
            f.Form->show();
            QCoreApplication::processEvents();
            QCOMPARE(f.Form->pos(), QPoint(40, 30));
            QCOMPARE(f.Form->size(), QSize(500, 400));
            // Restoring is not a resize by the user.
            QCOMPARE(GetSettings().UserBounds, false);
        }
        QCOMPARE(GetSettings().Left, 40);
        QCOMPARE(GetSettings().Width, 500);
    }

    void pluginArrangementIsUndoneUnlessTheUserResized()
    {
        GetSettings().Left = 40;
        GetSettings().Top = 30;
        GetSettings().Width = 500;
        GetSettings().Height = 400;
        TFixture f;
        f.Form->show();
        // A plug-in moved the window into its strip.
        f.Form->setGeometry(700, 0, 300, 600);
        GetSettings().UserBounds = false;
        f.Form->ReapplyBounds();
        QCOMPARE(f.Form->pos(), QPoint(40, 30));
        QCOMPARE(f.Form->size(), QSize(500, 400));
        f.Form->setGeometry(700, 0, 300, 600);
        GetSettings().UserBounds = true; // the user resized it since
        f.Form->ReapplyBounds();
        QCOMPARE(f.Form->size(), QSize(300, 600));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_fMain.moc"
