// The batch conversion dialog as a user drives it: folders, formats, the destination file dialog,
// a run with its questions, a close during a run, and its settings.
#include "AppTestSupport.h"
#include "ToolWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fBatchConvert.h"
#include "app/windows/fMain.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "model/uModel.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

namespace {

void WriteOv2(const QString& path, const char* description)
{
    TEntries entries;
    entries.Add(description, "", 4.5, 52.1);
    TMemoryStream stream;
    entries.SaveToStream(stream, QStringLiteral("ov2"), QStringLiteral("ttov2"));
    SaveBytesToFile(path, stream.Data());
}

QStringList Items(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// A scripted prompt that also runs a step when a box comes up.
class TSteppingPrompt : public TScriptedPrompt {
public:
    std::function<void()> OnBox;
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) override
    {
        if (OnBox)
            std::exchange(OnBox, nullptr)();
        return TScriptedPrompt::MessageBox(owner, text, caption, type);
    }
};

} // namespace

class TestBatchConvert : public QObject {
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
        QDir().mkpath(Dir.filePath(QStringLiteral("in")));
        QDir().mkpath(Dir.filePath(QStringLiteral("out")));
        for (const char* name : { "Zoo", "bakery", "Camping" })
            WriteOv2(In(QString::fromLatin1(name) + QStringLiteral(".ov2")), name);
    }
    void cleanup()
    {
        QDir(Dir.filePath(QStringLiteral("in"))).removeRecursively();
        QDir(Dir.filePath(QStringLiteral("out"))).removeRecursively();
    }

    void threeFilesToAsciiFromTheAction()
    {
        TSteppingPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        // A stored folder that is gone: the dialog still opens, on the application folder.
        GetSettings().BatchConvertSource = Dir.filePath(QStringLiteral("gone"));
        TModalCloser closer;
        bool seen = false;
        closer.During = [&](QWidget* modal) {
            auto* dialog = qobject_cast<TfmBatchConvert*>(modal);
            QVERIFY(dialog);
            const auto a = TfmBatchConvertTestAccess(dialog);
            seen = true;
            QCOMPARE(a.edSource()->text(), GetAppDir());
            QVERIFY(prompt.Boxes.empty());
            a.edSource()->setText(Dir.filePath(QStringLiteral("in")));
            dialog->edSourceChange();
            QCOMPARE(Items(a.lvSource()), (QStringList { "bakery.ov2", "Camping.ov2", "Zoo.ov2" }));
            a.coDest()->setCurrentIndex(TConvertToBase::IndexOf(QStringLiteral("asc"), QStringLiteral("genasc")));
            dialog->coDestChange();
            QVERIFY(a.lbDestFormats()->isHidden());
            a.edDest()->setText(Dir.filePath(QStringLiteral("out")));
            dialog->edDestChange();
            QTest::mouseClick(a.buConvert(), Qt::LeftButton);
            QCOMPARE(Items(a.lvDest()), (QStringList { "bakery.asc", "Camping.asc", "Zoo.asc" }));
            QCOMPARE(int(prompt.Boxes.size()), 1);
            QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("Batch conversion completed."));
            // A typed folder that does not exist is an error.
            a.edDest()->setText(Dir.filePath(QStringLiteral("nowhere")));
            QVERIFY_THROWS_EXCEPTION(EUserError, dialog->edDestChange());
        };
        form.UpdateActions();
        form.Action(TAction::actToolsBatchConvert)->trigger();
        QVERIFY(seen);
        // Closing stored the choices.
        QCOMPARE(GetSettings().BatchConvertSource, Dir.filePath(QStringLiteral("in")));
        QCOMPARE(GetSettings().BatchConvertDestFormatID, QStringLiteral("genasc"));
    }

    // A name without extension from the file dialog gets the chosen writer's, and the writer is
    // chosen in the destination list.
    void destinationFileDialog()
    {
        TScriptedPrompt prompt;
        TfmBatchConvert dialog;
        const auto a = TfmBatchConvertTestAccess(dialog);
        const int gpx = TConvertToBase::IndexOf(QStringLiteral("gpx"), QStringLiteral("gengpx"));
        prompt.SaveAnswers = { { Out(QStringLiteral("all")), gpx + 1 } };
        a.rbDestAppend()->click();
        QCOMPARE(a.Notebook1()->currentIndex(), 1);
        QTest::mouseClick(a.buDestFileBrowse(), Qt::LeftButton);
        QCOMPARE(prompt.SaveRequests.size(), size_t(1));
        QCOMPARE(prompt.SaveRequests[0].NameFilters, GetExportNameFilters());
        QCOMPARE(a.edDestFile()->text(), Out(QStringLiteral("all.gpx")));
        QCOMPARE(a.coDest()->currentIndex(), gpx);
        // Multiple formats drops the extension; a format puts its own back.
        a.coDest()->setCurrentIndex(a.coDest()->count() - 1);
        dialog.coDestChange();
        QCOMPARE(a.edDestFile()->text(), Out(QStringLiteral("all")));
        QVERIFY(!a.lbDestFormats()->isHidden());
        QVERIFY(!a.cbOpen()->isEnabled());
        a.coDest()->setCurrentIndex(0);
        dialog.coDestChange();
        QCOMPARE(a.edDestFile()->text(), Out(QStringLiteral("all.ov2")));
        QVERIFY(a.cbOpen()->isEnabled());
    }

    // Selecting files switches to "Selected"; "All" clears the selection again.
    void sourceModeFollowsTheSelection()
    {
        TScriptedPrompt prompt;
        TfmBatchConvert dialog;
        const auto a = TfmBatchConvertTestAccess(dialog);
        a.edSource()->setText(Dir.filePath(QStringLiteral("in")));
        dialog.edSourceChange();
        a.lvSource()->item(1)->setSelected(true);
        QVERIFY(a.rbSourceSelected()->isChecked());
        QCOMPARE(dialog.Job().Selected, QStringList { "Camping.ov2" });
        a.rbSourceAll()->click();
        QVERIFY(a.lvSource()->selectedItems().isEmpty());
        QVERIFY(a.rbSourceAll()->isChecked());
    }

    // Escape while a run asks a question: the run ends after that file, then the dialog closes.
    void closeDuringARunStopsAfterTheCurrentFile()
    {
        TSteppingPrompt prompt;
        WriteOv2(Out(QStringLiteral("bakery.gpx")), "old");
        TfmBatchConvert dialog;
        const auto a = TfmBatchConvertTestAccess(dialog);
        dialog.show();
        a.edSource()->setText(Dir.filePath(QStringLiteral("in")));
        dialog.edSourceChange();
        a.coDest()->setCurrentIndex(TConvertToBase::IndexOf(QStringLiteral("gpx"), QStringLiteral("gengpx")));
        dialog.coDestChange();
        a.edDest()->setText(Dir.filePath(QStringLiteral("out")));
        dialog.edDestChange();
        bool disabled = false;
        prompt.OnBox = [&] {
            disabled = !a.buConvert()->isEnabled() && !a.coSource()->isEnabled() && !a.edDest()->isEnabled();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        };
        prompt.Answers = { IDYES };
        dialog.buConvertClick();
        QVERIFY(disabled);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(int(prompt.Boxes.size()), 1);
        QCOMPARE(TBatchConverter::ListDest(Dir.filePath(QStringLiteral("out")), -1), QStringList { "bakery.gpx" });
    }

    // The dialog's keys: Enter in either folder field lists that folder and converts nothing,
    // Enter elsewhere presses Convert, which first checks the destination folder; Escape closes.
    void keysPressed()
    {
        TScriptedPrompt prompt;
        TfmBatchConvert dialog;
        const auto a = TfmBatchConvertTestAccess(dialog);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* source = dialog.findChild<QLineEdit*>(QStringLiteral("edSource"));
        auto* dest = dialog.findChild<QLineEdit*>(QStringLiteral("edDest"));
        auto* sourceList = dialog.findChild<QListWidget*>(QStringLiteral("lvSource"));
        auto* destList = dialog.findChild<QListWidget*>(QStringLiteral("lvDest"));
        QVERIFY(source && dest && sourceList && destList);
        a.coDest()->setCurrentIndex(TConvertToBase::IndexOf(QStringLiteral("asc"), QStringLiteral("genasc")));
        dialog.coDestChange();
        for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter }) {
            source->setFocus();
            source->setText(Dir.filePath(QStringLiteral("in")));
            QTest::keyClick(source, key);
            QCOMPARE(Items(sourceList), (QStringList { "bakery.ov2", "Camping.ov2", "Zoo.ov2" }));
            WriteOv2(Out(QStringLiteral("old.asc")), "old");
            dest->setFocus();
            dest->setText(Dir.filePath(QStringLiteral("out")));
            QTest::keyClick(dest, key);
            QCOMPARE(Items(destList), QStringList { "old.asc" });
            QVERIFY(prompt.Boxes.empty());
            QVERIFY(dialog.isVisible());
            QFile::remove(Out(QStringLiteral("old.asc")));
        }
        // A destination folder that does not exist: Enter there says so, Convert says so once.
        dest->setFocus();
        dest->setText(Dir.filePath(QStringLiteral("nowhere")));
        QTest::keyClick(dest, Qt::Key_Return);
        QCOMPARE(int(prompt.Boxes.size()), 1);
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("Destination directory does not exist."));
        sourceList->setFocus();
        const size_t listed = prompt.Boxes.size();
        QTest::keyClick(sourceList, Qt::Key_Return);
        QVERIFY(prompt.Boxes.size() > listed);
        for (const auto& box : prompt.Boxes)
            QCOMPARE(box.Text, QStringLiteral("Destination directory does not exist."));
        QVERIFY(!QDir(Dir.filePath(QStringLiteral("nowhere"))).exists());
        // Enter on the list presses Convert into an existing folder.
        dest->setText(Dir.filePath(QStringLiteral("out")));
        sourceList->setFocus();
        QTest::keyClick(sourceList, Qt::Key_Return);
        QCOMPARE(prompt.Boxes.back().Text, QStringLiteral("Batch conversion completed."));
        QCOMPARE(TBatchConverter::ListDest(Dir.filePath(QStringLiteral("out")), -1), (QStringList { "bakery.asc", "Camping.asc", "Zoo.asc" }));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    }

    // Appending into a bare file name would write into the program's working folder: refused.
    void bareDestinationNameIsRefused()
    {
        TScriptedPrompt prompt;
        TfmBatchConvert dialog;
        const auto a = TfmBatchConvertTestAccess(dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        a.edSource()->setText(Dir.filePath(QStringLiteral("in")));
        QTest::keyClick(a.edSource(), Qt::Key_Return);
        a.coDest()->setCurrentIndex(TConvertToBase::IndexOf(QStringLiteral("asc"), QStringLiteral("genasc")));
        dialog.coDestChange();
        QTest::mouseClick(a.rbDestAppend(), Qt::LeftButton, {}, QPoint(6, a.rbDestAppend()->height() / 2));
        QVERIFY(a.rbDestAppend()->isChecked());
        a.edDestFile()->setFocus();
        a.edDestFile()->selectAll();
        QTest::keyClicks(a.edDestFile(), QStringLiteral("tarvell-bare-name.asc"));
        QTest::mouseClick(a.buConvert(), Qt::LeftButton);
        QCOMPARE(int(prompt.Boxes.size()), 1);
        QCOMPARE(prompt.Boxes.back().Text,
            QStringLiteral("The destination tarvell-bare-name.asc is not a full path; choose its folder."));
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("tarvell-bare-name.asc"))));
        QVERIFY(dialog.isVisible());
    }

private:
    QString In(const QString& name) const { return QDir(Dir.filePath(QStringLiteral("in"))).filePath(name); }
    QString Out(const QString& name) const { return QDir(Dir.filePath(QStringLiteral("out"))).filePath(name); }
    QTemporaryDir Dir;
};

TARVELL_QTEST_MAIN(TestBatchConvert)
#include "tst_fBatchConvert.moc"
