// Test-only access to the widgets of the AutoUpdate windows, which keep them private.
#pragma once

#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fAutoUpdateWizard.h"

class TfmSiteManagerTestAccess {
public:
    explicit TfmSiteManagerTestAccess(const TfmSiteManager& form) : F(form) {}
    explicit TfmSiteManagerTestAccess(const TfmSiteManager* form) : F(*form) {}
    QAction* acUpdateSite() const { return F.acUpdateSite; }
    QAction* acDeleteSite() const { return F.acDeleteSite; }
    QAction* acSiteAdd() const { return F.acSiteAdd; }
    QAction* acViewRawXml() const { return F.acViewRawXml; }
    QAction* acSites() const { return F.acSites; }
    QAction* actWebsite() const { return F.actWebsite; }
    QAction* acPassword() const { return F.acPassword; }
    QAction* acStartWizard() const { return F.acStartWizard; }
    QAction* acAutoUpdate() const { return F.acAutoUpdate; }
    QAction* acSitesSelectAll() const { return F.acSitesSelectAll; }
    QAction* acUpdateSelected() const { return F.acUpdateSelected; }
    QAction* acSubscribeLocal() const { return F.acSubscribeLocal; }
    QAction* acSubscribePDA() const { return F.acSubscribePDA; }
    QAction* acUnsubscribe() const { return F.acUnsubscribe; }
    QAction* acSubUpdate() const { return F.acSubUpdate; }
    QAction* acSubUnsub() const { return F.acSubUnsub; }
    QAction* acToPocketTarvell() const { return F.acToPocketTarvell; }
    QAction* acProfilesAdd() const { return F.acProfilesAdd; }
    QAction* acProfilesDel() const { return F.acProfilesDel; }
    QWidget* paBottom() const { return F.paBottom; }
    TTestToolbar* ToolBar() const { return F.ToolBar; }
    TAdvGlowButton* buUpdate() const { return F.buUpdate; }
    TAdvGlowButton* buSites() const { return F.buSites; }
    TAdvGlowButton* buAllItems() const { return F.buAllItems; }
    TAdvGlowButton* buSettings() const { return F.buSettings; }
    TAdvGlowButton* buProfiles() const { return F.buProfiles; }
    QMenu* pmAutoUpdate() const { return F.pmAutoUpdate; }
    QStackedWidget* Notebook2() const { return F.Notebook2; }
    QSplitter* Splitter() const { return F.Splitter; }
    QWidget* paLeft() const { return F.paLeft; }
    QListWidget* lvSites() const { return F.lvSites; }
    QLabel* laNrSites() const { return F.laNrSites; }
    QLabel* laNrHidden() const { return F.laNrHidden; }
    QLabel* laHidden() const { return F.laHidden; }
    QLabel* laSite() const { return F.laSite; }
    QStackedWidget* Notebook1() const { return F.Notebook1; }
    QListWidget* lvMaps() const { return F.lvMaps; }
    QListWidget* lvGroups() const { return F.lvGroups; }
    QMenu* pmMapsView() const { return F.pmMapsView; }
    QMenu* pmGroupsView() const { return F.pmGroupsView; }
    QTreeWidget* lvItems() const { return F.lvItems; }
    QWidget* paNote() const { return F.paNote; }
    QPlainTextEdit* meNote() const { return F.meNote; }
    QWidget* paProfile() const { return F.paProfile; }
    QComboBox* coProfiles() const { return F.coProfiles; }
    QWidget* paProfileAll() const { return F.paProfileAll; }
    QComboBox* coProfilesAllItems() const { return F.coProfilesAllItems; }
    QTreeWidget* lvSubscribed() const { return F.lvSubscribed; }
    QCheckBox* cbDownloadImages() const { return F.cbDownloadImages; }
    QCheckBox* cbAlwaysOverwrite() const { return F.cbAlwaysOverwrite; }
    QCheckBox* cbAutoclose() const { return F.cbAutoclose; }
    QCheckBox* cbAutoUpdateApplication() const { return F.cbAutoUpdateApplication; }
    QLineEdit* edAutoUpdateApplication() const { return F.edAutoUpdateApplication; }
    QLineEdit* edAutoUpdateAppParams() const { return F.edAutoUpdateAppParams; }
    QLineEdit* edAutoUpdateDelay() const { return F.edAutoUpdateDelay; }
    QScrollBar* udAutoUpdateDelay() const { return F.udAutoUpdateDelay; }
    QCheckBox* cbAlternateDir() const { return F.cbAlternateDir; }
    QLineEdit* edAlternateDir() const { return F.edAlternateDir; }
    QCheckBox* cbUponDeviceConnect() const { return F.cbUponDeviceConnect; }
    QCheckBox* cbUpdateUSB() const { return F.cbUpdateUSB; }
    QTreeWidget* lvProfiles() const { return F.lvProfiles; }
    QCheckBox* cbIncludeAUC() const { return F.cbIncludeAUC; }
    QCheckBox* cbIncludeUSB() const { return F.cbIncludeUSB; }

private:
    const TfmSiteManager& F;
};

class TfmAutoUpdateWizardTestAccess {
public:
    explicit TfmAutoUpdateWizardTestAccess(const TfmAutoUpdateWizard& form) : F(form) {}
    explicit TfmAutoUpdateWizardTestAccess(const TfmAutoUpdateWizard* form) : F(*form) {}
    QStackedWidget* Notebook1() const { return F.Notebook1; }
    QPushButton* buBack() const { return F.buBack; }
    QPushButton* buNext() const { return F.buNext; }
    QPushButton* buCancel() const { return F.buCancel; }
    QComboBox* coProfile() const { return F.coProfile; }
    QListWidget* lvSites() const { return F.lvSites; }
    QCheckBox* cbForceSiteUpdate() const { return F.cbForceSiteUpdate; }
    QLineEdit* edUsername() const { return F.edUsername; }
    QLineEdit* edPassword() const { return F.edPassword; }
    TAdvGlowButton* buWebsite() const { return F.buWebsite; }
    QComboBox* coCountry() const { return F.coCountry; }
    QWidget* paGroup() const { return F.paGroup; }
    QComboBox* coGroup() const { return F.coGroup; }
    QLabel* laGroupNote() const { return F.laGroupNote; }
    QLabel* laAll() const { return F.laAll; }
    QButtonGroup* rgTarget() const { return F.rgTarget; }
    QStackedWidget* nbTarget() const { return F.nbTarget; }
    QLineEdit* edLocalFolder() const { return F.edLocalFolder; }
    QComboBox* coLocalFileType() const { return F.coLocalFileType; }
    QComboBox* coMaps() const { return F.coMaps; }
    QLineEdit* edRemotePath() const { return F.edRemotePath; }
    QPushButton* SpeedButton1() const { return F.SpeedButton1; }
    QLineEdit* edTomTomGoDir() const { return F.edTomTomGoDir; }
    TAdvGlowButton* BitBtn1() const { return F.BitBtn1; }
    TAdvGlowButton* BitBtn2() const { return F.BitBtn2; }

private:
    const TfmAutoUpdateWizard& F;
};
