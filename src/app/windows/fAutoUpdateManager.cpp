// The AutoUpdate Manager.
#include "app/windows/fAutoUpdateManager.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAddSite.h"
#include "app/windows/fBrowseFolder.h"
#include "app/windows/fMobileBrowser.h"
#include "app/windows/fMobileFolder.h"
#include "app/windows/fStatus.h"
#include "app/windowbase/uDialogs.h"
#include "app/windows/uSitePictures.h"
#include "app/windows/uSiteXmlUpdater.h"
#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "sites/uPocketExport.h"
#include "sites/uSite.h"
#include "ui/AdvGlowButton.h"
#include "ui/uTransTool.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int RoleFileExt = Qt::UserRole;
constexpr int RoleFormatID = Qt::UserRole + 1;
constexpr int RoleItem = Qt::UserRole + 2;

// Web sites and local catalogue files look different in the site list.
QIcon SiteRowPicture(const QString& location)
{
    return SitePicture(IsHttpUrl(location) ? "web-site" : "local-site");
}

// A label that acts as a link: underlined while the mouse is over it, clicked like a button.
class TLinkLabel : public QLabel {
public:
    std::function<void()> OnClick;
    using QLabel::QLabel;

protected:
    void enterEvent(QEnterEvent*) override { SetUnderline(true); }
    void leaveEvent(QEvent*) override { SetUnderline(false); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
            OnClick();
    }

private:
    void SetUnderline(bool on)
    {
        QFont f = font();
        f.setUnderline(on);
        setFont(f);
    }
};

QTreeWidget* ReportList(QWidget* parent, const char* name)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAllColumnsShowFocus(true);
    return list;
}

QListWidget* IconList(QWidget* parent, const char* name)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    return list;
}

// The text of a local file as it is, read as UTF-8 when it is that, else in the code page.
QString FileText(const std::string& bytes)
{
    const QString utf8 = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    if (utf8.toUtf8() == QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())))
        return utf8;
    return AnsiToUnicode(bytes);
}

bool SameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

// --- password and viewer dialogs --------------------------------------------------------------

TfmPassword::TfmPassword(QWidget* owner, const QString& loginMode)
    : TTarvellModalForm(owner)
    , FLoginMode(loginMode)
{
    setObjectName(QStringLiteral("fmPassword"));
    auto* layout = new QFormLayout(this);
    laUsername = new QLabel(this);
    edUsername = new QLineEdit(this);
    edUsername->setObjectName(QStringLiteral("edUsername"));
    FPasswordLabel = new QLabel(this);
    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    layout->addRow(laUsername, edUsername);
    layout->addRow(FPasswordLabel, edPassword);
    auto* buttons = new QHBoxLayout;
    FOk = new QPushButton(this);
    FOk->setDefault(true);
    FCancel = new QPushButton(this);
    buttons->addStretch(1);
    buttons->addWidget(FOk);
    buttons->addWidget(FCancel);
    layout->addRow(buttons);
    connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(340, 120);
    Retranslate();
}

void TfmPassword::SetCredentials(const QString& username, const QString& password)
{
    edUsername->setText(username);
    edPassword->setText(password);
}

QString TfmPassword::Username() const
{
    return edUsername->text();
}

QString TfmPassword::Password() const
{
    return edPassword->text();
}

void TfmPassword::Retranslate()
{
    setWindowTitle(tr("Set/change password..."));
    const QString mode = FLoginMode.trimmed().toLower();
    laUsername->setText(mode == QLatin1String("email") ? tr("Email:")
            : mode == QLatin1String("username")       ? tr("Username:")
                                                       : tr("Login:"));
    FPasswordLabel->setText(tr("Password:"));
    FOk->setText(tr("OK"));
    FCancel->setText(tr("Cancel"));
}

TfmTextViewer::TfmTextViewer(QWidget* owner, const QString& title, const QString& text)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("fmTextViewer"));
    setWindowTitle(title);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    Memo = new QPlainTextEdit(this);
    Memo->setReadOnly(true);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setPlainText(text);
    layout->addWidget(Memo);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
    resize(640, 480);
}

// --- the window -------------------------------------------------------------------------------

TfmSiteManager::TfmSiteManager(QWidget* owner, TdmMain& data, TSiteManagerHost* host)
    : TTarvellModalForm(owner)
    , FData(data)
    , FHost(host)
{
    setObjectName(QStringLiteral("fmSiteManager"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setSizeGripEnabled(true);
    CreateActions();
    CreatePages();
    resize(860, 600);
    lvItems->installEventFilter(this);
    lvSubscribed->installEventFilter(this);
    Retranslate();
    PlaceWindow();
    TSettings& settings = GetSettings();
    SetViewStyle(lvGroups, settings.SiteManagerGroupsView);
    SetViewStyle(lvMaps, settings.SiteManagerMapsView);
    SetItemsViewStyle(settings.SiteManagerItemsView);
    FillProfiles();
    Notebook2->setCurrentIndex(PageSites);
    UpdateActions();
}

TfmSiteManager::~TfmSiteManager()
{
    FClosing = true;
}

void TfmSiteManager::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
    UpdateActions();
}

void TfmSiteManager::CreateActions()
{
    auto make = [this](QAction*& action, const char* name, const QString& shortcut, std::function<void()> body) {
        action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty()) {
            action->setShortcut(QKeySequence(shortcut));
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, body] { Run(body); });
    };
    auto handler = [this](void (TfmSiteManager::*member)()) { return [this, member] { (this->*member)(); }; };
    make(acUpdateSite, "acUpdateSite", {}, handler(&TfmSiteManager::acUpdateSiteExecute));
    make(acDeleteSite, "acDeleteSite", {}, handler(&TfmSiteManager::acDeleteSiteExecute));
    make(acSiteAdd, "acSiteAdd", {}, handler(&TfmSiteManager::acSiteAddExecute));
    make(acViewRawXml, "acViewRawXml", {}, handler(&TfmSiteManager::acViewRawXmlExecute));
    make(acSites, "acSites", {}, [] { OpenUrl(QUrl(ProductWebSite() + QStringLiteral("/sites.htm"))); });
    make(actWebsite, "actWebsite", {}, handler(&TfmSiteManager::actWebsiteExecute));
    make(acPassword, "acPassword", {}, handler(&TfmSiteManager::acPasswordExecute));
    make(acStartWizard, "acStartWizard", {}, [this] {
        FStartWizard = true;
        close();
    });
    make(acAutoUpdate, "acAutoUpdate", QStringLiteral("F9"), handler(&TfmSiteManager::acAutoUpdateExecute));
    make(acSitesSelectAll, "acSitesSelectAll", QStringLiteral("Ctrl+A"), handler(&TfmSiteManager::acSitesSelectAllExecute));
    make(acUpdateSelected, "acUpdateSelected", {}, handler(&TfmSiteManager::acUpdateSelectedExecute));
    make(acSubscribeLocal, "acSubscribeLocal", {}, [this] { Subscribe(TTargetKind::Local); });
    make(acSubscribePDA, "acSubscribePDA", {}, [this] { Subscribe(TTargetKind::Device); });
    make(acUnsubscribe, "acUnsubscribe", {}, handler(&TfmSiteManager::acUnsubscribeExecute));
    make(acSubUpdate, "acSubUpdate", {}, handler(&TfmSiteManager::acSubUpdateExecute));
    make(acSubUnsub, "acSubUnsub", {}, handler(&TfmSiteManager::acSubUnsubExecute));
    make(acToPocketTarvell, "acToPocketTarvell", {}, handler(&TfmSiteManager::acToPocketTarvellExecute));
    make(acProfilesAdd, "acProfilesAdd", {}, handler(&TfmSiteManager::acProfilesAddExecute));
    make(acProfilesDel, "acProfilesDel", {}, handler(&TfmSiteManager::acProfilesDelExecute));
    acUpdateSite->setIcon(SitePicture("refresh"));
    acDeleteSite->setIcon(SitePicture("delete"));
    acSiteAdd->setIcon(SitePicture("add"));
    acViewRawXml->setIcon(SitePicture("document"));
    acSites->setIcon(SitePicture("web-site"));
    actWebsite->setIcon(SitePicture("web-page"));
    acPassword->setIcon(SitePicture("password"));
    acStartWizard->setIcon(SitePicture("wizard"));
    acAutoUpdate->setIcon(SitePicture("refresh"));
    acUpdateSelected->setIcon(SitePicture("refresh"));
    acSubscribeLocal->setIcon(SitePicture("computer"));
    acSubscribePDA->setIcon(SitePicture("device"));
    acUnsubscribe->setIcon(SitePicture("remove"));
    acSubUpdate->setIcon(SitePicture("refresh"));
    acSubUnsub->setIcon(SitePicture("remove"));
    acProfilesAdd->setIcon(SitePicture("add"));
    acProfilesDel->setIcon(SitePicture("remove"));
}

void TfmSiteManager::CreatePages()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    Notebook2 = new QStackedWidget(this);
    Notebook2->setObjectName(QStringLiteral("Notebook2"));
    Notebook2->addWidget(CreateSitesPage());
    Notebook2->addWidget(CreateAllItemsPage());
    Notebook2->addWidget(CreateSettingsPage());
    Notebook2->addWidget(CreateProfilesPage());
    layout->addWidget(Notebook2, 1);

    paBottom = new QWidget(this);
    paBottom->setObjectName(QStringLiteral("paBottom"));
    auto* bottom = new QHBoxLayout(paBottom);
    bottom->setContentsMargins(4, 4, 4, 4);
    ToolBar = new TTestToolbar(paBottom);
    auto glow = [this](const char* name) {
        auto* button = new TAdvGlowButton(paBottom);
        button->setObjectName(QLatin1String(name));
        button->setMinimumSize(96, 32);
        return button;
    };
    buSites = glow("buSites");
    buAllItems = glow("buAllItems");
    buSettings = glow("buSettings");
    buProfiles = glow("buProfiles");
    buUpdate = glow("buUpdate");
    buUpdate->setMinimumSize(150, 36);
    buUpdate->SetAction(acAutoUpdate);
    pmAutoUpdate = new QMenu(this);
    pmAutoUpdate->setObjectName(QStringLiteral("pmAutoUpdate"));
    FPageButtons = { buSites, buAllItems, buSettings, buProfiles };
    for (size_t i = 0; i < FPageButtons.size(); ++i)
        FPageButtons[i]->OnClick = [this, i](TAdvCustomGlowButton*) { SetPage(int(i)); };
    // The page buttons split the strips either side of the update button.
    ToolBar->addWidget(buSites);
    ToolBar->addWidget(buAllItems);
    bottom->addWidget(ToolBar);
    bottom->addStretch(1);
    bottom->addWidget(buUpdate);
    bottom->addStretch(1);
    bottom->addWidget(buSettings);
    bottom->addWidget(buProfiles);
    layout->addWidget(paBottom);
    connect(Notebook2, &QStackedWidget::currentChanged, this, [this] { Run([this] { Notebook2Change(); }); });
}

QWidget* TfmSiteManager::CreateSitesPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("Sites"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter = new QSplitter(Qt::Horizontal, page);
    layout->addWidget(Splitter);
    CreateSiteListPanel();
    CreateSitePanel();
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({ 280, 620 });
    ConnectSitesPage();
    return page;
}

void TfmSiteManager::CreateSiteListPanel()
{
    paLeft = new QWidget(Splitter);
    paLeft->setObjectName(QStringLiteral("paLeft"));
    auto* left = new QVBoxLayout(paLeft);
    left->setContentsMargins(0, 0, 0, 0);
    auto* siteBar = new QToolBar(paLeft);
    siteBar->setIconSize(QSize(16, 16));
    siteBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (QAction* a : { acDeleteSite, acViewRawXml, acUpdateSite, acSiteAdd, acSites })
        siteBar->addAction(a);
    left->addWidget(siteBar);
    lvSites = IconList(paLeft, "lvSites");
    lvSites->setViewMode(QListView::ListMode);
    left->addWidget(lvSites, 1);
    auto* counts = new QHBoxLayout;
    laNrSites = PlainTextLabel(paLeft);
    laNrSites->setObjectName(QStringLiteral("laNrSites"));
    laNrHidden = PlainTextLabel(paLeft);
    laNrHidden->setObjectName(QStringLiteral("laNrHidden"));
    auto* link = new TLinkLabel(paLeft);
    link->setObjectName(QStringLiteral("laHidden"));
    link->setCursor(Qt::PointingHandCursor);
    QPalette linkColour = link->palette();
    linkColour.setColor(QPalette::WindowText, linkColour.color(QPalette::Link));
    link->setPalette(linkColour);
    link->OnClick = [this] { Run([this] { laHiddenClick(); }); };
    laHidden = link;
    auto* sitesCaption = PlainTextLabel(paLeft);
    auto* hiddenCaption = PlainTextLabel(paLeft);
    FTexts.push_back({ sitesCaption, QT_TR_NOOP("Sites:") });
    FTexts.push_back({ hiddenCaption, QT_TR_NOOP("hidden,") });
    FTexts.push_back({ laHidden, QT_TR_NOOP("unhide") });
    counts->addWidget(sitesCaption);
    counts->addWidget(laNrSites);
    counts->addStretch(1);
    counts->addWidget(laNrHidden);
    counts->addWidget(hiddenCaption);
    counts->addWidget(laHidden);
    left->addLayout(counts);
}

void TfmSiteManager::CreateSitePanel()
{
    auto* right = new QWidget(Splitter);
    auto* rl = new QVBoxLayout(right);
    rl->setContentsMargins(4, 0, 0, 0);
    auto* top = new QHBoxLayout;
    laSite = PlainTextLabel(right);
    laSite->setObjectName(QStringLiteral("laSite"));
    QFont bold = laSite->font();
    bold.setBold(true);
    laSite->setFont(bold);
    top->addWidget(laSite, 1);
    auto* wizard = new QPushButton(right);
    wizard->setObjectName(QStringLiteral("buStartWizard"));
    connect(wizard, &QPushButton::clicked, acStartWizard, &QAction::trigger);
    connect(acStartWizard, &QAction::changed, wizard, [this, wizard] { wizard->setText(acStartWizard->text()); });
    wizard->setIcon(acStartWizard->icon());
    top->addWidget(wizard);
    rl->addLayout(top);

    CreateAccessPages(right);
    rl->addWidget(Notebook1);
    rl->addLayout(CreateSiteLists(right), 2);
    auto* itemsBar = new QToolBar(right);
    itemsBar->setIconSize(QSize(16, 16));
    itemsBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction* a : { acUpdateSelected, acSubscribeLocal, acSubscribePDA, acUnsubscribe })
        itemsBar->addAction(a);
    auto* itemsHead = new QHBoxLayout;
    itemsHead->addWidget(itemsBar, 1);
    paProfile = new QWidget(right);
    paProfile->setObjectName(QStringLiteral("paProfile"));
    auto* pp = new QHBoxLayout(paProfile);
    pp->setContentsMargins(0, 0, 0, 0);
    auto* profileLabel = PlainTextLabel(paProfile);
    FTexts.push_back({ profileLabel, QT_TR_NOOP("Profile:") });
    coProfiles = new QComboBox(paProfile);
    coProfiles->setObjectName(QStringLiteral("coProfiles"));
    pp->addWidget(profileLabel);
    pp->addWidget(coProfiles);
    itemsHead->addWidget(paProfile);
    rl->addLayout(itemsHead);
    lvItems = ReportList(right, "lvItems");
    lvItems->setColumnCount(5);
    lvItems->header()->setSectionsClickable(true);
    lvItems->setColumnWidth(0, 142);
    lvItems->setColumnWidth(3, 112);
    lvItems->setColumnWidth(4, 200);
    rl->addWidget(lvItems, 3);
    paNote = new QWidget(right);
    paNote->setObjectName(QStringLiteral("paNote"));
    auto* note = new QVBoxLayout(paNote);
    note->setContentsMargins(0, 0, 0, 0);
    meNote = new QPlainTextEdit(paNote);
    meNote->setObjectName(QStringLiteral("meNote"));
    meNote->setReadOnly(true);
    meNote->setMaximumHeight(70);
    note->addWidget(meNote);
    paNote->setVisible(false);
    rl->addWidget(paNote);
}

void TfmSiteManager::CreateAccessPages(QWidget* parent)
{
    Notebook1 = new QStackedWidget(parent);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    static const char* const accessTexts[] = {
        QT_TR_NOOP("This is a free AutoUpdate site from which you can start synchronizing poi's immediately."),
        QT_TR_NOOP("This AutoUpdate site requires you to register before you can synchronize its poi's. Enter the "
                   "username and password you registered with."),
        QT_TR_NOOP("Some poi's of this AutoUpdate site are only available to subscribers. Enter the username and "
                   "password of your subscription."),
        QT_TR_NOOP("This is a local site xml file, no username or password are required."),
    };
    static const char* const pageNames[] = { "Free", "Registered", "Subscribed", "Local" };
    for (int i = 0; i < 4; ++i) {
        auto* accessPage = new QWidget(Notebook1);
        accessPage->setObjectName(QLatin1String(pageNames[i]));
        auto* pl = new QHBoxLayout(accessPage);
        pl->setContentsMargins(0, 0, 0, 0);
        auto* text = PlainTextLabel(accessPage);
        text->setWordWrap(true);
        FTexts.push_back({ text, accessTexts[i] });
        FAccessTexts.push_back(text);
        pl->addWidget(text, 1);
        if (i == 1 || i == 2) {
            auto* password = new TAdvGlowButton(accessPage);
            password->SetAction(acPassword);
            password->setMinimumSize(150, 28);
            pl->addWidget(password);
        }
        if (i < 3) {
            auto* web = new TAdvGlowButton(accessPage);
            web->SetAction(actWebsite);
            web->setMinimumSize(110, 28);
            pl->addWidget(web);
        }
        Notebook1->addWidget(accessPage);
    }
}

QHBoxLayout* TfmSiteManager::CreateSiteLists(QWidget* right)
{
    auto* lists = new QHBoxLayout;
    auto listWithView = [&](QListWidget*& list, const char* name, const char* caption, QMenu*& menu) {
        auto* box = new QVBoxLayout;
        auto* head = new QHBoxLayout;
        auto* label = PlainTextLabel(right);
        FTexts.push_back({ label, caption });
        head->addWidget(label, 1);
        list = IconList(right, name);
        menu = CreateViewMenu(list);
        auto* view = new QPushButton(right);
        view->setIcon(SitePicture("view-style"));
        view->setFlat(true);
        view->setMenu(menu);
        head->addWidget(view);
        box->addLayout(head);
        box->addWidget(list);
        lists->addLayout(box);
        connect(list, &QWidget::customContextMenuRequested, list, [list, menu](const QPoint& at) {
            // A right-button release over a row selects it first.
            if (QListWidgetItem* row = list->itemAt(at))
                list->setCurrentItem(row);
            menu->popup(list->viewport()->mapToGlobal(at));
        });
    };
    listWithView(lvMaps, "lvMaps", QT_TR_NOOP("Map/Country name"), pmMapsView);
    listWithView(lvGroups, "lvGroups", QT_TR_NOOP("Group name"), pmGroupsView);
    return lists;
}

void TfmSiteManager::ConnectSitesPage()
{
    // A site is chosen by selecting it: the row the list makes current on its own (when it gets
    // the focus) asks nothing.
    connect(lvSites, &QListWidget::itemSelectionChanged, this, [this] { Run([this] { lvSitesChange(); }); });
    // A click that chose the site has shown it already (and said so once when it did not load).
    FSitesViewport = lvSites->viewport();
    FSitesViewport->installEventFilter(this);
    connect(lvSites, &QListWidget::itemClicked, this, [this] {
        if (SelectedSite() == FSiteBeforePress)
            Run([this] { ShowSite(false); });
    });
    connect(lvSites, &QListWidget::itemDoubleClicked, acUpdateSite, &QAction::trigger);
    connect(lvMaps, &QListWidget::currentRowChanged, this, [this] { Run([this] { lvMapsChange(); }); });
    connect(lvGroups, &QListWidget::currentRowChanged, this, [this] { Run([this] { lvGroupsChange(); }); });
    connect(lvItems, &QTreeWidget::itemSelectionChanged, this, [this] { Run([this] { lvItemsChange(); }); });
    connect(lvItems, &QTreeWidget::itemDoubleClicked, this, [this] { Run([this] { ItemsDoubleClick(false); }); });
    connect(lvItems->header(), &QHeaderView::sectionClicked, this,
        [this](int column) { Run([this, column] { ItemsHeaderClick(column); }); });
    connect(coProfiles, qOverload<int>(&QComboBox::activated), this,
        [this](int entry) { Run([this, entry] { ProfileChosen(entry); }); });
}

QWidget* TfmSiteManager::CreateAllItemsPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("AllItems"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* head = new QHBoxLayout;
    auto* bar = new QToolBar(page);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction* a : { acSubUpdate, acSubUnsub, acToPocketTarvell })
        bar->addAction(a);
    head->addWidget(bar, 1);
    paProfileAll = new QWidget(page);
    paProfileAll->setObjectName(QStringLiteral("paProfileAll"));
    auto* pp = new QHBoxLayout(paProfileAll);
    pp->setContentsMargins(0, 0, 0, 0);
    auto* label = PlainTextLabel(paProfileAll);
    FTexts.push_back({ label, QT_TR_NOOP("Profile:") });
    coProfilesAllItems = new QComboBox(paProfileAll);
    coProfilesAllItems->setObjectName(QStringLiteral("coProfilesAllItems"));
    pp->addWidget(label);
    pp->addWidget(coProfilesAllItems);
    head->addWidget(paProfileAll);
    layout->addLayout(head);
    lvSubscribed = ReportList(page, "lvSubscribed");
    lvSubscribed->setColumnCount(5);
    lvSubscribed->setColumnWidth(0, 160);
    lvSubscribed->setColumnWidth(1, 200);
    layout->addWidget(lvSubscribed, 1);
    connect(lvSubscribed, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    connect(lvSubscribed, &QTreeWidget::itemDoubleClicked, this, [this] { Run([this] { ItemsDoubleClick(true); }); });
    connect(coProfilesAllItems, qOverload<int>(&QComboBox::activated), this,
        [this](int entry) { Run([this, entry] { ProfileChosen(entry); }); });
    return page;
}

QWidget* TfmSiteManager::CreateSettingsPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("Settings"));
    auto* grid = new QGridLayout(page);
    auto check = [&](QCheckBox*& box, const char* name, const char* caption) {
        box = new QCheckBox(page);
        box->setObjectName(QLatin1String(name));
        FTexts.push_back({ box, caption });
        return box;
    };
    int row = 0;
    grid->addWidget(check(cbDownloadImages, "cbDownloadImages", QT_TR_NOOP("Download Images")), row++, 0, 1, 3);
    grid->addWidget(check(cbAlwaysOverwrite, "cbAlwaysOverwrite", QT_TR_NOOP("Always overwrite")), row++, 0, 1, 3);
    grid->addWidget(check(cbAutoclose, "cbAutoclose", QT_TR_NOOP("Autoclose Status Window")), row++, 0, 1, 3);

    grid->addWidget(check(cbAutoUpdateApplication, "cbAutoUpdateApplication",
                        QT_TR_NOOP("After AutoUpdate start this application:")),
        row++, 0, 1, 3);
    edAutoUpdateApplication = new QLineEdit(page);
    edAutoUpdateApplication->setObjectName(QStringLiteral("edAutoUpdateApplication"));
    FApplicationBrowse = SiteBrowseButton(page);
    grid->addWidget(edAutoUpdateApplication, row, 0, 1, 2);
    grid->addWidget(FApplicationBrowse, row++, 2);
    auto* paramsLabel = PlainTextLabel(page);
    FTexts.push_back({ paramsLabel, QT_TR_NOOP("Parameters:") });
    edAutoUpdateAppParams = new QLineEdit(page);
    edAutoUpdateAppParams->setObjectName(QStringLiteral("edAutoUpdateAppParams"));
    grid->addWidget(paramsLabel, row, 0);
    grid->addWidget(edAutoUpdateAppParams, row++, 1, 1, 2);

    auto* delayLabel = PlainTextLabel(page);
    FTexts.push_back({ delayLabel, QT_TR_NOOP("Delay time:") });
    auto* delay = new QHBoxLayout;
    edAutoUpdateDelay = new QLineEdit(page);
    edAutoUpdateDelay->setObjectName(QStringLiteral("edAutoUpdateDelay"));
    edAutoUpdateDelay->setMaximumWidth(50);
    udAutoUpdateDelay = new QScrollBar(Qt::Vertical, page);
    udAutoUpdateDelay->setObjectName(QStringLiteral("udAutoUpdateDelay"));
    udAutoUpdateDelay->setRange(0, 60);
    // An up-down: the upper arrow counts up.
    udAutoUpdateDelay->setInvertedAppearance(true);
    udAutoUpdateDelay->setInvertedControls(true);
    udAutoUpdateDelay->setFixedHeight(edAutoUpdateDelay->sizeHint().height());
    auto* secs = PlainTextLabel(page);
    FTexts.push_back({ secs, QT_TR_NOOP("secs") });
    delay->addWidget(edAutoUpdateDelay);
    delay->addWidget(udAutoUpdateDelay);
    delay->addWidget(secs);
    delay->addStretch(1);
    grid->addWidget(delayLabel, row, 0);
    grid->addLayout(delay, row++, 1, 1, 2);

    grid->addWidget(check(cbAlternateDir, "cbAlternateDir",
                        QT_TR_NOOP("Pocket Tarvell is installed to an alternate installation directory")),
        row++, 0, 1, 3);
    auto* altLabel = PlainTextLabel(page);
    FTexts.push_back({ altLabel, QT_TR_NOOP("Alternate directory:") });
    edAlternateDir = new QLineEdit(page);
    edAlternateDir->setObjectName(QStringLiteral("edAlternateDir"));
    FAlternateBrowse = SiteBrowseButton(page);
    grid->addWidget(altLabel, row, 0);
    grid->addWidget(edAlternateDir, row, 1);
    grid->addWidget(FAlternateBrowse, row++, 2);

    grid->addWidget(check(cbUponDeviceConnect, "cbUponDeviceConnect", QT_TR_NOOP("Update upon ActiveSync connect")),
        row++, 0, 1, 3);
    grid->addWidget(check(cbUpdateUSB, "cbUpdateUSB", QT_TR_NOOP("Update upon USB connect")), row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    ConnectSettingsPage();
    return page;
}

void TfmSiteManager::ConnectSettingsPage()
{
    connect(cbDownloadImages, &QCheckBox::clicked, this, [](bool on) { GetSettings().DownloadImages = on; });
    connect(cbAlwaysOverwrite, &QCheckBox::clicked, this, [](bool on) { GetSettings().AlwaysOverwrite = on; });
    connect(cbAutoclose, &QCheckBox::clicked, this, [](bool on) { GetSettings().StatusAutoClose = on; });
    connect(cbAutoUpdateApplication, &QCheckBox::clicked, this,
        [](bool on) { GetSettings().AutoUpdateApplicationEnabled = on; });
    connect(edAutoUpdateApplication, &QLineEdit::textEdited, this,
        [](const QString& text) { GetSettings().AutoUpdateApplication = text; });
    connect(edAutoUpdateApplication, &QLineEdit::editingFinished, this,
        [this] { Run([this] { edAutoUpdateApplicationExit(); }); });
    connect(FApplicationBrowse, &QPushButton::clicked, this, [this] { Run([this] { edAutoUpdateApplicationBrowse(); }); });
    connect(edAutoUpdateAppParams, &QLineEdit::textEdited, this,
        [](const QString& text) { GetSettings().AutoUpdateAppParams = text; });
    connect(udAutoUpdateDelay, &QScrollBar::valueChanged, this, [this](int value) {
        edAutoUpdateDelay->setText(QString::number(value));
        GetSettings().AutoUpdateDelay = value;
    });
    connect(edAutoUpdateDelay, &QLineEdit::editingFinished, this, [this] { Run([this] { edAutoUpdateDelayExit(); }); });
    connect(cbAlternateDir, &QCheckBox::clicked, this, [this] { Run([this] { cbAlternateDirClick(); }); });
    connect(edAlternateDir, &QLineEdit::textChanged, this,
        [](const QString& text) { GetSettings().HTVAlternateDir = text; });
    connect(FAlternateBrowse, &QPushButton::clicked, this, [this] { Run([this] { edAlternateDirBrowse(); }); });
    connect(cbUponDeviceConnect, &QCheckBox::clicked, this,
        [this](bool on) { Run([this, on] { UponConnectClick(TConnectKind::ActiveSync, on); }); });
    connect(cbUpdateUSB, &QCheckBox::clicked, this, [this](bool on) { Run([this, on] { UponConnectClick(TConnectKind::USB, on); }); });
}

QWidget* TfmSiteManager::CreateProfilesPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("Profiles"));
    auto* layout = new QVBoxLayout(page);
    auto* bar = new QToolBar(page);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(acProfilesAdd);
    bar->addAction(acProfilesDel);
    layout->addWidget(bar);
    lvProfiles = ReportList(page, "lvProfiles");
    lvProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lvProfiles->setColumnCount(3);
    lvProfiles->setColumnWidth(0, 200);
    layout->addWidget(lvProfiles, 1);
    cbIncludeAUC = new QCheckBox(page);
    cbIncludeAUC->setObjectName(QStringLiteral("cbIncludeAUC"));
    FTexts.push_back({ cbIncludeAUC, QT_TR_NOOP("Include in update ActiveSync connect") });
    cbIncludeUSB = new QCheckBox(page);
    cbIncludeUSB->setObjectName(QStringLiteral("cbIncludeUSB"));
    FTexts.push_back({ cbIncludeUSB, QT_TR_NOOP("Include in update USB connect") });
    layout->addWidget(cbIncludeAUC);
    layout->addWidget(cbIncludeUSB);
    cbIncludeAUC->setEnabled(false);
    cbIncludeUSB->setEnabled(false);
    connect(lvProfiles, &QTreeWidget::itemSelectionChanged, this, [this] { Run([this] { lvProfilesChange(); }); });
    connect(cbIncludeAUC, &QCheckBox::clicked, this, [this] { Run([this] { IncludeClick(true); }); });
    connect(cbIncludeUSB, &QCheckBox::clicked, this, [this] { Run([this] { IncludeClick(false); }); });
    return page;
}

void TfmSiteManager::Retranslate()
{
    setWindowTitle(tr("Tarvell AutoUpdate Manager..."));
    ApplyTexts("TfmSiteManager", FTexts);
    auto set = [](QAction* action, const QString& caption, const QString& hint) {
        action->setText(caption);
        action->setToolTip(hint);
        action->setStatusTip(hint);
    };
    set(acUpdateSite, tr("Update"),
        tr("Checks if there is an updated poi list available from the selected poi site and downloads it if "
           "neccessary."));
    set(acDeleteSite, tr("Del"), tr("Delete or hide the selected site from the list and unsubscribe from all it's items"));
    set(acSiteAdd, tr("Add"), tr("Add a site manually"));
    set(acViewRawXml, tr("View"), tr("View the raw XML contents of the site description file"));
    set(acSites, tr("Status"),
        tr("Check the online list of sites for their status and to check if there are new poi sites available."));
    set(actWebsite, tr("Visit Website"), tr("Go to the information page of the poi site"));
    set(acPassword, tr("Set/Change password"),
        tr("Set or change the password required to download items from the selected site"));
    set(acStartWizard, tr("Start AutoUpdate Wizard"), tr("Start AutoUpdate Wizard"));
    set(acAutoUpdate, tr("AutoUpdate Now"), tr("Auto Update all pois that are configured to do so"));
    set(acSitesSelectAll, tr("Select All"), tr("Select all items"));
    set(acUpdateSelected, tr("Update Sel."), tr("AutoUpdate the selected items now"));
    set(acSubscribeLocal, tr("Local"), tr("AutoUpdate the selected items to a location on this computer"));
    set(acSubscribePDA, tr("ActiveSync"),
        tr("AutoUpdate the selected items to files on an ActiveSync device (PDA, Smartphone)"));
    set(acUnsubscribe, tr("Unsubscribe"), tr("Remove AutoUpdate from the selected items"));
    set(acSubUpdate, tr("Update Selection"), tr("Auto Update the selected item(s)"));
    set(acSubUnsub, tr("Unsubscribe"), tr("Remove Auto Update from the selected item(s)"));
    set(acToPocketTarvell, tr("Selected to Pocket Tarvell"),
        tr("Send the selected AutoUpdate item settings to Pocket\nTarvell on your Mobile Device."));
    set(acProfilesAdd, tr("Add"), tr("Add a profile"));
    set(acProfilesDel, tr("Delete"), tr("Delete the selected profile"));
    buSites->SetCaption(tr("Sites"));
    buAllItems->SetCaption(tr("All Items"));
    buSettings->SetCaption(tr("Settings"));
    buProfiles->SetCaption(tr("Profiles"));
    lvItems->setHeaderLabels({ tr("Name"), tr("Map"), tr("Auth"), tr("Last update"), tr("Target") });
    lvSubscribed->setHeaderLabels({ tr("Name"), tr("Site"), tr("Map"), tr("Last update"), tr("Target") });
    lvProfiles->setHeaderLabels({ tr("Name"), tr("Act"), tr("Usb") });
    for (QMenu* menu : { pmMapsView, pmGroupsView }) {
        const QList<QAction*> items = menu->actions();
        items[0]->setText(tr("Icons"));
        items[1]->setText(tr("List"));
        items[2]->setText(tr("Details"));
    }
    UpdateActions();
}

void TfmSiteManager::PlaceWindow()
{
    const TSettings& settings = GetSettings();
    if (settings.SiteManagerMaximized) {
        setWindowState(Qt::WindowMaximized);
    } else {
        if (settings.SiteManagerLeft != -1 && settings.SiteManagerTop != -1)
            move(settings.SiteManagerLeft, settings.SiteManagerTop);
        else if (settings.SiteManagerLeft != -1)
            move(settings.SiteManagerLeft, y());
        else if (settings.SiteManagerTop != -1)
            move(x(), settings.SiteManagerTop);
        if (settings.SiteManagerLeft != -1 || settings.SiteManagerTop != -1)
            Position = TFormPosition::poDesigned;
        QScreen* screen = QGuiApplication::screenAt(geometry().center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        int w = width();
        int h = height();
        if (settings.SiteManagerWidth != -1)
            w = std::min(settings.SiteManagerWidth, work.right() + 1 - x());
        if (settings.SiteManagerHeight != -1)
            h = std::min(settings.SiteManagerHeight, work.bottom() + 1 - y());
        resize(std::max(w, minimumWidth()), std::max(h, minimumHeight()));
    }
}

void TfmSiteManager::ApplyLeftPanel()
{
    const int stored = GetSettings().SiteManagerLeftPanel;
    if (stored == -1)
        return;
    // Clamped against the laid-out window: before the first show the splitter has no width yet.
    layout()->activate();
    const int left = std::min(stored, int(std::lround(width() * 0.75)));
    const int total = Splitter->width() - Splitter->handleWidth();
    Splitter->setSizes({ left, std::max(1, total - left) });
}

int TfmSiteManager::Page() const
{
    return Notebook2->currentIndex();
}

void TfmSiteManager::SetPage(int page)
{
    if (page == Notebook2->currentIndex())
        Run([this] { Notebook2Change(); });
    else
        Notebook2->setCurrentIndex(page);
}

void TfmSiteManager::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    if (!std::exchange(FLeftPanelApplied, true))
        ApplyLeftPanel();
    if (!FSitesShown)
        Run([this] { Notebook2Change(); });
}

void TfmSiteManager::Notebook2Change()
{
    for (size_t i = 0; i < FPageButtons.size(); ++i) {
        // The current page's button is opaque, the others let the panel show through.
        FPageButtons[i]->Transparent = int(i) != Page();
        FPageButtons[i]->update();
    }
    switch (Page()) {
    case PageSites:
        if (!FSitesShown) {
            FSitesShown = true;
            FillSiteList();
        } else {
            ShowSiteItems();
        }
        break;
    case PageAllItems:
        FillAllItems();
        break;
    case PageSettings:
        LoadSettingsPage();
        break;
    default:
        break;
    }
}

// --- sites ------------------------------------------------------------------------------------

void TfmSiteManager::FillSiteList()
{
    TSettings& settings = GetSettings();
    {
        const TFlagScope filling(FFilling);
        {
            const QSignalBlocker block(lvSites);
            lvSites->clear();
            for (const QString& site : settings.GetVisibleSites())
                new QListWidgetItem(SiteRowPicture(site), site, lvSites);
            lvSites->clearSelection();
        }
        FLastSite = -2;
        const int wanted = FindListItem(*lvSites->model(), settings.SiteManagerUrl);
        if (wanted >= 0) {
            lvSites->setCurrentRow(wanted);
            lvSites->scrollToItem(lvSites->item(wanted));
        } else {
            lvSitesChange();
        }
    }
    // The map and group of the last visit (or the wizard's hand-over).
    if (lvMaps->count() > 0) {
        const int map = FindListItem(*lvMaps->model(), settings.SiteManagerMap);
        if (map >= 0)
            lvMaps->setCurrentRow(map);
    }
    const int group = FindListItem(*lvGroups->model(), settings.SiteManagerGroup);
    if (group >= 0)
        lvGroups->setCurrentRow(group);
    laNrSites->setText(QChar(' ') + QString::number(lvSites->count()));
    laNrHidden->setText(QString::number(settings.HiddenSites.size()) + QChar(' '));
}

void TfmSiteManager::lvSitesChange()
{
    const QList<QListWidgetItem*> selected = lvSites->selectedItems();
    const int index = selected.isEmpty() ? -1 : lvSites->row(selected.first());
    if (index == FLastSite)
        return;
    FLastSite = index;
    FLastMap = -1;
    const QString site = SelectedSite();
    if (FFilling || site.isEmpty()) {
        ShowSite(false);
        return;
    }
    const QString cached = LocationToLocalFile(site);
    const bool present = QFileInfo(cached).isFile();
    if (!IsHttpUrl(site)) {
        if (!present)
            ShowWarning(this,
                tr("File %1 does no longer exist. Please restore it or remove it from the AutoUpdate Manager site list")
                    .arg(StripUrlCredentials(StripFilePrefix(site))));
        ShowSite(false);
    } else if (present) {
        ShowSite(false);
    } else if (::AskYesNo(this,
                   tr("Site information of %1 has not yet been downloaded. Do you want to download it now?")
                       .arg(StripUrlCredentials(site)))
        == IDYES) {
        acUpdateSiteExecute();
    } else {
        ShowSite(false);
    }
}

void TfmSiteManager::ShowSite(bool reload)
{
    const QString location = SelectedSite();
    // Until the catalogue has loaded no site is shown: a failure leaves the lists empty, never
    // the previous site's under the new title.
    FSite = nullptr;
    for (QWidget* list : std::initializer_list<QWidget*> { lvMaps, lvGroups, lvItems, meNote })
        list->setEnabled(false);
    {
        const QSignalBlocker maps(lvMaps);
        const QSignalBlocker groups(lvGroups);
        lvMaps->clear();
        lvGroups->clear();
        lvItems->clear();
        FGroupRows.clear();
    }
    FLastMap = -1;
    FLastGroup = -1;
    meNote->clear();
    paNote->setVisible(false);
    Notebook1->setVisible(false);
    if (location.isEmpty()) {
        laSite->setText(tr("No site selected"));
        UpdateActions();
        return;
    }
    laSite->setText(StripUrlCredentials(location));
    UpdateActions();
    TSite* site = &GetSite(location);
    if (reload)
        site->LoadFromCache();
    FSite = site;
    const bool hasCountries = FSite->Countries.Count() > 0;
    for (QWidget* list : std::initializer_list<QWidget*> { lvMaps, lvGroups, lvItems, meNote })
        list->setEnabled(hasCountries);
    Notebook1->setVisible(true);
    Notebook1->setCurrentIndex(IsHttpUrl(FSite->Location) ? std::min<int>(FSite->MaxAccessLevel(), 2) : 3);
    for (int i = 0; i < FSite->Countries.Count(); ++i)
        new QListWidgetItem(SitePicture("map"), CountryCaption(FSite->Countries[i]), lvMaps);
    if (lvMaps->count() > 0)
        lvMaps->setCurrentRow(0);
    UpdateActions();
}

const TCountry* TfmSiteManager::SelectedCountry() const
{
    const int map = lvMaps->currentRow();
    if (!FSite || map < 0 || map >= FSite->Countries.Count())
        return nullptr;
    return &FSite->Countries[map];
}

void TfmSiteManager::lvMapsChange()
{
    const int index = lvMaps->currentRow();
    if (index == FLastMap)
        return;
    FLastMap = index;
    const TCountry* country = SelectedCountry();
    lvGroups->setEnabled(country != nullptr);
    {
        const QSignalBlocker block(lvGroups);
        lvGroups->clear();
        FGroupRows.clear();
    }
    FLastGroup = -1;
    if (!country) {
        ShowSiteItems();
        return;
    }
    FGroupRows = GroupRows(*FSite, *country);
    for (const TGroupRow& row : FGroupRows)
        new QListWidgetItem(SitePicture("group"), row.Caption, lvGroups);
    lvGroups->setCurrentRow(0);
}

void TfmSiteManager::lvGroupsChange()
{
    const int index = lvGroups->currentRow();
    if (index == FLastGroup)
        return;
    FLastGroup = index;
    ShowSiteItems();
}

void TfmSiteManager::ShowSiteItems()
{
    const int group = lvGroups->currentRow();
    const TCountry* country = SelectedCountry();
    const bool enabled = country && group >= 0 && group < int(FGroupRows.size());
    lvItems->setEnabled(enabled);
    meNote->clear();
    QSet<QString> selected;
    for (const QTreeWidgetItem* item : lvItems->selectedItems())
        selected.insert(item->data(1, Qt::UserRole).toString());
    const QString current
        = lvItems->currentItem() ? lvItems->currentItem()->data(1, Qt::UserRole).toString() : QString();
    {
        const QSignalBlocker block(lvItems);
        lvItems->clear();
        if (enabled) {
            // Added and selected in one go each: row by row, a catalogue of 100,000 POIs took minutes.
            QList<QTreeWidgetItem*> added;
            QTreeWidgetItem* currentItem = nullptr;
            std::vector<std::pair<int, int>> selectedRows;
            const QIcon subscribedIcon = SitePicture("subscribed");
            const QIcon documentIcon = SitePicture("document");
            for (const TSiteItemRow& row :
                SiteItemRows(*FSite, *country, FGroupRows[size_t(group)], FSortMark, CurrentProfile())) {
                auto* item
                    = new QTreeWidgetItem(QStringList { row.Caption, row.Map, row.Auth, row.LastUpdate, row.Target });
                item->setIcon(0, row.Subscribed ? subscribedIcon : documentIcon);
                item->setData(0, RoleFileExt, row.FileExt);
                item->setData(0, RoleFormatID, row.FormatID);
                item->setData(0, RoleItem, row.Subscribed);
                // Captions are the POIs' own texts: a line break shows as a blank.
                item->setText(0, QString(row.Caption).replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' ')));
                item->setData(1, Qt::UserRole, row.Caption);
                const int index = int(added.size());
                if (selected.contains(row.Caption)) {
                    if (!selectedRows.empty() && selectedRows.back().second == index - 1)
                        selectedRows.back().second = index;
                    else
                        selectedRows.emplace_back(index, index);
                }
                if (row.Caption == current)
                    currentItem = item;
                added << item;
            }
            lvItems->addTopLevelItems(added);
            if (currentItem)
                lvItems->setCurrentItem(currentItem, 0, QItemSelectionModel::NoUpdate);
            QItemSelection selection;
            for (const auto& [first, last] : selectedRows)
                selection.append(
                    QItemSelectionRange(lvItems->model()->index(first, 0), lvItems->model()->index(last, 0)));
            lvItems->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    lvItems->headerItem()->setIcon(0,
        FSortMark == TSortMark::None         ? QIcon()
            : FSortMark == TSortMark::ByName ? SitePicture("sort-by-name")
                                             : SitePicture("subscribed"));
    lvItemsChange();
}

void TfmSiteManager::lvItemsChange()
{
    if (FClosing)
        return;
    const bool any = !lvItems->selectedItems().isEmpty();
    paNote->setVisible(any);
    QString note;
    QTreeWidgetItem* item = lvItems->currentItem();
    if (!item || !item->isSelected())
        item = any ? lvItems->selectedItems().first() : nullptr;
    if (item && item->data(0, RoleItem).toBool())
        if (const TCountry* country = SelectedCountry())
            note = PoiNoteText(*country, item->data(1, Qt::UserRole).toString());
    meNote->setPlainText(note);
    UpdateActions();
}

void TfmSiteManager::ItemsHeaderClick(int column)
{
    if (column != 0)
        return;
    FSortMark = NextSortMark(FSortMark);
    ShowSiteItems();
}

QString TfmSiteManager::SelectedSite() const
{
    const QList<QListWidgetItem*> selected = lvSites->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

TUpdateItems& TfmSiteManager::CurrentProfile() const
{
    const QString& name = GetSettings().SelectedProfile;
    return AutoUpdateProfileExists(name) ? FindAutoUpdateProfile(name) : GetAutoUpdateProfile(0);
}

void TfmSiteManager::acUpdateSiteExecute()
{
    const QString site = SelectedSite();
    if (site.isEmpty() || IsFilePath(site))
        return;
    TSiteXmlUpdater updater(this);
    updater.Force = true;
    try {
        updater.Update(site);
    } catch (const ETarvellError&) {
        // The site chosen is shown as its cached copy has it (the refused answer changed nothing);
        // the download's error is the one the user sees.
        try {
            ShowSite(false);
        } catch (const ETarvellError&) {
        }
        throw;
    }
    ShowSite(true);
}

void TfmSiteManager::acDeleteSiteExecute()
{
    const QString site = SelectedSite();
    if (site.isEmpty())
        return;
    TSettings& settings = GetSettings();
    const bool builtIn = BuiltInSites().contains(site, Qt::CaseInsensitive);
    const QString question = builtIn
        ? tr("Are you sure you want to hide this site and remove all of its AutoUpdate items?")
        : tr("Are you sure you want to remove this site and all it AutoUpdate items?");
    if (::AskYesNo(this, question) != IDYES)
        return;
    RemoveSiteFromAllProfiles(site);
    if (builtIn) {
        if (!settings.HiddenSites.contains(site, Qt::CaseInsensitive))
            settings.HiddenSites.append(site);
    } else {
        for (qsizetype i = settings.Sites.size() - 1; i >= 0; --i)
            if (SameText(settings.Sites[i], site))
                settings.Sites.removeAt(i);
    }
    FillSiteList();
}

void TfmSiteManager::acSiteAddExecute()
{
    TfmAddSite dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString location = dialog.Location().trimmed();
    // The item lines keep the site location as it is: a "|" would split it.
    if (location.contains(QChar('|')))
        throw EUserError(tr("A site location cannot contain \"|\""));
    TSettings& settings = GetSettings();
    if (settings.Sites.contains(location, Qt::CaseInsensitive) || FindListItem(*lvSites->model(), location) >= 0)
        throw EUserError(tr("This url already exists in the site list"));
    settings.Sites.append(location);
    auto* row = new QListWidgetItem(SiteRowPicture(location), location, lvSites);
    lvSites->setCurrentItem(row, QItemSelectionModel::ClearAndSelect);
    laNrSites->setText(QChar(' ') + QString::number(lvSites->count()));
}

void TfmSiteManager::acViewRawXmlExecute()
{
    const QString site = SelectedSite();
    if (site.isEmpty())
        return;
    const QString file = LocationToLocalFile(site);
    if (!QFileInfo(file).isFile())
        throw EUserError(tr("Cannot find the site xml index file"));
    TfmTextViewer viewer(this, StripUrlCredentials(site), FileText(LoadBytesFromFile(file)));
    viewer.exec();
}

void TfmSiteManager::actWebsiteExecute()
{
    if (FSite)
        OpenWebPage(FSite->InfoUrl);
}

void TfmSiteManager::acPasswordExecute()
{
    const QString site = FSite ? FSite->Location : SelectedSite();
    if (site.isEmpty())
        return;
    TfmPassword dialog(this, FSite ? FSite->LoginMode : QString());
    dialog.SetCredentials(ReadSiteConfig(site, QStringLiteral("Username")), ReadSitePassword(site));
    if (dialog.exec() != QDialog::Accepted)
        return;
    WriteSiteConfig(site, QStringLiteral("Username"), dialog.Username());
    WriteSitePassword(site, dialog.Password());
}

void TfmSiteManager::laHiddenClick()
{
    TSettings& settings = GetSettings();
    if (settings.HiddenSites.isEmpty()) {
        ShowInfo(this, tr("No hidden sites to show!"));
        return;
    }
    if (::AskYesNo(this, tr("Are you sure you want to show all hidden sites?")) != IDYES)
        return;
    settings.HiddenSites.clear();
    FillSiteList();
}

void TfmSiteManager::acAutoUpdateExecute()
{
    std::vector<TProfileMenuInfo> profiles;
    for (int i = 0; i < AutoUpdateProfileCount(); ++i)
        profiles.push_back({ GetAutoUpdateProfileName(i), GetAutoUpdateProfile(i).Count() > 0 });
    if (profiles.size() <= 1) {
        auto run = [this] { RunAutoUpdateAll(this, false, false); };
        if (FHost)
            FHost->RunUpdate(run);
        else
            run();
        RefreshItems();
        return;
    }
    BuildAutoUpdateMenu(pmAutoUpdate, profiles, true, [this](QAction* item) {
        if (FHost)
            FHost->AutoUpdateProfileClick(item);
        RefreshItems();
    });
    pmAutoUpdate->popup(buUpdate->mapToGlobal(QPoint(0, buUpdate->height())));
}

void TfmSiteManager::acSitesSelectAllExecute()
{
    if (Page() == PageSites)
        lvItems->selectAll();
    else if (Page() == PageAllItems)
        lvSubscribed->selectAll();
}

// --- items ------------------------------------------------------------------------------------

std::vector<TSubscribeRow> TfmSiteManager::SelectedSiteRows() const
{
    std::vector<TSubscribeRow> rows;
    const TCountry* country = SelectedCountry();
    if (!FSite || !country)
        return rows;
    const TPoiItems subscribed(CurrentProfile(), FSite->Location);
    for (int i = 0; i < lvItems->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvItems->topLevelItem(i);
        if (!item->isSelected())
            continue;
        TSubscribeRow row;
        row.Site = FSite->Location;
        row.Description = item->data(1, Qt::UserRole).toString();
        row.Map = country->CountryName;
        row.FileExt = item->data(0, RoleFileExt).toString();
        row.FormatID = item->data(0, RoleFormatID).toString();
        row.Item = subscribed.First(row.Description);
        rows.push_back(row);
    }
    return rows;
}

std::vector<TUpdateItem*> TfmSiteManager::SelectedSiteItems() const
{
    std::vector<TUpdateItem*> items;
    if (!FSite)
        return items;
    const TPoiItems subscribed(CurrentProfile(), FSite->Location);
    for (int i = 0; i < lvItems->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvItems->topLevelItem(i);
        if (item->isSelected())
            for (TUpdateItem* found : subscribed.Of(item->data(1, Qt::UserRole).toString()))
                items.push_back(found);
    }
    return items;
}

std::vector<TUpdateItem*> TfmSiteManager::SelectedAllItems() const
{
    std::vector<TUpdateItem*> items;
    const TUpdateItems& profile = CurrentProfile();
    QSet<const TUpdateItem*> inProfile;
    for (int i = 0; i < profile.Count(); ++i)
        inProfile.insert(&profile.GetItem(i));
    for (int i = 0; i < lvSubscribed->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvSubscribed->topLevelItem(i);
        auto* item = reinterpret_cast<TUpdateItem*>(row->data(0, RoleItem).value<quintptr>());
        // A row refers to its own item; one that is no longer in the profile is left alone.
        if (row->isSelected() && inProfile.contains(item))
            items.push_back(item);
    }
    return items;
}

void TfmSiteManager::Subscribe(TTargetKind kind)
{
    const std::vector<TSubscribeRow> rows = SelectedSiteRows();
    if (rows.empty())
        return;
    // Whatever happens, the list shows the profile as it is now (a failed check reloads it).
    struct TRefresh {
        TfmSiteManager* F;
        ~TRefresh() { F->ShowSiteItems(); }
    } refresh { this };
    SubscribeRows(CurrentProfile(), rows, kind, *this);
}

void TfmSiteManager::ItemsDoubleClick(bool allItems)
{
    QStringList targets;
    std::vector<TSubscribeRow> rows;
    if (allItems) {
        for (TUpdateItem* item : SelectedAllItems()) {
            targets << item->Target;
            rows.push_back({ item, item->Site, item->Description, item->Map, LocationExtension(item->Target),
                item->FormatID });
        }
    } else {
        rows = SelectedSiteRows();
        for (const TSubscribeRow& row : rows)
            targets << (row.Item ? row.Item->Target : QString());
    }
    if (rows.empty())
        return;
    const TTargetKind kind = DoubleClickTarget(targets);
    struct TRefresh {
        TfmSiteManager* F;
        bool AllItems;
        ~TRefresh() { AllItems ? F->FillAllItems() : F->ShowSiteItems(); }
    } refresh { this, allItems };
    SubscribeRows(CurrentProfile(), rows, kind, *this);
}

void TfmSiteManager::acUnsubscribeExecute()
{
    if (UnsubscribeItems(CurrentProfile(), SelectedSiteItems(), *this))
        ShowSiteItems();
}

void TfmSiteManager::RunItems(const std::vector<TUpdateItem*>& items)
{
    if (items.empty())
        return;
    const std::unique_ptr<TUpdateItems> list = RunListOf(items);
    auto run = [this, &list] { RunAutoUpdate(this, false, *list, false); };
    if (FHost)
        FHost->RunUpdate(run);
    else
        run();
}

void TfmSiteManager::acUpdateSelectedExecute()
{
    RunItems(SelectedSiteItems());
    ShowSiteItems();
}

void TfmSiteManager::acSubUpdateExecute()
{
    RunItems(SelectedAllItems());
    FillAllItems();
}

void TfmSiteManager::acSubUnsubExecute()
{
    if (UnsubscribeItems(CurrentProfile(), SelectedAllItems(), *this))
        FillAllItems();
}

void TfmSiteManager::FillAllItems()
{
    const QSignalBlocker block(lvSubscribed);
    lvSubscribed->clear();
    QList<QTreeWidgetItem*> added;
    const QIcon subscribedIcon = SitePicture("subscribed");
    for (const TAllItemsRow& row : AllItemsRows(CurrentProfile())) {
        auto* item = new QTreeWidgetItem(QStringList { row.Caption, row.Site, row.Map, row.LastUpdate, row.Target });
        item->setText(0, QString(row.Caption).replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' ')));
        item->setIcon(0, subscribedIcon);
        item->setData(0, RoleItem, QVariant::fromValue(quintptr(row.Item)));
        added << item;
    }
    lvSubscribed->addTopLevelItems(added);
    UpdateActions();
}

void TfmSiteManager::RefreshItems()
{
    if (Page() == PageSites)
        ShowSiteItems();
    else if (Page() == PageAllItems)
        FillAllItems();
}

// --- the dialogs of subscribing ---------------------------------------------------------------

bool TfmSiteManager::PickLocalFile(const QString& initialDir, QString& fileName, int& exporter)
{
    TOpenFileRequest request;
    request.Title = tr("Specify local target...");
    request.NameFilters = GetExportNameFilters();
    for (int i = 0; i < TConvertToBase::FormatCount(); ++i)
        request.FilterSuffixes << StripDot(TConvertToBase::Extension(i));
    request.FilterIndex = exporter + 1;
    request.DefaultSuffix = StripDot(TConvertToBase::Extension(exporter));
    // Without a folder to start in, the dialog starts in the user's home folder, not in "/".
    const QString folder = initialDir.isEmpty() ? QDir::homePath() : initialDir;
    request.InitialDir = folder;
    request.Files = QStringList { QFileInfo(fileName).isAbsolute() ? fileName : folder + QChar('/') + fileName };
    if (!AskExportFileName(this, request))
        return false;
    fileName = request.Files.first();
    exporter = std::max(0, request.FilterIndex - 1);
    return true;
}

bool TfmSiteManager::PickLocalFolder(QString& folder, int& exporter)
{
    TfmBrowseFolder dialog(this);
    if (!folder.isEmpty())
        dialog.SetDirectory(folder);
    dialog.SetFileTypeIndex(exporter);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    folder = dialog.Directory();
    exporter = std::max(0, dialog.FileTypeIndex());
    return true;
}

bool TfmSiteManager::PickDeviceFile(QString& path, int& exporter)
{
    TfmMobileBrowser browser(this, true);
    browser.setWindowTitle(tr("Set Target File..."));
    browser.SetFileName(path);
    browser.SetFormatIndex(exporter);
    if (browser.exec() != QDialog::Accepted)
        return false;
    path = browser.FileName();
    exporter = std::max(0, browser.FormatIndex());
    return true;
}

bool TfmSiteManager::PickDeviceFolder(QString& folder, int& exporter)
{
    TfmMobileFolder dialog(this);
    dialog.SetPath(folder);
    dialog.SetFileTypeIndex(exporter);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    folder = IncludeLeadingBackslash(dialog.GetPath());
    exporter = std::max(0, dialog.FileTypeIndex());
    return true;
}

bool TfmSiteManager::AskYesNo(const QString& question)
{
    return ::AskYesNo(this, question) == IDYES;
}

// --- settings and profiles --------------------------------------------------------------------

void TfmSiteManager::LoadSettingsPage()
{
    const TSettings& settings = GetSettings();
    cbDownloadImages->setChecked(settings.DownloadImages);
    cbAlwaysOverwrite->setChecked(settings.AlwaysOverwrite);
    cbAutoclose->setChecked(settings.StatusAutoClose);
    cbAutoUpdateApplication->setChecked(settings.AutoUpdateApplicationEnabled);
    edAutoUpdateApplication->setText(settings.AutoUpdateApplication);
    edAutoUpdateAppParams->setText(settings.AutoUpdateAppParams);
    {
        const QSignalBlocker block(udAutoUpdateDelay);
        udAutoUpdateDelay->setValue(std::clamp(settings.AutoUpdateDelay, 0, 60));
    }
    edAutoUpdateDelay->setText(QString::number(udAutoUpdateDelay->value()));
    const QString alternate = settings.HTVAlternateDir;
    cbAlternateDir->setChecked(!alternate.isEmpty());
    edAlternateDir->setText(alternate);
    cbUponDeviceConnect->setChecked(settings.AutoUpdateActiveSync);
    cbUpdateUSB->setChecked(settings.AutoUpdateUSB);
    cbAlternateDirClick();
}

void TfmSiteManager::cbAlternateDirClick()
{
    const bool on = cbAlternateDir->isChecked();
    edAlternateDir->setEnabled(on);
    FAlternateBrowse->setEnabled(on);
    QPalette palette = edAlternateDir->palette();
    palette.setColor(QPalette::Base, on ? QApplication::palette().color(QPalette::Base)
                                        : QApplication::palette().color(QPalette::Button));
    edAlternateDir->setPalette(palette);
    if (!on)
        edAlternateDir->clear();
}

void TfmSiteManager::edAutoUpdateApplicationExit()
{
    const QString application = edAutoUpdateApplication->text();
    GetSettings().AutoUpdateApplication = application;
    if (cbAutoUpdateApplication->isChecked() && !QFileInfo(application).isFile())
        ShowWarning(this, tr("The entered application does not exist on this location."));
}

void TfmSiteManager::edAutoUpdateApplicationBrowse()
{
    TOpenFileRequest request;
    request.InitialDir = QFileInfo(edAutoUpdateApplication->text()).absolutePath();
    request.NameFilters = QStringList { tr("All files (*)") };
    if (!GetPrompt().OpenFileDialog(this, request) || request.Files.isEmpty())
        return;
    const QString picked = QString(request.Files.first()).remove(QChar('"'));
    edAutoUpdateApplication->setText(picked);
    GetSettings().AutoUpdateApplication = picked;
}

void TfmSiteManager::edAutoUpdateDelayExit()
{
    const QString text = edAutoUpdateDelay->text();
    int value = 0;
    try {
        value = StrToInt32(text.toStdString());
    } catch (const EConvertError&) {
        edAutoUpdateDelay->setText(QString::number(udAutoUpdateDelay->value()));
        throw EUserError(TGeneralTexts::tr("'%1' is not a valid integer value").arg(text));
    }
    udAutoUpdateDelay->setValue(std::clamp(value, 0, 60));
    edAutoUpdateDelay->setText(QString::number(udAutoUpdateDelay->value()));
    GetSettings().AutoUpdateDelay = udAutoUpdateDelay->value();
}

void TfmSiteManager::edAlternateDirBrowse()
{
    ConnectDevice();
    TfmMobileFolder dialog(this);
    dialog.SetFileTypeVisible(false);
    dialog.SetPath(edAlternateDir->text());
    if (dialog.exec() != QDialog::Accepted)
        return;
    edAlternateDir->setText(IncludeLeadingBackslash(dialog.GetPath()));
}

void TfmSiteManager::FillProfiles()
{
    const QString selected = GetSettings().SelectedProfile;
    QStringList names;
    {
        const QSignalBlocker block(lvProfiles);
        lvProfiles->clear();
        for (int i = 0; i < AutoUpdateProfileCount(); ++i) {
            const TUpdateItems& profile = GetAutoUpdateProfile(i);
            const QString name = i == 0 ? tr("Default") : profile.ProfileName;
            names << name;
            new QTreeWidgetItem(lvProfiles,
                QStringList { name, profile.AutoUpdateActiveSync ? QStringLiteral("*") : QString(),
                    profile.AutoUpdateUSB ? QStringLiteral("*") : QString() });
        }
    }
    int entry = 0;
    for (int i = 1; i < AutoUpdateProfileCount(); ++i)
        if (SameText(GetAutoUpdateProfileName(i), selected))
            entry = i;
    for (QComboBox* box : { coProfiles, coProfilesAllItems }) {
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(names);
        box->setCurrentIndex(entry);
    }
    const bool several = AutoUpdateProfileCount() > 1;
    paProfile->setVisible(several);
    paProfileAll->setVisible(several);
    lvProfilesChange();
}

void TfmSiteManager::ProfileChosen(int entry)
{
    GetSettings().SelectedProfile = entry <= 0 ? QString() : GetAutoUpdateProfileName(entry);
    for (QComboBox* box : { coProfiles, coProfilesAllItems }) {
        const QSignalBlocker block(box);
        box->setCurrentIndex(std::max(0, entry));
    }
    RefreshItems();
}

void TfmSiteManager::lvProfilesChange()
{
    const QList<QTreeWidgetItem*> selected = lvProfiles->selectedItems();
    const int row = selected.isEmpty() ? -1 : lvProfiles->indexOfTopLevelItem(selected.first());
    cbIncludeAUC->setEnabled(row >= 0);
    cbIncludeUSB->setEnabled(row >= 0);
    if (row >= 0 && row < AutoUpdateProfileCount()) {
        cbIncludeAUC->setChecked(GetAutoUpdateProfile(row).AutoUpdateActiveSync);
        cbIncludeUSB->setChecked(GetAutoUpdateProfile(row).AutoUpdateUSB);
    }
    UpdateActions();
}

void TfmSiteManager::IncludeClick(bool activeSync)
{
    const QList<QTreeWidgetItem*> selected = lvProfiles->selectedItems();
    const int row = selected.isEmpty() ? -1 : lvProfiles->indexOfTopLevelItem(selected.first());
    if (row < 0 || row >= AutoUpdateProfileCount())
        return;
    TUpdateItems& profile = GetAutoUpdateProfile(row);
    if (activeSync)
        profile.AutoUpdateActiveSync = cbIncludeAUC->isChecked();
    else
        profile.AutoUpdateUSB = cbIncludeUSB->isChecked();
    profile.Save();
    QTreeWidgetItem* item = lvProfiles->topLevelItem(row);
    item->setText(1, profile.AutoUpdateActiveSync ? QStringLiteral("*") : QString());
    item->setText(2, profile.AutoUpdateUSB ? QStringLiteral("*") : QString());
    const TSettings& settings = GetSettings();
    WarnLeftOut(activeSync ? WriteActiveSyncRegistration(settings.AutoUpdateActiveSync)
                           : WriteAutoPlayRegistration(settings.AutoUpdateUSB));
}

void TfmSiteManager::UponConnectClick(TConnectKind kind, bool on)
{
    QCheckBox* box = kind == TConnectKind::ActiveSync ? cbUponDeviceConnect : cbUpdateUSB;
    QStringList leftOut;
    // The registration first: when it cannot be stored, box and setting stay as they were.
    try {
        leftOut = WriteAutoStartRegistration(kind, on);
    } catch (const ETarvellError&) {
        const QSignalBlocker block(box);
        box->setChecked(!on);
        throw;
    }
    (kind == TConnectKind::ActiveSync ? GetSettings().AutoUpdateActiveSync : GetSettings().AutoUpdateUSB) = on;
    WarnLeftOut(leftOut);
}

void TfmSiteManager::WarnLeftOut(const QStringList& profiles)
{
    if (!profiles.isEmpty())
        ShowWarning(this, LeftOutProfilesWarning(profiles));
}

void TfmSiteManager::acToPocketTarvellExecute()
{
    const auto selection = TUpdateItems::CreateView();
    for (TUpdateItem* item : SelectedAllItems())
        selection->Add(item);
    {
        const THourglass hourglass;
        ExportToPocketTarvell(*selection, GetSettings().HTVAlternateDir);
    }
    ShowInfo(this, tr("AutoUpdate configuration saved to your Mobile Device."));
}

void TfmSiteManager::acProfilesAddExecute()
{
    QString name;
    if (!GetPrompt().InputQuery(this, tr("Add profile..."), tr("Enter the name of the new profile:"), name))
        return;
    if (name.isEmpty())
        throw EUserError(tr("Invalid profile name \"%1\"").arg(name));
    AddAutoUpdateProfile(name).Save();
    FillProfiles();
}

void TfmSiteManager::acProfilesDelExecute()
{
    const QList<QTreeWidgetItem*> selected = lvProfiles->selectedItems();
    const int row = selected.isEmpty() ? -1 : lvProfiles->indexOfTopLevelItem(selected.first());
    if (row <= 0)
        return;
    if (::AskYesNo(this, tr("Are you sure you want to delete this profile?")) != IDYES)
        return;
    DeleteAutoUpdateProfile(row);
    FillProfiles();
    RefreshItems();
    // A connection must not ask for the profile that went.
    WarnLeftOut(RewriteAutoStartRegistrations());
}

// --- enabled rules, views, closing ------------------------------------------------------------

void TfmSiteManager::UpdateActions()
{
    if (!acUpdateSite || !lvItems)
        return;
    const QString site = SelectedSite();
    acUpdateSite->setEnabled(!site.isEmpty() && !IsFilePath(site));
    acDeleteSite->setEnabled(!site.isEmpty());
    acDeleteSite->setText(!site.isEmpty() && BuiltInSites().contains(site, Qt::CaseInsensitive) ? tr("Hide") : tr("Del"));
    acViewRawXml->setEnabled(!site.isEmpty());
    actWebsite->setEnabled(FSite && IsWebPageAddress(FSite->InfoUrl));
    acPassword->setEnabled(FSite && FSite->MaxAccessLevel() > 0);
    acSitesSelectAll->setEnabled(Page() == PageSites || Page() == PageAllItems);
    const QList<QTreeWidgetItem*> items = lvItems->selectedItems();
    const bool anySubscribed
        = std::any_of(items.begin(), items.end(), [](const QTreeWidgetItem* i) { return i->data(0, RoleItem).toBool(); });
    acSubscribeLocal->setEnabled(!items.isEmpty());
    acSubscribePDA->setEnabled(!items.isEmpty());
    acUnsubscribe->setEnabled(anySubscribed);
    acUpdateSelected->setEnabled(anySubscribed);
    const bool allSelected = !lvSubscribed->selectedItems().isEmpty();
    acSubUpdate->setEnabled(allSelected);
    acSubUnsub->setEnabled(allSelected);
    acToPocketTarvell->setEnabled(allSelected);
    const QList<QTreeWidgetItem*> profile = lvProfiles->selectedItems();
    acProfilesDel->setEnabled(!profile.isEmpty() && lvProfiles->indexOfTopLevelItem(profile.first()) > 0);
}

QMenu* TfmSiteManager::CreateViewMenu(QListWidget* list)
{
    auto* menu = new QMenu(this);
    const int styles[] = { 0, 2, 3 };
    for (int style : styles) {
        QAction* item = menu->addAction(QString());
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, list, style] { SetViewStyle(list, style); });
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu, list] {
        const int current = ViewStyle(list);
        const QList<QAction*> items = menu->actions();
        items[0]->setChecked(current == 0);
        items[1]->setChecked(current == 2);
        items[2]->setChecked(current == 3);
    });
    return menu;
}

void TfmSiteManager::SetViewStyle(QListWidget* list, int style)
{
    switch (style) {
    case 0:
        list->setViewMode(QListView::IconMode);
        list->setFlow(QListView::LeftToRight);
        list->setWrapping(true);
        list->setIconSize(QSize(32, 32));
        break;
    case 2:
        list->setViewMode(QListView::ListMode);
        list->setFlow(QListView::TopToBottom);
        list->setWrapping(true);
        list->setIconSize(QSize(16, 16));
        break;
    default:
        list->setViewMode(QListView::ListMode);
        list->setFlow(QListView::TopToBottom);
        list->setWrapping(false);
        list->setIconSize(QSize(16, 16));
        break;
    }
    list->setResizeMode(QListView::Adjust);
}

void TfmSiteManager::SetItemsViewStyle(int style)
{
    // A report list shows icons and list as the captions alone; details adds the columns.
    FItemsView = style == 0 || style == 2 ? style : 3;
    const bool details = FItemsView == 3;
    lvItems->setHeaderHidden(!details);
    for (int column = 1; column < lvItems->columnCount(); ++column)
        lvItems->setColumnHidden(column, !details);
    lvItems->setIconSize(FItemsView == 0 ? QSize(32, 32) : QSize(16, 16));
}

int TfmSiteManager::ViewStyle(const QListWidget* list) const
{
    if (list->viewMode() == QListView::IconMode)
        return 0;
    return list->isWrapping() ? 2 : 3;
}

bool TfmSiteManager::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FSitesViewport && event->type() == QEvent::MouseButtonPress)
        FSiteBeforePress = SelectedSite();
    if (event->type() != QEvent::KeyPress)
        return TTarvellModalForm::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == lvItems && key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
        if (acUnsubscribe->isEnabled())
            acUnsubscribe->trigger();
        return true;
    }
    if (watched == lvSubscribed && key->modifiers() == Qt::ControlModifier) {
        if (key->key() == Qt::Key_A) {
            lvSubscribed->selectAll();
            return true;
        }
        if (key->key() == Qt::Key_N) {
            lvSubscribed->clearSelection();
            return true;
        }
    }
    return TTarvellModalForm::eventFilter(watched, event);
}

void TfmSiteManager::StoreOnClose()
{
    if (std::exchange(FStored, true))
        return;
    TSettings& settings = GetSettings();
    settings.SiteManagerUrl = SelectedSite();
    settings.SiteManagerMap = lvMaps->currentItem() ? lvMaps->currentItem()->text() : QString();
    settings.SiteManagerGroup = lvGroups->currentItem() ? lvGroups->currentItem()->text() : QString();
    settings.SiteManagerMaximized = isMaximized();
    if (!isMaximized()) {
        settings.SiteManagerWidth = width();
        settings.SiteManagerHeight = height();
        settings.SiteManagerLeft = x();
        settings.SiteManagerTop = y();
    }
    settings.SiteManagerLeftPanel = Splitter->sizes().value(0, -1);
    settings.SiteManagerGroupsView = ViewStyle(lvGroups);
    settings.SiteManagerMapsView = ViewStyle(lvMaps);
    settings.SiteManagerItemsView = FItemsView;
    // The list shows the visible sites only: the hidden ones stay in the list of sites.
    QStringList sites;
    for (int i = 0; i < lvSites->count(); ++i)
        sites << lvSites->item(i)->text();
    for (const QString& site : settings.Sites)
        if (settings.HiddenSites.contains(site, Qt::CaseInsensitive) && !sites.contains(site, Qt::CaseInsensitive))
            sites << site;
    settings.Sites = sites;
    settings.Save();
}

void TfmSiteManager::closeEvent(QCloseEvent* event)
{
    RunCommand(this, [this] { StoreOnClose(); });
    FClosing = true;
    TTarvellModalForm::closeEvent(event);
}

void TfmSiteManager::done(int result)
{
    RunCommand(this, [this] { StoreOnClose(); });
    FClosing = true;
    TTarvellModalForm::done(result);
}
