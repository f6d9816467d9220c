// The update engine: brings one auto-update item up to date from its site (query, last-modified
// check, download into the per-site cache, success and error pings), converts the cached file
// into the item's target on the PC or the device and copies the POI's bitmap beside it. Also the
// URL routines and the error decoration shared with committing.
#pragma once

#include "core/uDownload.h"
#include "core/uGeneral.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "core/uXmlDocument.h"

#include <QSet>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

class TUpdateItem;

class TAutoUpdateTexts {
    Q_DECLARE_TR_FUNCTIONS(uAutoUpdate)
};

// An error the site itself reported; no connection hint is added to it.
class ESiteError : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};

// --- what the engine is given -----------------------------------------------------------------
// Answers of the overwrite question. A box closed without an answer answers Cancel.
enum class TOverwriteAnswer { Yes = 0, No = 1, Cancel = 2, YesToAll = 3, YesToAllAlways = 4 };

class TOverwriteQuestion {
public:
    virtual ~TOverwriteQuestion() = default;
    virtual TOverwriteAnswer Ask(const QString& message) = 0;
};

class TClock {
public:
    virtual ~TClock() = default;
    virtual QDateTime Now() const = 0;
};
// The wall clock.
const TClock& SystemClock();

// What the engine looks up in one catalogue for every item, each found once: a catalogue may
// list 100,000 POIs, and a path search walks all of them.
class TCatalogueIndex {
public:
    explicit TCatalogueIndex(const TXmlDocument& document);
    TCatalogueIndex(const TCatalogueIndex&) = delete;
    TCatalogueIndex& operator=(const TCatalogueIndex&) = delete;
    ~TCatalogueIndex();

    const TXmlDocument& Document() const { return FDocument; }
    // FindPoiNode's answer: the first POI with a description of that very text.
    TXmlNode Poi(const QString& description) const;
    // The text of "//pois/" + name, "" when absent.
    QString SiteValue(const QString& name) const;

private:
    const TXmlDocument& FDocument;
    mutable std::unique_ptr<std::unordered_map<QString, TXmlNode>> FPois;
    mutable std::unordered_map<QString, QString> FValues;
};

// The site catalogue each item is checked against, by site location (an update run fetches
// each ahead of its items).
class TSiteCatalogues {
public:
    virtual ~TSiteCatalogues() = default;
    // Throws when the catalogue cannot be had.
    virtual const TXmlDocument& Catalogue(const QString& site) = 0;
    // The catalogue's index, valid until the next call; by default made anew each time. A run
    // keeps one per catalogue it fetched.
    virtual const TCatalogueIndex& Index(const QString& site);

private:
    std::unique_ptr<TCatalogueIndex> FIndex;
};

// --- names and URLs ---------------------------------------------------------------------------
// One file-name part from catalogue text: \ / : * ? " < > | = and control characters become "_",
// trailing dots and blanks are dropped, the UTF-8 length is capped at maxBytes; "", "." and ".."
// become "_".
QString SanitizeFileNamePart(const QString& text, int maxBytes = 120);
// The sanitised part, which is the text itself when nothing had to change; else followed by "~"
// and 8 hex digits of a hash of the whole text, so that texts that clean alike ("a/b", "a_b";
// trailing dots; equal first bytes) never name one file. A text that itself ends in "~" and 8
// hex digits takes the hash too, so the two forms never meet.
QString UniqueFileNamePart(const QString& text, int maxBytes = 120);
// The same rule for a name cleaned some other way from text.
QString UniqueFileName(const QString& clean, const QString& text);
// GetDataDir() + "download/" + the site location as a file name without its extension.
QString CacheFolder(const QString& site);
// Cache folder + "/" + description + "." + format ID + extension, every part made unique.
QString CacheFileName(
    const QString& site, const QString& description, const QString& formatID, const QString& extension);

// Percent-encodes every byte of the text in the ANSI code page outside A-Z a-z 0-9 - . _ ~.
QString EncodeUrlParam(const QString& text);
// A URL beginning with "/" gets the site's scheme and host; others stay. "Invalid url %1" when
// the site location has no "://".
QString ResolveSiteUrl(const QString& url, const QString& siteLocation);
// Placeholder names (without their "%") and the values that replace them.
using TUrlPlaceholders = std::vector<std::pair<QString, QString>>;
// Replaces every "%name%" (case-insensitive) in one pass over the template: a value put in is
// never searched again, so text sent by the user cannot turn into another placeholder.
QString ReplaceUrlPlaceholders(const QString& urlTemplate, const TUrlPlaceholders& values);
// %Username% and %Password% (parameter-encoded), %AppVer%, %AppName%.
TUrlPlaceholders StandardUrlPlaceholders(const QString& userName, const QString& password);
// The standard placeholders replaced.
QString ExpandUrlPlaceholders(const QString& urlTemplate, const QString& userName, const QString& password);
// A site's add URL for one POI: resolved against the site, the standard placeholders and %Poi%
// (the site's POI file), %Lon% and %Lat% (degrees, fixed notation with "."), %Desc% replaced;
// texts parameter-encoded. "Invalid url %1" as ResolveSiteUrl.
QString BuildCommitUrl(const QString& addUrl, const QString& siteLocation, const QString& userName,
    const QString& password, const QString& poiFile, double longitude, double latitude, const QString& description);
// "Cannot download "%1" because the following error: \r\r%2."
inline constexpr const char* DownloadErrorTemplate
    = QT_TRANSLATE_NOOP("uAutoUpdate", "Cannot download \"%1\" because the following error: \r\r%2.");
inline constexpr const char* CommitErrorTemplate
    = QT_TRANSLATE_NOOP("uAutoUpdate", "Cannot commit to \"%1\" because the following error: \r\r%2.");
// The decorated message: the template, the connection hint unless a site error, and the error
// URL called with it when there is one (progress sees that call and may cancel it).
QString FormatSiteError(const QString& message, bool siteError, const QString& name, const QString& errorUrl,
    const char* messageTemplate, const QString& userName, const QString& password,
    const TDownloadProgressEvent& progress = {});
void CallErrorUrl(const QString& urlTemplate, const QString& message, const QString& description,
    const QString& userName, const QString& password, int code, const TDownloadProgressEvent& progress = {});
void CallSuccessUrl(const QString& urlText, const QString& description, const QString& userName, const QString& site,
    const QString& password, const TDownloadProgressEvent& progress = {});
// Extension (with its dot) and reader format ID for a "format" value and the download URL.
void SplitPoiFormat(const QString& format, const QString& url, QString& extension, QString& formatID);
// x is later than y by more than 10 ms. A null y is older than anything.
bool IsNewerTime(const QDateTime& x, const QDateTime& y);
// yyyymmdd?hhnnss by position; EConvertError when it is not a date and time.
QDateTime ParseLastModified(const QString& text);

// --- targets and stamps -----------------------------------------------------------------------
// "MOBILE://" or "FILE://" with an absolute path; anything else: EUserError "Invalid target filename".
bool TargetFileExists(const QString& location);
// Null unless the file exists; then its ".inf" stamp (null when missing or short).
QDateTime ReadCacheStamp(const QString& location);
void WriteCacheStamp(const QString& location, const QDateTime& time);

// --- the engine -------------------------------------------------------------------------------
class TAutoUpdate {
public:
    explicit TAutoUpdate(const TClock& clock = SystemClock());

    // aPercentage 20..100, aMessage may be empty.
    std::function<void(double aPercentage, const QString& aMessage)> OnProgress;
    bool Silent = false;
    // Asked before a target is overwritten; none counts as Yes.
    TOverwriteQuestion* OverwriteQuestion = nullptr;

    // Brings the item up to date; true when a newer file reached the cache in this call.
    // askOverwrite lives for the run. Nothing happens once a cancel was requested.
    bool Execute(TUpdateItem& item, bool& askOverwrite, TSiteCatalogues& catalogues,
        const TDownloadProgressEvent& progress = {});
    void Cancel() { FCancel = true; }
    bool CancelRequested() const { return FCancel; }

    // The profiles are saved after an item at most this often, or less often when a save takes
    // long (then every tenth of the time); 0 saves after every item. Each save replaces the store
    // file whole, so a run that is killed loses only the dates of its last items.
    std::chrono::milliseconds ProfileSaveInterval { 0 };
    // Saves what the items changed since the last save (the end of a run).
    void SaveProfiles();

private:
    struct TItemContext;
    bool UpdateItem(
        TUpdateItem& item, bool& askOverwrite, const TCatalogueIndex& site, const TDownloadProgressEvent& progress);
    void ProfilesChanged();
    void DownloadIntoCache(TItemContext& c, const TDownloadProgressEvent& progress, bool hasLastModified,
        const QDateTime& remoteTime, const QDateTime& stamp, bool& result);
    void Install(TItemContext& c, TUpdateItem& item, bool& askOverwrite);
    // Decorates message (the failure's message in its step's sentence), calls the error URL and
    // throws.
    [[noreturn]] void Fail(TItemContext& c, const ETarvellError& e, const QString& message, const QString& name);
    void DoProgress(int step, const QString& text);

    const TClock& FClock;
    bool FCancel = false;
    QSet<QString> FHandled;
    // User name and password by site, read from the store once a run.
    std::map<QString, std::pair<QString, QString>> FCredentials;
    bool FUnsaved = false;
    std::chrono::steady_clock::time_point FLastSave;
    std::chrono::steady_clock::duration FSaveTime {};
};
