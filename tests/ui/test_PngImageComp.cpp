// The PNG picture control, the image lists and the see-through tool bar.
#include "UiTestSupport.h"

#include "ui/PngImageComp.h"
#include "ui/PngImageList.h"
#include "ui/uTransTool.h"

#include <QAction>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

namespace {

QImage Rendered(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

TEST(PngCells, CentredTopLeftAndTiled)
{
    const QRect client(0, 0, 40, 20);
    const auto tiled = PngImageCells(TLayoutMode::lmTile, QSize(16, 16), client);
    ASSERT_EQ(tiled.size(), 6u); // 3 columns, 2 rows: one more than fit wholly
    EXPECT_EQ(tiled.front(), QRect(0, 0, 16, 16));
    EXPECT_EQ(tiled.back(), QRect(32, 16, 16, 16));

    EXPECT_EQ(PngImageCells(TLayoutMode::lmCenter, QSize(30, 30), QRect(0, 0, 20, 20)).front(), QRect(-5, -5, 30, 30));
    EXPECT_EQ(PngImageCells(TLayoutMode::lmCenter, QSize(16, 16), QRect(0, 0, 52, 25)).front(), QRect(18, 4, 16, 16));
    EXPECT_EQ(PngImageCells(TLayoutMode::lmCenter, QSize(31, 31), QRect(0, 0, 20, 20)).front().topLeft(), QPoint(-5, -5));
    EXPECT_EQ(PngImageCells(TLayoutMode::lmTopLeft, QSize(16, 16), client).front(), QRect(0, 0, 16, 16));
    // A picture without area, or a client of negative size, gives no cell.
    EXPECT_TRUE(PngImageCells(TLayoutMode::lmTile, QSize(0, 0), client).empty());
    EXPECT_TRUE(PngImageCells(TLayoutMode::lmCenter, QSize(0, 5), client).empty());
    EXPECT_TRUE(PngImageCells(TLayoutMode::lmTile, QSize(16, 16), QRect(0, 0, -4, 10)).empty());
}

TEST(PngControl, PaintsTheCurrentImageOfItsLayout)
{
    TPngImageCollection collection;
    collection.Add(SolidImage(QSize(16, 16), Qt::red));
    collection.Add(QImage()); // a picture of no size paints nothing
    TPngImageComp control;
    control.resize(40, 20);
    control.SetPngImageCollection(&collection);
    for (int index : { -1, 1, 2 }) {
        control.SetImageIndex(index);
        EXPECT_TRUE(control.CurrentImage().isNull()) << index;
        EXPECT_EQ(Rendered(control), SolidImage(QSize(40, 20), Qt::white).convertToFormat(QImage::Format_ARGB32)) << index;
    }
    control.SetImageIndex(0);
    QImage centred = Rendered(control);
    EXPECT_PIXEL(centred, 12, 2, QColor(Qt::red));
    EXPECT_PIXEL(centred, 27, 17, QColor(Qt::red));
    EXPECT_PIXEL(centred, 11, 2, QColor(Qt::white));
    EXPECT_PIXEL(centred, 28, 2, QColor(Qt::white));

    control.SetLayout(TLayoutMode::lmTopLeft);
    QImage corner = Rendered(control);
    EXPECT_PIXEL(corner, 0, 0, QColor(Qt::red));
    EXPECT_PIXEL(corner, 16, 0, QColor(Qt::white));

    control.SetLayout(TLayoutMode::lmTile);
    QImage tiled = Rendered(control);
    for (const QPoint p : { QPoint(0, 0), QPoint(39, 0), QPoint(0, 19), QPoint(39, 19) })
        EXPECT_PIXEL(tiled, p.x(), p.y(), QColor(Qt::red));

    // AutoSize takes the picture's size; without a current picture the size stays.
    control.SetAutoSize(true);
    EXPECT_EQ(control.size(), QSize(16, 16));
    control.SetImageIndex(5);
    control.resize(30, 30);
    control.SetImageIndex(7);
    EXPECT_EQ(control.size(), QSize(30, 30));
    int w = 1, h = 1;
    EXPECT_FALSE(control.CanAutoSize(w, h));
    control.SetImageIndex(0);
    control.Align = TAlign::alTop;
    EXPECT_TRUE(control.CanAutoSize(w, h));
    EXPECT_EQ(QSize(w, h), QSize(1, 16));
    control.SetPngImageCollection(nullptr);
    EXPECT_TRUE(control.CurrentImage().isNull());
}

TEST(PngControl, ACollectionThatGoesLeavesNothingToPaint)
{
    TPngImageComp control;
    {
        TPngImageCollection collection;
        collection.Add(SolidImage(QSize(4, 4), Qt::red));
        control.SetPngImageCollection(&collection);
        control.SetImageIndex(0);
        EXPECT_FALSE(control.CurrentImage().isNull());
    }
    EXPECT_EQ(control.PngImageCollection(), nullptr);
    EXPECT_TRUE(control.CurrentImage().isNull());
}

TEST(ImageList, DisabledPicturesAreGreyAndFaded)
{
    TPngImageList list(QSize(4, 4));
    list.Add(QPixmap::fromImage(SolidImage(QSize(4, 4), QColor(200, 40, 40))));
    QImage canvas(10, 4, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        list.Draw(painter, 0, 0, 0, true);
        list.Draw(painter, 5, 0, 0, false);
        list.Draw(painter, 5, 0, 9, true); // out of range: nothing
    }
    EXPECT_PIXEL(canvas, 1, 1, QColor(200, 40, 40));
    const QColor disabled = canvas.pixelColor(6, 1);
    EXPECT_EQ(disabled.red(), disabled.green());
    EXPECT_EQ(disabled.green(), disabled.blue());
    EXPECT_GT(disabled.red(), 100); // grey at half opacity over white
    EXPECT_PIXEL(canvas, 9, 1, QColor(Qt::white));
}

TEST(TransparentToolBar, TheParentShowsThrough)
{
    QWidget parent;
    parent.resize(120, 40);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, Qt::red);
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    TTestToolbar bar(&parent);
    bar.setGeometry(0, 0, 120, 30);
    bar.addAction(QStringLiteral("Sites"));
    QImage image = Rendered(parent);
    EXPECT_PIXEL(image, 110, 15, QColor(Qt::red));
    EXPECT_PIXEL(image, 118, 2, QColor(Qt::red));
    EXPECT_PIXEL(image, 60, 35, QColor(Qt::red));
}
