// The AutoUpdate Wizard: one group of POIs of one site subscribed to a folder on the PC, the
// navigator's map folder on the device or a navigator folder on the PC, in a chosen profile.
#pragma once

#include "app/windowbase/uTarvellForm.h"
#include "core/uSettings.h"
#include "sites/uSubscriptions.h"

#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QWidget;
class TAdvGlowButton;
class TdmMain;
class TSite;
class TSiteManagerHost;

class TfmAutoUpdateWizard : public TTarvellModalForm {
    Q_OBJECT
public:
    // host: the main window, which runs "AutoUpdate now" as one of its update runs (none: the run
    // starts without it).
    TfmAutoUpdateWizard(QWidget* owner, TdmMain& data, TSiteManagerHost* host);
    ~TfmAutoUpdateWizard() override;

    // Set by "Go to AutoUpdate Manager" and by choosing "Other groups...": the main window opens
    // the manager once this window is gone.
    bool OpenManagerRequested() const { return FOpenManager; }
    TWizardPage CurrentPage() const;
    TSite* Site() const { return FSite; }

    // The buttons and controls as a user works them.
    void buNextClick();
    void buBackClick();
    void buCancelClick();
    void coCountryChange();
    void coGroupChange();
    void rgTargetClick(int item);
    void coMapsChange();
    void SpeedButton1Click();
    void buWebsiteClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void LocalFolderBrowse();
    void TomTomGoDirBrowse();

    // The profile the items go to: "" (the default one) unless several exist and another is chosen.
    QString ChosenProfileName() const;
    bool CanGoNext() const;
    void UpdateButtons();

protected:
    void reject() override;
    void Retranslate() override;

private:
    friend class TfmAutoUpdateWizardTestAccess;

    QStackedWidget* Notebook1 = nullptr;
    QPushButton* buBack = nullptr;
    QPushButton* buNext = nullptr;
    QPushButton* buCancel = nullptr;
    QComboBox* coProfile = nullptr;
    QListWidget* lvSites = nullptr;
    QCheckBox* cbForceSiteUpdate = nullptr;
    QLineEdit* edUsername = nullptr;
    QLineEdit* edPassword = nullptr;
    TAdvGlowButton* buWebsite = nullptr;
    QComboBox* coCountry = nullptr;
    QWidget* paGroup = nullptr;
    QComboBox* coGroup = nullptr;
    QLabel* laGroupNote = nullptr;
    QLabel* laAll = nullptr;
    QButtonGroup* rgTarget = nullptr;
    QStackedWidget* nbTarget = nullptr;
    QLineEdit* edLocalFolder = nullptr;
    QComboBox* coLocalFileType = nullptr;
    QComboBox* coMaps = nullptr;
    QLineEdit* edRemotePath = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QLineEdit* edTomTomGoDir = nullptr;
    TAdvGlowButton* BitBtn1 = nullptr;
    TAdvGlowButton* BitBtn2 = nullptr;

    QWidget* NewPage(const char* name, const char* title, const char* text);
    void CreateProfileAndSitesPages();
    void CreateAuthenticationPage();
    void CreateGroupsPage();
    void CreateTargetPage();
    void CreateFinishPage();
    class QHBoxLayout* CreateButtons();
    // A folder edit with its browse button.
    class QHBoxLayout* FolderRow(
        QWidget* parent, QLineEdit*& edit, const char* name, void (TfmAutoUpdateWizard::*browse)());
    void ConnectSignals();
    void Arrive(TWizardPage page);
    // Leaving the Sites page; false keeps it (the question answered No).
    bool LoadSite();
    void StoreCredentials();
    // Finish with a local folder target: a missing folder is created when the user agrees; false
    // keeps the wizard from finishing.
    bool TargetFolderReady();
    void CreateItems();
    void SetRemotePath(const QString& path);
    void OpenManager();
    const TCountry* ChosenCountry() const;
    int ProfileCount() const;
    void Run(const std::function<void()>& body);

    TdmMain& FData;
    TSiteManagerHost* FHost;
    TSite* FSite = nullptr;
    bool FFinished = false;
    bool FOpenManager = false;
    // path=name lines of the navigator maps.
    QStringList FDeviceMaps;
    TWizardGroups FGroups;
    bool FGroupPanel = false;
    // The profile and site whose old items Finish removes (the question answered Yes).
    std::optional<std::pair<QString, QString>> FClearSite;
    std::vector<std::pair<QWidget*, const char*>> FTexts;
    std::vector<QRadioButton*> FTargets;
    QLabel* FTitle = nullptr;
};
