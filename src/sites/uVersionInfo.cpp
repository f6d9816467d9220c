// The program version check.
#include "sites/uVersionInfo.h"

#include "core/uXmlDocument.h"

#include <QUrl>

QString VersionNumbersText(const TFileVersionNumbers& v)
{
    return QStringLiteral("%1.%2.%3.%4").arg(v.Major).arg(v.Minor).arg(v.Release).arg(v.Build);
}

bool CompareVersions(const TFileVersionNumbers& online, const TFileVersionNumbers& own)
{
    const int a[] = { online.Major, online.Minor, online.Release, online.Build };
    const int b[] = { own.Major, own.Minor, own.Release, own.Build };
    for (int i = 0; i < 4; ++i)
        if (a[i] != b[i])
            return a[i] > b[i];
    return false;
}

TFileVersionNumbers ParseVersionXml(const QString& text)
{
    TXmlDocument document;
    // A text that does not load has no document element: the next step says so.
    document.LoadXml(text);
    const TXmlNode root = document.DocumentElement();
    if (!root)
        throw ETarvellError(TVersionInfoTexts::tr("Invalid xml, no document element found\r\r%1").arg(XmlExcerpt(text)));
    const TXmlNode current = root.SelectChild("Current");
    if (!current)
        throw ETarvellError(TVersionInfoTexts::tr("Online version information invalid"));
    const QStringList fields = current.Text().trimmed().split(QChar('.'));
    int numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        const QString field = i < fields.size() ? fields[i] : QString();
        const int32_t value = StrToInt32(field.toStdString());
        if (value < 0 || field.trimmed().startsWith(QChar('+')))
            throw EConvertError(TGeneralTexts::tr("'%1' is not a valid integer value").arg(field));
        numbers[i] = value;
    }
    return { numbers[0], numbers[1], numbers[2], numbers[3] };
}

QString FetchVersionFile(const QString& webSite, const TDownloadProgressEvent& progress)
{
    const std::string bytes = DownloadToStringLimited(webSite + QStringLiteral("/version.xml"), MaxVersionFileSize, progress);
    if (bytes.find("<?xml") == std::string::npos)
        throw ETarvellError(TVersionInfoTexts::tr("Unable to retrieve online version information."));
    return DecodeXmlBytes(bytes);
}

QString VersionCheckErrorText(const QString& message)
{
    return TVersionInfoTexts::tr("Cannot retrieve online file information (%1) because of the following error:\r\r%2\r\r"
                                 "Please check your internet connection")
        .arg(TVersionInfoTexts::tr("version info"), message);
}

QString VersionCheckExceptionText(const QString& message)
{
    return TVersionInfoTexts::tr("Could not download version information because of the following exception:\r\r\"%1\".")
        .arg(message);
}

bool IsPlaceholderWebSite(const QString& webSite)
{
    const QString host = QUrl(webSite).host().toLower();
    return host == QLatin1String("example") || host.endsWith(QLatin1String(".example"));
}
