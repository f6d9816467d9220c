// The batch conversion dialog: the source format, folder and files, the destination format(s),
// folder or file, and the run with its progress bar.
#pragma once

#include "app/logic/uBatchConvert.h"
#include "app/windowbase/uTarvellForm.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;

class TfmBatchConvert : public TTarvellModalForm, private TBatchQuestions {
    Q_OBJECT
public:
    explicit TfmBatchConvert(QWidget* owner = nullptr);
    ~TfmBatchConvert() override;

    // Opens an appended file in a new window with its format ID; the main window sets it.
    std::function<void(const QString& path, const QString& formatID)> OpenInNewWindow;

    // The handlers of the Part's events, callable as a user would trigger them.
    void coSourceChange();
    void coDestChange();
    void edSourceChange();
    void edDestChange();
    void edDestFileAfterDialog(const QString& name, int filterIndex);
    void buConvertClick();
    // What the controls say, as the run takes it.
    TBatchJob Job() const;
    bool Running() const { return FRunning; }

public slots:
    // A close or Escape during a run stops it after the current file.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TfmBatchConvertTestAccess;

    QComboBox* coSource = nullptr;
    QLineEdit* edSource = nullptr;
    QToolButton* buSourceBrowse = nullptr;
    QGroupBox* rbSource = nullptr;
    QRadioButton* rbSourceAll = nullptr;
    QRadioButton* rbSourceSelected = nullptr;
    QListWidget* lvSource = nullptr;
    QComboBox* coDest = nullptr;
    QListWidget* lbDestFormats = nullptr;
    QGroupBox* rbDest = nullptr;
    QRadioButton* rbDestMultiple = nullptr;
    QRadioButton* rbDestAppend = nullptr;
    QStackedWidget* Notebook1 = nullptr;
    QLineEdit* edDest = nullptr;
    QToolButton* buDestBrowse = nullptr;
    QListWidget* lvDest = nullptr;
    QLineEdit* edDestFile = nullptr;
    QToolButton* buDestFileBrowse = nullptr;
    QCheckBox* cbAddFilenames = nullptr;
    QCheckBox* cbOpen = nullptr;
    QPushButton* buConvert = nullptr;
    QPushButton* buClose = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    void CreateSourceControls();
    void CreateDestControls();
    // The destination folder page and the append file page.
    void CreateDestPages();
    void LayOut();
    void ConnectSignals();
    // The dialog as the stored batch settings left it.
    void LoadSettings();
    void Retranslate() override;
    void FormClose();
    bool MultipleMode() const;
    void ListSource();
    void ListDest();
    void SetRunning(bool running);
    void edDestFileBrowse();
    void Browse(QLineEdit* edit, bool source);

    // TBatchQuestions
    bool OverwriteAppendTarget(const QString& question) override;
    TOverwrite OverwriteTarget(const QString& question) override;
    bool ContinueAfterError(const QString& question) override;
    void Progress(int done, int total) override;
    bool KeepGoing() override;

    QLabel* FLabels[5] = {};
    QLabel* FDestFileLabel = nullptr;
    bool FRunning = false;
    bool FStopRequested = false;
    int FPendingResult = -1;
};

// Tools, Batch Convert: the dialog over owner; an appended file opens through openFile.
void ShowBatchConvert(QWidget* owner, const std::function<void(const QString&, const QString&)>& openFile);
