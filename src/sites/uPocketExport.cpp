// The export of AutoUpdate items to the handheld program.
#include "sites/uPocketExport.h"

#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "core/uXmlDocument.h"
#include "formats/uConvertBase.h"
#include "sites/uAutoUpdate.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"

namespace {

QString InstallationHint()
{
    return TPocketExportTexts::tr("Make sure you have installed Pocket Tarvell, it is installed either to the default "
                                  "directory, or to an alternate install directory (as setup in Settings tab of the "
                                  "AutoUpdate Manager)");
}

QString WithHint(const QString& message)
{
    return message + QChar('\r') + InstallationHint();
}

// A full or read-only device, or a value too long for it: the user's to mend, not a fault.
EDeviceError RegistryValueError(const char* value)
{
    return EDeviceError(TPocketExportTexts::tr("Cannot write remote registry value %1").arg(QLatin1String(value)));
}

void AppendText(TXmlNode parent, const char* name, const QString& text)
{
    parent.AppendElement(name).SetText(text);
}

} // namespace

QString PocketCredentialsKey(const QString& site)
{
    return QStringLiteral("Software\\Orvik Software\\Tarvell\\AutoUpdateItems\\") + site;
}

QString PocketTarvellFolder(const QString& alternateDir)
{
    if (!alternateDir.isEmpty())
        return alternateDir;
    QString folder = GetDeviceSpecialFolder(CsidlProgramFiles);
    if (!folder.endsWith(QChar('\\')))
        folder += QChar('\\');
    return folder + QStringLiteral("PocketTarvell");
}

QString PocketSettingsLocation(const QString& folder)
{
    QString path = IncludeLeadingBackslash(folder);
    if (!path.endsWith(QChar('\\')))
        path += QChar('\\');
    return QString::fromLatin1(MobilePrefix.data()) + path + QStringLiteral("settings.xml");
}

TPocketExport PreparePocketExport(const TUpdateItems& items)
{
    const auto sorted = TUpdateItems::CreateView();
    items.AddItemsTo(*sorted);
    sorted->SortBySite();

    TXmlDocument document;
    document.AppendProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"ISO-8859-1\""));
    const TXmlNode root = document.CreateDocumentElement(QStringLiteral("autoupdateitems"));
    TPocketExport result;
    QString lastSite;
    bool anySite = false;
    for (int i = 0; i < sorted->Count(); ++i) {
        const TUpdateItem& item = sorted->GetItem(i);
        if (!IsMobilePath(item.Target))
            continue;
        ++result.Count;
        const TSite& site = GetSite(item.Site);
        const QString url = site.GetPoiValue(item.Description, QStringLiteral("url"), true);
        const QString format = site.GetPoiValue(item.Description, QStringLiteral("format"), false);
        QString extension;
        QString formatID;
        SplitPoiFormat(format, url, extension, formatID);
        if (formatID != item.FormatID) {
            QString offered = format;
            TConvertFromBase::DescriptionOf(extension, formatID, offered);
            throw EUserError(TPocketExportTexts::tr("At this moment PocketTarvell cannot convert between poi file "
                                                    "formats, therefore the format of item %1 must match the format in "
                                                    "which the site offers this poi (which is %2).\r\rPlease review your "
                                                    "settings and try again.")
                                 .arg(item.Description, offered));
        }
        const TXmlNode element = root.AppendElement("item");
        AppendText(element, "site", item.Site);
        AppendText(element, "filename", StripMobilePrefix(item.Target));
        AppendText(element, "url", url);
        AppendText(element, "query", site.GetPoiValue(item.Description, QStringLiteral("query"), false));
        AppendText(element, "lastmodified", site.GetPoiValue(item.Description, QStringLiteral("lastmodified"), false));
        AppendText(element, "description", site.GetPoiValue(item.Description, QStringLiteral("description"), false));
        AppendText(element, "authorization", site.GetPoiValue(item.Description, QStringLiteral("authorization"), false));
        AppendText(element, "format", format);
        AppendText(element, "queryerrormode", site.GetSiteValue(QStringLiteral("queryerrormode"), false));

        if (anySite && item.Site.compare(lastSite, Qt::CaseInsensitive) == 0)
            continue;
        anySite = true;
        lastSite = item.Site;
        const QString userName = ReadSiteConfig(item.Site, QStringLiteral("Username"));
        if (userName.isEmpty())
            continue;
        TPocketExport::TCredentials credentials { item.Site, userName, ScrambledPasswordText(ReadSitePassword(item.Site)) };
        // A value the registry cannot hold whole is refused, never cut: a cut password logs nobody in.
        if (credentials.UserName.size() > MaxDeviceRegistryValue)
            throw RegistryValueError("Username");
        if (credentials.PasswordV2.size() > MaxDeviceRegistryValue)
            throw RegistryValueError("Password.v2");
        result.Credentials.push_back(std::move(credentials));
    }
    if (result.Count == 0)
        throw EUserError(TPocketExportTexts::tr("No items in the selection configured with a Mobile Device as their "
                                                "target, please check the destination of the AutoUpdate items"));
    result.SettingsXml = document.SaveToBytes();
    return result;
}

void WriteDeviceCredentials(const TPocketExport::TCredentials& credentials)
{
    ConnectDevice();
    bool created = false;
    const TDeviceKey key = CreateDeviceRegKey(DeviceHkeyCurrentUser, PocketCredentialsKey(credentials.Site), created);
    struct TKeyCloser {
        TDeviceKey Key;
        ~TKeyCloser() { CeRegCloseKey(Key); }
    } closer { key };
    if (CeRegSetValueEx(key, QStringLiteral("Username"), credentials.UserName) != 0)
        throw RegistryValueError("Username");
    if (CeRegSetValueEx(key, QStringLiteral("Password.v2"), credentials.PasswordV2) != 0)
        throw RegistryValueError("Password.v2");
}

void ExportToPocketTarvell(const TUpdateItems& items, const QString& alternateDir)
{
    const TPocketExport prepared = PreparePocketExport(items);
    QString folder;
    bool folderExists = false;
    try {
        ConnectDevice();
        folder = PocketTarvellFolder(alternateDir);
        folderExists = DeviceEntryAt(folder) == TDeviceEntry::Folder;
    } catch (const ETarvellError& e) {
        throw EUserError(WithHint(e.Message()));
    }
    if (!folderExists)
        throw EUserError(WithHint(TPocketExportTexts::tr("The Pocket Tarvell directory does not exist on the mobile device.")));
    // Credentials first: a file whose sites cannot log in would fail on the device.
    for (const TPocketExport::TCredentials& credentials : prepared.Credentials)
        WriteDeviceCredentials(credentials);
    const QString location = PocketSettingsLocation(folder);
    try {
        WriteDeviceFile(StripMobilePrefix(location), prepared.SettingsXml);
    } catch (const ETarvellError& e) {
        throw EUserError(WithHint(e.Message()));
    }
}
