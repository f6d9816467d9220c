// The AutoUpdate Wizard.
#include "app/windows/fAutoUpdateWizard.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fBrowseFolder.h"
#include "app/windows/fMobileFolder.h"
#include "app/windows/fStatus.h"
#include "app/windowbase/uDialogs.h"
#include "app/windows/uSitePictures.h"
#include "app/windows/uSiteXmlUpdater.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uScopeGuard.h"
#include "formats/uConvertBase.h"
#include "sites/uSite.h"
#include "ui/AdvGlowButton.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

struct TPageText {
    const char* Name;
    const char* Title;
    const char* Text;
};

const TPageText PageTexts[] = {
    { "Default", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Welcome to the Tarvell AutoUpdate Wizard"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard",
            "This wizard sets up the automatic update of a group of poi files of a poi site, so that they are "
            "always up to date on your computer or navigation device. Click Next to continue.") },
    { "_Profile", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Profile"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Select the profile the new AutoUpdate items are added to:") },
    { "Sites", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Poi site"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Select the poi site you want to update poi files from:") },
    { "Authentication", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Authentication"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard",
            "This site requires a username and password for some of its poi files. Enter the ones you registered "
            "with; the site's website tells how to register.") },
    { "Groups", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Country and group"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Select the country (map) and the group of poi files to update:") },
    { "Target", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Target"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Select where the poi files are to be updated:") },
    { "Ready", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Ready"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard",
            "The wizard is ready to set up the AutoUpdate items. Click Finish to create them.") },
    { "Finish", QT_TRANSLATE_NOOP("TfmAutoUpdateWizard", "Finished"),
        QT_TRANSLATE_NOOP("TfmAutoUpdateWizard",
            "The AutoUpdate items have been set up. Update them now, or review them in the AutoUpdate Manager.") },
};

} // namespace

TfmAutoUpdateWizard::TfmAutoUpdateWizard(QWidget* owner, TdmMain& data, TSiteManagerHost* host)
    : TTarvellModalForm(owner)
    , FData(data)
    , FHost(host)
{
    setObjectName(QStringLiteral("fmAutoUpdateWizard"));
    auto* layout = new QVBoxLayout(this);
    Notebook1 = new QStackedWidget(this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    layout->addWidget(Notebook1, 1);

    NewPage(PageTexts[0].Name, PageTexts[0].Title, PageTexts[0].Text);
    CreateProfileAndSitesPages();
    CreateAuthenticationPage();
    CreateGroupsPage();
    CreateTargetPage();
    NewPage(PageTexts[6].Name, PageTexts[6].Title, PageTexts[6].Text);
    CreateFinishPage();
    for (int i = 0; i < Notebook1->count(); ++i)
        qobject_cast<QVBoxLayout*>(Notebook1->widget(i)->layout())->addStretch(1);
    layout->addLayout(CreateButtons());
    ConnectSignals();

    resize(520, 400);
    Retranslate();
    Notebook1->setCurrentIndex(0);
    nbTarget->setCurrentIndex(0);
    UpdateButtons();
}

void TfmAutoUpdateWizard::CreateProfileAndSitesPages()
{
    QWidget* page = NewPage(PageTexts[1].Name, PageTexts[1].Title, PageTexts[1].Text);
    coProfile = new QComboBox(page);
    coProfile->setObjectName(QStringLiteral("coProfile"));
    page->layout()->addWidget(coProfile);

    page = NewPage(PageTexts[2].Name, PageTexts[2].Title, PageTexts[2].Text);
    lvSites = new QListWidget(page);
    lvSites->setObjectName(QStringLiteral("lvSites"));
    cbForceSiteUpdate = new QCheckBox(page);
    cbForceSiteUpdate->setObjectName(QStringLiteral("cbForceSiteUpdate"));
    FTexts.push_back({ cbForceSiteUpdate, QT_TR_NOOP("Force site information download in the next step") });
    page->layout()->addWidget(lvSites);
    page->layout()->addWidget(cbForceSiteUpdate);
}

void TfmAutoUpdateWizard::CreateAuthenticationPage()
{
    QWidget* page = NewPage(PageTexts[3].Name, PageTexts[3].Title, PageTexts[3].Text);
    auto* form = new QFormLayout;
    auto* userLabel = PlainTextLabel(page, true);
    auto* passwordLabel = PlainTextLabel(page, true);
    FTexts.push_back({ userLabel, QT_TR_NOOP("Username:") });
    FTexts.push_back({ passwordLabel, QT_TR_NOOP("Password:") });
    edUsername = new QLineEdit(page);
    edUsername->setObjectName(QStringLiteral("edUsername"));
    edPassword = new QLineEdit(page);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    form->addRow(userLabel, edUsername);
    form->addRow(passwordLabel, edPassword);
    qobject_cast<QVBoxLayout*>(page->layout())->addLayout(form);
    buWebsite = new TAdvGlowButton(page);
    buWebsite->setObjectName(QStringLiteral("buWebsite"));
    buWebsite->setMinimumSize(110, 28);
    buWebsite->OnClick = [this](TAdvCustomGlowButton*) { buWebsiteClick(); };
    FTexts.push_back({ buWebsite, QT_TR_NOOP("Website") });
    page->layout()->addWidget(buWebsite);
}

void TfmAutoUpdateWizard::CreateGroupsPage()
{
    QWidget* page = NewPage(PageTexts[4].Name, PageTexts[4].Title, PageTexts[4].Text);
    coCountry = new QComboBox(page);
    coCountry->setObjectName(QStringLiteral("coCountry"));
    page->layout()->addWidget(coCountry);
    paGroup = new QWidget(page);
    paGroup->setObjectName(QStringLiteral("paGroup"));
    auto* group = new QVBoxLayout(paGroup);
    group->setContentsMargins(0, 0, 0, 0);
    coGroup = new QComboBox(paGroup);
    coGroup->setObjectName(QStringLiteral("coGroup"));
    laGroupNote = PlainTextLabel(paGroup, true);
    laGroupNote->setObjectName(QStringLiteral("laGroupNote"));
    group->addWidget(coGroup);
    group->addWidget(laGroupNote);
    page->layout()->addWidget(paGroup);
    laAll = PlainTextLabel(page, true);
    laAll->setObjectName(QStringLiteral("laAll"));
    FTexts.push_back({ laAll, QT_TR_NOOP("No groups available: all pois within this country are selected...") });
    page->layout()->addWidget(laAll);
    paGroup->setVisible(false);
    laAll->setVisible(false);
}

QHBoxLayout* TfmAutoUpdateWizard::FolderRow(
    QWidget* parent, QLineEdit*& edit, const char* name, void (TfmAutoUpdateWizard::*browse)())
{
    auto* row = new QHBoxLayout;
    edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    auto* button = SiteBrowseButton(parent);
    connect(button, &QPushButton::clicked, this, [this, browse] { Run([this, browse] { (this->*browse)(); }); });
    connect(edit, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    row->addWidget(edit, 1);
    row->addWidget(button);
    return row;
}

void TfmAutoUpdateWizard::CreateTargetPage()
{
    QWidget* page = NewPage(PageTexts[5].Name, PageTexts[5].Title, PageTexts[5].Text);
    auto* box = new QGroupBox(page);
    box->setObjectName(QStringLiteral("rgTarget"));
    auto* radios = new QVBoxLayout(box);
    rgTarget = new QButtonGroup(this);
    static const char* const targets[] = { QT_TR_NOOP("Folder on local machine"),
        QT_TR_NOOP("TomTom Navigator through ActiveSync"), QT_TR_NOOP("TomTom GO") };
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(box);
        FTexts.push_back({ radio, targets[i] });
        rgTarget->addButton(radio, i);
        radios->addWidget(radio);
        FTargets.push_back(radio);
    }
    page->layout()->addWidget(box);
    nbTarget = new QStackedWidget(page);
    nbTarget->setObjectName(QStringLiteral("nbTarget"));
    nbTarget->addWidget(new QWidget(nbTarget));
    auto* local = new QWidget(nbTarget);
    auto* localForm = new QFormLayout(local);
    auto* folderLabel = PlainTextLabel(local, true);
    auto* typeLabel = PlainTextLabel(local, true);
    FTexts.push_back({ folderLabel, QT_TR_NOOP("Folder:") });
    FTexts.push_back({ typeLabel, QT_TR_NOOP("File type:") });
    localForm->addRow(folderLabel, FolderRow(local, edLocalFolder, "edLocalFolder", &TfmAutoUpdateWizard::LocalFolderBrowse));
    coLocalFileType = new QComboBox(local);
    coLocalFileType->setObjectName(QStringLiteral("coLocalFileType"));
    localForm->addRow(typeLabel, coLocalFileType);
    nbTarget->addWidget(local);
    auto* device = new QWidget(nbTarget);
    auto* deviceForm = new QFormLayout(device);
    auto* mapsLabel = PlainTextLabel(device, true);
    auto* pathLabel = PlainTextLabel(device, true);
    FTexts.push_back({ mapsLabel, QT_TR_NOOP("TomTom Maps:") });
    FTexts.push_back({ pathLabel, QT_TR_NOOP("Folder:") });
    coMaps = new QComboBox(device);
    coMaps->setObjectName(QStringLiteral("coMaps"));
    deviceForm->addRow(mapsLabel, coMaps);
    auto* remote = new QHBoxLayout;
    edRemotePath = new QLineEdit(device);
    edRemotePath->setObjectName(QStringLiteral("edRemotePath"));
    edRemotePath->setReadOnly(true);
    SpeedButton1 = SiteBrowseButton(device);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    remote->addWidget(edRemotePath, 1);
    remote->addWidget(SpeedButton1);
    deviceForm->addRow(pathLabel, remote);
    nbTarget->addWidget(device);
    auto* go = new QWidget(nbTarget);
    auto* goForm = new QFormLayout(go);
    auto* goLabel = PlainTextLabel(go, true);
    FTexts.push_back({ goLabel, QT_TR_NOOP("Folder of the TomTom GO:") });
    goForm->addRow(goLabel, FolderRow(go, edTomTomGoDir, "edTomTomGoDir", &TfmAutoUpdateWizard::TomTomGoDirBrowse));
    nbTarget->addWidget(go);
    page->layout()->addWidget(nbTarget);
}

void TfmAutoUpdateWizard::CreateFinishPage()
{
    QWidget* page = NewPage(PageTexts[7].Name, PageTexts[7].Title, PageTexts[7].Text);
    BitBtn1 = new TAdvGlowButton(page);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setMinimumSize(220, 40);
    BitBtn1->SetImages(&FData.NormalImages);
    BitBtn1->SetImageIndex(21);
    BitBtn1->OnClick = [this](TAdvCustomGlowButton*) { BitBtn1Click(); };
    BitBtn2 = new TAdvGlowButton(page);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setMinimumSize(220, 40);
    BitBtn2->SetImages(&FData.NormalImages);
    BitBtn2->SetImageIndex(12);
    BitBtn2->OnClick = [this](TAdvCustomGlowButton*) { BitBtn2Click(); };
    FTexts.push_back({ BitBtn1, QT_TR_NOOP("AutoUpdate now") });
    FTexts.push_back({ BitBtn2, QT_TR_NOOP("Go to AutoUpdate Manager") });
    page->layout()->addWidget(BitBtn1);
    page->layout()->addWidget(BitBtn2);
}

QHBoxLayout* TfmAutoUpdateWizard::CreateButtons()
{
    auto* buttons = new QHBoxLayout;
    buBack = new QPushButton(this);
    buBack->setObjectName(QStringLiteral("buBack"));
    buNext = new QPushButton(this);
    buNext->setObjectName(QStringLiteral("buNext"));
    buNext->setDefault(true);
    buCancel = new QPushButton(this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    buttons->addStretch(1);
    buttons->addWidget(buBack);
    buttons->addWidget(buNext);
    buttons->addWidget(buCancel);
    return buttons;
}

void TfmAutoUpdateWizard::ConnectSignals()
{
    connect(buNext, &QPushButton::clicked, this, [this] { Run([this] { buNextClick(); }); });
    connect(buBack, &QPushButton::clicked, this, [this] { Run([this] { buBackClick(); }); });
    connect(buCancel, &QPushButton::clicked, this, [this] { Run([this] { buCancelClick(); }); });
    connect(lvSites, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(coProfile, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { UpdateButtons(); });
    connect(coCountry, qOverload<int>(&QComboBox::activated), this, [this] { Run([this] { coCountryChange(); }); });
    connect(coGroup, qOverload<int>(&QComboBox::activated), this, [this] { Run([this] { coGroupChange(); }); });
    connect(rgTarget, &QButtonGroup::idClicked, this, [this](int id) { Run([this, id] { rgTargetClick(id); }); });
    connect(coLocalFileType, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { UpdateButtons(); });
    connect(coMaps, qOverload<int>(&QComboBox::activated), this, [this] { Run([this] { coMapsChange(); }); });
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { Run([this] { SpeedButton1Click(); }); });
}

TfmAutoUpdateWizard::~TfmAutoUpdateWizard() = default;

QWidget* TfmAutoUpdateWizard::NewPage(const char* name, const char* title, const char* text)
{
    auto* page = new QWidget(Notebook1);
    page->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(page);
    auto* heading = PlainTextLabel(page, true);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);
    auto* body = PlainTextLabel(page, true);
    FTexts.push_back({ heading, title });
    FTexts.push_back({ body, text });
    layout->addWidget(heading);
    layout->addWidget(body);
    Notebook1->addWidget(page);
    return page;
}

void TfmAutoUpdateWizard::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
    UpdateButtons();
}

void TfmAutoUpdateWizard::Retranslate()
{
    setWindowTitle(tr("Tarvell AutoUpdate Wizard..."));
    ApplyTexts("TfmAutoUpdateWizard", FTexts);
    UpdateButtons();
}

TWizardPage TfmAutoUpdateWizard::CurrentPage() const
{
    return TWizardPage(Notebook1->currentIndex());
}

int TfmAutoUpdateWizard::ProfileCount() const
{
    return AutoUpdateProfileCount();
}

QString TfmAutoUpdateWizard::ChosenProfileName() const
{
    const int entry = coProfile->currentIndex();
    if (ProfileCount() < 2 || entry <= 0 || entry >= ProfileCount())
        return QString();
    return GetAutoUpdateProfileName(entry);
}

const TCountry* TfmAutoUpdateWizard::ChosenCountry() const
{
    const int entry = coCountry->currentIndex();
    if (!FSite || entry < 0 || entry >= FSite->Countries.Count())
        return nullptr;
    return &FSite->Countries[entry];
}

bool TfmAutoUpdateWizard::CanGoNext() const
{
    switch (CurrentPage()) {
    case TWizardPage::Profile:
        return coProfile->currentIndex() >= 0;
    case TWizardPage::Sites:
        return lvSites->currentRow() >= 0;
    case TWizardPage::Groups:
        // Without a country Finish would have no POIs to set up.
        return ChosenCountry() && (coGroup->currentIndex() >= 0 || !FGroupPanel);
    case TWizardPage::Target:
        switch (rgTarget->checkedId()) {
        case 0:
            return !edLocalFolder->text().trimmed().isEmpty() && coLocalFileType->currentIndex() >= 0;
        case 1:
            return !edRemotePath->text().isEmpty();
        case 2:
            return !edTomTomGoDir->text().trimmed().isEmpty();
        default:
            return false;
        }
    case TWizardPage::Finish:
        return false;
    default:
        return true;
    }
}

void TfmAutoUpdateWizard::UpdateButtons()
{
    if (!buNext)
        return;
    const TWizardPage page = CurrentPage();
    buBack->setEnabled(page >= TWizardPage::Profile && page <= TWizardPage::Ready);
    buNext->setEnabled(CanGoNext());
    buNext->setText(page == TWizardPage::Ready ? tr("Finish") : tr("Next >"));
    buCancel->setText(page == TWizardPage::Finish ? tr("Close") : tr("Cancel"));
    buBack->setText(tr("< Back"));
}

void TfmAutoUpdateWizard::buNextClick()
{
    const TWizardPage page = CurrentPage();
    if (page == TWizardPage::Finish)
        return;
    if (page == TWizardPage::Ready) {
        if (!TargetFolderReady()) {
            Notebook1->setCurrentIndex(int(TWizardPage::Target));
            UpdateButtons();
            return;
        }
        // Refused items keep the wizard on this page, with nothing stored.
        CreateItems();
        Notebook1->setCurrentIndex(int(TWizardPage::Finish));
        UpdateButtons();
        return;
    }
    if (page == TWizardPage::Sites && !LoadSite())
        return;
    if (page == TWizardPage::Authentication)
        StoreCredentials();
    const TWizardPage next = WizardPageAfter(page, +1, ProfileCount(), FSite ? FSite->MaxAccessLevel() : 0);
    Notebook1->setCurrentIndex(int(next));
    Arrive(next);
    UpdateButtons();
}

void TfmAutoUpdateWizard::buBackClick()
{
    const TWizardPage back
        = WizardPageAfter(CurrentPage(), -1, ProfileCount(), FSite ? FSite->MaxAccessLevel() : 0);
    Notebook1->setCurrentIndex(int(back));
    UpdateButtons();
}

void TfmAutoUpdateWizard::Arrive(TWizardPage page)
{
    switch (page) {
    case TWizardPage::Profile: {
        const QSignalBlocker block(coProfile);
        coProfile->clear();
        for (int i = 0; i < ProfileCount(); ++i)
            coProfile->addItem(i == 0 ? tr("Default") : GetAutoUpdateProfileName(i));
        coProfile->setCurrentIndex(0);
        break;
    }
    case TWizardPage::Sites: {
        const QSignalBlocker block(lvSites);
        lvSites->clear();
        // Hidden sites too: the wizard offers every site of the list.
        for (const QString& site : GetSettings().Sites)
            new QListWidgetItem(SitePicture("web-site"), site, lvSites);
        break;
    }
    case TWizardPage::Authentication:
        if (FSite) {
            edUsername->setText(ReadSiteConfig(FSite->Location, QStringLiteral("Username")));
            edPassword->setText(ReadSitePassword(FSite->Location));
            buWebsite->setEnabled(IsWebPageAddress(FSite->InfoUrl));
        }
        break;
    case TWizardPage::Groups:
        laAll->setVisible(false);
        break;
    case TWizardPage::Target: {
        const QSignalBlocker block(coLocalFileType);
        const int chosen = coLocalFileType->currentIndex();
        QStringList writers;
        FillExporterList(writers);
        coLocalFileType->clear();
        coLocalFileType->addItems(writers);
        coLocalFileType->setCurrentIndex(chosen >= 0 && chosen < writers.size() ? chosen : -1);
        break;
    }
    default:
        break;
    }
}

bool TfmAutoUpdateWizard::LoadSite()
{
    const QListWidgetItem* row = lvSites->currentItem();
    if (!row)
        return false;
    const QString site = row->text();
    const QString profileName = ChosenProfileName();
    TUpdateItems& profile = FindAutoUpdateProfile(profileName);
    const std::pair<QString, QString> key { profileName, site };
    if (profile.HasSite(site) && FClearSite != key) {
        if (::AskYesNo(this,
                tr("You already have setup AutoUpdate poi items from this site. To continue you need to clear these. "
                   "Do you want to do this?"))
            != IDYES)
            return false;
        // The old items go only at Finish: a Cancel before it loses nothing.
        FClearSite = key;
    }
    if (!IsFilePath(site)) {
        TSiteXmlUpdater updater(this);
        updater.Force = cbForceSiteUpdate->isChecked();
        updater.Update(site);
    }
    cbForceSiteUpdate->setChecked(false);
    const QString file = LocationToLocalFile(site);
    if (!QFileInfo(file).isFile())
        throw EUserError(tr("Cannot find the site xml index file"));
    // Read again even when loaded before; a copy that does not load leaves the site as it was.
    TSite& loaded = GetSite(site);
    loaded.LoadFromCache();
    FSite = &loaded;
    coCountry->clear();
    coGroup->clear();
    FGroups = TWizardGroups();
    laGroupNote->clear();
    paGroup->setVisible(false);
    FGroupPanel = false;
    for (int i = 0; i < FSite->Countries.Count(); ++i)
        coCountry->addItem(CountryCaption(FSite->Countries[i]));
    coCountry->setCurrentIndex(-1);
    return true;
}

void TfmAutoUpdateWizard::StoreCredentials()
{
    if (!FSite)
        return;
    WriteSiteConfig(FSite->Location, QStringLiteral("Username"), edUsername->text());
    WriteSitePassword(FSite->Location, edPassword->text());
}

void TfmAutoUpdateWizard::coCountryChange()
{
    FGroups = TWizardGroups();
    laGroupNote->clear();
    const TCountry* country = ChosenCountry();
    if (country)
        FGroups = WizardGroups(*FSite, *country);
    const QStringList captions = country ? FGroups.Captions() : QStringList();
    {
        const QSignalBlocker block(coGroup);
        coGroup->clear();
        coGroup->addItems(captions);
        coGroup->setCurrentIndex(-1);
    }
    laAll->setVisible(country && FGroups.Entries.Count() == 0);
    FGroupPanel = coGroup->count() > 0;
    paGroup->setVisible(FGroupPanel);
}

void TfmAutoUpdateWizard::coGroupChange()
{
    const int entry = coGroup->currentIndex();
    if (entry < 0) {
        laGroupNote->clear();
        return;
    }
    if ((FGroups.HasWizardGroups || FGroups.Entries.Count() == 0) && entry == coGroup->count() - 1) {
        if (::AskYesNo(this,
                tr("To setup other groups not available in the Wizard, the Wizard needs to be closed and the "
                   "AutoUpdate Manager needs to be opened. Do you want to do this?"))
            == IDYES) {
            OpenManager();
            return;
        }
        coGroup->setCurrentIndex(-1);
        coGroupChange();
        return;
    }
    laGroupNote->setText(WizardGroupNote(*FSite, FGroups.Entries.GetName(entry)));
}

void TfmAutoUpdateWizard::rgTargetClick(int item)
{
    nbTarget->setCurrentIndex(item + 1);
    if (item != 1)
        return;
    // Without the device there is no such target: no choice, the empty page.
    const auto noTarget = OnFailure([this, item] {
        rgTarget->setExclusive(false);
        FTargets[size_t(item)]->setChecked(false);
        rgTarget->setExclusive(true);
        nbTarget->setCurrentIndex(0);
    });
    ConnectDevice();
    FDeviceMaps.clear();
    GetDeviceMaps(FDeviceMaps, false);
    QStringList names;
    GetDeviceMaps(names, true);
    coMaps->clear();
    coMaps->addItem(tr("[Other]"));
    for (const QString& name : names)
        coMaps->addItem(SitePicture("map"), name);
    coMaps->setCurrentIndex(0);
    if (edRemotePath->text().isEmpty())
        SetRemotePath(GetSettings().PrevRemoteDir);
}

void TfmAutoUpdateWizard::coMapsChange()
{
    const int entry = coMaps->currentIndex();
    if (entry <= 0 || entry > FDeviceMaps.size()) {
        edRemotePath->clear();
        return;
    }
    const QString line = FDeviceMaps[entry - 1];
    edRemotePath->setText(line.left(line.indexOf(QChar('='))));
}

void TfmAutoUpdateWizard::SetRemotePath(const QString& path)
{
    int entry = 0;
    for (int i = 0; i < FDeviceMaps.size(); ++i) {
        const QString& line = FDeviceMaps[i];
        if (line.left(line.indexOf(QChar('='))).compare(path, Qt::CaseInsensitive) == 0) {
            entry = i + 1;
            break;
        }
    }
    coMaps->setCurrentIndex(entry);
    edRemotePath->setText(path);
    GetSettings().PrevRemoteDir = path;
}

void TfmAutoUpdateWizard::SpeedButton1Click()
{
    ConnectDevice();
    TfmMobileFolder dialog(this);
    dialog.SetFileTypeVisible(false);
    dialog.SetPath(edRemotePath->text().isEmpty() ? GetSettings().PrevRemoteDir : edRemotePath->text());
    if (dialog.exec() != QDialog::Accepted)
        return;
    SetRemotePath(QChar('\\') + dialog.GetPath());
}

namespace {

// The local folder picker without its file type: the wizard asks for that on its own page.
bool BrowseLocalFolder(QWidget* owner, QLineEdit* edit)
{
    TfmBrowseFolder dialog(owner);
    dialog.SetFileTypeVisible(false);
    if (!edit->text().trimmed().isEmpty())
        dialog.SetDirectory(edit->text().trimmed());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    edit->setText(dialog.Directory());
    return true;
}

} // namespace

void TfmAutoUpdateWizard::LocalFolderBrowse()
{
    BrowseLocalFolder(this, edLocalFolder);
}

void TfmAutoUpdateWizard::TomTomGoDirBrowse()
{
    BrowseLocalFolder(this, edTomTomGoDir);
}

bool TfmAutoUpdateWizard::TargetFolderReady()
{
    const int item = rgTarget->checkedId();
    if (item != 0 && item != 2)
        return true;
    const QString folder = AbsoluteLocation((item == 0 ? edLocalFolder : edTomTomGoDir)->text().trimmed());
    if (QFileInfo(folder).isDir())
        return true;
    if (::AskYesNo(this, tr("Folder %1 does not exist. Do you want to create it?").arg(folder)) != IDYES)
        return false;
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        ShowWarning(this, tr("Cannot create folder %1").arg(folder));
        return false;
    }
    return true;
}

void TfmAutoUpdateWizard::CreateItems()
{
    const TCountry* country = ChosenCountry();
    if (!FSite || !country)
        return;
    TWizardTarget target;
    switch (rgTarget->checkedId()) {
    case 0: {
        const int writer = coLocalFileType->currentIndex();
        target = { TTargetKind::Local, AbsoluteLocation(edLocalFolder->text().trimmed()),
            TConvertToBase::Extension(writer), TConvertToBase::FormatIDAt(writer) };
        break;
    }
    case 1:
        target = { TTargetKind::Device, edRemotePath->text(), QStringLiteral(".ov2"), QStringLiteral("ttov2") };
        break;
    case 2:
        target = { TTargetKind::Local, AbsoluteLocation(edTomTomGoDir->text().trimmed()), QStringLiteral(".ov2"),
            QStringLiteral("ttov2") };
        break;
    default:
        return;
    }
    const QString profileName = ChosenProfileName();
    const bool clear = FClearSite == std::pair<QString, QString> { profileName, FSite->Location };
    QString groupName;
    if (FGroupPanel)
        groupName = FGroups.Entries.GetName(coGroup->currentIndex());
    CreateWizardItems(
        FindAutoUpdateProfile(profileName), *FSite, *country, FGroupPanel ? &groupName : nullptr, target, clear);
}

void TfmAutoUpdateWizard::buWebsiteClick()
{
    if (FSite)
        OpenWebPage(FSite->InfoUrl);
}

void TfmAutoUpdateWizard::BitBtn1Click()
{
    const QString profile = ChosenProfileName();
    auto run = [this, profile] { RunAutoUpdateProfile(this, profile); };
    if (FHost)
        FHost->RunUpdate(run);
    else
        RunCommand(this, run);
}

void TfmAutoUpdateWizard::BitBtn2Click()
{
    OpenManager();
}

void TfmAutoUpdateWizard::OpenManager()
{
    TSettings& settings = GetSettings();
    if (FSite)
        settings.SiteManagerUrl = FSite->Location;
    if (const TCountry* country = ChosenCountry())
        settings.SiteManagerMap = CountryCaption(*country);
    FOpenManager = true;
    FFinished = true;
    close();
}

void TfmAutoUpdateWizard::buCancelClick()
{
    if (CurrentPage() == TWizardPage::Finish)
        FFinished = true;
    close();
}

void TfmAutoUpdateWizard::reject()
{
    if (!FFinished && ::AskYesNo(this, tr("Are you sure you want to cancel the AutoUpdate Wizard?")) != IDYES)
        return;
    FFinished = true;
    TTarvellModalForm::reject();
}
