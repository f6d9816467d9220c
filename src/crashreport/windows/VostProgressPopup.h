// The small window that shows how far the tracing of long stacks has come: a bar with the
// percentage, without caption, always on top, centred on the screen.
#pragma once

#include "crashreport/logic/VostStackTrace.h"

#include <QWidget>

class TProgressPopup : public QWidget, public TTraceProgressSink {
    Q_OBJECT
public:
    explicit TProgressPopup(QWidget* parent = nullptr);

    // Shows the window when it is hidden and moves the bar; events are processed so that it
    // paints while the caller keeps the thread busy.
    void Show(uint32_t permille) override;
    void Close() override;

    uint32_t Position() const { return FPosition; }
    // The bar's right end in pixels and the percentage shown.
    int SplitPixel() const { return FSplit; }
    int Percent() const { return FPercent; }
    QString PercentText() const;
    // How often a new position asked for a redraw (only a new split pixel or percentage does).
    int Redraws() const { return FRedraws; }
    // "%1" the percentage; the helper process gets it translated from the crashed one.
    void SetPercentFormat(const QString& format);
    // Where the window goes: half the screen's width, centred on it.
    static QRect PlaceOn(const QRect& screen);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint32_t FPosition = 0;
    int FSplit = -1;
    int FPercent = -1;
    int FRedraws = 0;
    QString FFormat;
};
