// The device file browser's rules and the device folder tree.
#include "app/logic/uMobileBrowser.h"

#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "formats/uConvertBase.h"

namespace {

QString WithTrailingBackslash(const QString& path)
{
    return path.endsWith(QChar('\\')) ? path : path + QChar('\\');
}

} // namespace

TMobileBrowser::TMobileBrowser(bool saveMode)
    : FSaveMode(saveMode)
{
}

QStringList TMobileBrowser::FormatNames() const
{
    QStringList names;
    if (FSaveMode)
        FillExporterList(names);
    else
        FillImporterList(names);
    return names;
}

QString TMobileBrowser::FormatExtension() const
{
    return (FSaveMode ? TConvertToBase::Extension(FormatIndex) : TConvertFromBase::Extension(FormatIndex)).toLower();
}

void TMobileBrowser::SetFileName(const QString& path)
{
    FileName = path;
    const QString extension = DeviceExtension(path);
    if (extension.isEmpty())
        FormatIndex = -1;
    else
        FormatIndex = FSaveMode ? TConvertToBase::IndexOf(extension, QString()) : TConvertFromBase::IndexOf(extension, QString());
}

QString TMobileBrowser::OpenFormatID() const
{
    if (FSaveMode)
        return TConvertToBase::FormatIDAt(FormatIndex);
    // The list may still name a reader of an extension other than the chosen file's.
    if (!TConvertFromBase::HandlesExtension(FormatIndex, DeviceExtension(FileName)))
        return QString();
    return TConvertFromBase::FormatIDAt(FormatIndex);
}

void TMobileBrowser::FillPlaces()
{
    QStringList maps;
    GetDeviceMaps(maps, false);
    std::vector<TDevicePlace> places;
    places.push_back({ GetDeviceSpecialFolder(CsidlDrives), tr("My Device"), BrowserImageDevice });
    places.push_back({ GetDeviceSpecialFolder(CsidlPersonal), tr("My Documents"), BrowserImageFolder });
    for (const QString& line : maps) {
        const qsizetype eq = line.indexOf(QChar('='));
        places.push_back({ line.left(eq), line.mid(eq + 1), BrowserImageMap });
    }
    FPlaces = std::move(places);
}

int TMobileBrowser::PlaceOf(const QString& folder) const
{
    const QString wanted = StripTrailingBackslash(folder);
    for (size_t i = 0; i < FPlaces.size(); ++i)
        if (StripTrailingBackslash(FPlaces[i].Path).compare(wanted, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void TMobileBrowser::List(const QString& folder)
{
    // Each user action connects again when the device went away and is back.
    ConnectDevice();
    const QString dir = WithTrailingBackslash(NormaliseDevicePath(folder));
    std::vector<TDeviceListItem> items;
    const bool listed = ListDeviceFolder(dir, [&items](const QString& name, bool isFolder) {
        // A name holding a separator would make the folder + name address another file.
        if (!IsDevicePathComponent(name))
            return;
        if (isFolder || TConvertFromBase::CountForExtension(DeviceExtension(name)) > 0)
            items.push_back({ name, isFolder });
    });
    if (!listed)
        RaiseIfDeviceLost();
    FCurrentDir = dir;
    FItems = std::move(items);
}

QString TMobileBrowser::NameOf(const QString& shown) const
{
    const QString preset = DeviceNamePart(FileName);
    if (!preset.isEmpty() && shown == VisibleDeviceName(preset))
        return preset;
    for (const TDeviceListItem& item : FItems)
        if (shown == VisibleDeviceName(item.Name))
            return item.Name;
    return shown;
}

QString TMobileBrowser::FolderOf(const QString& shown) const
{
    for (const QString& folder : { FCurrentDir, DeviceFolderPart(FileName) })
        if (!folder.isEmpty() && shown == VisibleDevicePath(folder))
            return folder;
    for (const TDevicePlace& place : FPlaces)
        if (shown == VisibleDevicePath(place.Path))
            return place.Path;
    return shown;
}

TMobileBrowser::TOpenResult TMobileBrowser::Open(const QString& typedName, const TAskYesNo& ask)
{
    ConnectDevice();
    QString path = NormaliseDevicePath(FCurrentDir + NameOf(typedName));
    if (DeviceEntryAt(path) == TDeviceEntry::Folder) {
        List(path);
        return TOpenResult::Entered;
    }
    if (FSaveMode) {
        const QString wanted = FormatExtension();
        if (!wanted.isEmpty()) {
            const QString typed = DeviceExtension(path);
            if (!typed.isEmpty() && typed != wanted)
                throw EUserError(tr("Extension \"%1\" of filename does not match selected filetype.")
                                     .arg(VisibleDeviceName(path.right(typed.size()))));
            path = ChangeDeviceExtension(path, wanted);
        }
        // Asked also when the device only just came back: a lost one raises instead of "missing".
        if (DeviceEntryAt(path) != TDeviceEntry::None
            && !ask(tr("Remote file %1 already exists. Do you want to overwrite it?").arg(VisibleDevicePath(path))))
            return TOpenResult::Stayed;
    }
    FileName = path;
    return TOpenResult::Accepted;
}

QString TMobileBrowser::ParentDir(const QString& folderText)
{
    return StripTrailingBackslash(DeviceFolderPart(StripTrailingBackslash(folderText)));
}

QString TMobileBrowser::WithFormatExtension(const QString& name) const
{
    const QString extension = FormatExtension();
    if (name.isEmpty() || extension.isEmpty())
        return name;
    return ChangeDeviceExtension(name, extension);
}

void TMobileBrowser::Delete(int index, bool withSideFiles)
{
    if (index < 0 || size_t(index) >= FItems.size())
        return;
    const QString path = FCurrentDir + FItems[size_t(index)].Name;
    ConnectDevice();
    if (!CeDeleteFile(path)) {
        RaiseIfDeviceLost();
        throw EDeviceError(tr("Could not delete remote file %1").arg(VisibleDevicePath(path)));
    }
    FItems.erase(FItems.begin() + index);
    if (!withSideFiles)
        return;
    for (const QString& extension : { QStringLiteral(".bmp"), QStringLiteral(".inf") }) {
        const QString side = ChangeDeviceExtension(path, extension);
        if (side.compare(path, Qt::CaseInsensitive) == 0 || !CeDeleteFile(side))
            continue;
        const QString name = DeviceNamePart(side);
        std::erase_if(FItems, [&name](const TDeviceListItem& item) { return item.Name.compare(name, Qt::CaseInsensitive) == 0; });
    }
}

// --- the device folder tree ------------------------------------------------------------------

void TDeviceFolderTree::ReadInto(TNode& node, const QString& pattern)
{
    std::vector<TDeviceFindData> found;
    std::vector<std::unique_ptr<TNode>> children;
    if (CeFindAllFiles(pattern, FafFoldersOnly | FafName, found)) {
        for (const TDeviceFindData& entry : found) {
            if (!IsDevicePathComponent(entry.FileName))
                continue;
            auto child = std::make_unique<TNode>();
            child->Name = entry.FileName;
            child->Parent = &node;
            children.push_back(std::move(child));
        }
    } else {
        // A failure is cached only as what it is: a folder the device cannot list.
        RaiseIfDeviceLost();
    }
    node.Children = std::move(children);
    node.Read = true;
}

void TDeviceFolderTree::FillRoot()
{
    ConnectDevice();
    FRoot.Children.clear();
    FRoot.Read = false;
    ReadInto(FRoot, QStringLiteral("\\*.*"));
}

bool TDeviceFolderTree::Expand(TNode& node)
{
    if (!CacheDirs || !node.Read) {
        const THourglass hourglass;
        // A device that went away and is back is connected again by the expansion itself.
        ConnectDevice();
        ReadInto(node, &node == &FRoot ? QStringLiteral("\\*.*") : QChar('\\') + PathOf(&node) + QStringLiteral("\\*.*"));
    }
    return !node.Children.empty();
}

QString TDeviceFolderTree::PathOf(const TNode* node)
{
    QStringList names;
    for (; node && node->Parent; node = node->Parent)
        names.prepend(node->Name);
    return names.join(QChar('\\'));
}

TDeviceFolderTree::TNode* TDeviceFolderTree::Find(const QString& path)
{
    QString rest = path;
    if (rest.startsWith(QChar('\\')))
        rest.remove(0, 1);
    if (rest.endsWith(QChar('\\')))
        rest.chop(1);
    if (rest.isEmpty())
        return nullptr;
    const QStringList names = rest.split(QChar('\\'));
    TNode* current = &FRoot;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0 || !current->Read)
            Expand(*current);
        TNode* match = nullptr;
        for (const auto& child : current->Children)
            if (child->Name.compare(names[i], Qt::CaseInsensitive) == 0) {
                match = child.get();
                break;
            }
        if (!match)
            return nullptr;
        current = match;
    }
    return current;
}
