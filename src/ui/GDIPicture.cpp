// The picture that keeps its file's bytes and decodes them on every draw.
#include "ui/GDIPicture.h"

#include "ui/AdvGDIP.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace {

// A picture file larger than this is not read (the readers' own allocation limit).
constexpr qint64 MaxPictureFileBytes = qint64(256) * 1024 * 1024;

QImage DecodeBitmap(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return AutoTransparentBitmap(reader.read());
}

} // namespace

QImage AutoTransparentBitmap(const QImage& bitmap)
{
    if (bitmap.isNull())
        return bitmap;
    QImage result = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = result.pixel(0, result.height() - 1) | 0xFF000000u;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            if ((line[x] | 0xFF000000u) == transparent)
                line[x] = 0;
    }
    return result;
}

void DrawImageBytesStretched(QPainter& canvas, const QRect& rect, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    TGPImage image(bytes);
    if (image.GetLastStatus() != Ok)
        return;
    if (image.GetFormat() == ifBmp) {
        const QImage bitmap = DecodeBitmap(bytes);
        canvas.drawImage(rect, bitmap);
        return;
    }
    TGPGraphics graphics(&canvas);
    graphics.DrawImage(&image, rect.left(), rect.top(), rect.width(), rect.height());
}

void TGDIPPicture::Changed() const
{
    if (OnChange)
        OnChange();
}

void TGDIPPicture::Assign(const TGDIPPicture* source)
{
    if (source == this)
        return;
    FEmpty = true;
    if (!source) {
        FData.clear();
        Changed();
        if (OnClear)
            OnClear();
        return;
    }
    FData = source->FData;
    FEmpty = false;
    Changed();
}

void TGDIPPicture::Draw(QPainter& canvas, const QRect& rect)
{
    if (FEmpty || FData.isEmpty())
        return;
    TGPImage image(FData);
    if (image.GetLastStatus() != Ok)
        return;
    if (image.GetFormat() == ifBmp) {
        const QImage bitmap = DecodeBitmap(FData);
        if (!bitmap.isNull())
            canvas.drawImage(rect.topLeft(), bitmap);
        return;
    }
    FWidth = int(image.GetWidth());
    FHeight = int(image.GetHeight());
    TGPGraphics graphics(&canvas);
    graphics.DrawImage(&image, rect.left(), rect.top(), rect.width(), rect.height());
}

void TGDIPPicture::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    QByteArray bytes;
    const bool read = file.open(QIODevice::ReadOnly) && file.size() <= MaxPictureFileBytes
        && ((bytes = file.readAll()).size() == file.size());
    if (!read) {
        FData.clear();
        FEmpty = true;
        return;
    }
    FData = bytes;
    FEmpty = false;
    if (OnClear)
        OnClear();
    Changed();
}

void TGDIPPicture::LoadFromStream(QIODevice* stream)
{
    if (!stream)
        return;
    if (!stream->isSequential())
        stream->seek(0);
    FData = stream->readAll();
    FEmpty = false;
    Changed();
}

void TGDIPPicture::SaveToStream(QIODevice* stream) const
{
    if (stream)
        stream->write(FData);
}

void TGDIPPicture::ReadData(QIODevice* stream)
{
    if (!stream)
        return;
    FData = stream->readAll();
    FEmpty = false;
}

void TGDIPPicture::WriteData(QIODevice* stream) const
{
    SaveToStream(stream);
}

bool TGDIPPicture::GetImageSizes()
{
    if (FEmpty || FData.isEmpty())
        return false;
    TGPImage image(FData);
    if (image.GetLastStatus() != Ok)
        return false;
    FWidth = int(image.GetWidth());
    FHeight = int(image.GetHeight());
    return true;
}
