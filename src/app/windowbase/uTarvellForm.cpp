// Base classes of every window and dialog.
#include "app/windowbase/uTarvellForm.h"

#include "ui/AdvGlowButton.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>

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
}
