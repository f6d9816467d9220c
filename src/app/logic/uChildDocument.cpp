// The document behind a child window.
#include "app/logic/uChildDocument.h"

#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {

int CompareTextAscii(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x - y;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

} // namespace

QString TChildDocument::Caption() const
{
    // A device's name may hold bytes that are not UTF-8 or direction marks: shown escaped.
    QString caption = FileName.isEmpty() ? tr("Untitled")
        : IsMobilePath(FileName)         ? VisibleDeviceName(LocationFileName(FileName))
                                         : LocationFileName(FileName);
    if (Entries.Changed())
        caption += QChar('*');
    return caption;
}

void TChildDocument::LoadEntries(
    TEntries&& entries, const QString& path, const QString& extension, bool append, const QString& formatID)
{
    if (!append)
        Entries.Clear();
    // The records move with their blocks: nothing is copied.
    Entries.AddAll(entries);
    if (!append)
        Entries.ResetChanged();
    // A device folder is no starting point for the local file dialogs.
    if (!IsMobilePath(path))
        GetSettings().InitialDir = QFileInfo(StripFilePrefix(path)).absolutePath();
    if (!append) {
        FileName = path;
        const int row = TConvertToBase::IndexOf(extension, formatID);
        FormatID = row < 0 ? QString() : TConvertToBase::FormatIDAt(row);
    }
}

bool TChildDocument::SaveTo(const QString& path, const QString& formatID, const TAskYesNo& ask)
{
    const QString location = path.isEmpty() ? FileName : path;
    const QString format = path.isEmpty() ? FormatID : formatID;
    const QString extension = LocationExtension(location);
    {
        const std::unique_ptr<TConvertToBase> exporter = TConvertToBase::CreateConverter(extension, format);
        const int precision = exporter->Precision();
        if (precision != -1 && !Entries.FitsPrecision(precision)) {
            QString name;
            TConvertToBase::DescriptionOf(extension, format, name);
            const QString question = tr("When the data is saved as \"%1\", one or more coordinates loose their "
                                        "precision, because this format uses a precision of %2 decimals.\n\n"
                                        "Do you want to continue the save?")
                                         .arg(name)
                                         .arg(precision);
            if (!ask(question))
                return false;
        }
    }
    TMemoryStream stream;
    Entries.SaveToStream(stream, extension, format);
    SaveStreamToLocation(location, stream);
    FileName = location;
    FormatID = format;
    if (!IsMobilePath(location))
        GetSettings().InitialDir = QFileInfo(StripFilePrefix(location)).absolutePath();
    Entries.ResetChanged();
    return true;
}

int TChildDocument::SaveAsFilterIndex(const QString& formatID, const QString& lastSaveFormat, int current)
{
    for (const QString& format : { formatID, lastSaveFormat }) {
        if (format.isEmpty())
            continue;
        const int row = TConvertToBase::IndexOfFormatID(format);
        if (row >= 0)
            return row + 1;
    }
    return current;
}

QString TChildDocument::SaveAsSuffix(int filterIndex)
{
    return filterIndex >= 1 && filterIndex <= TConvertToBase::FormatCount() ? TConvertToBase::Extension(filterIndex - 1).mid(1)
                                                                             : QStringLiteral("ov2");
}

bool TChildDocument::SaveAsChosen(const QString& name, int filterIndex, const TAskYesNo& ask)
{
    const QString format = filterIndex >= 1 && filterIndex <= TConvertToBase::FormatCount()
        ? TConvertToBase::FormatIDAt(filterIndex - 1)
        : QString();
    if (!SaveTo(QStringLiteral("FILE://") + name, format, ask))
        return false;
    TSettings& settings = GetSettings();
    settings.InitialDir = QFileInfo(name).absolutePath();
    settings.LastSaveFormat = format;
    settings.AddToMRU(name, format);
    return true;
}

bool TChildDocument::SaveRemote(QString name, int typeIndex, bool copyBitmap, const TAskYesNo& ask)
{
    if (LocationExtension(QStringLiteral("MOBILE://") + name).isEmpty())
        name += QStringLiteral(".ov2");
    const QString location = QStringLiteral("MOBILE://") + name;
    const QString source = FileName;
    const QString format = TConvertToBase::FormatIDAt(typeIndex);
    if (!SaveTo(location, format, ask))
        return false;
    TSettings& settings = GetSettings();
    // The list is saved whatever becomes of its picture. With its trailing "\": the folder and a
    // file name make a path.
    settings.PrevRemoteDir = DeviceFolderPart(name);
    settings.AddToMRU(location, format);
    if (copyBitmap) {
        const QString destination = StripMobilePrefix(ChangeLocationExtension(location, QStringLiteral(".bmp")));
        const bool fromDevice = IsMobilePath(source);
        const QString picture = StripLocationPrefix(ChangeLocationExtension(source, QStringLiteral(".bmp")));
        // A device file saved onto itself already has its picture beside it.
        const bool sameFile = fromDevice
            && SameLocation(QStringLiteral("MOBILE://") + picture, QStringLiteral("MOBILE://") + destination);
        // Exact look-ups that tell a lost device from a missing picture: a device back only for
        // the copy must not have its picture replaced unasked.
        const bool exists = !source.isEmpty() && !sameFile
            && (fromDevice ? DeviceEntryAt(picture) == TDeviceEntry::File : QFileInfo(picture).isFile());
        if (exists
            && (DeviceEntryAt(destination) == TDeviceEntry::None
                || ask(tr("Remote file %1 already exists. Do you want to overwrite it?").arg(destination)))) {
            // A full or read-only device is the user's to set right; the copy replaces the
            // picture only once complete.
            if (fromDevice) {
                if (!CeCopyFile(picture, destination, false))
                    throw EDeviceError(tr("Could not create remote file %1").arg(destination));
            } else {
                CopyFileToDevice(picture, destination);
            }
        }
    }
    return true;
}

QString TChildDocument::RemoteSaveName(const QString& prevRemoteDir) const
{
    if (IsMobilePath(FileName))
        return StripMobilePrefix(FileName);
    return prevRemoteDir + LocationFileName(FileName);
}

int TChildDocument::RemoteSaveTypeIndex(const QString& name) const
{
    return TConvertToBase::IndexOf(DeviceExtension(name), FormatID);
}

int TChildDocument::FindFrom(const QString& text, int from, const QString& message) const
{
    const QString needle = text.toLower();
    for (int i = std::max(from, 0); i < Entries.Count(); ++i)
        if (AnsiToUnicode(Entries[i].GetDescription()).toLower().contains(needle))
            return i;
    throw EUserError(message);
}

int TChildDocument::Find(const QString& text) const { return FindFrom(text, 0, tr("No items found")); }

int TChildDocument::FindNext(const QString& text, int selected) const
{
    return FindFrom(text, selected < 0 ? 0 : selected + 1, tr("No more items found"));
}

int TChildDocument::Insert()
{
    const std::string description = UnicodeToAnsi(tr("New entry #%1").arg(Entries.Count() + 1));
    auto entry = std::make_unique<TEntry>();
    entry->SetDescription(description);
    Entries.AddEntry(std::move(entry), true);
    return Entries.Count() - 1;
}

std::vector<int> TChildDocument::ValidIndices(std::vector<int> indices) const
{
    std::erase_if(indices, [this](int i) { return i < 0 || i >= Entries.Count(); });
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

int TChildDocument::Delete(std::vector<int> indices, int selected)
{
    Entries.DeleteIndices(ValidIndices(std::move(indices)));
    if (selected >= 0 && selected < Entries.Count())
        return selected;
    return Entries.Count() - 1;
}

void TChildDocument::RenameSelected(const std::vector<int>& indices, const QString& description)
{
    const std::string text = UnicodeToAnsi(description);
    for (const int i : ValidIndices(indices))
        Entries[i].SetDescription(text);
}

void TChildDocument::SortByColumn(int column)
{
    if (Entries.Count() < 2)
        return;
    switch (column) {
    case 0:
        Entries.Sort([](const TEntry& a, const TEntry& b) { return CompareTextAscii(a.GetDescription(), b.GetDescription()); });
        break;
    case 1:
        Entries.SortByKey([](const TEntry& e) { return e.GetLatitude(); });
        break;
    case 2:
        Entries.SortByKey([](const TEntry& e) { return e.GetLongitude(); });
        break;
    default:
        break;
    }
}

std::string EntriesToGpx(const TEntries& entries, const std::vector<int>& indices)
{
    // Without an XML parser this fails before anything else.
    CreateXmlDocument();
    TEntries list;
    for (const int i : indices) {
        const TEntry& entry = entries[i];
        list.Add(entry.GetDescription(), std::string(), entry.GetLongitude(), entry.GetLatitude());
    }
    TMemoryStream stream;
    list.SaveToStream(stream, QStringLiteral(".gpx"), QString());
    return stream.TakeData();
}

std::string TChildDocument::CopySelected(const std::vector<int>& indices) const
{
    return EntriesToGpx(Entries, ValidIndices(indices));
}

// Latin-1 and cp1252 agree on every character the GPX writer puts out raw.
constexpr int ClipboardCodePage = 1252;

QString EntriesToGpxText(const TEntries& entries, const std::vector<int>& indices)
{
    return AnsiToUnicode(EntriesToGpx(entries, indices), ClipboardCodePage);
}

QString TChildDocument::CopySelectedText(const std::vector<int>& indices) const
{
    return EntriesToGpxText(Entries, ValidIndices(indices));
}

void TChildDocument::PasteText(const QString& text)
{
    // The clipboard holds characters, not bytes: whatever encoding its declaration names, they
    // are read as UTF-8, which the byte-order mark says ahead of the declaration.
    const QByteArray utf8 = text.toUtf8();
    std::string bytes = "\xEF\xBB\xBF";
    bytes.append(utf8.constData(), size_t(utf8.size()));
    Paste(std::move(bytes));
}

void TChildDocument::Paste(std::string text)
{
    CreateXmlDocument();
    // The stream takes the text itself: no second copy while it is read.
    TMemoryStream stream(std::move(text));
    Entries.LoadFromStream(stream, QStringLiteral(".gpx"), QString(), true);
}

QString TChildDocument::CopyAsText(const std::vector<int>& indices) const
{
    const QLocale locale;
    QString text;
    for (const int i : ValidIndices(indices)) {
        const TEntry& entry = Entries[i];
        text += AnsiToUnicode(entry.GetDescription()) + QChar('\t') + locale.toString(entry.GetLongitude(), 'g', 15)
            + QChar('\t') + locale.toString(entry.GetLatitude(), 'g', 15) + QStringLiteral("\r\n");
    }
    return text;
}

int TChildDocument::DropEntries(TChildDocument& source, std::vector<int> indices, TChildDocument& target, int targetIndex)
{
    indices = source.ValidIndices(std::move(indices));
    const TEntries::TBulkChange bulk(target.Entries);
    if (targetIndex < 0 || targetIndex > target.Entries.Count())
        targetIndex = -1;
    if (&source == &target) {
        // A move: moving down (the first POI lies before the target item) they land after the
        // target item, else before it; dropped on one of themselves they stay where they are.
        const bool onDragged = std::binary_search(indices.begin(), indices.end(), targetIndex);
        const bool down = targetIndex >= 0 && !indices.empty() && indices.front() < targetIndex && !onDragged;
        const TEntry* before = nullptr;
        for (int t = down ? targetIndex + 1 : targetIndex; t >= 0 && t < target.Entries.Count() && !before; ++t)
            if (!std::binary_search(indices.begin(), indices.end(), t))
                before = &target.Entries[t];
        std::vector<std::unique_ptr<TEntry>> moved;
        for (auto it = indices.rbegin(); it != indices.rend(); ++it)
            moved.push_back(target.Entries.Extract(*it));
        std::reverse(moved.begin(), moved.end());
        int at = before ? target.Entries.IndexOf(before) : target.Entries.Count();
        const int first = at;
        for (auto& entry : moved)
            target.Entries.Insert(at++, std::move(entry));
        return first;
    }
    int at = targetIndex < 0 ? target.Entries.Count() : targetIndex;
    const int first = at;
    for (const int i : indices) {
        auto copy = std::make_unique<TEntry>();
        source.Entries[i].AssignTo(*copy);
        target.Entries.Insert(at++, std::move(copy));
    }
    return first;
}
