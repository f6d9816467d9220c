// Base classes of every window and dialog.
#include "app/windowbase/uTarvellForm.h"

#include "ui/AdvGlowButton.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <limits>

void InitAppResources()
{
    // Resources of a static library are only linked in when something names them.
    static const bool done = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)done;
}

QIcon ProgramIcon()
{
    InitAppResources();
    static const QIcon icon(QStringLiteral(":/tarvell/tarvell.svg"));
    return icon;
}

void ApplyTarvellFormLook(QWidget* form)
{
    // The system font and tool-bar look are the desktop's own on Linux; only the icon is ours.
    form->setWindowIcon(ProgramIcon());
}

QRect FitFrameToArea(const QRect& frame, const QRect& area)
{
    if (!area.isValid())
        return frame;
    QRect fitted(frame.topLeft(), frame.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() + 1 - fitted.height()));
    return fitted;
}

QRect AvailableAreaFor(const QRect& frame)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* best = QGuiApplication::screenAt(frame.center());
    if (!best) {
        qint64 bestOverlap = 0;
        qint64 bestDistance = std::numeric_limits<qint64>::max();
        for (QScreen* screen : screens) {
            const QRect g = screen->geometry();
            const QRect overlap = g.intersected(frame);
            const qint64 area = overlap.isValid() ? qint64(overlap.width()) * overlap.height() : 0;
            const QPoint d = g.center() - frame.center();
            const qint64 distance = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
            if (area > bestOverlap || (bestOverlap == 0 && area == 0 && distance < bestDistance)) {
                best = screen;
                bestOverlap = area;
                bestDistance = distance;
            }
        }
    }
    if (!best)
        best = QGuiApplication::primaryScreen();
    return best ? best->availableGeometry() : QRect();
}

void FitWindowToScreen(QWidget* window)
{
    if (!window || !window->isWindow() || (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QRect frame = window->frameGeometry();
    const QRect fitted = FitFrameToArea(frame, AvailableAreaFor(frame));
    if (fitted == frame)
        return;
    // The frame's border stays as it is; the client area gives up what the frame must lose.
    const QSize border = frame.size() - window->size();
    if (fitted.size() != frame.size())
        window->resize((fitted.size() - border).expandedTo(QSize(1, 1)));
    window->move(fitted.topLeft());
}

TTarvellForm::TTarvellForm(QWidget* owner, Qt::WindowFlags flags)
    : QMainWindow(owner, flags)
{
    ApplyTarvellFormLook(this);
}

void TTarvellForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QMainWindow::changeEvent(event);
}

void TTarvellForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FFitted || event->spontaneous())
        return;
    FFitted = true;
    FitWindowToScreen(this);
}

void TTarvellModalForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QDialog::changeEvent(event);
}

TTarvellModalForm::TTarvellModalForm(QWidget* owner)
    : QDialog(owner)
    , FOwner(owner)
{
    ApplyTarvellFormLook(this);
}

TTarvellModalForm::TTarvellModalForm(QWidget* owner, NoPopupParent)
    : QDialog(nullptr)
    , FOwner(owner)
{
    ApplyTarvellFormLook(this);
    if (owner)
        connect(owner, &QObject::destroyed, this, &QObject::deleteLater);
}

void TTarvellModalForm::CreateAt(TTarvellModalForm& form, int left, int top)
{
    form.FFirstPosition = QPoint(left, top);
}

void TTarvellModalForm::keyPressEvent(QKeyEvent* event)
{
    // The button's handler runs first; its modal result then closes the dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier
        && TAdvCustomGlowButton::ClickCancelButton(this))
        return;
    QDialog::keyPressEvent(event);
}

void TTarvellModalForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (FPlaced || event->spontaneous())
        return;
    FPlaced = true;
    const bool defaultPlace = Position == TFormPosition::poDefault || Position == TFormPosition::poDefaultPosOnly;
    if (FFirstPosition && defaultPlace) {
        move(*FFirstPosition);
        FitWindowToScreen(this);
        return;
    }
    QRect area;
    if (Position == TFormPosition::poOwnerFormCenter && FOwner)
        area = FOwner->window()->frameGeometry();
    else if (Position == TFormPosition::poScreenCenter || Position == TFormPosition::poOwnerFormCenter)
        area = (screen() ? screen() : QGuiApplication::primaryScreen())->availableGeometry();
    if (area.isValid()) {
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }
    // Centred on an owner that lies partly off the screen, or placed from stored bounds.
    FitWindowToScreen(this);
}
