// Locations (device, local and web files), the program's folders, cache file names, time-stamp
// side files, temporary files and the one safe way to replace a local file.
#pragma once

#include "core/uGeneral.h"

#include <QDateTime>
#include <QSaveFile>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TMemoryStream;

class TLocationTexts {
    Q_DECLARE_TR_FUNCTIONS(uLocations)
};

// A local file could not be read or written (the class library's input/output error).
class EInOutError : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};

// --- prefixes -------------------------------------------------------------------------------
// Each prefix is compared case-insensitively over its own length; a strip returns the text
// unchanged when the prefix is absent.
inline constexpr std::string_view MobilePrefix = "MOBILE://";
inline constexpr std::string_view FilePrefix = "FILE://";
inline constexpr std::string_view HttpPrefix = "HTTP://";

bool IsMobilePath(const QString& location);
QString StripMobilePrefix(const QString& location);
bool IsFilePath(const QString& location);
QString StripFilePrefix(const QString& location);
bool IsHttpUrl(const QString& location);
QString StripHttpPrefix(const QString& location);
// Strips "FILE://", then "MOBILE://", then "HTTP://", each only if present at that point.
QString StripLocationPrefix(const QString& location);

// --- names within a location -----------------------------------------------------------
// Local paths (plain or after "FILE://") are separated by "/" only, so "\" and ":" are parts of a
// Linux file name; device paths (after "MOBILE://") by "\" or "/".
// The file-name part: the text after the last separator.
QString LocationFileName(const QString& location);
// The folder part, prefix kept, without the trailing separator; empty when there is none.
QString LocationFolder(const QString& location);
// The extension of the file-name part with its dot, in lower case; empty when it has none.
QString LocationExtension(const QString& location);
// The location with the extension of its file-name part replaced (or added).
QString ChangeLocationExtension(const QString& location, const QString& extension);
// Device locations compare case-insensitively (the device's names do), local paths exactly.
bool SameLocation(const QString& a, const QString& b);
// A plain or "FILE://" local path made absolute against the current folder and cleaned
// ("a/../b.ov2" is "b.ov2"; symbolic links are not resolved), the prefix dropped. Device and web
// locations stay as they are.
QString AbsoluteLocation(const QString& location);
// The extension without its leading dot.
QString StripDot(const QString& extension);

// --- web locations --------------------------------------------------------------------------
// The download unit registers one of these so that "HTTP://" locations can be tested and read.
// Without one, a web location is looked up as a local path (which does not exist).
class TWebLocationHandler {
public:
    virtual ~TWebLocationHandler() = default;
    virtual bool Exists(const QString& address) = 0;
    virtual std::string LoadText(const QString& address) = 0;
};
// Not owned; nullptr removes the handler.
void SetWebLocationHandler(TWebLocationHandler* handler);

// --- dispatch -------------------------------------------------------------------------------
// Texts are 8-bit bytes, as in the files. Device errors are those of the device layer.
bool LocationExists(const QString& location);
// Device: the file's whole content. Local: the file's lines, each followed by CR LF.
// A missing file raises ETarvellError "File %1 not found" naming the location.
std::string LoadTextFromLocation(const QString& location);
// Device: the bytes unchanged. Local: the lines, each followed by CR LF, replacing the file safely.
void SaveTextToLocation(std::string_view text, const QString& location);
// The stream's whole content to the device file or, replacing it safely, the local file.
void SaveStreamToLocation(const QString& location, const TMemoryStream& stream);

// --- folders --------------------------------------------------------------------------------
// The executable's folder, with a trailing "/".
QString GetAppDir();
// $XDG_DATA_HOME/Tarvell/ (default ~/.local/share/Tarvell/), created when missing; the application
// folder in portable mode. Worked out once per process.
QString GetDataDir();
// Forgets the cached data folder (tests change the environment).
void ResetDataDirCache();
// The system's temporary folder, with a trailing "/".
QString GetTempDir();
// Creates a new empty file "TMP<unique><extension>" in the temporary folder and returns its path.
// Throws EInOutError when no file can be created.
QString MakeTempFileWithExt(const QString& extension);

// --- address and name routines --------------------------------------------------------------
// The address without "HTTP://" and with each of  " * / : < > ? \ |  turned into "_".
QString UrlToFileName(const QString& address);
// The path of a "FILE://" location; otherwise the cache file in the data folder.
QString LocationToLocalFile(const QString& location);
// The extension (with its dot) of the part before the first "?".
QString ExtractUrlFileExt(const QString& address);
// The text up to and including the first "://"; empty when there is none.
QString ExtractUrlScheme(const QString& address);
QString EncodeUrlSpaces(const QString& address);
// Every "'" becomes "\'".
QString EscapeSingleQuotes(const QString& text);
// CR and LF removed, then blanks and control characters trimmed at both ends.
QString StripLineBreaks(const QString& text);
// A file name as a person can read it, from the bytes the file system holds: bytes that are not
// UTF-8 as "\xNN", control, direction and other invisible format characters as "\uXXXX" (beyond
// U+FFFF "\UXXXXXXXX"), and a "\" as "\\", so no name hides or disguises another and each shows
// its own text.
QString VisibleFileName(const QByteArray& nameBytes);
// A device file name from the bytes a folder holds: UTF-8 decoded, and each byte that is not
// part of valid UTF-8 kept as the lone surrogate U+DC00 + byte, so that the name leads back to
// exactly its bytes (DeviceNameToBytes) and the file can still be opened and deleted.
QString DeviceNameFromBytes(const QByteArray& bytes);
QByteArray DeviceNameToBytes(const QString& name);
// A device name or path as a person can read it: VisibleFileName of each name's bytes (a path
// keeps its "\" separators). For display only; the name itself addresses the file.
QString VisibleDeviceName(const QString& name);
QString VisibleDevicePath(const QString& path);
// Device paths: the trailing "\" dropped, except that the root "\" stays.
QString StripTrailingBackslash(const QString& path);
QString IncludeLeadingBackslash(const QString& path);
// A device path from the root: "\" and "/" both separate, empty parts and "." go, ".." drops the
// part before it and never climbs above "\"; the case is kept and no local rule applies. The result
// starts with "\" and has no trailing "\" (the root is "\").
QString NormaliseDevicePath(const QString& path);
// Whether name can be one part of a device path: not empty, not "." or "..", no separator ("\" or
// "/") and no control character. A device folder entry failing this would address another file.
bool IsDevicePathComponent(const QString& name);
// The folder part of a device path with its trailing "\" ("\a\b.ov2" gives "\a\", "\b.ov2"
// gives "\"); empty when the path names no folder.
QString DeviceFolderPart(const QString& path);
// The name part of a device path: the text after its last separator.
QString DeviceNamePart(const QString& path);
// LocationExtension and ChangeLocationExtension for a device path without its prefix.
QString DeviceExtension(const QString& path);
QString ChangeDeviceExtension(const QString& path, const QString& extension);
// Up to four decimal numbers separated by "."; missing parts are -1. A part that is not a number
// raises EConvertError.
std::array<int, 4> ParseVersionNumbers(const QString& text);

// --- files ----------------------------------------------------------------------------------
// Size in bytes of the first file matching the path (its name part may hold * and ?); 0 when none.
int64_t GetFileSizeByName(const QString& pathOrPattern);
// Local last-write time of the first match, cut to the two seconds of a DOS time; null when none.
QDateTime GetFileLastWriteTime(const QString& pathOrPattern);

// Percent done, 0..100, reported after each block.
using TCopyProgress = std::function<void(int percent)>;
// Copies source to destination (replaced safely) and gives it the source's date. False when the
// source cannot be opened, is the destination itself, or the destination cannot be written; the
// old destination then stays as it was, and failure (when given) receives the cause. An empty
// source reports 100.
bool CopyFileWithProgress(const QString& source, const QString& destination, const TCopyProgress& progress = {},
    QString* failure = nullptr);

// The 8-byte time-stamp side file: milliseconds since midnight, then the day number where 1 is
// 1 January of the year 1, both signed 32-bit little-endian. A file shorter than 8 bytes, or a
// record that is no valid time, reads as null ("no time"); a file that cannot be opened raises
// EInOutError.
QDateTime ReadTimeStampFile(const QString& fileName);
void WriteTimeStampFile(const QString& fileName, const QDateTime& time);
std::string EncodeTimeStamp(const QDateTime& time);
QDateTime DecodeTimeStamp(std::string_view record);

// --- replacing local files ------------------------------------------------------------------
// The cause of a failed file operation for a message: Qt's own text when it set a specific error,
// else the system's text for errnoAfterFailure (a short write sets no Qt error, only errno), else
// Qt's text. Clear errno before the operation so a stale value is not taken for its cause.
QString FileFailureReason(const QFileDevice& file, int errnoAfterFailure);
// The system's text for an errno value ("No space left on device").
QString ErrnoText(int errnoValue);

// Writes a local file into a temporary sibling that takes the file's place only on Commit, so a
// failed or interrupted write leaves the old file intact. Destroying it uncommitted discards the
// temporary file.
class TAtomicFile {
public:
    explicit TAtomicFile(const QString& fileName);
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Refuses (false) a file name that is, or links to, something other than a regular file: a
    // rename would replace a device node or a pipe with a plain file.
    bool Open();
    bool Write(const char* data, int64_t count);
    bool Write(std::string_view bytes) { return Write(bytes.data(), int64_t(bytes.size())); }
    // Stamps the temporary file; the rename keeps the time.
    bool SetModificationTime(const QDateTime& time);
    bool Commit();
    // Why the last step failed, the system's own words ("File too large").
    QString ErrorString() const;
    const QString& FileName() const { return FFileName; }

private:
    bool Failed();

    QString FFileName;
    QSaveFile FFile;
    int FErrno = 0;
    QString FRefusal;
};

// Replaces the file with bytes through TAtomicFile; throws EInOutError "Cannot create file %1"
// with the system's reason.
void SaveBytesToFile(const QString& fileName, std::string_view bytes);
// The whole file; throws EInOutError when it cannot be read or is no regular file (a pipe, a
// device: reading would wait or never end).
std::string LoadBytesFromFile(const QString& fileName);
