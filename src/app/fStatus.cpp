// The update status window and the routines that start a run.
#include "app/fStatus.h"

#include "app/dMain.h"
#include "app/uDialogs.h"
#include "core/uSettings.h"
#include "core/uXmlDocument.h"
#include "sites/uUpdateItems.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>
#include <map>

namespace {

const QColor RunningRowColour(166, 202, 240);

QString StatusText(const QString& text)
{
    return TfmStatus::tr("Status") + QStringLiteral(": ") + text;
}

QString ProgressText(const QString& text)
{
    return TfmStatus::tr("Progress") + QStringLiteral(": ") + text;
}

// The target as the user knows it: without its "FILE://" or "MOBILE://" prefix.
QString ShownTarget(const QString& target)
{
    for (const QLatin1String prefix : { QLatin1String("FILE://"), QLatin1String("MOBILE://") })
        if (target.startsWith(prefix, Qt::CaseInsensitive))
            return target.mid(prefix.size());
    return target;
}

class TPromptOverwriteQuestion : public TOverwriteQuestion {
public:
    TOverwriteAnswer Ask(const QString& message) override
    {
        const int answer = GetPrompt().Confirm(message);
        return answer >= 0 && answer <= 4 ? TOverwriteAnswer(answer) : TOverwriteAnswer::Closed;
    }
};
TPromptOverwriteQuestion OverwritePrompt;

} // namespace

// Each site's catalogue as its site row fetched it, so an item is checked against its own site
// even when the rows of two sites interleave.
class TfmStatus::TCurrentCatalogues : public TSiteCatalogues {
public:
    const TXmlDocument& Catalogue(const QString& site) override
    {
        const auto it = Documents.find(site.toUpper());
        if (it == Documents.end() || !it->second)
            throw EUserError(TfmStatus::tr("Unable to download associated site xml"));
        return *it->second;
    }
    std::map<QString, std::unique_ptr<TXmlDocument>> Documents;
};

TfmStatus::TfmStatus(QWidget* owner, bool compact)
    : TTarvellModalForm(owner)
    , FCatalogues(std::make_unique<TCurrentCatalogues>())
{
    if (compact) {
        // Not above the owner, which may be hidden in the tray.
        setParent(nullptr, windowFlags());
        Position = TFormPosition::poDesigned;
    }
    setObjectName(QStringLiteral("fmStatus"));
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
        & ~(Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint | Qt::WindowSystemMenuHint));
    resize(480, 360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    FScrollBox = new QScrollArea(this);
    FScrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    FScrollBox->setWidgetResizable(true);
    FScrollBox->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QWidget(FScrollBox);
    FRowsLayout = new QVBoxLayout(rows);
    FRowsLayout->setContentsMargins(0, 0, 0, 0);
    FRowsLayout->setSpacing(0);
    FRowsLayout->addStretch(1);
    FScrollBox->setWidget(rows);
    layout->addWidget(FScrollBox, 1);

    FTotal = new QLabel(this);
    FTotal->setObjectName(QStringLiteral("laTotalProgress"));
    FTotal->setTextFormat(Qt::PlainText);
    layout->addWidget(FTotal);
    FMain = new QProgressBar(this);
    FMain->setObjectName(QStringLiteral("pbMain"));
    FMain->setRange(0, 100);
    FMain->setValue(0);
    layout->addWidget(FMain);
    auto* buttons = new QHBoxLayout;
    FAutoClose = new QCheckBox(this);
    FAutoClose->setObjectName(QStringLiteral("cbAutoclose"));
    FAutoClose->setChecked(GetSettings().StatusAutoClose);
    connect(FAutoClose, &QCheckBox::clicked, this, [](bool on) { GetSettings().StatusAutoClose = on; });
    FClose = new QPushButton(this);
    FClose->setObjectName(QStringLiteral("buClose"));
    connect(FClose, &QPushButton::clicked, this, &TfmStatus::CloseClick);
    buttons->addWidget(FAutoClose);
    buttons->addStretch(1);
    buttons->addWidget(FClose);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    FTimer1.setInterval(1000);
    FTimer1.setSingleShot(true);
    connect(&FTimer1, &QTimer::timeout, this, &TfmStatus::Timer1Timer);

    FEngine.OverwriteQuestion = &OverwritePrompt;
    FEngine.OnProgress = [this](double percentage, const QString& message) {
        if (QProgressBar* bar = RowControl<QProgressBar>(FCurrentRow, "ProgressBar"))
            bar->setValue(int(std::lround(percentage)));
        SetStatus(FCurrentRow, message);
    };
    Retranslate();
}

TfmStatus::~TfmStatus() = default;

void TfmStatus::Retranslate()
{
    setWindowTitle(tr("Tarvell AutoUpdate Status..."));
    FClose->setText(FFinished ? tr("Close") : tr("Cancel"));
    FAutoClose->setText(tr("Auto close"));
}

void TfmStatus::SetSilent(bool silent)
{
    FSilent = silent;
    FEngine.Silent = silent;
}

void TfmStatus::SetItems(TUpdateItems& items)
{
    FItems = &items;
    for (int i = 0; i < items.Count(); ++i) {
        TUpdateItem& item = items.GetItem(i);
        if (!FRowSites.contains(item.Site, Qt::CaseInsensitive))
            AddRow(item.Site, nullptr);
        AddRow(item.Site, &item);
    }
}

void TfmStatus::AddRow(const QString& site, TUpdateItem* item)
{
    const QString n = QString::number(FRowSites.size());
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("Panel") + n);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 4, 4, 4);
    auto* image = new QLabel(panel);
    image->setObjectName(QStringLiteral("Image") + n);
    image->setFixedWidth(52);
    image->setAlignment(Qt::AlignCenter);
    row->addWidget(image);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    auto* label = new QLabel(item ? item->Description : site, panel);
    label->setObjectName(QStringLiteral("Label") + n);
    label->setTextFormat(Qt::PlainText);
    texts->addWidget(label);
    if (item) {
        auto* target = new QLabel(tr("Target") + QStringLiteral(": ") + ShownTarget(item->Target), panel);
        target->setObjectName(QStringLiteral("TargetLabel") + n);
        target->setTextFormat(Qt::PlainText);
        texts->addWidget(target);
    }
    auto* status = new QLabel(StatusText(tr("Waiting to be processed...")), panel);
    status->setObjectName(QStringLiteral("StatusLabel") + n);
    status->setTextFormat(Qt::PlainText);
    status->setMinimumWidth(1);
    texts->addWidget(status);
    auto* bar = new QProgressBar(panel);
    bar->setObjectName(QStringLiteral("ProgressBar") + n);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setMaximumHeight(status->sizeHint().height());
    texts->addWidget(bar);
    row->addLayout(texts, 1);
    FRowsLayout->insertWidget(FRowsLayout->count() - 1, panel);

    FRowSites << site;
    FRowItems.push_back(item);
    FRowPanels.push_back(panel);
    FRowIcons.push_back(-1);
    SetRowColour(FRowSites.size() - 1, palette().color(QPalette::Base));
    SetIcon(FRowSites.size() - 1, 3);
}

void TfmStatus::SetIcon(int row, int index)
{
    FRowIcons[row] = index;
    if (QLabel* image = RowControl<QLabel>(row, "Image"))
        if (const TdmMain* data = dmMain())
            image->setPixmap(data->PngImageCollection1.Image(index));
}

void TfmStatus::SetStatus(int row, const QString& text)
{
    if (QLabel* status = RowControl<QLabel>(row, "StatusLabel"))
        status->setText(StatusText(text));
}

void TfmStatus::SetRowColour(int row, const QColor& colour)
{
    QPalette p = FRowPanels[row]->palette();
    p.setColor(QPalette::Window, colour);
    FRowPanels[row]->setPalette(p);
}

void TfmStatus::RowFailed(int row, const QString& message)
{
    SetIcon(row, 6);
    const QString text = StatusText(tr("Failed") + QStringLiteral(" \"") + message + QStringLiteral("\""));
    if (QLabel* status = RowControl<QLabel>(row, "StatusLabel")) {
        status->setText(text);
        status->setToolTip(text.toHtmlEscaped());
    }
}

QString TfmStatus::Summary() const
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

void TfmStatus::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    if (FRunning || FFinished || FTimer1.isActive())
        return;
    FTotal->setText(ProgressText(tr("Waiting...")));
    FTimer1.start();
}

void TfmStatus::reject()
{
    // Escape cancels a run like the button; the window only closes once the run is over.
    if (FRunning)
        CloseClick();
    else
        TTarvellModalForm::reject();
}

void TfmStatus::CloseClick()
{
    if (FRunning) {
        FCancelRequested = true;
        FEngine.Cancel();
    } else {
        TTarvellModalForm::reject();
    }
}

void TfmStatus::DownloadProgress(uint64_t progress, uint64_t progressMax, bool& cancel, bool itemBand)
{
    cancel = FCancelRequested;
    if (progressMax != 0) {
        const double percent = double(progress) / (double(progressMax) / 100);
        // An item's download fills the band from 40 to 50 of its row.
        if (QProgressBar* bar = RowControl<QProgressBar>(FCurrentRow, "ProgressBar"))
            bar->setValue(int(std::lround(itemBand ? percent / 10 + 40 : percent)));
    }
    SetStatus(FCurrentRow, tr("Downloading..."));
    QCoreApplication::processEvents();
}

void TfmStatus::Timer1Timer()
{
    FTimer1.stop();
    if (FRunning || FFinished)
        return;
    FRunning = true;
    FCancelRequested = false;
    bool cancelled = false;
    FUpdated = FUpToDate = FFailed = FSkipped = 0;
    bool askOverwrite = true;
    bool continueOnErrors = false;
    FCatalogues->Documents.clear();
    FTotal->setText(ProgressText(tr("Starting...")));
    const int rows = RowCount();
    const TDownloadProgressEvent siteProgress
        = [this](uint64_t p, uint64_t m, TUrlDownloadStatus, const QString&, bool& c) { DownloadProgress(p, m, c, false); };
    const TDownloadProgressEvent itemProgress
        = [this](uint64_t p, uint64_t m, TUrlDownloadStatus, const QString&, bool& c) { DownloadProgress(p, m, c, true); };
    const auto cancelRun = [&](int r) {
        cancelled = true;
        // Item rows never reached; the one cancelled counts as not processed too.
        for (int i = r; i < rows; ++i)
            if (FRowItems[i])
                ++FSkipped;
        FTotal->setText(ProgressText(tr("Cancelled") + QStringLiteral(", ") + Summary()));
        SetRowColour(r, palette().color(QPalette::Base));
    };
    int r = 0;
    try {
        for (; r < rows; ++r) {
            FTotal->setText(ProgressText(tr("Updating file %1 of %2").arg(r + 1).arg(rows)));
            SetRowColour(r, RunningRowColour);
            FCurrentRow = r;
            if (FCancelRequested) {
                cancelRun(r);
                break;
            }
            const int shown = r + 1 < rows && 2 * FRowPanels[r]->height() < FScrollBox->viewport()->height() ? r + 1 : r;
            FScrollBox->ensureWidgetVisible(FRowPanels[shown], 0, 0);
            const bool siteRow = FRowItems[r] == nullptr;
            try {
                if (siteRow) {
                    SetIcon(r, 4);
                    SetStatus(r, tr("Checking updated site xml file..."));
                    const QString key = FRowSites[r].toUpper();
                    FCatalogues->Documents.erase(key);
                    try {
                        FCatalogues->Documents[key] = DownloadXmlDocument(FRowSites[r], false, siteProgress);
                    } catch (const ETarvellError& e) {
                        FCatalogues->Documents.erase(key);
                        if (FCancelRequested) {
                            cancelRun(r);
                            break;
                        }
                        throw EUserError(SiteDownloadError(FRowSites[r], e.Message()));
                    }
                    SetStatus(r, tr("Checked site xml file..."));
                    QCoreApplication::processEvents();
                    SetIcon(r, 5);
                } else {
                    SetIcon(r, 4);
                    SetStatus(r, tr("Checking..."));
                    bool result = false;
                    try {
                        result = FEngine.Execute(*FRowItems[r], askOverwrite, *FCatalogues, itemProgress);
                    } catch (const ETarvellError&) {
                        // A cancelled item download ends the run as a cancelled site download does.
                        if (FCancelRequested) {
                            cancelRun(r);
                            break;
                        }
                        throw;
                    }
                    if (FCancelRequested && !result) {
                        cancelRun(r);
                        break;
                    }
                    if (result) {
                        ++FUpdated;
                        SetStatus(r, tr("Updated"));
                    } else {
                        ++FUpToDate;
                        SetStatus(r, tr("Already up to date"));
                    }
                    SetIcon(r, 5);
                }
                if (QProgressBar* bar = RowControl<QProgressBar>(r, "ProgressBar"))
                    bar->setValue(100);
            } catch (const ETarvellError& e) {
                ++FFailed;
                RowFailed(r, e.Message());
                if (siteRow) {
                    while (r + 1 < rows && FRowItems[r + 1]
                        && FRowSites[r + 1].compare(FRowSites[r], Qt::CaseInsensitive) == 0) {
                        ++r;
                        ++FFailed;
                        RowFailed(r, tr("Unable to download associated site xml"));
                    }
                }
                if (!FSilent && !continueOnErrors) {
                    if (GetPrompt().MessageDlgWithCheckBox(e.Message() + QStringLiteral("\r\r")
                                + tr("Do you want to continue?"),
                            continueOnErrors, TMsgDlgType::mtConfirmation, tr("Continue on subsequent errors"),
                            mbYes | mbNo)
                        != IDYES)
                        FCancelRequested = true;
                }
            }
            FMain->setValue(rows >= 2 ? int(std::lround(double(r) / (rows - 1) * 100)) : 100);
            FTotal->setText(ProgressText(tr("Finished") + QStringLiteral(", ") + Summary()));
            SetRowColour(r, palette().color(QPalette::Button));
        }
    } catch (const std::exception& e) {
        // Unexpected: the row shows it and the run ends as it would.
        if (r < rows)
            RowFailed(r, QString::fromUtf8(e.what()));
        ++FFailed;
    }
    FRunning = false;
    if (cancelled) {
        for (int i = FCurrentRow; i < rows; ++i)
            SetStatus(i, tr("Cancelled"));
    } else if (FUpdated > 0) {
        RunAfterUpdateApplication();
    }
    FMain->setValue(100);
    FFinished = true;
    Retranslate();
    if (GetSettings().StatusAutoClose && FFailed == 0 && !cancelled)
        accept();
}

void TfmStatus::RunAfterUpdateApplication()
{
    const TSettings& settings = GetSettings();
    if (!settings.AutoUpdateApplicationEnabled)
        return;
    const QString application = settings.AutoUpdateApplication;
    if (application.isEmpty()
        || !QProcess::startDetached(application, QProcess::splitCommand(settings.AutoUpdateAppParams)))
        ShowWarning(this,
            tr("Cannot execute the AutoUpdate application that is specified in the AutoUpdate manager "
               "settings:\r%1\r\rPlease check if the application exists in the specified location.")
                .arg(application));
}

QString SiteDownloadError(const QString& site, const QString& message)
{
    return TfmStatus::tr("Cannot download \"%1\" because the following error: \r\r%2.").arg(site, message)
        + QStringLiteral("\r\r") + TfmStatus::tr("Please check your internet connection") + QStringLiteral(". ")
        + TfmStatus::tr("The sites status page on the Tarvell web site of Orvik Software shows whether a site "
                        "is known to be down")
        + QStringLiteral(".");
}

// --- starting a run -----------------------------------------------------------------------------

void RunAutoUpdate(QWidget* owner, bool compact, TUpdateItems& items, bool silent)
{
    const THourglass hourglass;
    TfmStatus form(owner, compact);
    form.SetSilent(silent);
    TSettings& settings = GetSettings();
    int& width = compact ? settings.StatusTrayWidth : settings.StatusWidth;
    int& height = compact ? settings.StatusTrayHeight : settings.StatusHeight;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize full = screen ? screen->size() : area.size();
    QSize size = form.size();
    if (width != -1)
        size.setWidth(std::min(std::max(width, 50), full.width()));
    if (height != -1)
        size.setHeight(std::min(std::max(height, 50), full.height()));
    form.resize(size);
    if (compact)
        form.move(area.x() + area.width() - size.width(), area.y() + area.height() - size.height());
    form.SetItems(items);
    form.exec();
    width = form.width();
    height = form.height();
}

namespace {
void RunSorted(QWidget* owner, bool compact, const std::vector<TUpdateItems*>& profiles, bool silent)
{
    const std::unique_ptr<TUpdateItems> view = TUpdateItems::CreateView();
    for (const TUpdateItems* profile : profiles)
        profile->AddItemsTo(*view);
    view->SortBySite();
    RunAutoUpdate(owner, compact, *view, silent);
}
} // namespace

void RunAutoUpdateProfile(QWidget* owner, const QString& profileName)
{
    RunSorted(owner, false, { &FindAutoUpdateProfile(profileName) }, false);
}

void RunAutoUpdateProfile(QWidget* owner, int profileIndex)
{
    RunSorted(owner, false, { &GetAutoUpdateProfile(profileIndex) }, false);
}

void RunAutoUpdateAll(QWidget* owner, bool compact, bool silent)
{
    std::vector<TUpdateItems*> profiles;
    for (int i = 0; i < AutoUpdateProfileCount(); ++i)
        profiles.push_back(&GetAutoUpdateProfile(i));
    RunSorted(owner, compact, profiles, silent);
}

void RunAutoUpdateProfiles(QWidget* owner, const QStringList& profileNames, bool compact, bool silent)
{
    std::vector<TUpdateItems*> profiles;
    for (const QString& name : profileNames) {
        TUpdateItems* profile = &FindAutoUpdateProfile(name);
        if (std::find(profiles.begin(), profiles.end(), profile) == profiles.end())
            profiles.push_back(profile);
    }
    RunSorted(owner, compact, profiles, silent);
}
