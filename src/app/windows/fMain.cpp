// The main window.
#include "app/windows/fMain.h"

#include "app/logic/uExcept.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fAutoUpdateWizard.h"
#include "app/windows/fAbout.h"
#include "app/windows/fBatchConvert.h"
#include "app/windows/fChooseFormat.h"
#include "app/windows/fCoordsCalculator.h"
#include "app/windows/fFindDups.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fPluginSettings.h"
#include "app/windows/fMobileBrowser.h"
#include "app/windowbase/fProgress.h"
#include "app/windows/fRetrieveVersionInfo.h"
#include "app/windows/fStartup.h"
#include "app/windows/fStatus.h"
#include "app/windows/fSysInfo.h"
#include "app/windows/uLanguageMenu.h"
#include "app/windows/uSingleInstance.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "sites/uUpdateItems.h"
#include "sites/uVersionInfo.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QElapsedTimer>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include <limits>

namespace {

constexpr int DesignWidth = 720;
constexpr int DesignHeight = 560;
constexpr int PanelWidths[4] = { 200, 175, 70, 70 };

// A place in a menu or bar: a command, a separator or one of the window's sub menus.
enum class TPlace { Command, Separator, LanguageMenu };
struct TItem {
    TPlace Place;
    TAction Id;
};
constexpr TItem C(TAction id) { return { TPlace::Command, id }; }
constexpr TItem Separator { TPlace::Separator, TAction::Count };
constexpr TItem Languages { TPlace::LanguageMenu, TAction::Count };

using A = TAction;

// Tool bar buttons in order.
constexpr TItem ToolButtons[] = {
    C(A::acFileNew),
    C(A::acFileOpen),
    C(A::acFileRemote),
    Separator,
    C(A::acFileSave),
    C(A::acFileSaveAs),
    C(A::acFileSaveRemote),
    Separator,
    C(A::acEditCut),
    C(A::acEditCopy),
    C(A::acEditPaste),
    C(A::acFind),
    C(A::acFindNext),
    Separator,
    C(A::acAutoUpdateWizard),
    C(A::acAutoUpdateToolbar),
    C(A::acAutoUpdateManager),
    Separator,
    C(A::acWindowTileHorizontal),
    C(A::acWindowTileVertical),
    C(A::acWindowCascade),
    C(A::acWindowNext),
    Separator,
    C(A::acCalc),
    C(A::acHide),
};

// Menus and their items; acAutoUpdatePopParent carries the profile sub menu.
struct TMenuDef {
    const char* Caption;
    std::vector<TItem> Items;
};

const TMenuDef MenuDefs[] = {
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&File"),
        { C(A::acFileNew), C(A::acFileOpen), C(A::acFileAppend), C(A::acFileRemote), Separator, C(A::acFileSave),
            C(A::acFileSaveAs), C(A::acFileSaveRemote), Separator, C(A::acFileClose), C(A::acFileReconnect),
            Separator, C(A::acMru1), C(A::acMru2), C(A::acMru3), C(A::acMru4), C(A::acMru5), C(A::acMru6),
            C(A::acMru7), C(A::acMru8), C(A::acMru9), Separator, C(A::acHide), C(A::acFileExit) } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Edit"),
        { C(A::acEditCut), C(A::acEditCopy), C(A::acCopyText), C(A::acEditPaste), C(A::acEditDelete),
            C(A::acEditInsert), Separator, C(A::acEditSelectAll), C(A::acInvertSelection), Separator, C(A::acFind),
            C(A::acFindNext), C(A::acFindDups) } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Tools"),
        { C(A::acCalc), C(A::actToolsBatchConvert), Separator, Languages, Separator, C(A::actPrefs) } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&AutoUpdate"),
        { C(A::acAutoUpdateWizard), C(A::acAutoUpdateManager), Separator, C(A::acAutoUpdateNow),
            C(A::acAutoUpdatePopParent), Separator, C(A::acGotoSiteStatus) } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Window"),
        { C(A::acWindowCascade), C(A::acWindowTileHorizontal), C(A::acWindowTileVertical), C(A::WindowMinimizeAll2),
            C(A::WindowArrange1), Separator, C(A::acWindowNext) } },
    { QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Help"),
        { C(A::Action7), C(A::Action8), C(A::Action5), Separator, C(A::Action4), C(A::acCheckEveryWeek), Separator,
            C(A::acSysInfo), C(A::acAbout) } },
};

// The tray menu: "Tarvell..." (the default item), AutoUpdate All, the profile sub menu, Exit.
constexpr TItem TrayItems[] = {
    C(A::Tarvell1),
    C(A::acAutoUpdateNow),
    C(A::acAutoUpdatePopParent),
    Separator,
    C(A::Exit1),
};

// The AutoUpdate profiles as the menus show them.
std::vector<TProfileMenuInfo> Profiles()
{
    std::vector<TProfileMenuInfo> profiles;
    for (int i = 0; i < AutoUpdateProfileCount(); ++i)
        profiles.push_back({ GetAutoUpdateProfileName(i), GetAutoUpdateProfile(i).Count() > 0 });
    return profiles;
}

TMDIChild* ChildOfWindow(QMdiSubWindow* window)
{
    return window ? qobject_cast<TMDIChild*>(window->widget()) : nullptr;
}

} // namespace

TfmTarvellMainForm::TfmTarvellMainForm(TdmMain& data, QWidget* parent)
    : TTarvellForm(parent)
    , FData(data)
{
    // Running copies are found by this name (the single-instance server carries it as well).
    setObjectName(QStringLiteral("TfmTarvellMainForm"));

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
    Action(TAction::acCheckEveryWeek)->setChecked(settings.CheckEveryWeek);
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

    // An activated child activates its map window and puts its own count and change mark into
    // the status bar.
    connect(FMdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        if (TMDIChild* child = ChildOfWindow(window))
            RunCommand(this, [child] { child->ChildActivated(); });
        UpdateActions();
    });
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
    // The children go first: they clear this window's status panels while it still stands.
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        delete window;
    delete FProgress;
    SaveWindowState();
    if (FTray)
        FTray->hide();
}

// --- actions, menus, bars ----------------------------------------------------------------------

void TfmTarvellMainForm::CreateActions()
{
    for (const TAction id : ActionsOf(TActionWindow::Main)) {
        const TActionDef& def = ActionDef(id);
        // Ins and Del belong to the child's own commands, which these rows execute; the keys are
        // only shown here: two actions on one key in one window would both be refused as ambiguous.
        const bool childsKey = id == TAction::acEditInsert || id == TAction::acEditDelete;
        QAction* action = CreateTableAction(this, def, FData, childsKey ? Qt::WidgetShortcut : Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, id] { Run([this, id] { Execute(id); }); });
        FActions[size_t(id)] = action;
    }
}

void TfmTarvellMainForm::Execute(TAction id)
{
    TMDIChild* child = ActiveChild();
    const bool handled = ExecuteFileCommand(id, child) || ExecuteEditCommand(id, child) || ExecuteToolsCommand(id, child)
        || ExecuteUpdateCommand(id) || ExecuteWindowCommand(id) || ExecuteHelpCommand(id);
    // The child's own commands run in the child.
    Q_ASSERT(handled || ActionDef(id).Window == TActionWindow::Child);
    (void)handled;
}

// The File menu; false for any other command.
bool TfmTarvellMainForm::ExecuteFileCommand(TAction id, TMDIChild* child)
{
    switch (id) {
    case A::acFileNew:
        acFileNewExecute();
        break;
    case A::acFileOpen:
        acFileOpenExecute();
        break;
    case A::acFileAppend:
        acFileAppendExecute();
        break;
    case A::acFileSave:
        if (child)
            child->Save();
        break;
    case A::acFileSaveAs:
        if (child)
            child->SaveAs();
        break;
    case A::acFileRemote:
        acFileRemoteExecute();
        break;
    case A::acFileSaveRemote:
        acFileSaveRemoteExecute();
        break;
    case A::acFileClose:
        if (QMdiSubWindow* window = FMdiArea->currentSubWindow())
            window->close();
        break;
    case A::acFileReconnect:
        DisconnectDevice();
        break;
    case A::acHide:
        acHideExecute();
        break;
    case A::acFileExit:
        acFileExitExecute();
        break;
    case A::acMru1:
    case A::acMru2:
    case A::acMru3:
    case A::acMru4:
    case A::acMru5:
    case A::acMru6:
    case A::acMru7:
    case A::acMru8:
    case A::acMru9:
        acMruExecute(ActionDef(id).Tag);
        break;
    default:
        return false;
    }
    return true;
}

// The Edit menu; false for any other command.
bool TfmTarvellMainForm::ExecuteEditCommand(TAction id, TMDIChild* child)
{
    switch (id) {
    case A::acEditCopy:
        if (child)
            child->CopySelected();
        break;
    case A::acCopyText:
        if (child)
            child->CopyAsText();
        break;
    case A::acEditCut:
        if (child)
            child->CutSelected();
        break;
    case A::acEditPaste:
        if (child)
            child->Paste();
        break;
    case A::acEditDelete:
        if (child)
            child->Action(TAction::acDelete)->trigger();
        break;
    case A::acEditInsert:
        if (child)
            child->Action(TAction::acInsert)->trigger();
        break;
    case A::acEditSelectAll:
        if (child)
            child->SelectAll();
        break;
    case A::acInvertSelection:
        if (child)
            child->InvertSelection();
        break;
    case A::acFind:
        acFindExecute();
        break;
    case A::acFindNext:
        acFindNextExecute();
        break;
    default:
        return false;
    }
    return true;
}

// The Tools menu; false for any other command.
bool TfmTarvellMainForm::ExecuteToolsCommand(TAction id, TMDIChild* child)
{
    switch (id) {
    case A::acFindDups:
        if (child)
            ShowFindDups(*child);
        break;
    case A::acCalc:
        ShowCoordsCalculator(this, Action(A::acCalc)->text());
        break;
    case A::actToolsBatchConvert:
        ShowBatchConvert(this, [this](const QString& path, const QString& formatID) { OpenFile(nullptr, path, false, formatID); });
        break;
    case A::actPrefs:
        ShowPreferences(FData, this);
        break;
    default:
        return false;
    }
    return true;
}

// The AutoUpdate menu; false for any other command.
bool TfmTarvellMainForm::ExecuteUpdateCommand(TAction id)
{
    switch (id) {
    case A::acAutoUpdateNow:
    case A::acAutoUpdateToolbar:
        acAutoUpdateNowExecute();
        break;
    case A::acAutoUpdateManager:
        acAutoUpdateManagerExecute();
        break;
    case A::acAutoUpdateWizard:
        acAutoUpdateWizardExecute();
        break;
    case A::acAutoUpdatePopParent:
        // Only the parent of the profile sub menu.
        break;
    case A::acAutoUpdateProfile1:
    case A::acAutoUpdateProfile2:
    case A::acAutoUpdateProfile3:
    case A::acAutoUpdateProfile4:
    case A::acAutoUpdateProfile5:
    case A::acAutoUpdateProfile6:
    case A::acAutoUpdateProfile7:
    case A::acAutoUpdateProfile8:
    case A::acAutoUpdateProfile9:
    case A::acAutoUpdateProfile10:
        acAutoUpdateProfileExecute(ActionDef(id).Tag);
        break;
    case A::acGotoSiteStatus:
        OpenUrlPath(QStringLiteral("/sites.htm"));
        break;
    default:
        return false;
    }
    return true;
}

// The Window menu; false for any other command.
bool TfmTarvellMainForm::ExecuteWindowCommand(TAction id)
{
    switch (id) {
    case A::acWindowCascade:
        FMdiArea->cascadeSubWindows();
        break;
    case A::acWindowTileHorizontal:
        TileWindows(true);
        break;
    case A::acWindowTileVertical:
        TileWindows(false);
        break;
    case A::WindowMinimizeAll2:
        for (QMdiSubWindow* window : FMdiArea->subWindowList())
            window->showMinimized();
        break;
    case A::WindowArrange1:
        ArrangeMinimized();
        break;
    case A::acWindowNext:
        FMdiArea->activateNextSubWindow();
        break;
    default:
        return false;
    }
    return true;
}

// The Help menu and the tray menu's own items; false for any other command.
bool TfmTarvellMainForm::ExecuteHelpCommand(TAction id)
{
    switch (id) {
    case A::Action7:
        OpenUrlPath(QString());
        break;
    case A::Action8:
        OpenUrlPath(QStringLiteral("/faq.htm"));
        break;
    case A::Action5:
        OpenUrlPath(QStringLiteral("/viewforum.php?f=2"));
        break;
    case A::Action4:
        Action4Execute();
        break;
    case A::acCheckEveryWeek:
        GetSettings().CheckEveryWeek = Action(TAction::acCheckEveryWeek)->isChecked();
        break;
    case A::Tarvell1:
        Tarvell1Click();
        break;
    case A::Exit1:
        Action(TAction::acFileExit)->trigger();
        break;
    case A::acSysInfo: {
        TfmSysInfo info(ProgramReportSource(), this);
        info.exec();
        break;
    }
    case A::acAbout: {
        TfmAbout about(this);
        about.exec();
        break;
    }
    default:
        return false;
    }
    return true;
}

void TfmTarvellMainForm::CreateMenus()
{
    FProfileSubMenu = new QMenu(this);
    for (int i = 0; i < 10; ++i)
        FProfileSubMenu->addAction(Action(TAction(int(TAction::acAutoUpdateProfile1) + i)));
    Action(TAction::acAutoUpdatePopParent)->setMenu(FProfileSubMenu);
    for (const TMenuDef& def : MenuDefs) {
        QMenu* menu = menuBar()->addMenu(QString());
        FMenus.emplace_back(menu, def.Caption);
        connect(menu, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
        for (const TItem& item : def.Items) {
            switch (item.Place) {
            case TPlace::Separator:
                menu->addSeparator();
                break;
            case TPlace::LanguageMenu:
                FLanguageMenu = menu->addMenu(QString());
                FLanguageMenu->setObjectName(QStringLiteral("Language1"));
                break;
            case TPlace::Command:
                menu->addAction(Action(item.Id));
                break;
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
    for (const TItem& item : ToolButtons) {
        if (item.Place == TPlace::Separator)
            FToolBar->addSeparator();
        else
            FToolBar->addAction(Action(item.Id));
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
        FPanels[size_t(i)] = panel;
        // Panel 0 takes what the other three leave, as the status bar grows and shrinks.
        if (i == 0)
            bar->addWidget(panel, 1);
        else
            bar->addPermanentWidget(panel);
    }
}

void TfmTarvellMainForm::FitStatusPanels()
{
    // The widest text each panel shows, in the language shown: the design widths grow to it, so
    // no text is cut and the panels keep still while the mouse moves over a map.
    const QLocale locale;
    const QString widest[4] = { QString(),
        QStringLiteral("%1 %2 (%3 %4)")
            .arg(locale.toString(-88.888888, 'f', 6), locale.toString(-188.888888, 'f', 6))
            .arg(-88888)
            .arg(-88888),
        // As many digits as the largest count a list can hold.
        QCoreApplication::translate("TMDIChild", "%1 items")
            .arg(QString(QString::number(std::numeric_limits<int>::max()).size(), QChar('8'))),
        QCoreApplication::translate("TMDIChild", "Changed") };
    for (int i = 1; i < 4; ++i) {
        QLabel* panel = FPanels[size_t(i)];
        const QString text = panel->text();
        panel->setText(widest[i]);
        panel->setFixedWidth(std::max(PanelWidths[i], panel->sizeHint().width()));
        panel->setText(text);
    }
}

void TfmTarvellMainForm::CreateTray()
{
    FTray = new QSystemTrayIcon(ProgramIcon(), this);
    FTrayMenu = new QMenu(this);
    FTrayMenu->setObjectName(QStringLiteral("PopupMenu1"));
    for (const TItem& item : TrayItems) {
        if (item.Place == TPlace::Separator)
            FTrayMenu->addSeparator();
        else
            FTrayMenu->addAction(Action(item.Id));
    }
    QFont bold = Action(TAction::Tarvell1)->font();
    bold.setBold(true);
    Action(TAction::Tarvell1)->setFont(bold);
    connect(FTrayMenu, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
    FTray->setContextMenu(FTrayMenu);
    connect(FTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Action(TAction::Tarvell1)->trigger();
    });
}

void TfmTarvellMainForm::Retranslate()
{
    setWindowTitle(ApplicationTitle());
    for (const auto& [menu, caption] : FMenus)
        menu->setTitle(tr(caption));
    FLanguageMenu->setTitle(tr("&Language"));
    for (const TAction id : ActionsOf(TActionWindow::Main)) {
        const TActionDef& def = ActionDef(id);
        if (*def.Caption && def.Rule != TActionRule::Profile)
            Action(id)->setText(tr(def.Caption));
    }
    FToolBar->setWindowTitle(tr("Tool bar"));
    FTray->setToolTip(ApplicationTitle());
    FitStatusPanels();
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

TActionState TfmTarvellMainForm::CurrentState() const
{
    TActionState state;
    state.ChildCount = int(FMdiArea->subWindowList().size());
    const TMDIChild* child = ActiveChild();
    state.ListHasFocus = child && child->ListHasFocus();
    state.DeviceConnected = IsDeviceConnected();
    state.SearchTextEmpty = FSearchText.isEmpty();
    state.MruCount = GetSettings().MRU.Count();
    state.ProfileItems.clear();
    for (const TProfileMenuInfo& profile : Profiles())
        state.ProfileItems.push_back(profile.HasItems ? 1 : 0);
    if (state.ProfileItems.empty())
        state.ProfileItems.push_back(0);
    state.CheckEveryWeek = Action(TAction::acCheckEveryWeek)->isChecked();
    state.UpdateRunning = FUpdateRunning;
    return state;
}

void TfmTarvellMainForm::UpdateActions()
{
    if (FDestroying)
        return;
    const TActionState state = CurrentState();
    const std::vector<TProfileMenuInfo> profiles = Profiles();
    for (const TAction id : ActionsOf(TActionWindow::Main)) {
        const TActionDef& def = ActionDef(id);
        QAction* action = Action(id);
        const TActionLook look = EvaluateAction(def, state);
        action->setEnabled(look.Enabled);
        action->setVisible(look.Visible);
        if (action->isCheckable())
            action->setChecked(look.Checked);
        if (look.Image >= 0)
            SetTableActionImage(action, FData, look.Image);
        if (def.Rule == TActionRule::Mru && def.Tag < state.MruCount)
            action->setText(TOpenFile::MruCaption(def.Tag, GetSettings().MRU.GetName(def.Tag)));
        if (def.Rule == TActionRule::Profile) {
            const QString name = def.Tag == 0       ? tr("Default")
                : size_t(def.Tag) < profiles.size() ? profiles[size_t(def.Tag)].Name
                                                    : QString();
            action->setText(tr(def.Caption).arg(name));
        }
    }
}

void TfmTarvellMainForm::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
    UpdateActions();
}

void TfmTarvellMainForm::OpenUrlPath(const QString& path)
{
    OpenUrl(QUrl(ProductWebSite() + path));
}

// --- child windows -----------------------------------------------------------------------------

TMDIChild* TfmTarvellMainForm::NewChild()
{
    auto* child = new TMDIChild(*this);
    QMdiSubWindow* window = FMdiArea->addSubWindow(child);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The frame's own Close carries Ctrl+F4 as well; Close File is the one command on that key.
    if (QMenu* menu = window->systemMenu())
        for (QAction* action : menu->actions()) {
            QList<QKeySequence> keys = action->shortcuts();
            if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_F4)) > 0)
                action->setShortcuts(keys);
        }
    FMdiArea->setActiveSubWindow(window);
    if (GetSettings().ChildrenMaximized)
        window->setWindowState(Qt::WindowMaximized);
    connect(window, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates before, Qt::WindowStates now) {
        if (const std::optional<bool> maximized = ChildrenMaximizedChange(before, now))
            ChildMaximizedChanged(*maximized);
    });
    // A closed child has cleared the status panels; the one active now fills them again (the area
    // may have activated it before the closed one was gone).
    connect(window, &QObject::destroyed, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (TMDIChild* child = ActiveChild())
                child->RefreshView(true);
            UpdateActions();
        });
    });
    return child;
}

std::optional<bool> TfmTarvellMainForm::ChildrenMaximizedChange(Qt::WindowStates before, Qt::WindowStates now)
{
    enum class TSize { Minimized, Maximized, Normal };
    auto size = [](Qt::WindowStates states) {
        return states.testFlag(Qt::WindowMinimized) ? TSize::Minimized
            : states.testFlag(Qt::WindowMaximized)  ? TSize::Maximized
                                                    : TSize::Normal;
    };
    if (size(before) == size(now) || size(now) == TSize::Minimized)
        return std::nullopt;
    return size(now) == TSize::Maximized;
}

void TfmTarvellMainForm::ChildMaximizedChanged(bool maximized)
{
    GetSettings().ChildrenMaximized = maximized;
}

TMDIChild* TfmTarvellMainForm::ActiveChild() const
{
    return ChildOfWindow(FMdiArea->currentSubWindow());
}

TMDIChild* TfmTarvellMainForm::FindChild(const QString& path) const
{
    const QString location = AbsoluteLocation(path);
    for (TMDIChild* child : Children())
        if (SameLocation(child->FileName(), location))
            return child;
    return nullptr;
}

QList<TMDIChild*> TfmTarvellMainForm::Children() const
{
    QList<TMDIChild*> children;
    for (QMdiSubWindow* window : FMdiArea->subWindowList(QMdiArea::CreationOrder))
        if (TMDIChild* child = ChildOfWindow(window))
            children << child;
    return children;
}

void TfmTarvellMainForm::ShowChild(TMDIChild* child)
{
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (window->widget() == child) {
            window->show();
            child->show();
            FMdiArea->setActiveSubWindow(window);
        }
}

bool TfmTarvellMainForm::FreeAllChildren()
{
    const QList<QMdiSubWindow*> windows = FMdiArea->subWindowList(QMdiArea::CreationOrder);
    // Every child is asked before any is freed, so a refusal leaves all files open.
    for (QMdiSubWindow* window : windows) {
        TMDIChild* child = ChildOfWindow(window);
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

// --- the open routine --------------------------------------------------------------------------

void TfmTarvellMainForm::OpenFile(TMDIChild* child, const QString& path, bool append, const QString& formatID)
{
    TOpenFile::Open(*this, path, child ? &child->Document() : nullptr, append && child, formatID);
    if (child)
        child->RefreshView(true);
}

TMDIChild* TfmTarvellMainForm::ChildOf(const TChildDocument* document) const
{
    for (TMDIChild* child : Children())
        if (&child->Document() == document)
            return child;
    return nullptr;
}

TChildDocument* TfmTarvellMainForm::NewChildDocument()
{
    return &NewChild()->Document();
}

void TfmTarvellMainForm::DiscardChild(TChildDocument* document)
{
    // Nothing to ask: the window never showed a file.
    if (TMDIChild* child = ChildOf(document))
        delete child->parentWidget();
}

void TfmTarvellMainForm::SetChildIcon(TChildDocument* document, const std::string& bitmap)
{
    QPixmap picture;
    TMDIChild* child = ChildOf(document);
    // Only a bitmap: its header is what the open routine checked the picture's size by.
    if (!child || !picture.loadFromData(reinterpret_cast<const uchar*>(bitmap.data()), uint(bitmap.size()), "BMP"))
        return;
    const QIcon icon = BitmapToIcon(picture);
    child->setWindowIcon(icon);
    if (QWidget* frame = child->parentWidget())
        frame->setWindowIcon(icon);
}

void TfmTarvellMainForm::ChildLoaded(TChildDocument* document)
{
    if (TMDIChild* child = ChildOf(document)) {
        ShowChild(child);
        child->RefreshView(true);
    }
}

std::function<void(int)> TfmTarvellMainForm::BeginProgress()
{
    // A file forwarded by a second start may be opened while this one waits for events below:
    // the nested open shares the window, and the outer one's callback must survive its end.
    if (FProgressDepth++ == 0) {
        delete FProgress;
        FProgress = new TfmProgress(nullptr);
        FProgress->SetMaximum(100);
        FProgress->SetText(TfmProgress::tr("Loading, please wait..."));
        FProgress->CentreOn(this);
        FProgress->show();
    }
    QPointer<TfmProgress> progress = FProgress;
    // The parse that follows lets no events through: the window is painted now or never. A new
    // window can be drawn only once the display has mapped it, a round trip away.
    QElapsedTimer clock;
    clock.start();
    do
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    while (progress && progress->windowHandle() && !progress->windowHandle()->isExposed() && clock.elapsed() < 500);
    if (progress)
        progress->repaint();
    return [progress](int n) {
        if (progress)
            progress->SetPositionInt(n);
    };
}

void TfmTarvellMainForm::EndProgress()
{
    if (FProgressDepth > 0 && --FProgressDepth > 0)
        return;
    delete FProgress;
    FProgress = nullptr;
}

bool TfmTarvellMainForm::ChooseFormat(const QString& path, const QString& extension, const QString& triedFormat,
    const QString& error, QString& picked, bool& useAsDefault)
{
    TfmChooseFormat dialog(this);
    dialog.FileName = path;
    dialog.Extension = extension;
    dialog.TriedFormat = triedFormat;
    dialog.SetErrorText(error);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    picked = dialog.GetFormat();
    useAsDefault = dialog.GetUseAsDefault();
    return true;
}

// --- commands ----------------------------------------------------------------------------------

void TfmTarvellMainForm::acFileNewExecute()
{
    ShowChild(NewChild());
}

void TfmTarvellMainForm::OpenOrShow(const QString& path, const QString& formatID)
{
    if (TMDIChild* child = FindChild(path)) {
        ShowChild(child);
        return;
    }
    OpenFile(nullptr, path, false, formatID);
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
    TMDIChild* child = ActiveChild();
    if (!child)
        return;
    TOpenFileRequest request = OpenDialog1();
    if (!GetPrompt().OpenFileDialog(this, request))
        return;
    const QString format = TOpenFile::FormatAtFilterIndex(request.FilterIndex);
    for (const QString& file : request.Files)
        OpenFile(child, file, true, format);
}

void TfmTarvellMainForm::acFileRemoteExecute()
{
    ConnectDevice();
    TfmMobileBrowser browser(this, false);
    browser.SetFileName(GetSettings().PrevRemoteDir);
    if (browser.exec() != QDialog::Accepted)
        return;
    const QString name = browser.FileName();
    GetSettings().PrevRemoteDir = DeviceFolderPart(name);
    // Read again even when a child shows it: the device file may have changed.
    OpenFile(nullptr, QStringLiteral("MOBILE://") + name, false, browser.OpenFormatID());
}

void TfmTarvellMainForm::acFileSaveRemoteExecute()
{
    TMDIChild* child = ActiveChild();
    if (!child)
        return;
    ConnectDevice();
    TfmMobileBrowser browser(this, true);
    browser.SetExtraVisible(true);
    browser.SetExtraCaption(tr("Copy bmp file if available"));
    const QString preset = child->Document().RemoteSaveName(GetSettings().PrevRemoteDir);
    browser.SetFileName(preset);
    browser.SetFormatIndex(child->Document().RemoteSaveTypeIndex(preset));
    if (browser.exec() != QDialog::Accepted)
        return;
    child->SaveRemote(browser.FileName(), browser.FormatIndex(), browser.GetExtraChecked());
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

void TfmTarvellMainForm::acHideExecute()
{
    HideInTray(QSystemTrayIcon::isSystemTrayAvailable());
}

void TfmTarvellMainForm::HideInTray(bool trayAvailable)
{
    if (!trayAvailable) {
        // Without a notification area a hidden window could not be reached again.
        showMinimized();
        return;
    }
    FFlags.HidingInTray = true;
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
    if (TMDIChild* child = ActiveChild())
        child->Find(text);
}

void TfmTarvellMainForm::acFindNextExecute()
{
    if (TMDIChild* child = ActiveChild())
        child->FindNext(FSearchText);
}

void TfmTarvellMainForm::acAutoUpdateNowExecute()
{
    const std::vector<TProfileMenuInfo> profiles = Profiles();
    if (profiles.size() <= 1) {
        AutoUpdateAllProfiles(false);
        return;
    }
    BuildAutoUpdateMenu(FProfileMenu);
    // Below the tool button; from a menu, the tray or F9 it may not show: at the mouse then.
    QPoint where = QCursor::pos();
    if (QToolButton* button = FindToolButton(FToolBar, Action(TAction::acAutoUpdateToolbar)))
        if (button->isVisible())
            where = button->mapToGlobal(QPoint(0, button->height()));
    FProfileMenu->popup(where);
}

void TfmTarvellMainForm::acAutoUpdateManagerExecute()
{
    bool wizard = false;
    {
        TfmSiteManager manager(this, FData, this);
        FSiteManager = &manager;
        const std::unique_ptr<TfmSiteManager*, void (*)(TfmSiteManager**)> clear(
            &FSiteManager, [](TfmSiteManager** reference) { *reference = nullptr; });
        manager.exec();
        wizard = manager.StartWizardRequested();
    }
    // The wizard comes once the manager is gone, from the event loop, so neither nests in the other.
    if (wizard)
        QTimer::singleShot(0, this, [this] { Action(TAction::acAutoUpdateWizard)->trigger(); });
}

void TfmTarvellMainForm::acAutoUpdateWizardExecute()
{
    bool manager = false;
    {
        TfmAutoUpdateWizard wizard(this, FData, this);
        wizard.exec();
        manager = wizard.OpenManagerRequested();
    }
    if (manager)
        QTimer::singleShot(0, this, [this] { Action(TAction::acAutoUpdateManager)->trigger(); });
}

void TfmTarvellMainForm::RunUpdate(const std::function<void()>& body)
{
    // Refused, never nested: the commands that lead here are disabled during a run, and what
    // arrives from outside (a timer, a forwarded request) waits for its end.
    if (FUpdateRunning)
        return;
    {
        const TFlagScope running(FUpdateRunning);
        UpdateActions();
        RunCommand(this, body);
    }
    if (FSiteManager)
        FSiteManager->RefreshItems();
    UpdateRunEnded();
}

void TfmTarvellMainForm::acAutoUpdateProfileExecute(int tag)
{
    // A profile run is a run too: a forwarded update request waits for it.
    RunUpdate([this, tag] { RunAutoUpdateProfile(this, tag); });
}

void TfmTarvellMainForm::AutoUpdateAllProfiles(bool silent)
{
    RunUpdate([this, silent] { RunAutoUpdateAll(this, !isVisible(), silent); });
}

void TfmTarvellMainForm::BuildAutoUpdateMenu(QMenu* menu, const std::function<void(QAction*)>& onClick)
{
    ::BuildAutoUpdateMenu(menu, Profiles(), true, onClick ? onClick : [this](QAction* item) { AutoUpdateProfileClick(item); });
}

void TfmTarvellMainForm::ShowStartupScreen()
{
    if (!FStartup)
        FStartup = new TfmTarvellStartup(*this);
    FStartup->show();
    FStartup->raise();
    FStartup->activateWindow();
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
    const std::vector<TProfileMenuInfo> profiles = Profiles();
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

void TfmTarvellMainForm::Action4Execute()
{
    {
        TfmRetrieveVersionInfo form(this);
        form.exec();
    }
    CreateSettingsStore()->WriteString(
        QStringLiteral("Settings"), QStringLiteral("LastVersionCheck"), QDate::currentDate().toString(Qt::ISODate));
}

void TfmTarvellMainForm::Timer1Timer()
{
    FTimer1.stop();
    Run([this] {
        if (!Action(TAction::acCheckEveryWeek)->isChecked())
            return;
        // A silent start (an update on device connection) asks nothing; the check stays due. A
        // build still carrying the placeholder address has nothing to ask.
        if (ParamExists(QStringLiteral("/silent")) || IsPlaceholderWebSite(ProductWebSite()))
            return;
        const QString last = CreateSettingsStore()->ReadString(
            QStringLiteral("Settings"), QStringLiteral("LastVersionCheck"), QString());
        if (VersionCheckDue(last, QDate::currentDate()))
            Action(TAction::Action4)->trigger();
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
                OpenFile(nullptr, path, false, QString());
                opened = true;
            }
        }
        if (ParamExists(QStringLiteral("/update"))) {
            FSilentUpdate = ParamExists(QStringLiteral("/silent"));
            FUpdateParams = CommandLineParams();
            FTiAutoUpdate.start();
        } else if (GetSettings().ShowStartupScreen && !opened && !ParamExists(QStringLiteral("/tray"))) {
            ShowStartupScreen();
        }
    });
}

void TfmTarvellMainForm::tiAutoUpdateTimer()
{
    FTiAutoUpdate.stop();
    if (FUpdateRunning) {
        FTimerDeferred = true;
        return;
    }
    RunUpdate([this] {
        const QStringList named = NamedProfiles(FUpdateParams);
        if (named.isEmpty()) {
            RunAutoUpdateAll(this, !isVisible(), FSilentUpdate);
            return;
        }
        CheckNamedProfiles(named);
        RunAutoUpdateProfiles(this, named, !isVisible(), FSilentUpdate);
    });
}

void TfmTarvellMainForm::StartUpdateRequest(const TInstanceMessage& message)
{
    // During a run the device may be written to, and runs do not nest: the request waits, joined
    // with any other that waits, so that none is lost.
    if (FUpdateRunning) {
        FPendingUpdate = FPendingUpdate ? MergeAutoUpdateMessages(*FPendingUpdate, message) : message;
        return;
    }
    TInstanceMessage request = message;
    // A request still waiting for its delay takes this one in.
    if (FTiAutoUpdate.isActive())
        request = MergeAutoUpdateMessages(
            { WM_AUTOUPDATE, FSilentUpdate ? 1 : 0, NamedProfileSwitches(FUpdateParams).join(QLatin1Char('\n')).toUtf8() },
            message);
    DisconnectDevice();
    FSilentUpdate = request.WParam == 1;
    FUpdateParams = QString::fromUtf8(request.Data).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    FTiAutoUpdate.start();
}

void TfmTarvellMainForm::UpdateRunEnded()
{
    if (FUpdateRunning)
        return;
    UpdateActions();
    if (std::exchange(FCloseDeferred, false))
        close();
    if (std::exchange(FTimerDeferred, false))
        FTiAutoUpdate.start();
    if (FPendingUpdate) {
        const TInstanceMessage message = *FPendingUpdate;
        FPendingUpdate.reset();
        RunCommand(this, [this, &message] { StartUpdateRequest(message); });
    }
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
        case WM_COPYDATA_CODE:
            OpenOrShow(QString::fromUtf8(message.Data), QString());
            break;
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
            Action(TAction::acFileExit)->trigger();
            break;
        default:
            break;
        }
    });
}

void TfmTarvellMainForm::StartInTray()
{
    Action(TAction::acHide)->trigger();
}

void TfmTarvellMainForm::Tarvell1Click()
{
    if (!FUpdateRunning) {
        const bool hidden = !isVisible();
        if (hidden)
            show();
        if (hidden && GetSettings().ShowStartupScreen)
            ShowStartupScreen();
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

// --- closing, bounds, events -------------------------------------------------------------------

void TfmTarvellMainForm::closeEvent(QCloseEvent* event)
{
    // Exceptions while the program ends offer restart and close.
    if (FFlags.Exiting)
        AppClosing.store(true);
    if (FUpdateRunning) {
        // The run's window belongs to this one: the close waits until the run has ended.
        FCloseDeferred = true;
        event->ignore();
        return;
    }
    const bool closed = FreeAllChildren();
    int language = -1;
    switch (DecideClose(FFlags, closed, &language)) {
    case TCloseOutcome::Refused:
        event->ignore();
        break;
    case TCloseOutcome::Hide:
        event->ignore();
        FTray->show();
        hide();
        break;
    case TCloseOutcome::Exit:
        event->accept();
        QCoreApplication::quit();
        break;
    case TCloseOutcome::Restart:
        event->accept();
        SaveWindowState();
        // The closing copy must not be found by the new one: it would forward to us and end.
        if (FServer)
            FServer->Close();
        RestartInLanguage(language);
        QCoreApplication::quit();
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
    // Bounds stored on another screen would leave the window out of reach.
    FitWindowToScreen(this);
    --FBoundsGuard;
}

void TfmTarvellMainForm::ReapplyBounds()
{
    if (GetSettings().PluginAutoArrange && !GetSettings().UserBounds)
        RestoreBounds();
}

void TfmTarvellMainForm::TakeStrip(const QRect& bounds)
{
    ++FBoundsGuard;
    if (isMaximized() || isMinimized())
        showNormal();
    resize(bounds.size() - (frameGeometry().size() - size()));
    move(bounds.topLeft());
    --FBoundsGuard;
    GetSettings().UserBounds = false;
}

void TfmTarvellMainForm::SaveWindowState()
{
    TSettings& s = GetSettings();
    s.CheckEveryWeek = Action(TAction::acCheckEveryWeek)->isChecked();
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
    AppStarting.store(false);
    UpdateActions();
}

bool TfmTarvellMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && FStartup && FStartup->isVisible())
        FStartup->raise();
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

void TfmTarvellMainForm::SetStatusText(int panel, const QString& text)
{
    if (QLabel* label = StatusPanel(panel))
        label->setText(text);
}

bool TfmTarvellMainForm::IsActiveChild(const TMDIChild* child) const { return ActiveChild() == child; }

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
