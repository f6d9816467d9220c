// A bounds-checked reader of 16-bit metafiles (.wmf), drawn through QPainter.
//
// Layout (all little-endian):
//   optional placeable header, 22 bytes: key 0x9AC6CDD7 (4), handle (2), bounding box left, top,
//     right, bottom (int16 each, logical units), units per inch (2), reserved (4), checksum (2);
//   header, 18 bytes: type 1 or 2 (2), header size in words = 9 (2), version (2), file size in
//     words (4), number of objects (2), largest record in words (4), unused (2);
//   records: size in words including these 6 bytes (4), function (2), parameters. Function 0 ends
//     the file. Points are int16 pairs; most records list their parameters last to first (y
//     before x, bottom before top).
// Objects (pens, brushes, fonts and the records that create other objects) take the lowest free
// slot of the object table, whose size the header gives; select and delete name a slot.
#include "maps/uMetafile.h"

#include "core/uCodePage.h"
#include "core/uGeneral.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <queue>

namespace {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
// The map's zooms, at which the drawing cost is measured when a file is loaded.
constexpr double MeasuredZooms[4] = { 0.5, 1, 2, 4 };
constexpr int MaxPictureSide = TMetafile::MaxPictureSide;
constexpr int64_t MaxBitmapPixels = TMetafile::MaxBitmapPixels;

enum Function : uint16_t {
    META_EOF = 0x0000,
    META_SETBKMODE = 0x0102,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_EXTTEXTOUT = 0x0A32,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
    // Records that create an object this reader does not draw; they still take a slot.
    META_CREATEPALETTE = 0x00F7,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_CREATEREGION = 0x06FF,
};

[[noreturn]] void Fail(const QString& message)
{
    throw EConvertError(message);
}

// The parameters of one record; every read is checked against the record's end.
class TParams {
public:
    TParams(const uint8_t* data, size_t size, size_t fileOffset)
        : FData(data)
        , FSize(size)
        , FOffset(fileOffset)
    {
    }
    size_t Size() const { return FSize; }
    void Need(size_t end) const
    {
        if (end > FSize)
            Fail(TMetafileTexts::tr("The record at offset %1 is too short").arg(FOffset));
    }
    uint16_t U16(size_t at) const
    {
        Need(at + 2);
        return uint16_t(FData[at] | (FData[at + 1] << 8));
    }
    int16_t I16(size_t at) const { return int16_t(U16(at)); }
    uint32_t U32(size_t at) const { return uint32_t(U16(at)) | (uint32_t(U16(at + 2)) << 16); }
    int32_t I32(size_t at) const { return int32_t(U32(at)); }
    uint8_t U8(size_t at) const
    {
        Need(at + 1);
        return FData[at];
    }
    QColor Color(size_t at) const
    {
        Need(at + 4);
        return QColor(FData[at], FData[at + 1], FData[at + 2]);
    }
    std::string_view Bytes(size_t at, size_t count) const
    {
        Need(at + count);
        return std::string_view(reinterpret_cast<const char*>(FData + at), count);
    }
    QPointF Point(size_t at) const { return QPointF(I16(at), I16(at + 2)); }
    size_t Offset() const { return FOffset; }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FOffset;
};

struct TObject {
    enum TKind { kFree, kPen, kBrush, kFont, kOther } Kind = kFree;
    QPen Pen;
    QBrush Brush;
    QFont Font;
    double FontHeight = 0; // logical units; negative = character height
    double FontAngle = 0; // degrees, counter-clockwise
};

struct TState {
    QPen Pen { QColor(Qt::black), 0 };
    QBrush Brush { QColor(Qt::white) };
    TObject Font;
    QColor TextColor { Qt::black };
    QColor BkColor { Qt::white };
    bool Opaque = true;
    uint16_t TextAlign = 0;
    Qt::FillRule FillRule = Qt::OddEvenFill;
    QPointF Pos;
    QPointF WindowOrg;
    QSizeF WindowExt;
};

QPen PenOf(uint16_t style, int16_t width, const QColor& colour)
{
    if ((style & 0x0F) == 5)
        return QPen(Qt::NoPen);
    // Round ends and joins, as the metafile's pens have.
    QPen pen(colour, std::abs(width), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (style & 0x0F) {
    case 1:
        pen.setStyle(Qt::DashLine);
        break;
    case 2:
        pen.setStyle(Qt::DotLine);
        break;
    case 3:
        pen.setStyle(Qt::DashDotLine);
        break;
    case 4:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    default:
        break;
    }
    return pen;
}

QBrush BrushOf(uint16_t style, const QColor& colour, uint16_t hatch)
{
    switch (style) {
    case 1:
        return QBrush(Qt::NoBrush);
    case 2: {
        static constexpr Qt::BrushStyle hatches[] = { Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
            Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern };
        return QBrush(colour, hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    default:
        return QBrush(colour);
    }
}

// A device-independent bitmap through Qt's BMP reader, behind a file header made for it.
QImage DecodeDib(std::string_view dib, size_t offset, int64_t& pixelsLeft)
{
    const auto u32 = [&](size_t at) {
        if (at + 4 > dib.size())
            Fail(TMetafileTexts::tr("The bitmap at offset %1 is too short").arg(offset));
        uint32_t v;
        std::memcpy(&v, dib.data() + at, 4);
        return qFromLittleEndian(v);
    };
    const auto u16 = [&](size_t at) {
        if (at + 2 > dib.size())
            Fail(TMetafileTexts::tr("The bitmap at offset %1 is too short").arg(offset));
        uint16_t v;
        std::memcpy(&v, dib.data() + at, 2);
        return qFromLittleEndian(v);
    };
    const uint32_t headerSize = u32(0);
    int64_t width = 0, height = 0;
    uint32_t bitCount = 0, compression = 0, coloursUsed = 0;
    if (headerSize == 12) {
        width = u16(4);
        height = int16_t(u16(6));
        bitCount = u16(10);
    } else if (headerSize >= 40 && headerSize <= 124) {
        width = int32_t(u32(4));
        height = int32_t(u32(8));
        bitCount = u16(14);
        compression = u32(16);
        coloursUsed = u32(32);
    } else {
        Fail(TMetafileTexts::tr("The bitmap at offset %1 has an unknown header").arg(offset));
    }
    const int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || rows == 0 || width > MaxPictureSide || rows > MaxPictureSide || width * rows > pixelsLeft)
        Fail(TMetafileTexts::tr("The bitmap at offset %1 has a bad size").arg(offset));
    pixelsLeft -= width * rows;
    uint64_t tableEntries = bitCount <= 8 ? (coloursUsed ? coloursUsed : (1u << bitCount)) : coloursUsed;
    if (tableEntries > 256 && bitCount <= 8)
        Fail(TMetafileTexts::tr("The bitmap at offset %1 has a bad colour table").arg(offset));
    uint64_t tableBytes = tableEntries * (headerSize == 12 ? 3 : 4);
    if (headerSize == 40 && (compression == 3 || compression == 6))
        tableBytes += compression == 3 ? 12 : 16;
    if (headerSize + tableBytes > dib.size())
        Fail(TMetafileTexts::tr("The bitmap at offset %1 is too short").arg(offset));
    QByteArray file;
    const uint32_t fileSize = uint32_t(14 + dib.size());
    const uint32_t bitsOffset = uint32_t(14 + headerSize + tableBytes);
    file.reserve(qsizetype(fileSize));
    file.append("BM", 2);
    for (const uint32_t v : { fileSize, 0u, bitsOffset }) {
        const uint32_t le = qToLittleEndian(v);
        file.append(reinterpret_cast<const char*>(&le), 4);
    }
    file.append(dib.data(), qsizetype(dib.size()));
    QImage image;
    if (!image.loadFromData(file, "BMP"))
        Fail(TMetafileTexts::tr("The bitmap at offset %1 cannot be decoded").arg(offset));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

struct TMetafile::TData {
    QByteArray Bytes;
    size_t RecordsStart = 0;
    int ObjectCount = 0;
    bool HasBounds = false;
    QRectF Bounds;
    int Width = 0;
    int Height = 0;
    // The bitmaps of the bitmap records, in file order (decoded once, when loaded).
    std::vector<QImage> Bitmaps;
    // What drawing the whole picture takes at the zooms of MeasuredZooms (measured once, when
    // loaded: a pen turns wide at some zoom, and costs far more from there on).
    TMetafile::TDrawCost Costs[4];
};

namespace {

// The length of the part of segment a-b inside r (device pixels).
double ClippedLength(QPointF a, QPointF b, const QRectF& r)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = { -dx, dx, -dy, dy };
    const double q[4] = { a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y() };
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return 0;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return 0;
    }
    return (t1 - t0) * std::hypot(dx, dy);
}

// A shape filled row by row on the device: each edge adds its direction where it crosses a row's
// pixel centres, and a sum along the row gives the winding at every pixel. The time follows the
// rows the edges cross, never how often the edges cross each other.
class TCrossings {
public:
    explicit TCrossings(const QRectF& bounds)
        : FArea(bounds.toAlignedRect())
    {
        if (FArea.isEmpty() || int64_t(FArea.width()) * FArea.height() > MaxPixels)
            return;
        FStride = size_t(FArea.width()) + 1;
        FCounts.assign(FStride * size_t(FArea.height()), 0);
    }
    bool Empty() const { return FArea.isEmpty(); }
    bool Usable() const { return !FCounts.empty(); }

    void AddEdge(QPointF a, QPointF b)
    {
        if (a.y() == b.y())
            return;
        const int32_t direction = b.y() > a.y() ? 1 : -1;
        const double top = FArea.top(), left = FArea.left();
        const int width = FArea.width(), height = FArea.height();
        const double y0 = std::min(a.y(), b.y()) - top, y1 = std::max(a.y(), b.y()) - top;
        // Rows whose centre lies in [y0, y1).
        const int first = int(std::clamp(std::ceil(y0 - 0.5), 0.0, double(height)));
        const int last = int(std::clamp(std::ceil(y1 - 0.5), 0.0, double(height)));
        const double slope = (b.x() - a.x()) / (b.y() - a.y());
        for (int row = first; row < last; ++row) {
            const double x = a.x() + (top + row + 0.5 - a.y()) * slope - left;
            const int column = int(std::clamp(std::ceil(x - 0.5), 0.0, double(width)));
            FCounts[size_t(row) * FStride + size_t(column)] += direction;
        }
    }

    // Draws the pixels inside with brush onto the painter's device, whatever its transform.
    void Paint(QPainter& painter, Qt::FillRule rule, const QBrush& brush) const
    {
        const int width = FArea.width(), height = FArea.height();
        QImage mask(width, height, QImage::Format_ARGB32_Premultiplied);
        if (mask.isNull())
            return;
        const bool solid = brush.style() == Qt::SolidPattern;
        const QRgb inside = solid ? qPremultiply(brush.color().rgba()) : 0xFFFFFFFFu;
        const bool evenOdd = rule == Qt::OddEvenFill;
        for (int row = 0; row < height; ++row) {
            auto* line = reinterpret_cast<QRgb*>(mask.scanLine(row));
            const int32_t* counts = FCounts.data() + size_t(row) * FStride;
            int32_t winding = 0;
            for (int x = 0; x < width; ++x) {
                winding += counts[x];
                line[x] = (evenOdd ? (winding & 1) != 0 : winding != 0) ? inside : 0;
            }
        }
        if (!solid) {
            QPainter fill(&mask);
            fill.setCompositionMode(QPainter::CompositionMode_SourceIn);
            fill.setBrushOrigin(-FArea.topLeft());
            fill.fillRect(mask.rect(), brush);
        }
        painter.save();
        painter.resetTransform();
        painter.drawImage(FArea.topLeft(), mask);
        painter.restore();
    }

private:
    static constexpr int64_t MaxPixels = 16 * 1024 * 1024;
    QRect FArea;
    size_t FStride = 0;
    std::vector<int32_t> FCounts;
};

// Walks the records: with a painter it draws them; with a cost it adds up what drawing them onto
// a device would take; with neither it checks them and decodes the bitmaps into bitmaps.
class TPlayer {
public:
    TPlayer(
        const TMetafile::TData& data, QPainter* painter, const QRectF& target, std::vector<QImage>* bitmaps = nullptr)
        : FData(data)
        , FPainter(painter)
        , FTarget(target)
        , FBitmapsOut(bitmaps)
    {
        Start();
    }
    // Measures drawing into target on a device whose transform is base and whose visible part
    // is clip (device pixels).
    TPlayer(const TMetafile::TData& data, const QRectF& target, const QTransform& base, const QRectF& clip,
        TMetafile::TDrawCost* cost)
        : FData(data)
        , FPainter(nullptr)
        , FTarget(target)
        , FBitmapsOut(nullptr)
        , FCost(cost)
    {
        FBase = base;
        FClip = clip;
        Start();
    }

    void Start()
    {
        if (FPainter) {
            FBase = FPainter->worldTransform();
            // What the device shows, in its pixels: records outside it are not drawn at all.
            const QPaintDevice* device = FPainter->device();
            FClip = device ? QRectF(0, 0, device->width(), device->height()) : QRectF();
            if (FPainter->hasClipping())
                FClip = FClip.isEmpty() ? FBase.mapRect(FPainter->clipBoundingRect())
                                        : FClip.intersected(FBase.mapRect(FPainter->clipBoundingRect()));
        }
        if (FData.HasBounds) {
            FState.WindowOrg = FData.Bounds.topLeft();
            FState.WindowExt = FData.Bounds.size();
        }
    }

    // The first window extent, for a file without a placeable header.
    std::optional<QSizeF> FirstExtent;

    void Play()
    {
        const auto* bytes = reinterpret_cast<const uint8_t*>(FData.Bytes.constData());
        const size_t size = size_t(FData.Bytes.size());
        size_t pos = FData.RecordsStart;
        size_t bitmap = 0;
        while (pos + 6 <= size) {
            const TParams head(bytes + pos, 6, pos);
            const uint64_t words = head.U32(0);
            const uint16_t function = head.U16(4);
            if (words < 3 || words * 2 > size - pos)
                Fail(TMetafileTexts::tr("The record at offset %1 has a bad size").arg(pos));
            if (function == META_EOF)
                return;
            const TParams p(bytes + pos + 6, size_t(words * 2 - 6), pos);
            Record(function, p, bitmap);
            pos += size_t(words * 2);
        }
    }

private:
    void Record(uint16_t function, const TParams& p, size_t& bitmap)
    {
        switch (function) {
        case META_SETWINDOWORG:
            FState.WindowOrg = QPointF(p.I16(2), p.I16(0));
            break;
        case META_SETWINDOWEXT:
            FState.WindowExt = QSizeF(p.I16(2), p.I16(0));
            if (!FirstExtent)
                FirstExtent = FState.WindowExt;
            break;
        case META_SETTEXTCOLOR:
            FState.TextColor = p.Color(0);
            break;
        case META_SETBKCOLOR:
            FState.BkColor = p.Color(0);
            break;
        case META_SETBKMODE:
            FState.Opaque = p.U16(0) == 2;
            break;
        case META_SETTEXTALIGN:
            FState.TextAlign = p.U16(0);
            break;
        case META_SETPOLYFILLMODE:
            FState.FillRule = p.U16(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
            break;
        case META_CREATEPENINDIRECT: {
            TObject o;
            o.Kind = TObject::kPen;
            o.Pen = PenOf(p.U16(0), p.I16(2), p.Color(6));
            Create(o, p);
            break;
        }
        case META_CREATEBRUSHINDIRECT: {
            TObject o;
            o.Kind = TObject::kBrush;
            o.Brush = BrushOf(p.U16(0), p.Color(2), p.U16(6));
            Create(o, p);
            break;
        }
        case META_CREATEFONTINDIRECT: {
            TObject o;
            o.Kind = TObject::kFont;
            o.FontHeight = p.I16(0);
            o.FontAngle = p.I16(4) / 10.0;
            const int weight = p.I16(8);
            o.Font.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
            o.Font.setItalic(p.U8(10) != 0);
            o.Font.setUnderline(p.U8(11) != 0);
            o.Font.setStrikeOut(p.U8(12) != 0);
            std::string_view face = p.Bytes(18, std::min<size_t>(32, p.Size() >= 18 ? p.Size() - 18 : 0));
            face = face.substr(0, std::min(face.find('\0'), face.size()));
            if (!face.empty())
                o.Font.setFamily(AnsiToUnicode(face));
            Create(o, p);
            break;
        }
        case META_CREATEPALETTE:
        case META_DIBCREATEPATTERNBRUSH:
        case META_CREATEPATTERNBRUSH:
        case META_CREATEREGION: {
            TObject o;
            o.Kind = TObject::kOther;
            Create(o, p);
            break;
        }
        case META_SELECTOBJECT: {
            const TObject& o = Slot(p.U16(0), p);
            if (o.Kind == TObject::kPen)
                FState.Pen = o.Pen;
            else if (o.Kind == TObject::kBrush)
                FState.Brush = o.Brush;
            else if (o.Kind == TObject::kFont)
                FState.Font = o;
            break;
        }
        case META_DELETEOBJECT: {
            const uint16_t index = p.U16(0);
            if (Slot(index, p).Kind != TObject::kFree) {
                FObjects[index] = TObject();
                FFree.push(index);
            }
            break;
        }
        case META_MOVETO:
            FState.Pos = QPointF(p.I16(2), p.I16(0));
            break;
        case META_LINETO: {
            const QPointF to(p.I16(2), p.I16(0));
            if (Begin()) {
                if (FCost)
                    Shape({ QPolygonF({ FState.Pos, to }) }, false, false, DevicePen());
                else {
                    FPainter->setPen(DevicePen());
                    FPainter->drawLine(FState.Pos, to);
                }
            }
            FState.Pos = to;
            break;
        }
        case META_POLYGON:
        case META_POLYLINE: {
            const size_t count = p.U16(0);
            p.Need(2 + count * 4);
            if (Begin()) {
                QPolygonF polygon;
                polygon.reserve(qsizetype(count));
                for (size_t i = 0; i < count; ++i)
                    polygon << p.Point(2 + i * 4);
                const QPen pen = DevicePen();
                if (!Shows(polygon.boundingRect(), pen))
                    break;
                const bool filled = function == META_POLYGON && FState.Brush.style() != Qt::NoBrush;
                Shape({ polygon }, function == META_POLYGON, filled, pen);
            }
            break;
        }
        case META_POLYPOLYGON: {
            const size_t polygons = p.U16(0);
            p.Need(2 + polygons * 2);
            size_t total = 0;
            for (size_t i = 0; i < polygons; ++i)
                total += p.U16(2 + i * 2);
            const size_t points = 2 + polygons * 2;
            p.Need(points + total * 4);
            if (Begin()) {
                std::vector<QPolygonF> rings;
                QRectF bounds;
                size_t at = points;
                for (size_t i = 0; i < polygons; ++i) {
                    QPolygonF polygon;
                    const size_t count = p.U16(2 + i * 2);
                    polygon.reserve(qsizetype(count));
                    for (size_t k = 0; k < count; ++k, at += 4)
                        polygon << p.Point(at);
                    if (!polygon.isEmpty()) {
                        bounds = bounds.united(polygon.boundingRect());
                        rings.push_back(std::move(polygon));
                    }
                }
                const QPen pen = DevicePen();
                if (!rings.empty() && Shows(bounds, pen)) {
                    Shape(rings, true, FState.Brush.style() != Qt::NoBrush, pen);
                }
            }
            break;
        }
        case META_RECTANGLE:
        case META_ELLIPSE: {
            const QRectF r = QRectF(QPointF(p.I16(6), p.I16(4)), QPointF(p.I16(2), p.I16(0))).normalized();
            if (Begin() && Shows(r, DevicePen())) {
                if (FCost) {
                    Shape({ QPolygonF(r) }, true, FState.Brush.style() != Qt::NoBrush, DevicePen());
                    break;
                }
                FPainter->setPen(DevicePen());
                FPainter->setBrush(FState.Brush);
                if (function == META_RECTANGLE)
                    FPainter->drawRect(r);
                else
                    FPainter->drawEllipse(r);
            }
            break;
        }
        case META_TEXTOUT: {
            const size_t length = p.U16(0);
            const size_t padded = (length + 1) & ~size_t(1);
            const std::string_view text = p.Bytes(2, length);
            const QPointF at(p.I16(2 + padded + 2), p.I16(2 + padded));
            Text(at, text, std::nullopt);
            break;
        }
        case META_EXTTEXTOUT: {
            const QPointF at(p.I16(2), p.I16(0));
            const size_t length = p.U16(4);
            const uint16_t options = p.U16(6);
            size_t next = 8;
            std::optional<QRectF> opaque;
            if (options & 0x0006) {
                const QRectF r = QRectF(QPointF(p.I16(8), p.I16(10)), QPointF(p.I16(12), p.I16(14))).normalized();
                if (options & 0x0002)
                    opaque = r;
                next += 8;
            }
            Text(at, p.Bytes(next, length), opaque);
            break;
        }
        case META_STRETCHDIB:
        case META_DIBSTRETCHBLT: {
            // StretchDIB carries a colour usage word after the raster operation.
            const size_t base = function == META_STRETCHDIB ? 6 : 4;
            const int srcHeight = p.I16(base), srcWidth = p.I16(base + 2), ySrc = p.I16(base + 4),
                      xSrc = p.I16(base + 6);
            const int destHeight = p.I16(base + 8), destWidth = p.I16(base + 10), yDest = p.I16(base + 12),
                      xDest = p.I16(base + 14);
            const size_t dibAt = base + 16;
            // The variant without a bitmap paints a pattern: nothing to show here.
            if (p.Size() < dibAt + 12)
                break;
            if (FBitmapsOut) {
                FBitmapsOut->push_back(DecodeDib(p.Bytes(dibAt, p.Size() - dibAt), p.Offset(), FPixelsLeft));
            } else if (FCost) {
                if (Begin())
                    FCost->Area += AreaShown(QRectF(xDest, yDest, destWidth, destHeight).normalized());
            } else if (bitmap < FData.Bitmaps.size() && Begin()) {
                const QImage& image = FData.Bitmaps[bitmap];
                // Source rows of a DIB count from its bottom.
                const QRectF source(xSrc, image.height() - ySrc - srcHeight, srcWidth, srcHeight);
                FPainter->drawImage(
                    QRectF(xDest, yDest, destWidth, destHeight).normalized(), image, source.normalized());
            }
            ++bitmap;
            break;
        }
        default:
            break;
        }
    }

    void Create(const TObject& o, const TParams& p)
    {
        // The lowest free slot: the freed ones wait in a heap, every other slot is taken.
        if (!FFree.empty()) {
            FObjects[FFree.top()] = o;
            FFree.pop();
            return;
        }
        if (FObjects.size() >= size_t(FData.ObjectCount))
            Fail(TMetafileTexts::tr("The record at offset %1 creates more objects than the header allows")
                     .arg(p.Offset()));
        FObjects.push_back(o);
    }

    const TObject& Slot(uint16_t index, const TParams& p)
    {
        if (index >= FObjects.size())
            Fail(TMetafileTexts::tr("The record at offset %1 names a missing object").arg(p.Offset()));
        return FObjects[index];
    }

    QTransform WindowTransform() const
    {
        const QSizeF ext = FState.WindowExt;
        QTransform t;
        t.translate(FTarget.left(), FTarget.top());
        t.scale(FTarget.width() / ext.width(), FTarget.height() / ext.height());
        t.translate(-FState.WindowOrg.x(), -FState.WindowOrg.y());
        return t;
    }

    // The pen at most MaxPenPixels wide on the device: a zoomed wide pen costs far more than it
    // shows.
    QPen DevicePen() const
    {
        QPen pen = FState.Pen;
        const double scale = PenScale(FWorld);
        if (scale > 0 && pen.widthF() * scale > TMetafile::MaxPenPixels)
            pen.setWidthF(TMetafile::MaxPenPixels / scale);
        return pen;
    }

    // Whether logical bounds, drawn with pen, reach into the part of the device shown.
    bool Shows(const QRectF& bounds, const QPen& pen) const
    {
        if (FClip.isEmpty())
            return true;
        const QTransform& t = FWorld;
        const double reach
            = (pen.style() == Qt::NoPen ? 0 : (pen.widthF() == 0 || pen.isCosmetic() ? 1 : pen.widthF() * PenScale(t)))
                / 2
            + 1;
        return t.mapRect(bounds).adjusted(-reach, -reach, reach, reach).intersects(FClip);
    }
    static double PenScale(const QTransform& t)
    {
        return std::max(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22()));
    }

    // The pen's width on the device; 1 for a cosmetic pen, 0 for none.
    double PenPixels(const QPen& pen) const
    {
        if (pen.style() == Qt::NoPen)
            return 0;
        if (pen.isCosmetic() || pen.widthF() == 0)
            return 1;
        return pen.widthF() * PenScale(FWorld);
    }

    // What a shape's outlines do on the device: their length in view, the rows they cross there
    // (what a fill costs), their segments and their bounds in view (device pixels).
    struct TShapeStats {
        double Length = 0;
        double Rows = 0;
        double Segments = 0;
        // In view, and on the device whether in view or not.
        QRectF Bounds;
        QRectF Raw;
    };
    TShapeStats StatsOf(const std::vector<QPolygonF>& device, bool closed, double reach) const
    {
        TShapeStats stats;
        const QRectF box = FClip.isEmpty() ? QRectF() : FClip.adjusted(-reach, -reach, reach, reach);
        QRectF bounds;
        for (const QPolygonF& ring : device) {
            const qsizetype n = ring.size();
            if (n == 0)
                continue;
            bounds = bounds.united(ring.boundingRect());
            for (qsizetype i = 1; i <= (closed ? n : n - 1); ++i) {
                const QPointF& a = ring[i - 1];
                const QPointF& b = ring[i % n];
                const double l = box.isNull() ? std::hypot(b.x() - a.x(), b.y() - a.y()) : ClippedLength(a, b, box);
                if (l <= 0)
                    continue;
                stats.Length += l;
                stats.Segments += 1;
                const double top = std::max(std::min(a.y(), b.y()), box.isNull() ? -1e300 : box.top());
                const double bottom = std::min(std::max(a.y(), b.y()), box.isNull() ? 1e300 : box.bottom());
                stats.Rows += std::max(0.0, bottom - top);
            }
        }
        stats.Raw = bounds;
        stats.Bounds = FClip.isEmpty() ? bounds : bounds.intersected(FClip);
        return stats;
    }

    // A fill whose outlines cross a row of it this many times on average is no plain shape (a
    // scribble of a polygon): filled row by row, and drawn without antialiasing.
    static constexpr double CrossingDensity = 16;
    // A wide stroke covering its bounds this many times over is drawn without antialiasing.
    static constexpr double Overdraw = 2;
    // What a point costs at every scale, in records.
    static constexpr double PointWeight = 4;

    // Draws (or measures) polygons or polylines (logical units) as one shape: the fill first,
    // then the outlines. Drawing time follows the device: a wide pen goes segment by segment, a
    // fill that crosses itself everywhere is filled by counting crossings, and such shapes lose
    // their antialiasing, which costs most there and shows least.
    void Shape(const std::vector<QPolygonF>& rings, bool closed, bool filled, const QPen& pen)
    {
        std::vector<QPolygonF> device;
        device.reserve(rings.size());
        for (const QPolygonF& ring : rings)
            device.push_back(FWorld.map(ring));
        const double width = PenPixels(pen);
        const TShapeStats stats = StatsOf(device, closed || filled, width / 2 + 1);
        const double shown = std::max(1.0, stats.Bounds.width() * stats.Bounds.height());
        const bool crossing = filled && stats.Rows > CrossingDensity * std::max(1.0, stats.Bounds.height());
        const bool wide = width > 1.5;
        const double reach = width / 2 + 1;
        QRectF stroked = stats.Raw.adjusted(-reach, -reach, reach, reach);
        if (!FClip.isEmpty())
            stroked = stroked.intersected(FClip);
        const double strokeShown = std::max(1.0, stroked.width() * stroked.height());
        const double strokeArea = wide ? stats.Length * width + stats.Segments * width * width : 0;
        const bool plain = crossing || strokeArea > Overdraw * strokeShown;
        if (FCost) {
            // Units of about a nanosecond each, as measured on the raster engine. Every point is
            // read, mapped and looked at whatever the scale.
            for (const QPolygonF& ring : rings)
                FCost->Records += double(ring.size()) * PointWeight;
            if (filled && crossing) {
                FCost->Linear += stats.Rows * 2;
                FCost->Area += shown * 2;
            } else if (filled) {
                FCost->Linear += stats.Length * 8;
                FCost->Area += shown;
            }
            if (wide && plain) {
                FCost->Linear += (stats.Rows * 2 + stats.Segments * width * 4) * 2;
                FCost->Area += strokeShown * 2;
            } else if (wide)
                FCost->Area += strokeArea * 10;
            else if (width > 0)
                FCost->Linear += stats.Length * (plain ? 1 : 4);
            return;
        }
        const bool antialiased = FPainter->testRenderHint(QPainter::Antialiasing);
        if (plain)
            FPainter->setRenderHint(QPainter::Antialiasing, false);
        if (filled) {
            if (!crossing || !FillByCrossings(device, stats.Bounds)) {
                FPainter->setPen(Qt::NoPen);
                FPainter->setBrush(FState.Brush);
                if (rings.size() == 1) {
                    FPainter->drawPolygon(rings.front(), FState.FillRule);
                } else {
                    QPainterPath path;
                    path.setFillRule(FState.FillRule);
                    for (const QPolygonF& ring : rings)
                        path.addPolygon(ring), path.closeSubpath();
                    FPainter->drawPath(path);
                }
            }
        }
        if (width > 0 && !(wide && plain && StrokeByCrossings(device, closed, width, stroked))) {
            FPainter->setPen(pen);
            FPainter->setBrush(Qt::NoBrush);
            for (const QPolygonF& ring : rings) {
                if (ring.isEmpty())
                    continue;
                if (wide && ring.size() > 2) {
                    StrokeSegments(ring, closed, pen);
                } else if (closed) {
                    QPolygonF outline = ring;
                    outline << ring.front();
                    FPainter->drawPolyline(outline);
                } else {
                    FPainter->drawPolyline(ring);
                }
            }
        }
        FPainter->setRenderHint(QPainter::Antialiasing, antialiased);
    }

    // Fills device polygons within bounds (device pixels) row by row (see TCrossings). False
    // when the area is too large for it (the caller fills another way).
    bool FillByCrossings(const std::vector<QPolygonF>& device, const QRectF& bounds)
    {
        TCrossings crossings(bounds);
        if (!crossings.Usable())
            return crossings.Empty();
        for (const QPolygonF& ring : device)
            for (qsizetype i = 0, n = ring.size(); i < n; ++i)
                crossings.AddEdge(ring[i], ring[(i + 1) % n]);
        crossings.Paint(*FPainter, FState.FillRule, FState.Brush);
        return true;
    }

    // Strokes device polylines with a round pen width pixels wide the same way: every segment a
    // rectangle and every point an octagon, all turning the same way, filled as their union.
    bool StrokeByCrossings(const std::vector<QPolygonF>& device, bool closed, double width, const QRectF& bounds)
    {
        const double r = width / 2;
        TCrossings crossings(bounds);
        if (!crossings.Usable())
            return crossings.Empty();
        static const double octagon[8][2] = { { 1, 0 }, { 0.7071, -0.7071 }, { 0, -1 }, { -0.7071, -0.7071 },
            { -1, 0 }, { -0.7071, 0.7071 }, { 0, 1 }, { 0.7071, 0.7071 } };
        for (const QPolygonF& line : device) {
            const qsizetype n = line.size();
            for (qsizetype i = 0; i < n; ++i) {
                const QPointF& a = line[i];
                for (int k = 0; k < 8; ++k)
                    crossings.AddEdge(a + QPointF(octagon[k][0], octagon[k][1]) * r,
                        a + QPointF(octagon[(k + 1) % 8][0], octagon[(k + 1) % 8][1]) * r);
                if (i + 1 == n && !closed)
                    break;
                const QPointF& b = line[(i + 1) % n];
                const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
                if (length == 0)
                    continue;
                const QPointF side = QPointF(a.y() - b.y(), b.x() - a.x()) * (r / length);
                const QPointF corners[4] = { a + side, b + side, b - side, a - side };
                for (int k = 0; k < 4; ++k)
                    crossings.AddEdge(corners[k], corners[(k + 1) % 4]);
            }
        }
        crossings.Paint(*FPainter, Qt::WindingFill, FState.Pen.brush());
        return true;
    }

    // A wide pen strokes one outline of the whole line, which crosses itself everywhere and takes
    // minutes to fill; segment by segment with round ends it looks the same (joins are round),
    // and the segments out of view go.
    void StrokeSegments(const QPolygonF& line, bool closed, const QPen& pen)
    {
        std::vector<QLineF> segments;
        segments.reserve(size_t(line.size()));
        const qsizetype n = line.size();
        for (qsizetype i = 1; i <= (closed ? n : n - 1); ++i) {
            const QPointF& a = line[i - 1];
            const QPointF& b = line[i % n];
            if (Shows(QRectF(a, b).normalized(), pen))
                segments.emplace_back(a, b);
        }
        FPainter->setPen(pen);
        FPainter->drawLines(segments.data(), int(segments.size()));
    }

    // The device pixels of logical rectangle r in view.
    double AreaShown(const QRectF& r) const
    {
        const QRectF shown = FWorld.mapRect(r).intersected(FClip);
        return shown.isEmpty() ? 0 : shown.width() * shown.height();
    }

    // Sets the window mapping; false when nothing can be drawn (no painter, no extent).
    bool Begin()
    {
        if ((!FPainter && !FCost) || FState.WindowExt.width() == 0 || FState.WindowExt.height() == 0)
            return false;
        FWorld = WindowTransform() * FBase;
        if (FPainter)
            FPainter->setWorldTransform(FWorld);
        else
            FCost->Records += 1;
        return true;
    }

    void Text(const QPointF& at, std::string_view bytes, const std::optional<QRectF>& opaque)
    {
        if (!Begin())
            return;
        if (FCost) {
            if (opaque)
                FCost->Area += AreaShown(*opaque);
            return;
        }
        if (opaque)
            FPainter->fillRect(*opaque, FState.BkColor);
        if (bytes.empty())
            return;
        const QString text = AnsiToUnicode(bytes);
        // Text stays upright whatever the window's orientation, as on screen.
        const QTransform window = WindowTransform();
        const QPointF origin = window.map(at);
        const double scaleY = std::hypot(window.m12(), window.m22());
        QFont font = FState.Font.Font;
        const double height = std::abs(FState.Font.FontHeight) * scaleY;
        font.setPixelSize(std::clamp(int(std::lround(height > 0 ? height : 12 * scaleY)), 1, 4096));
        const QFontMetricsF metrics(font);
        const double width = metrics.horizontalAdvance(text);
        double dx = 0, dy = 0;
        switch (FState.TextAlign & 0x0006) {
        case 0x0006:
            dx = -width / 2;
            break;
        case 0x0002:
            dx = -width;
            break;
        default:
            break;
        }
        switch (FState.TextAlign & 0x0018) {
        case 0x0018:
            break; // baseline
        case 0x0008:
            dy = -metrics.descent();
            break;
        default:
            dy = metrics.ascent();
            break;
        }
        QTransform t;
        t.translate(origin.x(), origin.y());
        t.rotate(-FState.Font.FontAngle);
        FPainter->setWorldTransform(t * FBase);
        if (FState.Opaque && !opaque)
            FPainter->fillRect(QRectF(dx, dy - metrics.ascent(), width, metrics.height()), FState.BkColor);
        FPainter->setFont(font);
        FPainter->setPen(FState.TextColor);
        FPainter->drawText(QPointF(dx, dy), text);
    }

    const TMetafile::TData& FData;
    QPainter* FPainter;
    QRectF FTarget;
    std::vector<QImage>* FBitmapsOut;
    TMetafile::TDrawCost* FCost = nullptr;
    QTransform FBase;
    // The window mapping onto the device of the record being played.
    QTransform FWorld;
    QRectF FClip;
    TState FState;
    std::vector<TObject> FObjects;
    std::priority_queue<uint16_t, std::vector<uint16_t>, std::greater<uint16_t>> FFree;
    int64_t FPixelsLeft = MaxBitmapPixels;
};

} // namespace

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;
TMetafile::TMetafile(const TMetafile&) = default;
TMetafile& TMetafile::operator=(const TMetafile&) = default;

void TMetafile::LoadFromBytes(std::string_view bytes)
{
    FData.reset();
    if (int64_t(bytes.size()) > MaxFileSize)
        Fail(TMetafileTexts::tr("The metafile is larger than %1 bytes").arg(MaxFileSize));
    auto data = std::make_shared<TData>();
    data->Bytes = QByteArray(bytes.data(), qsizetype(bytes.size()));
    const auto* raw = reinterpret_cast<const uint8_t*>(data->Bytes.constData());
    const TParams file(raw, bytes.size(), 0);
    size_t pos = 0;
    if (bytes.size() >= 4 && file.U32(0) == PlaceableKey) {
        const int left = file.I16(6), top = file.I16(8), right = file.I16(10), bottom = file.I16(12);
        const int inch = file.U16(14);
        if (inch == 0 || right == left || bottom == top)
            Fail(TMetafileTexts::tr("The metafile's placeable header is invalid"));
        data->HasBounds = true;
        data->Bounds = QRectF(QPointF(left, top), QPointF(right, bottom));
        data->Width = int(std::lround(std::abs(right - left) * 96.0 / inch));
        data->Height = int(std::lround(std::abs(bottom - top) * 96.0 / inch));
        pos = 22;
    }
    const TParams header(raw + std::min(pos, bytes.size()), bytes.size() - std::min(pos, bytes.size()), pos);
    const uint16_t type = header.U16(0);
    const uint16_t headerWords = header.U16(2);
    if ((type != 1 && type != 2) || headerWords != 9)
        Fail(TMetafileTexts::tr("Not a metafile"));
    header.Need(18);
    data->ObjectCount = header.U16(10);
    data->RecordsStart = pos + 18;
    std::vector<QImage> bitmaps;
    TPlayer check(*data, nullptr, QRectF(), &bitmaps);
    check.Play();
    data->Bitmaps = std::move(bitmaps);
    if (!data->HasBounds && check.FirstExtent) {
        data->Width = int(std::abs(check.FirstExtent->width()));
        data->Height = int(std::abs(check.FirstExtent->height()));
    }
    if (data->Width > 0 && data->Height > 0 && data->Width <= MaxPictureSide && data->Height <= MaxPictureSide) {
        for (size_t i = 0; i < std::size(MeasuredZooms); ++i) {
            const double zoom = MeasuredZooms[i];
            const QRectF whole(0, 0, data->Width * zoom, data->Height * zoom);
            TPlayer measure(*data, whole, QTransform(), whole, &data->Costs[i]);
            measure.Play();
        }
    }
    if (!data->HasBounds) {
        if (!check.FirstExtent)
            Fail(TMetafileTexts::tr("The metafile gives no size"));
        data->Width = int(std::abs(check.FirstExtent->width()));
        data->Height = int(std::abs(check.FirstExtent->height()));
    }
    if (data->Width <= 0 || data->Height <= 0 || data->Width > MaxPictureSide || data->Height > MaxPictureSide)
        Fail(TMetafileTexts::tr("The metafile has a bad size"));
    FData = std::move(data);
}

bool TMetafile::IsEmpty() const
{
    return !FData || FData->Width <= 0 || FData->Height <= 0;
}
int TMetafile::Width() const
{
    return FData ? FData->Width : 0;
}
int TMetafile::Height() const
{
    return FData ? FData->Height : 0;
}

TMetafile::TDrawCost TMetafile::WholeCost(double zoom) const
{
    if (!FData)
        return TDrawCost();
    // The measured zoom at or above this one, its lengths and areas shrunk to this zoom (beyond
    // the largest one, grown).
    size_t i = 0;
    while (i + 1 < std::size(MeasuredZooms) && MeasuredZooms[i] < zoom)
        ++i;
    const double factor = zoom / MeasuredZooms[i];
    const TDrawCost& measured = FData->Costs[i];
    return { measured.Linear * factor, measured.Area * factor * factor, measured.Records };
}

double TMetafile::TDrawCost::ScaleWithin(double budget) const
{
    // Lengths shrink with the scale, areas with its square; records cost the same at every scale.
    constexpr double RecordWeight = 64;
    const double linear = Linear;
    const double left = budget - Records * RecordWeight;
    if (linear + Area <= left)
        return 1;
    if (left <= 0)
        return 0;
    if (Area <= 0)
        return left / linear;
    return (-linear + std::sqrt(linear * linear + 4 * Area * left)) / (2 * Area);
}

void TMetafile::Draw(QPainter& painter, const QRectF& target) const
{
    if (IsEmpty())
        return;
    painter.save();
    try {
        // The records were checked when loaded; the player only reads them again.
        TPlayer player(*FData, &painter, target);
        player.Play();
    } catch (const ETarvellError&) {
    }
    painter.restore();
}
