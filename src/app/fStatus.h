// The update status window: one row per site catalogue and per item, driven item by item through
// the update engine, with the outcome of each row, the continue question, the summary and the
// program started after an update; and the routines that start a run.
#pragma once

#include "app/uTarvellForm.h"
#include "sites/uAutoUpdate.h"

#include <QTimer>

#include <memory>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class TUpdateItem;
class TUpdateItems;

class TfmStatus : public TTarvellModalForm {
    Q_OBJECT
public:
    explicit TfmStatus(QWidget* owner = nullptr, bool compact = false);
    ~TfmStatus() override;

    // Keeps the list (not owned) and adds a site row ahead of the first item of each site.
    void SetItems(TUpdateItems& items);
    void SetSilent(bool silent);
    bool Silent() const { return FSilent; }

    int RowCount() const { return int(FRowSites.size()); }
    // The row's controls by name ("Image", "Label", "TargetLabel", "StatusLabel", "ProgressBar").
    template <typename T> T* RowControl(int row, const char* name) const
    {
        return findChild<T*>(QString::fromLatin1(name) + QString::number(row));
    }
    // The icon index a row shows: 3 waiting, 4 working, 5 done, 6 failed.
    int RowIcon(int row) const { return FRowIcons[row]; }
    QLabel* laTotalProgress() const { return FTotal; }
    QProgressBar* pbMain() const { return FMain; }
    QPushButton* buClose() const { return FClose; }
    QCheckBox* cbAutoclose() const { return FAutoClose; }
    QTimer& Timer1() { return FTimer1; }
    bool Running() const { return FRunning; }

    // The run; the first tick of Timer1 calls it.
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    void Retranslate() override;

private:
    class TCurrentCatalogues;
    void AddRow(const QString& site, TUpdateItem* item);
    void SetIcon(int row, int index);
    void SetStatus(int row, const QString& text);
    void SetRowColour(int row, const QColor& colour);
    void RowFailed(int row, const QString& message);
    QString Summary() const;
    void RunAfterUpdateApplication();
    void CloseClick();
    void DownloadProgress(uint64_t progress, uint64_t progressMax, bool& cancel, bool itemBand);

    TAutoUpdate FEngine;
    std::unique_ptr<TCurrentCatalogues> FCatalogues;
    TUpdateItems* FItems = nullptr;
    QStringList FRowSites;
    std::vector<TUpdateItem*> FRowItems;
    std::vector<QFrame*> FRowPanels;
    std::vector<int> FRowIcons;
    bool FSilent = false;
    bool FCancelRequested = false;
    bool FRunning = false;
    bool FFinished = false;
    int FCurrentRow = 0;
    int FUpdated = 0;
    int FUpToDate = 0;
    int FFailed = 0;
    int FSkipped = 0;

    QScrollArea* FScrollBox = nullptr;
    QVBoxLayout* FRowsLayout = nullptr;
    QLabel* FTotal = nullptr;
    QProgressBar* FMain = nullptr;
    QPushButton* FClose = nullptr;
    QCheckBox* FAutoClose = nullptr;
    QTimer FTimer1;
};

// The message of a site catalogue that could not be fetched, with the connection hint and the
// pointer to the sites status page.
QString SiteDownloadError(const QString& site, const QString& message);

// Opens the status window over the items and runs them; the window's size is kept in the
// settings ("StatusTrayWidth/Height" when compact, else "StatusWidth/Height").
void RunAutoUpdate(QWidget* owner, bool compact, TUpdateItems& items, bool silent);
// The items of one profile, sorted by site, in the normal window.
void RunAutoUpdateProfile(QWidget* owner, const QString& profileName);
void RunAutoUpdateProfile(QWidget* owner, int profileIndex);
// The items of all profiles in profile order, sorted by site.
void RunAutoUpdateAll(QWidget* owner, bool compact, bool silent);
// The items of the named profiles (each once, however often named), sorted by site.
void RunAutoUpdateProfiles(QWidget* owner, const QStringList& profileNames, bool compact, bool silent);
