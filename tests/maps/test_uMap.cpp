// The map control: size, paint steps, markers at their pixels, pictures and their failures.
#include "maps/uMap.h"

#include "MapTestSupport.h"
#include "core/uGeneral.h"
#include "support/ParamNames.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QThread>
#include <QToolTip>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <tuple>
#include <vector>

namespace {

QImage Filled(int w, int h, QColor colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(w, h, format);
    image.fill(colour);
    return image;
}

// The sample calibration on a 200 x 100 white picture.
void Calibrate(TOrvikMap& map)
{
    map.SetCal1Lon(4.855);
    map.SetCal1Lat(52.350);
    map.SetCal1X(0);
    map.SetCal1Y(100);
    map.SetCal2Lon(4.930);
    map.SetCal2Lat(52.385);
    map.SetCal2X(200);
    map.SetCal2Y(0);
}

QImage Render(TOrvikMap& map, const QRegion& region = QRegion())
{
    QImage image(map.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // The region's corner lands on the target offset: kept at its place in the control.
    const QRegion part = region.isEmpty() ? QRegion(map.rect()) : region;
    map.render(&image, part.boundingRect().topLeft(), part, QWidget::DrawChildren);
    return image;
}

} // namespace

TEST(OrvikMap, WithoutPictureItIs100By100AndPaintsNothing)
{
    TOrvikMap map;
    EXPECT_EQ(map.size(), QSize(100, 100));
    bool called = false;
    map.OnPaintMarkers = [&](TOrvikMap&) { called = true; };
    map.SetMarker(Filled(5, 5, Qt::red, QImage::Format_ARGB32));
    map.Markers().Add().SetLongitude(1);
    map.SetZoom(2);
    EXPECT_EQ(map.size(), QSize(100, 100));
    const QImage image = Render(map);
    EXPECT_FALSE(called);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
    // Outside a paint, drawing a marker does nothing (and does not crash).
    map.DrawMarkerAt(1, 1);
}

TEST(OrvikMap, SizeFollowsPictureAndZoomRounded)
{
    const struct {
        int w, h;
        double zoom;
        QSize size;
    } cases[] = {
        { 200, 100, 1, { 200, 100 } },
        { 200, 100, 4, { 800, 400 } },
        { 101, 51, 0.5, { 50, 26 } },
        { 103, 1, 0.5, { 52, 0 } },
        { 3, 5, 2.5, { 8, 12 } },
    };
    for (const auto& c : cases) {
        TOrvikMap map;
        TMapPicture picture;
        picture.SetImage(Filled(c.w, c.h, Qt::white));
        map.SetMapPic(picture);
        map.SetZoom(c.zoom);
        EXPECT_EQ(map.size(), c.size) << c.w << "x" << c.h << " at " << c.zoom;
    }
}

class MarkerPixel : public ::testing::TestWithParam<double> { };

TEST_P(MarkerPixel, IsAtLonToXAndLatToY)
{
    TOrvikMap map;
    TMapPicture picture;
    picture.SetImage(Filled(200, 100, Qt::white));
    map.SetMapPic(picture);
    Calibrate(map);
    map.SetZoom(GetParam());
    // 31 x 21, blue with a red top-left pixel: drawn 15 left of X and 10 above Y.
    QImage marker = Filled(31, 21, Qt::blue, QImage::Format_ARGB32);
    marker.setPixel(0, 0, qRgb(255, 0, 0));
    map.SetMarker(marker);
    const double lat = 52.3731, lon = 4.8932;
    map.OnPaintMarkers = [&](TOrvikMap& sender) { sender.DrawMarkerAt(lat, lon); };
    const QImage image = Render(map);
    const int x = map.LonToX(lon), y = map.LatToY(lat);
    EXPECT_EQ(image.pixel(x - 15, y - 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(x, y), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(x + 15, y + 10), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(x + 16, y), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(x - 16, y), qRgb(255, 255, 255));
}

INSTANTIATE_TEST_SUITE_P(Zooms, MarkerPixel, ::testing::Values(0.5, 1.0, 2.0, 4.0),
    [](const auto& info) { return "Zoom" + CaseName(info.param); });

TEST(OrvikMap, MarkersFirstThenThePaintCallback)
{
    TOrvikMap map;
    TMapPicture picture;
    picture.SetImage(Filled(200, 100, Qt::white));
    map.SetMapPic(picture);
    Calibrate(map);
    // An opaque picture: its bottom-left colour (magenta) is the transparent one.
    QImage marker = Filled(3, 3, Qt::magenta);
    marker.setPixel(1, 1, qRgb(0, 128, 0));
    map.SetMarker(marker);
    TMarker& m = map.Markers().Add();
    m.SetLatitude(52.36);
    m.SetLongitude(4.87);
    m.SetDescription(QStringLiteral("one"));
    int calls = 0;
    map.OnPaintMarkers = [&](TOrvikMap& sender) {
        EXPECT_NE(sender.Canvas(), nullptr);
        ++calls;
    };
    const QImage image = Render(map);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(map.Canvas(), nullptr);
    const int x = map.LonToX(4.87), y = map.LatToY(52.36);
    EXPECT_EQ(image.pixel(x, y), qRgb(0, 128, 0));
    EXPECT_EQ(image.pixel(x - 1, y - 1), qRgb(255, 255, 255)) << "the key colour is transparent";
    map.Markers().Clear();
    EXPECT_EQ(Render(map).pixel(x, y), qRgb(255, 255, 255));
}

TEST(OrvikMap, OnlyTheExposedPartIsScaled)
{
    // Left half red, right half blue, at zoom 4: a band across the middle exposed.
    QImage source = Filled(100, 100, Qt::red);
    {
        QPainter p(&source);
        p.fillRect(50, 0, 50, 100, Qt::blue);
    }
    TOrvikMap map;
    TMapPicture picture;
    picture.SetImage(source);
    map.SetMapPic(picture);
    map.SetZoom(4);
    const QRect band(180, 100, 40, 8);
    const QImage image = Render(map, QRegion(band));
    EXPECT_EQ(image.pixel(181, 101), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(199, 107), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(200, 101), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(219, 107), qRgb(0, 0, 255));
    EXPECT_EQ(qAlpha(image.pixel(100, 50)), 0) << "drawn outside the exposed part";
    EXPECT_EQ(qAlpha(image.pixel(200, 120)), 0) << "drawn outside the exposed part";
}

class MapPictures : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Save(const char* name, const char* format, QSize size = QSize(64, 48))
    {
        const QString path = Dir.filePath(QLatin1String(name));
        QImage image = Filled(size.width(), size.height(), QColor(10, 200, 30));
        EXPECT_TRUE(image.save(path, format)) << name;
        return path;
    }
};

TEST_F(MapPictures, QtReadersLoadBmpGifJpg)
{
    for (const auto& [name, format] :
        { std::pair { "a.bmp", "BMP" }, std::pair { "b.gif", "GIF" }, std::pair { "c.jpg", "JPG" } }) {
        if (!QImageWriter::supportedImageFormats().contains(QByteArray(format).toLower()))
            continue; // Qt writes no GIF; reading one is checked with the sample tool's output
        TOrvikMap map;
        map.LoadMapPic(Save(name, format));
        EXPECT_EQ(map.size(), QSize(64, 48)) << name;
        EXPECT_EQ(map.GetMapPic().Width(), 64) << name;
    }
}

TEST_F(MapPictures, GifAndMetafile)
{
    TOrvikMap gif;
    gif.LoadMapPic(MapFixture("pixel.gif"));
    EXPECT_EQ(gif.size(), QSize(1, 1));
    const QString wmf = Dir.filePath(QStringLiteral("drawing.WMF"));
    const std::string bytes = SampleMetafile();
    WriteFile(wmf, QByteArray(bytes.data(), qsizetype(bytes.size())));
    TOrvikMap map;
    map.LoadMapPic(wmf);
    map.SetZoom(2);
    EXPECT_EQ(map.size(), QSize(400, 200));
    const QImage image = Render(map);
    EXPECT_EQ(image.pixel(50, 40), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(100, 150), qRgb(0, 255, 0));
    // Only a part exposed: the metafile is clipped to it.
    const QImage part = Render(map, QRegion(QRect(90, 140, 20, 20)));
    EXPECT_EQ(part.pixel(100, 150), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(part.pixel(50, 40)), 0);
}

TEST_F(MapPictures, UnreadablePicturesNameTheFile)
{
    const QString garbage = Dir.filePath(QStringLiteral("broken map.jpg"));
    WriteFile(garbage, "not a picture at all");
    // A bitmap header claiming 30000 x 30000 pixels of 24 bits: beyond Qt's allocation limit.
    QByteArray huge("BM");
    const auto le32 = [&huge](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            huge.append(char((v >> (8 * i)) & 0xFF));
    };
    le32(54 + 16);
    le32(0);
    le32(54);
    le32(40);
    le32(30000);
    le32(30000);
    huge.append("\x01\x00\x18\x00", 4);
    for (int i = 0; i < 6; ++i)
        le32(0);
    huge.append(16, '\0');
    const QString large = Dir.filePath(QStringLiteral("huge.bmp"));
    WriteFile(large, huge);
    const QString wmf = Dir.filePath(QStringLiteral("bad.wmf"));
    WriteFile(wmf, "\xD7\xCD\xC6\x9A short");
    const QString missing = Dir.filePath(QStringLiteral("missing.gif"));
    for (const QString& path : { garbage, large, wmf, missing }) {
        TOrvikMap map;
        TMapPicture before;
        before.SetImage(Filled(300, 200, Qt::white));
        map.SetMapPic(before);
        try {
            map.LoadMapPic(path);
            ADD_FAILURE() << "loaded " << path.toStdString();
        } catch (const EUserError& e) {
            EXPECT_TRUE(e.Message().contains(QFileInfo(path).fileName())) << e.Message().toStdString();
        }
        EXPECT_TRUE(map.GetMapPic().IsEmpty()) << path.toStdString();
        EXPECT_EQ(map.size(), QSize(100, 100)) << path.toStdString();
    }
}

// A scanned map beyond Qt's default allocation limit (33.5 megapixels) is shown; a picture of
// more than 100 megapixels is refused unread, saying so and naming the limit.
TEST_F(MapPictures, ScannedMapsUpToAHundredMegapixelsAreShownLargerOnesRefused)
{
    {
        const QString scan = Save("scan.jpg", "JPG", QSize(6000, 6000));
        TOrvikMap map;
        map.LoadMapPic(scan);
        EXPECT_EQ(map.size(), QSize(6000, 6000));
    }
    QByteArray bmp;
    {
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(Filled(2, 2, Qt::white).save(&buffer, "BMP"));
    }
    const auto setLe32 = [&bmp](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    setLe32(18, 10001);
    setLe32(22, 10000);
    const QString large = Dir.filePath(QStringLiteral("large.bmp"));
    WriteFile(large, bmp);
    TOrvikMap map;
    try {
        map.LoadMapPic(large);
        ADD_FAILURE() << "loaded";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("The map picture large.bmp is too large: 10001 x 10000 pixels; at most 100 megapixels can be shown"));
    }
    EXPECT_TRUE(map.GetMapPic().IsEmpty());
}

// A FIFO nobody writes to and a link to an endless device: refused at once with the cause,
// never waited on or read without end.
TEST_F(MapPictures, SpecialFilesAreRefusedAtOnce)
{
    const QString fifo = Dir.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = Dir.filePath(QStringLiteral("zero.wmf"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString folder = Dir.filePath(QStringLiteral("folder.bmp"));
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const auto& [path, cause] : { std::pair { fifo, "not a regular file" }, std::pair { zero, "not a regular file" },
             std::pair { folder, "folder" } }) {
        TOrvikMap map;
        try {
            map.LoadMapPic(path);
            ADD_FAILURE() << "loaded " << path.toStdString();
        } catch (const EUserError& e) {
            EXPECT_TRUE(e.Message().contains(QFileInfo(path).fileName())) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QLatin1String(cause))) << e.Message().toStdString();
        }
        EXPECT_TRUE(map.GetMapPic().IsEmpty());
    }
}

TEST(OrvikMap, ColoursOnScreen)
{
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::ToolTipBase, QColor(4, 5, 6));
    EXPECT_EQ(InfColorToQColor(InfColor::clBtnFace, palette), QColor(1, 2, 3));
    EXPECT_EQ(InfColorToQColor(InfColor::clInfoBk, palette), QColor(4, 5, 6));
    EXPECT_EQ(InfColorToQColor(0x00563412, palette), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(InfColorFromQColor(QColor(0x12, 0x34, 0x56)), 0x00563412u);
    EXPECT_EQ(InfColorToQColor(InfColor::clNavy, palette), QColor(0, 0, 128));
}

TEST(OrvikMap, OwnPictures)
{
    const QImage marker = MapMarkerPicture();
    EXPECT_EQ(marker.size(), QSize(15, 15));
    EXPECT_GT(qAlpha(marker.pixel(7, 7)), 200);
    EXPECT_EQ(qAlpha(marker.pixel(0, 0)), 0);
    const QImage mark = PositionMarkPicture();
    EXPECT_EQ(mark.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(mark.pixel(0, 0)), 0);
    EXPECT_GT(qAlpha(mark.pixel(16, 4)), 200);
}

TEST(OrvikMap, MouseAndHintsReachTheWindow)
{
    TOrvikMap map;
    TMapPicture picture;
    picture.SetImage(Filled(200, 100, Qt::white));
    map.SetMapPic(picture);
    map.show();
    std::vector<std::tuple<char, Qt::MouseButton, Qt::MouseButtons, int, int>> seen;
    map.OnMouseDown = [&](const TMapMouseEvent& e) { seen.emplace_back('d', e.Button, e.Buttons, e.X, e.Y); };
    map.OnMouseMove = [&](const TMapMouseEvent& e) { seen.emplace_back('m', e.Button, e.Buttons, e.X, e.Y); };
    map.OnMouseUp = [&](const TMapMouseEvent& e) { seen.emplace_back('u', e.Button, e.Buttons, e.X, e.Y); };
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), map.mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&map, &event);
    };
    // The mouse is followed without a button too, for the coordinates in the status bar.
    EXPECT_TRUE(map.hasMouseTracking());
    send(QEvent::MouseMove, { 5, 6 }, Qt::NoButton, Qt::NoButton);
    send(QEvent::MouseButtonPress, { 10, 20 }, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, { 30, 40 }, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, { 31, 41 }, Qt::LeftButton, Qt::NoButton);
    const decltype(seen) expected
        = { { 'm', Qt::NoButton, Qt::NoButton, 5, 6 }, { 'd', Qt::LeftButton, Qt::LeftButton, 10, 20 },
              { 'm', Qt::NoButton, Qt::LeftButton, 30, 40 }, { 'u', Qt::LeftButton, Qt::NoButton, 31, 41 } };
    EXPECT_EQ(seen, expected);

    QPoint asked;
    map.OnHintText = [&](int x, int y) {
        asked = QPoint(x, y);
        return x < 100 ? QStringLiteral("Dam Square") : QString();
    };
    QHelpEvent near(QEvent::ToolTip, QPoint(12, 34), map.mapToGlobal(QPoint(12, 34)));
    QCoreApplication::sendEvent(&map, &near);
    EXPECT_EQ(asked, QPoint(12, 34));
    // Plain text: what the window gives is shown as it stands.
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    EXPECT_EQ(shown.toPlainText(), QStringLiteral("Dam Square"));
    QHelpEvent far(QEvent::ToolTip, QPoint(150, 34), map.mapToGlobal(QPoint(150, 34)));
    QCoreApplication::sendEvent(&map, &far);
    // The tip fades out.
    QElapsedTimer waited;
    waited.start();
    while (QToolTip::isVisible() && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    EXPECT_FALSE(QToolTip::isVisible());
}
