// The plug-in parameter dialog on a real test plug-in: its rows from the stored values, OK writing
// the store and the plug-in, every other way of closing writing nothing.
#include "PluginTestSupport.h"
#include "PluginWindowsTestAccess.h"

#include "core/uSettingsStore.h"
#include "plugins/windows/fPlugin.h"
#include "support/QtWarningGuard.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QtTest>

namespace {

const QString Section = QStringLiteral("plugins\\Mapper");

} // namespace

class TestPluginDialog : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TPluginFolder> FFolder;
    TPluginList FList;
    QString FPath;

    // Loads "Mapper" (external test plug-in: Zoom integer 1..19, Label text, Mode f/s/s) with
    // the stored values given.
    TPluginBase* Load(std::initializer_list<std::pair<const char*, const char*>> stored,
        const QString& built = QStringLiteral("external"), TPluginKind kind = TPluginKind::OpenExternal)
    {
        FList.Clear();
        FFolder = std::make_unique<TPluginFolder>();
        {
            TSettingsStore store(FFolder->StoreFile());
            for (const auto& [key, value] : stored)
                store.WriteString(Section, QString::fromLatin1(key), QString::fromLatin1(value));
        }
        FPath = FFolder->Copy(built, QStringLiteral("Mapper.so"), kind);
        LoadPlugins(FList, kind, FFolder->Options(kind));
        return FList.Count() == 1 ? FList.Items(0) : nullptr;
    }
    QString Stored(const char* key) const
    {
        return TSettingsStore(FFolder->StoreFile()).ReadString(Section, QString::fromLatin1(key), QStringLiteral("(none)"));
    }

private slots:
    void rowsShowTheStoredValuesElseTheDefaults()
    {
        TPluginBase* plugin = Load({ { "Mode", "s" } });
        QVERIFY(plugin);
        TfmPlugin dialog;
        const auto a = TfmPluginTestAccess(dialog);
        dialog.Plugin = plugin;
        dialog.BuildRows();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Mapper settings..."));
        for (int i = 0; i < 3; ++i) {
            auto* panel = a.ScrollBox1()->findChild<QFrame*>(QStringLiteral("paParam%1").arg(i));
            QVERIFY(panel);
            QCOMPARE(panel->lineWidth(), 1);
        }
        auto* upDown = dialog.findChild<QSpinBox*>(QStringLiteral("udValue0"));
        QVERIFY(upDown);
        // The default (10), not the plug-in's current value (16).
        QCOMPARE(upDown->value(), 10);
        QCOMPARE(upDown->minimum(), 1);
        QCOMPARE(upDown->maximum(), 19);
        auto* zoomText = dialog.findChild<QLineEdit*>(QStringLiteral("edValue0"));
        QVERIFY(zoomText && zoomText->isReadOnly());
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("edValue1"))->text(), QStringLiteral("default text"));
        auto* list = dialog.findChild<QComboBox*>(QStringLiteral("edValue2"));
        QCOMPARE(list->count(), 3);
        // The last option whose value matches.
        QCOMPARE(list->currentIndex(), 2);
        QVERIFY(a.buOk()->isDefault());
    }

    // What the plug-in names is shown as it stands: no markup of its own formats the dialog.
    void pluginTextsAreShownAsTheyStand()
    {
        TPluginBase* plugin = Load({});
        QVERIFY(plugin);
        const TTestPluginProbe probe(FPath);
        probe.Set("name1", "<b>Label</b>");
        probe.Set("option0", "<img src=\"/dev/null\">");
        TfmPlugin dialog;
        const auto a = TfmPluginTestAccess(dialog);
        dialog.Plugin = plugin;
        dialog.BuildRows();
        auto* panel = a.ScrollBox1()->findChild<QFrame*>(QStringLiteral("paParam1"));
        QVERIFY(panel);
        auto* caption = panel->findChild<QLabel*>();
        QVERIFY(caption);
        QCOMPARE(caption->textFormat(), Qt::PlainText);
        QCOMPARE(caption->text(), QStringLiteral("<b>Label</b>:"));
        auto* list = dialog.findChild<QComboBox*>(QStringLiteral("edValue2"));
        QCOMPARE(list->itemText(0), QStringLiteral("<img src=\"/dev/null\">"));
    }

    void okWritesStoreAndPlugin()
    {
        TPluginBase* plugin = Load({ { "Zoom", "18" } });
        QVERIFY(plugin);
        const TTestPluginProbe probe(FPath);
        probe.Reset();
        TfmPlugin dialog;
        dialog.Plugin = plugin;
        dialog.BuildRows();
        dialog.show();
        auto* upDown = dialog.findChild<QSpinBox*>(QStringLiteral("udValue0"));
        QTest::keyClick(upDown, Qt::Key_Up);
        QTest::keyClick(upDown, Qt::Key_Up);
        // Held at the maximum.
        QCOMPARE(upDown->value(), 19);
        auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("edValue1"));
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("Tour"));
        dialog.findChild<QComboBox*>(QStringLiteral("edValue2"))->setCurrentIndex(1);
        QTest::mouseClick(TfmPluginTestAccess(dialog).buOk(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(Stored("Zoom"), QStringLiteral("19"));
        QCOMPARE(Stored("Label"), QStringLiteral("Tour"));
        QCOMPARE(Stored("Mode"), QStringLiteral("s"));
        QCOMPARE(probe.Log(), std::string("SetParamValue 0 19\nSetParamValue 1 Tour\nSetParamValue 2 s\n"));
    }

    // A list whose stored value matches no option shows none and leaves the parameter alone.
    void listWithoutMatchLeavesParameter()
    {
        TPluginBase* plugin = Load({ { "Mode", "unknown" } });
        const TTestPluginProbe probe(FPath);
        probe.Reset();
        TfmPlugin dialog;
        dialog.Plugin = plugin;
        dialog.BuildRows();
        dialog.show();
        QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("edValue2"))->currentIndex(), -1);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(Stored("Mode"), QStringLiteral("unknown"));
        QCOMPARE(probe.Log(), std::string("SetParamValue 0 10\nSetParamValue 1 default text\n"));
    }

    void otherClosesChangeNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("window closed") << 2;
    }
    void otherClosesChangeNothing()
    {
        QFETCH(int, how);
        TPluginBase* plugin = Load({});
        const TTestPluginProbe probe(FPath);
        probe.Reset();
        TfmPlugin dialog;
        dialog.Plugin = plugin;
        dialog.BuildRows();
        dialog.show();
        QTest::keyClick(dialog.findChild<QSpinBox*>(QStringLiteral("udValue0")), Qt::Key_Up);
        if (how == 0)
            QTest::mouseClick(TfmPluginTestAccess(dialog).buCancel(), Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(Stored("Zoom"), QStringLiteral("(none)"));
        QCOMPARE(probe.Log(), std::string());
    }

    // A stored value or limit that is not a number is a user error before anything is shown;
    // limits beyond 16 bits are held to them.
    void integerRows_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("min");
        QTest::addColumn<QString>("max");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("stored value") << "ten" << "1" << "19" << "'ten' is not a valid integer value" << 0 << 0;
        QTest::newRow("maximum") << "5" << "1" << "x" << "'x' is not a valid integer value" << 0 << 0;
        QTest::newRow("minimum empty") << "5" << "" << "19" << "'' is not a valid integer value" << 0 << 0;
        QTest::newRow("beyond 16 bits") << "5" << "-100000" << "100000" << "" << -32768 << 32767;
    }
    void integerRows()
    {
        QFETCH(QString, stored);
        QFETCH(QString, min);
        QFETCH(QString, max);
        QFETCH(QString, error);
        TPluginBase* plugin = Load({ { "Zoom", stored.toLatin1().constData() } });
        const TTestPluginProbe probe(FPath);
        probe.Set("min", min.toLatin1().constData());
        probe.Set("max", max.toLatin1().constData());
        TfmPlugin dialog;
        dialog.Plugin = plugin;
        if (!error.isEmpty()) {
            try {
                dialog.ShowModal();
                QFAIL("no error");
            } catch (const EUserError& e) {
                QCOMPARE(e.Message(), error);
            }
            QVERIFY(!dialog.isVisible());
            return;
        }
        dialog.BuildRows();
        auto* upDown = dialog.findChild<QSpinBox*>(QStringLiteral("udValue0"));
        QTEST(upDown->minimum(), "low");
        QTEST(upDown->maximum(), "high");
    }

    // A zoom level (type 3) has no row.
    void zoomLevelHasNoRow()
    {
        TPluginBase* plugin = Load({}, QStringLiteral("html"), TPluginKind::HtmlEmbed);
        QVERIFY(plugin);
        TfmPlugin dialog;
        dialog.Plugin = plugin;
        dialog.BuildRows();
        QVERIFY(!dialog.findChild<QFrame*>(QStringLiteral("paParam0")));
        QVERIFY(dialog.findChild<QFrame*>(QStringLiteral("paParam1")));
        QVERIFY(dialog.findChild<QFrame*>(QStringLiteral("paParam2")));
    }
};

TARVELL_QTEST_MAIN(TestPluginDialog)
#include "tst_fPlugin.moc"
