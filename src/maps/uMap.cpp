// The calibrated map control.
#include "maps/uMap.h"

#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "core/uScopeGuard.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImageReader>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <cmath>
#include <exception>

// --- picture --------------------------------------------------------------------------------

void TMapPicture::LoadFromFile(const QString& fileName)
{
    LoadFromNativeFile(QFile::encodeName(fileName), QFileInfo(fileName).fileName());
}

void TMapPicture::LoadFromNativeFile(const QByteArray& nativePath, const QString& shownName)
{
    Clear();
    const QString& name = shownName;
    const bool metafile = nativePath.toLower().endsWith(".wmf");
    const TMapFileRead read = ReadMapFileNative(nativePath, metafile ? TMetafile::MaxFileSize : MaxRasterFileSize);
    if (read.State != TMapFileRead::Read)
        throw EUserError(TMapTexts::tr("The map picture %1 cannot be read: %2")
                             .arg(name, read.State == TMapFileRead::Missing ? TMapTexts::tr("it does not exist") : read.Cause));
    if (metafile) {
        TMetafile picture;
        try {
            picture.LoadFromBytes(std::string_view(read.Bytes.constData(), size_t(read.Bytes.size())));
        } catch (const ETarvellError& e) {
            throw EUserError(TMapTexts::tr("The map picture %1 cannot be read: %2").arg(name, e.Message()));
        }
        FMetafile = picture;
        FIsMetafile = true;
        return;
    }
    QBuffer buffer;
    buffer.setData(read.Bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The picture's own content decides, whatever its extension says.
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() && int64_t(size.width()) * size.height() > MaxRasterPixels)
        throw EUserError(TMapTexts::tr("The map picture %1 is too large: %2 x %3 pixels; at most %4 megapixels can be shown")
                             .arg(name)
                             .arg(size.width())
                             .arg(size.height())
                             .arg(MaxRasterPixels / 1'000'000));
    QImage image;
    if (!reader.read(&image))
        throw EUserError(TMapTexts::tr("The map picture %1 cannot be read: %2").arg(name, reader.errorString()));
    SetImage(image);
}

void TMapPicture::SetReaderAllocationLimit()
{
    constexpr int64_t MiB = 1024 * 1024;
    QImageReader::setAllocationLimit(int((MaxRasterPixels * 4 + MiB - 1) / MiB));
}

namespace {
// What one play of a metafile may cost (TMetafile::TDrawCost units, about a nanosecond each on a
// desktop machine): the first paint at a zoom stays well below a second.
constexpr double MaxMetafileDrawCost = 3e8;
// Below this the played picture says nothing more: the scale does not go lower.
constexpr double MinMetafileScale = 1.0 / 64;
} // namespace

void TMapPicture::DrawMetafile(QPainter& painter, const QRectF& target, const QRectF& visible) const
{
    // A played picture this many pixels large holds the whole picture; a larger one holds the part
    // in view and half a view around it.
    constexpr qint64 WholePixels = 2048 * 2048;
    const QTransform& world = painter.worldTransform();
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1;
    if (!world.isIdentity() || target.topLeft() != target.toRect().topLeft()) {
        // Not on a plain device (a printer, a scaled painter): played straight onto it.
        painter.setRenderHint(QPainter::Antialiasing);
        FMetafile.Draw(painter, target);
        return;
    }
    const QSize size = (target.size() * ratio).toSize();
    const QRect view = QRectF((visible.topLeft() - target.topLeft()) * ratio, visible.size() * ratio)
                           .toAlignedRect()
                           .intersected(QRect(QPoint(0, 0), size));
    if (view.isEmpty())
        return;
    if (FPlayed.isNull() || FPlayedSize != size || !FPlayedRect.contains(view)) {
        const QRect whole(QPoint(0, 0), size);
        const QRect part = qint64(size.width()) * size.height() <= WholePixels
            ? whole
            : view.adjusted(-view.width() / 2, -view.height() / 2, view.width() / 2, view.height() / 2).intersected(whole);
        FPlayed = QImage();
        const QRectF picture(QPointF(0, 0), QSizeF(size));
        // Drawing time is bounded: a picture that would take longer at this zoom (outlines
        // crossing the picture thousands of times, wide pens) is played at a lower resolution
        // and scaled up. Its cost at the map's zooms is known from loading, and the part played
        // holds its share of it.
        const double zoom = std::max(double(size.width()) / FMetafile.Width(), double(size.height()) / FMetafile.Height());
        const TMetafile::TDrawCost measured = FMetafile.WholeCost(zoom);
        const double share = double(part.width()) * part.height() / (double(size.width()) * size.height());
        const TMetafile::TDrawCost cost { measured.Linear * share, measured.Area * share, measured.Records };
        const double scale = std::clamp(cost.ScaleWithin(MaxMetafileDrawCost), MinMetafileScale, 1.0);
        const QSize playedSize = scale < 1
            ? QSize(std::max(1, int(std::ceil(part.width() * scale))), std::max(1, int(std::ceil(part.height() * scale))))
            : part.size();
        QImage played(playedSize, QImage::Format_ARGB32_Premultiplied);
        if (played.isNull())
            return;
        played.fill(Qt::transparent);
        {
            QPainter player(&played);
            player.setRenderHint(QPainter::Antialiasing);
            player.scale(double(playedSize.width()) / part.width(), double(playedSize.height()) / part.height());
            player.translate(-part.topLeft());
            FMetafile.Draw(player, picture);
        }
        if (playedSize != part.size())
            played = played.scaled(part.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        FPlayed = played;
        FPlayedSize = size;
        FPlayedRect = part;
    }
    const QRect source = view.translated(-FPlayedRect.topLeft());
    painter.drawImage(QRectF(target.topLeft() + QPointF(view.topLeft()) / ratio, QSizeF(view.size()) / ratio), FPlayed,
        QRectF(source));
}

void TMapPicture::Clear()
{
    FPlayed = QImage();
    FPlayedSize = QSize();
    FPlayedRect = QRect();
    FImage = QImage();
    FMetafile = TMetafile();
    FIsMetafile = false;
}

void TMapPicture::SetImage(const QImage& image)
{
    Clear();
    // One format for every picture, so each paint is a plain copy at zoom 1.
    FImage = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                     : image.convertToFormat(QImage::Format_RGB32);
}

bool TMapPicture::IsEmpty() const
{
    return Width() <= 0 || Height() <= 0;
}
int TMapPicture::Width() const
{
    return FIsMetafile ? FMetafile.Width() : FImage.width();
}
int TMapPicture::Height() const
{
    return FIsMetafile ? FMetafile.Height() : FImage.height();
}

void TMapPicture::Draw(QPainter& painter, const QRectF& target, const QRect& clip) const
{
    if (IsEmpty() || target.isEmpty())
        return;
    const QRectF visible = target.intersected(QRectF(clip));
    if (visible.isEmpty())
        return;
    painter.save();
    painter.setClipRect(visible);
    if (FIsMetafile) {
        DrawMetafile(painter, target, visible);
        painter.restore();
        return;
    }
    const double sx = target.width() / FImage.width();
    const double sy = target.height() / FImage.height();
    if (sx == 1 && sy == 1 && target.topLeft() == target.toRect().topLeft()) {
        const QRect part = visible.toAlignedRect();
        painter.drawImage(part.topLeft(), FImage, part.translated(-target.toRect().topLeft()));
    } else {
        // Only the picture pixels under the clip are scaled, whole pixels so that no seams show.
        const int left = std::max(0, int(std::floor((visible.left() - target.left()) / sx)));
        const int top = std::max(0, int(std::floor((visible.top() - target.top()) / sy)));
        const int right = std::min(FImage.width(), int(std::ceil((visible.right() - target.left()) / sx)));
        const int bottom = std::min(FImage.height(), int(std::ceil((visible.bottom() - target.top()) / sy)));
        if (right > left && bottom > top) {
            const QRectF source(left, top, right - left, bottom - top);
            const QRectF dest(
                target.left() + left * sx, target.top() + top * sy, source.width() * sx, source.height() * sy);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, sx < 1 || sy < 1);
            painter.drawImage(dest, FImage, source);
        }
    }
    painter.restore();
}

// --- markers --------------------------------------------------------------------------------

void TMarker::SetDescription(const QString& value)
{
    FDescription = value;
    Changed();
}

void TMarker::SetLongitude(double value)
{
    FLongitude = value;
    Changed();
}

void TMarker::SetLatitude(double value)
{
    FLatitude = value;
    Changed();
}

void TMarker::Changed()
{
    if (FOwner)
        FOwner->update();
}

TMarker& TMarkerList::Add()
{
    FItems.push_back(std::unique_ptr<TMarker>(new TMarker(FOwner)));
    Changed();
    return *FItems.back();
}

void TMarkerList::Delete(int i)
{
    AssertOrThrow(i >= 0 && size_t(i) < FItems.size(), QStringLiteral("Marker index out of range"), "uMap", __LINE__);
    FItems.erase(FItems.begin() + i);
    Changed();
}

void TMarkerList::Clear()
{
    FItems.clear();
    Changed();
}

void TMarkerList::Changed()
{
    if (FOwner)
        FOwner->update();
}

// --- control --------------------------------------------------------------------------------

TOrvikMap::TOrvikMap(QWidget* parent)
    : QWidget(parent)
    , FMarkers(this)
{
    // The windows show the coordinates under the mouse without a button held.
    setMouseTracking(true);
    UpdateSize();
}

TOrvikMap::~TOrvikMap()
{
    // Markers first, then the marker picture, then the map picture.
    FMarkers.Clear();
    FMarker = QImage();
    FMapPic.Clear();
}

void TOrvikMap::SetMapPic(const TMapPicture& picture)
{
    FMapPic = picture;
    PictureChanged();
}

void TOrvikMap::LoadMapPic(const QString& fileName)
{
    LoadMapPicNative(QFile::encodeName(fileName), QFileInfo(fileName).fileName());
}

void TOrvikMap::LoadMapPicNative(const QByteArray& nativePath, const QString& shownName)
{
    {
        const auto clearOnFailure = OnFailure([this] {
            FMapPic.Clear();
            PictureChanged();
        });
        FMapPic.LoadFromNativeFile(nativePath, shownName);
    }
    PictureChanged();
}

void TOrvikMap::ClearMapPic()
{
    FMapPic.Clear();
    PictureChanged();
}

void TOrvikMap::PictureChanged()
{
    UpdateSize();
    if (!FMapPic.IsEmpty())
        UpdateScale();
    // Also without a picture: the old one must not stay on screen.
    update();
}

void TOrvikMap::SetMarker(const QImage& picture)
{
    QImage marker = picture.convertToFormat(QImage::Format_ARGB32);
    if (!picture.isNull() && !picture.hasAlphaChannel()) {
        // A picture without alpha: its bottom-left colour is the transparent one.
        const QRgb key = marker.pixel(0, marker.height() - 1);
        for (int y = 0; y < marker.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(marker.scanLine(y));
            for (int x = 0; x < marker.width(); ++x)
                if (line[x] == key)
                    line[x] = 0;
        }
    }
    FMarker = marker.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    update();
}

void TOrvikMap::SetCal1Lon(double value)
{
    FScale.Cal1Lon = value;
    UpdateScale();
}

void TOrvikMap::SetCal1Lat(double value)
{
    FScale.Cal1Lat = value;
    UpdateScale();
}

void TOrvikMap::SetCal1X(int32_t value)
{
    FScale.Cal1X = value;
    UpdateScale();
}

void TOrvikMap::SetCal1Y(int32_t value)
{
    FScale.Cal1Y = value;
    UpdateScale();
}

void TOrvikMap::SetCal2Lon(double value)
{
    FScale.Cal2Lon = value;
    UpdateScale();
}

void TOrvikMap::SetCal2Lat(double value)
{
    FScale.Cal2Lat = value;
    UpdateScale();
}

void TOrvikMap::SetCal2X(int32_t value)
{
    FScale.Cal2X = value;
    UpdateScale();
}

void TOrvikMap::SetCal2Y(int32_t value)
{
    FScale.Cal2Y = value;
    UpdateScale();
}

void TOrvikMap::SetZoom(double value)
{
    FScale.SetZoom(value);
    UpdateSize();
    update();
}

void TOrvikMap::UpdateScale()
{
    FScale.UpdateScale();
}

namespace {
// A widget cannot be larger than this.
int WidgetExtent(double value)
{
    return std::clamp(RoundToInt32(value), 0, QWIDGETSIZE_MAX);
}
} // namespace

void TOrvikMap::UpdateSize()
{
    if (FMapPic.IsEmpty())
        resize(100, 100);
    else
        resize(WidgetExtent(FMapPic.Width() * GetZoom()), WidgetExtent(FMapPic.Height() * GetZoom()));
}

QSize TOrvikMap::sizeHint() const
{
    return size();
}

void TOrvikMap::DrawMarkerAt(double lat, double lon)
{
    if (!FCanvas || FMarker.isNull())
        return;
    const int w = FMarker.width();
    const int h = FMarker.height();
    // 64-bit, so a position far off the picture cannot overflow.
    const int64_t left = int64_t(LonToX(lon)) - w / 2;
    const int64_t top = int64_t(LatToY(lat)) - h / 2;
    if (left + w <= FPaintClip.left() || left > FPaintClip.right() || top + h <= FPaintClip.top()
        || top > FPaintClip.bottom())
        return;
    FCanvas->drawImage(QPoint(int(left), int(top)), FMarker);
}

void TOrvikMap::paintEvent(QPaintEvent* event)
{
    if (FMapPic.IsEmpty())
        return;
    QPainter painter(this);
    const QRectF target(0, 0, WidgetExtent(FMapPic.Width() * GetZoom()), WidgetExtent(FMapPic.Height() * GetZoom()));
    FMapPic.Draw(painter, target, event->rect());
    FCanvas = &painter;
    FPaintClip = event->rect();
    std::exception_ptr failure;
    try {
        for (int i = 0; i < FMarkers.Count(); ++i)
            DrawMarkerAt(FMarkers.Items(i).GetLatitude(), FMarkers.Items(i).GetLongitude());
        if (OnPaintMarkers)
            OnPaintMarkers(*this);
    } catch (...) {
        failure = std::current_exception();
    }
    FCanvas = nullptr;
    if (failure) {
        // A box shown inside a paint would paint again: the failure is reported afterwards.
        QTimer::singleShot(
            0, this, [this, failure] { RunCommand(this, [failure] { std::rethrow_exception(failure); }); });
    }
}

namespace {
TMapMouseEvent MouseEventOf(const QMouseEvent& event, bool withButton)
{
    TMapMouseEvent e;
    e.Button = withButton ? event.button() : Qt::NoButton;
    e.Buttons = event.buttons();
    e.Shift = event.modifiers();
    const QPoint p = event.position().toPoint();
    e.X = p.x();
    e.Y = p.y();
    return e;
}
} // namespace

void TOrvikMap::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown) {
        const TMapMouseEvent e = MouseEventOf(*event, true);
        RunCommand(this, [&] { OnMouseDown(e); });
    }
    event->accept();
}

void TOrvikMap::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove) {
        const TMapMouseEvent e = MouseEventOf(*event, false);
        RunCommand(this, [&] { OnMouseMove(e); });
    }
    event->accept();
}

void TOrvikMap::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp) {
        const TMapMouseEvent e = MouseEventOf(*event, true);
        RunCommand(this, [&] { OnMouseUp(e); });
    }
    event->accept();
}

bool TOrvikMap::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && OnHintText) {
        auto* help = static_cast<QHelpEvent*>(event);
        QString text;
        RunCommand(this, [&] { text = OnHintText(help->pos().x(), help->pos().y()); });
        // The tip names POIs from outside: escaped, so that no name formats it or loads a file.
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap), this);
        return true;
    }
    return QWidget::event(event);
}

// --- colours --------------------------------------------------------------------------------

QColor InfColorToQColor(TInfColor color, const QPalette& palette)
{
    using namespace InfColor;
    switch (color) {
    case clWindow:
        return palette.color(QPalette::Base);
    case clWindowText:
        return palette.color(QPalette::Text);
    case clHighlight:
        return palette.color(QPalette::Highlight);
    case clHighlightText:
        return palette.color(QPalette::HighlightedText);
    case clBtnFace:
        return palette.color(QPalette::Button);
    case clBtnShadow:
        return palette.color(QPalette::Dark);
    case clBtnText:
        return palette.color(QPalette::ButtonText);
    case clInfoBk:
        return palette.color(QPalette::ToolTipBase);
    default:
        break;
    }
    if (color & SystemColorFlag)
        return palette.color(QPalette::Button);
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TInfColor InfColorFromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return TInfColor(rgb.red()) | (TInfColor(rgb.green()) << 8) | (TInfColor(rgb.blue()) << 16);
}

// --- pictures of our own ------------------------------------------------------------------------

QImage MapMarkerPicture()
{
    // A red pin, 15 x 15, its point in the centre pixel.
    QImage image(15, 15, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(96, 0, 0), 1.2));
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QRectF(2.5, 2.5, 10, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(5.5, 5.5, 4, 4));
    return image;
}

QImage PositionMarkPicture()
{
    // Cross hairs in a ring: readable on light and dark maps alike.
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& [colour, width] :
        { std::pair { QColor(Qt::white), 4.0 }, std::pair { QColor(0, 70, 200), 2.0 } }) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(6, 6, 20, 20));
        p.drawLine(QPointF(16, 2), QPointF(16, 11));
        p.drawLine(QPointF(16, 21), QPointF(16, 30));
        p.drawLine(QPointF(2, 16), QPointF(11, 16));
        p.drawLine(QPointF(21, 16), QPointF(30, 16));
    }
    return image;
}
