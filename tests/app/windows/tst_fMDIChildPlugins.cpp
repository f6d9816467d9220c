// The child window's plug-in commands with real test plug-ins: captions and states, the popup's
// submenus, what the plug-ins are called with, the main window beside them and its bounds back
// when their window closes.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "plugins/PluginTestSupport.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QMenu>
#include <QScreen>
#include <QtTest>

#include <thread>

namespace {

const QString Sample = QStringLiteral(TARVELL_TEST_DATA "/../../samples/amsterdam.ov2");

std::vector<std::string> Lines(const std::string& log)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(log.substr(start, end - start));
    return lines;
}

QStringList Texts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
    return texts;
}

// A main window with the sample open and the given external plug-ins (name, built test plug-in).
struct TPluginWindow {
    TPluginFolder Folder;
    TdmMain Data;
    std::unique_ptr<TfmTarvellMainForm> Form;
    TMDIChild* Child = nullptr;
    std::map<QString, QString> Paths;

    explicit TPluginWindow(std::initializer_list<std::pair<const char*, const char*>> plugins)
    {
        for (const auto& [name, built] : plugins)
            Paths[QString::fromLatin1(name)]
                = Folder.Copy(QString::fromLatin1(built), QString::fromLatin1(name) + QStringLiteral(".so"));
        Data.LoadPlugins(Folder.AppDir(), Folder.ProgramOptions());
        Form = std::make_unique<TfmTarvellMainForm>(Data);
        Form->show();
        Form->OpenFile(nullptr, Sample, false, QString());
        Child = dynamic_cast<TMDIChild*>(Form->ActiveChild());
    }
    std::string Log(const char* name) const { return TTestPluginProbe(Paths.at(QString::fromLatin1(name))).Log(); }
    void Reset(const char* name) const { TTestPluginProbe(Paths.at(QString::fromLatin1(name))).Reset(); }
    QAction* Action(TAction id) const { return Child->Action(id); }
    void Popup() const { emit TMDIChildTestAccess(*Child).PopupActionBarEx1()->aboutToShow(); }
};

} // namespace

class TestMDIChildPlugins : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }
    void init()
    {
        ResetSettingsForTests();
        QFile::remove(SettingsStoreFileName());
        GetSettings().MapVisible = false;
    }

    void noPlugins()
    {
        TPluginWindow window({});
        QVERIFY(window.Child);
        window.Child->SelectOnly(0);
        window.Popup();
        QCOMPARE(window.Action(TAction::acPluginGoto)->text(), QStringLiteral("Show"));
        QVERIFY(!window.Action(TAction::acPluginGoto)->isEnabled());
        QCOMPARE(window.Action(TAction::acPluginAdd)->text(), QStringLiteral("Add"));
        QVERIFY(!window.Action(TAction::acPluginAdd)->isEnabled());
        QVERIFY(!window.Action(TAction::actShowIn)->isVisible());
        QVERIFY(!window.Action(TAction::actAddTo)->isVisible());
        // Enter and double-click do nothing without a default plug-in.
        TScriptedPrompt prompt;
        QTest::keyClick(TMDIChildTestAccess(*window.Child).ListView1(), Qt::Key_Return);
        QVERIFY(prompt.Boxes.empty());
    }

    // One plug-in that is not the default: the commands stay off, the submenus hidden.
    void onePluginNoDefault()
    {
        TPluginWindow window({ { "Alpha", "external" } });
        window.Child->SelectOnly(0);
        window.Popup();
        QVERIFY(!window.Action(TAction::acPluginGoto)->isEnabled());
        QVERIFY(!window.Action(TAction::actShowIn)->isVisible());
    }

    // Three plug-ins, Beta the default: each submenu lists the other two, "Add to" off for the
    // one that takes no POIs, "Show in" items off without a selection.
    void threePluginsAndADefault()
    {
        GetSettings().DefaultPlugin = QStringLiteral("beta");
        TPluginWindow window({ { "Alpha", "external" }, { "Beta", "external" }, { "Gamma", "cannotadd" } });
        TMDIChildTestAccess(*window.Child).ListView1()->clearSelection();
        window.Popup();
        QCOMPARE(window.Action(TAction::acPluginGoto)->text(), QStringLiteral("Show in Beta"));
        QVERIFY(!window.Action(TAction::acPluginGoto)->isEnabled());
        QCOMPARE(Texts(TMDIChildTestAccess(*window.Child).miShowIn()), QStringList({ "Alpha (off)", "Gamma (off)" }));
        window.Child->SelectOnly(2);
        window.Popup();
        QVERIFY(window.Action(TAction::acPluginGoto)->isEnabled());
        QCOMPARE(window.Action(TAction::acPluginAdd)->text(), QStringLiteral("Add to Beta"));
        QVERIFY(window.Action(TAction::acPluginAdd)->isEnabled());
        QVERIFY(window.Action(TAction::actShowIn)->isVisible());
        QVERIFY(window.Action(TAction::actAddTo)->isVisible());
        QCOMPARE(Texts(TMDIChildTestAccess(*window.Child).miShowIn()), QStringList({ "Alpha", "Gamma" }));
        QCOMPARE(Texts(TMDIChildTestAccess(*window.Child).miAddTo()), QStringList({ "Alpha", "Gamma (off)" }));
        QCOMPARE(TMDIChildTestAccess(*window.Child).miShowIn()->actions().at(1)->data().toInt(), 2);
        // A second popup does not add the items again.
        window.Popup();
        QCOMPARE(TMDIChildTestAccess(*window.Child).miShowIn()->actions().size(), 2);

        window.Reset("Alpha");
        TMDIChildTestAccess(*window.Child).miShowIn()->actions().at(0)->trigger();
        const auto lines = Lines(window.Log("Alpha"));
        QVERIFY(!lines.empty());
        QCOMPARE(lines[0], std::string("SetAutoArrange 1"));
        QVERIFY(lines[1].rfind("SetArrangeArea ", 0) == 0);
        const TEntry& third = window.Child->Entries()[2];
        char expected[256];
        snprintf(expected, sizeof expected, "GotoPoi %.5f %.5f %s", third.GetLongitude(), third.GetLatitude(),
            std::string(third.GetDescription()).c_str());
        QCOMPARE(lines[2], std::string(expected));
    }

    // The default plug-in takes the command, from the action, Enter or a double-click.
    void showInTheDefault_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("action") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("double-click") << 2;
    }
    void showInTheDefault()
    {
        QFETCH(int, how);
        GetSettings().DefaultPlugin = QStringLiteral("Alpha");
        TPluginWindow window({ { "Alpha", "external" } });
        window.Child->SelectOnly(1);
        window.Reset("Alpha");
        if (how == 0) {
            window.Action(TAction::acPluginGoto)->trigger();
        } else if (how == 1) {
            QTest::keyClick(TMDIChildTestAccess(*window.Child).ListView1(), Qt::Key_Return);
        } else {
            QVERIFY(QTest::qWaitForWindowExposed(window.Form.get()));
            const QRect cell = TMDIChildTestAccess(*window.Child)
                                   .ListView1()
                                   ->visualRect(TMDIChildTestAccess(*window.Child).ListView1()->model()->index(1, 0));
            QVERIFY2(cell.isValid(), "the row is laid out");
            // An item view takes a double-click only on the item the press was on.
            QTest::mousePress(
                TMDIChildTestAccess(*window.Child).ListView1()->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(
                TMDIChildTestAccess(*window.Child).ListView1()->viewport(), Qt::LeftButton, {}, cell.center());
        }
        const auto lines = Lines(window.Log("Alpha"));
        QCOMPARE(int(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("GotoPoi", 0) == 0; })), 1);
    }

    // Five selected POIs: five AddPoi calls, first = 1 once; the main window then takes the strip.
    void addFiveAndArrange()
    {
        GetSettings().DefaultPlugin = QStringLiteral("Alpha");
        GetSettings().PluginAutoArrange = true;
        TPluginWindow window({ { "Alpha", "external" } });
        window.Child->SelectOnly(0);
        QItemSelectionModel* selection = TMDIChildTestAccess(*window.Child).ListView1()->selectionModel();
        for (int row : { 3, 5, 7, 9 })
            selection->select(TMDIChildTestAccess(*window.Child).ListView1()->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window.Reset("Alpha");
        GetSettings().UserBounds = true;
        window.Action(TAction::acPluginAdd)->trigger();
        const auto lines = Lines(window.Log("Alpha"));
        std::vector<std::string> adds;
        for (const auto& line : lines)
            if (line.rfind("AddPoi", 0) == 0)
                adds.push_back(line);
        QCOMPARE(int(adds.size()), 5);
        QCOMPARE(adds[0].substr(adds[0].size() - 2), std::string(" 1"));
        for (size_t i = 1; i < adds.size(); ++i)
            QCOMPARE(adds[i].substr(adds[i].size() - 2), std::string(" 0"));
        QVERIFY(adds[1].find(std::string(window.Child->Entries()[3].GetDescription())) != std::string::npos);
        QCOMPARE(lines.back(), std::string("SetCloseCallBack set"));
        const QScreen* screen = window.Child->screen();
        const TPluginArrangement arrangement = PluginArrangement(screen->geometry(), screen->availableGeometry(), true);
        char area[128];
        snprintf(area, sizeof area, "SetArrangeArea %d %d %d %d", arrangement.Area.left(), arrangement.Area.top(),
            arrangement.Area.width(), arrangement.Area.height());
        QCOMPARE(lines[1], std::string(area));
        QCOMPARE(window.Form->frameGeometry().topLeft(), arrangement.Strip.topLeft());
        QVERIFY(!GetSettings().UserBounds);
    }

    // Without "PluginAutoArrange" the main window stays and no callback is handed over.
    void noArrangementWhenSwitchedOff()
    {
        GetSettings().DefaultPlugin = QStringLiteral("Alpha");
        GetSettings().PluginAutoArrange = false;
        TPluginWindow window({ { "Alpha", "external" } });
        window.Child->SelectOnly(0);
        const QPoint before = window.Form->pos();
        window.Reset("Alpha");
        window.Action(TAction::acPluginGoto)->trigger();
        const auto lines = Lines(window.Log("Alpha"));
        QCOMPARE(lines.front(), std::string("SetAutoArrange 0"));
        QVERIFY(lines.back().rfind("GotoPoi", 0) == 0);
        QCOMPARE(window.Form->pos(), before);
        QVERIFY(GetSettings().UserBounds);
    }

    // The close callback gives the main window its stored bounds back, on the GUI thread; once
    // the main window is gone it does nothing.
    void closeCallbackRestoresBounds()
    {
        GetSettings().DefaultPlugin = QStringLiteral("Alpha");
        GetSettings().PluginAutoArrange = true;
        auto window = std::make_unique<TPluginWindow>(std::initializer_list<std::pair<const char*, const char*>> { { "Alpha", "external" } });
        window->Child->SelectOnly(0);
        window->Action(TAction::acPluginGoto)->trigger();
        QVERIFY(!GetSettings().UserBounds);
        // Bounds that fit the screen: the restored window is also fitted to it.
        GetSettings().Left = 30;
        GetSettings().Top = 40;
        GetSettings().Width = 500;
        GetSettings().Height = 400;
        const TTestPluginProbe probe(window->Paths.at(QStringLiteral("Alpha")));
        std::thread([&probe] { probe.CallClose(); }).join();
        // Queued: nothing yet.
        QVERIFY(window->Form->pos() != QPoint(30, 40));
        QTRY_COMPARE(window->Form->pos(), QPoint(30, 40));
        window->Form.reset();
        probe.CallClose();
        QCoreApplication::processEvents();
    }

    // A failing plug-in: the user error naming it and the error, nothing arranged.
    void failureIsAUserError()
    {
        GetSettings().DefaultPlugin = QStringLiteral("Thrower");
        TPluginWindow window({ { "Thrower", "throwingexternal" } });
        window.Child->SelectOnly(0);
        TScriptedPrompt prompt;
        GetSettings().UserBounds = true;
        window.Action(TAction::acPluginGoto)->trigger();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("Could not add the poi to Thrower because of the following error:\r\"The plugin \"Thrower\" failed in "
                           "GotoPoi: no external program\"."));
        QVERIFY(GetSettings().UserBounds);
        window.Action(TAction::acPluginAdd)->trigger();
        QCOMPARE(prompt.Boxes.size(), size_t(2));
        QVERIFY(prompt.Boxes[1].Text.endsWith(QStringLiteral("failed in AddPoi\".")));
        // The first POI was added before the failure and stays added.
        QCOMPARE(int(Lines(window.Log("Thrower")).size()) > 0, true);
    }
};

TARVELL_QTEST_MAIN(TestMDIChildPlugins)
#include "tst_fMDIChildPlugins.moc"
