// The update run.
#include "sites/uUpdateRun.h"

#include "core/uDownload.h"
#include "core/uLocations.h"
#include "core/uOptionSource.h"
#include "core/uSettings.h"
#include "core/uSettingsStore.h"
#include "core/uXmlDocument.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

#include <cmath>
#include <new>

namespace {

// Runs under way in this process. Runs share the device connection, the download cache and the
// stored profiles, so a second one waits for the first instead of nesting inside its events.
int RunsUnderWay = 0;

class TRunScope {
public:
    explicit TRunScope(bool& running)
        : FRunning(running)
    {
        FRunning = true;
        ++RunsUnderWay;
    }
    ~TRunScope()
    {
        FRunning = false;
        --RunsUnderWay;
    }
    TRunScope(const TRunScope&) = delete;
    TRunScope& operator=(const TRunScope&) = delete;

private:
    bool& FRunning;
};

QString ShownTarget(const QString& target)
{
    return IsMobilePath(target) ? StripMobilePrefix(target) : StripFilePrefix(target);
}

// The message of a row's failure. One that is no error of ours (memory ran out, a fault) fails
// its row like any other, in words the user can read.
QString FailureMessage(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const ETarvellError*>(&e))
        return error->Message();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return TUpdateRun::tr("There was not enough memory to process this item");
    return TUpdateRun::tr("An unexpected error occurred while processing this item: %1").arg(QString::fromUtf8(e.what()));
}

// The converters' options as the store held them when the run began. The store holds every
// profile's items; read for each option of each item, it was most of a run's time.
class TRunOptionSource final : public IOptionSource {
public:
    bool ReadBool(const QString& section, const QString& key, bool fallback) const override
    {
        return FStore->ReadBool(section, key, fallback);
    }
    int ReadInteger(const QString& section, const QString& key, int fallback) const override
    {
        return FStore->ReadInteger(section, key, fallback);
    }
    void WriteBool(const QString& section, const QString& key, bool value) const override
    {
        SettingsOptionSource().WriteBool(section, key, value);
        FStore = CreateSettingsStore();
    }
    void WriteInteger(const QString& section, const QString& key, int value) const override
    {
        SettingsOptionSource().WriteInteger(section, key, value);
        FStore = CreateSettingsStore();
    }
    int Precision() const override { return SettingsOptionSource().Precision(); }

private:
    mutable std::unique_ptr<TSettingsStore> FStore = CreateSettingsStore();
};

// Hands the run's source in while the settings store is the one in use (a source handed in by
// someone else stays).
class TRunOptionScope {
public:
    TRunOptionScope()
    {
        if (&ActiveOptionSource() == &SettingsOptionSource()) {
            FSource = std::make_unique<TRunOptionSource>();
            UseOptionSource(FSource.get());
        }
    }
    ~TRunOptionScope()
    {
        if (FSource)
            UseOptionSource(nullptr);
    }
    TRunOptionScope(const TRunOptionScope&) = delete;
    TRunOptionScope& operator=(const TRunOptionScope&) = delete;

private:
    std::unique_ptr<TRunOptionSource> FSource;
};

} // namespace

QString SiteDownloadError(const QString& site, const QString& message)
{
    return TUpdateRun::tr("Cannot download \"%1\" because the following error: \r\r%2.\r\rPlease check your internet "
                          "connection. The sites status page on the Tarvell web site of Orvik Software shows whether "
                          "a site is known to be down.")
        .arg(StripUrlCredentials(site), message);
}

// --- catalogues -------------------------------------------------------------------------------

std::vector<std::pair<QString, std::unique_ptr<TXmlDocument>>>::iterator TRunCatalogues::Find(const QString& site)
{
    return std::find_if(FDocuments.begin(), FDocuments.end(),
        [&site](const auto& entry) { return entry.first.compare(site, Qt::CaseInsensitive) == 0; });
}

const TXmlDocument& TRunCatalogues::Fetch(const QString& site, const TDownloadProgressEvent& progress)
{
    const auto it = Find(site);
    if (it != FDocuments.end()) {
        FIndexes.erase(it->second.get());
        FDocuments.erase(it);
    }
    std::unique_ptr<TXmlDocument> document = DownloadSiteCatalogue(site, false, progress);
    FDocuments.emplace_back(site, std::move(document));
    return *FDocuments.back().second;
}

const TXmlDocument& TRunCatalogues::Catalogue(const QString& site)
{
    const auto it = Find(site);
    if (it == FDocuments.end())
        throw EUserError(tr("Unable to download associated site xml"));
    return *it->second;
}

const TCatalogueIndex& TRunCatalogues::Index(const QString& site)
{
    const TXmlDocument& document = Catalogue(site);
    std::unique_ptr<TCatalogueIndex>& index = FIndexes[&document];
    if (!index)
        index = std::make_unique<TCatalogueIndex>(document);
    return *index;
}

// --- the program started after an update -------------------------------------------------------

TAfterUpdateProgram ChooseAfterUpdateProgram(bool enabled, const QString& application, const QString& parameters)
{
    TAfterUpdateProgram program;
    if (!enabled)
        return program;
    program.Kind = TAfterUpdateProgram::TKind::Refuse;
    if (application.isEmpty())
        return program;
    // A bare name is looked for where the shell looks for programs.
    if (!application.contains(QChar('/'))) {
        const QString found = QStandardPaths::findExecutable(application);
        if (!found.isEmpty()) {
            program.Kind = TAfterUpdateProgram::TKind::Start;
            program.FileName = found;
            program.Arguments = QProcess::splitCommand(parameters);
            return program;
        }
    }
    const QFileInfo info(application);
    if (info.isFile() && info.isExecutable()) {
        program.Kind = TAfterUpdateProgram::TKind::Start;
        program.FileName = info.absoluteFilePath();
        program.Arguments = QProcess::splitCommand(parameters);
    } else if (info.exists() && parameters.trimmed().isEmpty()) {
        // A document opens in the program the desktop has for it, which takes no parameters.
        program.Kind = TAfterUpdateProgram::TKind::Open;
        program.FileName = info.absoluteFilePath();
    }
    return program;
}

// --- the run ----------------------------------------------------------------------------------

TUpdateRun::TUpdateRun(const TClock& clock)
    : FEngine(clock)
    , FTotalText(tr("Progress: Waiting..."))
{
    // Saving the profiles rewrites the whole store; with many items that is the run's cost.
    FEngine.ProfileSaveInterval = std::chrono::seconds(1);
    FEngine.OnProgress = [this](double percentage, const QString& message) {
        SetPercent(FCurrentRow, int(std::lround(percentage)));
        SetStatus(FCurrentRow, message);
    };
}

TUpdateRun::~TUpdateRun() = default;

bool TUpdateRun::AnyRunning()
{
    return RunsUnderWay > 0;
}

void TUpdateRun::SetSilent(bool silent)
{
    FSilent = silent;
    FEngine.Silent = silent;
}

void TUpdateRun::SetItems(TUpdateItems& items)
{
    QSet<QString> sites;
    for (const TUpdateRow& row : FRows)
        sites.insert(row.Site.toCaseFolded());
    FRows.reserve(FRows.size() + size_t(items.Count()));
    for (int i = 0; i < items.Count(); ++i) {
        TUpdateItem& item = items.GetItem(i);
        const QString site = item.Site.toCaseFolded();
        if (!sites.contains(site)) {
            sites.insert(site);
            AddRow(item.Site, nullptr);
        }
        AddRow(item.Site, &item);
    }
}

void TUpdateRun::AddRow(const QString& site, TUpdateItem* item)
{
    TUpdateRow row;
    row.Site = site;
    row.Item = item;
    row.Caption = item ? item->Description : StripUrlCredentials(site);
    if (item)
        row.TargetText = tr("Target: %1").arg(ShownTarget(item->Target));
    row.StatusText = tr("Status: %1").arg(tr("Waiting to be processed..."));
    FRows.push_back(std::move(row));
}

void TUpdateRun::RowChanged(int row)
{
    if (Progress)
        Progress->RowChanged(row);
}

template <typename T> void TUpdateRun::Change(int row, T TUpdateRow::*field, T value)
{
    TUpdateRow& r = FRows[size_t(row)];
    if (r.*field == value)
        return;
    r.*field = std::move(value);
    RowChanged(row);
}

void TUpdateRun::SetState(int row, TRowState state)
{
    Change(row, &TUpdateRow::State, state);
}

void TUpdateRun::SetStatus(int row, const QString& text)
{
    Change(row, &TUpdateRow::StatusText, tr("Status: %1").arg(text));
}

void TUpdateRun::SetPercent(int row, int percent)
{
    Change(row, &TUpdateRow::Percent, std::clamp(percent, 0, 100));
}

void TUpdateRun::SetShade(int row, TRowShade shade)
{
    Change(row, &TUpdateRow::Shade, shade);
}

void TUpdateRun::RowFailed(int row, const QString& message)
{
    TUpdateRow& r = FRows[size_t(row)];
    r.State = TRowState::Failed;
    r.StatusText = tr("Status: Failed \"%1\"").arg(message);
    r.Hint = r.StatusText;
    RowChanged(row);
}

void TUpdateRun::SetTotal(const QString& text)
{
    FTotalText = text;
    if (Progress)
        Progress->TotalChanged();
}

QString TUpdateRun::Summary() const
{
    QString text = tr("%1 updated").arg(FUpdated);
    if (FUpToDate > 0)
        text += QStringLiteral(", ") + tr("%1 already up-to-date").arg(FUpToDate);
    if (FFailed > 0)
        text += QStringLiteral(", ") + tr("%1 failed").arg(FFailed);
    if (FSkipped > 0)
        text += QStringLiteral(", ") + tr("%1 skipped").arg(FSkipped);
    return text;
}

bool TUpdateRun::ClosesWhenDone() const
{
    return FFinished && GetSettings().StatusAutoClose && FFailed == 0 && !FCancelled;
}

void TUpdateRun::Cancel()
{
    if (!FRunning)
        return;
    FCancelRequested = true;
    FEngine.Cancel();
}

bool TUpdateRun::CancelRequested() const
{
    // The engine's own flag carries the Cancel answer of the overwrite question.
    return FCancelRequested || FEngine.CancelRequested();
}

void TUpdateRun::DownloadProgress(uint64_t progress, uint64_t progressMax, bool& cancel, bool itemBand)
{
    if (progressMax != 0) {
        const double percent = double(progress) / (double(progressMax) / 100);
        // An item's download fills the band from 40 to 50 of its row.
        SetPercent(FCurrentRow, int(std::lround(itemBand ? percent / 10 + 40 : percent)));
    }
    // Until bytes come (and for the engine's checks and pings, which report none) the row keeps
    // the text of its step.
    if (progress != 0 || progressMax != 0)
        SetStatus(FCurrentRow, tr("Downloading..."));
    // The run is synchronous on the GUI thread, and this is where it lets the event loop run:
    // the Cancel button, repaints, timers and messages to other windows are handled here. What
    // they may start re-enters nothing: a second run is refused (AnyRunning), the status window
    // cannot close while its run is under way.
    if (Progress)
        Progress->ProcessEvents();
    cancel = CancelRequested();
}

bool TUpdateRun::Execute()
{
    if (FRunning || FFinished || AnyRunning())
        return false;
    const TRunScope scope(FRunning);
    const TRunOptionScope options;
    FCancelRequested = false;
    FCancelled = false;
    FUpdated = FUpToDate = FFailed = FSkipped = 0;
    FTotalPercent = 0;
    FCatalogues.Clear();
    FEngine.OverwriteQuestion = Host;
    SetTotal(tr("Progress: Starting..."));

    const int stoppedAt = RunRows();
    try {
        FEngine.SaveProfiles();
    } catch (const ETarvellError& e) {
        ++FFailed;
        if (Host)
            Host->ShowWarning(e.Message());
    }
    // No to the continue question or Cancel to the overwrite question at the last row still
    // ends the run as cancelled, though no row is left.
    if (CancelRequested())
        FCancelled = true;
    if (FCancelled) {
        for (int i = stoppedAt; i < RowCount(); ++i) {
            if (FRows[size_t(i)].Item)
                ++FSkipped;
            SetStatus(i, tr("Cancelled"));
            SetState(i, TRowState::Cancelled);
        }
    } else if (FUpdated > 0) {
        RunAfterUpdateProgram();
    }
    FTotalPercent = 100;
    FFinished = true;
    SetTotal((FCancelled ? tr("Progress: Cancelled, %1") : tr("Progress: Finished, %1")).arg(Summary()));
    return true;
}

int TUpdateRun::RunRows()
{
    const int rows = RowCount();
    bool askOverwrite = true;
    bool continueOnErrors = false;
    const TDownloadProgressEvent siteProgress = [this](uint64_t p, uint64_t m, TUrlDownloadStatus, const QString&,
                                                    bool& c) { DownloadProgress(p, m, c, false); };
    const TDownloadProgressEvent itemProgress = [this](uint64_t p, uint64_t m, TUrlDownloadStatus, const QString&,
                                                    bool& c) { DownloadProgress(p, m, c, true); };
    // Ends the run at row r: it and every later row were not processed.
    const auto stop = [this](int r) {
        FCancelled = true;
        SetShade(r, TRowShade::Normal);
        return r;
    };
    int r = 0;
    try {
        for (; r < rows; ++r) {
            SetTotal(tr("Progress: Updating file %1 of %2").arg(r + 1).arg(rows));
            FCurrentRow = r;
            SetShade(r, TRowShade::Current);
            if (Progress)
                Progress->RowStarted(r);
            if (CancelRequested())
                return stop(r);
            const int first = r;
            const QString site = FRows[size_t(r)].Site;
            TUpdateItem* const item = FRows[size_t(r)].Item;
            try {
                SetState(r, TRowState::Working);
                if (!item) {
                    SetStatus(r, tr("Checking updated site xml file..."));
                    try {
                        FCatalogues.Fetch(site, siteProgress);
                    } catch (const ETarvellError& e) {
                        // A cancelled download is no failure of the site.
                        if (CancelRequested())
                            return stop(r);
                        throw EUserError(SiteDownloadError(site, e.Message()));
                    }
                    SetStatus(r, tr("Checked site xml file..."));
                    if (Progress)
                        Progress->ProcessEvents();
                } else {
                    SetStatus(r, tr("Checking..."));
                    bool result = false;
                    try {
                        result = FEngine.Execute(*item, askOverwrite, FCatalogues, itemProgress);
                    } catch (const std::exception&) {
                        if (CancelRequested())
                            return stop(r);
                        throw;
                    }
                    // After a Cancel to the overwrite question the item reads as downloaded; the
                    // next row ends the run.
                    if (result) {
                        ++FUpdated;
                        SetStatus(r, tr("Updated"));
                    } else {
                        ++FUpToDate;
                        SetStatus(r, tr("Already up to date"));
                    }
                }
                SetState(r, TRowState::Done);
                SetPercent(r, 100);
            } catch (const std::exception& e) {
                const QString message = FailureMessage(e);
                ++FFailed;
                RowFailed(r, message);
                if (!item) {
                    // A site that could not be fetched fails its items without touching them.
                    while (r + 1 < rows && FRows[size_t(r + 1)].Item
                        && FRows[size_t(r + 1)].Site.compare(site, Qt::CaseInsensitive) == 0) {
                        ++r;
                        ++FFailed;
                        RowFailed(r, tr("Unable to download associated site xml"));
                    }
                }
                if (!FSilent && !continueOnErrors && Host
                    && !Host->AskContinue(tr("%1\r\rDo you want to continue?").arg(message), continueOnErrors))
                    FCancelRequested = true;
            }
            FTotalPercent = rows >= 2 ? int(std::lround(double(r) / (rows - 1) * 100)) : 100;
            SetTotal(tr("Progress: Finished, %1").arg(Summary()));
            for (int i = first; i <= r; ++i)
                SetShade(i, TRowShade::Processed);
        }
    } catch (const std::exception& e) {
        // Outside any row's work (the questions, the window): the row shows it and the run ends.
        if (r < rows) {
            RowFailed(r, FailureMessage(e));
            SetShade(r, TRowShade::Processed);
        }
        ++FFailed;
    }
    return rows;
}

void TUpdateRun::RunAfterUpdateProgram()
{
    const TSettings& settings = GetSettings();
    const TAfterUpdateProgram program = ChooseAfterUpdateProgram(
        settings.AutoUpdateApplicationEnabled, settings.AutoUpdateApplication, settings.AutoUpdateAppParams);
    if (program.Kind == TAfterUpdateProgram::TKind::None || !Host)
        return;
    bool started = false;
    if (program.Kind == TAfterUpdateProgram::TKind::Start)
        started = Host->StartProgram(program.FileName, program.Arguments);
    else if (program.Kind == TAfterUpdateProgram::TKind::Open)
        started = Host->OpenDocument(program.FileName);
    if (!started)
        Host->ShowWarning(tr("Cannot execute the AutoUpdate application that is specified in the AutoUpdate manager "
                             "settings:\r%1\r\rPlease check if the application exists in the specified location.")
                              .arg(settings.AutoUpdateApplication));
}
