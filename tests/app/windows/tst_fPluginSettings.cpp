// The preferences dialog: general settings on every way of closing, plug-ins, the converter lists
// with their markers and the option editors writing at once.
#include "AppTestSupport.h"
#include "ToolWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMain.h"
#include "app/windows/fPluginSettings.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "plugins/PluginTestSupport.h"
#include "plugins/PluginWindowsTestAccess.h"
#include "plugins/windows/fPlugin.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

namespace {

QTreeWidgetItem* RowOf(QTreeWidget* list, const QString& formatID)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(2) == formatID)
            return list->topLevelItem(i);
    return nullptr;
}

} // namespace

class TestPluginSettings : public QObject {
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

    // A stored 4 shows "6 decimals" and is saved as 6, whichever way the dialog closes.
    void generalSettingsOnEveryClose_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Close button") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("window closed") << 2;
    }
    void generalSettingsOnEveryClose()
    {
        QFETCH(int, how);
        TdmMain data;
        GetSettings().Precision = 4;
        GetSettings().ShowStartupScreen = true;
        GetSettings().PluginAutoArrange = true;
        TfmPluginSettings dialog(data);
        const auto a = TfmPluginSettingsTestAccess(dialog);
        dialog.show();
        QCOMPARE(a.PageControl1()->currentIndex(), 0);
        QVERIFY(a.rbPrecision6()->isChecked());
        // The default version is none of the four.
        QCOMPARE(a.coVersion()->currentIndex(), -1);
        a.coVersion()->setCurrentIndex(2);
        QCOMPARE(GetSettings().MapPointVersion, QStringLiteral("MapPoint.Map.EU.11"));
        a.cbShowStartupScreen()->setChecked(false);
        a.cbAutoArrange()->setChecked(false);
        QCOMPARE(GetSettings().Precision, 4);
        if (how == 0)
            QTest::mouseClick(a.Button1(), Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(GetSettings().Precision, 6);
        QCOMPARE(GetSettings().ShowStartupScreen, false);
        QCOMPARE(GetSettings().PluginAutoArrange, false);

        TfmPluginSettings again(data);
        const auto againAccess = TfmPluginSettingsTestAccess(again);
        QCOMPARE(againAccess.coVersion()->currentIndex(), 2);
        againAccess.rbPrecision5()->setChecked(true);
        again.reject();
        QCOMPARE(GetSettings().Precision, 5);
    }

    void pluginsAndTheDefault()
    {
        TdmMain data;
        {
            TfmPluginSettings none(data);
            const auto noneAccess = TfmPluginSettingsTestAccess(none);
            QCOMPARE(noneAccess.ListView1()->topLevelItemCount(), 0);
            QVERIFY(!noneAccess.buSettings()->isEnabled());
            QVERIFY(!noneAccess.buSetDefault()->isEnabled());
        }
        TPluginFolder folder;
        folder.Copy(QStringLiteral("external"), QStringLiteral("Route Planner.so"));
        folder.Copy(QStringLiteral("external"), QStringLiteral("Street View.so"));
        data.LoadPlugins(folder.AppDir(), folder.ProgramOptions());
        GetSettings().DefaultPlugin = QStringLiteral("street view");
        TfmPluginSettings dialog(data);
        const auto a = TfmPluginSettingsTestAccess(dialog);
        QCOMPARE(a.ListView1()->topLevelItemCount(), 2);
        QVERIFY(a.ListView1()->topLevelItem(0)->icon(0).isNull());
        QVERIFY(!a.ListView1()->topLevelItem(1)->icon(0).isNull());
        a.ListView1()->topLevelItem(1)->setSelected(true);
        QVERIFY2(!a.buSetDefault()->isEnabled(), "already the default");
        QVERIFY(a.buSettings()->isEnabled());
        a.ListView1()->clearSelection();
        a.ListView1()->topLevelItem(0)->setSelected(true);
        QVERIFY(a.buSetDefault()->isEnabled());
        QTest::mouseClick(a.buSetDefault(), Qt::LeftButton);
        QCOMPARE(GetSettings().DefaultPlugin, QStringLiteral("Route Planner"));
        QVERIFY(!a.ListView1()->topLevelItem(0)->icon(0).isNull());
        QVERIFY(a.ListView1()->topLevelItem(1)->icon(0).isNull());
        QVERIFY(!a.buSetDefault()->isEnabled());
    }

    void convertersWithTheirMarkers()
    {
        TdmMain data;
        GetSettings().DefaultFormats = { QStringLiteral(".csv=navmancsv") };
        TfmPluginSettings dialog(data);
        const auto a = TfmPluginSettingsTestAccess(dialog);
        QCOMPARE(a.lvExport()->topLevelItemCount(), TConvertToBase::FormatCount());
        QCOMPARE(a.lvImport()->topLevelItemCount(), TConvertFromBase::FormatCount());
        QTreeWidgetItem* first = a.lvExport()->topLevelItem(0);
        QCOMPARE(first->text(0), TConvertToBase::Description(0));
        QCOMPARE(first->text(1), QStringLiteral(".ov2"));
        QCOMPARE(first->text(2), TConvertToBase::FormatIDAt(0));
        // "Opt" where the format has options.
        QVERIFY(!RowOf(a.lvExport(), QStringLiteral("genasc"))->icon(3).isNull());
        QVERIFY(RowOf(a.lvExport(), QStringLiteral("gengpx"))->icon(3).isNull());
        // The default reader of its extension is marked, the others sharing it are not.
        QVERIFY(!RowOf(a.lvImport(), QStringLiteral("navmancsv"))->icon(0).isNull());
        QVERIFY(RowOf(a.lvImport(), QStringLiteral("dstcsv"))->icon(0).isNull());
        QVERIFY(RowOf(a.lvImport(), QStringLiteral("ttov2"))->icon(0).isNull());
    }

    // Generic Ascii: a Boolean and an Integer option, stacked one below the other.
    void optionEditorsWriteAtOnce()
    {
        TdmMain data;
        TfmPluginSettings dialog(data);
        const auto a = TfmPluginSettingsTestAccess(dialog);
        dialog.show();
        a.PageControl1()->setCurrentIndex(3);
        a.lvExport()->setCurrentItem(RowOf(a.lvExport(), QStringLiteral("genasc")));
        QWidget* panel = dialog.OptionsPanel(false);
        const auto checks = panel->findChildren<QCheckBox*>();
        const auto edits = panel->findChildren<QLineEdit*>();
        const auto labels = panel->findChildren<QLabel*>();
        QCOMPARE(checks.size(), 1);
        QCOMPARE(edits.size(), 1);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(checks[0]->geometry().top(), 0);
        QCOMPARE(edits[0]->geometry().top(), checks[0]->geometry().bottom() + 1);
        QCOMPARE(labels[0]->geometry().top(), edits[0]->geometry().top());
        QCOMPARE(labels[0]->height(), edits[0]->height());
        QCOMPARE(edits[0]->geometry().left(), 180);
        QCOMPARE(labels[0]->text(), QStringLiteral("Save using precision:"));
        QCOMPARE(edits[0]->text(), QStringLiteral("5"));

        auto stored = [](const char* key) {
            return CreateSettingsStore()->ReadString(QStringLiteral("Exporters\\genasc"), QString::fromLatin1(key), QStringLiteral("-"));
        };
        QTest::mouseClick(checks[0], Qt::LeftButton, {}, QPoint(8, checks[0]->height() / 2));
        QCOMPARE(stored("0"), QStringLiteral("1"));
        QTest::mouseClick(checks[0], Qt::LeftButton, {}, QPoint(8, checks[0]->height() / 2));
        QCOMPARE(stored("0"), QStringLiteral("0"));

        edits[0]->setFocus();
        edits[0]->selectAll();
        QTest::keyClick(edits[0], Qt::Key_Backspace);
        // An empty text writes nothing.
        QCOMPARE(stored("1"), QStringLiteral("-"));
        QTest::keyClicks(edits[0], QStringLiteral("7"));
        QCOMPARE(stored("1"), QStringLiteral("7"));
        // Beyond the option's range (0..10): refused as typed, nothing written.
        QTest::keyClicks(edits[0], QStringLiteral("5"));
        QCOMPARE(stored("1"), QStringLiteral("7"));
        QTest::keyClicks(edits[0], QStringLiteral("x"));
        QCOMPARE(stored("1"), QStringLiteral("7"));

        // Another row rebuilds the box; no row empties it.
        a.lvExport()->setCurrentItem(RowOf(a.lvExport(), QStringLiteral("gengpx")));
        QVERIFY(panel->findChildren<QLineEdit*>().isEmpty());
        a.lvExport()->setCurrentItem(RowOf(a.lvExport(), QStringLiteral("genasc")));
        QCOMPARE(panel->findChildren<QLineEdit*>().value(0)->text(), QStringLiteral("7"));
        a.lvExport()->clearSelection();
        QVERIFY(panel->findChildren<QWidget*>().isEmpty());
    }

    // Settings... and a double-click open the selected plug-in's parameter dialog; OK there saves
    // the plug-in's values, a value that is no number is a warning instead of the dialog.
    void settingsOpensTheParameterDialog_data()
    {
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("storedZoom");
        QTest::newRow("button") << false << "12";
        QTest::newRow("double-click") << true << "12";
        QTest::newRow("stored zoom not a number") << false << "twelve";
    }
    void settingsOpensTheParameterDialog()
    {
        QFETCH(bool, doubleClick);
        QFETCH(QString, storedZoom);
        CreateSettingsStore()->WriteString(QStringLiteral("plugins\\Street View"), QStringLiteral("Zoom"), storedZoom);
        TdmMain data;
        TPluginFolder folder;
        folder.Copy(QStringLiteral("external"), QStringLiteral("Route Planner.so"));
        folder.Copy(QStringLiteral("external"), QStringLiteral("Street View.so"));
        data.LoadPlugins(folder.AppDir(), folder.ProgramOptions());
        TfmPluginSettings dialog(data);
        const auto a = TfmPluginSettingsTestAccess(dialog);
        dialog.show();
        a.PageControl1()->setCurrentIndex(1);
        QTreeWidgetItem* row = a.ListView1()->topLevelItem(1);
        row->setSelected(true);
        TScriptedPrompt prompt;
        TModalCloser closer;
        QString title;
        int zoom = 0;
        closer.During = [&](QWidget* modal) {
            auto* parameters = qobject_cast<TfmPlugin*>(modal);
            if (!parameters)
                return;
            title = parameters->windowTitle();
            zoom = parameters->findChild<QSpinBox*>(QStringLiteral("udValue0"))->value();
            parameters->findChild<QLineEdit*>(QStringLiteral("edValue1"))->setText(QStringLiteral("Mine"));
            QTest::mouseClick(TfmPluginTestAccess(parameters).buOk(), Qt::LeftButton);
        };
        if (doubleClick) {
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QRect cell = a.ListView1()->visualItemRect(row);
            QVERIFY2(cell.isValid(), "the row is laid out");
            // An item view takes a double-click only on the item the press was on.
            QTest::mousePress(a.ListView1()->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(a.ListView1()->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            QTest::mouseClick(a.buSettings(), Qt::LeftButton);
        }
        const auto store = CreateSettingsStore();
        if (storedZoom == QLatin1String("twelve")) {
            QCOMPARE(title, QString());
            QCOMPARE(prompt.Boxes.size(), size_t(1));
            QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("'twelve' is not a valid integer value."));
            return;
        }
        QCOMPARE(title, QStringLiteral("Street View settings..."));
        QCOMPARE(zoom, 12);
        QCOMPARE(store->ReadString(QStringLiteral("plugins\\Street View"), QStringLiteral("Label"), QString()), QStringLiteral("Mine"));
        QCOMPARE(data.ExternalPlugins.Items(1)->GetParamValue(1), QStringLiteral("Mine"));
        QCOMPARE(data.ExternalPlugins.Items(0)->GetParamValue(1), QStringLiteral("abc"));
    }

    void openedFromTheMainWindow()
    {
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        TModalCloser closer;
        bool seen = false;
        closer.During = [&](QWidget* modal) { seen = qobject_cast<TfmPluginSettings*>(modal) != nullptr; };
        form.UpdateActions();
        QVERIFY(form.Action(TAction::actPrefs)->isEnabled());
        form.Action(TAction::actPrefs)->trigger();
        QVERIFY(seen);
    }
};

TARVELL_QTEST_MAIN(TestPluginSettings)
#include "tst_fPluginSettings.moc"
