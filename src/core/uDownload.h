// Downloads over HTTP (to a file, through the program's own revalidating cache, into a stream or
// a string), XML document creation and loading, and the minimal-version gate of site catalogues.
#pragma once

#include "core/uGeneral.h"
#include "core/uXmlDocument.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TMemoryStream;

enum class TUrlDownloadStatus { dsBeginDownloadData, dsDownloadingData, dsEndDownloadData };

// Called during a download with the bytes received so far and the expected total (0 while
// unknown); setting cancel aborts the download, which then fails.
using TDownloadProgressEvent = std::function<void(uint64_t progress, uint64_t progressMax, TUrlDownloadStatus status,
                                                  const QString& statusText, bool& cancel)>;

// Limits of every download: the connection must be made within ConnectTimeout seconds, and a
// transfer slower than LowSpeedLimit bytes a second for LowSpeedTime seconds fails (a server that
// hangs or trickles). Every answer has a cap, counted in bytes as they arrive after decoding (a
// small compressed body cannot inflate past it): a longer one is refused with EUserError "The
// answer of %1 is larger than %2 bytes" and leaves nothing behind. The HTTP cache is pruned,
// oldest files first, once it holds more than MaxCacheSize bytes.
struct TDownloadLimits {
    long ConnectTimeout = 30;
    long LowSpeedLimit = 100;
    long LowSpeedTime = 30;
    uint64_t MaxCatalogueSize = 64 * 1024 * 1024;
    uint64_t MaxPoiFileSize = uint64_t(1) << 30;
    uint64_t MaxImageSize = 16 * 1024 * 1024;
    // Query answers, last-modified texts and the success and error pings.
    uint64_t MaxAnswerSize = 1024 * 1024;
    uint64_t MaxCacheSize = uint64_t(2) << 30;
};
TDownloadLimits& DownloadLimits();

// Every download fails with EUserError "Unable to download %1" (address without credentials or
// query) on a transport error, an HTTP status outside 2xx, a partial transfer or a cancel; a
// file it replaces is only replaced when the whole body has arrived. progress is asked at least
// every 100 ms while a request waits, so a cancel ends it at once. maxBytes is the answer's cap;
// 0 is DownloadLimits().MaxPoiFileSize, the largest file the program fetches.

// Downloads the address (blanks sent as "%20") into the file.
void DownloadToFile(const QString& address, const QString& fileName, const TDownloadProgressEvent& progress = {},
                    uint64_t maxBytes = 0);
// Downloads through the cache ($XDG_CACHE_HOME/Tarvell/http): a cached copy is revalidated, a 304
// leaves it (and its time) as it is, a 200 replaces it. Returns the cache file's name.
QString DownloadToCacheFile(const QString& address, const TDownloadProgressEvent& progress = {}, uint64_t maxBytes = 0);
// Appends the address's content to the stream (nothing on failure). Returns the time of the call
// (direct) or the cache file's last-write time in two-second resolution (through the cache).
QDateTime DownloadToStream(const QString& address, TMemoryStream& stream, bool direct,
                           const TDownloadProgressEvent& progress = {}, uint64_t maxBytes = 0);
// The address's content as 8-bit text.
std::string DownloadToString(const QString& address, bool direct, const TDownloadProgressEvent& progress = {},
                             uint64_t maxBytes = 0);
// Forgets the cached copy of the address, for an answer its reader refused.
void DropCachedCopy(const QString& address);
// The same straight from the site (never from the cache), for answers a program reads whole: a
// body longer than maxBytes stops the transfer with EUserError "The answer of %1 is larger than
// %2 bytes"; a cancel from progress fails as any download.
std::string DownloadToStringLimited(const QString& address, uint64_t maxBytes, const TDownloadProgressEvent& progress = {});

// A new, empty XML document; the caller owns it.
std::unique_ptr<TXmlDocument> CreateXmlDocument();
// Parses a local file ("FILE://" prefix allowed). "File %1 not found", "Invalid xml",
// "Invalid xml, no document element found".
std::unique_ptr<TXmlDocument> LoadXmlDocument(const QString& location);
// Refuses an answer that is not what the caller reads (throws an ETarvellError saying why).
using TDownloadCheck = std::function<void(std::string_view bytes)>;
// A site catalogue: a "FILE://" location is parsed in place; a web address is downloaded
// (directly or through the cache) to its local copy in the data folder, which is then parsed.
// Neither the local copy nor the cached copy is replaced unless the whole answer arrived, is at
// most DownloadLimits().MaxCatalogueSize bytes ("The answer of %1 is larger than %2 bytes"),
// parses, and passes check.
std::unique_ptr<TXmlDocument> DownloadXmlDocument(const QString& location, bool direct,
                                                  const TDownloadProgressEvent& progress = {},
                                                  const TDownloadCheck& check = {});

// The address for messages: scheme, "://", host and path, without the user information of the
// authority and without anything from the first "?" on.
QString StripUrlCredentials(const QString& address);
// Raises EUserError when the program (version program) is older than the required version text.
void CheckMinimalVersion(const QString& required, const TFileVersionNumbers& program = ProgramVersionNumbers());
// Applies CheckMinimalVersion to the text of "pois/tarvell/version" when the document has it.
void CheckSiteXmlVersion(const TXmlDocument& document);

// Lets LocationExists and LoadTextFromLocation handle "HTTP://" locations through the download
// cache. The program calls it once at start-up.
void InstallWebLocationHandler();

// Translation context of the unit's messages.
class TDownloadTexts {
    Q_DECLARE_TR_FUNCTIONS(uDownload)
};
