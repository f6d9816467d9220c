// The settings singleton and the settings store's lists.
#include "core/uSettings.h"

#include "core/uCodePage.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>
#include <variant>

namespace {

const QString SettingsSection = QStringLiteral("Settings");

// One row per key of section "Settings", in the order they are written.
struct TKeyRow {
    const char* Key;
    std::variant<bool TSettings::*, int TSettings::*, QString TSettings::*> Field;
    int Min = INT_MIN; // integers outside Min..Max read as their default
    int Max = INT_MAX;
};

const std::vector<TKeyRow>& KeyRows()
{
    using S = TSettings;
    static const std::vector<TKeyRow> rows = {
        {"CheckEveryWeek", &S::CheckEveryWeek},
        {"ChildrenMaximized", &S::ChildrenMaximized},
        {"WindowStateMaximized", &S::WindowStateMaximized},
        {"Left", &S::Left},
        {"Top", &S::Top},
        {"Width", &S::Width},
        {"Height", &S::Height},
        {"LastSaveFormat", &S::LastSaveFormat},
        {"InitialDir", &S::InitialDir},
        {"PrevRemoteDir", &S::PrevRemoteDir},
        {"ManualProxy", &S::ManualProxy},
        {"ProxyServer", &S::ProxyServer},
        {"ProxyPort", &S::ProxyPort},
        {"ProxyUsername", &S::ProxyUsername},
        {"ProxyPassword", &S::ProxyPassword},
        {"DownloadImages", &S::DownloadImages},
        {"AlwaysOverwrite", &S::AlwaysOverwrite},
        {"BatchConvertSource", &S::BatchConvertSource},
        {"BatchConvertDest", &S::BatchConvertDest},
        {"BatchConvertDestFormatID", &S::BatchConvertDestFormatID},
        {"BatchConvertDestFormatIDs", &S::BatchConvertDestFormatIDs},
        // A timer needs a positive interval; an hour is the longest delay that makes sense.
        {"AutoUpdateDelay", &S::AutoUpdateDelay, 1, 3600},
        {"AutoUpdateApplication", &S::AutoUpdateApplication},
        {"AutoUpdateAppParams", &S::AutoUpdateAppParams},
        {"AutoUpdateApplicationEnabled", &S::AutoUpdateApplicationEnabled},
        {"AutoUpdateActiveSync", &S::AutoUpdateActiveSync},
        {"AutoUpdateUSB", &S::AutoUpdateUSB},
        {"SelectedProfile", &S::SelectedProfile},
        {"HTVAlternateDir", &S::HTVAlternateDir},
        {"StatusTrayHeight", &S::StatusTrayHeight},
        {"StatusTrayWidth", &S::StatusTrayWidth},
        {"StatusHeight", &S::StatusHeight},
        {"StatusWidth", &S::StatusWidth},
        {"StatusAutoClose", &S::StatusAutoClose},
        {"FindDupsTolerance", &S::FindDupsTolerance, 0, INT_MAX},
        {"MapPanelWidth", &S::MapPanelWidth},
        {"MapVisible", &S::MapVisible},
        {"Map", &S::Map},
        {"MapTab", &S::MapTab},
        {"MapPointVersion", &S::MapPointVersion},
        {"Precision", &S::Precision},
        {"SiteManagerUrl", &S::SiteManagerUrl},
        {"SiteManagerMap", &S::SiteManagerMap},
        {"SiteManagerGroup", &S::SiteManagerGroup},
        {"MapPointMap", &S::MapPointMap},
        {"UsePointMap", &S::UsePointMap},
        {"PrevCommitSite", &S::PrevCommitSite},
        {"PluginAutoArrange", &S::PluginAutoArrange},
        {"ShowStartupScreen", &S::ShowStartupScreen},
        {"DefaultPlugin", &S::DefaultPlugin},
        {"SiteManagerLeftPanel", &S::SiteManagerLeftPanel},
        {"SiteManagerWidth", &S::SiteManagerWidth},
        {"SiteManagerHeight", &S::SiteManagerHeight},
        {"SiteManagerLeft", &S::SiteManagerLeft},
        {"SiteManagerTop", &S::SiteManagerTop},
        {"SiteManagerMaximized", &S::SiteManagerMaximized},
        // list-view styles: 0 icons, 1 small icons, 2 list, 3 report
        {"SiteManagerGroupsView", &S::SiteManagerGroupsView, 0, 3},
        {"SiteManagerMapsView", &S::SiteManagerMapsView, 0, 3},
        {"SiteManagerItemsView", &S::SiteManagerItemsView, 0, 3},
        {"SiteManagerSitesView", &S::SiteManagerSitesView, 0, 3},
        {"Language", &S::Language},
        {"DeviceRoot", &S::DeviceRoot},
    };
    return rows;
}

bool IsBoundsKey(const char* key)
{
    const QLatin1String k(key);
    return k == QLatin1String("Left") || k == QLatin1String("Top") || k == QLatin1String("Width")
        || k == QLatin1String("Height");
}

std::optional<bool>& PortableCache()
{
    static std::optional<bool> cache;
    return cache;
}

std::unique_ptr<TSettings>& Singleton()
{
    static std::unique_ptr<TSettings> settings;
    return settings;
}

QString ConfigHome()
{
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(xdg)))
        return QString::fromLocal8Bit(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

} // namespace

namespace {

// The marker of a "MRU" section whose names are escaped as EscapeName does. Without it, the
// section was written by a version that escaped "=" only.
const QString MruVersionKey = QStringLiteral("Version");
const QString MruVersion = QStringLiteral("2");

// A line as the versions before the marker stored it: only "%3D" in its name meant "=".
QString LineFromOldStore(const QString& line)
{
    const qsizetype eq = line.indexOf(QChar('='));
    QString name = eq < 0 ? line : line.left(eq);
    name.replace(QStringLiteral("%3D"), QStringLiteral("="));
    return TSafeStringList::EscapeName(name) + QChar('=') + (eq < 0 ? QString() : line.mid(eq + 1));
}

} // namespace

QString TSafeStringList::EscapeName(QString name) { return EscapeStoredField(name, QStringLiteral("=\r\n")); }

QString TSafeStringList::UnescapeName(QString name) { return UnescapeStoredField(name); }

QString TSafeStringList::GetName(int index) const
{
    const QString& line = Lines.at(index);
    const qsizetype eq = line.indexOf(QChar('='));
    return UnescapeName(eq < 0 ? line : line.left(eq));
}

QString TSafeStringList::GetValueAt(int index) const
{
    const QString& line = Lines.at(index);
    const qsizetype eq = line.indexOf(QChar('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

int TSafeStringList::IndexOfName(const QString& name) const
{
    // Compared un-escaped: a literal "%3d" is not the "=" that "%3D" stands for.
    for (int i = 0; i < Count(); ++i)
        if (Lines[i].contains(QChar('=')) && GetName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TSafeStringList::GetValue(const QString& name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? QString() : GetValueAt(i);
}

void TSafeStringList::AddNameValue(const QString& name, const QString& value)
{
    Lines.append(EscapeName(name) + QChar('=') + value);
}

void TSafeStringList::InsertNameValue(int index, const QString& name, const QString& value)
{
    Lines.insert(index, EscapeName(name) + QChar('=') + value);
}

bool IsPortable()
{
    auto& cache = PortableCache();
    if (!cache)
        cache = QFileInfo::exists(QFileInfo(ExecutablePath()).absolutePath() + QStringLiteral("/portable.ini"));
    return *cache;
}

void ResetPortableCache() { PortableCache().reset(); }

QString SettingsStoreFileName()
{
    if (IsPortable()) {
        const QFileInfo exe(ExecutablePath());
        const QString base = exe.suffix().isEmpty() ? exe.fileName() : exe.completeBaseName();
        return exe.absolutePath() + QChar('/') + base + QStringLiteral(".ini");
    }
    return ConfigHome() + QStringLiteral("/Orvik Software/Tarvell.ini");
}

std::unique_ptr<TSettingsStore> CreateSettingsStore() { return std::make_unique<TSettingsStore>(SettingsStoreFileName()); }

void ReadSectionList(const TSettingsStore& store, const QString& section, QStringList& list, bool unique)
{
    for (int i = 0;; ++i) {
        const QString key = QString::number(i);
        if (!store.ValueExists(section, key))
            break;
        const QString value = store.ReadString(section, key, QString());
        if (unique && list.contains(value, Qt::CaseInsensitive))
            continue;
        list.append(value);
    }
}

void WriteSectionList(TSettingsStore& store, const QString& section, const QStringList& list)
{
    store.BeginUpdate();
    if (store.SectionExists(section))
        store.EraseSection(section);
    for (int i = 0; i < list.size(); ++i)
        store.WriteString(section, QString::number(i), list[i]);
    store.EndUpdate();
}

const QStringList& BuiltInSites()
{
    // Deployment data: the product's own list first, then the outside POI sites' lists.
    static const QStringList sites = {
        QStringLiteral("http://www.tarvell.example/pois.xml"),
        QStringLiteral("http://pois.site01.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site02.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site03.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site04.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site05.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site06.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site07.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site08.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site09.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site10.example/tarvell/sites.xml"),
        QStringLiteral("http://pois.site11.example/tarvell/sites.xml"),
    };
    return sites;
}

QString OldMakerSiteList() { return QStringLiteral("http://www.orvik.example/poisv2.xml"); }

TSettings::TSettings()
    : SiteManagerUrl(BuiltInSites().first())
{
}

void TSettings::Load()
{
    const auto store = CreateSettingsStore();
    const TSettings defaults;
    for (const TKeyRow& row : KeyRows()) {
        const QString key = QString::fromLatin1(row.Key);
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, bool>) {
                    this->*member = store->ReadBool(SettingsSection, key, defaults.*member);
                } else if constexpr (std::is_same_v<T, int>) {
                    const int v = store->ReadInteger(SettingsSection, key, defaults.*member);
                    this->*member = (v < row.Min || v > row.Max) ? defaults.*member : v;
                } else {
                    this->*member = store->ReadString(SettingsSection, key, defaults.*member);
                }
            },
            row.Field);
    }
    Precision = std::clamp(Precision, 4, 6);

    MRU.Clear();
    ReadSectionList(*store, QStringLiteral("MRU"), MRU.Lines, false);
    while (MRU.Count() > 5)
        MRU.Delete(MRU.Count() - 1);
    const bool escapedNames = store->ReadString(QStringLiteral("MRU"), MruVersionKey, QString()) == MruVersion;
    for (QString& line : MRU.Lines) {
        if (!escapedNames)
            line = LineFromOldStore(line);
        else if (!line.contains(QChar('=')))
            line += QChar('=');
    }

    Sites = BuiltInSites();
    ReadSectionList(*store, QStringLiteral("Sites"), Sites, true);
    for (qsizetype i = Sites.size() - 1; i >= 0; --i)
        if (Sites[i].compare(OldMakerSiteList(), Qt::CaseInsensitive) == 0)
            Sites.removeAt(i);

    HiddenSites.clear();
    ReadSectionList(*store, QStringLiteral("HiddenSites"), HiddenSites, true);
    for (qsizetype i = HiddenSites.size() - 1; i >= 0; --i)
        if (!BuiltInSites().contains(HiddenSites[i], Qt::CaseInsensitive))
            HiddenSites.removeAt(i);

    DefaultFormats.clear();
    ReadSectionList(*store, QStringLiteral("DefaultFormats"), DefaultFormats, false);
}

void TSettings::Save()
{
    const auto store = CreateSettingsStore();
    store->BeginUpdate();
    if (!InitialDir.isEmpty())
        store->WriteString(SettingsSection, QStringLiteral("InitialDir"), InitialDir);
    for (const TKeyRow& row : KeyRows()) {
        const QString key = QString::fromLatin1(row.Key);
        if (key == QLatin1String("InitialDir") || (IsBoundsKey(row.Key) && !UserBounds))
            continue;
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, bool>)
                    store->WriteBool(SettingsSection, key, this->*member);
                else if constexpr (std::is_same_v<T, int>)
                    store->WriteInteger(SettingsSection, key, this->*member);
                else
                    store->WriteString(SettingsSection, key, this->*member);
            },
            row.Field);
    }
    WriteSectionList(*store, QStringLiteral("MRU"), MRU.Lines);
    if (MRU.Count() > 0)
        store->WriteString(QStringLiteral("MRU"), MruVersionKey, MruVersion);
    WriteSectionList(*store, QStringLiteral("Sites"), Sites);
    WriteSectionList(*store, QStringLiteral("HiddenSites"), HiddenSites);
    WriteSectionList(*store, QStringLiteral("DefaultFormats"), DefaultFormats);
    store->EndUpdate();
}

void TSettings::AddToMRU(const QString& location, const QString& formatID)
{
    // A relative entry would name another file once the program starts from another folder.
    const QString name = AbsoluteLocation(location);
    for (int i = MRU.Count() - 1; i >= 0; --i)
        if (SameLocation(MRU.GetName(i), name))
            MRU.Delete(i);
    MRU.InsertNameValue(0, name, formatID);
    while (MRU.Count() > 8)
        MRU.Delete(MRU.Count() - 1);
}

QStringList TSettings::GetVisibleSites() const
{
    QStringList visible;
    for (const QString& site : Sites)
        if (!HiddenSites.contains(site, Qt::CaseInsensitive))
            visible << site;
    return visible;
}

TSettings& GetSettings()
{
    auto& s = Singleton();
    if (!s) {
        s = std::make_unique<TSettings>();
        s->Load();
    }
    return *s;
}

QString FinalizeSettings()
{
    auto& s = Singleton();
    if (!s)
        return QString();
    QString error;
    try {
        s->Save();
    } catch (const ETarvellError& e) {
        error = e.Message();
    }
    s.reset();
    return error;
}

void ResetSettingsForTests() { Singleton().reset(); }

QString SiteConfigSection(const QString& site)
{
    QString name = site;
    name.replace(QChar('\\'), QChar('/'));
    return QStringLiteral("SiteConfigs\\") + name;
}

void WriteSiteConfig(const QString& site, const QString& key, const QString& value)
{
    CreateSettingsStore()->WriteString(SiteConfigSection(site), key, value);
}

QString ReadSiteConfig(const QString& site, const QString& key)
{
    return CreateSettingsStore()->ReadString(SiteConfigSection(site), key, QString());
}

QString ReadSitePassword(const QString& site)
{
    const auto store = CreateSettingsStore();
    const QString section = SiteConfigSection(site);
    const QString hex = store->ReadString(section, QStringLiteral("Password.v2"), QString());
    if (!hex.isEmpty()) {
        // A damaged value (odd length, not hex) means no usable password, not a failure.
        try {
            return AnsiToUnicode(UnscrambleText(HexToStr(hex.toStdString()), SitePasswordKey));
        } catch (const ETarvellError&) {
            return QString();
        }
    }
    const QString legacy = store->ReadString(section, QStringLiteral("Password"), QString());
    return AnsiToUnicode(UnscrambleText(UnicodeToAnsi(legacy), SitePasswordKey));
}

QString ScrambledPasswordText(const QString& password)
{
    return QString::fromLatin1(StrToHex(ScrambleText(UnicodeToAnsi(password), SitePasswordKey)));
}

void WriteSitePassword(const QString& site, const QString& password)
{
    WriteSiteConfig(site, QStringLiteral("Password.v2"), ScrambledPasswordText(password));
}
