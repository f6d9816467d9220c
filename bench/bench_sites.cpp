// A site catalogue of many POIs (100,000 by default): subscribing all of them into one folder,
// the "[All]" rows of the site items list, the wizard's Finish, the duplicate-target check, and
// the update run's own work per item (a local site and local POI files, so no network).
//   tarvell-bench-sites [count [run-items]]
// Each figure is the best of 5; the run is measured over run-items (2,000) items of the whole
// profile, whose store holds every item.
#include "uBenchSites.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "sites/uSite.h"
#include "sites/uSubscriptions.h"
#include "sites/uUpdateItems.h"
#include "sites/uUpdateRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace {

// Answers the folder dialog with one folder and every question with Yes.
class TBenchHost : public TSubscriptionHost {
public:
    QString Folder;
    int Exporter = 0;
    bool PickLocalFile(const QString&, QString&, int&) override { return false; }
    bool PickLocalFolder(QString& folder, int& exporter) override
    {
        folder = Folder;
        exporter = Exporter;
        return true;
    }
    bool PickDeviceFile(QString&, int&) override { return false; }
    bool PickDeviceFolder(QString&, int&) override { return false; }
    bool AskYesNo(const QString&) override { return true; }
};

// Descriptions of every kind: plain, with a character no file name takes, long ones alike in
// their first 120 bytes.
QString Description(int i)
{
    switch (i % 4) {
    case 0:
        return QStringLiteral("Speed camera %1").arg(i);
    case 1:
        return QStringLiteral("Fuel %1/24h").arg(i);
    case 2:
        return QString(130, QChar('x')) + QString::number(i);
    default:
        return QStringLiteral("Parking %1 Centre").arg(i);
    }
}

QString Escaped(QString text)
{
    return text.replace(QChar('&'), QStringLiteral("&amp;")).replace(QChar('<'), QStringLiteral("&lt;"));
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    UseBenchHome(home);
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    RegisterAllFormats();
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int runItems = std::min(count, argc > 2 ? std::max(1, atoi(argv[2])) : 2000);
    GetSettings().AlwaysOverwrite = true;
    LoadAutoUpdateProfiles();

    // The POI file every item downloads: a few lines of a generic text format.
    const QString poiFile = home.filePath(QStringLiteral("poi.asc"));
    SaveBytesToFile(poiFile, "; bench\r\n4.9, 52.3, \"Dam\"\r\n5.1, 52.1, \"Dom\"\r\n");
    const QString siteFile = home.filePath(QStringLiteral("site.xml"));
    const QString site = QStringLiteral("FILE://") + siteFile;
    {
        QString xml = QStringLiteral("<pois>");
        xml.reserve(qsizetype(count) * 140);
        for (int i = 0; i < count; ++i)
            xml += QStringLiteral("<poi><description>%1</description><url>FILE://%2</url><format>asc.genasc</format>"
                                  "<map>Netherlands</map></poi>")
                       .arg(Escaped(Description(i)), poiFile);
        xml += QStringLiteral("</pois>");
        SaveBytesToFile(siteFile, xml.toUtf8().toStdString());
    }
    QElapsedTimer timer;
    timer.start();
    TSite& catalogue = GetSite(site);
    const double loadMs = double(timer.nsecsElapsed()) / 1e6;
    TCountry& country = catalogue.Countries[0];
    const std::vector<TGroupRow> groups = GroupRows(catalogue, country);
    const TGroupRow& all = groups.back();
    const QString folder = home.filePath(QStringLiteral("targets"));
    QDir().mkpath(folder);
    TUpdateItems& profile = GetAutoUpdateProfile(0);
    TBenchHost host;
    host.Folder = folder;
    host.Exporter = TConvertToBase::IndexOf(QStringLiteral(".asc"), QStringLiteral("genasc"));
    std::printf("sites bench: %d POIs, load average %s\n", count, LoadAverage().c_str());
    std::printf("  catalogue load                     %9.1f ms (once)\n", loadMs);

    const auto emptyProfile = [&] {
        profile.Clear();
        profile.Save();
    };
    const auto allRows = [&] {
        std::vector<TSubscribeRow> rows;
        for (const TSiteItemRow& row : SiteItemRows(catalogue, country, all, TSortMark::None, profile))
            rows.push_back({ nullptr, site, row.Caption, country.CountryName, row.FileExt, row.FormatID });
        return rows;
    };
    std::vector<TSubscribeRow> rows;
    const double subscribeMs = BestOf5(
        [&] {
            emptyProfile();
            rows = allRows();
        },
        [&] {
            if (!SubscribeRows(profile, rows, TTargetKind::Local, host))
                std::printf("subscribe refused\n");
        });
    std::printf("  subscribe all into one folder      %9.1f ms (target < 2000)\n", subscribeMs);

    size_t shown = 0;
    const double allMs
        = BestOf5([] {}, [&] { shown = SiteItemRows(catalogue, country, all, TSortMark::None, profile).size(); });
    std::printf("  [All] rows, all subscribed         %9.1f ms (target < 2000, %zu rows)\n", allMs, shown);
    const double sortedMs = BestOf5(
        [] {}, [&] { shown = SiteItemRows(catalogue, country, all, TSortMark::SubscribedFirst, profile).size(); });
    std::printf("  [All] rows, subscribed first       %9.1f ms\n", sortedMs);

    const TWizardTarget target { TTargetKind::Local, folder, QStringLiteral(".asc"), QStringLiteral("genasc") };
    const double finishMs
        = BestOf5([] {}, [&] { CreateWizardItems(profile, catalogue, country, nullptr, target, true); });
    std::printf("  wizard Finish, replacing the site  %9.1f ms (target < 2000)\n", finishMs);

    bool duplicate = true;
    const double duplicateMs = BestOf5([] {}, [&] { duplicate = profile.HasDuplicateTarget(); });
    std::printf("  HasDuplicateTarget                 %9.1f ms (%s)\n", duplicateMs, duplicate ? "duplicate!" : "none");

    const double saveMs = BestOf5([] {}, [&] { profile.Save(); });
    std::printf("  profile save (%d items)        %9.1f ms\n", profile.Count(), saveMs);

    // The run over the first items of the whole profile, against the site's catalogue.
    double runMs = 0;
    int updated = 0;
    runMs = BestOf5([] {},
        [&] {
            const std::unique_ptr<TUpdateItems> view = TUpdateItems::CreateView();
            for (int i = 0; i < runItems; ++i)
                view->Add(&profile.GetItem(i));
            TUpdateRun run;
            run.SetItems(*view);
            run.Execute();
            updated = run.Updated() + run.UpToDate();
            if (run.Failed() > 0)
                std::printf("run: %d failed: %s\n", run.Failed(), qPrintable(run.Row(1).StatusText));
        });
    std::printf("  update run of %d items            %9.1f ms = %.2f ms an item (target < 5, %d done, catalogue "
                "fetch included)\n",
        runItems, runMs, runMs / runItems, updated);
    std::printf("load average after: %s\n", LoadAverage().c_str());
    return 0;
}
