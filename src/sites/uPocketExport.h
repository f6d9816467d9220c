// Hands AutoUpdate items whose target lies on the device to the handheld program PocketTarvell:
// the items as "settings.xml" in its installation folder on the device, and each site's stored
// credentials in the device registry.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <string>
#include <vector>

class TUpdateItems;

class TPocketExportTexts {
    Q_DECLARE_TR_FUNCTIONS(uPocketExport)
};

// The longest text a device registry value holds.
inline constexpr int MaxDeviceRegistryValue = 255;

// What an export writes, worked out before anything is written.
struct TPocketExport {
    struct TCredentials {
        QString Site;
        QString UserName;
        // As the PC keeps it: scrambled, hex text.
        QString PasswordV2;
    };
    // "settings.xml" as saved: ISO-8859-1, other characters as references.
    std::string SettingsXml;
    // Items with a device target.
    int Count = 0;
    // Once per site that has a stored user name, in item order.
    std::vector<TCredentials> Credentials;
};

// The device registry key of a site's credentials (under HKEY_CURRENT_USER).
QString PocketCredentialsKey(const QString& site);
// The handheld program's folder: alternateDir when not empty, else the device's program-files
// folder + "\PocketTarvell". Needs the device connection.
QString PocketTarvellFolder(const QString& alternateDir);
// "MOBILE://" + the folder between "\"s + "settings.xml".
QString PocketSettingsLocation(const QString& folder);

// The export of the items (not changed; taken in site order) from their sites' cached catalogues.
// Raises, before anything is written: the site model's error for a POI without "url" or no longer
// in the catalogue; EUserError "At this moment PocketTarvell cannot convert between poi file
// formats, ..." for an item whose format differs from the site's; "No items in the selection
// configured with a Mobile Device as their target, ..." when no item has a device target;
// EDeviceError "Cannot write remote registry value %1" for a credential longer than the registry
// holds.
TPocketExport PreparePocketExport(const TUpdateItems& items);

// Sets "Username" and "Password.v2" under the site's key (created when missing); the key is
// closed in every case. EDeviceError "Cannot write remote registry value %1" naming the value.
void WriteDeviceCredentials(const TPocketExport::TCredentials& credentials);

// The whole export: prepared, then the device connected, its folder found (else "The Pocket
// Tarvell directory does not exist on the mobile device." with the installation hint), the
// credentials written and then the file, so that no failure leaves a new file with old
// credentials. A failure to connect or to write the file carries the installation hint too.
void ExportToPocketTarvell(const TUpdateItems& items, const QString& alternateDir);
