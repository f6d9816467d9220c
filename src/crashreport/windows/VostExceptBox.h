// The exception box: the dialog that tells the user about an exception or a frozen program and
// offers the actions on the bug report. It runs in the helper process (see VostBoxHelper.h).
#pragma once

#include "crashreport/logic/VostBoxHelper.h"

#include <QDialog>
#include <QPushButton>
#include <QRect>

#include <functional>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QTimer;

// Where the box's rectangles go, from the measured texts: computed apart from the widgets so
// that the rules can be checked alone.
struct TBoxLayoutInput {
    int ButtonTextWidths[7] = {}; // 0 = no button
    bool BigIcon = true;
    bool ShowReportAtOnce = false;
    // The height of the text wrapped to a width.
    std::function<int(int width)> TextHeight;
};
struct TBoxLayout {
    int ClientWidth = 0;
    int ClientHeight = 0; // without the report panel
    int TextX = 0, TextY = 0, TextWidth = 0, TextHeight = 0;
    QRect Buttons[7];
    bool Stacked = false;
};
constexpr int BoxMinWidth = 538;
constexpr int ReportPanelHeight = 403;
// The least height the panel keeps on a screen too small for all of it.
constexpr int MinReportPanelHeight = 120;
TBoxLayout ComputeBoxLayout(const TBoxLayoutInput& input);

// A flat button with its picture and, for the countdown, a progress bar (owner-drawn mode).
class TBoxButton : public QPushButton {
    Q_OBJECT
public:
    TBoxButton(int action, QWidget* parent);
    int Action() const { return FAction; }
    bool OwnerDrawn = true;
    // Width of the countdown's bar in pixels; 0 none.
    int Progress = 0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int FAction;
};

// What the box asks of the crashed process: run an action there and say how it went.
class TBoxActionTarget {
public:
    virtual ~TBoxActionTarget() = default;
    enum TResult { Done, Failed, Handled, NotAvailable };
    // path: for save, the file chosen (or the absolute setting).
    virtual TResult Run(TCrashAction action, const std::string& path) = 0;
    // What the last mail had to tell the user.
    virtual std::vector<TMailNote> TakeNotes() { return {}; }
};

class TExceptionBox : public QDialog {
    Q_OBJECT
public:
    TExceptionBox(const TBoxData& data, TBoxActionTarget& target, QWidget* parent = nullptr);

    // The final action: continue, restart or close; continue also when closed from outside.
    TCrashAction FinalAction() const { return FFinal; }
    TBoxButton* Button(int action) const { return FButtons[action]; }
    QPlainTextEdit* ReportEdit() const { return FReport; }
    QLabel* TextLabel() const { return FText; }
    bool ReportShown() const;
    // The clock of the countdown (ms); tests give a fake one and drive Tick.
    std::function<qint64()> Clock;
    void Tick();
    QTimer* CountdownTimer() const { return FTimer; }
    // Replaces the save dialog (tests): the chosen path, or empty for a cancel.
    std::function<QString(const QString& folder, const QString& name, const QString& title)> AskSavePath;
    // Replaces printing (tests): true when printed.
    std::function<bool(const QString& text)> PrintText;
    // Replaces the screen's available area (tests); the report panel grows within it.
    std::function<QRect()> AvailableArea;
    // Tests: shows the message of a save that failed instead of the warning box.
    std::function<void(const QString& text)> ShowSaveFailure;
    // The main thread answered again: the freeze is over.
    void FreezeOver();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Press(int action);
    void CloseRequest();
    void ShowReport();
    void StopCountdown();
    void Finish(TCrashAction action);

    TBoxData FData;
    TBoxActionTarget& FTarget;
    TBoxButton* FButtons[7] = {};
    QLabel* FIcon = nullptr;
    QLabel* FText = nullptr;
    QFrame* FPanel = nullptr;
    QPlainTextEdit* FReport = nullptr;
    QTimer* FTimer = nullptr;
    TBoxLayout FLayout;
    qint64 FCountdownStart = 0;
    bool FCountdownStarted = false;
    int FCountdownWidth = -1;
    TCrashAction FFinal = caContinue;
    bool FFinished = false;
};

class TProgressPopup;

// The helper's wait for the box while the crashed process composes the report: progress
// messages move the popup (malformed ones are ignored), the end of composing closes it. True
// with the box's data; false when the crashed process has gone, sends a message above the caps,
// or stays silent for idleMs.
bool ServeProgressMessages(int fd, TProgressPopup& popup, TBoxData& data, int idleMs);

// The helper's main: reads the box's data from the descriptor of the hidden switch, shows the
// box and serves the crashed process; returns the exit code. A helper started by hand (no valid
// descriptor, no data) returns 0 at once without a word.
int RunExceptionBoxHelper(int argc, char** argv);
