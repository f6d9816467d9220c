// A bounds-checked reader of 16-bit metafiles (.wmf) for the common records, drawn through QPainter.
#pragma once

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>
#include <string_view>
#include <vector>

class QPainter;

class TMetafileTexts {
    Q_DECLARE_TR_FUNCTIONS(uMetafile)
};

// A parsed metafile: every record is decoded and checked when loaded, so drawing cannot fail.
// Records other than the window origin and extent, pens, brushes, fonts, text colour and mode,
// polygons, polylines, lines, rectangles, ellipses, text and device-independent bitmaps are skipped.
class TMetafile {
public:
    // Files larger than this are refused unread.
    static constexpr int64_t MaxFileSize = 4 * 1024 * 1024;
    // Pictures wider or higher than this are refused: a widget cannot be wider, and the map is
    // zoomed too.
    static constexpr int MaxPictureSide = 100000;
    // All bitmaps of one file together.
    static constexpr int64_t MaxBitmapPixels = 16 * 1024 * 1024;
    // Pens are drawn at most this wide in device pixels, whatever the zoom.
    static constexpr double MaxPenPixels = 64;

    TMetafile();
    ~TMetafile();
    TMetafile(const TMetafile&);
    TMetafile& operator=(const TMetafile&);

    // Throws EConvertError (with the offset) for anything it cannot draw.
    void LoadFromBytes(std::string_view bytes);
    bool IsEmpty() const;
    // Size in pixels at 96 pixels per inch (placeable header), else the window extent.
    int Width() const;
    int Height() const;
    // Draws the whole picture scaled into target.
    void Draw(QPainter& painter, const QRectF& target) const;

    // What drawing takes, in units of about a nanosecond: the part that follows lengths on the
    // device (lines, outlines, the rows a fill crosses), the part that follows areas (wide
    // strokes, fills, bitmaps), and the records drawn.
    struct TDrawCost {
        double Linear = 0;
        double Area = 0;
        double Records = 0;
        // The largest scale (0 .. 1) of the device at which drawing costs at most budget units
        // (about a nanosecond each); 0 when the records alone cost more.
        double ScaleWithin(double budget) const;
    };
    // The cost of drawing the whole picture at zoom (1 = its own size), from what was measured
    // when it was loaded.
    TDrawCost WholeCost(double zoom) const;

    struct TData;

private:
    std::shared_ptr<const TData> FData;
};
