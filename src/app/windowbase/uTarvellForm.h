// Base classes of every window and every dialog: the program's icon, and for dialogs the owner
// they stay above and an optional first position.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QPoint>

#include <optional>

// Makes the application's pictures available (called before the first picture is loaded).
void InitAppResources();
// The program's icon ("1STICON"), drawn for the project.
QIcon ProgramIcon();
// The look every window shares; called by both base classes.
void ApplyTarvellFormLook(QWidget* form);

// Base of every window (main window, child windows, map windows).
class TTarvellForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TTarvellForm(QWidget* owner = nullptr, Qt::WindowFlags flags = {});

protected:
    // Sets every text of the form; called by the form's constructor and on every language change.
    virtual void Retranslate() { }
    void changeEvent(QEvent* event) override;
};

// Where a dialog goes when it is shown.
enum class TFormPosition {
    poDesigned, // where it was put
    poDefault, // the window manager's choice
    poDefaultPosOnly,
    poScreenCenter,
    poOwnerFormCenter, // centred on its owner
};

// Base of every dialog.
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
