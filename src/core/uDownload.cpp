// Downloads over libcurl with the program's own HTTP cache, and XML loading.
#include "core/uDownload.h"

#include "core/uLocations.h"
#include "core/uStream.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <curl/curl.h>

#include <mutex>

namespace {

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

// Runs one GET; the body goes to the sink. True when the transfer completed (any status); a
// cancel, from the first report on, is a failure.
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
    if (t.Progress && *t.Progress) {
        bool cancel = false;
        (*t.Progress)(0, 0, TUrlDownloadStatus::dsBeginDownloadData, t.StatusText, cancel);
        if (cancel) {
            t.Cancelled = true;
            return false;
        }
    }
    const CURLcode code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &t.Status);
    return code == CURLE_OK && !t.Cancelled && !t.SinkFailed;
}

bool IsSuccess(long status) { return status >= 200 && status < 300; }

// Runs one GET into the (uncommitted) file. An uncommitted file is discarded, so the file it
// would replace stays as it was.
bool PerformToFile(const QString& address, TAtomicFile& file, const std::vector<std::string>& headers,
                   const TDownloadProgressEvent& progress, TTransfer& t)
{
    if (!file.Open())
        ThrowUnableToDownload(address);
    t.Progress = &progress;
    t.Sink = [&file](const char* data, size_t size) { return file.Write(data, int64_t(size)); };
    return Perform(address, t, headers);
}

// Downloads into a file that is replaced only when the whole body has arrived.
void DownloadReplacing(const QString& address, const QString& fileName, const TDownloadProgressEvent& progress)
{
    TAtomicFile file(fileName);
    TTransfer t;
    if (!PerformToFile(address, file, {}, progress, t) || !IsSuccess(t.Status) || !file.Commit())
        ThrowUnableToDownload(address);
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
}

// --- cache ------------------------------------------------------------------------------------
QString CacheDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Tarvell/http/");
    QDir().mkpath(dir);
    return dir;
}

// The address's extension when it looks like one, so callers see the file type.
QString CacheExtension(const QString& address)
{
    const QString ext = ExtractUrlFileExt(address);
    if (ext.size() < 2 || ext.size() > 9)
        return QString();
    for (QChar c : ext.mid(1))
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            return QString();
    return ext.toLower();
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
    TAtomicFile file(metaName);
    const std::string text = "ETag: " + t.ETag + "\nLast-Modified: " + t.LastModified + "\n";
    if (!file.Open() || !file.Write(text) || !file.Commit())
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

namespace {

// A cached copy of an address: its file, its validators' file, and the request headers that
// revalidate it (none while there is no copy).
struct TCacheEntry {
    QString FileName;
    QString MetaName;
    std::vector<std::string> Headers;
};

TCacheEntry CacheEntryOf(const QString& address)
{
    const QByteArray key = QCryptographicHash::hash(EncodeUrlSpaces(address).toUtf8(), QCryptographicHash::Sha1).toHex();
    const QString base = CacheDir() + QString::fromLatin1(key);
    TCacheEntry entry { base + CacheExtension(address), base + QStringLiteral(".meta"), {} };
    if (QFileInfo(entry.FileName).isFile()) {
        const TValidators v = ReadValidators(entry.MetaName);
        if (!v.ETag.empty())
            entry.Headers.push_back("If-None-Match: " + v.ETag);
        if (!v.LastModified.empty())
            entry.Headers.push_back("If-Modified-Since: " + v.LastModified);
    }
    return entry;
}

[[noreturn]] void ThrowTooLarge(const QString& address, uint64_t maxBytes)
{
    throw EUserError(
        TDownloadTexts::tr("The answer of %1 is larger than %2 bytes").arg(StripUrlCredentials(address)).arg(maxBytes));
}

// A sink that collects the body in memory; maxBytes 0 is no limit, else a longer body stops the
// transfer and sets tooLarge.
std::function<bool(const char*, size_t)> MemorySink(std::string& body, bool& tooLarge, uint64_t maxBytes)
{
    return [&body, &tooLarge, maxBytes](const char* data, size_t size) {
        if (maxBytes != 0 && body.size() + size > maxBytes) {
            tooLarge = true;
            return false;
        }
        body.append(data, size);
        return true;
    };
}

// Through the cache, in memory: a 304 gives the cached copy; a new body replaces the cached copy
// (and its validators) only once check took it. The bytes and the cache file's name.
std::string DownloadToCacheChecked(const QString& address, const TDownloadProgressEvent& progress, uint64_t maxBytes,
    const TDownloadCheck& check, QString& cacheName)
{
    const TCacheEntry entry = CacheEntryOf(address);
    cacheName = entry.FileName;
    std::string body;
    bool tooLarge = false;
    TTransfer t;
    t.Progress = &progress;
    t.Sink = MemorySink(body, tooLarge, maxBytes);
    const bool done = Perform(address, t, entry.Headers);
    if (tooLarge)
        ThrowTooLarge(address, maxBytes);
    if (done && t.Status == 304 && !entry.Headers.empty()) {
        body = LoadBytesFromFile(entry.FileName);
        if (check)
            check(body);
    } else {
        if (!done || !IsSuccess(t.Status))
            ThrowUnableToDownload(address);
        if (check)
            check(body);
        TAtomicFile file(entry.FileName);
        if (!file.Open() || !file.Write(body) || !file.Commit())
            ThrowUnableToDownload(address);
        WriteValidators(entry.MetaName, t);
    }
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
    return body;
}

} // namespace

QString DownloadToCacheFile(const QString& address, const TDownloadProgressEvent& progress)
{
    const TCacheEntry entry = CacheEntryOf(address);
    TAtomicFile file(entry.FileName);
    TTransfer t;
    const bool done = PerformToFile(address, file, entry.Headers, progress, t);
    // A 304 leaves the cached copy untouched.
    const bool notModified = done && t.Status == 304 && !entry.Headers.empty();
    if (!notModified) {
        if (!done || !IsSuccess(t.Status) || !file.Commit())
            ThrowUnableToDownload(address);
        WriteValidators(entry.MetaName, t);
    }
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
    return entry.FileName;
}

namespace {

// One GET straight from the site; maxBytes 0 is no limit, else a longer body stops the transfer.
std::string DownloadDirect(const QString& address, const TDownloadProgressEvent& progress, uint64_t maxBytes)
{
    std::string body;
    TTransfer t;
    t.Progress = &progress;
    bool tooLarge = false;
    t.Sink = MemorySink(body, tooLarge, maxBytes);
    const bool done = Perform(address, t, {});
    if (tooLarge)
        ThrowTooLarge(address, maxBytes);
    if (!done || !IsSuccess(t.Status))
        ThrowUnableToDownload(address);
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
    return body;
}

} // namespace

QDateTime DownloadToStream(const QString& address, TMemoryStream& stream, bool direct,
                           const TDownloadProgressEvent& progress)
{
    if (direct) {
        stream.Write(DownloadDirect(address, progress, 0));
        return QDateTime::currentDateTime();
    }
    const QString cacheName = DownloadToCacheFile(address, progress);
    stream.Write(LoadBytesFromFile(cacheName));
    return GetFileLastWriteTime(cacheName);
}

std::string DownloadToString(const QString& address, bool direct)
{
    TMemoryStream stream;
    DownloadToStream(address, stream, direct);
    return stream.TakeData();
}

std::string DownloadToStringLimited(const QString& address, uint64_t maxBytes, const TDownloadProgressEvent& progress)
{
    return DownloadDirect(address, progress, maxBytes);
}

std::unique_ptr<TXmlDocument> CreateXmlDocument() { return std::make_unique<TXmlDocument>(); }

namespace {

std::unique_ptr<TXmlDocument> ParseXml(std::string_view bytes)
{
    std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    if (!doc->LoadXmlBytes(bytes))
        throw EUserError(TDownloadTexts::tr("Invalid xml"));
    if (!doc->DocumentElement())
        throw EUserError(TDownloadTexts::tr("Invalid xml, no document element found"));
    return doc;
}

// The bytes of a location. Local files are read as they are: the line-ending rewrite of text
// locations would break UTF-16 files and changes nothing a parser sees.
std::string LoadXmlBytes(const QString& location)
{
    if (IsMobilePath(location) || IsHttpUrl(location))
        return LoadTextFromLocation(location);
    return LoadBytesFromFile(StripFilePrefix(location));
}

// "HTTP://" locations for LocationExists and LoadTextFromLocation: fetched through the cache, so
// a test followed by a read costs one download and one revalidation.
class TDownloadWebLocations : public TWebLocationHandler {
public:
    bool Exists(const QString& address) override
    {
        try {
            DownloadToCacheFile(address);
            return true;
        } catch (const EUserError&) {
            return false;
        }
    }
    std::string LoadText(const QString& address) override { return DownloadToString(address, false); }
};

} // namespace

void InstallWebLocationHandler()
{
    static TDownloadWebLocations handler;
    SetWebLocationHandler(&handler);
}

std::unique_ptr<TXmlDocument> LoadXmlDocument(const QString& location)
{
    if (!LocationExists(location))
        throw EUserError(TDownloadTexts::tr("File %1 not found").arg(location));
    return ParseXml(LoadXmlBytes(location));
}

std::unique_ptr<TXmlDocument> DownloadXmlDocument(
    const QString& location, bool direct, const TDownloadProgressEvent& progress, const TDownloadCheck& check)
{
    if (IsFilePath(location))
        return LoadXmlDocument(StripFilePrefix(location));
    const QString localCopy = GetDataDir() + UrlToFileName(location);
    const uint64_t maxBytes = DownloadLimits().MaxCatalogueSize;
    // The local copy and the cached copy are the site's catalogue: only an answer that is one
    // may replace them.
    std::unique_ptr<TXmlDocument> doc;
    const TDownloadCheck accept = [&doc, &check](std::string_view bytes) {
        doc = ParseXml(bytes);
        if (check)
            check(bytes);
    };
    if (direct) {
        const std::string bytes = DownloadDirect(location, progress, maxBytes);
        accept(bytes);
        SaveBytesToFile(localCopy, bytes);
        return doc;
    }
    QString cacheName;
    DownloadToCacheChecked(location, progress, maxBytes, accept, cacheName);
    if (!CopyFileWithProgress(cacheName, localCopy))
        throw EUserError(TDownloadTexts::tr("Could not copy file %1 to file %2").arg(cacheName, localCopy));
    return doc;
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
