// Picture lists and the greyed look of disabled pictures.
#include "ui/PngImageList.h"

#include <QPainter>

TPngImageList::TPngImageList(QSize size, QObject* parent)
    : QObject(parent)
    , FSize(size)
{
}

void TPngImageList::Draw(QPainter& canvas, int x, int y, int index, bool enabled) const
{
    const QPixmap image = Image(index);
    if (image.isNull())
        return;
    if (enabled)
        canvas.drawPixmap(x, y, image);
    else
        canvas.drawImage(x, y, GreyedImage(image.toImage()));
}

void TPngImageList::DrawStretched(QPainter& canvas, const QRect& target, int index, bool enabled) const
{
    const QPixmap image = Image(index);
    if (image.isNull())
        return;
    canvas.save();
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (enabled)
        canvas.drawPixmap(target, image);
    else
        canvas.drawImage(target, GreyedImage(image.toImage()));
    canvas.restore();
}

TPngImageCollection::TPngImageCollection(QObject* parent)
    : QObject(parent)
{
}

bool TPngImageCollection::AddPng(const QByteArray& bytes)
{
    QImage image;
    if (!image.loadFromData(bytes, "PNG"))
        return false;
    FImages.append(image);
    return true;
}

QImage GreyedImage(const QImage& image)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb c = line[x];
            const int grey = (qRed(c) * 11 + qGreen(c) * 16 + qBlue(c) * 5) / 32;
            line[x] = qRgba(grey, grey, grey, qAlpha(c) / 2);
        }
    }
    return result;
}
