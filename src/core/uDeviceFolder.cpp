// The device back end on a local folder.
#include "core/uDeviceFolder.h"

#include "core/uLocations.h"
#include "core/uSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr uint32_t ErrorFileExists = 80;
constexpr uint32_t ErrorInvalidParameter = 87;
constexpr uint32_t EFail = 0x80004005u;

QStringList DeviceComponents(const QString& devicePath)
{
    // The device takes "/" as a separator too.
    QString path = devicePath;
    path.replace(QChar('/'), QChar('\\'));
    return path.split(QChar('\\'), Qt::SkipEmptyParts);
}

// The length of the character at i: two for a surrogate pair, else one.
qsizetype CharLength(QStringView text, qsizetype i)
{
    return i + 1 < text.size() && text[i].isHighSurrogate() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

// Only "*" (any run) and "?" (one character) are wildcards on the device; "[" and the rest are
// parts of names, compared case-insensitively. Matched by hand: a regular expression refuses the
// lone surrogates that keep the bytes of names that are not UTF-8.
bool DeviceWildcardMatch(QStringView wildcard, QStringView name)
{
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < wildcard.size() && wildcard[p] == QChar('*')) {
            star = p++;
            resume = n;
            continue;
        }
        if (p < wildcard.size()) {
            const qsizetype nameLength = CharLength(name, n);
            if (wildcard[p] == QChar('?')) {
                ++p;
                n += nameLength;
                continue;
            }
            const qsizetype length = CharLength(wildcard, p);
            if (length == nameLength && wildcard.mid(p, length).compare(name.mid(n, length), Qt::CaseInsensitive) == 0) {
                p += length;
                n += length;
                continue;
            }
        }
        if (star < 0)
            return false;
        // The last "*" takes one more character.
        p = star + 1;
        resume += CharLength(name, resume);
        n = resume;
    }
    while (p < wildcard.size() && wildcard[p] == QChar('*'))
        ++p;
    return p == wildcard.size();
}

QString RootKeyName(TDeviceKey root)
{
    switch (root) {
    case DeviceHkeyClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case DeviceHkeyCurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case DeviceHkeyLocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case DeviceHkeyUsers:
        return QStringLiteral("HKEY_USERS");
    default:
        return QString();
    }
}

// One entry of a local folder, read by its bytes: the file system's names need not be UTF-8.
struct TRawEntry {
    QByteArray Name;
    bool IsDir = false;
    bool IsLink = false;
    bool Writable = false;
    uint64_t Size = 0;
};

std::vector<TRawEntry> ReadRawFolder(const QByteArray& folder)
{
    std::vector<TRawEntry> entries;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return entries;
    const int fd = ::dirfd(dir);
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (name == "." || name == "..")
            continue;
        TRawEntry entry;
        entry.Name = name;
        struct stat link {};
        if (::fstatat(fd, d->d_name, &link, AT_SYMLINK_NOFOLLOW) == 0)
            entry.IsLink = S_ISLNK(link.st_mode);
        struct stat st {};
        if (::fstatat(fd, d->d_name, &st, 0) == 0) {
            entry.IsDir = S_ISDIR(st.st_mode);
            entry.Size = entry.IsDir ? 0 : uint64_t(st.st_size);
        }
        entry.Writable = ::faccessat(fd, d->d_name, W_OK, 0) == 0;
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
}

bool RawExists(const QByteArray& path, struct stat* info = nullptr)
{
    struct stat st {};
    const bool exists = ::stat(path.constData(), &st) == 0;
    if (info)
        *info = st;
    return exists;
}

bool RawIsLink(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool RawIsDir(const QByteArray& path)
{
    struct stat st {};
    return RawExists(path, &st) && S_ISDIR(st.st_mode);
}

bool RawIsFile(const QByteArray& path)
{
    struct stat st {};
    return RawExists(path, &st) && S_ISREG(st.st_mode);
}

QByteArray RawParent(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray RawCanonical(const QByteArray& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? QByteArray(resolved) : QByteArray();
}

// The path as Qt names it, when the bytes read back the same; empty otherwise (Qt's file classes
// would then address another file).
QString QtPathOf(const QByteArray& path)
{
    const QString decoded = QFile::decodeName(path);
    return QFile::encodeName(decoded) == path ? decoded : QString();
}

} // namespace

struct TFolderDeviceBackend::TOpenFile {
    std::unique_ptr<QFile> Reader;
    std::unique_ptr<TAtomicFile> Writer;
    bool Failed = false;
};

TFolderDeviceBackend::TFolderDeviceBackend(std::function<QString()> root)
    : FRootSource(std::move(root))
{
}

TFolderDeviceBackend::~TFolderDeviceBackend() = default;

bool TFolderDeviceBackend::Fail(uint32_t code)
{
    FLastError = code;
    return false;
}

uint32_t TFolderDeviceBackend::RapiInit()
{
    RapiUnInit();
    QString root = FRootSource ? FRootSource() : QString();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return EFail;
    // Canonical, so that a root reached through a link still contains what lies below it.
    FRoot = QFileInfo(root).canonicalFilePath();
    return FRoot.isEmpty() ? EFail : 0;
}

uint32_t TFolderDeviceBackend::RapiInitEx() { return RapiInit(); }

bool TFolderDeviceBackend::InitDone(uint32_t& result)
{
    result = FRoot.isEmpty() ? EFail : 0;
    return true;
}

uint32_t TFolderDeviceBackend::RapiUnInit()
{
    // Files still open are abandoned: their writes never take the old file's place.
    FFiles.clear();
    FFinds.clear();
    FKeys.clear();
    FRoot.clear();
    return 0;
}

bool TFolderDeviceBackend::GetVersionEx() { return !FRoot.isEmpty() && QFileInfo(FRoot).isDir(); }

bool TFolderDeviceBackend::InsideRoot(const QByteArray& local) const
{
    QByteArray resolved;
    if (RawExists(local))
        resolved = RawCanonical(local);
    else if (RawIsLink(local)) {
        // A dangling link: where it would create its target.
        char target[PATH_MAX];
        const ssize_t n = ::readlink(local.constData(), target, sizeof target);
        if (n <= 0)
            return false;
        QByteArray to(target, n);
        if (!to.startsWith('/'))
            to = RawParent(local) + '/' + to;
        resolved = RawCanonical(RawParent(to));
    } else
        return true;
    const QByteArray root = QFile::encodeName(FRoot);
    return !resolved.isEmpty() && (resolved == root || resolved.startsWith(root + '/'));
}

QByteArray TFolderDeviceBackend::LocalBytes(const QString& devicePath) const
{
    if (FRoot.isEmpty())
        return QByteArray();
    QByteArray local = QFile::encodeName(FRoot);
    bool resolving = true;
    for (const QString& component : DeviceComponents(devicePath)) {
        if (component == QLatin1String(".") || component == QLatin1String(".."))
            return QByteArray();
        QByteArray found = DeviceNameToBytes(component);
        if (resolving && !RawExists(local + '/' + found) && !RawIsLink(local + '/' + found)) {
            resolving = false;
            std::vector<TRawEntry> names = ReadRawFolder(local);
            // The first in name order, as the listing shows them.
            std::sort(names.begin(), names.end(), [](const TRawEntry& a, const TRawEntry& b) { return a.Name < b.Name; });
            for (const TRawEntry& entry : names) {
                if (DeviceNameFromBytes(entry.Name).compare(component, Qt::CaseInsensitive) == 0) {
                    found = entry.Name;
                    resolving = true;
                    break;
                }
            }
        }
        local += '/' + found;
        // A symbolic link may not lead the device out of its root.
        if (resolving && !InsideRoot(local))
            return QByteArray();
    }
    return local;
}

QString TFolderDeviceBackend::LocalPath(const QString& devicePath) const { return QFile::decodeName(LocalBytes(devicePath)); }

bool TFolderDeviceBackend::List(const QString& pattern, bool foldersOnly, std::vector<TDeviceFindData>& found)
{
    found.clear();
    if (FRoot.isEmpty())
        return Fail(DeviceErrorGenFailure);
    QStringList components = DeviceComponents(pattern);
    if (components.isEmpty())
        return Fail(DeviceErrorPathNotFound);
    const QString wildcard = components.takeLast();
    const QByteArray folder = LocalBytes(components.join(QChar('\\')));
    if (folder.isEmpty() || !RawIsDir(folder))
        return Fail(DeviceErrorPathNotFound);
    const bool all = wildcard == QLatin1String("*.*") || wildcard == QLatin1String("*");
    const bool atRoot = RawCanonical(folder) == QFile::encodeName(FRoot);
    std::vector<TDeviceFindData> listed;
    for (const TRawEntry& entry : ReadRawFolder(folder)) {
        if (atRoot && entry.Name == RegistryFileName)
            continue;
        if (foldersOnly && !entry.IsDir)
            continue;
        if (entry.IsLink && !InsideRoot(folder + '/' + entry.Name))
            continue;
        // Names that are not UTF-8 keep their bytes, so the file can still be opened.
        const QString name = DeviceNameFromBytes(entry.Name);
        if (!all && !DeviceWildcardMatch(wildcard, name))
            continue;
        TDeviceFindData data;
        data.Attributes = entry.IsDir ? DeviceAttrDirectory : DeviceAttrNormal;
        if (!entry.Writable)
            data.Attributes |= DeviceAttrReadOnly;
        data.Size = entry.Size;
        data.FileName = name;
        listed.push_back(std::move(data));
    }
    std::stable_sort(listed.begin(), listed.end(), [](const TDeviceFindData& a, const TDeviceFindData& b) {
        return a.FileName.compare(b.FileName, Qt::CaseInsensitive) < 0;
    });
    found = std::move(listed);
    return true;
}

bool TFolderDeviceBackend::FindAllFiles(const QString& pattern, uint32_t flags, std::vector<TDeviceFindData>& found)
{
    return List(pattern, (flags & FafFoldersOnly) != 0, found);
}

TDeviceHandle TFolderDeviceBackend::FindFirstFile(const QString& pattern, TDeviceFindData& found)
{
    std::vector<TDeviceFindData> all;
    if (!List(pattern, false, all))
        return InvalidDeviceHandle;
    if (all.empty()) {
        Fail(DeviceErrorFileNotFound);
        return InvalidDeviceHandle;
    }
    found = all.front();
    const TDeviceHandle handle = FNextHandle++;
    FFinds[handle] = true;
    return handle;
}

bool TFolderDeviceBackend::FindClose(TDeviceHandle handle) { return FFinds.erase(handle) > 0 || Fail(DeviceErrorInvalidHandle); }

uint32_t TFolderDeviceBackend::GetFileAttributes(const QString& path)
{
    const QByteArray local = LocalBytes(path);
    struct stat st {};
    if (local.isEmpty() || !RawExists(local, &st)) {
        Fail(DeviceErrorFileNotFound);
        return InvalidFileAttributes;
    }
    uint32_t attributes = S_ISDIR(st.st_mode) ? DeviceAttrDirectory : DeviceAttrNormal;
    if (::access(local.constData(), W_OK) != 0)
        attributes |= DeviceAttrReadOnly;
    return attributes;
}

TDeviceHandle TFolderDeviceBackend::CreateFile(const QString& path, uint32_t access, uint32_t share, uint32_t creation,
                                               uint32_t attributes)
{
    (void)share, (void)attributes;
    const QByteArray local = LocalBytes(path);
    if (local.isEmpty() || DeviceComponents(path).isEmpty()) {
        Fail(FRoot.isEmpty() ? DeviceErrorGenFailure : DeviceErrorPathNotFound);
        return InvalidDeviceHandle;
    }
    auto file = std::make_unique<TOpenFile>();
    if (access & DeviceGenericWrite) {
        if (creation != DeviceCreateAlways || !RawIsDir(RawParent(local)) || RawIsDir(local)) {
            Fail(creation != DeviceCreateAlways ? ErrorInvalidParameter : DeviceErrorPathNotFound);
            return InvalidDeviceHandle;
        }
        // The safe replacement works on names Qt can address; others are only read and deleted.
        const QString name = QtPathOf(local);
        if (name.isEmpty()) {
            Fail(ErrorInvalidParameter);
            return InvalidDeviceHandle;
        }
        file->Writer = std::make_unique<TAtomicFile>(name);
        if (!file->Writer->Open()) {
            Fail(DeviceErrorAccessDenied);
            return InvalidDeviceHandle;
        }
    } else {
        if (creation != DeviceOpenExisting || !RawIsFile(local)) {
            Fail(DeviceErrorFileNotFound);
            return InvalidDeviceHandle;
        }
        // Opened by its bytes; only a regular file (a FIFO put in its place would block).
        const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            Fail(fd < 0 ? DeviceErrorAccessDenied : DeviceErrorFileNotFound);
            return InvalidDeviceHandle;
        }
        file->Reader = std::make_unique<QFile>();
        if (!file->Reader->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            Fail(DeviceErrorAccessDenied);
            return InvalidDeviceHandle;
        }
    }
    const TDeviceHandle handle = FNextHandle++;
    FFiles[handle] = std::move(file);
    return handle;
}

bool TFolderDeviceBackend::ReadFile(TDeviceHandle handle, void* buffer, uint32_t count, uint32_t& read)
{
    read = 0;
    const auto it = FFiles.find(handle);
    if (it == FFiles.end() || !it->second->Reader)
        return Fail(DeviceErrorInvalidHandle);
    const qint64 n = it->second->Reader->read(static_cast<char*>(buffer), count);
    if (n < 0)
        return Fail(DeviceErrorGenFailure);
    read = uint32_t(n);
    return true;
}

bool TFolderDeviceBackend::WriteFile(TDeviceHandle handle, const void* buffer, uint32_t count, uint32_t& written)
{
    written = 0;
    const auto it = FFiles.find(handle);
    if (it == FFiles.end() || !it->second->Writer)
        return Fail(DeviceErrorInvalidHandle);
    if (!it->second->Writer->Write(static_cast<const char*>(buffer), count)) {
        it->second->Failed = true;
        return Fail(DeviceErrorGenFailure);
    }
    written = count;
    return true;
}

bool TFolderDeviceBackend::AbandonFile(TDeviceHandle handle)
{
    const auto it = FFiles.find(handle);
    if (it == FFiles.end())
        return Fail(DeviceErrorInvalidHandle);
    FFiles.erase(it);
    return true;
}

bool TFolderDeviceBackend::CloseHandle(TDeviceHandle handle)
{
    const auto it = FFiles.find(handle);
    if (it == FFiles.end())
        return Fail(DeviceErrorInvalidHandle);
    const std::unique_ptr<TOpenFile> file = std::move(it->second);
    FFiles.erase(it);
    if (file->Writer && (file->Failed || !file->Writer->Commit()))
        return Fail(DeviceErrorGenFailure);
    return true;
}

uint32_t TFolderDeviceBackend::GetFileSize(TDeviceHandle handle, uint32_t* sizeHigh)
{
    if (sizeHigh)
        *sizeHigh = 0;
    const auto it = FFiles.find(handle);
    if (it == FFiles.end() || !it->second->Reader) {
        Fail(DeviceErrorInvalidHandle);
        return InvalidFileSize;
    }
    const uint64_t size = uint64_t(it->second->Reader->size());
    if (sizeHigh)
        *sizeHigh = uint32_t(size >> 32);
    return uint32_t(size);
}

bool TFolderDeviceBackend::CopyFile(const QString& from, const QString& to, bool failIfExists)
{
    const QByteArray source = LocalBytes(from);
    const QByteArray destination = LocalBytes(to);
    if (source.isEmpty() || destination.isEmpty() || !RawIsFile(source))
        return Fail(DeviceErrorFileNotFound);
    if (failIfExists && (RawExists(destination) || RawIsLink(destination)))
        return Fail(ErrorFileExists);
    const QString sourceName = QtPathOf(source);
    const QString destinationName = QtPathOf(destination);
    if (sourceName.isEmpty() || destinationName.isEmpty())
        return Fail(ErrorInvalidParameter);
    return CopyFileWithProgress(sourceName, destinationName) || Fail(DeviceErrorAccessDenied);
}

bool TFolderDeviceBackend::DeleteFile(const QString& path)
{
    const QByteArray local = LocalBytes(path);
    if (local.isEmpty() || !RawIsFile(local))
        return Fail(DeviceErrorFileNotFound);
    return ::unlink(local.constData()) == 0 || Fail(DeviceErrorAccessDenied);
}

QString TFolderDeviceBackend::RegistryFile() const { return FRoot + QChar('/') + QLatin1String(RegistryFileName); }

QString TFolderDeviceBackend::KeySection(TDeviceKey root, const QString& subKey) const
{
    QString base = RootKeyName(root);
    if (base.isEmpty()) {
        const auto it = FKeys.find(root);
        if (it == FKeys.end())
            return QString();
        base = it->second;
    }
    const QStringList parts = subKey.split(QChar('\\'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? base : base + QChar('\\') + parts.join(QChar('\\'));
}

bool TFolderDeviceBackend::KeyExists(const QString& section) const
{
    if (section.indexOf(QChar('\\')) < 0)
        return true;
    const TSettingsStore store(RegistryFile());
    const QString prefix = section + QChar('\\');
    for (const QString& name : store.ReadSections())
        if (name.compare(section, Qt::CaseInsensitive) == 0 || name.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    return false;
}

TDeviceKey TFolderDeviceBackend::NewKey(const QString& section)
{
    // Handles stay clear of the predefined root keys.
    const TDeviceKey key = FNextKey++;
    FKeys[key] = section;
    return key;
}

uint32_t TFolderDeviceBackend::RegOpenKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key)
{
    if (FRoot.isEmpty())
        return DeviceErrorGenFailure;
    const QString section = KeySection(root, subKey);
    if (section.isEmpty())
        return DeviceErrorInvalidHandle;
    if (!KeyExists(section))
        return DeviceErrorFileNotFound;
    key = NewKey(section);
    return 0;
}

uint32_t TFolderDeviceBackend::RegCreateKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key, bool& created)
{
    if (FRoot.isEmpty())
        return DeviceErrorGenFailure;
    const QString section = KeySection(root, subKey);
    if (section.isEmpty())
        return DeviceErrorInvalidHandle;
    created = !KeyExists(section);
    if (created) {
        // The store has no call for an empty section: one written and deleted in the same update
        // leaves it behind.
        try {
            TSettingsStore store(RegistryFile());
            store.BeginUpdate();
            store.WriteString(section, QStringLiteral("New"), QString());
            store.DeleteKey(section, QStringLiteral("New"));
            store.EndUpdate();
        } catch (const ETarvellError&) {
            return DeviceErrorAccessDenied;
        }
    }
    key = NewKey(section);
    return 0;
}

uint32_t TFolderDeviceBackend::RegCloseKey(TDeviceKey key) { return FKeys.erase(key) > 0 ? 0 : DeviceErrorInvalidHandle; }

uint32_t TFolderDeviceBackend::RegQueryInfoKey(TDeviceKey key, uint32_t& valueCount)
{
    const auto it = FKeys.find(key);
    if (it == FKeys.end())
        return DeviceErrorInvalidHandle;
    valueCount = uint32_t(TSettingsStore(RegistryFile()).ReadSection(it->second).size());
    return 0;
}

uint32_t TFolderDeviceBackend::RegEnumValue(TDeviceKey key, uint32_t index, QString& name, QString& data)
{
    const auto it = FKeys.find(key);
    if (it == FKeys.end())
        return DeviceErrorInvalidHandle;
    const TSettingsStore store(RegistryFile());
    const QStringList names = store.ReadSection(it->second);
    if (index >= uint32_t(names.size()))
        return DeviceErrorNoMoreItems;
    name = names[qsizetype(index)];
    data = store.ReadString(it->second, name, QString());
    return 0;
}

uint32_t TFolderDeviceBackend::RegQueryValueEx(TDeviceKey key, const QString& name, QString& data)
{
    const auto it = FKeys.find(key);
    if (it == FKeys.end())
        return DeviceErrorInvalidHandle;
    const TSettingsStore store(RegistryFile());
    if (!store.ValueExists(it->second, name))
        return DeviceErrorFileNotFound;
    data = store.ReadString(it->second, name, QString());
    return 0;
}

uint32_t TFolderDeviceBackend::RegSetValueEx(TDeviceKey key, const QString& name, const QString& data)
{
    const auto it = FKeys.find(key);
    if (it == FKeys.end())
        return DeviceErrorInvalidHandle;
    try {
        TSettingsStore store(RegistryFile());
        store.WriteString(it->second, name, data);
    } catch (const EAssertionFailed&) {
        return ErrorInvalidParameter;
    } catch (const ETarvellError&) {
        return DeviceErrorAccessDenied;
    }
    return 0;
}

int TFolderDeviceBackend::GetSpecialFolderPath(int csidl, QString& path)
{
    switch (csidl) {
    case CsidlDrives:
        path = QStringLiteral("\\");
        break;
    case CsidlPersonal:
        path = QStringLiteral("\\My Documents");
        break;
    case CsidlProgramFiles:
        path = QStringLiteral("\\Program Files");
        break;
    default:
        path.clear();
        break;
    }
    return int(path.size());
}
