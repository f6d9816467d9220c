// The folder pickers' rules.
#include "app/logic/uFolderPickers.h"

#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uRapi.h"

#include <QFileInfo>

namespace {

QString MapPath(const QString& line) { return line.left(line.indexOf(QChar('='))); }

} // namespace

void TMobileFolderMaps::Fill() { GetDeviceMaps(Maps, false); }

QStringList TMobileFolderMaps::Entries() const
{
    QStringList entries { QStringLiteral("[%1]").arg(tr("Other")) };
    for (const QString& line : Maps)
        entries << line.mid(line.indexOf(QChar('=')) + 1);
    return entries;
}

QString TMobileFolderMaps::PathOfEntry(int entry) const
{
    return entry >= 1 && entry <= Maps.size() ? MapPath(Maps[entry - 1]) : QString();
}

int TMobileFolderMaps::EntryOfPath(const QString& treePath) const
{
    if (treePath.isEmpty())
        return 0;
    // A map's path read from the navigator's own file may keep its trailing "\".
    const QString wanted = StripTrailingBackslash(IncludeLeadingBackslash(treePath));
    for (qsizetype i = 0; i < Maps.size(); ++i)
        if (StripTrailingBackslash(MapPath(Maps[i])).compare(wanted, Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    return 0;
}

void TMobileFolderMaps::CheckPath(const QString& treePath)
{
    if (treePath.isEmpty())
        throw EUserError(tr("No map or folder specified"));
}

bool IsSelectableFolder(const QString& directory)
{
    if (!directory.startsWith(QChar('/')))
        return false;
    return QFileInfo(directory).isDir();
}
