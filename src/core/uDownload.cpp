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

#include <algorithm>
#include <cstdint>
#include <exception>
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
    // The answer's cap (0: none) and the decoded bytes received so far.
    uint64_t MaxBytes = 0;
    uint64_t Received = 0;
    bool TooLarge = false;
    bool Cancelled = false;
    bool SinkFailed = false;
    // What a sink or a progress handler threw inside libcurl's callbacks (memory running out,
    // say): it must not unwind through C code, so it ends the transfer and is thrown after it.
    std::exception_ptr Error;
};

size_t WriteCallback(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<TTransfer*>(user);
    if (t->MaxBytes != 0 && t->Received + size * count > t->MaxBytes) {
        t->TooLarge = true;
        return 0;
    }
    t->Received += size * count;
    try {
        if (!t->Sink(data, size * count)) {
            t->SinkFailed = true;
            return 0;
        }
    } catch (...) {
        t->Error = std::current_exception();
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
        try {
            (*t->Progress)(uint64_t(now), uint64_t(total), TUrlDownloadStatus::dsDownloadingData, t->StatusText, cancel);
        } catch (...) {
            t->Error = std::current_exception();
            return 1;
        }
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
    // An announced length past the cap is refused before the body comes.
    if (t.MaxBytes != 0)
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(t.MaxBytes));

    t.StatusText = StripUrlCredentials(address);
    if (t.Progress && *t.Progress) {
        bool cancel = false;
        (*t.Progress)(0, 0, TUrlDownloadStatus::dsBeginDownloadData, t.StatusText, cancel);
        if (cancel) {
            t.Cancelled = true;
            return false;
        }
    }
    const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), c) != CURLM_OK)
        return false;
    CURLcode code = CURLE_ABORTED_BY_CALLBACK;
    bool ended = false;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
            break;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg == CURLMSG_DONE) {
                code = message->data.result;
                ended = true;
            }
        }
        if (ended || running == 0 || t.Cancelled)
            break;
        if (curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr) != CURLM_OK)
            break;
        // libcurl reports progress about once a second while a server keeps silent: ask more
        // often, so that a Cancel ends the request at once and the window keeps painting.
        curl_off_t now = 0;
        curl_off_t total = 0;
        curl_easy_getinfo(c, CURLINFO_SIZE_DOWNLOAD_T, &now);
        curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
        if (ProgressCallback(&t, std::max<curl_off_t>(total, 0), now, 0, 0) != 0)
            break;
    }
    curl_multi_remove_handle(multi.get(), c);
    if (t.Error)
        std::rethrow_exception(t.Error);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &t.Status);
    if (code == CURLE_FILESIZE_EXCEEDED)
        t.TooLarge = true;
    return ended && code == CURLE_OK && !t.Cancelled && !t.SinkFailed && !t.TooLarge;
}

// The cap of a request: 0 is the largest file the program fetches.
uint64_t CapOf(uint64_t maxBytes)
{
    return maxBytes != 0 ? maxBytes : DownloadLimits().MaxPoiFileSize;
}

[[noreturn]] void ThrowTooLarge(const QString& address, uint64_t maxBytes)
{
    throw EUserError(
        TDownloadTexts::tr("The answer of %1 is larger than %2 bytes").arg(StripUrlCredentials(address)).arg(maxBytes));
}

// A failed transfer's error: too large, else unable to download.
[[noreturn]] void ThrowFailed(const QString& address, const TTransfer& t)
{
    if (t.TooLarge)
        ThrowTooLarge(address, t.MaxBytes);
    ThrowUnableToDownload(address);
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
    t.MaxBytes = CapOf(t.MaxBytes);
    t.Sink = [&file](const char* data, size_t size) { return file.Write(data, int64_t(size)); };
    return Perform(address, t, headers);
}

// Downloads into a file that is replaced only when the whole body has arrived.
void DownloadReplacing(const QString& address, const QString& fileName, const TDownloadProgressEvent& progress,
                       uint64_t maxBytes)
{
    TAtomicFile file(fileName);
    TTransfer t;
    t.MaxBytes = maxBytes;
    if (!PerformToFile(address, file, {}, progress, t))
        ThrowFailed(address, t);
    if (!IsSuccess(t.Status) || !file.Commit())
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

// The cache's size as this process knows it: measured once per cache folder, then kept up to
// date with what the program writes and drops, so that a write costs no scan of the folder.
struct TCacheBudget {
    std::mutex Lock;
    QString Dir;
    int64_t Total = 0;
};

TCacheBudget& CacheBudget()
{
    static TCacheBudget budget;
    return budget;
}

int64_t MeasureCache(const QString& dir)
{
    int64_t total = 0;
    for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        total += info.size();
    return total;
}

// Accounts for cache files that held oldSize bytes and now hold newSize; past the cap, the
// oldest files go until the cache is back under nine tenths of it (so the next writes do not scan
// again). keep (a just written copy, with its validators) stays.
void CacheChanged(int64_t oldSize, int64_t newSize, const QString& keep = QString())
{
    TCacheBudget& budget = CacheBudget();
    const std::lock_guard<std::mutex> lock(budget.Lock);
    const QString dir = CacheDir();
    if (budget.Dir != dir) {
        budget.Dir = dir;
        budget.Total = MeasureCache(dir);
    } else {
        budget.Total = std::max<int64_t>(0, budget.Total + newSize - oldSize);
    }
    const int64_t cap = int64_t(std::min<uint64_t>(DownloadLimits().MaxCacheSize, INT64_MAX));
    if (budget.Total <= cap)
        return;
    const QFileInfoList files = QDir(dir).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Time | QDir::Reversed);
    int64_t total = 0;
    for (const QFileInfo& f : files)
        total += f.size();
    const QString keepBase = keep.isEmpty() ? QString() : QFileInfo(keep).completeBaseName();
    for (const QFileInfo& f : files) {
        if (total <= cap / 10 * 9)
            break;
        if (!keepBase.isEmpty() && f.completeBaseName() == keepBase)
            continue;
        if (QFile::remove(f.absoluteFilePath()))
            total -= f.size();
    }
    budget.Total = total;
}

int64_t FileSize(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.isFile() ? info.size() : 0;
}

} // namespace

TDownloadLimits& DownloadLimits()
{
    static TDownloadLimits limits;
    return limits;
}

void DownloadToFile(const QString& address, const QString& fileName, const TDownloadProgressEvent& progress,
                    uint64_t maxBytes)
{
    DownloadReplacing(address, fileName, progress, maxBytes);
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

// A sink that collects the body in memory (the transfer's cap bounds it).
std::function<bool(const char*, size_t)> MemorySink(std::string& body)
{
    return [&body](const char* data, size_t size) {
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
    TTransfer t;
    t.Progress = &progress;
    t.MaxBytes = CapOf(maxBytes);
    t.Sink = MemorySink(body);
    const bool done = Perform(address, t, entry.Headers);
    if (t.TooLarge)
        ThrowTooLarge(address, t.MaxBytes);
    if (done && t.Status == 304 && !entry.Headers.empty()) {
        body = LoadBytesFromFile(entry.FileName);
        if (check)
            check(body);
    } else {
        if (!done || !IsSuccess(t.Status))
            ThrowUnableToDownload(address);
        if (check)
            check(body);
        const int64_t oldSize = FileSize(entry.FileName) + FileSize(entry.MetaName);
        TAtomicFile file(entry.FileName);
        if (!file.Open() || !file.Write(body) || !file.Commit())
            ThrowUnableToDownload(address);
        WriteValidators(entry.MetaName, t);
        CacheChanged(oldSize, FileSize(entry.FileName) + FileSize(entry.MetaName), entry.FileName);
    }
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
    return body;
}

} // namespace

QString DownloadToCacheFile(const QString& address, const TDownloadProgressEvent& progress, uint64_t maxBytes)
{
    const TCacheEntry entry = CacheEntryOf(address);
    TAtomicFile file(entry.FileName);
    TTransfer t;
    t.MaxBytes = maxBytes;
    const bool done = PerformToFile(address, file, entry.Headers, progress, t);
    if (t.TooLarge)
        ThrowTooLarge(address, t.MaxBytes);
    // A 304 leaves the cached copy untouched.
    const bool notModified = done && t.Status == 304 && !entry.Headers.empty();
    if (!notModified) {
        const int64_t oldSize = FileSize(entry.FileName) + FileSize(entry.MetaName);
        if (!done || !IsSuccess(t.Status) || !file.Commit())
            ThrowUnableToDownload(address);
        WriteValidators(entry.MetaName, t);
        CacheChanged(oldSize, FileSize(entry.FileName) + FileSize(entry.MetaName), entry.FileName);
    }
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
    return entry.FileName;
}

namespace {

// One GET straight from the site; a body longer than the cap stops the transfer.
std::string DownloadDirect(const QString& address, const TDownloadProgressEvent& progress, uint64_t maxBytes)
{
    std::string body;
    TTransfer t;
    t.Progress = &progress;
    t.MaxBytes = CapOf(maxBytes);
    t.Sink = MemorySink(body);
    const bool done = Perform(address, t, {});
    if (t.TooLarge)
        ThrowTooLarge(address, t.MaxBytes);
    if (!done || !IsSuccess(t.Status))
        ThrowUnableToDownload(address);
    Report(progress, TUrlDownloadStatus::dsEndDownloadData, StripUrlCredentials(address));
    return body;
}

} // namespace

QDateTime DownloadToStream(const QString& address, TMemoryStream& stream, bool direct,
                           const TDownloadProgressEvent& progress, uint64_t maxBytes)
{
    // A POI file may be as large as its cap: an empty stream takes the bytes over instead of
    // holding a second copy.
    const auto append = [&stream](std::string bytes) {
        if (stream.Size() != 0 || stream.Position() != 0) {
            stream.Write(bytes);
            return;
        }
        const uint64_t size = bytes.size();
        stream = TMemoryStream(std::move(bytes));
        stream.Seek(size);
    };
    if (direct) {
        append(DownloadDirect(address, progress, maxBytes));
        return QDateTime::currentDateTime();
    }
    const QString cacheName = DownloadToCacheFile(address, progress, maxBytes);
    // A copy cached under a larger cap (or put there by hand) is held to this one too.
    if (uint64_t(FileSize(cacheName)) > CapOf(maxBytes))
        ThrowTooLarge(address, CapOf(maxBytes));
    append(LoadBytesFromFile(cacheName));
    return GetFileLastWriteTime(cacheName);
}

std::string DownloadToString(const QString& address, bool direct, const TDownloadProgressEvent& progress,
                             uint64_t maxBytes)
{
    TMemoryStream stream;
    DownloadToStream(address, stream, direct, progress, maxBytes);
    return stream.TakeData();
}

void DropCachedCopy(const QString& address)
{
    const TCacheEntry entry = CacheEntryOf(address);
    const int64_t oldSize = FileSize(entry.FileName) + FileSize(entry.MetaName);
    QFile::remove(entry.FileName);
    QFile::remove(entry.MetaName);
    CacheChanged(oldSize, 0);
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
// a test followed by a read costs one download and one revalidation. They are XML documents read
// whole, held to the catalogue's cap.
class TDownloadWebLocations : public TWebLocationHandler {
public:
    bool Exists(const QString& address) override
    {
        try {
            DownloadToCacheFile(address, {}, DownloadLimits().MaxCatalogueSize);
            return true;
        } catch (const EUserError&) {
            return false;
        }
    }
    std::string LoadText(const QString& address) override
    {
        return DownloadToString(address, false, {}, DownloadLimits().MaxCatalogueSize);
    }
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
