// The progress dialog.
#include "app/windowbase/fProgress.h"

#include <QApplication>
#include <QEvent>

TfmProgress::TfmProgress(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(292, 101);
    ProgressBar1->setRange(0, 100);
    Timer1.setInterval(500);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &TfmProgress::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, [this] { Cancelled = true; });
    Retranslate();
}

void TfmProgress::Retranslate()
{
    retranslateUi(this);
}

void TfmProgress::SetText(const QString& text)
{
    Label1->setText(text);
}

void TfmProgress::SetMaximum(int maximum)
{
    ProgressBar1->setMaximum(maximum);
}

int TfmProgress::Position() const
{
    return ProgressBar1->value();
}

void TfmProgress::SetPosition(int n)
{
    if (n != ProgressBar1->value()) {
        ProgressBar1->setValue(n);
        // The caller usually runs its work without an event loop: paint now.
        if (isVisible())
            repaint();
    }
    if (AutoClose && n == 100)
        CloseDialog();
}

void TfmProgress::DownloadProgress(qint64 progress, qint64 maximum, bool& cancel)
{
    cancel = Cancelled;
    if (maximum != 0)
        SetPosition(int(progress / (double(maximum) / 100)));
    QApplication::processEvents();
}

void TfmProgress::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    Cancelled = false;
    Timer1.start();
}

void TfmProgress::reject()
{
    Cancelled = true;
    // Work under way sees the cancel at its next poll and ends the dialog itself; work still due
    // starts at once and ends the same way, so its caller learns it was cancelled.
    if (FRunning)
        return;
    if (Timer1.isActive() && OnExecute) {
        Timer1.start(0);
        return;
    }
    TTarvellModalForm::reject();
}

void TfmProgress::Timer1Timer()
{
    Timer1.stop();
    if (OnExecute) {
        FRunning = true;
        try {
            OnExecute(*this);
        } catch (...) {
            FError = std::current_exception();
        }
        FRunning = false;
    }
    if (AutoClose || FError)
        CloseDialog();
}

void TfmProgress::CloseDialog()
{
    if (isModal())
        done(QDialog::Accepted);
    else
        hide();
}

int TfmProgress::ShowModal()
{
    FError = nullptr;
    const int result = exec();
    if (FError)
        std::rethrow_exception(std::exchange(FError, nullptr));
    return result;
}

void TfmProgress::CentreOn(QWidget* form)
{
    if (!form)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(form->window()->frameGeometry().center());
    move(frame.topLeft());
}
