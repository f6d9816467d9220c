// The metafile reader: what it draws, and that no damaged file crashes it or makes it allocate
// hugely.
#include "maps/uMetafile.h"

#include "MapTestSupport.h"
#include "core/uGeneral.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>

namespace {

// Builds metafiles record by record.
class TWmfWriter {
public:
    TWmfWriter& Word(int v)
    {
        FRecord.push_back(char(v & 0xFF));
        FRecord.push_back(char((v >> 8) & 0xFF));
        return *this;
    }
    TWmfWriter& Dword(uint32_t v) { return Word(int(v & 0xFFFF)).Word(int(v >> 16)); }
    TWmfWriter& Bytes(const std::string& bytes)
    {
        FRecord += bytes;
        if (FRecord.size() % 2)
            FRecord.push_back('\0');
        return *this;
    }
    TWmfWriter& End(uint16_t function)
    {
        std::string head;
        const uint32_t words = uint32_t(3 + FRecord.size() / 2);
        for (int i = 0; i < 4; ++i)
            head.push_back(char((words >> (8 * i)) & 0xFF));
        head.push_back(char(function & 0xFF));
        head.push_back(char(function >> 8));
        FRecords += head + FRecord;
        FRecord.clear();
        return *this;
    }
    // Placeable header with a bounding box of w x h logical units at 96 units per inch.
    std::string File(int w, int h, int objects = 8, bool placeable = true) const
    {
        TWmfWriter out;
        if (placeable)
            out.Dword(0x9AC6CDD7).Word(0).Word(0).Word(0).Word(w).Word(h).Word(96).Dword(0).Word(0);
        const std::string records = FRecords + std::string("\x03\0\0\0\0\0", 6);
        out.Word(1).Word(9).Word(0x0300).Dword(uint32_t(9 + records.size() / 2)).Word(objects).Dword(0).Word(0);
        return out.FRecord + records;
    }

    std::string Take() { return std::exchange(FRecord, {}); }

private:
    std::string FRecord;
    std::string FRecords;
};

TWmfWriter& Brush(TWmfWriter& w, uint32_t colorref)
{
    return w.Word(0).Dword(colorref).Word(0).End(0x02FC);
}
TWmfWriter& NullPen(TWmfWriter& w)
{
    return w.Word(5).Word(0).Word(0).Dword(0).End(0x02FA);
}

QImage Render(const TMetafile& m, QSize size, QRectF target = {})
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    m.Draw(p, target.isNull() ? QRectF(QPointF(0, 0), QSizeF(size)) : target);
    return image;
}

// A 2 x 2 bitmap, 24 bits, bottom-up: bottom row red, blue; top row green, white.
std::string Dib2x2()
{
    TWmfWriter w;
    w.Dword(40).Dword(2).Dword(2).Word(1).Word(24).Dword(0).Dword(16).Dword(0).Dword(0).Dword(0).Dword(0);
    // Pixels are blue, green, red; rows are padded to 4 bytes.
    w.Bytes(std::string("\x00\x00\xFF\xFF\x00\x00\x00\x00", 8));
    w.Bytes(std::string("\x00\xFF\x00\xFF\xFF\xFF\x00\x00", 8));
    return w.Take();
}

} // namespace

std::string SampleMetafile()
{
    TWmfWriter w;
    w.Word(100).Word(200).End(0x020C); // window extent 200 x 100
    w.Word(0).Word(0).End(0x020B);
    NullPen(w);
    w.Word(0).End(0x012D);
    Brush(w, 0x0000FF); // red
    w.Word(1).End(0x012D);
    w.Word(50).Word(100).Word(0).Word(0).End(0x041B); // rectangle (0, 0)-(100, 50)
    Brush(w, 0xFF0000); // blue, object 2
    w.Word(2).End(0x012D);
    w.Word(3).Word(100).Word(50).Word(200).Word(50).Word(150).Word(100).End(0x0324); // triangle
    w.Word(1).End(0x01F0); // delete the red brush: slot 1 is free again
    Brush(w, 0x00FF00); // green, slot 1
    w.Word(1).End(0x012D);
    w.Word(100).Word(100).Word(50).Word(0).End(0x0418); // ellipse (0, 50)-(100, 100)
    // StretchDIB: SRCCOPY, DIB colours, source 2 x 2 at (0, 0), destination 20 x 20 at (170, 10).
    w.Dword(0x00CC0020)
        .Word(0)
        .Word(2)
        .Word(2)
        .Word(0)
        .Word(0)
        .Word(20)
        .Word(20)
        .Word(10)
        .Word(170)
        .Bytes(Dib2x2())
        .End(0x0F43);
    // Text: a font, then "Hi" at (120, 5).
    w.Word(-20)
        .Word(0)
        .Word(0)
        .Word(0)
        .Word(700)
        .Word(0)
        .Word(0)
        .Word(0)
        .Word(0)
        .Bytes("DejaVu Sans")
        .Word(0)
        .End(0x02FB);
    w.Word(3).End(0x012D);
    w.Word(2).Bytes("Hi").Word(5).Word(120).End(0x0521);
    return w.File(200, 100);
}

namespace {
std::string SampleFile()
{
    return SampleMetafile();
}
} // namespace

TEST(Metafile, DrawsTheCommonRecords)
{
    TMetafile m;
    ASSERT_NO_THROW(m.LoadFromBytes(SampleFile()));
    EXPECT_EQ(m.Width(), 200);
    EXPECT_EQ(m.Height(), 100);
    const QImage image = Render(m, QSize(400, 200)); // twice the size
    const struct {
        int x, y;
        QRgb rgb;
        const char* what;
    } cases[] = {
        { 50, 40, qRgb(255, 0, 0), "rectangle" },
        { 300, 120, qRgb(0, 0, 255), "polygon" },
        { 100, 150, qRgb(0, 255, 0), "ellipse" },
        { 5, 195, qRgb(255, 255, 255), "outside the ellipse" },
        // The bitmap at (340, 20)-(380, 60): its top row is green, white; the bottom row red, blue.
        { 350, 30, qRgb(0, 255, 0), "bitmap top left" },
        { 370, 30, qRgb(255, 255, 255), "bitmap top right" },
        { 350, 50, qRgb(255, 0, 0), "bitmap bottom left" },
        { 370, 50, qRgb(0, 0, 255), "bitmap bottom right" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(image.pixel(c.x, c.y) & 0xFFFFFF, c.rgb & 0xFFFFFF) << c.what;
    // The text left some black pixels around (240..300, 10..60).
    int dark = 0;
    for (int y = 10; y < 60; ++y)
        for (int x = 240; x < 320; ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(dark, 20);
}

TEST(Metafile, WithoutPlaceableHeaderTheExtentGivesTheSize)
{
    TWmfWriter w;
    w.Word(30).Word(40).End(0x020C);
    TMetafile m;
    m.LoadFromBytes(w.File(0, 0, 0, false));
    EXPECT_EQ(m.Width(), 40);
    EXPECT_EQ(m.Height(), 30);
    TWmfWriter none;
    none.Word(0).End(0x012D);
    EXPECT_THROW(m.LoadFromBytes(none.File(0, 0, 0, false)), EConvertError);
    EXPECT_TRUE(m.IsEmpty());
}

TEST(Metafile, RefusesWhatItCannotDraw)
{
    const std::string good = SampleFile();
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        { "empty", "" },
        { "a JPEG", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) },
        { "placeable header only", good.substr(0, 22) },
        { "header cut", good.substr(0, 30) },
        { "record cut", good.substr(0, good.size() - 40) },
        { "select of a missing object",
            [] {
                TWmfWriter w;
                w.Word(100).Word(100).End(0x020C).Word(7).End(0x012D);
                return w.File(100, 100);
            }() },
        { "more objects than the header allows",
            [] {
                TWmfWriter w;
                Brush(w, 0);
                Brush(w, 0);
                return w.File(100, 100, 1);
            }() },
        { "polygon with 65535 points in 4 bytes",
            [] {
                TWmfWriter w;
                w.Word(0xFFFF).Word(1).End(0x0324);
                return w.File(100, 100);
            }() },
        { "bitmap claiming 30000 x 30000 pixels",
            [] {
                TWmfWriter w;
                w.Dword(0x00CC0020).Word(0).Word(2).Word(2).Word(0).Word(0).Word(20).Word(20).Word(0).Word(0);
                w.Dword(40)
                    .Dword(30000)
                    .Dword(30000)
                    .Word(1)
                    .Word(24)
                    .Dword(0)
                    .Dword(0)
                    .Dword(0)
                    .Dword(0)
                    .Dword(0)
                    .Dword(0)
                    .End(0x0F43);
                return w.File(100, 100);
            }() },
        { "record of size 0", good.substr(0, 40) + std::string(6, '\0') + good.substr(46) },
        { "zero units per inch",
            [&] {
                std::string b = good;
                b[14] = b[15] = 0;
                return b;
            }() },
    };
    for (const auto& c : cases) {
        TMetafile m;
        EXPECT_THROW(m.LoadFromBytes(c.bytes), EConvertError) << c.name;
        EXPECT_TRUE(m.IsEmpty()) << c.name;
    }
}

TEST(Metafile, DamagedFilesNeverCrash)
{
    const std::string good = SampleFile();
    // Every truncation.
    for (size_t n = 0; n < good.size(); ++n) {
        TMetafile m;
        try {
            m.LoadFromBytes(good.substr(0, n));
            Render(m, QSize(50, 25));
        } catch (const EConvertError&) {
        }
    }
    // Random damage: bytes set to 0x00, 0xFF or a random value, counts and sizes among them.
    std::mt19937 random(1234);
    int loaded = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = good;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) {
            const size_t at = random() % bytes.size();
            const int kind = int(random() % 3);
            bytes[at] = kind == 0 ? '\0' : kind == 1 ? '\xFF' : char(random());
        }
        TMetafile m;
        try {
            m.LoadFromBytes(bytes);
            ++loaded;
            Render(m, QSize(60, 30));
        } catch (const EConvertError&) {
        }
    }
    EXPECT_GT(loaded, 0);
}

// A new object takes the lowest free slot, however many are free and in which order they were
// freed; a slot deleted twice is free once.
TEST(Metafile, NewObjectsTakeTheLowestFreeSlot)
{
    TWmfWriter w;
    NullPen(w); // 0
    Brush(w, 0x0000FF); // 1 red
    Brush(w, 0x00FF00); // 2 green
    Brush(w, 0xFF0000); // 3 blue
    w.Word(0).End(0x012D);
    w.Word(3).End(0x01F0);
    w.Word(1).End(0x01F0);
    w.Word(1).End(0x01F0);
    w.Word(2).End(0x01F0);
    Brush(w, 0x00FFFF); // yellow: slot 1
    Brush(w, 0xFF00FF); // magenta: slot 2
    Brush(w, 0xFFFF00); // cyan: slot 3
    w.Word(1).End(0x012D);
    w.Word(10).Word(10).Word(0).Word(0).End(0x041B);
    w.Word(2).End(0x012D);
    w.Word(10).Word(20).Word(0).Word(10).End(0x041B);
    w.Word(3).End(0x012D);
    w.Word(10).Word(30).Word(0).Word(20).End(0x041B);
    TMetafile m;
    ASSERT_NO_THROW(m.LoadFromBytes(w.File(30, 10, 4)));
    const QImage image = Render(m, QSize(30, 10));
    EXPECT_EQ(image.pixel(5, 5) & 0xFFFFFF, qRgb(255, 255, 0) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(15, 5) & 0xFFFFFF, qRgb(255, 0, 255) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(25, 5) & 0xFFFFFF, qRgb(0, 255, 255) & 0xFFFFFF);
    // Every slot taken again: one more is beyond the header's count.
    Brush(w, 0xFFFFFF);
    EXPECT_THROW(m.LoadFromBytes(w.File(30, 10, 4)), EConvertError);
}

// However much a pen is zoomed, it is drawn at most 64 device pixels wide.
TEST(Metafile, PensAreCappedOnTheDevice)
{
    TWmfWriter w;
    w.Word(0).Word(40).Word(0).Dword(0x000000).End(0x02FA); // solid black pen, 40 units
    w.Word(0).End(0x012D);
    w.Word(2).Word(0).Word(50).Word(100).Word(50).End(0x0325); // across the middle
    TMetafile m;
    ASSERT_NO_THROW(m.LoadFromBytes(w.File(100, 100, 1)));
    // At 4 times the size the pen would be 160 pixels wide.
    const QImage image = Render(m, QSize(400, 400));
    int dark = 0;
    for (int y = 0; y < 400; ++y)
        dark += qGray(image.pixel(200, y)) < 128;
    EXPECT_GE(dark, 60);
    EXPECT_LE(dark, 66);
}

namespace {

// The share of pixels in which two pictures differ.
double Differing(const QImage& a, const QImage& b)
{
    qint64 differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differ += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
    return double(differ) / (qint64(a.width()) * a.height());
}

// The star polygon {101/50} round (100, 100), radius 90: every edge runs through the middle, so
// the outline crosses each row of it about fifty times, and the middle winds fifty times.
QPolygonF Star()
{
    QPolygonF star;
    for (int i = 0; i < 101; ++i) {
        const double angle = 2 * M_PI * ((i * 50) % 101) / 101.0;
        star << QPointF(std::round(100 + 90 * std::cos(angle)), std::round(100 + 90 * std::sin(angle)));
    }
    return star;
}

} // namespace

// A polygon that crosses itself everywhere is filled row by row (bounded by the rows its edges
// cross) and stroked segment by segment: what shows is what the painter draws of it without
// antialiasing, under both fill rules and with a wide pen.
TEST(Metafile, ScribbledPolygonsLookAsThePainterDrawsThem)
{
    const QPolygonF star = Star();
    struct TCase {
        int Mode; // 1 alternate, 2 winding
        int Pen; // width in units; 0: no pen
        bool MiddleFilled;
    };
    for (const TCase c : { TCase { 1, 0, false }, TCase { 2, 0, true }, TCase { 1, 9, false }, TCase { 2, 9, true } }) {
        SCOPED_TRACE(testing::Message() << "mode " << c.Mode << " pen " << c.Pen);
        TWmfWriter w;
        if (c.Pen)
            w.Word(0).Word(c.Pen).Word(0).Dword(0x0000FF).End(0x02FA); // red, round ends
        else
            NullPen(w);
        w.Word(0).End(0x012D);
        Brush(w, 0x00FF00); // green
        w.Word(1).End(0x012D);
        w.Word(c.Mode).End(0x0106);
        w.Word(int(star.size()));
        for (const QPointF& p : star)
            w.Word(int(p.x())).Word(int(p.y()));
        w.End(0x0324);
        TMetafile m;
        ASSERT_NO_THROW(m.LoadFromBytes(w.File(200, 200)));
        const QImage image = Render(m, QSize(200, 200));
        QImage expected(200, 200, QImage::Format_ARGB32);
        expected.fill(Qt::white);
        {
            QPainter p(&expected);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 255, 0));
            p.drawPolygon(star, c.Mode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
            if (c.Pen) {
                p.setPen(QPen(QColor(255, 0, 0), c.Pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                QPolygonF closed = star;
                closed << star.front();
                p.drawPolyline(closed);
            }
        }
        EXPECT_LT(Differing(image, expected), 0.01);
        // Every edge runs through the middle: the pen's colour there, else the fill rule's answer.
        EXPECT_EQ(image.pixel(100, 100) & 0xFFFFFF,
            (c.Pen ? qRgb(255, 0, 0) : c.MiddleFilled ? qRgb(0, 255, 0) : qRgb(255, 255, 255)) & 0xFFFFFF);
    }
}
