// The AutoUpdate Manager: the POI sites with their maps, groups and POI files, subscribing those
// to files on the PC or the device, every item of the current profile, the update settings and
// the profiles.
#pragma once

#include "app/windowbase/uTarvellForm.h"
#include "sites/uAutoStart.h"
#include "sites/uSubscriptions.h"

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QScrollBar;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TAdvGlowButton;
class TdmMain;
class TSite;
class TTestToolbar;

// What the manager asks of the main window.
class TSiteManagerHost {
public:
    virtual ~TSiteManagerHost() = default;
    // Runs body as one of the main window's update runs (so a forwarded request waits for it);
    // nothing happens while another run goes on.
    virtual void RunUpdate(const std::function<void()>& body) = 0;
    // The click of a profile menu item (data -1: all profiles, else a profile index).
    virtual void AutoUpdateProfileClick(QAction* item) = 0;
};

// The authorization dialog of a site: user name (labelled as the site's LoginMode says) and
// password.
class TfmPassword : public TTarvellModalForm {
    Q_OBJECT
public:
    // loginMode: "email", "username" or anything else ("Login").
    TfmPassword(QWidget* owner, const QString& loginMode);
    // The site's stored pair before the dialog runs; as the user left it after OK.
    void SetCredentials(const QString& username, const QString& password);
    QString Username() const;
    QString Password() const;

private:
    friend class TfmPasswordTestAccess;

    void Retranslate() override;
    QLabel* laUsername = nullptr;
    QLineEdit* edUsername = nullptr;
    QLineEdit* edPassword = nullptr;
    QString FLoginMode;
    QLabel* FPasswordLabel = nullptr;
    class QPushButton* FOk = nullptr;
    class QPushButton* FCancel = nullptr;
};

// A read-only window over a text file (the raw site catalogue).
class TfmTextViewer : public TTarvellModalForm {
    Q_OBJECT
public:
    TfmTextViewer(QWidget* owner, const QString& title, const QString& text);

private:
    friend class TfmTextViewerTestAccess;

    QPlainTextEdit* Memo = nullptr;
};

class TfmSiteManager : public TTarvellModalForm, private TSubscriptionHost {
    Q_OBJECT
public:
    // host: the main window (none: runs start without it and profile menus do nothing).
    TfmSiteManager(QWidget* owner, TdmMain& data, TSiteManagerHost* host);
    ~TfmSiteManager() override;

    // Pages of Notebook2.
    enum TPage { PageSites = 0, PageAllItems = 1, PageSettings = 2, PageProfiles = 3 };
    int Page() const;
    void SetPage(int page);
    // After an update run started elsewhere: the current page's item list again.
    void RefreshItems();
    // Set by "Start AutoUpdate Wizard": the main window runs the wizard once this window is gone.
    bool StartWizardRequested() const { return FStartWizard; }

    // The current profile: "SelectedProfile" when it exists, else the default one.
    TUpdateItems& CurrentProfile() const;
    // The location of the selected site; empty when none.
    QString SelectedSite() const;
    // The site shown (none when no site is selected).
    TSite* ShownSite() const { return FSite; }

    // Sets enabled rules and captions from the current state.
    void UpdateActions();

    // Handlers the controls call (and the tests, as a user's action).
    void laHiddenClick();
    void edAutoUpdateApplicationExit();
    void edAutoUpdateApplicationBrowse();
    void edAutoUpdateDelayExit();
    void edAlternateDirBrowse();
    void ItemsHeaderClick(int column);
    // A double-click in the site items (sites) or the All Items list (allItems).
    void ItemsDoubleClick(bool allItems);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Retranslate() override;

private:
    friend class TfmSiteManagerTestAccess;

    // The commands, for the window's controls.
    QAction* acUpdateSite = nullptr;
    QAction* acDeleteSite = nullptr;
    QAction* acSiteAdd = nullptr;
    QAction* acViewRawXml = nullptr;
    QAction* acSites = nullptr;
    QAction* actWebsite = nullptr;
    QAction* acPassword = nullptr;
    QAction* acStartWizard = nullptr;
    QAction* acAutoUpdate = nullptr;
    QAction* acSitesSelectAll = nullptr;
    QAction* acUpdateSelected = nullptr;
    QAction* acSubscribeLocal = nullptr;
    QAction* acSubscribePDA = nullptr;
    QAction* acUnsubscribe = nullptr;
    QAction* acSubUpdate = nullptr;
    QAction* acSubUnsub = nullptr;
    QAction* acToPocketTarvell = nullptr;
    QAction* acProfilesAdd = nullptr;
    QAction* acProfilesDel = nullptr;

    // Bottom panel.
    QWidget* paBottom = nullptr;
    TTestToolbar* ToolBar = nullptr;
    TAdvGlowButton* buUpdate = nullptr;
    TAdvGlowButton* buSites = nullptr;
    TAdvGlowButton* buAllItems = nullptr;
    TAdvGlowButton* buSettings = nullptr;
    TAdvGlowButton* buProfiles = nullptr;
    QMenu* pmAutoUpdate = nullptr;
    QStackedWidget* Notebook2 = nullptr;
    // Sites page.
    QSplitter* Splitter = nullptr;
    QWidget* paLeft = nullptr;
    QListWidget* lvSites = nullptr;
    QLabel* laNrSites = nullptr;
    QLabel* laNrHidden = nullptr;
    QLabel* laHidden = nullptr;
    QLabel* laSite = nullptr;
    QStackedWidget* Notebook1 = nullptr;
    QListWidget* lvMaps = nullptr;
    QListWidget* lvGroups = nullptr;
    QMenu* pmMapsView = nullptr;
    QMenu* pmGroupsView = nullptr;
    QTreeWidget* lvItems = nullptr;
    QWidget* paNote = nullptr;
    QPlainTextEdit* meNote = nullptr;
    QWidget* paProfile = nullptr;
    QComboBox* coProfiles = nullptr;
    // All Items page.
    QWidget* paProfileAll = nullptr;
    QComboBox* coProfilesAllItems = nullptr;
    QTreeWidget* lvSubscribed = nullptr;
    // Settings page.
    QCheckBox* cbDownloadImages = nullptr;
    QCheckBox* cbAlwaysOverwrite = nullptr;
    QCheckBox* cbAutoclose = nullptr;
    QCheckBox* cbAutoUpdateApplication = nullptr;
    QLineEdit* edAutoUpdateApplication = nullptr;
    QLineEdit* edAutoUpdateAppParams = nullptr;
    QLineEdit* edAutoUpdateDelay = nullptr;
    QScrollBar* udAutoUpdateDelay = nullptr;
    QCheckBox* cbAlternateDir = nullptr;
    QLineEdit* edAlternateDir = nullptr;
    QCheckBox* cbUponDeviceConnect = nullptr;
    QCheckBox* cbUpdateUSB = nullptr;
    // Profiles page.
    QTreeWidget* lvProfiles = nullptr;
    QCheckBox* cbIncludeAUC = nullptr;
    QCheckBox* cbIncludeUSB = nullptr;

    void CreateActions();
    void CreatePages();
    QWidget* CreateSitesPage();
    void CreateSiteListPanel();
    void CreateSitePanel();
    void CreateAccessPages(QWidget* parent);
    class QHBoxLayout* CreateSiteLists(QWidget* right);
    void ConnectSitesPage();
    QWidget* CreateAllItemsPage();
    QWidget* CreateSettingsPage();
    void ConnectSettingsPage();
    QWidget* CreateProfilesPage();
    void PlaceWindow();
    // The stored width of the left panel, at most three quarters of the laid-out window.
    void ApplyLeftPanel();
    void Run(const std::function<void()>& body);

    void Notebook2Change();
    void FillSiteList();
    void lvSitesChange();
    void ShowSite(bool reload);
    void lvMapsChange();
    void lvGroupsChange();
    void ShowSiteItems();
    void lvItemsChange();
    void FillAllItems();
    void FillProfiles();
    void LoadSettingsPage();
    void cbAlternateDirClick();
    void ProfileChosen(int entry);
    void lvProfilesChange();
    void IncludeClick(bool activeSync);
    // "Update upon ActiveSync connect" / "Update upon USB connect": the registration, then the setting.
    void UponConnectClick(TConnectKind kind, bool on);
    void WarnLeftOut(const QStringList& profiles);
    // Selected to Pocket Tarvell: the selected All Items to the handheld program.
    void acToPocketTarvellExecute();
    void StoreOnClose();

    void acUpdateSiteExecute();
    void acDeleteSiteExecute();
    void acSiteAddExecute();
    void acViewRawXmlExecute();
    void actWebsiteExecute();
    void acPasswordExecute();
    void acAutoUpdateExecute();
    void acSitesSelectAllExecute();
    void Subscribe(TTargetKind kind);
    void acUnsubscribeExecute();
    void acUpdateSelectedExecute();
    void acSubUpdateExecute();
    void acSubUnsubExecute();
    void acProfilesAddExecute();
    void acProfilesDelExecute();
    // An update run over the items, as the main window's.
    void RunItems(const std::vector<TUpdateItem*>& items);

    // The selected rows of each list.
    std::vector<TSubscribeRow> SelectedSiteRows() const;
    std::vector<TUpdateItem*> SelectedAllItems() const;
    std::vector<TUpdateItem*> SelectedSiteItems() const;
    const TCountry* SelectedCountry() const;
    void SetViewStyle(QListWidget* list, int style);
    int ViewStyle(const QListWidget* list) const;
    // The site items list: 0 icons, 2 list, 3 details (anything else).
    void SetItemsViewStyle(int style);
    int ItemsViewStyle() const { return FItemsView; }
    QMenu* CreateViewMenu(QListWidget* list);

    // TSubscriptionHost
    bool PickLocalFile(const QString& initialDir, QString& fileName, int& exporter) override;
    bool PickLocalFolder(QString& folder, int& exporter) override;
    bool PickDeviceFile(QString& path, int& exporter) override;
    bool PickDeviceFolder(QString& folder, int& exporter) override;
    bool AskYesNo(const QString& question) override;

    TdmMain& FData;
    TSiteManagerHost* FHost;
    TSite* FSite = nullptr;
    std::vector<TGroupRow> FGroupRows;
    TSortMark FSortMark = TSortMark::None;
    bool FFilling = false;
    bool FSitesShown = false;
    bool FStartWizard = false;
    bool FClosing = false;
    bool FStored = false;
    bool FLeftPanelApplied = false;
    // The site selected when the mouse went down on the site list: a click that changed it has
    // shown the new one already.
    QString FSiteBeforePress;
    QWidget* FSitesViewport = nullptr;
    int FItemsView = 3;
    int FLastSite = -1;
    int FLastMap = -1;
    int FLastGroup = -1;
    std::vector<QLabel*> FAccessTexts;
    std::vector<QLabel*> FCaptions;
    QLabel* FGroupNoteLabel = nullptr;
    class QPushButton* FAlternateBrowse = nullptr;
    class QPushButton* FApplicationBrowse = nullptr;
    std::vector<TAdvGlowButton*> FPageButtons;
    std::vector<std::pair<QWidget*, const char*>> FTexts;
};
