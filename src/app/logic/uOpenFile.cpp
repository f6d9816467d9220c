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

#include <QFileInfo>

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

} // namespace

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
                if (!IsMobilePath(path) && QFileInfo(StripFilePrefix(picture)).isFile()) {
                    try {
                        host.SetChildIcon(target, LoadBytesFromFile(StripFilePrefix(picture)));
                    } catch (const ETarvellError&) {
                        // An unreadable picture leaves the standard icon; the POIs are what counts.
                    }
                }
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
