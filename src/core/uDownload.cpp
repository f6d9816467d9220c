// Downloads over libcurl with the program's own HTTP cache, and XML loading.
#include "core/uDownload.h"

#include "core/uStream.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <curl/curl.h>

#include <mutex>

namespace {

// --- location helpers -------------------------------------------------------------------------
// TODO: replace by the locations unit once it is on main; these cover local paths only.
bool HasPrefix(const QString& text, const char* prefix)
{
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}
bool IsFilePath(const QString& location) { return HasPrefix(location, "FILE://"); }
QString StripFilePrefix(const QString& location) { return IsFilePath(location) ? location.mid(7) : location; }
QString StripHttpPrefix(const QString& address) { return HasPrefix(address, "HTTP://") ? address.mid(7) : address; }

QString GetDataDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Tarvell/");
    QDir().mkpath(dir);
    return dir;
}

QString UrlToFileName(const QString& address)
{
    QString name = StripHttpPrefix(address);
    for (QChar& c : name)
        if (QStringLiteral("\"*/:<>?\\|").contains(c))
            c = QChar('_');
    return name;
}

QString EncodeUrlSpaces(const QString& address)
{
    QString text = address;
    return text.replace(QChar(' '), QStringLiteral("%20"));
}

std::array<int, 4> ParseVersionNumbers(const QString& text)
{
    std::array<int, 4> numbers{-1, -1, -1, -1};
    const QStringList parts = text.split(QChar('.'));
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        const QByteArray part = parts[i].toUtf8();
        numbers[size_t(i)] = StrToInt32(std::string_view(part.constData(), size_t(part.size())));
    }
    return numbers;
}

bool LocalFileExists(const QString& path) { return QFileInfo(path).isFile(); }

std::string ReadLocalFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EUserError(TDownloadTexts::tr("File %1 not found").arg(path));
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// The last-write time in local time at the two-second resolution of the cache's time stamps.
QDateTime FileTimeTwoSeconds(const QString& path)
{
    QDateTime t = QFileInfo(path).lastModified();
    const QTime time = t.time();
    t.setTime(QTime(time.hour(), time.minute(), time.second() - time.second() % 2));
    return t;
}

// --- transfers --------------------------------------------------------------------------------
struct TTransfer {
    std::function<bool(const char*, size_t)> Sink;
    const TDownloadProgressEvent* Progress = nullptr;
    QString StatusText;
    long Status = 0;
    std::string ETag;
    std::string LastModified;
    bool Cancelled = false;
    bool SinkFailed = false;
};

size_t WriteCallback(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<TTransfer*>(user);
    if (!t->Sink(data, size * count)) {
        t->SinkFailed = true;
        return 0;
    }
    return size * count;
}

std::string TrimmedHeaderValue(std::string_view line, size_t nameLength)
{
    std::string_view v = line.substr(nameLength);
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == '\r' || v.back() == '\n' || v.back() == ' '))
        v.remove_suffix(1);
    return std::string(v);
}

bool HeaderIs(std::string_view line, std::string_view name)
{
    if (line.size() < name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

size_t HeaderCallback(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<TTransfer*>(user);
    const std::string_view line(data, size * count);
    if (HeaderIs(line, "HTTP/")) {  // a new response (after a redirect): forget the last one's
        t->ETag.clear();
        t->LastModified.clear();
    } else if (HeaderIs(line, "ETag:")) {
        t->ETag = TrimmedHeaderValue(line, 5);
    } else if (HeaderIs(line, "Last-Modified:")) {
        t->LastModified = TrimmedHeaderValue(line, 14);
    }
    return size * count;
}

int ProgressCallback(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto* t = static_cast<TTransfer*>(user);
    if (t->Progress && *t->Progress) {
        bool cancel = false;
        (*t->Progress)(uint64_t(now), uint64_t(total), TUrlDownloadStatus::dsDownloadingData, t->StatusText, cancel);
        if (cancel) {
            t->Cancelled = true;
            return 1;
        }
    }
    return 0;
}

void Report(const TDownloadProgressEvent& progress, TUrlDownloadStatus status, const QString& text)
{
    if (progress) {
        bool cancel = false;
        progress(0, 0, status, text, cancel);
    }
}

[[noreturn]] void ThrowUnableToDownload(const QString& address)
{
    throw EUserError(TDownloadTexts::tr("Unable to download %1").arg(StripUrlCredentials(address)));
}

// Runs one GET; the body goes to the sink. True when the transfer completed (any status).
bool Perform(const QString& address, TTransfer& t, const std::vector<std::string>& headers)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return false;
    curl_slist* list = nullptr;
    for (const std::string& h : headers)
        list = curl_slist_append(list, h.c_str());
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> listGuard(list, &curl_slist_free_all);

    // libcurl refuses raw blanks in an address.
    const QByteArray url = EncodeUrlSpaces(address).toUtf8();
    const TDownloadLimits& limits = DownloadLimits();
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.ConnectTimeout);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, limits.LowSpeedLimit);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, limits.LowSpeedTime);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Tarvell");
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteCallback);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &HeaderCallback);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &ProgressCallback);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    t.StatusText = StripUrlCredentials(address);
    const CURLcode code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &t.Status);
    return code == CURLE_OK && !t.Cancelled && !t.SinkFailed;
}

bool IsSuccess(long status) { return status >= 200 && status < 300; }

// Downloads into a file that is replaced only when the whole body has arrived.
void DownloadReplacing(const QString& address, const QString& fileName, const TDownloadProgressEvent& progress)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        ThrowUnableToDownload(address);
    TTransfer t;
    t.Progress = &progress;
    t.Sink = [&file](const char* data, size_t size) { return file.write(data, qint64(size)) == qint64(size); };
    Report(progress, TUrlDownloadStatus::dsBeginDownloadData, StripUrlCredentials(address));
    if (!Perform(address, t, {}) || !IsSuccess(t.Status) || !file.commit()) {
        file.cancelWriting();
        ThrowUnableToDownload(address);
    }
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
}

// --- cache ------------------------------------------------------------------------------------
QString CacheDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Tarvell/http/");
    QDir().mkpath(dir);
    return dir;
}

// The address's extension (before any "?") when it looks like one, so callers see the file type.
QString CacheExtension(const QString& address)
{
    QString path = address.left(address.indexOf(QChar('?')) < 0 ? address.size() : address.indexOf(QChar('?')));
    path = path.mid(path.lastIndexOf(QChar('/')) + 1);
    const qsizetype dot = path.lastIndexOf(QChar('.'));
    if (dot < 0)
        return QString();
    const QString ext = path.mid(dot + 1);
    if (ext.isEmpty() || ext.size() > 8)
        return QString();
    for (QChar c : ext)
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            return QString();
    return QChar('.') + ext.toLower();
}

struct TValidators {
    std::string ETag;
    std::string LastModified;
};

TValidators ReadValidators(const QString& metaName)
{
    TValidators v;
    QFile file(metaName);
    if (!file.open(QIODevice::ReadOnly))
        return v;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("ETag: "))
            v.ETag = line.mid(6).toStdString();
        else if (line.startsWith("Last-Modified: "))
            v.LastModified = line.mid(15).toStdString();
    }
    return v;
}

void WriteValidators(const QString& metaName, const TTransfer& t)
{
    if (t.ETag.empty() && t.LastModified.empty()) {
        QFile::remove(metaName);
        return;
    }
    QSaveFile file(metaName);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const std::string text = "ETag: " + t.ETag + "\nLast-Modified: " + t.LastModified + "\n";
    file.write(text.data(), qint64(text.size()));
    if (!file.commit())
        QFile::remove(metaName);  // without validators the next fetch is unconditional
}

} // namespace

TDownloadLimits& DownloadLimits()
{
    static TDownloadLimits limits;
    return limits;
}

void DownloadToFile(const QString& address, const QString& fileName, const TDownloadProgressEvent& progress)
{
    DownloadReplacing(address, fileName, progress);
}

QString DownloadToCacheFile(const QString& address, const TDownloadProgressEvent& progress)
{
    const QByteArray key = QCryptographicHash::hash(EncodeUrlSpaces(address).toUtf8(), QCryptographicHash::Sha1).toHex();
    const QString base = CacheDir() + QString::fromLatin1(key);
    const QString cacheName = base + CacheExtension(address);
    const QString metaName = base + QStringLiteral(".meta");

    std::vector<std::string> headers;
    if (LocalFileExists(cacheName)) {
        const TValidators v = ReadValidators(metaName);
        if (!v.ETag.empty())
            headers.push_back("If-None-Match: " + v.ETag);
        if (!v.LastModified.empty())
            headers.push_back("If-Modified-Since: " + v.LastModified);
    }

    QSaveFile file(cacheName);
    if (!file.open(QIODevice::WriteOnly))
        ThrowUnableToDownload(address);
    TTransfer t;
    t.Progress = &progress;
    t.Sink = [&file](const char* data, size_t size) { return file.write(data, qint64(size)) == qint64(size); };
    Report(progress, TUrlDownloadStatus::dsBeginDownloadData, StripUrlCredentials(address));
    const bool done = Perform(address, t, headers);
    if (done && t.Status == 304 && !headers.empty()) {
        file.cancelWriting();
    } else if (done && IsSuccess(t.Status) && file.commit()) {
        WriteValidators(metaName, t);
    } else {
        file.cancelWriting();
        ThrowUnableToDownload(address);
    }
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
    return cacheName;
}

QDateTime DownloadToStream(const QString& address, TMemoryStream& stream, bool direct,
                           const TDownloadProgressEvent& progress)
{
    if (direct) {
        std::string body;
        TTransfer t;
        t.Progress = &progress;
        t.Sink = [&body](const char* data, size_t size) {
            body.append(data, size);
            return true;
        };
        Report(progress, TUrlDownloadStatus::dsBeginDownloadData, StripUrlCredentials(address));
        if (!Perform(address, t, {}) || !IsSuccess(t.Status))
            ThrowUnableToDownload(address);
        Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
        stream.Write(body);
        return QDateTime::currentDateTime();
    }
    const QString cacheName = DownloadToCacheFile(address, progress);
    stream.Write(ReadLocalFile(cacheName));
    return FileTimeTwoSeconds(cacheName);
}

std::string DownloadToString(const QString& address, bool direct)
{
    TMemoryStream stream;
    DownloadToStream(address, stream, direct);
    return stream.TakeData();
}

std::unique_ptr<TXmlDocument> CreateXmlDocument() { return std::make_unique<TXmlDocument>(); }

namespace {

std::unique_ptr<TXmlDocument> ParseXmlFile(const QString& path)
{
    std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    if (!doc->LoadXmlBytes(ReadLocalFile(path)))
        throw EUserError(TDownloadTexts::tr("Invalid xml"));
    if (!doc->DocumentElement())
        throw EUserError(TDownloadTexts::tr("Invalid xml, no document element found"));
    return doc;
}

} // namespace

std::unique_ptr<TXmlDocument> LoadXmlDocument(const QString& location)
{
    const QString path = StripFilePrefix(location);
    if (!LocalFileExists(path))
        throw EUserError(TDownloadTexts::tr("File %1 not found").arg(location));
    return ParseXmlFile(path);
}

std::unique_ptr<TXmlDocument> DownloadXmlDocument(const QString& location, bool direct,
                                                  const TDownloadProgressEvent& progress)
{
    if (IsFilePath(location))
        return LoadXmlDocument(StripFilePrefix(location));
    const QString localCopy = GetDataDir() + UrlToFileName(location);
    if (direct) {
        DownloadReplacing(location, localCopy, progress);
    } else {
        const QString cacheName = DownloadToCacheFile(location, progress);
        QFile source(cacheName);
        QSaveFile dest(localCopy);
        bool copied = source.open(QIODevice::ReadOnly) && dest.open(QIODevice::WriteOnly);
        if (copied) {
            const QByteArray bytes = source.readAll();
            copied = dest.write(bytes) == bytes.size() && dest.commit();
        }
        if (!copied) {
            dest.cancelWriting();
            throw EUserError(TDownloadTexts::tr("Could not copy file %1 to file %2").arg(cacheName, localCopy));
        }
    }
    return ParseXmlFile(localCopy);
}

QString StripUrlCredentials(const QString& address)
{
    const qsizetype schemeEnd = address.indexOf(QStringLiteral("://"));
    const QString scheme = schemeEnd >= 0 ? address.left(schemeEnd + 3) : QString();
    QString rest = schemeEnd >= 0 ? address.mid(schemeEnd + 3) : address;
    const qsizetype query = rest.indexOf(QChar('?'));
    if (query >= 0)
        rest.truncate(query);
    // The user information is everything of the authority up to its last "@"; an "@" in the
    // path is no part of it.
    const qsizetype slash = rest.indexOf(QChar('/'));
    const QString authority = slash >= 0 ? rest.left(slash) : rest;
    const QString path = slash >= 0 ? rest.mid(slash) : QString();
    const qsizetype at = authority.lastIndexOf(QChar('@'));
    return scheme + (at >= 0 ? authority.mid(at + 1) : authority) + path;
}

void CheckMinimalVersion(const QString& required, const TFileVersionNumbers& program)
{
    const std::array<int, 4> need = ParseVersionNumbers(required);
    const std::array<int, 4> have = {program.Major, program.Minor, program.Release, program.Build};
    for (size_t i = 0; i < 4; ++i) {
        if (have[i] > need[i])
            return;
        if (have[i] < need[i])
            throw EUserError(TDownloadTexts::tr("The selected site is not supported by this version Tarvell. You need "
                                                "to update to a newer version of Tarvell (minimal version %1) to use "
                                                "this site")
                                 .arg(required));
    }
}

void CheckSiteXmlVersion(const TXmlDocument& document)
{
    const TXmlNode node = document.SelectSingleNode(QStringLiteral("pois/tarvell/version"));
    if (node)
        CheckMinimalVersion(node.Text());
}
