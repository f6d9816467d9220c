// The glow button's drawing, pixel by pixel on offscreen images.
#include "UiTestSupport.h"

#include "ui/AdvGlowButton.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr TColor Upper = 0x0000C8; // red
constexpr TColor Lower = 0x00C800; // green
constexpr TColor Border = 0xC80000; // blue
const QColor Background(255, 0, 255);

// A face of two solid halves, a border and nothing else.
TGlowDrawInput Plain(QSize size = QSize(100, 41))
{
    TGlowDrawInput in;
    in.Client = QRect(QPoint(0, 0), size);
    in.Colors = TGlowColorSet { Upper, Upper, Lower, Lower, Border, TGDIPGradient::ggVertical, TGDIPGradient::ggVertical };
    in.Rounded = false;
    in.Font = QFont(GlowButtonFontName());
    in.Font.setPointSize(9);
    in.NotesFont = in.Font;
    return in;
}

QImage Drawn(const TGlowDrawInput& in)
{
    QImage image(in.Client.size(), QImage::Format_ARGB32);
    image.fill(Background);
    QPainter painter(&image);
    DrawGlowButton(painter, in);
    return image;
}

// The bounding box of the pixels of one colour; empty when none.
QRect BoxOf(const QImage& image, QColor color)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                box |= QRect(x, y, 1, 1);
    return box;
}

bool Near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

} // namespace

TEST(GlowDraw, TheFaceHalvesOverlapByTwoRowsUpperLast)
{
    TGlowDrawInput in = Plain();
    in.BorderSingle = false;
    const QImage image = Drawn(in);
    for (int y : { 0, 18, 19, 20 })
        EXPECT_PIXEL(image, 50, y, Painted(Upper));
    for (int y : { 21, 30, 40 })
        EXPECT_PIXEL(image, 50, y, Painted(Lower));
    EXPECT_PIXEL(image, 0, 0, Painted(Upper));
    EXPECT_PIXEL(image, 99, 40, Painted(Lower));
}

TEST(GlowDraw, PlainAndRoundedCornersWithACrispBorder)
{
    const QImage plain = Drawn(Plain());
    for (int y = 0; y < 41; ++y) {
        EXPECT_PIXEL(plain, 0, y, Painted(Border));
        EXPECT_PIXEL(plain, 99, y, Painted(Border));
    }
    for (int x = 0; x < 100; x += 11) {
        EXPECT_PIXEL(plain, x, 0, Painted(Border));
        EXPECT_PIXEL(plain, x, 40, Painted(Border));
    }
    EXPECT_PIXEL(plain, 1, 5, Painted(Upper));
    EXPECT_PIXEL(plain, 1, 35, Painted(Lower));

    TGlowDrawInput rounded = Plain();
    rounded.Rounded = true;
    const QImage round = Drawn(rounded);
    for (const QPoint corner : { QPoint(0, 0), QPoint(99, 0), QPoint(0, 40), QPoint(99, 40) })
        EXPECT_PIXEL(round, corner.x(), corner.y(), Background);
    EXPECT_PIXEL(round, 0, 20, Painted(Border));
    EXPECT_PIXEL(round, 50, 0, Painted(Border));
    EXPECT_PIXEL(round, 50, 40, Painted(Border));
    EXPECT_PIXEL(round, 99, 20, Painted(Border));
    EXPECT_PIXEL(round, 1, 20, Painted(Upper));
}

TEST(GlowDraw, FourPositionsMakeOneBar)
{
    const QColor edge = Painted(ShadeColor(Border, -5));
    const QColor separator = Painted(ShadeColor(clWhite, -10));
    TGlowDrawInput in = Plain();

    in.Position = TButtonPosition::bpLeft;
    QImage left = Drawn(in);
    EXPECT_PIXEL(left, 0, 20, Painted(Border));
    EXPECT_PIXEL(left, 99, 20, edge);
    EXPECT_PIXEL(left, 50, 0, Painted(Border));

    in.Position = TButtonPosition::bpMiddle;
    QImage middle = Drawn(in);
    EXPECT_PIXEL(middle, 0, 0, Painted(Border));
    EXPECT_PIXEL(middle, 0, 3, separator); // from row 2 to row 38, its ends half covered
    EXPECT_PIXEL(middle, 0, 37, separator);
    EXPECT_PIXEL(middle, 0, 1, Painted(Upper)); // the separator stops short of the edges
    EXPECT_PIXEL(middle, 99, 20, edge);
    EXPECT_PIXEL(middle, 50, 40, Painted(Border));

    in.Position = TButtonPosition::bpRight;
    QImage right = Drawn(in);
    EXPECT_PIXEL(right, 0, 20, separator);
    EXPECT_PIXEL(right, 99, 20, Painted(Border));
    in.MouseEntered = true;
    QImage hovered = Drawn(in);
    EXPECT_PIXEL(hovered, 0, 1, edge);
    EXPECT_PIXEL(hovered, 0, 20, edge);

    // Rounded, the outer corners keep the background and the inner ones do not.
    in.Position = TButtonPosition::bpLeft;
    in.Rounded = true;
    QImage roundLeft = Drawn(in);
    EXPECT_PIXEL(roundLeft, 0, 0, Background);
    EXPECT_NE(roundLeft.pixelColor(99, 0), Background);
}

TEST(GlowDraw, FocusOutlineAndItsDots)
{
    TGlowDrawInput in = Plain();
    in.FocusOutline = true;
    const QImage image = Drawn(in);
    for (int y = 1; y <= 39; ++y)
        EXPECT_PIXEL(image, 1, y, Painted(0xE4AD89));
    const QColor dot = Painted(0x808080);
    for (int y = 2; y < 38; ++y)
        EXPECT_NE(image.pixelColor(2, y) == dot, image.pixelColor(2, y + 1) == dot) << y;
    EXPECT_PIXEL(image, 3, 20, Painted(Upper));
}

TEST(GlowDraw, DropDownArrowPixels)
{
    struct TCase {
        TDropDownDirection Direction;
        bool Enabled;
        QPoint At;
        QColor Arrow;
    };
    const TCase cases[] = {
        { TDropDownDirection::ddDown, true, QPoint(91, 19), QColor(Qt::black) },
        { TDropDownDirection::ddDown, false, QPoint(91, 19), Painted(0x808080) },
        { TDropDownDirection::ddRight, true, QPoint(92, 18), QColor(Qt::black) },
    };
    for (const TCase& c : cases) {
        TGlowDrawInput in = Plain();
        in.DropDownButton = true;
        in.DropDownDirection = c.Direction;
        in.Enabled = c.Enabled;
        const QImage image = Drawn(in);
        const bool down = c.Direction == TDropDownDirection::ddDown;
        const auto arrow = DropDownArrowPixels(c.At, down, false);
        ASSERT_EQ(arrow.size(), 9u);
        for (const QPoint& p : arrow)
            EXPECT_PIXEL(image, p.x(), p.y(), c.Arrow);
        for (const QPoint& p : DropDownArrowPixels(c.At, down, true))
            EXPECT_PIXEL(image, p.x(), p.y(), QColor(Qt::white));
        // The arrow's first row (down) or column (right) is five pixels long.
        EXPECT_PIXEL(image, c.At.x() + (down ? 4 : 0), c.At.y() + (down ? 0 : 4), c.Arrow);
        EXPECT_PIXEL(image, c.At.x() + (down ? 5 : 0), c.At.y() + (down ? 0 : 5), Painted(c.At.y() + (down ? 0 : 5) <= 20 ? Upper : Lower));
    }
}

TEST(GlowDraw, TransparentLeavesTheBackground)
{
    TGlowDrawInput in = Plain();
    in.BackgroundTransparent = true;
    in.Rounded = true;
    QImage untouched(in.Client.size(), QImage::Format_ARGB32);
    untouched.fill(Background);
    EXPECT_EQ(Drawn(in), untouched);
}

TEST(GlowDraw, StatesAgainstReferencePictures)
{
    const TGlowButtonAppearance a;
    struct TCase {
        const char* Name;
        TGlowColorInputs Colours;
        QPoint Probe;
        TColor Expected;
    };
    TGlowColorInputs normal, hot, pressed, disabled, focused;
    hot.Hot = true;
    pressed.State = gsPressed;
    disabled.Enabled = false;
    disabled.State = gsDisabled;
    focused.Focused = true;
    const TCase cases[] = {
        { "normal", normal, QPoint(0, 12), a.Normal.BorderColor },
        { "hot", hot, QPoint(3, 10), a.Hot.Color },
        { "pressed", pressed, QPoint(3, 10), a.Down.Color },
        { "disabled", disabled, QPoint(3, 10), a.Disabled.Color },
        { "focused", focused, QPoint(1, 12), 0xE4AD89 },
    };
    const QString folder = QStringLiteral(TARVELL_TEST_DATA "/ui");
    const bool write = qEnvironmentVariableIsSet("TARVELL_WRITE_UI_REFERENCES");
    for (const TCase& c : cases) {
        const TGlowColorChoice choice = ChooseGlowColors(a, c.Colours);
        TGlowDrawInput in = Plain(QSize(60, 24));
        in.Colors = choice.Set;
        in.Highlighted = choice.Highlighted;
        in.FocusOutline = choice.FocusBorder;
        in.Rounded = true;
        in.Enabled = c.Colours.Enabled;
        const QImage image = Drawn(in);
        EXPECT_PIXEL(image, c.Probe.x(), c.Probe.y(), Painted(c.Expected)) << c.Name;
        EXPECT_PIXEL(image, 0, 0, Background) << c.Name;
        const QString file = folder + QStringLiteral("/glow-%1.png").arg(QLatin1String(c.Name));
        if (write) {
            QDir().mkpath(folder);
            image.save(file);
            continue;
        }
        const QImage reference(file);
        ASSERT_FALSE(reference.isNull()) << file.toStdString();
        ASSERT_EQ(reference.size(), image.size()) << c.Name;
        int differing = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!Near(image.pixelColor(x, y), reference.pixelColor(x, y), 3))
                    ++differing;
        EXPECT_EQ(differing, 0) << c.Name;
    }
}

TEST(GlowDraw, ImageLeftOfTheCaptionOnBothTextPaths)
{
    TPngImageList images(QSize(16, 16));
    images.Add(QPixmap::fromImage(SolidImage(QSize(16, 16), Qt::cyan)));
    for (const TAntiAlias antiAlias : { TAntiAlias::aaClearType, TAntiAlias::aaNone }) {
        TGlowDrawInput in = Plain();
        in.BorderSingle = false;
        in.Colors.Color = in.Colors.ColorTo = in.Colors.ColorMirror = in.Colors.ColorMirrorTo = clWhite;
        in.AntiAlias = antiAlias;
        in.Caption = QStringLiteral("Sites");
        in.Images = &images;
        in.ImageIndex = 0;
        const QImage image = Drawn(in);
        const QRect box = BoxOf(image, QColor(Qt::cyan));
        EXPECT_EQ(box.size(), QSize(16, 16));
        EXPECT_EQ(box.top(), (41 - 16) / 2);
        const int iw = 16 + in.Spacing;
        int expected;
        if (antiAlias == TAntiAlias::aaNone) {
            const QFontMetrics metrics(in.Font, &image);
            const int tw = metrics.boundingRect(QRect(0, 0, 4096, 4096), Qt::TextSingleLine, in.Caption).width();
            expected = std::max(2, (100 - tw - iw) / 2);
        } else {
            const QFontMetricsF metrics(in.Font, &image);
            const QRectF text = metrics.boundingRect(QRectF(0, 0, 100, 41), Qt::AlignCenter | Qt::TextWordWrap, in.Caption);
            expected = std::max(2, int(std::nearbyint(text.x() - iw / 2)));
        }
        EXPECT_EQ(box.left(), expected) << int(antiAlias);
        // The caption's ink lies right of the image.
        int firstInk = -1;
        for (int x = 0; x < 100 && firstInk < 0; ++x)
            for (int y = 0; y < 41; ++y)
                if (image.pixelColor(x, y).lightness() < 128 && image.pixelColor(x, y) != QColor(Qt::cyan))
                    firstInk = x;
        EXPECT_GT(firstInk, box.right()) << int(antiAlias);
    }
}

TEST(GlowDraw, ForcedImageSizeStretchesPicturesOfEitherKind)
{
    for (const char* format : { "PNG", "BMP" }) {
        QImage picture = SolidImage(QSize(32, 32), Qt::cyan).convertToFormat(QImage::Format_RGB32);
        picture.setPixelColor(0, 31, Qt::cyan);
        TGDIPPicture gp;
        LoadBytes(gp, Encoded(picture, format));
        TGlowDrawInput input = Plain();
        input.BorderSingle = false;
        input.Picture = &gp;
        input.ForcedImageSize = QSize(16, 16);
        const QImage image = Drawn(input);
        if (QByteArray(format) == "PNG") {
            EXPECT_EQ(BoxOf(image, QColor(Qt::cyan)), QRect(42, 12, 16, 16));
        } else {
            // The bitmap's corner colour is its transparent colour.
            EXPECT_TRUE(BoxOf(image, QColor(Qt::cyan)).isEmpty());
        }
        input.ForcedImageSize = QSize();
        const QImage own = Drawn(input);
        if (QByteArray(format) == "PNG") {
            EXPECT_EQ(BoxOf(own, QColor(Qt::cyan)), QRect(34, 4, 32, 32));
        }
    }
}

TEST(GlowDraw, MeasuringTakesTheCaptionAndItsLines)
{
    TGlowDrawInput in = Plain();
    in.Measuring = true;
    in.Caption = QStringLiteral("AutoUpdate");
    QImage device(1, 1, QImage::Format_ARGB32);
    QPainter painter(&device);
    const QSize one = DrawGlowButton(painter, in);
    const QFontMetricsF metrics(in.Font, &device);
    const QRectF text = metrics.boundingRect(QRectF(0, 0, 4096, 4096), Qt::AlignCenter | Qt::TextWordWrap, in.Caption);
    EXPECT_NEAR(one.width(), text.width() + 2, 2);
    EXPECT_NEAR(one.height(), text.height() + 2, 2);

    in.Caption = QStringLiteral("Auto\\nUpdate");
    const QSize two = DrawGlowButton(painter, in);
    EXPECT_GT(two.height(), one.height() * 3 / 2);
    EXPECT_LT(two.width(), one.width());
    in.ForcedImageSize = QSize(16, 16);
    const QSize forced = DrawGlowButton(painter, in);
    EXPECT_EQ(forced.height(), one.height());
}
