// Thin drawing wrappers of the glow button and its pictures over QPainter, with the geometry and
// status rules of the 2-D interface they were designed for: pixel centres on integer coordinates,
// clockwise angles, and every failure kept as the object's last status instead of thrown.
#pragma once

#include <QBrush>
#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

class QPainter;

// A colour as the forms store it: $00BBGGRR, or a system colour $FF0000nn (nn: the system colour's
// number, resolved through the application palette).
using TColor = uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;

// A colour with alpha, 0xAARRGGBB.
using TARGB = uint32_t;

// The colour's RGB value; system colours through the application palette.
TColor ColorToRGB(TColor color);
// Opaque ARGB of the colour (system colours resolved).
TARGB ColorToARGB(TColor color);
QColor ArgbToQColor(TARGB argb);
// The class library's colour of a QColor (alpha dropped).
TColor QColorToColor(const QColor& color);
inline int GetRValue(TColor c) { return int(c & 0xFF); }
inline int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
inline int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }
inline constexpr TColor RGB(int r, int g, int b) { return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16); }

// Statuses of the wrappers (0 is success).
enum TGPStatus : int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    NotImplemented = 6,
    WrongState = 8,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
};

enum class TAntiAlias { aaNone, aaClearType, aaAntiAlias };
// The trimming values 0-5.
enum StringTrimming {
    StringTrimmingNone,
    StringTrimmingCharacter,
    StringTrimmingWord,
    StringTrimmingEllipsisCharacter,
    StringTrimmingEllipsisWord,
    StringTrimmingEllipsisPath,
};

// Text rendering hints and smoothing modes as numbered by the interface.
inline constexpr int TextRenderingHintAntiAlias = 4;
inline constexpr int TextRenderingHintClearTypeGridFit = 5;
inline constexpr int SmoothingModeNone = 3;
inline constexpr int SmoothingModeAntiAlias = 4;
// Dash styles: 0 solid, 1 dash, 2 dot (1 on, 1 off), 3 dash-dot, 4 dash-dot-dot.
inline constexpr int DashStyleSolid = 0;
inline constexpr int DashStyleDot = 2;
// Linear gradient modes: 0 horizontal, 1 vertical, 2 forward diagonal, 3 backward diagonal.
inline constexpr int LinearGradientModeVertical = 1;
// String alignments (near, centre, far) and format flags.
inline constexpr int StringAlignmentNear = 0;
inline constexpr int StringAlignmentCenter = 1;
inline constexpr int StringAlignmentFar = 2;
inline constexpr int StringFormatFlagsNoWrap = 4096;
inline constexpr int HotkeyPrefixNone = 0;
inline constexpr int HotkeyPrefixShow = 1;
inline constexpr int HotkeyPrefixHide = 2;
// Font styles (sum of) and units.
inline constexpr int FontStyleBold = 1;
inline constexpr int FontStyleItalic = 2;
inline constexpr int FontStyleUnderline = 4;
inline constexpr int FontStyleStrikeout = 8;
inline constexpr int UnitPixel = 2;
inline constexpr int UnitPoint = 3;

// Image format numbers of TGPImage::GetFormat.
enum TImageFormatNumber {
    ifUndefined = 0,
    ifMemoryBmp = 1,
    ifBmp = 2,
    ifEmf = 3,
    ifWmf = 4,
    ifJpeg = 5,
    ifPng = 6,
    ifGif = 7,
    ifTiff = 8,
    ifExif = 9,
    ifIcon = 10,
};

struct TGPRectF {
    float X = 0, Y = 0, Width = 0, Height = 0;
    QRectF ToQRectF() const { return QRectF(X, Y, Width, Height); }
};
struct TGPPoint {
    int X = 0, Y = 0;
};
TGPRectF MakeRectF(float x, float y, float width, float height);
TGPPoint MakePoint(int x, int y);

// Always true: the text routines prefer the newer system font.
bool IsVistaOrLater();

// Base of every wrapper: not copyable, keeps the last failed status (0 while all went well).
class TGdiplusBase {
public:
    TGdiplusBase() = default;
    TGdiplusBase(const TGdiplusBase&) = delete;
    TGdiplusBase& operator=(const TGdiplusBase&) = delete;
    virtual ~TGdiplusBase() = default;
    int32_t GetLastStatus() const { return FLastStatus; }

protected:
    // A creation status is stored whatever it is; later ones only when they are failures.
    void SetCreationStatus(int32_t status) { FLastStatus = status; }
    int32_t SetStatus(int32_t status)
    {
        if (status != Ok)
            FLastStatus = status;
        return status;
    }

private:
    int32_t FLastStatus = Ok;
};

class TGPPen : public TGdiplusBase {
public:
    explicit TGPPen(TARGB color, float width = 1.0f);
    int32_t SetDashStyle(int style);
    const QPen& Pen() const { return FPen; }

private:
    QPen FPen;
};

class TGPBrush : public TGdiplusBase {
public:
    const QBrush& Brush() const { return FBrush; }
    // The area outside of which the brush paints nothing (path gradients); empty: no limit.
    const std::optional<QPainterPath>& Clip() const { return FClip; }

protected:
    QBrush FBrush;
    std::optional<QPainterPath> FClip;
};

class TGPSolidBrush : public TGPBrush {
public:
    explicit TGPSolidBrush(TARGB color);
};

// From color1 to color2 over the rectangle, repeating beyond it.
class TGPLinearGradientBrush : public TGPBrush {
public:
    TGPLinearGradientBrush(const TGPRectF& rect, TARGB color1, TARGB color2, int mode);
};

class TGPGraphicsPath;

// Colours running from the centre point to the path's outline; paints nothing outside the path.
class TGPPathGradientBrush : public TGPBrush {
public:
    explicit TGPPathGradientBrush(const TGPGraphicsPath* path);
    int32_t SetCenterColor(TARGB color);
    int32_t SetCenterPoint(const TGPPoint& point);
    // Points of the path's outline.
    int32_t GetPointCount() const;
    // count in: the number of colours given; out: the number taken. No colours, a count below 1 or
    // more colours than points: InvalidParameter, nothing changes. The outline takes the first colour.
    int32_t SetSurroundColors(std::span<const TARGB> colors, int& count);

private:
    void Rebuild();
    QPainterPath FPath;
    QRectF FBounds;
    QPointF FCenter;
    TARGB FCenterColor = 0xFFFFFFFF;
    TARGB FSurroundColor = 0xFFFFFFFF;
    int FPointCount = 0;
};

class TGPFontFamily : public TGdiplusBase {
public:
    // FontFamilyNotFound when no installed family has the name.
    explicit TGPFontFamily(const QString& name);
    const QString& Name() const { return FName; }

private:
    QString FName;
};

class TGPFont : public TGdiplusBase {
public:
    TGPFont(const TGPFontFamily* family, float size, int style, int unit);
    const QFont& Font() const { return FFont; }

private:
    QFont FFont;
};

class TGPStringFormat : public TGdiplusBase {
public:
    explicit TGPStringFormat(int formatFlags = 0, int language = 0);
    int32_t SetAlignment(int align);
    int32_t SetLineAlignment(int align);
    int32_t SetTrimming(StringTrimming trimming);
    int32_t SetHotkeyPrefix(int prefix);
    int FormatFlags() const { return FFlags; }
    int Alignment() const { return FAlign; }
    int LineAlignment() const { return FLineAlign; }
    StringTrimming Trimming() const { return FTrimming; }
    int HotkeyPrefix() const { return FHotkeyPrefix; }

private:
    // Stores value when it lies in first..last; else InvalidParameter.
    template <typename T> int32_t SetChecked(T& field, T value, T first, T last);
    int FFlags = 0;
    int FAlign = StringAlignmentNear;
    int FLineAlign = StringAlignmentNear;
    StringTrimming FTrimming = StringTrimmingCharacter;
    int FHotkeyPrefix = HotkeyPrefixNone;
};

// Figures of lines and arcs; a figure stays open until CloseFigure, and each addition joins it.
class TGPGraphicsPath : public TGdiplusBase {
public:
    explicit TGPGraphicsPath(int fillMode = 0);
    int32_t AddLine(float x1, float y1, float x2, float y2);
    // Angles in degrees, clockwise from the positive x axis.
    int32_t AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle);
    int32_t AddEllipse(float x, float y, float width, float height);
    int32_t CloseFigure();
    const QPainterPath& Path() const { return FPath; }

private:
    QPainterPath FPath;
    bool FFigureOpen = false;
};

// An image decoded from an image file's bytes. The header is read at once (format, size); the
// pixels on first use. Bytes no reader knows, and images beyond the reader's allocation limit,
// fail: the image then has no size and draws nothing.
class TGPImage : public TGdiplusBase {
public:
    explicit TGPImage(const QByteArray& bytes, bool useEmbeddedColorManagement = false);
    int GetFormat() const { return FFormat; }
    unsigned GetWidth() const { return unsigned(FSize.width()); }
    unsigned GetHeight() const { return unsigned(FSize.height()); }
    // The decoded pixels; null when decoding failed.
    const QImage& Image();

private:
    QByteArray FBytes;
    int FFormat = ifUndefined;
    QSize FSize { 0, 0 };
    QImage FImage;
    bool FDecoded = false;
};

// Drawing on a painter, restored as it was when the wrapper goes.
class TGPGraphics : public TGdiplusBase {
public:
    explicit TGPGraphics(QPainter* painter);
    ~TGPGraphics() override;
    int32_t SetTextRenderingHint(int hint);
    int32_t SetSmoothingMode(int mode);
    int32_t DrawPath(const TGPPen* pen, const TGPGraphicsPath* path);
    int32_t FillRectangle(const TGPBrush* brush, const TGPRectF& rect);
    int32_t FillRectangle(const TGPBrush* brush, float x, float y, float width, float height);
    int32_t DrawRectangle(const TGPPen* pen, float x, float y, float width, float height);
    int32_t DrawString(const QString& text, int length, const TGPFont* font, const TGPRectF& layoutRect,
        const TGPStringFormat* format, const TGPBrush* brush);
    // length -1: the whole text. The bounding box lies where DrawString would put the text.
    int32_t MeasureString(const QString& text, int length, const TGPFont* font, const TGPRectF& layoutRect,
        const TGPStringFormat* format, TGPRectF& boundingBox, int* codepointsFitted = nullptr,
        int* linesFilled = nullptr);
    int32_t DrawImage(TGPImage* image, int x, int y, int width, int height);
    QPainter* Painter() const { return FPainter; }

private:
    QPainter* FPainter;
    bool FAntiAlias = false;
    bool FTextAntiAlias = true;
};

// The reader's format name (lower case) of the image bytes: "png", "bmp", ...; empty when none.
QByteArray ImageBytesFormatName(const QByteArray& bytes);
