// Draws the sample map (amsterdam.jpg, 1000 x 760 pixels, longitude 4.855 to 4.930, latitude
// 52.350 to 52.385) with a labelled 0.005 degree graticule, a scale bar and made-up shapes, and
// writes its calibration file with the picture's real size beside it.
// Usage: samplemap <output folder>
#include "maps/uMapCalibration.h"

#include "core/uGeneral.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr int Width = 1000;
constexpr int Height = 760;
constexpr double West = 4.855, East = 4.930, South = 52.350, North = 52.385;

double X(double lon)
{
    return (lon - West) / (East - West) * Width;
}
double Y(double lat)
{
    return (North - lat) / (North - South) * Height;
}

// Metres per degree of longitude at the map's middle latitude (a sphere of the mean radius).
double MetresPerDegreeLon()
{
    constexpr double pi = 3.14159265358979323846;
    return 6371008.8 * pi / 180 * std::cos((South + North) / 2 * pi / 180);
}

void DrawShapes(QPainter& p)
{
    p.fillRect(0, 0, Width, Height, QColor(242, 238, 228));
    // A river running west to east across the north, with a harbour basin.
    QPainterPath river;
    river.moveTo(-10, 150);
    river.cubicTo(250, 90, 420, 210, 640, 140);
    river.cubicTo(780, 95, 880, 120, 1010, 90);
    river.lineTo(1010, 40);
    river.cubicTo(860, 70, 760, 40, 630, 85);
    river.cubicTo(420, 150, 260, 40, -10, 95);
    river.closeSubpath();
    p.setPen(QPen(QColor(120, 160, 200), 2));
    p.setBrush(QColor(170, 205, 235));
    p.drawPath(river);
    // Canals: rings around a centre in the north, cut off by the river.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(170, 205, 235), 7));
    for (int r = 170; r <= 410; r += 60)
        p.drawArc(QRectF(X(4.8935) - r, Y(52.3785) - r, 2.0 * r, 2.0 * r), 180 * 16, 180 * 16);
    // Parks.
    p.setPen(QPen(QColor(110, 160, 100), 1.5));
    p.setBrush(QColor(190, 225, 170));
    p.drawRoundedRect(QRectF(X(4.8625), Y(52.3605), X(4.8770) - X(4.8625), Y(52.3555) - Y(52.3605)), 18, 18);
    p.drawEllipse(QPointF(X(4.9165), Y(52.3660)), 46, 30);
    // Main roads: straight and gently bent lines of our own.
    p.setPen(QPen(QColor(250, 250, 250), 9, Qt::SolidLine, Qt::RoundCap));
    const QLineF roads[] = { { 0, 560, 1000, 470 }, { 120, 760, 380, 180 }, { 700, 760, 560, 160 },
        { 0, 330, 1000, 300 }, { 860, 760, 930, 120 } };
    for (const QLineF& road : roads)
        p.drawLine(road);
    p.setPen(QPen(QColor(200, 190, 170), 1));
    for (const QLineF& road : roads)
        p.drawLine(road);
    // Blocks of houses, scattered with a fixed seed so that every build draws the same map.
    std::mt19937 random(20061);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(222, 208, 190));
    for (int i = 0; i < 260; ++i) {
        const double x = random() % Width, y = 170 + random() % (Height - 170);
        p.drawRect(QRectF(x, y, 8 + random() % 18, 6 + random() % 14));
    }
}

void DrawGraticule(QPainter& p)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    const QPen line(QColor(90, 90, 140, 150), 1, Qt::DashLine);
    const QColor label(40, 40, 90);
    // Whole steps of 0.005 degrees, counted in thousandths so that no rounding creeps in.
    for (int m = 4855; m <= 4930; m += 5) {
        const double x = X(m / 1000.0);
        p.setPen(line);
        p.drawLine(QPointF(x, 0), QPointF(x, Height));
        const QString text = QStringLiteral("%1\u00B0 E").arg(m / 1000.0, 0, 'f', 3);
        // The east edge has no room for a label right of its line.
        if (x + 80 > Width)
            continue;
        p.setPen(label);
        p.drawText(QRectF(x + 3, Height - 16, 80, 14), Qt::AlignLeft, text);
        p.drawText(QRectF(x + 3, 2, 80, 14), Qt::AlignLeft, text);
    }
    for (int m = 52350; m <= 52385; m += 5) {
        const double y = Y(m / 1000.0);
        p.setPen(line);
        p.drawLine(QPointF(0, y), QPointF(Width, y));
        p.setPen(label);
        // Above the line, clear of the longitude labels at the edges.
        const double top = std::clamp(y - 15, 18.0, Height - 34.0);
        p.drawText(QRectF(3, top, 90, 14), Qt::AlignLeft, QStringLiteral("%1\u00B0 N").arg(m / 1000.0, 0, 'f', 3));
    }
}

void DrawScaleBar(QPainter& p)
{
    const double pixelsPer100m = 100 / (MetresPerDegreeLon() * (East - West) / Width);
    const QPointF origin(Width - 40 - 5 * pixelsPer100m, Height - 50);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRect(QRectF(origin.x() - 12, origin.y() - 26, 5 * pixelsPer100m + 50, 42));
    for (int i = 0; i < 5; ++i) {
        p.setBrush(i % 2 ? QColor(Qt::white) : QColor(30, 30, 30));
        p.setPen(QPen(QColor(30, 30, 30), 1));
        p.drawRect(QRectF(origin.x() + i * pixelsPer100m, origin.y(), pixelsPer100m, 6));
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    p.drawText(QPointF(origin.x() - 3, origin.y() - 6), QStringLiteral("0"));
    p.drawText(QPointF(origin.x() + 2.5 * pixelsPer100m - 12, origin.y() - 6), QStringLiteral("250 m"));
    p.drawText(QPointF(origin.x() + 5 * pixelsPer100m - 14, origin.y() - 6), QStringLiteral("500 m"));
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QPointF(16, 40), QStringLiteral("Tarvell sample map \u2013 made-up shapes, not for navigation"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: samplemap <output folder>\n");
        return 2;
    }
    // Drawing text needs a GUI application, never a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "samplemap: cannot create %s\n", argv[1]);
        return 1;
    }
    QImage image(Width, Height, QImage::Format_RGB32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        DrawShapes(p);
        DrawGraticule(p);
        DrawScaleBar(p);
    }
    const QString picture = QDir(folder).filePath(QStringLiteral("amsterdam.jpg"));
    if (!image.save(picture, "JPG", 90)) {
        std::fprintf(stderr, "samplemap: cannot write %s\n", qPrintable(picture));
        return 1;
    }
    TMapCalibration calibration;
    calibration.Cal1Lon = West;
    calibration.Cal1Lat = South;
    calibration.Cal1X = 0;
    calibration.Cal1Y = Height;
    calibration.Cal2Lon = East;
    calibration.Cal2Lat = North;
    calibration.Cal2X = Width;
    calibration.Cal2Y = 0;
    try {
        SaveCalibration(picture, calibration);
    } catch (const ETarvellError& e) {
        std::fprintf(stderr, "samplemap: %s\n", e.what());
        return 1;
    }
    return 0;
}
