// Whether a picture of the map windows is one of ours: not missing, not the lettered tile drawn
// for a missing theme icon, not a plain box.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSet>
#include <QString>

// Empty when the icon is a real picture, else what is wrong with it.
inline QString MapIconFault(const QIcon& icon)
{
    if (icon.isNull())
        return QStringLiteral("null icon");
    const QImage image = icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return QStringLiteral("no picture at 16 x 16");
    int tile = 0, opaque = 0, seen = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) > 0)
                ++seen;
            if (qAlpha(pixel) < 255)
                continue;
            ++opaque;
            colours.insert(pixel);
            // The lettered tile's face colour.
            if (std::abs(qRed(pixel) - 0x5b) < 8 && std::abs(qGreen(pixel) - 0x86) < 8 && std::abs(qBlue(pixel) - 0xbd) < 8)
                ++tile;
        }
    if (tile > image.width() * image.height() * 4 / 10)
        return QStringLiteral("lettered tile");
    const int area = image.width() * image.height();
    if (seen < area / 10)
        return QStringLiteral("blank");
    // A box filled with one or two colours (the grey box a missing picture leaves).
    if (opaque > area * 6 / 10 && colours.size() < 3)
        return QStringLiteral("plain box");
    return QString();
}
