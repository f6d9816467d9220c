// The program version check window: asks the product's web site for the current version, then
// says the program is up to date or offers the download page.
#pragma once

#include "app/windowbase/uTarvellForm.h"
#include "core/uGeneral.h"

#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

class TfmRetrieveVersionInfo : public TTarvellModalForm {
    Q_OBJECT
public:
    explicit TfmRetrieveVersionInfo(QWidget* owner = nullptr);

    // What is compared and asked: the running program's version record and the web site.
    TFileVersionNumbers OwnVersion;
    QString WebSite;

    // The check; the first tick of Timer1 after showing runs it.
    void Timer1Timer();
    // Compares the version file's "Current" with OwnVersion: asks to open the download page when
    // online is newer (Yes opens it and closes the window), else says the program is up to date.
    void ParseVersionXml(const QString& text);
    // The label turns into the red error line and the message is shown in a warning box.
    void ShowCheckError(const QString& message);
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void Retranslate() override;

private:
    friend class TfmRetrieveVersionInfoTestAccess;
    QLabel* Label1 = nullptr;
    // The busy bar while the file is fetched.
    QProgressBar* Animate1 = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer Timer1;

    enum class TState { Retrieving, UpToDate, Failed, Newer };
    void SetState(TState state);
    TState FState = TState::Retrieving;
    // The version the web site offers, once known.
    TFileVersionNumbers FOnline;
};
