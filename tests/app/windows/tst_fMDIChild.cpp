// The child window in the main window: open, edit in the edit row, save as, reopen; the model,
// the edit row's limits and drops.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/logic/uEntriesModel.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QHeaderView>
#include <QScrollBar>
#include <QtTest>

namespace {

std::vector<std::string> Names(TEntries& entries)
{
    std::vector<std::string> names;
    for (int i = 0; i < entries.Count(); ++i)
        names.emplace_back(entries[i].GetDescription());
    return names;
}

} // namespace

class TestMDIChild : public QObject {
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
    }

    void openEditSaveAsReopen()
    {
        TScriptedPrompt prompt;
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("museum.asc"));
        QVERIFY(QFile::copy(QStringLiteral(TARVELL_TEST_DATA "/genasc/museum.asc"), source));
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        form.OpenFile(nullptr, source, false, QString());
        auto* child = dynamic_cast<TMDIChild*>(form.ActiveChild());
        QVERIFY(child);
        QVERIFY(prompt.Boxes.empty());
        QCOMPARE(child->Document().FileName, source);
        const int count = child->Entries().Count();
        QVERIFY(count > 0);
        // Opening the same file again shows the window it is in.
        TMainFormTestAccess(form).OpenOrShow(source);
        QCOMPARE(form.Children().size(), 1);

        child->SelectOnly(0);
        QCOMPARE(TMDIChildTestAccess(*child).edDescription()->text(),
            QString::fromStdString(std::string(child->Entries()[0].GetDescription())));
        TMDIChildTestAccess(*child).edDescription()->setFocus();
        TMDIChildTestAccess(*child).edDescription()->setText(QStringLiteral("Edited museum"));
        emit TMDIChildTestAccess(*child).edDescription()->editingFinished();
        TMDIChildTestAccess(*child).edLatitude()->setText(QStringLiteral("12.5"));
        emit TMDIChildTestAccess(*child).edLatitude()->editingFinished();
        QCOMPARE(std::string(child->Entries()[0].GetDescription()), std::string("Edited museum"));
        QCOMPARE(child->Entries()[0].GetLatitude(), 12.5);
        QVERIFY(child->windowTitle().startsWith(QStringLiteral("museum.asc")));
        QVERIFY(child->isWindowModified());
        QCOMPARE(TMainFormTestAccess(form).StatusPanel(3)->text(), QStringLiteral("Changed"));
        QCOMPARE(TMainFormTestAccess(form).StatusPanel(2)->text(), QStringLiteral("%1 items").arg(count));

        const QString target = dir.filePath(QStringLiteral("museum.ov2"));
        const int ov2 = TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2"));
        prompt.SaveAnswers.push_back({ target, ov2 + 1 });
        form.Action(TAction::acFileSaveAs)->trigger();
        QVERIFY2(prompt.Boxes.empty(), prompt.Boxes.empty() ? "" : qPrintable(prompt.Boxes[0].Text));
        QCOMPARE(prompt.SaveRequests.size(), size_t(1));
        // The dialog starts at the file's own writer with its extension.
        QCOMPARE(prompt.SaveRequests[0].FilterIndex, TConvertToBase::IndexOfFormatID(QStringLiteral("genasc")) + 1);
        QCOMPARE(prompt.SaveRequests[0].DefaultSuffix, QStringLiteral("asc"));
        QVERIFY(QFile::exists(target));
        QVERIFY(!child->isWindowModified());
        const std::vector<std::string> saved = Names(child->Entries());
        // The saved file is found under its local name, case-sensitively.
        QCOMPARE(child->Document().FileName, QStringLiteral("FILE://") + target);
        QVERIFY(form.FindChild(target) == child);
        QVERIFY(!form.FindChild(target.toUpper()));

        form.OpenFile(nullptr, target, false, QString());
        QCOMPARE(form.Children().size(), 2);
        auto* reopened = dynamic_cast<TMDIChild*>(form.ActiveChild());
        QVERIFY(reopened && reopened != child);
        QVERIFY(Names(reopened->Entries()) == saved);
        QCOMPARE(reopened->Entries()[0].GetLatitude(), 12.5);
        QCOMPARE(GetSettings().MRU.GetName(0), target);
        QCOMPARE(form.Action(TAction::acMru1)->text(), QStringLiteral("&1 museum.ov2"));
    }

    void failedOpenLeavesNoWindow()
    {
        TScriptedPrompt prompt;
        QTemporaryDir dir;
        const QString broken = dir.filePath(QStringLiteral("broken.ov2"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\x02\xff\xff\xff\x7f", 5);
        file.close();
        TdmMain data;
        TfmTarvellMainForm form(data);
        RunCommand(&form, [&] { form.OpenFile(nullptr, broken, false, QString()); });
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QVERIFY(form.Children().isEmpty());
    }

    void newWindowInsertDeleteAndLongDescription()
    {
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        form.Action(TAction::acFileNew)->trigger();
        auto* child = dynamic_cast<TMDIChild*>(form.ActiveChild());
        QVERIFY(child);
        QCOMPARE(child->windowTitle(), QStringLiteral("Untitled[*]"));
        QVERIFY(!TMDIChildTestAccess(*child).edDescription()->isEnabled());
        child->Action(TAction::acInsert)->trigger();
        QVERIFY(child->isWindowModified());
        QCOMPARE(TMainFormTestAccess(form).StatusPanel(3)->text(), QStringLiteral("Changed"));
        QCOMPARE(child->GetSelectedIndex(), 0);
        QCOMPARE(TMDIChildTestAccess(*child).edDescription()->text(), QStringLiteral("New entry #1"));

        // Texts set by the program are shown whole; typing stops at 64 characters.
        const std::string longText(100, 'x');
        child->Entries()[0].SetDescription(longText);
        child->Refresh();
        QCOMPARE(TMDIChildTestAccess(*child).edDescription()->text().size(), 100);
        emit TMDIChildTestAccess(*child).edDescription()->editingFinished();
        QCOMPARE(std::string(child->Entries()[0].GetDescription()), longText);
        TMDIChildTestAccess(*child).edDescription()->clear();
        TMDIChildTestAccess(*child).edDescription()->setFocus();
        QTest::keyClicks(TMDIChildTestAccess(*child).edDescription(), QString(70, QChar('y')));
        QCOMPARE(TMDIChildTestAccess(*child).edDescription()->text().size(), 64);

        // "-" twice in the latitude edit leaves one sign.
        TMDIChildTestAccess(*child).edLatitude()->setFocus();
        QTest::keyClick(TMDIChildTestAccess(*child).edLatitude(), Qt::Key_Minus);
        QTest::keyClick(TMDIChildTestAccess(*child).edLatitude(), Qt::Key_Minus);
        QCOMPARE(TMDIChildTestAccess(*child).edLatitude()->text().count(QChar('-')), 1);

        child->Insert();
        child->Insert();
        child->SelectAll();
        QCOMPARE(child->SelectedIndices().size(), size_t(3));
        child->InvertSelection();
        QVERIFY(child->SelectedIndices().empty());
        child->SelectOnly(2);
        child->Delete();
        QCOMPARE(child->Entries().Count(), 2);
        QCOMPARE(child->GetSelectedIndex(), 1);
        QVERIFY(child->Model()->rowCount() == 2);
        // Closing asks; No closes without saving.
        prompt.Answers.push_back(IDNO);
        QVERIFY(child->CloseQuery());
    }

    // The child's keys pressed on the sample file, where each action is enabled and where it is
    // not: Ins adds one row, Del deletes the rows clicked; in an edit field Del deletes a
    // character and Ins still adds a row.
    void everyShortcutPressed_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clickedRows");
        QTest::addColumn<int>("rowsAdded");
        QTest::addColumn<QString>("description");
        QTest::newRow("Ins in the list") << "ListView1" << int(Qt::Key_Insert) << 1 << 1 << "New entry #%1";
        QTest::newRow("Del in the list, one row") << "ListView1" << int(Qt::Key_Delete) << 1 << -1 << "";
        QTest::newRow("Del in the list, three rows") << "ListView1" << int(Qt::Key_Delete) << 3 << -3 << "";
        QTest::newRow("Ins in the description") << "edDescription" << int(Qt::Key_Insert) << 1 << 1 << "New entry #%1";
        QTest::newRow("Del in the description") << "edDescription" << int(Qt::Key_Delete) << 1 << 0 << "";
    }
    void everyShortcutPressed()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, clickedRows);
        QFETCH(int, rowsAdded);
        QFETCH(QString, description);
        for (const TAction id : ActionsOf(TActionWindow::Child))
            QVERIFY2(!*ActionDef(id).Shortcut || id == TAction::acInsert || id == TAction::acDelete, ActionDef(id).Name);
        TScriptedPrompt prompt;
        // The start-up screen would come up over the window a moment later.
        GetSettings().ShowStartupScreen = false;
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        form.OpenFile(nullptr, QStringLiteral(TARVELL_TEST_DATA "/../../samples/amsterdam.ov2"), false, QString());
        // The reading's progress window took the activation.
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* child = dynamic_cast<TMDIChild*>(form.ActiveChild());
        QVERIFY(child);
        const int before = child->Entries().Count();
        QVERIFY(before >= 3);
        auto* list = child->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
        QVERIFY(list);
        list->setFocus();
        QTest::qWait(0);
        // Rows from the second on: a click on the selected first row would start editing its
        // caption a moment later.
        list->clearSelection();
        ClickRow(child, 1);
        for (int row = 2; row <= clickedRows; ++row)
            ClickRow(child, row, Qt::ControlModifier);
        QCOMPARE(int(child->SelectedIndices().size()), clickedRows);
        const std::string first(child->Entries()[1].GetDescription());
        auto* target = child->findChild<QWidget*>(focus);
        QVERIFY(target);
        target->setFocus();
        auto* edit = qobject_cast<QLineEdit*>(target);
        if (edit)
            edit->setCursorPosition(0);
        child->UpdateActions();
        const TAction id = key == Qt::Key_Insert ? TAction::acInsert : TAction::acDelete;
        QCOMPARE(child->Action(id)->isEnabled(), !(edit && id == TAction::acDelete));
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(child->Entries().Count(), before + rowsAdded);
        if (rowsAdded > 0)
            QCOMPARE(QString::fromStdString(std::string(child->Entries()[before].GetDescription())), description.arg(before + 1));
        if (rowsAdded < 0)
            QVERIFY(std::string(child->Entries()[1].GetDescription()) != first);
        if (edit && id == TAction::acDelete)
            QCOMPARE(edit->text(), QString::fromStdString(first).mid(1));
        child->Entries().ResetChanged();
    }

    // From the first paint the columns lie under their edit fields and fill the list exactly: no
    // horizontal scroll bar, a Description column as wide as its edit; with more POIs than fit, a
    // strip as wide as the vertical scroll bar right of the edit row keeps them so.
    void columnsLieUnderTheirEditsFromTheFirstPaint_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("new window") << 0 << false;
        QTest::newRow("a few") << 3 << false;
        QTest::newRow("more than fit") << 300 << true;
    }
    void columnsLieUnderTheirEditsFromTheFirstPaint()
    {
        QFETCH(int, count);
        QFETCH(bool, scrolls);
        TScriptedPrompt prompt;
        TdmMain data;
        GetSettings().ChildrenMaximized = true;
        TfmTarvellMainForm form(data);
        form.resize(800, 500);
        TMDIChild* child = form.NewChild();
        for (int i = 0; i < count; ++i)
            child->Entries().Add("POI " + std::to_string(i), std::string(), 4.0 + i / 1000.0, 52.0);
        child->Entries().ResetChanged();
        child->Model()->Reload();
        form.ShowChild(child);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
        QHeaderView* header = TMDIChildTestAccess(*child).ListView1()->horizontalHeader();
        QWidget* viewport = TMDIChildTestAccess(*child).ListView1()->viewport();
        auto x = [child](QWidget* widget) { return widget->mapTo(child, QPoint(0, 0)).x(); };
        QCOMPARE(TMDIChildTestAccess(*child).ListView1()->verticalScrollBar()->isVisible(), scrolls);
        QVERIFY(!TMDIChildTestAccess(*child).ListView1()->horizontalScrollBar()->isVisible());
        QCOMPARE(x(viewport) + header->sectionViewportPosition(1), x(TMDIChildTestAccess(*child).edLatDeg()));
        QCOMPARE(x(viewport) + header->sectionViewportPosition(2), x(TMDIChildTestAccess(*child).edLonDeg()));
        QCOMPARE(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2), viewport->width());
        QVERIFY(header->sectionSize(0) > 40);
        QCOMPARE(x(TMDIChildTestAccess(*child).edDescription()),
            x(viewport) - TMDIChildTestAccess(*child).ListView1()->frameWidth());
        // The coordinate edits end where the scroll bar begins.
        const int editsEnd = x(TMDIChildTestAccess(*child).edLonDeg())
            + 3 * TMDIChildTestAccess(*child).edLonDeg()->width() + TMDIChildTestAccess(*child).buLonSign()->width();
        QCOMPARE(editsEnd + (scrolls ? TMDIChildTestAccess(*child).ListView1()->verticalScrollBar()->width() : 0),
            x(TMDIChildTestAccess(*child).ListView1()) + TMDIChildTestAccess(*child).ListView1()->width());
        child->Entries().ResetChanged();
    }

    void modelPassesTheTesterAndRejectsForeignDrops()
    {
        TEntries entries;
        TEntriesModel model(entries);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        entries.Add("a", std::string(), 4.5, 52.25);
        entries.Add("b", std::string(), -4.5, -52.25);
        model.Reload();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("b"));
        QVERIFY(model.setData(model.index(0, 0), QStringLiteral("renamed")));
        QCOMPARE(std::string(entries[0].GetDescription()), std::string("renamed"));
        QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("1")));
        QVERIFY(!model.data(model.index(5, 0)).isValid());

        // Our drag decodes; a forged count or a foreign type does not.
        model.SourceKey = 42;
        std::unique_ptr<QMimeData> drag(model.mimeData({ model.index(1, 0), model.index(1, 2) }));
        quint64 key = 0;
        std::vector<int> rows;
        QVERIFY(TEntriesModel::DecodeDrag(drag.get(), key, rows));
        QCOMPARE(key, quint64(42));
        QVERIFY(rows == std::vector<int> { 1 });
        QMimeData forged;
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << TEntriesModel::ThisProcess().Pid << TEntriesModel::ThisProcess().Token << quint64(42) << quint32(0x7fffffff);
        forged.setData(TEntriesModel::MimeType, bytes);
        QVERIFY(!TEntriesModel::DecodeDrag(&forged, key, rows));
        QMimeData text;
        text.setText(QStringLiteral("1"));
        QVERIFY(!TEntriesModel::DecodeDrag(&text, key, rows));
        // A drag from a window that is gone is refused.
        QVERIFY(!TMDIChild::FromKey(42));
    }

    // The list tells the model of each change in time: the tester sees every insert, removal and
    // reset, and the view's rows always match the list without a refresh.
    void modelFollowsEveryChangeOfTheList()
    {
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        TMDIChild& child = *form.NewChild();
        QAbstractItemModelTester tester(child.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto rowsShown = [&child] { return TMDIChildTestAccess(child).ListView1()->verticalHeader()->count(); };
        for (int i = 0; i < 5; ++i)
            child.Insert();
        QCOMPARE(rowsShown(), 5);

        child.SelectOnly(1);
        TMDIChildTestAccess(child).ListView1()->selectionModel()->select(
            child.Model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        child.Delete();
        QCOMPARE(child.Entries().Count(), 3);
        QCOMPARE(rowsShown(), 3);

        emit TMDIChildTestAccess(child).ListView1()->horizontalHeader()->sectionClicked(0);
        QCOMPARE(Names(child.Entries()), (std::vector<std::string> { "New entry #1", "New entry #3", "New entry #5" }));
        child.Entries()[0].SetLatitude(10);
        emit TMDIChildTestAccess(child).ListView1()->horizontalHeader()->sectionClicked(1);
        QCOMPARE(std::string(child.Entries()[2].GetDescription()), std::string("New entry #1"));

        child.SelectAll();
        child.CopySelected();
        TMDIChildTestAccess(child).ListView1()->setFocus();
        child.Paste();
        QVERIFY2(prompt.Boxes.empty(), prompt.Boxes.empty() ? "" : qPrintable(prompt.Boxes[0].Text));
        QCOMPARE(child.Entries().Count(), 6);
        QCOMPARE(rowsShown(), 6);

        // The open routine hands its loaded list over, appending or replacing.
        for (const bool append : { true, false }) {
            TEntries loaded;
            loaded.Add("loaded", std::string(), 1, 2);
            child.Document().LoadEntries(std::move(loaded), QStringLiteral("/tmp/loaded.ov2"), QStringLiteral(".ov2"), append, QString());
            child.RefreshView(true);
            QCOMPARE(rowsShown(), append ? 7 : 1);
        }
        QVERIFY(!child.isWindowModified());

        std::unique_ptr<QMimeData> drag(child.Model()->mimeData({ child.Model()->index(0, 0) }));
        QVERIFY(child.DropMime(drag.get(), -1));
        QCOMPARE(rowsShown(), 1);
        prompt.Answers = { IDNO };
    }

    void dragBetweenWindowsCopies()
    {
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        TMDIChild& one = *form.NewChild();
        TMDIChild& two = *form.NewChild();
        for (TMDIChild* child : { &one, &two }) {
            child->Insert();
            child->Insert();
        }
        one.SelectAll();
        std::unique_ptr<QMimeData> drag(one.Model()->mimeData({ one.Model()->index(0, 0), one.Model()->index(1, 0) }));
        QVERIFY(two.DropMime(drag.get(), 1));
        QVERIFY2(prompt.Boxes.empty(), prompt.Boxes.empty() ? "" : qPrintable(prompt.Boxes[0].Text));
        QCOMPARE(two.Entries().Count(), 4);
        QCOMPARE(one.Entries().Count(), 2);
        // Inside one window the POIs move.
        QVERIFY(one.DropMime(drag.get(), -1));
        QCOMPARE(one.Entries().Count(), 2);
        QMimeData text;
        text.setText(QStringLiteral("New entry"));
        QVERIFY(!two.DropMime(&text, 0));
        one.Entries().ResetChanged();
        two.Entries().ResetChanged();
    }
};

TARVELL_QTEST_MAIN(TestMDIChild)
#include "tst_fMDIChild.moc"
