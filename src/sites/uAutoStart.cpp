// Automatic update on device connection: command lines and their registrations.
#include "sites/uAutoStart.h"

#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "sites/uUpdateItems.h"

#include <QProcess>

namespace {

QString Quoted(const QString& text)
{
    return QChar('"') + text + QChar('"');
}

[[noreturn]] void ThrowStoreFailure()
{
    throw EUserError(TAutoStartTexts::tr("Could not store the automatic start registration. To toggle the \"Update on "
                                         "connect\" option, the settings file %1 must be writable")
                         .arg(SettingsStoreFileName()));
}

} // namespace

QString AutoStartValueName(TConnectKind kind)
{
    return kind == TConnectKind::ActiveSync ? QStringLiteral("ActiveSync") : QStringLiteral("USB");
}

std::vector<TProfileFlag> ProfileFlags(TConnectKind kind)
{
    std::vector<TProfileFlag> flags;
    for (int i = 0; i < AutoUpdateProfileCount(); ++i) {
        const TUpdateItems& profile = GetAutoUpdateProfile(i);
        flags.push_back(
            { profile.ProfileName, kind == TConnectKind::ActiveSync ? profile.AutoUpdateActiveSync : profile.AutoUpdateUSB });
    }
    return flags;
}

TAutoStartCommand BuildAutoStartCommandLine(const QString& program, const std::vector<TProfileFlag>& profiles)
{
    TAutoStartCommand command;
    QStringList switches;
    for (const TProfileFlag& profile : profiles) {
        if (!profile.Flagged)
            continue;
        if (profile.Name.contains(QChar('"')))
            command.LeftOut << profile.Name;
        else
            switches << Quoted(QStringLiteral("/prof:") + profile.Name);
    }
    if (switches.isEmpty())
        return command;
    command.CommandLine = QStringList { Quoted(program), Quoted(QStringLiteral("/tray")), Quoted(QStringLiteral("/update")),
        Quoted(QStringLiteral("/silent")) }
                              .join(QChar(' '))
        + QChar(' ') + switches.join(QChar(' '));
    return command;
}

QStringList WriteAutoStartRegistration(TConnectKind kind, bool enabled)
{
    const TAutoStartCommand command = BuildAutoStartCommandLine(ExecutablePath(), ProfileFlags(kind));
    try {
        const auto store = CreateSettingsStore();
        const QString section = QLatin1String(AutoStartSection);
        // One replacement of the file: the old registration goes and the new one comes together.
        store->BeginUpdate();
        store->DeleteKey(section, AutoStartValueName(kind));
        if (enabled && !command.CommandLine.isEmpty())
            store->WriteString(section, AutoStartValueName(kind), command.CommandLine);
        store->EndUpdate();
    } catch (const EStoreError&) {
        ThrowStoreFailure();
    }
    return command.LeftOut;
}

QStringList WriteActiveSyncRegistration(bool enabled)
{
    return WriteAutoStartRegistration(TConnectKind::ActiveSync, enabled);
}

QStringList WriteAutoPlayRegistration(bool enabled)
{
    return WriteAutoStartRegistration(TConnectKind::USB, enabled);
}

QStringList RewriteAutoStartRegistrations()
{
    const TSettings& settings = GetSettings();
    QStringList leftOut = WriteActiveSyncRegistration(settings.AutoUpdateActiveSync);
    for (const QString& name : WriteAutoPlayRegistration(settings.AutoUpdateUSB))
        if (!leftOut.contains(name))
            leftOut << name;
    return leftOut;
}

QString LeftOutProfilesWarning(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted << Quoted(name);
    return TAutoStartTexts::tr("The profiles %1 are not updated on device connection: a profile name with a double "
                               "quote cannot be passed on. Rename the profiles to include them.")
        .arg(quoted.join(QStringLiteral(", ")));
}

QString RegisteredCommandLine(TConnectKind kind)
{
    return CreateSettingsStore()->ReadString(QLatin1String(AutoStartSection), AutoStartValueName(kind), QString());
}

void AddProfileSwitches(QStringList& into, const QStringList& switches)
{
    for (const QString& s : switches) {
        const QString name = s.mid(6).trimmed();
        const bool known = std::any_of(into.begin(), into.end(),
            [&name](const QString& p) { return p.mid(6).trimmed().compare(name, Qt::CaseInsensitive) == 0; });
        if (!known)
            into << s;
    }
}

std::optional<TAutoStartRequest> AutoStartRequest(const std::vector<TConnectKind>& kinds)
{
    std::optional<TAutoStartRequest> request;
    bool allNamed = true;
    for (const TConnectKind kind : kinds) {
        const QString commandLine = RegisteredCommandLine(kind);
        if (commandLine.isEmpty())
            continue;
        QStringList switches = QProcess::splitCommand(commandLine);
        if (!switches.isEmpty())
            switches.removeFirst(); // the program
        const bool silent = switches.contains(QStringLiteral("/silent"), Qt::CaseInsensitive);
        QStringList profiles;
        for (const QString& s : switches)
            if (s.startsWith(QLatin1String("/PROF:"), Qt::CaseInsensitive))
                profiles << s;
        if (!request) {
            request = TAutoStartRequest { silent, {} };
        } else {
            request->Silent = request->Silent && silent;
        }
        // A registration without profiles updates them all, whatever the other names.
        allNamed = allNamed && !profiles.isEmpty();
        AddProfileSwitches(request->ProfileSwitches, profiles);
    }
    if (request && !allNamed)
        request->ProfileSwitches.clear();
    return request;
}
