// The progress dialog: a text and a bar while a long operation runs, fed by the caller or by a
// callback the dialog runs once after it is shown modally.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include <QTimer>

#include <exception>
#include <functional>

#include "ui_fProgress.h"

class TfmProgress : public TTarvellModalForm, private Ui::TfmProgress {
    Q_OBJECT
public:
    explicit TfmProgress(QWidget* owner = nullptr);

    // Work run once, 500 ms after the dialog is shown; may be empty.
    std::function<void(TfmProgress&)> OnExecute;
    // Close after OnExecute and whenever the position reaches 100.
    bool AutoClose = false;
    // Set by Cancel; cleared when the dialog is shown.
    bool Cancelled = false;

    void SetText(const QString& text);
    void SetMaximum(int maximum);
    int Position() const;
    // Repaints at once (no event loop needs to run) when n differs from the bar's position.
    void SetPosition(int n);
    // The routine handed to a POI list as its progress callback.
    void SetPositionInt(int n) { SetPosition(n); }
    void SetPositionFloat(double x) { SetPosition(int(x)); }
    // Download progress: cancel := Cancelled; with a known maximum the bar follows; then pending
    // events are processed so that Cancel takes effect.
    void DownloadProgress(qint64 progress, qint64 maximum, bool& cancel);
    // Shows the dialog modally; a failure of OnExecute reaches the caller here.
    int ShowModal();
    // Centres the dialog on form.
    void CentreOn(QWidget* form);

protected:
    void showEvent(QShowEvent* event) override;
    // Escape and the window manager's close are Cancel at every moment.
    void reject() override;

private:
    void Retranslate() override;
    void Timer1Timer();
    void CloseDialog();

    QTimer Timer1;
    std::exception_ptr FError;
    bool FRunning = false;
};
