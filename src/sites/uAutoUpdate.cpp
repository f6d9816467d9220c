// The update engine.
#include "sites/uAutoUpdate.h"

#include "core/uCodePage.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uScopeGuard.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"
#include "sites/uVersionInfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <unistd.h>

namespace {

constexpr int StampSize = 8;
constexpr qint64 TimeTolerance = 10; // ms

class TWallClock : public TClock {
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

// The decorated message followed by the connection hint.
QString WithConnectionHint(const QString& message)
{
    return TAutoUpdateTexts::tr("%1\r\rPlease check your connection and your username/password if you are downloading "
                                "from a site which requires registration")
        .arg(message);
}

QString Text(const TXmlNode& node)
{
    return node ? node.Text() : QString();
}

// A body that is a web page, not a POI file: what a portal answers with status 200 for a login
// or error page.
bool LooksLikeHtml(const std::string& bytes)
{
    size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    const QString head
        = QString::fromLatin1(bytes.data() + i, qsizetype(std::min<size_t>(bytes.size() - i, 64))).toLower();
    return head.startsWith(QLatin1String("<!doctype html")) || head.startsWith(QLatin1String("<html"));
}

bool HardLink(const QString& from, const QString& to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Replaces the cache file and then its stamp. Should the stamp fail, the old cache file is put
// back, so the pair is always both old or both new.
void CommitCacheAndStamp(const QString& cacheFile, const std::string& bytes, const QDateTime& stamp)
{
    const QString stampFile = ChangeLocationExtension(cacheFile, QStringLiteral(".inf"));
    const QString backup = cacheFile + QStringLiteral(".old~");
    QFile::remove(backup);
    const bool hasBackup = QFileInfo(cacheFile).isFile() && HardLink(cacheFile, backup);
    {
        const auto dropBackup = OnFailure([&] {
            if (hasBackup)
                QFile::remove(backup);
        });
        SaveBytesToFile(cacheFile, bytes);
    }
    {
        const auto putBack = OnFailure([&] {
            if (hasBackup)
                ::rename(QFile::encodeName(backup).constData(), QFile::encodeName(cacheFile).constData());
            else
                QFile::remove(cacheFile);
        });
        WriteCacheStamp(QString::fromLatin1(FilePrefix.data()) + cacheFile, stamp);
    }
    if (hasBackup)
        QFile::remove(backup);
}

} // namespace

const TClock& SystemClock()
{
    static const TWallClock clock;
    return clock;
}

// --- names and URLs ---------------------------------------------------------------------------

QString SanitizeFileNamePart(const QString& text, int maxBytes)
{
    QString out;
    out.reserve(text.size());
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const int size = pair ? 4 : c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        if (pair) {
            out += c;
            out += text[++i];
            continue;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.isSurrogate() || QStringLiteral("\\/:*?\"<>|=").contains(c))
            c = QChar('_');
        out += c;
    }
    while (!out.isEmpty() && (out.endsWith(QChar('.')) || out.endsWith(QChar(' '))))
        out.chop(1);
    if (out.isEmpty())
        out = QStringLiteral("_");
    return out;
}

QString UniqueFileNamePart(const QString& text, int maxBytes)
{
    return UniqueFileName(SanitizeFileNamePart(text, maxBytes), text);
}

QString UniqueFileName(const QString& clean, const QString& text)
{
    constexpr qsizetype HashDigits = 8;
    const auto endsInHash = [&text] {
        if (text.size() < HashDigits + 1 || text[text.size() - HashDigits - 1] != QChar('~'))
            return false;
        return std::all_of(text.end() - HashDigits, text.end(),
            [](QChar c) { return (c >= QChar('0') && c <= QChar('9')) || (c >= QChar('a') && c <= QChar('f')); });
    };
    if (clean == text && !endsInHash())
        return clean;
    const QByteArray hash = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex();
    return clean + QChar('~') + QString::fromLatin1(hash.left(HashDigits));
}

QString CacheFolder(const QString& site)
{
    return GetDataDir() + QStringLiteral("download/") + ChangeLocationExtension(UrlToFileName(site), QString());
}

QString CacheFileName(
    const QString& site, const QString& description, const QString& formatID, const QString& extension)
{
    const QString ext = extension.startsWith(QChar('.')) ? extension.mid(1) : extension;
    QString name = UniqueFileNamePart(description) + QChar('.') + UniqueFileNamePart(formatID, 40);
    if (!ext.isEmpty())
        name += QChar('.') + UniqueFileNamePart(ext, 40);
    return CacheFolder(site) + QChar('/') + name;
}

QString EncodeUrlParam(const QString& text)
{
    static const char* digits = "0123456789ABCDEF";
    QString out;
    for (const char ch : UnicodeToAnsi(text)) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.'
            || b == '_' || b == '~') {
            out += QChar(b);
        } else {
            out += QChar('%');
            out += QChar(digits[b >> 4]);
            out += QChar(digits[b & 15]);
        }
    }
    return out;
}

QString ResolveSiteUrl(const QString& url, const QString& siteLocation)
{
    if (!url.startsWith(QChar('/')))
        return url;
    const QString scheme = ExtractUrlScheme(siteLocation);
    if (scheme.isEmpty())
        throw ETarvellError(TAutoUpdateTexts::tr("Invalid url %1").arg(StripUrlCredentials(siteLocation)));
    const QString rest = siteLocation.mid(scheme.size());
    const qsizetype slash = rest.indexOf(QChar('/'));
    return scheme + (slash < 0 ? rest : rest.left(slash)) + url;
}

QString ReplaceUrlPlaceholders(const QString& urlTemplate, const TUrlPlaceholders& values)
{
    QString url;
    url.reserve(urlTemplate.size());
    qsizetype i = 0;
    while (i < urlTemplate.size()) {
        bool replaced = false;
        if (urlTemplate[i] == QChar('%')) {
            for (const auto& [name, value] : values) {
                const qsizetype length = name.size() + 2;
                if (i + length <= urlTemplate.size() && urlTemplate[i + length - 1] == QChar('%')
                    && QStringView(urlTemplate).mid(i + 1, name.size()).compare(name, Qt::CaseInsensitive) == 0) {
                    url += value;
                    i += length;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            url += urlTemplate[i++];
    }
    return url;
}

TUrlPlaceholders StandardUrlPlaceholders(const QString& userName, const QString& password)
{
    const TFileVersionNumbers v = ProgramVersionNumbers();
    return {
        { QStringLiteral("Username"), EncodeUrlParam(userName) },
        { QStringLiteral("Password"), EncodeUrlParam(password) },
        { QStringLiteral("AppVer"), VersionNumbersText(v) },
        { QStringLiteral("AppName"), EncodeUrlParam(ApplicationTitle()) },
    };
}

QString ExpandUrlPlaceholders(const QString& urlTemplate, const QString& userName, const QString& password)
{
    return ReplaceUrlPlaceholders(urlTemplate, StandardUrlPlaceholders(userName, password));
}

void CallErrorUrl(const QString& urlTemplate, const QString& message, const QString& description,
    const QString& userName, const QString& password, int code, const TDownloadProgressEvent& progress)
{
    TUrlPlaceholders values = {
        { QStringLiteral("ErrorMsg"), EncodeUrlParam(message) },
        { QStringLiteral("ErrorCode"), QString::number(code) },
        { QStringLiteral("Description"), EncodeUrlParam(description) },
    };
    for (auto& value : StandardUrlPlaceholders(userName, password))
        values.push_back(std::move(value));
    try {
        TMemoryStream answer;
        DownloadToStream(ReplaceUrlPlaceholders(urlTemplate, values), answer, false, progress,
            DownloadLimits().MaxAnswerSize);
    } catch (...) {
        // The ping is a courtesy to the site; its failure changes nothing for the user.
    }
}

void CallSuccessUrl(const QString& urlText, const QString& description, const QString& userName, const QString& site,
    const QString& password, const TDownloadProgressEvent& progress)
{
    try {
        TUrlPlaceholders values = StandardUrlPlaceholders(userName, password);
        values.push_back({ QStringLiteral("Description"), EncodeUrlParam(description) });
        DownloadToString(ReplaceUrlPlaceholders(ResolveSiteUrl(urlText, site), values), false, progress,
            DownloadLimits().MaxAnswerSize);
    } catch (...) {
        // As for the error ping.
    }
}

QString BuildCommitUrl(const QString& addUrl, const QString& siteLocation, const QString& userName,
    const QString& password, const QString& poiFile, double longitude, double latitude, const QString& description)
{
    TUrlPlaceholders values = StandardUrlPlaceholders(userName, password);
    values.push_back({ QStringLiteral("Poi"), EncodeUrlParam(poiFile) });
    // Fixed notation with "." whatever the locale: a site reads "1e-06" as a name, not a number.
    values.push_back({ QStringLiteral("Lon"), QString::fromLatin1(FloatToPlainText(longitude)) });
    values.push_back({ QStringLiteral("Lat"), QString::fromLatin1(FloatToPlainText(latitude)) });
    values.push_back({ QStringLiteral("Desc"), EncodeUrlParam(description) });
    return ReplaceUrlPlaceholders(ResolveSiteUrl(addUrl.trimmed(), siteLocation), values);
}

QString FormatSiteError(const QString& message, bool siteError, const QString& name, const QString& errorUrl,
    const char* messageTemplate, const QString& userName, const QString& password,
    const TDownloadProgressEvent& progress)
{
    QString text = QCoreApplication::translate("uAutoUpdate", messageTemplate).arg(name, message);
    if (!siteError)
        text = WithConnectionHint(text);
    if (!errorUrl.isEmpty())
        CallErrorUrl(errorUrl, text, name, userName, password, 0, progress);
    return text;
}

void SplitPoiFormat(const QString& format, const QString& url, QString& extension, QString& formatID)
{
    if (!format.isEmpty()) {
        // "ext.formatid"; a format without a dot is an extension without a format ID.
        const qsizetype dot = format.lastIndexOf(QChar('.'));
        extension = QChar('.') + (dot < 0 ? format : format.left(dot));
        formatID = dot < 0 ? QString() : format.mid(dot + 1);
    } else {
        extension = ExtractUrlFileExt(url);
        formatID.clear();
    }
    if (TConvertFromBase::IndexOf(extension, QString()) < 0 && TConvertFromBase::FormatCount() > 0)
        extension = TConvertFromBase::Extension(0);
    if (formatID.isEmpty()) {
        const int i = TConvertFromBase::IndexOf(extension, QString());
        if (i >= 0)
            formatID = TConvertFromBase::FormatIDAt(i);
    }
}

bool IsNewerTime(const QDateTime& x, const QDateTime& y)
{
    if (!x.isValid())
        return false;
    if (!y.isValid())
        return true;
    return y.msecsTo(x) > TimeTolerance;
}

QDateTime ParseLastModified(const QString& text)
{
    const QString t = text.trimmed();
    const auto number = [&t, &text](int from, int count) {
        bool ok = false;
        const QString part = t.mid(from, count);
        const int value = part.size() == count ? part.toInt(&ok) : 0;
        if (!ok || part.startsWith(QChar('+')) || part.startsWith(QChar('-')))
            throw EConvertError(TAutoUpdateTexts::tr("'%1' is not a valid date and time").arg(text.left(40)));
        return value;
    };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    const QTime time(number(9, 2), number(11, 2), number(13, 2));
    if (!date.isValid() || !time.isValid())
        throw EConvertError(TAutoUpdateTexts::tr("'%1' is not a valid date and time").arg(text.left(40)));
    return QDateTime(date, time);
}

// --- targets and stamps -----------------------------------------------------------------------

bool TargetFileExists(const QString& location)
{
    if (IsMobilePath(location)) {
        ConnectDevice();
        return DeviceFileExists(StripMobilePrefix(location));
    }
    // A relative path would land wherever the program was started.
    if (IsFilePath(location) && QDir::isAbsolutePath(StripFilePrefix(location)))
        return QFileInfo(StripFilePrefix(location)).isFile();
    throw EUserError(TAutoUpdateTexts::tr("Invalid target filename"));
}

QDateTime ReadCacheStamp(const QString& location)
{
    if (!TargetFileExists(location))
        return QDateTime();
    if (IsMobilePath(location)) {
        const QString stampPath = StripMobilePrefix(ChangeLocationExtension(location, QStringLiteral(".inf")));
        TMemoryStream stream;
        try {
            ConnectDevice();
            if (!DeviceFileExists(stampPath))
                return QDateTime();
            ReadDeviceFile(stampPath, stream);
        } catch (const ETarvellError&) {
            throw EUserError(TAutoUpdateTexts::tr("Could not read or check file for existence"));
        }
        return stream.Size() < StampSize ? QDateTime() : DecodeTimeStamp(stream.Data());
    }
    const QString stampFile = StripFilePrefix(ChangeLocationExtension(location, QStringLiteral(".inf")));
    return QFileInfo(stampFile).isFile() ? ReadTimeStampFile(stampFile) : QDateTime();
}

void WriteCacheStamp(const QString& location, const QDateTime& time)
{
    if (IsMobilePath(location)) {
        const QString stampPath = StripMobilePrefix(ChangeLocationExtension(location, QStringLiteral(".inf")));
        try {
            WriteDeviceFile(stampPath, EncodeTimeStamp(time));
        } catch (const ETarvellError&) {
            throw ETarvellError(TAutoUpdateTexts::tr("Could not write time to %1").arg(stampPath));
        }
        return;
    }
    WriteTimeStampFile(StripFilePrefix(ChangeLocationExtension(location, QStringLiteral(".inf"))), time);
}

// --- catalogues -------------------------------------------------------------------------------

TCatalogueIndex::TCatalogueIndex(const TXmlDocument& document)
    : FDocument(document)
{
}

TCatalogueIndex::~TCatalogueIndex() = default;

TXmlNode TCatalogueIndex::Poi(const QString& description) const
{
    if (!FPois) {
        // Document order, first one kept: what the path search finds.
        FPois = std::make_unique<std::unordered_map<QString, TXmlNode>>();
        for (const TXmlNode& poi : FDocument.SelectNodes(QStringLiteral("//pois/poi")))
            for (pugi::xml_node d = poi.Native().child("description"); d; d = d.next_sibling("description"))
                FPois->emplace(TXmlNode(d).Text(), poi);
    }
    const auto it = FPois->find(description);
    return it == FPois->end() ? TXmlNode() : it->second;
}

QString TCatalogueIndex::SiteValue(const QString& name) const
{
    auto it = FValues.find(name);
    if (it == FValues.end())
        it = FValues.emplace(name, Text(FDocument.SelectSingleNode(QStringLiteral("//pois/") + name))).first;
    return it->second;
}

const TCatalogueIndex& TSiteCatalogues::Index(const QString& site)
{
    FIndex = std::make_unique<TCatalogueIndex>(Catalogue(site));
    return *FIndex;
}

// --- the engine -------------------------------------------------------------------------------

struct TAutoUpdate::TItemContext {
    QString Site;
    QString Description;
    QString UserName;
    QString Password;
    const TCatalogueIndex* Document = nullptr;
    TXmlNode Poi;
    QString DownloadUrl;
    QString Extension;
    QString FormatID;
    QString CacheFile;
    // The run's progress for the requests beside the POI file (queries, checks, pings, the image):
    // it keeps the events flowing and lets Cancel end them; it reports no bytes, so the row keeps
    // the text and bar of its step.
    TDownloadProgressEvent SideProgress;
};

TAutoUpdate::TAutoUpdate(const TClock& clock)
    : FClock(clock)
{
}

void TAutoUpdate::DoProgress(int step, const QString& text)
{
    if (OnProgress)
        OnProgress(step * 100.0 / 10, text);
}

void TAutoUpdate::Fail(TItemContext& c, const ETarvellError& e, const QString& message, const QString& name)
{
    const bool siteError = dynamic_cast<const ESiteError*>(&e) != nullptr;
    QString errorUrl = Text(c.Poi.SelectSingleNode(QStringLiteral("onerror")));
    if (errorUrl.isEmpty())
        errorUrl = c.Document->SiteValue(QStringLiteral("onerror"));
    try {
        if (!errorUrl.isEmpty())
            errorUrl = ResolveSiteUrl(errorUrl, c.Site);
    } catch (const ETarvellError&) {
        // An error URL that cannot be resolved must not hide the failure being reported.
        errorUrl.clear();
    }
    const QString decorated = FormatSiteError(
        message, siteError, name, errorUrl, DownloadErrorTemplate, c.UserName, c.Password, c.SideProgress);
    if (siteError)
        throw ESiteError(decorated);
    throw EUserError(decorated);
}

bool TAutoUpdate::Execute(
    TUpdateItem& item, bool& askOverwrite, TSiteCatalogues& catalogues, const TDownloadProgressEvent& progress)
{
    if (FCancel)
        return false;
    const TCatalogueIndex& site = catalogues.Index(item.Site);
    // A cancel request also stops a download that is under way.
    const TDownloadProgressEvent watched = [this, &progress](uint64_t done, uint64_t total, TUrlDownloadStatus status,
                                               const QString& text, bool& cancel) {
        if (progress)
            progress(done, total, status, text, cancel);
        if (FCancel)
            cancel = true;
    };
    return UpdateItem(item, askOverwrite, site, watched);
}

bool TAutoUpdate::UpdateItem(
    TUpdateItem& item, bool& askOverwrite, const TCatalogueIndex& site, const TDownloadProgressEvent& progress)
{
    QDateTime remoteTime = FClock.Now();
    bool result = false;
    DoProgress(2, TAutoUpdateTexts::tr("Checking for new version..."));

    TItemContext c;
    c.Site = item.Site;
    c.Description = item.Description;
    auto credentials = FCredentials.find(item.Site);
    if (credentials == FCredentials.end())
        credentials
            = FCredentials
                  .emplace(item.Site,
                      std::pair { ReadSiteConfig(item.Site, QStringLiteral("Username")), ReadSitePassword(item.Site) })
                  .first;
    c.UserName = credentials->second.first;
    c.Password = credentials->second.second;
    c.Document = &site;
    c.SideProgress = [&progress](uint64_t, uint64_t, TUrlDownloadStatus status, const QString& text, bool& cancel) {
        if (progress)
            progress(0, 0, status, text, cancel);
    };
    const TDownloadLimits& limits = DownloadLimits();
    const int queryErrorMode = site.SiteValue(QStringLiteral("queryerrormode")).trimmed().toInt();

    c.Poi = site.Poi(item.Description);
    if (!c.Poi)
        throw EUserError(
            TAutoUpdateTexts::tr("AutoUpdate item \"%1\" does not (or no longer) exist in the downloaded site's index. "
                                 "Please remove it from the "
                                 "\"All Items\" tab in the AutoUpdate Manager")
                .arg(item.Description));
    const TXmlNode url = c.Poi.SelectSingleNode(QStringLiteral("url"));
    if (!url)
        throw InvalidSiteInformation();
    const QString urlText = url.Text().trimmed();
    // A catalogue on the web must not make the program read local files.
    if (IsFilePath(urlText) && !IsFilePath(item.Site))
        throw EUserError(TAutoUpdateTexts::tr("Invalid url %1").arg(urlText));
    c.DownloadUrl = ExpandUrlPlaceholders(ResolveSiteUrl(urlText, item.Site), c.UserName, c.Password);

    const TXmlNode image = c.Poi.SelectSingleNode(QStringLiteral("image"));
    const TXmlNode query = c.Poi.SelectSingleNode(QStringLiteral("query"));
    const TXmlNode lastModified = c.Poi.SelectSingleNode(QStringLiteral("lastmodified"));
    SplitPoiFormat(Text(c.Poi.SelectSingleNode(QStringLiteral("format"))), c.DownloadUrl, c.Extension, c.FormatID);

    if (query) {
        try {
            const QString answer = QString::fromUtf8(
                DownloadToString(
                    ExpandUrlPlaceholders(ResolveSiteUrl(query.Text().trimmed(), item.Site), c.UserName, c.Password),
                    false, c.SideProgress, limits.MaxAnswerSize))
                                       .trimmed();
            if (queryErrorMode == 1 && !answer.isEmpty())
                throw ESiteError(TAutoUpdateTexts::tr("Following error occured: %1").arg(answer));
        } catch (const ETarvellError& e) {
            Fail(c, e, TAutoUpdateTexts::tr("%1 while querying item").arg(e.Message()), item.Description);
        }
    }
    if (lastModified) {
        try {
            const std::string answer = DownloadToString(
                ExpandUrlPlaceholders(ResolveSiteUrl(lastModified.Text().trimmed(), item.Site), c.UserName, c.Password),
                false, c.SideProgress, limits.MaxAnswerSize);
            remoteTime
                = ParseLastModified(QString::fromLatin1(answer.data(), qsizetype(std::min<size_t>(answer.size(), 64))));
        } catch (const ETarvellError& e) {
            Fail(c, e, TAutoUpdateTexts::tr("%1 while checking for newer version of this poi file").arg(e.Message()),
                item.Description);
        }
    }

    const QString folder = CacheFolder(item.Site);
    if (!QDir().mkpath(folder))
        throw ETarvellError(TAutoUpdateTexts::tr(
            "Could not create directory \"%1\". Check that parent directory is writable and that you have sufficient "
            "rights to create a directory within it")
                                .arg(folder));
    c.CacheFile = CacheFileName(item.Site, item.Description, c.FormatID, c.Extension);

    try {
        if (!FHandled.contains(c.CacheFile)) {
            FHandled.insert(c.CacheFile);
            DoProgress(3, QString());
            item.LastChecked = FClock.Now();
            const QDateTime stamp = ReadCacheStamp(QString::fromLatin1(FilePrefix.data()) + c.CacheFile);
            if (!lastModified || IsNewerTime(remoteTime, stamp)) {
                try {
                    DownloadIntoCache(c, progress, bool(lastModified), remoteTime, stamp, result);
                } catch (const ETarvellError& e) {
                    Fail(c, e, TAutoUpdateTexts::tr("%1 while downloading item").arg(e.Message()), item.Description);
                }
            }
            const QString cacheBitmap = ChangeLocationExtension(c.CacheFile, QStringLiteral(".bmp"));
            if (GetSettings().DownloadImages && image && !QFileInfo(cacheBitmap).isFile()) {
                try {
                    DoProgress(4, TAutoUpdateTexts::tr("Downloading image..."));
                    TMemoryStream stream;
                    DownloadToStream(ResolveSiteUrl(image.Text().trimmed(), item.Site), stream, false, c.SideProgress,
                        limits.MaxImageSize);
                    SaveBytesToFile(cacheBitmap, stream.Data());
                } catch (const ETarvellError& e) {
                    Fail(c, e, e.Message(), TAutoUpdateTexts::tr("%1 image").arg(item.Description));
                }
            }
        }
        Install(c, item, askOverwrite);
    } catch (...) {
        try {
            ProfilesChanged();
        } catch (const ETarvellError&) {
            // The item's own failure is the one to report.
        }
        throw;
    }
    ProfilesChanged();
    return result;
}

void TAutoUpdate::ProfilesChanged()
{
    FUnsaved = true;
    const auto now = std::chrono::steady_clock::now();
    if (ProfileSaveInterval.count() > 0 && FLastSave != std::chrono::steady_clock::time_point()
        && now - FLastSave < std::max<std::chrono::steady_clock::duration>(ProfileSaveInterval, FSaveTime * 10))
        return;
    SaveProfiles();
}

void TAutoUpdate::SaveProfiles()
{
    if (!FUnsaved)
        return;
    const auto start = std::chrono::steady_clock::now();
    SaveAutoUpdateProfiles();
    FUnsaved = false;
    FLastSave = std::chrono::steady_clock::now();
    FSaveTime = FLastSave - start;
}

void TAutoUpdate::DownloadIntoCache(TItemContext& c, const TDownloadProgressEvent& progress, bool hasLastModified,
    const QDateTime& remoteTime, const QDateTime& stamp, bool& result)
{
    DoProgress(3, TAutoUpdateTexts::tr("Downloading or getting cached version..."));
    TMemoryStream stream;
    QDateTime downloadTime;
    if (IsFilePath(c.DownloadUrl)) {
        const QString path = StripFilePrefix(c.DownloadUrl);
        stream.Write(LoadBytesFromFile(path));
        downloadTime = QFileInfo(path).lastModified();
    } else if (hasLastModified) {
        downloadTime = FClock.Now();
        DownloadToStream(c.DownloadUrl, stream, true, progress, DownloadLimits().MaxPoiFileSize);
    } else {
        downloadTime = DownloadToStream(c.DownloadUrl, stream, false, progress, DownloadLimits().MaxPoiFileSize);
    }
    // An answer refused from here on must not stay in the HTTP cache as the address's copy.
    const auto dropRefused = OnFailure([&c, hasLastModified] {
        if (!hasLastModified && !IsFilePath(c.DownloadUrl))
            DropCachedCopy(c.DownloadUrl);
    });
    if (!hasLastModified && !IsNewerTime(downloadTime, stamp))
        return;
    // Only a file its reader accepts may take the cache's place; anything else is retried next run.
    if (LooksLikeHtml(stream.Data()))
        throw EUserError(TAutoUpdateTexts::tr("The site sent a web page instead of the POI file"));
    // No bytes is a failed answer, never a list that became empty.
    if (stream.Data().empty())
        throw EUserError(TAutoUpdateTexts::tr("The site sent an empty answer instead of the POI file"));
    {
        TMemoryStream probe(stream.Data());
        TEntries entries;
        entries.LoadFromStream(probe, c.Extension, c.FormatID, false);
    }
    result = true;
    CommitCacheAndStamp(c.CacheFile, stream.Data(), hasLastModified ? remoteTime : downloadTime);
    QString success = Text(c.Poi.SelectSingleNode(QStringLiteral("onsuccess")));
    if (success.isEmpty())
        success = c.Document->SiteValue(QStringLiteral("onsuccess"));
    if (!success.isEmpty())
        CallSuccessUrl(success, c.Description, c.UserName, c.Site, c.Password, c.SideProgress);
}

void TAutoUpdate::Install(TItemContext& c, TUpdateItem& item, bool& askOverwrite)
{
    DoProgress(5, QString());
    bool install = true;
    TSettings& settings = GetSettings();
    if (TargetFileExists(item.Target) && askOverwrite && !settings.AlwaysOverwrite && !Silent && OverwriteQuestion) {
        const TOverwriteAnswer answer = OverwriteQuestion->Ask(TAutoUpdateTexts::tr(
            "Downloaded up-to-date POI succesfully, are you sure you want to overwrite the existing one (%1)?")
                                                                   .arg(item.Target));
        switch (answer) {
        case TOverwriteAnswer::Yes:
            break;
        case TOverwriteAnswer::No:
            install = false;
            break;
        case TOverwriteAnswer::Cancel:
            FCancel = true;
            return;
        case TOverwriteAnswer::YesToAll:
            askOverwrite = false;
            break;
        case TOverwriteAnswer::YesToAllAlways:
            askOverwrite = false;
            settings.AlwaysOverwrite = true;
            break;
        }
    }
    if (install) {
        DoProgress(6, TAutoUpdateTexts::tr("Saving new version..."));
        TMemoryStream stream(LoadBytesFromFile(c.CacheFile));
        TEntries entries;
        entries.LoadFromStream(stream, c.Extension, c.FormatID, false);
        stream.Clear();
        entries.SaveToStream(stream, LocationExtension(item.Target), item.FormatID);
        SaveStreamToLocation(item.Target, stream);
        DoProgress(7, TAutoUpdateTexts::tr("Saving new version..."));
        DoProgress(8, QString());
        item.LastUpdate = FClock.Now();
        if (settings.DownloadImages) {
            DoProgress(9, TAutoUpdateTexts::tr("Saving image..."));
            const QString cacheBitmap = ChangeLocationExtension(c.CacheFile, QStringLiteral(".bmp"));
            const QString targetBitmap = ChangeLocationExtension(item.Target, QStringLiteral(".bmp"));
            if (QFileInfo(cacheBitmap).isFile() && !TargetFileExists(targetBitmap)) {
                if (IsMobilePath(targetBitmap))
                    CopyFileToDevice(cacheBitmap, StripMobilePrefix(targetBitmap));
                else if (QString failure; !CopyFileWithProgress(cacheBitmap, StripFilePrefix(targetBitmap), {}, &failure))
                    throw EInOutError(TLocationTexts::tr("Cannot create file %1: %2").arg(StripFilePrefix(targetBitmap), failure));
            }
        }
    }
    DoProgress(10, TAutoUpdateTexts::tr("Finishing..."));
}
