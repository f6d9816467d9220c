// Base classes of every window and every dialog: the program's icon, and for dialogs the owner
// they stay above and an optional first position.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QPoint>
#include <QRect>

#include <optional>

// Makes the application's pictures available (called before the first picture is loaded).
void InitAppResources();
// The program's icon ("1STICON"), drawn for the project.
QIcon ProgramIcon();
// The look every window shares; called by both base classes.
void ApplyTarvellFormLook(QWidget* form);

// A window's frame fitted into the available area of a screen, as a window manager would: no
// larger than the area, moved only as far as needed to lie wholly inside it.
QRect FitFrameToArea(const QRect& frame, const QRect& area);
// The available area of the screen a frame belongs to: the screen holding its centre, else the
// one it overlaps most, else the nearest, else the primary screen. Invalid without any screen.
QRect AvailableAreaFor(const QRect& frame);
// Fits a top-level window's stored or centred bounds to the available screen area, so no setting
// from another screen leaves it out of reach; a maximised, full-screen or embedded window stays.
void FitWindowToScreen(QWidget* window);

// Base of every window (main window, child windows, map windows). A top-level one is fitted to the
// screen when first shown.
class TTarvellForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TTarvellForm(QWidget* owner = nullptr, Qt::WindowFlags flags = {});

protected:
    // Sets every text of the form; called by the form's constructor and on every language change.
    virtual void Retranslate() { }
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool FFitted = false;
};

// Where a dialog goes when it is shown.
enum class TFormPosition {
    poDesigned, // where it was put
    poDefault, // the window manager's choice
    poDefaultPosOnly,
    poScreenCenter,
    poOwnerFormCenter, // centred on its owner
};

// Base of every dialog; wherever it is placed, it is fitted to the screen when first shown.
class TTarvellModalForm : public QDialog {
    Q_OBJECT
public:
    explicit TTarvellModalForm(QWidget* owner = nullptr);
    // Also fixes the first position (applied only with poDefault or poDefaultPosOnly).
    static void CreateAt(TTarvellModalForm& form, int left, int top);
    // A dialog that must not stay above its owner: it gets no parent window, and goes when its
    // owner goes.
    struct NoPopupParent { };
    TTarvellModalForm(QWidget* owner, NoPopupParent);

    TFormPosition Position = TFormPosition::poOwnerFormCenter;
    QWidget* Owner() const { return FOwner; }

protected:
    void showEvent(QShowEvent* event) override;
    // Escape clicks the dialog's Cancel glow button when it has one; else it rejects the dialog.
    void keyPressEvent(QKeyEvent* event) override;
    // As TTarvellForm::Retranslate.
    virtual void Retranslate() { }
    void changeEvent(QEvent* event) override;

private:
    QWidget* FOwner = nullptr;
    std::optional<QPoint> FFirstPosition;
    bool FPlaced = false;
};
