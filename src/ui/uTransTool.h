// A tool bar without a panel of its own: the window behind it shows through.
#pragma once

#include <QToolBar>

class TTestToolbar : public QToolBar {
    Q_OBJECT
public:
    explicit TTestToolbar(QWidget* parent = nullptr);

protected:
    // Paints nothing: no panel, no frame; its buttons paint themselves.
    void paintEvent(QPaintEvent* event) override;
};
