// Metafile map pictures: load, the first paint at a zoom and the repaints after it.
//   tarvell-bench-metafile [runs]   (offscreen platform unless QT_QPA_PLATFORM says otherwise)
// Files, generated: 65,535 objects and 20,000 rounds of delete/create/select/draw (1.8 MB); a
// track of 8,000 points with a 50-unit pen, painted at zoom 4 (32 KB); a filled polygon of 4,000
// points scattered over the picture with a 50-unit pen (16 KB); 15 such polygons of 65,535 points
// (3.9 MB); and one file at each
// limit the reader enforces: the file size (polylines up to TMetafile::MaxFileSize), the picture
// side (TMetafile::MaxPictureSide pixels wide) and the bitmap pixels (one bitmap of
// TMetafile::MaxBitmapPixels). One step beyond each limit is refused with its message.
// Targets: load < 1 s, first paint at a zoom < 1 s, a repaint at that zoom < 100 ms; the view is
// 1024 x 768 at the picture's top-left corner. Best of the runs.
#include "core/uGeneral.h"
#include "maps/uMap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

namespace {

class TWmf {
public:
    void U16(int v)
    {
        Bytes.append(char(v & 0xFF));
        Bytes.append(char((v >> 8) & 0xFF));
    }
    void U32(uint32_t v)
    {
        U16(int(v & 0xFFFF));
        U16(int(v >> 16));
    }
    void Record(int function, const std::vector<int>& params)
    {
        U32(uint32_t(3 + params.size()));
        U16(function);
        for (int v : params)
            U16(v);
    }
    // A placeable header: bounds 0, 0 .. right, bottom at inch units an inch; then the header.
    TWmf(int right, int bottom, int inch, int objects)
    {
        U32(0x9AC6CDD7);
        U16(0);
        for (int v : { 0, 0, right, bottom })
            U16(v);
        U16(inch);
        U32(0);
        U16(0);
        U16(1);
        U16(9);
        U16(0x0300);
        U32(0);
        U16(objects);
        U32(0);
        U16(0);
    }
    QByteArray Finish()
    {
        Record(0, {});
        return Bytes;
    }
    QByteArray Bytes;
};

constexpr int CreatePen = 0x02FA, CreateBrush = 0x02FC, Select = 0x012D, Delete = 0x01F0, Rectangle = 0x041B,
              Polygon = 0x0324, Polyline = 0x0325, StretchDib = 0x0F43;

QByteArray Churn()
{
    TWmf wmf(1000, 1000, 96, 65535);
    std::mt19937 random(1);
    for (int i = 0; i < 65535; ++i)
        wmf.Record(CreateBrush, { 0, int(random() & 0xFFFF), int(random() & 0xFF), 0 });
    for (int i = 0; i < 20000; ++i) {
        const int slot = int(random() % 65535);
        wmf.Record(Delete, { slot });
        wmf.Record(CreateBrush, { 0, int(random() & 0xFFFF), int(random() & 0xFF), 0 });
        wmf.Record(Select, { slot });
        const int x = int(random() % 990), y = int(random() % 990);
        wmf.Record(Rectangle, { y + 10, x + 10, y, x });
    }
    return wmf.Finish();
}

// A track of count points, each up to 20 units from the one before, inside width x height.
std::vector<int> Track(int count, int width, int height, std::mt19937& random)
{
    std::vector<int> params { count };
    int x = int(random() % uint32_t(width)), y = int(random() % uint32_t(height));
    for (int i = 0; i < count; ++i) {
        x = std::clamp(x + int(random() % 41) - 20, 0, width - 1);
        y = std::clamp(y + int(random() % 41) - 20, 0, height - 1);
        params.push_back(x);
        params.push_back(y);
    }
    return params;
}

// A track of 8,000 points with a 50-unit pen over a 1000 x 1000 picture.
QByteArray WidePolyline()
{
    TWmf wmf(1000, 1000, 96, 1);
    std::mt19937 random(2);
    wmf.Record(CreatePen, { 0, 50, 0, 0x3399, 0 });
    wmf.Record(Select, { 0 });
    wmf.Record(Polyline, Track(8000, 1000, 1000, random));
    return wmf.Finish();
}

// count points anywhere in width x height: every edge crosses the picture and most others.
std::vector<int> Scatter(int count, int width, int height, std::mt19937& random)
{
    std::vector<int> params { count };
    for (int i = 0; i < count; ++i) {
        params.push_back(int(random() % uint32_t(width)));
        params.push_back(int(random() % uint32_t(height)));
    }
    return params;
}

// One filled polygon of 4,000 scattered points with a 50-unit pen over 1000 x 1000 (16 KB).
QByteArray CrossingPolygon()
{
    TWmf wmf(1000, 1000, 96, 2);
    std::mt19937 random(4);
    wmf.Record(CreatePen, { 0, 50, 0, 0x3399, 0 });
    wmf.Record(Select, { 0 });
    wmf.Record(CreateBrush, { 0, 0x66CC, 0x33, 0 });
    wmf.Record(Select, { 1 });
    wmf.Record(Polygon, Scatter(4000, 1000, 1000, random));
    return wmf.Finish();
}

// 15 filled polygons of 65,535 scattered points each with a 50-unit pen over 2000 x 2000
// (3.9 MB, under the file size limit).
QByteArray HugePolygons()
{
    TWmf wmf(2000, 2000, 96, 2);
    std::mt19937 random(5);
    wmf.Record(CreatePen, { 0, 50, 0, 0x3399, 0 });
    wmf.Record(Select, { 0 });
    wmf.Record(CreateBrush, { 0, 0x66CC, 0x33, 0 });
    wmf.Record(Select, { 1 });
    for (int i = 0; i < 15; ++i)
        wmf.Record(Polygon, Scatter(65535, 2000, 2000, random));
    return wmf.Finish();
}

// Tracks of 4,000 points with a thin pen until the file is size bytes long.
QByteArray LargeFile(int64_t size)
{
    TWmf wmf(2000, 2000, 96, 1);
    std::mt19937 random(3);
    wmf.Record(CreatePen, { 0, 1, 0, 0x3399, 0 });
    wmf.Record(Select, { 0 });
    const int64_t record = 6 + 2 + 4000 * 4;
    while (wmf.Bytes.size() + record + 6 <= size)
        wmf.Record(Polyline, Track(4000, 2000, 2000, random));
    // The rest in one shorter polyline, so that the file is exactly size bytes.
    const int64_t left = size - wmf.Bytes.size() - 6 - 8;
    if (left >= 0)
        wmf.Record(Polyline, Track(int(left / 4), 2000, 2000, random));
    QByteArray bytes = wmf.Finish();
    while (bytes.size() < size)
        bytes.append('\0');
    return bytes;
}

// A picture side pixels wide (and a tenth of that high) with a grid of rectangles.
QByteArray WidePicture(int side)
{
    // 30 units an inch: side pixels are side * 30 / 96 units.
    const int units = int(std::lround(side * 30.0 / 96));
    TWmf wmf(units, units / 10, 30, 1);
    wmf.Record(CreateBrush, { 0, 0x66CC, 0x33, 0 });
    wmf.Record(Select, { 0 });
    for (int x = 0; x + 50 < units; x += 100)
        for (int y = 0; y + 50 < units / 10; y += 100)
            wmf.Record(Rectangle, { y + 50, x + 50, y, x });
    return wmf.Finish();
}

// One 1-bit bitmap of width x height pixels stretched over the picture.
QByteArray Bitmap(int width, int height)
{
    TWmf wmf(1000, 1000, 96, 0);
    const int stride = ((width + 31) / 32) * 4;
    std::vector<int> params { 0x0020, 0x00CC, 0, height, width, 0, 0, 1000, 1000, 0, 0 };
    QByteArray dib;
    const auto u32 = [&dib](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib.append(char((v >> (8 * i)) & 0xFF));
    };
    u32(40);
    u32(uint32_t(width));
    u32(uint32_t(height));
    u32(1 | (1u << 16));
    u32(0);
    u32(uint32_t(stride) * uint32_t(height));
    u32(0);
    u32(0);
    u32(2);
    u32(0);
    u32(0x00FFFFFF);
    u32(0x00336699);
    QByteArray bits(qsizetype(stride) * height, '\0');
    for (qsizetype i = 0; i < bits.size(); i += 3)
        bits[i] = char(0xA5);
    dib += bits;
    if (dib.size() % 2)
        dib.append('\0');
    wmf.U32(uint32_t(3 + params.size() + dib.size() / 2));
    wmf.U16(StretchDib);
    for (int v : params)
        wmf.U16(v);
    wmf.Bytes += dib;
    return wmf.Finish();
}

struct TTimes {
    double Load = 1e9, First = 1e9, Repaint = 1e9;
};

double Ms(QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

TTimes Measure(const QString& path, double zoom, int runs)
{
    TTimes best;
    QImage view(1024, 768, QImage::Format_ARGB32_Premultiplied);
    for (int run = 0; run < runs; ++run) {
        TMapPicture picture;
        QElapsedTimer timer;
        timer.start();
        picture.LoadFromFile(path);
        best.Load = std::min(best.Load, Ms(timer));
        const QRectF target(0, 0, std::round(picture.Width() * zoom), std::round(picture.Height() * zoom));
        const auto paint = [&] {
            view.fill(Qt::white);
            QPainter painter(&view);
            picture.Draw(painter, target, view.rect());
        };
        timer.restart();
        paint();
        best.First = std::min(best.First, Ms(timer));
        for (int again = 0; again < 3; ++again) {
            timer.restart();
            paint();
            best.Repaint = std::min(best.Repaint, Ms(timer));
        }
    }
    return best;
}

QString Write(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", name);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    // A second argument measures only that case (0 ..), for a look at one file.
    const int only = argc > 2 ? atoi(argv[2]) : -1;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QTemporaryDir dir;
    const int bitmapSide = int(std::sqrt(double(TMetafile::MaxBitmapPixels)));
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        std::vector<double> Zooms;
    };
    const std::vector<TCase> cases {
        { "churn.wmf (65,535 objects, 20,000 rounds)", Churn(), { 1, 4 } },
        { "polyline.wmf (8,000 points, pen 50)", WidePolyline(), { 4 } },
        { "crossing.wmf (4,000-point polygon, pen 50)", CrossingPolygon(), { 1, 4 } },
        { "polygons.wmf (15 x 65,535-point polygons)", HugePolygons(), { 1, 4 } },
        { "largest.wmf (file size limit)", LargeFile(TMetafile::MaxFileSize), { 1, 4 } },
        { "widest.wmf (picture side limit)", WidePicture(TMetafile::MaxPictureSide), { 1, 4 } },
        { "bitmap.wmf (bitmap pixel limit)", Bitmap(bitmapSide, int(TMetafile::MaxBitmapPixels / bitmapSide)), { 1, 4 } },
    };
    std::printf("best of %d; view 1024 x 768; targets: load < 1000 ms, first paint < 1000 ms, repaint < 100 ms\n", runs);
    bool met = true;
    int index = 0;
    for (const TCase& c : cases) {
        if (only >= 0 && index != only) {
            ++index;
            continue;
        }
        const QString path = Write(dir, QByteArray::number(index++).append(".wmf").constData(), c.Bytes);
        for (double zoom : c.Zooms) {
            TTimes t;
            try {
                t = Measure(path, zoom, runs);
            } catch (const ETarvellError& e) {
                std::printf("%s: %s\n", c.Name, qPrintable(e.Message()));
                met = false;
                continue;
            }
            const bool ok = t.Load < 1000 && t.First < 1000 && t.Repaint < 100;
            met = met && ok;
            std::printf("%-45s %8lld bytes zoom %g: load %8.1f ms, first paint %8.1f ms, repaint %6.2f ms%s\n", c.Name,
                qint64(c.Bytes.size()), zoom, t.Load, t.First, t.Repaint, ok ? "" : "  MISSED");
        }
    }
    // One step beyond each limit: refused with a message.
    const std::vector<std::pair<const char*, QByteArray>> beyond {
        { "file size + 1", LargeFile(TMetafile::MaxFileSize + 1) },
        { "picture side + 4", WidePicture(TMetafile::MaxPictureSide + 4) },
        { "bitmap pixels + one row", Bitmap(bitmapSide, int(TMetafile::MaxBitmapPixels / bitmapSide) + 1) },
    };
    for (const auto& [name, bytes] : beyond) {
        if (only >= 0)
            break;
        const QString path = Write(dir, "beyond.wmf", bytes);
        try {
            TMapPicture picture;
            picture.LoadFromFile(path);
            std::printf("beyond the limit, %s: LOADED (%d x %d)\n", name, picture.Width(), picture.Height());
            met = false;
        } catch (const ETarvellError& e) {
            std::printf("beyond the limit, %s: refused: %s\n", name, qPrintable(e.Message()));
        }
    }
    std::printf(met ? "all targets met\n" : "targets missed\n");
    return met ? 0 : 1;
}
