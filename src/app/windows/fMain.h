// The main window: the multiple-document frame with the menu, tool bar, status bar, tray icon,
// timers and every user command; it receives the single-instance messages and dropped files,
// runs the one open routine and decides whether a close hides, exits or restarts.
#pragma once

#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fStartup.h"
#include "app/windows/uChildHost.h"
#include "app/windowbase/uDialogs.h"
#include "app/logic/uMainActions.h"
#include "app/logic/uOpenFile.h"
#include "app/windows/uSingleInstance.h"
#include "app/windowbase/uTarvellForm.h"

#include <QDate>
#include <QRect>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSystemTrayIcon;
class QToolBar;
class TdmMain;
class TfmProgress;
class TInstanceServer;
class TMDIChild;

class TfmTarvellMainForm : public TTarvellForm,
                           private TOpenHost,
                           private TSiteManagerHost,
                           private TChildHost,
                           private TStartupHost {
    Q_OBJECT
public:
    // data: the data module, which outlives the window.
    explicit TfmTarvellMainForm(TdmMain& data, QWidget* parent = nullptr);
    ~TfmTarvellMainForm() override;

    TdmMain& Data() const override { return FData; }
    QAction* Action(TAction id) const { return FActions[size_t(id)]; }
    // Sets enabled, visible, ticks and pictures from the current state.
    void UpdateActions();
    TActionState CurrentState() const;

    // Child windows.
    TMDIChild* NewChild();
    // Shows a child window in the frame and activates it.
    void ShowChild(TMDIChild* child);
    void ChildMaximizedChanged(bool maximized);
    TMDIChild* ActiveChild() const;
    // The first child (in creation order) showing path (a local one made absolute and cleaned):
    // device paths compare case-insensitively, local paths exactly.
    TMDIChild* FindChild(const QString& path) const;
    QList<TMDIChild*> Children() const;

    // The one open routine: reads path, parses it and fills child (appending) or a new child
    // window. Failures raise to the caller.
    void OpenFile(TMDIChild* child, const QString& path, bool append, const QString& formatID);

    // The open dialog as the window sets it up: folder "InitialDir", the open filter with its
    // entry 1 ("All supported filetypes") chosen, default extension "OV2", several files.
    TOpenFileRequest OpenDialog1() const;

    void RestoreBounds();
    void ReapplyBounds() override;
    // A plug-in arranged the main window: it takes bounds (frame, screen pixels), and its own
    // bounds are no longer the user's (UserBounds := false).
    void TakeStrip(const QRect& bounds) override;
    // Writes the window state and bounds into the settings object.
    void SaveWindowState();

    // An update run of all profiles in this window; refused while a run goes on.
    void AutoUpdateAllProfiles(bool silent) override;
    // The profile menus' click: data -1 is all profiles, else a profile index.
    void AutoUpdateProfileClick(QAction* item) override;
    // Refills menu with "All Profiles", "Default" and one entry per profile; each entry runs
    // onClick, AutoUpdateProfileClick when none is given.
    void BuildAutoUpdateMenu(QMenu* menu, const std::function<void(QAction*)>& onClick = {}) override;

    // Shows the start-up screen, not modally, creating it the first time.
    void ShowStartupScreen();

    // Single-instance messages; the server stays attached for a restart to close it.
    void AttachInstanceServer(TInstanceServer* server);
    void HandleInstanceMessage(const TInstanceMessage& message);
    // Start hidden in the tray ("/tray").
    void StartInTray();
    // Tray item "Tarvell...".
    void Tarvell1Click();

    // A language menu item chosen (after the switcher checked its file): the program ends and
    // starts again in language lcid. The checked item does nothing.
    void LanguageClick(QAction* item, int lcid);

    // True when the weekly version check is due: no stored date ("yyyy-MM-dd") or one older than
    // 7 days.
    static bool VersionCheckDue(const QString& lastCheck, const QDate& today);
    // What a state change of a child frame means for "ChildrenMaximized": true for a change to
    // maximised, false for a change to restored (normal); none for minimising, an activation or
    // anything else.
    static std::optional<bool> ChildrenMaximizedChange(Qt::WindowStates before, Qt::WindowStates now);
    // Profile names of the "/PROF:" parameters in order.
    static QStringList NamedProfiles(const QStringList& params);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TMainFormTestAccess;

    QMdiArea* MdiArea() const { return FMdiArea; }
    // The start-up screen, created on first use and kept; none before.
    TfmTarvellStartup* StartupScreen() const { return FStartup; }
    // The AutoUpdate Manager while it is shown, else none.
    TfmSiteManager* SiteManager() const { return FSiteManager; }
    // The tool bar, status bar panels (0 hint, 1 coordinates, 2 count, 3 change mark), tray.
    QToolBar* ToolBar1() const { return FToolBar; }
    QLabel* StatusPanel(int index) const;
    QSystemTrayIcon* TrayIcon() const { return FTray; }
    QMenu* PopupMenu1() const { return FTrayMenu; }
    QMenu* PmAutoUpdate() const { return FProfileMenu; }
    QMenu* Language1() const { return FLanguageMenu; }
    const QString& SearchText() const { return FSearchText; }
    bool UpdateRunning() const { return FUpdateRunning; }

    // TOpenHost
    TChildDocument* NewChildDocument() override;
    void DiscardChild(TChildDocument* document) override;
    void SetChildIcon(TChildDocument* document, const std::string& bitmap) override;
    void ChildLoaded(TChildDocument* document) override;
    std::function<void(int)> BeginProgress() override;
    void EndProgress() override;
    bool ChooseFormat(const QString& path, const QString& extension, const QString& triedFormat, const QString& error,
        QString& picked, bool& useAsDefault) override;
    TMDIChild* ChildOf(const TChildDocument* document) const;
    // TChildHost, TStartupHost
    void SetStatusText(int panel, const QString& text) override;
    bool IsActiveChild(const TMDIChild* child) const override;
    QWidget* HostWindow() override { return this; }
    // TStartupHost: the start-up screen's buttons run these commands.
    void NewFile() override { Action(TAction::acFileNew)->trigger(); }
    void StartWizard() override { Action(TAction::acAutoUpdateWizard)->trigger(); }
    void OpenSiteManager() override { Action(TAction::acAutoUpdateManager)->trigger(); }

    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void FitStatusPanels();
    void CreateTray();
    void FillLanguageMenu();
    void Retranslate() override;
    // What each command does: every main-window value of TAction has its case in one of the
    // menus' functions, which answer false for a command not theirs.
    void Execute(TAction id);
    bool ExecuteFileCommand(TAction id, TMDIChild* child);
    bool ExecuteEditCommand(TAction id, TMDIChild* child);
    bool ExecuteToolsCommand(TAction id, TMDIChild* child);
    bool ExecuteUpdateCommand(TAction id);
    bool ExecuteWindowCommand(TAction id);
    bool ExecuteHelpCommand(TAction id);
    void Run(const std::function<void()>& body);
    void OpenUrlPath(const QString& path);
    bool FreeAllChildren();
    void TileWindows(bool horizontal);
    void ArrangeMinimized();

    void acFileNewExecute();
    void acFileOpenExecute();
    void acFileAppendExecute();
    void acFileRemoteExecute();
    void acFileSaveRemoteExecute();
    void acMruExecute(int tag);
    // Shows the child that already shows path, else opens it.
    void OpenOrShow(const QString& path, const QString& formatID);
    void acHideExecute();
    // Hides into the tray, or minimises when the desktop has no notification area.
    void HideInTray(bool trayAvailable);
    void acFileExitExecute();
    void acFindExecute();
    void acFindNextExecute();
    void acAutoUpdateNowExecute();
    void acAutoUpdateProfileExecute(int tag);
    void acAutoUpdateManagerExecute();
    void acAutoUpdateWizardExecute();
    // Runs body as an update run: the flag is set around it and what waited for the run follows.
    // The manager's and the wizard's runs come here too (TSiteManagerHost).
    void RunUpdate(const std::function<void()>& body) override;
    // Every named profile exists and together they have items; else a user error.
    void CheckNamedProfiles(const QStringList& named) const;
    // Action4: the version check window, then today as "LastVersionCheck".
    void Action4Execute();
    void Timer1Timer();
    void Timer2Timer();
    void tiAutoUpdateTimer();
    void StartUpdateRequest(const TInstanceMessage& message);
    void UpdateRunEnded();

    TdmMain& FData;
    QMdiArea* FMdiArea = nullptr;
    QToolBar* FToolBar = nullptr;
    std::vector<std::pair<QMenu*, const char*>> FMenus;
    QMenu* FLanguageMenu = nullptr;
    QMenu* FProfileSubMenu = nullptr;
    QMenu* FTrayMenu = nullptr;
    QMenu* FProfileMenu = nullptr;
    QSystemTrayIcon* FTray = nullptr;
    std::array<QLabel*, 4> FPanels {};
    TActionArray<QAction*> FActions {};
    QTimer FTimer1;
    QTimer FTimer2;
    QTimer FTiAutoUpdate;
    TInstanceServer* FServer = nullptr;
    TfmProgress* FProgress = nullptr;
    int FProgressDepth = 0; // opens running at once (a forwarded file may open inside another)
    TfmSiteManager* FSiteManager = nullptr;
    TfmTarvellStartup* FStartup = nullptr;

    TCloseFlags FFlags;
    // Set while an update run started here goes on. The run is synchronous on the GUI thread and
    // processes events (its window is modal, its downloads pump messages), so timers, instance
    // messages and the tray can reach this window meanwhile; all of them run on this one thread,
    // between the run's own steps, never beside it. While the flag is set nothing may start a
    // second run (the commands are disabled, a timer or a forwarded request waits), and a close
    // (exit, hide, a restart in another language) waits until the run has ended: it would
    // destroy the window that owns the run.
    bool FUpdateRunning = false;
    // A close asked for during the run, carried out when the run ends.
    bool FCloseDeferred = false;
    // The update timer fired during a run; it fires again when the run ends.
    bool FTimerDeferred = false;
    bool FSilentUpdate = false;
    // The "/PROF:" switches of the start that asked for the update run.
    QStringList FUpdateParams;
    // The 2024s that arrived during a run, joined, acted on when the run is over.
    std::optional<TInstanceMessage> FPendingUpdate;
    QString FSearchText;
    int FBoundsGuard = 0;
    bool FDestroying = false;
};
