// The main window: the multiple-document frame with the menu, tool bar, status bar, tray icon,
// timers and every user command; it receives the single-instance messages and dropped files and
// decides whether a close hides, exits or restarts.
#pragma once

#include "app/uDialogs.h"
#include "app/uMainActions.h"
#include "app/uSingleInstance.h"
#include "app/uTarvellForm.h"

#include <QCursor>
#include <QDate>
#include <QMap>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <optional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSystemTrayIcon;
class QToolBar;
class QUrl;
class TdmMain;
class TInstanceServer;

// What the main window needs of a POI file window; the child window implements it.
class TChildWindow {
public:
    virtual ~TChildWindow() = default;
    // The location shown, empty for a new file.
    virtual QString FileName() const = 0;
    // Its list has the input focus and is not editing a caption.
    virtual bool ListHasFocus() const = 0;
    // Asks to save changes; false when the user refuses the close.
    virtual bool CloseQuery() = 0;
    virtual void Save() = 0;
    virtual void SaveAs() = 0;
    virtual void SaveRemote() = 0;
    virtual void CopySelected() = 0;
    virtual void CopyAsText() = 0;
    virtual void CutSelected() = 0;
    virtual void Paste() = 0;
    virtual void Delete() = 0;
    virtual void Insert() = 0;
    virtual void SelectAll() = 0;
    virtual void InvertSelection() = 0;
    virtual void Find(const QString& text) = 0;
    virtual void FindNext(const QString& text) = 0;
};

// The services the main window calls that other units provide. Each empty member leaves its
// commands without effect until the unit that provides it is built.
struct TMainFormServices {
    // A new POI file window (the widget implements TChildWindow).
    std::function<QWidget*()> CreateChild;
    // The single open routine: location, child to append to (or none), append flag, format ID.
    std::function<void(const QString&, TChildWindow*, bool, const QString&)> OpenFile;
    std::function<bool()> IsDeviceConnected;
    std::function<void()> DisconnectDevice;
    // The AutoUpdate profiles in profile order (the default profile first).
    std::function<std::vector<TProfileMenuInfo>()> Profiles;
    // Update runs: all profiles; one profile; the timer's run over the items of all profiles
    // named by "/PROF:" (checked to exist and to have items).
    std::function<void(QWidget* owner, bool compact, bool silent)> RunAutoUpdateAll;
    std::function<void(QWidget* owner, int profile)> RunAutoUpdateProfile;
    std::function<void(QWidget* owner, const QStringList& profiles, bool compact, bool silent)> RunAutoUpdateTimer;
    // The start-up screen, shown not modally.
    std::function<void()> ShowStartupScreen;
    // Stores the language (LCID) in "Language" and starts the program again.
    std::function<bool(int)> StartAgainInLanguage;
    std::function<void(const QUrl&)> OpenUrl;
    std::function<void()> Quit;
    std::function<bool()> TrayAvailable;
    // Effects of commands whose windows come later, by action name (acCalc, actPrefs, ...).
    std::map<QString, std::function<void()>> Commands;
};

class TfmTarvellMainForm : public TTarvellForm {
    Q_OBJECT
public:
    TfmTarvellMainForm(TdmMain* data, TMainFormServices services, QWidget* parent = nullptr);
    ~TfmTarvellMainForm() override;

    // The actions by name ("acFileOpen"); nullptr for an unknown name.
    QAction* Action(const QString& name) const;
    QList<QAction*> Actions() const;
    // Sets enabled, visible, ticks and pictures from the current state.
    void UpdateActions();
    TMainActionState CurrentState() const;

    // Child windows.
    QWidget* NewChild();
    // Shows a child window in the frame and activates it.
    void ShowChild(QWidget* child);
    void ChildMaximizedChanged(bool maximized);
    TChildWindow* ActiveChild() const;
    QWidget* ActiveChildWidget() const;
    TChildWindow* FindChild(const QString& path) const;
    QList<QWidget*> Children() const;
    QMdiArea* MdiArea() const { return FMdiArea; }

    void OpenFile(const QString& path, TChildWindow* child, bool append, const QString& formatID);
    // As a dropped or forwarded file: the child showing path, else the open routine.
    void OpenOrShowForTest(const QString& path) { OpenOrShow(path, QString()); }
    // The stand-in open routine's record while no open routine is installed.
    const QStringList& RecordedOpens() const { return FRecordedOpens; }

    // The open dialog as the window sets it up: folder "InitialDir", the open filter with its
    // entry 1 ("All supported filetypes") chosen, default extension "OV2", several files.
    TOpenFileRequest OpenDialog1() const;

    void RestoreBounds();
    void ReapplyBounds();
    // Writes the window state and bounds into the settings object.
    void SaveWindowState();

    void AutoUpdateAllProfiles(bool silent);
    void AutoUpdateProfileClick(QAction* item);

    // Single-instance messages; the server stays attached for a restart to close it.
    void AttachInstanceServer(TInstanceServer* server);
    void HandleInstanceMessage(const TInstanceMessage& message);
    // Start hidden in the tray ("/tray").
    void StartInTray();
    // Tray item "Tarvell...".
    void Tarvell1Click();

    // The tool bar, status bar panels (0 hint, 1 coordinates, 2 count, 3 change mark), tray.
    QToolBar* ToolBar1() const { return FToolBar; }
    QLabel* StatusPanel(int index) const;
    QSystemTrayIcon* TrayIcon() const { return FTray; }
    QMenu* PopupMenu1() const { return FTrayMenu; }
    QMenu* PmAutoUpdate() const { return FProfileMenu; }
    QMenu* Language1() const { return FLanguageMenu; }
    QTimer& Timer1() { return FTimer1; }
    QTimer& Timer2() { return FTimer2; }
    QTimer& TiAutoUpdate() { return FTiAutoUpdate; }

    const QString& SearchText() const { return FSearchText; }
    const TCloseFlags& CloseFlags() const { return FFlags; }
    bool UpdateRunning() const { return FUpdateRunning; }
    bool SilentUpdate() const { return FSilentUpdate; }

    // A language menu item chosen (after the switcher checked its file): the program ends and
    // starts again in language lcid. The checked item does nothing.
    void LanguageClick(QAction* item, int lcid);

    // The application cursors: 1 hand over, 2 hand grabbing, 3 set position.
    static QCursor AppCursor(int index);

    // True when the weekly version check is due: no stored date ("yyyy-MM-dd") or one older than
    // 7 days.
    static bool VersionCheckDue(const QString& lastCheck, const QDate& today);
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
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateTray();
    void FillLanguageMenu();
    void Retranslate() override;
    void Run(const std::function<void()>& body);
    void RunChild(void (TChildWindow::*method)());
    void RunCommandHook(const QString& name);
    void OpenUrlPath(const QString& path);
    bool FreeAllChildren();
    void TileWindows(bool horizontal);
    void ArrangeMinimized();

    void acFileNewExecute();
    void acFileOpenExecute();
    void acFileAppendExecute();
    void acMruExecute(int tag);
    void ShowExistingChild(TChildWindow* child);
    // Shows the child that already shows path, else opens it; true when it was opened.
    bool OpenOrShow(const QString& path, const QString& formatID);
    void acFileReconnectExecute();
    void acHideExecute();
    void acFileExitExecute();
    void acFindExecute();
    void acFindNextExecute();
    void acAutoUpdateNowExecute();
    void acAutoUpdateProfileExecute(int tag);
    void acCheckEveryWeekExecute();
    // Every named profile exists and together they have items; else a user error.
    void CheckNamedProfiles(const QStringList& named) const;
    void Timer1Timer();
    void Timer2Timer();
    void tiAutoUpdateTimer();
    void StartUpdateRequest(const TInstanceMessage& message);
    void UpdateRunEnded();

    TdmMain* FData;
    TMainFormServices FServices;
    QMdiArea* FMdiArea = nullptr;
    QToolBar* FToolBar = nullptr;
    QMenu* FMenus[6] = {};
    QMenu* FLanguageMenu = nullptr;
    QMenu* FProfileSubMenu = nullptr;
    QMenu* FTrayMenu = nullptr;
    QMenu* FTrayProfileMenu = nullptr;
    QMenu* FProfileMenu = nullptr;
    QAction* FTrayShow = nullptr;
    QAction* FTrayProfiles = nullptr;
    QAction* FTrayExit = nullptr;
    QSystemTrayIcon* FTray = nullptr;
    std::array<QLabel*, 4> FPanels {};
    QMap<QString, QAction*> FActions;
    QTimer FTimer1;
    QTimer FTimer2;
    QTimer FTiAutoUpdate;
    TInstanceServer* FServer = nullptr;

    TCloseFlags FFlags;
    bool FUpdateRunning = false;
    bool FSilentUpdate = false;
    // The "/PROF:" switches of the start that asked for the update run.
    QStringList FUpdateParams;
    // A 2024 that arrived during a run, acted on when the run is over.
    std::optional<TInstanceMessage> FPendingUpdate;
    QString FSearchText;
    QStringList FRecordedOpens;
    int FBoundsGuard = 0;
    bool FDestroying = false;
};

// The one main window while it exists.
TfmTarvellMainForm* fmTarvellMainForm();
