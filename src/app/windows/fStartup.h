// The start-up screen: "What do you want to do?" with four large buttons (a new POI file, the
// AutoUpdate wizard, the AutoUpdate manager, an update run now) and the box that hides it next
// time. The main window creates it once and shows it, not modally, at start and from the tray.
#pragma once

#include "app/windowbase/uTarvellForm.h"
#include "ui/PngImageList.h"

#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class TAdvGlowButton;
class TPngImageComp;

// What the start-up screen runs: the commands of the window that owns it.
class TStartupHost {
public:
    // The three commands of the screen's buttons, run as the host's own commands are.
    virtual void NewFile() = 0;
    virtual void StartWizard() = 0;
    virtual void OpenSiteManager() = 0;
    // The window the screen belongs to; a new file shows it.
    virtual QWidget* HostWindow() = 0;
    // Refills menu with the profiles; each entry runs onClick.
    virtual void BuildAutoUpdateMenu(QMenu* menu, const std::function<void(QAction*)>& onClick) = 0;
    // A profile menu's entry chosen: that profile (or all) updated.
    virtual void AutoUpdateProfileClick(QAction* item) = 0;
    virtual void AutoUpdateAllProfiles(bool silent) = 0;

protected:
    ~TStartupHost() = default;
};

class TfmTarvellStartup : public TTarvellModalForm {
    Q_OBJECT
public:
    // host: the window whose commands the buttons run; it owns the screen.
    explicit TfmTarvellStartup(TStartupHost& host);

    // Pictures of the actions: 6 new file, 23 wizard, 10 manager, 21 update now, 37 update now
    // with its profile menu.
    static constexpr int ImageNew = 6;
    static constexpr int ImageWizard = 23;
    static constexpr int ImageManager = 10;
    static constexpr int ImageUpdateNow = 21;
    static constexpr int ImageUpdateNowMenu = 37;

    void acNewExecute();
    void acWizardExecute();
    void acAutoUpdateManagerExecute();
    // No items: the user error; more than one profile: the profile menu under its button;
    // otherwise the window closes and every profile is updated.
    void acAutoUpdateNowExecute();
    // The update-now picture follows the number of profiles.
    void UpdateActions();

protected:
    // Every way the window closes stores "ShowStartupScreen" from the box.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void Retranslate() override;

private:
    friend class TStartupTestAccess;

    QAction* acNew = nullptr;
    QAction* acWizard = nullptr;
    QAction* acAutoUpdateManager = nullptr;
    QAction* acAutoUpdateNow = nullptr;
    TAdvGlowButton* buNew = nullptr;
    TAdvGlowButton* buWizard = nullptr;
    TAdvGlowButton* buAutoUpdateManager = nullptr;
    TAdvGlowButton* buAutoUpdateNow = nullptr;
    QCheckBox* cbDontShow = nullptr;
    QMenu* pmAutoUpdate = nullptr;
    QLabel* Label1 = nullptr;

    // The constructor's steps: pictures, actions and buttons, layout, then the actions' handlers.
    void CreatePictures();
    void CreateActions();
    void CreateLayout();
    void ConnectActions();

    TStartupHost& FHost;
    TPngImageList FImages { QSize(32, 32) };
    TPngImageCollection FPictures;
    TPngImageComp* FDecorations[3] = {};
};
