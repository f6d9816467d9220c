// The calibrated map control: a map picture drawn at a zoom factor, markers over it, and the
// conversion between control pixels and geographic positions.
#pragma once

#include "maps/uMapCalibration.h"
#include "maps/uMapScale.h"
#include "maps/uMetafile.h"

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class TOrvikMap;

class TMapTexts {
    Q_DECLARE_TR_FUNCTIONS(uMap)
};

// A map picture: a raster image (.bmp, .gif, .jpg through Qt's readers) or a metafile (.wmf).
class TMapPicture {
public:
    // Raster files larger than this are refused unread (metafiles: TMetafile::MaxFileSize).
    static constexpr int64_t MaxRasterFileSize = 256 * 1024 * 1024;
    // Raster pictures of more pixels are refused unread: a scanned map of 8000 x 6000 is shown.
    static constexpr int64_t MaxRasterPixels = 100'000'000;
    // Raises Qt's image reader allocation limit, which holds for the whole process, to what
    // MaxRasterPixels take at 32 bits a pixel. Run once at start-up.
    static void SetReaderAllocationLimit();

    // Throws EUserError naming the file when it cannot be read or decoded (Qt's allocation limit
    // included). The extension chooses the reader for ".wmf"; every other file goes to Qt.
    void LoadFromFile(const QString& fileName);
    // The same for a path as the file system's bytes (a name that is not UTF-8 too); shownName
    // names it in messages.
    void LoadFromNativeFile(const QByteArray& nativePath, const QString& shownName);
    void Clear();
    // Null images and pictures of width or height 0 are empty.
    bool IsEmpty() const;
    int Width() const;
    int Height() const;
    // Draws the part of the picture that falls into clip, the whole picture being scaled into
    // target (only the clipped part is ever scaled).
    void Draw(QPainter& painter, const QRectF& target, const QRect& clip) const;
    // For tests and the sample tool.
    void SetImage(const QImage& image);
    const QImage& Image() const { return FImage; }

private:
    void DrawMetafile(QPainter& painter, const QRectF& target, const QRectF& visible) const;
    QImage FImage;
    TMetafile FMetafile;
    bool FIsMetafile = false;
    // The metafile as last played: FPlayed holds the part FPlayedRect (device pixels, from the
    // target's corner) of the picture scaled to FPlayedSize, so that a repaint at the same zoom
    // copies it instead of replaying every record.
    mutable QImage FPlayed;
    mutable QSize FPlayedSize;
    mutable QRect FPlayedRect;
};

// One marker over the picture.
class TMarker {
public:
    const QString& GetDescription() const { return FDescription; }
    void SetDescription(const QString& value);
    double GetLongitude() const { return FLongitude; }
    void SetLongitude(double value);
    double GetLatitude() const { return FLatitude; }
    void SetLatitude(double value);

private:
    friend class TMarkerList;
    explicit TMarker(TOrvikMap* owner)
        : FOwner(owner)
    {
    }
    void Changed();
    TOrvikMap* FOwner;
    QString FDescription;
    double FLongitude = 0;
    double FLatitude = 0;
};

// The control's markers; any change repaints the control.
class TMarkerList {
public:
    explicit TMarkerList(TOrvikMap* owner)
        : FOwner(owner)
    {
    }
    int Count() const { return int(FItems.size()); }
    TMarker& Items(int i) { return *FItems.at(size_t(i)); }
    const TMarker& Items(int i) const { return *FItems.at(size_t(i)); }
    TMarker& Add();
    void Delete(int i);
    void Clear();

private:
    void Changed();
    TOrvikMap* FOwner;
    std::vector<std::unique_ptr<TMarker>> FItems;
};

// A mouse event of the control, in control pixels.
struct TMapMouseEvent {
    Qt::MouseButton Button = Qt::NoButton; // the button pressed or released (NoButton for moves)
    Qt::MouseButtons Buttons; // held
    Qt::KeyboardModifiers Shift;
    int X = 0;
    int Y = 0;
};

class TOrvikMap : public QWidget {
    Q_OBJECT
public:
    explicit TOrvikMap(QWidget* parent = nullptr);
    ~TOrvikMap() override;

    // The map picture. Loading or assigning resizes the control (UpdateSize) and, with a picture,
    // updates the scale and repaints. LoadMapPic throws EUserError naming the file and then
    // leaves the control without a picture.
    const TMapPicture& GetMapPic() const { return FMapPic; }
    void SetMapPic(const TMapPicture& picture);
    void LoadMapPic(const QString& fileName);
    void LoadMapPicNative(const QByteArray& nativePath, const QString& shownName);
    void ClearMapPic();

    // Drawn for each marker; a picture without alpha channel gets its bottom-left colour
    // transparent.
    const QImage& GetMarker() const { return FMarker; }
    void SetMarker(const QImage& picture);

    // Calibration: geographic degrees (east and north positive) and picture pixels at zoom 1.
    // Each setter updates the scale.
    double GetCal1Lon() const { return FScale.Cal1Lon; }
    void SetCal1Lon(double value);
    double GetCal1Lat() const { return FScale.Cal1Lat; }
    void SetCal1Lat(double value);
    int32_t GetCal1X() const { return FScale.Cal1X; }
    void SetCal1X(int32_t value);
    int32_t GetCal1Y() const { return FScale.Cal1Y; }
    void SetCal1Y(int32_t value);
    double GetCal2Lon() const { return FScale.Cal2Lon; }
    void SetCal2Lon(double value);
    double GetCal2Lat() const { return FScale.Cal2Lat; }
    void SetCal2Lat(double value);
    int32_t GetCal2X() const { return FScale.Cal2X; }
    void SetCal2X(int32_t value);
    int32_t GetCal2Y() const { return FScale.Cal2Y; }
    void SetCal2Y(int32_t value);

    // Drawing scale; resizes and repaints. Values that are not finite and above 0 are ignored.
    double GetZoom() const { return FScale.GetZoom(); }
    void SetZoom(double value);

    TMarkerList& Markers() { return FMarkers; }
    const TMarkerList& Markers() const { return FMarkers; }
    const TMapScale& Scale() const { return FScale; }

    void UpdateScale();
    void UpdateSize();
    int32_t LonToX(double lon) const { return FScale.LonToX(lon); }
    int32_t LatToY(double lat) const { return FScale.LatToY(lat); }
    double XToLon(double x) const { return FScale.XToLon(x); }
    double YToLat(double y) const { return FScale.YToLat(y); }
    // Draws Marker centred on the position (top-left at LonToX - W div 2, LatToY - H div 2).
    // Only while the control paints, that is from OnPaintMarkers; does nothing otherwise.
    void DrawMarkerAt(double lat, double lon);
    // The painter of the paint under way (nullptr outside paintEvent).
    QPainter* Canvas() const { return FCanvas; }

    // Called at the end of each paint that drew a picture.
    std::function<void(TOrvikMap& sender)> OnPaintMarkers;
    std::function<void(const TMapMouseEvent&)> OnMouseDown;
    std::function<void(const TMapMouseEvent&)> OnMouseMove;
    std::function<void(const TMapMouseEvent&)> OnMouseUp;
    // The tool tip at a control pixel, plain text (shown as it stands); an empty text shows none.
    std::function<QString(int x, int y)> OnHintText;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void PictureChanged();
    TMapScale FScale;
    TMapPicture FMapPic;
    QImage FMarker;
    TMarkerList FMarkers;
    QPainter* FCanvas = nullptr;
    QRect FPaintClip;
};

// A side-file colour on screen: system colours through the palette roles of the widgets.
QColor InfColorToQColor(TInfColor color, const QPalette& palette);
// The side-file form of a colour on screen (00BBGGRR).
TInfColor InfColorFromQColor(const QColor& color);

// The marker picture of the map windows (a pin, drawn here).
QImage MapMarkerPicture();
// The 32 x 32 mark of the current entry (drawn here, transparent around).
QImage PositionMarkPicture();
