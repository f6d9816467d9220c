// The settings singleton, the settings store's location and list sections, the name=value list
// and the per-site configuration with its stored password.
#pragma once

#include "core/uSettingsStore.h"

#include <QString>
#include <QStringList>

#include <memory>

// A list of name=value lines whose names may contain "=", CR and LF (kept as "%3D", "%0D", "%0A"
// in the line); "%" becomes "%25" only ahead of one of these codes or "25", so every name reads
// back exactly. Name look-ups are case-insensitive, as the store's.
class TSafeStringList {
public:
    QStringList Lines;

    int Count() const { return int(Lines.size()); }
    QString GetName(int index) const;
    QString GetValueAt(int index) const;
    QString GetValue(const QString& name) const;
    void AddNameValue(const QString& name, const QString& value);
    void InsertNameValue(int index, const QString& name, const QString& value);
    int IndexOfName(const QString& name) const;
    void Delete(int index) { Lines.removeAt(index); }
    void Clear() { Lines.clear(); }

    static QString EscapeName(QString name);
    static QString UnescapeName(QString name);
};

// True when "portable.ini" is in the executable's folder; tested once per process.
bool IsPortable();
// The file behind the store: the executable's path with ".ini" when portable, else
// $XDG_CONFIG_HOME/Orvik Software/Tarvell.ini.
QString SettingsStoreFileName();
// A fresh store object; the caller owns it and frees it at once after use.
std::unique_ptr<TSettingsStore> CreateSettingsStore();

// Reads keys "0", "1", ... until the first missing one; with unique, values already in the list
// (case-insensitive) are skipped.
void ReadSectionList(const TSettingsStore& store, const QString& section, QStringList& list, bool unique);
// Erases the section, then writes line i under key "i".
void WriteSectionList(TSettingsStore& store, const QString& section, const QStringList& list);

// The twelve built-in site-list URLs; the first is the product's own list.
const QStringList& BuiltInSites();
// The maker's old site list, dropped from "Sites" at load.
QString OldMakerSiteList();

class TSettings {
public:
    TSettings();

    // Section "Settings", one field per key, with the defaults of a new store.
    bool CheckEveryWeek = true;
    bool ChildrenMaximized = false;
    bool WindowStateMaximized = false;
    int Left = -1;
    int Top = -1;
    int Width = -1;
    int Height = -1;
    QString LastSaveFormat;
    QString InitialDir;
    QString PrevRemoteDir;
    bool ManualProxy = false;
    QString ProxyServer;
    int ProxyPort = 80;
    QString ProxyUsername;
    QString ProxyPassword;
    bool DownloadImages = true;
    bool AlwaysOverwrite = false;
    QString BatchConvertSource;
    QString BatchConvertDest;
    QString BatchConvertDestFormatID = QStringLiteral("ttov2");
    QString BatchConvertDestFormatIDs = QStringLiteral("ttov2");
    int AutoUpdateDelay = 5;
    QString AutoUpdateApplication;
    QString AutoUpdateAppParams;
    bool AutoUpdateApplicationEnabled = false;
    bool AutoUpdateActiveSync = false;
    bool AutoUpdateUSB = false;
    QString SelectedProfile;
    QString HTVAlternateDir;
    int StatusTrayHeight = -1;
    int StatusTrayWidth = -1;
    int StatusHeight = -1;
    int StatusWidth = -1;
    bool StatusAutoClose = false;
    int FindDupsTolerance = 5;
    int MapPanelWidth = 200;
    bool MapVisible = true;
    int Map = 0;
    QString MapTab;
    QString MapPointVersion = QStringLiteral("MapPoint.Application.EU.11");
    int Precision = 5;
    QString SiteManagerUrl;
    QString SiteManagerMap;
    QString SiteManagerGroup = QStringLiteral("[All]");
    QString MapPointMap;
    bool UsePointMap = false;
    QString PrevCommitSite;
    bool PluginAutoArrange = true;
    bool ShowStartupScreen = true;
    QString DefaultPlugin;
    int SiteManagerLeftPanel = -1;
    int SiteManagerWidth = -1;
    int SiteManagerHeight = -1;
    int SiteManagerLeft = -1;
    int SiteManagerTop = -1;
    bool SiteManagerMaximized = false;
    int SiteManagerGroupsView = 2;
    int SiteManagerMapsView = 2;
    int SiteManagerItemsView = 3;
    int SiteManagerSitesView = 3;
    int Language = 9;
    // Folder standing in for the connected device (see the device layer).
    QString DeviceRoot;

    TSafeStringList MRU;
    QStringList Sites;
    QStringList HiddenSites;
    QStringList DefaultFormats;
    bool UserBounds = true;

    void Load();
    // Throws EStoreError when the store cannot be written.
    void Save();
    // Puts the location (made absolute and cleaned, see AbsoluteLocation) at the top of the recent
    // files, replacing an entry of the same location (device paths compare case-insensitively,
    // local ones exactly); at most 8 entries. Save marks the "MRU" section with "Version" "2";
    // Load reads a section without it as older versions wrote it ("%3D" alone was escaped).
    void AddToMRU(const QString& location, const QString& formatID);
    QStringList GetVisibleSites() const;
};

// The singleton, created and loaded on first use.
TSettings& GetSettings();
// Program end: saves the singleton if it was created. Returns the error text, empty on success,
// so that the caller can show a warning instead of failing.
QString FinalizeSettings();

inline constexpr uint16_t SitePasswordKey = 917;
// The section of a site: "SiteConfigs\" + the location with every "\" turned into "/".
QString SiteConfigSection(const QString& site);
void WriteSiteConfig(const QString& site, const QString& key, const QString& value);
QString ReadSiteConfig(const QString& site, const QString& key);
// The plain password; "" when none is stored or the stored value is damaged.
QString ReadSitePassword(const QString& site);
// The password as "Password.v2" values keep it: scrambled with SitePasswordKey, as hex text.
QString ScrambledPasswordText(const QString& password);
// Stores the password scrambled under "Password.v2".
void WriteSitePassword(const QString& site, const QString& password);
