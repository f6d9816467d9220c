// The site manager over a local site of many POIs (100,000 by default), driven as a user does:
// the "[All]" group chosen, every row selected and subscribed into one folder (the folder dialog
// answered), the list refilled, and the status window over status-rows (all) of the items: shown,
// then a silent run through it, against the same run without a window for the window's own cost
// an item; each figure the best of 5 (offscreen platform unless QT_QPA_PLATFORM says otherwise).
//   tarvell-bench-sitewindows [count [status-rows]]
#include "uBenchSites.h"
#include "app/windowbase/dMain.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fBrowseFolder.h"
#include "app/windows/fStatus.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "sites/uUpdateItems.h"

#include "../tests/app/SiteWindowsTestAccess.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace {

class TBenchHost : public TSiteManagerHost {
public:
    void RunUpdate(const std::function<void()>& body) override { body(); }
    void AutoUpdateProfileClick(QAction*) override { }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    UseBenchHome(home);
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    RegisterAllFormats();
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int statusRows = argc > 2 ? std::max(1, atoi(argv[2])) : count;
    LoadAutoUpdateProfiles();

    const QString siteFile = home.filePath(QStringLiteral("site.xml"));
    const QString site = QStringLiteral("FILE://") + siteFile;
    {
        QString xml = QStringLiteral("<pois>");
        xml.reserve(qsizetype(count) * 120);
        for (int i = 0; i < count; ++i)
            xml += QStringLiteral("<poi><description>POI %1/%2</description><url>/p%1.asc</url>"
                                  "<format>asc.genasc</format><map>Netherlands</map></poi>")
                       .arg(i)
                       .arg(i % 7);
        SaveBytesToFile(siteFile, (xml + QStringLiteral("</pois>")).toUtf8().toStdString());
    }
    const QString folder = home.filePath(QStringLiteral("targets"));
    QDir().mkpath(folder);
    GetSettings().Sites = QStringList { site };
    GetSettings().InitialDir = folder;
    TdmMain data;
    TBenchHost host;
    TfmSiteManager form(nullptr, data, &host);
    form.show();
    const TfmSiteManagerTestAccess access(form);
    access.lvSites()->setCurrentRow(0);
    QListWidget* groups = access.lvGroups();
    QTreeWidget* items = access.lvItems();
    std::printf("site manager bench: %d POIs, load average %s\n", count, LoadAverage().c_str());

    TUpdateItems& profile = GetAutoUpdateProfile(0);
    const double allMs = BestOf5([&] { groups->setCurrentRow(-1); },
        [&] {
            groups->setCurrentRow(groups->count() - 1);
            QCoreApplication::processEvents();
        });
    std::printf(
        "  [All] chosen (%d rows, none subscribed)   %9.1f ms (target < 2000)\n", items->topLevelItemCount(), allMs);

    // The folder dialog answers at once with the folder, the existing-files question never comes.
    const auto answerFolder = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<TfmBrowseFolder*>(QApplication::activeModalWidget())) {
                dialog->SetDirectory(folder);
                dialog->accept();
            }
        });
    };
    const double subscribeMs = BestOf5(
        [&] {
            profile.Clear();
            profile.Save();
            groups->setCurrentRow(-1);
            groups->setCurrentRow(groups->count() - 1);
            items->selectAll();
            answerFolder();
        },
        [&] {
            access.acSubscribeLocal()->trigger();
            QCoreApplication::processEvents();
        });
    std::printf("  subscribe all selected into one folder     %9.1f ms (target < 2000, %d items)\n", subscribeMs,
        profile.Count());

    const double allSubscribedMs = BestOf5([&] { groups->setCurrentRow(-1); },
        [&] {
            groups->setCurrentRow(groups->count() - 1);
            QCoreApplication::processEvents();
        });
    std::printf("  [All] chosen, all subscribed               %9.1f ms (target < 2000)\n", allSubscribedMs);

    // The status window's rows for a run over every item (the run itself is tarvell-bench-sites').
    const std::unique_ptr<TUpdateItems> view = TUpdateItems::CreateView();
    for (int i = 0; i < std::min(statusRows, profile.Count()); ++i)
        view->Add(&profile.GetItem(i));
    std::unique_ptr<TfmStatus> status;
    const double statusMs = BestOf5(
        [&] {
            status.reset();
            QCoreApplication::processEvents();
        },
        [&] {
            status = std::make_unique<TfmStatus>();
            status->SetItems(*view);
            status->show();
            QCoreApplication::processEvents();
        });
    std::printf("  status window shown, %d rows          %9.1f ms (target < 2000) = %.4f ms a row\n",
        status->Run().RowCount(), statusMs, statusMs / std::max(1, view->Count()));

    // The run's items are not on the disk: each fails at once, so the engine's share is small and
    // the window's (the row's state, texts, tip, scrolling and the events let through) shows.
    const auto freshWindow = [&] {
        status.reset();
        QCoreApplication::processEvents();
        status = std::make_unique<TfmStatus>();
        status->SetSilent(true);
        status->SetItems(*view);
        status->show();
        QCoreApplication::processEvents();
    };
    const double windowRunMs = BestOf5(freshWindow, [&] { status->Timer1Timer(); });
    const TUpdateRun& shown = status->Run();
    std::printf("  run through the window                     %9.1f ms (%d updated, %d up to date, %d failed)\n",
        windowRunMs, shown.Updated(), shown.UpToDate(), shown.Failed());
    if (shown.RowCount() > 1)
        std::printf("    first item: %s\n", qPrintable(shown.Row(1).StatusText.left(120)));
    std::unique_ptr<TUpdateRun> bare;
    const double bareRunMs = BestOf5(
        [&] {
            bare = std::make_unique<TUpdateRun>();
            bare->SetSilent(true);
            bare->SetItems(*view);
        },
        [&] { bare->Execute(); });
    bare.reset();
    std::printf("  the same run without a window              %9.1f ms\n", bareRunMs);
    std::printf("  the window's own cost                      %9.4f ms an item (target < 5)\n",
        (windowRunMs - bareRunMs) / std::max(1, view->Count()));
    QElapsedTimer closing;
    closing.start();
    status.reset();
    std::printf("  status window closed                       %9.1f ms\n", double(closing.nsecsElapsed()) / 1e6);
    std::printf("load average after: %s\n", LoadAverage().c_str());
    return 0;
}
