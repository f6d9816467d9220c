// The HTML map window over a real test plug-in and a fake browser: which POIs reach the plug-in in
// which order, where the page goes, and the zoom buttons.
#include "plugins/PluginTestSupport.h"

#include "support/PictureCheck.h"

#include "app/windowbase/uDialogs.h"
#include "maps/fMapEmbedHtml.h"
#include "model/uModel.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QToolBar>
#include <QtTest>

// The window's tool bar, for the checks.
class TfmMapEmbedHtmlTestAccess {
public:
    explicit TfmMapEmbedHtmlTestAccess(const TfmMapEmbedHtml& form)
        : F(form)
    {
    }
    QToolBar* ToolBar1() const { return F.ToolBar1; }
    QAction* acZoomIn() const { return F.acZoomIn; }
    QAction* acZoomOut() const { return F.acZoomOut; }
    QLabel* laZoomLevel() const { return F.laZoomLevel; }

private:
    const TfmMapEmbedHtml& F;
};

namespace {

// Records every page it is told to load, with the file's content at that moment.
class TFakeHtmlView : public THtmlMapView {
public:
    explicit TFakeHtmlView(QWidget* parent)
        : FWidget(new QWidget(parent))
    {
    }
    QWidget* Widget() override { return FWidget; }
    void Load(const QUrl& url) override
    {
        Urls << url;
        QFile file(url.toLocalFile());
        file.open(QIODevice::ReadOnly);
        Pages << file.readAll();
    }
    QList<QUrl> Urls;
    QList<QByteArray> Pages;

private:
    QWidget* FWidget;
};

// Answers every box with OK and keeps its text.
class TRecordingPrompt : public TPrompt {
public:
    QStringList Texts;
    TRecordingPrompt() { SetPrompt(this); }
    ~TRecordingPrompt() override { SetPrompt(nullptr); }
    int MessageBox(QWidget*, const QString& text, const QString&, unsigned) override
    {
        Texts << text;
        return IDOK;
    }
    int MessageDlgWithCheckBox(const QString&, bool&, TMsgDlgType, const QString&, unsigned) override { return IDOK; }
    bool InputQuery(QWidget*, const QString&, const QString&, QString&) override { return false; }
    bool OpenFileDialog(QWidget*, TOpenFileRequest&) override { return false; }
    int Confirm(const QString&) override { return 2; }
};

std::vector<std::string> Lines(const std::string& log)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(log.substr(start, end - start));
    return lines;
}

std::string PoiLine(int index, int entry)
{
    char buffer[128];
    snprintf(buffer, sizeof buffer, "SetPoi %d %.5f %.5f POI %d", index, 10 + entry * 0.001, 50 + entry * 0.001, entry);
    return buffer;
}

} // namespace

class TestMapEmbedHtml : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TPluginFolder> FFolder;
    TPluginList FList;
    QString FPath;
    TEntries FSource;
    TFakeHtmlView* FView = nullptr;

    TPluginHtmlEmbed* Load(const QString& built = QStringLiteral("html"))
    {
        FList.Clear();
        FFolder = std::make_unique<TPluginFolder>();
        FPath = FFolder->Copy(built, QStringLiteral("Map.so"), TPluginKind::HtmlEmbed);
        LoadPlugins(FList, TPluginKind::HtmlEmbed, FFolder->Options(TPluginKind::HtmlEmbed));
        return FList.Count() == 1 ? FList.ItemAs<TPluginHtmlEmbed>(0) : nullptr;
    }
    void Fill(TfmMapEmbedHtml& map, int count)
    {
        map.Entries().Clear();
        for (int i = 0; i < count; ++i)
            map.Entries().AddEntry(&FSource[i], false);
    }

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 300; ++i)
            FSource.Add("POI " + std::to_string(i), "", 10 + i * 0.001, 50 + i * 0.001);
        SetHtmlMapViewFactory([this](QWidget* parent) {
            auto view = std::make_unique<TFakeHtmlView>(parent);
            FView = view.get();
            return view;
        });
    }
    void cleanupTestCase() { SetHtmlMapViewFactory(nullptr); }

    // Which entries go to the plug-in as which index.
    void poisPassed_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("maxPois");
        QTest::addColumn<int>("current");
        QTest::addColumn<QList<int>>("expected"); // entry per index; only the first three and the last checked
        QTest::addColumn<int>("count");
        QTest::newRow("current beyond the first 100") << 250 << 100 << 200 << QList<int> { 200, 0, 1, 98 } << 100;
        QTest::newRow("current among them") << 250 << 100 << 1 << QList<int> { 1, 0, 2, 99 } << 100;
        QTest::newRow("no current entry") << 5 << 100 << -1 << QList<int> { 0, 1, 2, 4 } << 5;
        QTest::newRow("current out of range") << 5 << 100 << 7 << QList<int> { 0, 1, 2, 4 } << 5;
        QTest::newRow("fewer allowed than shown") << 5 << 3 << 4 << QList<int> { 4, 0, 1, 1 } << 3;
        QTest::newRow("maximum of 0") << 5 << 0 << 2 << QList<int> {} << 0;
        QTest::newRow("negative maximum") << 5 << -3 << 2 << QList<int> {} << 0;
        QTest::newRow("no entries") << 0 << 100 << -1 << QList<int> {} << 0;
    }
    void poisPassed()
    {
        QFETCH(int, entries);
        QFETCH(int, maxPois);
        QFETCH(int, current);
        QFETCH(QList<int>, expected);
        QFETCH(int, count);
        TPluginHtmlEmbed* plugin = Load();
        QVERIFY(plugin);
        const TTestPluginProbe probe(FPath);
        probe.Set("maxpois", std::to_string(maxPois).c_str());
        TfmMapEmbedHtml map(FSource);
        map.SetMapPlugin(plugin);
        Fill(map, entries);
        map.CurrentIndex = current;
        probe.Reset();
        map.ShowEntries();
        const auto lines = Lines(probe.Log());
        QCOMPARE(int(lines.size()), count + 2);
        QCOMPARE(lines.front(), "Init " + std::to_string(count));
        QCOMPARE(lines.back(), std::string("GetHtml"));
        if (count > 0) {
            QCOMPARE(lines[1], PoiLine(0, expected[0]));
            QCOMPARE(lines[2], count > 1 ? PoiLine(1, expected[1]) : std::string("GetHtml"));
            if (count > 2)
                QCOMPARE(lines[3], PoiLine(2, expected[2]));
            QCOMPARE(lines[size_t(count)], PoiLine(count - 1, expected[3]));
        }
    }

    // The zoom buttons show pictures of ours, not their captions.
    void everyPictureOfTheWindowIsDrawn()
    {
        TfmMapEmbedHtml map(FSource);
        QStringList faults;
        for (QAction* action : map.findChildren<QAction*>())
            if (!action->isSeparator() && !action->objectName().isEmpty())
                if (const QString fault = TestSupport::IconFault(action->icon()); !fault.isEmpty())
                    faults << action->objectName() + QStringLiteral(": ") + fault;
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

    // The page goes to a private folder of this process under its own name, and is loaded again
    // each time; an empty page keeps the previous one.
    void pageFileAndReload()
    {
        TPluginHtmlEmbed* plugin = Load();
        const TTestPluginProbe probe(FPath);
        TfmMapEmbedHtml map(FSource);
        map.SetMapPlugin(plugin);
        Fill(map, 3);
        probe.Set("page", "<p>first</p>");
        map.ShowEntries();
        probe.Set("page", "<p>second</p>");
        map.ShowEntries();
        const QString page = TfmMapEmbedHtml::PageFileName();
        QCOMPARE(QFileInfo(page).fileName(), QStringLiteral("tvhtmlem.html"));
        QVERIFY(QFileInfo(page).absolutePath() != QFileInfo(QDir::tempPath()).absoluteFilePath());
        QCOMPARE(QFileInfo(QFileInfo(page).absolutePath()).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
            QFile::Permissions());
        QCOMPARE(FView->Urls, QList<QUrl>({ QUrl::fromLocalFile(page), QUrl::fromLocalFile(page) }));
        QCOMPARE(FView->Pages, QList<QByteArray>({ "<p>first</p>", "<p>second</p>" }));
        probe.Set("page", "");
        map.ShowEntries();
        QCOMPARE(FView->Urls.size(), 2);
        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("<p>second</p>"));
    }

    // A page that runs into memory that cannot be read: a warning naming the plug-in, the map
    // keeps its last page, and the next readable page shows.
    void unreadablePageIsAWarningNamingThePlugin()
    {
        TPluginHtmlEmbed* plugin = Load();
        const TTestPluginProbe probe(FPath);
        TfmMapEmbedHtml map(FSource);
        map.SetMapPlugin(plugin);
        Fill(map, 3);
        probe.Set("unterminated", "GetHtml");
        TRecordingPrompt prompt;
        RunCommand(&map, [&] { map.ShowEntries(); });
        QCOMPARE(prompt.Texts,
            QStringList({ QStringLiteral("The plugin \"Map\" returned a text from GetHtml that runs into memory that cannot be read.") }));
        QVERIFY(FView->Urls.isEmpty());
        probe.Set("unterminated", "");
        probe.Set("page", "<p>readable</p>");
        map.ShowEntries();
        QCOMPARE(FView->Pages, QList<QByteArray>({ "<p>readable</p>" }));
    }

    // The first type-3 parameter: the tool bar, the label and what the buttons step.
    void zoom_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("min");
        QTest::addColumn<QString>("max");
        QTest::addColumn<QString>("clicks"); // + zoom in, - zoom out
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("error");
        QTest::newRow("in up to the maximum") << "html" << "16" << "1" << "19" << "++++" << "19" << "";
        QTest::newRow("out down to the minimum") << "html" << "3" << "1" << "19" << "---" << "1" << "";
        QTest::newRow("in and out") << "html" << "10" << "1" << "19" << "++-" << "11" << "";
        QTest::newRow("zoom level second") << "zoomsecond" << "4" << "1" << "5" << "+++" << "5" << "";
        QTest::newRow("value not a number") << "html" << "far" << "1" << "19" << "+" << "far" << "'far' is not a valid integer value.";
        QTest::newRow("maximum not a number") << "html" << "7" << "1" << "" << "+" << "7" << "'' is not a valid integer value.";
        QTest::newRow("minimum not a number") << "html" << "7" << "low" << "19" << "-" << "7" << "'low' is not a valid integer value.";
        // The plug-in's value is shown as it stands, never as markup.
        QTest::newRow("value with markup") << "html" << "<b>9</b>" << "1" << "19" << "+" << "<b>9</b>" << "'<b>9</b>' is not a valid integer value.";
    }
    void zoom()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, value);
        QFETCH(QString, min);
        QFETCH(QString, max);
        QFETCH(QString, clicks);
        QFETCH(QString, label);
        QFETCH(QString, error);
        TPluginHtmlEmbed* embed = Load(plugin);
        QVERIFY(embed);
        const TTestPluginProbe probe(FPath);
        probe.Set("value0", value.toLatin1().constData());
        probe.Set("min", min.toLatin1().constData());
        probe.Set("max", max.toLatin1().constData());
        TfmMapEmbedHtml map(FSource);
        map.SetMapPlugin(embed);
        const TfmMapEmbedHtmlTestAccess mapUi(map);
        QVERIFY(!mapUi.ToolBar1()->isHidden());
        QCOMPARE(mapUi.laZoomLevel()->text(), value);
        QCOMPARE(mapUi.laZoomLevel()->textFormat(), Qt::PlainText);
        probe.Reset();
        TRecordingPrompt prompt;
        for (const QChar c : clicks)
            (c == QLatin1Char('+') ? mapUi.acZoomIn() : mapUi.acZoomOut())->trigger();
        QCOMPARE(mapUi.laZoomLevel()->text(), label);
        const int zoomIndex = plugin == QLatin1String("zoomsecond") ? 1 : 0;
        QCOMPARE(embed->GetParamValue(zoomIndex), label);
        if (error.isEmpty()) {
            QCOMPARE(prompt.Texts, QStringList());
        } else {
            QCOMPARE(prompt.Texts, QStringList({ error }));
            QCOMPARE(probe.Log(), std::string());
        }
        // The page is not rebuilt by the buttons.
        QVERIFY(probe.Log().find("GetHtml") == std::string::npos);
    }
};

TARVELL_QTEST_MAIN(TestMapEmbedHtml)
#include "tst_fMapEmbedHtml.moc"
