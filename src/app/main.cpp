// Entry point: hand the command line to a running copy, or start the editor.
#include "app/windowbase/dMain.h"
#include "app/windowbase/uDialogs.h"
#include "app/windows/fMain.h"
#include "app/windows/uApplication.h"
#include "app/windows/uSingleInstance.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "sites/uDeviceConnectWatcher.h"
#include "crashreport/logic/VostBoxHelper.h"
#include "crashreport/logic/VostBugReport.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/windows/VostExceptBox.h"
#include "crashreport/logic/VostReportFile.h"
#include "app/logic/uExcept.h"
#include "maps/uMap.h"

#include <algorithm>
#include <csignal>

namespace {

// The data module and the main window live until the message loop ends.
void RunMainWindow(QApplication& app, TInstanceServer& server, bool firstCopy)
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

} // namespace

int main(int argc, char** argv)
{
    // Before any library starts a thread: a write over the file-size limit must fail with EFBIG
    // and reach the user as a message, not end the process with every unsaved window.
    std::signal(SIGXFSZ, SIG_IGN);
    // The exception box's helper is this executable again: nothing else may run in it.
    if (IsBoxHelperInvocation(argc, argv))
        return RunExceptionBoxHelper(argc, argv);
    // The crash reporter comes first, so that a crash anywhere later is reported. A restarted copy
    // waits for its predecessor, which still holds the single-instance name.
    SaveProgramArguments(argc, argv);
    TRestartHistory history {};
    if (ResumeAfterRestart(history)) {
        uint64_t stamps[10];
        std::copy(history.begin(), history.end(), std::begin(stamps));
        SetExceptionHistory(stamps);
    }
    // "%appname%" of the box, the report file and the mail is the application's title.
    SetReporterAppName(ApplicationTitle().toStdString());
    // Reports made before the windows exist, the emergency ones included, go to the data folder.
    SetReportDataFolder(GetDataDir().toStdString());
    InitCrashReporter();
    InstallReportSteps();
    InitReportFacts();
    RegisterAppExceptionHandler();
    TMapPicture::SetReaderAllocationLimit();

    QStringList params;
    for (int i = 1; i < argc; ++i)
        params << QString::fromLocal8Bit(argv[i]);
    SetCommandLineParams(params);

    // Before the application object exists: a forwarding start creates no window and writes no
    // settings. Two starts at the same moment take turns, so the later one finds the first.
    StartLock().Acquire();
    if (!ParamExists(QStringLiteral("/multi")) && ForwardToRunningCopy(params)) {
        StartLock().Release();
        DoneCrashReporter();
        return 0;
    }

    int code = 0;
    {
        // The HTML map's browser shares its drawing context with the windows.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        TTarvellApplication app(argc, argv);
        // A user error raised in a slot is a plain warning on the screen, not a line on standard error.
        SetUserErrorDisplay({ [](const QString& text) { ShowWarning(nullptr, text); }, {}, std::chrono::milliseconds(1500) });
        code = RunTarvell(app, [&app](TInstanceServer& server, bool firstCopy) { RunMainWindow(app, server, firstCopy); });
        SetUserErrorDisplay({});
    }
    DoneCrashReporter();
    return code;
}
