// The update status window: shows the rows of an update run with their icons, texts and bars,
// the overall progress and the summary, and answers the run's questions; and the routines that
// start a run.
#pragma once

#include "app/windowbase/uTarvellForm.h"
#include "sites/uUpdateRun.h"

#include <QTimer>

#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class TPngImageComp;
class TUpdateItems;

class TfmStatus : public TTarvellModalForm, private TUpdateRunProgress, private TUpdateRunHost {
    Q_OBJECT
public:
    explicit TfmStatus(QWidget* owner = nullptr, bool compact = false);
    ~TfmStatus() override;

    // Keeps the list (not owned) and adds a site row ahead of the first item of each site.
    void SetItems(TUpdateItems& items);
    void SetSilent(bool silent);
    bool Silent() const { return FRun.Silent(); }
    const TUpdateRun& Run() const { return FRun; }

    // The run; the first tick of Timer1 calls it.
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    void Retranslate() override;

private:
    friend class TfmStatusTestAccess;

    struct TRowControls {
        QFrame* Panel = nullptr;
        TPngImageComp* Image = nullptr;
        QLabel* Label = nullptr;
        QLabel* TargetLabel = nullptr;
        QLabel* StatusLabel = nullptr;
        QProgressBar* ProgressBar = nullptr;
        // What the row shows now.
        int Icon = -1;
        QString Hint;
    };
    void AddRowControls(int row);
    void CloseClick();

    // TUpdateRunProgress
    void RowChanged(int row) override;
    void RowStarted(int row) override;
    void TotalChanged() override;
    void ProcessEvents() override;
    // TUpdateRunHost
    TOverwriteAnswer Ask(const QString& message) override;
    bool AskContinue(const QString& message, bool& continueOnErrors) override;
    void ShowWarning(const QString& message) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;
    bool OpenDocument(const QString& fileName) override;

    TUpdateRun FRun;
    std::vector<TRowControls> FRows;

    QScrollArea* FScrollBox = nullptr;
    QVBoxLayout* FRowsLayout = nullptr;
    QLabel* FTotal = nullptr;
    QProgressBar* FMain = nullptr;
    QPushButton* FClose = nullptr;
    QCheckBox* FAutoClose = nullptr;
    QTimer FTimer1;
};

// The icon index of the data module's status pictures for a row state: 3 waiting (also a row
// the run never reached), 4 working, 5 done, 6 failed.
int StatusImageIndex(TRowState state);

// Opens the status window over the items and runs them; the window's size is kept in the
// settings ("StatusTrayWidth/Height" when compact, else "StatusWidth/Height"). While a run is
// under way another is refused: runs never nest.
void RunAutoUpdate(QWidget* owner, bool compact, TUpdateItems& items, bool silent);
// The items of one profile, sorted by site, in the normal window.
void RunAutoUpdateProfile(QWidget* owner, const QString& profileName);
void RunAutoUpdateProfile(QWidget* owner, int profileIndex);
// The items of all profiles in profile order, sorted by site.
void RunAutoUpdateAll(QWidget* owner, bool compact, bool silent);
// The items of the named profiles (each once, however often named), sorted by site.
void RunAutoUpdateProfiles(QWidget* owner, const QStringList& profileNames, bool compact, bool silent);
