// The about box: the program's version with the translator's credit, its description and licence,
// and the donation menu.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include <QUrl>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

// The donation page of the payment service for a currency ("EUR", "USD").
QUrl DonationUrl(const QString& currency);

class TfmAbout : public TTarvellModalForm {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* owner = nullptr);

    // "v1.2.3 build 4 - English translation by Orvik" (both words in the interface language).
    static QString VersionText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TfmAboutTestAccess;
    void Retranslate() override;

    QLabel* laVersionFront = nullptr;
    QLabel* laVersionBack = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* imgDonate = nullptr;
    QMenu* pmDonate = nullptr;
    QAction* acDonateEuros = nullptr;
    QAction* acDonateDollars = nullptr;
    QPushButton* buClose = nullptr;
};
