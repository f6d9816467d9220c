// Automatic update on device connection: the command line that starts the update with the
// flagged profiles, kept as the registration of each kind of connection in the settings store,
// and the update request a connection makes of the running program.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TAutoStartTexts {
    Q_DECLARE_TR_FUNCTIONS(uAutoStart)
};

enum class TConnectKind { ActiveSync, USB };

// Section of the settings store holding the registrations; its values are named after the kind.
inline constexpr const char* AutoStartSection = "AutoStart";
// "ActiveSync" or "USB".
QString AutoStartValueName(TConnectKind kind);

// One profile as the command line sees it.
struct TProfileFlag {
    QString Name; // "" for the default profile
    bool Flagged = false;
};
// The profiles in profile order with their flag for the kind.
std::vector<TProfileFlag> ProfileFlags(TConnectKind kind);

struct TAutoStartCommand {
    // Empty when no profile can be put on it.
    QString CommandLine;
    // Flagged profiles left out: a name with '"' cannot be quoted.
    QStringList LeftOut;
};
// "program" "/tray" "/update" "/silent", then "/prof:<name>" in quotes for every flagged profile
// in order (the default profile with an empty name).
TAutoStartCommand BuildAutoStartCommandLine(const QString& program, const std::vector<TProfileFlag>& profiles);

// Replaces the kind's registration by the command line of its flagged profiles when enabled (the
// manager's box) and some profile is flagged; otherwise deletes it. Returns the flagged profiles
// left out. A store that cannot be written raises EUserError "Could not store the automatic start
// registration. ..." naming the settings file.
QStringList WriteAutoStartRegistration(TConnectKind kind, bool enabled);
QStringList WriteActiveSyncRegistration(bool enabled);
QStringList WriteAutoPlayRegistration(bool enabled);
// Both registrations anew with the boxes as the settings keep them, after profiles changed.
QStringList RewriteAutoStartRegistrations();
// The warning for profiles left out of a registration.
QString LeftOutProfilesWarning(const QStringList& names);

// The kind's registered command line; empty when none.
QString RegisteredCommandLine(TConnectKind kind);

// What a connection asks of the running program: a forwarded update start.
struct TAutoStartRequest {
    bool Silent = false;
    // "/PROF:" switches as registered, each profile once; none means every profile.
    QStringList ProfileSwitches;
    bool operator==(const TAutoStartRequest&) const = default;
};
// Appends the "/PROF:" switches whose profile into does not name yet (names compare trimmed and
// case-insensitively).
void AddProfileSwitches(QStringList& into, const QStringList& switches);
// The request of the kinds' registrations joined; none when no kind is registered.
std::optional<TAutoStartRequest> AutoStartRequest(const std::vector<TConnectKind>& kinds);
