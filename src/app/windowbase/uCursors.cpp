// The program's own cursors.
#include "app/windowbase/uCursors.h"

QCursor AppCursor(int index)
{
    // The desktop's own hand and cross shapes stand in for the drawn cursors.
    switch (index) {
    case 1:
        return QCursor(Qt::OpenHandCursor);
    case 2:
        return QCursor(Qt::ClosedHandCursor);
    case 3:
        return QCursor(Qt::CrossCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}
