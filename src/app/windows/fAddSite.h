// The dialog that takes the location of a new site catalogue: a web address or a local file.
#pragma once

#include "app/windowbase/uTarvellForm.h"

class QLineEdit;
class QPushButton;

class TfmAddSite : public TTarvellModalForm {
    Q_OBJECT
public:
    explicit TfmAddSite(QWidget* owner = nullptr);

    QString Location() const;
    void SetLocation(const QString& location);
    QLineEdit* Edit1() const { return FEdit; }
    QPushButton* Button1() const { return FOk; }

    // Raises EUserError for a location that cannot be a site catalogue.
    static void CheckLocation(const QString& location);
    // Browse for a local file.
    void BitBtn1Click();
    // Validates (a failure is shown and the dialog stays open) and accepts.
    void Button1Click();

protected:
    void Retranslate() override;

private:
    QLineEdit* FEdit = nullptr;
    QPushButton* FBrowse = nullptr;
    QPushButton* FOk = nullptr;
    QPushButton* FCancel = nullptr;
    class QLabel* FCaption = nullptr;
    class QLabel* FExplanation = nullptr;
};
