// A rubber band over a million POIs in a child window's internal map: the band's end filters the
// map's POIs, selects them in the list and pushes the selection back to the map.
//   tarvell-bench-maps [count] [runs]   (offscreen platform unless QT_QPA_PLATFORM says otherwise)
// The POIs lie over a country-sized calibrated picture; the band holds about a tenth of them.
#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "maps/fMapInternal.h"
#include "maps/uMapCalibration.h"
#include "maps/uMapInternal.h"
#include "uBenchData.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    // The generator's area, 3..7 E and 50.7..53.5 N, on a 1000 x 700 picture.
    const QString maps = home.filePath(QStringLiteral("maps/"));
    QDir().mkpath(maps);
    QImage picture(1000, 700, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.save(maps + QStringLiteral("country.bmp"));
    TMapCalibration calibration;
    calibration.Cal1Lon = 3.0;
    calibration.Cal1Lat = 50.7;
    calibration.Cal1X = 0;
    calibration.Cal1Y = 700;
    calibration.Cal2Lon = 7.0;
    calibration.Cal2Lat = 53.5;
    calibration.Cal2X = 1000;
    calibration.Cal2Y = 0;
    SaveCalibration(maps + QStringLiteral("country.bmp"), calibration);
    SetMapsFolder(maps);

    TdmMain data;
    TfmTarvellMainForm main(data);
    main.resize(1280, 1024);
    main.show();
    TMDIChild* child = main.NewChild();
    main.ShowChild(child);
    GeneratePois(child->Entries(), count);
    child->Refresh();
    auto* map = qobject_cast<TfmMapInternal*>(child->MapForm());
    if (!map) {
        std::fprintf(stderr, "no map window\n");
        return 1;
    }
    auto* select = map->findChild<QAction*>(QStringLiteral("acSelect"));
    auto* control = map->findChild<TOrvikMap*>(QStringLiteral("OrvikMap1"));
    if (!select || !control) {
        std::fprintf(stderr, "the map window has no select command or map control\n");
        return 1;
    }
    // About a tenth of the area: 316 x 221 of the 1000 x 700 pixels, from the north-west corner
    // (QTest takes the point 0, 0 for the widget's centre).
    const QPoint from(1, 1);
    const QPoint to(317, 222);
    double best = 1e9;
    int selected = 0;
    for (int run = 0; run < runs; ++run) {
        child->SelectAll();
        select->trigger();
        QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(control, to);
        // From the band's end to the selection pushed back to the map; the repaint that follows
        // is not part of it.
        QElapsedTimer timer;
        double ms = 0;
        const auto selectEntries = map->OnSelectEntries;
        map->OnSelectEntries = [&](TEntries& entries) {
            selectEntries(entries);
            ms = double(timer.nsecsElapsed()) / 1e6;
        };
        timer.start();
        QTest::mouseRelease(control, Qt::LeftButton, Qt::NoModifier, to);
        map->OnSelectEntries = selectEntries;
        best = std::min(best, ms);
        selected = int(child->SelectedIndices().size());
        std::printf("run %d: band selecting %d of %d POIs (filter, list selection, push back): %.1f ms (map shows %d)\n",
            run + 1, selected, count, ms, map->Entries().Count());
    }
    std::printf("best of %d: %.1f ms\n", runs, best);
    SetMapsFolder(QString());
    return 0;
}
