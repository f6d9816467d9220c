// The open routine.
#include "app/logic/uOpenFile.h"

#include "app/logic/uChildDocument.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uScopeGuard.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>

namespace {

// Errors of the reader itself, the only ones another reader might not have.
struct TParseError {
    QString Message;
};

int DefaultFormatLine(const QStringList& lines, const QString& extension)
{
    for (int i = 0; i < lines.size(); ++i) {
        const int eq = int(lines[i].indexOf(QChar('=')));
        if (eq >= 0 && lines[i].left(eq).compare(extension, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// A window icon needs no more; a bigger picture beside a file costs seconds and gigabytes.
constexpr qint64 SidePictureMaxBytes = 4 * 1024 * 1024;
constexpr qint64 SidePictureMaxPixels = 1024;

qint64 LeUnsigned(std::string_view bytes, size_t offset, size_t count)
{
    qint64 value = 0;
    for (size_t i = count; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

} // namespace

bool TOpenFile::SidePictureHeaderFits(std::string_view bytes)
{
    if (bytes.size() < 26 || bytes.substr(0, 2) != "BM")
        return true;
    qint64 width = 0;
    qint64 height = 0;
    if (LeUnsigned(bytes, 14, 4) == 12) {
        width = LeUnsigned(bytes, 18, 2);
        height = LeUnsigned(bytes, 20, 2);
    } else {
        // Signed 32-bit; a negative height is a top-down picture of that many rows.
        width = qint64(int32_t(uint32_t(LeUnsigned(bytes, 18, 4))));
        height = qint64(int32_t(uint32_t(LeUnsigned(bytes, 22, 4))));
    }
    return std::abs(width) <= SidePictureMaxPixels && std::abs(height) <= SidePictureMaxPixels;
}

std::optional<std::string> TOpenFile::LoadSidePicture(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() > SidePictureMaxBytes)
        return std::nullopt;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The file may have grown since it was looked at.
    const QByteArray bytes = file.read(SidePictureMaxBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > SidePictureMaxBytes)
        return std::nullopt;
    std::string bitmap(bytes.constData(), size_t(bytes.size()));
    if (!SidePictureHeaderFits(bitmap))
        return std::nullopt;
    return bitmap;
}

QString TOpenFile::ResolveFormat(const QString& extension, const QString& formatID)
{
    if (!formatID.isEmpty())
        return formatID;
    const QStringList& lines = GetSettings().DefaultFormats;
    const int line = DefaultFormatLine(lines, extension);
    if (line < 0)
        return QString();
    const QString remembered = lines[line].mid(lines[line].indexOf(QChar('=')) + 1);
    // A format no reader of this extension has any more is forgotten; the extension decides.
    for (const int row : ReaderRows(extension))
        if (TConvertFromBase::FormatIDAt(row).compare(remembered, Qt::CaseInsensitive) == 0)
            return remembered;
    return QString();
}

void TOpenFile::ReadLocation(const QString& path, TMemoryStream& stream)
{
    if (IsMobilePath(path)) {
        // Recent files and forwarded paths reach here without a device dialog having connected.
        ConnectDevice();
        ReadDeviceFile(StripMobilePrefix(path), stream);
    } else {
        stream = TMemoryStream(LoadBytesFromFile(StripFilePrefix(path)));
    }
}

void TOpenFile::StoreDefaultFormat(QStringList& defaultFormats, const QString& extension, const QString& format)
{
    const QString name = extension.toLower();
    const QString line = name + QChar('=') + format;
    const int existing = DefaultFormatLine(defaultFormats, name);
    if (existing >= 0)
        defaultFormats[existing] = line;
    else
        defaultFormats << line;
}

std::vector<int> TOpenFile::ReaderRows(const QString& extension)
{
    std::vector<int> rows;
    if (extension.isEmpty())
        return rows;
    for (int i = 0; i < TConvertFromBase::FormatCount(); ++i)
        if (TConvertFromBase::HandlesExtension(i, extension))
            rows.push_back(i);
    return rows;
}

int TOpenFile::PreselectedReader(const std::vector<int>& rows, const QString& triedFormat)
{
    if (!triedFormat.isEmpty())
        for (size_t i = 0; i < rows.size(); ++i)
            if (TConvertFromBase::FormatIDAt(rows[i]).compare(triedFormat, Qt::CaseInsensitive) != 0)
                return int(i);
    // Without a format the first reader was the one that failed.
    return rows.size() > 1 ? 1 : 0;
}

QString TOpenFile::MruCaption(int k, const QString& location)
{
    QString name = LocationFileName(location);
    if (IsMobilePath(location))
        name = tr("%1 (Remote)", "a recent file on the device").arg(name);
    // A menu caption takes "&" for the accelerator: "A&B.ov2" must not show as "AB.ov2".
    name.replace(QChar('&'), QStringLiteral("&&"));
    // A menu item is one line: a line break in a file name shows as a blank.
    name.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
    return QStringLiteral("&%1 %2").arg(k + 1).arg(name);
}

QString TOpenFile::FormatAtFilterIndex(int filterIndex)
{
    const int row = filterIndex - 2;
    return row >= 0 && row < TConvertFromBase::FormatCount() ? TConvertFromBase::FormatIDAt(row) : QString();
}

bool TOpenFile::Open(TOpenHost& host, const QString& location, TChildDocument* child, bool append, QString formatID)
{
    return OpenWith(host, location, child, append, std::move(formatID)).has_value();
}

std::optional<QString> TOpenFile::OpenWith(
    TOpenHost& host, const QString& location, TChildDocument* child, bool append, QString formatID)
{
    // The child, the recent files and every later look-up know the file by one name, whatever
    // the folder the program was started in.
    const QString path = AbsoluteLocation(location);
    // Worked out once here and handed down to every step that needs it.
    const QString extension = LocationExtension(path);
    formatID = ResolveFormat(extension, formatID);
    std::optional<TParseError> parseError;
    {
        const THourglass hourglass;
        TMemoryStream stream;
        ReadLocation(path, stream);
        TEntries entries;
        entries.OnProgress = host.BeginProgress();
        const auto endProgress = OnExit([&host] { host.EndProgress(); });
        try {
            entries.LoadFromStream(stream, extension, formatID, append);
        } catch (const ETarvellError& e) {
            if (TConvertFromBase::CountForExtension(extension) < 2)
                throw;
            parseError = TParseError { e.Message() };
        }
        if (!parseError) {
            TChildDocument* target = child;
            if (!target)
                target = host.NewChildDocument();
            {
                const auto discard = OnFailure([&] {
                    if (!child)
                        host.DiscardChild(target);
                });
                target->LoadEntries(std::move(entries), path, extension, append, formatID);
                const QString picture = ChangeLocationExtension(path, QStringLiteral(".bmp"));
                // An unreadable or oversized picture leaves the standard icon; the POIs are what counts.
                if (!IsMobilePath(path))
                    if (const std::optional<std::string> bitmap = LoadSidePicture(StripFilePrefix(picture)))
                        host.SetChildIcon(target, *bitmap);
                GetSettings().AddToMRU(path, formatID);
                host.ChildLoaded(target);
            }
            return formatID;
        }
    }
    QString picked;
    bool useAsDefault = false;
    if (!host.ChooseFormat(path, extension, formatID, parseError->Message, picked, useAsDefault))
        return std::nullopt;
    // Stored only when the picked reader itself read the file: not when it failed too and a later
    // choice read it or was cancelled.
    const std::optional<QString> readWith = OpenWith(host, path, child, append, picked);
    if (readWith && useAsDefault && *readWith == picked)
        StoreDefaultFormat(GetSettings().DefaultFormats, extension, picked);
    return readWith;
}
