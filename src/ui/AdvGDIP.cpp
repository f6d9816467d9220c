// Drawing wrappers over QPainter with the geometry of the interface they stand in for.
#include "ui/AdvGDIP.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

// The system colour numbers the forms use, and the palette role standing in for each.
QPalette::ColorRole SystemColorRole(unsigned index, QPalette::ColorGroup& group)
{
    group = QPalette::Active;
    switch (index) {
    case 1: // desktop
    case 4: // menu
    case 15: // button face
    case 25: // gradient inactive caption
        return index == 15 ? QPalette::Button : QPalette::Window;
    case 2: // active caption
    case 13: // highlight
    case 27: // gradient active caption
    case 29: // menu highlight
        return QPalette::Highlight;
    case 5: // window
        return QPalette::Base;
    case 6: // window frame
    case 21: // 3-D dark shadow
        return QPalette::Shadow;
    case 7: // menu text
    case 9: // caption text
        return QPalette::WindowText;
    case 8: // window text
        return QPalette::Text;
    case 14: // highlight text
        return QPalette::HighlightedText;
    case 16: // button shadow
        return QPalette::Dark;
    case 17: // grey text
        group = QPalette::Disabled;
        return QPalette::Text;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 22: // 3-D light
        return QPalette::Midlight;
    case 23: // info text
        return QPalette::ToolTipText;
    case 24: // info background
        return QPalette::ToolTipBase;
    case 26: // hot light
        return QPalette::Link;
    default:
        return QPalette::Window;
    }
}

QPalette ApplicationPalette()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::palette() : QPalette();
}

// Angles of the interface run clockwise on screen, Qt's counter-clockwise.
qreal QtAngle(float degrees) { return -qreal(degrees); }

int FormatNumber(const QByteArray& name)
{
    if (name == "bmp" || name == "dib")
        return ifBmp;
    if (name == "jpeg" || name == "jpg")
        return ifJpeg;
    if (name == "png")
        return ifPng;
    if (name == "gif")
        return ifGif;
    if (name == "tif" || name == "tiff")
        return ifTiff;
    if (name == "ico" || name == "cur")
        return ifIcon;
    if (name == "emf")
        return ifEmf;
    if (name == "wmf")
        return ifWmf;
    return ifUndefined;
}

// Whether an image of this size stays within the reader's allocation limit (32 bits a pixel).
bool WithinAllocationLimit(QSize size)
{
    const int limitMb = QImageReader::allocationLimit();
    if (limitMb <= 0)
        return true;
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    return bytes <= qint64(limitMb) * 1024 * 1024;
}

int QtHorizontal(int align)
{
    return align == StringAlignmentCenter ? Qt::AlignHCenter : align == StringAlignmentFar ? Qt::AlignRight : Qt::AlignLeft;
}

int QtVertical(int align)
{
    return align == StringAlignmentCenter ? Qt::AlignVCenter : align == StringAlignmentFar ? Qt::AlignBottom : Qt::AlignTop;
}

int QtTextFlags(const TGPStringFormat* format)
{
    if (!format)
        return Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    int flags = QtHorizontal(format->Alignment()) | QtVertical(format->LineAlignment());
    if (!(format->FormatFlags() & StringFormatFlagsNoWrap))
        flags |= Qt::TextWordWrap;
    if (format->HotkeyPrefix() == HotkeyPrefixShow)
        flags |= Qt::TextShowMnemonic;
    else if (format->HotkeyPrefix() == HotkeyPrefixHide)
        flags |= Qt::TextHideMnemonic;
    return flags;
}

// The text as it is laid out: line breaks of any kind as one line feed, ellipsis trimming of a
// single line applied.
QString LaidOutText(const QString& text, int length, const QFontMetricsF& metrics, const TGPRectF& layout,
    const TGPStringFormat* format)
{
    QString result = length < 0 ? text : text.left(length);
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    result.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    result.replace(QChar('\r'), QChar('\n'));
    if (format && (format->FormatFlags() & StringFormatFlagsNoWrap) && !result.contains(QChar('\n'))
        && layout.Width > 0) {
        switch (format->Trimming()) {
        case StringTrimmingEllipsisCharacter:
        case StringTrimmingEllipsisWord:
            result = metrics.elidedText(result, Qt::ElideRight, layout.Width);
            break;
        case StringTrimmingEllipsisPath:
            result = metrics.elidedText(result, Qt::ElideMiddle, layout.Width);
            break;
        default:
            break;
        }
    }
    return result;
}

// The pen's outline filled: Qt draws thin lines without joins, which leaves corners partly bare.
void StrokeOutline(QPainter& painter, const QPainterPath& path, const QPen& pen)
{
    QPainterPathStroker stroker(pen);
    painter.fillPath(stroker.createStroke(path), pen.brush());
}

} // namespace

TColor ColorToRGB(TColor color)
{
    if ((color & 0xFF000000) != clSystemColor)
        return color & 0xFFFFFF;
    QPalette::ColorGroup group;
    const QPalette::ColorRole role = SystemColorRole(color & 0xFF, group);
    return QColorToColor(ApplicationPalette().color(group, role));
}

TARGB ColorToARGB(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return 0xFF000000u | (TARGB(GetRValue(rgb)) << 16) | (TARGB(GetGValue(rgb)) << 8) | TARGB(GetBValue(rgb));
}

QColor ArgbToQColor(TARGB argb)
{
    return QColor::fromRgba(argb);
}

TColor QColorToColor(const QColor& color)
{
    return RGB(color.red(), color.green(), color.blue());
}

TGPRectF MakeRectF(float x, float y, float width, float height)
{
    return TGPRectF { x, y, width, height };
}

TGPPoint MakePoint(int x, int y)
{
    return TGPPoint { x, y };
}

bool IsVistaOrLater()
{
    return true;
}

// --- pens and brushes -----------------------------------------------------------------------

TGPPen::TGPPen(TARGB color, float width)
    : FPen(ArgbToQColor(color), qreal(width), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)
{
    SetCreationStatus(width < 0 ? InvalidParameter : Ok);
}

int32_t TGPPen::SetDashStyle(int style)
{
    switch (style) {
    case 0:
        FPen.setStyle(Qt::SolidLine);
        return Ok;
    case 1:
        FPen.setDashPattern({ 3, 1 });
        return Ok;
    case 2:
        // One on, one off (Qt's own dotted line leaves two off), started half a dot in so the
        // dots fall on whole pixels.
        FPen.setDashPattern({ 1, 1 });
        FPen.setDashOffset(1.5);
        return Ok;
    case 3:
        FPen.setDashPattern({ 3, 1, 1, 1 });
        return Ok;
    case 4:
        FPen.setDashPattern({ 3, 1, 1, 1, 1, 1 });
        return Ok;
    default:
        return SetStatus(InvalidParameter);
    }
}

TGPSolidBrush::TGPSolidBrush(TARGB color)
{
    FBrush = QBrush(ArgbToQColor(color));
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const TGPRectF& rect, TARGB color1, TARGB color2, int mode)
{
    if (rect.Width <= 0 || rect.Height <= 0 || mode < 0 || mode > 3) {
        SetCreationStatus(InvalidParameter);
        FBrush = QBrush(ArgbToQColor(color1));
        return;
    }
    // Defined on the unit square and stretched over the rectangle, so the diagonals run corner to
    // corner whatever the rectangle's shape.
    static constexpr QPointF Ends[4][2] = {
        { { 0, 0 }, { 1, 0 } },
        { { 0, 0 }, { 0, 1 } },
        { { 0, 0 }, { 1, 1 } },
        { { 1, 0 }, { 0, 1 } },
    };
    QLinearGradient gradient(Ends[mode][0], Ends[mode][1]);
    gradient.setColorAt(0, ArgbToQColor(color1));
    gradient.setColorAt(1, ArgbToQColor(color2));
    gradient.setSpread(QGradient::RepeatSpread);
    FBrush = QBrush(gradient);
    QTransform transform;
    transform.translate(rect.X, rect.Y);
    transform.scale(rect.Width, rect.Height);
    FBrush.setTransform(transform);
}

TGPPathGradientBrush::TGPPathGradientBrush(const TGPGraphicsPath* path)
{
    if (!path || path->Path().isEmpty()) {
        SetCreationStatus(path ? OutOfMemory : InvalidParameter);
        FClip = QPainterPath();
        return;
    }
    FPath = path->Path();
    FBounds = FPath.boundingRect();
    FCenter = FBounds.center();
    FPointCount = FPath.elementCount();
    Rebuild();
}

void TGPPathGradientBrush::Rebuild()
{
    FClip = FPath;
    if (FBounds.width() <= 0 || FBounds.height() <= 0) {
        FBrush = QBrush(ArgbToQColor(FSurroundColor));
        return;
    }
    // The outline's colour on the bounding ellipse, the centre colour at the centre point.
    const qreal rx = FBounds.width() / 2, ry = FBounds.height() / 2;
    QPointF focal((FCenter.x() - FBounds.center().x()) / rx, (FCenter.y() - FBounds.center().y()) / ry);
    const qreal distance = std::hypot(focal.x(), focal.y());
    if (distance > 0.999)
        focal *= 0.999 / distance;
    QRadialGradient gradient(QPointF(0, 0), 1, focal);
    gradient.setColorAt(0, ArgbToQColor(FCenterColor));
    gradient.setColorAt(1, ArgbToQColor(FSurroundColor));
    FBrush = QBrush(gradient);
    QTransform transform;
    transform.translate(FBounds.center().x(), FBounds.center().y());
    transform.scale(rx, ry);
    FBrush.setTransform(transform);
}

int32_t TGPPathGradientBrush::SetCenterColor(TARGB color)
{
    if (FPointCount == 0)
        return SetStatus(InvalidParameter);
    FCenterColor = color;
    Rebuild();
    return Ok;
}

int32_t TGPPathGradientBrush::SetCenterPoint(const TGPPoint& point)
{
    if (FPointCount == 0)
        return SetStatus(InvalidParameter);
    FCenter = QPointF(point.X, point.Y);
    Rebuild();
    return Ok;
}

int32_t TGPPathGradientBrush::GetPointCount() const
{
    return FPointCount;
}

int32_t TGPPathGradientBrush::SetSurroundColors(std::span<const TARGB> colors, int& count)
{
    if (colors.empty() || count <= 0 || count > int(colors.size()) || count > FPointCount)
        return SetStatus(InvalidParameter);
    FSurroundColor = colors[0];
    Rebuild();
    return Ok;
}

// --- fonts and formats ----------------------------------------------------------------------

TGPFontFamily::TGPFontFamily(const QString& name)
    : FName(name)
{
    SetCreationStatus(!name.isEmpty() && QFontDatabase::hasFamily(name) ? Ok : FontFamilyNotFound);
}

TGPFont::TGPFont(const TGPFontFamily* family, float size, int style, int unit)
{
    if (!family || family->GetLastStatus() != Ok || size <= 0 || (unit != UnitPoint && unit != UnitPixel)) {
        SetCreationStatus(InvalidParameter);
        return;
    }
    FFont = QFont(family->Name());
    if (unit == UnitPoint)
        FFont.setPointSizeF(size);
    else
        FFont.setPixelSize(std::max(1, int(std::lround(size))));
    FFont.setBold(style & FontStyleBold);
    FFont.setItalic(style & FontStyleItalic);
    FFont.setUnderline(style & FontStyleUnderline);
    FFont.setStrikeOut(style & FontStyleStrikeout);
}

TGPStringFormat::TGPStringFormat(int formatFlags, int)
    : FFlags(formatFlags)
{
}

template <typename T> int32_t TGPStringFormat::SetChecked(T& field, T value, T first, T last)
{
    if (value < first || value > last)
        return SetStatus(InvalidParameter);
    field = value;
    return Ok;
}

int32_t TGPStringFormat::SetAlignment(int align)
{
    return SetChecked(FAlign, align, StringAlignmentNear, StringAlignmentFar);
}

int32_t TGPStringFormat::SetLineAlignment(int align)
{
    return SetChecked(FLineAlign, align, StringAlignmentNear, StringAlignmentFar);
}

int32_t TGPStringFormat::SetTrimming(StringTrimming trimming)
{
    return SetChecked(FTrimming, trimming, StringTrimmingNone, StringTrimmingEllipsisPath);
}

int32_t TGPStringFormat::SetHotkeyPrefix(int prefix)
{
    return SetChecked(FHotkeyPrefix, prefix, HotkeyPrefixNone, HotkeyPrefixHide);
}

// --- paths ----------------------------------------------------------------------------------

TGPGraphicsPath::TGPGraphicsPath(int fillMode)
{
    FPath.setFillRule(fillMode == 1 ? Qt::WindingFill : Qt::OddEvenFill);
}

int32_t TGPGraphicsPath::AddLine(float x1, float y1, float x2, float y2)
{
    // A line joins the figure; a start where the figure already is adds no empty segment.
    if (!FFigureOpen)
        FPath.moveTo(x1, y1);
    else if (FPath.currentPosition() != QPointF(x1, y1))
        FPath.lineTo(x1, y1);
    FPath.lineTo(x2, y2);
    FFigureOpen = true;
    return Ok;
}

int32_t TGPGraphicsPath::AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle)
{
    if (width <= 0 || height <= 0)
        return SetStatus(InvalidParameter);
    const QRectF rect(x, y, width, height);
    if (!FFigureOpen) {
        FPath.arcMoveTo(rect, QtAngle(startAngle));
        FFigureOpen = true;
    }
    FPath.arcTo(rect, QtAngle(startAngle), QtAngle(sweepAngle));
    return Ok;
}

int32_t TGPGraphicsPath::AddEllipse(float x, float y, float width, float height)
{
    if (width <= 0 || height <= 0)
        return SetStatus(InvalidParameter);
    FPath.addEllipse(QRectF(x, y, width, height));
    FFigureOpen = false;
    return Ok;
}

int32_t TGPGraphicsPath::CloseFigure()
{
    if (FFigureOpen)
        FPath.closeSubpath();
    FFigureOpen = false;
    return Ok;
}

// --- images ---------------------------------------------------------------------------------

QByteArray ImageBytesFormatName(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QByteArray();
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&buffer).toLower();
}

TGPImage::TGPImage(const QByteArray& bytes, bool)
    : FBytes(bytes)
{
    const int format = FormatNumber(ImageBytesFormatName(FBytes));
    if (format == ifUndefined) {
        SetCreationStatus(UnknownImageFormat);
        return;
    }
    QBuffer buffer(&FBytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QSize size = reader.size();
    if (!size.isValid()) {
        // A reader that cannot tell the size from the header: decode to learn it.
        FImage = reader.read();
        FDecoded = true;
        size = FImage.size();
    }
    if (!size.isValid() || size.isEmpty() || !WithinAllocationLimit(size)) {
        SetCreationStatus(OutOfMemory);
        FImage = QImage();
        FDecoded = true;
        return;
    }
    FFormat = format;
    FSize = size;
}

const QImage& TGPImage::Image()
{
    if (!FDecoded) {
        FDecoded = true;
        QBuffer buffer(&FBytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        FImage = reader.read();
        if (FImage.isNull())
            SetStatus(OutOfMemory);
    }
    return FImage;
}

// --- graphics -------------------------------------------------------------------------------

TGPGraphics::TGPGraphics(QPainter* painter)
    : FPainter(painter && painter->isActive() ? painter : nullptr)
{
    SetCreationStatus(FPainter ? Ok : InvalidParameter);
    if (FPainter) {
        FPainter->save();
        FPainter->setRenderHint(QPainter::Antialiasing, false);
        FPainter->setRenderHint(QPainter::TextAntialiasing, true);
    }
}

TGPGraphics::~TGPGraphics()
{
    if (FPainter)
        FPainter->restore();
}

int32_t TGPGraphics::SetTextRenderingHint(int hint)
{
    if (hint < 0 || hint > 5)
        return SetStatus(InvalidParameter);
    // 1 and 2 are the single-bit (aliased) hints.
    FTextAntiAlias = hint != 1 && hint != 2;
    return Ok;
}

int32_t TGPGraphics::SetSmoothingMode(int mode)
{
    if (mode < 0 || mode > 5)
        return SetStatus(InvalidParameter);
    FAntiAlias = mode == 2 || mode == SmoothingModeAntiAlias || mode == 5;
    return Ok;
}

int32_t TGPGraphics::DrawPath(const TGPPen* pen, const TGPGraphicsPath* path)
{
    if (!FPainter || !pen || !path)
        return SetStatus(InvalidParameter);
    FPainter->save();
    FPainter->setRenderHint(QPainter::Antialiasing, FAntiAlias);
    // A pixel's centre lies on integer coordinates: a 1-pixel line at x = 3 fills column 3.
    FPainter->translate(0.5, 0.5);
    StrokeOutline(*FPainter, path->Path(), pen->Pen());
    FPainter->restore();
    return Ok;
}

int32_t TGPGraphics::DrawRectangle(const TGPPen* pen, float x, float y, float width, float height)
{
    if (!FPainter || !pen || width < 0 || height < 0)
        return SetStatus(InvalidParameter);
    QPainterPath path;
    path.addRect(QRectF(x, y, width, height));
    FPainter->save();
    FPainter->setRenderHint(QPainter::Antialiasing, FAntiAlias);
    FPainter->translate(0.5, 0.5);
    StrokeOutline(*FPainter, path, pen->Pen());
    FPainter->restore();
    return Ok;
}

int32_t TGPGraphics::FillRectangle(const TGPBrush* brush, const TGPRectF& rect)
{
    return FillRectangle(brush, rect.X, rect.Y, rect.Width, rect.Height);
}

int32_t TGPGraphics::FillRectangle(const TGPBrush* brush, float x, float y, float width, float height)
{
    if (!FPainter || !brush || width < 0 || height < 0)
        return SetStatus(InvalidParameter);
    if (brush->Clip() && brush->Clip()->isEmpty())
        return SetStatus(InvalidParameter);
    FPainter->save();
    FPainter->setRenderHint(QPainter::Antialiasing, FAntiAlias);
    // Gradients and clip outlines are sampled at the pixel centres of the interface's geometry.
    FPainter->translate(0.5, 0.5);
    QRectF area(x, y, width, height);
    // Without smoothing a pixel is filled when its centre lies inside: integer edges stay exact.
    if (!FAntiAlias)
        area.translate(-0.5, -0.5);
    if (brush->Clip())
        FPainter->setClipPath(*brush->Clip(), Qt::IntersectClip);
    FPainter->fillRect(area, brush->Brush());
    FPainter->restore();
    return Ok;
}

int32_t TGPGraphics::DrawString(const QString& text, int length, const TGPFont* font, const TGPRectF& layoutRect,
    const TGPStringFormat* format, const TGPBrush* brush)
{
    if (!FPainter || !font || font->GetLastStatus() != Ok || !brush)
        return SetStatus(InvalidParameter);
    const QFontMetricsF metrics(font->Font(), FPainter->device());
    const QString shown = LaidOutText(text, length, metrics, layoutRect, format);
    FPainter->save();
    FPainter->setRenderHint(QPainter::TextAntialiasing, FTextAntiAlias);
    FPainter->setFont(font->Font());
    FPainter->setPen(brush->Brush().color());
    FPainter->drawText(layoutRect.ToQRectF(), QtTextFlags(format), shown);
    FPainter->restore();
    return Ok;
}

int32_t TGPGraphics::MeasureString(const QString& text, int length, const TGPFont* font, const TGPRectF& layoutRect,
    const TGPStringFormat* format, TGPRectF& boundingBox, int* codepointsFitted, int* linesFilled)
{
    if (!font || font->GetLastStatus() != Ok)
        return SetStatus(InvalidParameter);
    const QFontMetricsF metrics(font->Font(), FPainter ? FPainter->device() : nullptr);
    const QString shown = LaidOutText(text, length, metrics, layoutRect, format);
    QRectF box = metrics.boundingRect(layoutRect.ToQRectF(), QtTextFlags(format), shown);
    if (shown.isEmpty())
        box = QRectF(layoutRect.X, layoutRect.Y, 0, 0);
    boundingBox = MakeRectF(float(box.x()), float(box.y()), float(box.width()), float(box.height()));
    if (codepointsFitted)
        *codepointsFitted = int(shown.size());
    if (linesFilled)
        *linesFilled = shown.isEmpty() ? 0 : std::max(1, int(std::lround(box.height() / metrics.lineSpacing())));
    return Ok;
}

int32_t TGPGraphics::DrawImage(TGPImage* image, int x, int y, int width, int height)
{
    if (!FPainter || !image || image->GetLastStatus() != Ok)
        return SetStatus(InvalidParameter);
    const QImage& pixels = image->Image();
    if (pixels.isNull())
        return SetStatus(image->GetLastStatus());
    FPainter->save();
    FPainter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    FPainter->drawImage(QRect(x, y, width, height), pixels);
    FPainter->restore();
    return Ok;
}
