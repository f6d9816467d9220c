// The editor's start and end.
#include "app/uApplication.h"

#include "app/dMain.h"
#include "app/fMain.h"
#include "app/uDialogs.h"
#include "app/uLanguageMenu.h"
#include "app/uSingleInstance.h"
#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "sites/uDeviceConnectWatcher.h"
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
    const bool firstCopy = server.Listen();
    LoadAutoUpdateProfiles();
    {
        TdmMain data;
        TfmTarvellMainForm mainForm(data);
        mainForm.AttachInstanceServer(&server);
        // The copy that answers for the program watches for the device; a connection asks for an
        // update as a later start with the registered switches would.
        TDeviceConnectWatcher watcher;
        if (firstCopy) {
            watcher.OnConnect = [&mainForm](const TAutoStartRequest& request) {
                mainForm.HandleInstanceMessage({ WM_AUTOUPDATE, request.Silent ? 1 : 0,
                    request.ProfileSwitches.join(QLatin1Char('\n')).toUtf8() });
            };
            watcher.Start();
        }
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
