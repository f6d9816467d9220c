// The editor's start and end.
#include "app/uApplication.h"

#include "app/dMain.h"
#include "app/fMDIChild.h"
#include "app/fMain.h"
#include "app/fStatus.h"
#include "app/uDialogs.h"
#include "app/uLanguageMenu.h"
#include "app/uSingleInstance.h"
#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "sites/uUpdateItems.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

namespace {

// Qt has no application-wide hint pause: tool tips are shown here with the pause instead.
class THintPause : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->toolTip().isEmpty() || widget->toolTipDuration() > 0)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(), HintHidePause);
        return true;
    }
};

} // namespace

void AddUpdateRunServices(TMainFormServices& services)
{
    services.Profiles = [] {
        std::vector<TProfileMenuInfo> profiles;
        for (int i = 0; i < AutoUpdateProfileCount(); ++i)
            profiles.push_back({ GetAutoUpdateProfileName(i), GetAutoUpdateProfile(i).Count() > 0 });
        return profiles;
    };
    services.RunAutoUpdateAll = [](QWidget* owner, bool compact, bool silent) { RunAutoUpdateAll(owner, compact, silent); };
    services.RunAutoUpdateProfile
        = [](QWidget* owner, int profile) { RunAutoUpdateProfile(owner, profile); };
    services.RunAutoUpdateTimer = [](QWidget* owner, const QStringList& profiles, bool compact, bool silent) {
        RunAutoUpdateProfiles(owner, profiles, compact, silent);
    };
}

void InitTarvellApplication(QApplication& app)
{
    app.setApplicationName(ApplicationTitle());
    app.setApplicationDisplayName(ApplicationTitle());
    app.setOrganizationName(QStringLiteral("Orvik Software"));
    // Hide In Tray closes the last visible window; only Exit ends the program.
    app.setQuitOnLastWindowClosed(false);
    app.installEventFilter(new THintPause(&app));
    RegisterAllFormats();
    InstallWebLocationHandler();
    InstallClickErrorDisplay();
    SetHourglassHandler([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}

int RunTarvell(QApplication& app)
{
    InitTarvellApplication(app);
    SetStartupLanguage();
    TInstanceServer server;
    // With "/multi" another copy may own the name; this one then runs without it.
    server.Listen();
    LoadAutoUpdateProfiles();
    {
        TdmMain data;
        TMainFormServices services;
        AddChildServices(services);
        services.IsDeviceConnected = [] { return IsDeviceConnected(); };
        services.DisconnectDevice = [] { DisconnectDevice(); };
        services.StartAgainInLanguage = RestartInLanguage;
        AddUpdateRunServices(services);
        TfmTarvellMainForm mainForm(&data, std::move(services));
        mainForm.AttachInstanceServer(&server);
        if (ParamExists(QStringLiteral("/tray")))
            mainForm.StartInTray();
        else
            mainForm.show();
        app.exec();
    }
    server.Close();
    ClearAutoUpdateProfiles();
    const QString error = FinalizeSettings();
    if (!error.isEmpty())
        ShowWarning(nullptr, error);
    return 0;
}
