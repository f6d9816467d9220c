// An update run: one row per site catalogue, fetched ahead of that site's items, and one row per
// item brought up to date through the engine; the outcome of each row, the continue question, the
// counters and summary, cancelling, and the program started after an update. A window shows the
// rows and answers the questions.
#pragma once

#include "sites/uAutoUpdate.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <utility>
#include <vector>

class TUpdateItem;
class TUpdateItems;
class TXmlDocument;

// The message of a site catalogue that could not be fetched, with the connection hint and the
// pointer to the sites status page; the address is shown without credentials.
QString SiteDownloadError(const QString& site, const QString& message);

// The catalogues of one run, one per site (matched case-insensitively): what the site's row
// fetched. Each item is checked against its own site's copy, also when the rows of two sites
// interleave.
class TRunCatalogues : public TSiteCatalogues {
    Q_DECLARE_TR_FUNCTIONS(TUpdateRun)
public:
    // Drops the site's copy and fetches it anew through the download cache into its local copy
    // (which a failed or garbled fetch leaves as it was). A failure leaves the site without a copy.
    const TXmlDocument& Fetch(const QString& site, const TDownloadProgressEvent& progress = {});
    // The site's copy; EUserError "Unable to download associated site xml" when it has none.
    const TXmlDocument& Catalogue(const QString& site) override;
    // Made once per copy, for all the site's items.
    const TCatalogueIndex& Index(const QString& site) override;
    void Clear()
    {
        FIndexes.clear();
        FDocuments.clear();
    }

private:
    std::vector<std::pair<QString, std::unique_ptr<TXmlDocument>>>::iterator Find(const QString& site);
    std::vector<std::pair<QString, std::unique_ptr<TXmlDocument>>> FDocuments;
    std::map<const TXmlDocument*, std::unique_ptr<TCatalogueIndex>> FIndexes;
};

// --- the program started after an update -------------------------------------------------------
// What to do with the "AutoUpdateApplication" setting after a run that updated something.
struct TAfterUpdateProgram {
    enum class TKind {
        None, // switched off
        Start, // an executable: started with the parameters
        Open, // any other file: opened as the desktop opens it
        Refuse, // missing, or parameters for a file that cannot take them: the warning
    };
    TKind Kind = TKind::None;
    // The program (Start: as found, also through PATH) or the file (Open).
    QString FileName;
    QStringList Arguments;
};
// Parameters are split as a shell would ("a \"b c\"" is two).
TAfterUpdateProgram ChooseAfterUpdateProgram(bool enabled, const QString& application, const QString& parameters);

// --- what a run is given --------------------------------------------------------------------
// What the run reports as it goes. A run is synchronous on the GUI thread: every call comes from
// it, in the order of the run.
class TUpdateRunProgress {
public:
    virtual ~TUpdateRunProgress() = default;
    // The row's state, texts or bar changed.
    virtual void RowChanged(int row) = 0;
    // The row became the current one.
    virtual void RowStarted(int row) = 0;
    // The overall text or bar changed.
    virtual void TotalChanged() = 0;
    // Handles pending events, so that a Cancel reaches the run while it downloads.
    virtual void ProcessEvents() = 0;
};

// The questions of a run and the program it may start.
class TUpdateRunHost : public TOverwriteQuestion {
public:
    // The check-box question after a failure; false stops the run. continueOnErrors is the box.
    virtual bool AskContinue(const QString& message, bool& continueOnErrors) = 0;
    virtual void ShowWarning(const QString& message) = 0;
    // False when the program could not be started (the file opened).
    virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;
    virtual bool OpenDocument(const QString& fileName) = 0;
};

// --- rows -------------------------------------------------------------------------------------
enum class TRowState {
    Waiting,
    Working,
    Done,
    Failed,
    Cancelled, // not processed because the run was cancelled
};
// The row's background: the window's, the current row's, or a processed row's.
enum class TRowShade { Normal, Current, Processed };

struct TUpdateRow {
    QString Site;
    // The item of an item row (not owned); none for the site's catalogue row.
    TUpdateItem* Item = nullptr;
    // The item's description, or the site address without credentials.
    QString Caption;
    // "Target: ..." without the location prefix; empty for a site row.
    QString TargetText;
    // "Status: ..."
    QString StatusText;
    // A failed row's status text, as plain text; empty otherwise.
    QString Hint;
    TRowState State = TRowState::Waiting;
    TRowShade Shade = TRowShade::Normal;
    int Percent = 0;
};

// --- the run ----------------------------------------------------------------------------------
class TUpdateRun {
    Q_DECLARE_TR_FUNCTIONS(TUpdateRun)
public:
    explicit TUpdateRun(const TClock& clock = SystemClock());
    ~TUpdateRun();
    TUpdateRun(const TUpdateRun&) = delete;
    TUpdateRun& operator=(const TUpdateRun&) = delete;

    // Neither is owned; both may be none (then nothing is reported, nothing asked, the overwrite
    // question counts as Yes and no program is started).
    TUpdateRunProgress* Progress = nullptr;
    TUpdateRunHost* Host = nullptr;

    // Adds rows for the items (not owned, they must outlive the run): a site row ahead of the
    // first item of each site, then the item's row.
    void SetItems(TUpdateItems& items);
    // Silent runs never ask, neither to overwrite nor to continue.
    void SetSilent(bool silent);
    bool Silent() const { return FSilent; }

    int RowCount() const { return int(FRows.size()); }
    const TUpdateRow& Row(int row) const { return FRows[size_t(row)]; }

    // Runs every row once; false, doing nothing, when this run ran already or another run is
    // under way (runs never nest).
    bool Execute();
    // Asks the run to stop: the download under way is cancelled and no further row starts.
    void Cancel();

    bool Running() const { return FRunning; }
    bool Finished() const { return FFinished; }
    // The run ended before its last row: Cancel, No to the continue question, or Cancel to the
    // overwrite question.
    bool Cancelled() const { return FCancelled; }
    int Updated() const { return FUpdated; }
    int UpToDate() const { return FUpToDate; }
    int Failed() const { return FFailed; }
    int Skipped() const { return FSkipped; }
    // "Progress: ..."
    const QString& TotalText() const { return FTotalText; }
    int TotalPercent() const { return FTotalPercent; }
    // "%1 updated", then the counts that are not zero.
    QString Summary() const;
    // After the run: the "StatusAutoClose" setting is on and the run neither failed nor was cancelled.
    bool ClosesWhenDone() const;

    // True while any run is under way.
    static bool AnyRunning();

private:
    void AddRow(const QString& site, TUpdateItem* item);
    void SetState(int row, TRowState state);
    void SetStatus(int row, const QString& text);
    void SetPercent(int row, int percent);
    void SetShade(int row, TRowShade shade);
    void RowFailed(int row, const QString& message);
    void SetTotal(const QString& text);
    void RowChanged(int row);
    // Sets the row's field and reports the row when the value changed.
    template <typename T> void Change(int row, T TUpdateRow::*field, T value);
    bool CancelRequested() const;
    void DownloadProgress(uint64_t progress, uint64_t progressMax, bool& cancel, bool itemBand);
    // The loop over the rows; returns the row the run stopped at.
    int RunRows();
    void RunAfterUpdateProgram();

    TAutoUpdate FEngine;
    TRunCatalogues FCatalogues;
    std::vector<TUpdateRow> FRows;
    bool FSilent = false;
    bool FCancelRequested = false;
    bool FRunning = false;
    bool FFinished = false;
    bool FCancelled = false;
    int FCurrentRow = 0;
    int FUpdated = 0;
    int FUpToDate = 0;
    int FFailed = 0;
    int FSkipped = 0;
    QString FTotalText;
    int FTotalPercent = 0;
};
