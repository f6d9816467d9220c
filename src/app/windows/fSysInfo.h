// The system information window: the text an error report carries, composed on request without
// an error, to read, save or print.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include <functional>
#include <string>

class QAction;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
class QWidget;

// What the window asks of the crash reporter.
class TReportSource {
public:
    virtual ~TReportSource() = default;
    // The option that adds the list of all running threads to a report.
    virtual bool ThreadListOption() const = 0;
    virtual void SetThreadListOption(bool on) = 0;
    // The report of the running program for the current thread, without an exception.
    virtual QString ComposeBugReport() = 0;
    virtual void PrintReportText(const QString& text, QWidget* owner) = 0;
};

struct TComposeRequest;
// The report of the running program for the calling thread through compose, with the tracing
// progress window on this (the GUI) thread.
QString ComposeProgramReport(const std::function<void(const TComposeRequest&, std::string&)>& compose);

// The program's source: the crash reporter's composer (thread list as the reporter's settings
// have it) and its printing routine.
TReportSource& ProgramReportSource();

// Switches the thread-list option off for its scope and restores it on every exit.
class TThreadListOff {
public:
    explicit TThreadListOff(TReportSource& source)
        : FSource(source)
        , FWas(source.ThreadListOption())
    {
        FSource.SetThreadListOption(false);
    }
    ~TThreadListOff() { FSource.SetThreadListOption(FWas); }
    TThreadListOff(const TThreadListOff&) = delete;
    TThreadListOff& operator=(const TThreadListOff&) = delete;

private:
    TReportSource& FSource;
    bool FWas;
};

class TfmSysInfo : public TTarvellModalForm {
    Q_OBJECT
public:
    // Composes the text once; a failure of composing propagates after the option is restored.
    explicit TfmSysInfo(TReportSource& source, QWidget* owner = nullptr);

    // The composed report followed by the settings dump.
    static QString ComposeText(TReportSource& source);
    void acSaveExecute();
    void acPrintExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TfmSysInfoTestAccess;
    void Retranslate() override;

    TReportSource& FSource;
    QPlainTextEdit* Memo1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QAction* acSave = nullptr;
    QAction* acPrint = nullptr;
    QWidget* paBottom = nullptr;
    QPushButton* buTerug = nullptr;
};
