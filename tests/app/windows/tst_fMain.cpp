// The main window: the action table, close/exit/hide/restart, messages, timers, drops, bounds and
// what waits while an update run goes on.
#include "AppTestSupport.h"
#include "DeviceWindowsTestAccess.h"
#include "SiteWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windowbase/fProgress.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fAutoUpdateWizard.h"
#include "app/windows/fMain.h"
#include "app/windows/fMobileBrowser.h"
#include "app/windows/fStatus.h"
#include "app/logic/uEntriesModel.h"
#include "app/logic/uMainActions.h"
#include "app/windows/uSingleInstance.h"
#include "core/uGeneral.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "sites/uUpdateItems.h"
#include "support/CoreTestHooks.h"
#include "ui/AdvGlowButton.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSet>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QTreeWidget>
#include <QTranslator>
#include <QUrl>
#include <QSplitter>
#include <QtTest>

#include <limits>

namespace {

using A = TAction;

TActionState State(int children, bool focus = false, bool device = false, bool searchEmpty = true, int mru = 0,
    std::vector<int> profiles = { 0 }, bool week = true, bool running = false)
{
    TActionState s;
    s.ChildCount = children;
    s.ListHasFocus = focus;
    s.DeviceConnected = device;
    s.SearchTextEmpty = searchEmpty;
    s.MruCount = mru;
    s.ProfileItems = std::move(profiles);
    s.CheckEveryWeek = week;
    s.UpdateRunning = running;
    return s;
}

TActionState ChildState(int selected, bool editActive = false, bool editingCaption = false)
{
    TActionState s;
    s.SelectedCount = selected;
    s.EditActive = editActive;
    s.EditingCaption = editingCaption;
    return s;
}

QString Fixture(const char* path) { return QDir::cleanPath(QStringLiteral(TARVELL_TEST_DATA "/") + QLatin1String(path)); }

// A main window on a data module.
struct TFixture {
    TdmMain Data;
    std::unique_ptr<TfmTarvellMainForm> Form;
    std::unique_ptr<TMainFormTestAccess> Access;

    TFixture()
    {
        Form = std::make_unique<TfmTarvellMainForm>(Data);
        Access = std::make_unique<TMainFormTestAccess>(*Form);
    }
    // A child window named path, with POIs and unsaved changes when changed.
    TMDIChild* AddChild(const QString& path, bool changed = false)
    {
        TMDIChild* child = Form->NewChild();
        child->Document().FileName = path;
        child->Entries().Add("Dam", std::string(), 4.89, 52.37);
        child->Entries().Add("Museum", std::string(), 4.88, 52.36);
        if (!changed)
            child->Entries().ResetChanged();
        child->Model()->Reload();
        Form->ShowChild(child);
        child->Refresh();
        return child;
    }
    QAction* Act(TAction id) const { return Form->Action(id); }
};

// A one-POI file opened in a maximized child of a 700-pixel main window; null on failure.
TMDIChild* OpenMaximizedInAWindowOf700(TFixture& f, const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("museum.asc"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return nullptr;
    file.write("4.89123, 52.37312, \"Museum\"\r\n");
    file.close();
    f.Form->resize(700, 500);
    f.Form->show();
    f.Form->OpenFile(nullptr, path, false, QString());
    auto* child = dynamic_cast<TMDIChild*>(f.Form->ActiveChild());
    if (child)
        child->parentWidget()->showMaximized();
    return child;
}

// The scripted prompt, also counting the open dialogs asked for.
class TOpenCountingPrompt : public TScriptedPrompt {
public:
    int Opens = 0;
    bool OpenFileDialog(QWidget*, TOpenFileRequest&) override
    {
        ++Opens;
        return false;
    }
};

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
public slots:
    // The URL handler of the desktop services during webPages.
    void openUrl(const QUrl& url) { FUrls << url; }

private slots:
    // A file forwarded by a second start opens while the first open waits for events: the two
    // share the progress window, which goes with the outer open, and neither callback dangles.
    void nestedOpensShareTheProgressWindow()
    {
        TFixture f;
        const auto progressWindows = [] {
            int count = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                count += qobject_cast<TfmProgress*>(w) && w->isVisible();
            return count;
        };
        TOpenHost& host = f.Access->OpenHost();
        const auto outer = host.BeginProgress();
        const auto inner = host.BeginProgress();
        QCOMPARE(progressWindows(), 1);
        inner(40);
        host.EndProgress();
        QCOMPARE(progressWindows(), 1);
        outer(60);
        host.EndProgress();
        QCOMPARE(progressWindows(), 0);
        outer(80);
        inner(90);
        // A new open after both gets a window of its own again.
        const auto next = host.BeginProgress();
        QCOMPARE(progressWindows(), 1);
        next(10);
        host.EndProgress();
        QCOMPARE(progressWindows(), 0);
    }
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }
    void init()
    {
        ResetSettingsForTests();
        SetCommandLineParams({});
        QFile::remove(SettingsStoreFileName());
        SetProfiles({});
        DisconnectDevice();
    }
    void cleanup() { SetExecutablePathOverride(QString()); }

    void actionRules_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("rule"); // index into the snapshot list below
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("image");
        // Snapshots: 0 nothing open; 1 one child, list focused; 2 one child, no focus, search text;
        // 3 two children, device; 4 three recent files; 5 three profiles, only the second has items;
        // 6 one profile with items; 7 weekly check off; 8 as 5 and 6 but a run goes on; child
        // window: 9 one item selected, 10 two selected, 11 an edit field active, 12 a caption edited,
        // 13 nothing selected.
        auto row = [](TAction id, int snapshot, bool enabled, bool visible = true, int image = -1) {
            QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(ActionDef(id).Name)).arg(snapshot)))
                << int(id) << snapshot << enabled << visible << image;
        };
        row(A::acFileNew, 0, true);
        row(A::acFileOpen, 0, true);
        row(A::acFileAppend, 0, false);
        row(A::acFileAppend, 2, true);
        for (TAction id : { A::acFileSave, A::acFileSaveAs, A::acFileSaveRemote, A::acFileClose, A::acEditSelectAll, A::acInvertSelection,
                 A::acFind, A::acFindDups, A::acWindowCascade, A::acWindowTileHorizontal, A::acWindowTileVertical,
                 A::WindowMinimizeAll2, A::WindowArrange1 }) {
            row(id, 0, false);
            row(id, 2, true);
        }
        for (TAction id : { A::acEditCopy, A::acCopyText, A::acEditCut, A::acEditPaste, A::acEditDelete, A::acEditInsert }) {
            row(id, 0, false);
            row(id, 1, true);
            row(id, 2, false);
        }
        row(A::acFileReconnect, 2, false);
        row(A::acFileReconnect, 3, true);
        row(A::acFindNext, 1, false);
        row(A::acFindNext, 2, true);
        row(A::acWindowNext, 2, false);
        row(A::acWindowNext, 3, true);
        row(A::acMru1, 0, true, false);
        row(A::acMru3, 4, true, true);
        row(A::acMru4, 4, true, false);
        row(A::acAutoUpdateNow, 0, false);
        row(A::acAutoUpdateNow, 5, true);
        row(A::acAutoUpdateNow, 6, true);
        row(A::acAutoUpdateNow, 8, false);
        row(A::acAutoUpdateToolbar, 0, false, true, ImageAutoUpdateAll);
        row(A::acAutoUpdateToolbar, 6, true, true, ImageAutoUpdateAll);
        row(A::acAutoUpdateToolbar, 5, true, true, ImageAutoUpdateAllDrop);
        row(A::acAutoUpdateToolbar, 8, false, true, ImageAutoUpdateAllDrop);
        row(A::acAutoUpdatePopParent, 6, true, false);
        row(A::acAutoUpdatePopParent, 5, true, true);
        row(A::acAutoUpdateProfile1, 5, false, true);
        row(A::acAutoUpdateProfile2, 5, true, true);
        row(A::acAutoUpdateProfile2, 8, false, true);
        row(A::acAutoUpdateProfile3, 5, false, true);
        row(A::acAutoUpdateProfile4, 5, false, false);
        row(A::acAutoUpdateProfile1, 6, true, true);
        row(A::acAutoUpdateProfile2, 6, false, false);
        row(A::acCheckEveryWeek, 0, true, true, ImageCheckWeekOn);
        row(A::acCheckEveryWeek, 7, true, true, ImageCheckWeekOff);
        for (TAction id : { A::acFileRemote, A::acHide, A::acFileExit, A::acGotoSiteStatus, A::Action7, A::Action8, A::Action5,
                 A::Tarvell1, A::Exit1, A::acAutoUpdateWizard, A::acAutoUpdateManager, A::Action4, A::acCalc,
                 A::actToolsBatchConvert, A::actPrefs, A::acSysInfo, A::acAbout })
            row(id, 0, true);
        // Commands whose windows are not built yet stay disabled; the map pane opens always.
        row(A::acPluginGoto, 2, false);
        row(A::acOpenMap, 2, true);
        row(A::acCloseMap, 2, true);
        row(A::acCommit, 9, true);
        row(A::acCommit, 11, true);
        row(A::acCommit, 10, false);
        row(A::acCommit, 13, false);
        row(A::acInsert, 13, true);
        row(A::acDelete, 9, true);
        row(A::acDelete, 11, false);
        row(A::acDelete, 12, false);
        row(A::acDelete, 13, false);
        row(A::acRenameSelected, 9, false);
        row(A::acRenameSelected, 10, true);
    }
    void actionRules()
    {
        QFETCH(int, action);
        QFETCH(int, rule);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        QFETCH(int, image);
        const TActionState snapshots[] = {
            State(0),
            State(1, true),
            State(1, false, false, false),
            State(2, false, true),
            State(0, false, false, true, 3),
            State(0, false, false, true, 0, { 0, 4, 0 }),
            State(0, false, false, true, 0, { 2 }),
            State(0, false, false, true, 0, { 0 }, false),
            State(0, false, false, true, 0, { 2, 4, 0 }, true, true),
            ChildState(1),
            ChildState(2),
            ChildState(1, true),
            ChildState(1, false, true),
            ChildState(0),
        };
        const TActionLook look = EvaluateAction(ActionDef(TAction(action)), snapshots[rule]);
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

    // The table is the one list of commands: every row names its own enum value, every menu, bar
    // and popup item of both windows is one of its actions.
    void oneTableHoldsEveryAction()
    {
        for (size_t i = 0; i < ActionCount; ++i)
            QCOMPARE(size_t(ActionTable()[i].Id), i);
        TFixture f;
        TMDIChild* child = f.AddChild(QStringLiteral("/a.ov2"));
        QSet<QAction*> table;
        for (const TAction id : ActionsOf(TActionWindow::Main))
            table << f.Act(id);
        for (const TAction id : ActionsOf(TActionWindow::Child))
            table << child->Action(id);
        QList<QAction*> shown = TMainFormTestAccess(*f.Form).ToolBar1()->actions()
            + TMainFormTestAccess(*f.Form).PopupMenu1()->actions() + TMDIChildTestAccess(*child).ToolBar2()->actions()
            + TMDIChildTestAccess(*child).PopupActionBarEx1()->actions();
        for (QAction* menu : f.Form->menuBar()->actions())
            for (QAction* item : menu->menu()->actions())
                if (item->menu() != TMainFormTestAccess(*f.Form).Language1())
                    shown << item;
        shown += f.Act(A::acAutoUpdatePopParent)->menu()->actions();
        for (QAction* item : shown)
            if (!item->isSeparator())
                QVERIFY2(table.contains(item), qPrintable(item->text()));
    }

    void actionsPresentWithCaptionsAndShortcuts()
    {
        TFixture f;
        for (const TAction id : ActionsOf(TActionWindow::Main)) {
            const TActionDef& def = ActionDef(id);
            QAction* action = f.Act(id);
            QVERIFY2(action, def.Name);
            if (*def.Caption && def.Rule != TActionRule::Profile)
                QCOMPARE(action->text(), QString::fromLatin1(def.Caption));
            QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(def.Shortcut)));
        }
        QCOMPARE(f.Act(A::acFileNew)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(f.Act(A::acFileExit)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
        QCOMPARE(f.Act(A::acEditInsert)->shortcut(), QKeySequence(Qt::Key_Insert));
        QCOMPARE(f.Act(A::acAutoUpdateProfile1)->text(), QStringLiteral("AutoUpdate Default"));
        // Menu bar, tool bar and tray menu.
        QStringList menus;
        for (QAction* m : f.Form->menuBar()->actions())
            menus << m->text();
        QCOMPARE(menus, (QStringList { "&File", "&Edit", "&Tools", "&AutoUpdate", "&Window", "&Help" }));
        QStringList tools;
        for (QAction* a : TMainFormTestAccess(*f.Form).ToolBar1()->actions())
            tools << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
        QCOMPARE(tools.join(QChar(' ')),
            QStringLiteral("acFileNew acFileOpen acFileRemote | acFileSave acFileSaveAs acFileSaveRemote | "
                           "acEditCut acEditCopy acEditPaste acFind acFindNext | acAutoUpdateWizard "
                           "acAutoUpdateToolbar acAutoUpdateManager | acWindowTileHorizontal "
                           "acWindowTileVertical acWindowCascade acWindowNext | acCalc acHide"));
        for (QAction* a : TMainFormTestAccess(*f.Form).ToolBar1()->actions())
            if (!a->isSeparator())
                QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
        QStringList tray;
        for (QAction* a : TMainFormTestAccess(*f.Form).PopupMenu1()->actions())
            tray << (a->isSeparator() ? QStringLiteral("|") : a->text());
        QCOMPARE(tray, (QStringList { "Tarvell...", "AutoUpdate All...", "AutoUpdate &Profile", "|", "Exit" }));
        QCOMPARE(TMainFormTestAccess(*f.Form).TrayIcon()->toolTip(), QStringLiteral("Tarvell"));
        QVERIFY(TMainFormTestAccess(*f.Form).Language1());
        // Status bar panels 1 to 3 keep their widths, grown to their widest texts; panel 0 takes
        // the rest.
        QVERIFY(TMainFormTestAccess(*f.Form).StatusPanel(1)->width() >= 175);
        QCOMPARE(TMainFormTestAccess(*f.Form).StatusPanel(3)->width(), 70);
        // The count panel holds the largest count a list can have, wholly.
        QLabel* count = TMainFormTestAccess(*f.Form).StatusPanel(2);
        for (const QString& text : { QStringLiteral("1000000 items"), QStringLiteral("2147483647 items") }) {
            count->setText(text);
            QVERIFY2(count->width() >= count->sizeHint().width(), qPrintable(text));
        }
        count->clear();
    }

    // Every key of the action table pressed where its action is enabled, with its effect: one
    // press runs one action (Ins and Del are the child's as well).
    void everyShortcutPressed()
    {
        struct TRow {
            TAction Id;
            QKeyCombination Key;
            std::function<void(TFixture&, TMDIChild*, TOpenCountingPrompt&)> Prepare;
            std::function<bool(TFixture&, TMDIChild*, TOpenCountingPrompt&)> Done;
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pois.ov2"));
        auto none = [](TFixture&, TMDIChild*, TOpenCountingPrompt&) {};
        auto count = [](TMDIChild* child) { return child->Entries().Count(); };
        std::vector<int> runs;
        const std::vector<TRow> rows = {
            { A::acFileNew, Qt::CTRL | Qt::Key_N, none, [](TFixture& f, TMDIChild*, TOpenCountingPrompt&) { return f.Form->Children().size() == 2; } },
            { A::acFileOpen, Qt::CTRL | Qt::Key_O, none, [](TFixture&, TMDIChild*, TOpenCountingPrompt& p) { return p.Opens == 1; } },
            { A::acFileRemote, Qt::CTRL | Qt::Key_D, none,
                [](TFixture&, TMDIChild*, TOpenCountingPrompt& p) {
                    return p.Boxes.size() == 1 && p.Boxes[0].Text.startsWith(QStringLiteral("Unable to initialize connection"));
                } },
            { A::acFileSave, Qt::CTRL | Qt::Key_S, none, [&](TFixture&, TMDIChild*, TOpenCountingPrompt&) { return QFileInfo(path).size() > 0; } },
            { A::acFileClose, Qt::CTRL | Qt::Key_F4, none, [](TFixture& f, TMDIChild*, TOpenCountingPrompt&) { return f.Form->Children().isEmpty(); } },
            { A::acFileExit, Qt::ALT | Qt::Key_F4, none,
                [](TFixture& f, TMDIChild*, TOpenCountingPrompt&) { return !f.Form->isVisible() && f.Access->CloseFlags().Exiting; } },
            { A::acEditCopy, Qt::CTRL | Qt::Key_C, [](TFixture&, TMDIChild*, TOpenCountingPrompt&) { QApplication::clipboard()->clear(); },
                [](TFixture&, TMDIChild*, TOpenCountingPrompt&) { return QApplication::clipboard()->text().contains(QStringLiteral("Dam")); } },
            { A::acEditCut, Qt::CTRL | Qt::Key_X, none,
                [&](TFixture&, TMDIChild* c, TOpenCountingPrompt&) {
                    return count(c) == 1 && QApplication::clipboard()->text().contains(QStringLiteral("Dam"));
                } },
            { A::acEditPaste, Qt::CTRL | Qt::Key_V, [](TFixture&, TMDIChild* c, TOpenCountingPrompt&) { c->CopySelected(); },
                [&](TFixture&, TMDIChild* c, TOpenCountingPrompt&) { return count(c) == 3; } },
            { A::acEditDelete, Qt::Key_Delete, [](TFixture&, TMDIChild* c, TOpenCountingPrompt&) { ClickRow(c, 1, Qt::ControlModifier); },
                [&](TFixture&, TMDIChild* c, TOpenCountingPrompt&) { return count(c) == 0; } },
            { A::acEditInsert, Qt::Key_Insert, none,
                [&](TFixture&, TMDIChild* c, TOpenCountingPrompt&) {
                    return count(c) == 3 && c->Entries()[2].GetDescription() == std::string_view("New entry #3");
                } },
            { A::acEditSelectAll, Qt::CTRL | Qt::Key_A, none,
                [](TFixture&, TMDIChild* c, TOpenCountingPrompt&) { return c->SelectedIndices().size() == 2; } },
            { A::acInvertSelection, Qt::CTRL | Qt::Key_I, none,
                [](TFixture&, TMDIChild* c, TOpenCountingPrompt&) { return c->SelectedIndices() == std::vector<int> { 1 }; } },
            { A::acFind, Qt::CTRL | Qt::Key_F, [](TFixture&, TMDIChild*, TOpenCountingPrompt& p) { p.InputAnswers = { QStringLiteral("Museum") }; },
                [](TFixture&, TMDIChild* c, TOpenCountingPrompt& p) { return p.InputCount == 1 && c->SelectedIndices() == std::vector<int> { 1 }; } },
            { A::acFindNext, Qt::Key_F3,
                [](TFixture& f, TMDIChild* c, TOpenCountingPrompt& p) {
                    p.InputAnswers = { QStringLiteral("Museum") };
                    f.Act(A::acFind)->trigger();
                    ClickRow(c, 0);
                },
                [](TFixture&, TMDIChild* c, TOpenCountingPrompt& p) { return p.InputCount == 1 && c->SelectedIndices() == std::vector<int> { 1 }; } },
            { A::acFindDups, Qt::Key_F4, none, nullptr },
            { A::acAutoUpdateManager, Qt::Key_F8, none, nullptr },
            { A::acAutoUpdateNow, Qt::Key_F9, [](TFixture&, TMDIChild*, TOpenCountingPrompt&) { SetProfiles({ { "", 1 } }); },
                [&](TFixture&, TMDIChild*, TOpenCountingPrompt&) { return runs == std::vector<int> { 2 }; } },
            { A::acWindowNext, Qt::CTRL | Qt::Key_F6, [&](TFixture& f, TMDIChild*, TOpenCountingPrompt&) { f.AddChild(dir.filePath(QStringLiteral("b.ov2"))); },
                [&](TFixture& f, TMDIChild* c, TOpenCountingPrompt&) { return f.Form->ActiveChild() == c; } },
        };
        QSet<TAction> tested;
        for (const TRow& row : rows)
            tested.insert(row.Id);
        for (const TAction id : ActionsOf(TActionWindow::Main))
            QVERIFY2(!*ActionDef(id).Shortcut || tested.contains(id), ActionDef(id).Name);

        for (const TRow& row : rows) {
            const char* name = ActionDef(row.Id).Name;
            QFile::remove(path);
            SetProfiles({});
            TOpenCountingPrompt prompt;
            qputenv("TARVELL_DEVICE_ROOT", dir.filePath(QStringLiteral("unplugged")).toLocal8Bit());
            DisconnectDevice();
            GetSettings().ShowStartupScreen = false;
            TFixture f;
            f.Form->show();
            f.Form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f.Form.get()));
            TMDIChild* child = f.AddChild(path);
            QVERIFY(child);
            TMDIChildTestAccess(*child).ListView1()->setFocus();
            // A click on a selected row would start editing its caption a moment later.
            TMDIChildTestAccess(*child).ListView1()->clearSelection();
            ClickRow(child, 0);
            row.Prepare(f, child, prompt);
            runs.clear();
            // The modal window a key opens (an update run's status window counted as a run) is
            // closed again.
            bool modalShown = false;
            TModalCloser closer;
            closer.During = [&](QWidget* modal) {
                if (auto* status = qobject_cast<TfmStatus*>(modal))
                    runs.push_back(status->Run().RowCount());
                else
                    modalShown = true;
            };
            f.Form->UpdateActions();
            QVERIFY2(f.Act(row.Id)->isEnabled(), name);
            QCOMPARE(f.Act(row.Id)->shortcut(), QKeySequence(row.Key));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : f.Form.get(), row.Key.key(),
                row.Key.keyboardModifiers());
            if (row.Done)
                QVERIFY2(row.Done(f, child, prompt), name);
            else
                QTRY_VERIFY2(modalShown, name);
            child = nullptr;
            for (TMDIChild* open : f.Form->Children())
                open->Entries().ResetChanged();
        }
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    // The Edit menu shows the same states opened with Alt+E as with the mouse: the list had the
    // focus before the menu took it.
    void editMenuFromTheKeyboard()
    {
        GetSettings().ShowStartupScreen = false;
        TFixture f;
        f.Form->show();
        f.Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.Form.get()));
        TMDIChild* child = f.AddChild(QStringLiteral("/a.ov2"));
        TMDIChildTestAccess(*child).ListView1()->setFocus();
        TMDIChildTestAccess(*child).ListView1()->clearSelection();
        ClickRow(child, 0);
        const A listCommands[] = { A::acEditCut, A::acEditCopy, A::acEditPaste, A::acEditDelete, A::acEditInsert };
        QMenu* edit = f.Form->menuBar()->actions()[1]->menu();
        QVERIFY(edit);
        auto states = [&] {
            QStringList on;
            for (const A id : listCommands)
                on << QString::fromLatin1(ActionDef(id).Name) + (f.Act(id)->isEnabled() ? QString() : QStringLiteral(" (off)"));
            return on.join(QChar(' '));
        };
        const QString enabled = QStringLiteral("acEditCut acEditCopy acEditPaste acEditDelete acEditInsert");
        // With the mouse.
        QTest::mouseClick(f.Form->menuBar(), Qt::LeftButton, {}, f.Form->menuBar()->actionGeometry(f.Form->menuBar()->actions()[1]).center());
        QTRY_VERIFY(edit->isVisible());
        QCOMPARE(states(), enabled);
        QTest::keyClick(edit, Qt::Key_Escape);
        QTRY_VERIFY(!edit->isVisible());
        QTest::keyClick(f.Form->menuBar(), Qt::Key_Escape);
        TMDIChildTestAccess(*child).ListView1()->setFocus();
        // With the keyboard.
        QTest::keyClick(TMDIChildTestAccess(*child).ListView1(), Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(edit->isVisible());
        QCOMPARE(states(), enabled);
        QTest::keyClick(edit, Qt::Key_Escape);
        QTRY_VERIFY(!edit->isVisible());
        // A description being typed is no list focus, from the keyboard either.
        QTest::keyClick(f.Form->menuBar(), Qt::Key_Escape);
        TMDIChildTestAccess(*child).edDescription()->setFocus();
        QTest::keyClick(TMDIChildTestAccess(*child).edDescription(), Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(edit->isVisible());
        QVERIFY(!f.Act(A::acEditDelete)->isEnabled());
        QVERIFY(!f.Act(A::acEditCopy)->isEnabled());
        QTest::keyClick(edit, Qt::Key_Escape);
        child->Entries().ResetChanged();
    }

    // A device write the user can set right (here a folder removed from the device while the
    // browser showed it) is a plain warning, not a crash report.
    void deviceWriteFailureIsAWarning()
    {
        TScriptedPrompt prompt;
        TReporterRecorder reporter;
        QTemporaryDir device;
        QDir(device.path()).mkpath(QStringLiteral("My Documents/gone"));
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        DisconnectDevice();
        GetSettings().PrevRemoteDir = QStringLiteral("\\My Documents\\gone\\");
        TFixture f;
        f.Form->show();
        f.AddChild(QStringLiteral("/museum.ov2"));
        f.Form->UpdateActions();
        TOnNextModal chooser([&](QDialog* dialog) {
            auto* browser = qobject_cast<TfmMobileBrowser*>(dialog);
            QVERIFY(browser);
            QVERIFY(QDir(device.filePath(QStringLiteral("My Documents/gone"))).removeRecursively());
            browser->OpenExecute();
        });
        f.Act(A::acFileSaveRemote)->trigger();
        QVERIFY(chooser.Ran);
        QVERIFY(TReporterRecorder::Records().empty());
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("Could not create remote file \\My Documents\\gone\\museum.ov2."));
        f.Form->ActiveChild()->Entries().ResetChanged();
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    void textsFollowTheLanguage()
    {
        class TDutch : public QTranslator {
        public:
            bool isEmpty() const override { return false; }
            QString translate(const char* context, const char* source, const char*, int) const override
            {
                if (QLatin1String(source) == QLatin1String("&New"))
                    return QLatin1String(context) == QLatin1String("TfmTarvellMainForm") ? QStringLiteral("&Nieuw")
                                                                                         : QString();
                if (QLatin1String(source) == QLatin1String("&File"))
                    return QStringLiteral("&Bestand");
                if (QLatin1String(source) == QLatin1String("Insert") && QLatin1String(context) == QLatin1String("TMDIChild"))
                    return QStringLiteral("Invoegen");
                return QString();
            }
        } dutch;
        TFixture f;
        TMDIChild* child = f.AddChild(QStringLiteral("/a.ov2"));
        QVERIFY(QCoreApplication::installTranslator(&dutch));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(f.Act(A::acFileNew)->text(), QStringLiteral("&Nieuw"));
        QCOMPARE(f.Form->menuBar()->actions().first()->text(), QStringLiteral("&Bestand"));
        QCOMPARE(child->Action(A::acInsert)->text(), QStringLiteral("Invoegen"));
        QCoreApplication::removeTranslator(&dutch);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(f.Act(A::acFileNew)->text(), QStringLiteral("&New"));
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
        QVERIFY(f.Access->Timer1().isActive());
        QCOMPARE(f.Access->Timer1().interval(), 1000);
        QVERIFY(f.Access->Timer2().isActive());
        QCOMPARE(f.Access->Timer2().interval(), 100);
        QVERIFY(!f.Access->TiAutoUpdate().isActive());
        QCOMPARE(f.Access->TiAutoUpdate().interval(), 12000);
    }

    void startupTimerOpensPathsThenUpdates()
    {
        SetProfiles({ { "", 0 }, { "car", 1 } });
        SetCommandLineParams({ Fixture("ttov2/one.ov2"), "/update", "/silent", "/prof: Car ", Fixture("gengpx/waypoints.gpx") });
        TRunRecorder runs;
        TFixture f;
        QTRY_COMPARE(f.Form->Children().size(), 2);
        QCOMPARE(f.Form->Children()[0]->FileName(), Fixture("ttov2/one.ov2"));
        QCOMPARE(f.Form->Children()[1]->FileName(), Fixture("gengpx/waypoints.gpx"));
        QVERIFY(f.Access->SilentUpdate());
        QVERIFY(f.Access->TiAutoUpdate().isActive());
        f.Access->TiAutoUpdate().setInterval(1);
        f.Access->TiAutoUpdate().start();
        // The named profile's item with its site row.
        QTRY_COMPARE(runs.Rows, std::vector<int> { 2 });
        QTRY_VERIFY(!TMainFormTestAccess(*f.Form).UpdateRunning());
    }

    void namedProfilesMustExistAndHaveItems_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("rows");
        QTest::newRow("unknown") << QStringList { "/update", "/PROF:Car", "/prof:Boat" }
                                 << "AutoUpdate profile \"Boat\" not found." << -1;
        QTest::newRow("no items") << QStringList { "/update", "/PROF:Bike" } << "No AutoUpdate items found to update." << -1;
        // One site row ahead of the items of both profiles.
        QTest::newRow("merged") << QStringList { "/update", "/PROF:Bike", "/PROF:car" } << QString() << 3;
        QTest::newRow("all") << QStringList { "/update" } << QString() << 4;
    }
    void namedProfilesMustExistAndHaveItems()
    {
        QFETCH(QStringList, params);
        QFETCH(QString, message);
        QFETCH(int, rows);
        SetProfiles({ { "", 1 }, { "Car", 2 }, { "Bike", 0 } });
        TScriptedPrompt prompt;
        TRunRecorder runs;
        SetCommandLineParams(params);
        TFixture f;
        f.Access->TiAutoUpdate().setInterval(1);
        QTRY_VERIFY(runs.Rows.size() + prompt.Boxes.size() == 1);
        if (rows < 0)
            QCOMPARE(prompt.Boxes[0].Text, message);
        else
            QCOMPARE(runs.Rows, std::vector<int> { rows });
        QTRY_VERIFY(!TMainFormTestAccess(*f.Form).UpdateRunning());
    }

    // A first start names the sample relative to the project folder, a second start from another
    // folder names it absolute (as the forwarding side sends it): one window, one recent file,
    // absolute.
    void startedTwiceRelativeThenAbsoluteIsOneWindow()
    {
        TScriptedPrompt prompt;
        const QString project = QDir::cleanPath(QStringLiteral(TARVELL_TEST_DATA "/../.."));
        const QString before = QDir::currentPath();
        QDir::setCurrent(project);
        SetCommandLineParams({ QStringLiteral("samples/amsterdam.ov2") });
        TFixture f;
        QTRY_COMPARE(f.Form->Children().size(), 1);
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());
        for (const TInstanceMessage& message : ForwardedMessages({ project + QStringLiteral("/samples/amsterdam.ov2") }))
            f.Form->HandleInstanceMessage(message);
        QDir::setCurrent(before);
        QCOMPARE(f.Form->Children().size(), 1);
        QCOMPARE(f.Form->Children()[0]->FileName(), project + QStringLiteral("/samples/amsterdam.ov2"));
        QCOMPARE(GetSettings().MRU.Count(), 1);
        QCOMPARE(GetSettings().MRU.GetName(0), project + QStringLiteral("/samples/amsterdam.ov2"));
        QVERIFY(prompt.Boxes.empty());
    }

    // A recent file whose name looks escaped opens itself after a restart, not the file its name
    // would read as un-escaped (which exists beside it, with other POIs).
    void recentFileWithEscapesOpensThatFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("decoy");
        QTest::newRow("%3D") << QStringLiteral("a%3Db.asc") << QStringLiteral("a=b.asc");
        QTest::newRow("%25") << QStringLiteral("a%25b.asc") << QStringLiteral("a%b.asc");
        QTest::newRow("line break") << QStringLiteral("a\nb.asc") << QStringLiteral("a b.asc");
        QTest::newRow("non-ASCII, =, &") << QStringLiteral("Z\u00fcrich=&.asc") << QStringLiteral("Z\u00fcrich%3D&.asc");
    }
    void recentFileWithEscapesOpensThatFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, decoy);
        TScriptedPrompt prompt;
        QTemporaryDir dir;
        const auto write = [&dir](const QString& file, const char* poi) {
            QFile out(dir.filePath(file));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(QByteArray("4.89, 52.37, \"") + poi + "\"\n");
        };
        write(name, "Real");
        write(decoy, "Decoy");
        GetSettings().ShowStartupScreen = false;
        GetSettings().AddToMRU(dir.filePath(name), QStringLiteral("genasc"));
        GetSettings().Save();
        ResetSettingsForTests();
        TFixture f;
        f.Form->show();
        f.Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.Form.get()));
        QMenuBar* bar = f.Form->menuBar();
        QMenu* file = bar->actions()[0]->menu();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions()[0]).center());
        QTRY_VERIFY(file->isVisible());
        QAction* recent = f.Act(A::acMru1);
        QVERIFY(recent->isVisible());
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(recent).center());
        QTRY_COMPARE(f.Form->Children().size(), 1);
        TMDIChild* child = f.Form->Children()[0];
        QCOMPARE(child->FileName(), dir.filePath(name));
        QCOMPARE(child->Entries().Count(), 1);
        QCOMPARE(std::string(child->Entries()[0].GetDescription()), std::string("Real"));
        QVERIFY(prompt.Boxes.empty());
    }

    void droppedFilesReachTheOpenRoutine()
    {
        TScriptedPrompt prompt;
        TFixture f;
        QMimeData data;
        data.setUrls({ QUrl::fromLocalFile(Fixture("ttov2/one.ov2")), QUrl(QStringLiteral("http://x.example/a")) });
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.Form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.Form.get(), &drop);
        QCOMPARE(f.Form->Children().size(), 1);
        QCOMPARE(f.Form->Children()[0]->FileName(), Fixture("ttov2/one.ov2"));
        // Dropped again: the window that shows it, not a second one.
        QApplication::sendEvent(f.Form.get(), &drop);
        QCOMPARE(f.Form->Children().size(), 1);
        QVERIFY(prompt.Boxes.empty());
    }

    void childCommandsGoToTheActiveChild()
    {
        TScriptedPrompt prompt;
        TFixture f;
        f.Form->show();
        f.Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.Form.get()));
        TMDIChild* first = f.AddChild("/a.ov2");
        TMDIChild* second = f.AddChild("/b.ov2");
        TMainFormTestAccess(*f.Form).MdiArea()->setActiveSubWindow(
            TMainFormTestAccess(*f.Form).MdiArea()->subWindowList().first());
        QVERIFY(f.Form->ActiveChild() == first);
        TMDIChildTestAccess(*first).ListView1()->setFocus();
        f.Form->UpdateActions();
        QVERIFY(f.Act(A::acEditCopy)->isEnabled());
        f.Act(A::acEditInsert)->trigger();
        QCOMPARE(first->Entries().Count(), 3);
        TMDIChildTestAccess(*first).ListView1()->setFocus();
        f.Act(A::acEditSelectAll)->trigger();
        QCOMPARE(first->SelectedIndices().size(), size_t(3));
        f.Act(A::acInvertSelection)->trigger();
        QVERIFY(first->SelectedIndices().empty());
        first->SelectOnly(0);
        f.Form->UpdateActions();
        f.Act(A::acEditCut)->trigger();
        QCOMPARE(first->Entries().Count(), 2);
        QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral("Dam")));
        first->SelectOnly(0);
        f.Form->UpdateActions();
        f.Act(A::acEditPaste)->trigger();
        QCOMPARE(first->Entries().Count(), 3);
        first->SelectOnly(1);
        f.Form->UpdateActions();
        f.Act(A::acEditDelete)->trigger();
        QCOMPARE(first->Entries().Count(), 2);
        QCOMPARE(second->Entries().Count(), 2);
        QVERIFY(prompt.Boxes.empty());
        QVERIFY(f.Form->FindChild("/b.ov2") == second);
        QVERIFY(f.Form->FindChild("/B.ov2") == nullptr); // local names are case-sensitive
        first->Document().FileName = "MOBILE://\\My Documents\\X.ov2";
        QVERIFY(f.Form->FindChild("mobile://\\my documents\\x.OV2") == first);
        first->Entries().ResetChanged();
    }

    void findAsksAndKeepsTheText()
    {
        TScriptedPrompt prompt;
        TFixture f;
        TMDIChild* child = f.AddChild("/a.ov2");
        child->Entries().Add("Damrak", std::string(), 4.9, 52.4);
        child->Entries().ResetChanged();
        child->Model()->Reload();
        prompt.InputAnswers = { QStringLiteral("dam"), QString(), QStringLiteral("") };
        f.Act(A::acFind)->trigger();
        QCOMPARE(child->GetSelectedIndex(), 0);
        QVERIFY(f.Act(A::acFindNext)->isEnabled());
        f.Act(A::acFindNext)->trigger();
        QCOMPARE(child->GetSelectedIndex(), 2);
        f.Act(A::acFind)->trigger(); // cancelled: nothing happens
        QCOMPARE(TMainFormTestAccess(*f.Form).SearchText(), QStringLiteral("dam"));
        QVERIFY(prompt.Boxes.empty());
        f.Act(A::acFind)->trigger(); // empty answer
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("No search string entered."));
        QCOMPARE(prompt.Boxes[0].Caption, QStringLiteral("Tarvell"));
        QCOMPARE(TMainFormTestAccess(*f.Form).SearchText(), QString());
        QVERIFY(!f.Act(A::acFindNext)->isEnabled());
    }

    void hideClosesAllFilesAndHides()
    {
        TScriptedPrompt prompt;
        TFixture f;
        f.Form->show();
        f.AddChild("/a.ov2", true);
        f.AddChild("/b.ov2", true);
        prompt.Answers = { IDNO, IDNO };
        f.Access->HideInTray(true);
        // Both were asked to save.
        QCOMPARE(prompt.Boxes.size(), size_t(2));
        QVERIFY(f.Form->Children().isEmpty());
        QVERIFY(!f.Form->isVisible());
        QVERIFY(TMainFormTestAccess(*f.Form).TrayIcon()->isVisible());
        // Back through the tray item: shown, tray icon off.
        f.Act(A::Tarvell1)->trigger();
        QVERIFY(f.Form->isVisible());
        QVERIFY(!TMainFormTestAccess(*f.Form).TrayIcon()->isVisible());
    }

    void refusedExitKeepsEverythingAndHideStillHides()
    {
        TScriptedPrompt prompt;
        TFixture f;
        f.Form->show();
        f.AddChild("/a.ov2", true);
        f.AddChild("/b.ov2");
        prompt.Answers = { IDCANCEL };
        f.Act(A::acFileExit)->trigger();
        QCOMPARE(f.Form->Children().size(), 2);
        QVERIFY(f.Form->isVisible());
        QVERIFY(!f.Access->CloseFlags().Exiting);
        prompt.Answers = { IDNO };
        f.Access->HideInTray(true);
        QVERIFY(!f.Form->isVisible());
        QVERIFY(TMainFormTestAccess(*f.Form).TrayIcon()->isVisible());
        QVERIFY(!f.Access->CloseFlags().Exiting);
    }

    void exitAndCloseButtonEnd()
    {
        TFixture f;
        f.Form->show();
        f.Act(A::acFileExit)->trigger();
        QVERIFY(!f.Form->isVisible());
        QVERIFY(f.Access->CloseFlags().Exiting);
        QVERIFY(!TMainFormTestAccess(*f.Form).TrayIcon()->isVisible());
        TFixture g;
        g.Form->show();
        g.Form->close();
        QVERIFY(!g.Form->isVisible());
        QVERIFY(g.Access->CloseFlags().Exiting);
    }

    void hideWithoutTrayMinimises()
    {
        TFixture f;
        f.Form->show();
        f.Access->HideInTray(false);
        QVERIFY(f.Form->isVisible());
        QTRY_VERIFY(f.Form->isMinimized());
        QVERIFY(!f.Access->CloseFlags().Exiting);
    }

    // The restart: the language stored, the single-instance server closed before the new copy
    // starts (it would find this one and end), the program started without parameters.
    void languageRestartClosesServerFirst()
    {
        QTemporaryDir dir;
        const QString report = dir.filePath(QStringLiteral("started"));
        const QString script = dir.filePath(QStringLiteral("tarvell"));
        TInstanceServer server;
        const QString name = InstanceServerName() + "-restart";
        QVERIFY(server.Listen(name));
        {
            QFile file(script);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("#!/bin/sh\nif [ -S '%1' ]; then s=listening; else s=closed; fi\n"
                                      "echo \"$s $#\" > '%2'\n")
                           .arg(name, report)
                           .toLocal8Bit());
            file.close();
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        SetExecutablePathOverride(script);
        TFixture f;
        f.Form->AttachInstanceServer(&server);
        f.Form->show();
        QAction ticked;
        ticked.setCheckable(true);
        ticked.setChecked(true);
        f.Form->LanguageClick(&ticked, 1031); // the language in use: nothing
        QVERIFY(f.Form->isVisible());
        QAction other;
        other.setCheckable(true);
        f.Form->LanguageClick(&other, 1031);
        QVERIFY(!f.Form->isVisible());
        QCOMPARE(GetSettings().Language, 1031);
        QVERIFY(!server.IsListening());
        auto content = [&report] {
            QFile started(report);
            return started.open(QIODevice::ReadOnly) ? started.readAll().trimmed() : QByteArray();
        };
        QTRY_COMPARE(content(), QByteArray("closed 0"));
    }

    void instanceMessages()
    {
        TScriptedPrompt prompt;
        QTemporaryDir device;
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        TFixture f;
        TMDIChild* open = f.AddChild(Fixture("ttov2/one.ov2"));
        f.AddChild(Fixture("ttov2/mixed.ov2"));
        f.Form->HandleInstanceMessage({ WM_COPYDATA_CODE, 0, Fixture("ttov2/one.ov2").toUtf8() });
        QCOMPARE(f.Form->Children().size(), 2); // already open: shown, not read again
        QVERIFY(f.Form->ActiveChild() == open);
        f.Form->HandleInstanceMessage({ WM_COPYDATA_CODE, 0, Fixture("gengpx/waypoints.gpx").toUtf8() });
        QCOMPARE(f.Form->Children().size(), 3);
        ConnectDevice();
        QVERIFY(IsDeviceConnected());
        f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 1, {} });
        QVERIFY(!IsDeviceConnected());
        QVERIFY(f.Access->SilentUpdate());
        QVERIFY(f.Access->TiAutoUpdate().isActive());
        f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 0, {} });
        QVERIFY(!f.Access->SilentUpdate());
        f.Access->TiAutoUpdate().stop();
        QVERIFY(!f.Form->isVisible());
        f.Form->HandleInstanceMessage({ WM_SHOWMAINFORM, 0, {} });
        QVERIFY(f.Form->isVisible());
        f.Form->HandleInstanceMessage({ WM_EXITAPP, 0, {} });
        QVERIFY(!f.Form->isVisible());
        QVERIFY(f.Access->CloseFlags().Exiting);
        QVERIFY(prompt.Boxes.empty());
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    // Open Remote: the browser starts in "PrevRemoteDir", the chosen device file opens in a new
    // child, and its folder is remembered.
    void openRemote()
    {
        TScriptedPrompt prompt;
        QTemporaryDir device;
        QDir(device.path()).mkpath(QStringLiteral("My Documents/pois"));
        QVERIFY(QFile::copy(Fixture("ttov2/tree20.ov2"), device.filePath(QStringLiteral("My Documents/pois/tree20.ov2"))));
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        GetSettings().PrevRemoteDir = QStringLiteral("\\My Documents\\pois\\");
        TFixture f;
        QStringList listed;
        TOnNextModal chooser([&](QDialog* dialog) {
            auto* browser = qobject_cast<TfmMobileBrowser*>(dialog);
            QVERIFY(browser && !browser->SaveMode());
            const TfmMobileBrowserTestAccess a(browser);
            QCOMPARE(a.edDir()->text(), QStringLiteral("\\My Documents\\pois\\"));
            for (int i = 0; i < a.ListView1()->topLevelItemCount(); ++i)
                listed << a.ListView1()->topLevelItem(i)->text(0);
            a.ListView1()->setCurrentItem(a.ListView1()->topLevelItem(0));
            browser->OpenExecute();
        });
        f.Act(A::acFileRemote)->trigger();
        QVERIFY(chooser.Ran);
        QCOMPARE(listed, QStringList { QStringLiteral("tree20.ov2") });
        TMDIChild* child = f.Form->ActiveChild();
        QVERIFY(child);
        QCOMPARE(child->FileName(), QStringLiteral("MOBILE://\\My Documents\\pois\\tree20.ov2"));
        QCOMPARE(child->Entries().Count(), 20);
        QCOMPARE(GetSettings().PrevRemoteDir, QStringLiteral("\\My Documents\\pois\\"));
        QVERIFY(prompt.Boxes.empty());

        // Cancelled, nothing opens; without a device the command ends with the device message.
        TOnNextModal cancel([](QDialog* dialog) { dialog->reject(); });
        f.Act(A::acFileRemote)->trigger();
        QVERIFY(cancel.Ran);
        QCOMPARE(f.Form->Children().size(), 1);
        qputenv("TARVELL_DEVICE_ROOT", device.filePath(QStringLiteral("unplugged")).toLocal8Bit());
        DisconnectDevice();
        f.Act(A::acFileRemote)->trigger();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QVERIFY(prompt.Boxes[0].Text.startsWith(QStringLiteral("Unable to initialize connection to remote device.")));
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    // Save Remote with the picture box ticked: the file and its ".bmp" reach the device and the
    // recent files name it as remote.
    void saveRemoteWithPicture()
    {
        TScriptedPrompt prompt;
        QTemporaryDir device, local;
        QDir(device.path()).mkpath(QStringLiteral("My Documents"));
        QFile picture(local.filePath(QStringLiteral("museum.bmp")));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.write("BM picture");
        picture.close();
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        GetSettings().PrevRemoteDir = QStringLiteral("\\My Documents\\");
        TFixture f;
        f.Form->show();
        f.AddChild(local.filePath(QStringLiteral("museum.ov2")));
        f.Form->UpdateActions();
        QVERIFY(f.Act(A::acFileSaveRemote)->isEnabled());
        TOnNextModal chooser([&](QDialog* dialog) {
            auto* browser = qobject_cast<TfmMobileBrowser*>(dialog);
            QVERIFY(browser && browser->SaveMode());
            const TfmMobileBrowserTestAccess a(browser);
            QVERIFY(a.cbExtra()->isVisible());
            QCOMPARE(a.cbExtra()->text(), QStringLiteral("Copy bmp file if available"));
            QCOMPARE(a.edDir()->text(), QStringLiteral("\\My Documents\\"));
            QCOMPARE(a.Edit1()->text(), QStringLiteral("museum.ov2"));
            QCOMPARE(browser->FormatIndex(), TConvertToBase::IndexOf(QStringLiteral(".ov2"), QString()));
            a.cbExtra()->setChecked(true);
            browser->OpenExecute();
        });
        f.Act(A::acFileSaveRemote)->trigger();
        QVERIFY(chooser.Ran);
        QVERIFY(prompt.Boxes.empty());
        QVERIFY(QFileInfo(device.filePath(QStringLiteral("My Documents/museum.ov2"))).size() > 0);
        QFile copied(device.filePath(QStringLiteral("My Documents/museum.bmp")));
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), QByteArray("BM picture"));
        QCOMPARE(f.Form->ActiveChild()->FileName(), QStringLiteral("MOBILE://\\My Documents\\museum.ov2"));
        QCOMPARE(GetSettings().MRU.GetName(0), QStringLiteral("MOBILE://\\My Documents\\museum.ov2"));
        f.Form->UpdateActions();
        QCOMPARE(f.Act(A::acMru1)->text(), QStringLiteral("&1 museum.ov2 (Remote)"));
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    void reconnectDropsTheConnection()
    {
        QTemporaryDir device;
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        TFixture f;
        f.Form->UpdateActions();
        QVERIFY(!f.Act(A::acFileReconnect)->isEnabled());
        ConnectDevice();
        f.Form->UpdateActions();
        QVERIFY(f.Act(A::acFileReconnect)->isEnabled());
        f.Act(A::acFileReconnect)->trigger();
        QVERIFY(!IsDeviceConnected());
        QVERIFY(!f.Act(A::acFileReconnect)->isEnabled());
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    void autoUpdateAll()
    {
        SetProfiles({ { "", 1 } });
        TRunRecorder runs;
        TFixture f;
        f.Form->UpdateActions();
        f.Act(A::acAutoUpdateNow)->trigger();
        QCOMPARE(runs.Rows, std::vector<int> { 2 });
        QVERIFY(!TMainFormTestAccess(*f.Form).UpdateRunning());
        SetProfiles({ { "", 0 }, { "Car", 1 }, { "Bike", 0 } });
        f.Form->UpdateActions();
        f.Form->show();
        f.Act(A::acAutoUpdateToolbar)->trigger();
        QStringList items;
        for (QAction* a : TMainFormTestAccess(*f.Form).PmAutoUpdate()->actions())
            items << a->text() + (a->isEnabled() ? "" : " (off)");
        QCOMPARE(items,
            (QStringList { "AutoUpdate &All Profiles", "AutoUpdate &Default (off)", "AutoUpdate &Car",
                "AutoUpdate &Bike (off)" }));
        TMainFormTestAccess(*f.Form).PmAutoUpdate()->actions()[2]->trigger();
        TMainFormTestAccess(*f.Form).PmAutoUpdate()->actions()[0]->trigger();
        QCOMPARE(runs.Rows, (std::vector<int> { 2, 2, 2 }));
        TMainFormTestAccess(*f.Form).PmAutoUpdate()->hide();
        QCOMPARE(f.Act(A::acAutoUpdateProfile2)->text(), QStringLiteral("AutoUpdate Car"));
    }

    // While a run goes on nothing starts another one and nothing closes the window under it: the
    // run commands are disabled, a forwarded request, the update timer, Exit, Hide In Tray, a
    // language restart and a close all wait for the run's end.
    void whatArrivesDuringARunWaitsForItsEnd_data()
    {
        QTest::addColumn<int>("what");
        QTest::newRow("exit") << 0;
        QTest::newRow("message 2026") << 1;
        QTest::newRow("close button") << 2;
        QTest::newRow("hide in tray") << 3;
        QTest::newRow("language restart") << 4;
    }
    void whatArrivesDuringARunWaitsForItsEnd()
    {
        QFETCH(int, what);
        SetProfiles({ { "", 1 }, { "Car", 1 } });
        QTemporaryDir dir;
        SetExecutablePathOverride(dir.filePath(QStringLiteral("never-started")));
        TScriptedPrompt prompt;
        TRunRecorder runs;
        TFixture f;
        f.Form->show();
        QAction language;
        language.setCheckable(true);
        bool visibleInside = false;
        bool runCommandsEnabledInside = true;
        runs.Inside = [&](QWidget*) {
            QVERIFY(TMainFormTestAccess(*f.Form).UpdateRunning());
            switch (what) {
            case 0:
                f.Act(A::acFileExit)->trigger();
                break;
            case 1:
                f.Form->HandleInstanceMessage({ WM_EXITAPP, 0, {} });
                break;
            case 2:
                f.Form->close();
                break;
            case 3:
                f.Access->HideInTray(true);
                break;
            case 4:
                f.Form->LanguageClick(&language, 1031);
                break;
            }
            visibleInside = f.Form->isVisible();
            f.Form->UpdateActions();
            runCommandsEnabledInside = f.Act(A::acAutoUpdateNow)->isEnabled()
                || f.Act(A::acAutoUpdateToolbar)->isEnabled() || f.Act(A::acAutoUpdateProfile1)->isEnabled();
            // Refused: no second status window over the first.
            f.Act(A::acAutoUpdateProfile2)->trigger();
            f.Form->AutoUpdateAllProfiles(false);
        };
        f.Form->AutoUpdateAllProfiles(false);
        QVERIFY(visibleInside);
        QVERIFY(!runCommandsEnabledInside);
        QCOMPARE(runs.Rows.size(), size_t(1));
        // The run is over: what waited happens now.
        QVERIFY(!TMainFormTestAccess(*f.Form).UpdateRunning());
        QVERIFY(!f.Form->isVisible());
        if (what == 3)
            QVERIFY(TMainFormTestAccess(*f.Form).TrayIcon()->isVisible());
        else
            QVERIFY(f.Access->CloseFlags().Exiting);
        if (what == 4)
            QCOMPARE(GetSettings().Language, 1031);
        QVERIFY(prompt.Boxes.empty());
    }

    void forwardedUpdateAndTimerWaitForTheRunningOne()
    {
        SetProfiles({ { "", 1 }, { "Car", 1 }, { "Bike", 1 } });
        QTemporaryDir device;
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        TRunRecorder runs;
        TFixture f;
        f.Access->TiAutoUpdate().setInterval(0);
        bool connectedAfterMessage = false;
        bool timerDuringRun = true;
        runs.Inside = [&](QWidget*) {
            ConnectDevice();
            // A second start forwards "/update /silent /PROF:Car /prof:Bike" while this run goes on.
            f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 1, "/PROF:Car\n/prof:Bike" });
            connectedAfterMessage = IsDeviceConnected();
            timerDuringRun = f.Access->TiAutoUpdate().isActive();
            // The update timer firing now waits as well.
            f.Access->TiAutoUpdate().start(0);
            QTest::qWait(20);
        };
        f.Form->AutoUpdateAllProfiles(false);
        QVERIFY(connectedAfterMessage);
        QVERIFY(!timerDuringRun);
        QVERIFY(!IsDeviceConnected());
        // All profiles (3 items of one site), then, never two at once, the waiting timer's request
        // (every profile) joined with the forwarded one: every profile again.
        QTRY_COMPARE(runs.Rows, (std::vector<int> { 4, 4 }));
        QTRY_VERIFY(!TMainFormTestAccess(*f.Form).UpdateRunning());
        QTest::qWait(20);
        QCOMPARE(runs.Rows.size(), size_t(2));
        qunsetenv("TARVELL_DEVICE_ROOT");
    }

    // Requests that come while a run goes on, or while an earlier one waits for its delay, are
    // joined: each named profile once, silent only when all are.
    void waitingUpdateRequestsAreJoined()
    {
        SetProfiles({ { "", 1 }, { "Car", 1 }, { "Bike", 1 } });
        TRunRecorder runs;
        TFixture f;
        f.Access->TiAutoUpdate().setInterval(0);
        runs.Inside = [&](QWidget*) {
            f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 1, "/PROF:Car" });
            f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 0, "/prof:bike\n/PROF:car" });
        };
        f.Form->AutoUpdateAllProfiles(false);
        QTRY_COMPARE(runs.Rows, (std::vector<int> { 4, 3 }));
        QCOMPARE(f.Access->SilentUpdate(), false);
        QTRY_VERIFY(!TMainFormTestAccess(*f.Form).UpdateRunning());

        runs.Rows.clear();
        f.Access->TiAutoUpdate().setInterval(200);
        f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 1, "/PROF:Car" });
        f.Form->HandleInstanceMessage({ WM_AUTOUPDATE, 1, "/PROF:Bike" });
        QCOMPARE(f.Access->SilentUpdate(), true);
        QTRY_COMPARE(runs.Rows, (std::vector<int> { 3 }));
        QTest::qWait(300);
        QCOMPARE(runs.Rows.size(), size_t(1));
    }

    // Manager to wizard, wizard back to manager: each once the first window is gone; the main
    // window refers to the manager only while it is shown. Runs of the manager are this window's.
    void autoUpdateWindowsHandOver()
    {
        TScriptedPrompt prompt;
        SetProfiles({ { "", 1 } });
        TFixture f;
        f.Form->show();
        QStringList seen;
        bool managerReferenced = false;
        bool runningInside = false;
        QTimer poll;
        QPointer<QWidget> last;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == last || !modal->isVisible())
                return;
            last = modal;
            if (auto* manager = qobject_cast<TfmSiteManager*>(modal)) {
                seen << QStringLiteral("manager");
                managerReferenced = TMainFormTestAccess(*f.Form).SiteManager() == manager;
                if (seen.size() == 1) {
                    // AutoUpdate Now as the main window's run, then to the wizard.
                    TModalCloser closer;
                    closer.During = [&](QWidget*) { runningInside = TMainFormTestAccess(*f.Form).UpdateRunning(); };
                    TfmSiteManagerTestAccess(manager).acAutoUpdate()->trigger();
                    TfmSiteManagerTestAccess(manager).acStartWizard()->trigger();
                } else {
                    manager->close();
                }
            } else if (auto* wizard = qobject_cast<TfmAutoUpdateWizard*>(modal)) {
                seen << (TMainFormTestAccess(*f.Form).SiteManager() ? QStringLiteral("wizard beside the manager")
                                                                    : QStringLiteral("wizard"));
                wizard->BitBtn2Click();
            }
        });
        poll.start(5);
        f.Act(A::acAutoUpdateManager)->trigger();
        QTRY_COMPARE(seen, QStringList({ "manager", "wizard", "manager" }));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(managerReferenced);
        QVERIFY(runningInside);
        QVERIFY(!TMainFormTestAccess(*f.Form).UpdateRunning());
        QVERIFY(!TMainFormTestAccess(*f.Form).SiteManager());
    }

    void webPages()
    {
        FUrls.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
        TFixture f;
        for (TAction id : { A::Action7, A::Action8, A::Action5, A::acGotoSiteStatus })
            f.Act(id)->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(FUrls.size(), 4);
        QCOMPARE(FUrls[1].path(), QStringLiteral("/faq.htm"));
        QCOMPARE(FUrls[2].query(), QStringLiteral("f=2"));
        QCOMPARE(FUrls[3].path(), QStringLiteral("/sites.htm"));
    }

    // Each activated child shows its own count and change mark; closing one leaves the other's,
    // and only with no child left are the panels blank.
    void statusPanelsFollowTheActiveChild()
    {
        TScriptedPrompt prompt;
        TFixture f;
        f.Form->show();
        TMDIChild* saved = f.AddChild("/a.ov2");
        TMDIChild* changed = f.AddChild("/b.ov2", true);
        changed->Insert();
        auto panels = [&f] {
            return TMainFormTestAccess(*f.Form).StatusPanel(2)->text() + QChar('|')
                + TMainFormTestAccess(*f.Form).StatusPanel(3)->text();
        };
        const QList<QMdiSubWindow*> frames
            = TMainFormTestAccess(*f.Form).MdiArea()->subWindowList(QMdiArea::CreationOrder);
        for (int round = 0; round < 2; ++round) {
            TMainFormTestAccess(*f.Form).MdiArea()->setActiveSubWindow(frames[0]);
            QCOMPARE(panels(), QStringLiteral("2 items|"));
            TMainFormTestAccess(*f.Form).MdiArea()->setActiveSubWindow(frames[1]);
            QCOMPARE(panels(), QStringLiteral("3 items|Changed"));
        }
        // The changed one closes (No to saving): the other's values, not blank.
        prompt.Answers = { IDNO };
        f.Act(A::acFileClose)->trigger();
        QTRY_COMPARE(f.Form->Children().size(), 1);
        QTRY_COMPARE(panels(), QStringLiteral("2 items|"));
        QVERIFY(f.Form->ActiveChild() == saved);
        f.Act(A::acFileClose)->trigger();
        QTRY_VERIFY(f.Form->Children().isEmpty());
        QTRY_COMPARE(panels(), QStringLiteral("|"));
    }

    void windowCommands()
    {
        TFixture f;
        f.Form->show();
        f.AddChild("/a.ov2");
        f.AddChild("/b.ov2");
        const QList<QMdiSubWindow*> windows
            = TMainFormTestAccess(*f.Form).MdiArea()->subWindowList(QMdiArea::CreationOrder);
        const QRect area = TMainFormTestAccess(*f.Form).MdiArea()->viewport()->rect();
        f.Act(A::acWindowTileHorizontal)->trigger();
        QCOMPARE(windows[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
        QCOMPARE(windows[1]->geometry().top(), area.height() / 2);
        f.Act(A::acWindowTileVertical)->trigger();
        QCOMPARE(windows[0]->geometry(), QRect(0, 0, area.width() / 2, area.height()));
        QCOMPARE(windows[1]->geometry().left(), area.width() / 2);
        QMdiSubWindow* before = TMainFormTestAccess(*f.Form).MdiArea()->currentSubWindow();
        f.Act(A::acWindowNext)->trigger();
        QVERIFY(TMainFormTestAccess(*f.Form).MdiArea()->currentSubWindow() != before);
        f.Act(A::WindowMinimizeAll2)->trigger();
        QVERIFY(windows[0]->isMinimized() && windows[1]->isMinimized());
        f.Act(A::acFileClose)->trigger();
        QTRY_COMPARE(f.Form->Children().size(), 1);
    }

    // Only a change to maximised or to restored stores "ChildrenMaximized".
    void childrenMaximizedChanges_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("now");
        QTest::addColumn<int>("stored"); // -1 nothing, 0 false, 1 true
        const int normal = Qt::WindowNoState, max = Qt::WindowMaximized, min = Qt::WindowMinimized,
                  active = Qt::WindowActive;
        QTest::newRow("maximise") << normal << max << 1;
        QTest::newRow("restore") << max << normal << 0;
        QTest::newRow("minimise a maximised one") << max << min << -1;
        QTest::newRow("minimise a normal one") << normal << min << -1;
        QTest::newRow("minimised back to maximised") << (min | max) << max << 1;
        QTest::newRow("minimised back to normal") << min << normal << 0;
        QTest::newRow("activated, normal") << normal << (normal | active) << -1;
        QTest::newRow("activated, maximised") << max << (max | active) << -1;
        QTest::newRow("deactivated, maximised") << (max | active) << max << -1;
        QTest::newRow("maximised while active") << active << (max | active) << 1;
    }
    void childrenMaximizedChanges()
    {
        QFETCH(int, before);
        QFETCH(int, now);
        QFETCH(int, stored);
        const std::optional<bool> change
            = TfmTarvellMainForm::ChildrenMaximizedChange(Qt::WindowStates(before), Qt::WindowStates(now));
        QCOMPARE(change ? int(*change) : -1, stored);
    }

    // The child frames themselves: minimising a maximised child keeps the setting, restoring it
    // clears it.
    void childFramesStoreChildrenMaximized()
    {
        TFixture f;
        f.Form->show();
        TMDIChild* first = f.AddChild("/a.ov2");
        f.AddChild("/b.ov2");
        auto* frame = qobject_cast<QMdiSubWindow*>(first->parentWidget());
        frame->showMaximized();
        QVERIFY(GetSettings().ChildrenMaximized);
        frame->showMinimized();
        QVERIFY(GetSettings().ChildrenMaximized);
        TMainFormTestAccess(*f.Form).MdiArea()->activateNextSubWindow();
        QVERIFY(GetSettings().ChildrenMaximized);
        frame->showNormal();
        QVERIFY(!GetSettings().ChildrenMaximized);
    }

    void checkEveryWeekAndVersionCheck()
    {
        TFixture f;
        QCOMPARE(f.Act(A::acCheckEveryWeek)->isChecked(), true);
        // A glow button linked to the action shows its caption, tick and picture index.
        TAdvGlowButton button;
        button.SetStyle(TAdvButtonStyle::bsCheck);
        button.SetAction(f.Act(A::acCheckEveryWeek));
        QCOMPARE(button.Caption(), f.Act(A::acCheckEveryWeek)->text());
        QCOMPARE(button.ImageIndex(), ImageCheckWeekOn);
        QVERIFY(button.Down());
        f.Act(A::acCheckEveryWeek)->trigger();
        QCOMPARE(GetSettings().CheckEveryWeek, false);
        QCOMPARE(button.ImageIndex(), ImageCheckWeekOff);
        QVERIFY(!button.Down());
        QCOMPARE(qobject_cast<TImageAction*>(f.Act(A::acFileOpen))->ImageIndex(), ActionDef(A::acFileOpen).Image);
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

    // Bounds stored on another, larger screen: the window opens on this one, within its area.
    void storedBoundsFromAnotherScreenAreFitted()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        GetSettings().WindowStateMaximized = false;
        GetSettings().Left = -30000;
        GetSettings().Top = 99999;
        GetSettings().Width = 100000;
        GetSettings().Height = 300;
        GetSettings().UserBounds = false;
        TFixture f;
        f.Form->show();
        QCoreApplication::processEvents();
        QVERIFY2(area.contains(f.Form->frameGeometry()), qPrintable(QDebug::toString(f.Form->frameGeometry())));
        QCOMPARE(f.Form->height(), 300);
        QCOMPARE(GetSettings().UserBounds, false);
        // Arranged again later (a plug-in closed): fitted as well.
        f.Form->setGeometry(10, 10, 300, 300);
        f.Form->ReapplyBounds();
        QVERIFY2(area.contains(f.Form->frameGeometry()), qPrintable(QDebug::toString(f.Form->frameGeometry())));
    }

    // A map pane width stored by a wider window (or a damaged file) leaves the list its share.
    void storedMapPanelWidthLeavesTheListRoom()
    {
        GetSettings().MapVisible = true;
        GetSettings().MapPanelWidth = std::numeric_limits<int>::max();
        QTemporaryDir dir;
        TFixture f;
        TMDIChild* child = OpenMaximizedInAWindowOf700(f, dir);
        QVERIFY(child);
        QCoreApplication::processEvents();
        TMDIChildTestAccess access(*child);
        QVERIFY(!access.paMaps()->isHidden());
        const QList<int> sizes = access.spMap()->sizes();
        QCOMPARE(sizes.size(), 2);
        QVERIFY2(sizes[1] >= 134, qPrintable(QDebug::toString(sizes)));
        QVERIFY2(sizes[0] >= 134, qPrintable(QDebug::toString(sizes)));
        GetSettings().MapVisible = false;
    }

    // A map pane stored wider than the window allows leaves the list a usable share (its three
    // columns with room for the descriptions), also as the window shrinks, and comes back to its
    // stored width when the window is wide enough again.
    void storedMapPanelWidthKeepsTheListUsable()
    {
        GetSettings().MapVisible = true;
        GetSettings().MapPanelWidth = 900;
        QTemporaryDir dir;
        TFixture f;
        TMDIChild* child = OpenMaximizedInAWindowOf700(f, dir);
        QVERIFY(child);
        TMDIChildTestAccess access(*child);
        QHeaderView* header = access.ListView1()->horizontalHeader();
        for (const int width : { 700, 1600, 560, 1600, 420 }) {
            f.Form->resize(width, 500);
            QCoreApplication::processEvents();
            const QList<int> sizes = access.spMap()->sizes();
            const QString shown = QStringLiteral("window %1: %2").arg(width).arg(QDebug::toString(sizes));
            QVERIFY2(sizes.size() == 2 && sizes[0] >= 134, qPrintable(shown));
            if (width >= 1600) {
                QVERIFY2(sizes[0] == 900, qPrintable(shown));
            } else if (width >= 560) {
                QVERIFY2(sizes[1] >= 276, qPrintable(shown));
                QVERIFY2(header->sectionSize(0) >= 88, qPrintable(shown + QStringLiteral(", description %1").arg(header->sectionSize(0))));
            } else {
                QVERIFY2(sizes[1] >= sizes[0], qPrintable(shown));
            }
        }
        QCOMPARE(GetSettings().MapPanelWidth, 900);
        GetSettings().MapVisible = false;
    }

    // The progress window of an open is drawn before the parse, which lets no events through.
    void openProgressIsPaintedBeforeTheWork()
    {
        TFixture f;
        f.Form->show();
        struct TPaints : QObject {
            int Count = 0;
            bool eventFilter(QObject* watched, QEvent* event) override
            {
                if (event->type() == QEvent::Paint && watched->inherits("TfmProgress"))
                    ++Count;
                return false;
            }
        } paints;
        qApp->installEventFilter(&paints);
        TOpenHost& host = f.Access->OpenHost();
        const std::function<void(int)> progress = host.BeginProgress();
        qApp->removeEventFilter(&paints);
        QVERIFY(paints.Count > 0);
        progress(50);
        host.EndProgress();
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

private:
    QList<QUrl> FUrls;
};

TARVELL_QTEST_MAIN(TestMainForm)
#include "tst_fMain.moc"
