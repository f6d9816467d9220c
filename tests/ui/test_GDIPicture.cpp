// The byte-keeping picture and the hint data that carries one.
#include "UiTestSupport.h"

#include "ui/AdvHintInfo.h"
#include "ui/GDIPicture.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TEventLog {
    std::vector<std::string> Events;
    void Watch(TGDIPPicture& picture)
    {
        picture.OnChange = [this] { Events.push_back("change"); };
        picture.OnClear = [this] { Events.push_back("clear"); };
    }
};

QImage Canvas(QSize size, QColor color = Qt::white)
{
    return SolidImage(size, color);
}

// The picture drawn into rect on a white 30 x 20 canvas.
QImage DrawnOn(TGDIPPicture& picture, const QRect& rect)
{
    QImage canvas = Canvas(QSize(30, 20));
    QPainter painter(&canvas);
    picture.Draw(painter, rect);
    return canvas;
}

} // namespace

TEST(Picture, EventsInTheirOrderAndAMissingFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.png"));
    const QByteArray png = Encoded(SolidImage(QSize(4, 4), Qt::red), "PNG");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(png);
    }
    TGDIPPicture picture;
    TEventLog log;
    log.Watch(picture);
    EXPECT_TRUE(picture.GetEmpty());
    EXPECT_EQ(picture.GetWidth(), 0);

    picture.LoadFromFile(dir.filePath(QStringLiteral("missing.png")));
    EXPECT_TRUE(picture.GetEmpty());
    EXPECT_TRUE(log.Events.empty());

    picture.LoadFromFile(file);
    EXPECT_FALSE(picture.GetEmpty());
    EXPECT_EQ(picture.Data(), png);
    EXPECT_EQ(log.Events, (std::vector<std::string> { "clear", "change" }));

    log.Events.clear();
    picture.Assign(nullptr);
    EXPECT_TRUE(picture.GetEmpty());
    EXPECT_TRUE(picture.Data().isEmpty());
    EXPECT_EQ(log.Events, (std::vector<std::string> { "change", "clear" }));

    log.Events.clear();
    TGDIPPicture source;
    source.LoadFromFile(file);
    picture.Assign(&source);
    EXPECT_EQ(picture.Data(), png);
    EXPECT_EQ(log.Events, (std::vector<std::string> { "change" }));

    // Form streaming copies the bytes without an event; a null stream does nothing.
    log.Events.clear();
    QByteArray bytes = png;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TGDIPPicture streamed;
    log.Watch(streamed);
    streamed.ReadData(&in);
    streamed.LoadFromStream(nullptr);
    EXPECT_EQ(streamed.Data(), png);
    EXPECT_TRUE(log.Events.empty());
    QByteArray saved;
    QBuffer out(&saved);
    out.open(QIODevice::WriteOnly);
    streamed.SaveToStream(&out);
    EXPECT_EQ(saved, png);
}

TEST(Picture, SizesFromTheHeaderAndBytesThatDoNotDecode)
{
    TGDIPPicture picture;
    EXPECT_FALSE(picture.GetImageSizes());
    LoadBytes(picture, Encoded(SolidImage(QSize(7, 5), Qt::red), "PNG"));
    EXPECT_TRUE(picture.GetImageSizes());
    EXPECT_EQ(picture.GetWidth(), 7);
    EXPECT_EQ(picture.GetHeight(), 5);

    TGDIPPicture broken;
    LoadBytes(broken, QByteArray("\x01\x02junk"));
    EXPECT_FALSE(broken.GetEmpty());
    EXPECT_FALSE(broken.GetImageSizes());
    QImage canvas = Canvas(QSize(10, 10));
    QPainter painter(&canvas);
    broken.Draw(painter, QRect(0, 0, 10, 10));
    TGDIPPicture never;
    never.Draw(painter, QRect(0, 0, 10, 10));
    painter.end();
    EXPECT_EQ(canvas, Canvas(QSize(10, 10)));
    EXPECT_EQ(broken.GetWidth(), 0);
}

TEST(Picture, PngStretchedBitmapAtItsOwnSizeWithItsCornerColourTransparent)
{
    // A PNG of two columns: red left, blue right, stretched over 20 x 10.
    QImage halves(2, 1, QImage::Format_ARGB32);
    halves.setPixelColor(0, 0, Qt::red);
    halves.setPixelColor(1, 0, Qt::blue);
    TGDIPPicture stretched;
    LoadBytes(stretched, Encoded(halves, "PNG"));
    const QImage canvas = DrawnOn(stretched, QRect(5, 5, 20, 10));
    EXPECT_PIXEL(canvas, 5, 5, QColor(Qt::red));
    EXPECT_PIXEL(canvas, 24, 14, QColor(Qt::blue));
    EXPECT_PIXEL(canvas, 4, 5, QColor(Qt::white));
    EXPECT_PIXEL(canvas, 25, 14, QColor(Qt::white));
    EXPECT_EQ(stretched.GetWidth(), 2);

    // A 4 x 4 bitmap, green with a yellow bottom-left pixel: drawn 4 x 4, the yellow left out.
    QImage bitmap = SolidImage(QSize(4, 4), Qt::green).convertToFormat(QImage::Format_RGB32);
    bitmap.setPixelColor(0, 3, Qt::yellow);
    bitmap.setPixelColor(2, 1, Qt::yellow);
    TGDIPPicture own;
    LoadBytes(own, Encoded(bitmap, "BMP"));
    const QImage target = DrawnOn(own, QRect(3, 2, 25, 15));
    EXPECT_PIXEL(target, 3, 2, QColor(Qt::green));
    EXPECT_PIXEL(target, 6, 5, QColor(Qt::green));
    EXPECT_PIXEL(target, 3, 5, QColor(Qt::white)); // the transparent colour
    EXPECT_PIXEL(target, 5, 3, QColor(Qt::white));
    EXPECT_PIXEL(target, 7, 2, QColor(Qt::white)); // beyond its own width
    EXPECT_PIXEL(target, 3, 6, QColor(Qt::white));
}

TEST(HintInfo, AssignCopiesEverythingAndNothingFromNowhere)
{
    TAdvHintInfo source;
    source.Title = QStringLiteral("Title");
    source.SetNotes({ QStringLiteral("one"), QStringLiteral("two") });
    source.ShowHelp = true;
    source.WideTitle = QStringLiteral("Wide \u00e4");
    source.WideNotes = { QStringLiteral("\u00fc") };
    const QByteArray png = Encoded(SolidImage(QSize(2, 2), Qt::red), "PNG");
    LoadBytes(source.Picture(), png);

    TAdvHintInfo copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.Title, source.Title);
    EXPECT_EQ(copy.Notes(), source.Notes());
    EXPECT_TRUE(copy.ShowHelp);
    EXPECT_EQ(copy.WideTitle, source.WideTitle);
    EXPECT_EQ(copy.WideNotes, source.WideNotes);
    EXPECT_EQ(copy.Picture().Data(), png);
    // The copy owns its own picture and notes.
    source.Picture().Assign(nullptr);
    source.SetNotes({});
    EXPECT_EQ(copy.Picture().Data(), png);
    EXPECT_EQ(copy.Notes().size(), 2);

    copy.Assign(nullptr);
    copy.Assign(&copy);
    EXPECT_EQ(copy.Title, QStringLiteral("Title"));
    EXPECT_EQ(copy.Picture().Data(), png);
}

// POI and site texts in a hint show as the characters they are, markup included.
TEST(HintInfo, HintTextsAreShownAsPlainText)
{
    for (const char* text : { "<b>Zoo</b> & <a href='x'>link</a>", "<img src='/etc/passwd'>\nsecond line", "A < B" }) {
        SCOPED_TRACE(text);
        const QString plain = QString::fromUtf8(text);
        const QString hint = PlainHintText(plain);
        QTextDocument shown;
        if (Qt::mightBeRichText(hint))
            shown.setHtml(hint);
        else
            shown.setPlainText(hint);
        EXPECT_EQ(shown.toPlainText(), plain);
    }
    EXPECT_EQ(PlainHintText(QStringLiteral("Museum")), QStringLiteral("Museum")) << "plain text stays as it is";
}
