// The tools on large inputs, best of five runs each:
//   tarvell-bench-tools [runs]   (offscreen platform unless QT_QPA_PLATFORM says otherwise)
// - the finder showing a million-POI result (search, tree filled and expanded), with 10%
//   duplicates over a country and with every POI within one tolerance;
// - deleting 100,000 selected duplicates of a million-POI list (list, tree and child model);
// - batch conversion of 1,000 ov2 files of 1,000 POIs to gpx one per file, and appended into
//   one ov2.
#include "app/windowbase/dMain.h"
#include "app/windows/fFindDups.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/logic/uBatchConvert.h"
#include "app/logic/uEntriesModel.h"
#include "core/uLocations.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "uBenchData.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

namespace {

constexpr double DegreesPerMetre = 1.0 / 111320.0;

// Best of runs, in seconds; prepare runs untimed before each run.
double Best(int runs, const std::function<void()>& prepare, const std::function<void()>& work)
{
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        QCoreApplication::processEvents();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

// A million POIs over a country, every tenth a copy a metre away from the one before it.
void CountryWithDuplicates(TEntries& entries)
{
    entries.Clear();
    GeneratePois(entries, 900000);
    std::mt19937 random(3);
    const int originals = entries.Count();
    for (int i = 0; i < 100000; ++i) {
        const TEntry& p = entries[int(random() % unsigned(originals))];
        entries.Add("Copy", "", p.GetLongitude(), p.GetLatitude() + DegreesPerMetre);
    }
}

void OneCluster(TEntries& entries)
{
    entries.Clear();
    std::mt19937 random(2);
    std::uniform_real_distribution<double> near(0, 0.00001);
    for (int i = 0; i < 1000000; ++i)
        entries.Add("Here", "", 4 + near(random), 52 + near(random));
}

class TAnswerYes : public TBatchQuestions {
public:
    bool OverwriteAppendTarget(const QString&) override { return true; }
    TOverwrite OverwriteTarget(const QString&) override { return TOverwrite::Yes; }
    bool ContinueAfterError(const QString&) override { return false; }
    void Progress(int, int) override { }
    bool KeepGoing() override
    {
        QCoreApplication::processEvents();
        return true;
    }
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
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    TdmMain data;
    TfmTarvellMainForm form(data);
    form.resize(900, 650);
    form.show();
    TMDIChild* child = form.NewChild();
    form.ShowChild(child);
    QCoreApplication::processEvents();

    for (auto [name, fill] : { std::pair { "10% duplicates over a country", &CountryWithDuplicates },
             std::pair { "all within one tolerance", &OneCluster } }) {
        fill(child->Entries());
        child->Model()->Reload();
        TfmFindDups finder(child);
        finder.Entries = &child->Entries();
        finder.resize(420, 460);
        finder.show();
        QCoreApplication::processEvents();
        const double seconds = Best(runs, {}, [&] { finder.Search(nullptr); });
        std::printf("finder showing the result of 1M POIs, %s: %.3f s (%d groups)\n", name, seconds,
            int(finder.Model()->Groups().size()));
    }

    // Delete: 100,000 selected duplicates of a million.
    {
        TfmFindDups finder(child);
        finder.Entries = &child->Entries();
        finder.OnEntriesDeleted = [child] { child->Refresh(); };
        finder.show();
        const double seconds = Best(
            runs,
            [&] {
                CountryWithDuplicates(child->Entries());
                child->Model()->Reload();
                finder.Search(nullptr);
                finder.SelectAllDuplicates();
                QCoreApplication::processEvents();
            },
            [&] { finder.acDeleteExecute(); });
        std::printf("deleting %d selected duplicates of 1M POIs: %.3f s (%d left)\n", 1000000 - child->Entries().Count(),
            seconds, child->Entries().Count());
    }

    // Batch conversion: 1,000 files of 1,000 POIs.
    const QString source = home.filePath(QStringLiteral("source"));
    const QString dest = home.filePath(QStringLiteral("dest"));
    QDir().mkpath(source);
    QDir().mkpath(dest);
    for (int f = 0; f < 1000; ++f) {
        TEntries entries;
        GeneratePois(entries, 1000, uint32_t(f + 1));
        TMemoryStream stream;
        entries.SaveToStream(stream, QStringLiteral(".ov2"), QString());
        SaveBytesToFile(QDir(source).filePath(QStringLiteral("file%1.ov2").arg(f, 4, 10, QChar('0'))), stream.Data());
    }
    TBatchJob job;
    job.SourceImporter = TConvertFromBase::IndexOf(QStringLiteral("ov2"), QStringLiteral("ttov2"));
    job.SourceFolder = source;
    job.Files = TBatchConverter::ListSource(source, job.SourceImporter);
    job.DestExporter = TConvertToBase::IndexOf(QStringLiteral("gpx"), QStringLiteral("gengpx"));
    job.DestFolder = dest;
    TAnswerYes yes;
    double seconds = Best(
        runs, [&] { QDir(dest).removeRecursively(), QDir().mkpath(dest); }, [&] { TBatchConverter::Run(job, yes); });
    std::printf("batch: 1,000 ov2 files of 1,000 POIs to gpx, one per file: %.3f s\n", seconds);
    job.DestMode = TBatchDestMode::Append;
    job.DestExporter = TConvertToBase::IndexOf(QStringLiteral("ov2"), QStringLiteral("ttov2"));
    job.DestFile = QDir(dest).filePath(QStringLiteral("all.ov2"));
    job.AddFileNames = true;
    seconds = Best(runs, {}, [&] { TBatchConverter::Run(job, yes); });
    std::printf("batch: 1,000 ov2 files of 1,000 POIs appended into one ov2 (names added): %.3f s (%lld bytes)\n",
        seconds, (long long)QFileInfo(job.DestFile).size());
    return 0;
}
