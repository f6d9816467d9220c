// A picture that keeps an image file's bytes exactly as loaded and decodes them each time it is
// drawn: PNG, JPEG, GIF, BMP and the other formats the image readers know.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <functional>

class QIODevice;
class QPainter;

class TGDIPPicture {
public:
    TGDIPPicture() = default;
    TGDIPPicture(const TGDIPPicture&) = delete;
    TGDIPPicture& operator=(const TGDIPPicture&) = delete;

    // Marks the picture empty; then nullptr clears the bytes (OnChange, then OnClear), another
    // picture gives its bytes (OnChange).
    void Assign(const TGDIPPicture* source);
    // Nothing when empty or without bytes; a BMP at its own size at the rectangle's top-left
    // corner, its bottom-left pixel's colour transparent; any other format stretched to the
    // rectangle. Bytes that do not decode draw nothing.
    void Draw(QPainter& canvas, const QRect& rect);
    bool GetEmpty() const { return FEmpty; }
    int GetWidth() const { return FWidth; }
    int GetHeight() const { return FHeight; }
    // The size follows the image: setting it does nothing.
    void SetWidth(int) { }
    void SetHeight(int) { }
    // The whole file (OnClear, then OnChange); a file that cannot be read leaves the picture empty.
    void LoadFromFile(const QString& fileName);
    // The device's whole content (OnChange); nullptr does nothing.
    void LoadFromStream(QIODevice* stream);
    void SaveToStream(QIODevice* stream) const;
    // Form streaming: the bytes without an event.
    void ReadData(QIODevice* stream);
    void WriteData(QIODevice* stream) const;
    // Width and height from the image's header without drawing; false when empty, without bytes,
    // or when the bytes are no image the readers can decode.
    bool GetImageSizes();
    const QByteArray& Data() const { return FData; }

    std::function<void()> OnChange;
    std::function<void()> OnClear;

private:
    void Changed() const;
    QByteArray FData;
    bool FEmpty = true;
    int FWidth = 0;
    int FHeight = 0;
};

// The bytes' image drawn into rect (stretched); a BMP gets its bottom-left pixel's colour as the
// transparent colour. Bytes that do not decode draw nothing.
void DrawImageBytesStretched(QPainter& canvas, const QRect& rect, const QByteArray& bytes);
// A BMP's pixels with the bottom-left pixel's colour made transparent.
QImage AutoTransparentBitmap(const QImage& bitmap);
