// Helpers of the UI component tests: solid pictures, encoded image bytes and colour probes.
#pragma once

#include "ui/AdvGDIP.h"
#include "ui/GDIPicture.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QString>

#include <string>

#include <gtest/gtest.h>

// An opaque picture of one colour.
inline QImage SolidImage(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

// The picture encoded in format ("PNG", "BMP", "JPG", "ICO").
inline QByteArray Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The bytes loaded into picture as a stream.
inline void LoadBytes(TGDIPPicture& picture, QByteArray bytes)
{
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    picture.LoadFromStream(&in);
}

// A form colour ($BBGGRR) as the QColor it paints.
inline QColor Painted(TColor color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline std::string ColorName(QColor c)
{
    return c.name(QColor::HexArgb).toStdString();
}

// The pixel's colour, compared by name so failures read as colours.
#define EXPECT_PIXEL(image, x, y, color) EXPECT_EQ(ColorName((image).pixelColor((x), (y))), ColorName(color)) << "at " << (x) << "," << (y)
