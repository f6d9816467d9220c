// The notify body of the application object.
#include "crashreport/windows/VostNotify.h"

#include "crashreport/logic/VostExcept.h"

#include <QWidget>

bool VostNotify(QObject* receiver, QEvent* event, const std::function<bool(QObject*, QEvent*)>& baseNotify)
{
    try {
        return baseNotify(receiver, event);
    } catch (...) {
        // A grab left behind would keep every later click in the widget that failed.
        if (QWidget* grabber = QWidget::mouseGrabber())
            grabber->releaseMouse();
        if (QWidget* grabber = QWidget::keyboardGrabber())
            grabber->releaseKeyboard();
        ReportCurrentException(true);
        return false;
    }
}
