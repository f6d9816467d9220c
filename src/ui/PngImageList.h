// Picture lists shared by tool bars, lists, glow buttons and picture controls: a list of pictures of
// one size, and a collection of PNG pictures each of its own size.
#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QSize>

class QPainter;

// Pictures of one size, addressed by index. Disabled pictures are drawn greyed and faded.
class TPngImageList : public QObject {
    Q_OBJECT
public:
    explicit TPngImageList(QSize size = QSize(24, 24), QObject* parent = nullptr);
    QSize Size() const { return FSize; }
    int Width() const { return FSize.width(); }
    int Height() const { return FSize.height(); }
    int Count() const { return int(FImages.size()); }
    // A null pixmap for an index out of range.
    QPixmap Image(int index) const { return index >= 0 && index < Count() ? FImages[index] : QPixmap(); }
    void Add(const QPixmap& image) { FImages.append(image); }
    void Clear() { FImages.clear(); }
    // The picture at (x, y) in its own size; nothing for an index out of range.
    void Draw(QPainter& canvas, int x, int y, int index, bool enabled = true) const;
    // The picture stretched to target.
    void DrawStretched(QPainter& canvas, const QRect& target, int index, bool enabled = true) const;

private:
    QSize FSize;
    QList<QPixmap> FImages;
};

// PNG pictures, each of its own size.
class TPngImageCollection : public QObject {
    Q_OBJECT
public:
    explicit TPngImageCollection(QObject* parent = nullptr);
    int Count() const { return int(FImages.size()); }
    // A null image for an index out of range.
    QImage Image(int index) const { return index >= 0 && index < Count() ? FImages[index] : QImage(); }
    void Add(const QImage& image) { FImages.append(image); }
    // Decodes the PNG bytes; false (nothing added) when they are no picture.
    bool AddPng(const QByteArray& bytes);
    void Clear() { FImages.clear(); }

private:
    QList<QImage> FImages;
};

// The picture as a disabled control shows it: grey, at half its opacity.
QImage GreyedImage(const QImage& image);
