// The four-way overwrite question: Yes, No, Yes to All (optionally always), Cancel.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include "ui_fConfirmDialog.h"

// Answers of ConfirmDialog.
inline constexpr int ConfirmYes = 0;
inline constexpr int ConfirmNo = 1;
inline constexpr int ConfirmCancel = 2;
inline constexpr int ConfirmYesToAll = 3;
inline constexpr int ConfirmAlwaysYesToAll = 4;

class TfmConfirmDialog : public TTarvellModalForm, private Ui::TfmConfirmDialog {
    Q_OBJECT
public:
    explicit TfmConfirmDialog(QWidget* owner = nullptr);

    void SetMessage(const QString& text);
    // Cancel until a button is pressed: a close through the window's close button or Escape must
    // not answer Yes to an overwrite.
    int Answer() const { return FAnswer; }

protected:
private:
    void Retranslate() override;
    void Choose(int answer);

    int FAnswer = ConfirmCancel;
};

// Asks the question modally and returns the answer (ConfirmYes ... ConfirmAlwaysYesToAll). Goes
// through the installed prompt, so tests can script it.
int ConfirmDialog(const QString& message);
// The dialog itself, what the program's prompt runs.
int RunConfirmDialog(const QString& message);
