// One repaint of the map control with 100,000 POIs in view at 1280 x 1024, as the internal map
// window draws them (bounds test and DrawMarkerAt per entry), at zoom 1 and with only a
// 1280 x 1024 part exposed of larger zooms. Prints the best of 5 runs of each.
//   tarvell-bench-map [count]   (offscreen platform unless QT_QPA_PLATFORM says otherwise)
#include "maps/uMap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

struct TPosition {
    double Lat;
    double Lon;
};

double BestOf5(TOrvikMap& map, const QRect& view)
{
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        map.render(&target, QPoint(), QRegion(view));
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    constexpr int Width = 1280, Height = 1024;

    QImage picture(Width, Height, QImage::Format_RGB32);
    {
        QPainter p(&picture);
        p.fillRect(picture.rect(), QColor(242, 238, 228));
        p.setPen(QColor(90, 90, 140));
        for (int x = 0; x < Width; x += 64)
            p.drawLine(x, 0, x, Height);
        for (int y = 0; y < Height; y += 64)
            p.drawLine(0, y, Width, y);
    }
    TOrvikMap map;
    TMapPicture mapPic;
    mapPic.SetImage(picture);
    map.SetMapPic(mapPic);
    map.SetMarker(MapMarkerPicture());
    map.SetCal1Lon(4.855);
    map.SetCal1Lat(52.350);
    map.SetCal1X(0);
    map.SetCal1Y(Height);
    map.SetCal2Lon(4.930);
    map.SetCal2Lat(52.385);
    map.SetCal2X(Width);
    map.SetCal2Y(0);

    std::mt19937 random(7);
    std::uniform_real_distribution<double> lon(4.855, 4.930), lat(52.350, 52.385);
    std::vector<TPosition> positions(static_cast<size_t>(count));
    for (auto& p : positions)
        p = { lat(random), lon(random) };
    // The view's bounds, as the window takes them from its scroll position.
    QRect view;
    map.OnPaintMarkers = [&](TOrvikMap& sender) {
        const double west = sender.XToLon(view.left()), east = sender.XToLon(view.right() + 1);
        const double north = sender.YToLat(view.top()), south = sender.YToLat(view.bottom() + 1);
        for (const TPosition& p : positions)
            if (p.Lon >= west && p.Lon <= east && p.Lat >= south && p.Lat <= north)
                sender.DrawMarkerAt(p.Lat, p.Lon);
    };

    std::printf("map control repaint, %d POIs, view %d x %d, best of 5:\n", count, Width, Height);
    for (const double zoom : { 1.0, 2.0, 4.0, 0.5 }) {
        map.SetZoom(zoom);
        // The middle of the picture at that zoom.
        view = QRect((map.width() - Width) / 2, (map.height() - Height) / 2, Width, Height).intersected(map.rect());
        int inView = 0;
        const double west = map.XToLon(view.left()), east = map.XToLon(view.right() + 1);
        const double north = map.YToLat(view.top()), south = map.YToLat(view.bottom() + 1);
        for (const TPosition& p : positions)
            inView += p.Lon >= west && p.Lon <= east && p.Lat >= south && p.Lat <= north;
        std::printf("  zoom %.1f: %8.2f ms (%d POIs in view)\n", zoom, BestOf5(map, view), inView);
    }
    return 0;
}
