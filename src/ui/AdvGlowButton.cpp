// The glow button: its drawing and the widget that feeds its behaviour.
#include "ui/AdvGlowButton.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int MeasureBox = 4096;
constexpr int SplitPartSize = 12;
constexpr int MinImageOffset = 2;
constexpr int SplitShade = -10;
constexpr TColor FocusOutlineColor = 0xE4AD89;
constexpr TColor FocusDotColor = 0x808080;
constexpr TColor ArrowDisabledColor = 0x808080;

std::function<void(QWidget*, std::exception_ptr)>& ClickErrorHandler()
{
    static std::function<void(QWidget*, std::exception_ptr)> handler;
    return handler;
}

int RoundInt(double value)
{
    return int(std::nearbyint(value));
}

// A rectangle as left, top, right, bottom (right and bottom exclusive).
QRect Ltrb(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}
int RightOf(const QRect& r) { return r.left() + r.width(); }
int BottomOf(const QRect& r) { return r.top() + r.height(); }

TARGB Argb(TColor color) { return ColorToARGB(color); }

void AddCorner(TGPGraphicsPath& path, float x, float y, int d, float start)
{
    if (d > 0)
        path.AddArc(x, y, float(d), float(d), start, 90);
}

// The closed outline of (x0, y0)-(x1, y1) with quarter-circle corners of radius r.
void RoundedOutline(TGPGraphicsPath& path, int x0, int y0, int x1, int y1, int r)
{
    const int d = 2 * r;
    if (r <= 0) {
        path.AddLine(float(x0), float(y0), float(x1), float(y0));
        path.AddLine(float(x1), float(y0), float(x1), float(y1));
        path.AddLine(float(x1), float(y1), float(x0), float(y1));
        // Closing the figure draws the left edge and joins the corner.
        path.CloseFigure();
        return;
    }
    path.AddArc(float(x0), float(y0), float(d), float(d), 180, 90);
    path.AddArc(float(x1 - d), float(y0), float(d), float(d), 270, 90);
    path.AddArc(float(x1 - d), float(y1 - d), float(d), float(d), 0, 90);
    path.AddArc(float(x0), float(y1 - d), float(d), float(d), 90, 90);
    path.CloseFigure();
}

void StrokeLine(TGPGraphics& graphics, TColor color, int x1, int y1, int x2, int y2)
{
    TGPPen pen(Argb(color));
    TGPGraphicsPath path;
    path.AddLine(float(x1), float(y1), float(x2), float(y2));
    graphics.DrawPath(&pen, &path);
}

// The border of a button standing alone or at the left, middle or right of a bar.
void DrawPositionBorder(TGPGraphics& graphics, const TGlowDrawInput& in, const QRect& client, int r)
{
    const int x0 = client.left(), y0 = client.top(), x1 = RightOf(client) - 1, y1 = BottomOf(client) - 1;
    const int d = 2 * r;
    const TColor border = in.Colors.BorderColor;
    const TColor edge = ShadeColor(border, -5);
    TGPPen pen(Argb(border));
    switch (in.Position) {
    case TButtonPosition::bpStandalone:
        DrawGlowBorder(graphics, border, client, r);
        return;
    case TButtonPosition::bpLeft: {
        TGPGraphicsPath path;
        path.AddLine(float(x1), float(y1), float(x0 + r), float(y1));
        AddCorner(path, float(x0), float(y1 - d), d, 90);
        path.AddLine(float(x0), float(y1 - r), float(x0), float(y0 + r));
        AddCorner(path, float(x0), float(y0), d, 180);
        path.AddLine(float(x0 + r), float(y0), float(x1), float(y0));
        graphics.DrawPath(&pen, &path);
        StrokeLine(graphics, edge, x1, y0, x1, y1);
        return;
    }
    case TButtonPosition::bpMiddle:
        StrokeLine(graphics, border, x0 - 1, y0, x1, y0);
        StrokeLine(graphics, border, x0 - 1, y1, x1, y1);
        StrokeLine(graphics, edge, x1, y0, x1, y1);
        break;
    case TButtonPosition::bpRight: {
        TGPGraphicsPath path;
        path.AddLine(float(x0), float(y0), float(x1 - r), float(y0));
        AddCorner(path, float(x1 - d), float(y0), d, 270);
        path.AddLine(float(x1), float(y0 + r), float(x1), float(y1 - r));
        AddCorner(path, float(x1 - d), float(y1 - d), d, 0);
        path.AddLine(float(x1 - r), float(y1), float(x0), float(y1));
        graphics.DrawPath(&pen, &path);
        break;
    }
    }
    // The separator towards the left neighbour.
    if (in.MouseEntered)
        StrokeLine(graphics, edge, x0, y0, x0, y1);
    else
        StrokeLine(graphics, ShadeColor(clWhite, -10), x0, y0 + 2, x0, y1 - 2);
}

void FillHalves(QPainter& canvas, TGPGraphics& graphics, const QRect& rect, const TGlowColorSet& set)
{
    const int half = rect.height() / 2;
    FillGlowHalf(canvas, graphics, Ltrb(rect.left(), rect.top() + half - 1, RightOf(rect), BottomOf(rect)), false,
        set.GradientMirror, set.ColorMirror, set.ColorMirrorTo);
    FillGlowHalf(canvas, graphics, Ltrb(rect.left(), rect.top(), RightOf(rect), BottomOf(rect) - half), true,
        set.Gradient, set.ColorTo, set.Color);
}

TGlowColorSet ShadedSet(const TGlowColorSet& set, int percent)
{
    TGlowColorSet result = set;
    result.Color = ShadeColor(set.Color, percent);
    result.ColorTo = ShadeColor(set.ColorTo, percent);
    result.ColorMirror = ShadeColor(set.ColorMirror, percent);
    result.ColorMirrorTo = ShadeColor(set.ColorMirrorTo, percent);
    return result;
}

bool VectorTextPossible(const TGlowDrawInput& in)
{
    if (in.AntiAlias == TAntiAlias::aaNone)
        return false;
    const QString family = QFontInfo(in.Font).family();
    return QFontDatabase::hasFamily(family) && QFontDatabase::isScalable(family);
}

int GdipStyle(const QFont& font)
{
    return (font.bold() ? FontStyleBold : 0) | (font.italic() ? FontStyleItalic : 0)
        | (font.underline() ? FontStyleUnderline : 0);
}

std::unique_ptr<TGPFont> MakeGdipFont(const QFont& font, std::unique_ptr<TGPFontFamily>& family)
{
    family = std::make_unique<TGPFontFamily>(QFontInfo(font).family());
    if (font.pointSizeF() > 0)
        return std::make_unique<TGPFont>(family.get(), float(font.pointSizeF()), GdipStyle(font), UnitPoint);
    return std::make_unique<TGPFont>(family.get(), float(font.pixelSize()), GdipStyle(font), UnitPixel);
}

bool IsLeftRight(TButtonLayout layout)
{
    switch (layout) {
    case TButtonLayout::blGlyphLeft:
    case TButtonLayout::blGlyphRight:
    case TButtonLayout::blGlyphLeftAdjusted:
    case TButtonLayout::blGlyphRightAdjusted:
        return true;
    default:
        return false;
    }
}

// Measures and draws text either through the anti-aliased wrappers or through the painter.
class TTextPath {
public:
    TTextPath(QPainter& canvas, TGPGraphics& graphics, const TGlowDrawInput& in, TButtonLayout layout)
        : FCanvas(canvas)
        , FGraphics(graphics)
        , FVector(VectorTextPossible(in))
        , FIn(in)
        , FFormat(in.WordWrap ? 0 : StringFormatFlagsNoWrap)
    {
        if (!FVector)
            return;
        FFont = MakeGdipFont(in.Font, FFamily);
        FNotesFont = MakeGdipFont(in.NotesFont, FNotesFamily);
        FFormat.SetAlignment(layout == TButtonLayout::blGlyphLeftAdjusted ? StringAlignmentNear
                : layout == TButtonLayout::blGlyphRightAdjusted           ? StringAlignmentFar
                                                                          : StringAlignmentCenter);
        FFormat.SetLineAlignment(layout == TButtonLayout::blGlyphTopAdjusted ? StringAlignmentNear
                : layout == TButtonLayout::blGlyphBottomAdjusted             ? StringAlignmentFar
                                                                             : StringAlignmentCenter);
        FFormat.SetHotkeyPrefix(HotkeyPrefixShow);
        FFormat.SetTrimming(in.Trimming);
        FGraphics.SetTextRenderingHint(
            in.AntiAlias == TAntiAlias::aaClearType ? TextRenderingHintClearTypeGridFit : TextRenderingHintAntiAlias);
    }
    bool Vector() const { return FVector; }

    // The caption's box laid out in box (vector text: where it would be drawn; canvas text: its
    // single-line size at box's top-left corner).
    QRectF MeasureCaption(const QString& text, const QRect& box)
    {
        if (text.isEmpty())
            return QRectF(box.topLeft(), QSizeF(0, 0));
        if (FVector) {
            TGPRectF bounds;
            FGraphics.MeasureString(text, -1, FFont.get(), Box(box), &FFormat, bounds);
            return bounds.ToQRectF();
        }
        const QFontMetrics metrics(FIn.Font, FCanvas.device());
        const QRect r = metrics.boundingRect(QRect(0, 0, MeasureBox, MeasureBox), Qt::TextSingleLine | Qt::TextShowMnemonic, text);
        return QRectF(box.left(), box.top(), r.width(), r.height());
    }
    QSizeF MeasureNotes(int width)
    {
        if (FIn.Notes.isEmpty())
            return QSizeF(0, 0);
        const QString text = FIn.Notes.join(QChar('\n'));
        if (FVector) {
            TGPRectF bounds;
            TGPStringFormat format(0);
            FGraphics.MeasureString(text, -1, FNotesFont.get(), MakeRectF(0, 0, float(width), MeasureBox), &format, bounds);
            return QSizeF(bounds.Width, bounds.Height);
        }
        const QFontMetrics metrics(FIn.NotesFont, FCanvas.device());
        return metrics.boundingRect(QRect(0, 0, width, MeasureBox), Qt::TextWordWrap, text).size();
    }
    // The caption in box: vector text aligned by the layout's format (lineAlign overrides the
    // vertical alignment when >= 0); canvas text with flags.
    void DrawCaption(const QString& text, const QRect& box, TColor color, int canvasFlags, int lineAlign = -1)
    {
        if (text.isEmpty())
            return;
        if (FVector) {
            TGPSolidBrush brush(Argb(color));
            const int keep = FFormat.LineAlignment();
            if (lineAlign >= 0)
                FFormat.SetLineAlignment(lineAlign);
            FGraphics.DrawString(text, -1, FFont.get(), Box(box), &FFormat, &brush);
            FFormat.SetLineAlignment(keep);
            return;
        }
        FCanvas.save();
        FCanvas.setFont(FIn.Font);
        FCanvas.setPen(ArgbToQColor(Argb(color)));
        FCanvas.drawText(box, canvasFlags | Qt::TextShowMnemonic | (FIn.WordWrap ? Qt::TextWordWrap : Qt::TextSingleLine), text);
        FCanvas.restore();
    }
    void DrawNotes(const QRect& box, TColor color)
    {
        if (FIn.Notes.isEmpty())
            return;
        const QString text = FIn.Notes.join(QChar('\n'));
        if (FVector) {
            TGPSolidBrush brush(Argb(color));
            TGPStringFormat format(0);
            FGraphics.DrawString(text, -1, FNotesFont.get(), Box(box), &format, &brush);
            return;
        }
        FCanvas.save();
        FCanvas.setFont(FIn.NotesFont);
        FCanvas.setPen(ArgbToQColor(Argb(color)));
        FCanvas.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        FCanvas.restore();
    }

private:
    static TGPRectF Box(const QRect& r) { return MakeRectF(float(r.x()), float(r.y()), float(r.width()), float(r.height())); }
    QPainter& FCanvas;
    TGPGraphics& FGraphics;
    bool FVector;
    const TGlowDrawInput& FIn;
    TGPStringFormat FFormat;
    std::unique_ptr<TGPFontFamily> FFamily, FNotesFamily;
    std::unique_ptr<TGPFont> FFont, FNotesFont;
};

// Saves the painter's state and restores it on every exit.
class TPainterState {
public:
    explicit TPainterState(QPainter& painter)
        : FPainter(painter)
    {
        FPainter.save();
    }
    ~TPainterState() { FPainter.restore(); }
    TPainterState(const TPainterState&) = delete;
    TPainterState& operator=(const TPainterState&) = delete;

private:
    QPainter& FPainter;
};

// The client without the corner pixels a rounded border leaves to the background behind.
QRegion WithoutCorners(const QRect& client, TButtonPosition position)
{
    QRegion region(client);
    const int l = client.left(), t = client.top(), r = RightOf(client) - 1, b = BottomOf(client) - 1;
    const bool leftCorners = position == TButtonPosition::bpStandalone || position == TButtonPosition::bpLeft;
    const bool rightCorners = position == TButtonPosition::bpStandalone || position == TButtonPosition::bpRight;
    if (leftCorners)
        region -= QRegion(l, t, 1, 1) + QRegion(l, b, 1, 1);
    if (rightCorners)
        region -= QRegion(r, t, 1, 1) + QRegion(r, b, 1, 1);
    return region;
}

} // namespace

QString GlowButtonFontName()
{
    for (const QString& name : { QStringLiteral("Segoe UI"), QStringLiteral("Tahoma") })
        if (QFontDatabase::hasFamily(name))
            return name;
    return QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
}

// --- drawing --------------------------------------------------------------------------------

void FillGlowHalf(QPainter&, TGPGraphics& graphics, const QRect& rect, bool upper, TGDIPGradient gradient,
    TColor colorA, TColor colorB)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const int left = rect.left(), top = rect.top(), right = RightOf(rect), bottom = BottomOf(rect);
    const int width = rect.width(), height = rect.height();
    TGPSolidBrush solid(Argb(upper ? colorB : colorA));
    graphics.FillRectangle(&solid, float(left), float(top), float(width), float(height));
    // The ellipse is as wide and high as the rectangle's right and bottom coordinates.
    TGPGraphicsPath ellipse;
    ellipse.AddEllipse(float(left), float(upper ? top - height / 2 + 2 : top), float(right), float(bottom));
    if (gradient == TGDIPGradient::ggRadial) {
        TGPPathGradientBrush brush(&ellipse);
        brush.SetCenterPoint(MakePoint(left + width / 2, upper ? top : bottom));
        brush.SetCenterColor(Argb(upper ? colorA : colorB));
        const TARGB surround[1] = { Argb(upper ? colorB : colorA) };
        int count = 1;
        brush.SetSurroundColors(surround, count);
        graphics.FillRectangle(&brush, float(left), float(top), float(width), float(height));
        return;
    }
    const int mode = gradient == TGDIPGradient::ggVertical ? 1 : gradient == TGDIPGradient::ggDiagonalForward ? 2 : 3;
    TGPLinearGradientBrush brush(MakeRectF(float(left), float(top), float(width), float(height)), Argb(colorB), Argb(colorA), mode);
    graphics.FillRectangle(&brush, float(left), float(top), float(width), float(height));
}

void DrawGlowBorder(TGPGraphics& graphics, TColor color, const QRect& rect, int radius, bool dotted)
{
    TGPPen pen(Argb(color));
    if (dotted)
        pen.SetDashStyle(DashStyleDot);
    TGPGraphicsPath path;
    RoundedOutline(path, rect.left(), rect.top(), RightOf(rect) - 1, BottomOf(rect) - 1, radius);
    graphics.DrawPath(&pen, &path);
}

std::vector<QPoint> DropDownArrowPixels(QPoint p, bool down, bool highlight)
{
    // Pointing down: rows of 5, 3 and 1 pixels; the highlight follows the slanted edges below.
    static constexpr int Arrow[][2] = { { 0, 0 }, { 1, 0 }, { 2, 0 }, { 3, 0 }, { 4, 0 }, { 1, 1 }, { 2, 1 }, { 3, 1 }, { 2, 2 } };
    static constexpr int Light[][2] = { { 0, 1 }, { 4, 1 }, { 1, 2 }, { 3, 2 }, { 2, 3 } };
    std::vector<QPoint> pixels;
    auto add = [&](const int (*cells)[2], size_t count) {
        for (size_t i = 0; i < count; ++i)
            pixels.push_back(down ? QPoint(p.x() + cells[i][0], p.y() + cells[i][1]) : QPoint(p.x() + cells[i][1], p.y() + cells[i][0]));
    };
    if (highlight)
        add(Light, std::size(Light));
    else
        add(Arrow, std::size(Arrow));
    return pixels;
}

void DrawDropDownArrow(QPainter& canvas, QPoint point, TColor color, bool down, TColor highlight)
{
    const QColor light = ArgbToQColor(Argb(highlight));
    for (const QPoint& pixel : DropDownArrowPixels(point, down, true))
        canvas.fillRect(QRect(pixel, QSize(1, 1)), light);
    const QColor arrow = ArgbToQColor(Argb(color));
    for (const QPoint& pixel : DropDownArrowPixels(point, down, false))
        canvas.fillRect(QRect(pixel, QSize(1, 1)), arrow);
}

QSize DrawGlowButton(QPainter& canvas, const TGlowDrawInput& in)
{
    const QRect client = in.Client;
    const int left = client.left(), top = client.top(), right = RightOf(client), bottom = BottomOf(client);
    const bool bottomPart = in.DropDownPosition == TDropDownPosition::dpBottom;
    QRect part;
    QRect face = client;
    if (in.DropDownButton) {
        part = bottomPart ? Ltrb(left, bottom - DropDownPartSize, right, bottom) : Ltrb(right - DropDownPartSize, top, right, bottom);
        face = bottomPart ? Ltrb(left, top, right, bottom - DropDownPartSize) : Ltrb(left, top, right - DropDownPartSize, bottom);
    }
    const TButtonLayout layout = in.Notes.isEmpty() ? in.Layout : TButtonLayout::blGlyphLeftAdjusted;
    const int radius = in.Rounded ? 3 : 0;
    TPainterState keep(canvas);
    if (!in.Measuring && radius > 0)
        canvas.setClipRegion(WithoutCorners(client, in.Position), Qt::IntersectClip);
    TGPGraphics graphics(&canvas);

    if (!in.Measuring) {
        if (!in.BackgroundTransparent) {
            const bool split = in.DropDownButton && in.DropDownSplit && in.Highlighted && in.DropDownHighlight > 0;
            if (!split) {
                FillHalves(canvas, graphics, client, in.Colors);
            } else {
                const QRect splitFace = bottomPart ? Ltrb(left, top, right, bottom - SplitPartSize) : Ltrb(left, top, right - SplitPartSize, bottom);
                const QRect splitPart = bottomPart ? Ltrb(left, bottom - SplitPartSize, right, bottom) : Ltrb(right - SplitPartSize, top, right, bottom);
                if (in.DropDownHighlight == 2) {
                    FillHalves(canvas, graphics, splitFace, in.Colors);
                    FillHalves(canvas, graphics, splitPart, ShadedSet(in.Colors, SplitShade));
                } else {
                    FillHalves(canvas, graphics, splitFace, ShadedSet(in.Colors, SplitShade));
                    TGlowColorSet partSet = in.Colors;
                    partSet.Gradient = TGDIPGradient::ggRadial;
                    FillHalves(canvas, graphics, splitPart, partSet);
                }
            }
        }
        graphics.SetSmoothingMode(SmoothingModeAntiAlias);
        if (!in.BackgroundTransparent && in.BorderSingle)
            DrawPositionBorder(graphics, in, client, radius);
        if (in.FocusOutline) {
            DrawGlowBorder(graphics, FocusOutlineColor, Ltrb(left + 1, top + 1, right - 1, bottom - 1), radius);
            DrawGlowBorder(graphics, FocusDotColor, Ltrb(left + 2, top + 2, right - 2, bottom - 2), radius, true);
        }
    }

    // The image's size.
    const bool forced = !in.ForcedImageSize.isEmpty();
    const bool useGlyph = in.Glyph.width() >= 2 && in.Glyph.height() >= 2;
    const bool usePicture = !useGlyph && in.Picture && in.Picture->GetImageSizes();
    const bool useList = !useGlyph && !usePicture && in.Images && in.ImageIndex >= 0;
    QSize image;
    if (useGlyph)
        image = in.Glyph.size();
    else if (usePicture)
        image = QSize(in.Picture->GetWidth(), in.Picture->GetHeight());
    else if (useList)
        image = in.Images->Size();
    if (forced && (useGlyph || usePicture || useList))
        image = in.ForcedImageSize;
    QString caption = in.Caption;
    caption.replace(QLatin1String("\\n"), forced ? QLatin1String(" ") : QLatin1String("\n"));
    const int spacing = in.Spacing;
    const int iw = image.width() + (!caption.isEmpty() && image.width() > 0 ? spacing : 0);
    const int ih = image.height();

    TTextPath text(canvas, graphics, in, layout);
    const QRect box = in.Measuring ? QRect(0, 0, MeasureBox, MeasureBox) : face;
    const QRectF captionBounds = text.MeasureCaption(caption, box);
    const QSizeF notes = text.MeasureNotes(in.Measuring ? MeasureBox : std::max(0, face.width() - iw - 2 * MinImageOffset));
    const int tw = RoundInt(captionBounds.width()), th = RoundInt(captionBounds.height());
    const int nw = RoundInt(notes.width()), nh = RoundInt(notes.height());

    if (in.Measuring) {
        if (IsLeftRight(layout))
            return QSize(std::max(tw, nw) + iw + spacing, std::max(th + spacing + nh, ih + spacing));
        return QSize(std::max(tw + spacing, iw + spacing), th + ih + spacing);
    }

    // Where image and caption go.
    const int x0 = face.left(), y0 = face.top(), fw = face.width(), fh = face.height();
    const int fwImage = fw - (in.DropDownButton && !bottomPart ? 8 : 0);
    const int fhImage = fh - (in.DropDownButton && bottomPart ? 8 : 0);
    const int imageWidth = image.width();
    int imageX = x0 + std::max(0, (fwImage - imageWidth) / 2);
    int imageY = y0 + std::max(0, (fhImage - ih) / 2);
    const TColor textColor = in.Enabled ? in.FontColor : in.DisabledTextColor;
    const TColor notesColor = in.Enabled ? in.NotesColor : in.DisabledTextColor;
    if (!caption.isEmpty()) {
        switch (layout) {
        case TButtonLayout::blGlyphLeft:
            if (text.Vector()) {
                imageX = std::max(x0 + MinImageOffset, RoundInt(captionBounds.x() - iw / 2));
                text.DrawCaption(caption, QRect(x0 + iw + 2, y0, fw - iw - 2, fh), textColor, 0);
            } else {
                imageX = x0 + std::max(MinImageOffset, (fw - tw - iw) / 2);
                const int textX = imageX + iw;
                text.DrawCaption(caption, QRect(textX, y0, x0 + fw - textX, fh), textColor, Qt::AlignLeft | Qt::AlignVCenter);
            }
            break;
        case TButtonLayout::blGlyphRight: {
            const QRect textBox(x0 + 2, y0, fw - iw - 2, fh);
            const QRectF placed = text.MeasureCaption(caption, textBox);
            const int textRight = text.Vector() ? RoundInt(placed.x() + placed.width()) : textBox.left() + (textBox.width() + tw) / 2;
            imageX = std::clamp(textRight + (iw - imageWidth), x0 + MinImageOffset, std::max(x0 + MinImageOffset, x0 + fwImage - imageWidth - MinImageOffset));
            text.DrawCaption(caption, textBox, textColor, Qt::AlignHCenter | Qt::AlignVCenter);
            break;
        }
        case TButtonLayout::blGlyphLeftAdjusted:
        case TButtonLayout::blGlyphRightAdjusted: {
            const bool leftSide = layout == TButtonLayout::blGlyphLeftAdjusted;
            imageX = leftSide ? x0 + MinImageOffset : x0 + fwImage - imageWidth - MinImageOffset;
            const int boxLeft = leftSide ? x0 + iw + MinImageOffset : x0 + MinImageOffset;
            const int boxWidth = fw - iw - 2 * MinImageOffset;
            if (in.Notes.isEmpty()) {
                text.DrawCaption(caption, QRect(boxLeft + (text.Vector() || !leftSide ? 0 : 2), y0, boxWidth, fh), textColor,
                    (leftSide ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            } else {
                const int blockTop = y0 + std::max(0, (fh - th - nh) / 2);
                text.DrawCaption(caption, QRect(boxLeft, blockTop, boxWidth, th + 1), textColor, Qt::AlignLeft | Qt::AlignTop, StringAlignmentNear);
                text.DrawNotes(QRect(boxLeft, blockTop + th, boxWidth, std::max(nh, fh - th)), notesColor);
            }
            break;
        }
        default: {
            // Image above or below the caption, the pair centred (or at the edge when adjusted).
            const bool above = layout == TButtonLayout::blGlyphTop || layout == TButtonLayout::blGlyphTopAdjusted;
            const bool adjusted = layout == TButtonLayout::blGlyphTopAdjusted || layout == TButtonLayout::blGlyphBottomAdjusted;
            const int gap = ih > 0 ? spacing : 0;
            const int block = ih + gap + th;
            int blockTop = adjusted ? (above ? y0 + MinImageOffset : y0 + fhImage - block - MinImageOffset) : y0 + std::max(0, (fhImage - block) / 2);
            blockTop = std::max(y0, blockTop);
            imageY = above ? blockTop : blockTop + th + gap;
            const int textTop = above ? blockTop + ih + gap : blockTop;
            text.DrawCaption(caption, QRect(x0, textTop, fw, th + 1), textColor, Qt::AlignHCenter | Qt::AlignTop, StringAlignmentNear);
            break;
        }
        }
    }

    // The image last.
    if (useGlyph || usePicture || useList) {
        const QRect target(imageX, imageY, image.width(), image.height());
        if (useGlyph)
            canvas.drawImage(target, in.Glyph);
        else if (usePicture && !forced)
            in.Picture->Draw(canvas, target);
        else if (usePicture)
            DrawImageBytesStretched(canvas, target, in.Picture->Data());
        else if (forced && image != in.Images->Size())
            in.Images->DrawStretched(canvas, target, in.ImageIndex, in.ImagesEnabled);
        else
            in.Images->Draw(canvas, imageX, imageY, in.ImageIndex, in.ImagesEnabled);
    }

    if (in.DropDownButton) {
        if (in.DropDownSplit && in.Highlighted && in.DropDownHighlight > 0) {
            TGPGraphics lines(&canvas);
            if (bottomPart)
                StrokeLine(lines, in.Colors.BorderColor, left, part.top(), right - 1, part.top());
            else
                StrokeLine(lines, in.Colors.BorderColor, part.left(), top, part.left(), bottom - 1);
        }
        const bool down = in.DropDownDirection == TDropDownDirection::ddDown;
        const QSize arrow = down ? QSize(5, 3) : QSize(3, 5);
        const QPoint at(part.left() + (part.width() - arrow.width()) / 2, part.top() + (part.height() - arrow.height()) / 2);
        DrawDropDownArrow(canvas, at, in.Enabled ? clBlack : ArrowDisabledColor, down);
    }
    return QSize(tw + iw, std::max(th, ih));
}

// --- image actions --------------------------------------------------------------------------

TImageAction::TImageAction(QObject* parent)
    : QAction(parent)
{
}

TImageAction::TImageAction(const QString& text, int imageIndex, TPngImageList* images, QObject* parent)
    : QAction(text, parent)
    , FImageIndex(imageIndex)
    , FImages(images)
{
}

void TImageAction::SetImageIndex(int index)
{
    if (index == FImageIndex)
        return;
    FImageIndex = index;
    emit changed();
}

void TImageAction::SetImages(TPngImageList* images)
{
    FImages = images;
    emit changed();
}

// --- the button -----------------------------------------------------------------------------

TAdvCustomGlowButton::TAdvCustomGlowButton(QWidget* parent)
    : QPushButton(parent)
{
    setAttribute(Qt::WA_Hover, true);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    resize(100, 41);
    FNotesFont = QFont(GlowButtonFontName());
    FNotesFont.setPointSize(8);
    FFadeTimer.setInterval(FadeInterval);
    connect(&FFadeTimer, &QTimer::timeout, this, [this] { FLogic.FadeTick(); });
    connect(&FRepeatTimer, &QTimer::timeout, this, &TAdvCustomGlowButton::RepeatTick);
    connect(this, &QAbstractButton::clicked, this, &TAdvCustomGlowButton::HandleClicked);
    FPicture.OnChange = [this] { UpdateSize(); };
    FDisabledPicture.OnChange = [this] { UpdateSize(); };
}

TAdvCustomGlowButton::~TAdvCustomGlowButton()
{
    FPicture.OnChange = nullptr;
    FDisabledPicture.OnChange = nullptr;
    if (FAction)
        disconnect(FActionChanged);
}

QString TAdvCustomGlowButton::Version() const
{
    const unsigned v = GetVersionNr();
    return QStringLiteral("%1.%2.%3.%4").arg(v >> 24).arg((v >> 16) & 0xFF).arg((v >> 8) & 0xFF).arg(v & 0xFF);
}

void TAdvCustomGlowButton::Assign(const TAdvCustomGlowButton* source)
{
    if (!source || source == this)
        return;
    SetAppearance(source->FAppearance);
    SetCaption(source->Caption());
    FShowCaption = source->FShowCaption;
    if (source->ParentFont())
        setAttribute(Qt::WA_SetFont, false);
    else
        setFont(source->font());
    FNotes = source->FNotes;
    FNotesFont = source->FNotesFont;
    FImages = source->FImages;
    FHotImages = source->FHotImages;
    FDisabledImages = source->FDisabledImages;
    FImageIndex = source->FImageIndex;
    FPicture.Assign(&source->FPicture);
    FHotPicture.Assign(&source->FHotPicture);
    FDisabledPicture.Assign(&source->FDisabledPicture);
    FLayout = source->FLayout;
    FSpacing = source->FSpacing;
    FMarginHorz = source->FMarginHorz;
    FMarginVert = source->FMarginVert;
    FWordWrap = source->FWordWrap;
    FTrimming = source->FTrimming;
    FAntiAlias = source->FAntiAlias;
    FRounded = source->FRounded;
    FBorderStyle = source->FBorderStyle;
    FPosition = source->FPosition;
    FShowDisabled = source->FShowDisabled;
    FDropDownDirection = source->FDropDownDirection;
    FDropDownMenu = source->FDropDownMenu;
    FLogic.Style = source->FLogic.Style;
    FLogic.DropDownButton = source->FLogic.DropDownButton;
    FLogic.DropDownSplit = source->FLogic.DropDownSplit;
    FLogic.DropDownPosition = source->FLogic.DropDownPosition;
    FLogic.SetGroupIndex(source->GroupIndex());
    FLogic.SetAllowAllUp(source->AllowAllUp());
    FLogic.SetDown(source->Down());
    FOfficeHint.Assign(&source->FOfficeHint);
    Transparent = source->Transparent;
    TransparentAll = source->TransparentAll;
    TextColorDisabled = source->TextColorDisabled;
    FocusType = source->FocusType;
    ShortCutHint = source->ShortCutHint;
    ShortCutHintPos = source->ShortCutHintPos;
    RepeatClick = source->RepeatClick;
    InitRepeatPause = source->InitRepeatPause;
    RepeatPause = source->RepeatPause;
    Cancel = source->Cancel;
    ModalResult = source->ModalResult;
    DoubleBuffered = source->DoubleBuffered;
    setDefault(source->isDefault());
    setEnabled(source->isEnabled());
    SetMaxButtonSizeState(source->MaxButtonSizeState());
    SetMinButtonSizeState(source->MinButtonSizeState());
    FAutoSize = source->FAutoSize;
    resize(source->size());
    UpdateSize();
}

void TAdvCustomGlowButton::SetCaption(const QString& caption)
{
    setText(caption);
    UpdateSize();
}

void TAdvCustomGlowButton::SetShowCaption(bool value)
{
    FShowCaption = value;
    UpdateSize();
}

void TAdvCustomGlowButton::SetNotes(const QStringList& notes)
{
    FNotes = notes;
    update();
}

void TAdvCustomGlowButton::SetNotesFont(const QFont& font)
{
    FNotesFont = font;
    update();
}

void TAdvCustomGlowButton::SetImages(TPngImageList* images)
{
    FImages = images;
    update();
}

void TAdvCustomGlowButton::SetHotImages(TPngImageList* images)
{
    FHotImages = images;
    update();
}

void TAdvCustomGlowButton::SetDisabledImages(TPngImageList* images)
{
    FDisabledImages = images;
    update();
}

void TAdvCustomGlowButton::SetImageIndex(int index)
{
    FImageIndex = index;
    UpdateSize();
}

void TAdvCustomGlowButton::SetAppearance(const TGlowButtonAppearance& appearance)
{
    FAppearance = appearance;
    update();
}

void TAdvCustomGlowButton::ApplyStylePreset(int preset)
{
    FAppearance.ApplyStylePreset(preset);
    update();
}

void TAdvCustomGlowButton::SetLayout(TButtonLayout layout)
{
    FLayout = layout;
    update();
}

void TAdvCustomGlowButton::SetSpacing(int value)
{
    if (std::exchange(FSpacing, value) != value)
        update();
}

void TAdvCustomGlowButton::SetMarginHorz(int value)
{
    if (std::exchange(FMarginHorz, value) != value)
        UpdateSize();
}

void TAdvCustomGlowButton::SetMarginVert(int value)
{
    if (std::exchange(FMarginVert, value) != value)
        UpdateSize();
}

void TAdvCustomGlowButton::SetWordWrap(bool value)
{
    if (std::exchange(FWordWrap, value) != value)
        update();
}

void TAdvCustomGlowButton::SetTrimming(StringTrimming value)
{
    if (std::exchange(FTrimming, value) != value)
        update();
}

void TAdvCustomGlowButton::SetAntiAlias(TAntiAlias value)
{
    if (std::exchange(FAntiAlias, value) != value)
        update();
}

void TAdvCustomGlowButton::SetRounded(bool value)
{
    if (std::exchange(FRounded, value) != value)
        update();
}

void TAdvCustomGlowButton::SetBorderStyle(TBorderStyle value)
{
    FBorderStyle = value;
    update();
}

void TAdvCustomGlowButton::SetPosition(TButtonPosition value)
{
    FPosition = value;
    update();
}

void TAdvCustomGlowButton::SetShowDisabled(bool value)
{
    FShowDisabled = value;
    update();
}

void TAdvCustomGlowButton::SetAutoSize(bool value)
{
    if (std::exchange(FAutoSize, value) != value)
        UpdateSize();
}

void TAdvCustomGlowButton::SetDropDownButton(bool value)
{
    if (std::exchange(FLogic.DropDownButton, value) != value)
        UpdateSize();
}

void TAdvCustomGlowButton::SetDropDownSplit(bool value)
{
    FLogic.DropDownSplit = value;
    update();
}

void TAdvCustomGlowButton::SetDropDownPosition(TDropDownPosition value)
{
    if (std::exchange(FLogic.DropDownPosition, value) == value)
        return;
    if (FLogic.DropDownButton)
        UpdateSize();
    update();
}

void TAdvCustomGlowButton::SetDropDownDirection(TDropDownDirection value)
{
    if (std::exchange(FDropDownDirection, value) != value)
        update();
}

void TAdvCustomGlowButton::SetMaxButtonSizeState(TButtonSizeState value)
{
    if (FSizeStates.SetMax(value, FAutoSize, FLayout, FLogic.DropDownPosition))
        SizeStateChanged();
}

void TAdvCustomGlowButton::SetMinButtonSizeState(TButtonSizeState value)
{
    if (FSizeStates.SetMin(value, FAutoSize, FLayout, FLogic.DropDownPosition))
        SizeStateChanged();
}

void TAdvCustomGlowButton::SizeStateChanged()
{
    // Measured now rather than in the next paint: resizing inside a paint paints again.
    UpdateSize();
    update();
}

void TAdvCustomGlowButton::SetAction(QAction* action)
{
    if (FAction)
        disconnect(FActionChanged);
    FAction = action;
    if (!action)
        return;
    FActionChanged = connect(action, &QAction::changed, this, &TAdvCustomGlowButton::ActionChanged);
    ActionChanged();
}

void TAdvCustomGlowButton::ActionChanged()
{
    if (!FAction)
        return;
    if (text() != FAction->text())
        SetCaption(FAction->text());
    setEnabled(FAction->isEnabled());
    setVisible(FAction->isVisible());
    setToolTip(FAction->toolTip());
    if (FAction->isCheckable() && FAction->isChecked() != Down())
        SetDown(FAction->isChecked());
    if (auto* imageAction = qobject_cast<TImageAction*>(FAction.data()); imageAction && imageAction->ImageIndex() != FImageIndex)
        SetImageIndex(imageAction->ImageIndex());
    update();
}

bool TAdvCustomGlowButton::ActionCheckedLinked() const
{
    return FAction && FAction->isCheckable() && FAction->isChecked() == Down();
}

QSize TAdvCustomGlowButton::sizeHint() const
{
    return FHintSize;
}

// --- clicks ---------------------------------------------------------------------------------

void TAdvCustomGlowButton::SetClickErrorHandler(std::function<void(QWidget*, std::exception_ptr)> handler)
{
    ClickErrorHandler() = std::move(handler);
}

void TAdvCustomGlowButton::Click()
{
    // Emits clicked(), which every click path (mouse, keys, repeat, Qt's default button) shares.
    QAbstractButton::click();
}

void TAdvCustomGlowButton::HandleClicked()
{
    QPointer<TAdvCustomGlowButton> self(this);
    const int modalResult = ModalResult;
    try {
        if (OnClick)
            OnClick(this);
        else if (FAction)
            FAction->trigger();
    } catch (...) {
        if (self)
            FRepeatTimer.stop();
        if (ClickErrorHandler())
            ClickErrorHandler()(self, std::current_exception());
        else
            qWarning("An exception left a glow button's click handler");
        return;
    }
    // The dialog closes after the handlers have run.
    if (self && modalResult != mrNone)
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->done(modalResult);
}

void TAdvCustomGlowButton::RepeatTick()
{
    FRepeatTimer.setInterval(RepeatPause);
    if (FLogic.Pressing && FLogic.LeftDown)
        Click();
}

bool TAdvCustomGlowButton::ClickCancelButton(QWidget* window)
{
    if (!window)
        return false;
    for (TAdvCustomGlowButton* button : window->findChildren<TAdvCustomGlowButton*>()) {
        if (button->Cancel && button->window() == window && button->isEnabled() && button->isVisible()) {
            button->Click();
            return true;
        }
    }
    return false;
}

// --- host requests --------------------------------------------------------------------------

void TAdvCustomGlowButton::StartFadeTimer()
{
    if (!FFadeTimer.isActive())
        FFadeTimer.start();
}

void TAdvCustomGlowButton::StopFadeTimer()
{
    FFadeTimer.stop();
}

void TAdvCustomGlowButton::FireMouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TAdvCustomGlowButton::FireMouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TAdvCustomGlowButton::FireDropDown()
{
    if (OnDropDown)
        OnDropDown(this);
}

void TAdvCustomGlowButton::PopupMenu()
{
    if (!FDropDownMenu)
        return;
    FRepeatTimer.stop();
    const QPoint corner = FDropDownDirection == TDropDownDirection::ddDown ? QPoint(0, height()) : QPoint(width(), 0);
    FDropDownMenu->exec(mapToGlobal(corner));
}

bool TAdvCustomGlowButton::CursorOverButton() const
{
    return rect().contains(mapFromGlobal(QCursor::pos()));
}

void TAdvCustomGlowButton::BroadcastGroup()
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    for (TAdvCustomGlowButton* other : parent->findChildren<TAdvCustomGlowButton*>(Qt::FindDirectChildrenOnly))
        if (other != this && other->FLogic.ReceiveGroupNotice(GroupIndex(), FLogic))
            other->update();
}

// --- events ---------------------------------------------------------------------------------

bool TAdvCustomGlowButton::hitButton(const QPoint& pos) const
{
    return TGlowButtonLogic::Inside(pos.x(), pos.y(), width(), height());
}

void TAdvCustomGlowButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (RepeatClick) {
        FRepeatTimer.setInterval(InitRepeatPause);
        FRepeatTimer.start();
    }
    if (focusPolicy() & Qt::ClickFocus)
        setFocus(Qt::MouseFocusReason);
    const QPoint p = event->position().toPoint();
    FLogic.MouseDown(p.x(), p.y(), width(), height());
}

void TAdvCustomGlowButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click: its release clicks once more, and no extra click.
    mousePressEvent(event);
}

void TAdvCustomGlowButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    const QPoint p = event->position().toPoint();
    FLogic.MouseMove(p.x(), p.y(), width(), height());
}

void TAdvCustomGlowButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    FRepeatTimer.stop();
    if (!FLogic.LeftDown && !FLogic.Armed)
        return;
    const QPoint p = event->position().toPoint();
    FLogic.MouseUp(p.x(), p.y(), width(), height());
}

void TAdvCustomGlowButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    if (isEnabled())
        FLogic.MouseEnter();
}

void TAdvCustomGlowButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    FLogic.MouseLeave();
}

void TAdvCustomGlowButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        if (!event->isAutoRepeat()) {
            FLogic.KeyDown();
            Click();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_F4 && event->modifiers() == Qt::NoModifier && FDropDownMenu) {
        FLogic.DropDownKey();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void TAdvCustomGlowButton::keyReleaseEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            FLogic.KeyUp();
        event->accept();
        return;
    }
    QPushButton::keyReleaseEvent(event);
}

void TAdvCustomGlowButton::focusInEvent(QFocusEvent* event)
{
    QPushButton::focusInEvent(event);
    update();
}

void TAdvCustomGlowButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    update();
}

void TAdvCustomGlowButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateSize();
    } else if (event->type() == QEvent::EnabledChange) {
        // A disabled button gets no leave notice: it stops being hot and repeating now.
        if (!isEnabled()) {
            FRepeatTimer.stop();
            FLogic.MouseLeave();
        }
        update();
    }
}

bool TAdvCustomGlowButton::event(QEvent* event)
{
    // The caption's accelerator opens the drop-down menu as F4 does, when there is one.
    if (event->type() == QEvent::Shortcut && isEnabled()) {
        if (FDropDownMenu)
            FLogic.DropDownKey();
        else
            Click();
        return true;
    }
    return QPushButton::event(event);
}

// --- painting -------------------------------------------------------------------------------

TGlowDrawInput TAdvCustomGlowButton::DrawInput(bool measuring)
{
    TGlowDrawInput in;
    const bool enabled = isEnabled();
    FLogic.PrepareState(enabled);
    const bool focused = hasFocus();
    TGlowColorInputs colours;
    colours.Enabled = enabled;
    colours.State = FLogic.State;
    colours.Style = FLogic.Style;
    colours.ShowDisabled = FShowDisabled;
    colours.Hot = FLogic.Hot;
    colours.FadeTimerRunning = FLogic.FadeTimerRunning;
    colours.HotFade = FLogic.HotFade;
    colours.PressFade = FLogic.PressFade;
    colours.Pressing = FLogic.Pressing;
    colours.Transparent = Transparent;
    colours.MouseInside = FLogic.MouseInside;
    colours.Grouped = FLogic.GroupIndex() != 0;
    colours.Down = FLogic.Down();
    colours.Position = FPosition;
    colours.LeftDown = FLogic.LeftDown;
    colours.Focused = focused;
    colours.FocusType = FocusType;
    const TGlowColorChoice choice = ChooseGlowColors(FAppearance, colours);
    in.Client = rect();
    in.Colors = choice.Set;
    in.Highlighted = choice.Highlighted;
    in.FocusOutline = choice.FocusBorder;

    // Pictures: the action's list when it has one, hot or disabled lists when they apply.
    const TPngImageList* list = nullptr;
    bool listEnabled = enabled;
    if (enabled || !FDisabledImages) {
        list = FLogic.Hot && FHotImages ? FHotImages.data() : FImages.data();
    } else {
        list = FDisabledImages;
        listEnabled = true;
    }
    int imageIndex = FImageIndex;
    if (auto* imageAction = qobject_cast<TImageAction*>(FAction.data());
        imageAction && imageAction->ImageIndex() >= 0 && imageAction->Images()) {
        list = FLogic.Hot && FHotImages ? FHotImages.data() : imageAction->Images();
        imageIndex = imageAction->ImageIndex();
    }
    TGDIPPicture* picture = !enabled && !FDisabledPicture.GetEmpty() ? &FDisabledPicture
        : FLogic.Hot && !FHotPicture.GetEmpty()                       ? &FHotPicture
                                                                      : &FPicture;
    const bool small = FAutoSize && FSizeStates.Current() < TButtonSizeState::bsLarge;
    const bool listImageApplies = list && imageIndex >= 0;
    in.Images = list;
    in.ImageIndex = imageIndex;
    in.ImagesEnabled = listEnabled;
    in.Picture = small && listImageApplies ? nullptr : picture;
    if (small)
        in.ForcedImageSize = QSize(16, 16);
    in.Caption = FShowCaption && !(small && FSizeStates.Current() == TButtonSizeState::bsGlyph) ? text() : QString();

    QFont captionFont = font();
    if (!ParentFont() && FAppearance.SystemFont)
        captionFont.setFamily(GlowButtonFontName());
    in.Font = captionFont;
    in.FontColor = QColorToColor(palette().color(QPalette::Active, QPalette::ButtonText));
    in.Notes = FNotes;
    in.NotesFont = FNotesFont;
    in.NotesColor = in.FontColor;
    in.Layout = FLayout;
    in.Spacing = FSpacing;
    in.WordWrap = FWordWrap;
    in.Trimming = FTrimming;
    in.AntiAlias = FAntiAlias;
    in.Rounded = FRounded;
    in.BorderSingle = FBorderStyle == TBorderStyle::bsSingle;
    in.Position = FPosition;
    in.MouseEntered = FLogic.MouseEntered;
    const bool focusedHot = focused && (FocusType == TFocusType::ftHot || FocusType == TFocusType::ftHotBorder);
    in.BackgroundTransparent = GlowBackgroundTransparent(Transparent, TransparentAll, FLogic.MouseEntered, focusedHot, FLogic.State);
    in.DropDownButton = FLogic.DropDownButton;
    in.DropDownSplit = FLogic.DropDownSplit;
    in.DropDownPosition = FLogic.DropDownPosition;
    in.DropDownDirection = FDropDownDirection;
    in.DropDownHighlight = FLogic.DropDownHighlight();
    in.Enabled = enabled;
    in.DisabledTextColor = TextColorDisabled;
    in.Measuring = measuring;
    return in;
}

void TAdvCustomGlowButton::UpdateSize()
{
    if (!FAutoSize) {
        update();
        return;
    }
    // Measured on an image of the screen's resolution, outside any paint.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    scratch.setDotsPerMeterX(int(std::lround(logicalDpiX() / 0.0254)));
    scratch.setDotsPerMeterY(int(std::lround(logicalDpiY() / 0.0254)));
    QPainter painter(&scratch);
    const QSize content = DrawGlowButton(painter, DrawInput(true));
    painter.end();
    TGlowSizeInputs sizing;
    sizing.ContentWidth = content.width();
    sizing.ContentHeight = content.height();
    sizing.Spacing = FSpacing;
    sizing.MarginHorz = FMarginHorz;
    sizing.MarginVert = FMarginVert;
    sizing.DropDownButton = FLogic.DropDownButton;
    sizing.DropDownPosition = FLogic.DropDownPosition;
    const QSize wanted = GlowAutoSize(sizing);
    FHintSize = wanted;
    updateGeometry();
    if (size() != wanted)
        resize(wanted);
    update();
}

void TAdvCustomGlowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const TGlowDrawInput in = DrawInput(false);
    DrawGlowButton(painter, in);
    AfterDraw(painter);
    if (OnDrawButton)
        OnDrawButton(this, painter, FLogic.DrawState(), rect());
}
