// The see-through tool bar.
#include "ui/uTransTool.h"

TTestToolbar::TTestToolbar(QWidget* parent)
    : QToolBar(parent)
{
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAutoFillBackground(false);
    setMovable(false);
    setFloatable(false);
}

void TTestToolbar::paintEvent(QPaintEvent*)
{
}
