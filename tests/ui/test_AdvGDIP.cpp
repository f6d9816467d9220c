// The drawing wrappers: colours, statuses, image formats and the geometry they keep.
#include "UiTestSupport.h"

#include "ui/AdvGDIP.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

TEST(GdipColour, ColorToArgb)
{
    EXPECT_EQ(ColorToARGB(clRed), 0xFFFF0000u);
    EXPECT_EQ(ColorToARGB(0x123456), 0xFF563412u);
    // A system colour is the palette's current colour.
    QPalette palette = QGuiApplication::palette();
    const QPalette saved = palette;
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 20, 30));
    QGuiApplication::setPalette(palette);
    EXPECT_EQ(ColorToARGB(clHighlight), 0xFF0A141Eu);
    QGuiApplication::setPalette(saved);
}

TEST(GdipStatus, TheLastFailureIsKept)
{
    TGPPen pen(0xFF000000);
    EXPECT_EQ(pen.GetLastStatus(), Ok);
    EXPECT_EQ(pen.SetDashStyle(99), InvalidParameter);
    EXPECT_EQ(pen.SetDashStyle(DashStyleDot), Ok);
    EXPECT_EQ(pen.GetLastStatus(), InvalidParameter);

    const TGPFontFamily missing(QStringLiteral("No Such Family Anywhere"));
    EXPECT_EQ(missing.GetLastStatus(), FontFamilyNotFound);
    const TGPFont font(&missing, 9, 0, UnitPoint);
    EXPECT_EQ(font.GetLastStatus(), InvalidParameter);
    QImage image(10, 10, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TGPGraphics graphics(&painter);
    TGPSolidBrush brush(0xFF000000);
    EXPECT_EQ(graphics.DrawString(QStringLiteral("x"), -1, &font, MakeRectF(0, 0, 10, 10), nullptr, &brush), InvalidParameter);
    EXPECT_EQ(graphics.FillRectangle(nullptr, 0, 0, 5, 5), InvalidParameter);
    EXPECT_EQ(graphics.FillRectangle(&brush, 0, 0, 5, 5), Ok);
    EXPECT_EQ(graphics.GetLastStatus(), InvalidParameter);
}

TEST(GdipStatus, SurroundColours)
{
    TGPGraphicsPath path;
    path.AddEllipse(0, 0, 20, 10);
    TGPPathGradientBrush brush(&path);
    const int points = brush.GetPointCount();
    ASSERT_GT(points, 1);
    const std::vector<TARGB> many(points + 1, 0xFF00FF00);
    struct TCase {
        std::span<const TARGB> Colors;
        int Count;
    };
    const TARGB one[1] = { 0xFF00FF00 };
    const TCase refused[] = {
        { {}, 1 },
        { one, 0 },
        { one, -1 },
        { one, 2 }, // more than given
        { many, points + 1 }, // more than the path has points
    };
    for (const TCase& c : refused) {
        int count = c.Count;
        TGPPathGradientBrush fresh(&path);
        EXPECT_EQ(fresh.SetSurroundColors(c.Colors, count), InvalidParameter) << c.Count;
        EXPECT_EQ(fresh.GetLastStatus(), InvalidParameter);
        EXPECT_EQ(count, c.Count);
    }
    int count = 1;
    EXPECT_EQ(brush.SetSurroundColors(one, count), Ok);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(brush.GetLastStatus(), Ok);
}

TEST(GdipImage, FormatNumbersFromMadeUpBytes)
{
    const QImage red = SolidImage(QSize(3, 2), Qt::red);
    // The smallest GIF: 1 x 1, a two-colour table, one pixel.
    const QByteArray gif = QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c000000000100010000020144003b");
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        int Format;
        QSize Size;
    };
    std::vector<TCase> cases = {
        { "png", Encoded(red, "PNG"), ifPng, QSize(3, 2) },
        { "bmp", Encoded(red, "BMP"), ifBmp, QSize(3, 2) },
        { "jpeg", Encoded(red, "JPG"), ifJpeg, QSize(3, 2) },
        { "gif", gif, ifGif, QSize(1, 1) },
        { "garbage", QByteArray("not a picture at all"), ifUndefined, QSize(0, 0) },
        { "empty", QByteArray(), ifUndefined, QSize(0, 0) },
        { "png signature only", QByteArray::fromHex("89504e470d0a1a0a"), ifUndefined, QSize(0, 0) },
    };
    if (QImageWriter::supportedImageFormats().contains("ico"))
        cases.push_back({ "icon", Encoded(SolidImage(QSize(16, 16), Qt::blue), "ICO"), ifIcon, QSize(16, 16) });
    for (const TCase& c : cases) {
        TGPImage image(c.Bytes);
        EXPECT_EQ(image.GetFormat(), c.Format) << c.Name;
        EXPECT_EQ(QSize(int(image.GetWidth()), int(image.GetHeight())), c.Size) << c.Name;
        EXPECT_EQ(image.GetLastStatus() == Ok, c.Format != ifUndefined) << c.Name;
    }
}

TEST(GdipImage, BeyondTheAllocationLimitThereIsNoImage)
{
    // A PNG header claiming 30000 x 30000 pixels (3.6 GB decoded).
    QByteArray png = Encoded(SolidImage(QSize(1, 1), Qt::red), "PNG");
    png[16] = 0, png[17] = 0, png[18] = char(0x75), png[19] = char(0x30);
    png[20] = 0, png[21] = 0, png[22] = char(0x75), png[23] = char(0x30);
    TGPImage image(png);
    EXPECT_EQ(image.GetLastStatus(), OutOfMemory);
    EXPECT_EQ(image.GetWidth(), 0u);
    EXPECT_TRUE(image.Image().isNull());
}

TEST(GdipGeometry, PixelCentresOnIntegersDotsAndClockwiseArcs)
{
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TGPGraphics graphics(&painter);
        graphics.SetSmoothingMode(SmoothingModeAntiAlias);
        TGPPen pen(0xFF000000);
        TGPGraphicsPath line;
        line.AddLine(3, 0, 3, 19);
        graphics.DrawPath(&pen, &line);
        TGPPen dots(0xFF0000FF);
        dots.SetDashStyle(DashStyleDot);
        TGPGraphicsPath dotted;
        dotted.AddLine(6, 0, 6, 19);
        graphics.DrawPath(&dots, &dotted);
        // A quarter arc from 0 degrees clockwise ends at the bottom of its ellipse.
        TGPGraphicsPath arc;
        arc.AddArc(10, 2, 8, 8, 0, 90);
        graphics.DrawPath(&pen, &arc);
    }
    // Flat ends: the end pixels are half covered, as the centres lie on the line's ends.
    for (int y = 1; y < 19; ++y) {
        EXPECT_PIXEL(image, 3, y, QColor(Qt::black));
        EXPECT_PIXEL(image, 2, y, QColor(Qt::white));
        EXPECT_PIXEL(image, 4, y, QColor(Qt::white));
    }
    for (int y = 1; y < 18; ++y) {
        EXPECT_NE(image.pixelColor(6, y) == QColor(Qt::blue), image.pixelColor(6, y + 1) == QColor(Qt::blue)) << y;
        EXPECT_TRUE(image.pixelColor(6, y) == QColor(Qt::blue) || image.pixelColor(6, y) == QColor(Qt::white)) << y;
    }
    EXPECT_LT(image.pixelColor(14, 10).lightness(), 200); // the arc's end, below the centre
    EXPECT_EQ(image.pixelColor(14, 2), QColor(Qt::white)); // not above it
}

TEST(GdipGeometry, LinearModesAndRadialClippedToItsPath)
{
    struct TCase {
        int Mode;
        QPoint Start, End; // pixels nearest colour 1 and colour 2
    };
    const TCase cases[] = {
        { 0, { 0, 5 }, { 19, 5 } },
        { 1, { 5, 0 }, { 5, 9 } },
        { 2, { 0, 0 }, { 19, 9 } },
        { 3, { 19, 0 }, { 0, 9 } },
    };
    for (const TCase& c : cases) {
        QImage image(20, 10, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        {
            TGPGraphics graphics(&painter);
            TGPLinearGradientBrush brush(MakeRectF(0, 0, 20, 10), 0xFFFF0000, 0xFF0000FF, c.Mode);
            graphics.FillRectangle(&brush, 0, 0, 20, 10);
        }
        painter.end();
        EXPECT_GT(image.pixelColor(c.Start).red(), 225) << c.Mode;
        EXPECT_GT(image.pixelColor(c.End).blue(), 225) << c.Mode;
    }
    // The path gradient paints only inside its ellipse, centre colour at the centre point.
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TGPGraphics graphics(&painter);
        TGPGraphicsPath ellipse;
        ellipse.AddEllipse(0, 0, 40, 20);
        TGPPathGradientBrush brush(&ellipse);
        brush.SetCenterColor(0xFF000000);
        const TARGB surround[1] = { 0xFF00FF00 };
        int count = 1;
        brush.SetSurroundColors(surround, count);
        graphics.FillRectangle(&brush, 0, 0, 40, 20);
    }
    EXPECT_PIXEL(image, 0, 0, QColor(Qt::white));
    EXPECT_PIXEL(image, 39, 19, QColor(Qt::white));
    EXPECT_LT(image.pixelColor(20, 10).green(), 30);
    EXPECT_GT(image.pixelColor(2, 10).green(), 150);
}
