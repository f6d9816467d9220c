// The child window driven as a user drives it: the list's keys, the edit row under a
// decimal-comma locale, pastes into the list and the description, and rows dragged within the
// list and from another copy of the program.
#include "AppTestSupport.h"

#include "app/logic/uEntriesModel.h"
#include "app/windowbase/dMain.h"
#include "app/windows/fCoordsCalculator.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "core/uCodePage.h"
#include "core/uScopeGuard.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

namespace {

std::vector<std::string> Names(TEntries& entries)
{
    std::vector<std::string> names;
    for (int i = 0; i < entries.Count(); ++i)
        names.emplace_back(entries[i].GetDescription());
    return names;
}

// A main window on the screen with one child holding the given POIs, unchanged.
struct TChildFixture {
    TScriptedPrompt Prompt;
    TdmMain Data;
    TfmTarvellMainForm Form { Data };
    TMDIChild* Child = nullptr;

    explicit TChildFixture(std::initializer_list<const char*> names)
    {
        GetSettings().ShowStartupScreen = false;
        Form.show();
        Child = Form.NewChild();
        double x = 1;
        for (const char* name : names) {
            Child->Entries().Add(name, std::string(), 4 + x / 10, 52 + x / 10);
            x += 1;
        }
        Child->Entries().ResetChanged();
        Form.ShowChild(Child);
        Form.activateWindow();
    }
    ~TChildFixture()
    {
        Child->Entries().ResetChanged();
        Prompt.Answers = { IDNO };
    }
    TEntriesView* List() const { return TMDIChildTestAccess(*Child).ListView1(); }
    QLineEdit* Edit(TEntryEdit edit) const { return Child->Edit(edit); }
    // Clicks into the field, selects its text and types over it.
    void TypeInto(QLineEdit* edit, const QString& text) const
    {
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
    }
    QPoint RowCentre(int row) const { return List()->visualRect(Child->Model()->index(row, 0)).center(); }
};

// Drags the list's selection as the view starts a drag and drops it on a row.
bool DragSelectionTo(TChildFixture& f, const QMimeData& data, int row)
{
    QWidget* viewport = f.List()->viewport();
    const QPoint at = f.RowCentre(row);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
}

// The locale of one test, the previous one back afterwards.
struct TLocaleScope {
    QLocale Old;
    explicit TLocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~TLocaleScope() { QLocale::setDefault(Old); }
};

const char* const DragOutVariable = "TARVELL_TEST_DRAG_OUT";

} // namespace

class TestMDIChildInput : public QObject {
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

    // Home, End and their Ctrl and Shift forms move the current row and the selection as in any
    // list, never the focus cell to another column.
    void homeAndEndMoveTheRow_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("firstSelected");
        QTest::addColumn<int>("lastSelected");
        QTest::newRow("End") << 3 << int(Qt::Key_End) << int(Qt::NoModifier) << 9 << 9 << 9;
        QTest::newRow("Home") << 3 << int(Qt::Key_Home) << int(Qt::NoModifier) << 0 << 0 << 0;
        QTest::newRow("Shift+End") << 3 << int(Qt::Key_End) << int(Qt::ShiftModifier) << 9 << 3 << 9;
        QTest::newRow("Shift+Home") << 3 << int(Qt::Key_Home) << int(Qt::ShiftModifier) << 0 << 0 << 3;
        QTest::newRow("Ctrl+End") << 3 << int(Qt::Key_End) << int(Qt::ControlModifier) << 9 << 9 << 9;
        QTest::newRow("Ctrl+Home") << 3 << int(Qt::Key_Home) << int(Qt::ControlModifier) << 0 << 0 << 0;
        QTest::newRow("Ctrl+Shift+End") << 3 << int(Qt::Key_End) << int(Qt::ControlModifier | Qt::ShiftModifier) << 9 << 3 << 9;
    }
    void homeAndEndMoveTheRow()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, current);
        QFETCH(int, firstSelected);
        QFETCH(int, lastSelected);
        TChildFixture f { "a", "b", "c", "d", "e", "f", "g", "h", "i", "j" };
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        ClickRow(f.Child, start);
        QCOMPARE(f.Child->GetSelectedIndex(), start);
        QTest::keyClick(f.List(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const QModelIndex now = f.List()->currentIndex();
        QCOMPARE(now.row(), current);
        QCOMPARE(now.column(), 0);
        std::vector<int> expected;
        for (int row = firstSelected; row <= lastSelected; ++row)
            expected.push_back(row);
        QCOMPARE(f.Child->SelectedIndices(), expected);
        // The edit row shows the row reached.
        QCOMPARE(f.Edit(TEntryEdit::Description)->text(), QString(QChar('a' + current)));
    }

    // Under de_DE a dot typed into a decimal field is the decimal point, never a thousands
    // separator; a value that does not read, or an emptied minute field, gives way to the POI's
    // own value on leaving the field.
    void decimalFieldsUnderADecimalCommaLocale()
    {
        const TLocaleScope german(QLocale(QLocale::German, QLocale::Germany));
        TChildFixture f { "Dam" };
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        ClickRow(f.Child, 0);
        TEntry& entry = f.Child->Entries()[0];
        QLineEdit* latitude = f.Edit(TEntryEdit::Latitude);
        QLineEdit* longitude = f.Edit(TEntryEdit::Longitude);

        f.TypeInto(latitude, QStringLiteral("52.370"));
        QTest::keyClick(latitude, Qt::Key_Tab);
        QCOMPARE(entry.GetLatitude(), 52.37);
        QCOMPARE(latitude->text(), QStringLiteral("52,37000"));
        QCOMPARE(f.Edit(TEntryEdit::LatMin)->text(), QStringLiteral("22"));
        f.TypeInto(longitude, QStringLiteral("4,895"));
        QTest::keyClick(longitude, Qt::Key_Tab);
        QCOMPARE(entry.GetLongitude(), 4.895);
        QVERIFY(f.Child->isWindowModified());

        // Not numbers: the POI keeps its value and the field shows it again.
        for (const QString& text : { QStringLiteral("abc"), QStringLiteral("1.052,5"), QString() }) {
            f.TypeInto(latitude, text);
            QTest::keyClick(latitude, Qt::Key_Tab);
            QCOMPARE(entry.GetLatitude(), 52.37);
            QCOMPARE(latitude->text(), QStringLiteral("52,37000"));
        }
        // An emptied minute field: its validator refuses the text, the POI's minutes come back.
        QLineEdit* minutes = f.Edit(TEntryEdit::LatMin);
        f.TypeInto(minutes, QString());
        QCOMPARE(minutes->text(), QString());
        QTest::keyClick(minutes, Qt::Key_Tab);
        QCOMPARE(minutes->text(), QStringLiteral("22"));
        QCOMPARE(entry.GetLatitude(), 52.37);
    }

    // The coordinates calculator reads its decimal fields the same way.
    void calculatorUnderADecimalCommaLocale()
    {
        const TLocaleScope german(QLocale(QLocale::German, QLocale::Germany));
        TScriptedPrompt prompt;
        TfmCoordsCalculator calculator;
        calculator.show();
        QApplication::setActiveWindow(&calculator);
        QVERIFY(QTest::qWaitForWindowActive(&calculator));
        auto* latitude = calculator.findChild<QLineEdit*>(QStringLiteral("edLatitude"));
        auto* minutes = calculator.findChild<QLineEdit*>(QStringLiteral("edLatMin"));
        auto* degrees = calculator.findChild<QLineEdit*>(QStringLiteral("edLatDeg"));
        QVERIFY(latitude && minutes && degrees);
        QTest::mouseClick(latitude, Qt::LeftButton);
        QTest::keyClick(latitude, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(latitude, QStringLiteral("52.370"));
        QTest::keyClick(latitude, Qt::Key_Tab);
        QCOMPARE(calculator.Entry().GetLatitude(), 52.37);
        QCOMPARE(degrees->text(), QStringLiteral("52"));
        QCOMPARE(minutes->text(), QStringLiteral("22"));
        QCOMPARE(latitude->text(), QStringLiteral("52,37000"));

        QTest::mouseClick(latitude, Qt::LeftButton);
        QTest::keyClick(latitude, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(latitude, QStringLiteral("x"));
        QTest::keyClick(latitude, Qt::Key_Tab);
        QCOMPARE(latitude->text(), QStringLiteral("52,37000"));
        QTest::mouseClick(minutes, Qt::LeftButton);
        QTest::keyClick(minutes, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(minutes, Qt::Key_Backspace);
        QTest::keyClick(minutes, Qt::Key_Tab);
        QCOMPARE(minutes->text(), QStringLiteral("22"));
        QCOMPARE(calculator.Entry().GetLatitude(), 52.37);
        QVERIFY(prompt.Boxes.empty());
    }

    // Ctrl+V of a GPX another program put on the clipboard, declared UTF-8, adds its POIs with
    // their names as written; characters beyond the code page are replaced as typed ones are.
    void ctrlVPastesAnotherProgramsGpx()
    {
        TChildFixture f { "kept" };
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        QApplication::clipboard()->setText(QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"other\">"
            "<wpt lat=\"48.13743\" lon=\"11.57549\"><name>M\u00fcnchen</name></wpt>"
            "<wpt lat=\"51.75\" lon=\"19.45\"><name>\u0141\u00f3d\u017a</name></wpt></gpx>\n"));
        ClickRow(f.Child, 0);
        QTest::keyClick(f.List(), Qt::Key_V, Qt::ControlModifier);
        QVERIFY2(f.Prompt.Boxes.empty(), f.Prompt.Boxes.empty() ? "" : qPrintable(f.Prompt.Boxes[0].Text));
        QCOMPARE(f.Child->Entries().Count(), 3);
        QCOMPARE(AnsiToUnicode(f.Child->Entries()[1].GetDescription()), QStringLiteral("M\u00fcnchen"));
        QCOMPARE(f.Child->Entries()[1].GetLatitude(), 48.13743);
        QCOMPARE(f.Child->Entries()[2].GetDescription(), UnicodeToAnsi(QStringLiteral("\u0141\u00f3d\u017a")));
        QVERIFY(f.Child->isWindowModified());
    }

    // A paste into the description stops where typing does (64 characters), whatever the
    // clipboard holds; what the field already held stays.
    void pasteIntoTheDescriptionIsCutToTheTypingLimit()
    {
        TChildFixture f { "Museum" };
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        ClickRow(f.Child, 0);
        QLineEdit* description = f.Edit(TEntryEdit::Description);
        QApplication::clipboard()->setText(QString(32767, QChar('p')));
        QTest::mouseClick(description, Qt::LeftButton);
        QTest::keyClick(description, Qt::Key_End);
        QTest::keyClick(description, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(description->text(), QStringLiteral("Museum") + QString(58, QChar('p')));
        QTest::keyClick(description, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(description, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(description->text(), QString(64, QChar('p')));
        QTest::keyClick(description, Qt::Key_Tab);
        QCOMPARE(f.Child->Entries()[0].GetDescription(), std::string(64, 'p'));
    }

    // Ctrl+A in a field of the edit row selects the field's text, as in any text field, also in a
    // description as long as typing allows; in the list it stays Select All of the POIs, and the
    // menu's Select All too.
    void ctrlASelectsTheFieldsTextOrEveryPoi()
    {
        const std::string longest(64, 'm');
        TChildFixture f { "Dam", longest.c_str(), "Zoo" };
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        ClickRow(f.Child, 1);
        QLineEdit* description = f.Edit(TEntryEdit::Description);
        QTest::mouseClick(description, Qt::LeftButton);
        QTest::keyClick(description, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(description->selectedText(), QString::fromStdString(longest));
        QCOMPARE(f.Child->SelectedIndices(), std::vector<int> { 1 });
        QTest::keyClicks(description, QStringLiteral("Rijksmuseum"));
        QTest::keyClick(description, Qt::Key_Tab);
        QCOMPARE(f.Child->Entries()[1].GetDescription(), std::string("Rijksmuseum"));
        QLineEdit* latitude = f.Edit(TEntryEdit::Latitude);
        QTest::mouseClick(latitude, Qt::LeftButton);
        QTest::keyClick(latitude, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(latitude->selectedText(), latitude->text());
        QVERIFY(!latitude->text().isEmpty());
        QCOMPARE(f.Child->SelectedIndices(), std::vector<int> { 1 });
        // In the list: every POI.
        ClickRow(f.Child, 0);
        QTest::keyClick(f.List(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.Child->SelectedIndices(), (std::vector<int> { 0, 1, 2 }));
        // The menu's command while a field has the focus: still the POIs.
        ClickRow(f.Child, 2);
        QTest::mouseClick(description, Qt::LeftButton);
        QMenuBar* bar = f.Form.menuBar();
        QMenu* edit = bar->actions()[1]->menu();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions()[1]).center());
        QTRY_VERIFY(edit->isVisible());
        QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(f.Form.Action(TAction::acEditSelectAll)).center());
        QTRY_COMPARE(f.Child->SelectedIndices(), (std::vector<int> { 0, 1, 2 }));
    }

    // Rows dragged down land after the row they are dropped on, dragged up before it.
    void rowsDraggedWithinTheList_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("order");
        QTest::newRow("down") << 1 << 3 << "acdbe";
        QTest::newRow("down to the last") << 0 << 4 << "bcdea";
        QTest::newRow("up") << 3 << 1 << "adbce";
        QTest::newRow("onto itself") << 2 << 2 << "abcde";
    }
    void rowsDraggedWithinTheList()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, order);
        TChildFixture f { "a", "b", "c", "d", "e" };
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        ClickRow(f.Child, from);
        const std::unique_ptr<QMimeData> drag(f.Child->Model()->mimeData(f.List()->selectionModel()->selectedIndexes()));
        QVERIFY(DragSelectionTo(f, *drag, to));
        std::string names;
        for (const std::string& name : Names(f.Child->Entries()))
            names += name;
        QCOMPARE(QString::fromStdString(names), order);
    }

    // Rows dragged from another copy of the program (/multi) are refused: they name that
    // program's list, and taking them here would move a row of this list instead. Also when the
    // drag names this very window's key.
    void dragFromAnotherProcessIsRefused()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("drag.bin"));
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(DragOutVariable), out);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(environment);
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.start(QCoreApplication::applicationFilePath(), { QStringLiteral("writeDragOfThisProcess") });
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(!bytes.isEmpty());

        TChildFixture f { "a", "b", "c" };
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        QMimeData foreign;
        foreign.setData(TEntriesModel::MimeType, bytes);
        // The same drag, naming this window's key (process id and token first, then the key).
        QByteArray own = bytes;
        QDataStream patch(&own, QIODevice::ReadWrite);
        patch.skipRawData(16);
        patch << f.Child->Model()->SourceKey;
        QMimeData forged;
        forged.setData(TEntriesModel::MimeType, own);
        for (const QMimeData* data : { &foreign, &forged }) {
            QVERIFY(!DragSelectionTo(f, *data, 0));
            QVERIFY(!f.Child->DropMime(data, 0));
            QVERIFY(Names(f.Child->Entries()) == (std::vector<std::string> { "a", "b", "c" }));
            QVERIFY(!f.Child->isWindowModified());
        }
        QVERIFY(f.Prompt.Boxes.empty());
        // A drag of this process is still taken.
        ClickRow(f.Child, 0);
        const std::unique_ptr<QMimeData> ours(f.Child->Model()->mimeData(f.List()->selectionModel()->selectedIndexes()));
        QVERIFY(DragSelectionTo(f, *ours, 2));
        QVERIFY(Names(f.Child->Entries()) == (std::vector<std::string> { "b", "c", "a" }));
    }

    // The second process of dragFromAnotherProcessIsRefused: two rows of a child of its own
    // dragged, the drag's data written to the file it was given.
    void writeDragOfThisProcess()
    {
        const QString out = qEnvironmentVariable(DragOutVariable);
        if (out.isEmpty())
            QSKIP("the second process of dragFromAnotherProcessIsRefused");
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        TMDIChild* child = form.NewChild();
        child->Entries().Add("x", std::string(), 1, 2);
        child->Entries().Add("y", std::string(), 3, 4);
        child->Entries().ResetChanged();
        const std::unique_ptr<QMimeData> drag(child->Model()->mimeData({ child->Model()->index(0, 0), child->Model()->index(1, 0) }));
        QFile file(out);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(drag->data(TEntriesModel::MimeType));
    }
};

TARVELL_QTEST_MAIN(TestMDIChildInput)
#include "tst_fMDIChildInput.moc"
