// The dialog a failed open offers: the file, the reader's error and the other readers of its
// extension, one of which may become the extension's default.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TfmChooseFormat : public TTarvellModalForm {
    Q_OBJECT
public:
    explicit TfmChooseFormat(QWidget* owner = nullptr);

    // Set before showing: the file (with path) and the format that was tried (may be empty).
    QString FileName;
    QString TriedFormat;
    // The extension of FileName (with its dot) whose readers the dialog offers.
    QString Extension;
    void SetErrorText(const QString& text);
    // The format ID of the chosen reader; empty when none is listed.
    QString GetFormat() const;
    bool GetUseAsDefault() const;

    // Fills the file name and the readers; called when the dialog is shown.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend class TfmChooseFormatTestAccess;
    void Retranslate() override;

    QLineEdit* edFile = nullptr;
    QPlainTextEdit* edError = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QCheckBox* cbUseAsDefault = nullptr;
    QPushButton* buOK = nullptr;
    QPushButton* buCancel = nullptr;
    QLabel* FLabels[4] = {};
    QString FErrorText;
    std::vector<int> FRows;
};
