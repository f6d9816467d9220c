// The PNG picture control.
#include "ui/PngImageComp.h"

#include <QPainter>

std::vector<QRect> PngImageCells(TLayoutMode layout, QSize imageSize, const QRect& client)
{
    const int w = imageSize.width(), h = imageSize.height();
    const int clientWidth = client.width(), clientHeight = client.height();
    std::vector<QRect> cells;
    if (w <= 0 || h <= 0)
        return cells;
    switch (layout) {
    case TLayoutMode::lmCenter:
        // Division towards zero: a picture larger than the control gets a negative offset.
        cells.emplace_back(client.left() + (clientWidth - w) / 2, client.top() + (clientHeight - h) / 2, w, h);
        break;
    case TLayoutMode::lmTopLeft:
        cells.emplace_back(client.left(), client.top(), w, h);
        break;
    case TLayoutMode::lmTile: {
        if (clientWidth < 0 || clientHeight < 0)
            break;
        const int columns = clientWidth / w, rows = clientHeight / h;
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= columns; ++c)
                cells.emplace_back(client.left() + c * w, client.top() + r * h, w, h);
        break;
    }
    }
    return cells;
}

TPngImageComp::TPngImageComp(QWidget* parent)
    : QWidget(parent)
{
}

QImage TPngImageComp::CurrentImage() const
{
    return FCollection ? FCollection->Image(FImageIndex) : QImage();
}

void TPngImageComp::Changed()
{
    const QImage image = CurrentImage();
    if (FAutoSize && !image.isNull())
        resize(image.size());
    updateGeometry();
    update();
}

void TPngImageComp::SetPngImageCollection(TPngImageCollection* collection)
{
    FCollection = collection;
    Changed();
}

void TPngImageComp::SetPngOptions(unsigned options)
{
    FOptions = options;
    Changed();
}

void TPngImageComp::SetImageIndex(int index)
{
    FImageIndex = index;
    Changed();
}

void TPngImageComp::SetLayout(TLayoutMode layout)
{
    FLayout = layout;
    Changed();
}

void TPngImageComp::SetAutoSize(bool value)
{
    FAutoSize = value;
    Changed();
}

bool TPngImageComp::CanAutoSize(int& newWidth, int& newHeight) const
{
    const QImage image = CurrentImage();
    if (image.isNull())
        return false;
    if (Align == TAlign::alNone || Align == TAlign::alLeft || Align == TAlign::alRight)
        newWidth = image.width();
    if (Align == TAlign::alNone || Align == TAlign::alTop || Align == TAlign::alBottom)
        newHeight = image.height();
    return true;
}

QSize TPngImageComp::sizeHint() const
{
    const QImage image = CurrentImage();
    return image.isNull() ? QSize(0, 0) : image.size();
}

void TPngImageComp::paintEvent(QPaintEvent*)
{
    const QImage image = CurrentImage();
    if (image.isNull())
        return;
    QPainter painter(this);
    for (const QRect& cell : PngImageCells(FLayout, image.size(), rect()))
        painter.drawImage(cell.topLeft(), image);
}
