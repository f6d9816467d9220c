// The dialog a failed open offers, driven from the main window as a user meets it: the file and
// the reader's error shown, the other readers of the extension listed, and each way of answering.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fChooseFormat.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/logic/uOpenFile.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <functional>

// Test-only access to the dialog's widgets, which it keeps private.
class TfmChooseFormatTestAccess {
public:
    explicit TfmChooseFormatTestAccess(const TfmChooseFormat& form) : F(form) {}
    QLineEdit* edFile() const { return F.edFile; }
    QPlainTextEdit* edError() const { return F.edError; }
    QComboBox* ComboBox1() const { return F.ComboBox1; }
    QCheckBox* cbUseAsDefault() const { return F.cbUseAsDefault; }
    QPushButton* buCancel() const { return F.buCancel; }

private:
    const TfmChooseFormat& F;
};

namespace {

// How the user answers one dialog.
enum class TAnswer { Enter, Escape, CancelButton, CloseBox };

struct TStep {
    int Downs = 0; // Down presses in the reader list
    bool Tick = false; // "use as default" clicked
    TAnswer Answer = TAnswer::Enter;
};

// What a dialog showed when it came up.
struct TSeen {
    QString File;
    QString Error;
    QStringList Readers;
    int Preselected = -1;
};

// Answers each choose-format dialog that comes up with the next step and records what it showed.
class TChooseFormatScript : public QObject {
public:
    explicit TChooseFormatScript(std::vector<TStep> steps)
        : FSteps(std::move(steps))
    {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
        FTimer.start();
    }
    std::vector<TSeen> Seen;

private:
    void Poll()
    {
        auto* dialog = qobject_cast<TfmChooseFormat*>(QApplication::activeModalWidget());
        // A guarded pointer: the next dialog may be built where the last one stood.
        if (!dialog || !dialog->isVisible() || dialog == FLast || Seen.size() >= FSteps.size())
            return;
        FLast = dialog;
        const TfmChooseFormatTestAccess a(*dialog);
        TSeen seen { a.edFile()->text(), a.edError()->toPlainText(), {}, a.ComboBox1()->currentIndex() };
        for (int i = 0; i < a.ComboBox1()->count(); ++i)
            seen.Readers << a.ComboBox1()->itemText(i);
        const TStep step = FSteps[Seen.size()];
        Seen.push_back(seen);
        a.ComboBox1()->setFocus();
        for (int i = 0; i < step.Downs; ++i)
            QTest::keyClick(a.ComboBox1(), Qt::Key_Down);
        if (step.Tick)
            QTest::mouseClick(a.cbUseAsDefault(), Qt::LeftButton);
        switch (step.Answer) {
        case TAnswer::Enter:
            QTest::keyClick(a.ComboBox1(), Qt::Key_Return);
            break;
        case TAnswer::Escape:
            QTest::keyClick(a.ComboBox1(), Qt::Key_Escape);
            break;
        case TAnswer::CancelButton:
            QTest::mouseClick(a.buCancel(), Qt::LeftButton);
            break;
        case TAnswer::CloseBox:
            dialog->close();
            break;
        }
    }
    std::vector<TStep> FSteps;
    QPointer<TfmChooseFormat> FLast;
    QTimer FTimer;
};

// The open dialog answered with one file.
class TOpenAnswerPrompt : public TScriptedPrompt {
public:
    QString File;
    bool OpenFileDialog(QWidget*, TOpenFileRequest& request) override
    {
        request.Files = QStringList { File };
        return true;
    }
};

const QString Csv = QStringLiteral(".csv");

QStringList CsvReaders()
{
    QStringList names;
    for (const int row : TOpenFile::ReaderRows(Csv))
        names << TConvertFromBase::Description(row);
    return names;
}

QString CsvReaderId(int index) { return TConvertFromBase::FormatIDAt(TOpenFile::ReaderRows(Csv)[size_t(index)]); }

} // namespace

Q_DECLARE_METATYPE(std::vector<TStep>)

class TestChooseFormat : public QObject {
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
        GetSettings().ShowStartupScreen = false;
    }

    // A file the first reader of its extension cannot read, opened with Ctrl+O.
    void answers_data()
    {
        QTest::addColumn<std::vector<TStep>>("steps");
        QTest::addColumn<int>("openedWith"); // index among the extension's readers; -1: nothing opened
        QTest::addColumn<bool>("keptAsDefault");
        using T = TAnswer;
        // The readers of .csv, in order: the first fails on this file, the second and fourth read it,
        // the third fails too.
        QTest::newRow("Enter takes the preselected second reader") << std::vector<TStep> { { 0, false, T::Enter } } << 1 << false;
        QTest::newRow("Down twice and ticked: the fourth, kept") << std::vector<TStep> { { 2, true, T::Enter } } << 3 << true;
        QTest::newRow("Escape opens nothing") << std::vector<TStep> { { 2, true, T::Escape } } << -1 << false;
        QTest::newRow("Cancel opens nothing") << std::vector<TStep> { { 0, true, T::CancelButton } } << -1 << false;
        QTest::newRow("closing the box opens nothing") << std::vector<TStep> { { 0, false, T::CloseBox } } << -1 << false;
        QTest::newRow("a failing pick asks again; then the fourth") << std::vector<TStep> { { 1, true, T::Enter }, { 3, true, T::Enter } } << 3 << true;
        QTest::newRow("a failing pick asks again; cancelled, nothing kept") << std::vector<TStep> { { 1, true, T::Enter }, { 0, false, T::Escape } } << -1 << false;
    }
    void answers()
    {
        QFETCH(std::vector<TStep>, steps);
        QFETCH(int, openedWith);
        QFETCH(bool, keptAsDefault);
        const QString file = QDir::cleanPath(QStringLiteral(TARVELL_TEST_DATA "/garmincsv/museum.csv"));
        TOpenAnswerPrompt prompt;
        prompt.File = file;
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        TChooseFormatScript script(steps);
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);

        QCOMPARE(script.Seen.size(), steps.size());
        const TSeen& first = script.Seen.front();
        QCOMPARE(first.File, file);
        QVERIFY2(first.Error.contains(QStringLiteral("4 values expected")), qPrintable(first.Error));
        QCOMPARE(first.Readers, CsvReaders());
        QCOMPARE(first.Preselected, 1);
        if (steps.size() > 1) {
            // Asked again with the picked reader's own error, the failed one no longer preselected.
            QVERIFY2(script.Seen[1].Error.contains(QStringLiteral("not a valid floating point value")), qPrintable(script.Seen[1].Error));
            QCOMPARE(script.Seen[1].Preselected, 0);
        }

        const QList<TMDIChild*> children = form.Children();
        QCOMPARE(children.size(), openedWith < 0 ? 0 : 1);
        if (openedWith >= 0) {
            QCOMPARE(children.front()->Document().FormatID, CsvReaderId(openedWith));
            QCOMPARE(children.front()->Entries().Count(), 3);
        }
        const QStringList defaults = GetSettings().DefaultFormats;
        QCOMPARE(defaults, keptAsDefault ? QStringList { Csv + QChar('=') + CsvReaderId(openedWith) } : QStringList());
        QVERIFY(prompt.Boxes.empty());

        // The kept reader opens the file straight away the next time.
        if (keptAsDefault) {
            form.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            ClickRow(children.front(), 0);
            QTest::keyClick(TMDIChildTestAccess(*children.front()).ListView1(), Qt::Key_F4, Qt::ControlModifier);
            QTRY_VERIFY(form.Children().isEmpty());
            TChooseFormatScript none({});
            QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
            QCOMPARE(form.Children().size(), 1);
            QCOMPARE(form.Children().front()->Document().FormatID, CsvReaderId(openedWith));
        }
        for (TMDIChild* child : form.Children())
            child->Entries().ResetChanged();
    }

    // A file forwarded with a path relative to the folder the program runs in shows in full.
    void relativePathShowsInFull()
    {
        const QString folder = QStringLiteral(TARVELL_TEST_DATA);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder));
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        TChooseFormatScript script({ { 0, false, TAnswer::Escape } });
        TMainFormTestAccess(form).OpenOrShow(QStringLiteral("garmincsv/museum.csv"));
        QDir::setCurrent(previous);
        QCOMPARE(script.Seen.size(), size_t(1));
        QCOMPARE(script.Seen.front().File, QDir::cleanPath(folder + QStringLiteral("/garmincsv/museum.csv")));
        QVERIFY(form.Children().isEmpty());
    }
};

TARVELL_QTEST_MAIN(TestChooseFormat)
#include "tst_fChooseFormat.moc"
