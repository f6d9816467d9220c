// A control that shows one picture of a PNG image collection: centred, at the top-left corner or
// tiled.
#pragma once

#include "ui/PngImageList.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

enum class TLayoutMode { lmCenter, lmTopLeft, lmTile };
enum TPngOption : unsigned { pngBlendOnDisabled = 1, pngGrayscaleOnDisabled = 2 };
// How a control sits in its parent, as far as auto-sizing cares.
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Where a picture of imageSize is drawn in client, one rectangle per copy. Tiling covers one more
// column and row than fit wholly; a picture without area, or a client of negative size, gives none.
std::vector<QRect> PngImageCells(TLayoutMode layout, QSize imageSize, const QRect& client);

class TPngImageComp : public QWidget {
    Q_OBJECT
public:
    explicit TPngImageComp(QWidget* parent = nullptr);

    TPngImageCollection* PngImageCollection() const { return FCollection; }
    void SetPngImageCollection(TPngImageCollection* collection);
    // Stored only: the painting does not depend on it.
    unsigned PngOptions() const { return FOptions; }
    void SetPngOptions(unsigned options);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    TLayoutMode Layout() const { return FLayout; }
    void SetLayout(TLayoutMode layout);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    TAlign Align = TAlign::alNone;

    // The collection's picture ImageIndex; null when there is none.
    QImage CurrentImage() const;
    // The size auto-sizing gives; false without a current picture. The width follows the picture
    // unless the control is aligned to the top or bottom, the height unless aligned left or right.
    bool CanAutoSize(int& newWidth, int& newHeight) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Changed();
    QPointer<TPngImageCollection> FCollection;
    unsigned FOptions = pngBlendOnDisabled;
    int FImageIndex = -1;
    TLayoutMode FLayout = TLayoutMode::lmCenter;
    bool FAutoSize = false;
};
