// Select All in a child window of a million POIs while the "Sketch map" tab is shown: the push of
// the selection to the map window, 1,000 POIs to the plug-in and the page written. The browser's
// drawing, which follows asynchronously, is not counted (the window gets a view that only notes
// the load).
//   tarvell-bench-sketchmap [count]   (offscreen platform unless QT_QPA_PLATFORM says otherwise)
#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uFormats.h"
#include "maps/fMapEmbedHtml.h"
#include "uBenchData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTabBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

class TNoteLoads : public THtmlMapView {
public:
    explicit TNoteLoads(QWidget* parent)
        : FWidget(new QWidget(parent))
    {
    }
    QWidget* Widget() override { return FWidget; }
    void Load(const QUrl&) override { ++Loads; }
    static inline int Loads = 0;

private:
    QWidget* FWidget;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    RegisterAllFormats();
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    const QString path = home.filePath(QStringLiteral("big.ov2"));
    {
        TEntries entries;
        GeneratePois(entries, count);
        TMemoryStream stream;
        entries.SaveToStream(stream, QStringLiteral(".ov2"), QString());
        SaveStreamToLocation(path, stream);
    }
    SetHtmlMapViewFactory([](QWidget* parent) { return std::make_unique<TNoteLoads>(parent); });
    GetSettings().MapVisible = true;
    GetSettings().MapTab = QStringLiteral("Sketch map");
    TdmMain data;
    TPluginLoadOptions options;
    options.Trial = HelperProcessTrial(QStringLiteral(TARVELL_PLUGIN_TRIAL));
    options.Warn = [](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); };
    data.LoadPlugins(QStringLiteral(TARVELL_APP_DIR "/"), options);
    TfmTarvellMainForm form(data);
    form.resize(900, 650);
    form.show();
    form.OpenFile(nullptr, path, false, QString());
    TMDIChild* child = form.ActiveChild();
    QCoreApplication::processEvents();
    QTabBar* tabs = child ? child->findChild<QTabBar*>(QStringLiteral("tsMaps")) : nullptr;
    if (!tabs || tabs->tabText(tabs->currentIndex()) != QLatin1String("Sketch map")) {
        std::fprintf(stderr, "the sketch map tab is not shown\n");
        return 1;
    }
    qint64 best = -1;
    for (int run = 0; run < 5; ++run) {
        child->SelectOnly(0);
        QCoreApplication::processEvents();
        const int loads = TNoteLoads::Loads;
        QElapsedTimer clock;
        clock.start();
        child->SelectAll();
        QCoreApplication::processEvents();
        const qint64 ms = clock.elapsed();
        best = best < 0 ? ms : std::min(best, ms);
        std::printf("run %d: select all of %d POIs with the sketch map: %lld ms (%d page loads)\n", run + 1,
            child->Entries().Count(), static_cast<long long>(ms), TNoteLoads::Loads - loads);
    }
    std::printf("best of 5: %lld ms\n", static_cast<long long>(best));
    child->Entries().ResetChanged();
    return 0;
}
