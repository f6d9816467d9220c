// The duplicate finder over a child window's list: search, messages, selection rules, copy, cut
// and delete, opened from the main window's action.
#include "AppTestSupport.h"
#include "ToolWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fFindDups.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/logic/uEntriesModel.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uFormats.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

namespace {

// Metres to degrees of latitude, roughly.
constexpr double DegreesPerMetre = 1.0 / 111320.0;

// Groups: A with A2 and A3 (2 and 3 m away), B with B2 (exactly on it); C alone.
void FillList(TEntries& entries)
{
    entries.Add("A", "", 4.0, 52.0);
    entries.Add("B", "", 5.0, 52.0);
    entries.Add("A2", "", 4.0, 52.0 + 2 * DegreesPerMetre);
    entries.Add("C", "", 6.0, 52.0);
    entries.Add("B2", "", 5.0, 52.0);
    entries.Add("A3", "", 4.0, 52.0 - 3 * DegreesPerMetre);
}

QStringList Names(const TEntries& entries)
{
    QStringList names;
    for (int i = 0; i < entries.Count(); ++i)
        names << QString::fromLatin1(std::string(entries[i].GetDescription()).c_str());
    return names;
}

QStringList Tree(const TDupTreeModel& model)
{
    QStringList lines;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex node = model.index(row, 0);
        if (node.data(TDupTreeModel::LevelRole).toInt() == 0)
            lines << node.data().toString() + QChar(':');
        else
            lines.last() += QChar(' ') + node.data().toString();
    }
    return lines;
}

} // namespace

class TestFindDups : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }
    void init() { ResetSettingsForTests(); }

    void searchShowsTheGroupsExpanded()
    {
        TScriptedPrompt prompt;
        TEntries entries;
        FillList(entries);
        TfmFindDups finder;
        const auto a = TfmFindDupsTestAccess(finder);
        QAbstractItemModelTester tester(finder.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        finder.Entries = &entries;
        QCOMPARE(a.edTolerance()->text(), QStringLiteral("5"));
        a.edTolerance()->setText(QStringLiteral("7.9"));
        finder.acFindExecute();
        QCOMPARE(GetSettings().FindDupsTolerance, 7);
        QCOMPARE(Tree(*finder.Model()), (QStringList { "A: A2 A3", "B: B2" }));
        QVERIFY(prompt.Boxes.empty());
        QVERIFY(!a.acDelete()->isEnabled());
    }

    void noGroupsAndBadTolerances_data()
    {
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message");
        const QString none = QStringLiteral("No duplicate items found");
        QTest::newRow("identical points, tolerance 0") << QStringLiteral("0") << 6 << none;
        QTest::newRow("negative tolerance") << QStringLiteral("-3") << 6 << none;
        QTest::newRow("one POI") << QStringLiteral("5") << 1 << none;
        QTest::newRow("empty list") << QStringLiteral("5") << 0 << none;
        const QString bad = QStringLiteral("Please enter the tolerance as a whole number of metres.");
        QTest::newRow("empty tolerance") << QString() << 6 << bad;
        QTest::newRow("not a number") << QStringLiteral("five") << 6 << bad;
    }
    void noGroupsAndBadTolerances()
    {
        QFETCH(QString, tolerance);
        QFETCH(int, count);
        QFETCH(QString, message);
        TScriptedPrompt prompt;
        TEntries all;
        FillList(all);
        all.Add("B3", "", 5.0, 52.0);
        TEntries entries;
        for (int i = 0; i < count; ++i)
            entries.Add(std::string(all[i * 4 % 7].GetDescription()), "", all[i * 4 % 7].GetLongitude(), 52.0);
        TfmFindDups finder;
        const auto a = TfmFindDupsTestAccess(finder);
        finder.Entries = &entries;
        a.edTolerance()->setText(tolerance);
        a.acFind()->trigger();
        QCOMPARE(int(prompt.Boxes.size()), 1);
        QCOMPARE(prompt.Boxes[0].Text, message);
        QVERIFY(finder.Model()->Groups().empty());
    }

    void onlyDuplicatesAreCopiedCutOrDeleted()
    {
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        TMDIChild* child = form.NewChild();
        form.ShowChild(child);
        FillList(child->Entries());
        child->Model()->Reload();
        child->Entries().ResetChanged();

        TfmFindDups finder(child);
        const auto a = TfmFindDupsTestAccess(finder);
        finder.Entries = &child->Entries();
        int refreshed = 0;
        finder.OnEntriesDeleted = [&] { ++refreshed; };
        finder.acFindExecute();
        QItemSelectionModel& selection = *a.TreeView1()->selectionModel();
        // A root alone: nothing to copy or delete.
        selection.select(finder.Model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
        QVERIFY(!a.acCopy()->isEnabled() && !a.acCut()->isEnabled() && !a.acDelete()->isEnabled());
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        a.acDelete()->trigger();
        QCOMPARE(child->Entries().Count(), 6);

        // Ctrl+A in the tree selects the duplicates only; the roots stay out even when selected too.
        a.TreeView1()->setFocus();
        QTest::keyClick(a.TreeView1(), Qt::Key_A, Qt::ControlModifier);
        selection.select(finder.Model()->index(finder.Model()->GroupRow(1), 0), QItemSelectionModel::Select);
        QVERIFY(a.acDelete()->isEnabled());
        QCOMPARE(finder.SelectedDuplicates(), (std::vector<int> { 2, 5, 4 }));
        a.acCopy()->trigger();
        TChildDocument pasted;
        pasted.PasteText(QApplication::clipboard()->text());
        QCOMPARE(Names(pasted.Entries), (QStringList { "A2", "A3", "B2" }));

        QSignalSpy resets(child->Model(), &QAbstractItemModel::modelReset);
        a.acDelete()->trigger();
        QCOMPARE(Names(child->Entries()), (QStringList { "A", "B", "C" }));
        QVERIFY(child->Entries().Changed());
        QCOMPARE(refreshed, 1);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(Tree(*finder.Model()), (QStringList { "A:", "B:" }));
        QCOMPARE(finder.Model()->PoiIndex(finder.Model()->index(finder.Model()->GroupRow(1), 0)), 1);
        QVERIFY(!a.acDelete()->isEnabled());

        // Cut: copied, then gone; Ctrl+N selects none.
        child->Entries().Add("A4", "", 4.0, 52.0);
        finder.acFindExecute();
        finder.SelectAllDuplicates();
        a.acCut()->trigger();
        QCOMPARE(Names(child->Entries()), (QStringList { "A", "B", "C" }));
        pasted.Entries.Clear();
        pasted.PasteText(QApplication::clipboard()->text());
        QCOMPARE(Names(pasted.Entries), QStringList { "A4" });
        finder.SelectAllDuplicates();
        QTest::keyClick(a.TreeView1(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(selection.selection().isEmpty());
    }

    void openedFromTheMainWindow()
    {
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        QAction* action = form.Action(TAction::acFindDups);
        form.UpdateActions();
        QVERIFY(!action->isEnabled());
        TMDIChild* child = form.NewChild();
        form.ShowChild(child);
        FillList(child->Entries());
        child->Model()->Reload();
        form.UpdateActions();
        QVERIFY(action->isEnabled());
        TModalCloser closer;
        TfmFindDups* seen = nullptr;
        closer.During = [&](QWidget* modal) {
            seen = qobject_cast<TfmFindDups*>(modal);
            if (!seen)
                return;
            QCOMPARE(seen->Entries, &child->Entries());
            seen->acFindExecute();
            seen->SelectAllDuplicates();
            TfmFindDupsTestAccess(seen).acDelete()->trigger();
        };
        action->trigger();
        QVERIFY(seen);
        QCOMPARE(Names(child->Entries()), (QStringList { "A", "B", "C" }));
        QCOMPARE(child->Model()->rowCount(), 3);
        QVERIFY(child->windowTitle().contains(QChar('*')) || child->Entries().Changed());
    }
};

TARVELL_QTEST_MAIN(TestFindDups)
#include "tst_fFindDups.moc"
