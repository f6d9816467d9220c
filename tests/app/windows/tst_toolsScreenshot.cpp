// Pictures of the tools' windows on a real X server, kept as build artefacts: the duplicate finder
// with its groups, the batch conversion and the preferences with a writer's options.
#include "AppTestSupport.h"
#include "ToolWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fBatchConvert.h"
#include "app/windows/fFindDups.h"
#include "app/windows/fPluginSettings.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "model/uModel.h"
#include "support/QtWarningGuard.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

class TestToolsScreenshot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }

    void findDupsPicture()
    {
        TScriptedPrompt prompt;
        TEntries entries;
        const char* names[] = { "Museum of Modern Art", "Central Station", "City Hall", "Harbour Ferry", "Old Church" };
        for (int i = 0; i < 5; ++i) {
            entries.Add(names[i], "", 4.90 + i * 0.01, 52.37);
            entries.Add(std::string(names[i]) + " (entrance)", "", 4.90 + i * 0.01, 52.37 + 0.00002);
            if (i % 2 == 0)
                entries.Add(std::string(names[i]) + " (copy)", "", 4.90 + i * 0.01, 52.37);
        }
        TfmFindDups finder;
        const auto a = TfmFindDupsTestAccess(finder);
        finder.Entries = &entries;
        finder.resize(440, 400);
        finder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&finder));
        finder.Search(nullptr);
        QCOMPARE(int(finder.Model()->Groups().size()), 5);
        QItemSelection selection;
        for (int g : { 0, 2 })
            selection.select(finder.Model()->index(finder.Model()->GroupRow(g) + 1), finder.Model()->index(finder.Model()->GroupRow(g) + 1));
        a.TreeView1()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        a.TreeView1()->setFocus();
        Picture(finder, QStringLiteral("find-dups.png"));
    }

    void batchConvertPicture()
    {
        TScriptedPrompt prompt;
        QTemporaryDir dir;
        for (const char* name : { "Camping.ov2", "Fuel stations.ov2", "Museums.ov2", "Parking.ov2" }) {
            TEntries entries;
            entries.Add("POI", "", 4.9, 52.3);
            TMemoryStream stream;
            entries.SaveToStream(stream, QStringLiteral("ov2"), QStringLiteral("ttov2"));
            SaveBytesToFile(dir.filePath(QString::fromLatin1(name)), stream.Data());
        }
        GetSettings().BatchConvertSource = dir.path();
        GetSettings().BatchConvertDest = dir.path();
        GetSettings().BatchConvertDestFormatID = QStringLiteral("*");
        GetSettings().BatchConvertDestFormatIDs = QStringLiteral(";gengpx;genkml");
        TfmBatchConvert dialog;
        const auto a = TfmBatchConvertTestAccess(dialog);
        dialog.resize(680, 460);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        a.lvSource()->item(1)->setSelected(true);
        a.lvSource()->item(2)->setSelected(true);
        Picture(dialog, QStringLiteral("batch-convert.png"));
    }

    void preferencesPicture()
    {
        TdmMain data;
        TfmPluginSettings dialog(data);
        const auto a = TfmPluginSettingsTestAccess(dialog);
        dialog.resize(540, 440);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        a.PageControl1()->setCurrentIndex(3);
        for (int i = 0; i < a.lvExport()->topLevelItemCount(); ++i)
            if (a.lvExport()->topLevelItem(i)->text(2) == QLatin1String("genasc"))
                a.lvExport()->setCurrentItem(a.lvExport()->topLevelItem(i));
        QVERIFY(!dialog.OptionsPanel(false)->findChildren<QLineEdit*>().isEmpty());
        Picture(dialog, QStringLiteral("preferences.png"));
    }

private:
    void Picture(QWidget& window, const QString& fileName)
    {
        QTest::qWait(300);
        const QRect area = window.frameGeometry();
        const QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
        const QString path = QStringLiteral(TARVELL_ARTIFACTS "/") + fileName;
        QVERIFY(shot.save(path));
        // A blank or single-colour picture means nothing was drawn.
        const QImage image = shot.toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
        qInfo("saved %s", qPrintable(path));
    }
};

TARVELL_QTEST_MAIN(TestToolsScreenshot)
#include "tst_toolsScreenshot.moc"
