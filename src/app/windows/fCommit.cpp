// The dialog that sends one POI to a site.
#include "app/windows/fCommit.h"

#include "app/windowbase/fProgress.h"
#include "app/windowbase/uDialogs.h"
#include "app/windows/uSiteXmlUpdater.h"
#include "core/uDownload.h"
#include "core/uSettings.h"
#include "sites/uCommit.h"
#include "sites/uSite.h"
#include "sites/uSubscriptions.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QPlainTextEdit* Memo(QWidget* parent, const char* name, int lines)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setReadOnly(true);
    memo->setFixedHeight(memo->fontMetrics().lineSpacing() * lines + 12);
    return memo;
}

QComboBox* Combo(QWidget* parent, const char* name)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(30);
    return combo;
}

} // namespace

TfmCommit::TfmCommit(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("fmCommit"));
    auto* layout = new QVBoxLayout(this);

    FPoiBox = new QGroupBox(this);
    auto* poi = new QFormLayout(FPoiBox);
    edLatitude = new QLineEdit(FPoiBox);
    edLatitude->setObjectName(QStringLiteral("edLatitude"));
    edLatitude->setReadOnly(true);
    edLongitude = new QLineEdit(FPoiBox);
    edLongitude->setObjectName(QStringLiteral("edLongitude"));
    edLongitude->setReadOnly(true);
    edDescription = new QLineEdit(FPoiBox);
    edDescription->setObjectName(QStringLiteral("edDescription"));
    for (QLabel*& label : FLabels)
        label = new QLabel(this);
    poi->addRow(FLabels[0], edLatitude);
    poi->addRow(FLabels[1], edLongitude);
    poi->addRow(FLabels[2], edDescription);
    layout->addWidget(FPoiBox);

    paAddFormat = new QWidget(this);
    paAddFormat->setObjectName(QStringLiteral("paAddFormat"));
    auto* addFormat = new QVBoxLayout(paAddFormat);
    addFormat->setContentsMargins(0, 0, 0, 0);
    meAddFormat = Memo(paAddFormat, "meAddFormat", 3);
    addFormat->addWidget(meAddFormat);
    layout->addWidget(paAddFormat);

    FTargetBox = new QGroupBox(this);
    auto* target = new QFormLayout(FTargetBox);
    coSites = Combo(FTargetBox, "coSites");
    coCountries = Combo(FTargetBox, "coCountries");
    coGroup = Combo(FTargetBox, "coGroup");
    coPoiFile = Combo(FTargetBox, "coPoiFile");
    target->addRow(FLabels[3], coSites);
    target->addRow(FLabels[4], coCountries);
    target->addRow(FLabels[5], coGroup);
    target->addRow(FLabels[6], coPoiFile);
    meNote = Memo(FTargetBox, "meNote", 3);
    target->addRow(meNote);
    layout->addWidget(FTargetBox);

    acOk = new QAction(this);
    acOk->setObjectName(QStringLiteral("acOk"));
    buOK = new QPushButton(this);
    buOK->setObjectName(QStringLiteral("buOK"));
    buOK->setDefault(true);
    buCancel = new QPushButton(this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(buOK);
    buttons->addWidget(buCancel);
    layout->addLayout(buttons);

    connect(buOK, &QPushButton::clicked, acOk, &QAction::trigger);
    connect(acOk, &QAction::changed, this, [this] { buOK->setEnabled(acOk->isEnabled()); });
    connect(acOk, &QAction::triggered, this, [this] { Run([this] { acOkExecute(); }); });
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(coSites, &QComboBox::currentIndexChanged, this, [this] { Run([this] { coSitesChange(); }); });
    connect(coCountries, &QComboBox::currentIndexChanged, this, [this] { Run([this] { coCountriesChange(); }); });
    connect(coGroup, &QComboBox::currentIndexChanged, this, [this] { Run([this] { coGroupChange(); }); });
    connect(coPoiFile, &QComboBox::currentIndexChanged, this, [this] { Run([this] { coPoiFileChange(); }); });
    // The description follows the edit as it is typed: OK may come without leaving the field.
    connect(edDescription, &QLineEdit::textEdited, this, [this](const QString& text) { Description = text; });

    const QSignalBlocker blocker(coSites);
    const QStringList sites = CommitSites(GetSettings().GetVisibleSites());
    for (const QString& site : sites)
        coSites->addItem(StripUrlCredentials(site), site);
    const int previous = sites.indexOf(GetSettings().PrevCommitSite);
    coSites->setCurrentIndex(previous >= 0 ? previous : (sites.isEmpty() ? -1 : 0));
    Retranslate();
    acOkUpdate();
}

bool TfmCommit::HasSites() const { return coSites->count() > 0; }

void TfmCommit::Retranslate()
{
    setWindowTitle(tr("Tarvell Commit Poi..."));
    FPoiBox->setTitle(tr("Poi to commit"));
    FTargetBox->setTitle(tr("Target site"));
    const char* const labels[7] = { QT_TR_NOOP("Latitude:"), QT_TR_NOOP("Longitude:"), QT_TR_NOOP("Description:"),
        QT_TR_NOOP("Site:"), QT_TR_NOOP("Country:"), QT_TR_NOOP("Group:"), QT_TR_NOOP("Poi file:") };
    for (int i = 0; i < 7; ++i)
        FLabels[i]->setText(tr(labels[i]));
    acOk->setText(tr("OK"));
    buOK->setText(acOk->text());
    buCancel->setText(tr("Cancel"));
}

void TfmCommit::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
}

void TfmCommit::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    edLatitude->setText(QString::number(Latitude, 'f', 5));
    edLongitude->setText(QString::number(Longitude, 'f', 5));
    edDescription->setText(Description);
    RunCommand(this, [this] { coSitesChange(); });
}

TSite* TfmCommit::CurrentSite() const
{
    return coSites->currentIndex() < 0 ? nullptr : &GetSite(coSites->currentData().toString());
}

const TCountry* TfmCommit::CurrentCountry() const
{
    const TSite* site = CurrentSite();
    const int i = coCountries->currentIndex();
    return site && i >= 0 && i < site->Countries.Count() ? &site->Countries[i] : nullptr;
}

void TfmCommit::coSitesChange()
{
    {
        const QSignalBlocker countries(coCountries);
        coCountries->clear();
    }
    TSite* site = CurrentSite();
    if (site) {
        GetSettings().PrevCommitSite = site->Location;
        if (site->Countries.Count() == 0)
            site->LoadFromCache();
        meAddFormat->setPlainText(site->AddFormat);
        paAddFormat->setVisible(!site->AddFormat.isEmpty());
        const QSignalBlocker countries(coCountries);
        for (int i = 0; i < site->Countries.Count(); ++i)
            coCountries->addItem(site->Countries[i].CountryName);
        coCountries->setCurrentIndex(site->Countries.Count() > 0 ? 0 : -1);
    } else {
        paAddFormat->setVisible(false);
    }
    coCountriesChange();
}

void TfmCommit::coCountriesChange()
{
    {
        const QSignalBlocker groups(coGroup);
        coGroup->clear();
        if (const TCountry* country = CurrentCountry())
            for (const TCommitGroup& group : CommitGroups(*CurrentSite(), *country))
                coGroup->addItem(group.Caption, group.Name);
        coGroup->setCurrentIndex(coGroup->count() > 0 ? 0 : -1);
    }
    coGroupChange();
}

void TfmCommit::coGroupChange()
{
    {
        const QSignalBlocker files(coPoiFile);
        coPoiFile->clear();
        const TCountry* country = CurrentCountry();
        if (country && coGroup->currentIndex() >= 0)
            for (const TPoi* poi : CommitPoiFiles(*country, coGroup->currentData().toString()))
                coPoiFile->addItem(poi->Description);
        coPoiFile->setCurrentIndex(coPoiFile->count() == 1 ? 0 : -1);
    }
    coPoiFileChange();
}

void TfmCommit::coPoiFileChange()
{
    meNote->clear();
    const TCountry* country = CurrentCountry();
    if (country && coPoiFile->currentIndex() >= 0)
        meNote->setPlainText(PoiNoteText(*country, coPoiFile->currentText()));
    acOkUpdate();
}

void TfmCommit::acOkUpdate()
{
    acOk->setEnabled(coPoiFile->currentIndex() >= 0);
}

void TfmCommit::acOkExecute()
{
    TSite* site = CurrentSite();
    if (!site || coPoiFile->currentIndex() < 0)
        return;
    buOK->setEnabled(false);
    struct TEnable {
        TfmCommit* Form;
        ~TEnable() { Form->acOkUpdate(), Form->buOK->setEnabled(Form->acOk->isEnabled()); }
    } enable { this };
    Description = edDescription->text();
    {
        // The request runs under a progress dialog whose Cancel stops it: a site that does not
        // answer must not freeze the program.
        TfmProgress progress(this);
        progress.SetText(tr("Downloading..."));
        progress.AutoClose = true;
        const QString poiFile = coPoiFile->currentText();
        bool sent = false;
        progress.OnExecute = [this, site, &poiFile, &sent](TfmProgress& p) {
            CommitPoi(*site, poiFile, Longitude, Latitude, Description, DownloadProgressOf(p));
            sent = true;
        };
        progress.ShowModal();
        // Only a commit the site took is reported as one.
        if (!sent)
            throw EUserError(tr("Download cancelled by user"));
    }
    ShowInfo(this, tr("You poi was committed succesfully to %1...").arg(StripUrlCredentials(site->Location)));
    accept();
}
