// The main window.
#include "app/fMain.h"

#include "app/dMain.h"
#include "app/uOpenFile.h"
#include "app/uLanguageMenu.h"
#include "app/uSingleInstance.h"
#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

namespace {

TfmTarvellMainForm* Instance = nullptr;

// Deployment data: the product's web site.
const QString ProductSite = QStringLiteral("http://www.tarvell.example");

constexpr int DesignWidth = 720;
constexpr int DesignHeight = 560;
constexpr int PanelWidths[4] = { 200, 175, 70, 70 };

// Tool bar buttons in order; "" is a separator.
const char* const ToolButtons[] = {
    "acFileNew",
    "acFileOpen",
    "acFileRemote",
    "",
    "acFileSave",
    "acFileSaveAs",
    "acFileSaveRemote",
    "",
    "acEditCut",
    "acEditCopy",
    "acEditPaste",
    "acFind",
    "acFindNext",
    "",
    "acAutoUpdateWizard",
    "acAutoUpdateToolbar",
    "acAutoUpdateManager",
    "",
    "acWindowTileHorizontal",
    "acWindowTileVertical",
    "acWindowCascade",
    "acWindowNext",
    "",
    "acCalc",
    "acHide",
};

// Menus and their items; "" is a separator, "-Language1" and "-Profiles" the sub menus.
struct TMenuDef {
    const char* Caption;
    std::vector<const char*> Items;
};

const TMenuDef MenuDefs[6] = {
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&File"),
        { "acFileNew", "acFileOpen", "acFileAppend", "acFileRemote", "", "acFileSave", "acFileSaveAs",
            "acFileSaveRemote", "", "acFileClose", "acFileReconnect", "", "acMru1", "acMru2", "acMru3", "acMru4",
            "acMru5", "acMru6", "acMru7", "acMru8", "acMru9", "", "acHide", "acFileExit" } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Edit"),
        { "acEditCut", "acEditCopy", "acCopyText", "acEditPaste", "acEditDelete", "acEditInsert", "", "acEditSelectAll",
            "acInvertSelection", "", "acFind", "acFindNext", "acFindDups" } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Tools"),
        { "acCalc", "actToolsBatchConvert", "", "-Language1", "", "actPrefs" } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&AutoUpdate"),
        { "acAutoUpdateWizard", "acAutoUpdateManager", "", "acAutoUpdateNow", "-Profiles", "", "acGotoSiteStatus" } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Window"),
        { "acWindowCascade", "acWindowTileHorizontal", "acWindowTileVertical", "WindowMinimizeAll2", "WindowArrange1",
            "", "acWindowNext" } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Help"),
        { "Action7", "Action8", "Action5", "", "Action4", "acCheckEveryWeek", "", "acSysInfo", "acAbout" } },
};

bool IsMobileLocation(const QString& path)
{
    return path.startsWith(QLatin1String("MOBILE://"), Qt::CaseInsensitive);
}

// Device locations compare case-insensitively, local paths exactly (Linux names are case-sensitive).
bool SameLocation(const QString& a, const QString& b)
{
    if (IsMobileLocation(a) && IsMobileLocation(b))
        return a.compare(b, Qt::CaseInsensitive) == 0;
    return a == b;
}

TChildWindow* ChildOf(QMdiSubWindow* window)
{
    return window ? dynamic_cast<TChildWindow*>(window->widget()) : nullptr;
}

} // namespace

TfmTarvellMainForm* fmTarvellMainForm()
{
    return Instance;
}

TfmTarvellMainForm::TfmTarvellMainForm(TdmMain* data, TMainFormServices services, QWidget* parent)
    : TTarvellForm(parent)
    , FData(data)
    , FServices(std::move(services))
{
    // Running copies are found by this name (the single-instance server carries it as well).
    setObjectName(QStringLiteral("TfmTarvellMainForm"));
    Instance = this;
    if (!FServices.Quit)
        FServices.Quit = [] { QCoreApplication::quit(); };
    if (!FServices.OpenUrl)
        FServices.OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    if (!FServices.TrayAvailable)
        FServices.TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    FMdiArea = new QMdiArea(this);
    FMdiArea->setObjectName(QStringLiteral("MdiArea"));
    setCentralWidget(FMdiArea);
    resize(DesignWidth, DesignHeight);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateTray();
    FillLanguageMenu();

    TSettings& settings = GetSettings();
    Action(QStringLiteral("acCheckEveryWeek"))->setChecked(settings.CheckEveryWeek);
    FTiAutoUpdate.setInterval(settings.AutoUpdateDelay * 1000);
    FTiAutoUpdate.setSingleShot(true);
    FTimer1.setInterval(1000);
    FTimer1.setSingleShot(true);
    FTimer2.setInterval(100);
    FTimer2.setSingleShot(true);
    connect(&FTimer1, &QTimer::timeout, this, &TfmTarvellMainForm::Timer1Timer);
    connect(&FTimer2, &QTimer::timeout, this, &TfmTarvellMainForm::Timer2Timer);
    connect(&FTiAutoUpdate, &QTimer::timeout, this, &TfmTarvellMainForm::tiAutoUpdateTimer);

    if (settings.WindowStateMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    else
        RestoreBounds();
    setAcceptDrops(true);
    FFlags.LanguageIndex = -1;

    connect(FMdiArea, &QMdiArea::subWindowActivated, this, [this] { UpdateActions(); });
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
    Retranslate();
    UpdateActions();
    FTimer1.start();
    FTimer2.start();
}

TfmTarvellMainForm::~TfmTarvellMainForm()
{
    // The base destructor hides the children and the area reports activations: no updates then.
    FDestroying = true;
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(FMdiArea, nullptr, this, nullptr);
    SaveWindowState();
    if (FTray)
        FTray->hide();
    if (Instance == this)
        Instance = nullptr;
}

// --- actions, menus, bars ----------------------------------------------------------------------

void TfmTarvellMainForm::CreateActions()
{
    for (const TActionDef& def : MainActionTable()) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(def.Name));
        action->setData(def.Tag);
        if (*def.Shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(def.Shortcut)));
        if (def.Image >= 0 && FData)
            action->setIcon(FData->ToolIcon(def.Image));
        FActions.insert(action->objectName(), action);
    }
    Action(QStringLiteral("acCheckEveryWeek"))->setCheckable(true);

    auto on = [this](const char* name, auto handler) {
        connect(Action(QLatin1String(name)), &QAction::triggered, this,
            [this, handler] { Run([this, handler] { (this->*handler)(); }); });
    };
    auto child = [this](const char* name, void (TChildWindow::*method)()) {
        connect(Action(QLatin1String(name)), &QAction::triggered, this, [this, method] { RunChild(method); });
    };
    auto hook = [this](const char* name) {
        connect(Action(QLatin1String(name)), &QAction::triggered, this,
            [this, name] { RunCommandHook(QLatin1String(name)); });
    };
    auto url = [this](const char* name, QString path) {
        connect(Action(QLatin1String(name)), &QAction::triggered, this, [this, path] { OpenUrlPath(path); });
    };

    on("acFileNew", &TfmTarvellMainForm::acFileNewExecute);
    on("acFileOpen", &TfmTarvellMainForm::acFileOpenExecute);
    on("acFileAppend", &TfmTarvellMainForm::acFileAppendExecute);
    // The device file browser provides the open of a device file.
    hook("acFileRemote");
    child("acFileSave", &TChildWindow::Save);
    child("acFileSaveAs", &TChildWindow::SaveAs);
    child("acFileSaveRemote", &TChildWindow::SaveRemote);
    connect(Action(QStringLiteral("acFileClose")), &QAction::triggered, this, [this] {
        if (QMdiSubWindow* window = FMdiArea->currentSubWindow())
            window->close();
        UpdateActions();
    });
    on("acFileReconnect", &TfmTarvellMainForm::acFileReconnectExecute);
    on("acHide", &TfmTarvellMainForm::acHideExecute);
    on("acFileExit", &TfmTarvellMainForm::acFileExitExecute);
    for (const TActionDef& def : MainActionTable())
        if (def.Rule == TActionRule::Mru) {
            const int tag = def.Tag;
            connect(Action(QLatin1String(def.Name)), &QAction::triggered, this,
                [this, tag] { Run([this, tag] { acMruExecute(tag); }); });
        }
    child("acEditCopy", &TChildWindow::CopySelected);
    child("acCopyText", &TChildWindow::CopyAsText);
    child("acEditCut", &TChildWindow::CutSelected);
    child("acEditPaste", &TChildWindow::Paste);
    child("acEditDelete", &TChildWindow::Delete);
    child("acEditInsert", &TChildWindow::Insert);
    child("acEditSelectAll", &TChildWindow::SelectAll);
    child("acInvertSelection", &TChildWindow::InvertSelection);
    on("acFind", &TfmTarvellMainForm::acFindExecute);
    on("acFindNext", &TfmTarvellMainForm::acFindNextExecute);
    for (const char* name : { "acFindDups", "acCalc", "actToolsBatchConvert", "actPrefs", "acAutoUpdateWizard",
             "acAutoUpdateManager", "acSysInfo", "acAbout" })
        hook(name);
    on("acAutoUpdateNow", &TfmTarvellMainForm::acAutoUpdateNowExecute);
    on("acAutoUpdateToolbar", &TfmTarvellMainForm::acAutoUpdateNowExecute);
    for (int i = 0; i < 10; ++i)
        connect(Action(QStringLiteral("acAutoUpdateProfile%1").arg(i + 1)), &QAction::triggered, this,
            [this, i] { Run([this, i] { acAutoUpdateProfileExecute(i); }); });
    url("acGotoSiteStatus", QStringLiteral("/sites.htm"));
    url("Action7", QString());
    url("Action8", QStringLiteral("/faq.htm"));
    url("Action5", QStringLiteral("/viewforum.php?f=2"));
    connect(Action(QStringLiteral("acWindowCascade")), &QAction::triggered, FMdiArea, &QMdiArea::cascadeSubWindows);
    connect(Action(QStringLiteral("acWindowTileHorizontal")), &QAction::triggered, this, [this] { TileWindows(true); });
    connect(Action(QStringLiteral("acWindowTileVertical")), &QAction::triggered, this, [this] { TileWindows(false); });
    connect(Action(QStringLiteral("WindowMinimizeAll2")), &QAction::triggered, this, [this] {
        for (QMdiSubWindow* window : FMdiArea->subWindowList())
            window->showMinimized();
    });
    connect(Action(QStringLiteral("WindowArrange1")), &QAction::triggered, this, [this] { ArrangeMinimized(); });
    connect(Action(QStringLiteral("acWindowNext")), &QAction::triggered, FMdiArea, &QMdiArea::activateNextSubWindow);
    connect(Action(QStringLiteral("Action4")), &QAction::triggered, this, [this] {
        Run([this] {
            const auto it = FServices.Commands.find(QStringLiteral("Action4"));
            if (it == FServices.Commands.end() || !it->second)
                return;
            it->second();
            CreateSettingsStore()->WriteString(QStringLiteral("Settings"), QStringLiteral("LastVersionCheck"),
                QDate::currentDate().toString(Qt::ISODate));
        });
    });
    on("acCheckEveryWeek", &TfmTarvellMainForm::acCheckEveryWeekExecute);
}

void TfmTarvellMainForm::CreateMenus()
{
    for (int m = 0; m < 6; ++m) {
        QMenu* menu = menuBar()->addMenu(QString());
        FMenus[m] = menu;
        connect(menu, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
        for (const char* item : MenuDefs[m].Items) {
            const QLatin1String name(item);
            if (name.isEmpty()) {
                menu->addSeparator();
            } else if (name == QLatin1String("-Language1")) {
                FLanguageMenu = menu->addMenu(QString());
                FLanguageMenu->setObjectName(QStringLiteral("Language1"));
            } else if (name == QLatin1String("-Profiles")) {
                FProfileSubMenu = new QMenu(this);
                for (int i = 1; i <= 10; ++i)
                    FProfileSubMenu->addAction(Action(QStringLiteral("acAutoUpdateProfile%1").arg(i)));
                QAction* parent = Action(QStringLiteral("acAutoUpdatePopParent"));
                parent->setMenu(FProfileSubMenu);
                menu->addAction(parent);
            } else {
                menu->addAction(Action(name));
            }
        }
    }
}

void TfmTarvellMainForm::CreateToolBar()
{
    FToolBar = addToolBar(QString());
    FToolBar->setObjectName(QStringLiteral("ToolBar1"));
    FToolBar->setMovable(false);
    FToolBar->setIconSize(QSize(24, 24));
    FToolBar->layout()->setSpacing(0);
    for (const char* name : ToolButtons) {
        if (!*name)
            FToolBar->addSeparator();
        else
            FToolBar->addAction(Action(QLatin1String(name)));
    }
    for (QAction* action : FToolBar->actions())
        if (QWidget* button = FToolBar->widgetForAction(action))
            button->setFixedSize(34, 34);
    FProfileMenu = new QMenu(this);
    FProfileMenu->setObjectName(QStringLiteral("pmAutoUpdate"));
}

void TfmTarvellMainForm::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(i == 0 ? 0 : PanelWidths[i]);
        if (i != 0)
            panel->setFixedWidth(PanelWidths[i]);
        FPanels[size_t(i)] = panel;
        // Panel 0 takes what the other three leave, as the status bar grows and shrinks.
        if (i == 0)
            bar->addWidget(panel, 1);
        else
            bar->addPermanentWidget(panel);
    }
}

void TfmTarvellMainForm::CreateTray()
{
    FTray = new QSystemTrayIcon(ProgramIcon(), this);
    FTrayMenu = new QMenu(this);
    FTrayMenu->setObjectName(QStringLiteral("PopupMenu1"));
    FTrayShow = FTrayMenu->addAction(QString(), this, [this] { Run([this] { Tarvell1Click(); }); });
    FTrayShow->setObjectName(QStringLiteral("Tarvell1"));
    QFont bold = FTrayShow->font();
    bold.setBold(true);
    FTrayShow->setFont(bold);
    FTrayMenu->addAction(Action(QStringLiteral("acAutoUpdateNow")));
    FTrayProfileMenu = new QMenu(this);
    for (int i = 1; i <= 10; ++i)
        FTrayProfileMenu->addAction(Action(QStringLiteral("acAutoUpdateProfile%1").arg(i)));
    FTrayProfiles = FTrayMenu->addMenu(FTrayProfileMenu);
    FTrayMenu->addSeparator();
    FTrayExit = FTrayMenu->addAction(QString(), this, [this] { Action(QStringLiteral("acFileExit"))->trigger(); });
    connect(FTrayMenu, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
    FTray->setContextMenu(FTrayMenu);
    connect(FTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Run([this] { Tarvell1Click(); });
    });
}

void TfmTarvellMainForm::Retranslate()
{
    setWindowTitle(ApplicationTitle());
    for (int m = 0; m < 6; ++m)
        FMenus[m]->setTitle(tr(MenuDefs[m].Caption));
    FLanguageMenu->setTitle(tr("&Language"));
    for (const TActionDef& def : MainActionTable())
        if (*def.Caption && def.Rule != TActionRule::Profile)
            Action(QLatin1String(def.Name))->setText(tr(def.Caption));
    FToolBar->setWindowTitle(tr("Tool bar"));
    FTrayShow->setText(tr("Tarvell..."));
    FTrayProfiles->setText(tr("AutoUpdate Profile"));
    FTrayExit->setText(tr("Exit"));
    FTray->setToolTip(ApplicationTitle());
    UpdateActions();
}

void TfmTarvellMainForm::FillLanguageMenu()
{
    TLanguageMenuEvents events;
    events.OnLanguageSelected = [this](QAction* item, const TDLLInfoItem& info, bool&) {
        LanguageClick(item, info.LanguageId);
    };
    try {
        PopulateLanguageMenu(QLocUtils(), FLanguageMenu, 1, 1, events);
    } catch (const ETarvellError& e) {
        // Without a language folder the window still works, in the language it has.
        ShowWarning(nullptr, e.Message());
    }
}

QAction* TfmTarvellMainForm::Action(const QString& name) const
{
    return FActions.value(name, nullptr);
}

QList<QAction*> TfmTarvellMainForm::Actions() const
{
    return FActions.values();
}

TMainActionState TfmTarvellMainForm::CurrentState() const
{
    TMainActionState state;
    state.ChildCount = int(FMdiArea->subWindowList().size());
    const TChildWindow* child = ActiveChild();
    state.ListHasFocus = child && child->ListHasFocus();
    state.DeviceConnected = FServices.IsDeviceConnected && FServices.IsDeviceConnected();
    state.SearchTextEmpty = FSearchText.isEmpty();
    state.MruCount = GetSettings().MRU.Count();
    if (FServices.Profiles) {
        state.ProfileItems.clear();
        for (const TProfileMenuInfo& profile : FServices.Profiles())
            state.ProfileItems.push_back(profile.HasItems ? 1 : 0);
        if (state.ProfileItems.empty())
            state.ProfileItems.push_back(0);
    }
    state.CheckEveryWeek = Action(QStringLiteral("acCheckEveryWeek"))->isChecked();
    return state;
}

void TfmTarvellMainForm::UpdateActions()
{
    if (FDestroying)
        return;
    const TMainActionState state = CurrentState();
    const std::vector<TProfileMenuInfo> profiles
        = FServices.Profiles ? FServices.Profiles() : std::vector<TProfileMenuInfo> {};
    for (const TActionDef& def : MainActionTable()) {
        QAction* action = Action(QLatin1String(def.Name));
        const TActionLook look = EvaluateAction(def, state);
        action->setEnabled(look.Enabled);
        action->setVisible(look.Visible);
        if (action->isCheckable())
            action->setChecked(look.Checked);
        if (look.Image >= 0 && FData)
            action->setIcon(FData->ToolIcon(look.Image));
        if (def.Rule == TActionRule::Mru && def.Tag < state.MruCount)
            action->setText(TOpenFile::MruCaption(def.Tag, GetSettings().MRU.GetName(def.Tag)));
        if (def.Rule == TActionRule::Profile) {
            const QString name = def.Tag == 0       ? tr("Default")
                : size_t(def.Tag) < profiles.size() ? profiles[size_t(def.Tag)].Name
                                                    : QString();
            action->setText(tr(def.Caption).arg(name));
        }
    }
    FTrayProfiles->setVisible(state.ProfileItems.size() > 1);
}

void TfmTarvellMainForm::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
    UpdateActions();
}

void TfmTarvellMainForm::RunChild(void (TChildWindow::*method)())
{
    Run([this, method] {
        if (TChildWindow* child = ActiveChild())
            (child->*method)();
    });
}

void TfmTarvellMainForm::RunCommandHook(const QString& name)
{
    Run([this, &name] {
        const auto it = FServices.Commands.find(name);
        if (it != FServices.Commands.end() && it->second)
            it->second();
    });
}

void TfmTarvellMainForm::OpenUrlPath(const QString& path)
{
    Run([this, &path] { FServices.OpenUrl(QUrl(ProductSite + path)); });
}

// --- child windows -----------------------------------------------------------------------------

QWidget* TfmTarvellMainForm::NewChild()
{
    if (!FServices.CreateChild)
        return nullptr;
    QWidget* widget = FServices.CreateChild();
    QMdiSubWindow* window = FMdiArea->addSubWindow(widget);
    window->setAttribute(Qt::WA_DeleteOnClose);
    FMdiArea->setActiveSubWindow(window);
    if (GetSettings().ChildrenMaximized)
        window->setWindowState(Qt::WindowMaximized);
    connect(window, &QMdiSubWindow::windowStateChanged, this,
        [this](Qt::WindowStates, Qt::WindowStates now) { ChildMaximizedChanged(now.testFlag(Qt::WindowMaximized)); });
    connect(window, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, [this] { UpdateActions(); }); });
    return widget;
}

void TfmTarvellMainForm::ChildMaximizedChanged(bool maximized)
{
    GetSettings().ChildrenMaximized = maximized;
}

TChildWindow* TfmTarvellMainForm::ActiveChild() const
{
    return ChildOf(FMdiArea->currentSubWindow());
}

QWidget* TfmTarvellMainForm::ActiveChildWidget() const
{
    QMdiSubWindow* window = FMdiArea->currentSubWindow();
    return window ? window->widget() : nullptr;
}

TChildWindow* TfmTarvellMainForm::FindChild(const QString& path) const
{
    for (QMdiSubWindow* window : FMdiArea->subWindowList(QMdiArea::CreationOrder))
        if (TChildWindow* child = ChildOf(window); child && SameLocation(child->FileName(), path))
            return child;
    return nullptr;
}

QList<QWidget*> TfmTarvellMainForm::Children() const
{
    QList<QWidget*> children;
    for (QMdiSubWindow* window : FMdiArea->subWindowList(QMdiArea::CreationOrder))
        children << window->widget();
    return children;
}

bool TfmTarvellMainForm::FreeAllChildren()
{
    const QList<QMdiSubWindow*> windows = FMdiArea->subWindowList(QMdiArea::CreationOrder);
    // Every child is asked before any is freed, so a refusal leaves all files open.
    for (QMdiSubWindow* window : windows) {
        TChildWindow* child = ChildOf(window);
        if (child && !child->CloseQuery())
            return false;
    }
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        delete *it;
    return true;
}

void TfmTarvellMainForm::TileWindows(bool horizontal)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (!window->isMinimized())
            windows << window;
    if (windows.isEmpty())
        return;
    const QRect area = FMdiArea->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* window = windows[i];
        window->showNormal();
        if (horizontal) {
            const int top = area.height() * i / n, bottom = area.height() * (i + 1) / n;
            window->setGeometry(0, top, area.width(), bottom - top);
        } else {
            const int left = area.width() * i / n, right = area.width() * (i + 1) / n;
            window->setGeometry(left, 0, right - left, area.height());
        }
    }
}

void TfmTarvellMainForm::ArrangeMinimized()
{
    int left = 0;
    const int bottom = FMdiArea->viewport()->height();
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (window->isMinimized()) {
            window->move(left, bottom - window->height());
            left += window->width();
        }
}

void TfmTarvellMainForm::OpenFile(const QString& path, TChildWindow* child, bool append, const QString& formatID)
{
    if (FServices.OpenFile)
        FServices.OpenFile(path, child, append, formatID);
    else
        FRecordedOpens << path;
}

// --- commands ----------------------------------------------------------------------------------

void TfmTarvellMainForm::acFileNewExecute()
{
    if (QWidget* child = NewChild())
        ShowChild(child);
}

void TfmTarvellMainForm::ShowChild(QWidget* child)
{
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (window->widget() == child) {
            window->show();
            child->show();
            FMdiArea->setActiveSubWindow(window);
        }
}

void TfmTarvellMainForm::ShowExistingChild(TChildWindow* child)
{
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (ChildOf(window) == child) {
            window->show();
            FMdiArea->setActiveSubWindow(window);
        }
}

bool TfmTarvellMainForm::OpenOrShow(const QString& path, const QString& formatID)
{
    if (TChildWindow* child = FindChild(path)) {
        ShowExistingChild(child);
        return false;
    }
    OpenFile(path, nullptr, false, formatID);
    return true;
}

void TfmTarvellMainForm::acFileOpenExecute()
{
    TOpenFileRequest request = OpenDialog1();
    if (!GetPrompt().OpenFileDialog(this, request))
        return;
    const QString format = TOpenFile::FormatAtFilterIndex(request.FilterIndex);
    for (const QString& file : request.Files)
        OpenOrShow(file, format);
}

void TfmTarvellMainForm::acFileAppendExecute()
{
    TChildWindow* child = ActiveChild();
    if (!child)
        return;
    TOpenFileRequest request = OpenDialog1();
    if (!GetPrompt().OpenFileDialog(this, request))
        return;
    const QString format = TOpenFile::FormatAtFilterIndex(request.FilterIndex);
    for (const QString& file : request.Files)
        OpenFile(file, child, true, format);
}

void TfmTarvellMainForm::acMruExecute(int tag)
{
    const TSafeStringList& mru = GetSettings().MRU;
    if (tag < 0 || tag >= mru.Count())
        return;
    // Copied: the open reorders the list.
    const QString name = mru.GetName(tag);
    const QString format = mru.GetValueAt(tag);
    OpenOrShow(name, format);
}

void TfmTarvellMainForm::acFileReconnectExecute()
{
    if (FServices.DisconnectDevice)
        FServices.DisconnectDevice();
}

void TfmTarvellMainForm::acHideExecute()
{
    if (!FServices.TrayAvailable()) {
        // Without a notification area a hidden window could not be reached again.
        showMinimized();
        return;
    }
    FFlags.HidingInTray = true;
    FTray->show();
    close();
}

void TfmTarvellMainForm::acFileExitExecute()
{
    FFlags.Exiting = true;
    FFlags.LanguageIndex = -1;
    close();
}

void TfmTarvellMainForm::acFindExecute()
{
    QString text = FSearchText;
    if (!GetPrompt().InputQuery(this, tr("Find items"), tr("Enter search string below"), text))
        return;
    FSearchText = text;
    if (text.isEmpty())
        throw EUserError(tr("No search string entered"));
    if (TChildWindow* child = ActiveChild())
        child->Find(text);
}

void TfmTarvellMainForm::acFindNextExecute()
{
    if (TChildWindow* child = ActiveChild())
        child->FindNext(FSearchText);
}

void TfmTarvellMainForm::acAutoUpdateNowExecute()
{
    const std::vector<TProfileMenuInfo> profiles
        = FServices.Profiles ? FServices.Profiles() : std::vector<TProfileMenuInfo> {};
    if (profiles.size() <= 1) {
        AutoUpdateAllProfiles(false);
        return;
    }
    BuildAutoUpdateMenu(FProfileMenu, profiles, true, [this](QAction* item) { AutoUpdateProfileClick(item); });
    // Below the bound tool button; from a menu, the tray or F9 there is none: at the mouse.
    QPoint where = QCursor::pos();
    auto* trigger = qobject_cast<QAction*>(sender());
    if (QToolButton* button
        = FindToolButton(FToolBar, trigger ? trigger : Action(QStringLiteral("acAutoUpdateToolbar"))))
        if (button->isVisible())
            where = button->mapToGlobal(QPoint(0, button->height()));
    FProfileMenu->popup(where);
}

void TfmTarvellMainForm::acAutoUpdateProfileExecute(int tag)
{
    {
        // A profile run is a run too: a forwarded update request waits for it.
        const TFlagScope running(FUpdateRunning);
        if (FServices.RunAutoUpdateProfile)
            FServices.RunAutoUpdateProfile(this, tag);
    }
    UpdateRunEnded();
}

void TfmTarvellMainForm::acCheckEveryWeekExecute()
{
    GetSettings().CheckEveryWeek = Action(QStringLiteral("acCheckEveryWeek"))->isChecked();
}

void TfmTarvellMainForm::AutoUpdateAllProfiles(bool silent)
{
    {
        const TFlagScope running(FUpdateRunning);
        if (FServices.RunAutoUpdateAll)
            FServices.RunAutoUpdateAll(this, !isVisible(), silent);
    }
    UpdateRunEnded();
}

void TfmTarvellMainForm::AutoUpdateProfileClick(QAction* item)
{
    Run([this, item] {
        const int tag = item->data().toInt();
        if (tag == -1)
            AutoUpdateAllProfiles(false);
        else
            acAutoUpdateProfileExecute(tag);
    });
}

// --- timers ------------------------------------------------------------------------------------

bool TfmTarvellMainForm::VersionCheckDue(const QString& lastCheck, const QDate& today)
{
    if (lastCheck.isEmpty())
        return true;
    const QDate last = QDate::fromString(lastCheck, Qt::ISODate);
    // An unreadable date is as good as none.
    return !last.isValid() || today.addDays(-7) > last;
}

QStringList TfmTarvellMainForm::NamedProfiles(const QStringList& params)
{
    QStringList names;
    for (const QString& param : params)
        if (param.toUpper().startsWith(QLatin1String("/PROF:")))
            names << param.mid(6).trimmed();
    return names;
}

void TfmTarvellMainForm::CheckNamedProfiles(const QStringList& named) const
{
    const std::vector<TProfileMenuInfo> profiles
        = FServices.Profiles ? FServices.Profiles() : std::vector<TProfileMenuInfo> {};
    bool anyItems = false;
    for (const QString& name : named) {
        const auto it = std::find_if(profiles.begin(), profiles.end(),
            [&](const TProfileMenuInfo& p) { return p.Name.compare(name, Qt::CaseInsensitive) == 0; });
        if (it == profiles.end())
            throw EUserError(tr("AutoUpdate profile \"%1\" not found").arg(name));
        anyItems = anyItems || it->HasItems;
    }
    if (!anyItems)
        throw EUserError(tr("No AutoUpdate items found to update"));
}

void TfmTarvellMainForm::Timer1Timer()
{
    FTimer1.stop();
    Run([this] {
        if (!Action(QStringLiteral("acCheckEveryWeek"))->isChecked())
            return;
        const QString last = CreateSettingsStore()->ReadString(
            QStringLiteral("Settings"), QStringLiteral("LastVersionCheck"), QString());
        if (VersionCheckDue(last, QDate::currentDate()))
            Action(QStringLiteral("Action4"))->trigger();
    });
}

void TfmTarvellMainForm::Timer2Timer()
{
    FTimer2.stop();
    Run([this] {
        bool opened = false;
        if (!CommandLineParams().isEmpty()) {
            QCoreApplication::processEvents();
            for (const QString& path : CommandLinePaths()) {
                OpenFile(path, nullptr, false, QString());
                opened = true;
            }
        }
        if (ParamExists(QStringLiteral("/update"))) {
            FSilentUpdate = ParamExists(QStringLiteral("/silent"));
            FUpdateParams = CommandLineParams();
            FTiAutoUpdate.start();
        } else if (GetSettings().ShowStartupScreen && !opened && !ParamExists(QStringLiteral("/tray"))) {
            if (FServices.ShowStartupScreen)
                FServices.ShowStartupScreen();
        }
    });
}

void TfmTarvellMainForm::tiAutoUpdateTimer()
{
    FTiAutoUpdate.stop();
    Run([this] {
        const TFlagScope running(FUpdateRunning);
        const QStringList named = NamedProfiles(FUpdateParams);
        if (named.isEmpty()) {
            if (FServices.RunAutoUpdateAll)
                FServices.RunAutoUpdateAll(this, !isVisible(), FSilentUpdate);
            return;
        }
        CheckNamedProfiles(named);
        if (FServices.RunAutoUpdateTimer)
            FServices.RunAutoUpdateTimer(this, named, !isVisible(), FSilentUpdate);
    });
    UpdateRunEnded();
}

void TfmTarvellMainForm::StartUpdateRequest(const TInstanceMessage& message)
{
    // During a run the device may be written to, and runs do not nest: the request waits.
    if (FUpdateRunning) {
        FPendingUpdate = message;
        return;
    }
    if (FServices.DisconnectDevice)
        FServices.DisconnectDevice();
    FSilentUpdate = message.WParam == 1;
    FUpdateParams = QString::fromUtf8(message.Data).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    FTiAutoUpdate.start();
}

void TfmTarvellMainForm::UpdateRunEnded()
{
    if (!FPendingUpdate || FUpdateRunning)
        return;
    const TInstanceMessage message = *FPendingUpdate;
    FPendingUpdate.reset();
    StartUpdateRequest(message);
}

// --- messages, tray ----------------------------------------------------------------------------

void TfmTarvellMainForm::AttachInstanceServer(TInstanceServer* server)
{
    FServer = server;
    if (server)
        server->SetHandler([this](const TInstanceMessage& message) { HandleInstanceMessage(message); });
}

void TfmTarvellMainForm::HandleInstanceMessage(const TInstanceMessage& message)
{
    Run([this, &message] {
        switch (message.Code) {
        case WM_COPYDATA_CODE: {
            OpenOrShow(QString::fromUtf8(message.Data), QString());
            break;
        }
        case WM_AUTOUPDATE:
            StartUpdateRequest(message);
            break;
        case WM_SHOWMAINFORM:
            if (!isVisible())
                show();
            if (isMinimized())
                showNormal();
            raise();
            activateWindow();
            break;
        case WM_EXITAPP:
            Action(QStringLiteral("acFileExit"))->trigger();
            break;
        default:
            break;
        }
    });
}

void TfmTarvellMainForm::StartInTray()
{
    Action(QStringLiteral("acHide"))->trigger();
}

void TfmTarvellMainForm::Tarvell1Click()
{
    if (!FUpdateRunning) {
        const bool wasHidden = !isVisible();
        if (!isVisible())
            show();
        if (wasHidden && GetSettings().ShowStartupScreen && FServices.ShowStartupScreen)
            FServices.ShowStartupScreen();
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    FTray->hide();
}

void TfmTarvellMainForm::LanguageClick(QAction* item, int lcid)
{
    if (item->isChecked())
        return;
    FFlags.Exiting = true;
    // The language itself: the menu may be rebuilt before the close reads it.
    FFlags.LanguageIndex = lcid;
    close();
}

QCursor TfmTarvellMainForm::AppCursor(int index)
{
    switch (index) {
    case 1:
        return QCursor(Qt::OpenHandCursor);
    case 2:
        return QCursor(Qt::ClosedHandCursor);
    case 3:
        return QCursor(Qt::CrossCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

// --- closing, bounds, events -------------------------------------------------------------------

void TfmTarvellMainForm::closeEvent(QCloseEvent* event)
{
    const bool closed = FreeAllChildren();
    int language = -1;
    switch (DecideClose(FFlags, closed, &language)) {
    case TCloseOutcome::Refused:
        event->ignore();
        break;
    case TCloseOutcome::Hide:
        event->ignore();
        hide();
        break;
    case TCloseOutcome::Exit:
        event->accept();
        FServices.Quit();
        break;
    case TCloseOutcome::Restart:
        event->accept();
        SaveWindowState();
        // The closing copy must not be found by the new one: it would forward to us and end.
        if (FServer)
            FServer->Close();
        if (FServices.StartAgainInLanguage)
            FServices.StartAgainInLanguage(language);
        FServices.Quit();
        break;
    }
    UpdateActions();
}

TOpenFileRequest TfmTarvellMainForm::OpenDialog1() const
{
    TOpenFileRequest request;
    request.InitialDir = GetSettings().InitialDir;
    request.NameFilters = GetOpenNameFilters();
    request.FilterIndex = TConvertFromBase::FilterIndex(QString(), QString());
    request.DefaultSuffix = QStringLiteral("OV2");
    request.Multiple = true;
    return request;
}

void TfmTarvellMainForm::RestoreBounds()
{
    const TSettings& s = GetSettings();
    ++FBoundsGuard;
    const QSize size(s.Width == -1 ? width() : s.Width, s.Height == -1 ? height() : s.Height);
    const QPoint place(s.Left == -1 ? pos().x() : s.Left, s.Top == -1 ? pos().y() : s.Top);
    // Position of the frame and size of the client area: the pair SaveWindowState writes.
    resize(size);
    move(place);
    --FBoundsGuard;
}

void TfmTarvellMainForm::ReapplyBounds()
{
    if (GetSettings().PluginAutoArrange && !GetSettings().UserBounds)
        RestoreBounds();
}

void TfmTarvellMainForm::SaveWindowState()
{
    TSettings& s = GetSettings();
    s.CheckEveryWeek = Action(QStringLiteral("acCheckEveryWeek"))->isChecked();
    s.WindowStateMaximized = isMaximized();
    if (!isMaximized()) {
        const QRect screenArea = (screen() ? screen() : QGuiApplication::primaryScreen())->geometry();
        s.Left = std::max(pos().x(), 0);
        s.Top = std::max(pos().y(), 0);
        s.Width = std::min(screenArea.width(), width());
        s.Height = std::min(screenArea.height(), height());
    }
}

void TfmTarvellMainForm::resizeEvent(QResizeEvent* event)
{
    TTarvellForm::resizeEvent(event);
    // Only the user's own resizes count; ours (restoring, a plug-in's arrangement) do not.
    if (FBoundsGuard == 0 && event->spontaneous() && isVisible())
        GetSettings().UserBounds = true;
}

void TfmTarvellMainForm::showEvent(QShowEvent* event)
{
    TTarvellForm::showEvent(event);
    UpdateActions();
}

bool TfmTarvellMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        FPanels[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return TTarvellForm::event(event);
}

QLabel* TfmTarvellMainForm::StatusPanel(int index) const
{
    return index >= 0 && index < 4 ? FPanels[size_t(index)] : nullptr;
}

void TfmTarvellMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfmTarvellMainForm::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    Run([this, &urls] {
        for (const QUrl& url : urls)
            if (url.isLocalFile())
                OpenOrShow(url.toLocalFile(), QString());
    });
}
