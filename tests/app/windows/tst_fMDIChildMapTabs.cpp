// The child window's map tabs beyond the internal map: the desktop map application's tab, one tab
// per HTML map plug-in of type 1, "MapTab", and the tab going back when a map window fails.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "maps/fMapEmbedHtml.h"
#include "maps/fMapInternal.h"
#include "maps/fMapPointEmbed.h"
#include "plugins/PluginTestSupport.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QTabBar>
#include <QTextDocument>
#include <QtTest>

namespace {

const QString Sample = QStringLiteral(TARVELL_TEST_DATA "/../../samples/amsterdam.ov2");

class TNoBrowser : public THtmlMapView {
public:
    explicit TNoBrowser(QWidget* parent)
        : FWidget(new QWidget(parent))
    {
    }
    QWidget* Widget() override { return FWidget; }
    void Load(const QUrl&) override { ++Loads; }
    static inline int Loads = 0;

private:
    QWidget* FWidget;
};

// Counts activations; creating the object fails when asked to.
class TCountingLayer : public TMapPointLayer {
public:
    static inline int Activations = 0;
    static inline bool Fail = false;
    void CreateObject(const QString&) override
    {
        if (Fail)
            throw ETarvellError(QStringLiteral("none"));
        ++Activations;
    }
    void DoVerb(int) override { }
    void AttachMap() override { }
    void SetupMap() override { }
    void GoTo(double, double, double) override { }
    int DataSetCount() override { return 0; }
    QString DataSetName(int) override { return QString(); }
    void DeleteDataSet(int) override { }
    int AddPushpinSet(const QString&) override { return 1; }
    int AddPushpin(double, double, double, const QString&) override { return 1; }
    void SetHighlighted(int, bool) override { }
    void SetSymbol(int, int) override { }
    void MoveToDataSet(int, int) override { }
    void DeactivateMap() override { }
    void CloseObject() override { }
};

QStringList Tabs(const QTabBar* tabs)
{
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    return texts;
}

// A main window with the HTML plug-ins Plain (type 0), Sketch and Zoomer and the sample open.
struct TMapWindow {
    TPluginFolder Folder;
    TdmMain Data;
    std::unique_ptr<TfmTarvellMainForm> Form;
    TMDIChild* Child = nullptr;
    QString SketchPath;

    TMapWindow()
    {
        Folder.Copy(QStringLiteral("htmltype0"), QStringLiteral("Plain.so"), TPluginKind::HtmlEmbed);
        SketchPath = Folder.Copy(QStringLiteral("html"), QStringLiteral("Sketch.so"), TPluginKind::HtmlEmbed);
        Folder.Copy(QStringLiteral("zoomsecond"), QStringLiteral("Zoomer.so"), TPluginKind::HtmlEmbed);
        Data.LoadPlugins(Folder.AppDir(), Folder.ProgramOptions());
        Form = std::make_unique<TfmTarvellMainForm>(Data);
        Form->show();
        Form->OpenFile(nullptr, Sample, false, QString());
        Child = dynamic_cast<TMDIChild*>(Form->ActiveChild());
    }
};

} // namespace

class TestMDIChildMapTabs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
        SetHtmlMapViewFactory([](QWidget* parent) { return std::make_unique<TNoBrowser>(parent); });
        SetMapPointLayerFactory([] { return std::make_unique<TCountingLayer>(); });
    }
    void cleanupTestCase()
    {
        SetHtmlMapViewFactory(nullptr);
        SetMapPointLayerFactory(nullptr);
    }
    void init()
    {
        ResetSettingsForTests();
        QFile::remove(SettingsStoreFileName());
        GetSettings().MapVisible = true;
        TCountingLayer::Fail = false;
    }

    // A plug-in that is not of type 1 gets no tab; each tab knows its plug-in's place in the list.
    void tabsOfThePlugins()
    {
        TMapWindow window;
        QVERIFY(window.Child);
        QCOMPARE(Tabs(TMDIChildTestAccess(*window.Child).tsMaps()),
            QStringList({ "Internal Map", "MapPoint", "Sketch", "Zoomer" }));
        QCOMPARE(TMDIChildTestAccess(*window.Child).tsMaps()->tabData(2).toInt(), 1);
        QCOMPARE(TMDIChildTestAccess(*window.Child).tsMaps()->tabData(3).toInt(), 2);
    }

    // A long caption is elided to fit, whole in the tab's tool tip and as "MapTab".
    void longCaptionIsElided()
    {
        TPluginFolder folder;
        const QString caption = QString(200, QLatin1Char('w'));
        folder.Copy(QStringLiteral("html"), caption + QStringLiteral(".so"), TPluginKind::HtmlEmbed);
        TdmMain data;
        data.LoadPlugins(folder.AppDir(), folder.ProgramOptions());
        TfmTarvellMainForm form(data);
        form.show();
        form.OpenFile(nullptr, Sample, false, QString());
        auto* child = dynamic_cast<TMDIChild*>(form.ActiveChild());
        QVERIFY(child);
        QTabBar* tabs = TMDIChildTestAccess(*child).tsMaps();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(2), caption);
        QTextDocument tip;
        tip.setHtml(tabs->tabToolTip(2));
        QCOMPARE(tip.toPlainText(), caption);
        QVERIFY2(tabs->tabRect(2).width() <= 200, qPrintable(QString::number(tabs->tabRect(2).width())));
        QVERIFY(tabs->tabRect(2).width() < tabs->fontMetrics().horizontalAdvance(caption));
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(2).center());
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(GetSettings().MapTab, caption);
    }

    // "MapTab" picks the plug-in's tab when it still exists, else the internal map.
    void rememberedTab_data()
    {
        QTest::addColumn<QString>("mapTab");
        QTest::addColumn<int>("tab");
        QTest::newRow("plug-in tab") << "Zoomer" << 3;
        QTest::newRow("plug-in gone") << "Gone" << 0;
        QTest::newRow("type 0 plug-in") << "Plain" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void rememberedTab()
    {
        QFETCH(QString, mapTab);
        QFETCH(int, tab);
        GetSettings().MapTab = mapTab;
        TMapWindow window;
        QCOMPARE(TMDIChildTestAccess(*window.Child).tsMaps()->currentIndex(), tab);
        if (tab == 0) {
            QVERIFY(dynamic_cast<TfmMapInternal*>(window.Child->MapForm()));
            QCOMPARE(GetSettings().MapTab, QString());
        } else {
            auto* html = dynamic_cast<TfmMapEmbedHtml*>(window.Child->MapForm());
            QVERIFY(html);
            QCOMPARE(html->MapPlugin(), window.Data.MapPlugins.Items(2));
            QCOMPARE(GetSettings().MapTab, mapTab);
        }
    }

    // Each tab change docks its window and remembers its tab; the selection reaches the plug-in.
    void changingTabs()
    {
        TMapWindow window;
        QTabBar* tabs = TMDIChildTestAccess(*window.Child).tsMaps();
        tabs->setCurrentIndex(2);
        auto* html = dynamic_cast<TfmMapEmbedHtml*>(window.Child->MapForm());
        QVERIFY(html);
        QCOMPARE(GetSettings().MapTab, QStringLiteral("Sketch"));
        const TTestPluginProbe probe(window.SketchPath);
        probe.Reset();
        window.Child->SelectAll();
        QVERIFY(probe.Log().find("Init 12\n") != std::string::npos);
        const int activations = TCountingLayer::Activations;
        tabs->setCurrentIndex(1);
        QVERIFY(dynamic_cast<TfmMapPointEmbed*>(window.Child->MapForm()));
        QCOMPARE(TCountingLayer::Activations, activations + 1);
        QCOMPARE(GetSettings().MapTab, QString());
        tabs->setCurrentIndex(0);
        QVERIFY(dynamic_cast<TfmMapInternal*>(window.Child->MapForm()));
    }

    // The desktop map application is started only for a child the user can see.
    void desktopMapOnlyForAVisibleChild()
    {
        TMapWindow window;
        window.Form->hide();
        QVERIFY(!window.Child->isVisible());
        const int activations = TCountingLayer::Activations;
        TMDIChildTestAccess(*window.Child).tsMaps()->setCurrentIndex(1);
        QVERIFY(dynamic_cast<TfmMapPointEmbed*>(window.Child->MapForm()));
        QCOMPARE(TCountingLayer::Activations, activations);
    }

    // A map window that fails leaves the previous window and tab, shows the error once, and the
    // tab's going back does not run the change again.
    void failingWindowRollsBack()
    {
        GetSettings().MapTab = QStringLiteral("Sketch");
        TMapWindow window;
        QTabBar* tabs = TMDIChildTestAccess(*window.Child).tsMaps();
        TMapForm* previous = window.Child->MapForm();
        QVERIFY(dynamic_cast<TfmMapEmbedHtml*>(previous));
        TCountingLayer::Fail = true;
        TScriptedPrompt prompt;
        tabs->setCurrentIndex(1);
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(window.Child->MapForm(), previous);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text,
            QStringLiteral("MapPoint application or version not found. Setup your MapPoint version in the General tab "
                           "section of the preferences dialog."));
        QCOMPARE(GetSettings().MapTab, QStringLiteral("Sketch"));
    }

    // The production layer: the same message, the tab goes back.
    void productionMapPointTab()
    {
        SetMapPointLayerFactory(nullptr);
        TMapWindow window;
        TScriptedPrompt prompt;
        TMDIChildTestAccess(*window.Child).tsMaps()->setCurrentIndex(1);
        QCOMPARE(TMDIChildTestAccess(*window.Child).tsMaps()->currentIndex(), 0);
        QVERIFY(dynamic_cast<TfmMapInternal*>(window.Child->MapForm()));
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QVERIFY(prompt.Boxes[0].Text.startsWith(QStringLiteral("MapPoint application or version not found.")));
        SetMapPointLayerFactory([] { return std::make_unique<TCountingLayer>(); });
    }
};

TARVELL_QTEST_MAIN(TestMDIChildMapTabs)
#include "tst_fMDIChildMapTabs.moc"
