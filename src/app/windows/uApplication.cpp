// The editor's start and end.
#include "app/windows/uApplication.h"

#include "app/windowbase/uDialogs.h"
#include "app/windows/uLanguageMenu.h"
#include "app/windows/uSingleInstance.h"
#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "ui/AdvHintInfo.h"
#include "formats/uFormats.h"
#include "sites/uUpdateItems.h"
#include "crashreport/logic/VostBugReport.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/windows/VostNotify.h"
#include "crashreport/logic/VostReportFile.h"
#include "crashreport/logic/VostTraceProcess.h"
#include "app/logic/uExcept.h"

#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QScreen>
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
        // Hints carry POI and site texts: never taken for markup.
        QToolTip::showText(help->globalPos(), PlainHintText(widget->toolTip()), widget, QRect(), HintHidePause);
        return true;
    }
};

// The report shows the display mode the program runs in; it follows the primary screen.
void FollowDisplayMode(QApplication& app)
{
    const auto update = [] {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            SetReportDisplayMode(screen->geometry().width(), screen->geometry().height(), screen->depth());
    };
    update();
    QObject::connect(&app, &QGuiApplication::primaryScreenChanged, &app, [update](QScreen* screen) {
        update();
        if (screen)
            QObject::connect(screen, &QScreen::geometryChanged, qApp, update);
    });
    if (QScreen* screen = QGuiApplication::primaryScreen())
        QObject::connect(screen, &QScreen::geometryChanged, &app, update);
}

} // namespace

TTarvellApplication::TTarvellApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool TTarvellApplication::notify(QObject* receiver, QEvent* event)
{
    return VostNotify(receiver, event, [this](QObject* r, QEvent* e) { return QApplication::notify(r, e); });
}

void InitTarvellApplication(QApplication& app)
{
    app.setApplicationName(ApplicationTitle());
    app.setApplicationDisplayName(ApplicationTitle());
    app.setOrganizationName(QStringLiteral("Orvik Software"));
    // Hide In Tray closes the last visible window; only Exit ends the program.
    app.setQuitOnLastWindowClosed(false);
    app.installEventFilter(new THintPause(&app));
    // Relative report file names resolve here: an installed program's own folder is not writable.
    SetReportDataFolder(GetDataDir().toStdString());
    FollowDisplayMode(app);
    static const std::string version = [] {
        const TFileVersionNumbers v = ProgramVersionNumbers();
        return QStringLiteral("%1.%2.%3.%4").arg(v.Major).arg(v.Minor).arg(v.Release).arg(v.Build).toStdString();
    }();
    CrashReportSettings.VersionVariable = &version;
    // A trace asked for with no buffer goes to the clipboard, which only the GUI thread may touch.
    SetTraceClipboardProc([](const std::string& report) {
        const QString text = QString::fromStdString(report);
        RunOnGuiThread([&text] { QGuiApplication::clipboard()->setText(text); }, std::chrono::milliseconds(1500));
    });
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

int RunTarvell(QApplication& app, const TRunWindows& runWindows)
{
    InitTarvellApplication(app);
    SetStartupLanguage();
    TInstanceServer server;
    // With "/multi" another copy may own the name; this one then runs without it.
    const bool firstCopy = server.Listen();
    // From here on a later start finds this copy answering.
    StartLock().Release();
    LoadAutoUpdateProfiles();
    runWindows(server, firstCopy);
    server.Close();
    ClearAutoUpdateProfiles();
    const QString error = FinalizeSettings();
    if (!error.isEmpty())
        ShowWarning(nullptr, error);
    return 0;
}
