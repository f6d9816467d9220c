// Locations, the program's folders and local files.
#include "core/uLocations.h"

#include "core/uRapi.h"
#include "core/uSettings.h"
#include "core/uStream.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <optional>
#include <system_error>

namespace {

constexpr int CopyBlockSize = 16384;
// QDate's Julian day of 31 December of the year 0, so that 1 January of the year 1 is day 1.
constexpr qint64 JulianDayBeforeYear1 = 1721425;

bool HasPrefix(const QString& text, std::string_view prefix)
{
    return QStringView(text).left(qsizetype(prefix.size())).compare(QLatin1String(prefix.data(), qsizetype(prefix.size())),
                                                                    Qt::CaseInsensitive)
        == 0
        && text.size() >= qsizetype(prefix.size());
}

QString Strip(const QString& text, std::string_view prefix) { return HasPrefix(text, prefix) ? text.mid(qsizetype(prefix.size())) : text; }

TWebLocationHandler*& WebHandler()
{
    static TWebLocationHandler* handler = nullptr;
    return handler;
}

std::function<void(const QString&)>& FaultHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

std::optional<QString>& DataDirCache()
{
    static std::optional<QString> cache;
    return cache;
}

bool IsWeb(const QString& location) { return WebHandler() && IsHttpUrl(location); }

// Lines end at CR LF, CR or LF; a final line break ends the last line and adds none.
std::string WithCrLfLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    size_t i = 0;
    while (i < text.size()) {
        const size_t end = text.find_first_of("\r\n", i);
        if (end == std::string_view::npos) {
            out.append(text.substr(i));
            out.append("\r\n");
            break;
        }
        out.append(text.substr(i, end - i));
        out.append("\r\n");
        i = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return out;
}

QString WithSlash(QString folder)
{
    if (!folder.endsWith(QChar('/')))
        folder += QChar('/');
    return folder;
}

QString DataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

// The first file matching a path whose name part may hold wildcards, in name order.
std::optional<QFileInfo> FirstMatch(const QString& pathOrPattern)
{
    const QFileInfo direct(pathOrPattern);
    const QString name = direct.fileName();
    if (!name.contains(QChar('*')) && !name.contains(QChar('?')))
        return direct.exists() ? std::optional<QFileInfo>(direct) : std::nullopt;
    const QFileInfoList found = QDir(direct.path()).entryInfoList(QStringList{name}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                                  QDir::Name);
    if (found.isEmpty())
        return std::nullopt;
    return found.front();
}

int32_t Le32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
}

void PutLe32(std::string& out, int32_t value)
{
    const uint32_t v = uint32_t(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

} // namespace

bool IsMobilePath(const QString& location) { return HasPrefix(location, MobilePrefix); }
QString StripMobilePrefix(const QString& location) { return Strip(location, MobilePrefix); }
bool IsFilePath(const QString& location) { return HasPrefix(location, FilePrefix); }
QString StripFilePrefix(const QString& location) { return Strip(location, FilePrefix); }
bool IsHttpUrl(const QString& location) { return HasPrefix(location, HttpPrefix); }
QString StripHttpPrefix(const QString& location) { return Strip(location, HttpPrefix); }

QString StripLocationPrefix(const QString& location)
{
    return StripHttpPrefix(StripMobilePrefix(StripFilePrefix(location)));
}

namespace {

// Where the file-name part of a location starts.
qsizetype FileNameStart(const QString& location)
{
    if (IsMobilePath(location)) {
        const qsizetype last = std::max(location.lastIndexOf(QChar('\\')), location.lastIndexOf(QChar('/')));
        return std::max(last + 1, qsizetype(MobilePrefix.size()));
    }
    const qsizetype start = IsFilePath(location) ? qsizetype(FilePrefix.size()) : 0;
    return std::max(location.lastIndexOf(QChar('/')) + 1, start);
}

qsizetype ExtensionStart(const QString& location)
{
    const qsizetype name = FileNameStart(location);
    const qsizetype dot = location.lastIndexOf(QChar('.'));
    return dot >= name ? dot : -1;
}

} // namespace

QString LocationFileName(const QString& location) { return location.mid(FileNameStart(location)); }

QString LocationFolder(const QString& location)
{
    const qsizetype name = FileNameStart(location);
    const qsizetype prefix = IsMobilePath(location) ? qsizetype(MobilePrefix.size())
        : IsFilePath(location)                      ? qsizetype(FilePrefix.size())
                                                    : 0;
    // The separator before the name goes, except a root folder's own.
    if (name <= prefix)
        return location.left(prefix);
    return name - 1 == prefix ? location.left(name) : location.left(name - 1);
}

QString LocationExtension(const QString& location)
{
    const qsizetype dot = ExtensionStart(location);
    return dot < 0 ? QString() : location.mid(dot).toLower();
}

QString ChangeLocationExtension(const QString& location, const QString& extension)
{
    const qsizetype dot = ExtensionStart(location);
    return (dot < 0 ? location : location.left(dot)) + extension;
}

bool SameLocation(const QString& a, const QString& b)
{
    if (IsMobilePath(a) && IsMobilePath(b))
        return a.compare(b, Qt::CaseInsensitive) == 0;
    return a == b;
}

QString AbsoluteLocation(const QString& location)
{
    if (location.isEmpty() || IsMobilePath(location) || IsHttpUrl(location))
        return location;
    return QDir::cleanPath(QDir::current().absoluteFilePath(StripFilePrefix(location)));
}

QString StripDot(const QString& extension) { return extension.startsWith(QChar('.')) ? extension.mid(1) : extension; }

void SetWebLocationHandler(TWebLocationHandler* handler) { WebHandler() = handler; }

bool LocationExists(const QString& location)
{
    if (IsMobilePath(location))
        return DeviceFileExists(StripMobilePrefix(location));
    if (IsWeb(location))
        return WebHandler()->Exists(location);
    return QFileInfo(StripFilePrefix(location)).isFile();
}

std::string LoadTextFromLocation(const QString& location)
{
    if (!LocationExists(location))
        throw ETarvellError(TLocationTexts::tr("File %1 not found").arg(location));
    if (IsMobilePath(location)) {
        TMemoryStream stream;
        ReadDeviceFile(StripMobilePrefix(location), stream);
        return stream.TakeData();
    }
    if (IsWeb(location))
        return WebHandler()->LoadText(location);
    return WithCrLfLines(LoadBytesFromFile(StripFilePrefix(location)));
}

void SaveTextToLocation(std::string_view text, const QString& location)
{
    if (IsMobilePath(location))
        WriteDeviceFile(StripMobilePrefix(location), text);
    else
        SaveBytesToFile(StripFilePrefix(location), WithCrLfLines(text));
}

void SaveStreamToLocation(const QString& location, const TMemoryStream& stream)
{
    if (IsMobilePath(location))
        WriteDeviceFile(StripMobilePrefix(location), stream.Data());
    else
        SaveBytesToFile(StripFilePrefix(location), stream.Data());
}

QString GetAppDir() { return WithSlash(QFileInfo(ExecutablePath()).absolutePath()); }

QString GetDataDir()
{
    auto& cache = DataDirCache();
    if (!cache) {
        if (IsPortable()) {
            cache = GetAppDir();
        } else {
            cache = DataHome() + QStringLiteral("/Tarvell/");
            // A failure shows later, when something is written there.
            QDir().mkpath(*cache);
        }
    }
    return *cache;
}

void ResetDataDirCache() { DataDirCache().reset(); }

QString GetTempDir() { return WithSlash(QDir::tempPath()); }

QString MakeTempFileWithExt(const QString& extension)
{
    // Created under its final name in one step, so no other file can take the name in between.
    QTemporaryFile file(GetTempDir() + QStringLiteral("TMPXXXXXX") + extension);
    file.setAutoRemove(false);
    if (!file.open())
        throw EInOutError(TLocationTexts::tr("Cannot create a temporary file in %1: %2").arg(GetTempDir(), file.errorString()));
    return file.fileName();
}

QString UrlToFileName(const QString& address)
{
    QString name = StripHttpPrefix(address);
    for (QChar& c : name) {
        switch (c.unicode()) {
        case '"':
        case '*':
        case '/':
        case ':':
        case '<':
        case '>':
        case '?':
        case '\\':
        case '|':
            c = QChar('_');
            break;
        default:
            break;
        }
    }
    // "." and ".." would name the data folder or its parent.
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        name.fill(QChar('_'));
    return name;
}

QString LocationToLocalFile(const QString& location)
{
    if (IsFilePath(location))
        return StripFilePrefix(location);
    return GetDataDir() + UrlToFileName(location);
}

QString ExtractUrlFileExt(const QString& address)
{
    const qsizetype query = address.indexOf(QChar('?'));
    const QString path = query < 0 ? address : address.left(query);
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path[i];
        if (c == QChar('.'))
            return path.mid(i);
        if (c == QChar('/') || c == QChar('\\') || c == QChar(':'))
            break;
    }
    return QString();
}

QString ExtractUrlScheme(const QString& address)
{
    const qsizetype pos = address.indexOf(QStringLiteral("://"));
    return pos < 0 ? QString() : address.left(pos + 3);
}

QString EncodeUrlSpaces(const QString& address)
{
    QString out = address;
    return out.replace(QChar(' '), QStringLiteral("%20"));
}

QString EscapeSingleQuotes(const QString& text)
{
    QString out = text;
    return out.replace(QChar('\''), QStringLiteral("\\'"));
}

namespace {
// Characters that draw nothing or reorder what follows: shown as their code so a name cannot
// pass for another one.
bool IsHiddenCharacter(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return true;
    if (c == 0xAD || c == 0x061C || c == 0x180E || c == 0xFEFF)
        return true;
    if ((c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F))
        return true;
    if (c == 0x2028 || c == 0x2029 || (c >= 0xFFF9 && c <= 0xFFFB))
        return true;
    // Every other format character draws nothing either (tag characters, the Arabic number signs).
    return QChar::category(c) == QChar::Other_Format;
}

// The length of the well-formed UTF-8 sequence at p (at most the end), 0 when there is none.
int Utf8SequenceLength(const unsigned char* p, qsizetype left, char32_t& code)
{
    const unsigned char b = p[0];
    int length = 0;
    char32_t min = 0;
    if (b < 0x80) {
        code = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        code = b & 0x1F;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        code = b & 0x0F;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        code = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}
} // namespace

namespace {
// Walks bytes as UTF-8: each well-formed character goes to onCode, each byte that is not part of
// one to onStray.
template <typename TOnCode, typename TOnStray>
void WalkUtf8(const QByteArray& bytes, TOnCode onCode, TOnStray onStray)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        char32_t code = 0;
        const int length = Utf8SequenceLength(p + i, size - i, code);
        if (length == 0) {
            onStray(p[i]);
            ++i;
        } else {
            onCode(code);
            i += length;
        }
    }
}
} // namespace

QString VisibleFileName(const QByteArray& nameBytes)
{
    QString out;
    out.reserve(nameBytes.size());
    WalkUtf8(
        nameBytes,
        [&out](char32_t code) {
            if (code == '\\')
                out += QStringLiteral("\\\\");
            else if (IsHiddenCharacter(code) && code > 0xFFFF)
                // Eight digits, so that no digit after it reads as part of the code.
                out += QStringLiteral("\\U") + QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(8, QChar('0'));
            else if (IsHiddenCharacter(code))
                out += QStringLiteral("\\u") + QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, QChar('0'));
            else
                out += QString::fromUcs4(&code, 1);
        },
        [&out](unsigned char stray) { out += QStringLiteral("\\x") + QString::number(stray, 16).toUpper().rightJustified(2, QChar('0')); });
    return out;
}

QString DeviceNameFromBytes(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    WalkUtf8(
        bytes, [&out](char32_t code) { out += QString::fromUcs4(&code, 1); },
        // Only bytes from 0x80 on can be out of place in UTF-8.
        [&out](unsigned char stray) { out += QChar(char16_t(0xDC00 + stray)); });
    return out;
}

QByteArray DeviceNameToBytes(const QString& name)
{
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            out += QString(name.mid(i, 2)).toUtf8();
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += char(c - 0xDC00);
        } else if (QChar::isSurrogate(c)) {
            out += QStringLiteral("\uFFFD").toUtf8();
        } else {
            out += QString(QChar(c)).toUtf8();
        }
    }
    return out;
}

QString VisibleDeviceName(const QString& name) { return VisibleFileName(DeviceNameToBytes(name)); }

QString VisibleDevicePath(const QString& path)
{
    QStringList parts = path.split(QChar('\\'));
    for (QString& part : parts)
        part = VisibleDeviceName(part);
    return parts.join(QChar('\\'));
}

QString StripLineBreaks(const QString& text)
{
    QString out = text;
    out.remove(QChar('\r')).remove(QChar('\n'));
    qsizetype first = 0;
    qsizetype last = out.size();
    while (first < last && out[first].unicode() <= ' ')
        ++first;
    while (last > first && out[last - 1].unicode() <= ' ')
        --last;
    return out.mid(first, last - first);
}

QString StripTrailingBackslash(const QString& path)
{
    if (path.size() > 1 && path.endsWith(QChar('\\')))
        return path.left(path.size() - 1);
    return path;
}

QString IncludeLeadingBackslash(const QString& path)
{
    return path.startsWith(QChar('\\')) ? path : QChar('\\') + path;
}

QString NormaliseDevicePath(const QString& path)
{
    QStringList parts;
    for (const QString& part : QString(path).replace(QChar('/'), QChar('\\')).split(QChar('\\'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return QChar('\\') + parts.join(QChar('\\'));
}

bool IsDevicePathComponent(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name)
        if (c == QChar('\\') || c == QChar('/') || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

QString DeviceFolderPart(const QString& path)
{
    const QString folder = StripMobilePrefix(LocationFolder(QStringLiteral("MOBILE://") + path));
    return folder.isEmpty() || folder.endsWith(QChar('\\')) ? folder : folder + QChar('\\');
}

QString DeviceNamePart(const QString& path) { return LocationFileName(QStringLiteral("MOBILE://") + path); }

QString DeviceExtension(const QString& path) { return LocationExtension(QStringLiteral("MOBILE://") + path); }

QString ChangeDeviceExtension(const QString& path, const QString& extension)
{
    return StripMobilePrefix(ChangeLocationExtension(QStringLiteral("MOBILE://") + path, extension));
}

std::array<int, 4> ParseVersionNumbers(const QString& text)
{
    std::array<int, 4> numbers{-1, -1, -1, -1};
    if (text.isEmpty())
        return numbers;
    const QStringList parts = text.split(QChar('.'));
    for (qsizetype i = 0; i < parts.size() && i < 4; ++i) {
        const QByteArray part = parts[i].toLatin1();
        numbers[size_t(i)] = StrToInt32(std::string_view(part.constData(), size_t(part.size())));
    }
    return numbers;
}

int64_t GetFileSizeByName(const QString& pathOrPattern)
{
    const std::optional<QFileInfo> found = FirstMatch(pathOrPattern);
    return found && found->isFile() ? found->size() : 0;
}

QDateTime GetFileLastWriteTime(const QString& pathOrPattern)
{
    const std::optional<QFileInfo> found = FirstMatch(pathOrPattern);
    if (!found)
        return QDateTime();
    const QDateTime local = found->lastModified().toLocalTime();
    const QTime t = local.time();
    return QDateTime(local.date(), QTime(t.hour(), t.minute(), t.second() - t.second() % 2));
}

bool CopyFileWithProgress(
    const QString& source, const QString& destination, const TCopyProgress& progress, QString* failure)
{
    const auto fail = [failure](const QString& reason) {
        if (failure)
            *failure = reason;
        return false;
    };
    QFile in(source);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly))
        return fail(FileFailureReason(in, errno));
    // Copying a file onto itself would first empty it.
    const QFileInfo sourceInfo(source);
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.exists() && sourceInfo.canonicalFilePath() == destinationInfo.canonicalFilePath())
        return fail(TLocationTexts::tr("it is the file itself"));
    const qint64 size = in.size();
    TAtomicFile out(destination);
    if (!out.Open())
        return fail(out.ErrorString());
    std::string buffer(CopyBlockSize, '\0');
    qint64 total = 0;
    for (;;) {
        errno = 0;
        const qint64 n = in.read(buffer.data(), CopyBlockSize);
        if (n < 0)
            return fail(FileFailureReason(in, errno));
        if (n == 0)
            break;
        if (!out.Write(buffer.data(), n))
            return fail(out.ErrorString());
        total += n;
        if (progress)
            progress(size > 0 ? int(total * 100 / size) : 100);
    }
    if (total == 0 && progress)
        progress(100);
    const QDateTime modified = sourceInfo.lastModified();
    if (!out.SetModificationTime(modified) || !out.Commit())
        return fail(out.ErrorString());
    return true;
}

std::string EncodeTimeStamp(const QDateTime& time)
{
    std::string record;
    const QDate date = time.date();
    const bool valid = time.isValid() && date.isValid();
    PutLe32(record, valid ? time.time().msecsSinceStartOfDay() : 0);
    PutLe32(record, valid ? int32_t(date.toJulianDay() - JulianDayBeforeYear1) : 0);
    return record;
}

QDateTime DecodeTimeStamp(std::string_view record)
{
    if (record.size() < 8)
        return QDateTime();
    const int32_t ms = Le32(record.data());
    const int32_t day = Le32(record.data() + 4);
    if (ms < 0 || ms >= 86400000 || day < 1)
        return QDateTime();
    return QDateTime(QDate::fromJulianDay(day + JulianDayBeforeYear1), QTime::fromMSecsSinceStartOfDay(ms));
}

QDateTime ReadTimeStampFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(TLocationTexts::tr("Cannot open file %1: %2").arg(fileName, file.errorString()));
    const QByteArray record = file.read(8);
    return DecodeTimeStamp(std::string_view(record.constData(), size_t(record.size())));
}

void WriteTimeStampFile(const QString& fileName, const QDateTime& time) { SaveBytesToFile(fileName, EncodeTimeStamp(time)); }

QString ErrnoText(int errnoValue) { return QString::fromStdString(std::generic_category().message(errnoValue)); }

QString FileFailureReason(const QFileDevice& file, int errnoAfterFailure)
{
    // Qt fills in "Unknown error" (in its own translation) when the system call reported nothing it
    // passed on.
    static const char* const unknown = "Unknown error";
    const bool qtKnows = file.error() != QFileDevice::NoError && !file.errorString().isEmpty()
                         && file.errorString() != QLatin1String(unknown)
                         && file.errorString() != QCoreApplication::translate("QIODevice", unknown);
    if (qtKnows)
        return file.errorString();
    if (errnoAfterFailure != 0)
        return ErrnoText(errnoAfterFailure);
    return file.errorString();
}

TAtomicFile::TAtomicFile(const QString& fileName)
    : FFileName(fileName)
    , FFile(fileName)
{
}

bool TAtomicFile::Failed()
{
    FErrno = errno;
    return false;
}

bool TAtomicFile::Open()
{
    // The temporary sibling would be renamed over whatever the name leads to.
    const QFileInfo info(FFileName);
    if (info.exists() && !QFileInfo(info.canonicalFilePath()).isFile()) {
        FRefusal = TLocationTexts::tr("not a regular file");
        return false;
    }
    errno = 0;
    return FFile.open(QIODevice::WriteOnly) || Failed();
}

bool TAtomicFile::Write(const char* data, int64_t count)
{
    errno = 0;
    return count == 0 || FFile.write(data, count) == count || Failed();
}

bool TAtomicFile::SetModificationTime(const QDateTime& time)
{
    errno = 0;
    return (FFile.flush() && FFile.setFileTime(time, QFileDevice::FileModificationTime)) || Failed();
}

bool TAtomicFile::Commit()
{
    errno = 0;
    if (!FFile.flush())
        return Failed();
    if (FaultHook())
        FaultHook()(FFileName);
    errno = 0;
    return FFile.commit() || Failed();
}

QString TAtomicFile::ErrorString() const
{
    if (!FRefusal.isEmpty())
        return FRefusal;
    return FileFailureReason(FFile, FErrno);
}

void SetAtomicFileFaultHook(std::function<void(const QString& fileName)> hook) { FaultHook() = std::move(hook); }

void SaveBytesToFile(const QString& fileName, std::string_view bytes)
{
    TAtomicFile file(fileName);
    if (!file.Open() || !file.Write(bytes) || !file.Commit())
        throw EInOutError(TLocationTexts::tr("Cannot create file %1: %2").arg(fileName, file.ErrorString()));
}

std::string LoadBytesFromFile(const QString& fileName)
{
    // Opening a pipe waits for a writer that may never come; a device has no end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        throw EInOutError(TLocationTexts::tr("Cannot open file %1: %2").arg(fileName, TLocationTexts::tr("not a regular file")));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(TLocationTexts::tr("Cannot open file %1: %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(TLocationTexts::tr("Cannot read file %1: %2").arg(fileName, file.errorString()));
    return std::string(bytes.constData(), size_t(bytes.size()));
}
