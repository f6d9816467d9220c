// The shell namespace over the local file system.
#include "ui/uShellNamespace.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

// --- item identifier lists ---------------------------------------------------------------------

TItemIdList TItemIdList::Empty()
{
    TItemIdList list;
    list.FNull = false;
    return list;
}

TItemIdList TItemIdList::FromItems(std::vector<QByteArray> items)
{
    for (const QByteArray& item : items)
        if (item.size() > MaxItemSize)
            return TItemIdList();
    TItemIdList list = Empty();
    list.FItems = std::move(items);
    return list;
}

int TItemIdList::Size() const
{
    if (FNull)
        return 0;
    int size = 2;
    for (const QByteArray& item : FItems)
        size += 2 + int(item.size());
    return size;
}

TItemIdList TItemIdList::Next() const
{
    if (FItems.empty())
        return TItemIdList();
    return FromItems(std::vector<QByteArray>(FItems.begin() + 1, FItems.end()));
}

TItemIdList TItemIdList::CopyFirst() const
{
    if (FItems.empty())
        return TItemIdList();
    return FromItems({ FItems.front() });
}

TItemIdList TItemIdList::Concat(const TItemIdList& a, const TItemIdList& b)
{
    if (a.IsNull() || b.IsNull())
        return TItemIdList();
    std::vector<QByteArray> items = a.FItems;
    items.insert(items.end(), b.FItems.begin(), b.FItems.end());
    return FromItems(std::move(items));
}

TItemIdList TItemIdList::Append(const QByteArray& item) const
{
    return Concat(IsNull() ? Empty() : *this, FromItems({ item }));
}

TItemIdList TItemIdList::Left(int count) const
{
    if (FNull)
        return TItemIdList();
    count = std::clamp(count, 0, Count());
    return FromItems(std::vector<QByteArray>(FItems.begin(), FItems.begin() + count));
}

// --- places --------------------------------------------------------------------------------------

namespace {

// Mount tables write blanks, tabs, line breaks and backslashes as three octal digits.
QString DecodeMountField(const QByteArray& field)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3 && value < 256) {
                bytes.append(char(value));
                i += 3;
                continue;
            }
        }
        bytes.append(field[i]);
    }
    return QFile::decodeName(bytes);
}

bool IsSlowFileSystem(const QByteArray& type)
{
    static const char* const network[] = { "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs",
        "9p", "davfs", "sshfs", "lustre", "gpfs", "autofs" };
    if (type.startsWith("fuse"))
        return true;
    return std::any_of(std::begin(network), std::end(network), [&type](const char* name) { return type == name; });
}

bool AtOrBelow(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/"))
        return path.startsWith(QChar('/'));
    return path == folder || path.startsWith(folder + QChar('/'));
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QChar('/')) ? folder + name : folder + QChar('/') + name;
}

} // namespace

void TShellPlaces::AddMounts(const QByteArray& mountTable)
{
    for (const QByteArray& line : mountTable.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        const QString point = DecodeMountField(fields[1]);
        if (IsSlowFileSystem(fields[2]) && !SlowMounts.contains(point))
            SlowMounts << point;
        const bool volume = point.startsWith(QLatin1String("/media/")) || point.startsWith(QLatin1String("/run/media/"))
            || point.startsWith(QLatin1String("/mnt/"));
        if (volume && !Volumes.contains(point))
            Volumes << point;
    }
}

TShellPlaces TShellPlaces::Local()
{
    TShellPlaces places;
    places.Home = QDir::homePath();
    places.Desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (mounts.open(QIODevice::ReadOnly))
        places.AddMounts(mounts.readAll());
    return places;
}

// --- the local namespace -------------------------------------------------------------------------

TLocalShellNamespace::TLocalShellNamespace(TShellPlaces places)
    : FPlaces(std::move(places))
{
}

bool TLocalShellNamespace::Available() const { return QFileInfo(FPlaces.FileSystem).isDir(); }

bool TLocalShellNamespace::OnSlowMount(const QString& path) const
{
    return std::any_of(FPlaces.SlowMounts.begin(), FPlaces.SlowMounts.end(),
        [&path](const QString& mount) { return mount != QLatin1String("/") && AtOrBelow(path, mount); });
}

std::vector<TLocalShellNamespace::TPlace> TLocalShellNamespace::PlaceList() const
{
    std::vector<TPlace> places;
    if (!FPlaces.Home.isEmpty() && QFileInfo(FPlaces.Home).isDir())
        places.push_back({ FPlaces.Home, tr("Home"), TShellIcon::Home });
    if (!FPlaces.Desktop.isEmpty() && FPlaces.Desktop != FPlaces.Home && QFileInfo(FPlaces.Desktop).isDir())
        places.push_back({ FPlaces.Desktop, tr("Desktop"), TShellIcon::Desktop });
    places.push_back({ FPlaces.FileSystem, tr("File System"), TShellIcon::Drive });
    for (const QString& volume : FPlaces.Volumes)
        places.push_back({ volume, QFileInfo(volume).fileName(), OnSlowMount(volume) ? TShellIcon::Network : TShellIcon::Drive });
    return places;
}

std::optional<TLocalShellNamespace::TPlace> TLocalShellNamespace::PlaceOfItem(const QByteArray& item) const
{
    for (const TPlace& place : PlaceList())
        if (QFile::encodeName(place.Path) == item)
            return place;
    return std::nullopt;
}

uint32_t TLocalShellNamespace::FolderAttributes(const QString& path, bool isPlace) const
{
    uint32_t attributes = SfgaoFolder | SfgaoFileSystem | SfgaoFileSysAncestor | SfgaoCanCopy | SfgaoCanLink | SfgaoHasPropSheet;
    // Nothing on a slow mount is looked at: a hung server would hang the tree.
    if (OnSlowMount(path))
        return attributes | SfgaoHasSubFolder | SfgaoShare;
    const QFileInfo info(path);
    if (HasSubFolders(path))
        attributes |= SfgaoHasSubFolder;
    attributes |= info.isWritable() ? SfgaoDropTarget : SfgaoReadOnly;
    if (!isPlace && QFileInfo(info.absolutePath()).isWritable())
        attributes |= SfgaoCanDelete | SfgaoCanMove | SfgaoCanRename;
    if (info.isSymLink())
        attributes |= SfgaoLink;
    if (info.fileName().startsWith(QChar('.')))
        attributes |= SfgaoGhosted;
    if (isPlace && FPlaces.Volumes.contains(path))
        attributes |= SfgaoRemovable;
    return attributes;
}

bool TLocalShellNamespace::HasSubFolders(const QString& path) const
{
    if (OnSlowMount(path))
        return true;
    QDirIterator it(path, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    return it.hasNext();
}

TShellItemInfo TLocalShellNamespace::Info(const TItemIdList& folder) const
{
    TShellItemInfo info;
    if (folder.IsEmpty()) {
        info.DisplayName = tr("Computer");
        info.Icon = TShellIcon::Computer;
        info.Attributes = SfgaoFolder | SfgaoFileSysAncestor | SfgaoHasSubFolder | SfgaoHasPropSheet;
        return info;
    }
    const QString path = PathOf(folder);
    const std::optional<TPlace> place = folder.Count() == 1 ? PlaceOfItem(folder.Item(0)) : std::nullopt;
    info.DisplayName = place ? place->Name : QFileInfo(path).fileName();
    info.Icon = place ? place->Icon : TShellIcon::Folder;
    info.Attributes = FolderAttributes(path, place.has_value());
    return info;
}

bool TLocalShellNamespace::EnumFolders(const TItemIdList& folder, std::vector<TShellChild>& children) const
{
    children.clear();
    if (folder.IsNull())
        return false;
    if (folder.IsEmpty()) {
        for (const TPlace& place : PlaceList()) {
            TShellChild child;
            child.Item = QFile::encodeName(place.Path);
            child.Info = { place.Name, place.Icon, FolderAttributes(place.Path, true) };
            children.push_back(std::move(child));
        }
        return true;
    }
    const QString path = PathOf(folder);
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable())
        return false;
    const QFileInfoList entries
        = QDir(path).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        TShellChild child;
        child.Item = QFile::encodeName(entry.fileName());
        child.Info = { entry.fileName(), TShellIcon::Folder, FolderAttributes(entry.filePath(), false) };
        children.push_back(std::move(child));
    }
    return true;
}

int TLocalShellNamespace::Compare(const TItemIdList& folder, const QByteArray& a, const QByteArray& b) const
{
    if (folder.IsEmpty()) {
        // The places keep their own order.
        const std::vector<TPlace> places = PlaceList();
        auto rank = [&places](const QByteArray& item) {
            for (size_t i = 0; i < places.size(); ++i)
                if (QFile::encodeName(places[i].Path) == item)
                    return int(i);
            return int(places.size());
        };
        return rank(a) - rank(b);
    }
    const int byName = QFile::decodeName(a).compare(QFile::decodeName(b), Qt::CaseInsensitive);
    return byName != 0 ? byName : (a < b ? -1 : a == b ? 0 : 1);
}

QString TLocalShellNamespace::PathOf(const TItemIdList& folder) const
{
    if (folder.IsEmpty())
        return QString();
    QString path = QFile::decodeName(folder.Item(0));
    for (int i = 1; i < folder.Count(); ++i)
        path = JoinPath(path, QFile::decodeName(folder.Item(i)));
    return path;
}

TItemIdList TLocalShellNamespace::Parse(const QString& path) const
{
    if (!path.startsWith(QChar('/')))
        return TItemIdList();
    const QString clean = QDir::cleanPath(path);
    if (!QFileInfo(clean).isDir())
        return TItemIdList();
    // The closest place: home or a volume, else the whole file system.
    QString base;
    QStringList candidates = FPlaces.Volumes;
    if (!FPlaces.Home.isEmpty())
        candidates << FPlaces.Home;
    for (const QString& candidate : candidates)
        if (AtOrBelow(clean, candidate) && candidate.size() > base.size())
            base = candidate;
    if (base.isEmpty()) {
        if (!AtOrBelow(clean, FPlaces.FileSystem))
            return TItemIdList();
        base = FPlaces.FileSystem;
    }
    std::vector<QByteArray> items { QFile::encodeName(base) };
    for (const QString& name : clean.mid(base.size()).split(QChar('/'), Qt::SkipEmptyParts))
        items.push_back(QFile::encodeName(name));
    return TItemIdList::FromItems(std::move(items));
}

bool TLocalShellNamespace::Open(const TItemIdList& folder) const
{
    const QString path = PathOf(folder);
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
